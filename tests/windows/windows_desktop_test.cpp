// The Win32 desktop against real windows: plain EDIT controls made here, the real clipboard, and
// Qt's own "windows" platform (the test runs under Wine on an X server of its own).
#include "platform/windows/win32.h"
#include "platform/windows/windows_desktop.h"
#include "platform/windows/windows_foreground_watch.h"
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>
#include <QOperatingSystemVersion>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <QtGui/qtestsupport_gui.h>
#include <atomic>
#include <shlobj.h>
#include <thread>

using platform::ClipboardFormat;
using platform::WindowHandle;
using platform::windows::toHandle;

namespace {

// A key or a paste reaches an EDIT of this thread in a few milliseconds once its messages are
// pumped; far more than that means it never comes.
constexpr int kArrivalBoundMs = 2000;
// How long a keystroke that should do nothing is given to show that it does nothing.
constexpr int kNothingMoreMs = 150;

// A top-level EDIT control, the kind of window the palette types into. A popup: under Wine on an
// X server without a window manager, making and closing a captioned window took 2 s (measured).
struct Edit {
    HWND hwnd;
    explicit Edit(bool multiline = false)
        : hwnd(CreateWindowExW(0, L"EDIT", L"",
                               WS_POPUP | WS_BORDER | WS_VISIBLE |
                                   (multiline ? ES_MULTILINE | ES_WANTRETURN : ES_AUTOHSCROLL),
                               100, 100, 300, 150, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr)) {}
    ~Edit() { DestroyWindow(hwnd); }
    WindowHandle handle() const { return toHandle(hwnd); }
    QString text() const {
        wchar_t buffer[1024];
        const LRESULT n = SendMessageW(hwnd, WM_GETTEXT, WPARAM(std::size(buffer)), LPARAM(buffer));
        return QString::fromWCharArray(buffer, int(n));
    }
};

// A window that was there and is gone.
WindowHandle closedWindow() {
    Edit closed;
    return closed.handle();
}

// A clipboard format as the test sets it: a standard one by number, a registered one by name.
struct Format {
    UINT id = 0;
    QString name;
    QByteArray bytes;
    UINT format() const { return id ? id : RegisterClipboardFormatW(name.toStdWString().c_str()); }
};

QByteArray utf16z(const QString& text) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), (text.size() + 1) * 2);
}

bool openClipboard(HWND owner = nullptr) {
    for (int tries = 0; tries < 100; ++tries, Sleep(10))
        if (OpenClipboard(owner))
            return true;
    return false;
}

HGLOBAL globalCopy(const QByteArray& bytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(bytes.size()));
    std::memcpy(GlobalLock(memory), bytes.constData(), std::size_t(bytes.size()));
    GlobalUnlock(memory);
    return memory;
}

bool setClipboard(const QList<Format>& formats) {
    if (!openClipboard())
        return false;
    EmptyClipboard();
    for (const Format& f : formats)
        SetClipboardData(f.format(), globalCopy(f.bytes));
    CloseClipboard();
    return true;
}

