#pragma once
// A file that start-up found but could not read whole, and how the user is told why.
#include "platform/textfile.h"
#include <QString>
#include <cstddef>

namespace storage {

struct UnreadFile {
    QString name; // as the user knows it: "顔文字.ini", "AA/AAText_2_05.txt"
    QString why;  // whyNotRead's sentence
};

// One sentence for the user: missing, too large for the bound, or no readable file.
QString whyNotRead(platform::textfile::ReadResult result, std::size_t maxBytes);

} // namespace storage
