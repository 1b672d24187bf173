#include "storage/settings_keys.h"

namespace storage::settings {

QString defaultPageName(int page) {
    if (page == 9)
        return QStringLiteral("履歴");
    // Full-width digits １..９ follow each other from U+FF11.
    return QStringLiteral("ページ") + QChar(char16_t(0xFF11 + page));
}

int checkState(std::int32_t value, int defaultValue) {
    return inRange(value, 0, 2, defaultValue);
}

int inRange(std::int32_t value, int low, int high, int defaultValue) {
    return value >= low && value <= high ? int(value) : defaultValue;
}

std::int32_t colorValue(std::int32_t value, std::int32_t defaultValue) {
    return value >= 0 && value <= 0xFFFFFF ? value : defaultValue;
}

int twipsValue(std::int32_t value, int defaultValue) {
    constexpr std::int32_t kLimit = 32767 * 15;
    return value >= -kLimit && value <= kLimit ? int(value) : defaultValue;
}

} // namespace storage::settings
