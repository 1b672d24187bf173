#include "controls/color.h"
#include "controls/controls.h"
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <algorithm>

namespace controls {

namespace {

// The fixed colours of the classic 3D look; the face takes the button's own colour.
const QColor kHighlight(0xFF, 0xFF, 0xFF);
const QColor kLight(0xDF, 0xDF, 0xDF);
const QColor kShadow(0x80, 0x80, 0x80);
const QColor kDarkShadow(0x00, 0x00, 0x00);

void drawEdge(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(r.left(), r.bottom() - 1, r.left(), r.top());
    p.drawLine(r.left(), r.top(), r.right() - 1, r.top());
    p.setPen(bottomRight);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.bottom(), r.right(), r.top());
}

} // namespace

CommandButton::CommandButton(QWidget* parent) : QAbstractButton(parent) {
    // A dialog's button is a tab stop and takes the focus when clicked, as on any desktop; the
    // palette keeps its buttons out of the focus (keepOutOfFocus).
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (onClick)
            onClick();
    });
}

void CommandButton::setCaption(const QString& caption) {
    // Kaomoji use '&' freely ("(&_&)"): it is shown as it is, and it must not become an
    // access key that would paste on Alt+letter. Qt's own text gets it doubled for that.
    if (caption == caption_ && !caption.isEmpty())
        return; // the clock sets its caption every second; an unchanged one needs no repaint
    caption_ = caption;
    QString escaped = caption;
    setText(escaped.replace(QLatin1Char('&'), QStringLiteral("&&")));
    updateGeometry();
    update();
}

void CommandButton::setBackColor(std::uint32_t bgr) {
    backColor_ = bgr;
    update();
}

void CommandButton::press() {
    if (onClick)
        onClick();
}

void CommandButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, fromColorRef(backColor_));
    if (r.width() < 2 || r.height() < 2)
        return;

    const bool sunken = isDown();
    if (sunken) {
        p.setPen(kDarkShadow);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(kShadow);
        p.drawRect(r.adjusted(1, 1, -2, -2));
    } else {
        drawEdge(p, r, kHighlight, kDarkShadow);
        drawEdge(p, r.adjusted(1, 1, -1, -1), kLight, kShadow);
    }

    QRect textRect = r.adjusted(3, 3, -3, -3);
    if (sunken)
        textRect.translate(1, 1);
    const QFontMetrics fm = fontMetrics();
    int flags = Qt::AlignCenter;
    // No more characters can show than the button has pixels for: measuring and eliding a
    // caption of megabytes (an entry of any length) would stall every repaint of the palette.
    const qsizetype room =
        qsizetype(textRect.width() + 1) * std::max(1, textRect.height() / std::max(1, fm.height()) + 1);
    const bool cutShort = caption_.size() > room;
    QString shown = cutShort ? caption_.left(room) : caption_;
    if (cutShort || fm.horizontalAdvance(shown) > textRect.width()) {
        // A long caption wraps as it does on Windows when the lines fit, else it is cut short.
        const bool wraps =
            !cutShort && !shown.contains(u'\n') &&
            fm.boundingRect(textRect, flags | Qt::TextWordWrap, shown).height() <= textRect.height();
        if (wraps)
            flags |= Qt::TextWordWrap;
        else
            shown = fm.elidedText(shown, Qt::ElideRight, textRect.width());
    }
    if (hasFocus()) {
        // The dotted focus rectangle inside the bevel, as the classic look draws it.
        p.setPen(QPen(kDarkShadow, 1, Qt::DotLine));
        p.drawRect(r.adjusted(3, 3, -4, -4));
    }
    if (isEnabled()) {
        p.setPen(palette().color(QPalette::Active, QPalette::ButtonText));
        p.drawText(textRect, flags, shown);
    } else {
        // Etched grey text, as disabled captions are drawn on the classic look.
        p.setPen(kHighlight);
        p.drawText(textRect.translated(1, 1), flags, shown);
        p.setPen(kShadow);
        p.drawText(textRect, flags, shown);
    }
}

