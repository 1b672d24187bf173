#!/usr/bin/env bash
# The palette on a Wayland session, under a real compositor run headless as an ordinary user,
# with a Qt receiver running natively on Wayland and one on XWayland. The palette must choose X11
# (XWayland) by itself although Qt's Wayland plugin is there, then:
#   sway, kwin, mutter: a click types the entry into the native window (a double-click adds
#     Enter), the focus is back in (or never left) the native window, and the user's Wayland
#     clipboard comes back byte for byte after every paste ("クリップボードは使わない" on);
#     20 clicks in a row all type;
#   KWin for a copy no desktop file names (kwin-fallback), as on any compositor that lets
#     nothing type into a native window: the entry is on the Wayland clipboard (never the user's
#     old text), the focus stays where it was, and a note says what to press;
#   all: a click while the XWayland window has the focus pastes into it as on X11.
#
# A click on the palette on sway is made of its two halves: sway's own handling of a pointer
# button (`swaymsg seat - cursor press/release`: sway focuses the window under the cursor, as for
# a real click) and the click as X11 clients see it (XTest through xdotool; XWayland delivers it
# to the palette). KWin and mutter keep the focus in a native window when an X11 window that
# refuses the focus is clicked (measured), which is what the X11 half alone gives.
#
# Compositors refuse to run as root: as root the test runs everything as the unprivileged
# account pikome-e2e, made when missing.
# usage: wayland_session.sh sway|kwin|kwin-fallback|mutter PROGRAM RECEIVER
#        (exits 77, "skipped", when the compositor cannot start)
set -euo pipefail
compositor=$1
program=$2
receiver=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"
# shellcheck source=wayland_compositors.sh
source "$here/wayland_compositors.sh"

skip() {
    e2e_log "skipped: $*"
    exit 77
}

for tool in Xwayland wl-copy wl-paste xdotool xprop xwininfo setpriv jq dbus-daemon; do
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
    gid=$(id -g)
    as_user_prefix=()
fi
home=$E2E_TMP/wayland
mkdir -m 0700 "$home" "$home/runtime"

# The session's environment, nothing else from ours. Qt's platform is left unset: the palette
# must choose by itself.
session_env=(env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime"
             XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_SESSION_TYPE=wayland
             NO_AT_BRIDGE=1 LANG=C.UTF-8)
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

# "クリップボードは使わない" on (Check3), so every paste must give the user's clipboard back.
prepare_folder "$home/app" Check3=1
cp "$receiver" "$home/receiver"
mkdir -p "$home/data/applications"
if [ "$(id -u)" -eq 0 ]; then
    chown -R "$uid:$gid" "$home"
fi

# --- the session bus and the compositor --------------------------------------------------------
: >"$home/bus"
chown "$uid:$gid" "$home/bus" 2>/dev/null || true
e2e_spawn spawn_as_user dbus-daemon --session --nofork --print-address=3 3>"$home/bus"
wait_until 10 test -s "$home/bus" || fail "the session bus did not start"
session_env+=(DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$home/bus")")

compositor_log=$E2E_ARTIFACTS/$compositor.log
"start_$compositor" || skip "$compositor cannot start on this machine (log: $compositor_log)"
session_env+=(WAYLAND_DISPLAY="$wayland_display" DISPLAY="$x_display")
[ -n "${x_authority:-}" ] && session_env+=(XAUTHORITY="$x_authority")
wait_until 10 as_user xprop -root _NET_SUPPORTING_WM_CHECK >/dev/null 2>&1 || fail "XWayland on $x_display does not answer"
e2e_log "$compositor on $wayland_display, XWayland on $x_display"

