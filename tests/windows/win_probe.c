/* win_probe: what the Windows end-to-end test (notepad_paste.sh) needs to see and do on the Win32
 * side under Wine, where X11 tools see only X windows: the clipboard, the foreground window, a
 * window's client area and an edit control's text.
 *
 *   win_probe clip-set FILE        the clipboard holds FILE's text (UTF-8) as CF_UNICODETEXT alone
 *   win_probe clip-get FILE        FILE gets the clipboard's CF_UNICODETEXT as UTF-8 (status 3: none)
 *   win_probe clip-formats         the formats the clipboard offers, one a line
 *   win_probe text CLASS FILE      FILE gets the text of the "Edit" child of the visible top-level
 *                                  window of class CLASS, as UTF-8, line breaks as they are (CR LF)
 *   win_probe foreground CLASS     brings that window to the foreground; status 0 once it is there
 *   win_probe is-foreground CLASS  status 0 when the foreground window is of class CLASS
 *   win_probe client-rect TITLE    "x y width height": the client area, in screen pixels, of the
 *                                  visible top-level window titled TITLE
 *   win_probe window-rect TITLE    "x y width height": that window's outer frame (GetWindowRect)
 *   win_probe close TITLE          posts WM_CLOSE to that window
 *   win_probe windows              every top-level window: handle, process, visible, class, title
 *   win_probe locale               the code pages and the user's locale Wine gives programs
 *
 * FILE "-" is the standard input or output. Arguments are taken as the command line's wide text
 * (Wine makes it from the Unix arguments in the locale's character set: run under a UTF-8 locale).
 * Status: 0 done, 1 failed (a line on the standard error says why), 2 bad usage, 3 nothing found.
 * A console program: under Wine its standard handles are the Unix ones it was started with. */
#define WIN32_LEAN_AND_MEAN
#define UNICODE
#define _UNICODE
#include <windows.h>
#include <shellapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

enum { DONE = 0, FAILED = 1, USAGE = 2, NOT_FOUND = 3 };

/* OpenClipboard fails while another program has it open (the palette, or Wine's own bridge to the
 * X11 clipboard): up to 100 tries, 20 ms apart. */
enum { CLIPBOARD_TRIES = 100, CLIPBOARD_RETRY_MS = 20 };
/* A window that does not answer a message within this time counts as hung. */
enum { MESSAGE_TIMEOUT_MS = 5000 };
/* Bringing a window forward: checked every 20 ms, up to 3 s. */
enum { FOREGROUND_TRIES = 150, FOREGROUND_RETRY_MS = 20 };

static void say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    fputs("win_probe: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    fflush(stderr);
    va_end(args);
}

/* UTF-16 to UTF-8, every code unit kept (a lone surrogate fails: the caller says so). */
static char* toUtf8(const wchar_t* text, int units, int* bytes) {
    if (units == 0) {
        *bytes = 0;
        return calloc(1, 1);
    }
    int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, units, NULL, 0, NULL, NULL);
    if (size <= 0)
        return NULL;
    char* out = malloc((size_t)size + 1);
    if (!out)
        return NULL;
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, units, out, size, NULL, NULL);
    out[size] = 0;
    *bytes = size;
    return out;
}

/* A wide text for a message on the standard error, as UTF-8 (a few at a time: rotating buffers). */
static const char* u8(const wchar_t* text) {
    static char buffers[4][1024];
    static int next = 0;
    char* out = buffers[next++ % 4];
    if (!text || !WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof buffers[0], NULL, NULL))
        strcpy(out, "?");
    return out;
}

static HANDLE openOutput(const wchar_t* name) {
    if (wcscmp(name, L"-") == 0)
        return GetStdHandle(STD_OUTPUT_HANDLE);
    return CreateFileW(name, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

static int writeAll(const wchar_t* name, const char* data, int size) {
    HANDLE file = openOutput(name);
    if (file == INVALID_HANDLE_VALUE || file == NULL) {
        say("cannot write %s (error %lu)", u8(name), GetLastError());
        return FAILED;
    }
    int ok = 1;
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(file, data, (DWORD)size, &written, NULL) || written == 0) {
            ok = 0;
            break;
        }
        data += written;
        size -= (int)written;
    }
    if (wcscmp(name, L"-") != 0)
        CloseHandle(file);
    if (!ok) {
        say("writing %s failed (error %lu)", u8(name), GetLastError());
        return FAILED;
    }
    return DONE;
}

static int writeText(const wchar_t* name, const wchar_t* text, int units) {
    int bytes = 0;
    char* utf8 = toUtf8(text, units, &bytes);
    if (!utf8) {
        say("the text is no valid UTF-16 (%d code units)", units);
        return FAILED;
    }
    int status = writeAll(name, utf8, bytes);
    free(utf8);
    return status;
}

