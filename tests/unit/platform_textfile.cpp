// Line reading (CR and CR LF end lines, a lone LF is text, bounded memory) and atomic whole-file
// writes that leave read-only files and folders alone, even for root.
#include "platform/textfile.h"

#include "file_helpers.h"
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
namespace fs = std::filesystem;

namespace {

using test_files::readFile;
using test_files::writeFile;

QStringList readLines(const fs::path& file, std::size_t max = textfile::LineReader::kDefaultMaxLineBytes) {
    textfile::LineReader reader(file, max);
    QStringList lines;
    std::string line;
    while (reader.next(line))
        lines << QString::fromLatin1(QByteArray(line.data(), qsizetype(line.size())).toHex(' '));
    return lines;
}

QStringList hexLines(std::initializer_list<std::string_view> lines) {
    QStringList out;
    for (std::string_view l : lines)
        out << QString::fromLatin1(QByteArray(l.data(), qsizetype(l.size())).toHex(' '));
    return out;
}

QStringList entries(const fs::path& folder) {
    QStringList names;
    for (const auto& e : fs::directory_iterator(folder))
        names << QString::fromStdString(e.path().filename().string());
    names.sort();
    return names;
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

} // namespace

class TextFileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void lineEnds_data();
    void lineEnds();
    void longLinesAreCut();
    void hugeLineInBoundedMemory();
    void unreadableOrMissingFile();
    void readOnlyFileReads();
    void isFile();

    void writeCreatesWithUmaskBits();
    void writeReplacesAndKeepsMode();
    void readOnlyTargetIsLeftAlone();
    void readOnlyFolderIsLeftAlone();
    void missingFolderFails();
    void failedWriteLeavesTargetAndNoTemp();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    fs::path dir_;
};

void TextFileTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_ = fs::path(tmp_->path().toStdString());
}

void TextFileTest::cleanup() {
    // Folders made read-only by a test must be writable again for the removal.
    for (const auto& e : fs::recursive_directory_iterator(dir_))
        if (e.is_directory())
            ::chmod(e.path().c_str(), 0700);
    ::chmod(dir_.c_str(), 0700);
    tmp_.reset();
}

void TextFileTest::lineEnds_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << hexLines({"a", "b"});
    QTest::newRow("CR") << QByteArray("a\rb\r") << hexLines({"a", "b"});
    QTest::newRow("lone LF is text") << QByteArray("a\nb\r\nc\n") << hexLines({"a\nb", "c\n"});
    QTest::newRow("LF CR") << QByteArray("x\n\r\ny") << hexLines({"x\n", "y"});
    QTest::newRow("mixed") << QByteArray("1\r2\r\n3\n4\r\r\n5") << hexLines({"1", "2", "3\n4", "", "5"});
    QTest::newRow("last line without end") << QByteArray("a\r\nb") << hexLines({"a", "b"});
    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("only CR LF") << QByteArray("\r\n") << hexLines({""});
    QTest::newRow("blank lines") << QByteArray("\r\n\r\na\r\n\r\n") << hexLines({"", "", "a", ""});
    QTest::newRow("CR CR LF LF") << QByteArray("\r\r\n\n") << hexLines({"", "", "\n"});
    QTest::newRow("bad lead byte before CR LF")
        << QByteArray("\x81\r\n\x82\xA0") << hexLines({"\x81", "\x82\xA0"});
    QTest::newRow("NUL bytes") << QByteArray("a\0b\r\n", 5) << hexLines({std::string_view("a\0b", 3)});
    // The file is read in blocks of 64 KiB: lines and line ends that straddle two blocks (the
    // first row puts its second CR LF on both sides of the first block's end).
    const std::size_t block = 1 << 16;
    const std::string before(block - 3, 'a'), spanning(3 * block, 'b');
    QTest::newRow("CR LF across blocks")
        << QByteArray::fromStdString("x\r" + before + "\r\ny") << hexLines({"x", before, "y"});
    QTest::newRow("CR at a block's end") << QByteArray::fromStdString(std::string(block - 1, 'c') + "\rd")
                                         << hexLines({std::string(block - 1, 'c'), "d"});
    QTest::newRow("line over blocks")
        << QByteArray::fromStdString("e\r\n" + spanning + "\r\n\r\nf") << hexLines({"e", spanning, "", "f"});
}

void TextFileTest::lineEnds() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    writeFile(dir_ / "t.txt", std::string_view(content.constData(), std::size_t(content.size())));
    QCOMPARE(readLines(dir_ / "t.txt"), lines);
}

void TextFileTest::longLinesAreCut() {
    writeFile(dir_ / "t.txt", std::string(25, 'x') + "\r\nshort\r\n" + "abcdefghi\x82\xA0zz\r" +
                                  "abcdefgh\x82\xA0zz\r" + "abcdefghij\r" + "ab\ncdefghij\n\r");
    QCOMPARE(readLines(dir_ / "t.txt", 10),
             hexLines({"xxxxxxxxxx", "short", "abcdefghi", "abcdefgh\x82\xA0", "abcdefghij", "ab\ncdefghi"}));
}

// A file that is one 200 MB line (a sparse file, so it costs no disk) reads as its first
// megabyte, and the line after it is still found.
void TextFileTest::hugeLineInBoundedMemory() {
    const fs::path file = dir_ / "huge.txt";
    const off_t size = off_t(200) << 20;
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::pwrite(fd, "\r\nend", 5, size), ssize_t(5));
    ::close(fd);

    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    QElapsedTimer timer;
    timer.start();
    textfile::LineReader reader(file);
    std::string line;
    QVERIFY(reader.next(line));
    QCOMPARE(line.size(), textfile::LineReader::kDefaultMaxLineBytes);
    QVERIFY(reader.next(line));
    QCOMPARE(line, std::string("end"));
    QVERIFY(!reader.next(line));
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, qPrintable(QString::number(after.ru_maxrss)));
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
}

