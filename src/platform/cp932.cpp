#include "platform/cp932.h"

#include <array>
#include <bit>
#include <cstdint>
#include <unordered_map>
#include <vector>
#ifdef _WIN32
#include "platform/windows_header.h"
#else
#include <iconv.h>
#endif

namespace platform::cp932 {
namespace {

// Single bytes that Windows decodes although they are no character of the code page; iconv
// rejects them, so they are added by hand (both ways).
struct ExtraByte {
    unsigned char byte;
    char16_t unit;
};
constexpr std::array<ExtraByte, 5> kExtraBytes{
    {{0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}}};

constexpr char16_t kNoChar = 0;             // no double-byte character has code point 0
constexpr std::uint16_t kUnmapped = 0xFFFF; // not a cp932 code (0xFFFF has no trail byte 0xFF)
constexpr char16_t kSurrogateLow = 0xDC00;

// iconv is asked for UTF-16LE, which is read straight into char16_t (and Windows' UTF-16 is
// little-endian too).
static_assert(std::endian::native == std::endian::little);

constexpr bool isTrailByte(unsigned t) {
    return t >= 0x40 && t <= 0xFC && t != 0x7F;
}

#ifdef _WIN32
constexpr UINT kCodePage = 932;
#else
struct IconvHandle {
    iconv_t cd;
    IconvHandle(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (ok())
            iconv_close(cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool ok() const { return cd != reinterpret_cast<iconv_t>(-1); }
};
#endif

// Both directions as flat tables, built once from the system's converter: iconv on Linux,
// MultiByteToWideChar and WideCharToMultiByte on Windows (whose tables gave the same results as
// glibc's over every one- and two-byte code and every BMP character). iconv is asked row by row
// rather than code by code: a call per code costs several milliseconds at start-up, a call per
// row (plus one per undefined code, which makes iconv stop) well under one.
struct Tables {
    std::array<char16_t, 256> single{};  // 0 for a lead byte or a byte that is no char
    std::array<bool, 256> singleValid{}; // distinguishes 0x00 from "no char"
    std::vector<char16_t> dbcs = std::vector<char16_t>(65536, kNoChar); // by lead << 8 | trail
    std::vector<std::uint16_t> encode = std::vector<std::uint16_t>(65536, kUnmapped);
    // Every code of the characters that have more than one.
    std::unordered_map<char16_t, std::vector<std::uint16_t>> codes;

    Tables() {
        buildDecode();
        buildEncode();
        for (const ExtraByte& e : kExtraBytes) {
            single[e.byte] = e.unit;
            singleValid[e.byte] = true;
            encode[e.unit] = e.byte;
        }
        for (std::size_t code = 0; code < dbcs.size(); ++code)
            if (dbcs[code] != kNoChar && encode[dbcs[code]] != code)
                codes[dbcs[code]].push_back(static_cast<std::uint16_t>(code));
    }

#ifdef _WIN32
    // Windows converts one code at a time quickly enough (the whole table took 1.3 ms under
    // Wine 8, as long as iconv's rows on Linux), so each code is asked on its own and no result is
    // ever attributed to the wrong code.
    // A code the code page lacks is refused (MB_ERR_INVALID_CHARS); a code given as the code
    // page's default character (U+30FB) is taken only when it is that character's own code, so a
    // Windows that substitutes rather than refuses cannot make unknown codes decode to it.
    static bool decodeOne(const char* code, int width, char16_t& unit) {
        wchar_t out[2];
        if (MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, code, width, out, 2) != 1)
            return false;
        unit = static_cast<char16_t>(out[0]);
        return true;
    }

    // The code Windows writes for the character, or kUnmapped. No best fit: a character the code
    // page lacks must not turn into a similar one.
    static std::uint16_t encodeOne(char16_t unit) {
        const wchar_t in = unit;
        char out[2];
        BOOL usedDefault = FALSE;
        const int n =
            WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, &in, 1, out, 2, nullptr, &usedDefault);
        if (usedDefault || n < 1 || n > 2)
            return kUnmapped;
        const auto b0 = static_cast<unsigned char>(out[0]);
        return n == 2 ? static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[1])) : b0;
    }

    static bool isExtraByte(unsigned b) {
        for (const ExtraByte& e : kExtraBytes)
            if (e.byte == b)
                return true;
        return false;
    }

