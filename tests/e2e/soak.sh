#!/usr/bin/env bash
# A long session with the real palette and a Qt receiver: COUNT single-click pastes, alternating
# two entries, with the clipboard given back after each (Check3=1) while the user's own text is on
# it. Every 25 pastes a tab click goes to another page and back and a group button to group 1
# and back; every 100 pastes the settings dialog opens, "設定保存" saves, the dialog closes and
# the receiver becomes the target again. At the end the receiver's text is the exact
# concatenation, the clipboard holds the user's text, the resident size has not grown by more
# than RSS_GROWTH_KIB, and the files the dialog saved are well-formed.
# usage: soak.sh PROGRAM RECEIVER [COUNT]   (COUNT defaults to 1000, the full soak:
#        tests/e2e/soak.sh build/test/pikome build/test/tests/e2e/receiver 1000; CTest runs 200)
set -euo pipefail
program=$1
receiver=$2
count=${3:-1000}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

# A leak of a few hundred bytes per paste shows as megabytes over 1000 pastes; the allocator's
# own slack after a warm-up stays far below this.
RSS_GROWTH_KIB=${RSS_GROWTH_KIB:-8192}

e2e_start_desktop
xdotool mousemove 1000 900

clipboard_text() { timeout 2 xclip -o -selection clipboard 2>/dev/null; }
_clipboard_is() { [ "$(clipboard_text; echo .)" = "$1." ]; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$palette_pid/status"; }

# Client origin of a window on the screen.
client_origin() {
    local info
    info=$(xwininfo -id "$1")
    echo "$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info") $(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")"
}

# Clicks the middle of a control at client twips LEFT TOP WIDTH HEIGHT of window WINID.
click_control() {
    local id=$1 ox oy
    read -r ox oy <<<"$(client_origin "$id")"
    _pause_before_click
    xdotool mousemove $((ox + ($2 + $4 / 2) / 15)) $((oy + ($3 + $5 / 2) / 15)) click 1
}

# Tab K of the strip at (0, 420), 4950 x 300: ten equal tabs, history first.
click_tab() { click_control "$palette_id" $((495 * $1)) 420 495 300; }

folder=$E2E_TMP/app
prepare_folder "$folder" Check3=1
start_palette "$folder" || fail "the palette did not appear"
start_receiver soak-target || fail "the receiver did not appear"

user_text="the user's own clipboard text"
printf %s "$user_text" >"$E2E_TMP/user-clipboard.txt"
# In the foreground (-quiet) so that its pid is ours; it ends when the palette takes over.
e2e_spawn xclip -quiet -selection clipboard -i "$E2E_TMP/user-clipboard.txt" >"$E2E_TMP/xclip.log" 2>&1
wait_until 5 _clipboard_is "$user_text" || fail "xclip did not take the clipboard"
make_target "$receiver_id"

# Two entries with nothing in common, so a lost, doubled or swapped paste changes the text.
# The pair changes after each 設定保存: the history then differs at every save, and a save
# writes only files whose contents changed, so each save shows on disk.
pairs=("0 4" "1 5")
read -r -a entries <<<"${pairs[0]}"
expected=
pastes=0
latency_file=$E2E_ARTIFACTS/soak-latency.txt
: >"$latency_file"

paste_once() {
    local k=$((pastes % 2))
    expected+=${KAOMOJI[entries[k]]}
    local t
    t=$(date +%s%N)
    click_entry "${entries[k]}"
    if ! wait_file_is "$receiver_text" "$expected" 3; then
        screenshot soak-miss.png
        cp "$receiver_text" "$E2E_ARTIFACTS/soak-received.txt"
        cp "$receiver_keys" "$E2E_ARTIFACTS/soak-keys.txt"
        local got
        got=$(cat "$receiver_text"; echo .)
        got=${got%.}
        fail "paste $((pastes + 1)) (entry ${entries[k]}) missing or wrong after 3 s; the receiver has" \
            "${#got} characters, expected ${#expected}; it ends $(show_text "${got: -40}")," \
            "expected ending $(show_text "${expected: -40}")"
    fi
    echo $((($(date +%s%N) - t) / 1000000)) >>"$latency_file"
    pastes=$((pastes + 1))
}

# Another page and back, another group and back; the entries are where they were after it.
# Each switch must show in the entry buttons (from client twips 1200, 840 on: another page or
# group shows other entries), or the click went nowhere. Only that area counts: the pointer's
# hover highlight elsewhere changes the window's image too.
palette_image() { import -window "$palette_id" -crop 200x400+80+56 rgb:- 2>/dev/null | md5sum; }
_image_differs() { [ "$(palette_image)" != "$1" ]; }
switch_and_back() {
    local home x y
    # Off the entries first, so that no hover highlight is in the first image.
    read -r x y <<<"$(_twips_point 495 420 495 300)"
    xdotool mousemove "$x" "$y"
    sleep 0.1
    home=$(palette_image)
    click_tab 2
    wait_until 2 _image_differs "$home" || fail "the click on tab 2 changed nothing"
    click_tab 1
    click_group 1
    wait_until 2 _image_differs "$home" || fail "the click on group 1 changed nothing"
    click_group 0
}

settings_rounds=0
save_settings() {
    local before settings_id
    saved_state() { stat -c %y "$folder/顔文字.ini" "$folder/設定.ini" 2>/dev/null | paste -sd' '; }
    before=$(saved_state)
    click_control "$palette_id" 0 6240 1095 315
    settings_id=$(wait_for_window_by_name '^ぴこめ　設定$' 10) || fail "the settings dialog did not open"
    # The dialog may still be moving into place; its origin is read afresh for each click.
    sleep 0.3
    click_control "$settings_id" 6120 5820 1395 375 # 設定保存
    _saved() { [ "$(saved_state)" != "$before" ]; }
    wait_until 5 _saved || fail "設定保存 wrote neither 顔文字.ini nor 設定.ini (round $((settings_rounds + 1)))"
    click_control "$settings_id" 6120 6240 2835 375 # 閉じる
    _dialog_gone() { ! xdotool search --onlyvisible --name '^ぴこめ　設定$' >/dev/null 2>&1; }
    wait_until 5 _dialog_gone || fail "the settings dialog did not close"
    settings_rounds=$((settings_rounds + 1))
    read -r -a entries <<<"${pairs[settings_rounds % 2]}"
    make_target "$receiver_id"
}

# Warm-up: every kind of action once, so the memory Qt allocates once (the dialog, fonts, the
# other page's buttons) is in before the first measurement.
for _ in 1 2 3 4 5 6 7 8 9 10; do paste_once; done
switch_and_back
paste_once
save_settings
paste_once
rss_start=$(rss_kib)
warmup=$pastes
e2e_log "warm-up: $warmup pastes, one page and group switch, one settings save; VmRSS $rss_start KiB"

started=$(date +%s%N)
for ((n = 1; n <= count; n++)); do
    paste_once
    if ((n % 100 == 0)); then
        save_settings
    elif ((n % 25 == 0)); then
        switch_and_back
    fi
    if ((n % 100 == 0)); then
        e2e_log "$n of $count pastes; VmRSS $(rss_kib) KiB"
    fi
done
seconds=$((($(date +%s%N) - started) / 1000000000))
rss_end=$(rss_kib)

# The whole text once more, now that nothing is in flight.
_file_is "$receiver_text" "$expected" || fail "the receiver's text changed after the last paste"
keys=$(cut -f1 "$receiver_keys" | sort | uniq -c | paste -sd' ' | tr -s ' ')
[ "$keys" = " $pastes Ctrl+V" ] || fail "the receiver got the keys '$keys', expected $pastes Ctrl+V only"
wait_until 3 _clipboard_is "$user_text" ||
    fail "after $pastes pastes the clipboard holds $(show_text "$(clipboard_text)"), not the user's text"
palette_healthy || fail "the palette is not healthy"
if grep -q 'QXcbConnection' "$palette_log"; then
    cat "$palette_log" >&2
    fail "the palette's log reports X errors"
fi

# The files of the last 設定保存: 3400 lines, each ended by CR LF, the entries where they were.
kfile=$folder/顔文字.ini
crlf=$(grep -c $'\r$' "$kfile" || true)
lf=$(tr -cd '\n' <"$kfile" | wc -c)
cr=$(tr -cd '\r' <"$kfile" | wc -c)
[ "$crlf" -eq 3400 ] && [ "$lf" -eq 3400 ] && [ "$cr" -eq 3400 ] && [ "$(tail -c1 "$kfile" | od -An -tx1 | tr -d ' ')" = 0a ] ||
    fail "顔文字.ini has $lf LF, $cr CR, $crlf CR LF line ends; expected exactly 3400 CR LF lines"
line21=$(sed -n 21p "$kfile" | tr -d '\r' | iconv -f CP932 -t UTF-8) || fail "顔文字.ini line 21 is no cp932"
[ "$line21" = "${KAOMOJI[0]}" ] || fail "顔文字.ini line 21 is $(show_text "$line21"), expected ${KAOMOJI[0]}"
iconv -f CP932 -t UTF-8 "$folder/設定.ini" >"$E2E_TMP/settings.utf8" || fail "設定.ini does not decode as cp932"
grep -q '^\[Options\]' "$E2E_TMP/settings.utf8" || fail "設定.ini lost its [Options] section"

growth=$((rss_end - rss_start))
stats=$(sort -n "$latency_file" | awk '{v[NR] = $1} END {printf "min %d, median %d, p99 %d, max %d", v[1], v[int((NR + 1) / 2)], v[int(NR * 0.99)], v[NR]}')
e2e_log "click to arrival: $stats ms"
echo "soak: $pastes pastes ($warmup warm-up), $settings_rounds settings saves, $((count / 25 - count / 100)) page and group switches in ${seconds}s; VmRSS start $rss_start KiB, end $rss_end KiB, growth $growth KiB (bound $RSS_GROWTH_KIB)"
[ "$growth" -le "$RSS_GROWTH_KIB" ] || fail "VmRSS grew by $growth KiB over $count pastes (bound $RSS_GROWTH_KIB KiB)"
echo "e2e soak: passed"
