#include "palette/palette_window.h"
#include "controls/color.h"
#include "controls/focus.h"
#include "controls/twips.h"
#include "links/window_links.h"
#include "palette/tip_window.h"
#include "storage/options.h"
#include "storage/settings_keys.h"
#include <QDateTime>

using controls::placeTwips;
using storage::kAsciiArtMode;
using storage::kRefilling;
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

PaletteWindow::PaletteWindow(storage::ProgramState& state)
    : controls::Window(state.desktop, QStringLiteral("ぴこめ"), kClientWidth, kClientHeight), state_(state) {
    buildControls();
}

void PaletteWindow::buildControls() {
    setFont(controls::pGothicFont(9));

    auto* clock = new controls::CommandButton(this);
    clock->setFont(controls::pGothicFont(15.75, true));
    placeTwips(clock, -60, 0, 5415, 375);
    entryButtons[PaletteWindow::kClockBar] = clock;

    pageTabs = new controls::TabStrip(this);
    pageTabs->addTab(QStringLiteral("履歴"));
    for (int t = 1; t <= 9; ++t)
        pageTabs->addTab(QString::number(t));
    placeTwips(pageTabs, 0, 420, 4950, 300);
    pageTabs->onClick = [this] {
        pageTabChosen();
        giveFocusBack();
    };

    pageList = new controls::ComboBox(this);
    for (int page = 0; page < 10; ++page)
        pageList->addListItem(keys::defaultPageName(page));
    placeTwips(pageList, 0, 780, 1095, 300);
    pageList->onClick = [this] {
        pageChosenInList();
        giveFocusBack();
    };

    for (int i = 0; i < 16; ++i) {
        auto* button = new controls::CommandButton(this);
        placeTwips(button, 0, 1080 + 300 * i, 1095, 315);
        button->onClick = [this, i] {
            groupChosen(i);
            giveFocusBack();
        };
        groupButtons[std::size_t(i)] = button;
    }
    for (int i = 0; i < 20; ++i) {
        auto* button = new controls::CommandButton(this);
        placeTwips(button, 1200, 840 + 300 * i, 3975, 315);
        entryButtons[std::size_t(i)] = button;
    }
    for (int i = 0; i < 21; ++i) {
        entryButtons[std::size_t(i)]->onMouseMove = [this, i] { pointerOverEntry(i); };
        entryButtons[std::size_t(i)]->onClick = [this, i] { entryClicked(i); };
    }

    asciiArtButton = controls::captionedButton(this, QStringLiteral("AA"), 0, 5880, 1095, 315);
    asciiArtButton->onClick = [this] {
        showAsciiArtNames();
        giveFocusBack();
    };
    settingsButton = controls::captionedButton(this, QStringLiteral("設定"), 0, 6240, 1095, 315);
    settingsButton->onClick = [this] { openSettings(); };
    exitButton = controls::captionedButton(this, QStringLiteral("終了"), 0, 6540, 1095, 315);
    exitButton->onClick = [this] { exitClicked(); };
    // Closing the palette is "終了"; the close only stands when the program really ends.
    onCloseRequest = [this] { return !exitProgram(); };

    // The timers run from the window's creation; their first ticks come after start-up, which
    // never returns to the event loop before it ends.
    clockTimer = new QTimer(this);
    clockTimer->setInterval(1000);
    // Set for the turn of each second: a coarse timer may come early and show the old one.
    clockTimer->setTimerType(Qt::PreciseTimer);
    connect(clockTimer, &QTimer::timeout, this, [this] { clockTimerFired(); });
    foregroundTimer = new QTimer(this);
    foregroundTimer->setInterval(250);
    connect(foregroundTimer, &QTimer::timeout, this, [this] { foregroundTimerFired(); });
    autoHideTimer = new QTimer(this);
    autoHideTimer->setInterval(250);
    connect(autoHideTimer, &QTimer::timeout, this, [this] { followPointer(); });
    dialogsChanged_ = new QTimer(this);
    dialogsChanged_->setSingleShot(true);
    dialogsChanged_->setInterval(0);
    connect(dialogsChanged_, &QTimer::timeout, this, [this] {
        clockTick();
        if (clockTimer->isActive())
            scheduleClockTick();
        wakePointerFollowing();
    });
    foregroundNotices_ = state_.desktop.watchForeground([this] { trackTargetWindow(); });
    clockTimer->start();
    foregroundTimer->start();
    autoHideTimer->start();

    onResize = [this] { fitToWidth(); };
    // The palette is clicked, never typed into: it keeps out of the keyboard focus, so the
    // window the user works in stays the active one while the buttons are clicked, however
    // fast, and every paste goes there.
    controls::keepOutOfFocus(this);
}