/* The whole file (or standard input) as UTF-16; NULL on failure. */
static wchar_t* readText(const wchar_t* name, int* units) {
    HANDLE file = wcscmp(name, L"-") == 0
                      ? GetStdHandle(STD_INPUT_HANDLE)
                      : CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE || file == NULL) {
        say("cannot read %s (error %lu)", u8(name), GetLastError());
        return NULL;
    }
    size_t size = 0, capacity = 4096;
    char* data = malloc(capacity);
    for (;;) {
        if (size == capacity) {
            capacity *= 2;
            data = realloc(data, capacity);
        }
        DWORD got = 0;
        if (!ReadFile(file, data + size, (DWORD)(capacity - size), &got, NULL) || got == 0)
            break;
        size += got;
    }
    if (wcscmp(name, L"-") != 0)
        CloseHandle(file);
    int count = size ? MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, (int)size, NULL, 0) : 0;
    if (size && count <= 0) {
        say("%s is no valid UTF-8", u8(name));
        free(data);
        return NULL;
    }
    wchar_t* text = malloc(((size_t)count + 1) * sizeof(wchar_t));
    if (count)
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, data, (int)size, text, count);
    text[count] = 0;
    free(data);
    *units = count;
    return text;
}

static BOOL openClipboard(HWND owner) {
    for (int i = 0; i < CLIPBOARD_TRIES; i++) {
        if (OpenClipboard(owner))
            return TRUE;
        Sleep(CLIPBOARD_RETRY_MS);
    }
    say("the clipboard stays open elsewhere (error %lu)", GetLastError());
    return FALSE;
}

static int clipSet(const wchar_t* name) {
    int units = 0;
    wchar_t* text = readText(name, &units);
    if (!text)
        return FAILED;
    /* A window of our own owns the data while we run, as a program's copy would; the data stays on
     * the clipboard after the window is gone. */
    HWND owner = CreateWindowExW(0, L"STATIC", L"win_probe", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, ((size_t)units + 1) * sizeof(wchar_t));
    if (!memory) {
        say("out of memory");
        return FAILED;
    }
    memcpy(GlobalLock(memory), text, ((size_t)units + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    free(text);
    if (!openClipboard(owner))
        return FAILED;
    int status = DONE;
    if (!EmptyClipboard()) {
        say("EmptyClipboard failed (error %lu)", GetLastError());
        status = FAILED;
    } else if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        say("SetClipboardData failed (error %lu)", GetLastError());
        status = FAILED;
    }
    CloseClipboard();
    if (owner)
        DestroyWindow(owner);
    return status;
}

static int clipGet(const wchar_t* name) {
    if (!openClipboard(NULL))
        return FAILED;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data) {
        CloseClipboard();
        say("the clipboard holds no text");
        return NOT_FOUND;
    }
    const wchar_t* text = GlobalLock(data);
    size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    size_t units = 0;
    while (units < capacity && text[units])
        units++;
    int status = writeText(name, text, (int)units);
    GlobalUnlock(data);
    CloseClipboard();
    return status;
}

static int clipFormats(void) {
    if (!openClipboard(NULL))
        return FAILED;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        wchar_t formatName[256] = L"";
        GetClipboardFormatNameW(format, formatName, 256);
        printf("%u %s\n", format, u8(formatName));
    }
    CloseClipboard();
    fflush(stdout);
    return DONE;
}

struct Search {
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

static BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    struct Search* search = (struct Search*)parameter;
    if (!IsWindowVisible(window))
        return TRUE;
    wchar_t text[512];
    if (search->className) {
        if (!GetClassNameW(window, text, 512) || _wcsicmp(text, search->className) != 0)
            return TRUE;
    }
    if (search->title) {
        text[0] = 0;
        GetWindowTextW(window, text, 512);
        if (wcscmp(text, search->title) != 0)
            return TRUE;
    }
    search->found = window;
    return FALSE;
}

static HWND findTopLevel(const wchar_t* className, const wchar_t* title) {
    struct Search search = {className, title, NULL};
    EnumWindows(matchWindow, (LPARAM)&search);
    return search.found;
}

static int editText(const wchar_t* className, const wchar_t* name) {
    HWND window = findTopLevel(className, NULL);
    if (!window) {
        say("no visible window of class %s", u8(className));
        return NOT_FOUND;
    }
    HWND edit = FindWindowExW(window, NULL, L"Edit", NULL);
    if (!edit) {
        say("the window of class %s has no Edit child", u8(className));
        return NOT_FOUND;
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &length)) {
        say("the Edit control does not answer (error %lu)", GetLastError());
        return FAILED;
    }
    wchar_t* text = calloc((size_t)length + 1, sizeof(wchar_t));
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(edit, WM_GETTEXT, (WPARAM)length + 1, (LPARAM)text, SMTO_ABORTIFHUNG,
                             MESSAGE_TIMEOUT_MS, &copied)) {
        say("the Edit control does not answer (error %lu)", GetLastError());
        free(text);
        return FAILED;
    }
    int status = writeText(name, text, (int)copied);
    free(text);
    return status;
}

static BOOL isForeground(const wchar_t* className) {
    HWND foreground = GetForegroundWindow();
    wchar_t text[512];
    return foreground && GetClassNameW(foreground, text, 512) && _wcsicmp(text, className) == 0;
}

