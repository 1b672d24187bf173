#pragma once
// The settings dialog "ぴこめ　設定": the live store of the options, the kaomoji editor, the
// colour and page-name frames, and the buttons that open the other dialogs. Closing it hides it.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"
#include <array>

class Form2 : public controls::Window {
    Q_OBJECT
public:
    explicit Form2(storage::ProgramState& state);

    controls::ComboBox* Combo1 = nullptr; // the editor's page
    controls::ComboBox* Combo2 = nullptr; // double-click action: "なし", "ENTER", "TAB"
    controls::Frame* Frame1 = nullptr;
    controls::Frame* Frame2 = nullptr;
    controls::Frame* Frame3 = nullptr;
    controls::Frame* Frame4 = nullptr;
    controls::Frame* Frame5 = nullptr;
    controls::Frame* Frame6 = nullptr;
    std::array<controls::TextBox*, 16> Text1{};        // group captions
    std::array<controls::TextBox*, 20> Text2{};        // the chosen group's entries
    controls::TextBox* Text3 = nullptr;                // the chosen page's name
    std::array<controls::CheckBox*, 10> Check1{};      // the options
    std::array<controls::OptionButton*, 16> Option1{}; // group choice
    std::array<controls::OptionButton*, 5> Option2{};  // colour target
    std::array<controls::OptionButton*, 10> Option3{}; // page-name choice
    std::array<controls::OptionButton*, 3> Option4{};  // clock mode
    std::array<controls::PictureBox*, 36> cbox{};      // colour swatches
    controls::Label* Label1 = nullptr;
    controls::CommandButton* Command1 = nullptr; // "設定保存"
    controls::CommandButton* Command2 = nullptr; // "バージョン情報"
    controls::CommandButton* Command3 = nullptr; // "閉じる"
    controls::CommandButton* Command4 = nullptr; // "変更"
    controls::CommandButton* Command5 = nullptr; // "特殊設定"
    controls::CommandButton* Command6 = nullptr; // "AA設定"
    controls::CommandButton* Command7 = nullptr; // "一括登録"

    // Handlers.
    void Check1_Click(int index);
    void Option4_Click(int index);
    void Combo1_Click();
    void Option1_Click(int group);
    void Text1_Change(int index);
    void Text2_Change(int index);
    void Option3_Click(int page);
    void Text3_Change();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command7_Click();
    void cbox_Click(int index);
    void Command5_Click();
    void Command6_Click();

    // Writes the kaomoji file and the settings file. Returns the files that could not be
    // written; nothing in memory changes either way.
    QStringList SaveAll();

    // The refresh steps the editor and the palette share.
    void ShowGroupEntries(int page, int group);
    void ShowGroupCaptions(int page);
    void PaintGroupButtons();

    // The colour each swatch offers, 0x00BBGGRR.
    static const std::array<std::uint32_t, 36> kSwatchColors;

private:
    void buildControls();
    storage::ProgramState& state_;
    controls::OptionGroup option1Group_;
    controls::OptionGroup option2Group_;
    controls::OptionGroup option3Group_;
    controls::OptionGroup option4Group_;
};