void PaletteWindow::paintBackgroundColors() {
    const auto color1 = storage::colorFromText(state_.backgroundColor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, controls::fromColorRef(color1));
    setPalette(pal);
    settingsButton->setBackColor(color1);
    exitButton->setBackColor(color1);
    for (int i = 0; i < 20; ++i)
        entryButtons[std::size_t(i)]->setBackColor(color1);
    for (auto* button : groupButtons)
        button->setBackColor(color1);
    entryButtons[PaletteWindow::kClockBar]->setBackColor(storage::colorFromText(state_.clockColor));
}

void PaletteWindow::repaintColors() {
    auto& s = state_;
    paintBackgroundColors();
    // In ASCII-art mode no group is chosen and every group button keeps the background.
    if (s.currentGroup >= 0 && s.currentGroup < 16)
        groupButtons[std::size_t(s.currentGroup)]->setBackColor(storage::colorFromText(s.selectionColor));
}

void PaletteWindow::setGroupButtonsEnabled(bool enabled) {
    for (auto* button : groupButtons)
        button->setEnabled(enabled);
    state_.links->editorEnableGroups(enabled);
    asciiArtButton->setEnabled(enabled);
}

void PaletteWindow::paintGroupButtonsWith(int selectedGroup) {
    const auto color1 = storage::colorFromText(state_.backgroundColor);
    for (auto* button : groupButtons)
        button->setBackColor(color1);
    if (selectedGroup >= 0 && selectedGroup < 16)
        groupButtons[std::size_t(selectedGroup)]->setBackColor(storage::colorFromText(state_.selectionColor));
}

void PaletteWindow::pageChosenInList() {
    auto& s = state_;
    if (s.refilling == kRefilling)
        return;
    s.refilling = kRefilling;
    const int p = pageList->listIndex();
    // The history page has no ASCII art, and the editor shows kaomoji groups only.
    if (p == kHistoryPage)
        groupChosen(0);
    if (s.links->settingsOpen() && s.currentGroup == kAsciiArtMode)
        groupChosen(0);
    s.links->editorFollowPage(p);
    if (s.currentGroup == kAsciiArtMode)
        showAsciiArtNamesOfPage(p);
    else
        showCurrentGroupOfPage(p);
    setGroupButtonsEnabled(p != kHistoryPage);
    showTabOfPage(p);
    s.refilling = 0;
}

void PaletteWindow::showAsciiArtNamesOfPage(int p) {
    auto& s = state_;
    paintGroupButtonsWith(-1);
    for (int i = 0; i < 20; ++i)
        entryButtons[std::size_t(i)]->setCaption(s.asciiArtNames.get(p + 1, i));
    asciiArtButton->setBackColor(storage::colorFromText(s.selectionColor));
    for (int i = 0; i < 16; ++i)
        groupButtons[std::size_t(i)]->setCaption(s.kaomoji.get(p, 0, i));
}

void PaletteWindow::showCurrentGroupOfPage(int p) {
    auto& s = state_;
    const int g = s.currentGroup;
    paintGroupButtonsWith(g);
    for (int i = 0; i < 20; ++i)
        entryButtons[std::size_t(i)]->setCaption(s.kaomoji.get(p, g + 1, i));
    for (int i = 0; i < 16; ++i)
        groupButtons[std::size_t(i)]->setCaption(s.kaomoji.get(p, 0, i));
    s.links->editorShowGroupOfPage(p, g);
}

void PaletteWindow::showTabOfPage(int p) {
    if (p == kHistoryPage) {
        pageTabs->setTab(0);
        groupChosen(0);
    } else if (p >= 0) {
        pageTabs->setTab(p + 1);
    }
}

