#pragma once
// "ぴこめ　アスキーアート設定": names and texts of the ASCII-art pieces page by page, and the
// three ASCII-art options. Every edit goes straight into the tables; only saving writes files.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/options.h"
#include "storage/program_state.h"
#include <array>

class AsciiArtDialog : public controls::Window {
    Q_OBJECT
public:
    explicit AsciiArtDialog(storage::ProgramState& state);

    controls::ComboBox* pageList = nullptr;                 // page 1..9 at positions 0..8
    std::array<controls::TextBox*, 20> nameBoxes{};         // names of the page's entries
    std::array<controls::OptionButton*, 20> entryChoices{}; // the entry shown in the editor
    controls::Label* dropHintLabel = nullptr;
    controls::MultiLineTextBox* pieceTextBox = nullptr;                // the selected entry's text
    std::array<controls::CheckBox*, aa_option::kCount> optionChecks{}; // FrontLine, BackLine, Display
    controls::CommandButton* saveButton = nullptr;                     // "設定保存"
    controls::CommandButton* closeButton = nullptr;                    // "閉じる"

    int selectedEntry = 0;

    void pageChosen();
    void entryChosen(int entry);
    void pieceTextEdited();
    void nameEdited(int entry);
    void saveClicked();
    // A text file dropped on the editor replaces the selected entry's text.
    void filesDroppedOnPiece(const QStringList& paths);
    void closeClicked();

    // The ASCII-art page shown: list position + 1, or 0 while no page is chosen.
    int currentPage() const { return pageList->listIndex() + 1; }

private:
    void buildControls();
    storage::ProgramState& state_;
    controls::OptionGroup entryChoiceGroup_;
};
