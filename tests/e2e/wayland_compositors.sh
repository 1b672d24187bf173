# shellcheck shell=bash
# Sourced by wayland_session.sh: each compositor started headless as the session's user, and what
# the test asks of it. start_NAME sets wayland_display, x_display (XWayland's) and, where the
# compositor guards XWayland with one, x_authority; it returns non-zero when the compositor
# cannot start. Then:
#   native_is_wayland      the receiver native-target is a native Wayland window
#   focus_native_target    the native receiver has the focus
#   native_has_focus       it has it still (or again)
#   focus_x11_target       the XWayland receiver has the focus
#   compositor_sees_click X Y   the compositor's own half of a click on the palette, where it has one
#   NAME_clipboard, NAME_clipboard_types   the Wayland clipboard's text and the formats it offers
#   set_users_clipboard TEXT               the user's own program puts TEXT on the clipboard
# Needs: home, as_user, spawn_as_user, session_env, compositor_log (wayland_session.sh).

# Every compositor gets the same socket name inside the test's private runtime folder.
_socket=wayland-pikome

# A program the compositor starts in its session tells XWayland's display (and its authority).
# It stays until the test's folder goes: mutter ends its session when that program ends.
_announce_session() {
    cat >"$home/announce.sh" <<EOF
#!/bin/sh
echo "\$DISPLAY \${XAUTHORITY:-}" >"$home/display.tmp" && mv "$home/display.tmp" "$home/display"
while [ -e "$home/display" ]; do sleep 0.5; done
EOF
    chmod 0755 "$home/announce.sh"
    [ "$(id -u)" -ne 0 ] || chown "$uid:$gid" "$home/announce.sh"
}
_session_announced() { grep -q : "$home/display" 2>/dev/null; }
_read_announcement() {
    read -r x_display x_authority <"$home/display"
    wayland_display=$_socket
}
_socket_up() { [ -S "$home/runtime/$_socket" ]; }

# --- sway (wlroots) --------------------------------------------------------------------------
start_sway() {
    command -v sway >/dev/null || return 1
    cat >"$home/sway.config" <<'EOF'
xwayland force
# Lets a program give the focus back to an X11 window (an EWMH activation request).
focus_on_window_activation focus
EOF
    e2e_spawn spawn_as_user WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_HEADLESS_OUTPUTS=1 WAYLAND_DISPLAY= sway -c "$home/sway.config" >"$compositor_log" 2>&1
    local pid=$E2E_LAST_PID
    _sway_ready() { ! kill -0 "$pid" 2>/dev/null || compgen -G "$home/runtime/sway-ipc.*.sock" >/dev/null; }
    wait_until 15 _sway_ready || true
    kill -0 "$pid" 2>/dev/null && compgen -G "$home/runtime/sway-ipc.*.sock" >/dev/null || return 1
    SWAYSOCK=$(compgen -G "$home/runtime/sway-ipc.*.sock" | head -n1)
    session_env+=(SWAYSOCK="$SWAYSOCK")
    wayland_display=$(cd "$home/runtime" && compgen -G 'wayland-*' | grep -v lock | head -n1)
    # sway passes XWayland's display to what it starts, once XWayland is ready.
    _display_known() {
        grep -q : "$home/display" 2>/dev/null && return 0
        as_user swaymsg exec "echo \$DISPLAY >$home/display" >/dev/null
        return 1
    }
    wait_until 15 _display_known || return 1
    x_display=$(cat "$home/display")
}
# The shell ("xdg_shell" or "xwayland") and focus of the window titled $1, from sway's tree.
_sway_window() {
    as_user swaymsg -t get_tree | jq -r --arg name "$1" \
        'first(.. | objects | select(.name? == $name and .pid?)) | "\(.shell) \(if .focused then "focused" else "unfocused" end)"'
}
_sway_focused() { [ "$(_sway_window "$1" | cut -d' ' -f2)" = focused ]; }
# Asked again while it has not taken: a window mapped just before (the palette) may be focused
# by sway after the first request.
_sway_try_focus() {
    as_user swaymsg "[title=\"^$1\$\"] focus" >/dev/null
    sleep 0.1
    _sway_focused "$1"
}
_sway_focus() { wait_until 5 _sway_try_focus "$1" || fail "sway did not focus $1"; }
sway_native_is_wayland() { [ "$(_sway_window native-target | cut -d' ' -f1)" = xdg_shell ]; }
sway_focus_native_target() { _sway_focus native-target; }
sway_native_has_focus() { _sway_focused native-target; }
sway_focus_x11_target() { _sway_focus x11-target; }
sway_compositor_sees_click() {
    as_user swaymsg "seat - cursor set $1 $2" >/dev/null
    as_user swaymsg "seat - cursor press button1" >/dev/null
    as_user swaymsg "seat - cursor release button1" >/dev/null
}

# --- the compositors without a command line of their own (KWin, mutter) -----------------------
# The native receiver is a window XWayland does not know; it has the focus while no X11 window
# has it; an X11 window is focused through the X11 window manager (EWMH).
_native_is_wayland() { [ -z "$(x11_window_named '^native-target$')" ]; }
_focus_native_target() { :; }
_native_has_focus() { _no_x11_window_active; }
_focus_x11_target() { as_user xdotool windowactivate "$x11_target_id" >/dev/null 2>&1 || true; }
_compositor_sees_click() { :; }
for _name in kwin kwin-fallback mutter; do
    for _step in native_is_wayland focus_native_target native_has_focus focus_x11_target compositor_sees_click; do
        eval "${_name}_$_step() { _$_step \"\$@\"; }"
    done
