#!/usr/bin/env bash
# The palette on a Wayland session: a headless sway with XWayland, a Qt receiver running natively
# on Wayland and one on XWayland. The palette must choose X11 (XWayland) by itself although Qt's
# Wayland plugin is there. A click while the native window has the focus types nothing anywhere
# and leaves the entry on the clipboard (as the Wayland side sees it), in the history too; a
# click while the XWayland window has the focus pastes into it as on X11.
#
# A click on the palette is made of its two halves: sway's own handling of a pointer button
# (`swaymsg seat - cursor press/release`: sway focuses the window under the cursor, as for a
# real click) and the click as X11 clients see it (XTest through xdotool; XWayland delivers it to
# the palette, and sway does not see it). The headless backend has no pointer device that could
# do both.
#
# sway refuses to run as root: as root the test runs everything as the unprivileged account
# pikome-e2e, made when missing.
# usage: wayland_session.sh PROGRAM RECEIVER    (exits 77, "skipped", when sway cannot start)
set -euo pipefail
program=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

skip() {
    e2e_log "skipped: $*"
    exit 77
}

for tool in sway swaymsg Xwayland wl-paste xdotool xprop xwininfo setpriv jq; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh --with-tests installs it)"
done

# --- the unprivileged user, and a folder it owns -----------------------------------------------
account=pikome-e2e
if [ "$(id -u)" -eq 0 ]; then
    if ! id "$account" >/dev/null 2>&1; then
        useradd --system --user-group --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin \
            "$account" || fail "could not create the account $account"
    fi
    uid=$(id -u "$account")
    gid=$(id -g "$account")
    # The account must reach its folder below the test's private one.
    chmod 0711 "$E2E_TMP"
    as_user_prefix=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
else
    uid=$(id -u)
    as_user_prefix=()
fi
home=$E2E_TMP/wayland
mkdir -m 0700 "$home" "$home/runtime"

# The session's environment, nothing else from ours. Qt's platform is left unset: the palette
# must choose by itself.
session_env=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime"
             XDG_CONFIG_HOME="$home/config" XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1 LANG=C.UTF-8
             DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS")
for v in ASAN_OPTIONS UBSAN_OPTIONS; do
    [ -n "${!v:-}" ] && session_env+=("$v=${!v}")
done
# The leak suppressions go where the account can read them.
if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]+) ]]; then
    cp "${BASH_REMATCH[1]}" "$home/lsan.supp"
    session_env+=("LSAN_OPTIONS=${LSAN_OPTIONS/${BASH_REMATCH[1]}/$home/lsan.supp}")
elif [ -n "${LSAN_OPTIONS:-}" ]; then
    session_env+=("LSAN_OPTIONS=$LSAN_OPTIONS")
fi
# as_user CMD...: runs CMD as the account, in the session's environment.
as_user() { "${as_user_prefix[@]}" "${session_env[@]}" "$@"; }
# For e2e_spawn: the background shell becomes CMD, so the pid stopped at exit is CMD's own.
spawn_as_user() { exec "${as_user_prefix[@]}" "${session_env[@]}" "$@"; }

cat >"$home/sway.config" <<'EOF'
xwayland force
# Lets a program give the focus back to a window (an EWMH activation request): the palette
# does, for the window it pastes into. sway's default, "urgent", only marks that window.
focus_on_window_activation focus
EOF

prepare_folder "$home/app"
cp "$receiver" "$home/receiver"
if [ "$(id -u)" -eq 0 ]; then
    chown -R "$uid:$gid" "$home"
fi

# --- sway ------------------------------------------------------------------------------------
sway_log=$E2E_ARTIFACTS/sway.log
e2e_spawn spawn_as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    WLR_HEADLESS_OUTPUTS=1 sway -c "$home/sway.config" >"$sway_log" 2>&1
sway_pid=$E2E_LAST_PID
_sway_ready() { ! kill -0 "$sway_pid" 2>/dev/null || compgen -G "$home/runtime/sway-ipc.*.sock" >/dev/null; }
wait_until 15 _sway_ready || true
if ! kill -0 "$sway_pid" 2>/dev/null || ! compgen -G "$home/runtime/sway-ipc.*.sock" >/dev/null; then
    tail -n 20 "$sway_log" >&2 || true
    skip "sway cannot start on this machine (log: $sway_log)"
