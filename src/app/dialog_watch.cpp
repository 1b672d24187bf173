#include "app/dialog_watch.h"
#include <QEvent>
#include <QWidget>

void DialogWatch::watch(QWidget& dialog) {
    dialog.installEventFilter(this);
}

bool DialogWatch::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        shownOrHidden_();
    return false;
}
