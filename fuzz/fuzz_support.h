#pragma once
// Shared by the fuzz targets: a private scratch folder for the files the program reads and
// writes, file helpers, and a check that stops the run with a message when a rule is broken.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fuzz {

// A folder of this process's own, on a memory file system where there is one: the targets that
// write pay a flush to disk per input otherwise. Removed when the process ends normally.
inline const std::filesystem::path& scratch() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = "/dev/shm";
        std::error_code ec;
        if (!std::filesystem::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        auto path = base / ("pikome-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(scratch(), ignored);
        });
        return path;
    }();
    return folder;
}

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f) {
        std::perror(file.c_str());
        std::abort();
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::perror(file.c_str());
        std::abort();
    }
    std::fclose(f);
}

inline std::string readFile(const std::filesystem::path& file) {
    std::string s;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char buf[1 << 14];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

[[noreturn]] inline void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzz

// Unlike assert(), stays in every build type: the rule is what the target is for.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::fuzz::fail(__FILE__, __LINE__, #condition);                                                    \
    } while (0)
