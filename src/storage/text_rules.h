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

// A name kept in a profile file (a page name, an ASCII-art name) is one line there: after the
// one-line rule, a lone LF that stays (two lines copied from a Linux program) becomes the space
// the box shows for it, so what is stored is what the user sees.
inline QString StripLineBreaksFromName(QString text) {
    return StripLineBreaks(std::move(text)).replace(QLatin1Char('\n'), QLatin1Char(' '));
}

} // namespace storage
