// Text boxes: what text() holds, what cp932 cannot store, and when the change handler runs.
#include "controls/controls.h"
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>
#include <QToolTip>

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
    void textBoxEditorMadeWhenShown();
    void multiLineRoundTrip();
    void multiLineUserEdits();
    void multiLineReplacesWhatCp932Lacks();
    void multiLineHandlerSettingTextAgain();
    void multiLinePasting();
    void multiLineEditorMadeWhenShown();
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
    box.editor()->clear();
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
    QLineEdit* edit = box->editor();

    QTest::keyClicks(edit, QStringLiteral("abc"));
    QCOMPARE(box->text(), QStringLiteral("abc"));
    QCOMPARE(seen, QStringList({"a", "ab", "abc"}));

    QTest::keyClick(edit, Qt::Key_Backspace);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 4);
    // Keys that change nothing run nothing.
    QTest::keyClick(edit, Qt::Key_Left);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(box->text(), QStringLiteral("a"));
    QCOMPARE(changes, 5);

    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 6);

    // Typing over a selection with the same character leaves the text as it was.
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(edit, Qt::Key_A);
    QCOMPARE(box->text(), QStringLiteral("ab"));
    QCOMPARE(changes, 6);
    // So does setting the same text from code, which leaves the caret alone as well.
    box->setText(QStringLiteral("ab"));
    QCOMPARE(edit->cursorPosition(), 1);
    QCOMPARE(changes, 6);
}

void ControlsText::textBoxReplacesWhatCp932Lacks() {
    QWidget window;
    auto* box = new TextBox(&window);
    QStringList seen;
    box->onChange = [&] { seen << box->text(); };
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QLineEdit* edit = box->editor();

    QTest::keyClicks(edit, QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Left);
    typeText(edit, kKannada);
    QCOMPARE(box->text(), QStringLiteral("a?b"));
    QCOMPARE(edit->cursorPosition(), 2);
    commitText(edit, kEmoji);
    QCOMPARE(box->text(), QStringLiteral("a??b"));
    QCOMPARE(edit->cursorPosition(), 3);
    typeText(edit, kKaomoji);
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
    QLineEdit* edit = box->editor();

    box->setText(QStringLiteral("abc"));
    QCOMPARE(box->text(), QStringLiteral("ABC"));
    QCOMPARE(changes, 2);
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_D);
    QCOMPARE(box->text(), QStringLiteral("ABCD"));
    QCOMPARE(changes, 4);
    typeText(edit, QStringLiteral("E"));
    QCOMPARE(box->text(), QStringLiteral("ABCDE"));
    QCOMPARE(changes, 5);
    // Typing in the middle goes on in the middle.
    edit->setCursorPosition(1);
    QTest::keyClick(edit, Qt::Key_X);
    QTest::keyClick(edit, Qt::Key_Y);
    QCOMPARE(box->text(), QStringLiteral("AXYBCDE"));
    QCOMPARE(edit->cursorPosition(), 3);
}

