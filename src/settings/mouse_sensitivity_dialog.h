#pragma once
// "ぴこめ　特殊設定": four scroll bars tune the margins of the auto-hide test; the number beside
// each bar is what the test reads, 10000 minus the bar's stored value once the bar has moved
// from its starting 0.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"
#include <array>

class MouseSensitivityDialog : public controls::Window {
    Q_OBJECT
public:
    explicit MouseSensitivityDialog(storage::ProgramState& state);

    controls::Frame* marginsFrame = nullptr;
    std::array<controls::ScrollBar*, 2> sideMarginBars{};      // left, right margin
    std::array<controls::ScrollBar*, 2> topBottomMarginBars{}; // top, bottom margin
    std::array<controls::TextBox*, 4> marginValueBoxes{};      // left, right, top, bottom margin shown
    controls::Label* warningLabel = nullptr;
    controls::CommandButton* closeButton = nullptr; // "閉じる"

    void sideMarginChanged(int index);
    void topBottomMarginChanged(int index);
    void closeClicked();

    static constexpr int kMarginOrigin = 10000;

private:
    void buildControls();
};
