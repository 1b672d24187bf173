#include "platform/windows/windows_clipboard_offer.h"
#include "platform/windows/win32.h"
#include "platform/windows/windows_clipboard_formats.h"
// FORMATETC, STGMEDIUM, IDataObject: OLE, which WIN32_LEAN_AND_MEAN leaves out of <windows.h>;
// Qt's header below needs them.
#include <objidl.h>

#include <QGuiApplication>
#include <QMimeData>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/private/qwindowsmime_p.h>
#include <algorithm>
#include <cstring>
#include <optional>

namespace platform::windows {

namespace {

using QtWindowsMime = QNativeInterface::Private::QWindowsMime;
using QtWindowsApplication = QNativeInterface::Private::QWindowsApplication;

std::string_view viewOf(const QByteArray& bytes) {
    return {bytes.constData(), std::size_t(bytes.size())};
}

// The mime data's entry that goes out as this clipboard format, if it is one only we serve.
std::optional<QString> entryServedAs(unsigned format, const QMimeData* data) {
    for (const QString& name : data->formats()) {
        const QByteArray utf8Name = name.toUtf8();
        // "image/bmp" is told apart by its header, so its bytes are read; the other names alone
        // say whether they are ours, and data() is asked only for them.
        const bool needsBytes = name == QLatin1String("image/bmp");
        const QByteArray bytes = needsBytes ? data->data(name) : QByteArray();
        if (formatOnlyWeServe(viewOf(utf8Name), viewOf(bytes)) == format)
            return name;
    }
    return std::nullopt;
}

// Only from Qt to the clipboard: how Qt reads the clipboard stays as it is.
class SnapshotFormats final : public QtWindowsMime {
public:
    bool canConvertFromMime(const FORMATETC& f, const QMimeData* data) const override {
        return (f.tymed & TYMED_HGLOBAL) && entryServedAs(f.cfFormat, data).has_value();
    }

    bool convertFromMime(const FORMATETC& f, const QMimeData* data, STGMEDIUM* medium) const override {
        if (!(f.tymed & TYMED_HGLOBAL))
            return false;
        const auto entry = entryServedAs(f.cfFormat, data);
        if (!entry)
            return false;
        const std::string bytes = clipboardBytesOf(f.cfFormat, viewOf(data->data(*entry)));
        // GlobalAlloc gives no block of 0 bytes: an empty format goes out as one NUL.
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, std::max<SIZE_T>(bytes.size(), 1));
        if (!memory)
            return false;
        void* p = GlobalLock(memory);
        if (!p) {
            GlobalFree(memory);
            return false;
        }
        if (!bytes.empty())
            std::memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return true;
    }

    QList<FORMATETC> formatsForMime(const QString& mimeType, const QMimeData* data) const override {
        const QByteArray name = mimeType.toUtf8();
        const QByteArray bytes = mimeType == QLatin1String("image/bmp") ? data->data(mimeType) : QByteArray();
        const auto format = formatOnlyWeServe(viewOf(name), viewOf(bytes));
        if (!format)
            return {};
        FORMATETC f{};
        f.cfFormat = CLIPFORMAT(*format);
        f.dwAspect = DVASPECT_CONTENT;
        f.lindex = -1;
        f.tymed = TYMED_HGLOBAL;
        return {f};
    }

    bool canConvertToMime(const QString&, IDataObject*) const override { return false; }
    QVariant convertToMime(const QString&, IDataObject*, QMetaType) const override { return {}; }
    QString mimeForFormat(const FORMATETC&) const override { return {}; }
};

} // namespace

bool serveSnapshotFormatsThroughQt() {
    auto* windowsApp = qGuiApp ? qGuiApp->nativeInterface<QtWindowsApplication>() : nullptr;
    if (!windowsApp)
        return false;
    // Qt keeps the converter until the process ends and never deletes one it did not make.
    static SnapshotFormats* const converter = [&] {
        auto* made = new SnapshotFormats;
        windowsApp->registerMime(made);
        return made;
    }();
    return converter != nullptr;
}

} // namespace platform::windows
