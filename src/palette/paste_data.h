#pragma once
// The text the palette puts on the clipboard for one paste. It notices when another program
// fetches it, so the paste can wait exactly as long as the target needs.
#include <QMimeData>

namespace palette {

class PasteData : public QMimeData {
    Q_OBJECT
public:
    explicit PasteData(const QString& text);
    // How many times the text has been handed out (to the target, or to anyone reading it).
    int fetches() const { return fetches_; }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    mutable int fetches_ = 0;
};

} // namespace palette
