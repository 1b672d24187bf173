// The paste engine on the fake desktop: timing, double-clicks, history, ASCII art, clipboard.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QtTest>

namespace {
constexpr platform::WindowHandle kTarget = 0x4200001;

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}
} // namespace

class PasteEngineTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void singleClickPastesAfterTheDoubleClickWait();
    void foregroundTrackingSkipsThePalette();
    void emptyCaptionPastesNothingButEntersTheHistory();
    void historyMovesTheClickedEntryToTheFront();
    void historyPageRelabelsAtOnce();
    void historyDropsTheTwentyFirstEntry();
    void asciiArtPastesTheTextAndRecordsTheName();
    void inputModeToggleOnlyWhenTheBoxIsOff();
    void noTargetOrRefusedTargetSendsNothing();
    void clipboardIsRestoredWhenAsked();
    void clipboardSetDuringTheRun_data();
    void clipboardSetDuringTheRun();
    void clipboardFormatsComeBackAsBytes();
    void clipboardTakenBeforeTheFetchIsPutBack_data();
    void clipboardTakenBeforeTheFetchIsPutBack();
    void clipboardRefusedByTheDesktopAbandonsThePaste();
    void clipboardFloodIsNeverPasted();
    void clockModesAndTheClockBarPaste();
    void targetThatNeverFetchesCostsOnlyTheBound();
    void endingCancelsThePastesNotYetSent();

private:
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    storage::KaomojiTable& table() { return t->state().kaomoji; }
    QStringList keys() const {
        QStringList list;
        for (const auto& call : t->desktop.keys)
            list << QString::fromStdString(call.keys);
        return list;
    }
    QStringList history(int count) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list << table().at(9, 1, i);
        return list;
    }

    // Clicks the entry button and waits until its paste has ended.
    void click(int index) {
        paletteWindow().entryButtons[std::size_t(index)]->press();
        QTRY_VERIFY_WITH_TIMEOUT(!paletteWindow().pastesPending(), 5000);
    }

    std::unique_ptr<TestProgram> t;
    QStringList received; // what the target pasted
};
void PasteEngineTest::init() {
    received.clear();
    t = std::make_unique<TestProgram>();
    t->writeNumberedFirstGroup();
    t->start();
    paletteWindow().targetWindow = kTarget;
    // The target fetches the clipboard when it gets the paste keystroke, as a real one does.
    t->desktop.onSendKeys = [this](const std::string& k) {
        if (k == "^v")
            received << clipboardText();
    };
    QGuiApplication::clipboard()->clear();
}

void PasteEngineTest::singleClickPastesAfterTheDoubleClickWait() {
    std::uint32_t switchedAt = 0;
    t->desktop.onForegroundSwitch = [&](platform::WindowHandle) { switchedAt = t->desktop.tickCount(); };
    const std::uint32_t clickedAt = t->desktop.tickCount();
    click(3);
    QCOMPARE(keys(), QStringList{"^v"});
    QCOMPARE(received, QStringList{"k3"});
    QVERIFY2(switchedAt - clickedAt >= 220, qPrintable(QString::number(switchedAt - clickedAt)));
    QVERIFY(t->desktop.keys[0].tick - switchedAt >= 100);
    QVERIFY(t->desktop.keys[0].wait);
    QCOMPARE(t->desktop.keys[0].foreground, kTarget);
    QCOMPARE(clipboardText(), QStringLiteral("k3")); // the kaomoji stays on the clipboard
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("k3"));
    QVERIFY(!paletteWindow().pastesPending());
}

void PasteEngineTest::foregroundTrackingSkipsThePalette() {
    paletteWindow().targetWindow = 0;
    t->desktop.foreground = 77;
    paletteWindow().trackTargetWindow();
    QCOMPARE(paletteWindow().targetWindow, platform::WindowHandle(77));
    t->desktop.foreground = paletteWindow().handle();
    paletteWindow().trackTargetWindow();
    t->desktop.foreground = 0;
    paletteWindow().trackTargetWindow();
    QCOMPARE(paletteWindow().targetWindow, platform::WindowHandle(77));
    // The settings dialog is a window like any other.
    t->desktop.foreground = settingsDialog().handle();
    paletteWindow().trackTargetWindow();
    QCOMPARE(paletteWindow().targetWindow, settingsDialog().handle());
}

