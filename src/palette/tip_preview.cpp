#include "palette/tip_preview.h"

namespace palette {

QString tipPreview(const QString& text) {
    static const QChar kEllipsis(u'…');
    QString shown;
    const qsizetype size = text.size();
    qsizetype pos = 0;
    for (int line = 0; pos < size; ++line) {
        if (line == kTipMaxLines) {
            shown += kEllipsis;
            break;
        }
        qsizetype end = pos;
        const qsizetype limit = std::min(size, pos + kTipMaxLineChars);
        while (end < limit && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const bool cut = end == limit && end < size && text[end] != u'\r' && text[end] != u'\n';
        qsizetype keep = end;
        if (cut && keep > pos && text[keep - 1].isHighSurrogate())
            --keep;
        shown += QStringView(text).mid(pos, keep - pos);
        if (cut) {
            shown += kEllipsis;
            // The rest of the long line is passed over: one scan, no copy, no layout.
            while (end < size && text[end] != u'\r' && text[end] != u'\n')
                ++end;
        }
        if (end < size) {
            shown += QLatin1Char('\n');
            if (text[end] == u'\r' && end + 1 < size && text[end + 1] == u'\n')
                ++end;
            ++end;
        }
        pos = end;
    }
    return shown;
}

} // namespace palette
