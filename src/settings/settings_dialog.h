#pragma once
// The settings dialog "ぴこめ　設定": the live store of the options, the kaomoji editor, the
// colour and page-name frames, and the buttons that open the other dialogs. Closing it hides it.
#include "controls/controls.h"
#include "controls/window.h"
#include "storage/options.h"
#include "storage/program_state.h"
#include <array>

class SettingsDialog : public controls::Window {
    Q_OBJECT
public:
    explicit SettingsDialog(storage::ProgramState& state);

    controls::ComboBox* editorPageList = nullptr;        // the editor's page
    controls::ComboBox* doubleClickActionList = nullptr; // double-click action: "なし", "ENTER", "TAB"
    controls::Frame* groupNamesFrame = nullptr;
    controls::Frame* entriesFrame = nullptr;
    controls::Frame* otherSettingsFrame = nullptr;
    controls::Frame* colorFrame = nullptr;
    controls::Frame* pageNameFrame = nullptr;
    controls::Frame* clockFrame = nullptr;
    std::array<controls::TextBox*, 16> groupNameBoxes{};            // group captions
    std::array<controls::TextBox*, 20> entryBoxes{};                // the chosen group's entries
    controls::TextBox* pageNameBox = nullptr;                       // the chosen page's name
    std::array<controls::CheckBox*, option::kCount> optionChecks{}; // the options
    std::array<controls::OptionButton*, 16> groupChoices{};         // group choice
    std::array<controls::OptionButton*, 5> colorTargetChoices{};    // colour target
    std::array<controls::OptionButton*, 10> pageNameChoices{};      // page-name choice
    std::array<controls::OptionButton*, 3> clockModeChoices{};      // clock mode
    std::array<controls::PictureBox*, 36> colorSwatches{};          // colour swatches
    controls::Label* doubleClickLabel = nullptr;
    controls::CommandButton* saveButton = nullptr;              // "設定保存"
    controls::CommandButton* aboutButton = nullptr;             // "バージョン情報"
    controls::CommandButton* closeButton = nullptr;             // "閉じる"
    controls::CommandButton* renamePageButton = nullptr;        // "変更"
    controls::CommandButton* mouseSensitivityButton = nullptr;  // "特殊設定"
    controls::CommandButton* asciiArtSettingsButton = nullptr;  // "AA設定"
    controls::CommandButton* batchRegistrationButton = nullptr; // "一括登録"

    // What the controls run.
    void optionClicked(std::size_t index);
    void clockModeChosen(int index);
    void editorPageChosen();
    void editorGroupChosen(int group);
    void groupNameEdited(int index);
    void entryEdited(int index);
    void pageNameChosen(int page);
    void pageNameEdited();
    void saveClicked();
    void openAbout();
    void closeClicked();
    void renamePageClicked();
    void openBatchRegistration();
    void swatchClicked(int index);
    void openMouseSensitivity();
    void openAsciiArtSettings();

    // The refresh steps the editor and the palette share.
    void showGroupEntries(int page, int group);
    void showGroupNames(int page);
    void paintGroupButtons();

    // The colour each swatch offers, 0x00BBGGRR.
    static const std::array<std::uint32_t, 36> kSwatchColors;

private:
    void buildControls();
    storage::ProgramState& state_;
    controls::OptionGroup groupChoiceGroup_;
    controls::OptionGroup colorTargetGroup_;
    controls::OptionGroup pageNameChoiceGroup_;
    controls::OptionGroup clockModeGroup_;
};
