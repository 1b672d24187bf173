#include "app/read_ahead.h"
#include "asciiart/aa_store.h"
#include "storage/program_state.h"
#include <system_error>

ReadAhead startReadingAhead(const std::filesystem::path& programFolder) {
    ReadAhead ahead;
    try {
        ahead.kaomoji = std::async(std::launch::async, &storage::kaomoji_file::read,
                                   storage::kaomojiFileIn(programFolder));
        ahead.aaTexts =
            std::async(std::launch::async, &asciiart::readTexts, storage::asciiArtFolderIn(programFolder));
    } catch (const std::system_error&) {
        // No thread to be had: what was not begun is read in place.
    }
    return ahead;
}
