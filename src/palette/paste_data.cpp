#include "palette/paste_data.h"

namespace palette {

PasteData::PasteData(const QString& text, std::shared_ptr<int> fetchCount) : fetches_(std::move(fetchCount)) {
    setText(text);
}

QVariant PasteData::retrieveData(const QString& mimeType, QMetaType type) const {
    ++*fetches_;
    return QMimeData::retrieveData(mimeType, type);
}

} // namespace palette
