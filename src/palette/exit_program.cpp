// Ending the program: "終了" and the palette's close box.
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "palette/tip_window.h"
#include "settings/settings_dialog.h"

void PaletteWindow::exitClicked() {
    exitProgram();
}

bool PaletteWindow::exitProgram() {
    auto& s = state_;
    // Pastes still waiting would activate the target and type into it while the program
    // saves and ends (or while the user is asked about a failed save).
    exiting_ = true;
    cancelPastes();
    if (s.settingsDialog->optionChecks[option::kSaveOnExit]->value() != 0) {
        // The ASCII-art save ends with the save of everything else, which then runs once more.
        QStringList failed = s.asciiArtDialog->saveStoreThenAll();
        failed << s.settingsDialog->saveAll();
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
