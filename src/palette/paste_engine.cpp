// The paste engine: a click on an entry button types its text into the window the user was
// working in. Clicks are grouped by their own times: one that comes less than 220 ms after the
// previous click of its group makes the group a double-click of the last button clicked. Each
// group becomes one paste 220 ms after its last click; pastes run one after another in click
// order. The engine never blocks: every wait is a deadline on the tick count, and a timer
// brings it back, so clicks, timer ticks, page switches and the target's requests for the
// clipboard all go on meanwhile.
#include "links/window_links.h"
#include "palette/clipboard_only_paste.h"
#include "palette/kept_clipboard.h"
#include "palette/palette_window.h"
#include "palette/paste_data.h"
#include "storage/options.h"
#include <QClipboard>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScopedValueRollback>
#include <utility>

// Each paste as it ends: the target's window class and the keystroke it got. Shown with
// QT_LOGGING_RULES="pikome.paste.debug=true", for a user writing a rule of their own (and for
// the end-to-end tests, which wait for it).
Q_LOGGING_CATEGORY(pasteLog, "pikome.paste", QtWarningMsg)

using storage::kAsciiArtMode;
using Step = palette::PasteInProgress::Step;

namespace {
constexpr std::uint32_t kDoubleClickMs = 220;
// The target gets at least this long after the foreground switch before the paste keystroke,
// so it is ready to take keys.
constexpr std::uint32_t kForegroundSettleMs = 100;
// After the text was put back on the clipboard, it must stay the palette's this long before the
// paste keystroke: a program that sets the clipboard many times a second (over ten) takes it
// again within this time, and its text is never typed.
constexpr std::uint32_t kTextConfirmMs = 100;
// mutter read a new X11 clipboard for its copy within a few milliseconds when idle and up to a
// few hundred with the cores loaded; a copy not made after this long is not waited for.
constexpr std::uint32_t kClipboardCopyBoundMs = 1000;
// Having read the text, mutter still takes the transfer in and offers the copy to the native
// window; a Ctrl+V at once pasted nothing now and then with the cores loaded.
constexpr std::uint32_t kClipboardCopySettleMs = 50;
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;
constexpr int kHistoryRow = 1;
constexpr int kHistorySlots = 21; // 20 shown, slot 20 takes the entry pushed out

// Milliseconds from then to now; right across the tick count's wrap every 49.7 days.
std::uint32_t since(std::uint32_t now, std::uint32_t then) {
    return now - then;
}
} // namespace

void PaletteWindow::entryClicked(int index) {
    if (exiting_)
        return;
    const std::uint32_t now = state_.desktop.tickCount();
    // The group's time may be up although its timer has not fired yet: this click starts a
    // new action either way.
    if (clickGroup_.open && since(now, clickGroup_.lastClickAt) >= kDoubleClickMs)
        closeClickGroup();
    if (!clickGroup_.open) {
        clickGroup_.open = true;
        clickGroup_.clicks = 0;
    }
    ++clickGroup_.clicks;
    clickGroup_.lastClickAt = now;
    clickGroup_.action = {pasteTextFor(index), entryButtons[std::size_t(index)]->caption(),
                          clickGroup_.clicks > 1};
    runDuePasteSteps();
}

bool PaletteWindow::pastesPending() const {
    return clickGroup_.open || !queuedPastes_.empty() || paste_.step != Step::None || holdingUserClipboard();
}

void PaletteWindow::closeClickGroup() {
    queuedPastes_.push_back(clickGroup_.action);
    clickGroup_ = {};
}

