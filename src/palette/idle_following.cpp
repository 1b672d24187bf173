// How the palette follows the desktop while nothing happens: on the desktop's notices where it
// gives them, so that an idle palette wakes only when the clock's text changes; on the timers
// where it does not. What each tick does is in palette_window.cpp.
#include "links/window_links.h"
#include "palette/palette_window.h"
#include <QEvent>
#include <QTime>
#include <algorithm>

namespace {
// The clock's text changes as the second turns; the tick comes just after, so that the clock
// reads the new second even when the timer fires a little early.
constexpr int kAfterTheSecondMs = 5;
// Showing the date alone, the clock ticks at midnight, and at least this often: a clock set by
// hand, a new time zone or a machine waking from sleep (the event loop's timers do not count the
// time asleep) shows the right date within a minute.
constexpr int kDateRecheckMs = 60000;
constexpr int kMsPerSecond = 1000;
constexpr int kShowsDate = 0;
constexpr int kShowsNothing = -1;
} // namespace

PaletteWindow::~PaletteWindow() {
    // The desktop outlives the palette: its notices must not reach it afterwards.
    state_.desktop.watchForeground(nullptr);
    state_.desktop.cancelPointerNotice();
}

void PaletteWindow::clockTimerFired() {
    clockTick();
    scheduleClockTick();
}

void PaletteWindow::scheduleClockTick() {
    const QTime now = QTime::currentTime();
    const int shows = state_.links->clockShows();
    // With a dialog open the topmost upkeep rides on the tick, and the clock's mode may change.
    const bool everySecond =
        (shows != kShowsDate && shows != kShowsNothing) || state_.links->dialogCoversPalette();
    int next = kMsPerSecond - now.msec() + kAfterTheSecondMs;
    if (!everySecond) {
        const int untilMidnight = now.msecsTo(QTime(23, 59, 59, 999)) + 1;
        next = std::min(untilMidnight + kAfterTheSecondMs, kDateRecheckMs);
    }
    clockTimer->start(next);
}

void PaletteWindow::foregroundTimerFired() {
    trackTargetWindow();
    // The timer takes the first look; from then on the desktop tells of each change.
    if (foregroundNotices_)
        foregroundTimer->stop();
}

void PaletteWindow::dialogShownOrHidden() {
    // Run once the show or hide is done, when the dialogs' visibility reads as it ends up.
    dialogsChanged_->start();
}

void PaletteWindow::followPointer() {
    autoHideTick();
    const bool rests = previousPointer_ && *previousPointer_ == lastPointer_;
    previousPointer_ = lastPointer_;
    // While a dialog is open its options may change under a resting pointer; the next tick
    // shows them, as it does without notices.
    if (!rests || state_.links->dialogCoversPalette())
        return;
    if (state_.desktop.notifyWhenPointerMoves(lastPointer_, handle(), [this] { pointerMoved(); })) {
        autoHideTimer->stop();
        pointerResting_ = true;
    }
}

void PaletteWindow::pointerMoved() {
    pointerResting_ = false;
    previousPointer_.reset();
    autoHideTick();
    autoHideTimer->start();
}

void PaletteWindow::wakePointerFollowing() {
    if (!pointerResting_)
        return;
    pointerResting_ = false;
    previousPointer_.reset();
    state_.desktop.cancelPointerNotice();
    autoHideTimer->start();
}

bool PaletteWindow::event(QEvent* event) {
    switch (event->type()) {
    // The palette moved or changed under a resting pointer (a window manager that restarts
    // frames it anew), or the pointer crossed its edge without moving a device (a warp).
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
    case QEvent::Show:
    case QEvent::Enter:
    case QEvent::Leave:
        wakePointerFollowing();
        break;
    default:
        break;
    }
    return controls::Window::event(event);
}
