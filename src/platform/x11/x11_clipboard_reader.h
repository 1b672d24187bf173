#pragma once
// Reads the CLIPBOARD (or another selection) over a connection of its own, with one bound for the whole
// read: an owner that never answers costs the bound, not the several seconds per format that
// a toolkit's own clipboard waits.
#include "platform/clipboard_snapshot.h"
#include <optional>

namespace platform::x11 {

// Every data format the owner offers, as bytes (TARGETS first, then each target in turn).
// nullopt when the display cannot be opened; an empty, complete snapshot when nobody owns the
// clipboard. A transfer in parts gets the bound again for each part that comes, so a big
// picture is kept whole, but the whole read never takes more than kTransferBoundFactor times
// the bound: an owner that trickles its parts cannot hold the program either.
constexpr int kTransferBoundFactor = 10;
std::optional<ClipboardSnapshot> readClipboard(const char* displayName, int boundMs,
                                               const char* selection = "CLIPBOARD");

} // namespace platform::x11