void TextFileTest::unreadableOrMissingFile() {
    textfile::LineReader missing(dir_ / "none.txt");
    std::string line = "stale";
    QVERIFY(!missing.isOpen());
    QVERIFY(!missing.next(line));
    QVERIFY(line.empty());

    textfile::LineReader folder(dir_);
    QVERIFY(!folder.isOpen());
    QVERIFY(!folder.next(line));
}

void TextFileTest::readOnlyFileReads() {
    writeFile(dir_ / "ro.txt", "a\r\nb");
    QCOMPARE(::chmod((dir_ / "ro.txt").c_str(), 0444), 0);
    QCOMPARE(readLines(dir_ / "ro.txt"), hexLines({"a", "b"}));
}

void TextFileTest::isFile() {
    writeFile(dir_ / "f.txt", "x");
    writeFile(dir_ / "locked.txt", "x");
    ::chmod((dir_ / "locked.txt").c_str(), 0);
    QVERIFY(textfile::isFile(dir_ / "f.txt"));
    QVERIFY(textfile::isFile(dir_ / "locked.txt"));
    QVERIFY(!textfile::isFile(dir_));
    QVERIFY(!textfile::isFile(dir_ / "none.txt"));
}

void TextFileTest::writeCreatesWithUmaskBits() {
    mode_t old = ::umask(027);
    std::string error;
    bool ok = textfile::writeAtomically(dir_ / "new.ini", "[a]\r\nk=v\r\n", &error);
    ::umask(old);
    QVERIFY2(ok, error.c_str());
    QCOMPARE(readFile(dir_ / "new.ini"), std::string("[a]\r\nk=v\r\n"));
    QCOMPARE(modeOf(dir_ / "new.ini"), mode_t(0640));
    QCOMPARE(entries(dir_), QStringList{"new.ini"});

    QVERIFY(textfile::writeAtomically(dir_ / "empty.txt", ""));
    QVERIFY(textfile::isFile(dir_ / "empty.txt"));
    QCOMPARE(readFile(dir_ / "empty.txt"), std::string());
}

void TextFileTest::writeReplacesAndKeepsMode() {
    for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0604)}) {
        const fs::path file = dir_ / "keep.txt";
        writeFile(file, "old content that is longer");
        QCOMPARE(::chmod(file.c_str(), mode), 0);
        QVERIFY(textfile::writeAtomically(file, "new"));
        QCOMPARE(readFile(file), std::string("new"));
        QCOMPARE(modeOf(file), mode);
        QCOMPARE(entries(dir_), QStringList{"keep.txt"});
        fs::remove(file);
    }
    // Through a link, the file it points to is replaced and the link stays.
    writeFile(dir_ / "real.txt", "old");
    fs::create_symlink("real.txt", dir_ / "link.txt");
    QVERIFY(textfile::writeAtomically(dir_ / "link.txt", "new"));
    QVERIFY(fs::is_symlink(dir_ / "link.txt"));
    QCOMPARE(readFile(dir_ / "real.txt"), std::string("new"));
}

void TextFileTest::readOnlyTargetIsLeftAlone() {
    const fs::path file = dir_ / "ro.ini";
    writeFile(file, "keep me");
    QCOMPARE(::chmod(file.c_str(), 0444), 0);
    std::string error;
    QVERIFY(!textfile::writeAtomically(file, "overwritten", &error));
    QVERIFY(!error.empty());
    QCOMPARE(readFile(file), std::string("keep me"));
    QCOMPARE(modeOf(file), mode_t(0444));
    QCOMPARE(entries(dir_), QStringList{"ro.ini"});

    QVERIFY(!textfile::writeAtomically(dir_, "a folder is no file"));
}

void TextFileTest::readOnlyFolderIsLeftAlone() {
    const fs::path folder = dir_ / "ro";
    fs::create_directory(folder);
    writeFile(folder / "existing.ini", "keep me");
    QCOMPARE(::chmod(folder.c_str(), 0555), 0);
    std::string error;
    QVERIFY(!textfile::writeAtomically(folder / "existing.ini", "overwritten", &error));
    QVERIFY(!error.empty());
    QVERIFY(!textfile::writeAtomically(folder / "new.ini", "created"));
    QCOMPARE(readFile(folder / "existing.ini"), std::string("keep me"));
    QCOMPARE(entries(folder), QStringList{"existing.ini"});
}

void TextFileTest::missingFolderFails() {
    std::string error;
    QVERIFY(!textfile::writeAtomically(dir_ / "no" / "such" / "file.ini", "x", &error));
    QVERIFY(!error.empty());
    QVERIFY(!fs::exists(dir_ / "no"));
    writeFile(dir_ / "plain", "x");
    QVERIFY(!textfile::writeAtomically(dir_ / "plain" / "file.ini", "x"));
}

// A write that fails half-way (here: the file-size limit, as a full disk would) leaves the old
// file as it was and no temporary file beside it.
void TextFileTest::failedWriteLeavesTargetAndNoTemp() {
    const fs::path file = dir_ / "big.ini";
    writeFile(file, "old");
    struct rlimit old {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = 1024;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string error;
    bool ok = textfile::writeAtomically(file, std::string(4096, 'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!ok);
    QVERIFY(!error.empty());
    QCOMPARE(readFile(file), std::string("old"));
    QCOMPARE(entries(dir_), QStringList{"big.ini"});
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "platform_textfile.moc"
