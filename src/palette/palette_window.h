#pragma once
// The palette window "ぴこめ": the page list and tabs, sixteen group buttons, twenty entry
// buttons and the clock bar.
#include "controls/controls.h"
#include "controls/window.h"
#include "palette/paste_queue.h"
#include "storage/program_state.h"
#include <QClipboard>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <array>
#include <deque>
#include <optional>

class PaletteWindow : public controls::Window {
    Q_OBJECT
public:
    explicit PaletteWindow(storage::ProgramState& state);
    ~PaletteWindow() override;

    // The twenty entry buttons and, last, the clock bar: a click on the clock pastes its date
    // and time as a click on an entry pastes the entry.
    static constexpr std::size_t kClockBar = 20;
    std::array<controls::CommandButton*, 21> entryButtons{};
    std::array<controls::CommandButton*, 16> groupButtons{};
    controls::CommandButton* settingsButton = nullptr; // "設定"
    controls::CommandButton* exitButton = nullptr;     // "終了"
    controls::CommandButton* asciiArtButton = nullptr; // "AA"
    controls::TabStrip* pageTabs = nullptr;
    controls::ComboBox* pageList = nullptr;
    // Where the desktop tells of changes, the timers rest while nothing happens
    // (idle_following.cpp): the clock ticks when its text changes, the foreground timer only
    // takes the first look, and the auto-hide timer runs while the pointer moves.
    QTimer* clockTimer = nullptr;      // the clock, and the topmost band while dialogs open and close
    QTimer* foregroundTimer = nullptr; // follows the window the user works in
    QTimer* autoHideTimer = nullptr;   // shrinks and expands the palette as the pointer leaves and comes

    // What the controls and timers run.
    void pageChosenInList();
    void entryClicked(int index);
    void pointerOverEntry(int index);
    void pageTabChosen();
    void groupChosen(int index);
    void openSettings();
    void exitClicked();
    void showAsciiArtNames();
    // Saves everything when automatic saving is on, then ends the program. Returns false when
    // the program goes on running: a save failed and the user chose not to end without it.
    bool exitProgram();
    // The resize rules: at least the minimum width, the expanded height unless shrunk, and the
    // entry buttons and the clock bar across the width.
    void fitToWidth();
    void clockTick();
    void trackTargetWindow();
    // A compositor that gives the focus to whatever window is clicked (sway) leaves it on the
    // palette after a click that pastes nothing (a group, a page, the ASCII-art names); the user's next keys
    // belong to the window they work in. Where the palette never takes the focus this does nothing.
    void giveFocusBack();
    void autoHideTick();
    // A dialog that covers the palette was shown or hidden: the topmost upkeep runs as soon as
    // the change is done, and while such a dialog is open the timers tick as they would without
    // notices, since its options may change under a resting pointer.
    void dialogShownOrHidden();

    // The colours as the colour frame applies them: background, buttons, clock bar, and the
    // chosen group's button in the selection colour.
    void repaintColors();

    // The window, "設定", "終了", the entry and group buttons in the background colour, the
    // clock bar in its own.
    void paintBackgroundColors();
    // The group buttons, their choices in the editor and the ASCII-art button; off on the
    // history page, which has neither groups nor ASCII art.
    void setGroupButtonsEnabled(bool enabled);

    // What the editor asks of the palette as the user works in it: the group buttons painted
    // for the chosen group (the "AA" button in the background colour too when asked); the
    // history page's state (no groups, no ASCII art, the history tab) or another page's tab;
    // the page names taken into the page list, which then shows the page.
    void markGroup(int group, bool asciiArtButtonToo);
    void showHistoryOrPage(int page);
    void takePageNames(int page);

    // Always-on-top on (1) or off (0); any other mode does nothing.
    void setTopmost(int mode);

    // Foreground tracking: the last window other than the palette that had the focus.
    platform::WindowHandle targetWindow = 0;

