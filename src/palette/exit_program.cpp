// Ending the program: "終了" and the palette's close box.
#include "links/window_links.h"
#include "palette/palette_window.h"
#include "palette/tip_window.h"
#include "storage/options.h"

void PaletteWindow::exitClicked() {
    exitProgram();
}

bool PaletteWindow::exitProgram() {
    auto& s = state_;
    // Pastes still waiting would activate the target and type into it while the program
    // saves and ends (or while the user is asked about a failed save).
    exiting_ = true;
    cancelPastes();
    if (s.links->optionValue(option::kSaveOnExit) != 0) {
        // The ASCII-art save ends with the save of everything else, which then runs once more.
        QStringList failed = s.links->saveEverything();
        failed << s.links->saveSettings();
        failed.removeDuplicates();
        if (!failed.isEmpty() && !(s.confirmEndWithoutSaving && s.confirmEndWithoutSaving(failed))) {
            exiting_ = false;
            return false;
        }
    }
    if (s.tipWindow) {
        delete s.tipWindow;
        s.tipWindow = nullptr;
    }
    if (s.endProgram)
        s.endProgram();
    return true;
}
