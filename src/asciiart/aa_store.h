#pragma once
// The ASCII-art store in the folder "AA" beside the program: "AAOptions.ini" holds the names
// and the three options, and one "AAText_<page>_<entry>.txt" file holds each non-empty text.
#include "platform/textfile.h"
#include "storage/program_state.h"
#include <QString>
#include <QStringList>
#include <filesystem>

class AsciiArtDialog;

namespace asciiart {

inline const QString kOptionsFileName = QStringLiteral("AAOptions.ini");

// "AAText_" + page + "_" + two-digit entry + ".txt", e.g. AAText_2_05.txt.
QString textFileName(int page, int entry);

// A name the store gives its files: the options file or a text file of page 1..9, entry 0..19.
bool isStoreFileName(std::string_view name);

// The largest text file read, at start-up or from a drop. Lines are never cut (what the program
// writes it reads back whole); a larger file is not read at all, so memory stays bounded.
constexpr std::size_t kMaxTextBytes = 64u << 20;

// What reading a text file gave: the text, or why there is none.
struct TextRead {
    QString text;
    platform::textfile::ReadResult result = platform::textfile::ReadResult::Ok;
    bool ok() const { return result == platform::textfile::ReadResult::Ok; }
};

// Reads a text file as the store and the drop on the editor do: its lines (see
// platform::textfile::splitLines) joined by CR LF, so the CR LF after the last line does not
// reach memory. A file that cannot be read whole gives no text at all.
TextRead readTextFile(const std::filesystem::path& file);

// The texts of the store in the folder, as start-up reads them; needs no window, so start-up
// can have them read on another thread.
storage::AATextsRead readTexts(const std::filesystem::path& folder);

// Start-up: names, then the three options into the dialog's check boxes, then texts (those
// read ahead in state.aaTextsReadAhead, if begun). Returns the text files not read whole.
std::vector<storage::UnreadFile> load(storage::ProgramState& state, AsciiArtDialog& dialog);

// Writes names, options and texts (deleting the files of empty texts). Returns the files that
// could not be written or deleted; the rest of the save still runs.
QStringList save(storage::ProgramState& state, const AsciiArtDialog& dialog);

} // namespace asciiart
