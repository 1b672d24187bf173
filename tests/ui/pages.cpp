// Pages, groups and ASCII-art mode on the palette, and the ASCII-art tooltips.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "palette/tip_window.h"
#include "settings/form2.h"
#include "test_program.h"
#include <QtTest>

namespace {
constexpr std::uint32_t kGreen = 12648384;
constexpr std::uint32_t kPink = 16761087;

} // namespace

class PagesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void pageSwitchByListAndByTab();
    void historyPageByTabZero();
    void asciiArtModeFollowsPagesWhileTheDialogIsHidden();
    void pageSwitchWithTheDialogOpenLeavesAsciiArtMode();
    void asciiArtButtonIgnoredWhileTheDialogIsOpen();
    void asciiArtButtonDoesNothingOnTheHistoryPage_data();
    void asciiArtButtonDoesNothingOnTheHistoryPage();
    void groupSelectionColours();
    void tooltipsShowTheArtOnlyInAsciiArtMode();
    void tooltipWindowShowsTheTextInItsColours();
    void hugePieceShowsOnlyItsCornerAsTip();

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    storage::ProgramState& s() { return t->state(); }
    QString tipOf(int button) {
        f1().Command1_MouseMove(button);
        return s().ToolTipWindow->toolText(f1().Command1[std::size_t(button)]);
    }
    std::unique_ptr<TestProgram> t;
};

void PagesTest::init() {
    t = std::make_unique<TestProgram>();
    t->writeSelfNamingKaomojiFile();
    QString ini;
    for (int page = 1; page <= 9; ++page) {
        ini += QStringLiteral("[Page%1]\r\n").arg(page);
        for (int entry = 0; entry < 20; ++entry)
            ini += QStringLiteral("Name_%1=aa%2_%1\r\n").arg(entry).arg(page);
    }
    t->writeText(QStringLiteral("AA/AAOptions.ini"), ini);
    t->writeText(QStringLiteral("AA/AAText_1_02.txt"), QStringLiteral("(\\_/)\r\n(o.o)\r\n"));
    t->writeText(QStringLiteral("AA/AAText_5_02.txt"), QStringLiteral("page five\r\n"));
    t->start();
}

void PagesTest::pageSwitchByListAndByTab() {
    f1().Combo1->setListIndex(6);
    QCOMPARE(f2().Combo1->listIndex(), 6);
    QCOMPARE(f1().SSTab1->tab(), 7);
    QCOMPARE(f1().Command1[0]->caption(), cellName(6, 1, 0));
    QCOMPARE(f1().Command2[15]->caption(), cellName(6, 0, 15));
    QCOMPARE(f2().Text2[0]->text(), cellName(6, 1, 0));

    f1().Command2[3]->press();
    f1().SSTab1->setTab(3);
    QCOMPARE(f1().Combo1->listIndex(), 2);
    QCOMPARE(f2().Combo1->listIndex(), 2);
    QCOMPARE(s().CurrentGroup, 3);
    QCOMPARE(f1().Command1[5]->caption(), cellName(2, 4, 5));
    QCOMPARE(f1().Command2[3]->backColor(), kPink);
    QVERIFY(f2().Option3[2]->value());
    QCOMPARE(s().EditGuard, 0);
}

void PagesTest::historyPageByTabZero() {
    f1().Command2[6]->press();
    f1().SSTab1->setTab(0);
    QCOMPARE(f1().Combo1->listIndex(), 9);
    QCOMPARE(f2().Combo1->listIndex(), 9);
    QCOMPARE(s().CurrentGroup, 0);
    for (auto* button : f1().Command2)
        QVERIFY(!button->isEnabled());
    QVERIFY(!f1().Command5->isEnabled());
    QCOMPARE(f1().Command1[0]->caption(), cellName(9, 1, 0));
    // And back: everything enabled again.
    f1().Combo1->setListIndex(4);
    QCOMPARE(f1().SSTab1->tab(), 5);
    for (auto* button : f1().Command2)
        QVERIFY(button->isEnabled());
    QVERIFY(f1().Command5->isEnabled());
}

void PagesTest::asciiArtModeFollowsPagesWhileTheDialogIsHidden() {
    f1().Combo1->setListIndex(0);
    f1().Command5->press();
    QCOMPARE(s().CurrentGroup, storage::kAsciiArtMode);
    QCOMPARE(f1().Command1[2]->caption(), QStringLiteral("aa1_2"));
    QCOMPARE(f1().Command5->backColor(), kPink);
    for (auto* button : f1().Command2)
        QCOMPARE(button->backColor(), kGreen);

    f1().Combo1->setListIndex(4);
    QCOMPARE(s().CurrentGroup, storage::kAsciiArtMode);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f1().Command1[std::size_t(i)]->caption(), QStringLiteral("aa5_%1").arg(i));
    QCOMPARE(f1().Command5->backColor(), kPink);
    QCOMPARE(f1().Command2[0]->caption(), cellName(4, 0, 0));
    QCOMPARE(f1().SSTab1->tab(), 5);
}

void PagesTest::pageSwitchWithTheDialogOpenLeavesAsciiArtMode() {
    f1().Command5->press();
    f2().show();
    f1().Combo1->setListIndex(3);
    QCOMPARE(s().CurrentGroup, 0);
    QCOMPARE(f1().Command1[0]->caption(), cellName(3, 1, 0));
    QCOMPARE(f1().Command5->backColor(), kGreen);
    QCOMPARE(f1().Command2[0]->backColor(), kPink);
}

