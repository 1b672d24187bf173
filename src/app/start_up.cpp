// Start-up: the files are read, every option goes to the control that holds it, and the
// palette is left on its start page and group, ready to be shown. The steps run in this order
// because later ones rely on earlier ones: the resize rules need the caption height, the
// settings dialog's position needs the "remember positions" option, and filling the page
// lists runs their handlers, which need the tables and the colours' targets.
#include "app/start_up.h"
#include "asciiart/aa_store.h"
#include "asciiart/ascii_art_dialog.h"
#include "controls/twips.h"
#include "palette/palette_window.h"
#include "palette/paste_keystroke.h"
#include "palette/tip_window.h"
#include "platform/profile.h"
#include "platform/textfile.h"
#include "platform/utf8_path.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/profile_access.h"
#include "storage/settings_keys.h"
#include "storage/unread_file.h"
#include <cstdio>

namespace keys = storage::settings;

namespace {

constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;

class StartUp {
public:
    StartUp(const ProgramWindows& windows, storage::ProgramState& state)
        : palette_(windows.palette), s_(state), settingsDialog_(windows.settings),
          mouseDialog_(windows.mouse), asciiArtDialog_(windows.asciiArt), ini_(state.settingsFile()) {}

    // The files found but not read whole, in the order start-up read them.
    std::vector<storage::UnreadFile> unread;

    void run() {
        removeLeftoversOfKilledSaves();
        measureCaptionHeight();
        takeKaomojiFile();
        // Every key below comes from two small files; each is parsed once instead of once a key.
        platform::profile::Batch readOnce;
        readOptions();
        readLastPageAndDoubleClickAction();
        readColors();
        placeWindows();
        readClockMode();
        readAutoHideMargins();
        readPageNames();
        readInputModeOption();
        readPasteKeyRules();
        for (auto& file : asciiart::load(s_, asciiArtDialog_))
            unread.push_back(std::move(file));
        makeTipWindow();
        fillPageLists();
        showFirstPageGroupNamesInEditor();
        settingsDialog_.colorTargetChoices[0]->setValue(true);
        paintColors();
        openLastPageIfAsked();
        showStartPage();
        palette_.introduceToWindowManager();
        if (settingsDialog_.optionChecks[option::kAlwaysOnTop]->value() == 1)
            palette_.setTopmost(1);
        // Group 0 of the start page; this also lifts the refilling guard.
        palette_.groupButtons[0]->press();
    }

private:
    int readInt(const QString& section, const QString& key, int defaultValue) const {
        return storage::ReadProfileInt(section, key, defaultValue, ini_);
    }

    // A rule the palette cannot follow is named on the standard error; the window class then
    // pastes as if the rule were not there.
    void readPasteKeyRules() {
        s_.pasteKeyRules = storage::readPasteKeyRules(ini_);
        for (const auto& rule : s_.pasteKeyRules)
            if (palette::pasteKeysWritten(rule.keys).empty())
                std::fprintf(
                    stderr, "pikome: [%s] %s=%s: not a paste keystroke (^v, ^+v or +{INSERT}); ignored\n",
                    qPrintable(storage::kPasteKeysSection), rule.windowClass.c_str(), rule.keys.c_str());
    }

    // A save killed half-way leaves a temporary file beside its target; nothing else removes it.
    void removeLeftoversOfKilledSaves() {
        const std::string settings = platform::utf8FromPath(s_.settingsFile().filename());
        const std::string kaomoji = platform::utf8FromPath(s_.kaomojiFile().filename());
        platform::textfile::removeLeftoverTemporaries(
            s_.folder, [&](std::string_view name) { return name == settings || name == kaomoji; });
        platform::textfile::removeLeftoverTemporaries(s_.asciiArtFolder(), asciiart::isStoreFileName);
    }

    // Windows 6.x (Vista, 7) draws captions 8 pixels taller than it reports.
    void measureCaptionHeight() {
        int caption = s_.desktop.captionHeightPixels();
        if (s_.desktop.osFamily() == platform::OsFamily::WindowsNT && int(s_.desktop.osVersion()) == 6)
            caption += 8;
        s_.captionHeight = controls::toTwips(caption);
    }

