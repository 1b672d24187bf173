#!/usr/bin/env bash
# The palette follows the real desktop on its notices and sleeps in between (Xvfb, openbox):
#  1. auto-hide, the pointer moved as a device moves it (xte: XTest) and as a program warps it
#     (xdotool), in and out through corners and the margin that reaches outside the window;
#     after each move the palette's main thread falls asleep;
#  2. the target: the window last active, also when it closes while it is the target;
#  3. after a window manager restart (new frames): auto-hide, the target and the band still hold.
# The clock shows the date only, so an idle palette has nothing to wake for.
# usage: desktop_notices.sh PROGRAM RECEIVER
set -euo pipefail
program=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/paste_lib.sh"

# How long nothing must arrive for "nothing was pasted": a paste takes 0.35 s at most here.
quiet=1

e2e_start_desktop
folder=$E2E_TMP/notices
prepare_folder "$folder" Check1=1 Time=0
# A left margin of 20 pixels: the palette counts the pointer as over it from 20 pixels left of
# its frame on.
printf '[MouseOptions]\r\nMouseX=9980\r\n' >>"$folder/設定.ini"
xdotool mousemove 1200 1000
start_palette "$folder" || fail "the palette did not start"

frame_top() { xprop -id "$palette_id" -notype _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ',' | awk '{print $3}'; }
outer_height() { read -r _ _ _ h <<<"$(outer_frame_geometry "$palette_id")"; echo "$h"; }
is_height() { [ "$(outer_height)" = "$1" ]; }
main_thread_switches() { awk '/^voluntary_ctxt_switches/ {print $2}' "/proc/$palette_pid/task/$palette_pid/status"; }
# Asleep: the main thread did not wake once in 300 ms (it would four times asking the pointer).
_asleep() {
    local before
    before=$(main_thread_switches)
    sleep 0.3
    [ "$(main_thread_switches)" = "$before" ]
}
shrunk=
expanded=
geometry() {
    local top
    top=$(frame_top)
    shrunk=$((top + 450 / 15))
    expanded=$((top + (7000 + 7) / 15))
    read -r L T W _ <<<"$(outer_frame_geometry "$palette_id")"
}

# One move a line: TOOL X Y HEIGHT WHAT, X and Y relative to the frame's left and top (L, T,
# width W; S and E are the shrunk and expanded heights).
moves() {
    cat <<'EOF'
xte     600   600   S  far away
xte     -10   10    E  into the left margin, outside the frame
xte     -21   10    S  just left of the margin
xte     W-1   S-1   E  onto the bottom-right pixel, from outside
xte     W     E     S  out through the bottom-right corner
xdotool 40    8     E  a warp onto the caption
xdotool -21   -1    S  a warp out through the top-left corner
xdotool 200   S-5   E  a warp into the window
xdotool 600   600   S  a warp far away
EOF
}
point() { # expression with L T W S E -> number
    local e=${1//W/$W}
    e=${e//S/$shrunk}
    e=${e//E/$expanded}
    echo $((e))
}
run_moves() {
    local label=$1 tool dx dy height what x y want
    geometry
    while read -r tool dx dy height what; do
        x=$((L + $(point "$dx")))
        y=$((T + $(point "$dy")))
        want=$shrunk
        [ "$height" = E ] && want=$expanded
        if [ "$tool" = xte ]; then xte "mousemove $x $y"; else xdotool mousemove "$x" "$y"; fi
        wait_until 3 is_height "$want" ||
            fail "$label: $what ($tool to $x,$y): the palette is $(outer_height) high, expected $want"
        wait_until 5 _asleep || fail "$label: $what: the palette keeps waking up"
    done < <(moves)
    e2e_log "$label: auto-hide followed $(moves | wc -l) moves, asleep after each"
}

# --- 1. Auto-hide ------------------------------------------------------------------------------
geometry
wait_until 3 is_height "$shrunk" || fail "the palette did not shrink at start"
run_moves "auto-hide"

# --- 2. The target -----------------------------------------------------------------------------
# Auto-hide is on: the pointer first grows the palette, then clicks.
click_entry_shown() {
    xdotool mousemove $((L + 40)) $((T + 8))
    wait_until 3 is_height "$expanded" || fail "the palette did not grow for the click"
    click_entry "$1"
}
start_receiver "target-a"
a_id=$receiver_id a_text=$receiver_text
start_receiver "target-b"
b_id=$receiver_id b_pid=$receiver_pid b_text=$receiver_text
make_target "$a_id"
click_entry_shown 0
wait_file_is "$a_text" "${KAOMOJI[0]}" 5 || fail "a got $(show_file "$a_text")"
make_target "$b_id"
click_entry_shown 1
wait_file_is "$b_text" "${KAOMOJI[1]}" 5 || fail "b got $(show_file "$b_text")"
# b closes while it is the target: the next click goes where the window manager put the focus,
# or nowhere when it put it on no window.
kill -TERM "$b_pid"
wait "$b_pid" 2>/dev/null || true
_b_gone() { ! xwininfo -id "$b_id" >/dev/null 2>&1; }
wait_until 5 _b_gone || fail "b did not close"
active_window() { xdotool getactivewindow 2>/dev/null || echo none; }
_focus_moved_on() { [ "$(active_window)" != "$b_id" ]; }
wait_until 5 _focus_moved_on || fail "openbox still names the closed b active"
active=$(active_window)
click_entry_shown 2
if [ "$active" = "$a_id" ]; then
    wait_file_is "$a_text" "${KAOMOJI[0]}${KAOMOJI[2]}" 5 || fail "after b closed, a got $(show_file "$a_text")"
    e2e_log "target: b closed while it was the target; the focus went to a, and so did the paste"
else
    sleep "$quiet"
    _file_is "$a_text" "${KAOMOJI[0]}" || fail "with no window active a got $(show_file "$a_text")"
    e2e_log "target: b closed while it was the target; no window active, nothing pasted"
fi
palette_healthy || fail "the palette did not survive its target closing"
make_target "$a_id"
click_entry_shown 3
wait_file_is "$a_text" "$(cat "$a_text")${KAOMOJI[3]}" 5 || fail "a got $(show_file "$a_text")"

# --- 3. A window manager restart ---------------------------------------------------------------
frame_before=$(xwininfo -tree -id "$palette_id" | awk '/Parent window id:/ {print $4}')
openbox --restart
_reframed() {
    local parent
    parent=$(xwininfo -tree -id "$palette_id" 2>/dev/null | awk '/Parent window id:/ {print $4}')
    [ -n "$parent" ] && [ "$parent" != "$frame_before" ] && [ "$(frame_top)" -gt 0 ] 2>/dev/null
}
wait_until 10 _reframed || fail "openbox did not frame the palette anew after its restart"
wait_until 3 has_state_above "$palette_id" || fail "the palette lost the always-on-top band in the restart"
run_moves "after the restart"
make_target "$a_id"
before=$(cat "$a_text")
click_entry_shown 4
wait_file_is "$a_text" "$before${KAOMOJI[4]}" 5 || fail "after the restart a got $(show_file "$a_text")"
palette_healthy || fail "the palette did not survive the restart"
e2e_log "window manager restart: framed anew, still on top, auto-hide and the target followed"
echo "e2e desktop_notices: passed"
