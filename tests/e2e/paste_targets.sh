#!/usr/bin/env bash
# One click on the real palette types its entry into the window the user was working in: a Qt
# window and a GTK one (zenity) get Japanese kaomoji exactly, the Qt window gets a multi-line
# ASCII art with its CR LF pairs as line breaks, and a double-click pastes once and presses Enter
# without going into the history.
# usage: paste_targets.sh PROGRAM RECEIVER      (exits 77, "skipped", without zenity)
set -euo pipefail
program=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

if ! command -v zenity >/dev/null; then
    e2e_log "zenity is not installed: skipped"
    exit 77
fi

e2e_start_desktop
# Away from every window, so no hover effect or tooltip is in the way.
xdotool mousemove 1000 900

prepare_folder "$E2E_TMP/app"
start_palette "$E2E_TMP/app" || fail "the palette did not appear"

key_names() { cut -f1 "$1" | paste -sd' '; }
# Long enough for a stray second paste or key (each takes 220 ms + 100 ms) to show.
quiet() { sleep 0.8; }

# --- Qt: two kaomoji, one after the other -------------------------------------------------
start_receiver qt-target || fail "the Qt receiver did not appear"
make_target "$receiver_id"
started=$(date +%s%N)
click_entry 0
expected=${KAOMOJI[0]}
wait_file_is "$receiver_text" "$expected" 3 ||
    fail "Qt receiver: expected $(show_text "$expected"), got $(show_file "$receiver_text")"
e2e_log "Qt receiver has ${KAOMOJI[0]} $((($(date +%s%N) - started) / 1000000)) ms after the click"
screenshot paste-into-receiver.png

click_entry 1
expected+=${KAOMOJI[1]}
wait_file_is "$receiver_text" "$expected" 3 ||
    fail "Qt receiver: expected $(show_text "$expected"), got $(show_file "$receiver_text")"

# --- Qt: the ASCII art, with the line breaks before and after it ------------------------------
click_aa
click_entry 0
art=$(printf '%s\n' "${AA_LINES[@]}")
expected+=$'\n'$art$'\n'
wait_file_is "$receiver_text" "$expected" 3 ||
    fail "ASCII art: expected $(show_text "$expected"), got $(show_file "$receiver_text")"
quiet
_file_is "$receiver_text" "$expected" || fail "more arrived after the ASCII art: $(show_file "$receiver_text")"
# Single clicks: one paste keystroke each, nothing else (no Enter, and no input-mode key with Check7=1).
[ "$(key_names "$receiver_keys")" = "Ctrl+V Ctrl+V Ctrl+V" ] ||
    fail "Qt receiver got the keys '$(key_names "$receiver_keys")', expected three Ctrl+V"
# The receiver turns lone LFs into line breaks too; the clipboard, which the paste leaves as it
# was pasted (Check3=0), shows that the lines went out joined by CR LF, with CR LF around them.
xclip -o -selection clipboard >"$E2E_TMP/clipboard.txt"
printf -v expected_bytes '%s\r\n' '' "${AA_LINES[@]}"
_file_is "$E2E_TMP/clipboard.txt" "$expected_bytes" ||
    fail "the ASCII art went out as $(show_file "$E2E_TMP/clipboard.txt"), expected $(show_text "$expected_bytes")"
screenshot paste-ascii-art.png
e2e_log "Qt receiver: two kaomoji and the ASCII art arrived exactly"
click_group 0

# --- Qt: double-click = one paste and Enter -----------------------------------------------
start_receiver qt-double || fail "the second Qt receiver did not appear"
make_target "$receiver_id"
click_entry 2 2
expected=${KAOMOJI[2]}$'\n'
wait_file_is "$receiver_text" "$expected" 3 ||
    fail "double-click: expected $(show_text "$expected"), got $(show_file "$receiver_text")"
quiet
_file_is "$receiver_text" "$expected" || fail "double-click pasted more: $(show_file "$receiver_text")"
[ "$(key_names "$receiver_keys")" = "Ctrl+V Return" ] ||
    fail "double-click sent '$(key_names "$receiver_keys")', expected 'Ctrl+V Return'"
e2e_log "Qt receiver: a double-click pasted once and pressed Enter"

# --- GTK: a single click, then the test presses Enter to read the entry ----------------------
_zenity_done() { ! kill -0 "$zenity_pid" 2>/dev/null; }
start_zenity gtk-target || fail "zenity did not appear"
make_target "$zenity_id"
click_entry 1
# The entry cannot be read from outside: leave the paste (about 0.35 s) ample time, then submit.
sleep 1.5
_is_active "$zenity_id" || fail "zenity is not the active window after the paste"
xdotool key Return
wait_until 5 _zenity_done || fail "zenity did not take Enter"
expected=${KAOMOJI[1]}$'\n'
_file_is "$zenity_out" "$expected" ||
    fail "zenity: expected $(show_text "$expected"), got $(show_file "$zenity_out")"
e2e_log "zenity got ${KAOMOJI[1]}"

# --- GTK: the double-click's Enter submits the dialog ----------------------------------------
start_zenity gtk-double || fail "the second zenity did not appear"
make_target "$zenity_id"
click_entry 0 2
wait_until 5 _zenity_done || fail "zenity was not submitted by the double-click's Enter"
expected=${KAOMOJI[0]}$'\n'
_file_is "$zenity_out" "$expected" ||
    fail "zenity double-click: expected $(show_text "$expected"), got $(show_file "$zenity_out")"
e2e_log "zenity: the double-click pasted ${KAOMOJI[0]} and submitted"

# --- the history keeps single-click pastes only ---------------------------------------------
start_receiver qt-history || fail "the third Qt receiver did not appear"
make_target "$receiver_id"
click_entry 3
expected=${KAOMOJI[3]}
wait_file_is "$receiver_text" "$expected" 3 || fail "history: got $(show_file "$receiver_text")"
click_entry 2 2
expected+=${KAOMOJI[2]}$'\n'
wait_file_is "$receiver_text" "$expected" 3 || fail "history: got $(show_file "$receiver_text")"
click_entry 4
expected+=${KAOMOJI[4]}
wait_file_is "$receiver_text" "$expected" 3 || fail "history: got $(show_file "$receiver_text")"
# The "履歴" tab, first of the ten that share the strip (left 0, top 420, 4950 wide, 300 high):
# its entries are the latest pastes, newest first, so entry 1 is the one before the last.
read -r x y <<<"$(_twips_point 0 420 495 300)"
_pause_before_click
xdotool mousemove "$x" "$y" click 1
click_entry 1
expected+=${KAOMOJI[3]}
if ! wait_file_is "$receiver_text" "$expected" 3; then
    fail "history entry 1 pasted $(show_file "$receiver_text"), expected $(show_text "$expected")" \
        "(${KAOMOJI[2]} there: the double-click went into the history)"
fi
e2e_log "the history holds ${KAOMOJI[4]} ${KAOMOJI[3]}, not the double-clicked ${KAOMOJI[2]}"

palette_healthy || fail "the palette is not healthy"
echo "e2e paste_targets: passed"