// A box that stays hidden holds its text without a line edit; the one made when it is shown
// shows that text, keeps its settings and takes the box's place in the tab order.
void ControlsText::textBoxEditorMadeWhenShown() {
    QWidget window;
    auto* before = new CheckBox(QStringLiteral("before"), &window);
    auto* box = new TextBox(&window);
    auto* after = new CheckBox(QStringLiteral("after"), &window);
    before->setGeometry(0, 0, 100, 20);
    box->setGeometry(0, 30, 120, 22);
    after->setGeometry(0, 60, 100, 20);
    int changes = 0;
    box->onChange = [&] { ++changes; };
    box->setText(kKaomoji);
    box->setReadOnly(true);
    box->setToolTip(QStringLiteral("tip"));
    QCOMPARE(box->findChild<QLineEdit*>(), nullptr);
    QCOMPARE(box->text(), kKaomoji);
    QCOMPARE(changes, 1);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* edit = box->findChild<QLineEdit*>();
    QVERIFY(edit);
    QCOMPARE(box->editor(), edit);
    QCOMPARE(edit->text(), kKaomoji);
    QCOMPARE(edit->cursorPosition(), 0);
    QVERIFY(edit->isReadOnly());
    QVERIFY(edit->isVisible());
    QCOMPARE(edit->geometry(), QRect(0, 0, 120, 22));
    QCOMPARE(changes, 1);
    box->resize(150, 24);
    QCOMPARE(edit->size(), QSize(150, 24));
    box->setReadOnly(false);
    QVERIFY(!edit->isReadOnly());

    // The box's place in the tab order, made before the check box after it.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), after);
    QTest::keyClick(after, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), edit);
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);

    // The box's tool tip shows over the line edit.
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), edit->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(edit, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), QStringLiteral("tip"));
    QToolTip::hideText();
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
    QCOMPARE(box.editor()->toPlainText(), QStringLiteral("one\ntwo\nthree\nfour\n"));
    box.setText(mixed);
    QCOMPARE(changes, 1);

    box.setText(QStringLiteral("a") + kEmoji);
    QCOMPARE(box.text(), QStringLiteral("a?"));
    QCOMPARE(box.editor()->toPlainText(), QStringLiteral("a?"));
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
    QPlainTextEdit* edit = box->editor();

    box->setText(QStringLiteral("a\nb\rc"));
    seen.clear();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_X);
    // Once edited, every line ends in CR LF.
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Y);
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx\r\ny"));
    // Shift+Enter breaks the line too, and is stored the same way.
    QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(box->text(), QStringLiteral("a\r\nb\r\ncx\r\ny\r\n"));
    QCOMPARE(seen.size(), 4);
    QTest::keyClick(edit, Qt::Key_Right);
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
    QPlainTextEdit* edit = box->editor();

    QTest::keyClicks(edit, QStringLiteral("ab"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_C);
    QTest::keyClick(edit, Qt::Key_Up);
    commitText(edit, kEmoji);
    QCOMPARE(box->text(), QStringLiteral("a?b\r\nc"));
    QCOMPARE(edit->textCursor().position(), 2);
    typeText(edit, kKannada);
    QCOMPARE(box->text(), QStringLiteral("a??b\r\nc"));
    QCOMPARE(seen.last(), box->text());
    QVERIFY(!seen.join(QString()).contains(kKannada));

    // Undo takes back the typing (Qt merges the two characters into one step) together with the
    // replacements, and never brings back a character cp932 lacks.
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("ab\r\nc"));
    QCOMPARE(edit->toPlainText(), QStringLiteral("ab\nc"));
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
    QPlainTextEdit* edit = box->editor();

    QTest::keyClick(edit, Qt::Key_A);
    QCOMPARE(box->text(), QStringLiteral("A"));
    QCOMPARE(changes, 2);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_B);
    QCOMPARE(box->text(), QStringLiteral("A\r\nB"));
    QCOMPARE(changes, 5);
    // Typing goes on where it was, although the handler replaced the whole text.
    typeText(edit, QStringLiteral("C"));
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
    QPlainTextEdit* edit = box->editor();
    box->setText(QStringLiteral("start"));
    edit->moveCursor(QTextCursor::End);
    changes = 0;
    QClipboard* clipboard = QGuiApplication::clipboard();

    // What an X11 clipboard that nobody owns looks like: data without a single format.
    clipboard->setMimeData(new QMimeData);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));
    clipboard->clear();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));

    // Something on the clipboard, but no text.
    auto* picture = new QMimeData;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    picture->setImageData(image);
    clipboard->setMimeData(picture);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start"));
    QCOMPARE(changes, 0);

    clipboard->setText(QStringLiteral("\r\nx") + kEmoji + QStringLiteral("\ny"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(box->text(), QStringLiteral("start\r\nx?\r\ny"));
    QCOMPARE(changes, 1);
}

void ControlsText::multiLineEditorMadeWhenShown() {
    QWidget window;
    auto* box = new MultiLineTextBox(&window);
    box->setGeometry(0, 0, 200, 100);
    int changes = 0;
    box->onChange = [&] { ++changes; };
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setText(QStringLiteral("a\rb"));
    QCOMPARE(box->findChild<QPlainTextEdit*>(), nullptr);
    QCOMPARE(changes, 1);

    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* edit = box->findChild<QPlainTextEdit*>();
    QVERIFY(edit && edit->isVisible());
    QCOMPARE(edit->toPlainText(), QStringLiteral("a\nb"));
    QCOMPARE(edit->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(edit->geometry(), QRect(0, 0, 200, 100));
    // Showing the text is no edit: the text keeps its lone CR and no handler ran.
    QCOMPARE(box->text(), QStringLiteral("a\rb"));
    QCOMPARE(changes, 1);
    box->setFocus();
    QCOMPARE(QApplication::focusWidget(), edit);
}

QTEST_MAIN(ControlsText)
#include "controls_text.moc"
