// Start-up from the files in the program's folder: what the palette and its dialogs hold
// once the load handler has returned.
#include "asciiart/ascii_art_dialog.h"
#include "controls/twips.h"
#include "palette/palette_window.h"
#include "palette/tip_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QtTest>

namespace {
constexpr std::uint32_t kGreen = 12648384;  // background default
constexpr std::uint32_t kPink = 16761087;   // selection default
constexpr std::uint32_t kYellow = 16777088; // clock default

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void noFilesGivesTheDefaults();
    void kaomojiFileCaptionsTheButtons();
    void lastPageHistoryOpensTheHistoryPage();
    void lastPageOffOpensTheFirstPage();
    void lastPageOnOpensThatPage();
    void alwaysOnTopOffMakesNoTopmostCall();
    void rememberPositionOffKeepsTheSettingsDialogWhereItIs();
    void storedPositionsAndWidthAreApplied();
    void longPageNameIsCutOnACharacterBoundary();
    void valuesOutOfRangeFallBackToTheirDefaults();
    void captionHeightFollowsThePlatform_data();
    void captionHeightFollowsThePlatform();
    void timersFirstTickAfterStartUp();
    void paletteHasItsHeightFromTheFirstFrame_data();
    void paletteHasItsHeightFromTheFirstFrame();
    void windowsMostlyOutsideTheWorkAreaAreMovedInside_data();
    void windowsMostlyOutsideTheWorkAreaAreMovedInside();
    void leftoversOfKilledSavesAreRemoved();
};

