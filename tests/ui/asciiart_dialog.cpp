// The ASCII-art dialog: pages, names, the editor, dropped text files.
#include "asciiart/aa_store.h"
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form2.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QMimeData>
#include <QUrl>
#include <QtTest>
#include <fstream>

namespace {
// Drops the files on the widget as a file manager would.
bool dropFiles(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QCoreApplication::processEvents();
    return enter.isAccepted();
}
} // namespace

class AsciiArtDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { t.reset(); }

    void openingFromTheHistoryPageShowsPageNine();
    void pageChoiceSelectsEntryZeroAndReplacesNames();
    void nameFieldDropsLineBreaks();
    void editorTextGoesToTheSelectedEntry();
    void droppedTextFilesLoad_data();
    void droppedTextFilesLoad();
    void dropWhileEntrySevenIsSelected();
    void closeBoxHides();

private:
    Form1& f1() { return t->program().form1(); }
    Form2& f2() { return t->program().form2(); }
    Form5& f5() { return t->program().form5(); }
    storage::ProgramState& s() { return t->state(); }
    std::unique_ptr<TestProgram> t;
};

void AsciiArtDialogTest::init() {
    t = std::make_unique<TestProgram>();
    QString ini;
    for (int page = 1; page <= 9; ++page) {
        ini += QStringLiteral("[Page%1]\r\n").arg(page);
        for (int entry = 0; entry < 20; ++entry)
            ini += QStringLiteral("Name_%1=n%2_%1\r\n").arg(entry).arg(page);
    }
    t->writeText(QStringLiteral("AA/AAOptions.ini"), ini);
    t->writeText(QStringLiteral("AA/AAText_9_00.txt"), QStringLiteral("nine\r\n"));
    t->writeText(QStringLiteral("AA/AAText_3_00.txt"), QStringLiteral("three\r\nlines\r\nhere\r\n"));
    t->writeText(QStringLiteral("AA/AAText_3_04.txt"), QStringLiteral("four\r\n"));
    t->start();
}

void AsciiArtDialogTest::openingFromTheHistoryPageShowsPageNine() {
    f1().Command3->press();
    f2().Combo1->setListIndex(9);
    f2().Command6->press();
    QVERIFY(f5().isVisible());
    QCOMPARE(f5().Combo1->listIndex(), 8);
    QCOMPARE(f5().Text1->text(), QStringLiteral("nine"));
    QCOMPARE(f5().Text2[3]->text(), QStringLiteral("n9_3"));

    f2().Combo1->setListIndex(2);
    f2().Command6->press();
    QCOMPARE(f5().Combo1->listIndex(), 2);
    QCOMPARE(f5().Text1->text(), QStringLiteral("three\r\nlines\r\nhere"));
}

void AsciiArtDialogTest::pageChoiceSelectsEntryZeroAndReplacesNames() {
    f5().Combo1->setListIndex(2);
    f5().Option1[4]->setValue(true);
    QCOMPARE(f5().SelectedEntry, 4);
    QCOMPARE(f5().Text1->text(), QStringLiteral("four"));
    f5().Combo1->setListIndex(5);
    QCOMPARE(f5().SelectedEntry, 0);
    QVERIFY(f5().Option1[0]->value());
    QCOMPARE(f5().Text1->text(), QString());
    for (int i = 0; i < 20; ++i)
        QCOMPARE(f5().Text2[std::size_t(i)]->text(), QStringLiteral("n6_%1").arg(i));
    // Filling the fields changed no name.
    QCOMPARE(s().AAName.at(3, 4), QStringLiteral("n3_4"));
}

void AsciiArtDialogTest::nameFieldDropsLineBreaks() {
    f5().Combo1->setListIndex(0);
    f5().Text2[6]->setText(QStringLiteral("ab\r\ncd"));
    QCOMPARE(f5().Text2[6]->text(), QStringLiteral("abcd"));
    QCOMPARE(s().AAName.at(1, 6), QStringLiteral("abcd"));
    f5().Text2[7]->setText(QStringLiteral("ab\ncd"));
    QCOMPARE(s().AAName.at(1, 7), QStringLiteral("ab\ncd"));
}

void AsciiArtDialogTest::editorTextGoesToTheSelectedEntry() {
    f5().Combo1->setListIndex(1);
    f5().Option1[2]->setValue(true);
    f5().Text1->setText(QStringLiteral("new\r\nart"));
    QCOMPARE(s().AAText.at(2, 2), QStringLiteral("new\r\nart"));
    QCOMPARE(s().AAText.at(2, 0), QString());
}

