// Code page 932: the whole table both ways, the bytes that are no character, and byte-exact
// round trips of what a user's file may hold.
#include "platform/cp932.h"

#include <QtTest>

#include <map>
#include <random>
#include <vector>

using namespace platform;

namespace {

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

std::string code(unsigned c) {
    return c > 0xFF ? bytes({int(c >> 8), int(c & 0xFF)}) : bytes({int(c)});
}

QString hex(std::string_view s) {
    return QByteArray(s.data(), qsizetype(s.size())).toHex(' ');
}

QString hex16(std::u16string_view s) {
    QStringList parts;
    for (char16_t u : s)
        parts << QString::number(u, 16).rightJustified(4, '0');
    return parts.join(' ');
}

bool isLoneSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDFFF;
}

} // namespace

class Cp932Test : public QObject {
    Q_OBJECT

private slots:
    void everyCodeDecodesAndReencodes();
    void duplicateCodesEncodeToWindowsChoice();
    void userDefinedArea();
    void knownCharacters();
    void bytesThatAreNoCharacter();
    void badLeadBytes();
    void strayLeadByteBeforeACharacterWithTwoCodes();
    void randomBytesRoundTrip();
    void unmappableCharacters();
    void prefixLength();
};

// Every single byte and every lead byte with every second byte: a character decodes to one unit
// and encodes back to its own code or, for characters with two codes, to one that decodes to the
// same character and is itself stable. Anything else decodes to more than one unit and still
// comes back byte for byte.
void Cp932Test::everyCodeDecodesAndReencodes() {
    int singles = 0;
    for (int b = 0; b < 256; ++b) {
        if (cp932::isLeadByte(static_cast<unsigned char>(b)))
            continue;
        std::u16string u = cp932::decode(code(b));
        QCOMPARE(u.size(), std::size_t(1));
        QVERIFY2(!isLoneSurrogate(u[0]), qPrintable(QString::number(b, 16)));
        QCOMPARE(hex(cp932::encode(u)), hex(code(b)));
        ++singles;
    }
    QCOMPARE(singles, 128 + 63 + 5); // ASCII, half-width katakana, 0x80 0xA0 0xFD-0xFF

    int doubles = 0, moved = 0;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead) {
        if (!cp932::isLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            const std::string c = code(lead << 8 | trail);
            const std::u16string u = cp932::decode(c);
            const std::string back = cp932::encode(u);
            if (u.size() != 1) {
                QCOMPARE(int(u[0]), int(0xDC00 + lead));
                QCOMPARE(hex(back), hex(c));
                continue;
            }
            ++doubles;
            QVERIFY2(!isLoneSurrogate(u[0]) && u[0] >= 0x80, qPrintable(hex(c)));
            QCOMPARE(back.size(), std::size_t(2));
            if (back != c) {
                ++moved;
                QCOMPARE(hex16(cp932::decode(back)), hex16(u));
                QCOMPARE(hex(cp932::encode(cp932::decode(back))), hex(back));
            }
        }
    }
    // Microsoft's table: JIS X 0208 with NEC and IBM extensions (7724) and the user-defined area.
    QCOMPARE(doubles, 7724 + 1880);
    QCOMPARE(moved, 398);
}