fi
SWAYSOCK=$(compgen -G "$home/runtime/sway-ipc.*.sock" | head -n1)
wayland_display=$(cd "$home/runtime" && compgen -G 'wayland-*' | grep -v lock | head -n1)
session_env+=(SWAYSOCK="$SWAYSOCK" WAYLAND_DISPLAY="$wayland_display")
# sway passes XWayland's display to what it starts, once XWayland is ready.
_display_known() {
    grep -q : "$home/display" 2>/dev/null && return 0
    as_user swaymsg exec "echo \$DISPLAY >$home/display" >/dev/null
    return 1
}
wait_until 15 _display_known || fail "sway did not say which display XWayland has"
x_display=$(cat "$home/display")
session_env+=(DISPLAY="$x_display")
wait_until 10 as_user xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || fail "XWayland on $x_display does not answer"
e2e_log "sway (pid $sway_pid) on $wayland_display, XWayland on $x_display"

# --- what sway knows and X11 sees ------------------------------------------------------------
# The shell ("xdg_shell" or "xwayland") and focus of the window titled $1, from sway's tree.
window_info() {
    as_user swaymsg -t get_tree | jq -r --arg name "$1" \
        'first(.. | objects | select(.name? == $name and .pid?)) | "\(.shell) \(if .focused then "focused" else "unfocused" end)"'
}
_window_shown() { [ -n "$(window_info "$1")" ]; }
_focused() { [ "$(window_info "$1" | cut -d' ' -f2)" = focused ]; }
active_window() { as_user xprop -root -notype _NET_ACTIVE_WINDOW | sed -n 's/.*window id # //p'; }
x11_window_named() { as_user xdotool search --name "$1" 2>/dev/null | head -n1; }
clipboard() { as_user timeout 5 wl-paste --no-newline 2>/dev/null; }
_clipboard_is() { [ "$(clipboard; echo .)" = "$1." ]; }

start_session_receiver() {
    local name=$1 platform=$2
    rm -f "$home/$name.txt"
    e2e_spawn spawn_as_user QT_QPA_PLATFORM="$platform" "$home/receiver" "$name" "$home/$name.txt" "$home/$name.keys" \
        2>>"$E2E_ARTIFACTS/receiver.log"
    wait_until 15 _window_shown "$name" || fail "the receiver $name did not appear"
    wait_until 10 test -e "$home/$name.txt" || fail "the receiver $name never wrote its text file"
}

start_session_receiver native-target wayland
[ "$(window_info native-target | cut -d' ' -f1)" = xdg_shell ] || fail "native-target is not a Wayland window: $(window_info native-target)"
start_session_receiver x11-target xcb
[ "$(window_info x11-target | cut -d' ' -f1)" = xwayland ] || fail "x11-target is not an XWayland window: $(window_info x11-target)"

palette_log=$E2E_ARTIFACTS/pikome-wayland.log
e2e_spawn spawn_as_user "$home/app/pikome" >"$palette_log" 2>&1
palette_pid=$E2E_LAST_PID
wait_until 15 _window_shown 'ぴこめ' || fail "the palette did not appear: $(tail -n 3 "$palette_log")"
[ "$(window_info 'ぴこめ' | cut -d' ' -f1)" = xwayland ] ||
    fail "the palette did not choose X11 although the session is Wayland: $(window_info 'ぴこめ')"
palette_id=$(x11_window_named '^ぴこめ$')
[ -n "$palette_id" ] || fail "XWayland does not show the palette"
e2e_log "the palette runs through XWayland (window $palette_id)"