void AsciiArtDialogTest::droppedTextFilesLoad_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<bool>("told");
    QTest::newRow("note.TXT") << QStringList{"note.TXT"} << true << false;
    QTest::newRow("note.txt") << QStringList{"note.txt"} << true << false;
    QTest::newRow("LF line ends") << QStringList{"unix.txt"} << true << false;
    QTest::newRow("note.text") << QStringList{"note.text"} << false << false;
    QTest::newRow("no extension") << QStringList{"note"} << false << false;
    QTest::newRow("two files") << QStringList{"note.txt", "other.txt"} << true << false;
    QTest::newRow("second is text") << QStringList{"note", "other.txt"} << false << false;
    // A ".txt" that cannot be read whole changes nothing, and the user is told.
    QTest::newRow("folder") << QStringList{"folder.txt"} << false << true;
    QTest::newRow("missing") << QStringList{"missing.txt"} << false << true;
    QTest::newRow("broken link") << QStringList{"broken.txt"} << false << true;
    QTest::newRow("too large") << QStringList{"huge.txt"} << false << true;
}

void AsciiArtDialogTest::droppedTextFilesLoad() {
    QFETCH(QStringList, names);
    QFETCH(bool, loads);
    QFETCH(bool, told);
    const std::string text = storage::toCp932(QStringLiteral("（＾ω＾）\r\nline2\rline3\n!\x80"));
    for (const char* name : {"note.TXT", "note.txt", "note.text", "note"})
        t->writeBytes(QString::fromLatin1(name), text);
    t->writeBytes(QStringLiteral("unix.txt"),
                  storage::toCp932(QStringLiteral("（＾ω＾）\nline2\nline3\n!\x80")));
    t->writeBytes(QStringLiteral("other.txt"), "other\r\n");
    std::filesystem::create_directory(t->path(QStringLiteral("folder.txt")));
    std::filesystem::create_symlink("nowhere.txt", t->path(QStringLiteral("broken.txt")));
    {
        // Sparse: one byte past the bound costs no disk.
        std::ofstream huge(t->path(QStringLiteral("huge.txt")), std::ios::binary);
        huge.seekp(std::streamoff(asciiart::kMaxTextBytes));
        huge << 'x';
    }
    QStringList messages;
    s().reportProblem = [&messages](const QString& message) { messages << message; };
    f5().Combo1->setListIndex(0);
    f5().Text1->setText(QStringLiteral("before"));
    QStringList paths;
    for (const QString& name : names)
        paths << QString::fromStdString(t->path(name).string());
    dropFiles(f5().Text1->editor()->viewport(), paths);
    const QString expected = names.first() == QStringLiteral("unix.txt")
                                 ? QStringLiteral("（＾ω＾）\r\nline2\r\nline3\r\n!") + QChar(0x80)
                                 : QStringLiteral("（＾ω＾）\r\nline2\r\nline3\n!") + QChar(0x80);
    QCOMPARE(s().AAText.at(1, 0), loads ? expected : QStringLiteral("before"));
    QCOMPARE(f5().Text1->text(), s().AAText.at(1, 0));
    QCOMPARE(messages.size(), told ? 1 : 0);
    if (told)
        QVERIFY(messages[0].contains(paths.first()));
}

void AsciiArtDialogTest::dropWhileEntrySevenIsSelected() {
    t->writeBytes(QStringLiteral("art.txt"), "a\r\nb\r\n");
    t->writeBytes(QStringLiteral("empty.txt"), "");
    f5().Combo1->setListIndex(3);
    f5().Option1[7]->setValue(true);
    QVERIFY(dropFiles(f5().Text1->editor()->viewport(),
                      {QString::fromStdString(t->path(QStringLiteral("art.txt")).string())}));
    QCOMPARE(s().AAText.at(4, 7), QStringLiteral("a\r\nb"));
    dropFiles(f5().Text1->editor()->viewport(),
              {QString::fromStdString(t->path(QStringLiteral("empty.txt")).string())});
    QCOMPARE(s().AAText.at(4, 7), QString());
    QCOMPARE(s().AAText.at(4, 0), QString());
}

void AsciiArtDialogTest::closeBoxHides() {
    f5().show();
    f5().Combo1->setListIndex(4);
    f5().Text1->setText(QStringLiteral("kept"));
    f5().close();
    QVERIFY(!f5().isVisible());
    QCOMPARE(s().AAText.at(5, 0), QStringLiteral("kept"));
    f5().Command2->press();
    QVERIFY(!f5().isVisible());
}

QTEST_MAIN(AsciiArtDialogTest)
#include "asciiart_dialog.moc"
