#include "controls/color.h"
#include "controls/controls.h"
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QSignalBlocker>
#include <algorithm>

namespace controls {

ComboBox::ComboBox(QWidget* parent) : QComboBox(parent) {
    // activated is the only signal that means the user chose an item; currentIndexChanged
    // also fires for Qt's own selection of the first item added.
    connect(this, &QComboBox::activated, this, [this](int index) {
        index_ = index;
        syncView();
        if (onClick)
            onClick();
    });
}

void ComboBox::setListIndex(int index) {
    if (index < -1 || index >= count())
        return;
    index_ = index;
    syncView();
    if (onClick)
        onClick();
}

void ComboBox::addListItem(const QString& text) {
    {
        // QComboBox selects the first item put into an empty list.
        const QSignalBlocker blocker(this);
        addItem(text);
    }
    syncView();
}

void ComboBox::removeListItem(int index) {
    if (index < 0 || index >= count())
        return;
    if (index == index_)
        index_ = -1;
    else if (index < index_)
        --index_;
    {
        const QSignalBlocker blocker(this);
        removeItem(index);
    }
    syncView();
}

void ComboBox::clearList() {
    index_ = -1;
    {
        const QSignalBlocker blocker(this);
        clear();
    }
    syncView();
}

void ComboBox::syncView() {
    if (currentIndex() == index_)
        return;
    const QSignalBlocker blocker(this);
    setCurrentIndex(index_);
}

ScrollBar::ScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
    // Qt's scroll bars keep out of the focus; a dialog's bars are tab stops.
    setFocusPolicy(Qt::StrongFocus);
    setRange(0, 32767);
    setSingleStep(1);
    setPageStep(1);
    connect(this, &QAbstractSlider::valueChanged, this, [this] {
        if (onChange)
            onChange();
    });
}

void ScrollBar::setScrollValue(int value) {
    setValue(std::clamp(value, minimum(), maximum()));
}

void ScrollBar::keyPressEvent(QKeyEvent* event) {
    // As a focused scroll bar does on Windows, whichever way it stands: left and up step
    // towards the start, right and down towards the end.
    SliderAction action = SliderNoAction;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        action = SliderSingleStepSub;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        action = SliderSingleStepAdd;
        break;
    case Qt::Key_PageUp:
        action = SliderPageStepSub;
        break;
    case Qt::Key_PageDown:
        action = SliderPageStepAdd;
        break;
    case Qt::Key_Home:
        action = SliderToMinimum;
        break;
    case Qt::Key_End:
        action = SliderToMaximum;
        break;
    default:
        QScrollBar::keyPressEvent(event);
        return;
    }
    triggerAction(action);
}

void ScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    // The bars are only their two arrows: a dotted frame shows which one has the focus.
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawRect(rect().adjusted(1, 1, -2, -2));
}

TabStrip::TabStrip(QWidget* parent) : QTabBar(parent) {
    // Every tab is always in view, sharing the strip's width equally, as a tab strip with one
    // row of tabs shows them; no scroll buttons hide any.
    setExpanding(false);
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
    setDrawBase(false);
    // The style's generous tab padding would cut two-character captions such as "履歴".
    setStyleSheet(
        QStringLiteral("QTabBar::tab { padding: 1px 0px; min-width: 0px; border: 1px solid #808080;"
                       " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;"
                       " margin-top: 2px; }"
                       "QTabBar::tab:selected { margin-top: 0px; background: #ffffff; }"));
    connect(this, &QTabBar::currentChanged, this, [this](int index) {
        const int previous = shownTab_;
        shownTab_ = index;
        // Qt selects the first tab added to an empty strip by itself, and has none once the
        // last is removed; neither is a click.
        if (previous < 0 || index < 0)
            return;
        if (onClick)
            onClick();
    });
}

QSize TabStrip::tabSizeHint(int) const {
    // Every tab fills the strip's height and an equal share of its width, whatever its caption:
    // nothing to measure, so the strip costs no text layout until it is drawn.
    return QSize(std::max(1, width() / std::max(1, count())), std::max(1, height()));
}

QSize TabStrip::minimumTabSizeHint(int index) const {
    return tabSizeHint(index);
}

void TabStrip::setTab(int tab) {
    if (tab < 0 || tab >= count())
        return;
    setCurrentIndex(tab);
}

void TabStrip::setBackColor(std::uint32_t bgr) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, fromColorRef(bgr));
    setPalette(pal);
}

} // namespace controls