QByteArray clipboardBytes(UINT format) {
    QByteArray bytes;
    if (!openClipboard())
        return bytes;
    if (HANDLE data = GetClipboardData(format)) {
        bytes = QByteArray(static_cast<const char*>(GlobalLock(data)), qsizetype(GlobalSize(data)));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return bytes;
}

// A 2×1 picture, 24 bits a pixel, rows padded to 4 bytes.
QByteArray smallDib() {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = 2;
    h.biHeight = 1;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = 8;
    return QByteArray(reinterpret_cast<const char*>(&h), sizeof h) +
           QByteArray("\x10\x20\x30\x40\x50\x60\0\0", 8);
}

QByteArray asBmpFile(const QByteArray& dib) {
    QByteArray file("BM");
    auto u32 = [&](quint32 v) { file.append(reinterpret_cast<const char*>(&v), 4); };
    u32(quint32(14 + dib.size()));
    u32(0);
    u32(14 + 40);
    return file + dib;
}

// DROPFILES, then the file names as wide text, each ended by a NUL and the list by another.
QByteArray dropFiles() {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    return QByteArray(reinterpret_cast<const char*>(&header), sizeof header) + utf16z("C:\\顔文字.txt") +
           QByteArray(2, '\0');
}

QString custom(const QString& value) {
    return QStringLiteral("application/x-qt-windows-mime;value=\"%1\"").arg(value);
}

// A snapshot's format as a failed comparison shows it.
QString described(const QString& name, const QByteArray& bytes) {
    return QStringLiteral("%1: %2").arg(name, QString::fromLatin1(bytes.toHex(' ')));
}

QStringList described(const std::vector<ClipboardFormat>& formats) {
    QStringList list;
    for (const ClipboardFormat& f : formats)
        list << described(QString::fromStdString(f.name), QByteArray::fromStdString(f.bytes));
    return list;
}

// Holds the clipboard open for a while, as another program that sets it does: from a window of a
// thread of its own (Wine lets a second OpenClipboard(NULL) in while a first one holds it).
struct ClipboardHolder {
    std::atomic<bool> opened = false;
    std::thread thread;
    explicit ClipboardHolder(int ms)
        : thread([this, ms] {
              HWND window =
                  CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
              opened = openClipboard(window);
              Sleep(DWORD(ms));
              CloseClipboard();
              DestroyWindow(window);
          }) {
        while (!opened)
            Sleep(1);
    }
    ~ClipboardHolder() { thread.join(); }
};

} // namespace

using Formats = QList<Format>;
Q_DECLARE_METATYPE(Format)

class WindowsDesktopTest : public QObject {
    Q_OBJECT
private slots:
    void init();

    void foreground_data();
    void foreground();
    void keys_data();
    void keys();
    void classNames_data();
    void classNames();
    void topmost_data();
    void topmost();
    void utilityWindowKeepsTheForeground();
    void frameAsQtMakesIt();
    void systemFacts();

    void readsTheClipboard_data();
    void readsTheClipboard();
    void clipboardHeldOpen_data();
    void clipboardHeldOpen();
    void givenBackThroughQt();
    void clipboardOwner();

    void foregroundNotices();

private:
    platform::WindowsDesktop desktop;
};

void WindowsDesktopTest::init() {
    QVERIFY(setClipboard({}));
}

// --- windows and keys ---

void WindowsDesktopTest::foreground_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("result");
    QTest::newRow("another window") << "other" << true;
    QTest::newRow("the window in front") << "front" << true;
    QTest::newRow("a closed window") << "closed" << false;
    QTest::newRow("no window") << "none" << false;
    QTest::newRow("a window the program cannot reach") << "unreachable" << false;
}

void WindowsDesktopTest::foreground() {
    QFETCH(QString, target);
    QFETCH(bool, result);
    Edit front, other;
    QVERIFY(desktop.setForegroundWindow(front.handle()));
    QCOMPARE(desktop.foregroundWindow(), front.handle());
    const WindowHandle window = target == "other"    ? other.handle()
                                : target == "front"  ? front.handle()
                                : target == "closed" ? closedWindow()
                                : target == "none"   ? 0
                                                     : platform::kUnreachableWindow;
    QCOMPARE(desktop.setForegroundWindow(window), result);
    QCOMPARE(desktop.foregroundWindow(), result ? window : front.handle());
}

void WindowsDesktopTest::keys_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("multiline");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("typed");
    // Japanese, and characters no cp932 has (Kannada, an emoji beyond the BMP).
    const QString kaomoji = QStringLiteral("(＾▽＾)ಠ_ಠ😀");
    QTest::newRow("^v pastes") << QStringList{"^v"} << false << true << kaomoji;
    QTest::newRow("+{INSERT} pastes") << QStringList{"+{INSERT}"} << false << true << kaomoji;
    QTest::newRow("^+v pastes in an edit") << QStringList{"^+v"} << false << true << kaomoji;
    QTest::newRow("a paste, {ENTER}, a paste")
        << QStringList{"^v", "{ENTER}", "^v"} << true << true << kaomoji + "\r\n" + kaomoji;
    QTest::newRow("{TAB} in a multiline edit") << QStringList{"{TAB}"} << true << true << "\t";
    QTest::newRow("%{kanji} types nothing") << QStringList{"%{kanji}"} << false << true << "";
    QTest::newRow("an unknown notation") << QStringList{"^q"} << false << false << "";
    QTest::newRow("Visual Basic's notation for Enter") << QStringList{"~"} << false << false << "";
}

