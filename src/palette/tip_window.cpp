#include "palette/tip_window.h"
#include "controls/color.h"
#include "controls/controls.h"
#include "palette/tip_preview.h"
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

namespace palette {

TipWindow::TipWindow(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setMargin(4);
    setFont(controls::pGothicFont(9));
    setAutoFillBackground(true);
    applyColors();
    delay_.setSingleShot(true);
    delay_.setInterval(kInitialDelayMs);
    connect(&delay_, &QTimer::timeout, this, [this] {
        // Still resting on the button when the delay is over?
        if (pending_ && pending_->isVisible() &&
            pending_->rect().contains(pending_->mapFromGlobal(QCursor::pos())))
            showFor(pending_);
    });
}

void TipWindow::setMaxTipWidth(int pixels) {
    maxWidth_ = pixels;
}

void TipWindow::setTipBackColor(std::uint32_t bgr) {
    backColor_ = bgr;
    applyColors();
}

void TipWindow::setTipTextColor(std::uint32_t bgr) {
    textColor_ = bgr;
    applyColors();
}

void TipWindow::applyColors() {
    QPalette pal = palette();
    pal.setColor(QPalette::Window, controls::fromColorRef(backColor_));
    pal.setColor(QPalette::WindowText, controls::fromColorRef(textColor_));
    setPalette(pal);
}

void TipWindow::addTool(QWidget* button, const QString& text) {
    if (!tools_.contains(button)) {
        button->installEventFilter(this);
        connect(button, &QObject::destroyed, this, [this, button] { tools_.remove(button); });
    }
    tools_.insert(button, text);
    if (current_ == button && isVisible()) {
        if (text.isEmpty())
            hide();
        else
            showFor(button);
    }
}

bool TipWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* button = qobject_cast<QWidget*>(watched);
    if (!button || !tools_.contains(button))
        return false;
    switch (event->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
        if (current_ != button || !isVisible()) {
            pending_ = button;
            delay_.start();
        }
        break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
        delay_.stop();
        if (current_ == button)
            hide();
        break;
    default:
        break;
    }
    return false;
}

void TipWindow::showFor(QWidget* button) {
    const QString text = tools_.value(button);
    current_ = button;
    if (text.isEmpty()) {
        hide();
        return;
    }
    // A tip shows lines as the piece has them; a huge piece only its corner (laying out
    // megabytes would freeze the palette).
    setText(tipPreview(text));
    setWordWrap(false);
    QSize size = sizeHint();
    if (size.width() > maxWidth_) {
        setWordWrap(true);
        setFixedWidth(maxWidth_);
        size = QSize(maxWidth_, heightForWidth(maxWidth_));
    } else {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
    }
    resize(size);
    QPoint pos = QCursor::pos() + QPoint(12, 18);
    if (QScreen* screen = button->screen()) {
        const QRect area = screen->availableGeometry();
        pos.setX(std::max(area.left(), std::min(pos.x(), area.right() - size.width())));
        if (pos.y() + size.height() > area.bottom())
            pos.setY(QCursor::pos().y() - size.height() - 4);
    }
    move(pos);
    show();
    raise();
}

} // namespace palette
