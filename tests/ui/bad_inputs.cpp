// Start-up on damaged, odd or hostile files: the program starts, shows what it could read,
// and a save afterwards keeps every line it could read byte for byte (odd bytes too), reports
// what it could not write, and never replaces what it could not read.
#include "../common/text_lines.h"
#include "asciiart/ascii_art_dialog.h"
#include "palette/palette_window.h"
#include "platform/cp932.h"
#include "platform/profile.h"
#include "platform/utf8_path.h"
#include "settings/mouse_sensitivity_dialog.h"
#include "settings/settings_dialog.h"
#include "storage/text_codec.h"
#include "test_program.h"
#include <QMessageBox>
#include <QtTest>
#include <fstream>
#include <random>
#ifdef _WIN32
#include "platform/windows_header.h"
// After windows.h, whose types it uses.
#include <psapi.h>
#else
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {
const QString kSettings = QStringLiteral("設定.ini");
const QString kKaomoji = QStringLiteral("顔文字.ini");
const QString kOptions = QStringLiteral("AA/AAOptions.ini");

constexpr int kLineCount = 3400;

// What a save must write after loading these bytes: each of the first 3400 lines as it was,
// empty lines after the last one.
std::string expectedKaomojiFile(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < std::size_t(kLineCount); ++i) {
        if (i < lines.size())
            out += lines[i];
        out += "\r\n";
    }
    return out;
}

// The notices on screen, closed once read: message boxes the user need not answer, neither
// modal nor activated, so the palette and the user's own window go on working.
QStringList takeNotices() {
    QStringList texts;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible())
            continue;
        if (box->isModal() || !box->testAttribute(Qt::WA_ShowWithoutActivating))
            texts << QStringLiteral("(blocking) ") + box->text();
        else
            texts << box->text();
        box->close();
    }
    return texts;
}

// Line n of the file is page n / 340, row n % 340 / 20, slot n % 20.
const QString& cellOfLine(TestProgram& t, std::size_t n) {
    return t.state().kaomoji.at(int(n / 340), int(n % 340 / 20), int(n % 20));
}

// Random bytes of every value but the lead bytes of the few characters cp932 has two codes for
// (0x87, 0xED, 0xEE, 0xFA-0xFC): a save writes those in their one canonical code, as Windows
// does, so they alone may come back different.
std::string garbage(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes;
    while (bytes.size() < size) {
        auto b = static_cast<unsigned char>(random() & 0xFF);
        if (b == 0x87 || b == 0xED || b == 0xEE || b >= 0xFA)
            continue;
        bytes.push_back(char(b));
    }
    return bytes;
}

// The values start-up puts into the controls and the shared state, by name.
QStringList observe(TestProgram& t) {
    auto& s = t.state();
    auto& paletteWindow = t.program().paletteWindow();
    auto& settingsDialog = t.program().settingsDialog();
    auto& mouseDialog = t.program().mouseDialog();
    QStringList v;
    for (int i = 0; i < 10; ++i)
        v << QStringLiteral("Check%1=%2").arg(i).arg(settingsDialog.optionChecks[std::size_t(i)]->value());
    v << QStringLiteral("PageNumber=%1").arg(paletteWindow.pageList->listIndex())
      << QStringLiteral("DoubleClick=%1").arg(settingsDialog.doubleClickActionList->listIndex())
      << QStringLiteral("Color1=") + s.backgroundColor << QStringLiteral("Color2=") + s.selectionColor
      << QStringLiteral("Color3=") + s.clockColor << QStringLiteral("ToolTipBackColor=%1").arg(s.tipBackColor)
      << QStringLiteral("ToolTipFontColor=%1").arg(s.tipTextColor)
      << QStringLiteral("Form1=%1,%2,%3")
             .arg(paletteWindow.leftTwips())
             .arg(paletteWindow.topTwips())
             .arg(paletteWindow.widthTwips())
      << QStringLiteral("Form2=%1,%2").arg(settingsDialog.leftTwips()).arg(settingsDialog.topTwips())
      << QStringLiteral("Time=") + s.clockMode
      << QStringLiteral("Mouse=%1,%2,%3,%4")
             .arg(mouseDialog.sideMarginBars[0]->value())
             .arg(mouseDialog.sideMarginBars[1]->value())
             .arg(mouseDialog.topBottomMarginBars[0]->value())
             .arg(mouseDialog.topBottomMarginBars[1]->value());
    for (const QString& name : s.pageNames)
        v << QStringLiteral("Page=") + name;
    return v;
}

