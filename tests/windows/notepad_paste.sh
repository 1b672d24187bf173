#!/usr/bin/env bash
# The Windows program end to end under Wine: the portable zip unpacked into a folder whose path is
# Japanese, a collection of cp932 CR LF files beside pikome.exe, and Wine's notepad as the window
# the user works in. One click on a palette button types the kaomoji into notepad, a double-click
# types it and presses Enter (CR LF in the edit control), and with "クリップボードは使わない"
# (Check3=1) the user's clipboard, Japanese text with a line break, comes back unchanged after
# each paste. "終了" ends the program, which saves its files (Check8=1): cp932 with CR LF, under
# their Japanese names in that folder.
#
# usage: notepad_paste.sh ZIP WIN_PROBE [LOCALE]
#   ZIP        build/windows/pikome-<version>-windows-x86_64.zip (cmake --build … --target windows_zip)
#   WIN_PROBE  tests/windows/win_probe.exe: the Win32 side (clipboard, foreground, notepad's text)
#   LOCALE     ja (default): Windows as a Japanese user has it (ja-JP, ANSI code page 932), from a
#              private ja_JP.UTF-8 locale that localedef makes; en: en-US, code page 1252 (no
#              program may rely on the ANSI code page for Japanese)
# Exits 77 (skipped) when Wine, the X tools or the zip are missing.
#
# Environment: E2E_ARTIFACTS (logs, screenshots; the Wine prefix, made once and kept there for
# later runs: about 700 MB), E2E_WINEPREFIX (a prefix to use instead; it must be this test's
# alone while it runs: its wineserver is ended at the start and at the end).
#
# Under Wine every Win32 window is an X11 window too: openbox frames them, xdotool activates and
# clicks them, and Windows screen coordinates are the X screen's. What X cannot see (the Windows
# clipboard, the Windows foreground window, an edit control's text) win_probe reads.
set -euo pipefail
zip=${1:-}
probe_exe=${2:-}
locale_choice=${3:-ja}
here=$(cd "$(dirname "$0")" && pwd)

skip() {
    echo "windows notepad_paste: $*: skipped" >&2
    exit 77
}
if [ -z "$zip" ] || [ -z "$probe_exe" ]; then
    echo "usage: notepad_paste.sh ZIP WIN_PROBE [ja|en]" >&2
    exit 2
fi
for tool in wine wineserver wineboot Xvfb openbox xdotool xwininfo xprop xdpyinfo unzip iconv; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
[ -f "$zip" ] || skip "there is no $zip (cmake --build build/windows --target windows_zip makes it)"
[ -f "$probe_exe" ] || { echo "windows notepad_paste: FAIL: there is no $probe_exe" >&2; exit 1; }
zip=$(realpath "$zip")
probe_exe=$(realpath "$probe_exe")

# shellcheck source=../e2e/lib.sh
source "$here/../e2e/lib.sh"
# The collection (KAOMOJI, AA_*, prepare_folder, write_cp932), click_entry and show_text.
# shellcheck source=../e2e/paste_lib.sh
source "$here/../e2e/paste_lib.sh"

# --- Wine's environment -------------------------------------------------------------------------
# The palette is a Windows program: Qt's platform is its own (lib.sh chose xcb for Linux programs).
unset QT_QPA_PLATFORM
export WINEPREFIX=${E2E_WINEPREFIX:-$E2E_ARTIFACTS/wineprefix}
export WINEARCH=win64
# Wine's own messages off for the helpers; the palette gets errors and crashes (below).
export WINEDEBUG=-all
# No Mono or Gecko to install (nothing here needs .NET or a browser), no menu entries written into
# the user's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine takes the Windows locale (the user locale and the ANSI code page) from the Unix one, and
# the character set of Unix file names and arguments from it too: it must be a UTF-8 locale that
# the C library has, or Japanese names break. ja_JP.UTF-8 is made into a folder of the test's own
# (LOCPATH) when the system lacks it. Only Wine's programs run in it (wine_env), not this script.
case $locale_choice in
ja)
    wine_env=(env -u LANGUAGE -u LC_CTYPE -u LC_MESSAGES LC_ALL=ja_JP.UTF-8)
    if ! LC_ALL=ja_JP.UTF-8 locale charmap 2>/dev/null | grep -qx UTF-8; then
        locales=$E2E_ARTIFACTS/locale
        if [ ! -d "$locales/ja_JP.UTF-8" ]; then
            command -v localedef >/dev/null || skip "no ja_JP.UTF-8 locale and no localedef to make one"
            mkdir -p "$locales"
            localedef -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >"$E2E_ARTIFACTS/localedef.log" 2>&1 ||
                skip "localedef could not make ja_JP.UTF-8 (the locales package holds its source)"
        fi
        wine_env+=(LOCPATH="$locales")
    fi
    ;;
