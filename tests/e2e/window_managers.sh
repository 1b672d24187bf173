#!/usr/bin/env bash
# The palette under the window managers whose frames it cannot learn ahead, beside openbox:
# KWin (never offers _NET_REQUEST_FRAME_EXTENTS) and fluxbox (offers it, never answers) frame
# it as openbox does, and the heights hold: the caption plus 7000 twips expanded and plus 450
# shrunk, auto-hide shrinks and grows it, and "終了" is inside the window (a click on it ends the
# program). i3, a tiling manager, floats it at its stored place and width instead of making it
# a tile.
# usage: window_managers.sh PROGRAM [WM...]   (default: openbox kwin_x11 fluxbox i3)
set -euo pipefail
program=$1
shift
managers=("$@")
[ ${#managers[@]} -gt 0 ] || managers=(openbox kwin_x11 fluxbox i3)
receiver= # paste_lib.sh asks for one; no paste here
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/paste_lib.sh"

for wm in "${managers[@]}"; do
    command -v "$wm" >/dev/null || fail "$wm is not installed (scripts/install-deps.sh --with-tests)"
done

frame_extents() { xprop -id "$palette_id" -notype _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ','; }
outer_height() { read -r _ _ _ h <<<"$(outer_frame_geometry "$palette_id")"; echo "$h"; }
is_height() { [ "$(outer_height)" = "$1" ]; }
away() { xdotool mousemove 1200 1000; }
# The client area's top left corner, through the caption's middle: the pointer over the frame.
over_caption() { xdotool mousemove $((palette_x + 40)) $((palette_y - 5)); }
ended() { ! kill -0 "$palette_pid" 2>/dev/null; }

start_palette_under() { # folder
    palette_log=$E2E_ARTIFACTS/pikome-$wm.log
    e2e_spawn "$1/pikome" >"$palette_log" 2>&1
    palette_pid=$E2E_LAST_PID
    palette_id=$(wait_for_window_by_name '^ぴこめ$' 15 "$palette_pid") || fail "$wm: the palette did not appear"
}

client_origin() {
    local info
    info=$(xwininfo -id "$palette_id")
    palette_x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    palette_y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
}

stacking_case() {
    # Check1=1: auto-hide; Check8=0: "終了" ends without saving.
    local folder=$E2E_TMP/$wm
    prepare_folder "$folder" Check1=1 Check8=0
    away
    start_palette_under "$folder"
    framed() { [ -n "$(frame_extents)" ]; }
    wait_until 5 framed || fail "$wm: the palette has no _NET_FRAME_EXTENTS"
    local left right top bottom
    read -r left right top bottom <<<"$(frame_extents)"
    [ "$top" -gt 0 ] || fail "$wm: the frame has no caption ($left $right $top $bottom): the test would not test"
    local shrunk=$((top + 450 / 15)) expanded=$((top + (7000 + 7) / 15))
    # KWin keeps a client area at least as high as the frame's top and bottom together; with
    # Breeze's caption that is more than the 30 pixels of the shrunk palette.
    if [ "$wm" = kwin_x11 ] && [ $((top + bottom)) -gt 30 ]; then
        shrunk=$((top + top + bottom + bottom))
    fi
    wait_until 3 is_height "$shrunk" ||
        fail "$wm: away from the pointer the palette is $(outer_height) high, expected $shrunk (frame $left $right $top $bottom)"
    placed() { read -r x y w _ <<<"$(outer_frame_geometry "$palette_id")"; [ "$x $y $w" = "100 80 340" ]; }
    wait_until 3 placed || fail "$wm: the palette stands at $(outer_frame_geometry "$palette_id"), expected 100 80, 340 wide"
    client_origin
    over_caption
    wait_until 3 is_height "$expanded" || fail "$wm: under the pointer the palette is $(outer_height) high, expected $expanded"
    away
    wait_until 3 is_height "$shrunk" || fail "$wm: the palette did not shrink again"
    # "終了" (client twips 0, 6540, 1095 x 315): its middle is inside the window only if the
    # client area is as high as the caption allows.
    over_caption
    wait_until 3 is_height "$expanded" || fail "$wm: the palette did not grow again"
    xdotool mousemove $((palette_x + 547 / 15)) $((palette_y + (6540 + 157) / 15)) click 1
    wait_until 5 ended || fail "$wm: a click on 終了 did not end the program (client $(xwininfo -id "$palette_id" | grep -E 'Height'))"
    palette_log_clean
    e2e_log "$wm: frame $left $right $top $bottom; $shrunk px shrunk, $expanded px expanded; 終了 ends the program"
}

tiling_case() {
    local folder=$E2E_TMP/$wm
    prepare_folder "$folder" Check1=0
    away
    start_palette_under "$folder"
    # i3 sets no _NET_FRAME_EXTENTS: its own word on the frame is the floating container's
    # rectangle, its border and title included.
    floating_rect() {
        i3-msg -t get_tree 2>/dev/null | jq -r --argjson id "$((palette_id))" \
            '.. | objects | select(.type? == "floating_con") | select([.. | objects | select(.window? == $id)] | length == 1) | .rect | "\(.x) \(.y) \(.width)"'
    }
    floating() { [ -n "$(floating_rect)" ]; }
    wait_until 5 floating || fail "$wm: the palette is a tile, not a floating window"
    at_stored_place() { [ "$(floating_rect)" = "100 80 340" ]; }
    wait_until 3 at_stored_place || fail "$wm: the floating palette stands at $(floating_rect), expected 100 80, 340 wide"
    palette_log_clean
    e2e_log "$wm: the palette floats at $(floating_rect) (x y width)"
    kill -TERM "$palette_pid"
    wait_until 5 ended || fail "$wm: the palette did not end"
}

palette_log_clean() {
    ! grep -Eiq 'segmentation|abort|X Error|AddressSanitizer|runtime error' "$palette_log" ||
        fail "$wm: the palette's log reports trouble: $(cat "$palette_log")"
}

e2e_start_xvfb
for wm in "${managers[@]}"; do
    e2e_start_window_manager "$wm" || fail "$wm did not start"
    wm_pid=$E2E_LAST_PID
    if [ "$wm" = i3 ]; then tiling_case; else stacking_case; fi
    kill -TERM "$wm_pid"
    wm_gone() { ! kill -0 "$wm_pid" 2>/dev/null; }
    wait_until 5 wm_gone || fail "$wm did not end"
    wait "$wm_pid" 2>/dev/null || true
done
echo "e2e window_managers: passed"
