#include "asciiart/dropped_text.h"
#include "asciiart/aa_store.h"
#include "storage/unread_file.h"
#include <QFileInfo>
#include <filesystem>

namespace asciiart {

DroppedText readDroppedText(const QStringList& paths) {
    DroppedText dropped;
    if (paths.isEmpty())
        return dropped;
    const QString& path = paths.first();
    // The text after the last '.' of the whole path; a path without one is no ".txt" file.
    const QString extension = path.mid(path.lastIndexOf(QLatin1Char('.')) + 1).toUpper();
    if (extension != QStringLiteral("TXT"))
        return dropped;
    TextRead read = readTextFile(QFileInfo(path).filesystemFilePath());
    if (!read.ok()) {
        dropped.kind = DroppedText::Refused;
        dropped.message = QStringLiteral("次のファイルを読み込めませんでした。何も変更していません。\n\n") +
                          path + QStringLiteral("\n\n") + storage::whyNotRead(read.result, kMaxTextBytes);
        return dropped;
    }
    dropped.kind = DroppedText::Taken;
    dropped.text = std::move(read.text);
    return dropped;
}

std::optional<QString> takeDroppedText(const QStringList& paths,
                                       const std::function<void(const QString& message)>& report) {
    DroppedText dropped = readDroppedText(paths);
    if (dropped.kind == DroppedText::Refused && report)
        report(dropped.message);
    if (dropped.kind != DroppedText::Taken)
        return std::nullopt;
    return std::move(dropped.text);
}

} // namespace asciiart
