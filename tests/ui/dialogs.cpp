// The margin dialog, the colour and page-name frames, batch registration and the About dialog.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "palette/tip_window.h"
#include "settings/form2.h"
#include "settings/form4.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include "tools/form3.h"
#include "tools/form6.h"
#include <QApplication>
#include <QtTest>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's run-time has it; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {
constexpr std::uint32_t kGreen = 12648384;
constexpr std::uint32_t kPink = 16761087;
constexpr std::uint32_t kYellow = 16777088;

// Bytes the process holds on the heap now (AddressSanitizer keeps a heap of its own).
qint64 heapInUse() {
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes());
#else
    return qint64(mallinfo2().uordblks);
#endif
}
} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void marginBarsShowTenThousandMinusTheirValue();
    void marginsAreSavedAsBarValues();
    void backgroundColourRepaintsThePalette();
    void selectionColourPaintsOnlyTheChosenGroup();
    void tooltipTextColourLeavesThePaletteAlone();
    void swatchInAsciiArtModePaintsNoGroup();
    void pageNameChoiceMovesEditorAndPalette();
    void typedNameReachesTheListsOnChange();
    void changeOnTheHistoryPageKeepsPositions();
    void everyPageNameIsSaved();
    void batchRegistration();
    void batchLinesAreCutAt255Bytes();
    void batchIgnoredWhileTheSettingsDialogIsHidden();
    void aboutDialog();
    void aboutDialogLeavesNothingBehind();

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    Form4& f4() { return t->program().form4(); }
    Form6& openBatch() {
        f2().Command7->press();
        return *t->state().form6;
    }
    QStringList entries() {
        QStringList list;
        for (auto* box : f2().Text2)
            list << box->text();
        return list;
    }
    std::unique_ptr<TestProgram> t;
};

void DialogsTest::init() {
    t = std::make_unique<TestProgram>();
    t->writeSelfNamingKaomojiFile();
    t->start();
    t->state().reportSaveFailure = [](const QStringList& files) { QFAIL(qPrintable(files.join(u','))); };
}

void DialogsTest::marginBarsShowTenThousandMinusTheirValue() {
    for (int i = 0; i < 4; ++i)
        QCOMPARE(f4().Text1[std::size_t(i)]->text(), QStringLiteral("0"));
    f4().HScroll1[0]->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(f4().HScroll1[0]->value(), 9999);
    QCOMPARE(f4().Text1[0]->text(), QStringLiteral("1"));
    f4().VScroll1[1]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(f4().VScroll1[1]->value(), 10001);
    QCOMPARE(f4().Text1[3]->text(), QStringLiteral("-1"));
    f4().VScroll1[0]->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(f4().VScroll1[0]->value(), 10001);
    f4().HScroll1[1]->setScrollValue(0);
    QCOMPARE(f4().Text1[1]->text(), QStringLiteral("10000"));
    f4().HScroll1[1]->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(f4().HScroll1[1]->value(), 0);
    f4().HScroll1[1]->setScrollValue(32767);
    f4().HScroll1[1]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(f4().Text1[1]->text(), QStringLiteral("-22767"));
    // The fields hold what the bars say; typing is not taken.
    QVERIFY(f4().Text1[0]->isReadOnly());
    // The close box hides the dialog and keeps its values.
    f2().Command5->press();
    QVERIFY(f4().isVisible());
    f4().close();
    QVERIFY(!f4().isVisible());
    QCOMPARE(f4().HScroll1[0]->value(), 9999);
}

void DialogsTest::marginsAreSavedAsBarValues() {
    f4().HScroll1[0]->setScrollValue(9990);
    f4().VScroll1[1]->setScrollValue(12000);
    f2().Command1->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find("MouseX=9990\r\nMouseXX=10000\r\nMouseY=10000\r\nMouseYY=12000\r\n") !=
            std::string::npos);
}

void DialogsTest::backgroundColourRepaintsThePalette() {
    f1().Command2[3]->press();
    f2().Option2[1]->setValue(true);
    f2().cbox[32]->onClick();
    QCOMPARE(t->state().Color1, QStringLiteral("0"));
    QCOMPARE(f1().palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(f1().Command3->backColor(), 0u);
    QCOMPARE(f1().Command4->backColor(), 0u);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f1().Command1[std::size_t(i)]->backColor(), 0u);
    for (int g = 0; g < 16; ++g)
        QCOMPARE(f1().Command2[std::size_t(g)]->backColor(), g == 3 ? kPink : 0u);
    QCOMPARE(f1().Command1[20]->backColor(), kYellow);
    QCOMPARE(f1().Command5->backColor(), kGreen); // takes it at the next group choice
}

void DialogsTest::selectionColourPaintsOnlyTheChosenGroup() {
    // Right after start-up the selection colour is the chosen target.
    f2().cbox[26]->onClick();
    QCOMPARE(t->state().Color2, QStringLiteral("16711680"));
    QCOMPARE(f1().Command2[0]->backColor(), 16711680u);
    for (int g = 1; g < 16; ++g)
        QCOMPARE(f1().Command2[std::size_t(g)]->backColor(), kGreen);
    QCOMPARE(f1().Command1[0]->backColor(), kGreen);
    f2().Option2[2]->setValue(true);
    f2().cbox[7]->onClick();
    QCOMPARE(f1().Command1[20]->backColor(), 128u);
}