void PasteEngineTest::emptyCaptionPastesNothingButEntersTheHistory() {
    paletteWindow().pageList->setListIndex(1); // page 2 is empty
    table().at(9, 1, 0) = QStringLiteral("a");
    click(0);
    QCOMPARE(received, QStringList{QString()});
    QCOMPARE(history(2), (QStringList{"", "a"}));
    // Slot 0 already empty: nothing moves.
    click(1);
    QCOMPARE(history(2), (QStringList{"", "a"}));
}

void PasteEngineTest::historyMovesTheClickedEntryToTheFront() {
    const QStringList start = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        table().at(9, 1, i) = start[i];
    t->program().settingsDialog().editorPageList->setListIndex(0);
    t->program().settingsDialog().entryBoxes[0]->setText(QStringLiteral("c"));
    click(0);
    QCOMPARE(history(5), (QStringList{"c", "a", "b", "d", ""}));
    // The same entry again changes nothing.
    click(0);
    QCOMPARE(history(5), (QStringList{"c", "a", "b", "d", ""}));
}

void PasteEngineTest::historyPageRelabelsAtOnce() {
    for (int i = 0; i < 3; ++i)
        table().at(9, 1, i) = QStringLiteral("h%1").arg(i);
    paletteWindow().pageTabs->setTab(0);
    QCOMPARE(paletteWindow().entryButtons[2]->caption(), QStringLiteral("h2"));
    click(2);
    QCOMPARE(received, QStringList{"h2"});
    QCOMPARE(paletteWindow().entryButtons[0]->caption(), QStringLiteral("h2"));
    QCOMPARE(paletteWindow().entryButtons[1]->caption(), QStringLiteral("h0"));
    QCOMPARE(paletteWindow().entryButtons[2]->caption(), QStringLiteral("h1"));
}

void PasteEngineTest::historyDropsTheTwentyFirstEntry() {
    for (int i = 0; i < 21; ++i)
        table().at(9, 1, i) = QStringLiteral("h%1").arg(i);
    paletteWindow().recordInHistory(QStringLiteral("new"));
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("new"));
    QCOMPARE(table().at(9, 1, 19), QStringLiteral("h18"));
    QCOMPARE(table().at(9, 1, 20), QStringLiteral("h19"));
    QCOMPARE(table().at(9, 1, 21), QString()); // never touched
}

void PasteEngineTest::asciiArtPastesTheTextAndRecordsTheName() {
    auto& s = t->state();
    s.asciiArtNames.at(3, 1) = QStringLiteral("cat");
    s.asciiArtTexts.at(3, 1) = QStringLiteral(" /\\_/\\\r\n( o.o )");
    paletteWindow().pageList->setListIndex(2);
    paletteWindow().asciiArtButton->press();
    QCOMPARE(paletteWindow().entryButtons[1]->caption(), QStringLiteral("cat"));
    auto& asciiArtDialog = t->program().asciiArtDialog();
    asciiArtDialog.optionChecks[aa_option::kLineBreakBefore]->setValue(1);
    asciiArtDialog.optionChecks[aa_option::kLineBreakAfter]->setValue(0);
    click(1);
    asciiArtDialog.optionChecks[aa_option::kLineBreakBefore]->setValue(0);
    asciiArtDialog.optionChecks[aa_option::kLineBreakAfter]->setValue(1);
    click(1);
    QCOMPARE(received, (QStringList{"\r\n /\\_/\\\r\n( o.o )", " /\\_/\\\r\n( o.o )\r\n"}));
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("cat"));
    // An empty piece leaves the clipboard empty and gets no line breaks.
    asciiArtDialog.optionChecks[aa_option::kLineBreakBefore]->setValue(1);
    click(7);
    QCOMPARE(received.last(), QString());
    QVERIFY(!QGuiApplication::clipboard()->mimeData() ||
            !QGuiApplication::clipboard()->mimeData()->hasText());
}

