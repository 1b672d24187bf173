// Start-up from the files in the program's folder: what the palette and its dialogs hold
// once the load handler has returned.
#include "asciiart/form5.h"
#include "controls/twips.h"
#include "palette/form1.h"
#include "palette/tip_window.h"
#include "settings/form2.h"
#include "settings/form4.h"
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
};

void StartupTest::noFilesGivesTheDefaults() {
    TestProgram t;
    auto& program = t.start();
    auto& f1 = program.form1();
    auto& f2 = program.form2();
    auto& f4 = program.form4();
    auto& s = program.state();

    QCOMPARE(f1.windowTitle(), QStringLiteral("ぴこめ"));
    QVERIFY(f1.isVisible());
    QVERIFY(!f2.isVisible());
    QVERIFY(!f4.isVisible());
    QVERIFY(!program.form5().isVisible());
    QCOMPARE(f1.leftTwips(), 0);
    QCOMPARE(f1.topTwips(), 0);
    QCOMPARE(f1.widthTwips(), 4710);
    // Expanded height: caption (20 px) + 7000 twips, to the pixel.
    QCOMPARE(f1.heightTwips(), 15 * controls::toPixels(300 + 7000));

    const int expectedChecks[10] = {1, 1, 1, 0, 1, 0, 0, 1, 1, 0};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(f2.Check1[std::size_t(i)]->value(), expectedChecks[i]);
    QCOMPARE(f2.Combo2->listIndex(), 1);
    QCOMPARE(s.ClockMode, QStringLiteral("2"));
    QVERIFY(f2.Option4[2]->value());
    for (auto* bar : f4.HScroll1)
        QCOMPARE(bar->value(), 10000);
    for (auto* bar : f4.VScroll1)
        QCOMPARE(bar->value(), 10000);
    for (auto* field : f4.Text1)
        QCOMPARE(field->text(), QStringLiteral("0"));

    // Pages: default names in both lists, the first page open on tab 1, group 0.
    QCOMPARE(f1.Combo1->listCount(), 10);
    QCOMPARE(f2.Combo1->listCount(), 10);
    QCOMPARE(f1.Combo1->itemText(0), QStringLiteral("ページ１"));
    QCOMPARE(f1.Combo1->itemText(8), QStringLiteral("ページ９"));
    QCOMPARE(f1.Combo1->itemText(9), QStringLiteral("履歴"));
    QCOMPARE(f2.Combo1->itemText(4), QStringLiteral("ページ５"));
    QCOMPARE(f1.Combo1->listIndex(), 0);
    QCOMPARE(f2.Combo1->listIndex(), 0);
    QCOMPARE(f1.SSTab1->tab(), 1);
    QCOMPARE(s.CurrentGroup, 0);
    QCOMPARE(s.EditGuard, 0);
    QVERIFY(f2.Option1[0]->value());
    QVERIFY(f2.Option3[0]->value());
    QVERIFY(f2.Option2[0]->value());
    QCOMPARE(f2.Text3->text(), QStringLiteral("ページ１"));

    // Empty buttons, all enabled, in the default colours.
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(f1.Command1[std::size_t(i)]->caption(), QString());
        QCOMPARE(f1.Command1[std::size_t(i)]->backColor(), kGreen);
    }
    QCOMPARE(f1.Command1[20]->backColor(), kYellow);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(f1.Command2[std::size_t(i)]->caption(), QString());
        QVERIFY(f1.Command2[std::size_t(i)]->isEnabled());
        QCOMPARE(f1.Command2[std::size_t(i)]->backColor(), i == 0 ? kPink : kGreen);
        QCOMPARE(f2.Text1[std::size_t(i)]->text(), QString());
    }
    QVERIFY(f1.Command5->isEnabled());
    QCOMPARE(f1.Command5->backColor(), kGreen);
    QCOMPARE(f1.Command3->backColor(), kGreen);
    QCOMPARE(f1.Command4->backColor(), kGreen);
    QCOMPARE(s.Color1, QStringLiteral("12648384"));
    QCOMPARE(s.Color2, QStringLiteral("16761087"));
    QCOMPARE(s.Color3, QStringLiteral("16777088"));
    QCOMPARE(s.ToolTipBackColor, 11829860u);
    QCOMPARE(s.ToolTipFontColor, 16777215u);
    QVERIFY(s.ToolTipWindow);
    QCOMPARE(s.ToolTipWindow->tipBackColor(), 11829860u);
    QCOMPARE(s.ToolTipWindow->tipTextColor(), 16777215u);

    // ASCII art: empty, options on.
    for (auto* box : program.form5().Check1)
        QCOMPARE(box->value(), 1);
    QCOMPARE(s.AAName.at(1, 0), QString());
    QCOMPARE(s.AAText.at(9, 19), QString());

    // Always on top: the check box's click suspended the upkeep, start-up put the palette on top.
    QCOMPARE(s.TopmostSuspended, 1);
    QVERIFY(!t.desktop.topmostCalls.empty());
    QCOMPARE(t.desktop.topmostCalls.back().window, f1.handle());
    QVERIFY(t.desktop.topmostCalls.back().on);

    // Nothing was written.
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("設定.ini"))));
    QVERIFY(!std::filesystem::exists(t.path(QStringLiteral("顔文字.ini"))));
}

