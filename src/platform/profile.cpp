#include "platform/profile.h"

#include "platform/cp932.h"
#include "platform/textfile.h"

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace platform::profile {
namespace {

// Characters that the profile functions strip around lines, names and values. None of them can
// be the second byte of a double-byte character (those are 0x40 and above), so trimming by byte
// never splits a character.
constexpr bool isBlank(unsigned char b) {
    return (b >= 0x09 && b <= 0x0D) || b == 0x1A || b == 0x20;
}

std::string_view trimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(static_cast<unsigned char>(s[i])))
        ++i;
    return s.substr(i);
}

std::string_view trim(std::string_view s) {
    s = trimLeft(s);
    std::size_t n = s.size();
    while (n > 0 && isBlank(static_cast<unsigned char>(s[n - 1])))
        --n;
    return s.substr(0, n);
}

// Length of the character at i: a lead byte followed by a valid second byte makes one
// character, so a ']' or '=' or letter there is part of it and not seen on its own.
std::size_t charLength(std::string_view s, std::size_t i) {
    if (cp932::isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
        auto t = static_cast<unsigned char>(s[i + 1]);
        if (t >= 0x40 && t <= 0xFC && t != 0x7F)
            return 2;
    }
    return 1;
}

constexpr unsigned char foldAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? b + ('a' - 'A') : b;
}

// Case-insensitive for ASCII letters that stand as characters of their own; the second byte of a
// double-byte character must match exactly (0x83 0x41 and 0x83 0x61 are different katakana).
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size();) {
        std::size_t len = charLength(a, i);
        if (len == 2) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1])
                return false;
        } else if (foldAscii(static_cast<unsigned char>(a[i])) !=
                   foldAscii(static_cast<unsigned char>(b[i]))) {
            return false;
        }
        i += len;
    }
    return true;
}

// One physical line of the file. Each CR LF, CR or LF ends its own line here (reading would
// merge runs of them, but the blank lines in between are skipped anyway), so a write can put a
// new key right after the last line that holds something.
struct Line {
    enum Kind { Blank, Header, Entry };
    Kind kind = Blank;
    std::size_t start = 0;      // first byte
    std::size_t contentEnd = 0; // first byte of the line end (or the end of the file)
    std::size_t end = 0;        // first byte of the next line
    std::string_view name;      // trimmed section name (Header) or key name (Entry)
    bool hasValue = false;      // Entry: the line holds a '='
    std::size_t afterEquals = 0;
    std::string_view value; // trimmed
};

std::vector<Line> parse(std::string_view text) {
    std::vector<Line> lines;
    lines.reserve(text.size() / 16 + 1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.start = pos;
        std::size_t e = pos;
        while (e < text.size() && text[e] != '\r' && text[e] != '\n')
            ++e;
        line.contentEnd = e;
        line.end = e;
        if (line.end < text.size()) {
            if (text[line.end] == '\r' && line.end + 1 < text.size() && text[line.end + 1] == '\n')
                line.end += 2;
            else
                line.end += 1;
        }
        pos = line.end;

        std::string_view content = trim(text.substr(line.start, line.contentEnd - line.start));
        if (content.empty()) {
            lines.push_back(line);
            continue;
        }
        if (content[0] == '[') {
            std::size_t close = std::string_view::npos;
            for (std::size_t i = 1; i < content.size(); i += charLength(content, i))
                if (content[i] == ']')
                    close = i;
            if (close != std::string_view::npos) {
                line.kind = Line::Header;
                line.name = trim(content.substr(1, close - 1));
                lines.push_back(line);
                continue;
            }
        }
        line.kind = Line::Entry;
        std::size_t equals = std::string_view::npos;
        for (std::size_t i = 0; i < content.size(); i += charLength(content, i)) {
            if (content[i] == '=') {
                equals = i;
                break;
            }
        }
        if (equals == std::string_view::npos) {
            line.name = content;
        } else {
            line.name = trim(content.substr(0, equals));
            line.hasValue = true;
            line.afterEquals = static_cast<std::size_t>(content.data() - text.data()) + equals + 1;
            line.value = trim(content.substr(equals + 1));
        }
        lines.push_back(line);
    }
    return lines;
}

// A section as a range of lines: the header (if any) and the lines up to the next header.
struct Section {
    std::size_t first; // the header line, or 0 for the lines before the first header
    std::size_t last;  // one past the last line
};

