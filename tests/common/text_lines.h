#pragma once
// The lines of a file of the program's text format, written out independently of the program's
// reader so tests can check it against them: CR LF or CR ends a line, a lone LF is text, and a
// file ending in a line end has no empty line after it.
#include <string>
#include <string_view>
#include <vector>

namespace text_lines {

inline std::vector<std::string> split(std::string_view bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r') {
            lines.push_back(current);
            current.clear();
            open = false;
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            current.push_back(bytes[i]);
            open = true;
        }
    }
    if (open)
        lines.push_back(current);
    return lines;
}

} // namespace text_lines
