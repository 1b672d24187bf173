#pragma once
// The lines of a file of the program's text format, written out independently of the program's
// reader so tests can check it against them: in a file that holds a CR, CR LF or CR ends a line
// and a lone LF is text; in a file without any CR (line ends converted to LF), LF ends a line.
// A file ending in a line end has no empty line after it.
#include <string>
#include <string_view>
#include <vector>

namespace text_lines {

inline std::vector<std::string> split(std::string_view bytes) {
    bool anyCr = false;
    for (char c : bytes)
        anyCr = anyCr || c == '\r';
    std::vector<std::string> lines;
    std::string current;
    bool open = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool ends = anyCr ? bytes[i] == '\r' : bytes[i] == '\n';
        if (ends) {
            lines.push_back(current);
            current.clear();
            open = false;
            if (anyCr && i + 1 < bytes.size() && bytes[i + 1] == '\n')
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
