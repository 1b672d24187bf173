// "変更" in the page-name frame: the three page lists take the names, each keeping its place.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "settings/settings_dialog.h"

void SettingsDialog::renamePageClicked() {
    auto& s = state_;
    auto& paletteWindow = *s.paletteWindow;
    auto& asciiArtDialog = *s.asciiArtDialog;

    editorPageList->clearList();
    for (const auto& name : s.pageNames)
        editorPageList->addListItem(name);
    editorPageList->setListIndex(paletteWindow.pageList->listIndex());

    paletteWindow.pageList->clearList();
    for (const auto& name : s.pageNames)
        paletteWindow.pageList->addListItem(name);
    paletteWindow.pageList->setListIndex(editorPageList->listIndex());

    // The ASCII-art dialog has the nine pages of the user; the history page maps to the ninth.
    asciiArtDialog.pageList->clearList();
    for (int page = 0; page < 9; ++page)
        asciiArtDialog.pageList->addListItem(s.pageNames[std::size_t(page)]);
    const int p = editorPageList->listIndex();
    asciiArtDialog.pageList->setListIndex(p == 9 ? 8 : p);
}
