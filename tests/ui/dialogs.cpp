// The margin dialog, the colour and page-name frames, batch registration and the About dialog.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "palette/tip_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include "tools/about_dialog.h"
#include "tools/batch_registration_dialog.h"
#include <QApplication>
#include <QtTest>
#if defined(__SANITIZE_ADDRESS__)
// The sanitizer's run-time has it; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#elif defined(_WIN32)
#include "platform/windows_header.h"
#include <vector>
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
#elif defined(_WIN32)
    // The C library's malloc takes its blocks from the process's heaps: the bytes of every block
    // in use there.
    std::vector<HANDLE> heaps(64);
    DWORD count = ::GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = ::GetProcessHeaps(DWORD(heaps.size()), heaps.data());
    }
    qint64 inUse = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i) {
        if (!::HeapLock(heaps[i]))
            continue;
        PROCESS_HEAP_ENTRY entry{};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                inUse += qint64(entry.cbData);
        ::HeapUnlock(heaps[i]);
    }
    return inUse;
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
    void namesPastedWithALineFeedAreSavedAsShown();
    void batchRegistration();
    void batchLinesAreCutAt255Bytes();
    void batchIgnoredWhileTheSettingsDialogIsHidden();
    void aboutDialog();
    void aboutDialogLeavesNothingBehind();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    MouseSensitivityDialog& mouseDialog() { return t->program().mouseDialog(); }
    BatchRegistrationDialog& openBatch() {
        settingsDialog().batchRegistrationButton->press();
        return *t->program().batchDialog();
    }
    QStringList entries() {
        QStringList list;
        for (auto* box : settingsDialog().entryBoxes)
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
        QCOMPARE(mouseDialog().marginValueBoxes[std::size_t(i)]->text(), QStringLiteral("0"));
    mouseDialog().sideMarginBars[0]->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(mouseDialog().sideMarginBars[0]->value(), 9999);
    QCOMPARE(mouseDialog().marginValueBoxes[0]->text(), QStringLiteral("1"));
    mouseDialog().topBottomMarginBars[1]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(mouseDialog().topBottomMarginBars[1]->value(), 10001);
    QCOMPARE(mouseDialog().marginValueBoxes[3]->text(), QStringLiteral("-1"));
    mouseDialog().topBottomMarginBars[0]->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(mouseDialog().topBottomMarginBars[0]->value(), 10001);
    mouseDialog().sideMarginBars[1]->setScrollValue(0);
    QCOMPARE(mouseDialog().marginValueBoxes[1]->text(), QStringLiteral("10000"));
    mouseDialog().sideMarginBars[1]->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(mouseDialog().sideMarginBars[1]->value(), 0);
    mouseDialog().sideMarginBars[1]->setScrollValue(32767);
    mouseDialog().sideMarginBars[1]->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(mouseDialog().marginValueBoxes[1]->text(), QStringLiteral("-22767"));
    // The fields hold what the bars say; typing is not taken.
    QVERIFY(mouseDialog().marginValueBoxes[0]->isReadOnly());
    // The close box hides the dialog and keeps its values.
    settingsDialog().mouseSensitivityButton->press();
    QVERIFY(mouseDialog().isVisible());
    mouseDialog().close();
    QVERIFY(!mouseDialog().isVisible());
    QCOMPARE(mouseDialog().sideMarginBars[0]->value(), 9999);
}

void DialogsTest::marginsAreSavedAsBarValues() {
    mouseDialog().sideMarginBars[0]->setScrollValue(9990);
    mouseDialog().topBottomMarginBars[1]->setScrollValue(12000);
    settingsDialog().saveButton->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find("MouseX=9990\r\nMouseXX=10000\r\nMouseY=10000\r\nMouseYY=12000\r\n") !=
            std::string::npos);
}

void DialogsTest::backgroundColourRepaintsThePalette() {
    paletteWindow().groupButtons[3]->press();
    settingsDialog().colorTargetChoices[1]->setValue(true);
    settingsDialog().colorSwatches[32]->onClick();
    QCOMPARE(t->state().backgroundColor, QStringLiteral("0"));
    QCOMPARE(paletteWindow().palette().color(QPalette::Window), QColor(0, 0, 0));
    QCOMPARE(paletteWindow().settingsButton->backColor(), 0u);
    QCOMPARE(paletteWindow().exitButton->backColor(), 0u);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(paletteWindow().entryButtons[std::size_t(i)]->backColor(), 0u);
    for (int g = 0; g < 16; ++g)
        QCOMPARE(paletteWindow().groupButtons[std::size_t(g)]->backColor(), g == 3 ? kPink : 0u);
    QCOMPARE(paletteWindow().entryButtons[PaletteWindow::kClockBar]->backColor(), kYellow);
    QCOMPARE(paletteWindow().asciiArtButton->backColor(), kGreen); // takes it at the next group choice
}

