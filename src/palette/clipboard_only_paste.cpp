#include "palette/clipboard_only_paste.h"
#include "palette/clipboard_only_notice.h"
#include "palette/form1.h"
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

void pasteByClipboardOnly(Form1& palette, storage::ProgramState& state, const QString& text,
                          const QString& caption, bool singleClick) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    // As in a paste: an empty ASCII-art piece leaves the clipboard empty.
    if (!(state.CurrentGroup == storage::kAsciiArtMode && text.isEmpty()))
        clipboard->setMimeData(new PasteData(text, std::make_shared<int>(0)));

    if (singleClick) {
        palette.RecordHistory(caption);
        if (palette.Combo1->listIndex() == kHistoryPage)
            for (int i = 0; i < kHistoryShown; ++i)
                palette.Command1[std::size_t(i)]->setCaption(
                    state.KaomojiTable.at(kHistoryPage, kHistoryRow, i));
    }
    ClipboardOnlyNotice::showOnce(&palette);
}

} // namespace palette
