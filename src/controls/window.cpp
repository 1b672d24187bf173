#include "controls/window.h"
#include "controls/focus.h"
#include "controls/twips.h"
#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <algorithm>

namespace controls {

namespace {
constexpr Qt::WindowStates kFullSize = Qt::WindowMaximized | Qt::WindowFullScreen;
} // namespace

Window::Window(platform::Desktop& desktop, const QString& caption, int clientWidthTwips,
               int clientHeightTwips)
    : QWidget(nullptr), desktop_(desktop) {
    setWindowTitle(caption);
    resize(std::max(1, toPixels(clientWidthTwips)), std::max(1, toPixels(clientHeightTwips)));
    // The size the window is made with is no change of size.
    handledSize_ = size();
    normalSize_ = size();
    restoreBound_.setSingleShot(true);
    restoreBound_.setInterval(kRestoreBoundMs);
    // A restore that brings no new size (a window manager that keeps it) is over all the same.
    connect(&restoreBound_, &QTimer::timeout, this, [this] {
        endRestore();
        handleSize();
    });
}

bool Window::frameKnown() const {
    if (!shownOnce_)
        return false;
    const QWindow* window = windowHandle();
    if (window && !window->frameMargins().isNull())
        return true;
    return frameGeometry() != geometry();
}

QRect Window::outerRect() const {
    if (frameKnown()) {
        // The window's margins are fresher than QWidget::frameGeometry(), which Qt updates
        // only on the next move or resize after the window manager reports its frame.
        const QWindow* window = windowHandle();
        if (window && !window->frameMargins().isNull())
            return geometry().marginsAdded(window->frameMargins());
        return frameGeometry();
    }
    const platform::FrameExtents f = desktop_.predictedFrameExtents();
    const QRect client = geometry();
    const QPoint topLeft =
        placedByCode_ ? wantedFramePos_ : QPoint(client.left() - f.left, client.top() - f.top);
    return QRect(topLeft, QSize(client.width() + f.left + f.right, client.height() + f.top + f.bottom));
}

platform::FrameExtents Window::frame() const {
    if (!frameKnown())
        return desktop_.predictedFrameExtents();
    const QRect outer = outerRect();
    const QRect client = geometry();
    return {client.left() - outer.left(), outer.right() - client.right(), client.top() - outer.top(),
            outer.bottom() - client.bottom()};
}

int Window::leftTwips() const {
    return toTwips(outerRect().left());
}

int Window::topTwips() const {
    return toTwips(outerRect().top());
}

int Window::widthTwips() const {
    return toTwips(outerRect().width());
}

int Window::heightTwips() const {
    return toTwips(outerRect().height());
}

void Window::setLeftTwips(int twips) {
    moveFrameTo(toPixels(twips), outerRect().top());
}

void Window::setTopTwips(int twips) {
    moveFrameTo(outerRect().left(), toPixels(twips));
}

void Window::setWidthTwips(int twips) {
    // Set before the window manager has framed the window, the width is taken again once it
    // has: its frame may not be the one predicted (fluxbox never answers the question).
    widthPending_ = !frameKnown();
    widthSetByCode_ = widthPending_;
    wantedFrameWidth_ = toPixels(twips);
    const platform::FrameExtents f = frame();
    // A zero width would make Qt hide the window.
    resizeClient(QSize(std::max(1, toPixels(twips) - f.left - f.right), height()));
}

void Window::setHeightTwips(int twips) {
    const platform::FrameExtents f = frame();
    resizeClient(QSize(width(), std::max(1, toPixels(twips) - f.top - f.bottom)));
}

void Window::resizeClient(const QSize& size) {
    if (size == this->size())
        return;
    resize(size);
    // A shown window got its resizeEvent inside resize(); a hidden one only gets it when it is
    // shown, but the handler runs now, as for a size change by the user.
    runResizeHandler();
}

void Window::runResizeHandler() {
    if (size() != handledSize_)
        handleSize();
}

void Window::handleSize() {
    handledSize_ = size();
    if (windowState() == WindowState::Normal)
        normalSize_ = size();
    if (onResize)
        onResize();
}

void Window::moveFrameTo(int xPixels, int yPixels) {
    wantedFramePos_ = QPoint(xPixels, yPixels);
    placedByCode_ = true;
    // move() places the frame once Qt knows it. Before that the window may land with its
    // client area at the point instead, so the position is checked again once it is known.
    correctPending_ = !frameKnown();
    move(wantedFramePos_);
}

void Window::frameArrived() {
    if (!frameArrivedOnce_) {
        frameArrivedOnce_ = true;
        correctPending_ = placedByCode_;
        widthPending_ = widthSetByCode_;
    }
    correctPlacement();
}

void Window::correctPlacement() {
    if (!frameKnown())
        return;
    if (widthPending_) {
        widthPending_ = false;
        const platform::FrameExtents f = frame();
        if (outerRect().width() != wantedFrameWidth_)
            resizeClient(QSize(std::max(1, wantedFrameWidth_ - f.left - f.right), height()));
    }
    if (!correctPending_)
        return;
    correctPending_ = false;
    if (outerRect().topLeft() != wantedFramePos_)
        move(wantedFramePos_);
}

void Window::keepMostlyInWorkArea() {
    // The desktop's work area spans all its screens (on X11, _NET_WORKAREA is one rectangle).
    const platform::Rect work = desktop_.workArea();
    const QRect area(work.left, work.top, work.width, work.height);
    const QRect outer = outerRect();
    if (area.isEmpty() || outer.isEmpty())
        return;
    const QRect inside = outer.intersected(area);
    const qint64 insideArea = qint64(inside.width()) * inside.height();
    if (2 * insideArea >= qint64(outer.width()) * outer.height() && !leavesAControlOutside(area))
        return;
    // Just inside, nearest to where it was; a window larger than the area keeps its top left
    // corner, with the caption, in view.
    const int left = std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width()));
    const int top = std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height()));
    moveFrameTo(left, top);
    movedInTo_ = QPoint(left, top);
}

