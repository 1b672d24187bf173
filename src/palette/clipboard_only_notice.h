#pragma once
// A short note beside the palette saying why a click copied its text instead of typing it: the
// window the user works in cannot be reached (a native window on a Wayland session). It shows
// once a run, takes no focus and asks nothing; it goes by itself after a while, or on a click.
#include <QLabel>
#include <QTimer>

namespace palette {

class ClipboardOnlyNotice : public QLabel {
    Q_OBJECT
public:
    // Shows the note beside the palette, unless it has already been shown in this run.
    static void showOnce(QWidget* palette);
    // How long the note stays when left alone: long enough to read two lines.
    static constexpr int kShownMs = 8000;

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    explicit ClipboardOnlyNotice(QWidget* palette);
    void placeBeside(const QWidget* palette);
    QTimer hideTimer_;
};

} // namespace palette
