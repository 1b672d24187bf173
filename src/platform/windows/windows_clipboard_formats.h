#pragma once
// How the Windows clipboard's formats are named and held in a ClipboardSnapshot, so that the
// program can put every one back through Qt byte for byte:
//
//   CF_UNICODETEXT        "text/plain", as UTF-8 up to its terminating NUL. Qt serves it as
//                         CF_UNICODETEXT (and CF_TEXT) again; Windows makes CF_TEXT, CF_OEMTEXT
//                         and CF_LOCALE from it, so those are left out.
//   CF_DIB or CF_DIBV5    "image/bmp", as a BMP file: the DIB behind a 14-byte file header. Only
//                         the one the owner gave, which the clipboard lists first; Windows makes
//                         the other, and CF_BITMAP, from it.
//   a registered format   its registered name ("Rich Text Format", "PNG", "HTML Format",
//                         "image/png" …). Qt offers a mime type it has no converter for as the
//                         registered format of that name, with the bytes as they are.
//   a registered format   application/x-qt-windows-mime;value="<name>", Qt's own name for a
//   named like one of     registered format when it reads the clipboard: under its bare name
//   Qt's mime types       Qt would take it for its own ("text/html" would become Qt's HTML).
//   CF_HDROP, CF_RIFF …   application/x-qt-windows-mime;value="CF_HDROP" and so on.
//
// Qt 6.4 serves "text/plain" and most registered names itself; the converter of
// windows_clipboard_offer.h serves the rest: "image/bmp", the application/x-qt-windows-mime
// names, and the registered names Qt keeps out of its last-resort converter ("HTML Format",
// "UniformResourceLocator").
//
// Left out: formats held as GDI handles (CF_BITMAP, CF_PALETTE, CF_ENHMETAFILE, CF_METAFILEPICT
// with a handle inside, the CF_DSP… formats but CF_DSPTEXT, the GDI object range), the
// owner-display format, the private range, whose handles only their owner understands, OLE's
// own formats beside a data object ("DataObject", "Ole Private Data"; OLE makes them again for
// whoever offers next), and a registered name in the application/x-qt-windows-mime form. Only Qt registers
// those, as a by-product: it registers every name it offers and has no converter of its own for, ours too, so
// a snapshot given back brings one beside each format only we serve (and a registered "image/bmp" beside the
// DIB, which the reader leaves out as the second "image/bmp").
#include <optional>
#include <string>
#include <string_view>

namespace platform::windows {

// The snapshot's name for a clipboard format; nullopt for a format the snapshot leaves out.
std::optional<std::string> snapshotNameOf(unsigned format);
// Both "image/bmp"; a snapshot holds the first format of a name only.
bool isDib(unsigned format);
// The clipboard's bytes as the snapshot holds them.
std::string snapshotBytesOf(unsigned format, std::string_view clipboardBytes);

// The clipboard format a snapshot's format goes back as, for the formats that Qt cannot serve
// by itself; nullopt for the others (Qt's own converters serve those, or nothing can).
std::optional<unsigned> formatOnlyWeServe(std::string_view name, std::string_view snapshotBytes);
// The bytes the clipboard gets back for it.
std::string clipboardBytesOf(unsigned format, std::string_view snapshotBytes);

} // namespace platform::windows