static int foreground(const wchar_t* className) {
    HWND window = findTopLevel(className, NULL);
    if (!window) {
        say("no visible window of class %s", u8(className));
        return NOT_FOUND;
    }
    for (int i = 0; i < FOREGROUND_TRIES; i++) {
        if (GetForegroundWindow() == window)
            return DONE;
        if (i % 10 == 0)
            SetForegroundWindow(window);
        Sleep(FOREGROUND_RETRY_MS);
    }
    wchar_t text[512] = L"";
    GetClassNameW(GetForegroundWindow(), text, 512);
    say("the window of class %s did not come to the foreground (it is %p, class %s)", u8(className),
        (void*)GetForegroundWindow(), u8(text));
    return FAILED;
}

static int clientRect(const wchar_t* title) {
    HWND window = findTopLevel(NULL, title);
    if (!window) {
        say("no visible window titled %s", u8(title));
        return NOT_FOUND;
    }
    RECT client;
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        say("the window's client area is unknown (error %lu)", GetLastError());
        return FAILED;
    }
    printf("%ld %ld %ld %ld\n", origin.x, origin.y, client.right - client.left, client.bottom - client.top);
    fflush(stdout);
    return DONE;
}

static int windowRect(const wchar_t* title) {
    HWND window = findTopLevel(NULL, title);
    if (!window) {
        say("no visible window titled %s", u8(title));
        return NOT_FOUND;
    }
    RECT rect;
    if (!GetWindowRect(window, &rect)) {
        say("the window's frame is unknown (error %lu)", GetLastError());
        return FAILED;
    }
    printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    fflush(stdout);
    return DONE;
}

static int showLocale(void) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = L"";
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    printf("ANSI code page %u, OEM code page %u, user locale %s\n", GetACP(), GetOEMCP(), u8(name));
    fflush(stdout);
    return DONE;
}

static int closeWindow(const wchar_t* title) {
    HWND window = findTopLevel(NULL, title);
    if (!window) {
        say("no visible window titled %s", u8(title));
        return NOT_FOUND;
    }
    if (!PostMessageW(window, WM_CLOSE, 0, 0)) {
        say("WM_CLOSE could not be posted (error %lu)", GetLastError());
        return FAILED;
    }
    return DONE;
}

static BOOL CALLBACK listWindow(HWND window, LPARAM parameter) {
    (void)parameter;
    wchar_t className[256] = L"", title[256] = L"";
    GetClassNameW(window, className, 256);
    GetWindowTextW(window, title, 256);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(window, &rect);
    int classBytes = 0, titleBytes = 0;
    char* classUtf8 = toUtf8(className, (int)wcslen(className), &classBytes);
    char* titleUtf8 = toUtf8(title, (int)wcslen(title), &titleBytes);
    printf("%p pid %lu %s %ld,%ld %ldx%ld class \"%s\" title \"%s\"%s\n", (void*)window, process,
           IsWindowVisible(window) ? "visible" : "hidden", rect.left, rect.top, rect.right - rect.left,
           rect.bottom - rect.top, classUtf8 ? classUtf8 : "?", titleUtf8 ? titleUtf8 : "?",
           window == GetForegroundWindow() ? " (foreground)" : "");
    free(classUtf8);
    free(titleUtf8);
    return TRUE;
}

static int listWindows(void) {
    EnumWindows(listWindow, 0);
    fflush(stdout);
    return DONE;
}

int main(void) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2)
        goto usage;
    const wchar_t* command = argv[1];
    if (argc == 3 && wcscmp(command, L"clip-set") == 0)
        return clipSet(argv[2]);
    if (argc == 3 && wcscmp(command, L"clip-get") == 0)
        return clipGet(argv[2]);
    if (argc == 2 && wcscmp(command, L"clip-formats") == 0)
        return clipFormats();
    if (argc == 4 && wcscmp(command, L"text") == 0)
        return editText(argv[2], argv[3]);
    if (argc == 3 && wcscmp(command, L"foreground") == 0)
        return foreground(argv[2]);
    if (argc == 3 && wcscmp(command, L"is-foreground") == 0)
        return isForeground(argv[2]) ? DONE : FAILED;
    if (argc == 3 && wcscmp(command, L"client-rect") == 0)
        return clientRect(argv[2]);
    if (argc == 3 && wcscmp(command, L"window-rect") == 0)
        return windowRect(argv[2]);
    if (argc == 2 && wcscmp(command, L"locale") == 0)
        return showLocale();
    if (argc == 3 && wcscmp(command, L"close") == 0)
        return closeWindow(argv[2]);
    if (argc == 2 && wcscmp(command, L"windows") == 0)
        return listWindows();
usage:
    fputs("usage: win_probe clip-set FILE | clip-get FILE | clip-formats | text CLASS FILE |\n"
          "       foreground CLASS | is-foreground CLASS | client-rect TITLE | window-rect TITLE |\n"
          "       close TITLE | windows | locale\n",
          stderr);
    return USAGE;
}
