// The colour frame: pick a target, click a swatch, the palette repaints at once.
#include "palette/form1.h"
#include "palette/tip_window.h"
#include "settings/form2.h"

void Form2::cbox_Click(int index) {
    auto& s = state_;
    const std::uint32_t c = cbox[std::size_t(index)]->backColor();
    if (Option2[0]->value())
        s.Color2 = QString::number(c);
    if (Option2[1]->value())
        s.Color1 = QString::number(c);
    if (Option2[2]->value())
        s.Color3 = QString::number(c);
    if (Option2[3]->value()) {
        if (s.ToolTipWindow)
            s.ToolTipWindow->setTipBackColor(c);
        s.ToolTipBackColor = c;
    }
    if (Option2[4]->value()) {
        if (s.ToolTipWindow)
            s.ToolTipWindow->setTipTextColor(c);
        s.ToolTipFontColor = c;
    }
    s.form1->RepaintColors();
}
