// One running copy per collection: a second start on the same folder asks the running copy to
// come forward and ends; a start on another folder runs. The running copy is a SingleInstance
// of this process answering in its event loop; the second start asks from a thread of its own,
// as a second process would, while the loop runs. (On Linux the claim is a socket, on Windows a
// named mutex with two semaphores in the session's namespace.)
#include "app/single_instance.h"
#include "platform/utf8_path.h"
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#ifdef _WIN32
#include "platform/windows_header.h"
#endif

namespace fs = std::filesystem;
using Claim = SingleInstance::Claim;
using namespace std::chrono_literals;

namespace {
fs::path pathOf(const QTemporaryDir& dir) {
    return platform::pathFromUtf8(dir.path().toStdString());
}

// A second start on `folder`: its claim, made on another thread while this one runs its loop.
std::future<Claim> startAgain(const fs::path& folder) {
    return std::async(std::launch::async, [folder] { return SingleInstance(folder).claim(); });
}

bool ready(const std::future<Claim>& claim) {
    return claim.wait_for(0ms) == std::future_status::ready;
}
} // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void secondStartOnTheSameFolderBringsTheFirstForward();
    void sameFolderByAnotherPath();
    void startOnAnotherFolderRuns();
    void startsAtOnceAllComeForward();
    void claimIsFreedWithItsHolder();
    void holderThatDoesNotAnswerIsSilent();
    void holderEndingWhileAskedLeavesTheClaimFree();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path folder_;
};

void SingleInstanceTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    // A Japanese name, as a user's folder may have.
    folder_ = pathOf(*dir_) / platform::pathFromUtf8("ぴこめ");
    fs::create_directories(folder_);
}

void SingleInstanceTest::secondStartOnTheSameFolderBringsTheFirstForward() {
    SingleInstance running(folder_);
    QCOMPARE(running.claim(), Claim::First);
    int cameForward = 0;
    running.onAnotherStart = [&cameForward] { ++cameForward; };
    for (int start = 1; start <= 2; ++start) {
        std::future<Claim> second = startAgain(folder_);
        QTRY_VERIFY_WITH_TIMEOUT(ready(second), 10000);
        QCOMPARE(second.get(), Claim::OtherCameForward);
        QCOMPARE(cameForward, start);
    }
}

void SingleInstanceTest::sameFolderByAnotherPath() {
    SingleInstance running(folder_);
    QCOMPARE(running.claim(), Claim::First);
    int cameForward = 0;
    running.onAnotherStart = [&cameForward] { ++cameForward; };
    fs::create_directories(folder_ / "sub");
    QList<fs::path> others = {folder_ / "sub" / "..", folder_ / "."};
#ifdef _WIN32
    // Windows names files without regard to case.
    others << platform::pathFromUtf8(dir_->path().toUpper().toStdString()) / platform::pathFromUtf8("ぴこめ");
#endif
    for (const fs::path& other : others) {
        std::future<Claim> second = startAgain(other);
        QTRY_VERIFY_WITH_TIMEOUT(ready(second), 10000);
        QCOMPARE(second.get(), Claim::OtherCameForward);
    }
    QCOMPARE(cameForward, int(others.size()));
}

void SingleInstanceTest::startOnAnotherFolderRuns() {
    SingleInstance running(folder_);
    QCOMPARE(running.claim(), Claim::First);
    int cameForward = 0;
    running.onAnotherStart = [&cameForward] { ++cameForward; };
    const fs::path another = pathOf(*dir_) / "another";
    fs::create_directories(another);
    SingleInstance elsewhere(another);
    QCOMPARE(elsewhere.claim(), Claim::First);
    QTest::qWait(50);
    QCOMPARE(cameForward, 0);
}

// Starts that come together are answered together (one coming forward may serve them all).
void SingleInstanceTest::startsAtOnceAllComeForward() {
    SingleInstance running(folder_);
    QCOMPARE(running.claim(), Claim::First);
    int cameForward = 0;
    running.onAnotherStart = [&cameForward] { ++cameForward; };
    std::vector<std::future<Claim>> starts;
    for (int i = 0; i < 4; ++i)
        starts.push_back(startAgain(folder_));
    for (auto& start : starts) {
        QTRY_VERIFY_WITH_TIMEOUT(ready(start), 10000);
        QCOMPARE(start.get(), Claim::OtherCameForward);
    }
    QVERIFY(cameForward >= 1 && cameForward <= 4);
}

void SingleInstanceTest::claimIsFreedWithItsHolder() {
    {
        SingleInstance running(folder_);
        QCOMPARE(running.claim(), Claim::First);
    }
    SingleInstance next(folder_);
    QCOMPARE(next.claim(), Claim::First);
}

// A running copy whose event loop does not run (hung, stopped in a debugger): the second start
// gives up after its bound and says so, rather than waiting for ever or running beside it.
void SingleInstanceTest::holderThatDoesNotAnswerIsSilent() {
    SingleInstance running(folder_);
    QCOMPARE(running.claim(), Claim::First);
    int cameForward = 0;
    running.onAnotherStart = [&cameForward] { ++cameForward; };
    std::future<Claim> second = startAgain(folder_);
    // This thread waits without running its loop.
    QCOMPARE(second.wait_for(20s), std::future_status::ready);
    QCOMPARE(second.get(), Claim::OtherSilent);
    // Once the loop runs again the copy answers the next start. (The start that gave up may
    // bring it forward then too: on Windows its request was taken while the loop stood still.)
    QTest::qWait(100);
    std::future<Claim> third = startAgain(folder_);
    QTRY_VERIFY_WITH_TIMEOUT(ready(third), 10000);
    QCOMPARE(third.get(), Claim::OtherCameForward);
    QVERIFY(cameForward >= 1);
}

// A copy that is ending has let its semaphores go a moment before its mutex; a start in that
// moment finds the mutex but nobody to ask. Once the mutex is gone too the claim is free, and
// the start runs instead of reporting a copy that does not answer.
void SingleInstanceTest::holderEndingWhileAskedLeavesTheClaimFree() {
#ifndef _WIN32
    QSKIP("the Windows claim's own moment between its mutex and its semaphores; on Linux one socket "
          "is the claim and the way to ask");
#else
    const std::wstring name = L"Local\\" + SingleInstance::nameFor(folder_).toStdWString();
    ::SetLastError(ERROR_SUCCESS);
    HANDLE ending = ::CreateMutexW(nullptr, FALSE, name.c_str());
    const DWORD made = ::GetLastError();
    QVERIFY(ending);
    QCOMPARE(made, DWORD(ERROR_SUCCESS));
    std::thread end([ending] {
        std::this_thread::sleep_for(300ms);
        ::CloseHandle(ending);
    });
    SingleInstance next(folder_);
    const auto started = std::chrono::steady_clock::now();
    const Claim claim = next.claim();
    const auto took = std::chrono::steady_clock::now() - started;
    end.join();
    QCOMPARE(claim, Claim::First);
    QVERIFY2(took < 2s, qPrintable(QStringLiteral("%1 ms").arg(
                            std::chrono::duration_cast<std::chrono::milliseconds>(took).count())));
    // And it holds the claim now: a start after it comes to it.
    int cameForward = 0;
    next.onAnotherStart = [&cameForward] { ++cameForward; };
    std::future<Claim> third = startAgain(folder_);
    QTRY_VERIFY_WITH_TIMEOUT(ready(third), 10000);
    QCOMPARE(third.get(), Claim::OtherCameForward);
    QCOMPARE(cameForward, 1);
#endif
}

QTEST_MAIN(SingleInstanceTest)
#include "single_instance.moc"
