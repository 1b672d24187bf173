#include "controls/controls.h"
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

namespace controls {

namespace {
// Puts a box's just-made editor in the box's place: its whole area, its place in the tab order,
// the box's focus and its name for screen readers.
void standIn(QWidget* box, QWidget* editor) {
    editor->setGeometry(box->rect());
    editor->setAccessibleName(box->accessibleName());
    QWidget::setTabOrder(box, editor);
    box->setFocusProxy(editor);
    if (box->isVisible())
        editor->show();
}
} // namespace

// The box's line edit. Qt cuts what does not fit at the limit; a cut paste is rarely what the
// user meant, so text from the clipboard, the X selection or a drop that would go past the
// limit is refused whole. The limit itself still bounds every other way in (an input method).
class TextBox::Editor : public QLineEdit {
public:
    explicit Editor(QWidget* parent) : QLineEdit(parent) { setMaxLength(kUserTextLimit); }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste) && !isReadOnly()) {
            event->accept();
            pasteFromClipboard();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        // On X11 a middle click inserts the selection, after dropping the box's own selection.
        if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection() &&
            refusesPaste(QClipboard::Selection, false)) {
            event->accept();
            return;
        }
        QLineEdit::mouseReleaseEvent(event);
    }

    void dropEvent(QDropEvent* event) override {
        const QMimeData* data = event->mimeData();
        if (!isReadOnly() && data && data->hasText() && refuses(data->text(), true)) {
            event->ignore();
            return;
        }
        QLineEdit::dropEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override {
        QMenu* menu = createStandardContextMenu();
        if (auto* paste = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
            disconnect(paste, &QAction::triggered, this, &QLineEdit::paste);
            connect(paste, &QAction::triggered, this, [this] { pasteFromClipboard(); });
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    }

private:
    // The clipboard is read once: the text checked is the text inserted (an owner may serve a
    // single request, or change between two).
    void pasteFromClipboard() {
        const QString incoming = QGuiApplication::clipboard()->text(QClipboard::Clipboard);
        if (isReadOnly() || refuses(incoming, true))
            return;
        if (!incoming.isEmpty() || hasSelectedText())
            insert(incoming);
    }

    bool refusesPaste(QClipboard::Mode mode, bool replacesSelection) {
        return !isReadOnly() && refuses(QGuiApplication::clipboard()->text(mode), replacesSelection);
    }

    bool refuses(const QString& incoming, bool replacesSelection) {
        const qsizetype kept = text().size() - (replacesSelection ? selectedText().size() : 0);
        if (kept + incoming.size() <= maxLength())
            return false;
        QApplication::beep();
        return true;
    }
};

TextBox::TextBox(QWidget* parent) : QWidget(parent) {
    // Takes focus like the line edit it will hold, so it has its own place in the tab order.
    setFocusPolicy(Qt::StrongFocus);
}

QLineEdit* TextBox::editor() {
    if (editor_)
        return editor_;
    editor_ = new Editor(this);
    showText();
    editor_->setCursorPosition(0);
    standIn(this, editor_);
    // textChanged rather than textEdited: undo, clear() and the like change the text too.
    // setText() below blocks it and runs the handler itself.
    connect(editor_, &QLineEdit::textChanged, this, &TextBox::userEdited);
    return editor_;
}

// A text longer than the user may enter came from code (a stored entry) and must come back
// whole: the line edit shows only its beginning, and being read-only it never hands that part
// back as the box's text.
void TextBox::showText() {
    const bool whole = text_.size() <= editor_->maxLength();
    editor_->setReadOnly(readOnly_ || !whole);
    editor_->setText(whole ? text_ : text_.left(editor_->maxLength()));
}

void TextBox::showEvent(QShowEvent* event) {
    // A name given since the editor was made is the one a screen reader says.
    editor()->setAccessibleName(accessibleName());
    QWidget::showEvent(event);
}

void TextBox::resizeEvent(QResizeEvent* event) {
    if (editor_)
        editor_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void TextBox::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    if (editor_)
        editor_->setReadOnly(readOnly || text_.size() > editor_->maxLength());
}

void TextBox::setText(const QString& text) {
    const QString fixed = cp932Representable(text);
    if (fixed == text_)
        return;
    text_ = fixed;
    if (editor_) {
        const int caret = editor_->cursorPosition();
        const QSignalBlocker blocker(editor_);
        showText();
        // QLineEdit would put the caret at the end, which makes a change handler that tidies
        // the text up throw the user's typing around.
        editor_->setCursorPosition(std::min(caret, int(editor_->text().size())));
    }
    if (onChange)
        onChange();
}

void TextBox::userEdited() {
    const QString current = editor_->text();
    const QString fixed = cp932Representable(current);
    if (fixed != current) {
        // Keep the caret where the user typed; a surrogate pair shrinks to one '?' before it.
        const int caret =
            int(std::min(cp932Representable(current.left(editor_->cursorPosition())).size(), fixed.size()));
        const QSignalBlocker blocker(editor_);
        editor_->setText(fixed);
        editor_->setCursorPosition(caret);
    }
    if (fixed == text_)
        return;
    text_ = fixed;
    if (onChange)
        onChange();
}

// The box's editing widget; what it may take from the clipboard or a drop is the box's call.
class MultiLineTextBox::Editor : public QPlainTextEdit {
public:
    explicit Editor(MultiLineTextBox* box) : QPlainTextEdit(box), box_(box) {}

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    MultiLineTextBox* box_;
};

MultiLineTextBox::MultiLineTextBox(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

MultiLineTextBox::~MultiLineTextBox() = default;

QPlainTextEdit* MultiLineTextBox::editor() {
    if (editor_)
        return editor_;
    editor_ = new Editor(this);
    // Tab moves on to the next control, as in a Windows multi-line text box.
    editor_->setTabChangesFocus(true);
    editor_->setLineWrapMode(wrapMode_);
    {
        const QScopedValueRollback<bool> guard(settingText_, true);
        editor_->setPlainText(text_);
    }
    standIn(this, editor_);
    connect(editor_, &QPlainTextEdit::textChanged, this, &MultiLineTextBox::userEdited);
    return editor_;
}

void MultiLineTextBox::showEvent(QShowEvent* event) {
    editor()->setAccessibleName(accessibleName());
    QWidget::showEvent(event);
}

void MultiLineTextBox::resizeEvent(QResizeEvent* event) {
    if (editor_)
        editor_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void MultiLineTextBox::setLineWrapMode(QPlainTextEdit::LineWrapMode mode) {
    wrapMode_ = mode;
    if (editor_)
        editor_->setLineWrapMode(mode);
}

void MultiLineTextBox::setText(const QString& text) {
    const QString fixed = cp932Representable(text);
    if (fixed == text_)
        return;
    text_ = fixed;
    if (editor_) {
        const QScopedValueRollback<bool> guard(settingText_, true);
        const int caret = editor_->textCursor().position();
        // The document turns CR LF, a lone CR and a lone LF alike into line breaks; text_ keeps
        // which one it was until the user edits.
        editor_->setPlainText(fixed);
        // setPlainText() puts the caret at the start; keep it where the user was typing.
        QTextCursor cursor = editor_->textCursor();
        cursor.setPosition(std::min(caret, editor_->document()->characterCount() - 1));
        editor_->setTextCursor(cursor);
    }
    if (onChange)
        onChange();
}

void MultiLineTextBox::userEdited() {
    if (settingText_)
        return;
    // The raw text has exactly one character per document position, so a fix can be applied
    // in place; toPlainText() would also turn no-break spaces into spaces.
    QTextDocument* document = editor_->document();
    QString raw = document->toRawText();
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
        QTextCursor cursor(document);
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

bool MultiLineTextBox::Editor::canInsertFromMimeData(const QMimeData* source) const {
    if (box_->onFilesDropped && !droppedFiles(source).isEmpty())
        return true;
    return source && source->hasText();
}

void MultiLineTextBox::Editor::insertFromMimeData(const QMimeData* source) {
    // Files dropped on a box that takes files are its handler's, never inserted as text.
    if (box_->onFilesDropped) {
        const QStringList files = droppedFiles(source);
        if (!files.isEmpty()) {
            // Run once the drop is over: Qt wraps the drop in an edit block whose change
            // notice would otherwise arrive after the handler's text and count as typing.
            QMetaObject::invokeMethod(
                box_,
                [box = box_, files] {
                    if (box->onFilesDropped)
                        box->onFilesDropped(files);
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
