#include "palette/form1.h"
#include "asciiart/aa_store.h"
#include "asciiart/form5.h"
#include "controls/color.h"
#include "controls/focus.h"
#include "controls/twips.h"
#include "palette/tip_window.h"
#include "platform/profile.h"
#include "settings/form2.h"
#include "settings/form4.h"
#include "storage/profile_access.h"
#include "storage/settings_keys.h"
#include "tools/form3.h"
#include <QDateTime>

using controls::placeTwips;
using storage::kAsciiArtMode;
using storage::kGuardOn;
namespace keys = storage::settings;

namespace {
constexpr int kClientWidth = 6120;
constexpr int kClientHeight = 9390;
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;
constexpr int kMinimumWidth = 1800;
// Entry buttons stand 1200 twips from the left and end 135 twips before the right frame edge.
constexpr int kEntryWidthMargin = 1335;
// The clock bar starts 60 twips left of the client area and reaches past its right edge.
constexpr int kClockWidthExtra = 105;
constexpr int kExpandedExtra = 7000;
constexpr int kShrunkExtra = 450;
constexpr int kHideDateOffset = 330;
} // namespace

Form1::Form1(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ"), kClientWidth, kClientHeight), state_(state) {
    buildControls();
}

void Form1::buildControls() {
    setFont(controls::pGothicFont(9));

    auto* clock = new controls::CommandButton(this);
    clock->setFont(controls::pGothicFont(15.75, true));
    placeTwips(clock, -60, 0, 5415, 375);
    Command1[20] = clock;

    SSTab1 = new controls::TabStrip(this);
    SSTab1->addTab(QStringLiteral("履歴"));
    for (int t = 1; t <= 9; ++t)
        SSTab1->addTab(QString::number(t));
    placeTwips(SSTab1, 0, 420, 4950, 300);
    SSTab1->onClick = [this] { SSTab1_Click(); };

    Combo1 = new controls::ComboBox(this);
    for (int page = 0; page < 10; ++page)
        Combo1->addListItem(keys::defaultPageName(page));
    placeTwips(Combo1, 0, 780, 1095, 300);
    Combo1->onClick = [this] { Combo1_Click(); };

    for (int i = 0; i < 16; ++i) {
        auto* button = new controls::CommandButton(this);
        placeTwips(button, 0, 1080 + 300 * i, 1095, 315);
        button->onClick = [this, i] { Command2_Click(i); };
        Command2[std::size_t(i)] = button;
    }
    for (int i = 0; i < 20; ++i) {
        auto* button = new controls::CommandButton(this);
        placeTwips(button, 1200, 840 + 300 * i, 3975, 315);
        Command1[std::size_t(i)] = button;
    }
    for (int i = 0; i < 21; ++i) {
        Command1[std::size_t(i)]->onMouseMove = [this, i] { Command1_MouseMove(i); };
        Command1[std::size_t(i)]->onClick = [this, i] { Command1_Click(i); };
    }

    Command5 = new controls::CommandButton(this);
    Command5->setCaption(QStringLiteral("AA"));
    placeTwips(Command5, 0, 5880, 1095, 315);
    Command5->onClick = [this] { Command5_Click(); };
    Command3 = new controls::CommandButton(this);
    Command3->setCaption(QStringLiteral("設定"));
    placeTwips(Command3, 0, 6240, 1095, 315);
    Command3->onClick = [this] { Command3_Click(); };
    Command4 = new controls::CommandButton(this);
    Command4->setCaption(QStringLiteral("終了"));
    placeTwips(Command4, 0, 6540, 1095, 315);
    Command4->onClick = [this] { Command4_Click(); };
    // Closing the palette is "終了"; the close only stands when the program really ends.
    onCloseRequest = [this] { return !ExitProgram(); };

    Text1 = new controls::TextBox(this);
    placeTwips(Text1, 1200, 8520, 3975, 615);
    Text1->hide();
    Picture3 = new controls::PictureBox(this);
    placeTwips(Picture3, 0, 8520, 1095, 615);
    Picture3->hide();

    // The timers run from the window's creation; their first ticks come after start-up, which
    // never returns to the event loop before it ends.
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer2 = new QTimer(this);
    Timer2->setInterval(250);
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    Timer3 = new QTimer(this);
    Timer3->setInterval(250);
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3_Timer(); });
    Timer1->start();
    Timer2->start();
    Timer3->start();

    onResize = [this] { Form_Resize(); };
    // The palette is clicked, never typed into: it keeps out of the keyboard focus, so the
    // window the user works in stays the active one while the buttons are clicked, however
    // fast, and every paste goes there.
    controls::keepOutOfFocus(this);
}

