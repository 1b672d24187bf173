// The private-profile functions: what Windows reads from a file, and the exact bytes it leaves
// behind when it writes one.
#include "platform/profile.h"

#include <QtTest>

#include "file_helpers.h"
#include <cstring>
#include <optional>
#include <random>
#include <vector>

using namespace platform;
namespace fs = std::filesystem;

namespace {

// Shift-JIS names: ゾ ends in ']' (0x5D), ソ in '\' (0x5C); ア (0x8341) and ヂ (0x8361) differ
// only in a second byte that looks like 'A' / 'a'.
const QByteArray kZo("\x83\x5D");
const QByteArray kSo("\x83\x5C");
const QByteArray kA("\x83\x41");
const QByteArray kDi("\x83\x61");
const QByteArray kSoft("\x83\x5C\x83\x74\x83\x67"); // ソフト
const QByteArray kAiu("\x82\xA0\x82\xA2\x82\xA4");  // あいう

std::string_view sv(const QByteArray& a) {
    return {a.constData(), std::size_t(a.size())};
}

QByteArray fromStd(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

using test_files::nameOf;
using test_files::pathOf;
using test_files::setMode;

void writeFile(const fs::path& file, const QByteArray& bytes) {
    QFile f(nameOf(file));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const fs::path& file) {
    QFile f(nameOf(file));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class ProfileTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void getString_data();
    void getString();
    void shiftJisNames();
    void keyNames();
    void defaults_data();
    void defaults();
    void truncation_data();
    void truncation();
    void getInt_data();
    void getInt();
    void missingOrUnreadableFile();

    void write_data();
    void write();
    void writtenValuesReadBack();
    void sameValueIsNotRewritten();
    void lineBreaksInValueAreRefused();
    void writeFailures();
    void batchWritesEachFileOnce();
    void batchOfRandomWritesMatchesSingleWrites();
    void batchReadsEachFileOnce();
    void batchFailuresShowAtCommit();

private:
    fs::path file() const { return dir_ / "p.ini"; }
    std::unique_ptr<QTemporaryDir> tmp_;
    fs::path dir_;
};

void ProfileTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_ = pathOf(tmp_->path());
}

void ProfileTest::cleanup() {
    setMode(dir_, 0700);
    setMode(file(), 0600); // on Windows a read-only file would stay behind
    tmp_.reset();
}

// --- Reading ---------------------------------------------------------------------------------

void ProfileTest::getString_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    struct Case {
        const char* name;
        QByteArray content, section, key, expected;
    };
    const QByteArray d = "<default>";
    const Case cases[] = {
        {"CR LF", "[Options]\r\nCheck0=1\r\n", "Options", "Check0", "1"},
        {"LF", "[a]\nx=1\nk=2\n", "a", "k", "2"},
        {"CR", "[a]\rx=1\rk=2", "a", "k", "2"},
        {"blank lines and runs", "\r\n\r\n[a]\n\r\r\n\nk=v\r\r", "a", "k", "v"},
        {"case", "[OPTIONS]\r\ncheck0=1\r\n", "options", "CHECK0", "1"},
        {"trimmed lines", "  [ Opt ]  \r\n\t Key \t=  a  b \x1a \r\n", "Opt", "Key", "a  b"},
        {"trimmed request", "[Opt]\r\nKey=v\r\n", " Opt\t", "\tKey ", "v"},
        {"empty value", "[a]\r\nk=\r\n", "a", "k", ""},
        {"blank value", "[a]\r\nk=   \r\n", "a", "k", ""},
        {"no equals", "[a]\r\nk\r\n", "a", "k", d},
        {"no equals hides later key", "[a]\r\nk\r\nk=v\r\n", "a", "k", d},
        {"first key wins", "[a]\r\nk=1\r\nK=2\r\n", "a", "k", "1"},
        {"split at first equals", "[a]\r\nk = x=y\r\n", "a", "k", "x=y"},
        {"whole name", "[a]\r\nkey=1\r\n", "a", "ke", d},
        {"first section only", "[a]\r\nx=1\r\n[b]\r\n[A]\r\nk=2\r\n", "a", "k", d},
        {"second section unreached", "[a]\r\nx=1\r\n[b]\r\n[A]\r\nx=2\r\n", "a", "x", "1"},
        {"key of next section", "[a]\r\n[b]\r\nk=1\r\n", "a", "k", d},
        {"before first section", "k=pre\r\n[a]\r\nx=1\r\n", "a", "k", d},
        {"empty name reaches the top", "k=pre\r\n[]\r\nk=brackets\r\n", "", "k", "pre"},
        {"empty section", "\r\n[ ]\r\nk=v\r\n", "", "k", "v"},
        {"empty key", "[a]\r\n=v\r\n", "a", "", "v"},
        {"semicolon key", "[a]\r\n;a=b\r\n", "a", ";a", "b"},
        {"hash key", "[a]\r\n#k=1\r\n", "a", "#k", "1"},
        {"comment text in value", "[a]\r\nk=v ; c\r\n", "a", "k", "v ; c"},
        {"header without bracket", "[a]\r\n[b=1\r\n", "a", "[b", "1"},
        {"text after header", "[a] junk\r\nk=1\r\n", "a", "k", "1"},
        {"last bracket", "[a]b] c\r\nk=1\r\n", "a]b", "k", "1"},
        {"double quotes", "[a]\r\nk=\" a b \"\r\n", "a", "k", " a b "},
        {"single quotes", "[a]\r\nk='v'\r\n", "a", "k", "v"},
        {"one pair only", "[a]\r\nk='\"v\"'\r\n", "a", "k", "\"v\""},
        {"empty quotes", "[a]\r\nk=\"\"\r\n", "a", "k", ""},
        {"mixed quotes", "[a]\r\nk=\"v'\r\n", "a", "k", "\"v'"},
        {"lone quote", "[a]\r\nk=\"\r\n", "a", "k", "\""},
        {"unbalanced", "[a]\r\nk=\"v\r\n", "a", "k", "\"v"},
        {"missing section", "[a]\r\nk=1\r\n", "b", "k", d},
        // Windows reads C strings: a NUL byte ends what a line says.
        {"NUL cuts a value", QByteArray("[a]\r\nk=ab\0cd\r\n", 14), "a", "k", "ab"},
        {"NUL cuts a key name", QByteArray("[a]\r\nk\0x=v\r\n", 12), "a", "k", d},
        {"NUL cuts a section name", QByteArray("[a\0]\r\nk=v\r\n", 10), "a", "k", d},
        {"NUL ends the request", "[a]\r\nk=v\r\n", QByteArray("a\0b", 3), QByteArray("k\0", 2), "v"},
    };
    for (const Case& c : cases)
        QTest::newRow(c.name) << c.content << c.section << c.key << c.expected;
}