std::optional<Section> findSection(const std::vector<Line>& lines, std::string_view name) {
    std::size_t firstHeader = 0;
    while (firstHeader < lines.size() && lines[firstHeader].kind != Line::Header)
        ++firstHeader;
    // Lines before the first header sit in a section without a name: only "" reaches them, and
    // only when there is something there (otherwise "" goes on to a "[]" section).
    if (name.empty()) {
        for (std::size_t i = 0; i < firstHeader; ++i)
            if (lines[i].kind != Line::Blank)
                return Section{0, firstHeader};
    }
    for (std::size_t i = firstHeader; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Header || !sameName(lines[i].name, name))
            continue;
        std::size_t last = i + 1;
        while (last < lines.size() && lines[last].kind != Line::Header)
            ++last;
        return Section{i, last};
    }
    return std::nullopt;
}

// The first line of the section that names the key, with or without '='. A line without '='
// still hides a later line of the same name, as it does on Windows.
std::optional<std::size_t> findKey(const std::vector<Line>& lines, const Section& section,
                                   std::string_view key) {
    for (std::size_t i = section.first; i < section.last; ++i)
        if (lines[i].kind == Line::Entry && sameName(lines[i].name, key))
            return i;
    return std::nullopt;
}

enum class Load { Ok, Missing, Unreadable };

Load readWholeFile(const std::filesystem::path& file, std::string& bytes) {
    bytes.clear();
    if (!textfile::isFile(file)) {
        std::error_code ec;
        return std::filesystem::exists(file, ec) ? Load::Unreadable : Load::Missing; // e.g. a folder
    }
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return Load::Unreadable;
    char buffer[1 << 14];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok ? Load::Ok : Load::Unreadable;
}

// The files of the running batch, as they will be written. Each is read from disk once and
// parsed once until a write changes it: a window reading its settings asks for hundreds of keys.
struct BatchFile {
    std::string text;
    bool exists = false;
    bool changed = false;
    bool parsed = false;
    std::vector<Line> lines; // of text, while parsed
};
thread_local std::unique_ptr<std::map<std::filesystem::path, BatchFile>> tBatch;

// The running batch's copy of the file, read on first use; null when the file cannot be read
// (then nothing is kept, so a later call tries again).
BatchFile* batchFile(const std::filesystem::path& file) {
    // Reads come in runs on one file; its spelling is compared before normalising it anew.
    thread_local std::filesystem::path lastAsked;
    thread_local std::filesystem::path lastName;
    if (file.native() != lastAsked.native()) {
        lastAsked = file;
        lastName = file.lexically_normal();
    }
    const std::filesystem::path& name = lastName;
    auto it = tBatch->find(name);
    if (it == tBatch->end()) {
        BatchFile loaded;
        const Load load = readWholeFile(file, loaded.text);
        if (load == Load::Unreadable)
            return nullptr;
        loaded.exists = load == Load::Ok;
        it = tBatch->emplace(name, std::move(loaded)).first;
    }
    return &it->second;
}

