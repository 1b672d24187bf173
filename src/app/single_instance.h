#pragma once
// One running copy per collection. Two copies on the same files would overwrite each other's
// saves, so a second start on the same folder asks the running copy to come forward and ends.
//
// The claim is a listening local socket named after the folder. It lives in the user's runtime
// folder ($XDG_RUNTIME_DIR) when that folder is the user's alone: no other user can make or
// take a name there. Without one, it is a name in Linux's abstract namespace, which any local
// user can see and take: there the start asks the holder who it is, and a holder that is not
// the same user never stops a start. Either claim is freed with its holder however it ends
// (SIGKILL, a crash): the kernel frees an abstract name at once, and a socket file nobody
// listens on any more is replaced by the next start. Taking a claim is atomic, so of two copies
// started at once exactly one wins; the same socket carries the request to come forward.
// Plain sockets and Qt's socket notifier: Qt's network module would cost every start-up a
// dozen more libraries to load.
//
// On Windows the claim is a named mutex in the session's own namespace, and requests to come
// forward go through two named semaphores beside it (single_instance_windows.cpp): the kernel
// frees them with their holder however it ends, and another user's objects cannot be opened.
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#ifdef _WIN32
class QWinEventNotifier;
#else
#include <QSocketNotifier>
#include <sys/socket.h>
#include <sys/un.h>
#endif

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,            // this copy runs; the others come to it
        OtherCameForward, // a copy runs on these files and has been asked to come forward
        OtherSilent,      // a copy holds the files but did not answer in time
    };

    // runtimeFolder: where the user's own claims go; used only when it is a folder of this
    // user's that no one else may enter.
    explicit SingleInstance(const std::filesystem::path& folder,
                            const std::filesystem::path& runtimeFolder = userRuntimeFolder());
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Claim claim();
    // Runs on the first copy when another start asks for it.
    std::function<void()> onAnotherStart;
    // True after claim() when another user held the abstract name: this copy runs unclaimed.
    bool claimTakenByAnotherUser() const { return takenByAnotherUser_; }

    // The abstract name for this user and folder (the same folder reached by another path too).
    static QString nameFor(const std::filesystem::path& folder);
    // $XDG_RUNTIME_DIR, empty when unset.
    static std::filesystem::path userRuntimeFolder();

private:
#ifdef _WIN32
    Claim askHolder();
    void answerRequests();

    std::wstring name_;
    void* mutex_ = nullptr;    // held while this copy runs: the claim
    void* requests_ = nullptr; // released once by each start that asks this copy to come forward
    void* answers_ = nullptr;  // released once by this copy for each request it has carried out
    bool takenByAnotherUser_ = false;
    std::unique_ptr<QWinEventNotifier> requestNotifier_;
#else
    enum class Ask { Answered, Silent, Refused };
    struct Address {
        sockaddr_un address{};
        socklen_t length = 0;
    };
    Claim claimInRuntimeFolder();
    Claim claimAbstractName();
    enum class Listen {
        Listening,  // this copy now holds the claim
        Taken,      // someone holds it, or a socket file nobody listens on is in the way
        Impossible, // no socket could be made, or the place refuses sockets
    };
    Listen listenAt(const Address& address);
    // A connection to whoever listens there, -1 when nobody does.
    static int connectTo(const Address& address);
    // Asks the holder at the other end of the connection to come forward; closes it.
    static Ask askOver(int holder);
    void acceptCallers();
    void readFrom(int caller);
    void hangUp(int caller);

    std::string name_;
    std::filesystem::path socketFile_; // empty: no private runtime folder
    std::filesystem::path lockFile_;
    bool takenByAnotherUser_ = false;
    int listening_ = -1;
    bool listeningInRuntimeFolder_ = false;
    std::unique_ptr<QSocketNotifier> listeningNotifier_;
    struct Caller {
        std::unique_ptr<QSocketNotifier> notifier;
        std::string received;
    };
    std::map<int, Caller> callers_;
#endif
};