void Form1::Form_Load() {
    auto& s = state_;
    auto& f2 = *s.form2;
    auto& f4 = *s.form4;
    const auto ini = s.settingsFile();
    auto readInt = [&ini](const QString& section, const QString& key, int defaultValue) {
        return storage::ReadProfileInt(section, key, defaultValue, ini);
    };

    // 1. Caption height. Windows 6.x (Vista, 7) draws captions 8 pixels taller than it reports.
    int caption = s.desktop.captionHeightPixels();
    if (s.desktop.osFamily() == platform::OsFamily::WindowsNT && int(s.desktop.osVersion()) == 6)
        caption += 8;
    s.CaptionHeight = controls::toTwips(caption);

    // 2. The kaomoji file; whatever cannot be read stays empty.
    storage::kaomoji_file::Read kaomoji =
        s.kaomojiReadAhead.valid() ? s.kaomojiReadAhead.get() : storage::kaomoji_file::read(s.kaomojiFile());
    s.KaomojiTable = std::move(kaomoji.table);
    s.kaomojiFileUnreadable = !kaomoji.whole;

    // Every key below comes from two small files; each is parsed once instead of once a key.
    platform::profile::Batch readOnce;

    // 3. The option check boxes. Check7's first reading defaults by platform; the second
    //    reading below, with default 1, is the one that stays.
    for (int i = 0; i < 10; ++i) {
        int def = keys::kCheckDefaults[std::size_t(i)];
        if (i == 7)
            def = s.desktop.osFamily() == platform::OsFamily::WindowsNT ? 1 : 0;
        const int value =
            keys::checkState(readInt(keys::kOptions, QStringLiteral("Check%1").arg(i), def), def);
        f2.Check1[std::size_t(i)]->setValue(value);
    }

    // 4.
    s.PageNumber =
        keys::inRange(readInt(keys::kOptions, QStringLiteral("PageNumber"), keys::kPageNumberDefault), 0, 9,
                      keys::kPageNumberDefault);
    f2.Combo2->setListIndex(
        keys::inRange(readInt(keys::kOptions, QStringLiteral("DoubleClick"), keys::kDoubleClickDefault), 0, 2,
                      keys::kDoubleClickDefault));

    // 5. Colours.
    auto readColor = [&](const char* key, std::int32_t def) {
        return keys::colorValue(readInt(keys::kColorOptions, QString::fromLatin1(key), def), def);
    };
    s.Color1 = QString::number(readColor("Color1", keys::kColor1Default));
    s.Color2 = QString::number(readColor("Color2", keys::kColor2Default));
    s.Color3 = QString::number(readColor("Color3", keys::kColor3Default));
    s.ToolTipBackColor = std::uint32_t(readColor("ToolTipBackColor", keys::kToolTipBackColorDefault));
    s.ToolTipFontColor = std::uint32_t(readColor("ToolTipFontColor", keys::kToolTipFontColorDefault));

    // 6. Positions. The width runs the resize handler, which needs the caption height.
    auto readTwips = [&](const char* key, int def) {
        return keys::twipsValue(readInt(keys::kForm, QString::fromLatin1(key), def), def);
    };
    setLeftTwips(readTwips("Form1Left", keys::kForm1LeftDefault));
    setTopTwips(readTwips("Form1Top", keys::kForm1TopDefault));
    setWidthTwips(readTwips("Form1Width", keys::kForm1WidthDefault));
    // A stored width equal to the one the window was made with changes no size and runs no
    // resize handler; the height rules must hold from the first frame all the same.
    Form_Resize();
    const int form2Left = readTwips("Form2Left", keys::kForm2LeftDefault);
    const int form2Top = readTwips("Form2Top", keys::kForm2TopDefault);
    if (f2.Check1[2]->value() == 1) {
        f2.setLeftTwips(form2Left);
        f2.setTopTwips(form2Top);
    }
    // Positions stored on a larger screen must not leave a window out of reach.
    keepMostlyInWorkArea();
    f2.keepMostlyInWorkArea();

    // 7. Clock mode; choosing the option button stores it back into ClockMode.
    const int clockMode = keys::inRange(readInt(keys::kOptions, QStringLiteral("Time"), keys::kTimeDefault),
                                        0, 2, keys::kTimeDefault);
    s.ClockMode = QString::number(clockMode);
    f2.Option4[std::size_t(clockMode)]->setValue(true);

    // 8. Auto-hide margins.
    auto readMouse = [&](const char* key) {
        return keys::inRange(readInt(keys::kMouseOptions, QString::fromLatin1(key), keys::kMouseDefault), 0,
                             32767, keys::kMouseDefault);
    };
    f4.HScroll1[0]->setScrollValue(readMouse("MouseX"));
    f4.HScroll1[1]->setScrollValue(readMouse("MouseXX"));
    f4.VScroll1[0]->setScrollValue(readMouse("MouseY"));
    f4.VScroll1[1]->setScrollValue(readMouse("MouseYY"));

    // 9. Page names.
    for (int page = 0; page < 10; ++page)
        s.PageNames[std::size_t(page)] = storage::ReadProfileString(
            keys::kPageName, QStringLiteral("Page%1").arg(page + 1), ini, keys::defaultPageName(page));

    // 10.
    f2.Check1[7]->setValue(keys::checkState(readInt(keys::kOptions, QStringLiteral("Check7"), 1), 1));

    // 11. The ASCII-art store.
    asciiart::load(s);

    // 12. The tooltip window.
    s.ToolTipWindow = new palette::TipWindow(this);
    s.ToolTipWindow->setMaxTipWidth(1000);
    s.ToolTipWindow->setTipBackColor(s.ToolTipBackColor);
    s.ToolTipWindow->setTipTextColor(s.ToolTipFontColor);

    // 13. Page lists; selecting item 0 runs both lists' handlers in full.
    for (auto* list : {Combo1, f2.Combo1}) {
        for (int i = 0; i < 10 && list->listCount() > 0; ++i)
            list->removeListItem(0);
        for (const auto& name : s.PageNames)
            list->addListItem(name);
    }
    Combo1->setListIndex(0);
    f2.Combo1->setListIndex(0);

    // 14.
    s.EditGuard = kGuardOn;
    for (int i = 0; i < 16; ++i)
        f2.Text1[std::size_t(i)]->setText(s.KaomojiTable.at(0, 0, i));

    // 15. The first colour target.
    f2.Option2[0]->setValue(true);

    // 16. Colours; the selection colour comes with the group selection below.
    setAutoFillBackground(true);
    SSTab1->setBackColor(storage::colorFromText(s.Color1));
    paintBackgroundColors();

    // 17. The last page, when so configured; the guard keeps the lists' handlers quiet.
    if (f2.Check1[6]->value() != 0) {
        Combo1->setListIndex(s.PageNumber);
        f2.Combo1->setListIndex(s.PageNumber);
    }

    // 18.
    const int p = Combo1->listIndex();
    for (int i = 0; i < 16; ++i) {
        const QString& text = s.KaomojiTable.get(p, 0, i);
        Command2[std::size_t(i)]->setCaption(text);
        f2.Text1[std::size_t(i)]->setText(text);
    }

    // 19. The history page has no groups and no ASCII art.
    setGroupButtonsEnabled(p != kHistoryPage);

    // 20.
    if (p == kHistoryPage) {
        SSTab1->setTab(0);
        Command2[0]->press();
    } else {
        SSTab1->setTab(p + 1);
    }

    // 21.
    if (f2.Check1[0]->value() == 1)
        SetTopmost(1);

    // 22. Group 0 of the start page; this also lifts the guard.
    Command2[0]->press();
}

