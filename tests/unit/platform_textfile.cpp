// Line splitting (CR and CR LF end lines and a lone LF is text; in a file without CR, LF ends
// lines), whole-file reads with a size bound, and atomic whole-file writes that leave read-only
// files and folders alone, even for root. On Windows too: names in any script, every byte as it
// is (no text mode), a replace that replaces.
#include "platform/textfile.h"

#include "file_helpers.h"
#include <QtTest>

#include <fstream>
#ifdef _WIN32
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>
#else
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace platform;
namespace fs = std::filesystem;

namespace {

using test_files::nameOf;
using test_files::pathOf;
using test_files::readFile;
using test_files::setMode;
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
        names << nameOf(e.path().filename());
    names.sort();
    return names;
}

#ifdef _WIN32
// The bits Windows has, as the C library shows them: 0666, or 0444 with the read-only attribute.
unsigned modeOf(const fs::path& p) {
    return unsigned(fs::status(p).permissions() & fs::perms::mask) & 0666;
}

DWORD attributesOf(const fs::path& p) {
    return ::GetFileAttributesW(p.c_str());
}

// The most memory the process has held, in kilobytes.
long peakMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)
               ? long(counters.PeakWorkingSetSize / 1024)
               : -1;
}
#else
mode_t modeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// The most memory the process has held, in kilobytes.
long peakMemory() {
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
#endif

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

    void japaneseNamesReachTheirFiles();
    void everyByteComesBackAsItIs();
    void replaceReplacesAnExistingFile();
    void windowsReplaceKeepsHiddenAndSystem();
    void windowsReadOnlyFolderAttributeIsNoProtection();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    fs::path dir_;
};

void TextFileTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_ = pathOf(tmp_->path());
}

void TextFileTest::cleanup() {
    // Folders made read-only by a test must be writable again for the removal (on Windows the
    // read-only files too).
    for (const auto& e : fs::recursive_directory_iterator(dir_))
#ifdef _WIN32
        ::SetFileAttributesW(e.path().c_str(),
                             e.is_directory() ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL);
#else
        if (e.is_directory())
            ::chmod(e.path().c_str(), 0700);
    ::chmod(dir_.c_str(), 0700);
#endif
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
    const std::size_t size = std::size_t(200) << 20;
    {
        std::ofstream out(file, std::ios::binary);
        out.seekp(std::streamoff(size));
        out.write("\r\nend", 5);
        QVERIFY(out.good());
    }
    QCOMPARE(fs::file_size(file), std::uintmax_t(size + 5));

    const long before = peakMemory();
    QVERIFY(before > 0);
    std::string bytes = "stale";
    QCOMPARE(textfile::readWhole(file, size, bytes), textfile::ReadResult::TooLarge);
    QVERIFY(bytes.empty());
    const long after = peakMemory();
    QVERIFY2(after - before < 64 * 1024, qPrintable(QString::number(after)));

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
    QCOMPARE(textfile::readWhole(dir_ / "none" / "x.txt", 100, bytes), textfile::ReadResult::Missing);
#ifdef _WIN32
    QSKIP("symbolic links and FIFOs: POSIX only (Windows has neither for a user without privileges)");
#else
    fs::create_symlink("loop.txt", dir_ / "loop.txt");
    QCOMPARE(textfile::readWhole(dir_ / "loop.txt", 100, bytes), textfile::ReadResult::Unreadable);
    QCOMPARE(::mkfifo((dir_ / "pipe.txt").c_str(), 0600), 0);
    QCOMPARE(textfile::readWhole(dir_ / "pipe.txt", 100, bytes), textfile::ReadResult::Unreadable);
    fs::remove(dir_ / "loop.txt"); // the clean-up's walk would trip over the loop
#endif
}

void TextFileTest::readOnlyFileReads() {
    writeFile(dir_ / "ro.txt", "a\r\nb");
    QVERIFY(setMode(dir_ / "ro.txt", 0444));
    QCOMPARE(readLines(dir_ / "ro.txt"), hexLines({"a", "b"}));
}