# A click on entry button I (0..19): sway's half, then the X11 half at the same point.
click_palette_entry() {
    local info x y
    info=$(as_user xwininfo -id "$palette_id")
    x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
    x=$((x + $1 / 15))
    y=$((y + $2 / 15))
    sleep 0.1
    as_user swaymsg "seat - cursor set $x $y" >/dev/null
    as_user swaymsg "seat - cursor press button1" >/dev/null
    as_user swaymsg "seat - cursor release button1" >/dev/null
    as_user xdotool mousemove "$x" "$y" click 1
}
# Entry buttons: left 1200, top 840 + 300 i, 1200 x 315 twips; the history tab at (0, 420).
click_entry_button() { click_palette_entry $((1200 + 600)) $((840 + 300 * $1 + 157)); }
click_history_tab() { click_palette_entry 247 570; }

focus_window() {
    as_user swaymsg "[title=\"^$1\$\"] focus" >/dev/null
    wait_until 5 _focused "$1" || fail "sway did not focus $1"
    # The palette looks at the foreground window every 250 ms.
    sleep 0.5
}

quiet() { sleep 0.8; }

# --- into the native Wayland window: the clipboard only ----------------------------------------
# The user worked in the XWayland window before: the palette knows it, and must not paste there.
focus_window x11-target
focus_window native-target
# sway's X11 window manager names no active window while a Wayland window has the focus.
active=$(active_window)
[ "$active" = 0x0 ] || [ -z "$active" ] || fail "with a Wayland window focused, _NET_ACTIVE_WINDOW is $active"
click_entry_button 1
wait_until 3 _clipboard_is "${KAOMOJI[1]}" ||
    fail "the clipboard holds $(show_text "$(clipboard)"), expected $(show_text "${KAOMOJI[1]}")"
# The note that says why shows beside the palette.
_note_shown() { [ -n "$(as_user xdotool search --onlyvisible --name '^ぴこめ　お知らせ$' 2>/dev/null)" ]; }
wait_until 3 _note_shown || fail "no note says why nothing was typed"
quiet
for name in native-target x11-target; do
    [ ! -s "$home/$name.txt" ] || fail "$name got $(show_file "$home/$name.txt") from a click into the native window"
    [ ! -s "$home/$name.keys" ] || fail "$name got keys from a click into the native window: $(cut -f1 "$home/$name.keys" | paste -sd' ')"
done
_clipboard_is "${KAOMOJI[1]}" || fail "the clipboard changed after the click: $(show_text "$(clipboard)")"
e2e_log "native window: nothing typed, ${KAOMOJI[1]} on the Wayland clipboard, a note says why"

# --- into the XWayland window: a paste as on X11 -------------------------------------------
focus_window x11-target
x11_target_id=$(x11_window_named '^x11-target$')
[ "$(active_window)" = "$(printf '0x%x' "$x11_target_id")" ] ||
    fail "with x11-target focused, _NET_ACTIVE_WINDOW is $(active_window), not $x11_target_id"
click_entry_button 2
expected=${KAOMOJI[2]}
wait_file_is "$home/x11-target.txt" "$expected" 3 ||
    fail "x11-target: expected $(show_text "$expected"), got $(show_file "$home/x11-target.txt")"
[ "$(cut -f1 "$home/x11-target.keys" | paste -sd' ')" = "Ctrl+V" ] ||
    fail "x11-target got the keys '$(cut -f1 "$home/x11-target.keys" | paste -sd' ')', expected Ctrl+V"

# The history: the newest is the X11 paste, before it the click into the native window.
click_history_tab
focus_window x11-target
click_entry_button 1
expected+=${KAOMOJI[1]}
wait_file_is "$home/x11-target.txt" "$expected" 3 ||
    fail "history entry 1 pasted $(show_file "$home/x11-target.txt"), expected $(show_text "$expected")"
quiet
[ ! -s "$home/native-target.txt" ] || fail "native-target got $(show_file "$home/native-target.txt")"
e2e_log "XWayland window: pasted ${KAOMOJI[2]}, and the history holds ${KAOMOJI[1]} from the native window"

kill -0 "$palette_pid" 2>/dev/null || fail "the palette is gone"
if grep -Eiq 'segmentation|abort|fatal|X Error|core dumped|AddressSanitizer|runtime error' "$palette_log"; then
    cat "$palette_log" >&2
    fail "the palette's log reports trouble"
fi
echo "e2e wayland_session: passed"
