// Saving everything but the ASCII art: the kaomoji file, then the settings file key by key.
#include "controls/twips.h"
#include "palette/form1.h"
#include "platform/profile.h"
#include "settings/form2.h"
#include "settings/form4.h"
#include "storage/profile_access.h"
#include "storage/settings_keys.h"

namespace keys = storage::settings;

namespace {
// Positions this close to the work area's right or bottom edge, or beyond it, are not kept:
// the window would start out of reach next time.
constexpr int kEdgeMargin = 500;
} // namespace

QStringList Form2::SaveAll() {
    auto& s = state_;
    auto& f1 = *s.form1;
    auto& f4 = *s.form4;
    QStringList failed;
    std::string error;
    if (s.kaomojiFileUnreadable || !storage::kaomoji_file::save(s.KaomojiTable, s.kaomojiFile(), &error))
        failed << QStringLiteral("顔文字.ini");

    const auto ini = s.settingsFile();
    // All keys go to the file in one atomic replacement instead of one per key.
    platform::profile::Batch batch;
    bool settingsOk = true;
    auto write = [&](const QString& section, const QString& key, const QString& value) {
        settingsOk &= storage::WriteProfileString(section, key, value, ini);
    };

    for (int i = 0; i < 10; ++i)
        write(keys::kOptions, QStringLiteral("Check%1").arg(i),
              QString::number(Check1[std::size_t(i)]->value()));
    write(keys::kOptions, QStringLiteral("PageNumber"), QString::number(Combo1->listIndex()));

    write(keys::kColorOptions, QStringLiteral("Color1"), s.Color1);
    write(keys::kColorOptions, QStringLiteral("Color2"), s.Color2);
    write(keys::kColorOptions, QStringLiteral("Color3"), s.Color3);
    write(keys::kColorOptions, QStringLiteral("ToolTipBackColor"), QString::number(s.ToolTipBackColor));
    write(keys::kColorOptions, QStringLiteral("ToolTipFontColor"), QString::number(s.ToolTipFontColor));

    if (Check1[2]->value() == 1) {
        const platform::Rect area = s.desktop.workArea();
        const int w = controls::toTwips(area.width);
        const int h = controls::toTwips(area.height);
        auto keepX = [w](int x) { return x >= 0 && w - kEdgeMargin > x; };
        auto keepY = [h](int y) { return y >= 0 && h - kEdgeMargin > y; };
        if (keepX(f1.leftTwips()))
            write(keys::kForm, QStringLiteral("Form1Left"), QString::number(f1.leftTwips()));
        if (keepY(f1.topTwips()))
            write(keys::kForm, QStringLiteral("Form1Top"), QString::number(f1.topTwips()));
        if (keepX(leftTwips()))
            write(keys::kForm, QStringLiteral("Form2Left"), QString::number(leftTwips()));
        if (keepY(topTwips()))
            write(keys::kForm, QStringLiteral("Form2Top"), QString::number(topTwips()));
    }
    if (Check1[4]->value() == 1 && f1.windowState() == controls::WindowState::Normal)
        write(keys::kForm, QStringLiteral("Form1Width"), QString::number(f1.widthTwips()));

    write(keys::kOptions, QStringLiteral("Time"), s.ClockMode);

    write(keys::kMouseOptions, QStringLiteral("MouseX"), QString::number(f4.HScroll1[0]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseXX"), QString::number(f4.HScroll1[1]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseY"), QString::number(f4.VScroll1[0]->value()));
    write(keys::kMouseOptions, QStringLiteral("MouseYY"), QString::number(f4.VScroll1[1]->value()));

    // Every page can be renamed, so every page's name is kept.
    for (int page = 0; page < 10; ++page)
        write(keys::kPageName, QStringLiteral("Page%1").arg(page + 1), s.PageNames[std::size_t(page)]);

    write(keys::kOptions, QStringLiteral("DoubleClick"), QString::number(Combo2->listIndex()));

    settingsOk &= batch.commit();
    if (!settingsOk)
        failed << keys::kFileName;
    return failed;
}

void Form2::Command1_Click() {
    const QStringList failed = SaveAll();
    if (!failed.isEmpty() && state_.reportSaveFailure)
        state_.reportSaveFailure(failed);
}
