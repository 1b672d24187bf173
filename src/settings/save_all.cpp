// Saving everything but the ASCII art: the kaomoji file, then the settings file key by key.
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
} // namespace

QStringList SettingsDialog::saveAll() {
    auto& s = state_;
    auto& paletteWindow = *s.paletteWindow;
    auto& mouseDialog = *s.mouseDialog;
    QStringList failed;
    std::string error;
    if (s.kaomojiFileUnreadable || !storage::kaomoji_file::save(s.kaomoji, s.kaomojiFile(), &error))
        failed << QStringLiteral("顔文字.ini");

    const auto ini = s.settingsFile();
    // All keys go to the file in one atomic replacement instead of one per key.
    platform::profile::Batch batch;
    bool settingsOk = true;
    auto write = [&](const QString& section, const QString& key, const QString& value) {
        settingsOk &= storage::WriteProfileString(section, key, value, ini);
    };

    for (int i = 0; i < 10; ++i)
        write(keys::kOptions, QStringLiteral("Check%1").arg(i),
              QString::number(optionChecks[std::size_t(i)]->value()));
    write(keys::kOptions, QStringLiteral("PageNumber"), QString::number(editorPageList->listIndex()));

    write(keys::kColorOptions, QStringLiteral("Color1"), s.backgroundColor);
    write(keys::kColorOptions, QStringLiteral("Color2"), s.selectionColor);
    write(keys::kColorOptions, QStringLiteral("Color3"), s.clockColor);
    write(keys::kColorOptions, QStringLiteral("ToolTipBackColor"), QString::number(s.tipBackColor));
    write(keys::kColorOptions, QStringLiteral("ToolTipFontColor"), QString::number(s.tipTextColor));

    if (optionChecks[option::kRememberPositions]->value() == 1) {
        const platform::Rect area = s.desktop.workArea();
        const int w = controls::toTwips(area.width);
        const int h = controls::toTwips(area.height);
        auto keepX = [w](int x) { return x >= 0 && w - kEdgeMargin > x; };
        auto keepY = [h](int y) { return y >= 0 && h - kEdgeMargin > y; };
        if (keepX(paletteWindow.leftTwips()))
            write(keys::kForm, QStringLiteral("Form1Left"), QString::number(paletteWindow.leftTwips()));
        if (keepY(paletteWindow.topTwips()))
            write(keys::kForm, QStringLiteral("Form1Top"), QString::number(paletteWindow.topTwips()));
        if (keepX(leftTwips()))
            write(keys::kForm, QStringLiteral("Form2Left"), QString::number(leftTwips()));
        if (keepY(topTwips()))
            write(keys::kForm, QStringLiteral("Form2Top"), QString::number(topTwips()));
    }
    if (optionChecks[option::kRememberWidth]->value() == 1 && paletteWindow.windowState() == controls::WindowState::Normal)
        write(keys::kForm, QStringLiteral("Form1Width"), QString::number(paletteWindow.widthTwips()));

    write(keys::kOptions, QStringLiteral("Time"), s.clockMode);

    write(keys::kMouseOptions, QStringLiteral("MouseX"),
          QString::number(mouseDialog.sideMarginBars[0]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseXX"),
          QString::number(mouseDialog.sideMarginBars[1]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseY"),
          QString::number(mouseDialog.topBottomMarginBars[0]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseYY"),
          QString::number(mouseDialog.topBottomMarginBars[1]->value()));

    // Every page can be renamed, so every page's name is kept.
    for (int page = 0; page < 10; ++page)
        write(keys::kPageName, QStringLiteral("Page%1").arg(page + 1), s.pageNames[std::size_t(page)]);

    write(keys::kOptions, QStringLiteral("DoubleClick"), QString::number(doubleClickActionList->listIndex()));

    settingsOk &= batch.commit();
    if (!settingsOk)
        failed << keys::kFileName;
    return failed;
}

void SettingsDialog::saveClicked() {
    const QStringList failed = saveAll();
    if (!failed.isEmpty() && state_.reportSaveFailure)
        state_.reportSaveFailure(failed);
}
