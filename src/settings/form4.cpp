#include "settings/form4.h"

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 3360;
constexpr int kClientHeight = 4185;
} // namespace

Form4::Form4(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　特殊設定"), kClientWidth, kClientHeight) {
    buildControls();
}

void Form4::buildControls() {
    setFont(controls::pGothicFont(9));
    Frame1 = new controls::Frame(QStringLiteral("マウス感度の調整"), this);
    placeTwips(Frame1, 60, 60, 3255, 3495);

    struct Place {
        int left, top, width, height;
    };
    // Left, right, top, bottom margin fields, arranged as a cross.
    const Place fields[4] = {
        {720, 1200, 795, 315}, {1680, 1200, 795, 315}, {1200, 840, 795, 315}, {1200, 1560, 795, 315}};
    for (int i = 0; i < 4; ++i) {
        auto* field = new controls::TextBox(Frame1);
        // A field always shows 10000 minus its bar's value, from the start: a stored value of 0
        // (the bars' starting value) must show as 10000, not as a stale "0".
        field->setText(QString::number(kMarginOrigin));
        // The auto-hide test reads these on every tick, so they only ever hold what the bars
        // put there: a whole number.
        field->setReadOnly(true);
        placeTwips(field, fields[i].left, fields[i].top, fields[i].width, fields[i].height);
        Text1[std::size_t(i)] = field;
    }
    const Place hbars[2] = {{180, 1200, 495, 315}, {2520, 1200, 495, 315}};
    const Place vbars[2] = {{1440, 300, 315, 495}, {1440, 1920, 315, 495}};
    for (int k = 0; k < 2; ++k) {
        auto* h = new controls::ScrollBar(Qt::Horizontal, Frame1);
        placeTwips(h, hbars[k].left, hbars[k].top, hbars[k].width, hbars[k].height);
        h->onChange = [this, k] { HScroll1_Change(k); };
        HScroll1[std::size_t(k)] = h;
        auto* v = new controls::ScrollBar(Qt::Vertical, Frame1);
        placeTwips(v, vbars[k].left, vbars[k].top, vbars[k].width, vbars[k].height);
        v->onChange = [this, k] { VScroll1_Change(k); };
        VScroll1[std::size_t(k)] = v;
    }

    Label1 = new controls::Label(
        QStringLiteral("設定次第でウインドウが開かなくなる事がありますので、気をつけてください。"
                       "　　開かなくなった時はぴこめフォルダ内の「設定.ini」ファイルを削除してください。"),
        Frame1);
    Label1->setWordWrap(true);
    placeTwips(Label1, 120, 2580, 3075, 735);

    Command1 = new controls::CommandButton(this);
    Command1->setCaption(QStringLiteral("閉じる"));
    placeTwips(Command1, 840, 3660, 1515, 495);
    Command1->onClick = [this] { Command1_Click(); };
    onCloseRequest = [this] {
        Command1_Click();
        return true;
    };
}

void Form4::HScroll1_Change(int index) {
    Text1[std::size_t(index)]->setText(
        QString::number(kMarginOrigin - HScroll1[std::size_t(index)]->value()));
}

void Form4::VScroll1_Change(int index) {
    Text1[std::size_t(2 + index)]->setText(
        QString::number(kMarginOrigin - VScroll1[std::size_t(index)]->value()));
}

void Form4::Command1_Click() {
    hide();
}
