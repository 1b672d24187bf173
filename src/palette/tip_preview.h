#pragma once
// What a tooltip shows of an ASCII-art text: the whole piece when it is of a size a tip can
// show, else its top left corner. Laying out megabytes of text would freeze the palette for
// seconds, and no screen shows more than this anyway.
#include <QString>

namespace palette {

constexpr int kTipMaxLines = 80;
constexpr int kTipMaxLineChars = 400;

// The text's first kTipMaxLines lines (CR LF, CR or LF ends one), each cut to kTipMaxLineChars
// characters, lines joined by LF (the label's line break); a cut line ends in "…", and "…" on a
// line of its own stands for lines left out. Never a half surrogate pair. What it copies is
// bounded by what is shown; it reads the text only up to the end of the last line shown.
QString tipPreview(const QString& text);

} // namespace palette
