#!/usr/bin/env bash
# 100 single-click pastes in a row into a Qt receiver, alternating two entries: every one
# arrives, intact and in order, and the receiver's text ends as their exact concatenation.
# Per-paste latencies (click to arrival, in ms) go to paste-burst-latency.txt in the artifacts.
# usage: paste_burst.sh PROGRAM RECEIVER [COUNT]
set -euo pipefail
program=$1
receiver=$2
count=${3:-100}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

e2e_start_desktop
xdotool mousemove 1000 900
prepare_folder "$E2E_TMP/app"
start_palette "$E2E_TMP/app" || fail "the palette did not appear"
start_receiver burst-target || fail "the receiver did not appear"
make_target "$receiver_id"

# Two entries with nothing in common, so a lost, doubled or swapped paste changes the text.
entries=(0 4)
read -r x0 y0 <<<"$(_twips_point 1200 $((840 + 300 * entries[0])) 1200 315)"
read -r x1 y1 <<<"$(_twips_point 1200 $((840 + 300 * entries[1])) 1200 315)"
points=("$x0 $y0" "$x1 $y1")

latency_file=$E2E_ARTIFACTS/paste-burst-latency.txt
: >"$latency_file"
expected=
started=$(date +%s%N)
for ((n = 0; n < count; n++)); do
    k=$((n % 2))
    expected+=${KAOMOJI[entries[k]]}
    read -r x y <<<"${points[k]}"
    # The pointer goes first: the click is then the only event that counts.
    xdotool mousemove "$x" "$y"
    t=$(date +%s%N)
    xdotool click 1
    if ! wait_file_is "$receiver_text" "$expected" 3; then
        screenshot paste-burst-miss.png
        cp "$receiver_text" "$E2E_ARTIFACTS/paste-burst-received.txt"
        cp "$receiver_keys" "$E2E_ARTIFACTS/paste-burst-keys.txt"
        got=$(cat "$receiver_text"; echo .)
        got=${got%.}
        fail "paste $((n + 1)) of $count (entry ${entries[k]}) missing or wrong after 3 s;" \
            "the receiver got $(grep -c . "$receiver_keys") keys ($(cut -f1 "$receiver_keys" | sort | uniq -c | paste -sd,))," \
            "${#got} characters, expected ${#expected}; its text ends $(show_text "${got: -40}")," \
            "expected ending $(show_text "${expected: -40}")"
    fi
    echo $((($(date +%s%N) - t) / 1000000)) >>"$latency_file"
    # The palette is done with a paste some 20 ms after the text is in (a grace period for the
    # transfer); a click before that would join the paste as the second click of a double-click.
    # Clicking the next entry at a human pace is what this check is about.
    sleep 0.1
done
total=$((($(date +%s%N) - started) / 1000000))
# One paste keystroke per click: no click was taken for the second half of a double-click.
keys=$(cut -f1 "$receiver_keys" | sort | uniq -c | paste -sd' ' | tr -s ' ')
[ "$keys" = " $count Ctrl+V" ] || fail "the receiver got the keys '$keys', expected $count Ctrl+V only"
palette_healthy || fail "the palette is not healthy"
stats=$(sort -n "$latency_file" | awk '{v[NR] = $1} END {printf "min %d, median %d, max %d", v[1], v[int((NR + 1) / 2)], v[NR]}')
e2e_log "$count pastes in $total ms; click to arrival: $stats ms"
echo "e2e paste_burst: passed"
