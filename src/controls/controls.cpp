#include "controls/controls.h"
#include "controls/color.h"
#include "controls/twips.h"
#include "platform/cp932.h"
#include <QMouseEvent>
#include <QPalette>

namespace controls {

void placeTwips(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

CommandButton* captionedButton(QWidget* parent, const QString& caption, int left, int top, int width,
                               int height) {
    auto* button = new CommandButton(parent);
    button->setCaption(caption);
    placeTwips(button, left, top, width, height);
    return button;
}

QFont pGothicFont(double pointSize, bool italic) {
    QFont font;
    // Without an explicit list Qt walks every installed font looking for one with the glyphs,
    // which costs a noticeable pause the first time each window is drawn.
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"),
                      QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(pointSize);
    font.setItalic(italic);
    return font;
}

QString cp932Representable(const QString& text) {
    // Every character up to 0x7F is its own byte in cp932, so the common case of plain ASCII
    // needs no round trip through the code page.
    bool ascii = true;
    for (QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return text;
    return QString::fromStdU16String(platform::cp932::decode(platform::cp932::encode(text.toStdU16String())));
}

PictureBox::PictureBox(QWidget* parent) : QFrame(parent) {
    setAutoFillBackground(true);
    setBackColor(backColor_);
}

void PictureBox::setBackColor(std::uint32_t bgr) {
    backColor_ = bgr;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, fromColorRef(bgr));
    setPalette(pal);
}

void PictureBox::mouseReleaseEvent(QMouseEvent* event) {
    QFrame::mouseReleaseEvent(event);
    // Like a Windows click: the left button, released over the box it was pressed on.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

Frame::Frame(const QString& caption, QWidget* parent) : QGroupBox(parent), caption_(caption) {}

void Frame::showEvent(QShowEvent* event) {
    if (title() != caption_)
        setTitle(caption_);
    QGroupBox::showEvent(event);
}

Label::Label(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
    // Captions are kaomoji: "<(_ _)>" must not be taken for markup.
    setTextFormat(Qt::PlainText);
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
        onClick();
}

} // namespace controls