void DialogsTest::selectionColourPaintsOnlyTheChosenGroup() {
    // Right after start-up the selection colour is the chosen target.
    settingsDialog().colorSwatches[26]->onClick();
    QCOMPARE(t->state().selectionColor, QStringLiteral("16711680"));
    QCOMPARE(paletteWindow().groupButtons[0]->backColor(), 16711680u);
    for (int g = 1; g < 16; ++g)
        QCOMPARE(paletteWindow().groupButtons[std::size_t(g)]->backColor(), kGreen);
    QCOMPARE(paletteWindow().entryButtons[0]->backColor(), kGreen);
    settingsDialog().colorTargetChoices[2]->setValue(true);
    settingsDialog().colorSwatches[7]->onClick();
    QCOMPARE(paletteWindow().entryButtons[PaletteWindow::kClockBar]->backColor(), 128u);
}

void DialogsTest::tooltipTextColourLeavesThePaletteAlone() {
    settingsDialog().colorTargetChoices[3]->setValue(true);
    settingsDialog().colorSwatches[33]->onClick();
    settingsDialog().colorTargetChoices[4]->setValue(true);
    settingsDialog().colorSwatches[0]->onClick();
    QCOMPARE(t->state().tipTextColor, 16777215u);
    QCOMPARE(t->state().tipBackColor, 8388736u);
    QCOMPARE(t->state().tipWindow->tipTextColor(), 16777215u);
    QCOMPARE(t->state().tipWindow->tipBackColor(), 8388736u);
    QCOMPARE(t->state().backgroundColor, QStringLiteral("12648384"));
    QCOMPARE(paletteWindow().groupButtons[0]->backColor(), kPink);
    settingsDialog().saveButton->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find("ToolTipBackColor=8388736\r\nToolTipFontColor=16777215\r\n") != std::string::npos);
}

void DialogsTest::swatchInAsciiArtModePaintsNoGroup() {
    paletteWindow().asciiArtButton->press();
    settingsDialog().colorSwatches[5]->onClick();
    for (auto* button : paletteWindow().groupButtons)
        QCOMPARE(button->backColor(), kGreen);
}

void DialogsTest::pageNameChoiceMovesEditorAndPalette() {
    paletteWindow().groupButtons[4]->press();
    paletteWindow().settingsButton->press();
    const int tab = paletteWindow().pageTabs->tab();
    settingsDialog().pageNameChoices[2]->setValue(true);
    QCOMPARE(settingsDialog().pageNameBox->text(), QStringLiteral("ページ３"));
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 2);
    QCOMPARE(paletteWindow().pageList->listIndex(), 2);
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), cellName(2, 5, 0));
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), cellName(2, 5, 0));
    QCOMPARE(paletteWindow().groupButtons[9]->caption(), cellName(2, 0, 9));
    QCOMPARE(settingsDialog().groupNameBoxes[9]->text(), cellName(2, 0, 9));
    QCOMPARE(paletteWindow().pageTabs->tab(), tab);
    QCOMPARE(paletteWindow().groupButtons[4]->backColor(), kPink);
}

