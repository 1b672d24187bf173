#pragma once
// What one window asks of the others. The palette and the kaomoji editor show the same page
// and group, the dialogs open one another, the options live in the dialogs' controls, and
// saving gathers what every window holds: each such step that spans windows is one call here,
// carried out in one place (app/program_window_links.cpp). A window knows its own controls
// and this interface, never another window, so it can be read, and tested, alone.
#include <QString>
#include <QStringList>
#include <cstddef>

namespace controls {
class TextBox;
}

class WindowLinks {
public:
    virtual ~WindowLinks() = default;

    // The options as their check boxes hold them at this moment (storage/options.h names
    // them): 0 off, 1 on, 2 greyed, which only a stored 2 gives. Some steps take a greyed box
    // as on, others as off.
    virtual int optionValue(std::size_t option) const = 0;
    virtual int asciiArtOptionValue(std::size_t option) const = 0;
    // What follows a double-click's paste: 1 Enter, 2 Tab, anything else nothing.
    virtual int doubleClickAction() const = 0;
    // What the clock bar shows: 0 the date, 1 the time, 2 both, -1 nothing chosen.
    virtual int clockShows() const = 0;
    // The auto-hide margins (left, right, top, bottom) in pixels, as the user typed them.
    virtual int autoHideMargin(int side) const = 0;

    // Asked by the palette.
    virtual bool settingsOpen() const = 0;
    // A dialog that takes the palette out of the always-on-top band is open.
    virtual bool dialogCoversPalette() const = 0;
    // The editor follows the palette's page, group, and group buttons being enabled.
    virtual void editorFollowPage(int page) = 0;
    virtual void editorFollowGroup(int group) = 0;
    virtual void editorShowGroupOfPage(int page, int group) = 0;
    virtual void editorEnableGroups(bool enabled) = 0;
    // "設定": the editor opens on the palette's page and group.
    virtual void openSettings() = 0;

    // Asked by the settings dialog: the palette follows the editor.
    virtual int palettePage() const = 0;
    virtual void paletteShowPage(int page) = 0;
    virtual void paletteShowEntry(int slot, const QString& text) = 0;
    virtual void paletteShowGroupName(int slot, const QString& text) = 0;
    // The group buttons in the background colour but the chosen group's; the "AA" button
    // too when the group was chosen in the editor.
    virtual void paletteMarkGroup(int group, bool asciiArtButtonToo) = 0;
    // Picks the first group, as a click on its button does (which leaves ASCII-art mode).
    virtual void paletteChooseFirstGroup() = 0;
    // The history page has no groups and no ASCII art: the palette's buttons and tab follow.
    virtual void paletteShowHistoryOrPage(int page) = 0;
    virtual void paletteRepaintColors() = 0;
    // The page names changed: the palette's and the ASCII-art dialog's page lists take them
    // and show the editor's page.
    virtual void pageNamesChanged(int page) = 0;
    virtual void openAbout() = 0;
    virtual void openBatchRegistration() = 0;
    virtual void openMouseSensitivity() = 0;
    virtual void openAsciiArtSettings(int page) = 0;

    // Asked by the batch-registration dialog: the editor's entry boxes, while it is open.
    virtual controls::TextBox& editorEntryBox(int slot) = 0;

    // Saving. Each returns the files that could not be written; nothing in memory changes.
    // The kaomoji file and the settings file.
    virtual QStringList saveSettings() = 0;
    // The ASCII-art store first, then the same as saveSettings.
    virtual QStringList saveEverything() = 0;
};