# --- what X11 sees and the Wayland clipboard holds ---------------------------------------------
active_window() { as_user xprop -root -notype _NET_ACTIVE_WINDOW | sed -n 's/.*window id # //p'; }
_no_x11_window_active() { local a; a=$(active_window); [ "$a" = 0x0 ] || [ -z "$a" ]; }
x11_window_named() { as_user xdotool search --name "$1" 2>/dev/null | head -n1; }
clipboard() { "${compositor}_clipboard"; }
_clipboard_is() { [ "$(clipboard; echo .)" = "$1." ]; }
clipboard_types() { "${compositor}_clipboard_types"; }

start_session_receiver() {
    local name=$1 platform=$2
    rm -f "$home/$name.txt"
    e2e_spawn spawn_as_user QT_QPA_PLATFORM="$platform" "$home/receiver" "$name" "$home/$name.txt" "$home/$name.keys" \
        2>>"$E2E_ARTIFACTS/receiver.log"
    wait_until 15 test -e "$home/$name.txt" || fail "the receiver $name never wrote its text file"
}
keys_of() { cut -f1 "$home/$1.keys" 2>/dev/null | paste -sd' '; }

# The native receiver first, so that it has the focus as the only window (KWin and mutter focus
# the first window; sway is told to); the palette never takes it; the XWayland receiver comes
# for the cases of its own.
start_session_receiver native-target wayland
native_is_wayland || fail "native-target is not a native Wayland window"

palette_log=$E2E_ARTIFACTS/pikome-$compositor.log
e2e_spawn spawn_as_user "$home/app/pikome" >"$palette_log" 2>&1
palette_pid=$E2E_LAST_PID
_palette_shown() { palette_id=$(as_user xdotool search --onlyvisible --name '^ぴこめ$' 2>/dev/null | head -n1); [ -n "$palette_id" ]; }
wait_until 15 _palette_shown || fail "the palette did not appear on XWayland: $(tail -n 3 "$palette_log")"
wait_until 5 grep -q 'Wayland routes' "$palette_log" || fail "the palette did not say which routes it found"
e2e_log "the palette runs through XWayland (window $palette_id); $(grep -m1 'Wayland routes' "$palette_log")"

focus_native_target
wait_until 5 _no_x11_window_active || fail "with the native window focused, _NET_ACTIVE_WINDOW is $(active_window)"

# A click on entry button I (0..19), or a double-click with CLICKS=2; GROUP=1 clicks group button I.
click_palette_entry() {
    local index=$1 clicks=${2:-1} info x y
    info=$(as_user xwininfo -id "$palette_id")
    x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
    if [ "${GROUP:-0}" = 1 ]; then
        x=$((x + 547 / 15))
        y=$((y + (1080 + 300 * index + 157) / 15))
    else
        x=$((x + (1200 + 600) / 15))
        y=$((y + (840 + 300 * index + 157) / 15))
    fi
    _pause_before_click
    compositor_sees_click "$x" "$y"
    if [ "$clicks" -eq 2 ]; then
        as_user xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    else
        as_user xdotool mousemove "$x" "$y" click 1
    fi
}
quiet() { sleep 0.8; }

# The user's own clipboard, to come back after every paste: Japanese text with a line break,
# under the text types wl-copy offers.
users_clipboard=$'ユーザーの文字 ✓\n2行目'
set_users_clipboard "$users_clipboard"
wait_until 5 _clipboard_is "$users_clipboard" || fail "the user's clipboard could not be set: $(show_text "$(clipboard)")"
users_types=$(clipboard_types)

if [ "$compositor" = kwin-fallback ]; then
    # --- nothing can type: the honest fallback --------------------------------------------------
    click_palette_entry 1
    wait_until 3 _clipboard_is "${KAOMOJI[1]}" ||
        fail "the Wayland clipboard holds $(show_text "$(clipboard)"), expected $(show_text "${KAOMOJI[1]}")"
    _note_shown() { [ -n "$(as_user xdotool search --onlyvisible --name '^ぴこめ　お知らせ$' 2>/dev/null)" ]; }
    wait_until 3 _note_shown || fail "no note says what to press"
    quiet
    _no_x11_window_active || fail "the click took the focus from the native window (to $(active_window))"
    [ ! -s "$home/native-target.txt" ] || fail "native-target got $(show_file "$home/native-target.txt")"
    _clipboard_is "${KAOMOJI[1]}" || fail "the clipboard changed after the click: $(show_text "$(clipboard)")"
    e2e_log "$compositor: nothing typed, ${KAOMOJI[1]} on the Wayland clipboard, the focus kept, a note says why"
