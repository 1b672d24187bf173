#include "settings/mouse_sensitivity_dialog.h"

using controls::placeTwips;

namespace {
constexpr int kClientWidth = 3360;
constexpr int kClientHeight = 4185;
} // namespace

MouseSensitivityDialog::MouseSensitivityDialog(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ　特殊設定"), kClientWidth, kClientHeight) {
    buildControls();
}

void MouseSensitivityDialog::buildControls() {
    setFont(controls::pGothicFont(9));
    marginsFrame = new controls::Frame(QStringLiteral("マウス感度の調整"), this);
    placeTwips(marginsFrame, 60, 60, 3255, 3495);

    struct Place {
        int left, top, width, height;
    };
    // Left, right, top, bottom margin fields, arranged as a cross.
    const Place fields[4] = {
        {720, 1200, 795, 315}, {1680, 1200, 795, 315}, {1200, 840, 795, 315}, {1200, 1560, 795, 315}};
    const char16_t* sides[4] = {u"左", u"右", u"上", u"下"};
    for (int i = 0; i < 4; ++i) {
        auto* field = new controls::TextBox(marginsFrame);
        // Named by the frame and the side, as the cross shows them.
        field->setAccessibleName(marginsFrame->caption() + QLatin1Char(' ') + QString::fromUtf16(sides[i]));
        // The bars start at 0 and the fields at "0": start-up's stored values change the bars,
        // and each change shows 10000 minus the value. A stored 0 changes nothing, so it keeps
        // its field at 0, a margin of none, as such a settings file has always meant.
        field->setText(QStringLiteral("0"));
        // The auto-hide test reads these on every tick, so they only ever hold what the bars
        // put there: a whole number.
        field->setReadOnly(true);
        placeTwips(field, fields[i].left, fields[i].top, fields[i].width, fields[i].height);
        marginValueBoxes[std::size_t(i)] = field;
    }
    const Place hbars[2] = {{180, 1200, 495, 315}, {2520, 1200, 495, 315}};
    const Place vbars[2] = {{1440, 300, 315, 495}, {1440, 1920, 315, 495}};
    for (int k = 0; k < 2; ++k) {
        auto* h = new controls::ScrollBar(Qt::Horizontal, marginsFrame);
        placeTwips(h, hbars[k].left, hbars[k].top, hbars[k].width, hbars[k].height);
        h->onChange = [this, k] { sideMarginChanged(k); };
        h->setAccessibleName(marginValueBoxes[std::size_t(k)]->accessibleName());
        sideMarginBars[std::size_t(k)] = h;
        auto* v = new controls::ScrollBar(Qt::Vertical, marginsFrame);
        placeTwips(v, vbars[k].left, vbars[k].top, vbars[k].width, vbars[k].height);
        v->onChange = [this, k] { topBottomMarginChanged(k); };
        v->setAccessibleName(marginValueBoxes[std::size_t(2 + k)]->accessibleName());
        topBottomMarginBars[std::size_t(k)] = v;
    }

    warningLabel = new controls::Label(
        QStringLiteral("設定次第でウインドウが開かなくなる事がありますので、気をつけてください。"
                       "　　開かなくなった時はぴこめフォルダ内の「設定.ini」ファイルを削除してください。"),
        marginsFrame);
    warningLabel->setWordWrap(true);
    placeTwips(warningLabel, 120, 2580, 3075, 735);

    closeButton = controls::captionedButton(this, QStringLiteral("閉じる"), 840, 3660, 1515, 495);
    closeButton->onClick = [this] { closeClicked(); };
    onCloseRequest = [this] {
        closeClicked();
        return true;
    };
}

void MouseSensitivityDialog::sideMarginChanged(int index) {
    marginValueBoxes[std::size_t(index)]->setText(
        QString::number(kMarginOrigin - sideMarginBars[std::size_t(index)]->value()));
}

void MouseSensitivityDialog::topBottomMarginChanged(int index) {
    marginValueBoxes[std::size_t(2 + index)]->setText(
        QString::number(kMarginOrigin - topBottomMarginBars[std::size_t(index)]->value()));
}

void MouseSensitivityDialog::closeClicked() {
    hide();
}
