// The paste engine: a click on an entry button types its text into the window the user was
// working in. Single clicks are told from double-clicks by a 220 ms wait that keeps processing
// events, so a second click runs its own handling inside the first one's wait.
#include "asciiart/form5.h"
#include "palette/clipboard_only_paste.h"
#include "palette/form1.h"
#include "palette/paste_data.h"
#include "settings/form2.h"
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

using storage::kAsciiArtMode;

namespace {
constexpr int kDoubleClickMs = 220;
// The target gets at least this long after the foreground switch before the paste keystroke,
// so it is ready to take keys.
constexpr std::uint32_t kForegroundSettleMs = 100;
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;
constexpr int kHistoryRow = 1;
constexpr int kHistorySlots = 21; // 20 shown, slot 20 takes the entry pushed out
} // namespace

void Form1::waitProcessingEvents(int milliseconds) {
    // A nested event loop, not a sleep: clicks, timer ticks and the clipboard requests of the
    // target all run while we wait.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void Form1::Command1_Click(int index) {
    // A click that comes while another one's paste is under way (past its 220 ms wait) is
    // not the second half of a double-click: it waits its turn and pastes on its own, so
    // clicks more than 220 ms apart are always separate single clicks.
    if (pastesRunning_ > 0 && clicksWaiting_ == 0) {
        queuedClicks_.push_back(index);
        return;
    }
    ++handlersRunning_;
    handleClick(index);
    --handlersRunning_;
    if (handlersRunning_ == 0 && !queuedClicks_.empty()) {
        const int next = queuedClicks_.front();
        queuedClicks_.erase(queuedClicks_.begin());
        QTimer::singleShot(0, this, [this, next] { Command1_Click(next); });
    }
}

void Form1::handleClick(int index) {
    auto& f2 = *state_.form2;
    ++ClickCount;
    ++clicksWaiting_;
    waitProcessingEvents(kDoubleClickMs);
    --clicksWaiting_;

    ++pastesRunning_;
    const auto done = qScopeGuard([this] { --pastesRunning_; });
    // The user works in a window that keystrokes cannot reach (a native window on a Wayland
    // session): the text goes on the clipboard for the user's own Ctrl+V, nothing is sent.
    if (ClickCount > 0 && TargetWindow == platform::kUnreachableWindow) {
        palette::pasteByClipboardOnly(*this, state_, index, ClickCount == 1);
        ClickCount = 0;
        return;
    }
    bool pasted = false;
    if (ClickCount == 1) {
        if (!pasteOnce(index)) {
            ClickCount = 0;
            return;
        }
        if (f2.Check1[7]->value() == 0)
            state_.desktop.sendKeys("%{kanji}", false);
        RecordHistory(Command1[std::size_t(index)]->caption());
        pasted = true;
    }
    if (Combo1->listIndex() == kHistoryPage)
        for (int i = 0; i < 20; ++i)
            Command1[std::size_t(i)]->setCaption(state_.KaomojiTable.at(kHistoryPage, kHistoryRow, i));
    if (pasted && f2.Check1[3]->value() == 1)
        RestoreClipboard();
    if (ClickCount < 2) {
        ClickCount = 0;
        return;
    }
    if (pasteOnce(index)) {
        if (f2.Combo2->listIndex() == 1)
            sendKeysAndWait("{ENTER}");
        else if (f2.Combo2->listIndex() == 2)
            sendKeysAndWait("{TAB}");
        if (f2.Check1[7]->value() == 0)
            state_.desktop.sendKeys("%{kanji}", false);
        if (f2.Check1[3]->value() == 1)
            RestoreClipboard();
    }
    ClickCount = 0;
}

bool Form1::pasteOnce(int index) {
    auto& s = state_;
    auto& f2 = *s.form2;
    if (f2.Check1[3]->value() == 1)
        SaveClipboard();
    const std::uint32_t t0 = s.desktop.tickCount();
    if (TargetWindow == 0 || !s.desktop.setForegroundWindow(TargetWindow)) {
        // Abandoned: nothing sent, the clipboard as it was.
        savedClipboardImage_ = QImage();
        savedClipboardText_.clear();
        return false;
    }

    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QString text = PasteText(index);
    QPointer<palette::PasteData> data;
    if (!(CurrentGroupIsAsciiArt() && text.isEmpty())) {
        data = new palette::PasteData(text);
        clipboard->setMimeData(data);
    }

    // The tick count wraps every 49.7 days; the difference stays right across the wrap.
    while (std::uint32_t(s.desktop.tickCount() - t0) <= kForegroundSettleMs)
        waitProcessingEvents(int(kForegroundSettleMs + 1 - std::uint32_t(s.desktop.tickCount() - t0)));

    const int fetchesBefore = data ? data->fetches() : 0;
    s.desktop.sendKeys("^v", true);
    waitForFetch(data, fetchesBefore);
    return true;
}

void Form1::sendKeysAndWait(const char* keys) {
    state_.desktop.sendKeys(keys, true);
    waitProcessingEvents(kKeyGraceMs);
}

void Form1::waitForFetch(const QPointer<palette::PasteData>& data, int fetchesBefore) {
    // The paste keystroke has been delivered; now the target asks us for the text. Keep
    // answering until it has it (or gives no sign within the bound), then leave a short grace
    // for the transfer to finish before anything else touches the clipboard.
    QElapsedTimer waited;
    waited.start();
    while (data && data->fetches() == fetchesBefore && waited.elapsed() < kFetchBoundMs)
        waitProcessingEvents(kFetchPollMs);
    waitProcessingEvents(kKeyGraceMs);
}

bool Form1::CurrentGroupIsAsciiArt() const {
    return state_.CurrentGroup == kAsciiArtMode;
}

QString Form1::PasteText(int index) const {
    auto& s = state_;
    if (!CurrentGroupIsAsciiArt())
        return Command1[std::size_t(index)]->caption();
    QString text = s.AAText.get(Combo1->listIndex() + 1, index);
    if (text.isEmpty())
        return text;
    if (s.form5->Check1[0]->value() != 0)
        text.prepend(QStringLiteral("\r\n"));
    if (s.form5->Check1[1]->value() != 0)
        text.append(QStringLiteral("\r\n"));
    return text;
}

void Form1::SaveClipboard() {
    const QMimeData* current = QGuiApplication::clipboard()->mimeData();
    if (!current)
        return;
    if (current->hasImage()) {
        savedClipboardImage_ = qvariant_cast<QImage>(current->imageData());
        state_.desktop.beep();
    }
    if (current->hasText())
        savedClipboardText_ = current->text();
}

void Form1::RestoreClipboard() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (savedClipboardImage_.isNull() && savedClipboardText_.isEmpty())
        return;
    auto* data = new QMimeData;
    if (!savedClipboardImage_.isNull()) {
        data->setImageData(savedClipboardImage_);
        savedClipboardImage_ = QImage();
    }
    if (!savedClipboardText_.isEmpty()) {
        data->setText(savedClipboardText_);
        savedClipboardText_.clear();
    }
    clipboard->setMimeData(data);
}

void Form1::RecordHistory(const QString& caption) {
    auto& table = state_.KaomojiTable;
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
