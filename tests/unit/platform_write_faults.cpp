// A write that fails at any step (a full disk, an I/O error, a permission taken away meanwhile)
// leaves the old file byte for byte and no temporary file beside it.
#include "../common/write_faults.h"
#include "platform/textfile.h"

#include "file_helpers.h"
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

using namespace platform;
namespace fs = std::filesystem;

namespace {

using write_faults::Error;
using write_faults::kStages;
using write_faults::stageName;
constexpr Error kErrors[] = {{ENOSPC, "ENOSPC"},
                             {EIO, "EIO"},
                             {EACCES, "EACCES"},
#ifdef EDQUOT // no quotas in Windows' C library
                             {EDQUOT, "EDQUOT"},
#endif
                             {EROFS, "EROFS"}};

using test_files::nameOf;
using test_files::pathOf;
using test_files::readFile;
using test_files::writeFile;

QStringList entries(const fs::path& folder) {
    QStringList names;
    for (const auto& e : fs::directory_iterator(folder))
        names << nameOf(e.path().filename());
    names.sort();
    return names;
}

// What a replace must keep of the old file: its permission bits on Linux, its hidden attribute
// on Windows (whose only permission bit, read-only, stops a save before any step).
#ifdef _WIN32
void giveSomethingToKeep(const fs::path& p) {
    QVERIFY(::SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_HIDDEN));
}
bool keptItsOwn(const fs::path& p) {
    const DWORD attributes = ::GetFileAttributesW(p.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
}
#else
void giveSomethingToKeep(const fs::path& p) {
    QCOMPARE(::chmod(p.c_str(), 0640), 0);
}
bool keptItsOwn(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640;
}
#endif

// Old content with every kind of byte the program's files hold: cp932 text, CR LF, a lone LF.
const std::string kOld = "[PageName]\r\nPage1=\x82\xe6\x82\xad\x8e\x67\x82\xa4\r\nodd\n\x81\r\n";

} // namespace

class WriteFaultTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void stagesRunInOrder();
    void failedStageKeepsOldFile_data();
    void failedStageKeepsOldFile();
    void failedStageCreatesNoNewFile_data();
    void failedStageCreatesNoNewFile();
    void faultThroughLinkKeepsLinkAndFile();
    void faultHitsOnlyItsTargetAndCanBeRemoved();

private:
    std::unique_ptr<QTemporaryDir> tmp_;
    fs::path dir_;
};

void WriteFaultTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_ = pathOf(tmp_->path());
}

void WriteFaultTest::cleanup() {
    textfile::testing::setWriteFault({});
    tmp_.reset();
}

// The hook sees every step of a real write, in order, with the target it was given; a write
// the hook lets through is an ordinary one.
void WriteFaultTest::stagesRunInOrder() {
    std::vector<WriteStage> seen;
    std::vector<fs::path> targets;
    textfile::testing::setWriteFault([&](WriteStage stage, const fs::path& target) {
        seen.push_back(stage);
        targets.push_back(target);
        return 0;
    });
    const fs::path file = dir_ / "order.ini";
    QVERIFY(textfile::writeAtomically(file, "first"));
    QCOMPARE(seen, (std::vector<WriteStage>{WriteStage::Open, WriteStage::Write, WriteStage::Fsync,
                                            WriteStage::Close, WriteStage::Rename}));
    for (const auto& t : targets)
        QCOMPARE(t, file);

    seen.clear();
    QVERIFY(textfile::writeAtomically(file, "second"));
    QCOMPARE(seen, (std::vector<WriteStage>{WriteStage::Open, WriteStage::SetMode, WriteStage::Write,
                                            WriteStage::Fsync, WriteStage::Close, WriteStage::Rename}));
    QCOMPARE(readFile(file), std::string("second"));
    QCOMPARE(entries(dir_), QStringList{"order.ini"});
}

void WriteFaultTest::failedStageKeepsOldFile_data() {
    QTest::addColumn<WriteStage>("stage");
    QTest::addColumn<int>("err");
    QTest::addColumn<int>("size");
    for (WriteStage stage : kStages)
        for (const Error& e : kErrors) {
            QTest::addRow("%s %s", stageName(stage), e.name) << stage << e.value << 64;
            // Large enough that the half written before a failed write spans many blocks.
            QTest::addRow("%s %s 3 MB", stageName(stage), e.name) << stage << e.value << (3 << 20);
        }
}

