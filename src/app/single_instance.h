#pragma once
// One running copy per collection. Two copies on the same files would overwrite each other's
// saves, so a second start on the same folder asks the running copy to come forward and ends.
//
// The claim is a listening local socket in Linux's abstract namespace, named after the user and
// the folder: the kernel frees the name the moment its holder ends, however it ends (SIGKILL, a
// crash), so no stale lock can ever block a start, and no file has to be written into the
// collection's folder (which may be read-only). Taking the name is atomic, so of two copies
// started at once exactly one wins; the same socket carries the request to come forward.
// Plain sockets and Qt's socket notifier: Qt's network module would cost every start-up a
// dozen more libraries to load.
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,            // this copy runs; the others come to it
        OtherCameForward, // a copy runs on these files and has been asked to come forward
        OtherSilent,      // a copy holds the files but did not answer in time
    };

    explicit SingleInstance(const std::filesystem::path& folder);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Claim claim();
    // Runs on the first copy when another start asks for it.
    std::function<void()> onAnotherStart;

    // The socket's name for this user and folder (the same folder reached by another path too).
    static QString nameFor(const std::filesystem::path& folder);

private:
    enum class Ask { Answered, Silent, Refused };
    Ask askHolder() const;
    void acceptCallers();
    void readFrom(int caller);
    void hangUp(int caller);

    std::string name_;
    int listening_ = -1;
    std::unique_ptr<QSocketNotifier> listeningNotifier_;
    struct Caller {
        std::unique_ptr<QSocketNotifier> notifier;
        std::string received;
    };
    std::map<int, Caller> callers_;
};