void StartupTest::kaomojiFileCaptionsTheButtons() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    auto& program = t.start();
    auto& f1 = program.form1();
    auto& f2 = program.form2();
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(f1.Command2[std::size_t(i)]->caption(), QStringLiteral("p0r0s%1").arg(i));
        QCOMPARE(f2.Text1[std::size_t(i)]->text(), QStringLiteral("p0r0s%1").arg(i));
    }
    for (int i = 0; i < 20; ++i) {
        QCOMPARE(f1.Command1[std::size_t(i)]->caption(), QStringLiteral("p0r1s%1").arg(i));
        QCOMPARE(f2.Text2[std::size_t(i)]->text(), QStringLiteral("p0r1s%1").arg(i));
    }
    // Filling the boxes stored nothing new.
    QCOMPARE(program.state().KaomojiTable.at(0, 1, 0), QStringLiteral("p0r1s0"));
    QCOMPARE(program.state().KaomojiTable.at(9, 16, 19), QStringLiteral("p9r16s19"));
}

void StartupTest::lastPageHistoryOpensTheHistoryPage() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    t.writeSettings({"[Options]", "Check6=1", "PageNumber=9"});
    auto& program = t.start();
    auto& f1 = program.form1();
    auto& f2 = program.form2();
    QCOMPARE(f1.Combo1->listIndex(), 9);
    QCOMPARE(f2.Combo1->listIndex(), 9);
    QCOMPARE(f1.SSTab1->tab(), 0);
    for (int i = 0; i < 16; ++i) {
        QVERIFY(!f1.Command2[std::size_t(i)]->isEnabled());
        QVERIFY(!f2.Option1[std::size_t(i)]->isEnabled());
        QCOMPARE(f1.Command2[std::size_t(i)]->caption(), QStringLiteral("p9r0s%1").arg(i));
    }
    QVERIFY(!f1.Command5->isEnabled());
    // The history: row 1 of page 9.
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f1.Command1[std::size_t(i)]->caption(), QStringLiteral("p9r1s%1").arg(i));
    QCOMPARE(program.state().CurrentGroup, 0);
    QCOMPARE(program.state().EditGuard, 0);
}

void StartupTest::lastPageOffOpensTheFirstPage() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check6=0", "PageNumber=9"});
    auto& program = t.start();
    QCOMPARE(program.form1().Combo1->listIndex(), 0);
    QCOMPARE(program.form1().SSTab1->tab(), 1);
    QVERIFY(program.form1().Command5->isEnabled());
    QCOMPARE(program.state().PageNumber, 9);
}

void StartupTest::lastPageOnOpensThatPage() {
    TestProgram t;
    t.writeSelfNamingKaomojiFile();
    t.writeSettings({"[Options]", "Check6=1", "PageNumber=4"});
    auto& program = t.start();
    auto& f1 = program.form1();
    QCOMPARE(f1.Combo1->listIndex(), 4);
    QCOMPARE(program.form2().Combo1->listIndex(), 4);
    QCOMPARE(f1.SSTab1->tab(), 5);
    QCOMPARE(f1.Command2[3]->caption(), QStringLiteral("p4r0s3"));
    QCOMPARE(f1.Command1[7]->caption(), QStringLiteral("p4r1s7"));
    QCOMPARE(program.form2().Text2[7]->text(), QStringLiteral("p4r1s7"));
    // The page-name choice follows when the settings dialog opens on that page.
    program.form1().Command3->press();
    QVERIFY(program.form2().isVisible());
    QCOMPARE(program.form2().Text3->text(), QStringLiteral("ページ５"));
    QVERIFY(program.form2().Option3[4]->value());
}

void StartupTest::alwaysOnTopOffMakesNoTopmostCall() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check0=0"});
    auto& program = t.start();
    QCOMPARE(program.form2().Check1[0]->value(), 0);
    QCOMPARE(program.state().TopmostSuspended, 0);
    QVERIFY(t.desktop.topmostCalls.empty());
}

void StartupTest::rememberPositionOffKeepsTheSettingsDialogWhereItIs() {
    TestProgram t;
    t.writeSettings({"[Options]", "Check2=0", "[Form]", "Form1Left=1500", "Form1Top=3000", "Form1Width=6000",
                     "Form2Left=9000", "Form2Top=6000"});
    auto& program = t.start();
    QCOMPARE(program.form2().leftTwips(), 4680);
    QCOMPARE(program.form2().topTwips(), 0);
    QCOMPARE(program.form1().leftTwips(), 1500);
    QCOMPARE(program.form1().topTwips(), 3000);
    QCOMPARE(program.form1().widthTwips(), 6000);
}