void WriteFaultTest::failedStageKeepsOldFile() {
    QFETCH(WriteStage, stage);
    QFETCH(int, err);
    QFETCH(int, size);
    const fs::path file = dir_ / u8"顔文字.ini";
    writeFile(file, kOld);
    giveSomethingToKeep(file);
    int calls = 0;
    textfile::testing::setWriteFault([&](WriteStage s, const fs::path&) {
        if (s != stage)
            return 0;
        ++calls;
        return err;
    });
    std::string error;
    QVERIFY(!textfile::writeAtomically(file, std::string(std::size_t(size), 'n'), &error));
    QCOMPARE(calls, 1);
    // The reason names the system's error so the user can act on it.
    QVERIFY2(error.find(std::strerror(err)) != std::string::npos, error.c_str());
    QCOMPARE(readFile(file), kOld);
    QVERIFY(keptItsOwn(file));
    QCOMPARE(entries(dir_), QStringList{QStringLiteral("顔文字.ini")});

    // The same write goes through once the fault is gone.
    textfile::testing::setWriteFault({});
    QVERIFY(textfile::writeAtomically(file, "new"));
    QCOMPARE(readFile(file), std::string("new"));
    QVERIFY(keptItsOwn(file));
}

void WriteFaultTest::failedStageCreatesNoNewFile_data() {
    QTest::addColumn<WriteStage>("stage");
    QTest::addColumn<int>("err");
    for (WriteStage stage : kStages)
        for (const Error& e : kErrors)
            QTest::addRow("%s %s", stageName(stage), e.name) << stage << e.value;
}

// A file that did not exist still does not exist after a failed write, and nothing else
// appears in its folder. Setting the mode is only a step when there is a mode to keep, so a
// fault there cannot stop the creation of a new file.
void WriteFaultTest::failedStageCreatesNoNewFile() {
    QFETCH(WriteStage, stage);
    QFETCH(int, err);
    textfile::testing::setWriteFault([&](WriteStage s, const fs::path&) { return s == stage ? err : 0; });
    const fs::path file = dir_ / u8"設定.ini";
    const bool ok = textfile::writeAtomically(file, "[Options]\r\nCheck0=1\r\n");
    if (stage == WriteStage::SetMode) {
        QVERIFY(ok);
        QCOMPARE(readFile(file), std::string("[Options]\r\nCheck0=1\r\n"));
        QCOMPARE(entries(dir_), QStringList{QStringLiteral("設定.ini")});
    } else {
        QVERIFY(!ok);
        QVERIFY(!fs::exists(file));
        QCOMPARE(entries(dir_), QStringList());
    }
}

void WriteFaultTest::faultThroughLinkKeepsLinkAndFile() {
#ifdef _WIN32
    QSKIP("symbolic links: a Windows user without privileges cannot make one");
#endif
    fs::create_directory(dir_ / "real");
    writeFile(dir_ / "real" / "AAOptions.ini", kOld);
    fs::create_symlink("real/AAOptions.ini", dir_ / "link.ini");
    for (WriteStage stage : kStages) {
        textfile::testing::setWriteFault([&](WriteStage s, const fs::path&) { return s == stage ? EIO : 0; });
        QVERIFY2(!textfile::writeAtomically(dir_ / "link.ini", "new"), stageName(stage));
        QVERIFY(fs::is_symlink(dir_ / "link.ini"));
        QCOMPARE(readFile(dir_ / "real" / "AAOptions.ini"), kOld);
        QCOMPARE(entries(dir_ / "real"), QStringList{"AAOptions.ini"});
        QCOMPARE(entries(dir_), (QStringList{"link.ini", "real"}));
    }
}

void WriteFaultTest::faultHitsOnlyItsTargetAndCanBeRemoved() {
    writeFile(dir_ / "a.txt", "old a");
    writeFile(dir_ / "b.txt", "old b");
    textfile::testing::setWriteFault([&](WriteStage s, const fs::path& target) {
        return s == WriteStage::Rename && target.filename() == "a.txt" ? ENOSPC : 0;
    });
    QVERIFY(!textfile::writeAtomically(dir_ / "a.txt", "new a"));
    QVERIFY(textfile::writeAtomically(dir_ / "b.txt", "new b"));
    QCOMPARE(readFile(dir_ / "a.txt"), std::string("old a"));
    QCOMPARE(readFile(dir_ / "b.txt"), std::string("new b"));
    textfile::testing::setWriteFault({});
    QVERIFY(textfile::writeAtomically(dir_ / "a.txt", "new a"));
    QCOMPARE(readFile(dir_ / "a.txt"), std::string("new a"));
    QCOMPARE(entries(dir_), (QStringList{"a.txt", "b.txt"}));
}

QTEST_GUILESS_MAIN(WriteFaultTest)
#include "platform_write_faults.moc"
