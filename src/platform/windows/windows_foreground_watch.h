#pragma once
// Tells when the foreground window may have changed, from Windows' EVENT_SYSTEM_FOREGROUND.
#include <functional>
#include <memory>

class QObject;

namespace platform::windows {

class ForegroundWatch {
public:
    // An out-of-context WinEvent hook of the calling thread: Windows hands its events to the
    // thread's message loop (Qt's event loop pumps it), and they are passed on from the event
    // loop, after the message that brought them (with no QCoreApplication, at once). One watch
    // a process; nullptr when the hook cannot be set or another watch lives.
    static std::unique_ptr<ForegroundWatch> start(std::function<void()> mayHaveChanged);
    ~ForegroundWatch();
    ForegroundWatch(const ForegroundWatch&) = delete;
    ForegroundWatch& operator=(const ForegroundWatch&) = delete;

    // Replaces the function called.
    void tell(std::function<void()> mayHaveChanged) { mayHaveChanged_ = std::move(mayHaveChanged); }
    // From the hook's callback.
    void foregroundChangedForHook();

private:
    explicit ForegroundWatch(std::function<void()> mayHaveChanged);
    void passOn();

    void* hook_ = nullptr; // HWINEVENTHOOK
    std::function<void()> mayHaveChanged_;
    // Queued calls die with it.
    std::unique_ptr<QObject> context_;
    bool queued_ = false;
};

} // namespace platform::windows