en) wine_env=(env -u LANGUAGE -u LC_CTYPE -u LC_MESSAGES LC_ALL=C.UTF-8) ;;
*)
    echo "notepad_paste.sh: LOCALE is ja or en, not '$locale_choice'" >&2
    exit 2
    ;;
esac
wine() { "${wine_env[@]}" wine "$@"; }

# Every Wine program's output goes to a file, never to a pipe: Wine's helper processes
# (wineserver, services, explorer …) inherit the output of the program that started them and
# outlive it, and a reader of the pipe would wait for them forever.
probe_log=$E2E_ARTIFACTS/win_probe.log
: >"$probe_log"
# probe ARGS…: win_probe's answer on its standard output (a file given by the caller), its
# complaints in win_probe.log.
probe() { wine "$probe_exe" "$@" 2>>"$probe_log"; }
# probe_out ARGS…: prints what win_probe printed (through a file: see above).
probe_out() {
    local out=$E2E_TMP/probe.out status=0
    probe "$@" >"$out" || status=$?
    cat "$out"
    return "$status"
}

palette_log=
palette_pid=
# The palette's whole output and the Win32 windows on a failure: in CI they are the only account.
fail() {
    e2e_log "FAIL: $*"
    if [ -n "$palette_log" ] && [ -s "$palette_log" ]; then
        e2e_log "the palette's output ($palette_log):"
        tail -n 200 "$palette_log" >&2
    elif [ -n "$palette_log" ]; then
        e2e_log "the palette wrote nothing ($palette_log)"
    fi
    if [ -n "${DISPLAY:-}" ] && [ -n "${wine_running:-}" ]; then
        e2e_log "the visible Win32 windows:"
        probe_out windows | grep -F ' visible ' >&2 || true
    fi
    # The last of what win_probe said (the waits above it say "no window" until one comes).
    if [ -s "$probe_log" ]; then
        e2e_log "win_probe said last ($probe_log):"
        uniq -c "$probe_log" | tail -n 8 >&2
    fi
    exit 1
}

# Wine ends before the X server: the screenshot of a failure comes first, while its windows are
# still there, then every process of the prefix ends with its wineserver, then lib.sh's cleanup
# stops Xvfb and openbox.
wine_running=
wine_cleanup() {
    local status=$?
    trap - EXIT
    # Nothing here may end the cleanup early (errexit would, at the first failing step).
    set +e
    if [ -n "$wine_running" ]; then
        if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
            screenshot "failure-wine-$(date +%H%M%S).png" 2>/dev/null || true
        fi
        # Wine's programs end here: bash need not report each of them as killed.
        disown -a 2>/dev/null
        wineserver -k </dev/null >/dev/null 2>&1 || true
        timeout 10 wineserver -w </dev/null >/dev/null 2>&1 || true
    fi
    # lib.sh's cleanup takes the status from $?.
    (exit "$status")
    e2e_cleanup
}
trap wine_cleanup EXIT

e2e_start_desktop || fail "the X server or openbox did not start"
xdotool mousemove 1000 900