void DialogsTest::typedNameReachesTheListsOnChange() {
    auto& asciiArtDialog = t->program().asciiArtDialog();
    paletteWindow().settingsButton->press();
    settingsDialog().pageNameChoices[1]->setValue(true);
    settingsDialog().pageNameBox->setText(QStringLiteral("お\r\n気に入り"));
    QCOMPARE(settingsDialog().pageNameBox->text(), QStringLiteral("お気に入り"));
    QCOMPARE(t->state().pageNames[1], QStringLiteral("お気に入り"));
    QCOMPARE(paletteWindow().pageList->itemText(1), QStringLiteral("ページ２"));
    settingsDialog().renamePageButton->press();
    QCOMPARE(paletteWindow().pageList->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(settingsDialog().editorPageList->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(asciiArtDialog.pageList->itemText(1), QStringLiteral("お気に入り"));
    QCOMPARE(asciiArtDialog.pageList->listCount(), 9);
    QCOMPARE(paletteWindow().pageList->listCount(), 10);
    QCOMPARE(paletteWindow().pageList->listIndex(), 1);
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 1);
    QCOMPARE(asciiArtDialog.pageList->listIndex(), 1);
    // The history page can be renamed too.
    settingsDialog().pageNameChoices[9]->setValue(true);
    settingsDialog().pageNameBox->setText(QStringLiteral("さっき"));
    QCOMPARE(t->state().pageNames[9], QStringLiteral("さっき"));
}

void DialogsTest::changeOnTheHistoryPageKeepsPositions() {
    paletteWindow().settingsButton->press();
    settingsDialog().editorPageList->setListIndex(9);
    settingsDialog().renamePageButton->press();
    QCOMPARE(settingsDialog().editorPageList->listIndex(), 9);
    QCOMPARE(paletteWindow().pageList->listIndex(), 9);
    QCOMPARE(t->program().asciiArtDialog().pageList->listIndex(), 8);
    QCOMPARE(paletteWindow().pageTabs->tab(), 0);
}

void DialogsTest::everyPageNameIsSaved() {
    paletteWindow().settingsButton->press();
    settingsDialog().pageNameChoices[7]->setValue(true);
    settingsDialog().pageNameBox->setText(QStringLiteral("ネコ"));
    settingsDialog().saveButton->press();
    const std::string saved = t->readBytes(QStringLiteral("設定.ini"));
    QVERIFY(saved.find(storage::toCp932(QStringLiteral("Page8=ネコ\r\nPage9=ページ９\r\nPage10=履歴\r\n"))) !=
            std::string::npos);
}

// Two lines copied from a Linux program and pasted into a name box keep an LF, which a profile
// file cannot hold: the name is saved as the box shows it, and nothing is reported (the test's
// failure report fails the test).
void DialogsTest::namesPastedWithALineFeedAreSavedAsShown() {
    auto& asciiArtDialog = t->program().asciiArtDialog();
    paletteWindow().settingsButton->press();
    settingsDialog().pageNameChoices[2]->setValue(true);
    settingsDialog().asciiArtSettingsButton->press();
    const auto paste = [](controls::TextBox* box, const QString& text) {
        box->editor()->selectAll();
        box->editor()->insert(text);
    };
    paste(settingsDialog().pageNameBox, QStringLiteral("二\n行"));
    paste(asciiArtDialog.nameBoxes[4], QStringLiteral("ね\nこ\r\n"));
    QCOMPARE(settingsDialog().pageNameBox->editor()->text(), QStringLiteral("二 行"));
    QCOMPARE(t->state().pageNames[2], QStringLiteral("二 行"));
    QCOMPARE(t->state().asciiArtNames.at(3, 4), QStringLiteral("ね こ"));
    asciiArtDialog.saveButton->press();
    QVERIFY(
        t->readBytes(QStringLiteral("設定.ini")).find(storage::toCp932(QStringLiteral("Page3=二 行\r\n"))) !=
        std::string::npos);
    QVERIFY(
        t->readBytes(QStringLiteral("AA/AAOptions.ini"))
            .find(storage::toCp932(QStringLiteral("[Page3]\r\nName_0=\r\nName_1=\r\nName_2=\r\nName_3=\r\n"
                                                  "Name_4=ね こ\r\n"))) != std::string::npos);
}

void DialogsTest::batchRegistration() {
    paletteWindow().settingsButton->press();
    settingsDialog().editorPageList->setListIndex(3);
    settingsDialog().groupChoices[2]->setValue(true);
    auto& batchDialog = openBatch();
    QVERIFY(batchDialog.isVisible());

    batchDialog.linesBox->setText(QStringLiteral("a\r\n\tx\t\r\nx   \r\n  lead"));
    batchDialog.registerButton->press();
    QStringList expected = {"a", " x ", "x", "  lead"};
    while (expected.size() < 20)
        expected << QString();
    QCOMPARE(entries(), expected);
    QCOMPARE(t->state().kaomoji.at(3, 3, 1), QStringLiteral(" x "));
    QCOMPARE(paletteWindow().entryButtons[2]->caption(), QStringLiteral("x"));
    QCOMPARE(paletteWindow().entryButtons[3]->caption(), QStringLiteral("  lead"));

    QStringList lines;
    for (int i = 1; i <= 25; ++i)
        lines << QStringLiteral("line%1").arg(i);
    batchDialog.linesBox->setText(lines.join(QStringLiteral("\r\n")));
    batchDialog.registerButton->press();
    QCOMPARE(entries(), lines.mid(0, 20));

    // Fetch, then register: nothing changes but trailing spaces.
    settingsDialog().entryBoxes[5]->setText(QStringLiteral("ends  "));
    batchDialog.fetchButton->press();
    QVERIFY(batchDialog.linesBox->text().endsWith(QStringLiteral("line20\r\n")));
    QCOMPARE(batchDialog.linesBox->text().count(QStringLiteral("\r\n")), 20);
    batchDialog.registerButton->press();
    expected = lines.mid(0, 20);
    expected[5] = QStringLiteral("ends");
    QCOMPARE(entries(), expected);

    batchDialog.clearButton->press();
    QCOMPARE(batchDialog.linesBox->text(), QString());
    batchDialog.registerButton->press();
    QCOMPARE(entries(), QStringList(20, QString()));
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), QString());

    // Closing hides it and keeps the text.
    batchDialog.linesBox->setText(QStringLiteral("kept"));
    batchDialog.close();
    QVERIFY(!batchDialog.isVisible());
    QCOMPARE(&openBatch(), &batchDialog);
    QCOMPARE(batchDialog.linesBox->text(), QStringLiteral("kept"));
}

