#include "storage/profile_access.h"
#include "platform/profile.h"
#include "storage/text_codec.h"

namespace storage {

namespace {
constexpr std::size_t kProfileBufferBytes = 255;
}

QString ReadProfileString(const QString& section, const QString& key, const std::filesystem::path& file,
                          const QString& defaultValue) {
    const std::string def = toCp932(defaultValue);
    return fromCp932(
        platform::profile::getString(toCp932(section), toCp932(key), def, kProfileBufferBytes, file));
}

std::int32_t ReadProfileInt(const QString& section, const QString& key, std::int32_t defaultValue,
                            const std::filesystem::path& file) {
    return platform::profile::getInt(toCp932(section), toCp932(key), defaultValue, file);
}

bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const std::filesystem::path& file) {
    return platform::profile::writeString(toCp932(section), toCp932(key), toCp932(value), file);
}

} // namespace storage