void StartupTest::noFilesGivesTheDefaults() {
    TestProgram t;
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    auto& settingsDialog = program.settingsDialog();
    auto& mouseDialog = program.mouseDialog();
    auto& s = program.state();

    QCOMPARE(paletteWindow.windowTitle(), QStringLiteral("ぴこめ"));
    QVERIFY(paletteWindow.isVisible());
    QVERIFY(!settingsDialog.isVisible());
    QVERIFY(!mouseDialog.isVisible());
    QVERIFY(!program.asciiArtDialog().isVisible());
    QCOMPARE(paletteWindow.leftTwips(), 0);
    QCOMPARE(paletteWindow.topTwips(), 0);
    QCOMPARE(paletteWindow.widthTwips(), 4710);
    // Expanded height: caption (20 px) + 7000 twips, to the pixel.
    QCOMPARE(paletteWindow.heightTwips(), 15 * controls::toPixels(300 + 7000));

    const int expectedChecks[10] = {1, 1, 1, 0, 1, 0, 0, 1, 1, 0};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(settingsDialog.optionChecks[std::size_t(i)]->value(), expectedChecks[i]);
    QCOMPARE(settingsDialog.doubleClickActionList->listIndex(), 1);
    QCOMPARE(s.clockMode, QStringLiteral("2"));
    QVERIFY(settingsDialog.clockModeChoices[2]->value());
    for (auto* bar : mouseDialog.sideMarginBars)
        QCOMPARE(bar->value(), 10000);
    for (auto* bar : mouseDialog.topBottomMarginBars)
        QCOMPARE(bar->value(), 10000);
    for (auto* field : mouseDialog.marginValueBoxes)
        QCOMPARE(field->text(), QStringLiteral("0"));

    // Pages: default names in both lists, the first page open on tab 1, group 0.
    QCOMPARE(paletteWindow.pageList->listCount(), 10);
    QCOMPARE(settingsDialog.editorPageList->listCount(), 10);
    QCOMPARE(paletteWindow.pageList->itemText(0), QStringLiteral("ページ１"));
    QCOMPARE(paletteWindow.pageList->itemText(8), QStringLiteral("ページ９"));
    QCOMPARE(paletteWindow.pageList->itemText(9), QStringLiteral("履歴"));
    QCOMPARE(settingsDialog.editorPageList->itemText(4), QStringLiteral("ページ５"));
    QCOMPARE(paletteWindow.pageList->listIndex(), 0);
    QCOMPARE(settingsDialog.editorPageList->listIndex(), 0);
    QCOMPARE(paletteWindow.pageTabs->tab(), 1);
    QCOMPARE(s.currentGroup, 0);
    QCOMPARE(s.refilling, 0);
    QVERIFY(settingsDialog.groupChoices[0]->value());
    QVERIFY(settingsDialog.pageNameChoices[0]->value());
    QVERIFY(settingsDialog.colorTargetChoices[0]->value());
    QCOMPARE(settingsDialog.pageNameBox->text(), QStringLiteral("ページ１"));

    // Empty buttons, all enabled, in the default colours.
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(paletteWindow.entryButtons[std::size_t(i)]->caption(), QString());
        QCOMPARE(paletteWindow.entryButtons[std::size_t(i)]->backColor(), kGreen);
    }
    QCOMPARE(paletteWindow.entryButtons[PaletteWindow::kClockBar]->backColor(), kYellow);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(paletteWindow.groupButtons[std::size_t(i)]->caption(), QString());
        QVERIFY(paletteWindow.groupButtons[std::size_t(i)]->isEnabled());
        QCOMPARE(paletteWindow.groupButtons[std::size_t(i)]->backColor(), i == 0 ? kPink : kGreen);
        QCOMPARE(settingsDialog.groupNameBoxes[std::size_t(i)]->text(), QString());
    }
    QVERIFY(paletteWindow.asciiArtButton->isEnabled());
    QCOMPARE(paletteWindow.asciiArtButton->backColor(), kGreen);
    QCOMPARE(paletteWindow.settingsButton->backColor(), kGreen);
    QCOMPARE(paletteWindow.exitButton->backColor(), kGreen);
    QCOMPARE(s.backgroundColor, QStringLiteral("12648384"));
    QCOMPARE(s.selectionColor, QStringLiteral("16761087"));
    QCOMPARE(s.clockColor, QStringLiteral("16777088"));
    QCOMPARE(s.tipBackColor, 11829860u);
    QCOMPARE(s.tipTextColor, 16777215u);
    QVERIFY(s.tipWindow);
    QCOMPARE(s.tipWindow->tipBackColor(), 11829860u);
    QCOMPARE(s.tipWindow->tipTextColor(), 16777215u);

    // ASCII art: empty, options on.
    for (auto* box : program.asciiArtDialog().optionChecks)
        QCOMPARE(box->value(), 1);
    QCOMPARE(s.asciiArtNames.at(1, 0), QString());
    QCOMPARE(s.asciiArtTexts.at(9, 19), QString());

    // Always on top: the check box's click suspended the upkeep, start-up put the palette on top.
    QCOMPARE(s.topmostSuspended, 1);
    QVERIFY(!t.desktop.topmostCalls.empty());
    QCOMPARE(t.desktop.topmostCalls.back().window, paletteWindow.handle());
    QVERIFY(t.desktop.topmostCalls.back().on);

    // Nothing was written.
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("設定.ini"))));
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("顔文字.ini"))));
}

void StartupTest::kaomojiFileCaptionsTheButtons() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    auto& settingsDialog = program.settingsDialog();
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(paletteWindow.groupButtons[std::size_t(i)]->caption(), QStringLiteral("p0r0s%1").arg(i));
        QCOMPARE(settingsDialog.groupNameBoxes[std::size_t(i)]->text(), QStringLiteral("p0r0s%1").arg(i));
    }
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(paletteWindow.entryButtons[std::size_t(i)]->caption(), QStringLiteral("p0r1s%1").arg(i));
        QCOMPARE(settingsDialog.entryBoxes[std::size_t(i)]->text(), QStringLiteral("p0r1s%1").arg(i));
    }
    // Filling the boxes stored nothing new.
    QCOMPARE(program.state().kaomoji.at(0, 1, 0), QStringLiteral("p0r1s0"));
    QCOMPARE(program.state().kaomoji.at(9, 16, 19), QStringLiteral("p9r16s19"));
}