void PaletteWindow::runDuePasteSteps() {
    // A step may run an event loop of its own (reading another program's clipboard can);
    // a click or the timer inside it must not start a second step.
    if (runningPasteSteps_ || exiting_)
        return;
    QScopedValueRollback<bool> guard(runningPasteSteps_, true);
    for (bool progressed = true; progressed;) {
        progressed = false;
        const std::uint32_t now = state_.desktop.tickCount();
        if (clickGroup_.open && since(now, clickGroup_.lastClickAt) >= kDoubleClickMs) {
            closeClickGroup();
            progressed = true;
        }
        switch (paste_.step) {
        case Step::None:
            if (!queuedPastes_.empty()) {
                startNextPaste();
                progressed = true;
            }
            break;
        case Step::WaitingForTarget:
            if (since(now, paste_.startedAt) > kForegroundSettleMs && windowSystemCopiedText(now)) {
                if (paste_.offered && !stillOfferingPasteText()) {
                    // Another program set the clipboard meanwhile (a clipboard manager does so
                    // once): the text goes back, and the keystroke waits to see it stays.
                    paste_.putBack = true;
                    offerPasteText();
                    paste_.step = Step::ConfirmingText;
                    paste_.stepAt = now;
                } else {
                    sendPasteKeystroke();
                }
                progressed = true;
            }
            break;
        case Step::ConfirmingText:
            if (paste_.offered && !stillOfferingPasteText()) {
                // Taken again: another program keeps setting the clipboard, and the target would
                // type its text. This paste is abandoned: nothing sent, no history.
                paste_ = {};
                progressed = true;
            } else if (since(now, paste_.stepAt) >= kTextConfirmMs) {
                sendPasteKeystroke();
                progressed = true;
            }
            break;
        case Step::WaitingForFetch:
            putPasteTextBackIfTaken(true);
            if (!paste_.offered || *paste_.fetches != paste_.fetchesBefore ||
                since(now, paste_.stepAt) >= std::uint32_t(kFetchBoundMs)) {
                paste_.readLatency = since(now, paste_.stepAt);
                paste_.step = Step::FinishingTransfer;
                paste_.stepAt = now;
                paste_.firstFetchAt = now;
                paste_.lastFetchAt = now;
                paste_.fetchesSeen = *paste_.fetches;
                recordPasteInHistory();
                progressed = true;
            }
            break;
        case Step::FinishingTransfer:
            if (*paste_.fetches != paste_.fetchesSeen) {
                paste_.fetchesSeen = *paste_.fetches;
                paste_.lastFetchAt = now;
            }
            if (targetDoneReading(now)) {
                finishPaste();
                progressed = true;
            }
            break;
        case Step::AfterEnterOrTab:
            if (since(now, paste_.stepAt) > std::uint32_t(kKeyGraceMs)) {
                finishPaste();
                progressed = true;
            }
            break;
        }
        if (paste_.step == Step::None && queuedPastes_.empty() && !clickGroup_.open && holdingUserClipboard())
            endPasteRun();
    }
    schedulePasteTimer();
}

void PaletteWindow::copyForTheUsersOwnPaste(const palette::PasteAction& action) {
    // The text stays on the clipboard, even over a user's clipboard kept by this run: it is the
    // only way it reaches the window. A primary selection the run borrowed goes back.
    keptClipboard_.forget();
    restoreKept(keptPrimary_, QClipboard::Selection);
    palette::pasteByClipboardOnly(*this, state_, state_.desktop.clipboardReaching(targetWindow), action.text,
                                  action.caption, !action.doubleClick);
}