// Windows writes a character that has several codes in JIS X 0208 when it is there, else in the
// NEC row 13, else in the IBM extension rows; never in the NEC-selected IBM rows 0xED/0xEE.
void Cp932Test::duplicateCodesEncodeToWindowsChoice() {
    auto rank = [](unsigned c) {
        unsigned lead = c >> 8;
        if (lead == 0xED || lead == 0xEE)
            return 3;
        if (lead >= 0xFA)
            return 2;
        if (lead == 0x87)
            return 1;
        return 0;
    };
    std::map<char16_t, std::vector<unsigned>> codes;
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC && cp932::isLeadByte(static_cast<unsigned char>(lead));
             ++trail) {
            std::u16string u = cp932::decode(code(lead << 8 | trail));
            if (u.size() == 1)
                codes[u[0]].push_back(lead << 8 | trail);
        }
    int shared = 0;
    for (const auto& [u, list] : codes) {
        if (list.size() < 2)
            continue;
        ++shared;
        unsigned best = list.front();
        for (unsigned c : list)
            if (rank(c) < rank(best))
                best = c;
        QCOMPARE(hex(cp932::encode(std::u16string(1, u))), hex(code(best)));
    }
    QVERIFY(shared > 300);

    QCOMPARE(hex(cp932::encode(cp932::decode(code(0xED40)))), hex(code(0xFA5C)));
    QCOMPARE(hex16(cp932::decode(code(0xED40))), hex16(u"\u7E8A"));
    QCOMPARE(hex(cp932::encode(cp932::decode(code(0x8790)))), hex(code(0x81E0)));
    QCOMPARE(hex16(cp932::decode(code(0x8790))), hex16(u"\u2252"));
    QCOMPARE(hex(cp932::encode(u"\u2160")), hex(code(0x8754))); // Roman numeral one: NEC, not IBM
    QCOMPARE(hex(cp932::encode(u"\u2170")), hex(code(0xFA40))); // small Roman one: IBM, not NEC-selected
    QCOMPARE(hex(cp932::encode(u"\uFFE2")), hex(code(0x81CA)));
}

void Cp932Test::userDefinedArea() {
    char16_t expected = 0xE000;
    for (unsigned lead = 0xF0; lead <= 0xF9; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            const std::string c = code(lead << 8 | trail);
            QCOMPARE(hex16(cp932::decode(c)), hex16(std::u16string(1, expected)));
            QCOMPARE(hex(cp932::encode(std::u16string(1, expected))), hex(c));
            ++expected;
        }
    }
    QCOMPARE(int(expected), 0xE757 + 1);
    QCOMPARE(cp932::encode(u"\uE758"), std::string("?"));
}

void Cp932Test::knownCharacters() {
    // A kaomoji with a backslash, katakana whose second byte is '\' (ソ) or ']' (ゾ), a
    // fullwidth tilde, half-width katakana and the ASCII yen/backslash byte.
    const std::string text = "(\x81\x4f\x81\x5b\x81\x4f)\\ \x83\x5c\x83\x5d \x81\x60 \xB1\xDF ~";
    const std::u16string u = u"(\uFF3E\u30FC\uFF3E)\\ \u30BD\u30BE \uFF5E \uFF71\uFF9F ~";
    QCOMPARE(hex16(cp932::decode(text)), hex16(u));
    QCOMPARE(hex(cp932::encode(u)), hex(text));
    QCOMPARE(hex16(cp932::decode("\x82\xA0")), hex16(u"\u3042"));
    QCOMPARE(hex16(cp932::decode(std::string_view("a\0b", 3))), hex16(std::u16string(u"a\0b", 3)));
}

void Cp932Test::bytesThatAreNoCharacter() {
    const std::string text = bytes({0x80, 0xA0, 0xFD, 0xFE, 0xFF});
    const std::u16string u = u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3";
    QCOMPARE(hex16(cp932::decode(text)), hex16(u));
    QCOMPARE(hex(cp932::encode(u)), hex(text));
    // 0xFD-0xFF are no lead bytes: the byte after them is read on its own.
    QCOMPARE(hex16(cp932::decode(bytes({0xFD, 0x41}))), hex16(u"\uF8F1A"));
}

void Cp932Test::badLeadBytes() {
    struct Case {
        std::string in;
        std::u16string out;
    };
    const std::vector<Case> cases = {
        {"a\x81", u"a\xDC81"},                   // lead byte at the end
        {"\x81\r\nx", u"\xDC81\r\nx"},           // line end not swallowed
        {"\x9F\n", u"\xDC9F\n"},                 // LF alone
        {"\x81\x7F", u"\xDC81\x7F"},             // 0x7F is no second byte
        {"\x85\x40", u"\xDC85@"},                // unassigned row
        {"\x81\x81\x40", u"\uFF1D@"},            // a lead as second byte: ＝ then '@'
        {"\xFC\xFC\x81", u"\xDCFC\xDCFC\xDC81"}, // 0xFCFC is unassigned, nothing pairs
        {"\xEF\x40\x82\xA0", u"\xDCEF@\u3042"},  // the good character after survives
    };
    for (const Case& c : cases) {
        QCOMPARE(hex16(cp932::decode(c.in)), hex16(c.out));
        QCOMPARE(hex(cp932::encode(c.out)), hex(c.in));
    }
}

