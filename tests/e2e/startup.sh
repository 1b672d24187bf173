#!/usr/bin/env bash
# The real program, copied into a folder of its own with prepared files, starts under Xvfb and
# openbox: its window "ぴこめ" stands at the stored position and width (the outer frame) and is
# always on top exactly when "常に手前に表示" is on; maximized and restored, it comes back to
# its place and width, and keeps that width. What stops or spoils a start is said in a
# message box, as well as on the standard error: a folder for the files that cannot be made (the
# start goes on), a running copy on the same files that does not answer (the start ends).
# Usage: startup.sh PROGRAM
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

fail() { e2e_log "FAIL: $*"; exit 1; }

# cp932 with CR LF, as the files come from Windows.
write_cp932() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$1"; }

prepare_folder() { # folder check0
    local folder=$1 check0=$2
    mkdir -p "$folder"
    cp "$program" "$folder/pikome"
    write_cp932 "$folder/設定.ini" <<INI
[Options]
Check0=$check0
Check6=1
PageNumber=0
[Form]
Form1Left=1500
Form1Top=1200
Form1Width=5100
[PageName]
Page1=よく使う顔
INI
    {
        printf '%s\n' 'にこにこ' 'びっくり' 'かなしい'
        for _ in $(seq 4 20); do echo; done
        printf '%s\n' '(^_^)' '(*^▽^*)' '(´・ω・｀)' '＼(^o^)／' '(；´Д｀)'
        for _ in $(seq 26 3400); do echo; done
    } | write_cp932 "$folder/顔文字.ini"
}

# Starts the program of a folder (not in a subshell: the pid must stay on the cleanup list)
# and sets id to its window once the window manager has framed it.
start_program() {
    local folder=$1
    e2e_spawn "$folder/pikome" >"$E2E_ARTIFACTS/pikome-$(basename "$folder").log" 2>&1
    program_pid=$E2E_LAST_PID
    id=$(wait_for_window_by_name '^ぴこめ$' 15 "$program_pid") || return 1
    framed() { xprop -id "$id" -notype _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
    wait_until 5 framed
}

# Expanded height: the caption (the frame's top extent) + 7000 twips, as whole pixels.
expanded_height() {
    local top
    top=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ',' | awk '{print $3}')
    echo $((top + (7000 + 7) / 15))
}

e2e_start_desktop
# The pointer rests where the palette will stand, so auto-hide keeps it expanded.
xdotool mousemove 200 200

# Always on top, at the stored place.
prepare_folder "$E2E_TMP/ontop" 1
start_program "$E2E_TMP/ontop" || fail "the palette did not appear"
expected="100 80 340"
geometry_matches() { read -r x y w _ <<<"$(outer_frame_geometry "$id")"; [ "$x $y $w" = "$expected" ]; }
if ! wait_until 5 geometry_matches; then
    fail "outer frame at $(outer_frame_geometry "$id"), expected x y width $expected"
fi
read -r _ _ _ height <<<"$(outer_frame_geometry "$id")"
[ "$height" = "$(expanded_height "$id")" ] || fail "outer height $height, expected $(expanded_height "$id")"
wait_until 5 has_state_above "$id" || fail "_NET_WM_STATE_ABOVE is not set with 常に手前に表示 on"
title=$(xprop -id "$id" -notype _NET_WM_NAME | sed -n 's/.* = "\(.*\)"/\1/p')
[ "$title" = "ぴこめ" ] || fail "title is '$title'"
screenshot startup-ontop.png
e2e_log "palette at $(outer_frame_geometry "$id"), always on top"

# Maximized and restored, as with the maximize box (openbox acts on the same request): back at
# its place and width, and the save at the end keeps that width, not the screen's.
is_maximized() { xprop -id "$id" -notype _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ; }
wmctrl -i -r "$id" -b add,maximized_vert,maximized_horz
wait_until 5 is_maximized || fail "the palette was not maximized"
screen_wide() { read -r _ _ w _ <<<"$(outer_frame_geometry "$id")"; [ "$w" -ge "$E2E_SCREEN_WIDTH" ]; }
wait_until 5 screen_wide || fail "maximized, the palette is $(outer_frame_geometry "$id")"
wmctrl -i -r "$id" -b remove,maximized_vert,maximized_horz
wait_until 5 geometry_matches || fail "restored, the palette is at $(outer_frame_geometry "$id"), expected $expected"
# The program's own rules could still act after the window manager's size came.
sleep 0.5
geometry_matches || fail "after the restore the palette moved to $(outer_frame_geometry "$id")"
read -r _ _ _ height <<<"$(outer_frame_geometry "$id")"
[ "$height" = "$(expanded_height "$id")" ] || fail "restored, outer height $height, expected $(expanded_height "$id")"
e2e_log "maximized and restored: back at $(outer_frame_geometry "$id")"
kill -TERM "$program_pid"
wait "$program_pid" 2>/dev/null || true
width_line=$(grep -a '^Form1Width=' "$E2E_TMP/ontop/設定.ini" | tr -d '\r')
[ "$width_line" = "Form1Width=5100" ] || fail "the save at the end wrote '$width_line', expected Form1Width=5100"
gone() { ! xwininfo -id "$id" >/dev/null 2>&1; }
wait_until 5 gone || fail "the first palette did not go away"