void PagesTest::asciiArtButtonIgnoredWhileTheDialogIsOpen() {
    f1().Command3->press();
    f1().Command5->press();
    QCOMPARE(s().CurrentGroup, 0);
    QCOMPARE(f1().Command1[0]->caption(), cellName(0, 1, 0));
}

void PagesTest::asciiArtButtonDoesNothingOnTheHistoryPage_data() {
    QTest::addColumn<QString>("way");
    for (const char* way :
         {"page list", "tab", "settings dialog's page list", "page-name button", "start-up"})
        QTest::newRow(way) << QString::fromLatin1(way);
}

void PagesTest::asciiArtButtonDoesNothingOnTheHistoryPage() {
    QFETCH(QString, way);
    if (way == QStringLiteral("start-up")) {
        t = std::make_unique<TestProgram>();
        t->writeSelfNamingKaomojiFile();
        t->writeSettings({"[Options]", "Check6=1", "PageNumber=9"});
        t->start();
    } else if (way == QStringLiteral("page list")) {
        f1().Combo1->setListIndex(9);
    } else if (way == QStringLiteral("tab")) {
        f1().SSTab1->setTab(0);
    } else {
        // From the settings dialog, which is closed again: "AA" only acts while it is hidden.
        f1().Command3->press();
        if (way == QStringLiteral("page-name button"))
            f2().Option3[9]->setValue(true);
        else
            f2().Combo1->setListIndex(9);
        f2().Command3->press();
    }
    QCOMPARE(f1().Command1[0]->caption(), cellName(9, 1, 0));
    QVERIFY(QTest::qWaitForWindowExposed(&f1()));
    QStringList shown;
    for (int i = 0; i < 20; ++i)
        shown << f1().Command1[std::size_t(i)]->caption();

    QTest::mouseClick(f1().Command5, Qt::LeftButton, {}, QPoint(5, 5));
    f1().Command5->press();
    QCOMPARE(s().CurrentGroup, 0);
    QCOMPARE(f1().Command5->backColor(), kGreen);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f1().Command1[std::size_t(i)]->caption(), shown[i]);
}

void PagesTest::groupSelectionColours() {
    f1().Command5->press();
    f1().Command2[5]->press();
    for (int g = 0; g < 16; ++g)
        QCOMPARE(f1().Command2[std::size_t(g)]->backColor(), g == 5 ? kPink : kGreen);
    QCOMPARE(f1().Command5->backColor(), kGreen);
    QCOMPARE(s().CurrentGroup, 5);
    QVERIFY(f2().Option1[5]->value());
    QCOMPARE(f2().Text2[0]->text(), cellName(0, 6, 0));
}

void PagesTest::tooltipsShowTheArtOnlyInAsciiArtMode() {
    QCOMPARE(tipOf(2), QString()); // kaomoji mode
    f1().Command5->press();
    QCOMPARE(tipOf(2), QStringLiteral("(\\_/)\r\n(o.o)"));
    QCOMPARE(tipOf(3), QString());  // no text
    QCOMPARE(tipOf(20), QString()); // the clock bar
    f1().Combo1->setListIndex(4);
    QCOMPARE(tipOf(2), QStringLiteral("page five"));
    s().form5->Check1[2]->setValue(0);
    QCOMPARE(tipOf(2), QString());
}

void PagesTest::tooltipWindowShowsTheTextInItsColours() {
    auto* tip = s().ToolTipWindow;
    QCOMPARE(tip->tipBackColor(), 11829860u);
    f1().Command5->press();
    f1().Command1_MouseMove(2);
    auto* button = f1().Command1[2];
    const QPoint inside = button->mapToGlobal(button->rect().center());
    QCursor::setPos(inside);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(inside));
    QCoreApplication::sendEvent(button, &enter);
    // The tip shows after the mouse rests, on two lines, in the tooltip colours.
    QTRY_COMPARE_WITH_TIMEOUT(tip->shownFor(), button, 2000);
    QCOMPARE(tip->text(), QStringLiteral("(\\_/)\n(o.o)"));
    QCOMPARE(tip->palette().color(QPalette::Window), QColor(100, 130, 180));
    QCOMPARE(tip->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    // Leaving the button hides it.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(button, &leave);
    QVERIFY(!tip->isVisible());
}

// A piece of megabytes would take the tip seconds to lay out: it shows the piece's top left
// corner, and says that more follows.
void PagesTest::hugePieceShowsOnlyItsCornerAsTip() {
    auto* tip = s().ToolTipWindow;
    QString line(5000, QLatin1Char('#'));
    QStringList lines(3000, line);
    s().AAText.at(1, 4) = lines.join(QStringLiteral("\r\n"));
    f1().Command5->press();
    f1().Command1_MouseMove(4);
    auto* button = f1().Command1[4];
    const QPoint inside = button->mapToGlobal(button->rect().center());
    QCursor::setPos(inside);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(inside));
    QCoreApplication::sendEvent(button, &enter);
    QTRY_COMPARE_WITH_TIMEOUT(tip->shownFor(), button, 2000);
    const QStringList shown = tip->text().split(QLatin1Char('\n'));
    QVERIFY2(tip->text().size() < 64 * 1024, qPrintable(QString::number(tip->text().size())));
    QVERIFY(shown.size() > 10);
    QVERIFY(shown.first().startsWith(line.left(100)));
    QVERIFY(shown.last().endsWith(QChar(u'…')));
}

QTEST_MAIN(PagesTest)
#include "pages.moc"
