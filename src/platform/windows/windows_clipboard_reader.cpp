#include "platform/windows/windows_clipboard_reader.h"
#include "platform/windows/win32.h"
#include "platform/windows/windows_clipboard_formats.h"
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace platform::windows {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A program holds the clipboard open only while it sets or reads it, well under a millisecond
// for text and a few for a big picture; asking again this often finds it free soon after,
// without spinning.
constexpr auto kOpenRetryInterval = 2ms;

// What the reading thread has taken so far; the caller may give up waiting before it ends.
struct Reading {
    std::mutex lock;
    ClipboardSnapshot taken;
    bool opened = false;
    bool finished = false;
    bool abandoned = false;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Reading() {
        if (done)
            CloseHandle(done);
    }
};

std::optional<std::string> globalBytes(HANDLE data) {
    const SIZE_T size = GlobalSize(data);
    const void* p = GlobalLock(data);
    if (!p)
        return std::nullopt;
    std::string bytes(static_cast<const char*>(p), size);
    GlobalUnlock(data);
    return bytes;
}

void read(const std::shared_ptr<Reading>& reading, Clock::time_point deadline) {
    auto givenUp = [&] {
        std::lock_guard hold(reading->lock);
        return reading->abandoned;
    };
    // The clipboard opened without a window: nothing is set, only read.
    bool opened = false;
    while (!(opened = OpenClipboard(nullptr)) && Clock::now() < deadline && !givenUp())
        std::this_thread::sleep_for(kOpenRetryInterval);
    if (opened) {
        {
            std::lock_guard hold(reading->lock);
            reading->opened = true;
        }
        std::set<std::string> taken;
        for (UINT format = EnumClipboardFormats(0); format != 0 && !givenUp();
             format = EnumClipboardFormats(format)) {
            // The first format of a name is the one kept: CF_DIB or CF_DIBV5, whichever the owner
            // gave (Windows lists what it makes of them after them), or the registered "image/bmp"
            // that Qt adds beside a DIB the program gave back (the same file).
            auto name = snapshotNameOf(format);
            if (!name || taken.contains(*name))
                continue;
            // Renders the format first when its owner set it as delayed (WM_RENDERFORMAT).
            HANDLE data = GetClipboardData(format);
            auto bytes = data ? globalBytes(data) : std::nullopt;
            if (!bytes)
                continue;
            taken.insert(*name);
            std::lock_guard hold(reading->lock);
            reading->taken.formats.push_back({std::move(*name), snapshotBytesOf(format, *bytes)});
        }
        CloseClipboard();
    }
    std::lock_guard hold(reading->lock);
    reading->finished = true;
    SetEvent(reading->done);
}

} // namespace

ClipboardSnapshot readClipboard(int boundMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(0, boundMs));
    auto reading = std::make_shared<Reading>();
    if (!reading->done)
        return {{}, false};
    // The thread keeps its own share: when the bound passes first it ends on its own, later.
    std::thread(read, reading, deadline).detach();
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const DWORD wait = left.count() > 0 ? DWORD(left.count()) : 0;
        // Wakes for the messages other threads send this one (an owner's answer goes through
        // them when the owner is this thread: Qt's clipboard), never for posted or input ones.
        const DWORD woke = MsgWaitForMultipleObjectsEx(1, &reading->done, wait, QS_SENDMESSAGE, 0);
        if (woke == WAIT_OBJECT_0 + 1) {
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        std::lock_guard hold(reading->lock);
        if (!reading->finished) {
            reading->abandoned = true;
            ClipboardSnapshot partial = reading->taken;
            partial.complete = false;
            return partial;
        }
        ClipboardSnapshot whole = std::move(reading->taken);
        whole.complete = reading->opened;
        return whole;
    }
}

} // namespace platform::windows
