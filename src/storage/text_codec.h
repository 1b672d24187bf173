#pragma once
// Conversions between the program's strings and the cp932 bytes of its files.
#include "platform/cp932.h"
#include <QString>
#include <string>
#include <string_view>

namespace storage {

inline QString fromCp932(std::string_view bytes) {
    return QString::fromStdU16String(platform::cp932::decode(bytes));
}
inline std::string toCp932(const QString& text) {
    return platform::cp932::encode(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())));
}

} // namespace storage