void Form1::paintBackgroundColors() {
    const auto color1 = storage::colorFromText(state_.Color1);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, controls::fromColorRef(color1));
    setPalette(pal);
    Command3->setBackColor(color1);
    Command4->setBackColor(color1);
    for (int i = 0; i < 20; ++i)
        Command1[std::size_t(i)]->setBackColor(color1);
    for (auto* button : Command2)
        button->setBackColor(color1);
    Command1[20]->setBackColor(storage::colorFromText(state_.Color3));
}

void Form1::RepaintColors() {
    auto& s = state_;
    paintBackgroundColors();
    // In ASCII-art mode no group is chosen and every group button keeps the background.
    if (s.CurrentGroup >= 0 && s.CurrentGroup < 16)
        Command2[std::size_t(s.CurrentGroup)]->setBackColor(storage::colorFromText(s.Color2));
}

void Form1::setGroupButtonsEnabled(bool enabled) {
    for (int i = 0; i < 16; ++i) {
        Command2[std::size_t(i)]->setEnabled(enabled);
        state_.form2->Option1[std::size_t(i)]->setEnabled(enabled);
    }
    Command5->setEnabled(enabled);
}

void Form1::paintGroupButtonsWith(int selectedGroup) {
    const auto color1 = storage::colorFromText(state_.Color1);
    for (auto* button : Command2)
        button->setBackColor(color1);
    if (selectedGroup >= 0 && selectedGroup < 16)
        Command2[std::size_t(selectedGroup)]->setBackColor(storage::colorFromText(state_.Color2));
}