// The live values must stand in the saved settings file: a restart shows the same.
void verifyRestartShowsTheSame(TestProgram& t, const QStringList& shown) {
    TestProgram again;
    for (const QString& name : {kSettings, kKaomoji})
        if (fs::exists(t.path(name)))
            again.writeBytes(name, t.readBytes(name));
    again.start();
    QCOMPARE(observe(again), shown);
}

// Every line of `before` (with its own line end) stands in `after`, in the same order.
bool keepsEveryLine(const std::string& before, const std::string& after) {
    std::size_t from = 0;
    std::size_t pos = 0;
    while (pos < before.size()) {
        std::size_t end = before.find_first_of("\r\n", pos);
        end = end == std::string::npos ? before.size() : end + 1;
        if (end < before.size() && before[end - 1] == '\r' && before[end] == '\n')
            ++end;
        const std::string line = before.substr(pos, end - pos);
        const std::size_t found = after.find(line, from);
        if (found == std::string::npos) {
            qWarning("line lost: %s", QByteArray::fromStdString(line).toHex(' ').constData());
            return false;
        }
        from = found + line.size();
        pos = end;
    }
    return true;
}

QStringList folderEntries(const fs::path& folder) {
    QStringList names;
    for (const auto& e : fs::directory_iterator(folder))
        names << QString::fromStdString(platform::utf8FromPath(e.path().filename()));
    names.sort();
    return names;
}

#ifdef _WIN32
// The process's memory now and the most it has held, in kilobytes.
struct MemoryKb {
    long now = -1;
    long peak = -1;
};
MemoryKb memoryKb() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return {};
    return {long(counters.WorkingSetSize / 1024), long(counters.PeakWorkingSetSize / 1024)};
}

// A file another program holds open without sharing it (an editor's lock, a virus scanner): no
// one else can open it, to read or to replace it, until that program lets it go. Windows' own
// counterpart of a file whose owner may not read it; its access list would be another, which
// Wine does not enforce.
class HeldByAnotherProgram {
public:
    explicit HeldByAnotherProgram(const fs::path& file)
        : handle_(::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr)) {}
    ~HeldByAnotherProgram() { release(); }
    HeldByAnotherProgram(const HeldByAnotherProgram&) = delete;
    HeldByAnotherProgram& operator=(const HeldByAnotherProgram&) = delete;

    bool holds() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release() {
        if (holds())
            ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    // True when nobody else can open the file to read it.
    static bool unreadable(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return !in.is_open();
    }

private:
    HANDLE handle_;
};
#else
long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    return -1;
}

