#pragma once
// A top-level window of the program. Left, Top, Width and Height are in twips and describe the
// outer frame, caption and border included, as the user sees the window; the frame's size
// comes from the window manager once the window is mapped and from the desktop's prediction
// before that. Setting the width or height runs the resize handler at once, as a size change
// by the user does; a close request can be refused and turned into hiding. Its tab order follows
// where its controls stand (controls/focus.h), and Escape asks it to close, as the close box does.
#include "platform/desktop.h"
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

namespace controls {

enum class WindowState { Normal, Minimized, Maximized };

class Window : public QWidget {
    Q_OBJECT
public:
    Window(platform::Desktop& desktop, const QString& caption, int clientWidthTwips, int clientHeightTwips);

    int leftTwips() const;
    int topTwips() const;
    int widthTwips() const;
    int heightTwips() const;
    void setLeftTwips(int twips);
    void setTopTwips(int twips);
    void setWidthTwips(int twips);
    void setHeightTwips(int twips);
    // A window being restored from maximized counts as maximized until the window manager has
    // given it back its normal size.
    WindowState windowState() const;
    platform::WindowHandle handle();
    // Pixels the window manager's frame adds on each side (predicted until the window is framed).
    platform::FrameExtents frame() const;
    // The window manager has set the window's frame: a place and a width set before it was
    // known are taken again now (the checks after showing may all come before a slow manager).
    // The first notice comes right after mapping: a check made before it may have seen the
    // window before the manager moved it into its frame, so both are checked again then.
    void frameArrived();
    // A window less than half of which lies in the desktop's work area (a position stored on a
    // larger screen), or that leaves one of its controls wholly outside it (out of reach), is
    // moved just inside it; any other window stays exactly where it is.
    void keepMostlyInWorkArea();
    // The window still stands where keepMostlyInWorkArea() moved it: its place was the program's
    // doing, not the user's, and the place it was given before is still the one to keep.
    bool standsWhereMovedInToBeSeen() const;

    // Runs after every change of size or window state, by the user or by code.
    std::function<void()> onResize;
    // Return true to refuse the close; the window then stays (typically the handler hides it).
    std::function<bool()> onCloseRequest;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool frameKnown() const;
    QRect outerRect() const;
    void moveFrameTo(int xPixels, int yPixels);
    bool leavesAControlOutside(const QRect& area) const;
    void correctPlacement();
    void resizeClient(const QSize& size);
    void runResizeHandler();
    platform::Desktop& desktop_;
    bool placedByCode_ = false;
    QPoint wantedFramePos_;
    std::optional<QPoint> movedInTo_;
    bool correctPending_ = false;
    int wantedFrameWidth_ = 0;
    bool widthPending_ = false;
    bool widthSetByCode_ = false;
    bool frameArrivedOnce_ = false;
    bool shownOnce_ = false;
    // The size the resize handler last ran for, so that one change never runs it twice.
    QSize handledSize_;
    // Runs the resize handler for the size the window has now.
    void handleSize();
    void endRestore();
    // The size the handler last ran for in the normal state; whether a restore from maximized
    // still waits for the window manager to change the size it had then.
    QSize normalSize_;
    bool restoring_ = false;
    QSize restoredFrom_;
    QTimer restoreBound_;
    // How long a restore may wait for the window manager's new size. openbox sends it right
    // after the new state; a window manager that keeps the maximized size sends none.
    static constexpr int kRestoreBoundMs = 1000;
};

} // namespace controls
