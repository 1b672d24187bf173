#pragma once
#include <QString>

namespace storage {

// One-line fields drop every CR LF pair and then every lone CR; a lone LF stays, as it always
// has in the files (only CR ends a line there).
inline QString StripLineBreaks(QString text) {
    text.remove(QStringLiteral("\r\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace storage