void WindowsDesktopTest::keys() {
    QFETCH(QStringList, keys);
    QFETCH(bool, multiline);
    QFETCH(bool, sent);
    QFETCH(QString, typed);
    QVERIFY(setClipboard({{CF_UNICODETEXT, {}, utf16z(QStringLiteral("(＾▽＾)ಠ_ಠ😀"))}}));
    Edit edit(multiline);
    QVERIFY(desktop.setForegroundWindow(edit.handle()));
    for (const QString& k : keys)
        QCOMPARE(desktop.sendKeys(k.toStdString(), true), sent);
    QTRY_COMPARE_WITH_TIMEOUT(edit.text(), typed, kArrivalBoundMs);
    QTest::qWait(kNothingMoreMs);
    QCOMPARE(edit.text(), typed);
    // No modifier stays down.
    for (int key : {VK_CONTROL, VK_SHIFT, VK_MENU})
        QVERIFY((GetAsyncKeyState(key) & 0x8000) == 0);
}

void WindowsDesktopTest::classNames_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("an edit control") << "edit" << QStringList{"Edit"};
    QTest::newRow("a class named in Japanese") << "own" << QStringList{QStringLiteral("ぴこめの窓😀")};
    QTest::newRow("a closed window") << "closed" << QStringList{};
    QTest::newRow("no window") << "none" << QStringList{};
}

void WindowsDesktopTest::classNames() {
    QFETCH(QString, window);
    QFETCH(QStringList, names);
    WNDCLASSW own{};
    own.lpfnWndProc = DefWindowProcW;
    own.hInstance = GetModuleHandleW(nullptr);
    own.lpszClassName = L"ぴこめの窓😀";
    RegisterClassW(&own);
    Edit edit;
    HWND ownWindow = CreateWindowExW(0, own.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                     nullptr, own.hInstance, nullptr);
    const WindowHandle handle = window == "edit"     ? edit.handle()
                                : window == "own"    ? toHandle(ownWindow)
                                : window == "closed" ? closedWindow()
                                                     : 0;
    QStringList got;
    for (const std::string& name : desktop.windowClassNames(handle))
        got << QString::fromStdString(name);
    DestroyWindow(ownWindow);
    QCOMPARE(got, names);
}

void WindowsDesktopTest::topmost_data() {
    QTest::addColumn<bool>("on");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void WindowsDesktopTest::topmost() {
    QFETCH(bool, on);
    Edit edit;
    SetWindowPos(edit.hwnd, on ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    RECT before{}, after{};
    GetWindowRect(edit.hwnd, &before);
    QVERIFY(desktop.setTopmost(edit.handle(), on));
    QCOMPARE((GetWindowLongPtrW(edit.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
    GetWindowRect(edit.hwnd, &after);
    QVERIFY(IsWindowVisible(edit.hwnd));
    QVERIFY(EqualRect(&before, &after));
    QVERIFY(!desktop.setTopmost(closedWindow(), on));
}

void WindowsDesktopTest::utilityWindowKeepsTheForeground() {
    // The palette as Qt makes it: a window that takes no focus, marked as the palette is.
    QWindow palette;
    // A top-level QWidget's flags.
    palette.setFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                     Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint | Qt::WindowDoesNotAcceptFocus);
    palette.resize(200, 100);
    palette.setPosition(500, 300);
    desktop.markAsUtilityWindow(WindowHandle(palette.winId()));
    HWND hwnd = reinterpret_cast<HWND>(palette.winId());
    QCOMPARE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & (WS_EX_NOACTIVATE | WS_EX_APPWINDOW),
             LONG_PTR(WS_EX_NOACTIVATE | WS_EX_APPWINDOW));
    QCOMPARE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW, 0);
    palette.show();
    QVERIFY(QTest::qWaitForWindowExposed(&palette));
    Edit user;
    QVERIFY(desktop.setForegroundWindow(user.handle()));
    // A click in the palette. (Under Wine the caption is the window manager's, out of reach of
    // SendInput, and on a bare X server there is none.)
    RECT client{};
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&client), 2);
    SetCursorPos((client.left + client.right) / 2, (client.top + client.bottom) / 2);
    INPUT click[2]{};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    QCOMPARE(SendInput(2, click, sizeof(INPUT)), 2u);
    QTest::qWait(kNothingMoreMs);
    QCOMPARE(desktop.foregroundWindow(), user.handle());
}