    // Whatever cannot be read stays empty, and a file not read whole is never saved over.
    void takeKaomojiFile() {
        storage::kaomoji_file::Read kaomoji = s_.kaomojiReadAhead.valid()
                                                  ? s_.kaomojiReadAhead.get()
                                                  : storage::kaomoji_file::read(s_.kaomojiFile());
        s_.kaomoji = std::move(kaomoji.table);
        s_.kaomojiFileUnreadable = !kaomoji.whole;
        if (!kaomoji.whole)
            unread.push_back({QStringLiteral("顔文字.ini"),
                              storage::whyNotRead(kaomoji.result, storage::kaomoji_file::kMaxFileBytes)});
    }

    // "Check0".."Check9". The input-mode option's first reading defaults by platform; the second
    // reading (readInputModeOption), with default 1, is the one that stays.
    void readOptions() {
        for (std::size_t i = 0; i < option::kCount; ++i) {
            int def = keys::kCheckDefaults[i];
            if (i == option::kLeaveInputMode)
                def = s_.desktop.osFamily() == platform::OsFamily::WindowsNT ? 1 : 0;
            const int value =
                keys::checkState(readInt(keys::kOptions, QStringLiteral("Check%1").arg(i), def), def);
            settingsDialog_.optionChecks[i]->setValue(value);
        }
    }

    void readLastPageAndDoubleClickAction() {
        s_.lastPage =
            keys::inRange(readInt(keys::kOptions, QStringLiteral("PageNumber"), keys::kPageNumberDefault), 0,
                          9, keys::kPageNumberDefault);
        settingsDialog_.doubleClickActionList->setListIndex(
            keys::inRange(readInt(keys::kOptions, QStringLiteral("DoubleClick"), keys::kDoubleClickDefault),
                          0, 2, keys::kDoubleClickDefault));
    }

    int readColor(const char* key, std::int32_t def) const {
        return keys::colorValue(readInt(keys::kColorOptions, QString::fromLatin1(key), def), def);
    }

    void readColors() {
        s_.backgroundColor = QString::number(readColor("Color1", keys::kColor1Default));
        s_.selectionColor = QString::number(readColor("Color2", keys::kColor2Default));
        s_.clockColor = QString::number(readColor("Color3", keys::kColor3Default));
        s_.tipBackColor = std::uint32_t(readColor("ToolTipBackColor", keys::kToolTipBackColorDefault));
        s_.tipTextColor = std::uint32_t(readColor("ToolTipFontColor", keys::kToolTipFontColorDefault));
    }

    int readTwips(const char* key, int def) const {
        return keys::twipsValue(readInt(keys::kForm, QString::fromLatin1(key), def), def);
    }

    // The palette's place and width always; the settings dialog's place when positions are
    // remembered. The width runs the resize rules, which need the caption height.
    void placeWindows() {
        palette_.setLeftTwips(readTwips("Form1Left", keys::kForm1LeftDefault));
        palette_.setTopTwips(readTwips("Form1Top", keys::kForm1TopDefault));
        palette_.setWidthTwips(readTwips("Form1Width", keys::kForm1WidthDefault));
        // A stored width equal to the one the window was made with changes no size and runs no
        // resize rules; the height rules must hold from the first frame all the same.
        palette_.fitToWidth();
        const int settingsLeft = readTwips("Form2Left", keys::kForm2LeftDefault);
        const int settingsTop = readTwips("Form2Top", keys::kForm2TopDefault);
        if (settingsDialog_.optionChecks[option::kRememberPositions]->value() == 1) {
            settingsDialog_.setLeftTwips(settingsLeft);
            settingsDialog_.setTopTwips(settingsTop);
        }
        // Positions stored on a larger screen must not leave a window out of reach.
        palette_.keepMostlyInWorkArea();
        settingsDialog_.keepMostlyInWorkArea();
    }

    // Choosing the clock-mode button stores the mode back into the shared state.
    void readClockMode() {
        const int clockMode = keys::inRange(
            readInt(keys::kOptions, QStringLiteral("Time"), keys::kTimeDefault), 0, 2, keys::kTimeDefault);
        s_.clockMode = QString::number(clockMode);
        settingsDialog_.clockModeChoices[std::size_t(clockMode)]->setValue(true);
    }

    int readMargin(const char* key) const {
        return keys::inRange(readInt(keys::kMouseOptions, QString::fromLatin1(key), keys::kMouseDefault), 0,
                             32767, keys::kMouseDefault);
    }

