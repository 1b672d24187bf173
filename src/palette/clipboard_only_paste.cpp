#include "palette/clipboard_only_paste.h"
#include "palette/clipboard_only_notice.h"
#include "palette/palette_window.h"
#include "palette/paste_data.h"
#include <QClipboard>
#include <QGuiApplication>
#include <memory>

namespace palette {

namespace {
constexpr int kHistoryPage = storage::KaomojiTable::kHistoryPage;
constexpr int kHistoryRow = 1;
constexpr int kHistoryShown = 20;
} // namespace

void pasteByClipboardOnly(PaletteWindow& palette, storage::ProgramState& state,
                          platform::WindowClipboard* windowClipboard, const QString& text,
                          const QString& caption, bool singleClick) {
    // As in a paste: an empty ASCII-art piece leaves the clipboard empty.
    const bool nothingToOffer = state.currentGroup == storage::kAsciiArtMode && text.isEmpty();
    if (windowClipboard) {
        // The window pastes from the window system's clipboard, which may still hold the user's
        // old text (KWin and sway copy the X11 clipboard there only while an X11 window has the focus).
        if (nothingToOffer)
            windowClipboard->offer({}, {});
        else
            windowClipboard->offerText(text.toStdString(), {});
    } else {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        if (!nothingToOffer)
            clipboard->setMimeData(new PasteData(text, std::make_shared<int>(0)));
    }

    if (singleClick) {
        palette.recordInHistory(caption);
        if (palette.pageList->listIndex() == kHistoryPage)
            for (int i = 0; i < kHistoryShown; ++i)
                palette.entryButtons[std::size_t(i)]->setCaption(
                    state.kaomoji.at(kHistoryPage, kHistoryRow, i));
    }
    ClipboardOnlyNotice::showOnce(&palette);
}

} // namespace palette
