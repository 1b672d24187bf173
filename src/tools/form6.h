#pragma once
// "ぴこめ　一括登録": twenty lines of text go into the twenty entries the settings dialog shows,
// and those entries come back as text.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"

class Form6 : public controls::Window {
    Q_OBJECT
public:
    explicit Form6(storage::ProgramState& state);

    controls::MultiLineTextBox* Text1 = nullptr;
    controls::Label* Label1 = nullptr;
    controls::CommandButton* Command1 = nullptr; // "登録"
    controls::CommandButton* Command2 = nullptr; // "閉じる"
    controls::CommandButton* Command3 = nullptr; // "消去"
    controls::CommandButton* Command4 = nullptr; // "読み込み"

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();

    // Line i of the text box (counted from 0; lines end at CR LF), as the box hands it out:
    // at most 255 bytes in cp932, cut before a character that would not fit; "" past the end.
    QString lineOf(int index) const;

private:
    storage::ProgramState& state_;
};