    void readAutoHideMargins() {
        mouseDialog_.sideMarginBars[0]->setScrollValue(readMargin("MouseX"));
        mouseDialog_.sideMarginBars[1]->setScrollValue(readMargin("MouseXX"));
        mouseDialog_.topBottomMarginBars[0]->setScrollValue(readMargin("MouseY"));
        mouseDialog_.topBottomMarginBars[1]->setScrollValue(readMargin("MouseYY"));
    }

    void readPageNames() {
        for (int page = 0; page < 10; ++page)
            s_.pageNames[std::size_t(page)] = storage::ReadProfileString(
                keys::kPageName, QStringLiteral("Page%1").arg(page + 1), ini_, keys::defaultPageName(page));
    }

    void readInputModeOption() {
        settingsDialog_.optionChecks[option::kLeaveInputMode]->setValue(
            keys::checkState(readInt(keys::kOptions, QStringLiteral("Check7"), 1), 1));
    }

    void makeTipWindow() {
        s_.tipWindow = new palette::TipWindow(&palette_);
        s_.tipWindow->setMaxTipWidth(1000);
        s_.tipWindow->setTipBackColor(s_.tipBackColor);
        s_.tipWindow->setTipTextColor(s_.tipTextColor);
    }

    // The palette's and the editor's page lists get the page names; choosing the first item
    // runs both lists' handlers in full.
    void fillPageLists() {
        for (auto* list : {palette_.pageList, settingsDialog_.editorPageList}) {
            for (int i = 0; i < 10 && list->listCount() > 0; ++i)
                list->removeListItem(0);
            for (const auto& name : s_.pageNames)
                list->addListItem(name);
        }
        palette_.pageList->setListIndex(0);
        settingsDialog_.editorPageList->setListIndex(0);
    }

    // From here on the program refills the controls itself: the lists' and boxes' handlers
    // stay quiet until the group is chosen at the end.
    void showFirstPageGroupNamesInEditor() {
        s_.refilling = storage::kRefilling;
        for (int i = 0; i < 16; ++i)
            settingsDialog_.groupNameBoxes[std::size_t(i)]->setText(s_.kaomoji.at(0, 0, i));
    }

    // The selection colour comes with the group selection at the end.
    void paintColors() {
        palette_.setAutoFillBackground(true);
        palette_.pageTabs->setBackColor(storage::colorFromText(s_.backgroundColor));
        palette_.paintBackgroundColors();
    }

    void openLastPageIfAsked() {
        if (settingsDialog_.optionChecks[option::kOpenLastPage]->value() != 0) {
            palette_.pageList->setListIndex(s_.lastPage);
            settingsDialog_.editorPageList->setListIndex(s_.lastPage);
        }
    }

    // The start page's group names, its tab, and no groups or ASCII art on the history page.
    void showStartPage() {
        const int p = palette_.pageList->listIndex();
        for (int i = 0; i < 16; ++i) {
            const QString& text = s_.kaomoji.get(p, 0, i);
            palette_.groupButtons[std::size_t(i)]->setCaption(text);
            settingsDialog_.groupNameBoxes[std::size_t(i)]->setText(text);
        }
        palette_.setGroupButtonsEnabled(p != kHistoryPage);
        if (p == kHistoryPage) {
            palette_.pageTabs->setTab(0);
            palette_.groupButtons[0]->press();
        } else {
            palette_.pageTabs->setTab(p + 1);
        }
    }

    PaletteWindow& palette_;
    storage::ProgramState& s_;
    SettingsDialog& settingsDialog_;
    MouseSensitivityDialog& mouseDialog_;
    AsciiArtDialog& asciiArtDialog_;
    const std::filesystem::path ini_;
};

} // namespace

QString startUp(const ProgramWindows& windows, storage::ProgramState& state) {
    StartUp startUp(windows, state);
    startUp.run();
    if (startUp.unread.empty())
        return QString();
    QString notice = QStringLiteral("次のファイルを読み込めませんでした。その中身は表示していません。"
                                    "ファイルはそのまま残してあり、保存しても書き換えません。");
    for (const auto& file : startUp.unread)
        notice += QStringLiteral("\n\n") + file.name + QLatin1Char('\n') + file.why;
    return notice;
}
