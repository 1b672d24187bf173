#!/usr/bin/env bash
# Two clicks further apart than the 220 ms double-click time are two single clicks, even when
# the second comes while the first one's paste is still under way (it takes about 330 ms from
# the click): each pastes its own entry, in order, and nothing presses Enter. A double-click
# followed by a click during its paste gives the double-click's entry and Enter, then the other
# entry; with "クリップボードは使わない" on, the user's clipboard is back afterwards.
# usage: paste_click_timing.sh PROGRAM RECEIVER
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
prepare_folder "$E2E_TMP/app"
start_palette "$E2E_TMP/app" || fail "the palette did not appear"

key_names() { cut -f1 "$1" | paste -sd' '; }

# Clicks entry FIRST, then entry SECOND GAP seconds later (button release to button release;
# --delay 0 drops xdotool's own pause after a click, so the gap is the sleeps alone), into a fresh
# receiver, and checks that both entries arrive as two single pastes. The pointer rests 120 ms on
# the first button after its click: when Qt reads a synthetic move together with the release, it
# drops the click now and then (a plain QPushButton too), and no hand is that fast anyway.
two_clicks() { # name first second gap
    local name=$1 first=$2 second=$3 gap=$4 x0 y0 x1 y1
    start_receiver "$name" || fail "the receiver $name did not appear"
    make_target "$receiver_id"
    read -r x0 y0 <<<"$(_twips_point 1200 $((840 + 300 * first)) 1200 315)"
    read -r x1 y1 <<<"$(_twips_point 1200 $((840 + 300 * second)) 1200 315)"
    xdotool mousemove "$x0" "$y0" click --delay 0 1 sleep 0.12 mousemove "$x1" "$y1" \
        sleep "$(awk -v g="$gap" 'BEGIN { print g - 0.12 }')" click --delay 0 1
    local expected=${KAOMOJI[first]}${KAOMOJI[second]}
    wait_file_is "$receiver_text" "$expected" 3 || true
    # Late keys or pastes show within this.
    sleep 0.8
    if ! _file_is "$receiver_text" "$expected" || [ "$(key_names "$receiver_keys")" != "Ctrl+V Ctrl+V" ]; then
        e2e_log "FAIL: $name: entries $first and $second clicked ${gap}s apart gave $(show_file "$receiver_text")" \
            "with the keys '$(key_names "$receiver_keys")'; expected $(show_text "$expected") with 'Ctrl+V Ctrl+V'"
        failures=$((failures + 1))
        return
    fi
    e2e_log "$name: two clicks ${gap}s apart pasted $(show_text "$expected")"
}
failures=0

# 270 ms: past the double-click time, while the first paste waits for its target to settle.
two_clicks two-entries 0 1 0.27
two_clicks same-entry 2 2 0.27

clipboard_text() { timeout 2 xclip -o -selection clipboard 2>/dev/null; }
_clipboard_is() { [ "$(clipboard_text; echo .)" = "$1." ]; }

# Double-clicks entry 3 (80 ms between the clicks), then clicks entry 4 270 ms after the second
# click: the double-click's paste is under way then.
double_click_then_click() { # name
    local name=$1 x0 y0 x1 y1
    start_receiver "$name" || fail "the receiver $name did not appear"
    make_target "$receiver_id"
    read -r x0 y0 <<<"$(_twips_point 1200 $((840 + 300 * 3)) 1200 315)"
    read -r x1 y1 <<<"$(_twips_point 1200 $((840 + 300 * 4)) 1200 315)"
    xdotool mousemove "$x0" "$y0" click --delay 0 1 sleep 0.08 click --delay 0 1 sleep 0.12 \
        mousemove "$x1" "$y1" sleep 0.15 click --delay 0 1
    local expected=${KAOMOJI[3]}$'\n'${KAOMOJI[4]}
    wait_file_is "$receiver_text" "$expected" 3 || true
    sleep 0.8
    if ! _file_is "$receiver_text" "$expected" || [ "$(key_names "$receiver_keys")" != "Ctrl+V Return Ctrl+V" ]; then
        e2e_log "FAIL: $name: a double-click on entry 3 and a click on entry 4 gave $(show_file "$receiver_text")" \
            "with the keys '$(key_names "$receiver_keys")'; expected $(show_text "$expected") with 'Ctrl+V Return Ctrl+V'"
        failures=$((failures + 1))
        return
    fi
    e2e_log "$name: the double-click and the click after it pasted $(show_text "$expected")"
}
double_click_then_click double-then-single
palette_healthy || fail "the palette is not healthy"
kill -TERM "$palette_pid"
wait "$palette_pid" 2>/dev/null || true

prepare_folder "$E2E_TMP/keep" Check3=1
start_palette "$E2E_TMP/keep" || fail "the palette keeping the clipboard did not appear"
printf %s "user's text" >"$E2E_TMP/user-clipboard.txt"
# xclip in the foreground (-quiet), so that its pid is ours; it ends when the palette takes over.
e2e_spawn xclip -quiet -selection clipboard -i "$E2E_TMP/user-clipboard.txt" >"$E2E_TMP/xclip.log" 2>&1
wait_until 5 _clipboard_is "user's text" || fail "xclip did not take the clipboard"
double_click_then_click double-then-single-keep
wait_until 3 _clipboard_is "user's text" || {
    e2e_log "FAIL: after the double-click and the click the clipboard holds '$(clipboard_text)', not the user's text"
    failures=$((failures + 1))
}
palette_healthy || fail "the palette is not healthy"
[ "$failures" -eq 0 ] || exit 1
echo "e2e paste_click_timing: passed"
