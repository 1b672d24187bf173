#include "controls/focus.h"
#include <algorithm>
#include <vector>

namespace controls {

namespace {

using Widgets = std::vector<QWidget*>;

// The controls placed directly on a window or frame. Controls hidden for good (stores the user
// never sees) have no place in the reading order.
Widgets placedChildren(QWidget* parent) {
    Widgets widgets;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isWindow() && !widget->isHidden())
            widgets.push_back(widget);
    }
    return widgets;
}

// Top to bottom, and left to right within a row. A control belongs to the row of the first
// control above it when its middle lies within that control's height: a check box beside a
// text box a few twips lower still counts as the same line.
Widgets byRows(Widgets widgets) {
    std::stable_sort(widgets.begin(), widgets.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    Widgets ordered;
    for (std::size_t first = 0; first < widgets.size();) {
        const int rowBottom = widgets[first]->geometry().bottom();
        std::size_t end = first + 1;
        while (end < widgets.size() && widgets[end]->geometry().center().y() <= rowBottom)
            ++end;
        Widgets row(widgets.begin() + std::ptrdiff_t(first), widgets.begin() + std::ptrdiff_t(end));
        std::stable_sort(row.begin(), row.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        ordered.insert(ordered.end(), row.begin(), row.end());
        first = end;
    }
    return ordered;
}

// Splits controls into columns wherever a vertical gap runs through all of them, left to right.
std::vector<Widgets> byColumns(Widgets widgets) {
    std::stable_sort(widgets.begin(), widgets.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
    std::vector<Widgets> columns;
    int reach = 0;
    for (QWidget* widget : widgets) {
        const QRect place = widget->geometry();
        if (columns.empty() || place.left() > reach + 1) {
            columns.emplace_back();
            reach = place.right();
        }
        columns.back().push_back(widget);
        reach = std::max(reach, place.right());
    }
    return columns;
}

// A control that takes the focus is one stop, whatever it holds (a text box stands for the
// editor it holds); anything else is a container read row by row.
void appendStops(QWidget* widget, Widgets& stops) {
    if (widget->focusPolicy() != Qt::NoFocus || widget->focusProxy()) {
        stops.push_back(widget);
        return;
    }
    for (QWidget* child : byRows(placedChildren(widget)))
        appendStops(child, stops);
}

} // namespace

void orderTabsByPlace(QWidget* window) {
    Widgets stops;
    for (const Widgets& column : byColumns(placedChildren(window)))
        for (QWidget* widget : byRows(column))
            appendStops(widget, stops);
    for (std::size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

void keepOutOfFocus(QWidget* window) {
    if (window->isWindow()) {
        window->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
#ifdef _WIN32
        // Windows activates a window as it is shown unless told not to: the palette would take
        // the foreground from the user's window at start. (X11 window managers give no focus
        // to a window that accepts none.)
        window->setAttribute(Qt::WA_ShowWithoutActivating);
#endif
    }
    window->setFocusPolicy(Qt::NoFocus);
    for (QWidget* widget : window->findChildren<QWidget*>())
        widget->setFocusPolicy(Qt::NoFocus);
}

} // namespace controls
