#include "storage/unread_file.h"

namespace storage {

QString whyNotRead(platform::textfile::ReadResult result, std::size_t maxBytes) {
    using platform::textfile::ReadResult;
    switch (result) {
    case ReadResult::Missing:
        return QStringLiteral("ファイルが見つかりません（リンク先がないか、移動・削除されています）。");
    case ReadResult::TooLarge:
        return QStringLiteral("ファイルが大きすぎます（%1 MB まで読み込めます）。").arg(maxBytes >> 20);
    default:
        return QStringLiteral("ファイルを読み取れません（フォルダか、読み取りが許可されていません）。");
    }
}

} // namespace storage