void ProfileTest::getString() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    writeFile(file(), content);
    QCOMPARE(fromStd(profile::getString(sv(section), sv(key), "<default>", 256, file())), expected);
}

// The key names of a section, as GetPrivateProfileString gives them for no key.
void ProfileTest::keyNames() {
    struct Case {
        QByteArray content, section;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"[a]\r\nX=1\r\n\r\n y = 2 \r\nbare\r\n[b]\r\nz=3\r\n", "A", {"X", "y", "bare"}},
        {"[a]\r\nk=1\r\n[b]\r\n[a]\r\nlater=2\r\n", "a", {"k"}},
        {"[a]\r\nk=1\r\n", "b", {}},
        {"top=1\r\n[a]\r\nk=1\r\n", "", {"top"}},
    };
    for (const Case& c : cases) {
        writeFile(file(), c.content);
        QCOMPARE(profile::keyNames(sv(c.section), file()), c.expected);
    }
    QCOMPARE(profile::keyNames("a", dir_ / "missing.ini"), std::vector<std::string>{});
}

// Names compare by characters: a second byte is never a ']' nor a letter to fold.
void ProfileTest::shiftJisNames() {
    writeFile(file(), "[" + kZo + "]\r\n" + kSo + "=" + kSoft + "\r\n" + kDi + "=di\r\n" + kSo + "A=soA\r\n" +
                          "[x]" + kZo + "\r\nk=x\r\n" + "[" + kZo + "\r\nonly=y\r\n");
    auto get = [&](const QByteArray& s, const QByteArray& k) {
        return fromStd(profile::getString(sv(s), sv(k), "-", 256, file()));
    };
    QCOMPARE(get(kZo, kSo), kSoft);
    QCOMPARE(get(kZo, kDi), QByteArray("di"));
    QCOMPARE(get(kZo, kA), QByteArray("-"));          // ア is not ヂ
    QCOMPARE(get(kZo, kSo + "a"), QByteArray("soA")); // the letter after ソ folds
    QCOMPARE(get(kZo, "k"), QByteArray("-"));
    QCOMPARE(get("x", "k"), QByteArray("x")); // "[x]ゾ": text after the ']' is ignored
    QCOMPARE(get("x]\x83", "k"), QByteArray("-"));
    QCOMPARE(get("x", "only"), QByteArray("y")); // "[ゾ" is no header, its 0x5D no ']' ...
    QCOMPARE(get("\x83", "only"), QByteArray("-"));
    QCOMPARE(get("x", "[" + kZo), QByteArray("-")); // ... but a key without value
}