// Root reads every file whatever its permission bits. Without these two capabilities the
// calling thread is held to the bits like any other user, so a file can be made unreadable.
class WithoutFileOverride {
public:
    WithoutFileOverride() {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFileOverride() {
        if (active_)
            syscall(SYS_capset, &header_, saved_);
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

    // True when files with no read bit for the owner are now unreadable.
    static bool unreadable(const fs::path& file) {
        const int fd = ::open(file.c_str(), O_RDONLY);
        if (fd >= 0)
            ::close(fd);
        return fd < 0;
    }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

void makeFifo(const fs::path& path) {
    QCOMPARE(::mkfifo(path.c_str(), 0644), 0);
}
#endif

// The start page's group captions and group 0's kaomoji are what the palette shows.
void verifyPaletteShowsTable(TestProgram& t) {
    auto& paletteWindow = t.program().paletteWindow();
    for (int i = 0; i < 16; ++i)
        QCOMPARE(paletteWindow.groupButtons[std::size_t(i)]->caption(), t.state().kaomoji.at(0, 0, i));
    for (int i = 0; i < 20; ++i)
        QCOMPARE(paletteWindow.entryButtons[std::size_t(i)]->caption(), t.state().kaomoji.at(0, 1, i));
    // Painting the palette runs every caption through the text layout.
    QVERIFY(!paletteWindow.grab().isNull());
    QVERIFY(!t.program().settingsDialog().grab().isNull());
}

} // namespace

class BadInputsTest : public QObject {
    Q_OBJECT
private slots:
    // A test that does not look at its notices leaves none for the next one.
    void cleanup() { takeNotices(); }

    void kaomojiFileBytes_data();
    void kaomojiFileBytes();
    void tooLargeKaomojiFile();
    void kaomojiFileThatIsNoFile_data();
    void kaomojiFileThatIsNoFile();

    void settingsOutOfRange();
    void settingsInOddForms();
    void settingsSectionsAndLineEnds_data();
    void settingsSectionsAndLineEnds();

    void asciiArtFolderIsAFile();
    void asciiArtFilesThatAreNoFiles();

    void unreadableProfilesAreNotReplaced();
    void unreadableFiles_data();
    void unreadableKaomojiFileIsNotReplaced_data() { unreadableFiles_data(); }
    void unreadableKaomojiFileIsNotReplaced();
    void unreadableAsciiArtTextIsNotDeleted_data() { unreadableFiles_data(); }
    void unreadableAsciiArtTextIsNotDeleted();
    void readOnlyProgramFolder();
};

void BadInputsTest::kaomojiFileBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char* name, const std::string& bytes) {
        QTest::newRow(name) << QByteArray::fromStdString(bytes);
    };
    row("binary garbage", garbage(48 * 1024, 1));
    row("binary garbage without line ends", garbage(40 * 1024, 2));
    row("NUL bytes", std::string("\0\0\0\r\n(^\0^)\r\n\0", 14));
    row("lone CRs", "a\rb\r\r(^_^)\r\r\r");
    row("lone LFs in a CR LF file", "x\ny\nz\r\n(^_^)\n\r\n");
    row("LF CR", "\n\r\n\r\na\n\r");
    row("invalid cp932",
        "\x81\x20\r\n\xA0\x80\xFD\xFE\xFF\r\n\x82\x7F\r\n\x85\x40\xEF\x40\r\n\xF0\x40\xF9\xFC\r\n");
    row("lead byte at the end", "(^_^)\r\nabc\x81");
    row("lead bytes before line ends", "\x82\r\n\x82\r\x82\n\x82");
    row("UTF-8 text", "\xEF\xBC\x88\xEF\xBC\xBE\xCF\x89\xEF\xBC\xBE\xEF\xBC\x89\r\n\xE9\xA1\x94\r\n");
    row("UTF-16 with BOM", std::string("\xFF\xFE(\0^\0_\0^\0)\0\r\0\n\0", 16));
    row("empty file", "");
    row("only line ends", "\r\n\r\n\r\r\n");
    // Line ends converted to LF (dos2unix, git's autocrlf=input): still one cell a line.
    row("LF line ends", "(^_^)\n\n(T_T)\n\x82\xA0\n");
    // Lines come back whole however long: 16 KB + 1 byte, and 1 MB + 1 byte with a double-byte
    // character at the end.
    row("long lines",
        std::string(16 * 1024 + 1, 'x') + "\r\n" + std::string(1 << 20, 'y') + "\x82\xA0\r\nz\r\n");
}

void BadInputsTest::kaomojiFileBytes() {
    QFETCH(QByteArray, bytes);
    const std::string content = bytes.toStdString();
    TestProgram t;
    t.writeBytes(kKaomoji, content);
    t.start();
    UserAnswers reports(t);
    QCOMPARE(takeNotices(), QStringList());

    const std::vector<std::string> lines = text_lines::split(content);
    for (std::size_t n = 0; n < lines.size() && n < std::size_t(kLineCount); ++n) {
        QVERIFY2(cellOfLine(t, n) == storage::fromCp932(lines[n]), qPrintable(QString::number(n)));
    }
    for (std::size_t n = lines.size(); n < std::size_t(kLineCount); ++n)
        QVERIFY(cellOfLine(t, n).isEmpty());
    verifyPaletteShowsTable(t);

    t.program().settingsDialog().saveButton->press();
    QVERIFY(reports.reported.isEmpty());
    QCOMPARE(t.readBytes(kKaomoji), expectedKaomojiFile(lines));
}

// A 200 MB file (sparse: it costs no disk) is too large to load: start-up is quick and reads
// none of it, and the save reports it and leaves it as it is.
void BadInputsTest::tooLargeKaomojiFile() {
    {
        // The first program of the process loads fonts and the platform; that is not the file's.
        TestProgram warmUp;
        warmUp.start();
    }
    TestProgram t;
    const fs::path file = t.path(kKaomoji);
#ifdef _WIN32
    const long long size = 200LL << 20;
    {
        // Extending a file leaves a hole there (under Wine the Linux file system's; an NTFS
        // file gets its zeros only where written).
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
    }
    fs::resize_file(file, std::uintmax_t(size));
    {
        std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(size);
        out.write("\r\n(^_^)\r\n", 9);
        QVERIFY(bool(out));
    }
    // Windows cannot start the peak again: the growth counts from the working set before the
    // start, which tells as long as the warm-up's peak stayed below that plus the bound (it stays
    // within a few megabytes of it).
    const long before = memoryKb().now;
    t.start();
    const long peak = memoryKb().peak;
#else
    const off_t size = off_t(200) << 20;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::pwrite(fd, "\r\n(^_^)\r\n", 9, size), ssize_t(9));
    ::close(fd);

    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5"; // the peak resident size starts again from the present one
    }
    const long before = statusKb("VmRSS");
    t.start();
    const long peak = statusKb("VmHWM");