void DialogsTest::tooltipTextColourLeavesThePaletteAlone() {
    f2().Option2[3]->setValue(true);
    f2().cbox[33]->onClick();
    f2().Option2[4]->setValue(true);
    f2().cbox[0]->onClick();
    QCOMPARE(t->state().ToolTipFontColor, 16777215u);
    QCOMPARE(t->state().ToolTipBackColor, 8388736u);
    QCOMPARE(t->state().ToolTipWindow->tipTextColor(), 16777215u);
    QCOMPARE(t->state().ToolTipWindow->tipBackColor(), 8388736u);
    QCOMPARE(t->state().Color1, QStringLiteral("12648384"));
    QCOMPARE(f1().Command2[0]->backColor(), kPink);
    f2().Command1->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find("ToolTipBackColor=8388736\r\nToolTipFontColor=16777215\r\n") != std::string::npos);
}

void DialogsTest::swatchInAsciiArtModePaintsNoGroup() {
    f1().Command5->press();
    f2().cbox[5]->onClick();
    for (auto* button : f1().Command2)
        QCOMPARE(button->backColor(), kGreen);
}

void DialogsTest::pageNameChoiceMovesEditorAndPalette() {
    f1().Command2[4]->press();
    f1().Command3->press();
    const int tab = f1().SSTab1->tab();
    f2().Option3[2]->setValue(true);
    QCOMPARE(f2().Text3->text(), QStringLiteral("ページ３"));
    QCOMPARE(f2().Combo1->listIndex(), 2);
    QCOMPARE(f1().Combo1->listIndex(), 2);
    QCOMPARE(f1().Command1[0]->caption(), cellName(2, 5, 0));
    QCOMPARE(f2().Text2[0]->text(), cellName(2, 5, 0));
    QCOMPARE(f1().Command2[9]->caption(), cellName(2, 0, 9));
    QCOMPARE(f2().Text1[9]->text(), cellName(2, 0, 9));
    QCOMPARE(f1().SSTab1->tab(), tab);
    QCOMPARE(f1().Command2[4]->backColor(), kPink);
}