void PaletteWindow::pointerOverEntry(int index) {
    auto& s = state_;
    if (!s.tipWindow)
        return;
    // In ASCII-art mode the whole piece shows as the button's tip; otherwise no tip at all.
    QString text;
    if (s.currentGroup == kAsciiArtMode && s.links->asciiArtOptionValue(aa_option::kShowPreviewTips) != 0 &&
        index < 20)
        text = s.asciiArtTexts.get(pageList->listIndex() + 1, index);
    s.tipWindow->addTool(entryButtons[std::size_t(index)], text);
}

void PaletteWindow::pageTabChosen() {
    const int t = pageTabs->tab();
    const int page = t != 0 ? t - 1 : kHistoryPage;
    pageList->setListIndex(page);
    state_.links->editorFollowPage(page);
}

void PaletteWindow::groupChosen(int g) {
    auto& s = state_;
    s.refilling = kRefilling;
    if (pageList->listIndex() == -1)
        pageList->setListIndex(0);
    paintGroupButtonsWith(g);
    const int p = pageList->listIndex();
    for (int i = 0; i < 20; ++i)
        entryButtons[std::size_t(i)]->setCaption(s.kaomoji.get(p, g + 1, i));
    s.links->editorFollowGroup(g);
    asciiArtButton->setBackColor(storage::colorFromText(s.backgroundColor));
    s.refilling = 0;
    s.currentGroup = g;
}

void PaletteWindow::showAsciiArtNames() {
    auto& s = state_;
    if (s.links->settingsOpen())
        return;
    const int p = pageList->listIndex();
    // The history page has no ASCII art, whichever way the palette came to show it (the
    // page-name buttons, for one, leave the button enabled).
    if (p == kHistoryPage)
        return;
    paintGroupButtonsWith(-1);
    for (int i = 0; i < 20; ++i)
        entryButtons[std::size_t(i)]->setCaption(s.asciiArtNames.get(p + 1, i));
    asciiArtButton->setBackColor(storage::colorFromText(s.selectionColor));
    s.currentGroup = kAsciiArtMode;
}

void PaletteWindow::openSettings() {
    if (state_.refilling == kRefilling)
        return;
    state_.links->openSettings();
}

void PaletteWindow::markGroup(int group, bool asciiArtButtonToo) {
    paintGroupButtonsWith(group);
    if (asciiArtButtonToo)
        asciiArtButton->setBackColor(storage::colorFromText(state_.backgroundColor));
}

void PaletteWindow::showHistoryOrPage(int page) {
    const bool history = page == kHistoryPage;
    for (auto* button : groupButtons)
        button->setEnabled(!history);
    asciiArtButton->setEnabled(!history);
    if (history) {
        groupButtons[0]->press();
        pageTabs->setTab(0);
    } else {
        pageTabs->setTab(page + 1);
    }
}

void PaletteWindow::takePageNames(int page) {
    pageList->clearList();
    for (const auto& name : state_.pageNames)
        pageList->addListItem(name);
    pageList->setListIndex(page);
}

int PaletteWindow::expandedHeight() const {
    return state_.captionHeight + kExpandedExtra;
}
int PaletteWindow::shrunkHeight() const {
    return state_.captionHeight + kShrunkExtra - dateHideOffset;
}

void PaletteWindow::introduceToWindowManager() {
    state_.desktop.markAsUtilityWindow(handle());
    state_.desktop.watchFrameExtents(handle(),
                                     [this](platform::FrameExtents frame) { takeCaptionFromFrame(frame); });
}

void PaletteWindow::takeCaptionFromFrame(platform::FrameExtents frame) {
    frameArrived();
    const int caption = controls::toTwips(frame.top);
    if (caption == state_.captionHeight)
        return;
    // The height was set for the caption known then, so it is off by the difference in
    // captions at most, far less than the distance between the two heights: the nearer one
    // says which state the palette is in.
    const bool shrunk = 2 * heightTwips() < shrunkHeight() + expandedHeight();
    state_.captionHeight = caption;
    if (windowState() == controls::WindowState::Normal)
        setHeightTwips(shrunk ? shrunkHeight() : expandedHeight());
}

