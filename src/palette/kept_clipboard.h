#pragma once
// The user's clipboard, read as bytes while a paste borrows the clipboard, offered again after.
#include "platform/clipboard_snapshot.h"

class QMimeData;
class QString;

namespace palette {

// Mime data that offers the snapshot's formats again, named so that Qt serves each target the
// owner offered with the bytes it gave: a target named like a mime type keeps its name, and the
// text targets (UTF8_STRING, STRING, TEXT) become "text/plain", from which Qt serves them all.
QMimeData* mimeDataOffering(const platform::ClipboardSnapshot& snapshot);
// The formats of mime data the palette itself offers, as bytes.
platform::ClipboardSnapshot snapshotOf(const QMimeData& data);
// Whether the snapshot holds a picture ("image/…").
bool holdsPicture(const platform::ClipboardSnapshot& snapshot);
// Whether the snapshot offers exactly this text as UTF-8.
bool offersText(const platform::ClipboardSnapshot& snapshot, const QString& text);

} // namespace palette