void TextFileTest::isFile() {
    writeFile(dir_ / "f.txt", "x");
    writeFile(dir_ / "locked.txt", "x");
    QVERIFY(setMode(dir_ / "locked.txt", 0));
    QVERIFY(textfile::isFile(dir_ / "f.txt"));
    QVERIFY(textfile::isFile(dir_ / "locked.txt"));
    QVERIFY(!textfile::isFile(dir_));
    QVERIFY(!textfile::isFile(dir_ / "none.txt"));
}

void TextFileTest::writeCreatesWithUmaskBits() {
#ifdef _WIN32
    // No umask: a new file is an ordinary writable one.
    std::string error;
    bool ok = textfile::writeAtomically(dir_ / "new.ini", "[a]\r\nk=v\r\n", &error);
    QVERIFY2(ok, error.c_str());
    QCOMPARE(modeOf(dir_ / "new.ini"), 0666u);
#else
    mode_t old = ::umask(027);
    std::string error;
    bool ok = textfile::writeAtomically(dir_ / "new.ini", "[a]\r\nk=v\r\n", &error);
    ::umask(old);
    QVERIFY2(ok, error.c_str());
    QCOMPARE(modeOf(dir_ / "new.ini"), mode_t(0640));
#endif
    QCOMPARE(readFile(dir_ / "new.ini"), std::string("[a]\r\nk=v\r\n"));
    QCOMPARE(entries(dir_), QStringList{"new.ini"});

    QVERIFY(textfile::writeAtomically(dir_ / "empty.txt", ""));
    QVERIFY(textfile::isFile(dir_ / "empty.txt"));
    QCOMPARE(readFile(dir_ / "empty.txt"), std::string());
}

void TextFileTest::writeReplacesAndKeepsMode() {
#ifdef _WIN32
    QSKIP(
        "POSIX permission bits and symbolic links; Windows' attributes: windowsReplaceKeepsHiddenAndSystem");
#else
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
#endif
}

// `sudo ./pikome` on a user's private collection: before, every file saved became root's, and
// the user's own copy could no longer read or save it.
void TextFileTest::rootKeepsTheUsersOwnership() {
#ifdef _WIN32
    QSKIP("POSIX owners and groups: on Windows a new file takes its folder's access list");
#else
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
    const fs::path settings = folder / u8"設定.ini";
    writeFile(settings, "old");
    QCOMPARE(::chown(settings.c_str(), kUser, kGroup), 0);
    QCOMPARE(::chmod(settings.c_str(), 0600), 0);
    std::string error;
    QVERIFY2(textfile::writeAtomically(settings, "new", &error), error.c_str());
    QCOMPARE(ownerOf(settings), user);
    QCOMPARE(modeOf(settings), mode_t(0600));
    // A new file in the user's folder is the user's; in root's own folder it stays root's.
    QVERIFY(textfile::writeAtomically(folder / "new.txt", "x"));
    QCOMPARE(ownerOf(folder / "new.txt"), user);
    QVERIFY(textfile::writeAtomically(dir_ / "roots.txt", "x"));
    QCOMPARE(ownerOf(dir_ / "roots.txt"), (QPair<uid_t, gid_t>(0, 0)));
    // The user's file in a folder of root's keeps its owner too.
    QCOMPARE(::chown((dir_ / "roots.txt").c_str(), kUser, kGroup), 0);
    QVERIFY(textfile::writeAtomically(dir_ / "roots.txt", "y"));
    QCOMPARE(ownerOf(dir_ / "roots.txt"), user);
#endif
}

void TextFileTest::readOnlyTargetIsLeftAlone() {
    const fs::path file = dir_ / "ro.ini";
    writeFile(file, "keep me");
    QVERIFY(setMode(file, 0444));
    std::string error;
    QVERIFY(!textfile::writeAtomically(file, "overwritten", &error));
    QVERIFY(!error.empty());
    QCOMPARE(readFile(file), std::string("keep me"));
    QCOMPARE(modeOf(file), 0444u);
    QCOMPARE(entries(dir_), QStringList{"ro.ini"});

    QVERIFY(!textfile::writeAtomically(dir_, "a folder is no file"));
}

