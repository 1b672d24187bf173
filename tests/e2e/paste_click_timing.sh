#!/usr/bin/env bash
# Two clicks further apart than the 220 ms double-click time are two single clicks, even when
# the second comes while the first one's paste is still under way (it takes about 330 ms from
# the click): each pastes its own entry, in order, and nothing presses Enter.
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
palette_healthy || fail "the palette is not healthy"
[ "$failures" -eq 0 ] || exit 1
echo "e2e paste_click_timing: passed"
