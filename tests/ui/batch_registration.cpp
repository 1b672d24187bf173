// Batch registration beyond the plain cases: entries that hold a lone LF, and text files
// dropped on its box.
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
#include "test_program.h"
#include "tools/batch_registration_dialog.h"
#include <QMimeData>
#include <QTextCursor>
#include <QUrl>
#include <QtTest>

namespace {
void dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    // What file managers also offer: the addresses as plain text.
    data.setText(urls.first().toString());
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
}

// Types at the end of the box, as a user would: the box takes its text from its editor again.
void typeAtEnd(BatchRegistrationDialog& batchDialog, const QString& text) {
    QTextCursor cursor(batchDialog.linesBox->editor()->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}
} // namespace

class BatchRegistrationTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void loneLineFeedStaysOneEntry();
    void droppedTextFileFillsTheBox();

private:
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    BatchRegistrationDialog& openBatch() {
        t->program().paletteWindow().settingsButton->press();
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
    QStringList told;
};

void BatchRegistrationTest::init() {
    t = std::make_unique<TestProgram>();
    t->writeSelfNamingKaomojiFile();
    t->start();
    told.clear();
    t->state().reportProblem = [this](const QString& message) { told << message; };
}

// An entry with a lone LF (pasted into an entry box on Linux) is one line of the box: after an
// edit elsewhere, registering keeps it one entry and no later entry moves.
void BatchRegistrationTest::loneLineFeedStaysOneEntry() {
    auto& batchDialog = openBatch();
    settingsDialog().entryBoxes[1]->setText(QStringLiteral("a\nb"));
    settingsDialog().entryBoxes[19]->setText(QStringLiteral("last"));
    const QStringList before = entries();
    batchDialog.fetchButton->press();
    QCOMPARE(batchDialog.linesBox->text().count(QStringLiteral("\r\n")), 20);
    typeAtEnd(batchDialog, QStringLiteral("z"));
    batchDialog.registerButton->press();
    QCOMPARE(entries(), before);
    QCOMPARE(t->state().kaomoji.at(0, 1, 1), QStringLiteral("a\nb"));

    // A line the user changed registers as shown.
    batchDialog.fetchButton->press();
    QStringList lines = batchDialog.linesBox->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines[1], QStringLiteral("a b"));
    lines[1] = QStringLiteral("a c");
    batchDialog.linesBox->setText(lines.join(QStringLiteral("\r\n")));
    typeAtEnd(batchDialog, QStringLiteral("z"));
    batchDialog.registerButton->press();
    QStringList expected = before;
    expected[1] = QStringLiteral("a c");
    QCOMPARE(entries(), expected);
}

// A text file dropped on the box fills it as the ASCII-art editor takes one; a file that cannot
// be read changes nothing and the user is told; an address never becomes text.
void BatchRegistrationTest::droppedTextFileFillsTheBox() {
    auto& batchDialog = openBatch();
    batchDialog.show();
    t->writeBytes(QStringLiteral("list.txt"), "(^_^)\n(T_T)\n");
    batchDialog.linesBox->setText(QStringLiteral("before"));
    dropFiles(batchDialog.linesBox->editor()->viewport(),
              {QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("list.txt"))))});
    QCOMPARE(batchDialog.linesBox->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QVERIFY(told.isEmpty());

    std::filesystem::create_directory(t->path(QStringLiteral("folder.txt")));
    const QString folder =
        QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("folder.txt"))));
    dropFiles(batchDialog.linesBox->editor()->viewport(), {folder});
    QCOMPARE(batchDialog.linesBox->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QCOMPARE(told.size(), 1);
    // Named as the drop names it (on Windows with '/' between the folders).
    QVERIFY(told[0].contains(QUrl::fromLocalFile(folder).toLocalFile()));

    t->writeBytes(QStringLiteral("list.csv"), "x\r\n");
    dropFiles(batchDialog.linesBox->editor()->viewport(),
              {QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("list.csv"))))});
    QCOMPARE(batchDialog.linesBox->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QCOMPARE(told.size(), 1);

    // CR line ends and one lone LF: the box shows three lines, and three entries register.
    t->writeBytes(QStringLiteral("mixed.txt"), "a\rb\nc\r");
    dropFiles(batchDialog.linesBox->editor()->viewport(),
              {QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("mixed.txt"))))});
    QStringList shown = batchDialog.linesBox->editor()->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(shown, QStringList({"a", "b", "c"}));
    batchDialog.registerButton->press();
    while (shown.size() < 20)
        shown << QString();
    QCOMPARE(entries(), shown);
}

QTEST_MAIN(BatchRegistrationTest)
#include "batch_registration.moc"