bool Window::leavesAControlOutside(const QRect& area) const {
    const platform::FrameExtents f = frame();
    const QPoint clientOrigin = outerRect().topLeft() + QPoint(f.left, f.top);
    for (const QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isHidden() || control->isWindow())
            continue;
        // Only the part within the client area can be seen at all.
        const QRect shown = control->geometry().intersected(rect());
        if (!shown.isEmpty() && !shown.translated(clientOrigin).intersects(area))
            return true;
    }
    return false;
}

bool Window::standsWhereMovedInToBeSeen() const {
    return movedInTo_ && outerRect().topLeft() == *movedInTo_;
}

WindowState Window::windowState() const {
    const Qt::WindowStates state = QWidget::windowState();
    if (state & Qt::WindowMinimized)
        return WindowState::Minimized;
    if (state.testAnyFlags(kFullSize) || restoring_)
        return WindowState::Maximized;
    return WindowState::Normal;
}

platform::WindowHandle Window::handle() {
    return platform::WindowHandle(winId());
}

void Window::closeEvent(QCloseEvent* event) {
    if (onCloseRequest && onCloseRequest())
        event->ignore();
    else
        event->accept();
}

void Window::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (restoring_ && size() != restoredFrom_)
        endRestore();
    runResizeHandler();
    correctPlacement();
}

void Window::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    correctPlacement();
}

void Window::keyPressEvent(QKeyEvent* event) {
    // Reached only when no control used the key.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Window::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    constexpr Qt::WindowStates sizing = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if ((change->oldState() & sizing) == (QWidget::windowState() & sizing))
        return;
    if (change->oldState().testAnyFlags(kFullSize) && !QWidget::windowState().testAnyFlags(sizing) &&
        size() != normalSize_) {
        // Restored, but the window manager puts the normal size back only after it has told the
        // new state: until a new size arrives the window keeps counting as maximized, or the
        // rules for a normal window would hold on to the maximized size.
        restoring_ = true;
        restoredFrom_ = size();
        restoreBound_.start();
        return;
    }
    handleSize();
}

void Window::endRestore() {
    restoring_ = false;
    restoreBound_.stop();
}

void Window::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The controls have their places by now, and the text boxes their editors.
    if (!shownOnce_)
        orderTabsByPlace(this);
    shownOnce_ = true;
    if (correctPending_ || widthPending_) {
        // The window manager reports the frame some time after mapping, with or without a
        // move event to go with it; look again a few times.
        for (int delay : {0, 100, 500})
            QTimer::singleShot(delay, this, &Window::correctPlacement);
    }
}

} // namespace controls
