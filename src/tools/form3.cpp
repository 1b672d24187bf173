#include "tools/form3.h"
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

QString Form3::osVersionText(double version) {
    char digits[32];
    const auto result = std::to_chars(digits, digits + sizeof digits, float(version));
    return QStringLiteral("OSVersion  ") + QString::fromLatin1(digits, int(result.ptr - digits));
}

Form3::Form3(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　バージョン情報"), kClientWidth, kClientHeight),
      state_(state) {
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(controls::pGothicFont(9));
    const QCursor cursor = linkCursor();

    Image1 = new controls::Label(QString(), this);
    // The program's one icon, not a new one: every new icon's picture stays in Qt's pixmap
    // cache for good, and the dialog is built for every opening.
    Image1->setPixmap(windowIcon().pixmap(32, 32));
    placeTwips(Image1, 120, 240, 480, 480);
    Image2 = new controls::Label(QString(), this);
    Image2->setPixmap(banner());
    Image2->setCursor(cursor);
    placeTwips(Image2, 840, 120, 1650, 615);
    Image2->onClick = [this] { OpenWebPage(); };

    Label2[0] = new controls::Label(kVersion, this);
    placeTwips(Label2[0], 2640, 540, 735, 195);
    Label4 = new controls::Label(
        QStringLiteral("       感想聞かせてね！　　　　　　　　　　早速！ホームページにGO!!"), this);
    Label4->setWordWrap(true);
    placeTwips(Label4, 360, 840, 2775, 375);
    Label3 = new controls::Label(kWebAddress + QLatin1Char('/'), this);
    QPalette linkColors = Label3->palette();
    linkColors.setColor(QPalette::WindowText, QColor(192, 0, 192));
    Label3->setPalette(linkColors);
    Label3->setCursor(cursor);
    placeTwips(Label3, 120, 1260, 3015, 195);
    Label3->onClick = [this] { OpenWebPage(); };

    Line1 = new QFrame(this);
    Line1->setFrameShape(QFrame::HLine);
    QPalette lineColors = Line1->palette();
    lineColors.setColor(QPalette::WindowText, QColor(255, 0, 255));
    Line1->setPalette(lineColors);
    placeTwips(Line1, 120, 1485, 3000, 30);

    Label2[1] = new controls::Label(
        QStringLiteral("このソフトはフリーソフトです。個人・法人を問わず無料でお使いいただけます。"
                       "改変しないままであれば、自由に配布・転載していただいて構いません。"),
        this);
    Label2[1]->setWordWrap(true);
    placeTwips(Label2[1], 120, 1560, 3135, 915);
    lblDisclaimer = new controls::Label(
        QStringLiteral(
            "このソフトを使用したことによって生じたいかなる損害についても、作者は一切の責任を負いません。"),
        this);
    lblDisclaimer->setWordWrap(true);
    placeTwips(lblDisclaimer, 120, 2520, 3255, 555);

    Label1 = new controls::Label(osVersionText(state_.desktop.osVersion()), this);
    placeTwips(Label1, 600, 3240, 1695, 255);
    Command1 = new controls::CommandButton(this);
    Command1->setCaption(QStringLiteral("OK"));
    placeTwips(Command1, 2400, 3120, 975, 375);
    Command1->onClick = [this] { Command1_Click(); };
    state_.form3 = this;
}

Form3::~Form3() {
    if (state_.form3 == this)
        state_.form3 = nullptr;
}

void Form3::OpenWebPage() {
    // The browser may take a moment to answer; the busy pointer shows the click was taken.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    state_.desktop.openUrl(kWebAddress.toStdString());
    QApplication::restoreOverrideCursor();
}

void Form3::Command1_Click() {
    close();
}
