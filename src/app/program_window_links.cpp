#include "app/program_window_links.h"
#include "app/save_settings.h"
#include "asciiart/aa_store.h"
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "tools/about_dialog.h"
#include "tools/batch_registration_dialog.h"

using storage::kAsciiArtMode;
using storage::kRefilling;

namespace {
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;

void bringUp(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}
} // namespace

ProgramWindowLinks::ProgramWindowLinks(storage::ProgramState& state, ProgramWindows windows)
    : state_(state), windows_(windows), coveringDialogs_([this] { windows_.palette.dialogShownOrHidden(); }) {
    coveringDialogs_.watch(windows_.settings);
    coveringDialogs_.watch(windows_.mouse);
    coveringDialogs_.watch(windows_.asciiArt);
}

ProgramWindowLinks::~ProgramWindowLinks() {
    closeDialogsMadeOnDemand();
}

void ProgramWindowLinks::closeDialogsMadeOnDemand() {
    delete about_;
    batch_.reset();
}

int ProgramWindowLinks::optionValue(std::size_t option) const {
    return windows_.settings.optionChecks[option]->value();
}

int ProgramWindowLinks::asciiArtOptionValue(std::size_t option) const {
    return windows_.asciiArt.optionChecks[option]->value();
}

int ProgramWindowLinks::doubleClickAction() const {
    return windows_.settings.doubleClickActionList->listIndex();
}

int ProgramWindowLinks::clockShows() const {
    const auto& choices = windows_.settings.clockModeChoices;
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i]->value())
            return int(i);
    return -1;
}

int ProgramWindowLinks::autoHideMargin(int side) const {
    // The margin fields always hold whole numbers; anything else counts as 0.
    return windows_.mouse.marginValueBoxes[std::size_t(side)]->text().toInt();
}

bool ProgramWindowLinks::settingsOpen() const {
    return windows_.settings.isVisible();
}

bool ProgramWindowLinks::dialogCoversPalette() const {
    // The batch-registration dialog is small and does not take the palette out of the band.
    return windows_.settings.isVisible() || (about_ && about_->isVisible()) || windows_.mouse.isVisible() ||
           windows_.asciiArt.isVisible();
}

void ProgramWindowLinks::editorFollowPage(int page) {
    windows_.settings.editorPageList->setListIndex(page);
}

void ProgramWindowLinks::editorFollowGroup(int group) {
    windows_.settings.groupChoices[std::size_t(group)]->setValue(true);
}

void ProgramWindowLinks::editorShowGroupOfPage(int page, int group) {
    auto& editor = windows_.settings;
    for (int i = 0; i < 20; ++i)
        editor.entryBoxes[std::size_t(i)]->setText(state_.kaomoji.get(page, group + 1, i));
    for (int i = 0; i < 16; ++i)
        editor.groupNameBoxes[std::size_t(i)]->setText(state_.kaomoji.get(page, 0, i));
    if (group >= 0 && group < 16)
        editor.groupChoices[std::size_t(group)]->setValue(true);
    if (page >= 0 && page < 10)
        editor.pageNameChoices[std::size_t(page)]->setValue(true);
}

void ProgramWindowLinks::editorEnableGroups(bool enabled) {
    for (auto* choice : windows_.settings.groupChoices)
        choice->setEnabled(enabled);
}

void ProgramWindowLinks::openSettings() {
    auto& s = state_;
    auto& palette = windows_.palette;
    auto& editor = windows_.settings;
    if (palette.pageList->listIndex() == -1)
        palette.pageList->setListIndex(0);
    if (editor.editorPageList->listIndex() == -1)
        editor.editorPageList->setListIndex(0);
    s.refilling = kRefilling;
    const int page = editor.editorPageList->listIndex();
    palette.pageList->setListIndex(page);
    if (s.currentGroup == kAsciiArtMode)
        palette.groupButtons[0]->press();
    editor.showGroupEntries(page, s.currentGroup);
    editor.showGroupNames(page);
    editor.paintGroupButtons();
    s.refilling = 0;
    editor.pageNameChoices[std::size_t(page)]->setValue(true);
    bringUp(editor);
}

int ProgramWindowLinks::palettePage() const {
    return windows_.palette.pageList->listIndex();
}

void ProgramWindowLinks::paletteShowPage(int page) {
    windows_.palette.pageList->setListIndex(page);
}

void ProgramWindowLinks::paletteShowEntry(int slot, const QString& text) {
    windows_.palette.entryButtons[std::size_t(slot)]->setCaption(text);
}

void ProgramWindowLinks::paletteShowGroupName(int slot, const QString& text) {
    windows_.palette.groupButtons[std::size_t(slot)]->setCaption(text);
}

void ProgramWindowLinks::paletteMarkGroup(int group, bool asciiArtButtonToo) {
    windows_.palette.markGroup(group, asciiArtButtonToo);
}

void ProgramWindowLinks::paletteChooseFirstGroup() {
    windows_.palette.groupButtons[0]->press();
}

void ProgramWindowLinks::paletteShowHistoryOrPage(int page) {
    windows_.palette.showHistoryOrPage(page);
}

void ProgramWindowLinks::paletteRepaintColors() {
    windows_.palette.repaintColors();
}

void ProgramWindowLinks::pageNamesChanged(int page) {
    windows_.palette.takePageNames(page);
    // The ASCII-art dialog has the nine pages of the user; the history page maps to the ninth.
    auto& list = *windows_.asciiArt.pageList;
    list.clearList();
    for (int p = 0; p < 9; ++p)
        list.addListItem(state_.pageNames[std::size_t(p)]);
    list.setListIndex(page == kHistoryPage ? 8 : page);
}

void ProgramWindowLinks::openAbout() {
    // The About dialog is built for each opening; one already open is brought forward.
    if (!about_) {
        about_ = new AboutDialog(state_);
        coveringDialogs_.watch(*about_);
    }
    bringUp(*about_);
}

void ProgramWindowLinks::openBatchRegistration() {
    // The batch-registration dialog is made at its first opening and kept, hidden, after it.
    if (!batch_)
        batch_ = std::make_unique<BatchRegistrationDialog>(state_);
    bringUp(*batch_);
}

void ProgramWindowLinks::openMouseSensitivity() {
    bringUp(windows_.mouse);
}

void ProgramWindowLinks::openAsciiArtSettings(int page) {
    // The ASCII-art dialog has nine pages; the history page has none and maps to the ninth.
    windows_.asciiArt.pageList->setListIndex(page == kHistoryPage ? 8 : page);
    bringUp(windows_.asciiArt);
}

controls::TextBox& ProgramWindowLinks::editorEntryBox(int slot) {
    return *windows_.settings.entryBoxes[std::size_t(slot)];
}

QStringList ProgramWindowLinks::saveSettings() {
    return ::saveSettings(windows_, state_);
}

QStringList ProgramWindowLinks::saveEverything() {
    QStringList failed = asciiart::save(state_, windows_.asciiArt);
    failed << saveSettings();
    return failed;
}
