#pragma once
// A text file dropped on a text box (the ASCII-art editor, the batch-registration box): taken
// whole, or refused with a reason, never taken in part.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace asciiart {

struct DroppedText {
    enum Kind {
        Ignored, // no ".txt" file first in the drop: nothing happens, nothing is said
        Refused, // a ".txt" path that cannot be read whole: nothing changes, the user is told why
        Taken,   // text holds the file's lines joined by CR LF
    };
    Kind kind = Ignored;
    QString text;
    QString message; // for Refused: what the user is told
};

// Only the first path counts, and only when its name ends in ".txt" in any case of letters.
DroppedText readDroppedText(const QStringList& paths);

// What a text box takes from a drop: the text, or nothing; a refusal is told through report
// (when set).
std::optional<QString> takeDroppedText(const QStringList& paths,
                                       const std::function<void(const QString& message)>& report);

} // namespace asciiart