void ProfileTest::defaults_data() {
    QTest::addColumn<bool>("hasDefault");
    QTest::addColumn<QByteArray>("defaultValue");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("none") << false << QByteArray() << QByteArray("");
    QTest::newRow("empty") << true << QByteArray("") << QByteArray("");
    QTest::newRow("plain") << true << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("trailing spaces") << true << QByteArray(" ab c  ") << QByteArray(" ab c");
    QTest::newRow("only spaces trimmed") << true << QByteArray("ab\t") << QByteArray("ab\t");
    QTest::newRow("all spaces") << true << QByteArray("   ") << QByteArray(" ");
    QTest::newRow("quotes") << true << QByteArray("\"q\"") << QByteArray("q");
    QTest::newRow("quotes then spaces") << true << QByteArray("'q r'  ") << QByteArray("q r");
    QTest::newRow("quoted spaces") << true << QByteArray("\"  \"") << QByteArray("  ");
    QTest::newRow("mixed quotes") << true << QByteArray("\"q'") << QByteArray("\"q'");
}

void ProfileTest::defaults() {
    QFETCH(bool, hasDefault);
    QFETCH(QByteArray, defaultValue);
    QFETCH(QByteArray, expected);
    std::optional<std::string_view> d;
    if (hasDefault)
        d = sv(defaultValue);
    writeFile(file(), "[a]\r\nk=v\r\n");
    QCOMPARE(fromStd(profile::getString("a", "missing", d, 256, file())), expected);
    QCOMPARE(fromStd(profile::getString("missing", "k", d, 256, file())), expected);
    QCOMPARE(fromStd(profile::getString("a", "k", d, 256, dir_ / "none.ini")), expected);
}

void ProfileTest::truncation_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("fits") << kAiu << 7 << kAiu;
    QTest::newRow("one byte short") << kAiu << 6 << kAiu.left(4);
    QTest::newRow("at a boundary") << kAiu << 5 << kAiu.left(4);
    QTest::newRow("half of the first") << kAiu << 2 << QByteArray("");
    QTest::newRow("size 1") << QByteArray("abc") << 1 << QByteArray("");
    QTest::newRow("size 0") << QByteArray("abc") << 0 << QByteArray("");
    QTest::newRow("ascii") << QByteArray("abcdef") << 4 << QByteArray("abc");
    QTest::newRow("mixed") << "a" + kZo + "b" << 3 << QByteArray("a");
    QTest::newRow("half-width kana") << QByteArray("\xB1\xB2\xB3") << 3 << QByteArray("\xB1\xB2");
    QTest::newRow("long value") << QByteArray(300, 'x') << 255 << QByteArray(254, 'x');
}

void ProfileTest::truncation() {
    QFETCH(QByteArray, value);
    QFETCH(int, size);
    QFETCH(QByteArray, expected);
    writeFile(file(), "[a]\r\nk=" + value + "\r\n");
    QCOMPARE(fromStd(profile::getString("a", "k", std::nullopt, std::size_t(size), file())), expected);
    QCOMPARE(fromStd(profile::getString("a", "missing", sv(value), std::size_t(size), file())), expected);
}

