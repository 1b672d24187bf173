// Text boxes: what text() holds, what cp932 cannot store, and when the change handler runs.
#include "controls/controls.h"
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>

using namespace controls;

namespace {

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600, a surrogate pair
const QString kKannada = QString::fromUtf8("\xE0\xB2\xA0");   // U+0CA0
const QString kKaomoji = QString::fromUtf8("(\xC2\xB4\xE3\x83\xBB\xCF\x89\xE3\x83\xBB`)"); // (´・ω・`)

// A character typed as the keyboard delivers it: one key event carrying the text.
void typeText(QWidget* widget, const QString& text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text, Qt::NoModifier);
}

// A character committed by an input method, as emoji pickers and IMEs deliver them.
void commitText(QWidget* widget, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class ControlsText : public QObject {
    Q_OBJECT
private slots:
    void representableText();
    void textBoxSetFromCode();
    void textBoxKeepsLineBreaksAndLongText();
    void textBoxTyping();
    void textBoxReplacesWhatCp932Lacks();
    void textBoxHandlerSettingTextAgain();
    void multiLineRoundTrip();
    void multiLineUserEdits();
    void multiLineReplacesWhatCp932Lacks();
    void multiLineHandlerSettingTextAgain();
    void multiLinePasting();
};

void ControlsText::representableText() {
    QCOMPARE(cp932Representable(QStringLiteral("abc \\~")), QStringLiteral("abc \\~"));
    QCOMPARE(cp932Representable(kKaomoji), kKaomoji);
    QCOMPARE(cp932Representable(QStringLiteral("\r\n")), QStringLiteral("\r\n"));
    QCOMPARE(cp932Representable(kKannada + u'_' + kKannada), QStringLiteral("?_?"));
    // One '?' for the whole surrogate pair.
    QCOMPARE(cp932Representable(u'a' + kEmoji + u'b'), QStringLiteral("a?b"));
    QCOMPARE(cp932Representable(QString()), QString());
}

void ControlsText::textBoxSetFromCode() {
    TextBox box;
    int changes = 0;
    QString textSeen;
    box.onChange = [&] {
        ++changes;
        textSeen = box.text();
    };
    box.setText(kKaomoji);
    QCOMPARE(changes, 1);
    QCOMPARE(textSeen, kKaomoji);
    box.setText(kKaomoji);
    QCOMPARE(changes, 1);

    box.setText(kKannada + u'_' + kKannada);
    QCOMPARE(box.text(), QStringLiteral("?_?"));
    QCOMPARE(changes, 2);
    // The same once stored: no change.
    box.setText(QStringLiteral("?_?"));
    box.setText(kKannada + u'_' + kKannada);
    QCOMPARE(changes, 2);

    box.setText(QString());
    QCOMPARE(box.text(), QString());
    QCOMPARE(changes, 3);

    // Qt's own ways of changing the text count as changes too.
    box.setText(QStringLiteral("x"));
    box.clear();
    QCOMPARE(changes, 5);
}

void ControlsText::textBoxKeepsLineBreaksAndLongText() {
    TextBox box;
    const QString lines = QStringLiteral("a\r\nb\nc\rd");
    box.setText(lines);
    QCOMPARE(box.text(), lines);

    const QString longText(40000, u'x');
    box.setText(longText);
    QCOMPARE(box.text().size(), longText.size());
}

void ControlsText::textBoxTyping() {
    QWidget window;
    auto* box = new TextBox(&window);
    int changes = 0;
    QStringList seen;
    box->onChange = [&] {
        ++changes;
        seen << box->text();
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(box, QStringLiteral("abc"));
    QCOMPARE(box->text(), QStringLiteral("abc"));
    QCOMPARE(seen, QStringList({"a", "ab", "abc"}));

    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 4);
    // Keys that change nothing run nothing.
    QTest::keyClick(box, Qt::Key_Left);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("a"));
    QCOMPARE(changes, 5);

    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 6);

    // Typing over a selection with the same character leaves the text as it was.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_A);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 6);
    // So does setting the same text from code, which leaves the caret alone as well.
    box->setText(QStringLiteral("ab"));
    QCOMPARE(box->cursorPosition(), 1);
    QCOMPARE(changes, 6);
}

void ControlsText::textBoxReplacesWhatCp932Lacks() {
    QWidget window;
    auto* box = new TextBox(&window);
    QStringList seen;
    box->onChange = [&] { seen << box->text(); };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(box, QStringLiteral("ab"));
    QTest::keyClick(box, Qt::Key_Left);
    typeText(box, kKannada);
    QCOMPARE(box->text(), QStringLiteral("a?b"));
    QCOMPARE(box->cursorPosition(), 2);
    commitText(box, kEmoji);
    QCOMPARE(box->text(), QStringLiteral("a??b"));
    QCOMPARE(box->cursorPosition(), 3);
    typeText(box, kKaomoji);
    QCOMPARE(box->text(), QStringLiteral("a??") + kKaomoji + QStringLiteral("b"));
    // The handler never sees what cp932 cannot store.
    QCOMPARE(seen, QStringList({"a", "ab", "a?b", "a??b", box->text()}));
}

