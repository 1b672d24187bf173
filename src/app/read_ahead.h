#pragma once
// Start-up's two big reads, the kaomoji file and the ASCII-art texts, begun on other threads.
// They need no window and no Qt application object, so they can run while Qt starts.
#include "storage/aa_table.h"
#include "storage/kaomoji_table.h"
#include <filesystem>
#include <future>

struct ReadAhead {
    std::future<storage::kaomoji_file::Read> kaomoji;
    std::future<storage::AATextsRead> aaTexts;
};

// The reads of the program folder's files; a read that no thread could be had for is left
// empty (not valid), and start-up then does it itself in its turn.
ReadAhead startReadingAhead(const std::filesystem::path& programFolder);