else
    # --- typed into the native window ---------------------------------------------------------
    # Case table: entry, clicks, what the native window holds after it (Enter after a double-click).
    expected=
    cases=()
    for ((i = 0; i < 20; i++)); do
        cases+=("$((i % 5)) 1")
    done
    cases+=("5 2")
    n=0
    for case in "${cases[@]}"; do
        read -r entry clicks <<<"$case"
        n=$((n + 1))
        expected+=${KAOMOJI[entry]}
        [ "$clicks" -eq 2 ] && expected+=$'\n'
        click_palette_entry "$entry" "$clicks"
        wait_file_is "$home/native-target.txt" "$expected" 5 ||
            fail "click $n ($clicks on entry $entry): the native window holds $(show_file "$home/native-target.txt"), expected $(show_text "$expected"); keys: $(keys_of native-target)"
        # The user's clipboard is given back once the target has the text.
        wait_until 3 _clipboard_is "$users_clipboard" ||
            fail "click $n: the clipboard holds $(show_text "$(clipboard)"), not the user's $(show_text "$users_clipboard")"
        wait_until 2 native_has_focus || fail "click $n: the native window does not have the focus afterwards"
    done
    [ "$(clipboard_types)" = "$users_types" ] || fail "the clipboard offers '$(clipboard_types)', the user's offered '$users_types'"
    # Another group chosen pastes nothing, and the focus is back in the native window after it.
    GROUP=1 click_palette_entry 1
    wait_until 2 native_has_focus || fail "after a click on a group button the native window does not have the focus"
    GROUP=1 click_palette_entry 0
    want_keys=$(for case in "${cases[@]}"; do read -r _ clicks <<<"$case"; echo Ctrl+V; [ "$clicks" -eq 2 ] && echo Return; done | paste -sd' ')
    [ "$(keys_of native-target)" = "$want_keys" ] || fail "native-target got the keys '$(keys_of native-target)'"
    e2e_log "$compositor: ${#cases[@]} clicks typed into the native window, the user's clipboard back after each"
fi

# --- into the XWayland window: a paste as on X11 -------------------------------------------
start_session_receiver x11-target xcb
wait_until 10 test -n "$(x11_window_named '^x11-target$')" || fail "x11-target is not an XWayland window"
x11_target_id=$(x11_window_named '^x11-target$')
focus_x11_target
_x11_target_active() { [ "$(active_window)" = "$(printf '0x%x' "$x11_target_id")" ]; }
wait_until 5 _x11_target_active ||
    fail "with x11-target focused, _NET_ACTIVE_WINDOW is $(active_window), not $x11_target_id"
sleep 0.5 # the palette looks at the foreground window every 250 ms
click_palette_entry 2
wait_file_is "$home/x11-target.txt" "${KAOMOJI[2]}" 5 ||
    fail "x11-target: expected $(show_text "${KAOMOJI[2]}"), got $(show_file "$home/x11-target.txt")"
[ "$(keys_of x11-target)" = "Ctrl+V" ] || fail "x11-target got the keys '$(keys_of x11-target)', expected Ctrl+V"
e2e_log "XWayland window: pasted ${KAOMOJI[2]}"

kill -0 "$palette_pid" 2>/dev/null || fail "the palette is gone"
if grep -Eiq 'segmentation|abort|fatal|X Error|core dumped|AddressSanitizer|runtime error' "$palette_log"; then
    cat "$palette_log" >&2
    fail "the palette's log reports trouble"
fi
echo "e2e wayland_session $compositor: passed"