void PasteEngineTest::inputModeToggleOnlyWhenTheBoxIsOff() {
    settingsDialog().optionChecks[option::kLeaveInputMode]->setValue(0);
    click(0);
    QCOMPARE(keys(), (QStringList{"^v", "%{kanji}"}));
    QVERIFY(!t->desktop.keys[1].wait);
    t->desktop.keys.clear();
    settingsDialog().optionChecks[option::kLeaveInputMode]->setValue(2);
    click(0);
    QCOMPARE(keys(), QStringList{"^v"});
}

void PasteEngineTest::noTargetOrRefusedTargetSendsNothing() {
    QGuiApplication::clipboard()->setText(QStringLiteral("user's text"));
    paletteWindow().targetWindow = 0;
    click(0);
    QVERIFY(t->desktop.keys.empty());
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
    QCOMPARE(table().at(9, 1, 0), QString());

    // A closed target refuses the foreground: the same.
    paletteWindow().targetWindow = kTarget;
    t->desktop.refusingWindows = {kTarget};
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    click(0);
    QVERIFY(t->desktop.keys.empty());
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
    QVERIFY(!paletteWindow().pastesPending());
}

void PasteEngineTest::clipboardIsRestoredWhenAsked() {
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("user's 😀 text"));
    click(5);
    QCOMPARE(received, QStringList{"k5"});
    QCOMPARE(clipboardText(), QStringLiteral("user's 😀 text"));

    // A bitmap is kept too, with a beep when it is saved.
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(image);
    click(6);
    QCOMPARE(t->desktop.beeps, 1);
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasImage());
    QCOMPARE(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()).size(),
             QSize(4, 3));

    // Off: the pasted text stays on the clipboard.
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(0);
    click(7);
    QCOMPARE(clipboardText(), QStringLiteral("k7"));
}

void PasteEngineTest::clipboardSetDuringTheRun_data() {
    QTest::addColumn<QString>("setAfterTheRead");
    QTest::addColumn<QString>("clipboardAfter");
    QTest::addColumn<bool>("readAsBytes"); // as the X11 desktop reads another program's clipboard
    for (bool bytes : {false, true}) {
        const char* how = bytes ? ", read as bytes" : "";
        // The user copies something new before the clipboard comes back: it is theirs, it stays.
        QTest::addRow("a copy of the user's%s", how) << "copied meanwhile"
                                                     << "copied meanwhile" << bytes;
        // A clipboard manager takes the pasted text over: the user's clipboard still comes back.
        QTest::addRow("a manager's copy of the entry%s", how) << "k5"
                                                              << "user's text" << bytes;
    }
}

void PasteEngineTest::clipboardSetDuringTheRun() {
    QFETCH(QString, setAfterTheRead);
    QFETCH(QString, clipboardAfter);
    QFETCH(bool, readAsBytes);
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("user's text"));
    auto offering = [](const QString& text) {
        return platform::ClipboardSnapshot{{{"UTF8_STRING", text.toStdString()}}, true};
    };
    if (readAsBytes)
        t->desktop.clipboardSnapshot = offering(QStringLiteral("user's text"));
    t->desktop.onSendKeys = [&, this](const std::string& k) {
        if (k != "^v")
            return;
        QTimer::singleShot(5, this, [&, this] {
            received << clipboardText();
            QGuiApplication::clipboard()->setText(setAfterTheRead);
            if (readAsBytes)
                t->desktop.clipboardSnapshot = offering(setAfterTheRead);
        });
    };
    click(5);
    QCOMPARE(received, QStringList{"k5"});
    QCOMPARE(clipboardText(), clipboardAfter);
}