#endif
    QVERIFY(before > 0 && peak > 0);
    QVERIFY2(peak - before < 100 * 1024, qPrintable(QStringLiteral("grew by %1 kB").arg(peak - before)));
    QCOMPARE(t.state().kaomoji.at(0, 0, 1), QString());
    // Said at start-up, once, in a notice that blocks nothing.
    const QStringList notices = takeNotices();
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].startsWith(QStringLiteral("次のファイルを読み込めませんでした")) &&
                 notices[0].contains(QStringLiteral("\n\n顔文字.ini\nファイルが大きすぎます（64 MB まで")),
             qPrintable(notices[0]));

    UserAnswers reports(t);
    t.program().settingsDialog().saveButton->press();
    QCOMPARE(reports.reported, QList<QStringList>{{kKaomoji}});
    QCOMPARE(fs::file_size(file), std::uintmax_t(size + 9));
    QVERIFY(fs::exists(t.path(kSettings)));
}

void BadInputsTest::kaomojiFileThatIsNoFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << QStringLiteral("folder");
#ifndef _WIN32 // Windows has no pipes among files, and a user without privileges makes no links
    for (const char* kind : {"fifo", "link loop", "link to a folder"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
#endif
}

// A folder, a pipe (reading it would wait forever) or a link that leads nowhere readable in
// place of the kaomoji file: start-up shows an empty table, a save reports the file and leaves
// whatever stands there.
void BadInputsTest::kaomojiFileThatIsNoFile() {
    QFETCH(QString, kind);
    TestProgram t;
    const fs::path file = t.path(kKaomoji);
    if (kind == QLatin1String("folder")) {
        fs::create_directory(file);
        t.writeBytes(kKaomoji + QStringLiteral("/inside.txt"), "keep");
    }
#ifndef _WIN32
    else if (kind == QLatin1String("fifo")) {
        makeFifo(file);
    } else if (kind == QLatin1String("link loop")) {
        fs::create_symlink(file.filename(), file);
    } else {
        fs::create_directory(t.path(QStringLiteral("elsewhere")));
        fs::create_symlink("elsewhere", file);
    }
#endif
    const auto type = fs::symlink_status(file).type();
    t.start();
    UserAnswers reports(t);
    const QStringList notices = takeNotices();
    QCOMPARE(notices.size(), 1);
    QVERIFY2(notices[0].contains(QStringLiteral("\n\n顔文字.ini\nファイルを読み取れません")),
             qPrintable(notices[0]));
    QVERIFY(t.state().kaomoji.at(0, 0, 0).isEmpty());
    t.state().kaomoji.at(0, 1, 0) = QStringLiteral("(^_^)");
    t.program().settingsDialog().saveButton->press();
    QCOMPARE(reports.reported.size(), 1);
    QCOMPARE(reports.reported[0], QStringList{kKaomoji});
    QCOMPARE(fs::symlink_status(file).type(), type);
    if (kind == QLatin1String("folder"))
        QCOMPARE(t.readBytes(kKaomoji + QStringLiteral("/inside.txt")), std::string("keep"));
    QCOMPARE(t.state().kaomoji.at(0, 1, 0), QStringLiteral("(^_^)"));
    QVERIFY(fs::exists(t.path(kSettings)));
}

// Every value out of its range, below it, far beyond it (wrapping through 32 bits) or empty:
// start-up shows exactly what it shows without a settings file, and a save writes those values
// while keeping the lines it does not own.
void BadInputsTest::settingsOutOfRange() {
    QStringList shownWithoutFile;
    {
        TestProgram fresh;
        fresh.start();
        shownWithoutFile = observe(fresh);
    }
    TestProgram t;
    const QStringList lines = {
        QStringLiteral("; 手で書いたメモ"),
        QStringLiteral("[Options]"),
        QStringLiteral("Check0=3"),
        QStringLiteral("Check1=-1"),
        QStringLiteral("Check2=99999"),
        QStringLiteral("Check3=2147483648"),
        QStringLiteral("Check4=4294967299"),
        QStringLiteral("Check5=-2147483649"),
        QStringLiteral("Check6=7"),
        QStringLiteral("Check7=12"),
        QStringLiteral("Check8=-5"),
        QStringLiteral("Check9=100"),
        QStringLiteral("PageNumber=10"),
        QStringLiteral("DoubleClick=3"),
        QStringLiteral("Time=-1"),
        QStringLiteral("Unknown=kept as it is"),
        QStringLiteral("[ColorOptions]"),
        QStringLiteral("Color1=16777216"),
        QStringLiteral("Color2=-1"),
        QStringLiteral("Color3=99999999999"),
        QStringLiteral("ToolTipBackColor=-16777215"),
        QStringLiteral("ToolTipFontColor=4294967295"),
        QStringLiteral("[Form]"),
        QStringLiteral("Form1Left=491506"),
        QStringLiteral("Form1Top=-491506"),
        QStringLiteral("Form1Width=99999999"),
        QStringLiteral("Form2Left=2147483647"),
        QStringLiteral("Form2Top=-2147483648"),
        QStringLiteral("[MouseOptions]"),
        QStringLiteral("MouseX=32768"),
        QStringLiteral("MouseXX=-1"),
        QStringLiteral("MouseY=99999"),
        QStringLiteral("MouseYY=4294967295"),
        QStringLiteral("[Mine]"),
        QStringLiteral("x=1"),
    };
    t.writeSettings(lines);
    t.start();
    UserAnswers reports(t);
    const QStringList shown = observe(t);
    QCOMPARE(shown, shownWithoutFile);

    t.program().settingsDialog().saveButton->press();
    QVERIFY(reports.reported.isEmpty());
    const std::string saved = t.readBytes(kSettings);
    for (const char* kept : {"; ", "Unknown=kept as it is\r\n", "[Mine]\r\nx=1\r\n"})
        QVERIFY2(saved.find(kept) != std::string::npos, kept);
    QVERIFY(saved.find("Check0=1\r\n") != std::string::npos);
    QVERIFY(saved.find("MouseYY=10000\r\n") != std::string::npos);
    verifyRestartShowsTheSame(t, shown);
}

// Values in range written oddly: blanks, quotes, signs, prefixes, trailing text, 32-bit wrap.
void BadInputsTest::settingsInOddForms() {
    TestProgram t;
    t.writeSettings({
        QStringLiteral("[Options]"),         QStringLiteral("Check0=  0  "),
        QStringLiteral("Check1=\"0\""),      QStringLiteral("Check2='2'"),
        QStringLiteral("Check3=0x1"),        QStringLiteral("Check4=+0"),
        QStringLiteral("Check5=1abc"),       QStringLiteral("Check6=0b1"),
        QStringLiteral("Check7=0o0"),
        QStringLiteral("Check8=0X1"), // an upper-case X is no prefix: "0"
        QStringLiteral("Check9=4294967297"), QStringLiteral("PageNumber=0x9"),
        QStringLiteral("DoubleClick= 2"),    QStringLiteral("Time=-0"),
        QStringLiteral("[ColorOptions]"),    QStringLiteral("Color1=0xFF"),
        QStringLiteral("Color2=0o777"),      QStringLiteral("[MouseOptions]"),
        QStringLiteral("MouseX=0x10"),       QStringLiteral("[PageName]"),
        QStringLiteral("Page1=\"引用符\""),  QStringLiteral("Page2='single'"),
        QStringLiteral("Page3=a\"b\""),      QStringLiteral("Page4="),
    });
    t.start();
    UserAnswers reports(t);
    const QStringList shown = observe(t);
    const QStringList expected = {
        "Check0=0",    "Check1=0",    "Check2=2",     "Check3=1",
        "Check4=0",    "Check5=1",    "Check6=1",     "Check7=0",
        "Check8=0",    "Check9=1",    "PageNumber=9", "DoubleClick=2",
        "Color1=255",  "Color2=511",  "Time=0",       "Mouse=16,10000,10000,10000",
        "Page=引用符", "Page=single", "Page=a\"b\"",  "Page=",
    };
    for (const QString& value : expected)
        QVERIFY2(shown.contains(value), qPrintable(value + QStringLiteral(" not in ") + shown.join(' ')));

    t.program().settingsDialog().saveButton->press();
    QVERIFY(reports.reported.isEmpty());
    verifyRestartShowsTheSame(t, shown);
}

void BadInputsTest::settingsSectionsAndLineEnds_data() {
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CR LF") << QByteArray("\r\n");
    QTest::newRow("LF only") << QByteArray("\n");
    QTest::newRow("CR only") << QByteArray("\r");
    QTest::newRow("LF CR") << QByteArray("\n\r");
}

// A section given twice (only the first counts, as on Windows), keys in any case, and files
// from other systems' editors: the values read are the same whatever the line ends, and a save
// keeps every line of the file with its own line end.
void BadInputsTest::settingsSectionsAndLineEnds() {
    QFETCH(QByteArray, lineEnd);
    const QStringList lines = {
        QStringLiteral("[Options]"),       QStringLiteral("check3=1"),        QStringLiteral("Time=1"),
        QStringLiteral("[options]"),       QStringLiteral("Check3=0"),        QStringLiteral("Check5=1"),
        QStringLiteral("[PageName]"),      QStringLiteral("Page1=最初"),      QStringLiteral("[PageName]"),
        QStringLiteral("Page1=二番目"),    QStringLiteral("Page2=二番目の2"), QStringLiteral("[Form]"),
        QStringLiteral("Form1Width=5100"),
    };
    std::string bytes;
    for (const QString& line : lines)
        bytes += storage::toCp932(line) + lineEnd.toStdString();
    TestProgram t;
    t.writeBytes(kSettings, bytes);
    t.start();
    UserAnswers reports(t);
    const QStringList shown = observe(t);
    QVERIFY(shown.contains(QStringLiteral("Check3=1")));
    QVERIFY(shown.contains(QStringLiteral("Check5=0")));
    QVERIFY(shown.contains(QStringLiteral("Time=1")));
    QCOMPARE(t.state().pageNames[0], QStringLiteral("最初"));
    QCOMPARE(t.state().pageNames[1], QStringLiteral("ページ２"));
    QCOMPARE(t.program().paletteWindow().widthTwips(), 5100);

    t.program().settingsDialog().saveButton->press();
    QVERIFY(reports.reported.isEmpty());
    const std::string saved = t.readBytes(kSettings);
    QVERIFY(keepsEveryLine(bytes, saved));
    verifyRestartShowsTheSame(t, shown);
}

// "AA" is a file: start-up shows no ASCII art, the save reports the ASCII-art files, leaves the
// file "AA" as it was and still writes the kaomoji and the settings.
void BadInputsTest::asciiArtFolderIsAFile() {
    TestProgram t;
    t.writeBytes(QStringLiteral("AA"), "not a folder\r\n");
    t.writeText(kKaomoji, QStringLiteral("(^_^)\r\n"));
    t.start();
    UserAnswers reports(t);
    QVERIFY(t.state().asciiArtNames.at(1, 0).isEmpty());
    t.state().asciiArtTexts.at(2, 4) = QStringLiteral("art");
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(reports.reported.size(), 1);
    QCOMPARE(reports.reported[0], (QStringList{kOptions, QStringLiteral("AA/AAText_2_04.txt")}));
    QCOMPARE(t.readBytes(QStringLiteral("AA")), std::string("not a folder\r\n"));
    QCOMPARE(t.state().asciiArtTexts.at(2, 4), QStringLiteral("art"));
    QVERIFY(t.readBytes(kKaomoji).rfind("(^_^)\r\n", 0) == 0);
    QVERIFY(fs::exists(t.path(kSettings)));
}

// Folders, a pipe and links that lead nowhere in place of ASCII-art files: they are skipped at
// start-up, left alone by a save that has nothing to write there, and reported when it has.
// (On Windows only the folder: it has no pipes among files, and a user without privileges makes
// no links.)
void BadInputsTest::asciiArtFilesThatAreNoFiles() {
    TestProgram t;
    t.writeText(kOptions, QStringLiteral("[Page1]\r\nName_0=フォルダ\r\nName_4=ふつう\r\n"));
    t.writeBytes(QStringLiteral("AA/AAText_1_00.txt/inside.txt"), "keep");
#ifndef _WIN32
    makeFifo(t.path(QStringLiteral("AA/AAText_1_01.txt")));
    fs::create_symlink("AAText_1_02.txt", t.path(QStringLiteral("AA/AAText_1_02.txt")));
    fs::create_symlink("missing.txt", t.path(QStringLiteral("AA/AAText_1_03.txt")));
#endif
    t.writeText(QStringLiteral("AA/AAText_1_04.txt"), QStringLiteral("ふつうの\r\nアート\r\n"));
    const QStringList entries = folderEntries(t.path(QStringLiteral("AA")));
    t.start();
    UserAnswers reports(t);
    auto& s = t.state();
    QCOMPARE(s.asciiArtNames.at(1, 0), QStringLiteral("フォルダ"));
    for (int e = 0; e < 4; ++e)
        QVERIFY(s.asciiArtTexts.at(1, e).isEmpty());
    QCOMPARE(s.asciiArtTexts.at(1, 4), QStringLiteral("ふつうの\r\nアート"));

    t.program().asciiArtDialog().saveButton->press();
    QVERIFY(reports.reported.isEmpty());
    QCOMPARE(folderEntries(t.path(QStringLiteral("AA"))), entries);
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_00.txt/inside.txt")), std::string("keep"));
#ifndef _WIN32
    QVERIFY(fs::is_symlink(t.path(QStringLiteral("AA/AAText_1_02.txt"))));
#endif
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_04.txt")),
             storage::toCp932(QStringLiteral("ふつうの\r\nアート\r\n")));

    s.asciiArtTexts.at(1, 0) = QStringLiteral("new");
#ifdef _WIN32
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(reports.reported.size(), 1);
    QCOMPARE(reports.reported[0], QStringList{QStringLiteral("AA/AAText_1_00.txt")});
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_00.txt/inside.txt")), std::string("keep"));
#else
    s.asciiArtTexts.at(1, 1) = QStringLiteral("new");
    t.program().asciiArtDialog().saveButton->press();
    QCOMPARE(reports.reported.size(), 1);
    QCOMPARE(reports.reported[0],
             (QStringList{QStringLiteral("AA/AAText_1_00.txt"), QStringLiteral("AA/AAText_1_01.txt")}));
    QCOMPARE(t.readBytes(QStringLiteral("AA/AAText_1_00.txt/inside.txt")), std::string("keep"));
    QVERIFY(fs::is_fifo(t.path(QStringLiteral("AA/AAText_1_01.txt"))));
#endif
}

