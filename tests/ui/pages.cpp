// Pages, groups and ASCII-art mode on the palette, and the ASCII-art tooltips.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "palette/tip_window.h"
#include "settings/settings_dialog.h"
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
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    storage::ProgramState& s() { return t->state(); }
    QString tipOf(int button) {
        paletteWindow().pointerOverEntry(button);
        return s().tipWindow->toolText(paletteWindow().entryButtons[std::size_t(button)]);
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
    paletteWindow().pageList->setListIndex(6);
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 6);
    QCOMPARE(paletteWindow().pageTabs->tab(), 7);
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(6, 1, 0));
    QCOMPARE(paletteWindow().groupButtons[15]->caption(), cellName(6, 0, 15));
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), cellName(6, 1, 0));

    paletteWindow().groupButtons[3]->press();
    paletteWindow().pageTabs->setTab(3);
    QCOMPARE(paletteWindow().pageList->listIndex(), 2);
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 2);
    QCOMPARE(s().currentGroup, 3);
    QCOMPARE(paletteWindow().entryButtons[5]->caption(), cellName(2, 4, 5));
    QCOMPARE(paletteWindow().groupButtons[3]->backColor(), kPink);
    QVERIFY(settingsDialog().pageNameChoices[2]->value());
    QCOMPARE(s().refilling, 0);
}

void PagesTest::historyPageByTabZero() {
    paletteWindow().groupButtons[6]->press();
    paletteWindow().pageTabs->setTab(0);
    QCOMPARE(paletteWindow().pageList->listIndex(), 9);
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 9);
    QCOMPARE(s().currentGroup, 0);
    for (auto* button : paletteWindow().groupButtons)
        QVERIFY(!button->isEnabled());
    QVERIFY(!paletteWindow().asciiArtButton->isEnabled());
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(9, 1, 0));
    // And back: everything enabled again.
    paletteWindow().pageList->setListIndex(4);
    QCOMPARE(paletteWindow().pageTabs->tab(), 5);
    for (auto* button : paletteWindow().groupButtons)
        QVERIFY(button->isEnabled());
    QVERIFY(paletteWindow().asciiArtButton->isEnabled());
}

void PagesTest::asciiArtModeFollowsPagesWhileTheDialogIsHidden() {
    paletteWindow().pageList->setListIndex(0);
    paletteWindow().asciiArtButton->press();
    QCOMPARE(s().currentGroup, storage::kAsciiArtMode);
    QCOMPARE(paletteWindow().entryButtons[2]->caption(), QStringLiteral("aa1_2"));
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kPink);
    for (auto* button : paletteWindow().groupButtons)
        QCOMPARE(button->backColor(), kGreen);

    paletteWindow().pageList->setListIndex(4);
    QCOMPARE(s().currentGroup, storage::kAsciiArtMode);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(paletteWindow().entryButtons[std::size_t(i)]->caption(), QStringLiteral("aa5_%1").arg(i));
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kPink);
    QCOMPARE(paletteWindow().groupButtons[0]->caption(), cellName(4, 0, 0));
    QCOMPARE(paletteWindow().pageTabs->tab(), 5);
}

void PagesTest::pageSwitchWithTheDialogOpenLeavesAsciiArtMode() {
    paletteWindow().asciiArtButton->press();
    settingsDialog().show();
    paletteWindow().pageList->setListIndex(3);
    QCOMPARE(s().currentGroup, 0);
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(3, 1, 0));
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kGreen);
    QCOMPARE(paletteWindow().groupButtons[0]->backColor(), kPink);
}

void PagesTest::asciiArtButtonIgnoredWhileTheDialogIsOpen() {
    paletteWindow().settingsButton->press();
    paletteWindow().asciiArtButton->press();
    QCOMPARE(s().currentGroup, 0);
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(0, 1, 0));
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
        paletteWindow().pageList->setListIndex(9);
    } else if (way == QStringLiteral("tab")) {
        paletteWindow().pageTabs->setTab(0);
    } else {
        // From the settings dialog, which is closed again: "AA" only acts while it is hidden.
        paletteWindow().settingsButton->press();
        if (way == QStringLiteral("page-name button"))
            settingsDialog().pageNameChoices[9]->setValue(true);
        else
            settingsDialog().editorPageList->setListIndex(9);
        settingsDialog().closeButton->press();
    }
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(9, 1, 0));
    QVERIFY(QTest::qWaitForWindowExposed(&paletteWindow()));
    QStringList shown;
    for (int i = 0; i < 20; ++i)
        shown << paletteWindow().entryButtons[std::size_t(i)]->caption();

    QTest::mouseClick(paletteWindow().asciiArtButton, Qt::LeftButton, {}, QPoint(5, 5));
    paletteWindow().asciiArtButton->press();
    QCOMPARE(s().currentGroup, 0);
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kGreen);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(paletteWindow().entryButtons[std::size_t(i)]->caption(), shown[i]);
}

void PagesTest::groupSelectionColours() {
    paletteWindow().asciiArtButton->press();
    paletteWindow().groupButtons[5]->press();
    for (int g = 0; g < 16; ++g)
        QCOMPARE(paletteWindow().groupButtons[std::size_t(g)]->backColor(), g == 5 ? kPink : kGreen);
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kGreen);
    QCOMPARE(s().currentGroup, 5);
    QVERIFY(settingsDialog().groupChoices[5]->value());
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), cellName(0, 6, 0));
}

void PagesTest::tooltipsShowTheArtOnlyInAsciiArtMode() {
    QCOMPARE(tipOf(2), QString()); // kaomoji mode
    paletteWindow().asciiArtButton->press();
    QCOMPARE(tipOf(2), QStringLiteral("(\\_/)\r\n(o.o)"));
    QCOMPARE(tipOf(3), QString());  // no text
    QCOMPARE(tipOf(20), QString()); // the clock bar
    paletteWindow().pageList->setListIndex(4);
    QCOMPARE(tipOf(2), QStringLiteral("page five"));
    t->program().asciiArtDialog().optionChecks[aa_option::kShowPreviewTips]->setValue(0);
    QCOMPARE(tipOf(2), QString());
}

void PagesTest::tooltipWindowShowsTheTextInItsColours() {
    auto* tip = s().tipWindow;
    QCOMPARE(tip->tipBackColor(), 11829860u);
    paletteWindow().asciiArtButton->press();
    paletteWindow().pointerOverEntry(2);
    auto* button = paletteWindow().entryButtons[2];
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
    auto* tip = s().tipWindow;
    QString line(5000, QLatin1Char('#'));
    QStringList lines(3000, line);
    s().asciiArtTexts.at(1, 4) = lines.join(QStringLiteral("\r\n"));
    paletteWindow().asciiArtButton->press();
    paletteWindow().pointerOverEntry(4);
    auto* button = paletteWindow().entryButtons[4];
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