void ProfileTest::getInt_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain") << QByteArray("k=42") << 42;
    QTest::newRow("trailing text") << QByteArray("k=42abc") << 42;
    QTest::newRow("no digits") << QByteArray("k=abc") << 0;
    QTest::newRow("exponent") << QByteArray("k=1e3") << 1;
    QTest::newRow("leading zero is decimal") << QByteArray("k=017") << 17;
    QTest::newRow("upper-case X") << QByteArray("k=0X1F") << 0;
    QTest::newRow("hex") << QByteArray("k=0x1F") << 31;
    QTest::newRow("hex lower digits") << QByteArray("k=0xff") << 255;
    QTest::newRow("binary") << QByteArray("k=0b101") << 5;
    QTest::newRow("binary stops at 2") << QByteArray("k=0b1021") << 2;
    QTest::newRow("octal") << QByteArray("k=0o17") << 15;
    QTest::newRow("octal stops at 8") << QByteArray("k=0o8") << 0;
    QTest::newRow("prefix only") << QByteArray("k=0x") << 0;
    QTest::newRow("negative") << QByteArray("k=-1") << -1;
    QTest::newRow("negative hex") << QByteArray("k=-0x10") << -16;
    QTest::newRow("plus") << QByteArray("k=+7") << 7;
    QTest::newRow("two signs") << QByteArray("k=+-7") << 0;
    QTest::newRow("space after sign") << QByteArray("k=- 7") << 0;
    QTest::newRow("wraps") << QByteArray("k=4294967297") << 1;
    QTest::newRow("all ones") << QByteArray("k=4294967295") << -1;
    QTest::newRow("past int max") << QByteArray("k=2147483648") << std::numeric_limits<int>::min();
    QTest::newRow("quoted") << QByteArray("k='5'") << 5;
    QTest::newRow("quoted blank and sign") << QByteArray("k=\" +7\"") << 7;
    QTest::newRow("quoted tab") << QByteArray("k=\"\t8\"") << 8;
    QTest::newRow("29 characters count") << QByteArray("k=" + QByteArray(28, '0') + "12") << 1;
    QTest::newRow("29 digits") << QByteArray("k=" + QByteArray(27, '0') + "12") << 12;
    QTest::newRow("empty") << QByteArray("k=") << 99;
    QTest::newRow("empty quotes") << QByteArray("k=\"\"") << 99;
    QTest::newRow("no equals") << QByteArray("k") << 99;
    QTest::newRow("missing") << QByteArray("other=1") << 99;
    QTest::newRow("blank") << QByteArray("k=  ") << 99;
    QTest::newRow("quoted space") << QByteArray("k=\" \"") << 0;
}

void ProfileTest::getInt() {
    QFETCH(QByteArray, line);
    QFETCH(int, expected);
    writeFile(file(), "[Options]\r\n" + line + "\r\n");
    QCOMPARE(profile::getInt("options", "K", 99, file()), expected);
}

void ProfileTest::missingOrUnreadableFile() {
    QCOMPARE(fromStd(profile::getString("a", "k", "d", 256, dir_ / "none.ini")), QByteArray("d"));
    QCOMPARE(profile::getInt("a", "k", -5, dir_ / "none.ini"), -5);
    QCOMPARE(fromStd(profile::getString("a", "k", "d", 256, dir_)), QByteArray("d")); // a folder
    // A read-only file reads as any other.
    writeFile(file(), "[a]\r\nk=7\r\n");
    QVERIFY(setMode(file(), 0444));
    QCOMPARE(profile::getInt("a", "k", -5, file()), 7);
    // A file far larger than any settings file is not read, nor written over (sparse: it costs
    // no disk).
    const auto huge = dir_ / "huge.ini";
    writeFile(huge, "[a]\r\nk=7\r\n");
    std::filesystem::resize_file(huge, std::uintmax_t(5) << 20);
    QCOMPARE(profile::getInt("a", "k", -5, huge), -5);
    QVERIFY(!profile::writeString("a", std::string_view("k"), std::string_view("8"), huge));
    {
        profile::Batch batch;
        QVERIFY(!profile::writeString("a", std::string_view("k"), std::string_view("8"), huge));
        QVERIFY(batch.commit());
    }
    QCOMPARE(std::filesystem::file_size(huge), std::uintmax_t(5) << 20);
    QCOMPARE(readFile(huge).left(10), QByteArray("[a]\r\nk=7\r\n"));
}

// --- Writing ---------------------------------------------------------------------------------

