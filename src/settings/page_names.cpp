// "変更" in the page-name frame: the three page lists take the names, each keeping its place.
#include "asciiart/form5.h"
#include "palette/form1.h"
#include "settings/form2.h"

void Form2::Command4_Click() {
    auto& s = state_;
    auto& f1 = *s.form1;
    auto& f5 = *s.form5;

    Combo1->clearList();
    for (const auto& name : s.PageNames)
        Combo1->addListItem(name);
    Combo1->setListIndex(f1.Combo1->listIndex());

    f1.Combo1->clearList();
    for (const auto& name : s.PageNames)
        f1.Combo1->addListItem(name);
    f1.Combo1->setListIndex(Combo1->listIndex());

    // The ASCII-art dialog has the nine pages of the user; the history page maps to the ninth.
    f5.Combo1->clearList();
    for (int page = 0; page < 9; ++page)
        f5.Combo1->addListItem(s.PageNames[std::size_t(page)]);
    const int p = Combo1->listIndex();
    f5.Combo1->setListIndex(p == 9 ? 8 : p);
}
