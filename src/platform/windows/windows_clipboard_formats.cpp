#include "platform/windows/windows_clipboard_formats.h"
#include "platform/windows/win32.h"
#include <algorithm>
#include <array>
#include <cstring>

namespace platform::windows {

namespace {

constexpr std::string_view kCustomPrefix = "application/x-qt-windows-mime;value=\"";
constexpr std::string_view kCustomSuffix = "\"";
constexpr std::string_view kTextName = "text/plain";
constexpr std::string_view kBitmapName = "image/bmp";

// The standard formats whose data is plain memory, by the names Windows' headers give them.
struct StandardFormat {
    unsigned format;
    std::string_view name;
};
constexpr StandardFormat kMemoryFormats[] = {
    {CF_SYLK, "CF_SYLK"}, {CF_DIF, "CF_DIF"},   {CF_TIFF, "CF_TIFF"},   {CF_PENDATA, "CF_PENDATA"},
    {CF_RIFF, "CF_RIFF"}, {CF_WAVE, "CF_WAVE"}, {CF_HDROP, "CF_HDROP"}, {CF_DSPTEXT, "CF_DSPTEXT"},
};

// Qt 6.4 never offers a mime type of these names as the registered format of that name
// (QLastResortMimes keeps a list of names it leaves to other converters): the registered formats
// every browser offers, and Qt's own mime types, which a program may have registered as format
// names too. Qt compares them without regard to case.
constexpr std::array<std::string_view, 2> kRegisteredNamesQtKeeps = {"HTML Format", "UniformResourceLocator"};
constexpr std::array<std::string_view, 5> kQtMimeTypes = {"text/html", "text/plain", "text/uri-list",
                                                          "application/x-qt-image", "application/x-color"};

bool sameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

template <std::size_t N> bool among(std::string_view name, const std::array<std::string_view, N>& names) {
    return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return sameName(n, name); });
}

// OLE's own formats beside the data object a program offers through OleSetClipboard (Qt does,
// Office and Explorer do): where that object is, and which formats it renders. They name a
// window of the program that offered them, and OLE makes them anew for whoever offers next.
// Wine: its OLE adds the third.
constexpr std::array<std::string_view, 3> kOleFormats = {"DataObject", "Ole Private Data",
                                                         "Wine Marshalled DataObject"};

std::string customName(std::string_view value) {
    return std::string(kCustomPrefix) + std::string(value) + std::string(kCustomSuffix);
}

std::optional<std::string_view> customValue(std::string_view name) {
    if (name.size() < kCustomPrefix.size() + kCustomSuffix.size() ||
        !sameName(name.substr(0, kCustomPrefix.size()), kCustomPrefix) || !name.ends_with(kCustomSuffix))
        return std::nullopt;
    return name.substr(kCustomPrefix.size(), name.size() - kCustomPrefix.size() - kCustomSuffix.size());
}

std::optional<std::string> registeredName(unsigned format) {
    // Format names are at most 255 characters.
    wchar_t name[256];
    const int n = GetClipboardFormatNameW(format, name, int(std::size(name)));
    if (n <= 0)
        return std::nullopt;
    return utf8(std::wstring_view(name, std::size_t(n)));
}

// BMP file header: 'BM', file size, two reserved words, offset of the pixels.
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40; // BITMAPINFOHEADER
constexpr std::uint32_t kV5HeaderBytes = 124;  // BITMAPV5HEADER

std::uint32_t readU32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    if (at + 4 <= bytes.size())
        std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

std::uint16_t readU16(std::string_view bytes, std::size_t at) {
    std::uint16_t v = 0;
    if (at + 2 <= bytes.size())
        std::memcpy(&v, bytes.data() + at, 2);
    return v;
}

// Where a DIB's pixels start: after its header, the colour masks a BITMAPINFOHEADER carries
// behind it for BI_BITFIELDS, and the colour table.
std::uint32_t pixelOffset(std::string_view dib) {
    const std::uint32_t headerBytes = readU32(dib, 0);
    const std::uint16_t bitCount = readU16(dib, 14);
    const std::uint32_t compression = readU32(dib, 16);
    const std::uint32_t colorsUsed = readU32(dib, 32);
    std::uint32_t masks = 0;
    if (headerBytes == kInfoHeaderBytes && compression == BI_BITFIELDS)
        masks = 3 * 4;
    else if (headerBytes == kInfoHeaderBytes && compression == 6 /* BI_ALPHABITFIELDS */)
        masks = 4 * 4;
    const std::uint32_t colors = colorsUsed != 0 ? colorsUsed : bitCount <= 8 ? (1u << bitCount) : 0;
    return headerBytes + masks + colors * 4;
}

void appendU32(std::string& out, std::uint32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

} // namespace

bool isDib(unsigned format) {
    return format == CF_DIB || format == CF_DIBV5;
}

std::optional<std::string> snapshotNameOf(unsigned format) {
    if (format == CF_UNICODETEXT)
        return std::string(kTextName);
    if (isDib(format))
        return std::string(kBitmapName);
    for (const StandardFormat& f : kMemoryFormats)
        if (f.format == format)
            return customName(f.name);
    // 0xC000..0xFFFF: formats registered by name.
    if (format < 0xC000 || format > 0xFFFF)
        return std::nullopt;
    auto name = registeredName(format);
    // A registered name in Qt's application/x-qt-windows-mime form is one Qt made itself while
    // it offered such a name (it registers every name it has no converter for, so a snapshot
    // given back brings one beside each format only we serve): the format it stands for is
    // there too.
    if (!name || customValue(*name) || among(*name, kOleFormats))
        return std::nullopt;
    if (among(*name, kQtMimeTypes))
        return customName(*name);
    return name;
}

std::string snapshotBytesOf(unsigned format, std::string_view bytes) {
    if (format == CF_UNICODETEXT) {
        std::wstring_view text(reinterpret_cast<const wchar_t*>(bytes.data()),
                               bytes.size() / sizeof(wchar_t));
        return utf8(text.substr(0, std::min(text.size(), text.find(L'\0'))));
    }
    if (isDib(format)) {
        std::string file = "BM";
        appendU32(file, std::uint32_t(kFileHeaderBytes + bytes.size()));
        appendU32(file, 0);
        appendU32(file, std::uint32_t(kFileHeaderBytes) + pixelOffset(bytes));
        file.append(bytes);
        return file;
    }
    return std::string(bytes);
}

std::optional<unsigned> formatOnlyWeServe(std::string_view name, std::string_view bytes) {
    if (name == kBitmapName) {
        if (bytes.size() < kFileHeaderBytes + 4 || !bytes.starts_with("BM"))
            return std::nullopt;
        return readU32(bytes, kFileHeaderBytes) == kV5HeaderBytes ? CF_DIBV5 : CF_DIB;
    }
    std::string_view registered = name;
    if (auto value = customValue(name)) {
        for (const StandardFormat& f : kMemoryFormats)
            if (sameName(f.name, *value))
                return f.format;
        registered = *value;
    } else if (!among(name, kRegisteredNamesQtKeeps)) {
        // Qt serves the name itself.
        return std::nullopt;
    }
    const std::wstring wide = utf16(registered);
    const UINT format = RegisterClipboardFormatW(wide.c_str());
    if (format == 0)
        return std::nullopt;
    return format;
}

std::string clipboardBytesOf(unsigned format, std::string_view bytes) {
    if (isDib(format))
        return std::string(bytes.substr(std::min(bytes.size(), kFileHeaderBytes)));
    return std::string(bytes);
}

} // namespace platform::windows
