#!/usr/bin/env bash
# The paste options with the real palette and a Qt receiver: "クリップボードは使わない" (Check3)
# gives the user's clipboard back after the paste, and without it the kaomoji stays there;
# Check7=0 follows the paste with the input-mode key (Zenkaku_Hankaku), Check7=1 does not. A target window that has been
# closed since the palette noted it costs nothing: the palette lives on, leaves the clipboard
# alone, and the next window pastes as usual.
# usage: paste_options.sh PROGRAM RECEIVER
set -euo pipefail
program=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

e2e_start_desktop
xdotool mousemove 1000 900

key_names() { cut -f1 "$1" | paste -sd' '; }
clipboard_text() { timeout 2 xclip -o -selection clipboard 2>/dev/null; }
_clipboard_is() { [ "$(clipboard_text; echo .)" = "$1." ]; }

# The user's own clipboard: xclip in the foreground (-quiet) so that its pid is ours to stop; it
# ends by itself when another program takes the clipboard over.
own_clipboard() {
    local text=$1 file=$E2E_TMP/user-clipboard.txt
    printf %s "$text" >"$file"
    e2e_spawn xclip -quiet -selection clipboard -i "$file" >"$E2E_TMP/xclip.log" 2>&1
    wait_until 5 _clipboard_is "$text" || fail "xclip did not take the clipboard"
}

paste_and_check() { # entry expected-text
    click_entry "$1"
    wait_file_is "$receiver_text" "$2" 3 ||
        fail "expected $(show_text "$2"), got $(show_file "$receiver_text")"
}

user_text="user's text"

# --- Check3=1, Check7=0 ---------------------------------------------------------------------
prepare_folder "$E2E_TMP/keep" Check3=1 Check7=0
start_palette "$E2E_TMP/keep" || fail "the palette did not appear"
start_receiver keep-target || fail "the receiver did not appear"
own_clipboard "$user_text"
make_target "$receiver_id"
paste_and_check 0 "${KAOMOJI[0]}"
# The paste is done once the text is in; the clipboard comes back right after.
wait_until 3 _clipboard_is "$user_text" ||
    fail "with Check3=1 the clipboard holds '$(clipboard_text)' after the paste, not '$user_text'"
e2e_log "Check3=1: the kaomoji arrived and the clipboard holds the user's text again"
_input_mode_key_followed() { [ "$(key_names "$receiver_keys")" = "Ctrl+V Zenkaku Hankaku" ]; }
wait_until 2 _input_mode_key_followed ||
    fail "with Check7=0 the receiver got the keys '$(key_names "$receiver_keys")', expected 'Ctrl+V Zenkaku Hankaku'"
# The input-mode key itself must not type anything.
_file_is "$receiver_text" "${KAOMOJI[0]}" || fail "text changed after the input-mode key: $(show_file "$receiver_text")"
e2e_log "Check7=0: the input-mode key followed the paste"
# A second paste still restores (the saved text is taken again, not left over from the first).
paste_and_check 1 "${KAOMOJI[0]}${KAOMOJI[1]}"
wait_until 3 _clipboard_is "$user_text" || fail "after a second paste the clipboard holds '$(clipboard_text)'"
palette_healthy || fail "the palette is not healthy"
kill -TERM "$palette_pid" "$receiver_pid"
wait "$palette_pid" "$receiver_pid" 2>/dev/null || true

# --- Check3=0, Check7=1 ---------------------------------------------------------------------
prepare_folder "$E2E_TMP/plain" Check3=0 Check7=1
start_palette "$E2E_TMP/plain" || fail "the second palette did not appear"
start_receiver plain-target || fail "the receiver did not appear"
own_clipboard "$user_text"
make_target "$receiver_id"
paste_and_check 1 "${KAOMOJI[1]}"
# No input-mode key, not even late.
sleep 0.8
[ "$(key_names "$receiver_keys")" = "Ctrl+V" ] ||
    fail "with Check7=1 the receiver got the keys '$(key_names "$receiver_keys")', expected 'Ctrl+V' alone"
_clipboard_is "${KAOMOJI[1]}" || fail "with Check3=0 the clipboard holds '$(clipboard_text)', not the kaomoji"
e2e_log "Check3=0, Check7=1: the kaomoji stays on the clipboard, no input-mode key"

# --- a target that has been closed ----------------------------------------------------------
closed_id=$receiver_id
kill -TERM "$receiver_pid"
wait "$receiver_pid" 2>/dev/null || true
_closed() { ! xwininfo -id "$closed_id" >/dev/null 2>&1; }
wait_until 5 _closed || fail "the closed receiver's window is still there"
# No other window may become the target meanwhile: only the palette is left.
sleep 0.5
click_entry 2
sleep 2
palette_healthy || fail "the palette did not survive a paste into a closed window"
# Nothing was pasted, so the clipboard is as the last paste left it.
_clipboard_is "${KAOMOJI[1]}" ||
    fail "after a paste into a closed window the clipboard holds '$(clipboard_text)', expected '${KAOMOJI[1]}'"
e2e_log "a closed target: the palette lives on and left the clipboard alone"
start_receiver next-target || fail "the next receiver did not appear"
make_target "$receiver_id"
paste_and_check 3 "${KAOMOJI[3]}"
palette_healthy || fail "the palette is not healthy"
e2e_log "the next window got ${KAOMOJI[3]}"
echo "e2e paste_options: passed"
