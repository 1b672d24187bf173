#include "palette/kept_clipboard.h"
#include <QMimeData>
#include <algorithm>

namespace palette {

namespace {
bool offers(const platform::ClipboardSnapshot& snapshot, const char* name) {
    return std::any_of(snapshot.formats.begin(), snapshot.formats.end(),
                       [&](const platform::ClipboardFormat& f) { return f.name == name; });
}

QByteArray bytesOf(const platform::ClipboardFormat& format) {
    return QByteArray(format.bytes.data(), qsizetype(format.bytes.size()));
}
} // namespace

QMimeData* mimeDataOffering(const platform::ClipboardSnapshot& snapshot) {
    auto* data = new QMimeData;
    const bool plain = offers(snapshot, "text/plain");
    const bool utf8 = offers(snapshot, "UTF8_STRING");
    for (const auto& format : snapshot.formats) {
        if (format.name == "UTF8_STRING") {
            if (!plain)
                data->setData(QStringLiteral("text/plain"), bytesOf(format));
        } else if (format.name == "STRING" || format.name == "TEXT") {
            // Latin-1 by the X conventions; only when no UTF-8 text was offered.
            if (!plain && !utf8 && !data->hasFormat(QStringLiteral("text/plain")))
                data->setData(QStringLiteral("text/plain"), QString::fromLatin1(bytesOf(format)).toUtf8());
        } else if (format.name != "COMPOUND_TEXT") {
            // (Compound text is left out: Qt cannot serve it, and the same text goes out as
            // UTF8_STRING and STRING.)
            data->setData(QString::fromStdString(format.name), bytesOf(format));
        }
    }
    return data;
}

platform::ClipboardSnapshot snapshotOf(const QMimeData& data) {
    platform::ClipboardSnapshot snapshot;
    for (const QString& format : data.formats()) {
        const QByteArray bytes = data.data(format);
        snapshot.formats.push_back(
            {format.toStdString(), std::string(bytes.constData(), std::size_t(bytes.size()))});
    }
    return snapshot;
}

bool holdsPicture(const platform::ClipboardSnapshot& snapshot) {
    return std::any_of(snapshot.formats.begin(), snapshot.formats.end(),
                       [](const platform::ClipboardFormat& f) { return f.name.rfind("image/", 0) == 0; });
}

bool offersText(const platform::ClipboardSnapshot& snapshot, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return std::any_of(snapshot.formats.begin(), snapshot.formats.end(),
                       [&](const platform::ClipboardFormat& f) {
                           // (Windows names its Unicode text "text/plain", in UTF-8 by the time it is here.)
                           return (f.name == "UTF8_STRING" || f.name == "text/plain;charset=utf-8" ||
                                   f.name == "text/plain") &&
                                  bytesOf(f) == utf8;
                       });
}

} // namespace palette