void StartupTest::storedPositionsAndWidthAreApplied() {
    TestProgram t;
    t.writeSettings(
        {"[Form]", "Form1Left=1500", "Form1Top=3000", "Form1Width=1000", "Form2Left=9000", "Form2Top=6000"});
    auto& program = t.start();
    auto& f1 = program.form1();
    QCOMPARE(program.form2().leftTwips(), 9000);
    QCOMPARE(program.form2().topTwips(), 6000);
    // The width has a minimum; the entry buttons and the clock bar follow the width.
    QCOMPARE(f1.widthTwips(), 1800);
    QCOMPARE(f1.Command1[0]->width(), controls::toPixels(1800 - 1335));
    QCOMPARE(f1.Command1[19]->width(), controls::toPixels(1800 - 1335));
    QCOMPARE(f1.Command1[20]->width(), controls::toPixels(1800 + 105));
}

void StartupTest::longPageNameIsCutOnACharacterBoundary() {
    TestProgram t;
    // 'a' then 150 two-byte characters: 301 bytes; 254 bytes would split the 127th character.
    QString name = QStringLiteral("a") + QString(150, QChar(u'あ'));
    t.writeSettings({"[PageName]", QStringLiteral("Page2=") + name});
    auto& program = t.start();
    const QString expected = QStringLiteral("a") + QString(126, QChar(u'あ'));
    QCOMPARE(storage::toCp932(expected).size(), std::size_t(253));
    QCOMPARE(program.state().PageNames[1], expected);
    QCOMPARE(program.form1().Combo1->itemText(1), expected);
    QCOMPARE(program.state().PageNames[0], QStringLiteral("ページ１"));
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
    auto& f2 = program.form2();
    auto& s = program.state();
    QCOMPARE(f2.Check1[0]->value(), 1);
    QCOMPARE(f2.Check1[3]->value(), 0);
    QCOMPARE(f2.Check1[8]->value(), 2); // a greyed box is a state the box can hold
    QCOMPARE(s.PageNumber, 1);
    QCOMPARE(program.form1().Combo1->listIndex(), 1);
    QCOMPARE(f2.Combo2->listIndex(), 1);
    QCOMPARE(s.ClockMode, QStringLiteral("2"));
    QCOMPARE(s.Color1, QStringLiteral("12648384"));
    QCOMPARE(s.Color2, QStringLiteral("16761087"));
    QCOMPARE(s.Color3, QStringLiteral("255"));
    QCOMPARE(s.ToolTipBackColor, 11829860u);
    QCOMPARE(program.form1().widthTwips(), 4710);
    QCOMPARE(program.form1().leftTwips(), -600);
    QCOMPARE(program.form4().HScroll1[0]->value(), 10000);
    QCOMPARE(program.form4().VScroll1[0]->value(), 10000);
    QCOMPARE(program.form4().VScroll1[1]->value(), 0);
    QCOMPARE(program.form4().Text1[3]->text(), QStringLiteral("10000"));
    QCOMPARE(program.form4().HScroll1[1]->value(), 32767);
    QCOMPARE(program.form4().Text1[1]->text(), QStringLiteral("-22767"));
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
    QCOMPARE(program.state().CaptionHeight, expectedPixels * 15);
}

void StartupTest::timersFirstTickAfterStartUp() {
    TestProgram t;
    auto& program = t.start();
    auto& f1 = program.form1();
    QVERIFY(f1.Timer1->isActive());
    QVERIFY(f1.Timer2->isActive());
    QVERIFY(f1.Timer3->isActive());
    QCOMPARE(f1.Timer1->interval(), 1000);
    QCOMPARE(f1.Timer2->interval(), 250);
    QCOMPARE(f1.Timer3->interval(), 250);
    // The clock bar is empty until the first tick, one second later.
    QCOMPARE(f1.Command1[20]->caption(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(f1.Command1[20]->caption().contains(QStringLiteral("  ")), 2500);
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
    auto& f1 = program.form1();
    // Looked at before any timer tick could set it; 7300 twips are 487 whole pixels.
    const int expandedPixels = controls::toPixels(program.state().CaptionHeight + 7000);
    QCOMPARE(f1.heightTwips(), controls::toTwips(expandedPixels));
    QCOMPARE(f1.height(), expandedPixels - 4);
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
    row("partly outside, mostly inside", {-300, 3000, 4500, -900}, {-300, 3000, 4500, -900});
    row("beyond the right and bottom edges", {30000, 3000, 30000, 30000}, {7590, 2145, 3255, 2745});
    row("beyond the left and top edges", {-3990, -6000, -15000, 450}, {300, 450, 300, 450});
}

void StartupTest::windowsMostlyOutsideTheWorkAreaAreMovedInside() {
    QFETCH(QStringList, positions);
    QFETCH(QList<int>, expected);
    TestProgram t;
    t.desktop.area = {20, 30, 800, 600};
    t.writeSettings(positions);
    auto& program = t.start();
    QCOMPARE(program.form1().widthTwips(), 4710);
    QCOMPARE(program.form1().heightTwips(), 7305);
    const QList<int> placed{program.form1().leftTwips(), program.form1().topTwips(),
                            program.form2().leftTwips(), program.form2().topTwips()};
    QCOMPARE(placed, expected);
}

QTEST_MAIN(StartupTest)
#include "startup.moc"
