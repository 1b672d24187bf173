#include "app/single_instance.h"
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QWinEventNotifier>
#include <algorithm>
#include <chrono>
#include <thread>
#include <windows.h>

namespace {
// How long a second start waits for the running copy to come forward. A copy that is busy
// saving answers when its event loop runs again, well within this.
constexpr std::chrono::milliseconds kAnswerBound{3000};
// A copy that has just made the mutex makes its semaphores a moment later; a second start that
// comes in between looks again at this interval.
constexpr std::chrono::milliseconds kHolderStartingPoll{20};
// While it waits for the answer, a start looks this often whether the copy it asked has ended.
constexpr std::chrono::milliseconds kHolderEndedPoll{100};
// A copy that ends lets its semaphores go a moment before its mutex: a start in that moment
// finds nobody to ask, and the claim free a moment later. It claims again, a few times at most.
constexpr int kClaimRounds = 3;
// Far more requests than can ever wait at once.
constexpr LONG kMostRequests = 1024;

std::wstring kernelObjectName(const std::wstring& name, const wchar_t* part) {
    // "Local\" is the namespace of the user's own session: another session's copies are apart.
    return L"Local\\" + name + part;
}

void closeHandle(void*& handle) {
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

// Whether the mutex of that name is gone: its holder has ended (the kernel closes a process's
// handles however it ends). Another user's mutex is there, though this user may not open it.
bool mutexGone(const std::wstring& name) {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
    if (mutex) {
        CloseHandle(mutex);
        return false;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}
} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& folder, const std::filesystem::path&)
    : name_(nameFor(folder).toStdWString()) {}

SingleInstance::~SingleInstance() {
    requestNotifier_.reset();
    closeHandle(requests_);
    closeHandle(answers_);
    closeHandle(mutex_);
}

QString SingleInstance::nameFor(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, error);
    if (error)
        canonical = folder.lexically_normal();
    // Windows names files without regard to case: C:\Tools\ぴこめ and c:\tools\ぴこめ are one folder.
    const QString path = QDir::toNativeSeparators(QFileInfo(canonical).filePath()).toLower();
    const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("pikome-%1").arg(QString::fromLatin1(digest.toHex().left(32)));
}

std::filesystem::path SingleInstance::userRuntimeFolder() {
    return {};
}

SingleInstance::Claim SingleInstance::claim() {
    for (int round = 1;; ++round) {
        SetLastError(ERROR_SUCCESS);
        mutex_ = CreateMutexW(nullptr, FALSE, kernelObjectName(name_, L"").c_str());
        if (!mutex_) {
            // Another user's copy in this session (started with "run as") holds the name, and its
            // objects are closed to this user: this copy runs unguarded rather than not at all.
            takenByAnotherUser_ = GetLastError() == ERROR_ACCESS_DENIED;
            return Claim::First;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
        closeHandle(mutex_);
        const Claim asked = askHolder();
        if (asked != Claim::First || round == kClaimRounds)
            return asked == Claim::First ? Claim::OtherSilent : asked;
        // The copy ended before it answered: the claim is free.
    }
    requests_ =
        CreateSemaphoreW(nullptr, 0, kMostRequests, kernelObjectName(name_, L"-come-forward").c_str());
    answers_ = CreateSemaphoreW(nullptr, 0, kMostRequests, kernelObjectName(name_, L"-came-forward").c_str());
    if (requests_ && answers_) {
        requestNotifier_ = std::make_unique<QWinEventNotifier>(requests_);
        // The wait that wakes the notifier takes one request from the semaphore.
        QObject::connect(requestNotifier_.get(), &QWinEventNotifier::activated, this,
                         [this] { answerRequests(); });
    }
    return Claim::First;
}

void SingleInstance::answerRequests() {
    // Requests that came together are all carried out by one coming forward.
    LONG more = 0;
    while (WaitForSingleObject(requests_, 0) == WAIT_OBJECT_0)
        ++more;
    if (onAnotherStart)
        onAnotherStart();
    ReleaseSemaphore(answers_, more + 1, nullptr);
}

// OtherCameForward or OtherSilent; First when the copy that held the mutex has ended, so that
// the claim is to be made again.
SingleInstance::Claim SingleInstance::askHolder() {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerBound;
    const std::wstring mutexName = kernelObjectName(name_, L"");
    HANDLE requests = nullptr;
    HANDLE answers = nullptr;
    auto done = [&](Claim claim) {
        if (requests)
            CloseHandle(requests);
        if (answers)
            CloseHandle(answers);
        return claim;
    };
    while (!requests || !answers) {
        if (!requests)
            requests = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE | SYNCHRONIZE, FALSE,
                                      kernelObjectName(name_, L"-come-forward").c_str());
        if (!answers)
            answers = OpenSemaphoreW(SYNCHRONIZE, FALSE, kernelObjectName(name_, L"-came-forward").c_str());
        if (requests && answers)
            break;
        // Not made yet (the copy is starting), or let go already (it is ending).
        if (mutexGone(mutexName))
            return done(Claim::First);
        if (std::chrono::steady_clock::now() >= deadline)
            return done(Claim::OtherSilent);
        std::this_thread::sleep_for(kHolderStartingPoll);
    }
    // This start came from the user, so Windows lets it hand the right to take the foreground
    // on: the running copy may then come forward.
    AllowSetForegroundWindow(ASFW_ANY);
    ReleaseSemaphore(requests, 1, nullptr);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto slice = std::clamp(left, std::chrono::milliseconds(0), kHolderEndedPoll);
        if (WaitForSingleObject(answers, DWORD(slice.count())) == WAIT_OBJECT_0)
            return done(Claim::OtherCameForward);
        if (mutexGone(mutexName)) {
            // Nobody will carry the request out: it is taken back, lest a copy that makes these
            // objects anew (while this start still holds them open) take it for a start.
            WaitForSingleObject(requests, 0);
            return done(Claim::First);
        }
        if (left.count() <= 0)
            return done(Claim::OtherSilent);
    }
}