void DialogsTest::typedNameReachesTheListsOnChange() {
    auto& f5 = *t->state().form5;
    f1().Command3->press();
    f2().Option3[1]->setValue(true);
    f2().Text3->setText(QStringLiteral("お\r\n気に入り"));
    QCOMPARE(f2().Text3->text(), QStringLiteral("お気に入り"));
    QCOMPARE(t->state().PageNames[1], QStringLiteral("お気に入り"));
    QCOMPARE(f1().Combo1->itemText(1), QStringLiteral("ページ２"));
    f2().Command4->press();
    QCOMPARE(f1().Combo1->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(f2().Combo1->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(f5.Combo1->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(f5.Combo1->listCount(), 9);
    QCOMPARE(f1().Combo1->listCount(), 10);
    QCOMPARE(f1().Combo1->listIndex(), 1);
    QCOMPARE(f2().Combo1->listIndex(), 1);
    QCOMPARE(f5.Combo1->listIndex(), 1);
    // The history page can be renamed too.
    f2().Option3[9]->setValue(true);
    f2().Text3->setText(QStringLiteral("さっき"));
    QCOMPARE(t->state().PageNames[9], QStringLiteral("さっき"));
}

void DialogsTest::changeOnTheHistoryPageKeepsPositions() {
    f1().Command3->press();
    f2().Combo1->setListIndex(9);
    f2().Command4->press();
    QCOMPARE(f2().Combo1->listIndex(), 9);
    QCOMPARE(f1().Combo1->listIndex(), 9);
    QCOMPARE(t->state().form5->Combo1->listIndex(), 8);
    QCOMPARE(f1().SSTab1->tab(), 0);
}

void DialogsTest::everyPageNameIsSaved() {
    f1().Command3->press();
    f2().Option3[7]->setValue(true);
    f2().Text3->setText(QStringLiteral("ネコ"));
    f2().Command1->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find(storage::toCp932(QStringLiteral("Page8=ネコ\r\nPage9=ページ９\r\nPage10=履歴\r\n"))) !=
            std::string::npos);
}

void DialogsTest::batchRegistration() {
    f1().Command3->press();
    f2().Combo1->setListIndex(3);
    f2().Option1[2]->setValue(true);
    auto& f6 = openBatch();
    QVERIFY(f6.isVisible());

    f6.Text1->setText(QStringLiteral("a\r\n\tx\t\r\nx   \r\n  lead"));
    f6.Command1->press();
    QStringList expected = {"a", " x ", "x", "  lead"};
    while (expected.size() < 20)
        expected << QString();
    QCOMPARE(entries(), expected);
    QCOMPARE(t->state().KaomojiTable.at(3, 3, 1), QStringLiteral(" x "));
    QCOMPARE(f1().Command1[2]->caption(), QStringLiteral("x"));
    QCOMPARE(f1().Command1[3]->caption(), QStringLiteral("  lead"));

    QStringList lines;
    for (int i = 1; i <= 25; ++i)
        lines << QStringLiteral("line%1").arg(i);
    f6.Text1->setText(lines.join(QStringLiteral("\r\n")));
    f6.Command1->press();
    QCOMPARE(entries(), lines.mid(0, 20));

    // Fetch, then register: nothing changes but trailing spaces.
    f2().Text2[5]->setText(QStringLiteral("ends  "));
    f6.Command4->press();
    QVERIFY(f6.Text1->text().endsWith(QStringLiteral("line20\r\n")));
    QCOMPARE(f6.Text1->text().count(QStringLiteral("\r\n")), 20);
    f6.Command1->press();
    expected = lines.mid(0, 20);
    expected[5] = QStringLiteral("ends");
    QCOMPARE(entries(), expected);

    f6.Command3->press();
    QCOMPARE(f6.Text1->text(), QString());
    f6.Command1->press();
    QCOMPARE(entries(), QStringList(20, QString()));
    QCOMPARE(f1().Command1[0]->caption(), QString());

    // Closing hides it and keeps the text.
    f6.Text1->setText(QStringLiteral("kept"));
    f6.close();
    QVERIFY(!f6.isVisible());
    QCOMPARE(&openBatch(), &f6);
    QCOMPARE(f6.Text1->text(), QStringLiteral("kept"));
}

void DialogsTest::batchLinesAreCutAt255Bytes() {
    f1().Command3->press();
    auto& f6 = openBatch();
    // 'a' + 200 two-byte characters: 401 bytes; 255 would split the 128th character.
    f6.Text1->setText(QStringLiteral("a") + QString(200, QChar(u'顔')));
    f6.Command1->press();
    QCOMPARE(f2().Text2[0]->text(), QStringLiteral("a") + QString(127, QChar(u'顔')));
}

void DialogsTest::batchIgnoredWhileTheSettingsDialogIsHidden() {
    f1().Command3->press();
    auto& f6 = openBatch();
    f2().hide();
    f6.Text1->setText(QStringLiteral("new"));
    const QStringList before = entries();
    f6.Command1->press();
    QCOMPARE(entries(), before);
    QCOMPARE(t->state().KaomojiTable.at(0, 1, 0), cellName(0, 1, 0));
    // Fetching works hidden or not.
    f6.Command4->press();
    QVERIFY(f6.Text1->text().startsWith(cellName(0, 1, 0) + QStringLiteral("\r\n")));
}

void DialogsTest::aboutDialog() {
    QCOMPARE(Form3::osVersionText(10.0), QStringLiteral("OSVersion  10"));
    QCOMPARE(Form3::osVersionText(6.1), QStringLiteral("OSVersion  6.1"));
    t->desktop.version = 6.1;
    f2().Command2->press();
    QPointer<Form3> first = t->state().form3;
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->Label1->text(), QStringLiteral("OSVersion  6.1"));
    QCOMPARE(first->Label2[0]->text(), QStringLiteral("ver1.28"));
    QCOMPARE(first->Label3->text(), Form3::kWebAddress + QStringLiteral("/"));
    first->Label3->onClick();
    first->Image2->onClick();
    QCOMPARE(t->desktop.openedUrls.size(), std::size_t(2));
    QCOMPARE(QString::fromStdString(t->desktop.openedUrls[0]), Form3::kWebAddress);
    QVERIFY(!QApplication::overrideCursor());
    // The palette leaves the always-on-top band while it is open.
    f1().Timer1_Timer();
    QCOMPARE(t->state().TopmostSuspended, 1);

    // Closed by its close box it is gone; the next opening builds a new one.
    first->close();
    QTRY_VERIFY(!first);
    QVERIFY(!t->state().form3);
    t->desktop.version = 10.0;
    f2().Command2->press();
    QVERIFY(t->state().form3);
    QCOMPARE(t->state().form3->Label1->text(), QStringLiteral("OSVersion  10"));
    t->state().form3->Command1->press();
    QTRY_VERIFY(!t->state().form3);
}

void DialogsTest::aboutDialogLeavesNothingBehind() {
    // Built for every opening, it must go whole when closed: each opening once left a copy of
    // its picture behind, about 4.8 KB.
    auto openAndClose = [this] {
        f2().Command2->press();
        t->state().form3->Command1->press();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QVERIFY(!t->state().form3);
    };
    for (int i = 0; i < 10; ++i)
        openAndClose();
    const qsizetype widgets = QApplication::allWidgets().size();
    const qint64 before = heapInUse();
    constexpr int kOpenings = 100;
    for (int i = 0; i < kOpenings; ++i)
        openAndClose();
    const qint64 grown = heapInUse() - before;
    QCOMPARE(QApplication::allWidgets().size(), widgets);
    QVERIFY2(grown < kOpenings * 256,
             qPrintable(QStringLiteral("%1 bytes per opening").arg(grown / kOpenings)));
}

QTEST_MAIN(DialogsTest)
#include "dialogs.moc"