# A prefix left with a wineserver by a run that was killed would still talk to that run's X server.
mkdir -p "$(dirname "$WINEPREFIX")"
wineserver -k </dev/null >/dev/null 2>&1 || true
timeout 10 wineserver -w </dev/null >/dev/null 2>&1 || true
wine_running=1
# The server first (persistent: it stays for the test's whole run), then Wine's start-up programs
# (explorer for the desktop and the clipboard, services …), all with no output of ours; a new
# prefix is made here (about 10 s).
started=$(date +%s%N)
mkdir -p "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || fail "wineserver -p did not start for $WINEPREFIX"
"${wine_env[@]}" wineboot -i </dev/null >/dev/null 2>&1 || fail "wineboot -i failed in $WINEPREFIX"
e2e_log "Wine ready in $WINEPREFIX after $((($(date +%s%N) - started) / 1000000)) ms: $(probe_out locale)"

# --- the program unpacked into a Japanese path, with a collection beside it -------------------
unpacked=$E2E_TMP/unpacked
mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked" || fail "unzip could not unpack $zip"
exe=$(find "$unpacked" -name pikome.exe -print -quit)
[ -n "$exe" ] || fail "$zip holds no pikome.exe: $(unzip -l "$zip")"
folder="$E2E_TMP/ユーザー/ぴこめ 1.28"
mkdir -p "$(dirname "$folder")"
mv "$(dirname "$exe")" "$folder"
[ -f "$folder/platforms/qwindows.dll" ] || fail "the zip holds no platforms/qwindows.dll beside pikome.exe"
# Check3=1: the user's clipboard comes back after a paste. DoubleClick=1: Enter after a double-click.
# Check8=1: everything is saved at exit. (prepare_folder copies a program as "pikome": not here.)
program=$folder/pikome.exe prepare_folder "$folder" Check3=1 DoubleClick=1 Check8=1
rm "$folder/pikome"
# Page names in Japanese: read from cp932 at start-up, written back at exit. Page1..Page5 are
# written, Page6..Page10 kept as they are.
printf '%s\n' '[PageName]' 'Page1=にこにこ帳' 'Page6=ろくページ目' | write_cp932 "$E2E_TMP/pages.ini"
cat "$E2E_TMP/pages.ini" >>"$folder/設定.ini"
kaomoji_lines_before=$(iconv -f CP932 -t UTF-8 "$folder/顔文字.ini" | grep -cF "${KAOMOJI[0]}")
(cd "$folder" && find . -type f | LC_ALL=C sort) >"$E2E_TMP/files-before"

# --- notepad, the user's clipboard, notepad in front -------------------------------------------
e2e_spawn "${wine_env[@]}" wine "$WINEPREFIX/drive_c/windows/system32/notepad.exe" </dev/null >"$E2E_ARTIFACTS/notepad.log" 2>&1
notepad_pid=$E2E_LAST_PID
# wait_for_window_of PID [NAME]: the visible X window of the Wine process PID (Wine sets
# _NET_WM_PID; notepad's title is the locale's), whose title matches NAME if given.
_find_window_of() {
    local id
    for id in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        if [ -z "${2:-}" ] || xdotool getwindowname "$id" 2>/dev/null | grep -Eq "$2"; then
            _E2E_FOUND=$id
            return 0
        fi
    done
    return 1
}
wait_for_window_of() {
    wait_until 10 _find_window_of "$@" && echo "$_E2E_FOUND"
}
notepad_text=$E2E_TMP/notepad.txt
read_notepad() { probe text Notepad - >"$notepad_text"; }
wait_until 30 read_notepad || fail "notepad did not come up (see $E2E_ARTIFACTS/notepad.log)"
notepad_id=$(wait_for_window_of "$notepad_pid") || fail "notepad has no X window"
# Right of the palette (which stands at 100, 80), so that neither covers the other.
xdotool windowmove "$notepad_id" 600 100 windowsize "$notepad_id" 600 400
[ ! -s "$notepad_text" ] || fail "notepad did not start empty: $(show_file "$notepad_text")"

# The user's copy: Japanese with a CR LF, a character cp932 lacks (〜 U+301C, which cp932 turns
# into ～ U+FF5E) and one beyond the BMP, so that only a give-back of the very text passes.
user_text=$'ユーザーの控え 〜😀\r\n二行目 ①～'
printf '%s' "$user_text" >"$E2E_TMP/user-clipboard.txt"
probe clip-set - <"$E2E_TMP/user-clipboard.txt" || fail "win_probe could not set the clipboard"
clipboard=$E2E_TMP/clipboard.txt
_clipboard_is_users() { probe clip-get - >"$clipboard" && cmp -s "$clipboard" "$E2E_TMP/user-clipboard.txt"; }
_clipboard_is_users || fail "the clipboard holds $(show_file "$clipboard") right after win_probe set it"

