#include "asciiart/aa_store.h"
#include "asciiart/ascii_art_dialog.h"
#include "platform/file_owner.h"
#include "platform/profile.h"
#include "platform/textfile.h"
#include "platform/utf8_path.h"
#include "storage/profile_access.h"
#include "storage/settings_keys.h"
#include "storage/text_codec.h"
#include <system_error>

namespace asciiart {

namespace {
constexpr int kDefaultOption = 1;

std::filesystem::path optionsFile(const storage::ProgramState& state) {
    return state.asciiArtFolder() / platform::pathFromUtf8(kOptionsFileName.toStdString());
}
std::filesystem::path textFileIn(const std::filesystem::path& folder, int page, int entry) {
    return folder / platform::pathFromUtf8(textFileName(page, entry).toStdString());
}
std::filesystem::path textFile(const storage::ProgramState& state, int page, int entry) {
    return textFileIn(state.asciiArtFolder(), page, entry);
}
int partKey(int page, int entry) {
    return page * 100 + entry;
}

QString pageSection(int page) {
    return QStringLiteral("Page%1").arg(page);
}
QString nameKey(int entry) {
    return QStringLiteral("Name_%1").arg(entry);
}

struct OptionKey {
    const char* section;
    const char* key;
};
constexpr OptionKey kOptionKeys[3] = {
    {"Options", "FrontLine"}, {"Options", "BackLine"}, {"ToolTipOptions", "Display"}};
// A folder without its owner-write bit counts as write-protected even for root, as it would
// for any user: the program must not slip past a protection the user set (see mayWriteIn).
bool ownerMayWrite(const std::filesystem::path& folder) {
    return platform::textfile::mayWriteIn(folder);
}

// Made by root in a user's folder, it is the user's (see file_owner.h).
void createFolder(const std::filesystem::path& folder) {
    std::string error;
    if (ownerMayWrite(folder.parent_path()))
        platform::file_owner::makeFolder(folder, 0777, error);
}

bool removeFile(const std::filesystem::path& file) {
    std::error_code ec;
    return ownerMayWrite(file.parent_path()) && std::filesystem::remove(file, ec) && !ec;
}
} // namespace

QString textFileName(int page, int entry) {
    return QStringLiteral("AAText_%1_%2.txt").arg(page).arg(entry, 2, 10, QLatin1Char('0'));
}

bool isStoreFileName(std::string_view name) {
    const QString given = QString::fromUtf8(name.data(), qsizetype(name.size()));
    if (given == kOptionsFileName)
        return true;
    for (int page = storage::AATable::kFirstPage; page <= storage::AATable::kLastPage; ++page)
        for (int entry = 0; entry < storage::AATable::kEntries; ++entry)
            if (given == textFileName(page, entry))
                return true;
    return false;
}

TextRead readTextFile(const std::filesystem::path& file) {
    TextRead read;
    std::string bytes;
    read.result = platform::textfile::readWhole(file, kMaxTextBytes, bytes);
    if (!read.ok())
        return read;
    const std::vector<std::string_view> lines = platform::textfile::splitLines(bytes);
    std::string joined;
    joined.reserve(bytes.size() + lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        joined += lines[i];
    }
    read.text = storage::fromCp932(joined);
    return read;
}

std::vector<storage::UnreadFile> load(storage::ProgramState& state, AsciiArtDialog& dialog) {
    const auto ini = optionsFile(state);
    for (int page = storage::AATable::kFirstPage; page <= storage::AATable::kLastPage; ++page)
        for (int entry = 0; entry < storage::AATable::kEntries; ++entry)
            state.asciiArtNames.at(page, entry) =
                storage::ReadProfileString(pageSection(page), nameKey(entry), ini, QString());

    for (int i = 0; i < 3; ++i) {
        const auto& option = kOptionKeys[i];
        const int value = storage::ReadProfileInt(QString::fromLatin1(option.section),
                                                  QString::fromLatin1(option.key), kDefaultOption, ini);
        dialog.optionChecks[std::size_t(i)]->setValue(storage::settings::checkState(value, kDefaultOption));
    }

    storage::AATextsRead read =
        state.aaTextsReadAhead.valid() ? state.aaTextsReadAhead.get() : readTexts(state.asciiArtFolder());
    state.asciiArtTexts = std::move(read.texts);
    state.aaTextReadInPart = std::move(read.readInPart);
    return std::move(read.unread);
}

storage::AATextsRead readTexts(const std::filesystem::path& folder) {
    storage::AATextsRead read;
    for (int page = storage::AATable::kFirstPage; page <= storage::AATable::kLastPage; ++page)
        for (int entry = 0; entry < storage::AATable::kEntries; ++entry) {
            const auto file = textFileIn(folder, page, entry);
            if (platform::textfile::isFile(file)) {
                TextRead text = readTextFile(file);
                if (!text.ok()) {
                    read.readInPart.insert(partKey(page, entry), QString());
                    read.unread.push_back({QStringLiteral("AA/") + textFileName(page, entry),
                                           storage::whyNotRead(text.result, kMaxTextBytes)});
                }
                read.texts.at(page, entry) = std::move(text.text);
            }
        }
    return read;
}

QStringList save(storage::ProgramState& state, const AsciiArtDialog& dialog) {
    QStringList failed;
    const auto folder = state.asciiArtFolder();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        createFolder(folder);

    const auto ini = optionsFile(state);
    bool iniFailed = false;
    // 183 keys, one atomic replacement of the file.
    platform::profile::Batch batch;
    for (int page = storage::AATable::kFirstPage; page <= storage::AATable::kLastPage; ++page)
        for (int entry = 0; entry < storage::AATable::kEntries; ++entry)
            iniFailed |= !storage::WriteProfileString(pageSection(page), nameKey(entry),
                                                      state.asciiArtNames.at(page, entry), ini);
    for (int i = 0; i < 3; ++i) {
        const auto& option = kOptionKeys[i];
        // A greyed box (2, as a hand-edited file may set it) counts as on wherever an option is
        // read; the file only ever holds 0 or 1.
        const int on = dialog.optionChecks[std::size_t(i)]->value() != 0 ? 1 : 0;
        iniFailed |= !storage::WriteProfileString(QString::fromLatin1(option.section),
                                                  QString::fromLatin1(option.key), QString::number(on), ini);
    }
    iniFailed |= !batch.commit();
    if (iniFailed)
        failed << QStringLiteral("AA/") + kOptionsFileName;

    for (int page = storage::AATable::kFirstPage; page <= storage::AATable::kLastPage; ++page)
        for (int entry = 0; entry < storage::AATable::kEntries; ++entry) {
            const auto file = textFile(state, page, entry);
            const QString& text = state.asciiArtTexts.at(page, entry);
            const auto part = state.aaTextReadInPart.constFind(partKey(page, entry));
            if (part != state.aaTextReadInPart.constEnd() && (text.isEmpty() || text == *part)) {
                // What the file holds was never read whole: it is kept, and the user is told,
                // until the user gives the entry a text of its own.
                failed << QStringLiteral("AA/") + textFileName(page, entry);
            } else if (!text.isEmpty()) {
                // A text too large to be read back is not written: the next start would refuse it.
                const std::string bytes = storage::toCp932(text + QStringLiteral("\r\n"));
                if (bytes.size() <= kMaxTextBytes && platform::textfile::writeIfChanged(file, bytes))
                    state.aaTextReadInPart.remove(partKey(page, entry));
                else
                    failed << QStringLiteral("AA/") + textFileName(page, entry);
            } else if (platform::textfile::isFile(file)) {
                if (!removeFile(file))
                    failed << QStringLiteral("AA/") + textFileName(page, entry);
            }
        }
    return failed;
}

} // namespace asciiart
