#include "tools/about_dialog.h"
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <charconv>

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 3405;
constexpr int kClientHeight = 3525;

// The banner that leads to the web page: the program's name on its own colours, 110 x 41.
QPixmap banner() {
    QPixmap pixmap(110, 41);
    pixmap.fill(QColor(192, 255, 192));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(255, 0, 255), 2));
    painter.drawRoundedRect(QRectF(1, 1, 108, 39), 6, 6);
    QFont font = controls::pGothicFont(16, true);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(192, 0, 192));
    painter.drawText(QRect(0, 0, 110, 41), Qt::AlignCenter, QStringLiteral("ぴこめ"));
    return pixmap;
}

// The pointer over the link and the banner: a small hand-drawn arrow with a heart, 32 x 32.
QCursor linkCursor() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPolygonF arrow({QPointF(1, 1), QPointF(1, 18), QPointF(6, 13), QPointF(10, 21), QPointF(13, 19),
                           QPointF(9, 12), QPointF(15, 12)});
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawPolygon(arrow);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 0, 255));
    painter.drawEllipse(QRectF(17, 17, 7, 7));
    painter.drawEllipse(QRectF(23, 17, 7, 7));
    painter.drawPolygon(QPolygonF({QPointF(17.5, 21.5), QPointF(29.5, 21.5), QPointF(23.5, 29)}));
    return QCursor(pixmap, 1, 1);
}
} // namespace

QString AboutDialog::osVersionText(double version) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, float(version));
    return QStringLiteral("OSVersion  ") + QString::fromLatin1(digits, int(result.ptr - digits));
}

AboutDialog::AboutDialog(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　バージョン情報"), kClientWidth, kClientHeight),
      state_(state) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(controls::pGothicFont(9));
    const QCursor cursor = linkCursor();

    iconImage = new controls::Label(QString(), this);
    // The program's one icon, not a new one: every new icon's picture stays in Qt's pixmap
    // cache for good, and the dialog is built for every opening.
    iconImage->setPixmap(windowIcon().pixmap(32, 32));
    placeTwips(iconImage, 120, 240, 480, 480);
    bannerImage = new controls::Label(QString(), this);
    bannerImage->setPixmap(banner());
    bannerImage->setCursor(cursor);
    placeTwips(bannerImage, 840, 120, 1650, 615);
    bannerImage->onClick = [this] { openWebPage(); };

    versionAndTermsLabels[0] = new controls::Label(kVersion, this);
    placeTwips(versionAndTermsLabels[0], 2640, 540, 735, 195);
    feedbackLabel = new controls::Label(
        QStringLiteral("       感想聞かせてね！　　　　　　　　　　早速！ホームページにGO!!"), this);
    feedbackLabel->setWordWrap(true);
    placeTwips(feedbackLabel, 360, 840, 2775, 375);
    webAddressLabel = new controls::Label(kWebAddress + QLatin1Char('/'), this);
    QPalette linkColors = webAddressLabel->palette();
    linkColors.setColor(QPalette::WindowText, QColor(192, 0, 192));
    webAddressLabel->setPalette(linkColors);
    webAddressLabel->setCursor(cursor);
    placeTwips(webAddressLabel, 120, 1260, 3015, 195);
    webAddressLabel->onClick = [this] { openWebPage(); };

    separatorLine = new QFrame(this);
    separatorLine->setFrameShape(QFrame::HLine);
    QPalette lineColors = separatorLine->palette();
    lineColors.setColor(QPalette::WindowText, QColor(255, 0, 255));
    separatorLine->setPalette(lineColors);
    placeTwips(separatorLine, 120, 1485, 3000, 30);

    versionAndTermsLabels[1] = new controls::Label(
        QStringLiteral("このソフトはフリーソフトです。個人・法人を問わず無料でお使いいただけます。"
                       "改変しないままであれば、自由に配布・転載していただいて構いません。"),
        this);
    versionAndTermsLabels[1]->setWordWrap(true);
    placeTwips(versionAndTermsLabels[1], 120, 1560, 3135, 915);
    disclaimerLabel = new controls::Label(
        QStringLiteral(
            "このソフトを使用したことによって生じたいかなる損害についても、作者は一切の責任を負いません。"),
        this);
    disclaimerLabel->setWordWrap(true);
    placeTwips(disclaimerLabel, 120, 2520, 3255, 555);

    osVersionLabel = new controls::Label(osVersionText(state_.desktop.osVersion()), this);
    placeTwips(osVersionLabel, 600, 3240, 1695, 255);
    okButton = controls::captionedButton(this, QStringLiteral("OK"), 2400, 3120, 975, 375);
    okButton->onClick = [this] { okClicked(); };
}

void AboutDialog::openWebPage() {
    // The browser may take a moment to answer; the busy pointer shows the click was taken.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    state_.desktop.openUrl(kWebAddress.toStdString());
    QApplication::restoreOverrideCursor();
}

void AboutDialog::okClicked() {
    close();
}
