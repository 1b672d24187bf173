// The palette window by itself: what it asks of the other windows goes through the window
// links, so a recording stand-in takes their place and shows every step that spans windows.
#include "links/window_links.h"
#include "palette/palette_window.h"
#include "platform/fake/fake_desktop.h"
#include "platform/utf8_path.h"
#include "storage/options.h"
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

class RecordingLinks final : public WindowLinks {
public:
    mutable QStringList log;
    std::array<int, option::kCount> options{};
    int clock = 0;
    bool settingsAreOpen = false;

    int optionValue(std::size_t option) const override { return options[option]; }
    int asciiArtOptionValue(std::size_t) const override { return 1; }
    int doubleClickAction() const override { return 0; }
    int clockShows() const override { return clock; }
    int autoHideMargin(int) const override { return 0; }
    bool settingsOpen() const override { return settingsAreOpen; }
    bool dialogCoversPalette() const override { return false; }
    void editorFollowPage(int page) override { note("editorFollowPage", page); }
    void editorFollowGroup(int group) override { note("editorFollowGroup", group); }
    void editorShowGroupOfPage(int page, int group) override { note("editorShowGroupOfPage", page, group); }
    void editorEnableGroups(bool enabled) override { note("editorEnableGroups", enabled); }
    void openSettings() override { note("openSettings"); }
    // The palette never asks these of itself.
    int palettePage() const override { return unexpected("palettePage"), 0; }
    void paletteShowPage(int) override { unexpected("paletteShowPage"); }
    void paletteShowEntry(int, const QString&) override { unexpected("paletteShowEntry"); }
    void paletteShowGroupName(int, const QString&) override { unexpected("paletteShowGroupName"); }
    void paletteMarkGroup(int, bool) override { unexpected("paletteMarkGroup"); }
    void paletteChooseFirstGroup() override { unexpected("paletteChooseFirstGroup"); }
    void paletteShowHistoryOrPage(int) override { unexpected("paletteShowHistoryOrPage"); }
    void paletteRepaintColors() override { unexpected("paletteRepaintColors"); }
    void pageNamesChanged(int) override { unexpected("pageNamesChanged"); }
    void openAbout() override { unexpected("openAbout"); }
    void openBatchRegistration() override { unexpected("openBatchRegistration"); }
    void openMouseSensitivity() override { unexpected("openMouseSensitivity"); }
    void openAsciiArtSettings(int) override { unexpected("openAsciiArtSettings"); }
    controls::TextBox& editorEntryBox(int) override { std::abort(); }
    QStringList saveSettings() override { return note("saveSettings"), QStringList(); }
    QStringList saveEverything() override { return note("saveEverything"), QStringList(); }

private:
    void note(const char* step, int a = -1, int b = -1) {
        QString line = QString::fromLatin1(step);
        for (int value : {a, b})
            if (value >= 0)
                line += QLatin1Char(' ') + QString::number(value);
        log << line;
    }
    void unexpected(const char* step) const { log << QStringLiteral("unexpected ") + QLatin1String(step); }
};

struct Alone {
    QTemporaryDir dir;
    platform::FakeDesktop desktop;
    storage::ProgramState state{platform::pathFromUtf8(dir.path().toStdString()), desktop};
    RecordingLinks links;
    std::unique_ptr<PaletteWindow> palette;
    Alone() {
        state.links = &links;
        palette = std::make_unique<PaletteWindow>(state);
    }
};

} // namespace

class PaletteAloneTest : public QObject {
    Q_OBJECT
private slots:
    void userStepsAskTheOtherWindows_data();
    void userStepsAskTheOtherWindows();
    void optionsComeFromTheLinksAsTheyStandNow();
};

void PaletteAloneTest::userStepsAskTheOtherWindows_data() {
    QTest::addColumn<std::function<void(Alone&)>>("step");
    QTest::addColumn<QStringList>("expected");
    // Showing the page's tab runs the tab's handler, which tells the editor the page again.
    QTest::newRow("a page from the list")
        << std::function<void(Alone&)>([](Alone& a) { a.palette->pageList->setListIndex(3); })
        << QStringList{"editorFollowPage 3", "editorShowGroupOfPage 3 0", "editorEnableGroups 1",
                       "editorFollowPage 3"};
    // The history page has no groups: its first group is chosen before and after the switch.
    QTest::newRow("the history page from the list")
        << std::function<void(Alone&)>([](Alone& a) { a.palette->pageList->setListIndex(9); })
        << QStringList{"editorFollowGroup 0", "editorFollowPage 9", "editorShowGroupOfPage 9 0",
                       "editorEnableGroups 0", "editorFollowGroup 0"};
    QTest::newRow("a page tab") << std::function<void(Alone&)>(
                                       [](Alone& a) { a.palette->pageTabs->setTab(5); })
                                << QStringList{"editorFollowPage 4", "editorShowGroupOfPage 4 0",
                                               "editorEnableGroups 1", "editorFollowPage 4"};
    QTest::newRow("a group button") << std::function<void(Alone&)>([](Alone& a) {
        a.palette->groupButtons[7]->press();
    }) << QStringList{"editorFollowGroup 7"};
    QTest::newRow("設定") << std::function<void(Alone&)>([](Alone& a) { a.palette->settingsButton->press(); })
                          << QStringList{"openSettings"};
    // ASCII art is not shown while the editor is open: it edits kaomoji groups only.
    QTest::newRow("AA while the settings are open") << std::function<void(Alone&)>([](Alone& a) {
        a.links.settingsAreOpen = true;
        a.palette->asciiArtButton->press();
        QCOMPARE(a.state.currentGroup, 0);
    }) << QStringList{};
}

void PaletteAloneTest::userStepsAskTheOtherWindows() {
    QFETCH(std::function<void(Alone&)>, step);
    QFETCH(QStringList, expected);
    Alone a;
    step(a);
    QCOMPARE(a.links.log, expected);
}

void PaletteAloneTest::optionsComeFromTheLinksAsTheyStandNow() {
    Alone a;
    auto* clock = a.palette->entryButtons[PaletteWindow::kClockBar];
    a.links.clock = 1;
    a.palette->clockTick();
    QVERIFY(
        QRegularExpression(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d$")).match(clock->caption()).hasMatch());
    a.links.clock = 0;
    a.palette->clockTick();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d\\d/\\d\\d$")).match(clock->caption()).hasMatch());
    // "Always on top" puts the palette in the band only when the box is checked, not greyed.
    for (const int value : {2, 0, 1}) {
        a.links.options[option::kAlwaysOnTop] = value;
        a.desktop.topmostCalls.clear();
        a.palette->fitToWidth();
        QCOMPARE(a.desktop.topmostCalls.size(), value == 1 ? std::size_t(1) : std::size_t(0));
    }
}

QTEST_MAIN(PaletteAloneTest)
#include "palette_alone.moc"