    void buildDecode() {
        CPINFOEXW info{};
        const char16_t defaultUnit =
            GetCPInfoExW(kCodePage, 0, &info) ? static_cast<char16_t>(info.UnicodeDefaultChar) : u'\u30FB';
        const std::uint16_t defaultCode = encodeOne(defaultUnit);
        auto take = [&](unsigned code, char16_t u) { return u != defaultUnit || code == defaultCode; };

        // The bytes that are no character are left to kExtraBytes, as on Linux, whatever this
        // Windows makes of them; lead bytes are asked only with a trail byte.
        for (unsigned b = 0; b < 256; ++b) {
            if (isLeadByte(static_cast<unsigned char>(b)) || isExtraByte(b))
                continue;
            const char c = static_cast<char>(b);
            char16_t u = 0;
            if (decodeOne(&c, 1, u) && take(b, u)) {
                single[b] = u;
                singleValid[b] = true;
            }
        }
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (unsigned t = 0x40; t <= 0xFC; ++t) {
                if (!isTrailByte(t))
                    continue;
                const char code[2] = {static_cast<char>(lead), static_cast<char>(t)};
                char16_t u = 0;
                // A surrogate or U+0000 cannot stand for a double-byte code in a flat table.
                if (decodeOne(code, 2, u) && u != kNoChar && (u < 0xD800 || u > 0xDFFF) &&
                    take(lead << 8 | t, u))
                    dbcs[lead << 8 | t] = u;
            }
        }
    }

    // As on Linux, only characters that decode from some code are asked for, and each gets the
    // code Windows itself writes (the canonical one of a character with two or three codes).
    void buildEncode() {
        for (unsigned b = 0; b < 256; ++b)
            if (singleValid[b])
                encode[single[b]] = encodeOne(single[b]);
        for (std::size_t code = 0; code < dbcs.size(); ++code)
            if (dbcs[code] != kNoChar && encode[dbcs[code]] == kUnmapped)
                encode[dbcs[code]] = encodeOne(dbcs[code]);
    }
#else
    // Decodes `in` (a sequence of `width`-byte codes) with one iconv call per stretch of valid
    // codes; calls found(index, unit) for each code that decodes to exactly one UTF-16 unit.
    template <typename Found>
    static void decodeRun(const IconvHandle& cd, const std::vector<char>& in, std::size_t width,
                          Found found) {
        std::vector<char16_t> out(in.size());
        std::size_t pos = 0;
        while (pos < in.size()) {
            iconv(cd.cd, nullptr, nullptr, nullptr, nullptr);
            char* inPtr = const_cast<char*>(in.data()) + pos;
            std::size_t inLeft = in.size() - pos;
            char* outPtr = reinterpret_cast<char*>(out.data());
            std::size_t outLeft = out.size() * sizeof(char16_t);
            std::size_t r = iconv(cd.cd, &inPtr, &inLeft, &outPtr, &outLeft);
            std::size_t stop = in.size() - inLeft;
            std::size_t produced = (out.size() * sizeof(char16_t) - outLeft) / sizeof(char16_t);
            std::size_t codes = (stop - pos) / width;
            // Only trust the stretch when every code gave one unit; otherwise fall back to
            // asking code by code so no unit is attributed to the wrong code.
            if (produced == codes && (stop - pos) % width == 0) {
                for (std::size_t i = 0; i < codes; ++i)
                    found(pos / width + i, out[i]);
            } else {
                for (std::size_t i = 0; i < codes; ++i)
                    decodeOne(cd, in.data() + pos + i * width, width,
                              [&](char16_t u) { found(pos / width + i, u); });
            }
            pos = stop;
            if (r == static_cast<std::size_t>(-1))
                pos = (pos / width + 1) * width; // skip the code iconv refused
        }
    }

    template <typename Found>
    static void decodeOne(const IconvHandle& cd, const char* code, std::size_t width, Found found) {
        iconv(cd.cd, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(code);
        std::size_t inLeft = width;
        char16_t out[4];
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t outLeft = sizeof out;
        if (iconv(cd.cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) && inLeft == 0 &&
            outLeft == sizeof out - sizeof(char16_t))
            found(out[0]);
    }

    void buildDecode() {
        IconvHandle cd("UTF-16LE", "CP932");
        if (!cd.ok())
            return; // every byte above 0x7F then decodes as a lone surrogate and still round-trips

        // Lead bytes are left out: iconv would read each with the byte after it.
        std::vector<char> bytes;
        for (unsigned b = 0; b < 256; ++b)
            if (!isLeadByte(static_cast<unsigned char>(b)))
                bytes.push_back(static_cast<char>(b));
        decodeRun(cd, bytes, 1, [&](std::size_t i, char16_t u) {
            auto b = static_cast<unsigned char>(bytes[i]);
            single[b] = u;
            singleValid[b] = true;
        });

        std::vector<char> row;
        std::vector<unsigned char> trails;
        for (unsigned t = 0x40; t <= 0xFC; ++t)
            if (isTrailByte(t))
                trails.push_back(static_cast<unsigned char>(t));
        for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            row.clear();
            for (unsigned char t : trails) {
                row.push_back(static_cast<char>(lead));
                row.push_back(static_cast<char>(t));
            }
            decodeRun(cd, row, 2, [&](std::size_t i, char16_t u) {
                // A surrogate or U+0000 cannot stand for a double-byte code in a flat table.
                if (u != kNoChar && (u < 0xD800 || u > 0xDFFF))
                    dbcs[lead << 8 | trails[i]] = u;
            });
        }
    }

    // The code for each character is iconv's own choice, so characters with two or three codes
    // get the one Windows writes. Only characters that decode from some code are asked for:
    // iconv also maps a few characters one way only (U+301C WAVE DASH -> 0x8160, U+00A5 -> 0x5C),
    // which Windows does not; those stay unmapped.
    void buildEncode() {
        std::vector<char16_t> chars;
        for (int b = 0; b < 256; ++b)
            if (singleValid[b])
                chars.push_back(single[b]);
        for (std::size_t code = 0; code < dbcs.size(); ++code)
            if (dbcs[code] != kNoChar)
                chars.push_back(dbcs[code]);
        if (chars.empty())
            return;

        IconvHandle cd("CP932", "UTF-16LE");
        if (!cd.ok())
            return;
        std::vector<char> out(chars.size() * 2);
        std::size_t pos = 0;
        while (pos < chars.size()) {
            iconv(cd.cd, nullptr, nullptr, nullptr, nullptr);
            char* inPtr = reinterpret_cast<char*>(chars.data() + pos);
            std::size_t inLeft = (chars.size() - pos) * sizeof(char16_t);
            char* outPtr = out.data();
            std::size_t outLeft = out.size();
            std::size_t r = iconv(cd.cd, &inPtr, &inLeft, &outPtr, &outLeft);
            std::size_t stop = chars.size() - inLeft / sizeof(char16_t);
            std::size_t produced = out.size() - outLeft;
            std::size_t o = 0;
            for (std::size_t i = pos; i < stop && o < produced; ++i) {
                auto b0 = static_cast<unsigned char>(out[o]);
                if (isLeadByte(b0) && o + 1 < produced) {
                    encode[chars[i]] =
                        static_cast<std::uint16_t>(b0 << 8 | static_cast<unsigned char>(out[o + 1]));
                    o += 2;
                } else {
                    encode[chars[i]] = b0;
                    o += 1;
                }
            }
            pos = stop;
            if (r == static_cast<std::size_t>(-1))
                ++pos;
        }
    }
