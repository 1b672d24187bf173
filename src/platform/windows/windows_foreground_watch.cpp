#include "platform/windows/windows_foreground_watch.h"
#include "platform/windows/win32.h"
#include <QCoreApplication>
#include <QObject>

namespace platform::windows {

namespace {

// A WINEVENTPROC carries no pointer of ours: the one watch a process is found here. Only the
// thread that set the hook receives its events, so no lock is needed.
ForegroundWatch* activeWatch = nullptr;

void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD) {
    if (event == EVENT_SYSTEM_FOREGROUND && activeWatch)
        activeWatch->foregroundChangedForHook();
}

} // namespace

std::unique_ptr<ForegroundWatch> ForegroundWatch::start(std::function<void()> mayHaveChanged) {
    if (activeWatch)
        return nullptr;
    std::unique_ptr<ForegroundWatch> watch(new ForegroundWatch(std::move(mayHaveChanged)));
    // Every process's windows, this one's too: the palette's own dialogs take the foreground.
    watch->hook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, &onWinEvent, 0,
                                   0, WINEVENT_OUTOFCONTEXT);
    if (!watch->hook_)
        return nullptr;
    activeWatch = watch.get();
    return watch;
}

ForegroundWatch::ForegroundWatch(std::function<void()> mayHaveChanged)
    : mayHaveChanged_(std::move(mayHaveChanged)), context_(std::make_unique<QObject>()) {}

ForegroundWatch::~ForegroundWatch() {
    if (hook_)
        UnhookWinEvent(static_cast<HWINEVENTHOOK>(hook_));
    if (activeWatch == this)
        activeWatch = nullptr;
}

void ForegroundWatch::foregroundChangedForHook() {
    // The hook's events come whenever the thread looks at its messages, also from inside a
    // message Qt is handling (Qt peeks for the WM_CHAR behind a key): the program hears of them
    // from the event loop itself, once for a burst.
    if (!QCoreApplication::instance()) {
        passOn();
        return;
    }
    if (queued_)
        return;
    queued_ = true;
    QMetaObject::invokeMethod(
        context_.get(), [this] { passOn(); }, Qt::QueuedConnection);
}

void ForegroundWatch::passOn() {
    queued_ = false;
    // Copied first: the handler may replace or end the watch while it runs.
    const auto mayHaveChanged = mayHaveChanged_;
    if (mayHaveChanged)
        mayHaveChanged();
}

} // namespace platform::windows