void ControlsText::textBoxHandlerSettingTextAgain() {
    QWidget window;
    auto* box = new TextBox(&window);
    int changes = 0;
    // The common cleanup handler: it sets the text once more, then finds nothing to do.
    box->onChange = [&] {
        ++changes;
        box->setText(box->text().toUpper());
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    box->setText(QStringLiteral("abc"));
    QCOMPARE(box->text(), QStringLiteral("ABC"));
    QCOMPARE(changes, 2);
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_D);
    QCOMPARE(box->text(), QStringLiteral("ABCD"));
    QCOMPARE(changes, 4);
    typeText(box, QStringLiteral("E"));
    QCOMPARE(box->text(), QStringLiteral("ABCDE"));
    QCOMPARE(changes, 5);
    // Typing in the middle goes on in the middle.
    box->setCursorPosition(1);
    QTest::keyClick(box, Qt::Key_X);
    QTest::keyClick(box, Qt::Key_Y);
    QCOMPARE(box->text(), QStringLiteral("AXYBCDE"));
    QCOMPARE(box->cursorPosition(), 3);
}

void ControlsText::multiLineRoundTrip() {
    MultiLineTextBox box;
    int changes = 0;
    box.onChange = [&] { ++changes; };
    const QString mixed = QStringLiteral("one\r\ntwo\nthree\rfour\r\n");
    box.setText(mixed);
    QCOMPARE(box.text(), mixed);
    QCOMPARE(changes, 1);
    // Every kind of line end shows as a line break.
    QCOMPARE(box.toPlainText(), QStringLiteral("one\ntwo\nthree\nfour\n"));
    box.setText(mixed);
    QCOMPARE(changes, 1);

    box.setText(QStringLiteral("a") + kEmoji);
    QCOMPARE(box.text(), QStringLiteral("a?"));
    QCOMPARE(box.toPlainText(), QStringLiteral("a?"));
    QCOMPARE(changes, 2);
    box.setText(QString());
    QCOMPARE(box.text(), QString());
    QCOMPARE(changes, 3);
}

void ControlsText::multiLineUserEdits() {
    QWidget window;
    auto* box = new MultiLineTextBox(&window);
    box->resize(200, 100);
    QStringList seen;
    box->onChange = [&] { seen << box->text(); };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    box->setText(QStringLiteral("a\nb\rc"));
    seen.clear();
    box->moveCursor(QTextCursor::End);
    QTest::keyClick(box, Qt::Key_X);
    // Once edited, every line ends in CR LF.
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Y);
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx\r\ny"));
    // Shift+Enter breaks the line too, and is stored the same way.
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx\r\ny\r\n"));
    QCOMPARE(seen.size(), 4);
    QTest::keyClick(box, Qt::Key_Right);
    QCOMPARE(seen.size(), 4);
}

void ControlsText::multiLineReplacesWhatCp932Lacks() {
    QWidget window;
    auto* box = new MultiLineTextBox(&window);
    box->resize(200, 100);
    QStringList seen;
    box->onChange = [&] { seen << box->text(); };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClicks(box, QStringLiteral("ab"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_C);
    QTest::keyClick(box, Qt::Key_Up);
    commitText(box, kEmoji);
    QCOMPARE(box->text(), QStringLiteral("a?b\r\nc"));
    QCOMPARE(box->textCursor().position(), 2);
    typeText(box, kKannada);
    QCOMPARE(box->text(), QStringLiteral("a??b\r\nc"));
    QCOMPARE(seen.last(), box->text());
    QVERIFY(!seen.join(QString()).contains(kKannada));

    // Undo takes back the typing (Qt merges the two characters into one step) together with the
    // replacements, and never brings back a character cp932 lacks.
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("ab\r\nc"));
    QCOMPARE(box->toPlainText(), QStringLiteral("ab\nc"));
    QCOMPARE(seen.last(), box->text());
}

void ControlsText::multiLineHandlerSettingTextAgain() {
    QWidget window;
    auto* box = new MultiLineTextBox(&window);
    box->resize(200, 100);
    int changes = 0;
    box->onChange = [&] {
        ++changes;
        box->setText(box->text().toUpper());
    };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QTest::keyClick(box, Qt::Key_A);
    QCOMPARE(box->text(), QStringLiteral("A"));
    QCOMPARE(changes, 2);
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_B);
    QCOMPARE(box->text(), QStringLiteral("A\r\nB"));
    QCOMPARE(changes, 5);
    // Typing goes on where it was, although the handler replaced the whole text.
    typeText(box, QStringLiteral("C"));
    QCOMPARE(box->text(), QStringLiteral("A\r\nBC"));
}

void ControlsText::multiLinePasting() {
    QWidget window;
    auto* box = new MultiLineTextBox(&window);
    box->resize(200, 100);
    int changes = 0;
    box->onChange = [&] { ++changes; };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    box->setText(QStringLiteral("start"));
    box->moveCursor(QTextCursor::End);
    changes = 0;
    QClipboard* clipboard = QGuiApplication::clipboard();

    // What an X11 clipboard that nobody owns looks like: data without a single format.
    clipboard->setMimeData(new QMimeData);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));
    clipboard->clear();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));

    // Something on the clipboard, but no text.
    auto* picture = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    picture->setImageData(image);
    clipboard->setMimeData(picture);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));
    QCOMPARE(changes, 0);

    clipboard->setText(QStringLiteral("\r\nx") + kEmoji + QStringLiteral("\ny"));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start\r\nx?\r\ny"));
    QCOMPARE(changes, 1);
}

QTEST_MAIN(ControlsText)
#include "controls_text.moc"