void StartupTest::lastPageHistoryOpensTheHistoryPage() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    t.writeSettings({"[Options]", "Check6=1", "PageNumber=9"});
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    auto& settingsDialog = program.settingsDialog();
    QCOMPARE(paletteWindow.pageList->listIndex(), 9);
    QCOMPARE(settingsDialog.editorPageList->listIndex(), 9);
    QCOMPARE(paletteWindow.pageTabs->tab(), 0);
    for (int i = 0; i < 16; ++i) {
        QVERIFY(!paletteWindow.groupButtons[std::size_t(i)]->isEnabled());
        QVERIFY(!settingsDialog.groupChoices[std::size_t(i)]->isEnabled());
        QCOMPARE(paletteWindow.groupButtons[std::size_t(i)]->caption(), QStringLiteral("p9r0s%1").arg(i));
    }
    QVERIFY(!paletteWindow.asciiArtButton->isEnabled());
    // The history: row 1 of page 9.
    for (int i = 0; i < 20; ++i)
        QCOMPARE(paletteWindow.entryButtons[std::size_t(i)]->caption(), QStringLiteral("p9r1s%1").arg(i));
    QCOMPARE(program.state().currentGroup, 0);
    QCOMPARE(program.state().refilling, 0);
}

void StartupTest::lastPageOffOpensTheFirstPage() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check6=0", "PageNumber=9"});
    auto& program = t.start();
    QCOMPARE(program.paletteWindow().pageList->listIndex(), 0);
    QCOMPARE(program.paletteWindow().pageTabs->tab(), 1);
    QVERIFY(program.paletteWindow().asciiArtButton->isEnabled());
    QCOMPARE(program.state().lastPage, 9);
}

void StartupTest::lastPageOnOpensThatPage() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    t.writeSettings({"[Options]", "Check6=1", "PageNumber=4"});
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    QCOMPARE(paletteWindow.pageList->listIndex(), 4);
    QCOMPARE(program.settingsDialog().editorPageList->listIndex(), 4);
    QCOMPARE(paletteWindow.pageTabs->tab(), 5);
    QCOMPARE(paletteWindow.groupButtons[3]->caption(), QStringLiteral("p4r0s3"));
    QCOMPARE(paletteWindow.entryButtons[7]->caption(), QStringLiteral("p4r1s7"));
    QCOMPARE(program.settingsDialog().entryBoxes[7]->text(), QStringLiteral("p4r1s7"));
    // The page-name choice follows when the settings dialog opens on that page.
    program.paletteWindow().settingsButton->press();
    QVERIFY(program.settingsDialog().isVisible());
    QCOMPARE(program.settingsDialog().pageNameBox->text(), QStringLiteral("ページ５"));
    QVERIFY(program.settingsDialog().pageNameChoices[4]->value());
}

void StartupTest::alwaysOnTopOffMakesNoTopmostCall() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check0=0"});
    auto& program = t.start();
    QCOMPARE(program.settingsDialog().optionChecks[option::kAlwaysOnTop]->value(), 0);
    QCOMPARE(program.state().topmostSuspended, 0);
    QVERIFY(t.desktop.topmostCalls.empty());
}

void StartupTest::rememberPositionOffKeepsTheSettingsDialogWhereItIs() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check2=0", "[Form]", "Form1Left=1500", "Form1Top=3000", "Form1Width=6000",
                     "Form2Left=9000", "Form2Top=6000"});
    auto& program = t.start();
    QCOMPARE(program.settingsDialog().leftTwips(), 4680);
    QCOMPARE(program.settingsDialog().topTwips(), 0);
    QCOMPARE(program.paletteWindow().leftTwips(), 1500);
    QCOMPARE(program.paletteWindow().topTwips(), 3000);
    QCOMPARE(program.paletteWindow().widthTwips(), 6000);
}