void WindowsDesktopTest::frameAsQtMakesIt() {
    QWindow window;
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QMargins qt = window.frameMargins();
    const platform::FrameExtents predicted = desktop.predictedFrameExtents();
    QCOMPARE(QMargins(predicted.left, predicted.top, predicted.right, predicted.bottom), qt);
    QCOMPARE(desktop.captionHeightPixels(), GetSystemMetrics(SM_CYCAPTION));
}

void WindowsDesktopTest::systemFacts() {
    QCOMPARE(desktop.osFamily(), platform::OsFamily::WindowsNT);
    // Qt asks RtlGetVersion too.
    const auto os = QOperatingSystemVersion::current();
    QCOMPARE(int(desktop.osVersion()), os.majorVersion());
    QCOMPARE(qRound((desktop.osVersion() - os.majorVersion()) * 10), os.minorVersion());
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const platform::Rect area = desktop.workArea();
    QCOMPARE(QRect(area.left, area.top, area.width, area.height), available);
    SetCursorPos(123, 45);
    QCOMPARE(desktop.cursorPos(), (platform::Point{123, 45}));
    QVERIFY(std::uint32_t(GetTickCount() - desktop.tickCount()) < 100);
    QVERIFY(!desktop.openUrl(""));
}

// --- the clipboard ---

void WindowsDesktopTest::readsTheClipboard_data() {
    QTest::addColumn<Formats>("set");
    QTest::addColumn<QStringList>("read");
    const QString text = QStringLiteral("かおもじ (＾▽＾)ಠ_ಠ😀\r\nつぎ");
    const QByteArray html("Version:0.9\r\nStartHTML:0000000040\r\n<b>\xe9\xa1\x94</b>\0after its NUL", 56);
    const QByteArray rtf("{\\rtf1\\ansi x}");
    QTest::newRow("text, as UTF-8, without what Windows makes of it")
        << Formats{{CF_UNICODETEXT, {}, utf16z(text)}} << QStringList{described("text/plain", text.toUtf8())};
    QTest::newRow("text ends at its NUL")
        << Formats{{CF_UNICODETEXT, {}, utf16z("ab") + QByteArray("c\0d\0", 4)}}
        << QStringList{described("text/plain", "ab")};
    QTest::newRow("registered formats byte for byte, in the owner's order")
        << Formats{{0, "HTML Format", html}, {CF_UNICODETEXT, {}, utf16z(text)}, {0, "Rich Text Format", rtf}}
        << QStringList{described("HTML Format", html), described("text/plain", text.toUtf8()),
                       described("Rich Text Format", rtf)};
    QTest::newRow("a picture as a BMP file, without CF_BITMAP and CF_DIBV5")
        << Formats{{CF_DIB, {}, smallDib()}} << QStringList{described("image/bmp", asBmpFile(smallDib()))};
    QTest::newRow("files") << Formats{{CF_HDROP, {}, dropFiles()}}
                           << QStringList{described(custom("CF_HDROP"), dropFiles())};
    QTest::newRow("a registered name Qt takes for its own")
        << Formats{{0, "text/html", "<b>x</b>"}} << QStringList{described(custom("text/html"), "<b>x</b>")};
    QTest::newRow("what Qt registers beside a format it gives back")
        << Formats{{0, custom("CF_HDROP"), "x"}} << QStringList{};
    QTest::newRow("nothing") << Formats{} << QStringList{};
}

void WindowsDesktopTest::readsTheClipboard() {
    QFETCH(Formats, set);
    QFETCH(QStringList, read);
    QVERIFY(setClipboard(set));
    const auto snapshot = desktop.readClipboard(1000);
    QVERIFY(snapshot);
    QVERIFY(snapshot->complete);
    QCOMPARE(described(snapshot->formats), read);
}