void ProfileTest::write_data() {
    QTest::addColumn<QByteArray>("before"); // "<missing>": no file
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");   // "<none>": delete the section
    QTest::addColumn<QByteArray>("value"); // "<none>": delete the key
    QTest::addColumn<QByteArray>("after");
    struct Case {
        const char* name;
        QByteArray before, section, key, value, after;
    };
    const QByteArray none = "<none>", missing = "<missing>";
    const QByteArray messy = "; top\r\n\r\n[a]\r\nx=1\r\n\r\n; note\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n";
    const QByteArray zo = "[" + kZo + "]\r\n";
    const Case cases[] = {
        {"new file", missing, " s ", " k ", "v", "[s]\r\nk=v\r\n"},
        {"empty file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"replace", "[s]\r\nk=old\r\nn=1\r\n", "s", "k", "new", "[s]\r\nk=new\r\nn=1\r\n"},
        {"spelling and spacing kept", "[Opt]\r\n  Key = old  \r\n", "OPT", "key", "new",
         "[Opt]\r\n  Key = new\r\n"},
        {"empty old value", "[s]\r\nk=   \r\n", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"key without equals", "[s]\r\n k \r\nk=2\r\n", "s", "k", "v", "[s]\r\n k=v\r\nk=2\r\n"},
        {"LF line ends kept", "[s]\nk=1\nx=2", "s", "k", "3", "[s]\nk=3\nx=2"},
        {"CR line ends kept", "[s]\rk=1\rx=2\r", "s", "k", "3", "[s]\rk=3\rx=2\r"},
        {"value emptied", "[s]\r\nk=1\r\n", "s", "k", "", "[s]\r\nk=\r\n"},
        {"leading blanks dropped", "[s]\r\n", "s", "k", " \t v  ", "[s]\r\nk=v  \r\n"},
        {"quotes as given", "[s]\r\n", "s", "k", "\"q\"", "[s]\r\nk=\"q\"\r\n"},

        {"new key after last line", messy, "a", "n", "v",
         "; top\r\n\r\n[a]\r\nx=1\r\n\r\n; note\r\nn=v\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n"},
        {"key of second copy", messy, "a", "z", "9",
         "; top\r\n\r\n[a]\r\nx=1\r\n\r\n; note\r\nz=9\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n"},
        {"new key in later section", messy, "B", "n", "v",
         QByteArray(messy).replace("y=2\r\n", "y=2\r\nn=v\r\n")},
        {"new key in empty section", "[a]\r\n\r\n[b]\r\n", "a", "n", "v", "[a]\r\nn=v\r\n\r\n[b]\r\n"},
        {"new key, no final line end", "[a]\nk=1", "a", "n", "v", "[a]\nk=1\r\nn=v\r\n"},
        {"new key, LF file", "[a]\nk=1\n\n", "a", "n", "v", "[a]\nk=1\nn=v\r\n\n"},
        {"new section", messy, "c", "n", "v", messy + "[c]\r\nn=v\r\n"},
        {"new section, no final line end", "[a]\r\nk=1", "c", "n", "v", "[a]\r\nk=1\r\n[c]\r\nn=v\r\n"},
        {"new section, trailing blanks", "[a]\r\n\r\n  ", "c", "n", "v", "[a]\r\n\r\n  \r\n[c]\r\nn=v\r\n"},
        {"new section, LF end", "[a]\n", "c", "n", "v", "[a]\n[c]\r\nn=v\r\n"},
        {"top lines only", "k=1\r\n", "k", "n", "v", "k=1\r\n[k]\r\nn=v\r\n"},
        {"empty section name, top", "; c\r\nk=1\r\n[s]\r\n", "", "n", "v", "; c\r\nk=1\r\nn=v\r\n[s]\r\n"},
        {"empty section name, new", "[s]\r\n", "", "n", "v", "[s]\r\n[]\r\nn=v\r\n"},

        {"delete key", "[s]\r\na=1\r\n K = 2 \r\nb=3\r\n", "S", "k", none, "[s]\r\na=1\r\nb=3\r\n"},
        {"delete first match only", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", none, "[s]\r\nk=2\r\n"},
        {"delete last line", "[s]\r\nk=1", "s", "k", none, "[s]\r\n"},
        {"delete key without equals", "[s]\nk\nx=1\n", "s", "k", none, "[s]\nx=1\n"},
        {"delete missing key", messy, "a", "q", none, messy},
        {"delete key, missing section", messy, "q", "x", none, messy},
        {"delete section", messy, "A", none, none, "; top\r\n\r\n[b]\r\ny=2\r\n[A]\r\nz=3\r\n"},
        {"delete last section", "[a]\r\nx=1\r\n[b]\r\ny=2", "b", none, none, "[a]\r\nx=1\r\n"},
        {"delete top lines", "k=1\r\n\r\n[s]\r\n", "", none, none, "[s]\r\n"},
        {"delete missing section", messy, "q", none, none, messy},
        {"delete in missing file", missing, "s", none, none, missing},
        {"delete key in missing file", missing, "s", "k", none, missing},

        {"Shift-JIS replace", zo + kSo + "=x\r\n", kZo, kSo, kSoft, zo + kSo + "=" + kSoft + "\r\n"},
        {"Shift-JIS new key", zo + kDi + "=x\r\n", kZo, kA, kAiu,
         zo + kDi + "=x\r\n" + kA + "=" + kAiu + "\r\n"},
        {"Shift-JIS new section", "[x]" + kZo + "\r\n", kZo, kSo, kAiu,
         "[x]" + kZo + "\r\n" + zo + kSo + "=" + kAiu + "\r\n"},
    };
    for (const Case& c : cases)
        QTest::newRow(c.name) << c.before << c.section << c.key << c.value << c.after;
}

void ProfileTest::write() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    if (before != "<missing>")
        writeFile(file(), before);
    std::optional<std::string_view> k, v;
    if (key != "<none>")
        k = sv(key);
    if (value != "<none>")
        v = sv(value);
    QVERIFY(profile::writeString(sv(section), k, v, file()));
    QCOMPARE(readFile(file()), after);
    // Nothing but the file itself is left in the folder.
    QCOMPARE(QDir(tmp_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             after == "<missing>" ? QStringList() : QStringList{"p.ini"});
}

// What is written is what is read, for names and values the reader could trip over.
void ProfileTest::writtenValuesReadBack() {
    struct Entry {
        QByteArray section, key, value;
    };
    const QList<Entry> entries = {
        {"Options", "Check0", "1"}, {"PageName", "Page1", kAiu},
        {kZo, kSo, kSoft},          {kZo, kA, "a"},
        {kZo, kDi, "di"},           {"x]" + kZo, "Name_0", "(" + kSo + ")"},
        {"Options", "Check1", "0"}, {"Page1", "Name_19", "'quoted'"},
    };
    for (const Entry& e : entries)
        QVERIFY(profile::writeString(sv(e.section), sv(e.key), sv(e.value), file()));
    for (const Entry& e : entries) {
        QByteArray expected = e.value == "'quoted'" ? QByteArray("quoted") : e.value;
        QCOMPARE(fromStd(profile::getString(sv(e.section), sv(e.key), "-", 255, file())), expected);
    }
    QCOMPARE(profile::getInt("OPTIONS", "check0", 5, file()), 1);
}

// Writing what is there changes nothing: the file is not even replaced, so it works on a
// read-only file; anything else is a write, and a read-only file refuses it.
void ProfileTest::sameValueIsNotRewritten() {
    const QByteArray content = "[s]\r\nk = v  \r\nq=\"x\"\r\n";
    writeFile(file(), content);
    const auto inode = test_files::fileIdentity(file());
    QVERIFY(profile::writeString("s", "k", "v", file()));
    QVERIFY(profile::writeString("S", "K", "  v", file()));
    QVERIFY(profile::writeString("s", "q", "\"x\"", file()));
    QVERIFY(profile::writeString("s", "missing", std::nullopt, file()));
    QVERIFY(profile::writeString("missing", std::nullopt, std::nullopt, file()));
    QCOMPARE(test_files::fileIdentity(file()), inode);
    QCOMPARE(readFile(file()), content);

    QVERIFY(setMode(file(), 0444));
    QVERIFY(profile::writeString("s", "k", "v", file()));
    QVERIFY(!profile::writeString("s", "k", "v ", file())); // trailing blank: a different value
    QVERIFY(!profile::writeString("s", "q", "x", file()));
    QCOMPARE(readFile(file()), content);
}

void ProfileTest::lineBreaksInValueAreRefused() {
    const QByteArray content = "[s]\r\nk=1\r\n";
    writeFile(file(), content);
    for (const char* value : {"a\r\n[evil]\r\nx=1", "a\nb", "a\r", "\n"})
        QVERIFY2(!profile::writeString("s", "k", value, file()), value);
    QCOMPARE(readFile(file()), content);
    QVERIFY(!profile::writeString("s", "k", "a\nb", dir_ / "new.ini"));
    QVERIFY(!fs::exists(dir_ / "new.ini"));
    // Deleting needs no value, so nothing is refused there.
    QVERIFY(profile::writeString("s", "k", std::nullopt, file()));
    QCOMPARE(readFile(file()), QByteArray("[s]\r\n"));
    // A value is a C string: a NUL ends it, and what follows (a line break too) is not written.
    QVERIFY(profile::writeString("s", "k", std::string_view("x\0\r\ny", 5), file()));
    QCOMPARE(readFile(file()), QByteArray("[s]\r\nk=x\r\n"));
}

void ProfileTest::writeFailures() {
    QVERIFY(!profile::writeString("s", "k", "v", dir_ / "no" / "p.ini"));
    QVERIFY(!fs::exists(dir_ / "no"));
    QVERIFY(!profile::writeString("s", "k", "v", dir_)); // a folder is no profile file

    const QByteArray content = "[s]\r\nk=1\r\n";
    writeFile(file(), content);
    QVERIFY(setMode(file(), 0444));
    QVERIFY(!profile::writeString("s", "k", "2", file()));
    QVERIFY(!profile::writeString("s", "k", std::nullopt, file()));
    QVERIFY(!profile::writeString("s", std::nullopt, std::nullopt, file()));
    QCOMPARE(readFile(file()), content);
    QVERIFY(setMode(file(), 0644));

#ifndef _WIN32 // Windows ignores a folder's read-only attribute (platform_textfile)
    QCOMPARE(::chmod(dir_.c_str(), 0555), 0);
    QVERIFY(!profile::writeString("s", "k", "2", file()));
    QVERIFY(!profile::writeString("s", "k", "v", dir_ / "other.ini"));
    QCOMPARE(::chmod(dir_.c_str(), 0700), 0);
    QCOMPARE(readFile(file()), content);
    QVERIFY(!fs::exists(dir_ / "other.ini"));
#endif
}

// A batch keeps its parse of a file from one write to the next, editing only the lines a
// write touches. Long random runs of writes on odd files (every kind of line end, NUL bytes,
// blanks, duplicate sections) must end with the bytes the same writes give one by one.
void ProfileTest::batchOfRandomWritesMatchesSingleWrites() {
    const char* pieces[] = {"[a]", "[b]", "[A]", " [ b ] x", "k=1", "k",       "K = 2 ", "x=",
                            "=v",  ";c",  "\t",  "",         "[a",  "k=\"q\"", "j=1\0z", "y"};
    const char* ends[] = {"\r\n", "\r", "\n", "\n\r", "\r\r\n", ""};
    const char* names[] = {"a", "b", "A", "c", "k", "K", "x", "j", "y", "", "new"};
    const char* values[] = {"1", "", " v ", "\"q\"", "long value here", "2"};
    std::mt19937 random(7);
    auto pick = [&random](const auto& list) { return list[random() % std::size(list)]; };
    for (int round = 0; round < 40; ++round) {
        std::string start;
        const int lineCount = int(random() % 12);
        for (int i = 0; i < lineCount; ++i) {
            const char* piece = pick(pieces);
            start += std::string(piece, std::strlen(piece) + (std::strcmp(piece, "j=1") == 0 ? 2 : 0));
            start += pick(ends);
        }
        const fs::path single = dir_ / "single.ini";
        writeFile(single, QByteArray::fromStdString(start));
        writeFile(file(), QByteArray::fromStdString(start));
        struct Write {
            std::string section;
            std::optional<std::string> key, value;
        };
        std::vector<Write> writes;
        for (int i = 0, n = 1 + int(random() % 12); i < n; ++i) {
            Write w{pick(names), std::string(pick(names)), std::string(pick(values))};
            const unsigned kind = random() % 8;
            if (kind == 0)
                w.key.reset();
            if (kind <= 1)
                w.value.reset();
            writes.push_back(w);
        }
        auto run = [&writes](const fs::path& target) {
            for (const Write& w : writes)
                profile::writeString(
                    w.section, w.key ? std::optional<std::string_view>(*w.key) : std::nullopt,
                    w.value ? std::optional<std::string_view>(*w.value) : std::nullopt, target);
        };
        run(single);
        {
            profile::Batch batch;
            run(file());
            QVERIFY(batch.commit());
        }
        QVERIFY2(readFile(file()) == readFile(single),
                 qPrintable(QStringLiteral("round %1: %2")
                                .arg(round)
                                .arg(QString::fromLatin1(QByteArray::fromStdString(start).toHex()))));
    }
}

// A batch ends with the same bytes as the same writes made one by one, but touches the disk
// only at commit; meanwhile reads see the pending values.
void ProfileTest::batchWritesEachFileOnce() {
    const QByteArray start = "; settings\r\n[Options]\r\nCheck0=0\r\n\r\n[PageName]\r\nPage1=a\r\n";
    const fs::path single = dir_ / "single.ini";
    writeFile(single, start);
    writeFile(file(), start);
    const auto inode = test_files::fileIdentity(file());
    auto edits = [](const fs::path& f) {
        for (int i = 0; i < 10; ++i) {
            QVERIFY(profile::writeString("Options", "Check" + std::to_string(i), std::to_string(i % 2), f));
            QVERIFY(
                profile::writeString("PageName", "Page" + std::to_string(i + 1), "p" + std::to_string(i), f));
        }
        QVERIFY(profile::writeString("Gone", "k", "v", f));
        QVERIFY(profile::writeString("Gone", std::nullopt, std::nullopt, f));
        QVERIFY(profile::writeString("Options", "Check9", std::nullopt, f));
    };
    edits(single);
    {
        profile::Batch batch;
        edits(file());
        QVERIFY(profile::writeString("New", "k", "v", dir_ / "created.ini"));
        QVERIFY(profile::writeString("s", std::nullopt, std::nullopt, dir_ / "untouched.ini"));
        QCOMPARE(readFile(file()), start);
        QCOMPARE(test_files::fileIdentity(file()), inode);
        QCOMPARE(profile::getInt("options", "check3", -1, file()), 1);
        QCOMPARE(profile::getInt("options", "check9", -1, file()), -1);
        QCOMPARE(fromStd(profile::getString("New", "k", "-", 255, dir_ / "created.ini")), QByteArray("v"));
        QVERIFY(!fs::exists(dir_ / "created.ini"));
        {
            profile::Batch inner; // joins the outer batch
            QVERIFY(profile::writeString("Inner", "k", "1", file()));
            QVERIFY(inner.commit());
        }
        QCOMPARE(readFile(file()), start);
        QVERIFY(batch.commit());
        QVERIFY(batch.commit()); // nothing left to write
    }
    QCOMPARE(readFile(file()), readFile(single) + "[Inner]\r\nk=1\r\n");
    QCOMPARE(readFile(dir_ / "created.ini"), QByteArray("[New]\r\nk=v\r\n"));
    QVERIFY(!fs::exists(dir_ / "untouched.ini"));
    // After the batch, writes go straight to the file again.
    QVERIFY(profile::writeString("Options", "Check0", "7", file()));
    QCOMPARE(profile::getInt("Options", "Check0", -1, file()), 7);
    QVERIFY(readFile(file()).contains("Check0=7\r\n"));
}

// Inside a batch a file is read from disk once: later changes by others are not seen until the
// batch ends, while the batch's own writes are seen by the very next read.
void ProfileTest::batchReadsEachFileOnce() {
    writeFile(file(), "[s]\r\na=1\r\nb=2\r\n");
    {
        profile::Batch batch;
        QCOMPARE(profile::getInt("s", "a", -1, file()), 1);
        writeFile(file(), "[s]\r\na=9\r\n");
        QCOMPARE(profile::getInt("s", "a", -1, file()), 1);
        QCOMPARE(profile::getInt("s", "b", -1, file()), 2);
        QVERIFY(profile::writeString("s", "c", "3", file()));
        QCOMPARE(profile::getInt("s", "c", -1, file()), 3);
        QVERIFY(profile::writeString("s", "a", "10", file()));
        QCOMPARE(profile::getInt("s", "a", -1, file()), 10);
        QCOMPARE(fromStd(profile::getString("s", "missing", "d", 255, dir_ / "none.ini")), QByteArray("d"));
        QVERIFY(profile::writeString("s", "k", "v", dir_ / "none.ini"));
        QCOMPARE(fromStd(profile::getString("s", "k", "d", 255, dir_ / "none.ini")), QByteArray("v"));
        batch.commit();
    }
    // The batch wrote what it read plus its own changes, over the other program's version.
    QCOMPARE(readFile(file()), QByteArray("[s]\r\na=10\r\nb=2\r\nc=3\r\n"));
    QCOMPARE(readFile(dir_ / "none.ini"), QByteArray("[s]\r\nk=v\r\n"));
    writeFile(file(), "[s]\r\na=9\r\n");
    QCOMPARE(profile::getInt("s", "a", -1, file()), 9);
}

void ProfileTest::batchFailuresShowAtCommit() {
    const QByteArray content = "[s]\r\nk=1\r\n";
    writeFile(file(), content);
    QVERIFY(setMode(file(), 0444));
    {
        profile::Batch batch;
        QVERIFY(profile::writeString("s", "k", "1", file())); // no change: nothing to write
        QVERIFY(batch.commit());
    }
    profile::Batch batch;
    QVERIFY(profile::writeString("s", "k", "2", file()));
    QVERIFY(profile::writeString("s", "k", "v", dir_ / "no" / "p.ini"));
    QVERIFY(profile::writeString("t", "k", "v", dir_ / "ok.ini"));
    QVERIFY(!profile::writeString("s", "k", "a\nb", file()));
    QVERIFY(!profile::writeString("s", "k", "v", dir_)); // unreadable: refused at once
    QVERIFY(!batch.commit());
    QCOMPARE(readFile(file()), content);
    QVERIFY(!fs::exists(dir_ / "no"));
    QCOMPARE(readFile(dir_ / "ok.ini"), QByteArray("[t]\r\nk=v\r\n")); // the others are still written
}

QTEST_GUILESS_MAIN(ProfileTest)
#include "platform_profile.moc"