done
# The Wayland clipboard, read and set through data control (wl-clipboard) without the focus.
_clipboard() { as_user timeout 5 wl-paste --no-newline 2>/dev/null; }
_clipboard_types() { as_user timeout 5 wl-paste --list-types 2>/dev/null | sort | paste -sd' '; }
for _name in sway kwin kwin-fallback; do
    eval "${_name}_clipboard() { _clipboard; }; ${_name}_clipboard_types() { _clipboard_types; }"
done
set_users_clipboard() {
    if [ "$compositor" = mutter ]; then
        # mutter has no data control, and a headless wl-copy gets no focus to set it: an X11
        # program's clipboard, which mutter copies to its own whatever has the focus, and back.
        printf '%s' "$1" >"$home/users-clipboard"
        e2e_spawn spawn_as_user xclip -quiet -selection clipboard -i "$home/users-clipboard"
    else
        e2e_spawn spawn_as_user wl-copy --foreground "$1"
    fi
}
mutter_clipboard() { as_user timeout 5 xclip -selection clipboard -o 2>/dev/null; }
mutter_clipboard_types() { echo "(X11 targets; not compared)"; }
native_is_wayland() { "${compositor}_native_is_wayland"; }
focus_native_target() { "${compositor}_focus_native_target"; }
native_has_focus() { "${compositor}_native_has_focus"; }
focus_x11_target() { "${compositor}_focus_x11_target"; }
compositor_sees_click() { "${compositor}_compositor_sees_click" "$@"; }

# --- KWin ------------------------------------------------------------------------------------
start_kwin() {
    command -v kwin_wayland >/dev/null || return 1
    # The packaged binary carries a file capability that this kind of container will not
    # execute; a copy runs. It must keep its name: KWin's own Qt platform checks it.
    mkdir -p "$home/kwin"
    cp "$(command -v kwin_wayland)" "$home/kwin/kwin_wayland"
    # KWin gives its fake input and window management only to a program a desktop file names
    # by its exact path: the user's own entry for this copy of the palette (none for the
    # fallback, which must still never leave the user's old text for their own paste).
    [ "$compositor" = kwin-fallback ] || cat >"$home/data/applications/pikome-test.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=ぴこめ
Exec=$home/app/pikome
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management
EOF
    _announce_session
    [ "$(id -u)" -ne 0 ] || chown -R "$uid:$gid" "$home/kwin" "$home/data"
    e2e_spawn spawn_as_user QT_QPA_PLATFORM= "$home/kwin/kwin_wayland" --virtual --xwayland --socket "$_socket" \
        --width 1280 --height 1024 -- "$home/announce.sh" >"$compositor_log" 2>&1
    local pid=$E2E_LAST_PID
    _kwin_ready() { ! kill -0 "$pid" 2>/dev/null || _session_announced; }
    wait_until 20 _kwin_ready || true
    _session_announced || return 1
    _read_announcement
}

start_kwin-fallback() { start_kwin; }

# --- mutter (GNOME) ----------------------------------------------------------------------------
start_mutter() {
    command -v mutter >/dev/null || return 1
    _announce_session
    # No dconf here: settings from memory.
    e2e_spawn spawn_as_user GSETTINGS_BACKEND=memory mutter --headless --wayland --virtual-monitor 1280x1024 \
        --wayland-display "$_socket" -- "$home/announce.sh" >"$compositor_log" 2>&1
    local pid=$E2E_LAST_PID
    _mutter_ready() { ! kill -0 "$pid" 2>/dev/null || _session_announced; }
    wait_until 20 _mutter_ready || true
    _session_announced || return 1
    _read_announcement
    # A headless seat has no keyboard until a virtual one types: clients then see none, and the
    # first keys of a paste are lost while they bind to the new one. A real seat has a keyboard
    # all along: here a virtual one of mutter's presses a key and stays for the whole run. (A
    # RemoteDesktop session lives as long as the bus connection that made it.)
    : >"$home/keyboard-ready"
    [ "$(id -u)" -ne 0 ] || chown "$uid:$gid" "$home/keyboard-ready"
    e2e_spawn spawn_as_user python3 -c '
import dbus, sys, time
bus = dbus.SessionBus()
name = "org.gnome.Mutter.RemoteDesktop"
for attempt in range(100):
    try:
        path = bus.get_object(name, "/org/gnome/Mutter/RemoteDesktop").CreateSession(dbus_interface=name)
        break
    except dbus.DBusException:
        time.sleep(0.1)  # mutter takes its name on the bus a little after the session starts
session = dbus.Interface(bus.get_object(name, path), name + ".Session")
session.Start()
session.NotifyKeyboardKeysym(0xffe1, True)
session.NotifyKeyboardKeysym(0xffe1, False)
open(sys.argv[1], "w").write("ready")
while True:
    time.sleep(60)
' "$home/keyboard-ready" 2>>"$compositor_log"
    wait_until 15 grep -q ready "$home/keyboard-ready"
}
