#pragma once
// The paste engine's state: the clicks being told single from double, and the pastes the user
// asked for, which run one after another in the order they were asked for.
#include "palette/paste_data.h"
#include "palette/paste_keystroke.h"
#include "platform/window_clipboard.h"
#include <QPointer>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace palette {

// One paste: the entry's text and caption as they were when it was clicked, so a page switch
// or a relabelled history page before its turn does not change what it pastes.
struct PasteAction {
    QString text;    // what is pasted
    QString caption; // what the history records after a single click
    bool doubleClick = false;
};

// Clicks less than the double-click time apart: one action, a double-click of the last button
// clicked when there are two or more.
struct ClickGroup {
    bool open = false;
    int clicks = 0;
    std::uint32_t lastClickAt = 0;
    PasteAction action;
};

// Where the paste under way stands. Every step waits by returning to the event loop, so
// clicks, timer ticks and page switches go on meanwhile.
struct PasteInProgress {
    enum class Step {
        None,
        WaitingForTarget,  // the target was brought forward at startedAt; it settles first
        ConfirmingText,    // the text was put back at stepAt after another program took it
        WaitingForFetch,   // the paste keystroke went at stepAt; the target fetches the text
        FinishingTransfer, // first fetched at stepAt (or the bound passed); it may read again
        AfterEnterOrTab,   // Enter or Tab went; a short grace until stepAt
    };
    Step step = Step::None;
    PasteAction action;
    std::uint32_t startedAt = 0;
    std::uint32_t stepAt = 0;
    // Whether the text was put on the clipboard (an empty ASCII-art piece is not), and the
    // data that holds it while the palette owns the clipboard.
    bool offered = false;
    QPointer<PasteData> data;
    // The window system's clipboard the target pastes from when the toolkit's does not reach it
    // (a native window on a Wayland session); the text is offered there instead.
    platform::WindowClipboard* windowClipboard = nullptr;
    std::shared_ptr<int> fetches = std::make_shared<int>(0);
    // The target pastes from the window system's copy of the clipboard: the keystroke waits
    // until the window system has read the text for it (the copy is made), within a bound.
    bool waitForCopy = false;
    std::optional<std::uint32_t> copyReadAt; // when the window system read it
    int fetchesBefore = 0;
    // How long the target took to read after the paste keystroke.
    std::uint32_t readLatency = 0;
    // The target's last read as far as the engine has seen it, and the count then.
    int fetchesSeen = 0;
    std::uint32_t firstFetchAt = 0;
    // The target's own quiet time between reads, when longer than the engine's.
    int readQuietMs = 0;
    // In the history already: as soon as the target has the text, not once it has stopped
    // reading, so that the history shows it while the user's clipboard has yet to come back.
    bool recorded = false;
    std::uint32_t lastFetchAt = 0;
    // How the target pastes, and the data on the primary selection when that pastes too.
    PasteKeystroke keystroke;
    QPointer<PasteData> primaryData;
    // Another program took the clipboard before the target had the text, and the text was
    // put back; that is done once per paste.
    bool putBack = false;
};

} // namespace palette
