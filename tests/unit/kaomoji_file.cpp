// The kaomoji file: 3400 cp932 lines, one table cell each.
#include "platform/utf8_path.h"
#include "storage/kaomoji_table.h"
#include "storage/program_state.h"
#include "storage/text_codec.h"
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>
#include <tuple>

namespace {
// Built from UTF-8 on purpose: on Windows a path from a plain string reads it in the C library's
// narrow encoding, and the file would be named è¨­å®... instead of 顔文字.ini.
std::filesystem::path tempFile(const QTemporaryDir& dir) {
    return platform::pathFromUtf8(dir.path().toStdString()) / platform::pathFromUtf8("顔文字.ini");
}

void write(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string read(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Lines "L1" .. "Ln", each followed by the given line end.
std::string numberedLines(int count, const std::string& end = "\r\n") {
    std::string bytes;
    for (int i = 1; i <= count; ++i)
        bytes += "L" + std::to_string(i) + end;
    return bytes;
}

int countLines(const std::string& bytes) {
    int lines = 0;
    for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        ++lines;
    return lines;
}
} // namespace

class KaomojiFileTest : public QObject {
    Q_OBJECT
private slots:
    void missingFileLeavesTheTableEmpty();
    void shortFileFillsCellsInFileOrder();
    void linesAfter3400AreIgnoredAndDropped();
    void spareLinesSurviveLoadAndSave();
    void unchangedTableSavesTheSameBytes();
    void lineEndsAtCrOrCrLfButNotLoneLf();
    void convertedLineEndsLoadAsLines();
    void readOnlyFileStillLoadsButCannotBeSaved();
    void longEntriesComeBackWhole();
    void tooLargeFileIsNotLoaded();
    void savedUnderItsJapaneseName();
};

void KaomojiFileTest::missingFileLeavesTheTableEmpty() {
    QTemporaryDir dir;
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    QCOMPARE(table.at(0, 0, 0), QString());
    // The first save writes all 3400 lines, empty ones included.
    table.at(2, 3, 4) = QStringLiteral("(^_^)");
    QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    const std::string bytes = read(tempFile(dir));
    QCOMPARE(countLines(bytes), 3400);
    QCOMPARE(bytes.size(), std::size_t(3400 * 2 + 5));
    // Line 2 * 340 + 3 * 20 + 4 + 1 = 745 holds the cell.
    std::string expected(744 * 2, '\0');
    for (int i = 0; i < 744; ++i)
        expected.replace(std::size_t(2 * i), 2, "\r\n");
    QCOMPARE(bytes.substr(0, 744 * 2 + 7), expected + "(^_^)\r\n");
}

void KaomojiFileTest::shortFileFillsCellsInFileOrder() {
    QTemporaryDir dir;
    write(tempFile(dir), numberedLines(100));
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    QCOMPARE(table.at(0, 0, 0), QStringLiteral("L1"));   // group caption 0 of page 1
    QCOMPARE(table.at(0, 0, 15), QStringLiteral("L16")); // the last caption
    QCOMPARE(table.at(0, 0, 19), QStringLiteral("L20")); // a spare line
    QCOMPARE(table.at(0, 1, 0), QStringLiteral("L21"));  // first kaomoji of group 0
    QCOMPARE(table.at(0, 4, 19), QStringLiteral("L100"));
    QCOMPARE(table.at(0, 5, 0), QString());
    QCOMPARE(table.at(9, 1, 0), QString());
    QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    QCOMPARE(countLines(read(tempFile(dir))), 3400);
}

void KaomojiFileTest::linesAfter3400AreIgnoredAndDropped() {
    QTemporaryDir dir;
    write(tempFile(dir), numberedLines(3500));
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    QCOMPARE(table.at(9, 16, 19), QStringLiteral("L3400"));
    QCOMPARE(table.at(9, 1, 0), QStringLiteral("L3081")); // the newest history entry
    QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    QCOMPARE(read(tempFile(dir)), numberedLines(3400));
}

void KaomojiFileTest::spareLinesSurviveLoadAndSave() {
    QTemporaryDir dir;
    std::string bytes = numberedLines(3400);
    write(tempFile(dir), bytes);
    for (int round = 0; round < 3; ++round) {
        storage::KaomojiTable table;
        storage::kaomoji_file::load(table, tempFile(dir));
        QCOMPARE(table.at(3, 0, 17), QStringLiteral("L%1").arg(3 * 340 + 18));
        QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    }
    QCOMPARE(read(tempFile(dir)), bytes);
}

void KaomojiFileTest::unchangedTableSavesTheSameBytes() {
    QTemporaryDir dir;
    // Japanese kaomoji, half-width katakana, the odd single bytes, a bad lead byte.
    const std::string samples[] = {"(\x81\x4f\x81\x5b\x81\x4f)",
                                   "\x83\x6e\x83\x8d\x81\x5b",
                                   "\xb1\xb2\xb3",
                                   "\x80\xa0\xfd\xfe\xff",
                                   "x\x81",
                                   "\x87\x90\xed\x40"};
    std::string bytes;
    for (int i = 0; i < 3400; ++i)
        bytes += samples[std::size_t(i) % std::size(samples)] + std::string("\r\n");
    write(tempFile(dir), bytes);
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    const std::string saved = storage::kaomoji_file::render(table);
    // Characters with two codes come back in the canonical one, as Windows writes them.
    std::string canonical = bytes;
    for (std::size_t at = canonical.find("\x87\x90\xed\x40"); at != std::string::npos;
         at = canonical.find("\x87\x90\xed\x40", at))
        canonical.replace(at, 4, "\x81\xe0\xfa\x5c");
    QCOMPARE(saved, canonical);
}

void KaomojiFileTest::lineEndsAtCrOrCrLfButNotLoneLf() {
    QTemporaryDir dir;
    write(tempFile(dir), "a\rb\r\nc\nd\r\re");
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    QCOMPARE(table.at(0, 0, 0), QStringLiteral("a"));
    QCOMPARE(table.at(0, 0, 1), QStringLiteral("b"));
    QCOMPARE(table.at(0, 0, 2), QStringLiteral("c\nd"));
    QCOMPARE(table.at(0, 0, 3), QString());
    QCOMPARE(table.at(0, 0, 4), QStringLiteral("e"));
    QCOMPARE(table.at(0, 0, 5), QString());
}

void KaomojiFileTest::readOnlyFileStillLoadsButCannotBeSaved() {
    QTemporaryDir dir;
    write(tempFile(dir), numberedLines(3400));
    // 0444; on Windows the read-only attribute.
    std::filesystem::permissions(tempFile(dir), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
    storage::KaomojiTable table;
    storage::kaomoji_file::load(table, tempFile(dir));
    QCOMPARE(table.at(0, 0, 0), QStringLiteral("L1"));
    table.at(0, 0, 0) = QStringLiteral("changed");
    std::string error;
    QVERIFY(!storage::kaomoji_file::save(table, tempFile(dir), &error));
    QVERIFY(!error.empty());
    QCOMPARE(read(tempFile(dir)), numberedLines(3400));
}

// A collection whose CR LF became LF (dos2unix, git's autocrlf=input) loads as its lines, and
// saving gives the program's CR LF file back.
void KaomojiFileTest::convertedLineEndsLoadAsLines() {
    QTemporaryDir dir;
    write(tempFile(dir), numberedLines(3400, "\n"));
    storage::KaomojiTable table;
    QVERIFY(storage::kaomoji_file::load(table, tempFile(dir)));
    QCOMPARE(table.at(0, 0, 0), QStringLiteral("L1"));
    QCOMPARE(table.at(0, 1, 0), QStringLiteral("L21"));
    QCOMPARE(table.at(9, 16, 19), QStringLiteral("L3400"));
    QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    QCOMPARE(read(tempFile(dir)), numberedLines(3400));
}

// Whatever the program saves it loads back whole: entries far beyond a kaomoji's length (the
// entry boxes take any length) and a lone LF inside an entry.
void KaomojiFileTest::longEntriesComeBackWhole() {
    QTemporaryDir dir;
    storage::KaomojiTable table;
    table.at(0, 0, 0) = QString(70000, QChar(u'あ'));
    table.at(0, 1, 3) =
        QString(20 * 1024, QLatin1Char('x')) + QStringLiteral("\n") + QString(5, QLatin1Char('y'));
    table.at(9, 16, 19) = QStringLiteral("last");
    QVERIFY(storage::kaomoji_file::save(table, tempFile(dir)));
    storage::KaomojiTable loaded;
    QVERIFY(storage::kaomoji_file::load(loaded, tempFile(dir)));
    for (auto [page, row, slot] : {std::tuple{0, 0, 0}, {0, 1, 3}, {0, 1, 4}, {9, 16, 19}})
        QCOMPARE(loaded.at(page, row, slot), table.at(page, row, slot));
}

// A file over the bound is not read at all (a sparse file costs no disk), and the load says it
// was not read whole.
void KaomojiFileTest::tooLargeFileIsNotLoaded() {
    QTemporaryDir dir;
    {
        std::ofstream out(tempFile(dir), std::ios::binary);
        out.seekp(std::streamoff(storage::kaomoji_file::kMaxFileBytes));
        out << "\r\nsecond\r\n";
    }
    storage::KaomojiTable table;
    QVERIFY(!storage::kaomoji_file::load(table, tempFile(dir)));
    QCOMPARE(table.at(0, 0, 0), QString());
    QCOMPARE(table.at(0, 0, 1), QString());
}

// The program folder's kaomoji file is 顔文字.ini to every other program (Explorer, the Windows
// program that shares the collection), not its UTF-8 bytes read one character each.
void KaomojiFileTest::savedUnderItsJapaneseName() {
    QTemporaryDir dir;
    const std::filesystem::path file =
        storage::kaomojiFileIn(platform::pathFromUtf8(dir.path().toStdString()));
    QCOMPARE(QString::fromStdString(platform::utf8FromPath(file.filename())), QStringLiteral("顔文字.ini"));
    storage::KaomojiTable table;
    table.at(0, 0, 0) = QStringLiteral("(^_^)");
    QVERIFY(storage::kaomoji_file::save(table, file));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("顔文字.ini")});
    QFile byQt(dir.filePath(QStringLiteral("顔文字.ini")));
    QVERIFY(byQt.open(QIODevice::ReadOnly));
    QVERIFY(byQt.readAll().startsWith("(^_^)\r\n\r\n"));
    storage::KaomojiTable loaded;
    QVERIFY(storage::kaomoji_file::load(loaded, file));
    QCOMPARE(loaded.at(0, 0, 0), QStringLiteral("(^_^)"));
}

QTEST_GUILESS_MAIN(KaomojiFileTest)
#include "kaomoji_file.moc"
