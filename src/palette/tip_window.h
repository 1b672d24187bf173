#pragma once
// The palette's one tooltip window: shows the text last registered for a button while the
// mouse rests on that button, on several lines, wrapping at the maximum width, in its own
// colours. An empty text shows nothing.
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <cstdint>

namespace palette {

class TipWindow : public QLabel {
    Q_OBJECT
public:
    explicit TipWindow(QWidget* owner);

    void setMaxTipWidth(int pixels);
    void setTipBackColor(std::uint32_t bgr);
    void setTipTextColor(std::uint32_t bgr);
    std::uint32_t tipBackColor() const { return backColor_; }
    std::uint32_t tipTextColor() const { return textColor_; }

    // Registers (or re-registers) the text shown for the button; the text given last counts.
    void addTool(QWidget* button, const QString& text);
    QString toolText(QWidget* button) const { return tools_.value(button); }
    // The button whose tip is showing, or nullptr.
    QWidget* shownFor() const { return isVisible() ? current_.data() : nullptr; }

    // How long the mouse must rest on a button before its tip shows.
    static constexpr int kInitialDelayMs = 500;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showFor(QWidget* button);
    void applyColors();
    QHash<QWidget*, QString> tools_;
    QPointer<QWidget> current_;
    QPointer<QWidget> pending_;
    QTimer delay_;
    int maxWidth_ = 1000;
    std::uint32_t backColor_ = 0xFFFFE1;
    std::uint32_t textColor_ = 0;
};

} // namespace palette
