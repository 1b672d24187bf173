#pragma once
// "ぴこめ　特殊設定": four scroll bars tune the margins of the auto-hide test; the number beside
// each bar is what the test reads, 10000 minus the bar's stored value.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"
#include <array>

class Form4 : public controls::Window {
    Q_OBJECT
public:
    explicit Form4(storage::ProgramState& state);

    controls::Frame* Frame1 = nullptr;
    std::array<controls::ScrollBar*, 2> HScroll1{}; // left, right margin
    std::array<controls::ScrollBar*, 2> VScroll1{}; // top, bottom margin
    std::array<controls::TextBox*, 4> Text1{};      // left, right, top, bottom margin shown
    controls::Label* Label1 = nullptr;
    controls::CommandButton* Command1 = nullptr; // "閉じる"

    void HScroll1_Change(int index);
    void VScroll1_Change(int index);
    void Command1_Click();

    static constexpr int kMarginOrigin = 10000;

private:
    void buildControls();
};