void WindowsDesktopTest::clipboardHeldOpen_data() {
    QTest::addColumn<int>("heldMs");
    QTest::addColumn<int>("boundMs");
    QTest::addColumn<bool>("complete");
    QTest::newRow("briefly: read when it is free") << 50 << 1000 << true;
    QTest::newRow("past the bound: given up") << 1500 << 200 << false;
}

void WindowsDesktopTest::clipboardHeldOpen() {
    QFETCH(int, heldMs);
    QFETCH(int, boundMs);
    QFETCH(bool, complete);
    QVERIFY(setClipboard({{CF_UNICODETEXT, {}, utf16z("x")}}));
    ClipboardHolder holder(heldMs);
    QElapsedTimer took;
    took.start();
    const auto snapshot = desktop.readClipboard(boundMs);
    QVERIFY(took.elapsed() < boundMs + 100);
    QCOMPARE(snapshot->complete, complete);
    QCOMPARE(snapshot->formats.size(), std::size_t(complete ? 1 : 0));
}

void WindowsDesktopTest::givenBackThroughQt() {
    // The palette gives a snapshot back as mime data under the snapshot's names
    // (palette::mimeDataOffering); every format comes back as it was.
    const QByteArray html("Version:0.9\r\n<i>\xe3\x81\x8b</i>", 22);
    const QString text = QStringLiteral("かお😀\r\nもじ");
    const Formats formats = {{CF_UNICODETEXT, {}, utf16z(text)},    {0, "HTML Format", html},
                             {0, "Rich Text Format", "{\\rtf1 x}"}, {CF_DIB, {}, smallDib()},
                             {CF_HDROP, {}, dropFiles()},           {0, "text/html", "<b>y</b>"}};
    QVERIFY(setClipboard(formats));
    const auto before = desktop.readClipboard(1000);
    QVERIFY(before && before->complete);
    QCOMPARE(before->formats.size(), std::size_t(formats.size()));
    auto* data = new QMimeData;
    for (const ClipboardFormat& f : before->formats)
        data->setData(QString::fromStdString(f.name), QByteArray::fromStdString(f.bytes));
    QGuiApplication::clipboard()->setMimeData(data);
    for (const Format& f : formats)
        QCOMPARE(clipboardBytes(f.format()), f.bytes);
    const auto after = desktop.readClipboard(1000);
    QVERIFY(after && after->complete);
    QCOMPARE(described(after->formats), described(before->formats));
}

void WindowsDesktopTest::clipboardOwner() {
    QWindow window;
    QGuiApplication::clipboard()->setText(QStringLiteral("顔"));
    QCOMPARE(desktop.clipboardOwnedWith(WindowHandle(window.winId())), std::optional<bool>(true));
    QVERIFY(setClipboard({{CF_UNICODETEXT, {}, utf16z("nobody's")}}));
    QCOMPARE(desktop.clipboardOwnedWith(WindowHandle(window.winId())), std::optional<bool>(false));
}

// --- notices ---

void WindowsDesktopTest::foregroundNotices() {
    int calls = 0;
    if (platform::windows::runsUnderWine()) {
        // Wine raises no EVENT_SYSTEM_FOREGROUND: the program is told to ask at intervals …
        QVERIFY(!desktop.watchForeground([&] { ++calls; }));
        // … and the watch itself hears the event as Windows raises it, once for a burst.
        auto watch = platform::windows::ForegroundWatch::start([&] { ++calls; });
        QVERIFY(watch);
        Edit edit;
        for (int i = 0; i < 3; ++i)
            NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, edit.hwnd, OBJID_WINDOW, CHILDID_SELF);
        QTRY_COMPARE(calls, 1);
        QTest::qWait(kNothingMoreMs);
        QCOMPARE(calls, 1);
        return;
    }
    Edit a, b;
    QVERIFY(desktop.setForegroundWindow(a.handle()));
    QVERIFY(desktop.watchForeground([&] { ++calls; }));
    QVERIFY(desktop.setForegroundWindow(b.handle()));
    QTRY_VERIFY(calls >= 1);
    QVERIFY(desktop.watchForeground(nullptr));
    const int before = calls;
    QVERIFY(desktop.setForegroundWindow(a.handle()));
    QTest::qWait(kNothingMoreMs);
    QCOMPARE(calls, before);
}

QTEST_MAIN(WindowsDesktopTest)
#include "windows_desktop_test.moc"
