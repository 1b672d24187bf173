#pragma once
// The program's access to its profile files: names and values go through cp932, as the files
// are Windows files.
#include <QString>
#include <cstdint>
#include <filesystem>

namespace storage {

// Reads a text value through a 255-byte buffer, as the program always has: at most 254 bytes
// of a value come back, cut before a double-byte character rather than through it.
QString ReadProfileString(const QString& section, const QString& key, const std::filesystem::path& file,
                          const QString& defaultValue);
std::int32_t ReadProfileInt(const QString& section, const QString& key, std::int32_t defaultValue,
                            const std::filesystem::path& file);
bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                        const std::filesystem::path& file);

} // namespace storage
