#pragma once
// Whole-file reads and writes for the file-layer tests.
#include <QtTest>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace test_files {

inline void writeFile(const std::filesystem::path& file, std::string_view bytes) {
    std::FILE* f = std::fopen(file.c_str(), "wb");
    QVERIFY(f);
    QCOMPARE(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

inline std::string readFile(const std::filesystem::path& file) {
    std::string s;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            s.append(buf, n);
        std::fclose(f);
    }
    return s;
}

} // namespace test_files