void PaletteWindow::startNextPaste() {
    auto& s = state_;
    palette::PasteAction action = queuedPastes_.front();
    queuedPastes_.pop_front();
    // The user works in a window that keystrokes cannot reach (a native window on a Wayland
    // session): the text goes on the clipboard for the user's own Ctrl+V; nothing is sent.
    if (targetWindow == platform::kUnreachableWindow) {
        copyForTheUsersOwnPaste(action);
        return;
    }
    // The user's clipboard is taken once for a run of pastes and given back after the last.
    const bool keepUserClipboard = s.links->optionValue(option::kKeepUserClipboard) == 1;
    if (keepUserClipboard)
        saveUserClipboard();
    const std::uint32_t t0 = s.desktop.tickCount();
    const bool targetCameForward = targetWindow != 0 && s.desktop.setForegroundWindow(targetWindow);
    if (!targetCameForward && targetWindow != 0 && s.desktop.mayRefuseForegroundSwitch()) {
        // The compositor would not give the target the focus (sway's default for XWayland
        // windows): the text goes on the clipboard for the user's own Ctrl+V, as for a window
        // the palette cannot reach, rather than nothing at all.
        copyForTheUsersOwnPaste(action);
        return;
    }
    if (!targetCameForward) {
        // Abandoned: nothing sent, the history as it was, the clipboard as this paste found it.
        if (!keptClipboard_.changed)
            keptClipboard_.forget();
        return;
    }

    // How this window pastes, from its class; the primary selection is kept for it first when
    // its keystroke pastes that too (once a run, as the clipboard).
    const std::vector<std::string> classNames = s.desktop.windowClassNames(targetWindow);
    palette::PasteKeystroke keystroke = palette::pasteKeystrokeFor(classNames, s.pasteKeyRules);
    pasteTargetClass_ = classNames.empty() ? "(no class)" : classNames.front();
    if (keepUserClipboard && keystroke.alsoPrimary)
        saveUserClipboard(QClipboard::Selection);
    paste_ = {};
    paste_.readQuietMs = palette::readQuietMsFor(classNames);
    paste_.windowClipboard = s.desktop.clipboardReaching(targetWindow);
    paste_.waitForCopy = !paste_.windowClipboard && s.desktop.pastesFromCopyOfClipboard(targetWindow);
    if (!paste_.windowClipboard)
        QGuiApplication::clipboard()->clear();
    keptClipboard_.changed = true;
    paste_.action = std::move(action);
    paste_.keystroke = std::move(keystroke);
    // In ASCII-art mode an empty piece leaves the clipboard empty.
    if (!(showingAsciiArt() && paste_.action.text.isEmpty()))
        offerPasteText();
    paste_.step = Step::WaitingForTarget;
    paste_.startedAt = t0;
}