    // The text a click on the button pastes: its caption, or in ASCII-art mode the piece with
    // the configured line breaks around it.
    QString pasteTextFor(int index) const;
    // Keeps the user's clipboard (or the primary selection) for the run of pastes, once a run.
    void saveUserClipboard(QClipboard::Mode mode = QClipboard::Clipboard);
    // Gives back what the run kept and then changed; forgets what it kept.
    void restoreUserClipboard();
    // Moves the caption to the front of the history; the entries before its old place move
    // back by one, so it is never listed twice.
    void recordInHistory(const QString& caption);

    // Runs every paste step whose time has come; the engine's timer calls it, and a test on a
    // simulated clock calls it after moving the clock.
    void runDuePasteSteps();
    // True while clicks wait to be told single from double, or pastes are queued or under way.
    bool pastesPending() const;
    // Drops every click and paste not yet sent, and gives the user's clipboard back if a paste
    // had borrowed it. Nothing reaches the target afterwards.
    void cancelPastes();

    // How long reading the user's clipboard may take before a paste; an owner that never
    // answers costs no more, and the user is told the clipboard could not be kept. A big
    // picture sent in parts may take up to ten times as long.
    static constexpr int kClipboardReadBoundMs = 300;
    // The give-back asks another owner only whether it holds the paste's text (a clipboard
    // manager's copy, a few bytes, answered at once). The palette waits for it, and an owner
    // that sends its data slowly in parts may take ten times the bound: at the full bound that
    // held the palette for 3 s after a paste.
    static constexpr int kGiveBackReadBoundMs = 100;
    // How long the paste waits for the target to fetch the text after the paste keystroke,
    // at most; a target that ignores the keystroke costs no more than this.
    static constexpr int kFetchBoundMs = 500;
    static constexpr int kFetchPollMs = 2;
    // After Enter or Tab: time for the transfer to finish.
    static constexpr int kKeyGraceMs = 10;
    // A target may read the text more than once for one paste: Chromium reads twice, its second
    // read mostly 4-140 ms after the first on an idle machine, now and then later (261 ms once
    // in 80 pastes). The paste is over (and the user's clipboard comes back) once the target has
    // not read for this long, or this long after its first read at most. A longer quiet time
    // catches more of Chromium's late reads, but a reader that asks again and again (a
    // clipboard tool polling) then holds the user's clipboard back until the bound.
    static constexpr int kReadQuietMs = 50;
    static constexpr int kReadBurstBoundMs = 500;
    // Enter or Tab after a double-click goes no sooner than this after the target's last read:
    // GTK 4 inserts the text 40-80 ms after it read it and takes a key that comes meanwhile
    // first. It hands the text through a worker thread, so on a loaded machine it takes longer
    // (past 150 ms with both cores busy): the wait grows by kSlowTargetFactor times the time
    // the target took to read after the keystroke (a few ms when idle, tens when loaded), up to
    // the bound. Only a double-click with Enter or Tab waits for it.
    static constexpr int kInsertBeforeKeyMs = 150;
    static constexpr int kSlowTargetFactor = 3;
    static constexpr int kInsertBeforeKeyBoundMs = 600;
    int dateHideOffset = 0;

    int expandedHeight() const;
    int shrunkHeight() const;

    // Tells the window manager that the palette is a utility window, and follows the frame it
    // gets: the caption height is then the real one.
    void introduceToWindowManager();
    // The window manager has framed the palette: its caption is the height the expanded and
    // shrunk heights build on. Some managers never say it ahead (KWin) or never answer (fluxbox),
    // and start-up measured none; the palette keeps its state, shrunk or expanded.
    void takeCaptionFromFrame(platform::FrameExtents frame);

protected:
    bool event(QEvent* event) override;

private:
    // The timers' ticks and the desktop's notices (idle_following.cpp).
    void clockTimerFired();
    // The clock timer is set for the next change of the clock's text.
    void scheduleClockTick();
    void foregroundTimerFired();
    void followPointer();
    void pointerMoved();
    void wakePointerFollowing();
    bool foregroundNotices_ = false;
    // The auto-hide timer stopped because the pointer rests, and the desktop will tell when it moves.
    bool pointerResting_ = false;
    platform::Point lastPointer_;
    std::optional<platform::Point> previousPointer_;
    QTimer* dialogsChanged_ = nullptr;