void CommandButton::keyPressEvent(QKeyEvent* event) {
    // Space is Qt's own (pressed on the key, clicked on its release); Enter presses the
    // focused button at once, as a dialog's Enter does on Windows.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !event->isAutoRepeat() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CommandButton::mouseMoveEvent(QMouseEvent* event) {
    QAbstractButton::mouseMoveEvent(event);
    if (onMouseMove)
        onMouseMove();
}

QSize CommandButton::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    // Wider than any screen is wide enough: measuring megabytes would stall the layout.
    constexpr qsizetype kMeasuredChars = 4096;
    return QSize(fm.horizontalAdvance(caption_.left(kMeasuredChars)) + 16, fm.height() + 10);
}

CheckBox::CheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    setTristate(true);
}

void CheckBox::setValue(int value) {
    if (value < 0 || value > 2 || value == value_)
        return;
    value_ = value;
    setCheckState(value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked);
    if (onClick)
        onClick();
}

void CheckBox::nextCheckState() {
    // A user click clears a greyed box; only code ever makes it greyed.
    setValue(value_ == 0 ? 1 : 0);
}

bool CheckBox::hitButton(const QPoint& pos) const {
    // The whole control answers a click, not only the box and its caption's text.
    return rect().contains(pos);
}

OptionGroup::~OptionGroup() {
    for (OptionButton* member : members_)
        member->group_ = nullptr;
}

void OptionGroup::updateTabStop() {
    OptionButton* stop = chosen_ ? chosen_ : members_.empty() ? nullptr : members_.front();
    for (OptionButton* member : members_) {
        const Qt::FocusPolicy policy = member->focusPolicy();
        if (policy == Qt::NoFocus)
            continue; // kept out of the focus altogether
        member->setFocusPolicy(member == stop ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                              : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

OptionButton* OptionGroup::neighbour(const OptionButton* from, int step) const {
    const auto at = std::find(members_.begin(), members_.end(), from);
    if (at == members_.end())
        return nullptr;
    const auto count = std::ptrdiff_t(members_.size());
    std::ptrdiff_t index = at - members_.begin();
    for (std::ptrdiff_t tried = 1; tried < count; ++tried) {
        index = (index + step + count) % count;
        OptionButton* candidate = members_[std::size_t(index)];
        if (candidate->isEnabled() && candidate->isVisibleTo(candidate->window()))
            return candidate;
    }
    return nullptr;
}

OptionButton::OptionButton(const QString& caption, OptionGroup& group, QWidget* parent)
    : QRadioButton(caption, parent), group_(&group) {
    // Qt's own exclusivity would pick a button of its own accord and knows nothing of a group
    // without a chosen member; the group here decides.
    setAutoExclusive(false);
    group_->members_.push_back(this);
    group_->updateTabStop();
}

OptionButton::~OptionButton() {
    if (!group_)
        return;
    auto& members = group_->members_;
    members.erase(std::remove(members.begin(), members.end(), this), members.end());
    if (group_->chosen_ == this)
        group_->chosen_ = nullptr;
    group_->updateTabStop();
}

void OptionButton::setValue(bool value) {
    if (!value) {
        if (this->value()) {
            group_->chosen_ = nullptr;
            group_->updateTabStop();
            const QSignalBlocker blocker(this);
            setChecked(false);
        }
        return;
    }
    if (group_) {
        group_->chosen_ = this;
        group_->updateTabStop();
        for (OptionButton* member : group_->members_) {
            const QSignalBlocker blocker(member);
            member->setChecked(member == this);
        }
    } else {
        const QSignalBlocker blocker(this);
        setChecked(true);
    }
    if (onClick)
        onClick();
}

void OptionButton::nextCheckState() {
    // Clicking the button that is already chosen changes nothing and runs nothing.
    if (!value())
        setValue(true);
}

bool OptionButton::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void OptionButton::keyPressEvent(QKeyEvent* event) {
    // The arrow keys move within the group and choose the button they reach, as a click would.
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    default:
        QRadioButton::keyPressEvent(event);
        return;
    }
    OptionButton* next = group_ ? group_->neighbour(this, step) : nullptr;
    if (!next)
        return;
    next->setFocus(Qt::TabFocusReason);
    next->setValue(true);
}

} // namespace controls