void PaletteWindow::offerPasteText() {
    paste_.offered = true;
    keptClipboard_.offered = paste_.action.text;
    keptPrimary_.offered = paste_.action.text;
    if (paste_.windowClipboard) {
        paste_.windowClipboard->offerText(paste_.action.text.toStdString(),
                                          [fetches = paste_.fetches] { ++*fetches; });
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    paste_.data = new palette::PasteData(paste_.action.text, paste_.fetches);
    clipboard->setMimeData(paste_.data);
    if (paste_.keystroke.alsoPrimary && clipboard->supportsSelection()) {
        // Both count as the target's reads: it reads one or the other.
        paste_.primaryData = new palette::PasteData(paste_.action.text, paste_.fetches);
        clipboard->setMimeData(paste_.primaryData, QClipboard::Selection);
        keptPrimary_.changed = true;
    }
}

bool PaletteWindow::windowSystemCopiedText(std::uint32_t now) {
    if (!paste_.waitForCopy || !paste_.offered || since(now, paste_.startedAt) >= kClipboardCopyBoundMs)
        return true;
    if (*paste_.fetches > 0 && !paste_.copyReadAt)
        paste_.copyReadAt = now;
    return paste_.copyReadAt && since(now, *paste_.copyReadAt) >= kClipboardCopySettleMs;
}

bool PaletteWindow::stillOfferingPasteText() {
    // Qt drops the palette's data when another program takes the clipboard. Qt also keeps the
    // data when the window system refused it the clipboard (another program took it later by
    // the server's clock than Qt's last event): the window system has the last word.
    if (paste_.windowClipboard)
        return paste_.windowClipboard->stillOffered();
    return paste_.data && QGuiApplication::clipboard()->mimeData() == paste_.data &&
           state_.desktop.clipboardOwnedWith(handle()).value_or(true);
}

void PaletteWindow::putPasteTextBackIfTaken(bool keystrokeSent) {
    // Another program set the clipboard after ours (a clipboard manager, or one that sets it
    // many times a second) and the target has not fetched yet: it would paste that text.
    const bool fetched = keystrokeSent && *paste_.fetches != paste_.fetchesBefore;
    if (!paste_.offered || paste_.putBack || fetched || stillOfferingPasteText())
        return;
    paste_.putBack = true;
    offerPasteText();
}

void PaletteWindow::sendPasteKeystroke() {
    paste_.fetchesBefore = *paste_.fetches;
    state_.desktop.sendKeys(paste_.keystroke.keys, true);
    // The keystroke has been delivered; now the target asks us for the text.
    paste_.step = Step::WaitingForFetch;
    paste_.stepAt = state_.desktop.tickCount();
}

bool PaletteWindow::enterOrTabFollows() const {
    return paste_.step == Step::FinishingTransfer && paste_.action.doubleClick &&
           state_.links->doubleClickAction() > 0;
}

bool PaletteWindow::targetDoneReading(std::uint32_t now) const {
    const int quietMs = std::max(kReadQuietMs, paste_.readQuietMs);
    const bool quiet = since(now, paste_.lastFetchAt) >= std::uint32_t(quietMs) ||
                       since(now, paste_.stepAt) >= std::uint32_t(std::max(kReadBurstBoundMs, quietMs));
    const std::uint32_t insertTime = std::min(kInsertBeforeKeyMs + kSlowTargetFactor * paste_.readLatency,
                                              std::uint32_t(kInsertBeforeKeyBoundMs));
    return quiet && (!enterOrTabFollows() || since(now, paste_.lastFetchAt) >= insertTime);
}

void PaletteWindow::finishPaste() {
    auto& links = *state_.links;
    if (enterOrTabFollows()) {
        state_.desktop.sendKeys(links.doubleClickAction() == 1 ? "{ENTER}" : "{TAB}", true);
        paste_.step = Step::AfterEnterOrTab;
        paste_.stepAt = state_.desktop.tickCount();
        return;
    }
    if (links.optionValue(option::kLeaveInputMode) == 0)
        state_.desktop.sendKeys("%{kanji}", false);
    recordPasteInHistory();
    qCDebug(pasteLog).nospace() << "pasted into " << pasteTargetClass_.c_str() << " with "
                                << paste_.keystroke.keys.c_str() << ", read "
                                << *paste_.fetches - paste_.fetchesBefore << " times, the first "
                                << paste_.readLatency << " ms after the keystroke, the last "
                                << since(paste_.lastFetchAt, paste_.firstFetchAt) << " ms after the first";
    paste_ = {};
}

void PaletteWindow::recordPasteInHistory() {
    if (paste_.action.doubleClick || paste_.recorded)
        return;
    paste_.recorded = true;
    recordInHistory(paste_.action.caption);
    if (pageList->listIndex() == kHistoryPage)
        for (int i = 0; i < 20; ++i)
            entryButtons[std::size_t(i)]->setCaption(state_.kaomoji.at(kHistoryPage, kHistoryRow, i));
}

bool PaletteWindow::pasteReachedTarget() const {
    switch (paste_.step) {
    case Step::WaitingForFetch:
        return *paste_.fetches != paste_.fetchesBefore;
    case Step::FinishingTransfer:
    case Step::AfterEnterOrTab:
        return true;
    default:
        return false;
    }
}

void PaletteWindow::endPasteRun() {
    restoreUserClipboard();
    qCDebug(pasteLog).nospace() << "the run of pastes ended"
                                << (clipboardNotKept_ ? ", the user's clipboard was not kept whole" : "");
    if (clipboardNotKept_ && state_.reportClipboardNotKept)
        state_.reportClipboardNotKept();
    clipboardNotKept_ = false;
}

void PaletteWindow::schedulePasteTimer() {
    const std::uint32_t now = state_.desktop.tickCount();
    std::uint32_t wait = UINT32_MAX;
    auto due = [&](std::uint32_t from, std::uint32_t after) {
        const std::uint32_t passed = since(now, from);
        wait = std::min(wait, passed >= after ? 0u : after - passed);
    };
    if (clickGroup_.open)
        due(clickGroup_.lastClickAt, kDoubleClickMs);
    switch (paste_.step) {
    case Step::None:
        break;
    case Step::WaitingForTarget:
        due(paste_.startedAt, kForegroundSettleMs + 1);
        if (paste_.waitForCopy)
            wait = std::min(wait, std::uint32_t(kFetchPollMs));
        break;
    case Step::ConfirmingText:
        due(paste_.stepAt, kTextConfirmMs);
        wait = std::min(wait, std::uint32_t(kFetchPollMs));
        break;
    case Step::WaitingForFetch:
        due(paste_.stepAt, std::uint32_t(kFetchBoundMs));
        wait = std::min(wait, std::uint32_t(kFetchPollMs));
        break;
    case Step::FinishingTransfer:
        // Polled, to see every further read as it comes.
        wait = std::min(wait, std::uint32_t(kFetchPollMs));
        break;
    case Step::AfterEnterOrTab:
        due(paste_.stepAt, std::uint32_t(kKeyGraceMs) + 1);
        break;
    }
    if (!pasteTimer_) {
        pasteTimer_ = new QTimer(this);
        pasteTimer_->setSingleShot(true);
        pasteTimer_->setTimerType(Qt::PreciseTimer);
        connect(pasteTimer_, &QTimer::timeout, this, [this] { runDuePasteSteps(); });
        // Losing the clipboard while the target is about to fetch: put the text back at once.
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
            if (paste_.step == Step::WaitingForFetch)
                runDuePasteSteps();
        });
    }
    if (wait == UINT32_MAX)
        pasteTimer_->stop();
    else
        pasteTimer_->start(int(wait));
}