void DialogsTest::batchLinesAreCutAt255Bytes() {
    paletteWindow().settingsButton->press();
    auto& batchDialog = openBatch();
    // 'a' + 200 two-byte characters: 401 bytes; 255 would split the 128th character.
    batchDialog.linesBox->setText(QStringLiteral("a") + QString(200, QChar(u'顔')));
    batchDialog.registerButton->press();
    QCOMPARE(settingsDialog().entryBoxes[0]->text(), QStringLiteral("a") + QString(127, QChar(u'顔')));
}

void DialogsTest::batchIgnoredWhileTheSettingsDialogIsHidden() {
    paletteWindow().settingsButton->press();
    auto& batchDialog = openBatch();
    settingsDialog().hide();
    batchDialog.linesBox->setText(QStringLiteral("new"));
    const QStringList before = entries();
    batchDialog.registerButton->press();
    QCOMPARE(entries(), before);
    QCOMPARE(t->state().kaomoji.at(0, 1, 0), cellName(0, 1, 0));
    // Fetching works hidden or not.
    batchDialog.fetchButton->press();
    QVERIFY(batchDialog.linesBox->text().startsWith(cellName(0, 1, 0) + QStringLiteral("\r\n")));
}

void DialogsTest::aboutDialog() {
    QCOMPARE(AboutDialog::osVersionText(10.0), QStringLiteral("OSVersion  10"));
    QCOMPARE(AboutDialog::osVersionText(6.1), QStringLiteral("OSVersion  6.1"));
    t->desktop.version = 6.1;
    settingsDialog().aboutButton->press();
    QPointer<AboutDialog> first = t->program().aboutDialog();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(first->osVersionLabel->text(), QStringLiteral("OSVersion  6.1"));
    QCOMPARE(first->versionAndTermsLabels[0]->text(), QStringLiteral("ver1.28"));
    QCOMPARE(first->webAddressLabel->text(), AboutDialog::kWebAddress + QStringLiteral("/"));
    first->webAddressLabel->onClick();
    first->bannerImage->onClick();
    QCOMPARE(t->desktop.openedUrls.size(), std::size_t(2));
    QCOMPARE(QString::fromStdString(t->desktop.openedUrls[0]), AboutDialog::kWebAddress);
    QVERIFY(!QApplication::overrideCursor());
    // The palette leaves the always-on-top band while it is open.
    paletteWindow().clockTick();
    QCOMPARE(t->state().topmostSuspended, 1);

    // Closed by its close box it is gone; the next opening builds a new one.
    first->close();
    QTRY_VERIFY(!first);
    QVERIFY(!t->program().aboutDialog());
    t->desktop.version = 10.0;
    settingsDialog().aboutButton->press();
    QVERIFY(t->program().aboutDialog());
    QCOMPARE(t->program().aboutDialog()->osVersionLabel->text(), QStringLiteral("OSVersion  10"));
    t->program().aboutDialog()->okButton->press();
    QTRY_VERIFY(!t->program().aboutDialog());
}

void DialogsTest::aboutDialogLeavesNothingBehind() {
    // Built for every opening, it must go whole when closed: each opening once left a copy of
    // its picture behind, about 4.8 KB.
    auto openAndClose = [this] {
        settingsDialog().aboutButton->press();
        t->program().aboutDialog()->okButton->press();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QVERIFY(!t->program().aboutDialog());
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
