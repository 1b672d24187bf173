#pragma once
// Tells when one of the watched dialogs is shown or hidden: the palette's always-on-top upkeep
// and its timers follow the dialogs that cover it as they open and close.
#include <QObject>
#include <functional>

class QWidget;

class DialogWatch : public QObject {
public:
    explicit DialogWatch(std::function<void()> shownOrHidden) : shownOrHidden_(std::move(shownOrHidden)) {}
    void watch(QWidget& dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> shownOrHidden_;
};
