// The ASCII-art dialog: pages, names, the editor, dropped text files.
#include "asciiart/aa_store.h"
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"
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
    PaletteWindow& paletteWindow() { return t->program().paletteWindow(); }
    SettingsDialog& settingsDialog() { return t->program().settingsDialog(); }
    AsciiArtDialog& asciiArtDialog() { return t->program().asciiArtDialog(); }
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
    paletteWindow().settingsButton->press();
    settingsDialog().editorPageList->setListIndex(9);
    settingsDialog().asciiArtSettingsButton->press();
    QVERIFY(asciiArtDialog().isVisible());
    QCOMPARE(asciiArtDialog().pageList->listIndex(), 8);
    QCOMPARE(asciiArtDialog().pieceTextBox->text(), QStringLiteral("nine"));
    QCOMPARE(asciiArtDialog().nameBoxes[3]->text(), QStringLiteral("n9_3"));

    settingsDialog().editorPageList->setListIndex(2);
    settingsDialog().asciiArtSettingsButton->press();
    QCOMPARE(asciiArtDialog().pageList->listIndex(), 2);
    QCOMPARE(asciiArtDialog().pieceTextBox->text(), QStringLiteral("three\r\nlines\r\nhere"));
}

void AsciiArtDialogTest::pageChoiceSelectsEntryZeroAndReplacesNames() {
    asciiArtDialog().pageList->setListIndex(2);
    asciiArtDialog().entryChoices[4]->setValue(true);
    QCOMPARE(asciiArtDialog().selectedEntry, 4);
    QCOMPARE(asciiArtDialog().pieceTextBox->text(), QStringLiteral("four"));
    asciiArtDialog().pageList->setListIndex(5);
    QCOMPARE(asciiArtDialog().selectedEntry, 0);
    QVERIFY(asciiArtDialog().entryChoices[0]->value());
    QCOMPARE(asciiArtDialog().pieceTextBox->text(), QString());
    for (int i = 0; i < 20; ++i)
        QCOMPARE(asciiArtDialog().nameBoxes[std::size_t(i)]->text(), QStringLiteral("n6_%1").arg(i));
    // Filling the fields changed no name.
    QCOMPARE(s().asciiArtNames.at(3, 4), QStringLiteral("n3_4"));
}

void AsciiArtDialogTest::nameFieldDropsLineBreaks() {
    asciiArtDialog().pageList->setListIndex(0);
    asciiArtDialog().nameBoxes[6]->setText(QStringLiteral("ab\r\ncd"));
    QCOMPARE(asciiArtDialog().nameBoxes[6]->text(), QStringLiteral("abcd"));
    QCOMPARE(s().asciiArtNames.at(1, 6), QStringLiteral("abcd"));
    // A lone LF, which AAOptions.ini cannot hold, is the space the box shows.
    asciiArtDialog().nameBoxes[7]->setText(QStringLiteral("ab\ncd"));
    QCOMPARE(s().asciiArtNames.at(1, 7), QStringLiteral("ab cd"));
}

void AsciiArtDialogTest::editorTextGoesToTheSelectedEntry() {
    asciiArtDialog().pageList->setListIndex(1);
    asciiArtDialog().entryChoices[2]->setValue(true);
    asciiArtDialog().pieceTextBox->setText(QStringLiteral("new\r\nart"));
    QCOMPARE(s().asciiArtTexts.at(2, 2), QStringLiteral("new\r\nart"));
    QCOMPARE(s().asciiArtTexts.at(2, 0), QString());
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
#ifndef _WIN32 // a Windows user without privileges makes no symbolic links
    QTest::newRow("broken link") << QStringList{"broken.txt"} << false << true;
#endif
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
#ifndef _WIN32
    std::filesystem::create_symlink("nowhere.txt", t->path(QStringLiteral("broken.txt")));
#endif
    {
        // Sparse: one byte past the bound costs no disk.
        std::ofstream huge(t->path(QStringLiteral("huge.txt")), std::ios::binary);
        huge.seekp(std::streamoff(asciiart::kMaxTextBytes));
        huge << 'x';
    }
    QStringList messages;
    s().reportProblem = [&messages](const QString& message) { messages << message; };
    asciiArtDialog().pageList->setListIndex(0);
    asciiArtDialog().pieceTextBox->setText(QStringLiteral("before"));
    QStringList paths;
    for (const QString& name : names)
        paths << QString::fromStdString(platform::utf8FromPath(t->path(name)));
    dropFiles(asciiArtDialog().pieceTextBox->editor()->viewport(), paths);
    const QString expected = names.first() == QStringLiteral("unix.txt")
                                 ? QStringLiteral("（＾ω＾）\r\nline2\r\nline3\r\n!") + QChar(0x80)
                                 : QStringLiteral("（＾ω＾）\r\nline2\r\nline3\n!") + QChar(0x80);
    QCOMPARE(s().asciiArtTexts.at(1, 0), loads ? expected : QStringLiteral("before"));
    QCOMPARE(asciiArtDialog().pieceTextBox->text(), s().asciiArtTexts.at(1, 0));
    QCOMPARE(messages.size(), told ? 1 : 0);
    // Named as the drop names it (on Windows with '/' between the folders, as Qt gives a file's
    // address).
    if (told)
        QVERIFY(messages[0].contains(QUrl::fromLocalFile(paths.first()).toLocalFile()));
}

void AsciiArtDialogTest::dropWhileEntrySevenIsSelected() {
    t->writeBytes(QStringLiteral("art.txt"), "a\r\nb\r\n");
    t->writeBytes(QStringLiteral("empty.txt"), "");
    asciiArtDialog().pageList->setListIndex(3);
    asciiArtDialog().entryChoices[7]->setValue(true);
    QVERIFY(dropFiles(asciiArtDialog().pieceTextBox->editor()->viewport(),
                      {QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("art.txt"))))}));
    QCOMPARE(s().asciiArtTexts.at(4, 7), QStringLiteral("a\r\nb"));
    dropFiles(asciiArtDialog().pieceTextBox->editor()->viewport(),
              {QString::fromStdString(platform::utf8FromPath(t->path(QStringLiteral("empty.txt"))))});
    QCOMPARE(s().asciiArtTexts.at(4, 7), QString());
    QCOMPARE(s().asciiArtTexts.at(4, 0), QString());
}

void AsciiArtDialogTest::closeBoxHides() {
    asciiArtDialog().show();
    asciiArtDialog().pageList->setListIndex(4);
    asciiArtDialog().pieceTextBox->setText(QStringLiteral("kept"));
    asciiArtDialog().close();
    QVERIFY(!asciiArtDialog().isVisible());
    QCOMPARE(s().asciiArtTexts.at(5, 0), QStringLiteral("kept"));
    asciiArtDialog().closeButton->press();
    QVERIFY(!asciiArtDialog().isVisible());
}

QTEST_MAIN(AsciiArtDialogTest)
#include "asciiart_dialog.moc"
