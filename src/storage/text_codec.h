#pragma once
// Conversions between the program's strings and the cp932 bytes of its files.
#include "platform/cp932.h"
#include <QString>
#include <string>
#include <string_view>

namespace storage {

inline QString fromCp932(std::string_view bytes) {
    if (bytes.empty())
        return QString();
    // Straight into the string: a byte never decodes to more than one unit.
    QString text(qsizetype(bytes.size()), Qt::Uninitialized);
    text.truncate(qsizetype(platform::cp932::decodeInto(bytes, reinterpret_cast<char16_t*>(text.data()))));
    return text;
}
inline std::string toCp932(const QString& text) {
    return platform::cp932::encode(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), std::size_t(text.size())));
}

} // namespace storage