void PaletteWindow::cancelPastes() {
    // A paste whose text the target already has is done as far as the user can see: the history
    // keeps it, although nothing more (Enter, Tab, the input-mode key) is sent.
    if (pasteReachedTarget())
        recordPasteInHistory();
    clipboardNotKept_ = false;
    clickGroup_ = {};
    queuedPastes_.clear();
    paste_ = {};
    if (holdingUserClipboard())
        endPasteRun();
    if (pasteTimer_)
        pasteTimer_->stop();
}

bool PaletteWindow::showingAsciiArt() const {
    return state_.currentGroup == kAsciiArtMode;
}

QString PaletteWindow::pasteTextFor(int index) const {
    auto& s = state_;
    if (!showingAsciiArt())
        return entryButtons[std::size_t(index)]->caption();
    QString text = s.asciiArtTexts.get(pageList->listIndex() + 1, index);
    if (text.isEmpty())
        return text;
    if (s.links->asciiArtOptionValue(aa_option::kLineBreakBefore) != 0)
        text.prepend(QStringLiteral("\r\n"));
    if (s.links->asciiArtOptionValue(aa_option::kLineBreakAfter) != 0)
        text.append(QStringLiteral("\r\n"));
    return text;
}

void PaletteWindow::saveUserClipboard(QClipboard::Mode mode) {
    KeptSelection& kept = mode == QClipboard::Clipboard ? keptClipboard_ : keptPrimary_;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (kept.held || (mode == QClipboard::Selection && !clipboard->supportsSelection()))
        return;
    kept.forget();
    kept.held = true;
    // Every format as the owner gives it, within one bound: nothing decoded, so a picture of
    // any size or a text in any encoding comes back exactly. What the palette itself offers
    // (the last paste's text, a clipboard it gave back) it reads from its own data: asking the
    // window system would wait for an answer that only this thread could give.
    const bool ownsIt =
        mode == QClipboard::Clipboard ? clipboard->ownsClipboard() : clipboard->ownsSelection();
    std::optional<platform::ClipboardSnapshot> taken;
    // A native window pastes from the window system's own clipboard: that one is kept.
    platform::WindowClipboard* sessionClipboard =
        state_.desktop.clipboardReaching(platform::kUnreachableWindow);
    if (mode == QClipboard::Clipboard)
        kept.windowClipboard = state_.desktop.clipboardReaching(targetWindow);
    if (kept.windowClipboard)
        taken = kept.windowClipboard->read(kClipboardReadBoundMs);
    else if (mode == QClipboard::Clipboard && sessionClipboard && sessionClipboard->stillOffered())
        // The palette's own offer on the compositor's clipboard, which the compositor shows X11
        // programs too: asking through X11 would wait for an answer only this thread could give.
        taken = sessionClipboard->read(kClipboardReadBoundMs);
    else if (!ownsIt)
        taken = mode == QClipboard::Clipboard ? state_.desktop.readClipboard(kClipboardReadBoundMs)
                                              : state_.desktop.readPrimarySelection(kClipboardReadBoundMs);
    else if (const QMimeData* own = clipboard->mimeData(mode);
             own && !qobject_cast<const palette::PasteData*>(own))
        taken = palette::snapshotOf(*own);
    // The bitmap beep is the clipboard's: a picture highlighted as the primary selection is rare.
    const bool beepForPicture = mode == QClipboard::Clipboard;
    if (taken) {
        clipboardNotKept_ = clipboardNotKept_ || !taken->complete;
        if (beepForPicture && palette::holdsPicture(*taken))
            state_.desktop.beep();
        kept.formats = std::move(taken);
        return;
    }
    const QMimeData* current = clipboard->mimeData(mode);
    if (!current)
        return;
    if (current->hasImage()) {
        kept.image = qvariant_cast<QImage>(current->imageData());
        if (beepForPicture)
            state_.desktop.beep();
    }
    if (current->hasText())
        kept.text = current->text();
}

