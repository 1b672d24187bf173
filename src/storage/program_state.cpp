#include "storage/program_state.h"
#include "platform/utf8_path.h"
#include "storage/settings_keys.h"

namespace storage {

namespace {
// Not std::filesystem::path(std::string): on Windows that reads the bytes in the C library's
// narrow encoding, and 設定.ini became è¨­å®\x9a.ini.
std::filesystem::path utf8Path(const QString& name) {
    return platform::pathFromUtf8(name.toStdString());
}
} // namespace

std::filesystem::path ProgramState::settingsFile() const {
    return folder / utf8Path(settings::kFileName);
}
std::filesystem::path kaomojiFileIn(const std::filesystem::path& programFolder) {
    return programFolder / utf8Path(QStringLiteral("顔文字.ini"));
}
std::filesystem::path asciiArtFolderIn(const std::filesystem::path& programFolder) {
    return programFolder / "AA";
}

std::filesystem::path ProgramState::kaomojiFile() const {
    return kaomojiFileIn(folder);
}
std::filesystem::path ProgramState::asciiArtFolder() const {
    return asciiArtFolderIn(folder);
}

std::uint32_t colorFromText(const QString& text) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    return ok ? std::uint32_t(value) : 0;
}

} // namespace storage
