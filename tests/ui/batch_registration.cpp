// Batch registration beyond the plain cases: entries that hold a lone LF, and text files
// dropped on its box.
#include "palette/form1.h"
#include "settings/form2.h"
#include "test_program.h"
#include "tools/form6.h"
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
void typeAtEnd(Form6& f6, const QString& text) {
    QTextCursor cursor(f6.Text1->editor()->document());
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
    Form2& f2() { return t->program().form2(); }
    Form6& openBatch() {
        t->program().form1().Command3->press();
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
    auto& f6 = openBatch();
    f2().Text2[1]->setText(QStringLiteral("a\nb"));
    f2().Text2[19]->setText(QStringLiteral("last"));
    const QStringList before = entries();
    f6.Command4->press();
    QCOMPARE(f6.Text1->text().count(QStringLiteral("\r\n")), 20);
    typeAtEnd(f6, QStringLiteral("z"));
    f6.Command1->press();
    QCOMPARE(entries(), before);
    QCOMPARE(t->state().KaomojiTable.at(0, 1, 1), QStringLiteral("a\nb"));

    // A line the user changed registers as shown.
    f6.Command4->press();
    QStringList lines = f6.Text1->text().split(QStringLiteral("\r\n"));
    QCOMPARE(lines[1], QStringLiteral("a b"));
    lines[1] = QStringLiteral("a c");
    f6.Text1->setText(lines.join(QStringLiteral("\r\n")));
    typeAtEnd(f6, QStringLiteral("z"));
    f6.Command1->press();
    QStringList expected = before;
    expected[1] = QStringLiteral("a c");
    QCOMPARE(entries(), expected);
}

// A text file dropped on the box fills it as the ASCII-art editor takes one; a file that cannot
// be read changes nothing and the user is told; an address never becomes text.
void BatchRegistrationTest::droppedTextFileFillsTheBox() {
    auto& f6 = openBatch();
    f6.show();
    t->writeBytes(QStringLiteral("list.txt"), "(^_^)\n(T_T)\n");
    f6.Text1->setText(QStringLiteral("before"));
    dropFiles(f6.Text1->editor()->viewport(),
              {QString::fromStdString(t->path(QStringLiteral("list.txt")).string())});
    QCOMPARE(f6.Text1->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QVERIFY(told.isEmpty());

    std::filesystem::create_directory(t->path(QStringLiteral("folder.txt")));
    const QString folder = QString::fromStdString(t->path(QStringLiteral("folder.txt")).string());
    dropFiles(f6.Text1->editor()->viewport(), {folder});
    QCOMPARE(f6.Text1->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QCOMPARE(told.size(), 1);
    QVERIFY(told[0].contains(folder));

    t->writeBytes(QStringLiteral("list.csv"), "x\r\n");
    dropFiles(f6.Text1->editor()->viewport(),
              {QString::fromStdString(t->path(QStringLiteral("list.csv")).string())});
    QCOMPARE(f6.Text1->text(), QStringLiteral("(^_^)\r\n(T_T)"));
    QCOMPARE(told.size(), 1);
}

QTEST_MAIN(BatchRegistrationTest)
#include "batch_registration.moc"