void PasteEngineTest::clipboardFormatsComeBackAsBytes() {
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    int notices = 0;
    t->state().reportClipboardNotKept = [&] { ++notices; };
    // Not a picture Qt could decode: the bytes must come back untouched, whatever they are.
    const std::string picture = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(3 << 20, '\xab');
    t->desktop.clipboardSnapshot = platform::ClipboardSnapshot{{{"UTF8_STRING", "user's ü"},
                                                                {"STRING", "user's \xfc"},
                                                                {"image/png", picture},
                                                                {"text/html", "<b>ü</b>"}},
                                                               true};
    click(5);
    QCOMPARE(received, QStringList{"k5"});
    QCOMPARE(t->desktop.clipboardReadBounds, std::vector<int>{PaletteWindow::kClipboardReadBoundMs});
    QCOMPARE(t->desktop.beeps, 1);
    const QMimeData* back = QGuiApplication::clipboard()->mimeData();
    QVERIFY(back);
    QCOMPARE(back->data(QStringLiteral("image/png")), QByteArray(picture.data(), qsizetype(picture.size())));
    QCOMPARE(back->text(), QStringLiteral("user's ü"));
    QCOMPARE(back->data(QStringLiteral("text/html")), QByteArray("<b>ü</b>"));
    QCOMPARE(notices, 0);

    // An owner that did not answer within the bound: the paste goes on, and the user is told.
    QGuiApplication::clipboard()->clear();
    t->desktop.clipboardSnapshot = platform::ClipboardSnapshot{{{"UTF8_STRING", "part"}}, false};
    click(6);
    QCOMPARE(received, (QStringList{"k5", "k6"}));
    QCOMPARE(notices, 1);
    QCOMPARE(clipboardText(), QStringLiteral("part"));
}

void PasteEngineTest::clipboardTakenBeforeTheFetchIsPutBack_data() {
    QTest::addColumn<bool>("whileTheTargetSettles");
    QTest::newRow("while the target settles") << true;
    QTest::newRow("after the paste keystroke") << false;
}

void PasteEngineTest::clipboardTakenBeforeTheFetchIsPutBack() {
    QFETCH(bool, whileTheTargetSettles);
    // Another program sets the clipboard (as one flooding it would) before the target has
    // fetched the text: the target must still get the entry, never the other program's text.
    auto takeClipboard = [] { QGuiApplication::clipboard()->setText(QStringLiteral("other")); };
    if (whileTheTargetSettles)
        t->desktop.onForegroundSwitch = [=](platform::WindowHandle) {
            QTimer::singleShot(20, takeClipboard);
        };
    t->desktop.onSendKeys = [=, this](const std::string& k) {
        if (k != "^v")
            return;
        if (!whileTheTargetSettles)
            takeClipboard();
        // The target asks for the text a moment after the keystroke.
        QTimer::singleShot(5, this, [this] { received << clipboardText(); });
    };
    click(3);
    QTRY_COMPARE(received, QStringList{"k3"});
}

void PasteEngineTest::clipboardRefusedByTheDesktopAbandonsThePaste() {
    // The toolkit took the text, but the window system gave the clipboard to another program
    // (its request came later by the server's clock): Ctrl+V would type that program's text.
    t->desktop.clipboardOwned = false;
    table().at(9, 1, 0) = QStringLiteral("old");
    click(3);
    QVERIFY(keys().isEmpty());
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("old"));
    t->desktop.clipboardOwned = true;
    click(4);
    QCOMPARE(received, QStringList{"k4"});
}

void PasteEngineTest::clipboardFloodIsNeverPasted() {
    // Another program sets the clipboard 50 times a second from the moment the target comes
    // forward: putting the text back once cannot keep it, so the paste is abandoned rather than
    // let the target type that program's text.
    QTimer flood;
    flood.setInterval(20);
    QObject::connect(&flood, &QTimer::timeout,
                     [] { QGuiApplication::clipboard()->setText(QStringLiteral("other")); });
    t->desktop.onForegroundSwitch = [&](platform::WindowHandle) { flood.start(); };
    t->desktop.onSendKeys = [this](const std::string& k) {
        if (k == "^v")
            received << clipboardText();
    };
    table().at(9, 1, 0) = QStringLiteral("old");
    click(3);
    QCOMPARE(received, QStringList{});
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("old"));
    // The flood over, the next paste goes through.
    flood.stop();
    t->desktop.onForegroundSwitch = nullptr;
    click(4);
    QCOMPARE(received, QStringList{"k4"});
}

