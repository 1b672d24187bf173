// The paste engine on the fake desktop: timing, double-clicks, history, ASCII art, clipboard.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form2.h"
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
    void doubleClickSendsEnterOrTabAndKeepsTheHistory_data();
    void doubleClickSendsEnterOrTabAndKeepsTheHistory();
    void twoQuickClicksOnDifferentButtonsPasteTheSecond();
    void emptyCaptionPastesNothingButEntersTheHistory();
    void historyMovesTheClickedEntryToTheFront();
    void historyPageRelabelsAtOnce();
    void historyDropsTheTwentyFirstEntry();
    void asciiArtPastesTheTextAndRecordsTheName();
    void inputModeToggleOnlyWhenTheBoxIsOff();
    void noTargetOrRefusedTargetSendsNothing();
    void clipboardIsRestoredWhenAsked();
    void clockModesAndTheClockBarPaste();
    void hammeredClicksEndInOneDoubleClick();
    void clickDuringAPasteIsASingleClickOfItsOwn();
    void targetThatNeverFetchesCostsOnlyTheBound();

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    storage::KaomojiTable& table() { return t->state().KaomojiTable; }
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

    std::unique_ptr<TestProgram> t;
    QStringList received; // what the target pasted
};

void PasteEngineTest::init() {
    received.clear();
    t = std::make_unique<TestProgram>();
    QString text;
    for (int line = 0; line < 3400; ++line)
        text += (line >= 20 && line < 40 ? QStringLiteral("k%1").arg(line - 20) : QString()) +
                QStringLiteral("\r\n");
    t->writeText(QStringLiteral("顔文字.ini"), text);
    t->start();
    f1().TargetWindow = kTarget;
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
    f1().Command1[3]->press();
    QCOMPARE(keys(), QStringList{"^v"});
    QCOMPARE(received, QStringList{"k3"});
    QVERIFY2(switchedAt - clickedAt >= 220, qPrintable(QString::number(switchedAt - clickedAt)));
    QVERIFY(t->desktop.keys[0].tick - switchedAt >= 100);
    QVERIFY(t->desktop.keys[0].wait);
    QCOMPARE(t->desktop.keys[0].foreground, kTarget);
    QCOMPARE(clipboardText(), QStringLiteral("k3")); // the kaomoji stays on the clipboard
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("k3"));
    QCOMPARE(f1().ClickCount, 0);
}

void PasteEngineTest::foregroundTrackingSkipsThePalette() {
    f1().TargetWindow = 0;
    t->desktop.foreground = 77;
    f1().Timer2_Timer();
    QCOMPARE(f1().TargetWindow, platform::WindowHandle(77));
    t->desktop.foreground = f1().handle();
    f1().Timer2_Timer();
    t->desktop.foreground = 0;
    f1().Timer2_Timer();
    QCOMPARE(f1().TargetWindow, platform::WindowHandle(77));
    // The settings dialog is a window like any other.
    t->desktop.foreground = f2().handle();
    f1().Timer2_Timer();
    QCOMPARE(f1().TargetWindow, f2().handle());
}

void PasteEngineTest::doubleClickSendsEnterOrTabAndKeepsTheHistory_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("expectedKeys");
    QTest::newRow("nothing") << 0 << QStringList{"^v"};
    QTest::newRow("ENTER") << 1 << QStringList{"^v", "{ENTER}"};
    QTest::newRow("TAB") << 2 << QStringList{"^v", "{TAB}"};
}

void PasteEngineTest::doubleClickSendsEnterOrTabAndKeepsTheHistory() {
    QFETCH(int, action);
    QFETCH(QStringList, expectedKeys);
    f2().Combo2->setListIndex(action);
    table().at(9, 1, 0) = QStringLiteral("old");
    QTimer::singleShot(100, this, [this] { f1().Command1[4]->press(); });
    f1().Command1[4]->press();
    QCOMPARE(keys(), expectedKeys);
    QCOMPARE(received, QStringList{"k4"});
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("old"));
    QCOMPARE(f1().ClickCount, 0);
}

void PasteEngineTest::twoQuickClicksOnDifferentButtonsPasteTheSecond() {
    QTimer::singleShot(100, this, [this] { f1().Command1[9]->press(); });
    f1().Command1[2]->press();
    QCOMPARE(received, QStringList{"k9"});
    QCOMPARE(keys(), (QStringList{"^v", "{ENTER}"}));
}

