// Saving everything but the ASCII art: the kaomoji file, then the settings file key by key.
#include "app/save_settings.h"
#include "controls/twips.h"
#include "palette/palette_window.h"
#include "platform/profile.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/profile_access.h"
#include "storage/settings_keys.h"

namespace keys = storage::settings;

namespace {

// Positions this close to the work area's right or bottom edge, or beyond it, are not kept:
// the window would start out of reach next time.
constexpr int kEdgeMargin = 500;

bool saveKaomojiFile(const storage::ProgramState& s) {
    std::string error;
    return !s.kaomojiFileUnreadable && storage::kaomoji_file::save(s.kaomoji, s.kaomojiFile(), &error);
}

// The settings file, key by key in the order the file has always had them. All keys go to the
// file in one atomic replacement instead of one per key.
class SettingsFileWriter {
public:
    SettingsFileWriter(const storage::ProgramState& state, const ProgramWindows& windows)
        : s_(state), settingsDialog_(windows.settings), paletteWindow_(windows.palette),
          mouseDialog_(windows.mouse), ini_(state.settingsFile()) {}

    bool write() {
        platform::profile::Batch batch;
        writeOptionsAndLastPage();
        writeColors();
        writePositions();
        writePaletteWidth();
        put(keys::kOptions, QStringLiteral("Time"), s_.clockMode);
        writeAutoHideMargins();
        writePageNames();
        put(keys::kOptions, QStringLiteral("DoubleClick"),
            QString::number(settingsDialog_.doubleClickActionList->listIndex()));
        ok_ &= batch.commit();
        return ok_;
    }

private:
    void put(const QString& section, const QString& key, const QString& value) {
        ok_ &= storage::WriteProfileString(section, key, value, ini_);
    }

    bool isOn(std::size_t option) const { return settingsDialog_.optionChecks[option]->value() == 1; }

    void writeOptionsAndLastPage() {
        for (std::size_t i = 0; i < option::kCount; ++i)
            put(keys::kOptions, QStringLiteral("Check%1").arg(i),
                QString::number(settingsDialog_.optionChecks[i]->value()));
        put(keys::kOptions, QStringLiteral("PageNumber"),
            QString::number(settingsDialog_.editorPageList->listIndex()));
    }

    void writeColors() {
        put(keys::kColorOptions, QStringLiteral("Color1"), s_.backgroundColor);
        put(keys::kColorOptions, QStringLiteral("Color2"), s_.selectionColor);
        put(keys::kColorOptions, QStringLiteral("Color3"), s_.clockColor);
        put(keys::kColorOptions, QStringLiteral("ToolTipBackColor"), QString::number(s_.tipBackColor));
        put(keys::kColorOptions, QStringLiteral("ToolTipFontColor"), QString::number(s_.tipTextColor));
    }

    // Each coordinate is kept by itself, and only while it is on the work area. A window that
    // start-up moved into view (its place was on a screen that is not there now) and the user
    // has not moved since keeps its stored place for the next start, with that screen back.
    void writePositions() {
        if (!isOn(option::kRememberPositions))
            return;
        const platform::Rect area = s_.desktop.workArea();
        const int w = controls::toTwips(area.width);
        const int h = controls::toTwips(area.height);
        auto keepX = [w](int x) { return x >= 0 && w - kEdgeMargin > x; };
        auto keepY = [h](int y) { return y >= 0 && h - kEdgeMargin > y; };
        if (!paletteWindow_.standsWhereMovedInToBeSeen()) {
            if (keepX(paletteWindow_.leftTwips()))
                put(keys::kForm, QStringLiteral("Form1Left"), QString::number(paletteWindow_.leftTwips()));
            if (keepY(paletteWindow_.topTwips()))
                put(keys::kForm, QStringLiteral("Form1Top"), QString::number(paletteWindow_.topTwips()));
        }
        if (!settingsDialog_.standsWhereMovedInToBeSeen()) {
            if (keepX(settingsDialog_.leftTwips()))
                put(keys::kForm, QStringLiteral("Form2Left"), QString::number(settingsDialog_.leftTwips()));
            if (keepY(settingsDialog_.topTwips()))
                put(keys::kForm, QStringLiteral("Form2Top"), QString::number(settingsDialog_.topTwips()));
        }
    }

    // A minimized or maximized palette has no width of its own to keep.
    void writePaletteWidth() {
        if (isOn(option::kRememberWidth) && paletteWindow_.windowState() == controls::WindowState::Normal)
            put(keys::kForm, QStringLiteral("Form1Width"), QString::number(paletteWindow_.widthTwips()));
    }

    void writeAutoHideMargins() {
        put(keys::kMouseOptions, QStringLiteral("MouseX"),
            QString::number(mouseDialog_.sideMarginBars[0]->value()));
        put(keys::kMouseOptions, QStringLiteral("MouseXX"),
            QString::number(mouseDialog_.sideMarginBars[1]->value()));
        put(keys::kMouseOptions, QStringLiteral("MouseY"),
            QString::number(mouseDialog_.topBottomMarginBars[0]->value()));
        put(keys::kMouseOptions, QStringLiteral("MouseYY"),
            QString::number(mouseDialog_.topBottomMarginBars[1]->value()));
    }

    // Every page can be renamed, so every page's name is kept.
    void writePageNames() {
        for (int page = 0; page < 10; ++page)
            put(keys::kPageName, QStringLiteral("Page%1").arg(page + 1), s_.pageNames[std::size_t(page)]);
    }

    const storage::ProgramState& s_;
    const SettingsDialog& settingsDialog_;
    const PaletteWindow& paletteWindow_;
    const MouseSensitivityDialog& mouseDialog_;
    const std::filesystem::path ini_;
    bool ok_ = true;
};

} // namespace

QStringList saveSettings(const ProgramWindows& windows, const storage::ProgramState& state) {
    QStringList failed;
    if (!saveKaomojiFile(state))
        failed << QStringLiteral("顔文字.ini");
    if (!SettingsFileWriter(state, windows).write())
        failed << keys::kFileName;
    return failed;
}