void Form1::Combo1_Click() {
    auto& s = state_;
    auto& f2 = *s.form2;
    if (s.EditGuard == kGuardOn)
        return;
    s.EditGuard = kGuardOn;
    const int p = Combo1->listIndex();
    if (p == kHistoryPage)
        Command2_Click(0);
    if (f2.isVisible() && s.CurrentGroup == kAsciiArtMode)
        Command2_Click(0);
    f2.Combo1->setListIndex(p);
    if (s.CurrentGroup == kAsciiArtMode) {
        paintGroupButtonsWith(-1);
        for (int i = 0; i < 20; ++i)
            Command1[std::size_t(i)]->setCaption(s.AAName.get(p + 1, i));
        Command5->setBackColor(storage::colorFromText(s.Color2));
        for (int i = 0; i < 16; ++i)
            Command2[std::size_t(i)]->setCaption(s.KaomojiTable.get(p, 0, i));
    } else {
        const int g = s.CurrentGroup;
        paintGroupButtonsWith(g);
        for (int i = 0; i < 20; ++i) {
            const QString& text = s.KaomojiTable.get(p, g + 1, i);
            Command1[std::size_t(i)]->setCaption(text);
            f2.Text2[std::size_t(i)]->setText(text);
        }
        for (int i = 0; i < 16; ++i) {
            const QString& text = s.KaomojiTable.get(p, 0, i);
            Command2[std::size_t(i)]->setCaption(text);
            f2.Text1[std::size_t(i)]->setText(text);
        }
        if (g >= 0 && g < 16)
            f2.Option1[std::size_t(g)]->setValue(true);
        if (p >= 0 && p < 10)
            f2.Option3[std::size_t(p)]->setValue(true);
    }
    setGroupButtonsEnabled(p != kHistoryPage);
    if (p == kHistoryPage) {
        SSTab1->setTab(0);
        Command2_Click(0);
    } else if (p >= 0) {
        SSTab1->setTab(p + 1);
    }
    s.EditGuard = 0;
}

void Form1::Command1_MouseMove(int index) {
    auto& s = state_;
    if (!s.ToolTipWindow)
        return;
    // In ASCII-art mode the whole piece shows as the button's tip; otherwise no tip at all.
    QString text;
    if (s.CurrentGroup == kAsciiArtMode && s.form5->Check1[2]->value() != 0 && index < 20)
        text = s.AAText.get(Combo1->listIndex() + 1, index);
    s.ToolTipWindow->addTool(Command1[std::size_t(index)], text);
}

void Form1::SSTab1_Click() {
    const int t = SSTab1->tab();
    const int page = t != 0 ? t - 1 : kHistoryPage;
    Combo1->setListIndex(page);
    state_.form2->Combo1->setListIndex(page);
}

void Form1::Command2_Click(int g) {
    auto& s = state_;
    s.EditGuard = kGuardOn;
    if (Combo1->listIndex() == -1)
        Combo1->setListIndex(0);
    paintGroupButtonsWith(g);
    const int p = Combo1->listIndex();
    for (int i = 0; i < 20; ++i)
        Command1[std::size_t(i)]->setCaption(s.KaomojiTable.get(p, g + 1, i));
    s.form2->Option1[std::size_t(g)]->setValue(true);
    Command5->setBackColor(storage::colorFromText(s.Color1));
    s.EditGuard = 0;
    s.CurrentGroup = g;
}

void Form1::Command5_Click() {
    auto& s = state_;
    if (s.form2->isVisible())
        return;
    const int p = Combo1->listIndex();
    // The history page has no ASCII art, whichever way the palette came to show it (the
    // page-name buttons, for one, leave the button enabled).
    if (p == kHistoryPage)
        return;
    paintGroupButtonsWith(-1);
    for (int i = 0; i < 20; ++i)
        Command1[std::size_t(i)]->setCaption(s.AAName.get(p + 1, i));
    Command5->setBackColor(storage::colorFromText(s.Color2));
    s.CurrentGroup = kAsciiArtMode;
}