void PasteEngineTest::clockModesAndTheClockBarPaste() {
    settingsDialog().clockModeChoices[0]->setValue(true);
    paletteWindow().clockTick();
    const QString date = paletteWindow().entryButtons[PaletteWindow::kClockBar]->caption();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$")).match(date).hasMatch());
    settingsDialog().clockModeChoices[1]->setValue(true);
    QCOMPARE(t->state().clockMode, QStringLiteral("1"));
    paletteWindow().clockTick();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}$"))
                .match(paletteWindow().entryButtons[PaletteWindow::kClockBar]->caption())
                .hasMatch());
    settingsDialog().clockModeChoices[2]->setValue(true);
    paletteWindow().clockTick();
    const QString both = paletteWindow().entryButtons[PaletteWindow::kClockBar]->caption();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}  \\d{1,2}:\\d{2}:\\d{2}$"))
                .match(both)
                .hasMatch());

    paletteWindow().entryButtons[PaletteWindow::kClockBar]->setCaption(QStringLiteral("2026/12/08  9:00:00"));
    paletteWindow().clockTimer->stop();
    click(20);
    QCOMPARE(received, QStringList{"2026/12/08  9:00:00"});
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("2026/12/08  9:00:00"));
}

void PasteEngineTest::targetThatNeverFetchesCostsOnlyTheBound() {
    t->desktop.onSendKeys = nullptr; // the target ignores Ctrl+V
    settingsDialog().optionChecks[option::kKeepUserClipboard]->setValue(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("user's text"));
    QElapsedTimer timer;
    timer.start();
    click(1);
    const qint64 took = timer.elapsed();
    QCOMPARE(keys(), QStringList{"^v"});
    // 220 ms + 100 ms + the fetch bound + the grace: it waits, but it does not hang.
    QVERIFY2(took >= 220 + 100 + PaletteWindow::kFetchBoundMs, qPrintable(QString::number(took)));
    QVERIFY2(took < 220 + 100 + PaletteWindow::kFetchBoundMs + 2000, qPrintable(QString::number(took)));
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
}

void PasteEngineTest::endingCancelsThePastesNotYetSent() {
    UserAnswers answers(*t);
    // "終了" while a click waits to be told single from double: the target is never touched.
    QTimer::singleShot(100, this, [this] { paletteWindow().exitButton->press(); });
    paletteWindow().entryButtons[0]->press();
    QTest::qWait(700);
    QCOMPARE(answers.ended, 1);
    QVERIFY(t->desktop.foregroundRequests.empty());
    QVERIFY(keys().isEmpty());

    // "終了" after the target was brought forward, before the paste keystroke: nothing is sent.
    t = std::make_unique<TestProgram>();
    t->start();
    UserAnswers again(*t);
    paletteWindow().targetWindow = kTarget;
    t->desktop.onForegroundSwitch = [this](platform::WindowHandle) {
        QTimer::singleShot(0, this, [this] { paletteWindow().exitButton->press(); });
    };
    paletteWindow().entryButtons[0]->press();
    QTest::qWait(800);
    QCOMPARE(again.ended, 1);
    QCOMPARE(t->desktop.foregroundRequests.size(), std::size_t(1));
    QVERIFY(keys().isEmpty());

    // "終了" (or the session's end) once the target has fetched the text, before the input-mode
    // key: the entry was pasted, so the saved history holds it; nothing more is sent.
    t = std::make_unique<TestProgram>();
    t->start();
    UserAnswers third(*t);
    paletteWindow().targetWindow = kTarget;
    settingsDialog().optionChecks[option::kLeaveInputMode]->setValue(0);
    paletteWindow().entryButtons[0]->setCaption(QStringLiteral("(^_^)"));
    t->desktop.onSendKeys = [this](const std::string& k) {
        if (k == "^v") {
            received << clipboardText();
            QTimer::singleShot(0, this, [this] { paletteWindow().exitButton->press(); });
        }
    };
    paletteWindow().entryButtons[0]->press();
    QTRY_COMPARE_WITH_TIMEOUT(third.ended, 1, 2000);
    QCOMPARE(keys(), QStringList{"^v"});
    QCOMPARE(received.last(), QStringLiteral("(^_^)"));
    QCOMPARE(history(1), QStringList{"(^_^)"});
    const std::string saved = t->readBytes(QStringLiteral("顔文字.ini"));
    QVERIFY(saved.find("(^_^)") != std::string::npos);
}

QTEST_MAIN(PasteEngineTest)
#include "paste_engine.moc"