void PaletteWindow::restoreUserClipboard() {
    restoreKept(keptClipboard_, QClipboard::Clipboard);
    restoreKept(keptPrimary_, QClipboard::Selection);
}

void PaletteWindow::restoreKept(KeptSelection& kept, QClipboard::Mode mode) {
    if (!kept.held || !kept.changed || !stillHoldsRunText(kept, mode)) {
        kept.forget();
        return;
    }
    if (platform::WindowClipboard* windowClipboard = kept.windowClipboard) {
        // Every format as it was read, or an empty clipboard when it was empty.
        if (kept.formats)
            windowClipboard->offer(*kept.formats, {});
        kept.forget();
        return;
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear(mode);
    QMimeData* data = nullptr;
    if (kept.formats) {
        if (!kept.formats->formats.empty())
            data = palette::mimeDataOffering(*kept.formats);
    } else if (!kept.image.isNull() || !kept.text.isEmpty()) {
        data = new QMimeData;
        if (!kept.image.isNull())
            data->setImageData(kept.image);
        if (!kept.text.isEmpty())
            data->setText(kept.text);
    }
    kept.forget();
    if (data)
        clipboard->setMimeData(data, mode);
}

bool PaletteWindow::stillHoldsRunText(const KeptSelection& kept, QClipboard::Mode mode) {
    // The user may have copied or highlighted something new while the run went on (the
    // clipboard comes back only after the target's last read): that stays. What the run put
    // there goes, and so does a clipboard manager's copy of it.
    std::optional<platform::ClipboardSnapshot> now;
    if (kept.windowClipboard) {
        if (kept.windowClipboard->stillOffered())
            return true;
        now = kept.windowClipboard->read(kGiveBackReadBoundMs);
        if (!now)
            return true;
    } else {
        const QMimeData* current = QGuiApplication::clipboard()->mimeData(mode);
        if (!current || qobject_cast<const palette::PasteData*>(current))
            return true;
        now = mode == QClipboard::Clipboard ? state_.desktop.readClipboard(kGiveBackReadBoundMs)
                                            : state_.desktop.readPrimarySelection(kGiveBackReadBoundMs);
        if (!now)
            return current->formats().isEmpty() || current->text() == kept.offered;
    }
    // Empty and whole: nobody holds it. An owner that did not answer is left alone.
    if (now->formats.empty())
        return now->complete;
    return palette::offersText(*now, kept.offered);
}

void PaletteWindow::recordInHistory(const QString& caption) {
    auto& table = state_.kaomoji;
    if (table.at(kHistoryPage, kHistoryRow, 0) == caption)
        return;
    QString carry = table.at(kHistoryPage, kHistoryRow, 0);
    table.at(kHistoryPage, kHistoryRow, 0) = caption;
    for (int k = 1; k < kHistorySlots; ++k) {
        QString old = table.at(kHistoryPage, kHistoryRow, k);
        table.at(kHistoryPage, kHistoryRow, k) = carry;
        carry = old;
        if (old == caption)
            break;
    }
}
