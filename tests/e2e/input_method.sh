#!/usr/bin/env bash
# Japanese input methods with mozc, as an ordinary user (mozc_server refuses root): for ibus and
# for fcitx5, the palette started WITHOUT QT_IM_MODULE
#  1. pastes into a Qt receiver and, with "入力モードの変更" off (Check7=0), follows the paste with
#     the input-mode key, which turns mozc on there: romaji typed next arrive as kana;
#  2. takes Japanese typed into its own editor ("顔文字の追加と変更"): romaji converted by mozc
#     reach the box, and "設定保存" writes them to 顔文字.ini.
# usage: input_method.sh PROGRAM RECEIVER [ibus|fcitx5...]
set -euo pipefail
program=$1
receiver=$2
shift 2
methods=("$@")
[ ${#methods[@]} -gt 0 ] || methods=(ibus fcitx5)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/paste_lib.sh"

for tool in ibus-daemon fcitx5 /usr/lib/mozc/mozc_server dbus-daemon; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh --with-tests)"
done

e2e_ordinary_user || fail "cannot make the test account"
chmod 0755 "$E2E_TMP"
e2e_start_desktop

# Clicks the middle of a control at client twips LEFT TOP WIDTH HEIGHT of window WINID.
click_control() {
    local info ox oy
    info=$(xwininfo -id "$1")
    ox=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    oy=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
    xdotool mousemove $((ox + ($2 + $4 / 2) / 15)) $((oy + ($3 + $5 / 2) / 15)) click 1
}
# The palette borrows a keycode for the input-mode key on this layout (us): bound once sent.
input_mode_key_sent() { xmodmap -pke | grep -qw Zenkaku_Hankaku; }
bus_has() { "${as_user[@]}" "${user_env[@]}" dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'; }
_gone() { ! kill -0 "$1" 2>/dev/null; }
ibus_bus_file() { compgen -G "$home/.config/ibus/bus/*" >/dev/null; }

for method in "${methods[@]}"; do
    home=$E2E_TMP/$method-home
    runtime=$E2E_TMP/$method-runtime
    mkdir -p "$home/.config"
    mkdir -m 0700 "$runtime"
    user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime" LANG=C.UTF-8 DISPLAY="$DISPLAY"
        QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS="unix:path=$runtime/bus")
    e2e_pass_sanitizer_options
    if [ "$method" = fcitx5 ]; then
        # mozc second, after the keyboard: each new window starts with mozc off.
        mkdir -p "$home/.config/fcitx5"
        printf '%s\n' '[Groups/0]' 'Name=Default' 'Default Layout=us' 'DefaultIM=mozc' \
            '[Groups/0/Items/0]' 'Name=keyboard-us' '[Groups/0/Items/1]' 'Name=mozc' \
            '[GroupOrder]' '0=Default' >"$home/.config/fcitx5/profile"
    fi
    chown -R "$uid:$gid" "$home" "$runtime"
    e2e_spawn "${as_user[@]}" "${user_env[@]}" dbus-daemon --session --nofork --address="unix:path=$runtime/bus" \
        >"$E2E_ARTIFACTS/dbus-$method.log" 2>&1
    wait_until 10 test -S "$runtime/bus" || fail "the session bus did not start"
    started=$(date +%s%N)
    if [ "$method" = ibus ]; then
        e2e_spawn "${as_user[@]}" "${user_env[@]}" ibus-daemon --panel=disable >"$E2E_ARTIFACTS/ibus.log" 2>&1
        wait_until 20 ibus_bus_file || fail "ibus-daemon wrote no bus file (see $E2E_ARTIFACTS/ibus.log)"
        # "ibus engine NAME" exits 1 even when it has set the engine: ask which one it is.
        engine_set() {
            "${as_user[@]}" "${user_env[@]}" ibus engine mozc-jp >/dev/null 2>&1 || true
            [ "$("${as_user[@]}" "${user_env[@]}" ibus engine 2>/dev/null)" = mozc-jp ]
        }
        wait_until 20 engine_set || fail "ibus did not take the mozc engine"
        module=ibus
    else
        e2e_spawn "${as_user[@]}" "${user_env[@]}" fcitx5 --disable=all --enable=mozc,keyboard,dbus,dbusfrontend,xcb \
            >"$E2E_ARTIFACTS/fcitx5.log" 2>&1
        wait_until 20 bus_has org.fcitx.Fcitx5 || fail "fcitx5 did not come on the bus (see $E2E_ARTIFACTS/fcitx5.log)"
        module=fcitx
    fi
    e2e_log "$method ready after $((($(date +%s%N) - started) / 1000000)) ms"

    # --- 1. a paste, then the input-mode key turns mozc on in the receiver -------------------
    folder=$home/palette
    prepare_folder "$folder" Check7=0 Check8=0
    chown -R "$uid:$gid" "$folder"
    xdotool mousemove 1000 900
    palette_log=$E2E_ARTIFACTS/pikome-$method.log
    e2e_spawn "${as_user[@]}" "${user_env[@]}" "$folder/pikome" >"$palette_log" 2>&1
    palette_pid=$E2E_LAST_PID
    palette_id=$(wait_for_window_by_name '^ぴこめ$' 15) || fail "$method: the palette did not appear"
    placed() { read -r x y _ <<<"$(outer_frame_geometry "$palette_id")"; [ "$x $y" = "100 80" ]; }
    wait_until 10 placed || fail "$method: the palette stands at $(outer_frame_geometry "$palette_id")"
    read -r palette_x palette_y <<<"$(xwininfo -id "$palette_id" | awk -F: '/Absolute upper-left X/ {x = $2 + 0} /Absolute upper-left Y/ {print x, $2 + 0}')"

    receiver_text=$home/target.txt
    e2e_spawn "${as_user[@]}" "${user_env[@]}" QT_IM_MODULE=$module "$receiver" "$method-target" "$receiver_text" \
        2>>"$E2E_ARTIFACTS/receiver.log"
    receiver_id=$(wait_for_window_by_name "^$method-target\$" 10) || fail "$method: the receiver did not appear"
    wait_until 10 test -e "$receiver_text" || fail "$method: the receiver wrote nothing"
    xdotool windowmove "$receiver_id" 600 100
    make_target "$receiver_id"
    ! input_mode_key_sent || fail "the input-mode key is bound before the paste: the test would not test"
    click_entry 0
    wait_file_is "$receiver_text" "${KAOMOJI[0]}" 5 || fail "$method: the receiver got $(show_file "$receiver_text")"
    wait_until 3 input_mode_key_sent || fail "$method: no input-mode key followed the paste"
    xdotool type --delay 40 ka
    xdotool key Return
    wait_file_is "$receiver_text" "${KAOMOJI[0]}か" 5 ||
        fail "$method: after the input-mode key, romaji 'ka' arrived as $(show_file "$receiver_text"), expected ${KAOMOJI[0]}か"
    e2e_log "$method: the paste and the input-mode key turned mozc on in the receiver"

    # --- 2. Japanese in the palette's own editor ---------------------------------------------
    click_control "$palette_id" 0 6240 1095 315 # 設定
    settings_id=$(wait_for_window_by_name '^ぴこめ　設定$' 10) || fail "$method: the settings dialog did not open"
    # Entry box 0 of the kaomoji frame: frame at 1800,240, box at 120,240 inside it.
    click_control "$settings_id" 1920 480 3975 315
    xdotool key ctrl+a BackSpace
    # mozc on in the box: ibus-mozc keeps one input mode for all windows, on since the paste;
    # fcitx5 keeps one per window and turns it on when asked.
    if [ "$method" = fcitx5 ]; then
        mozc_on() { [ "$("${as_user[@]}" "${user_env[@]}" fcitx5-remote 2>/dev/null)" = 2 ]; }
        "${as_user[@]}" "${user_env[@]}" fcitx5-remote -o
        wait_until 3 mozc_on || fail "fcitx5 did not turn mozc on in the editor box"
    fi
    xdotool type --delay 40 nihongo
    xdotool key space Return
    click_control "$settings_id" 6120 5820 1395 375 # 設定保存
    saved_line() { sed -n '21p' "$folder/顔文字.ini" | iconv -f CP932 -t UTF-8 | tr -d '\r'; }
    saved_japanese() { [ "$(saved_line)" = "日本語" ]; }
    wait_until 5 saved_japanese || fail "$method: the editor box saved '$(saved_line)', expected 日本語 (QT_IM_MODULE unset)"
    e2e_log "$method: 'nihongo' typed into the editor became 日本語 in 顔文字.ini"
    palette_healthy || fail "$method: the palette is not healthy"
    kill -TERM "$palette_pid"
    wait_until 5 _gone "$palette_pid" || fail "$method: the palette did not end"
done
echo "e2e input_method: passed"