void TextFileTest::readOnlyFolderIsLeftAlone() {
#ifdef _WIN32
    QSKIP("a folder's owner-write bit is POSIX; Windows ignores a folder's read-only attribute: "
          "windowsReadOnlyFolderAttributeIsNoProtection");
#endif
    const fs::path folder = dir_ / "ro";
    fs::create_directory(folder);
    writeFile(folder / "existing.ini", "keep me");
    QVERIFY(setMode(folder, 0555));
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
#ifdef _WIN32
    QSKIP(
        "the file-size limit (RLIMIT_FSIZE) is POSIX; platform_write_faults fails each step on Windows too");
#else
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
#endif
}

// The program's own file names are Japanese: a file written as 設定.ini is found under that
// name by any other program (on Windows by its UTF-16 name, not by its UTF-8 bytes read as one
// character each), and read back, replaced and cleared up under it.
void TextFileTest::japaneseNamesReachTheirFiles() {
    const fs::path folder = dir_ / u8"ぴこめ";
    fs::create_directory(folder);
    const fs::path settings = folder / platform::pathFromUtf8("設定.ini");
    QVERIFY(textfile::writeAtomically(settings, "[a]\r\n"));
    QCOMPARE(entries(folder), QStringList{QStringLiteral("設定.ini")});
#ifdef _WIN32
    const std::wstring wide = dir_.native() + L"\\\u3074\u3053\u3081\\\u8A2D\u5B9A.ini";
    QVERIFY(::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES);
#else
    QVERIFY(fs::is_regular_file(dir_.native() +
                                "/\xE3\x81\xB4\xE3\x81\x93\xE3\x82\x81/\xE8\xA8\xAD\xE5\xAE\x9A.ini"));
#endif
    QVERIFY(QFile::exists(tmp_->path() + QStringLiteral("/ぴこめ/設定.ini")));
    QVERIFY(textfile::isFile(settings));
    std::string bytes;
    QCOMPARE(textfile::readWhole(settings, 100, bytes), textfile::ReadResult::Ok);
    QCOMPARE(bytes, std::string("[a]\r\n"));
    QVERIFY(textfile::writeIfChanged(settings, "[b]\r\n"));
    QCOMPARE(readFile(settings), std::string("[b]\r\n"));

    // What a save killed half-way left beside it is found by the target's name.
    writeFile(folder / platform::pathFromUtf8("顔文字.ini.abcd1234.tmp"), "half");
    writeFile(folder / platform::pathFromUtf8("他人.ini.abcd1234.tmp"), "someone else's");
    QStringList asked;
    const int removed = textfile::removeLeftoverTemporaries(folder, [&](std::string_view name) {
        asked << QString::fromUtf8(name.data(), qsizetype(name.size()));
        return name == "顔文字.ini";
    });
    QCOMPARE(removed, 1);
    asked.sort();
    QCOMPARE(asked, (QStringList{QStringLiteral("他人.ini"), QStringLiteral("顔文字.ini")}));
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("他人.ini.abcd1234.tmp"), QStringLiteral("設定.ini")}));
}

// The files hold cp932 text with CR LF and may hold anything else: every byte is written and
// read as it is. (A Windows file in text mode turns CR LF into LF and ends a read at 0x1A.)
void TextFileTest::everyByteComesBackAsItIs() {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(char(b));
    const std::string bytes = "[a]\r\nk=\x1A\x1A\r\nodd\nline\r\r\n\x81\r\n" + all + "\x1A";
    const fs::path file = dir_ / "bytes.ini";
    QVERIFY(textfile::writeAtomically(file, bytes));
    QCOMPARE(fs::file_size(file), std::uintmax_t(bytes.size()));
    QVERIFY(readFile(file) == bytes);
    std::string read;
    QCOMPARE(textfile::readWhole(file, bytes.size(), read), textfile::ReadResult::Ok);
    QVERIFY(read == bytes);
    // A file another program wrote is read whole too.
    writeFile(file, "a\x1A" + all + "\r\n");
    QCOMPARE(textfile::readWhole(file, 1000, read), textfile::ReadResult::Ok);
    QVERIFY(read == "a\x1A" + all + "\r\n");
    QCOMPARE(textfile::splitLines(read).size(), std::size_t(2)); // the CR in `all` ends the first
}