// Profile files that exist but cannot be read: the defaults are shown, and a save reports them
// and leaves them as they were (writing would drop every line the program could not see).
void BadInputsTest::unreadableProfilesAreNotReplaced() {
    TestProgram t;
    t.writeText(kSettings, QStringLiteral("[Options]\r\nCheck0=0\r\n[PageName]\r\nPage1=秘密\r\n"));
    t.writeText(kOptions, QStringLiteral("[Page1]\r\nName_0=秘密\r\n"));
    const std::string settings = t.readBytes(kSettings);
    const std::string options = t.readBytes(kOptions);
#ifdef _WIN32
    {
        // Held through the save too: a profile is read again when it is written.
        HeldByAnotherProgram heldSettings(t.path(kSettings));
        HeldByAnotherProgram heldOptions(t.path(kOptions));
        QVERIFY(heldSettings.holds() && heldOptions.holds());
        QVERIFY(HeldByAnotherProgram::unreadable(t.path(kSettings)));
#else
    ::chmod(t.path(kSettings).c_str(), 0200);
    ::chmod(t.path(kOptions).c_str(), 0200);
    {
        WithoutFileOverride asUser;
        QVERIFY(WithoutFileOverride::unreadable(t.path(kSettings)));
#endif
        t.start();
        UserAnswers reports(t);
        QCOMPARE(t.program().settingsDialog().optionChecks[option::kAlwaysOnTop]->value(), 1);
        QCOMPARE(t.state().pageNames[0], QStringLiteral("ページ１"));
        QVERIFY(t.state().asciiArtNames.at(1, 0).isEmpty());
        t.program().asciiArtDialog().saveButton->press();
        QCOMPARE(reports.reported.size(), 1);
        QCOMPARE(reports.reported[0], (QStringList{kOptions, kSettings}));
    }
    QCOMPARE(t.readBytes(kSettings), settings);
    QCOMPARE(t.readBytes(kOptions), options);
}

void BadInputsTest::unreadableFiles_data() {
    QTest::addColumn<int>("mode");
#ifdef _WIN32
    // Windows' unreadable file: one another program holds open without sharing it (the mode is
    // not used). It lets the file go before the save, which must still leave it alone.
    QTest::newRow("held by another program") << 0;
#else
    QTest::newRow("mode 000") << 0000;
    QTest::newRow("mode 200 (owner may write)") << 0200;
#endif
}

// A kaomoji file that exists but cannot be read (another user's file, a failing disk) looks
// empty at start-up; a save must not put that empty table in its place.
void BadInputsTest::unreadableKaomojiFileIsNotReplaced() {
    QFETCH(int, mode);
    TestProgram t;
    t.writeText(kKaomoji, QStringLiteral("にこにこ\r\n(^_^)\r\n"));
    const std::string kaomoji = t.readBytes(kKaomoji);
    QStringList reported;
#ifdef _WIN32
    Q_UNUSED(mode);
    {
        HeldByAnotherProgram held(t.path(kKaomoji));
        QVERIFY(held.holds());
        QVERIFY(HeldByAnotherProgram::unreadable(t.path(kKaomoji)));
        t.start();
        UserAnswers reports(t);
        QVERIFY(t.state().kaomoji.at(0, 0, 0).isEmpty());
        held.release();
#else
    ::chmod(t.path(kKaomoji).c_str(), mode_t(mode));
    {
        WithoutFileOverride asUser;
        QVERIFY(WithoutFileOverride::unreadable(t.path(kKaomoji)));
        t.start();
        UserAnswers reports(t);
        QVERIFY(t.state().kaomoji.at(0, 0, 0).isEmpty());
#endif
        t.program().settingsDialog().saveButton->press();
        reported = reports.reported.value(0);
    }
    QCOMPARE(t.readBytes(kKaomoji), kaomoji);
    QCOMPARE(reported, QStringList{kKaomoji});
}

// The same for an ASCII-art text: its entry looks empty, and the save must not delete the file.
void BadInputsTest::unreadableAsciiArtTextIsNotDeleted() {
    QFETCH(int, mode);
    TestProgram t;
    const QString text = QStringLiteral("AA/AAText_1_00.txt");
    t.writeText(text, QStringLiteral("  ∧＿∧\r\n"));
    const std::string art = t.readBytes(text);
    QStringList reported;
#ifdef _WIN32
    Q_UNUSED(mode);
    {
        HeldByAnotherProgram held(t.path(text));
        QVERIFY(held.holds());
        QVERIFY(HeldByAnotherProgram::unreadable(t.path(text)));
#else
    ::chmod(t.path(text).c_str(), mode_t(mode));
    {
        WithoutFileOverride asUser;
        QVERIFY(WithoutFileOverride::unreadable(t.path(text)));
#endif
        t.start();
        UserAnswers reports(t);
        const QStringList notices = takeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(
            notices[0].contains(QStringLiteral("\n\n") + text + QStringLiteral("\nファイルを読み取れません")),
            qPrintable(notices[0]));
        QVERIFY(t.state().asciiArtTexts.at(1, 0).isEmpty());
#ifdef _WIN32
        held.release();
#endif
        t.program().asciiArtDialog().saveButton->press();
        reported = reports.reported.value(0);
    }
    QVERIFY(fs::exists(t.path(text)));
    QCOMPARE(t.readBytes(text), art);
    QCOMPARE(reported, QStringList{text});
}

// A program folder without write permission: everything is read and shown, every file of the
// save is reported, nothing on disk changes, nothing is made beside the files.
void BadInputsTest::readOnlyProgramFolder() {
#ifdef _WIN32
    QSKIP("a folder's read-only attribute means nothing on Windows, which keeps a folder from being "
          "written by its access list (not enforced by Wine)");
#else
    TestProgram t;
    t.writeText(kKaomoji, QStringLiteral("にこにこ\r\n(^_^)\r\n"));
    t.writeText(kSettings, QStringLiteral("[PageName]\r\nPage1=読み取り専用\r\n"));
    const std::string kaomoji = t.readBytes(kKaomoji);
    const std::string settings = t.readBytes(kSettings);
    const QStringList entries = folderEntries(t.folder());
    QCOMPARE(::chmod(t.folder().c_str(), 0555), 0);
    t.start();
    UserAnswers reports(t);
    QCOMPARE(t.state().kaomoji.at(0, 0, 1), QStringLiteral("(^_^)"));
    QCOMPARE(t.state().pageNames[0], QStringLiteral("読み取り専用"));
    t.state().kaomoji.at(0, 1, 0) = QStringLiteral("(；´Д｀)");
    t.state().asciiArtTexts.at(1, 0) = QStringLiteral("art");
    t.program().asciiArtDialog().saveButton->press();
    ::chmod(t.folder().c_str(), 0755);
    QCOMPARE(reports.reported.size(), 1);
    QCOMPARE(reports.reported[0],
             (QStringList{kOptions, QStringLiteral("AA/AAText_1_00.txt"), kKaomoji, kSettings}));
    QCOMPARE(folderEntries(t.folder()), entries);
    QCOMPARE(t.readBytes(kKaomoji), kaomoji);
    QCOMPARE(t.readBytes(kSettings), settings);
    QCOMPARE(t.state().kaomoji.at(0, 1, 0), QStringLiteral("(；´Д｀)"));
    QCOMPARE(t.state().asciiArtTexts.at(1, 0), QStringLiteral("art"));
#endif
}

QTEST_MAIN(BadInputsTest)
#include "bad_inputs.moc"