// Random byte strings, heavy in lead bytes and line ends, come back unchanged. The rows whose
// characters also have another code (0x87, 0xED, 0xEE, 0xFA-0xFC) are left out: Windows does not
// round-trip those either, and the whole-table test covers them.
void Cp932Test::randomBytesRoundTrip() {
    std::vector<unsigned char> alphabet;
    for (int b = 0; b < 256; ++b)
        if (b != 0x87 && b != 0xED && b != 0xEE && b < 0xFA)
            alphabet.push_back(static_cast<unsigned char>(b));
    const std::vector<unsigned char> favoured = {0x81, 0x82, 0x83, 0x9F, 0xE0, 0xF0, 0xF9, 0x0D, 0x0A,
                                                 0x5C, 0x5D, 0x40, 0x7F, 0x80, 0xA0, 0xFD, 0xFF};
    std::mt19937 rng(932);
    std::uniform_int_distribution<std::size_t> length(0, 40);
    std::uniform_int_distribution<std::size_t> any(0, alphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> fav(0, favoured.size() - 1);
    std::bernoulli_distribution pickFavoured(0.4);
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string s;
        for (std::size_t n = length(rng); n > 0; --n)
            s.push_back(static_cast<char>(pickFavoured(rng) ? favoured[fav(rng)] : alphabet[any(rng)]));
        const std::u16string u = cp932::decode(s);
        QVERIFY(u.size() <= s.size());
        const std::string back = cp932::encode(u);
        if (back != s)
            QFAIL(qPrintable(QStringLiteral("%1 -> %2 -> %3").arg(hex(s), hex16(u), hex(back))));
    }
}

void Cp932Test::unmappableCharacters() {
    QCOMPARE(cp932::encode(u"caf\u00E9"), std::string("caf?"));
    QCOMPARE(cp932::encode(u"\u20AC"), std::string("?"));
    QCOMPARE(cp932::encode(u"(\U0001F600)"), std::string("(?)")); // one '?' for the pair
    // iconv writes WAVE DASH and the yen sign as 0x8160 and 0x5C; Windows does not.
    QCOMPARE(cp932::encode(u"\u301C\u00A5"), std::string("??"));
    // Lone surrogates: the ones decoding makes give their byte back, the rest are '?'.
    QCOMPARE(hex(cp932::encode(u"\xDC80\xDCFF\xDC41\xD800x")), hex(bytes({0x80, 0xFF, '?', '?', 'x'})));
    QCOMPARE(cp932::encode(u"\xD83D"), std::string("?"));
    QCOMPARE(cp932::encode(u""), std::string());
}

void Cp932Test::prefixLength() {
    const std::string s = "a\x82\xA0"
                          "b"; // a, あ, b
    const std::size_t expected[] = {0, 1, 1, 3, 4, 4};
    for (std::size_t max = 0; max < std::size(expected); ++max)
        QCOMPARE(cp932::prefixLength(s, max), expected[max]);
    QCOMPARE(cp932::prefixLength("ab\x81", 3), std::size_t(3)); // a lead at the end stands alone
    QCOMPARE(cp932::prefixLength("\x83\x5D\x83\x5D", 3), std::size_t(2));
    QCOMPARE(cp932::prefixLength("\xB1\xB2\xB3", 2), std::size_t(2)); // half-width kana are single
    QCOMPARE(cp932::prefixLength("", 5), std::size_t(0));
}

void Cp932Test::strayLeadByteBeforeACharacterWithTwoCodes() {
    // 0xEE cannot start a character with the 0xEE after it, so it stands alone; "EE 41" is a
    // character whose canonical code FB5D would pair with the stray byte on the next read.
    for (const std::string bytes : {"\xEE\xEE\x41", "a\x81\xED\x40z", "\xFC\xFA\x5C"}) {
        const std::u16string text = cp932::decode(bytes);
        const std::string saved = cp932::encode(text);
        QVERIFY(cp932::decode(saved) == text);
    }
}

QTEST_APPLESS_MAIN(Cp932Test)
#include "platform_cp932.moc"
