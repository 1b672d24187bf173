// "変更" in the page-name frame: the three page lists take the names, each keeping its place.
#include "links/window_links.h"
#include "settings/settings_dialog.h"

void SettingsDialog::renamePageClicked() {
    editorPageList->clearList();
    for (const auto& name : state_.pageNames)
        editorPageList->addListItem(name);
    editorPageList->setListIndex(state_.links->palettePage());
    state_.links->pageNamesChanged(editorPageList->listIndex());
}
