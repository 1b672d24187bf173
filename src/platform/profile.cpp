#include "platform/profile.h"

#include "platform/cp932.h"
#include "platform/textfile.h"

#include <algorithm>
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

// The part before the first NUL byte: what a C string holds.
std::string_view beforeNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
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
// new key right after the last line that holds something. Positions are byte offsets into the
// text, so a batch can edit its text and keep the lines before the edit as they are.
struct Line {
    enum Kind { Blank, Header, Entry };
    Kind kind = Blank;
    std::size_t start = 0;      // first byte
    std::size_t contentEnd = 0; // first byte of the line end (or the end of the file)
    std::size_t end = 0;        // first byte of the next line
    std::size_t nameAt = 0;     // trimmed section name (Header) or key name (Entry)
    std::size_t nameSize = 0;
    bool hasValue = false; // Entry: the line holds a '='
    std::size_t afterEquals = 0;
    std::size_t valueAt = 0; // trimmed
    std::size_t valueSize = 0;

    std::string_view name(std::string_view text) const { return text.substr(nameAt, nameSize); }
    std::string_view value(std::string_view text) const { return text.substr(valueAt, valueSize); }
    void shift(std::ptrdiff_t by) {
        for (std::size_t* at : {&start, &contentEnd, &end, &nameAt, &afterEquals, &valueAt})
            *at = std::size_t(std::ptrdiff_t(*at) + by);
    }
};