#endif
};

const Tables& tables() {
    static const Tables instance;
    return instance;
}

} // namespace

std::size_t decodeInto(std::string_view bytes, char16_t* out) {
    const Tables& t = tables();
    char16_t* const start = out;
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            *out++ = b;
            continue;
        }
        if (t.singleValid[b]) {
            *out++ = t.single[b];
            continue;
        }
        if (isLeadByte(b) && i + 1 < n) {
            char16_t u = t.dbcs[b << 8 | static_cast<unsigned char>(bytes[i + 1])];
            if (u != kNoChar) {
                *out++ = u;
                ++i;
                continue;
            }
        }
        *out++ = static_cast<char16_t>(kSurrogateLow + b);
    }
    return static_cast<std::size_t>(out - start);
}

std::u16string decode(std::string_view bytes) {
    std::u16string text(bytes.size(), u'\0');
    text.resize(decodeInto(bytes, text.data()));
    return text;
}

std::string encode(std::u16string_view text) {
    const Tables& t = tables();
    std::string bytes;
    bytes.reserve(text.size() * 2);
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            bytes.push_back('?'); // no character beyond the BMP is in the code page
            ++i;
            continue;
        }
        if (u >= 0xDC80 && u <= 0xDCFF) {
            bytes.push_back(static_cast<char>(u - kSurrogateLow)); // a byte decode could not read
            continue;
        }
        std::uint16_t code = t.encode[u];
        // After a byte that could not be read as a lead byte, the canonical code of a character
        // with two codes could pair with it on the next read: take another code that does not.
        if (code > 0xFF && !bytes.empty() && i > 0 && text[i - 1] >= 0xDC80 && text[i - 1] <= 0xDCFF) {
            const auto lead = static_cast<unsigned char>(bytes.back());
            auto pairs = [&](std::uint16_t c) {
                return isLeadByte(lead) && t.dbcs[lead << 8 | (c >> 8)] != kNoChar;
            };
            if (pairs(code)) {
                auto other = t.codes.find(u);
                if (other != t.codes.end())
                    for (std::uint16_t c : other->second)
                        if (!pairs(c)) {
                            code = c;
                            break;
                        }
            }
        }
        if (code == kUnmapped) { // lone surrogates other than the above are unmapped too
            bytes.push_back('?');
        } else if (code > 0xFF) {
            bytes.push_back(static_cast<char>(code >> 8));
            bytes.push_back(static_cast<char>(code & 0xFF));
        } else {
            bytes.push_back(static_cast<char>(code));
        }
    }
    return bytes;
}

std::size_t prefixLength(std::string_view bytes, std::size_t maxBytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        std::size_t len = (isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < n) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return i;
}

} // namespace platform::cp932
