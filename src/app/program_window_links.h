#pragma once
// The steps that span the program's windows, in one place: the palette and the kaomoji editor
// following each other, the dialogs opening one another, the options read from the dialogs'
// controls, and saving.
#include "app/dialog_watch.h"
#include "app/program_windows.h"
#include "links/window_links.h"
#include "storage/program_state.h"
#include <QPointer>
#include <memory>

class AboutDialog;
class BatchRegistrationDialog;

class ProgramWindowLinks final : public WindowLinks {
public:
    ProgramWindowLinks(storage::ProgramState& state, ProgramWindows windows);
    ~ProgramWindowLinks() override;

    // The dialogs made on demand; null until first opened (the About dialog again once closed).
    AboutDialog* aboutDialog() const { return about_; }
    BatchRegistrationDialog* batchDialog() const { return batch_.get(); }
    // They refer to the other windows, so they go before them.
    void closeDialogsMadeOnDemand();

    int optionValue(std::size_t option) const override;
    int asciiArtOptionValue(std::size_t option) const override;
    int doubleClickAction() const override;
    int clockShows() const override;
    int autoHideMargin(int side) const override;

    bool settingsOpen() const override;
    bool dialogCoversPalette() const override;
    void editorFollowPage(int page) override;
    void editorFollowGroup(int group) override;
    void editorShowGroupOfPage(int page, int group) override;
    void editorEnableGroups(bool enabled) override;
    void openSettings() override;

    int palettePage() const override;
    void paletteShowPage(int page) override;
    void paletteShowEntry(int slot, const QString& text) override;
    void paletteShowGroupName(int slot, const QString& text) override;
    void paletteMarkGroup(int group, bool asciiArtButtonToo) override;
    void paletteChooseFirstGroup() override;
    void paletteShowHistoryOrPage(int page) override;
    void paletteRepaintColors() override;
    void pageNamesChanged(int page) override;
    void openAbout() override;
    void openBatchRegistration() override;
    void openMouseSensitivity() override;
    void openAsciiArtSettings(int page) override;

    controls::TextBox& editorEntryBox(int slot) override;

    QStringList saveSettings() override;
    QStringList saveEverything() override;

private:
    storage::ProgramState& state_;
    ProgramWindows windows_;
    QPointer<AboutDialog> about_;
    // The dialogs that take the palette out of the always-on-top band.
    DialogWatch coveringDialogs_;
    std::unique_ptr<BatchRegistrationDialog> batch_;
};