# Notepad in front as a user's click puts it there: openbox activates its X window, Wine follows.
_notepad_in_front() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$notepad_id" ] && probe is-foreground Notepad; }
make_notepad_target() {
    timeout 5 xdotool windowactivate --sync "$notepad_id" >/dev/null 2>&1 || true
    wait_until 5 _notepad_in_front ||
        fail "notepad is not in front: X has $(xdotool getactivewindow getwindowname 2>&1), Windows $(probe_out windows | grep foreground)"
    # Nothing shows when the palette has noted the new foreground window (make_target's pause).
    sleep 0.5
}
make_notepad_target

# --- the palette --------------------------------------------------------------------------------
palette_log=$E2E_ARTIFACTS/pikome.log
touch "$E2E_TMP/before-start"
# Qt's messages go to the standard error, not the debugger, and the paste engine says what it does;
# Wine's own errors and a crash's backtrace come with them. (Wine hands no QT_ variable to a
# Windows program; WINEQT_… arrives without its WINE.)
e2e_spawn "${wine_env[@]}" WINEQT_FORCE_STDERR_LOGGING=1 WINEQT_LOGGING_RULES="pikome.paste.debug=true" \
    WINEDEBUG=fixme-all wine "$folder/pikome.exe" </dev/null >"$palette_log" 2>&1
palette_pid=$E2E_LAST_PID
palette_gone() { ! kill -0 "$palette_pid" 2>/dev/null; }
# A crash under Wine (its exception, the debugger's backtrace) or a failed assertion.
wine_trouble='Unhandled (exception|page fault)|err:seh|Backtrace:|ASSERT'
_palette_up() { palette_gone || probe client-rect ぴこめ >"$E2E_TMP/palette-rect"; }
wait_until 60 _palette_up || fail "the palette's window did not appear"
palette_gone && fail "the palette ended at its start"
palette_id=$(wait_for_window_of "$palette_pid" '^ぴこめ$') || fail "the palette has no X window"
# The palette places itself where 設定.ini says (1500, 1200 twips = 100, 80, its outer frame) once
# the window manager has framed it; before that its origin may still move. Placed: there, or
# (noted below) in one place at five looks in a row.
_palette_placed() {
    probe window-rect ぴこめ >"$E2E_TMP/palette-frame" || return 1
    local frame
    frame=$(cat "$E2E_TMP/palette-frame")
    [ "$(cut -d' ' -f1-2 <<<"$frame")" = "100 80" ] && return 0
    if [ "$frame" = "${last_frame:-}" ]; then
        same_looks=$((same_looks + 1))
    else
        last_frame=$frame same_looks=1
    fi
    [ "$same_looks" -ge 5 ]
}
same_looks=0
wait_until 10 _palette_placed || fail "the palette's window does not stay in one place: $(cat "$E2E_TMP/palette-frame")"
[ "$(cut -d' ' -f1-2 "$E2E_TMP/palette-frame")" = "100 80" ] ||
    e2e_log "note: the palette's window stands at $(cat "$E2E_TMP/palette-frame"), not at 100 80 as 設定.ini says"
probe client-rect ぴこめ >"$E2E_TMP/palette-rect" || fail "the palette's window went away"
read -r palette_x palette_y palette_width palette_height <"$E2E_TMP/palette-rect"
e2e_log "palette: client area $palette_x,$palette_y ${palette_width}x$palette_height," \
    "window $(cat "$E2E_TMP/palette-frame"), X frame $(outer_frame_geometry "$palette_id")"