void Form1::Command3_Click() {
    auto& s = state_;
    auto& f2 = *s.form2;
    if (s.EditGuard == kGuardOn)
        return;
    if (Combo1->listIndex() == -1)
        Combo1->setListIndex(0);
    if (f2.Combo1->listIndex() == -1)
        f2.Combo1->setListIndex(0);
    s.EditGuard = kGuardOn;
    const int page = f2.Combo1->listIndex();
    Combo1->setListIndex(page);
    if (s.CurrentGroup == kAsciiArtMode)
        Command2[0]->press();
    f2.ShowGroupEntries(page, s.CurrentGroup);
    f2.ShowGroupCaptions(page);
    f2.PaintGroupButtons();
    s.EditGuard = 0;
    f2.Option3[std::size_t(page)]->setValue(true);
    f2.show();
    f2.raise();
    f2.activateWindow();
}

int Form1::expandedHeight() const {
    return state_.CaptionHeight + kExpandedExtra;
}
int Form1::shrunkHeight() const {
    return state_.CaptionHeight + kShrunkExtra - ShrinkOffset;
}

void Form1::Form_Resize() {
    if (windowState() == controls::WindowState::Normal) {
        if (widthTwips() < kMinimumWidth)
            setWidthTwips(kMinimumWidth);
        if (heightTwips() != shrunkHeight())
            setHeightTwips(expandedHeight());
        Command1[20]->resize(controls::toPixels(widthTwips() + kClockWidthExtra), Command1[20]->height());
        for (int i = 0; i < 20; ++i)
            Command1[std::size_t(i)]->resize(controls::toPixels(widthTwips() - kEntryWidthMargin),
                                             Command1[std::size_t(i)]->height());
    }
    if (state_.TopmostSuspended == 0 && state_.form2->Check1[0]->value() == 1)
        SetTopmost(1);
}

void Form1::SetTopmost(int mode) {
    if (mode == 0 || mode == 1) {
        state_.desktop.setTopmost(handle(), mode == 1);
        inTopmostBand_ = mode == 1;
    }
}

void Form1::Timer1_Timer() {
    auto& f2 = *state_.form2;
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toString(QStringLiteral("yyyy/MM/dd"));
    const QString time = now.toString(QStringLiteral("H:mm:ss"));
    if (f2.Option4[0]->value())
        Command1[20]->setCaption(date);
    if (f2.Option4[1]->value())
        Command1[20]->setCaption(time);
    if (f2.Option4[2]->value())
        Command1[20]->setCaption(date + QStringLiteral("  ") + time);

    // Topmost upkeep: out of the band while a dialog is open, back in when the last one closes.
    if (anyDialogVisible()) {
        // Start-up puts the palette into the band while the flag is still set from the check
        // box: a dialog opened before the first tick must take it out all the same.
        if (state_.TopmostSuspended == 0 || inTopmostBand_)
            SetTopmost(0);
        state_.TopmostSuspended = 1;
    } else if (state_.TopmostSuspended == 1 && f2.Check1[0]->value() == 1) {
        SetTopmost(1);
        state_.TopmostSuspended = 0;
    }
}

bool Form1::anyDialogVisible() const {
    // The batch-registration dialog is small and does not take the palette out of the band.
    return state_.form2->isVisible() || (state_.form3 && state_.form3->isVisible()) ||
           state_.form4->isVisible() || state_.form5->isVisible();
}

void Form1::Timer2_Timer() {
    const platform::WindowHandle h = state_.desktop.foregroundWindow();
    if (h != handle() && h != TargetWindow && h != 0)
        TargetWindow = h;
}

void Form1::Timer3_Timer() {
    auto& f2 = *state_.form2;
    auto& f4 = *state_.form4;
    ShrinkOffset = f2.Check1[9]->value() != 0 ? kHideDateOffset : 0;
    const platform::Point cursor = state_.desktop.cursorPos();
    const float x = float(controls::toTwips(cursor.x));
    const float y = float(controls::toTwips(cursor.y));
    if (windowState() != controls::WindowState::Normal)
        return;
    // The margin fields always hold whole numbers; anything else counts as 0.
    auto margin = [&f4](int i) { return float(f4.Text1[std::size_t(i)]->text().toInt()) * 15.0f; };
    const float left = float(leftTwips());
    const float top = float(topTwips());
    const bool over = x + margin(0) > left - 1 && y + margin(2) > top - 1 &&
                      x + margin(1) < left + float(widthTwips()) &&
                      y + margin(3) < top + float(heightTwips());
    if (over)
        setHeightTwips(expandedHeight());
    else if (f2.Check1[1]->value() == 1 && isEnabled())
        setHeightTwips(shrunkHeight());
}