void StartupTest::storedPositionsAndWidthAreApplied() {
    TestProgram t;
    t.writeSettings(
        {"[Form]", "Form1Left=1500", "Form1Top=3000", "Form1Width=1000", "Form2Left=9000", "Form2Top=6000"});
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    QCOMPARE(program.settingsDialog().leftTwips(), 9000);
    QCOMPARE(program.settingsDialog().topTwips(), 6000);
    // The width has a minimum; the entry buttons and the clock bar follow the width.
    QCOMPARE(paletteWindow.widthTwips(), 1800);
    QCOMPARE(paletteWindow.entryButtons[0]->width(), controls::toPixels(1800 - 1335));
    QCOMPARE(paletteWindow.entryButtons[19]->width(), controls::toPixels(1800 - 1335));
    QCOMPARE(paletteWindow.entryButtons[PaletteWindow::kClockBar]->width(), controls::toPixels(1800 + 105));
}

void StartupTest::longPageNameIsCutOnACharacterBoundary() {
    TestProgram t;
    // 'a' then 150 two-byte characters: 301 bytes; 254 bytes would split the 127th character.
    QString name = QStringLiteral("a") + QString(150, QChar(u'あ'));
    t.writeSettings({"[PageName]", QStringLiteral("Page2=") + name});
    auto& program = t.start();
    const QString expected = QStringLiteral("a") + QString(126, QChar(u'あ'));
    QCOMPARE(storage::toCp932(expected).size(), std::size_t(253));
    QCOMPARE(program.state().pageNames[1], expected);
    QCOMPARE(program.paletteWindow().pageList->itemText(1), expected);
    QCOMPARE(program.state().pageNames[0], QStringLiteral("ページ１"));
}

void StartupTest::valuesOutOfRangeFallBackToTheirDefaults() {
    TestProgram t;
    t.writeSettings({"[Options]",
                     "Check0=5",
                     "Check3=-1",
                     "Check8=2",
                     "PageNumber=12",
                     "Check6=1",
                     "DoubleClick=7",
                     "Time=9",
                     "[ColorOptions]",
                     "Color1=-5",
                     "Color2=0x1000000",
                     "Color3=255",
                     "ToolTipBackColor=99999999",
                     "[Form]",
                     "Form1Width=999999999",
                     "Form1Left=-600",
                     "[MouseOptions]",
                     "MouseX=40000",
                     "MouseY=-3",
                     "MouseYY=0",
                     "MouseXX=32767"});
    auto& program = t.start();
    auto& settingsDialog = program.settingsDialog();
    auto& s = program.state();
    QCOMPARE(settingsDialog.optionChecks[option::kAlwaysOnTop]->value(), 1);
    QCOMPARE(settingsDialog.optionChecks[option::kKeepUserClipboard]->value(), 0);
    QCOMPARE(settingsDialog.optionChecks[option::kSaveOnExit]->value(),
             2); // a greyed box is a state the box can hold
    QCOMPARE(s.lastPage, 1);
    QCOMPARE(program.paletteWindow().pageList->listIndex(), 1);
    QCOMPARE(settingsDialog.doubleClickActionList->listIndex(), 1);
    QCOMPARE(s.clockMode, QStringLiteral("2"));
    QCOMPARE(s.backgroundColor, QStringLiteral("12648384"));
    QCOMPARE(s.selectionColor, QStringLiteral("16761087"));
    QCOMPARE(s.clockColor, QStringLiteral("255"));
    QCOMPARE(s.tipBackColor, 11829860u);
    QCOMPARE(program.paletteWindow().widthTwips(), 4710);
    QCOMPARE(program.paletteWindow().leftTwips(), -600);
    QCOMPARE(program.mouseDialog().sideMarginBars[0]->value(), 10000);
    QCOMPARE(program.mouseDialog().topBottomMarginBars[0]->value(), 10000);
    // A stored 0 is in range and moves no bar: its field keeps "0", no margin.
    QCOMPARE(program.mouseDialog().topBottomMarginBars[1]->value(), 0);
    QCOMPARE(program.mouseDialog().marginValueBoxes[3]->text(), QStringLiteral("0"));
    QCOMPARE(program.mouseDialog().sideMarginBars[1]->value(), 32767);
    QCOMPARE(program.mouseDialog().marginValueBoxes[1]->text(), QStringLiteral("-22767"));
}