// The line that starts at pos (pos < text.size()).
Line parseLine(std::string_view text, std::size_t pos) {
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
    auto offsetOf = [&text](std::string_view part) {
        return static_cast<std::size_t>(part.data() - text.data());
    };
    auto setName = [&](std::string_view name) {
        line.nameAt = offsetOf(name);
        line.nameSize = name.size();
    };

    // Windows reads the file as C strings: a NUL byte ends what the line says, so a value or a
    // name holding one is cut there.
    std::string_view content = beforeNul(text.substr(line.start, line.contentEnd - line.start));
    content = trim(content);
    line.nameAt = line.afterEquals = line.valueAt = line.start;
    if (content.empty())
        return line;
    if (content[0] == '[') {
        std::size_t close = std::string_view::npos;
        for (std::size_t i = 1; i < content.size(); i += charLength(content, i))
            if (content[i] == ']')
                close = i;
        if (close != std::string_view::npos) {
            line.kind = Line::Header;
            setName(trim(content.substr(1, close - 1)));
            return line;
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
        setName(content);
    } else {
        setName(trim(content.substr(0, equals)));
        line.hasValue = true;
        line.afterEquals = offsetOf(content) + equals + 1;
        const std::string_view value = trim(content.substr(equals + 1));
        line.valueAt = offsetOf(value);
        line.valueSize = value.size();
    }
    return line;
}

std::vector<Line> parse(std::string_view text) {
    std::vector<Line> lines;
    lines.reserve(text.size() / 16 + 1);
    for (std::size_t pos = 0; pos < text.size(); pos = lines.back().end)
        lines.push_back(parseLine(text, pos));
    return lines;
}

// One change of a write: the bytes [from, to) of the text become insert.
struct Edit {
    std::size_t from = 0;
    std::size_t to = 0;
    std::string insert;
};

// Applies the edit to a text and its lines, parsing only the lines it touches: a save of many
// keys then costs one parse of the file, not one a key. The lines are those parse() gives for
// the new text.
void applyEdit(std::string& text, std::vector<Line>& lines, const Edit& edit) {
    // The first line to parse again: the one the edit begins in, or the one before it (its
    // line end may join a CR LF with what comes in).
    std::size_t first =
        std::size_t(std::partition_point(lines.begin(), lines.end(),
                                         [&edit](const Line& line) { return line.end < edit.from; }) -
                    lines.begin());
    if (first > 0)
        --first;
    // The old lines from which on nothing changes but their place: those after the edit.
    std::size_t keep = first;
    while (keep < lines.size() && lines[keep].start <= edit.to)
        ++keep;
    const std::ptrdiff_t delta = std::ptrdiff_t(edit.insert.size()) - std::ptrdiff_t(edit.to - edit.from);
    text.replace(edit.from, edit.to - edit.from, edit.insert);

    std::vector<Line> fresh;
    std::size_t pos = first < lines.size() ? lines[first].start : (lines.empty() ? 0 : lines.back().end);
    for (;;) {
        // Parsing goes on until it meets the start of a kept line (moved by delta): from there on
        // every line is as it was, a line's reading depending only on its own bytes and the byte
        // after a CR.
        while (keep < lines.size() && std::ptrdiff_t(lines[keep].start) + delta < std::ptrdiff_t(pos))
            ++keep;
        if (pos >= text.size() ||
            (keep < lines.size() && std::size_t(std::ptrdiff_t(lines[keep].start) + delta) == pos))
            break;
        fresh.push_back(parseLine(text, pos));
        pos = fresh.back().end;
    }
    if (delta != 0)
        for (std::size_t i = keep; i < lines.size(); ++i)
            lines[i].shift(delta);
    const std::size_t from = std::min(first, lines.size());
    if (fresh.size() == keep - from) {
        // A value changed in place: as many lines as before, none to move.
        std::copy(fresh.begin(), fresh.end(), lines.begin() + std::ptrdiff_t(from));
        return;
    }
    lines.erase(lines.begin() + std::ptrdiff_t(from), lines.begin() + std::ptrdiff_t(keep));
    lines.insert(lines.begin() + std::ptrdiff_t(from), fresh.begin(), fresh.end());
}

// A section as a range of lines: the header (if any) and the lines up to the next header.
struct Section {
    std::size_t first; // the header line, or 0 for the lines before the first header
    std::size_t last;  // one past the last line
};

std::optional<Section> findSection(std::string_view text, const std::vector<Line>& lines,
                                   std::string_view name) {
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
        if (lines[i].kind != Line::Header || !sameName(lines[i].name(text), name))
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
std::optional<std::size_t> findKey(std::string_view text, const std::vector<Line>& lines,
                                   const Section& section, std::string_view key) {
    for (std::size_t i = section.first; i < section.last; ++i)
        if (lines[i].kind == Line::Entry && sameName(lines[i].name(text), key))
            return i;
    return std::nullopt;
}

enum class Load { Ok, Missing, Unreadable };

// A settings file holds a few kilobytes. One far larger is no settings file: it is not read (so
// start-up and saving stay quick and small) and, being unreadable, never written over.
constexpr std::size_t kMaxFileBytes = 4u << 20;

Load readWholeFile(const std::filesystem::path& file, std::string& bytes) {
    switch (textfile::readWhole(file, kMaxFileBytes, bytes)) {
    case textfile::ReadResult::Ok:
        return Load::Ok;
    case textfile::ReadResult::Missing:
        return Load::Missing;
    default:
        return Load::Unreadable; // a folder, no permission, a failed read, too large
    }
}

// The files of the running batch, as they will be written. Each is read from disk once and
// parsed once (a window reading its settings asks for hundreds of keys); a write edits the text
// and parses again only the lines it touches, so a save costs about one pass over the file.
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
// lines: the text as parse() gives it (a batch keeps it from one write to the next, so a save
// whose keys mostly keep their values parses the file once rather than once a key).
std::optional<Edit> applyWrite(std::string_view text, const std::vector<Line>& lines,
                               std::string_view section, std::optional<std::string_view> key,
                               std::optional<std::string_view> value) {
    const std::string_view sectionName = trim(section);
    const std::optional<Section> s = findSection(text, lines, sectionName);

    if (!key) {
        if (!s)
            return std::nullopt;
        const std::size_t to = s->last < lines.size() ? lines[s->last].start : text.size();
        return Edit{lines[s->first].start, to, {}};
    }
    const std::string_view keyName = trim(*key);
    const std::optional<std::size_t> k = s ? findKey(text, lines, *s, keyName) : std::nullopt;
    if (!value) {
        if (!k)
            return std::nullopt;
        return Edit{lines[*k].start, lines[*k].end, {}};
    }

    const std::string_view v = trimLeft(*value);
    if (k) {
        const Line& line = lines[*k];
        if (line.hasValue && line.value(text) == v)
            return std::nullopt;
        // Only the value changes: the key keeps its spelling and spacing, and blanks before an
        // old value stay too, as they separate it from the '='.
        Edit edit;
        if (!line.hasValue) {
            edit.from = line.nameAt + line.nameSize;
            edit.insert = "=";
        } else if (line.valueSize == 0) {
            edit.from = line.afterEquals;
        } else {
            edit.from = line.valueAt;
        }
        edit.to = line.contentEnd;
        edit.insert += v;
        return edit;
    }
    if (s) {
        std::size_t last = s->first;
        for (std::size_t i = s->first; i < s->last; ++i)
            if (lines[i].kind != Line::Blank)
                last = i;
        const Line& after = lines[last];
        Edit edit{after.end, after.end, {}};
        if (after.end == after.contentEnd) // the file's last line, without a line end
            edit.insert = "\r\n";
        edit.insert.append(keyName).append("=").append(v).append("\r\n");
        return edit;
    }
    Edit edit{text.size(), text.size(), {}};
    if (!text.empty() && text.back() != '\r' && text.back() != '\n')
        edit.insert = "\r\n";
    edit.insert.append("[").append(sectionName).append("]\r\n");
    edit.insert.append(keyName).append("=").append(v).append("\r\n");
    return edit;
}

// A file as the reads see it: the running batch's copy, or the file on disk; no lines when it
// cannot be read.
class ParsedFile {
public:
    explicit ParsedFile(const std::filesystem::path& file) {
        if (tBatch) {
            BatchFile* f = batchFile(file);
            if (!f || !f->exists)
                return;
            if (!f->parsed) {
                f->lines = parse(f->text);
                f->parsed = true;
            }
            parsed_ = &f->lines;
            text = f->text;
        } else if (readWholeFile(file, buffer_) == Load::Ok) {
            ownLines_ = parse(buffer_);
            text = buffer_;
        }
    }
    const std::vector<Line>& lines() const { return *parsed_; }
    std::optional<Section> section(std::string_view name) const {
        return findSection(text, lines(), trim(name));
    }

    std::string_view text;

private:
    std::string buffer_;
    std::vector<Line> ownLines_;
    const std::vector<Line>* parsed_ = &ownLines_;
};

} // namespace

std::string getString(std::string_view section, std::string_view key,
                      std::optional<std::string_view> defaultValue, std::size_t size,
                      const std::filesystem::path& file) {
    // The Windows functions take C strings: a NUL ends each argument.
    section = beforeNul(section);
    key = beforeNul(key);
    if (defaultValue)
        defaultValue = beforeNul(*defaultValue);
    ParsedFile f(file);
    std::optional<Section> s = f.section(section);
    if (!s)
        return defaultResult(defaultValue, size);
    std::optional<std::size_t> k = findKey(f.text, f.lines(), *s, trim(key));
    if (!k || !f.lines()[*k].hasValue)
        return defaultResult(defaultValue, size);
    return truncated(withoutQuotes(f.lines()[*k].value(f.text)), size);
}

std::vector<std::string> keyNames(std::string_view section, const std::filesystem::path& file) {
    ParsedFile f(file);
    std::vector<std::string> names;
    if (std::optional<Section> s = f.section(beforeNul(section)))
        for (std::size_t i = s->first; i < s->last; ++i)
            if (f.lines()[i].kind == Line::Entry)
                names.emplace_back(f.lines()[i].name(f.text));
    return names;
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
    // The Windows functions take C strings: a NUL ends each argument.
    section = beforeNul(section);
    if (key)
        key = beforeNul(*key);
    if (value)
        value = beforeNul(*value);
    if (value && value->find_first_of("\r\n") != std::string_view::npos)
        return false;

    if (tBatch) {
        BatchFile* f = batchFile(file);
        if (!f)
            return false;
        if (!f->parsed) {
            f->lines = parse(f->text);
            f->parsed = true;
        }
        if (std::optional<Edit> edit = applyWrite(f->text, f->lines, section, key, value)) {
            applyEdit(f->text, f->lines, *edit);
            f->exists = true;
            f->changed = true;
        }
        return true;
    }

    std::string text;
    if (readWholeFile(file, text) == Load::Unreadable)
        return false; // what it holds must be kept, so it must be readable
    const std::optional<Edit> edit = applyWrite(text, parse(text), section, key, value);
    if (!edit)
        return true;
    text.replace(edit->from, edit->to - edit->from, edit->insert);
    return textfile::writeAtomically(file, text);
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
