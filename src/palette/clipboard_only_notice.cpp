#include "palette/clipboard_only_notice.h"
#include "controls/controls.h"
#include <QGuiApplication>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

namespace palette {

namespace {
// Room between the palette's frame and the note.
constexpr int kGapPixels = 8;
constexpr int kWidthPixels = 300;
} // namespace

void ClipboardOnlyNotice::showOnce(QWidget* palette) {
    // The note, once made, lives as long as the palette: its being there is the record that it
    // was shown.
    if (palette->findChild<ClipboardOnlyNotice*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    auto* notice = new ClipboardOnlyNotice(palette);
    notice->placeBeside(palette);
    notice->show();
    notice->hideTimer_.start();
}

ClipboardOnlyNotice::ClipboardOnlyNotice(QWidget* palette)
    // A tool tip's kind of window: above the others, no frame, never activated.
    : QLabel(palette, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Named like the program's other windows, for window lists and screen readers.
    setWindowTitle(QStringLiteral("ぴこめ　お知らせ"));
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setMargin(6);
    setFont(controls::pGothicFont(9));
    setPalette(QToolTip::palette());
    setAutoFillBackground(true);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setText(QStringLiteral(
        "Wayland のウィンドウには直接貼り付けできません。"
        "クリップボードにコピーしましたので、貼り付けたいウィンドウで Ctrl+V を押してください。"));
    setFixedWidth(kWidthPixels);
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(kShownMs);
    connect(&hideTimer_, &QTimer::timeout, this, &QWidget::hide);
}

void ClipboardOnlyNotice::placeBeside(const QWidget* palette) {
    adjustSize();
    const QRect frame = palette->frameGeometry();
    const QScreen* screen = palette->screen() ? palette->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(frame.topLeft(), size());
    // Right of the palette, or left of it when the screen ends there; never off the screen.
    int x = frame.right() + 1 + kGapPixels;
    if (x + width() > area.right() + 1)
        x = frame.left() - kGapPixels - width();
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() + 1 - width()));
    const int y = std::clamp(frame.top(), area.top(), std::max(area.top(), area.bottom() + 1 - height()));
    move(x, y);
}

void ClipboardOnlyNotice::mousePressEvent(QMouseEvent*) {
    hideTimer_.stop();
    hide();
}

} // namespace palette