# An ordinary window with the option off.
prepare_folder "$E2E_TMP/normal" 0
start_program "$E2E_TMP/normal" || fail "the palette did not appear"
wait_until 5 geometry_matches || fail "outer frame at $(outer_frame_geometry "$id")"
sleep 0.5
if has_state_above "$id"; then fail "_NET_WM_STATE_ABOVE is set with 常に手前に表示 off"; fi
e2e_log "palette without always-on-top as configured"
kill -TERM "$program_pid"
wait "$program_pid" 2>/dev/null || true

# --- what a user started from the menu must see --------------------------------------------------
# A message box of the program: a dialog titled like it, before the palette or instead of it.
_box_shown() {
    local w
    for w in $(xdotool search --onlyvisible --name '^ぴこめ$' 2>/dev/null); do
        if xprop -id "$w" -notype _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q _NET_WM_WINDOW_TYPE_DIALOG; then
            box_id=$w
            return 0
        fi
    done
    return 1
}
_box_gone() { ! xwininfo -id "$box_id" 2>/dev/null | grep -q IsViewable; }
_copied() { timeout 1 xclip -o -selection clipboard -t UTF8_STRING >"$E2E_TMP/box.txt" 2>/dev/null && [ -s "$E2E_TMP/box.txt" ]; }
# expect_box WHAT TIMEOUT PATTERN...: a box comes within TIMEOUT s and its text (copied as a user
# would: a click into it, Ctrl+A, Ctrl+C) holds every PATTERN; then its OK (Enter) closes it.
expect_box() {
    local what=$1 timeout=$2 pattern
    shift 2
    wait_until "$timeout" _box_shown || fail "$what: no message box (stderr: $(cat "$E2E_TMP/start.err"))"
    xdotool mousemove --window "$box_id" 120 40 click 1 key ctrl+a ctrl+c
    wait_until 3 _copied || fail "$what: the message box's text could not be copied"
    for pattern in "$@"; do
        grep -qF "$pattern" "$E2E_TMP/box.txt" || fail "$what: the message box says $(tr '\n' ' ' <"$E2E_TMP/box.txt")"
    done
    xdotool key Return
    wait_until 3 _box_gone || fail "$what: Enter did not close the message box"
    e2e_log "$what: said in a message box: $(tr '\n' ' ' <"$E2E_TMP/box.txt")"
}

# An installed copy whose data folder cannot be made: the box names the reason, the palette
# starts after it (with nothing to read or save), and the standard error has its one line.
mkdir -p "$E2E_TMP/prefix/bin"
cp "$program" "$E2E_TMP/prefix/bin/pikome"
: >"$E2E_TMP/a-file"
ln -s "$E2E_TMP/nowhere/data" "$E2E_TMP/dangling"
for case in "a file:$E2E_TMP/a-file:Not a directory" "a dangling link:$E2E_TMP/dangling:No such file"; do
    IFS=: read -r what data reason <<<"$case"
    XDG_DATA_HOME=$data e2e_spawn "$E2E_TMP/prefix/bin/pikome" 2>"$E2E_TMP/start.err"
    program_pid=$E2E_LAST_PID
    expect_box "XDG_DATA_HOME $what" 15 "$reason" "$data/pikome"
    _palette_shown() { id=$(xdotool search --onlyvisible --name '^ぴこめ$' 2>/dev/null | head -n1) && [ -n "$id" ]; }
    wait_until 10 _palette_shown || fail "XDG_DATA_HOME $what: no palette after the message box"
    grep -q "cannot make the folder for your files" "$E2E_TMP/start.err" ||
        fail "XDG_DATA_HOME $what: stderr holds $(cat "$E2E_TMP/start.err")"
    kill -TERM "$program_pid"
    wait "$program_pid" 2>/dev/null || true
done

# A running copy that does not answer (stopped): the second start says so and ends with 1.
prepare_folder "$E2E_TMP/stopped" 0
start_program "$E2E_TMP/stopped" || fail "the palette did not appear"
first_pid=$program_pid
kill -STOP "$first_pid"
e2e_spawn "$E2E_TMP/stopped/pikome" 2>"$E2E_TMP/start.err"
second_pid=$E2E_LAST_PID
# It waits 5 s for an answer.
expect_box "a running copy that does not answer" 15 "応答しません" "$E2E_TMP/stopped"
_second_ended() { ! kill -0 "$second_pid" 2>/dev/null || [[ $(ps -o stat= -p "$second_pid") == Z* ]]; }
wait_until 5 _second_ended || fail "the second start still runs after its message box"
status=0
wait "$second_pid" || status=$?
[ "$status" -eq 1 ] || fail "the second start ended with $status, not 1"
grep -q "does not answer" "$E2E_TMP/start.err" || fail "stderr holds $(cat "$E2E_TMP/start.err")"
kill -CONT "$first_pid"
echo "e2e startup: passed"