# The clicks go to Windows screen points, which Wine takes as the X screen's: its X window starts
# where Windows has the window (Wine draws the frame) or its client area (openbox draws it).
x11_info=$(xwininfo -id "$palette_id")
x11_x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$x11_info")
x11_y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$x11_info")
read -r frame_x frame_y _ <"$E2E_TMP/palette-frame"
if [ "$x11_x $x11_y" != "$frame_x $frame_y" ] && [ "$x11_x $x11_y" != "$palette_x $palette_y" ]; then
    e2e_log "note: Wine has the palette at $frame_x,$frame_y (client $palette_x,$palette_y), X at" \
        "$x11_x,$x11_y: the clicks may miss"
fi
if ! _notepad_in_front; then
    e2e_log "note: the palette took the foreground at its start (X: $(xdotool getactivewindow getwindowname 2>&1)," \
        "Windows: $(probe_out windows | grep foreground)); notepad is made the target again"
fi
make_notepad_target

notepad_is() { read_notepad && [ "$(cat "$notepad_text"; echo .)" = "$1." ]; }
# The paste is done when notepad has the text; the clipboard comes back right after.
wait_for_notepad() {
    local expected=$1 what=$2
    wait_until 5 notepad_is "$expected" ||
        fail "$what: notepad holds $(show_file "$notepad_text"), expected $(show_text "$expected")"
    wait_until 3 _clipboard_is_users ||
        fail "$what: the clipboard holds $(show_file "$clipboard") after the paste, not the user's $(show_text "$user_text")"
}

# --- one click: the kaomoji ----------------------------------------------------------------------
clicked=$(date +%s%N)
click_entry 0
expected=${KAOMOJI[0]}
wait_for_notepad "$expected" "a click on entry 0"
e2e_log "notepad has ${KAOMOJI[0]} $((($(date +%s%N) - clicked) / 1000000)) ms after the click; the clipboard is the user's again"
screenshot notepad-click.png 2>/dev/null || true

# The palette never takes the focus: the user types on in notepad.
still_in_front() {
    _notepad_in_front ||
        fail "$1: notepad is no longer in front: X has $(xdotool getactivewindow getwindowname 2>&1)," \
            "Windows $(probe_out windows | grep foreground)"
}
still_in_front "after a click"

# --- a double-click: the kaomoji once and Enter ------------------------------------------------
click_entry 1 2
expected+=${KAOMOJI[1]}$'\r\n'
wait_for_notepad "$expected" "a double-click on entry 1"
# Long enough for a stray second paste or key (each takes 220 ms + 100 ms) to show.
sleep 0.8
notepad_is "$expected" || fail "more arrived after the double-click: $(show_file "$notepad_text")"
_clipboard_is_users || fail "the clipboard changed after the double-click: $(show_file "$clipboard")"
still_in_front "after a double-click"
e2e_log "a double-click typed ${KAOMOJI[1]} and Enter (CR LF); the clipboard is the user's again; notepad kept the focus"
screenshot notepad-double-click.png 2>/dev/null || true

grep -Eq "$wine_trouble" "$palette_log" &&
    fail "the palette's output reports trouble"

# --- 終了: the program ends and saves -----------------------------------------------------------
# "終了" (client twips 0, 6540, 1095 x 315), as on Linux.
_pause_before_click
xdotool mousemove $((palette_x + 547 / 15)) $((palette_y + (6540 + 157) / 15)) click 1
wait_until 15 palette_gone || fail "the palette did not end on 終了"
status=0
wait "$palette_pid" 2>/dev/null || status=$?
[ "$status" -eq 0 ] || fail "the palette ended with status $status"
grep -Eq "$wine_trouble" "$palette_log" &&
    fail "the palette's output reports trouble"
e2e_log "終了 ended the palette"

# What the palette saved, for a look after the run (the folder goes with E2E_TMP).
mkdir -p "$E2E_ARTIFACTS/saved"
cp -r "$folder/設定.ini" "$folder/顔文字.ini" "$folder/AA" "$E2E_ARTIFACTS/saved/" 2>/dev/null || true

# The files keep their names: nothing new appeared beside them (no name spelled another way, no
# temporary file left over).
(cd "$folder" && find . -type f | LC_ALL=C sort) >"$E2E_TMP/files-after"
cmp -s "$E2E_TMP/files-before" "$E2E_TMP/files-after" ||
    fail "the folder's files changed: $(diff "$E2E_TMP/files-before" "$E2E_TMP/files-after" | grep '^[<>]' | tr '\n' ' ')"

