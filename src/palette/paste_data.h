#pragma once
// The text the palette puts on the clipboard for one paste. It notices when another program
// fetches it, so the paste can wait exactly as long as the target needs.
#include <QMimeData>
#include <memory>

namespace palette {

class PasteData : public QMimeData {
    Q_OBJECT
public:
    // fetchCount counts every time the text is handed out (to the target, or to anyone
    // reading it); it is shared, so the count goes on when the same text is put on the
    // clipboard again, and outlives the data, which Qt deletes when another program takes
    // the clipboard.
    PasteData(const QString& text, std::shared_ptr<int> fetchCount);
    int fetches() const { return *fetches_; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    std::shared_ptr<int> fetches_;
};

} // namespace palette
