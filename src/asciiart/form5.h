#pragma once
// "ぴこめ　アスキーアート設定": names and texts of the ASCII-art pieces page by page, and the
// three ASCII-art options. Every edit goes straight into the tables; only saving writes files.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/program_state.h"
#include <array>

class Form5 : public controls::Window {
    Q_OBJECT
public:
    explicit Form5(storage::ProgramState& state);

    controls::ComboBox* Combo1 = nullptr;              // page 1..9 at positions 0..8
    std::array<controls::TextBox*, 20> Text2{};        // names of the page's entries
    std::array<controls::OptionButton*, 20> Option1{}; // the entry shown in the editor
    controls::Label* Label1 = nullptr;
    controls::MultiLineTextBox* Text1 = nullptr; // the selected entry's text
    std::array<controls::CheckBox*, 3> Check1{}; // FrontLine, BackLine, Display
    controls::CommandButton* Command1 = nullptr; // "設定保存"
    controls::CommandButton* Command2 = nullptr; // "閉じる"

    int SelectedEntry = 0;

    void Combo1_Click();
    void Option1_Click(int entry);
    void Text1_Change();
    void Text2_Change(int entry);
    void Command1_Click();
    // A text file dropped on the editor replaces the selected entry's text.
    void Text1_FilesDropped(const QStringList& paths);
    void Command2_Click();

    // The ASCII-art save followed by the save of everything else. Returns the files that could
    // not be written (the rest of the save still runs).
    QStringList SaveStore();

    // The ASCII-art page shown: list position + 1, or 0 while no page is chosen.
    int currentPage() const { return Combo1->listIndex() + 1; }

private:
    void buildControls();
    storage::ProgramState& state_;
    controls::OptionGroup option1Group_;
};
