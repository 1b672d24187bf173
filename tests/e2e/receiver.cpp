// A window to paste into. End-to-end tests start it, bring it to the foreground, send keys or
// paste, and read what arrived from two files:
//   TEXT_FILE  the editor's whole text (UTF-8), replaced atomically after every change, so a
//              reader never sees half of it; written once, empty, when the window is up;
//   KEY_LOG    one line per key press the editor got: the key as Qt names it with its modifiers
//              ("Ctrl+V", "Zenkaku Hankaku", "Return"), a tab, and the X keysym in hex.
// usage: receiver [--topmost] TITLE TEXT_FILE [KEY_LOG]
#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTimer>
#include <cstdio>

namespace {

// WORKAROUND: Qt 6.4's QPlainTextEdit crashes in QWidgetTextControl::insertFromMimeData when
// Ctrl+V comes while nobody owns the clipboard; a test that pastes too early must fail, not crash.
class Editor : public QPlainTextEdit {
protected:
    bool canInsertFromMimeData(const QMimeData* source) const override {
        return source && QPlainTextEdit::canInsertFromMimeData(source);
    }
    void insertFromMimeData(const QMimeData* source) override {
        if (source && source->hasText())
            QPlainTextEdit::insertFromMimeData(source);
    }
};

class KeyLogger : public QObject {
public:
    explicit KeyLogger(const QString& path) : file_(path) {
        if (!path.isEmpty() && !file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            std::fprintf(stderr, "receiver: cannot write %s\n", qPrintable(path));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && file_.isOpen())
            log(static_cast<QKeyEvent*>(event));
        return QObject::eventFilter(watched, event);
    }

private:
    void log(const QKeyEvent* key) {
        switch (key->key()) {
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Shift:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
            return; // the chord's own line shows them
        default:
            break;
        }
        const QString name = QKeySequence(key->keyCombination()).toString(QKeySequence::PortableText);
        const QByteArray line = (name + '\t' + QString::number(key->nativeVirtualKey(), 16) + '\n').toUtf8();
        file_.write(line);
        file_.flush();
    }

    QFile file_;
};

void saveText(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        std::fprintf(stderr, "receiver: cannot write %s\n", qPrintable(path));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption topmost("topmost", "Keep the window above others (Qt::WindowStaysOnTopHint).");
    parser.addOption(topmost);
    parser.addPositionalArgument("title", "Window title.");
    parser.addPositionalArgument("text-file", "Where the editor's text goes.");
    parser.addPositionalArgument("key-log", "Where key presses are logged (optional).");
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() < 2 || args.size() > 3)
        parser.showHelp(2);
    const QString textFile = args[1];

    Editor editor;
    editor.setWindowTitle(args[0]);
    if (parser.isSet(topmost))
        editor.setWindowFlag(Qt::WindowStaysOnTopHint);
    editor.resize(320, 120);
    KeyLogger logger(args.size() > 2 ? args[2] : QString());
    editor.installEventFilter(&logger);
    QObject::connect(&editor, &QPlainTextEdit::textChanged,
                     [&] { saveText(textFile, editor.toPlainText()); });
    editor.show();
    QTimer::singleShot(0, &editor, [&] { saveText(textFile, editor.toPlainText()); });
    return app.exec();
}
