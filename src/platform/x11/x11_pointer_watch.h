#pragma once
// Tells once when the pointer moves, so that a program following the pointer can sleep while it
// rests. A motion of any pointing device shows as XInput 2 raw motion, which a client may watch
// on the root window whoever has grabbed the pointer; a program that warps the pointer (xdotool
// does) moves no device, and only the pointer's crossing into or out of the watched window's
// frame shows it. Works over a connection of its own, read from the program's event loop, so
// that nothing it hears wakes Qt.
#include "platform/desktop.h"
#include <functional>
#include <memory>

class QSocketNotifier;
struct _XDisplay;

namespace platform::x11 {

class PointerWatch {
public:
    using BrokenTest = bool (*)(_XDisplay*);
    // Takes the connection (opened for it alone) and closes it when destroyed, unless broken()
    // says it broke. nullptr, the connection closed, when the server lacks XInput 2 or no event
    // loop runs.
    static std::unique_ptr<PointerWatch> over(_XDisplay* display, BrokenTest broken);
    ~PointerWatch();
    PointerWatch(const PointerWatch&) = delete;
    PointerWatch& operator=(const PointerWatch&) = delete;

    // Calls moved at the next move (see above), once. False when the pointer is no longer at
    // restingAt, or the connection broke: moved is then never called.
    bool arm(Point restingAt, unsigned long window, std::function<void()> moved);
    void disarm();

private:
    PointerWatch(_XDisplay* display, int inputOpcode, BrokenTest broken);
    void listen(unsigned long window);
    // Drains the events that came; true when one of them was a move.
    bool movesArrived();
    void eventsArrived();

    _XDisplay* display_;
    int inputOpcode_;
    BrokenTest broken_;
    unsigned long root_;
    // The watched window's top-level ancestor: the window manager's frame, or the window itself.
    unsigned long frame_ = 0;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> moved_;
};

} // namespace platform::x11