// The rename replaces the file that is there (on Windows the C library's rename refuses to), and
// again and again; nothing else is left in the folder.
void TextFileTest::replaceReplacesAnExistingFile() {
    const fs::path file = dir_ / u8"顔文字.ini";
    writeFile(file, "an old file, longer than the new ones\r\n");
    for (const char* content : {"first\r\n", "second\r\n", "", "third\r\n"}) {
        std::string error;
        QVERIFY2(textfile::writeAtomically(file, content, &error), error.c_str());
        QCOMPARE(readFile(file), std::string(content));
        QCOMPARE(entries(dir_), QStringList{QStringLiteral("顔文字.ini")});
    }
    QVERIFY(textfile::writeIfChanged(file, "fourth\r\n"));
    QCOMPARE(readFile(file), std::string("fourth\r\n"));
    QCOMPARE(entries(dir_), QStringList{QStringLiteral("顔文字.ini")});
}

// A user who hid the settings file (or marked it as a system file) finds it hidden after a save,
// as a Linux file keeps its permission bits.
void TextFileTest::windowsReplaceKeepsHiddenAndSystem() {
#ifndef _WIN32
    QSKIP("Windows file attributes");
#else
    const fs::path file = dir_ / u8"設定.ini";
    writeFile(file, "old");
    QVERIFY(::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    std::string error;
    QVERIFY2(textfile::writeAtomically(file, "new", &error), error.c_str());
    QCOMPARE(readFile(file), std::string("new"));
    const DWORD attributes = attributesOf(file);
    QVERIFY(attributes != INVALID_FILE_ATTRIBUTES);
    QVERIFY(attributes & FILE_ATTRIBUTE_HIDDEN);
    QVERIFY(attributes & FILE_ATTRIBUTE_SYSTEM);
    QVERIFY(!(attributes & FILE_ATTRIBUTE_READONLY));
    QCOMPARE(entries(dir_), QStringList{QStringLiteral("設定.ini")});
    // A file without them gets none.
    QVERIFY(textfile::writeAtomically(dir_ / "plain.ini", "x"));
    QVERIFY(textfile::writeAtomically(dir_ / "plain.ini", "y"));
    QVERIFY(!(attributesOf(dir_ / "plain.ini") & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)));
#endif
}

// Windows ignores a folder's read-only attribute, and Explorer sets it on every folder it
// customises (a desktop.ini icon): such a folder takes the save as Windows' own programs would.
// A file's read-only attribute is honoured (readOnlyTargetIsLeftAlone).
void TextFileTest::windowsReadOnlyFolderAttributeIsNoProtection() {
#ifndef _WIN32
    QSKIP("Windows file attributes");
#else
    const fs::path folder = dir_ / u8"ぴこめ";
    fs::create_directory(folder);
    writeFile(folder / "existing.ini", "old");
    QVERIFY(::SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_READONLY));
    if (!(attributesOf(folder) & FILE_ATTRIBUTE_READONLY))
        QSKIP("this system keeps no read-only attribute on a folder (Wine ignores it: "
              "\"FILE_ATTRIBUTE_READONLY "
              "ignored for directory\")");
    QVERIFY(textfile::mayWriteIn(folder));
    std::string error;
    QVERIFY2(textfile::writeAtomically(folder / "existing.ini", "new", &error), error.c_str());
    QVERIFY2(textfile::writeAtomically(folder / "new.ini", "created", &error), error.c_str());
    QCOMPARE(readFile(folder / "existing.ini"), std::string("new"));
    QCOMPARE(entries(folder), (QStringList{"existing.ini", "new.ini"}));
#endif
}

QTEST_GUILESS_MAIN(TextFileTest)
#include "platform_textfile.moc"
