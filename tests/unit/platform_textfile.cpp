// Line splitting (CR and CR LF end lines and a lone LF is text; in a file without CR, LF ends
// lines), whole-file reads with a size bound, and atomic whole-file writes that leave read-only
// files and folders alone, even for root.
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

QStringList readLines(const fs::path& file) {
    std::string bytes;
    if (textfile::readWhole(file, std::size_t(1) << 30, bytes) != textfile::ReadResult::Ok)
        return {QStringLiteral("not read")};
    QStringList lines;
    for (std::string_view line : textfile::splitLines(bytes))
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
    void tooLargeFileIsNotRead();
    void unreadableOrMissingFile();
    void readOnlyFileReads();
    void isFile();

    void writeCreatesWithUmaskBits();
    void writeReplacesAndKeepsMode();
    void rootKeepsTheUsersOwnership();
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
    // Line ends converted to LF: no CR anywhere, so every LF ends a line.
    QTest::newRow("LF only") << QByteArray("a\nb\n") << hexLines({"a", "b"});
    QTest::newRow("LF only, blank lines, no end")
        << QByteArray("\n\na\n\nb") << hexLines({"", "", "a", "", "b"});
    QTest::newRow("one CR makes LF text") << QByteArray("a\nb\nc\r") << hexLines({"a\nb\nc"});
    QTest::newRow("bad lead byte before LF")
        << QByteArray("\x81\n\x82\xA0\n") << hexLines({"\x81", "\x82\xA0"});
    const std::string longLine((1 << 20) + 5, 'b');
    QTest::newRow("long lines whole")
        << QByteArray::fromStdString("e\r\n" + longLine + "\r\n\r\nf") << hexLines({"e", longLine, "", "f"});
}

void TextFileTest::lineEnds() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    writeFile(dir_ / "t.txt", std::string_view(content.constData(), std::size_t(content.size())));
    QCOMPARE(readLines(dir_ / "t.txt"), lines);
}

// A file over the bound is refused without being read (a sparse 200 MB file costs no disk, and
// reading it would cost 200 MB of memory); one at the bound is read whole, its longest line too.
void TextFileTest::tooLargeFileIsNotRead() {
    const fs::path file = dir_ / "huge.txt";
    const off_t size = off_t(200) << 20;
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::pwrite(fd, "\r\nend", 5, size), ssize_t(5));
    ::close(fd);

    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    std::string bytes = "stale";
    QCOMPARE(textfile::readWhole(file, std::size_t(size), bytes), textfile::ReadResult::TooLarge);
    QVERIFY(bytes.empty());
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    QVERIFY2(after.ru_maxrss - before.ru_maxrss < 64 * 1024, qPrintable(QString::number(after.ru_maxrss)));

    const std::string line(3 << 20, 'x');
    writeFile(file, line + "\r\nend\r\n");
    QCOMPARE(textfile::readWhole(file, line.size() + 7, bytes), textfile::ReadResult::Ok);
    const std::vector<std::string_view> lines = textfile::splitLines(bytes);
    QCOMPARE(lines.size(), std::size_t(2));
    QVERIFY(lines[0] == line);
    QCOMPARE(textfile::readWhole(file, line.size() + 6, bytes), textfile::ReadResult::TooLarge);
}

void TextFileTest::unreadableOrMissingFile() {
    std::string bytes = "stale";
    QCOMPARE(textfile::readWhole(dir_ / "none.txt", 100, bytes), textfile::ReadResult::Missing);
    QVERIFY(bytes.empty());
    QCOMPARE(textfile::readWhole(dir_, 100, bytes), textfile::ReadResult::Unreadable);
    fs::create_symlink("loop.txt", dir_ / "loop.txt");
    QCOMPARE(textfile::readWhole(dir_ / "loop.txt", 100, bytes), textfile::ReadResult::Unreadable);
    QCOMPARE(::mkfifo((dir_ / "pipe.txt").c_str(), 0600), 0);
    QCOMPARE(textfile::readWhole(dir_ / "pipe.txt", 100, bytes), textfile::ReadResult::Unreadable);
    fs::remove(dir_ / "loop.txt"); // the clean-up's walk would trip over the loop
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

// `sudo ./pikome` on a user's private collection: before, every file saved became root's, and
// the user's own copy could no longer read or save it.
void TextFileTest::rootKeepsTheUsersOwnership() {
    if (::geteuid() != 0)
        QSKIP("needs root: only root can save a file that another user owns");
    // A user and a group that exist nowhere: root may give files to any number.
    constexpr uid_t kUser = 4242;
    constexpr gid_t kGroup = 4343;
    auto ownerOf = [](const fs::path& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return QPair<uid_t, gid_t>(st.st_uid, st.st_gid);
    };
    const QPair<uid_t, gid_t> user(kUser, kGroup);
    const fs::path folder = dir_ / "users";
    fs::create_directory(folder);
    QCOMPARE(::chown(folder.c_str(), kUser, kGroup), 0);
    writeFile(folder / "設定.ini", "old");
    QCOMPARE(::chown((folder / "設定.ini").c_str(), kUser, kGroup), 0);
    QCOMPARE(::chmod((folder / "設定.ini").c_str(), 0600), 0);
    std::string error;
    QVERIFY2(textfile::writeAtomically(folder / "設定.ini", "new", &error), error.c_str());
    QCOMPARE(ownerOf(folder / "設定.ini"), user);
    QCOMPARE(modeOf(folder / "設定.ini"), mode_t(0600));
    // A new file in the user's folder is the user's; in root's own folder it stays root's.
    QVERIFY(textfile::writeAtomically(folder / "new.txt", "x"));
    QCOMPARE(ownerOf(folder / "new.txt"), user);
    QVERIFY(textfile::writeAtomically(dir_ / "roots.txt", "x"));
    QCOMPARE(ownerOf(dir_ / "roots.txt"), (QPair<uid_t, gid_t>(0, 0)));
    // The user's file in a folder of root's keeps its owner too.
    QCOMPARE(::chown((dir_ / "roots.txt").c_str(), kUser, kGroup), 0);
    QVERIFY(textfile::writeAtomically(dir_ / "roots.txt", "y"));
    QCOMPARE(ownerOf(dir_ / "roots.txt"), user);
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
