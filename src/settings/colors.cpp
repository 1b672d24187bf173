// The colour frame: pick a target, click a swatch, the palette repaints at once.
#include "links/window_links.h"
#include "palette/tip_window.h"
#include "settings/settings_dialog.h"

void SettingsDialog::swatchClicked(int index) {
    auto& s = state_;
    const std::uint32_t c = colorSwatches[std::size_t(index)]->backColor();
    if (colorTargetChoices[0]->value())
        s.selectionColor = QString::number(c);
    if (colorTargetChoices[1]->value())
        s.backgroundColor = QString::number(c);
    if (colorTargetChoices[2]->value())
        s.clockColor = QString::number(c);
    if (colorTargetChoices[3]->value()) {
        if (s.tipWindow)
            s.tipWindow->setTipBackColor(c);
        s.tipBackColor = c;
    }
    if (colorTargetChoices[4]->value()) {
        if (s.tipWindow)
            s.tipWindow->setTipTextColor(c);
        s.tipTextColor = c;
    }
    s.links->paletteRepaintColors();
}
