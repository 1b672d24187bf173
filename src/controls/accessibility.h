#pragma once
// What screen readers (AT-SPI, through Qt's bridge) are told about the controls and may do with
// them. Qt's own description of a button knows nothing of a check box's 0, 1 or 2 nor of an
// option group kept apart from Qt's: it would announce the option buttons as check boxes, and
// its toggle action would change what a box shows and not its value. Here a check box is a check
// box and an option button a radio button, showing the value the program reads, and every action
// a screen reader runs on either is the control's click, with the click's handler.
namespace controls {

// Installs the description for the program's check boxes and option buttons; once is enough.
void installAccessibility();

} // namespace controls