void StartupTest::captionHeightFollowsThePlatform_data() {
    QTest::addColumn<int>("family");
    QTest::addColumn<double>("version");
    QTest::addColumn<int>("expectedPixels");
    QTest::newRow("Windows 7") << int(platform::OsFamily::WindowsNT) << 6.1 << 28;
    QTest::newRow("Windows XP") << int(platform::OsFamily::WindowsNT) << 5.1 << 20;
    QTest::newRow("Windows 10") << int(platform::OsFamily::WindowsNT) << 10.0 << 20;
    QTest::newRow("Linux 6.1") << int(platform::OsFamily::Linux) << 6.1 << 20;
}

void StartupTest::captionHeightFollowsThePlatform() {
    QFETCH(int, family);
    QFETCH(double, version);
    QFETCH(int, expectedPixels);
    TestProgram t;
    t.desktop.family = platform::OsFamily(family);
    t.desktop.version = version;
    auto& program = t.start();
    QCOMPARE(program.state().captionHeight, expectedPixels * 15);
}

void StartupTest::timersFirstTickAfterStartUp() {
    TestProgram t;
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    QVERIFY(paletteWindow.clockTimer->isActive());
    QVERIFY(paletteWindow.foregroundTimer->isActive());
    QVERIFY(paletteWindow.autoHideTimer->isActive());
    QCOMPARE(paletteWindow.clockTimer->interval(), 1000);
    QCOMPARE(paletteWindow.foregroundTimer->interval(), 250);
    QCOMPARE(paletteWindow.autoHideTimer->interval(), 250);
    // The clock bar is empty until the first tick, one second later.
    QCOMPARE(paletteWindow.entryButtons[PaletteWindow::kClockBar]->caption(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(
        paletteWindow.entryButtons[PaletteWindow::kClockBar]->caption().contains(QStringLiteral("  ")), 2500);
}

void StartupTest::paletteHasItsHeightFromTheFirstFrame_data() {
    QTest::addColumn<QStringList>("settings");
    // The palette is made 408 pixels wide inside a 2-pixel frame: 6180 twips outside.
    QTest::newRow("stored width equals the width made with") << QStringList{"[Form]", "Form1Width=6180"};
    QTest::newRow("another stored width") << QStringList{"[Form]", "Form1Width=6000"};
    QTest::newRow("no settings file") << QStringList{};
}

void StartupTest::paletteHasItsHeightFromTheFirstFrame() {
    QFETCH(QStringList, settings);
    TestProgram t;
    if (!settings.isEmpty())
        t.writeSettings(settings);
    auto& program = t.start();
    auto& paletteWindow = program.paletteWindow();
    // Looked at before any timer tick could set it; 7300 twips are 487 whole pixels.
    const int expandedPixels = controls::toPixels(program.state().captionHeight + 7000);
    QCOMPARE(paletteWindow.heightTwips(), controls::toTwips(expandedPixels));
    QCOMPARE(paletteWindow.height(), expandedPixels - 4);
}

void StartupTest::windowsMostlyOutsideTheWorkAreaAreMovedInside_data() {
    QTest::addColumn<QStringList>("positions");
    QTest::addColumn<QList<int>>("expected"); // palette left, top; settings dialog left, top
    // The work area is 800 x 600 pixels at (20, 30): twips 300..12300 across, 450..9450 down.
    // The palette is 4710 x 7305 twips outside, the settings dialog 9045 x 6705.
    auto row = [](const char* name, QList<int> stored, QList<int> expected) {
        QStringList lines{"[Form]"};
        const char* keys[] = {"Form1Left", "Form1Top", "Form2Left", "Form2Top"};
        for (int i = 0; i < 4; ++i)
            lines << QStringLiteral("%1=%2").arg(QLatin1String(keys[i])).arg(stored[i]);
        QTest::newRow(name) << lines << expected;
    };
    row("inside", {1500, 1500, 3000, 600}, {1500, 1500, 3000, 600});
    row("partly outside, every control partly inside", {-300, 1500, 4500, 3000}, {-300, 1500, 4500, 3000});
    // Mostly inside, but the palette's last entry button lies wholly below the area and the
    // dialog's top row wholly above it: out of reach, so moved in.
    row("mostly inside, controls at an edge outside", {-300, 3000, 4500, -900}, {300, 2145, 3255, 450});
    row("beyond the right and bottom edges", {30000, 3000, 30000, 30000}, {7590, 2145, 3255, 2745});
    row("beyond the left and top edges", {-3990, -6000, -15000, 450}, {300, 450, 300, 450});
    // Mostly inside, but the left column (the page list, the group buttons, "AA", "設定" and
    // "終了", 1095 twips wide) wholly left of the area: before, it stayed out of reach.
    row("mostly inside, a column of controls outside", {-1200, 1500, 3000, 600}, {300, 1500, 3000, 600});
}

void StartupTest::windowsMostlyOutsideTheWorkAreaAreMovedInside() {
    QFETCH(QStringList, positions);
    QFETCH(QList<int>, expected);
    TestProgram t;
    t.desktop.area = {20, 30, 800, 600};
    t.writeSettings(positions);
    auto& program = t.start();
    QCOMPARE(program.paletteWindow().widthTwips(), 4710);
    QCOMPARE(program.paletteWindow().heightTwips(), 7305);
    const QList<int> placed{program.paletteWindow().leftTwips(), program.paletteWindow().topTwips(),
                            program.settingsDialog().leftTwips(), program.settingsDialog().topTwips()};
    QCOMPARE(placed, expected);
}

void StartupTest::leftoversOfKilledSavesAreRemoved() {
    TestProgram t;
    // What a killed save leaves, beside each file the program writes, and look-alikes that are
    // someone else's.
    const QList<QPair<QString, bool>> files = {
        {QStringLiteral("顔文字.ini.abcd1234.tmp"), true},
        {QStringLiteral("設定.ini.0zz9y8x7.tmp"), true},
        {QStringLiteral("AA/AAOptions.ini.a1b2c3d4.tmp"), true},
        {QStringLiteral("AA/AAText_9_19.txt.00000000.tmp"), true},
        {QStringLiteral("notes.txt.abcd1234.tmp"), false},          // not a file of the program
        {QStringLiteral("AA/AAText_0_00.txt.abcd1234.tmp"), false}, // no such page
#ifdef _WIN32
        // Names that differ only in case are one file on Windows: beside another file there.
        {QStringLiteral("設定.ini.ABCD1234.tmp"), false}, // not a suffix the program makes
#else
        {QStringLiteral("顔文字.ini.ABCD1234.tmp"), false}, // not a suffix the program makes
#endif
        {QStringLiteral("顔文字.ini.abc1234.tmp"), false},
        {QStringLiteral("AA/顔文字.ini.abcd1234.tmp"), false}, // not where the program writes it
        {QStringLiteral("顔文字.ini"), false},
    };
    for (const auto& [name, _] : files)
        t.writeBytes(name, "x");
    std::filesystem::create_directories(t.path(QStringLiteral("設定.ini.folder00.tmp")));
    t.start();
    for (const auto& [name, removed] : files)
        QVERIFY2(std::filesystem::exists(t.path(name)) != removed, qPrintable(name));
    QVERIFY(std::filesystem::is_directory(t.path(QStringLiteral("設定.ini.folder00.tmp"))));
}

QTEST_MAIN(StartupTest)
#include "startup.moc"
