#include "controls/controls.h"
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace controls {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {
    // QLineEdit stops at 32767 characters by default; a Windows text box does not.
    setMaxLength(std::numeric_limits<int>::max());
    // textChanged rather than textEdited: undo, clear() and the like change the text too.
    // setText() below blocks it and runs the handler itself.
    connect(this, &QLineEdit::textChanged, this, &TextBox::userEdited);
}

void TextBox::setText(const QString& text) {
    const QString fixed = cp932Representable(text);
    if (fixed == QLineEdit::text())
        return;
    const int caret = cursorPosition();
    {
        const QSignalBlocker blocker(this);
        QLineEdit::setText(fixed);
        // QLineEdit would put the caret at the end, which makes a change handler that tidies
        // the text up throw the user's typing around.
        setCursorPosition(std::min(caret, int(fixed.size())));
    }
    userEdited();
}

void TextBox::userEdited() {
    const QString current = QLineEdit::text();
    const QString fixed = cp932Representable(current);
    if (fixed != current) {
        // Keep the caret where the user typed; a surrogate pair shrinks to one '?' before it.
        const int caret =
            int(std::min(cp932Representable(current.left(cursorPosition())).size(), fixed.size()));
        const QSignalBlocker blocker(this);
        QLineEdit::setText(fixed);
        setCursorPosition(caret);
    }
    if (fixed == lastText_)
        return;
    lastText_ = fixed;
    if (onChange)
        onChange();
}

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QPlainTextEdit(parent) {
    // Tab moves on to the next control, as in a Windows multi-line text box.
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &MultiLineTextBox::userEdited);
}

void MultiLineTextBox::setText(const QString& text) {
    const QString fixed = cp932Representable(text);
    if (fixed == text_)
        return;
    text_ = fixed;
    {
        const QScopedValueRollback<bool> guard(settingText_, true);
        const int caret = textCursor().position();
        // The document turns CR LF, a lone CR and a lone LF alike into line breaks; text_ keeps
        // which one it was until the user edits.
        setPlainText(fixed);
        // setPlainText() puts the caret at the start; keep it where the user was typing.
        QTextCursor cursor = textCursor();
        cursor.setPosition(std::min(caret, document()->characterCount() - 1));
        setTextCursor(cursor);
    }
    if (onChange)
        onChange();
}

void MultiLineTextBox::userEdited() {
    if (settingText_)
        return;
    // The raw text has exactly one character per document position, so a fix can be applied
    // in place; toPlainText() would also turn no-break spaces into spaces.
    QString raw = document()->toRawText();
    for (QChar& c : raw) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator)
            c = u'\n';
    }
    const QString fixed = cp932Representable(raw);
    if (fixed != raw) {
        // Replace only the stretch that differs, so the caret stays put and a single undo
        // takes back the user's edit together with its fix.
        qsizetype prefix = 0;
        while (prefix < raw.size() && prefix < fixed.size() && raw[prefix] == fixed[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < raw.size() - prefix && suffix < fixed.size() - prefix &&
               raw[raw.size() - 1 - suffix] == fixed[fixed.size() - 1 - suffix])
            ++suffix;
        const QScopedValueRollback<bool> guard(settingText_, true);
        QTextCursor cursor(document());
        cursor.joinPreviousEditBlock();
        cursor.setPosition(int(prefix));
        cursor.setPosition(int(raw.size() - suffix), QTextCursor::KeepAnchor);
        cursor.insertText(fixed.mid(prefix, fixed.size() - suffix - prefix));
        cursor.endEditBlock();
    }
    QString joined = fixed;
    joined.replace(u'\n', QStringLiteral("\r\n"));
    if (joined == text_)
        return;
    text_ = joined;
    if (onChange)
        onChange();
}

// The local files a drop carries, in the order given.
static QStringList droppedFiles(const QMimeData* source) {
    QStringList paths;
    if (!source || !source->hasUrls())
        return paths;
    for (const QUrl& url : source->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

bool MultiLineTextBox::canInsertFromMimeData(const QMimeData* source) const {
    if (onFilesDropped && !droppedFiles(source).isEmpty())
        return true;
    return source && source->hasText();
}

void MultiLineTextBox::insertFromMimeData(const QMimeData* source) {
    // Files dropped on a box that takes files are its handler's, never inserted as text.
    if (onFilesDropped) {
        const QStringList files = droppedFiles(source);
        if (!files.isEmpty()) {
            // Run once the drop is over: Qt wraps the drop in an edit block whose change
            // notice would otherwise arrive after the handler's text and count as typing.
            QMetaObject::invokeMethod(
                this,
                [this, files] {
                    if (onFilesDropped)
                        onFilesDropped(files);
                },
                Qt::QueuedConnection);
            return;
        }
    }
    // Qt's own version trips over clipboard data that has no text (an empty clipboard, an
    // image); only text is ever pasted here.
    if (!source || !source->hasText())
        return;
    const QString text = source->text();
    if (text.isEmpty())
        return;
    insertPlainText(text);
}

} // namespace controls