# cp932 and CR LF: every line ends in CR LF (no lone CR or LF, the last line too), the bytes read
# as cp932 and, since they hold Japanese, not as UTF-8.
is_windows_text() {
    local file=$1 lf cr crlf
    lf=$(tr -cd '\n' <"$file" | wc -c)
    cr=$(tr -cd '\r' <"$file" | wc -c)
    crlf=$(grep -c $'\r$' "$file" || true)
    { [ "$lf" -gt 0 ] && [ "$lf" -eq "$crlf" ] && [ "$cr" -eq "$lf" ]; } ||
        fail "$file: $lf LF, $cr CR, $crlf lines ending in CR: not CR LF throughout"
    [ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' \n')" = 0d0a ] || fail "$file does not end in CR LF"
    iconv -f CP932 -t UTF-8 <"$file" >/dev/null 2>&1 || fail "$file is not cp932"
    ! iconv -f UTF-8 -t UTF-8 <"$file" >/dev/null 2>&1 || fail "$file reads as UTF-8: its Japanese is not cp932"
}
decoded() { iconv -f CP932 -t UTF-8 <"$1" | tr -d '\r'; }

settings=$folder/設定.ini
[ "$settings" -nt "$E2E_TMP/before-start" ] || fail "設定.ini was not saved at exit"
is_windows_text "$settings"
decoded "$settings" >"$E2E_TMP/settings.txt"
for line in 'Page1=にこにこ帳' 'Page2=ページ２' 'Page6=ろくページ目' 'Check3=1' 'DoubleClick=1'; do
    grep -qxF "$line" "$E2E_TMP/settings.txt" ||
        fail "設定.ini has no line '$line': $(show_file "$E2E_TMP/settings.txt")"
done
e2e_log "設定.ini saved: cp932, CR LF, its Japanese page names kept;" \
    "$(grep -E '^Form1(Left|Top|Width)=' "$E2E_TMP/settings.txt" | tr '\n' ' ')(read: 1500 1200 5100)"

kaomoji_file=$folder/顔文字.ini
[ "$kaomoji_file" -nt "$E2E_TMP/before-start" ] || fail "顔文字.ini was not saved at exit"
is_windows_text "$kaomoji_file"
decoded "$kaomoji_file" >"$E2E_TMP/kaomoji.txt"
[ "$(wc -l <"$E2E_TMP/kaomoji.txt")" -eq 3400 ] || fail "顔文字.ini has $(wc -l <"$E2E_TMP/kaomoji.txt") lines, not 3400"
{ [ "$(sed -n 1p "$E2E_TMP/kaomoji.txt")" = にこにこ ] && [ "$(sed -n 21p "$E2E_TMP/kaomoji.txt")" = "${KAOMOJI[0]}" ]; } ||
    fail "顔文字.ini lost its groups or entries: line 1 '$(sed -n 1p "$E2E_TMP/kaomoji.txt")', line 21 '$(sed -n 21p "$E2E_TMP/kaomoji.txt")'"
# The single click went into the history, the double-click did not.
kaomoji_lines_after=$(grep -cF "${KAOMOJI[0]}" "$E2E_TMP/kaomoji.txt")
[ "$kaomoji_lines_after" -eq $((kaomoji_lines_before + 1)) ] ||
    fail "顔文字.ini holds ${KAOMOJI[0]} $kaomoji_lines_after times, expected $((kaomoji_lines_before + 1)) (history)"
is_windows_text "$folder/AA/AAOptions.ini"
grep -qxF "Name_0=$AA_NAME" <(decoded "$folder/AA/AAOptions.ini") || fail "AA/AAOptions.ini lost Name_0=$AA_NAME"
e2e_log "顔文字.ini and AA/AAOptions.ini saved: cp932, CR LF, the history holds the click"

kill -0 "$notepad_pid" 2>/dev/null || fail "notepad ended"
echo "windows notepad_paste ($locale_choice): passed"
