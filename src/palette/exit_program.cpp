// Ending the program: "終了" and the palette's close box.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "palette/tip_window.h"
#include "settings/form2.h"

void Form1::Command4_Click() {
    ExitProgram();
}

bool Form1::ExitProgram() {
    auto& s = state_;
    // Pastes still waiting would activate the target and type into it while the program
    // saves and ends (or while the user is asked about a failed save).
    exiting_ = true;
    cancelPastes();
    if (s.form2->Check1[8]->value() != 0) {
        // The ASCII-art save ends with the save of everything else, which then runs once more.
        QStringList failed = s.form5->SaveStore();
        failed << s.form2->SaveAll();
        failed.removeDuplicates();
        if (!failed.isEmpty() && !(s.confirmEndWithoutSaving && s.confirmEndWithoutSaving(failed))) {
            exiting_ = false;
            return false;
        }
    }
    if (s.ToolTipWindow) {
        delete s.ToolTipWindow;
        s.ToolTipWindow = nullptr;
    }
    if (s.endProgram)
        s.endProgram();
    return true;
}