void PaletteWindow::fitToWidth() {
    if (windowState() == controls::WindowState::Normal) {
        if (widthTwips() < kMinimumWidth)
            setWidthTwips(kMinimumWidth);
        if (heightTwips() != shrunkHeight() && !shrunkAsFarAsAllowed())
            setHeightTwips(expandedHeight());
        entryButtons[PaletteWindow::kClockBar]->resize(controls::toPixels(widthTwips() + kClockWidthExtra),
                                                       entryButtons[PaletteWindow::kClockBar]->height());
        for (int i = 0; i < 20; ++i)
            entryButtons[std::size_t(i)]->resize(controls::toPixels(widthTwips() - kEntryWidthMargin),
                                                 entryButtons[std::size_t(i)]->height());
    }
    if (state_.topmostSuspended == 0 && state_.links->optionValue(option::kAlwaysOnTop) == 1)
        setTopmost(1);
}

void PaletteWindow::setTopmost(int mode) {
    if (mode == 0 || mode == 1) {
        state_.desktop.setTopmost(handle(), mode == 1);
        inTopmostBand_ = mode == 1;
    }
}

void PaletteWindow::clockTick() {
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = now.toString(QStringLiteral("yyyy/MM/dd"));
    const QString time = now.toString(QStringLiteral("H:mm:ss"));
    switch (state_.links->clockShows()) {
    case 0:
        entryButtons[PaletteWindow::kClockBar]->setCaption(date);
        break;
    case 1:
        entryButtons[PaletteWindow::kClockBar]->setCaption(time);
        break;
    case 2:
        entryButtons[PaletteWindow::kClockBar]->setCaption(date + QStringLiteral("  ") + time);
        break;
    default:
        break;
    }

    // Topmost upkeep: out of the band while a dialog is open, back in when the last one closes.
    if (state_.links->dialogCoversPalette()) {
        // Start-up puts the palette into the band while the flag is still set from the check
        // box: a dialog opened before the first tick must take it out all the same.
        if (state_.topmostSuspended == 0 || inTopmostBand_)
            setTopmost(0);
        state_.topmostSuspended = 1;
    } else if (state_.topmostSuspended == 1 && state_.links->optionValue(option::kAlwaysOnTop) == 1) {
        setTopmost(1);
        state_.topmostSuspended = 0;
    }
}

void PaletteWindow::giveFocusBack() {
    if (targetWindow == 0 || state_.links->dialogCoversPalette())
        return;
    if (state_.desktop.foregroundWindow() == handle())
        state_.desktop.setForegroundWindow(targetWindow);
}

void PaletteWindow::trackTargetWindow() {
    const platform::WindowHandle h = state_.desktop.foregroundWindow();
    if (h != handle() && h != targetWindow && h != 0)
        targetWindow = h;
}

void PaletteWindow::autoHideTick() {
    auto& links = *state_.links;
    dateHideOffset = links.optionValue(option::kHideDateWhenShrunk) != 0 ? kHideDateOffset : 0;
    const platform::Point cursor = state_.desktop.cursorPos();
    lastPointer_ = cursor;
    const float x = float(controls::toTwips(cursor.x));
    const float y = float(controls::toTwips(cursor.y));
    if (windowState() != controls::WindowState::Normal)
        return;
    auto margin = [&links](int side) { return float(links.autoHideMargin(side)) * 15.0f; };
    const float left = float(leftTwips());
    const float top = float(topTwips());
    const bool over = x + margin(0) > left - 1 && y + margin(2) > top - 1 &&
                      x + margin(1) < left + float(widthTwips()) &&
                      y + margin(3) < top + float(heightTwips());
    if (over) {
        shrinkAsked_ = false;
        setHeightTwips(expandedHeight());
    } else if (links.optionValue(option::kAutoHide) == 1 && isEnabled()) {
        const bool askedBefore = shrinkAsked_;
        shrinkAsked_ = true;
        // Asked again, a manager that holds the window higher only says no again.
        if (!(askedBefore && shrunkAsFarAsAllowed()))
            setHeightTwips(shrunkHeight());
    }
}

bool PaletteWindow::shrunkAsFarAsAllowed() const {
    const platform::FrameExtents f = frame();
    const int height = heightTwips();
    return shrinkAsked_ && height > shrunkHeight() &&
           height <= shrunkHeight() + controls::toTwips(f.top + f.bottom);
}