void PasteEngineTest::emptyCaptionPastesNothingButEntersTheHistory() {
    f1().Combo1->setListIndex(1); // page 2 is empty
    table().at(9, 1, 0) = QStringLiteral("a");
    f1().Command1[0]->press();
    QCOMPARE(received, QStringList{QString()});
    QCOMPARE(history(2), (QStringList{"", "a"}));
    // Slot 0 already empty: nothing moves.
    f1().Command1[1]->press();
    QCOMPARE(history(2), (QStringList{"", "a"}));
}

void PasteEngineTest::historyMovesTheClickedEntryToTheFront() {
    const QStringList start = {"a", "b", "c", "d"};
    for (int i = 0; i < 4; ++i)
        table().at(9, 1, i) = start[i];
    t->state().form2->Combo1->setListIndex(0);
    t->state().form2->Text2[0]->setText(QStringLiteral("c"));
    f1().Command1[0]->press();
    QCOMPARE(history(5), (QStringList{"c", "a", "b", "d", ""}));
    // The same entry again changes nothing.
    f1().Command1[0]->press();
    QCOMPARE(history(5), (QStringList{"c", "a", "b", "d", ""}));
}

void PasteEngineTest::historyPageRelabelsAtOnce() {
    for (int i = 0; i < 3; ++i)
        table().at(9, 1, i) = QStringLiteral("h%1").arg(i);
    f1().SSTab1->setTab(0);
    QCOMPARE(f1().Command1[2]->caption(), QStringLiteral("h2"));
    f1().Command1[2]->press();
    QCOMPARE(received, QStringList{"h2"});
    QCOMPARE(f1().Command1[0]->caption(), QStringLiteral("h2"));
    QCOMPARE(f1().Command1[1]->caption(), QStringLiteral("h0"));
    QCOMPARE(f1().Command1[2]->caption(), QStringLiteral("h1"));
}

void PasteEngineTest::historyDropsTheTwentyFirstEntry() {
    for (int i = 0; i < 21; ++i)
        table().at(9, 1, i) = QStringLiteral("h%1").arg(i);
    f1().RecordHistory(QStringLiteral("new"));
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("new"));
    QCOMPARE(table().at(9, 1, 19), QStringLiteral("h18"));
    QCOMPARE(table().at(9, 1, 20), QStringLiteral("h19"));
    QCOMPARE(table().at(9, 1, 21), QString()); // never touched
}

void PasteEngineTest::asciiArtPastesTheTextAndRecordsTheName() {
    auto& s = t->state();
    s.AAName.at(3, 1) = QStringLiteral("cat");
    s.AAText.at(3, 1) = QStringLiteral(" /\\_/\\\r\n( o.o )");
    f1().Combo1->setListIndex(2);
    f1().Command5->press();
    QCOMPARE(f1().Command1[1]->caption(), QStringLiteral("cat"));
    auto& f5 = *s.form5;
    f5.Check1[0]->setValue(1);
    f5.Check1[1]->setValue(0);
    f1().Command1[1]->press();
    f5.Check1[0]->setValue(0);
    f5.Check1[1]->setValue(1);
    f1().Command1[1]->press();
    QCOMPARE(received, (QStringList{"\r\n /\\_/\\\r\n( o.o )", " /\\_/\\\r\n( o.o )\r\n"}));
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("cat"));
    // An empty piece leaves the clipboard empty and gets no line breaks.
    f5.Check1[0]->setValue(1);
    f1().Command1[7]->press();
    QCOMPARE(received.last(), QString());
    QVERIFY(!QGuiApplication::clipboard()->mimeData() ||
            !QGuiApplication::clipboard()->mimeData()->hasText());
}

void PasteEngineTest::inputModeToggleOnlyWhenTheBoxIsOff() {
    f2().Check1[7]->setValue(0);
    f1().Command1[0]->press();
    QCOMPARE(keys(), (QStringList{"^v", "%{kanji}"}));
    QVERIFY(!t->desktop.keys[1].wait);
    t->desktop.keys.clear();
    f2().Check1[7]->setValue(2);
    f1().Command1[0]->press();
    QCOMPARE(keys(), QStringList{"^v"});
    // A double-click toggles after the Enter.
    t->desktop.keys.clear();
    f2().Check1[7]->setValue(0);
    QTimer::singleShot(50, this, [this] { f1().Command1[0]->press(); });
    f1().Command1[0]->press();
    QCOMPARE(keys(), (QStringList{"^v", "{ENTER}", "%{kanji}"}));
}

void PasteEngineTest::noTargetOrRefusedTargetSendsNothing() {
    QGuiApplication::clipboard()->setText(QStringLiteral("user's text"));
    f1().TargetWindow = 0;
    f1().Command1[0]->press();
    QVERIFY(t->desktop.keys.empty());
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
    QCOMPARE(table().at(9, 1, 0), QString());

    // A closed target refuses the foreground: the same.
    f1().TargetWindow = kTarget;
    t->desktop.refusingWindows = {kTarget};
    f2().Check1[3]->setValue(1);
    f1().Command1[0]->press();
    QVERIFY(t->desktop.keys.empty());
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
    QCOMPARE(f1().ClickCount, 0);
}

