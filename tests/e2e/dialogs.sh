#!/usr/bin/env bash
# The real program under Xvfb and openbox, driven like a user:
#  1. an entry typed into the settings dialog with real keys is saved by "設定保存", survives
#     "終了" and a new start, and pastes from the palette afterwards;
#  2. in ASCII-art mode the piece shows as a tooltip in its colours over its button;
#  3. the palette shrinks when the pointer leaves it and grows when it returns, and leaves the
#     always-on-top band while the settings dialog is open.
# usage: dialogs.sh PROGRAM RECEIVER
set -euo pipefail
program=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/paste_lib.sh"

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
    xdotool mousemove $((ox + ($2 + $4 / 2) / 15)) $((oy + ($3 + $5 / 2) / 15)) click 1
}

open_settings() {
    click_control "$palette_id" 0 6240 1095 315
    settings_id=$(wait_for_window_by_name '^ぴこめ　設定$' 10) || fail "the settings dialog did not open"
}

outer_height() { read -r _ _ _ h <<<"$(outer_frame_geometry "$palette_id")"; echo "$h"; }
frame_top() { xprop -id "$palette_id" -notype _NET_FRAME_EXTENTS | sed -n 's/.* = //p' | tr -d ',' | awk '{print $3}'; }

e2e_start_desktop

# --- 1. Typed, saved, ended, started again -------------------------------------------------
folder=$E2E_TMP/roundtrip
prepare_folder "$folder"
start_palette "$folder" || fail "the palette did not start"
open_settings
# Entry box 0 of the kaomoji frame: frame at 1800,240, box at 120,240 inside it.
click_control "$settings_id" 1920 480 3975 315
xdotool key ctrl+a BackSpace
xdotool type --delay 30 '(^_^)v'
# Japanese text arrives through the box's own paste, as an input method would hand it over.
printf '%s' 'ありがとう' | xclip -selection clipboard -loops 1 &
xclip_pid=$!
sleep 0.3
xdotool key ctrl+v
wait "$xclip_pid" 2>/dev/null || true
typed='(^_^)vありがとう'
click_control "$settings_id" 6120 5820 1395 375 # 設定保存
saved_line() { sed -n '21p' "$folder/顔文字.ini" | iconv -f CP932 -t UTF-8 | tr -d '\r'; }
saved_is_typed() { [ "$(saved_line)" = "$typed" ]; }
wait_until 5 saved_is_typed || fail "line 21 of 顔文字.ini is '$(saved_line)', expected '$typed'"
screenshot settings-typed.png
# "終了" on the palette ends the program (saving once more: automatic saving is on).
click_control "$palette_id" 0 6540 1095 315
ended() { ! kill -0 "$palette_pid" 2>/dev/null; }
wait_until 10 ended || fail "the program did not end on 終了"
wait "$palette_pid" 2>/dev/null || true
saved_is_typed || fail "the kaomoji file lost the typed entry at exit"

start_palette "$folder" || fail "the palette did not start again"
start_receiver "after restart"
make_target "$receiver_id"
click_entry 0
wait_file_is "$receiver_text" "$typed" 5 || fail "pasted '$(show_text "$(cat "$receiver_text")")' after the restart"
e2e_log "typed entry saved, kept over 終了 and a new start, and pasted"

# --- 2. The ASCII-art tooltip --------------------------------------------------------------
click_aa
read -r x y <<<"$(_twips_point 1200 840 1200 315)"
xdotool mousemove "$x" "$y"
sleep 0.1
xdotool mousemove $((x + 3)) "$y"
# The tip stands 12, 18 pixels below right of the pointer with a 4-pixel margin of its colour.
tip_color() { convert "$E2E_ARTIFACTS/tooltip.png" -format "%[pixel:p{$((x + 3 + 14)),$((y + 20))}]" info:; }
tip_shown() { screenshot tooltip.png && [[ "$(tip_color)" =~ ^(srgb|rgb)\(100,130,180\)$ ]]; }
wait_until 4 tip_shown || fail "no tooltip in its colours over the ASCII-art button (pixel $(tip_color))"
e2e_log "ASCII-art tooltip shown (tooltip.png)"
kill -TERM "$palette_pid"
wait "$palette_pid" 2>/dev/null || true

# --- 3. Auto-hide and always on top --------------------------------------------------------
folder=$E2E_TMP/autohide
prepare_folder "$folder" Check1=1
xdotool mousemove 1200 1000
start_palette "$folder" || fail "the palette did not start with auto-hide on"
top=$(frame_top)
shrunk=$((top + 450 / 15))
expanded=$((top + (7000 + 7) / 15))
is_height() { [ "$(outer_height)" = "$1" ]; }
wait_until 3 is_height "$shrunk" || fail "away from the pointer the palette is $(outer_height) high, expected $shrunk"
# The caption is part of the palette: pointing at it grows it back.
xdotool mousemove $((palette_x + 40)) $((palette_y - top / 2))
wait_until 3 is_height "$expanded" || fail "under the pointer the palette is $(outer_height) high, expected $expanded"
xdotool mousemove 1200 1000
wait_until 3 is_height "$shrunk" || fail "the palette did not shrink again"
e2e_log "auto-hide: $shrunk px shrunk, $expanded px expanded"

xdotool mousemove $((palette_x + 40)) $((palette_y + 10))
wait_until 3 is_height "$expanded" || fail "the palette did not grow for the click"
wait_until 3 has_state_above "$palette_id" || fail "the palette is not always on top"
open_settings
not_above() { ! has_state_above "$palette_id"; }
wait_until 5 not_above || fail "the palette stayed on top while the settings dialog is open"
click_control "$settings_id" 6120 6240 2835 375 # 閉じる
wait_until 5 has_state_above "$palette_id" || fail "the palette did not come back on top after the dialog closed"
e2e_log "always on top: left the band while the settings dialog was open, back after"
echo "e2e dialogs: passed"