std::string_view withoutQuotes(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

std::string truncated(std::string_view s, std::size_t size) {
    if (size == 0)
        return {};
    return std::string(s.substr(0, cp932::prefixLength(s, size - 1)));
}

std::string defaultResult(std::optional<std::string_view> defaultValue, std::size_t size) {
    std::string_view d = defaultValue.value_or(std::string_view{});
    std::size_t n = d.size();
    while (n > 0 && d[n - 1] == ' ')
        --n;
    if (n == 0 && !d.empty())
        return truncated(" ", size);
    return truncated(withoutQuotes(d.substr(0, n)), size);
}

int digitValue(unsigned char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

// The file's new content after a write, or nothing when the write changes nothing (then the
// file is not replaced at all: a read-only file accepts a write of what it already holds).
std::optional<std::string> applyWrite(const std::string& text, std::string_view section,
                                      std::optional<std::string_view> key,
                                      std::optional<std::string_view> value) {
    const std::vector<Line> lines = parse(text);
    const std::string_view sectionName = trim(section);
    const std::optional<Section> s = findSection(lines, sectionName);

    if (!key) {
        if (!s)
            return std::nullopt;
        std::size_t from = lines[s->first].start;
        std::size_t to = s->last < lines.size() ? lines[s->last].start : text.size();
        return text.substr(0, from) + text.substr(to);
    }
    const std::string_view keyName = trim(*key);
    const std::optional<std::size_t> k = s ? findKey(lines, *s, keyName) : std::nullopt;
    if (!value) {
        if (!k)
            return std::nullopt;
        return text.substr(0, lines[*k].start) + text.substr(lines[*k].end);
    }

    const std::string_view v = trimLeft(*value);
    if (k) {
        const Line& line = lines[*k];
        if (line.hasValue && line.value == v)
            return std::nullopt;
        // Only the value changes: the key keeps its spelling and spacing, and blanks before an
        // old value stay too, as they separate it from the '='.
        std::size_t from;
        std::string insert;
        if (!line.hasValue) {
            from = static_cast<std::size_t>(line.name.data() - text.data()) + line.name.size();
            insert = "=";
        } else if (line.value.empty()) {
            from = line.afterEquals;
        } else {
            from = static_cast<std::size_t>(line.value.data() - text.data());
        }
        insert += v;
        return text.substr(0, from) + insert + text.substr(line.contentEnd);
    }
    if (s) {
        std::size_t last = s->first;
        for (std::size_t i = s->first; i < s->last; ++i)
            if (lines[i].kind != Line::Blank)
                last = i;
        const Line& after = lines[last];
        std::string insert;
        if (after.end == after.contentEnd) // the file's last line, without a line end
            insert = "\r\n";
        insert.append(keyName).append("=").append(v).append("\r\n");
        return text.substr(0, after.end) + insert + text.substr(after.end);
    }
    std::string updated = text;
    if (!updated.empty() && updated.back() != '\r' && updated.back() != '\n')
        updated += "\r\n";
    updated.append("[").append(sectionName).append("]\r\n");
    updated.append(keyName).append("=").append(v).append("\r\n");
    return updated;
}

} // namespace

std::string getString(std::string_view section, std::string_view key,
                      std::optional<std::string_view> defaultValue, std::size_t size,
                      const std::filesystem::path& file) {
    std::vector<Line> ownLines;
    const std::vector<Line>* parsed = &ownLines;
    std::string buffer;
    if (tBatch) {
        BatchFile* f = batchFile(file);
        if (!f || !f->exists)
            return defaultResult(defaultValue, size);
        if (!f->parsed) {
            f->lines = parse(f->text);
            f->parsed = true;
        }
        parsed = &f->lines;
    } else {
        if (readWholeFile(file, buffer) != Load::Ok)
            return defaultResult(defaultValue, size);
        ownLines = parse(buffer);
    }
    const std::vector<Line>& lines = *parsed;
    std::optional<Section> s = findSection(lines, trim(section));
    if (!s)
        return defaultResult(defaultValue, size);
    std::optional<std::size_t> k = findKey(lines, *s, trim(key));
    if (!k || !lines[*k].hasValue)
        return defaultResult(defaultValue, size);
    return truncated(withoutQuotes(lines[*k].value), size);
}

std::int32_t getInt(std::string_view section, std::string_view key, std::int32_t defaultValue,
                    const std::filesystem::path& file) {
    // Windows reads the value into a buffer of 30, so only its first 29 bytes count.
    constexpr std::size_t kBufferSize = 30;
    std::string s = getString(section, key, std::nullopt, kBufferSize, file);
    if (s.empty())
        return defaultValue;

    std::size_t i = 0;
    while (i < s.size() && static_cast<unsigned char>(s[i]) <= 0x20)
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    unsigned base = 10;
    if (i + 1 < s.size() && s[i] == '0') {
        switch (s[i + 1]) {
        case 'x':
            base = 16;
            break;
        case 'o':
            base = 8;
            break;
        case 'b':
            base = 2;
            break;
        default:
            break;
        }
        if (base != 10)
            i += 2;
    }
    std::uint32_t total = 0; // wraps modulo 2^32 with no overflow check, as on Windows
    for (; i < s.size(); ++i) {
        int d = digitValue(static_cast<unsigned char>(s[i]));
        if (d < 0 || static_cast<unsigned>(d) >= base)
            break;
        total = total * base + static_cast<std::uint32_t>(d);
    }
    if (negative)
        total = 0u - total;
    return static_cast<std::int32_t>(total);
}

bool writeString(std::string_view section, std::optional<std::string_view> key,
                 std::optional<std::string_view> value, const std::filesystem::path& file) {
    if (value && value->find_first_of("\r\n") != std::string_view::npos)
        return false;

    if (tBatch) {
        BatchFile* f = batchFile(file);
        if (!f)
            return false;
        if (std::optional<std::string> updated = applyWrite(f->text, section, key, value)) {
            f->text = std::move(*updated);
            f->exists = true;
            f->changed = true;
            f->parsed = false;
            f->lines.clear();
        }
        return true;
    }

    std::string text;
    if (readWholeFile(file, text) == Load::Unreadable)
        return false; // what it holds must be kept, so it must be readable
    std::optional<std::string> updated = applyWrite(text, section, key, value);
    return !updated || textfile::writeAtomically(file, *updated);
}

Batch::Batch() : outermost_(!tBatch) {
    if (outermost_)
        tBatch = std::make_unique<std::map<std::filesystem::path, BatchFile>>();
}

Batch::~Batch() {
    commit();
}

bool Batch::commit() {
    if (!outermost_)
        return true;
    outermost_ = false;
    auto files = std::move(tBatch);
    bool ok = true;
    for (const auto& [file, f] : *files)
        if (f.changed && !textfile::writeAtomically(file, f.text))
            ok = false;
    return ok;
}

} // namespace platform::profile