void PasteEngineTest::clipboardIsRestoredWhenAsked() {
    f2().Check1[3]->setValue(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("user's 😀 text"));
    f1().Command1[5]->press();
    QCOMPARE(received, QStringList{"k5"});
    QCOMPARE(clipboardText(), QStringLiteral("user's 😀 text"));

    // A bitmap is kept too, with a beep when it is saved.
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    QGuiApplication::clipboard()->setImage(image);
    f1().Command1[6]->press();
    QCOMPARE(t->desktop.beeps, 1);
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasImage());
    QCOMPARE(qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData()).size(),
             QSize(4, 3));

    // Off: the pasted text stays on the clipboard.
    f2().Check1[3]->setValue(0);
    f1().Command1[7]->press();
    QCOMPARE(clipboardText(), QStringLiteral("k7"));
}

void PasteEngineTest::clockModesAndTheClockBarPaste() {
    f2().Option4[0]->setValue(true);
    f1().Timer1_Timer();
    const QString date = f1().Command1[20]->caption();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}$")).match(date).hasMatch());
    f2().Option4[1]->setValue(true);
    QCOMPARE(t->state().ClockMode, QStringLiteral("1"));
    f1().Timer1_Timer();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}$"))
                .match(f1().Command1[20]->caption())
                .hasMatch());
    f2().Option4[2]->setValue(true);
    f1().Timer1_Timer();
    const QString both = f1().Command1[20]->caption();
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2}  \\d{1,2}:\\d{2}:\\d{2}$"))
                .match(both)
                .hasMatch());

    f1().Command1[20]->setCaption(QStringLiteral("2026/12/08  9:00:00"));
    f1().Timer1->stop();
    f1().Command1[20]->press();
    QCOMPARE(received, QStringList{"2026/12/08  9:00:00"});
    QCOMPARE(table().at(9, 1, 0), QStringLiteral("2026/12/08  9:00:00"));
}

void PasteEngineTest::hammeredClicksEndInOneDoubleClick() {
    for (int i = 1; i < 20; ++i)
        QTimer::singleShot(i * 10, this, [this, i] { f1().Command1[std::size_t(i)]->press(); });
    f1().Command1[0]->press();
    QTRY_COMPARE(f1().ClickCount, 0);
    QCOMPARE(received, QStringList{"k19"});
    QCOMPARE(keys(), (QStringList{"^v", "{ENTER}"}));
    QCOMPARE(table().at(9, 1, 0), QString());
}

void PasteEngineTest::clickDuringAPasteIsASingleClickOfItsOwn() {
    // 270 ms: past the first click's 220 ms wait, while its paste waits for the target.
    QTimer::singleShot(270, this, [this] { f1().Command1[1]->press(); });
    f1().Command1[0]->press();
    QTRY_COMPARE(received.size(), 2);
    QTRY_COMPARE(f1().ClickCount, 0);
    QCOMPARE(received, (QStringList{"k0", "k1"}));
    QCOMPARE(keys(), (QStringList{"^v", "^v"}));
    QCOMPARE(history(2), (QStringList{"k1", "k0"}));
    // The same button twice, 270 ms apart: two single pastes too.
    received.clear();
    t->desktop.keys.clear();
    QTimer::singleShot(270, this, [this] { f1().Command1[2]->press(); });
    f1().Command1[2]->press();
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(keys(), (QStringList{"^v", "^v"}));
}

void PasteEngineTest::targetThatNeverFetchesCostsOnlyTheBound() {
    t->desktop.onSendKeys = nullptr; // the target ignores Ctrl+V
    f2().Check1[3]->setValue(1);
    QGuiApplication::clipboard()->setText(QStringLiteral("user's text"));
    QElapsedTimer timer;
    timer.start();
    f1().Command1[1]->press();
    const qint64 took = timer.elapsed();
    QCOMPARE(keys(), QStringList{"^v"});
    // 220 ms + 100 ms + the fetch bound + the grace: it waits, but it does not hang.
    QVERIFY2(took >= 220 + 100 + Form1::kFetchBoundMs, qPrintable(QString::number(took)));
    QVERIFY2(took < 220 + 100 + Form1::kFetchBoundMs + 2000, qPrintable(QString::number(took)));
    QCOMPARE(clipboardText(), QStringLiteral("user's text"));
}

QTEST_MAIN(PasteEngineTest)
#include "paste_engine.moc"
