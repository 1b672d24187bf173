#include "palette/paste_data.h"

namespace palette {

PasteData::PasteData(const QString& text) {
    setText(text);
}

QVariant PasteData::retrieveData(const QString& mimeType, QMetaType type) const {
    ++fetches_;
    return QMimeData::retrieveData(mimeType, type);
}

} // namespace palette