    bool showingAsciiArt() const;
    // Auto-hide asked for the shrunk height and the window manager gave a little more: KWin
    // keeps a client area at least as high as the frame's top and bottom together (its caption
    // with Breeze is higher than the 30 pixels the shrunk palette leaves). That least height is
    // the shrunk state there, and the resize rules keep it instead of expanding.
    bool shrunkAsFarAsAllowed() const;
    bool shrinkAsked_ = false;
    // The paste engine's steps (paste_engine.cpp).
    void closeClickGroup();
    void startNextPaste();
    void sendPasteKeystroke();
    void offerPasteText();
    bool stillOfferingPasteText();
    // The target pastes from the window system's copy of the clipboard, and that copy is made
    // (or the bound for it passed).
    bool windowSystemCopiedText(std::uint32_t now);
    // The target would paste another program's text: put ours back, once.
    void putPasteTextBackIfTaken(bool keystrokeSent);
    void finishPaste();
    // A double-click's Enter or Tab is still to be sent.
    bool enterOrTabFollows() const;
    // The target has read the text and stopped reading, and it has had the time to insert it
    // when a key is to follow.
    bool targetDoneReading(std::uint32_t now) const;
    // The history takes a single click's paste, and the history page shows it.
    void recordPasteInHistory();
    // The paste keystroke went out and the target has fetched the text, or the paste is past
    // that step.
    bool pasteReachedTarget() const;
    void endPasteRun();
    void schedulePasteTimer();
    palette::ClickGroup clickGroup_;
    std::deque<palette::PasteAction> queuedPastes_;
    palette::PasteInProgress paste_;
    // The user's clipboard (and the primary selection, once a paste needs it) is held from the
    // first paste of a run of queued pastes to the end of the last one. Kept here rather than in
    // the hidden text box and picture box, which hold only what cp932 can store: the user's text
    // comes back exactly, whatever characters it has.
    struct KeptSelection {
        bool held = false;
        bool changed = false; // a paste of the run has put its text there since
        std::optional<platform::ClipboardSnapshot> formats;
        // Where the formats came from when not the toolkit's clipboard (a native window's
        // clipboard on a Wayland session); they go back there.
        platform::WindowClipboard* windowClipboard = nullptr;
        QImage image;
        QString text;
        QString offered; // the text the run's last paste put there
        void forget() { *this = {}; }
    };
    KeptSelection keptClipboard_;
    KeptSelection keptPrimary_;
    bool holdingUserClipboard() const { return keptClipboard_.held || keptPrimary_.held; }
    void restoreKept(KeptSelection& kept, QClipboard::Mode mode);
    bool stillHoldsRunText(const KeptSelection& kept, QClipboard::Mode mode);
    bool runningPasteSteps_ = false;
    // Set once ending the program has begun: no click is taken and nothing more is sent.
    bool exiting_ = false;
    QTimer* pasteTimer_ = nullptr;
    // The first of the paste target's class names, for the log.
    std::string pasteTargetClass_;
    bool inTopmostBand_ = false;
    bool clipboardNotKept_ = false;
    // Puts the action's text on the clipboard for the user to paste, sending nothing.
    void copyForTheUsersOwnPaste(const palette::PasteAction& action);
    void buildControls();
    void paintGroupButtonsWith(int selectedGroup);
    // The page switch's steps: the page's ASCII-art names or its current group's entries (the
    // editor following), then the page's tab.
    void showAsciiArtNamesOfPage(int page);
    void showCurrentGroupOfPage(int page);
    void showTabOfPage(int page);
    storage::ProgramState& state_;
};
