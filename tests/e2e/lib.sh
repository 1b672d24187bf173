# shellcheck shell=bash
# Sourced by the end-to-end scripts: a private X server (Xvfb) with openbox, and helpers to find
# and measure windows. Every process started here is stopped by its pid when the script exits;
# nothing is looked up or killed by name.
#
#   e2e_start_desktop            Xvfb, then openbox (or e2e_start_xvfb / e2e_start_openbox)
#   e2e_start_window_manager WM  openbox, kwin_x11, fluxbox or i3 on the running Xvfb, with a
#                                home and configuration of its own
#   e2e_ordinary_user            uid, gid and as_user: the account for running as a user, not root
#   e2e_spawn CMD ARGS...        runs CMD in the background, stopped at exit; pid in E2E_LAST_PID
#   wait_for_window_by_name NAME TIMEOUT   prints the id of a visible window whose title matches
#                                          the regular expression NAME, or fails after TIMEOUT s
#   outer_frame_geometry WINID   prints "x y width height" of the window with its frame
#   has_state_above WINID        succeeds when _NET_WM_STATE holds _NET_WM_STATE_ABOVE
#   screenshot FILE              the whole screen as an image (relative names: artifacts folder)
#   wait_until TIMEOUT CMD...    polls CMD until it succeeds or TIMEOUT seconds pass
#
# Exported: DISPLAY, XDG_RUNTIME_DIR (private, 0700), XDG_CONFIG_HOME (private, so no user
# configuration of openbox or Qt leaks in), NO_AT_BRIDGE=1, QT_QPA_PLATFORM=xcb,
# DBUS_SESSION_BUS_ADDRESS (a bus that does not exist),
# E2E_ARTIFACTS (screenshots and logs; default ./e2e-artifacts), E2E_TMP (removed at exit),
# E2E_SCREEN_WIDTH, E2E_SCREEN_HEIGHT.

E2E_SCREEN_WIDTH=${E2E_SCREEN_WIDTH:-1280}
E2E_SCREEN_HEIGHT=${E2E_SCREEN_HEIGHT:-1024}
export E2E_SCREEN_WIDTH E2E_SCREEN_HEIGHT
E2E_ARTIFACTS=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}
export E2E_ARTIFACTS
mkdir -p "$E2E_ARTIFACTS"

E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
export E2E_TMP
export XDG_RUNTIME_DIR=$E2E_TMP/runtime
export XDG_CONFIG_HOME=$E2E_TMP/config
mkdir -m 0700 "$XDG_RUNTIME_DIR"
mkdir -p "$XDG_CONFIG_HOME"
# GTK programs (zenity) start accessibility helpers that outlive the test otherwise.
export NO_AT_BRIDGE=1
export QT_QPA_PLATFORM=xcb
# Nothing here may talk to the session of whoever runs the tests. Without any bus address
# libdbus "autolaunches" a dbus-daemon for the display (Qt asks for the bus at start-up), which
# cost 3 s now and then and outlives the test: point it at a bus that does not exist instead.
# An X11 session, whatever session the tests are started from (the palette looks at both).
unset WAYLAND_DISPLAY XDG_SESSION_TYPE SESSION_MANAGER
export DBUS_SESSION_BUS_ADDRESS=unix:path=$E2E_TMP/no-session-bus
unset DISPLAY

# Started processes, oldest first; stopped newest first.
E2E_PIDS=()
E2E_LAST_PID=
# Poll step for every wait below, in seconds.
E2E_POLL=0.05

e2e_log() { echo "e2e: $*" >&2; }

e2e_cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [ "$status" -ne 0 ] && [ -n "${DISPLAY:-}" ]; then
        screenshot "failure-$(date +%H%M%S).png" 2>/dev/null || true
    fi
    local i pid
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${E2E_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null || true
    done
    # Up to 2 s for a clean exit, then no more patience.
    for ((i = 0; i < 40; i++)); do
        local alive=0
        for pid in "${E2E_PIDS[@]}"; do
            kill -0 "$pid" 2>/dev/null && alive=1
        done
        [ "$alive" -eq 0 ] && break
        sleep "$E2E_POLL"
    done
    for pid in "${E2E_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$E2E_TMP"
    exit "$status"
}
trap e2e_cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

e2e_spawn() {
    "$@" &
    E2E_LAST_PID=$!
    E2E_PIDS+=("$E2E_LAST_PID")
}

# wait_until TIMEOUT CMD... : true as soon as CMD succeeds, false after TIMEOUT seconds.
wait_until() {
    local timeout=$1
    shift
    local deadline
    # %.0f, not %d: mawk (Debian's awk) caps %d at 2^31 - 1, which cut every timeout to 2.1 s.
    deadline=$(($(date +%s%N) + $(awk -v t="$timeout" 'BEGIN { printf "%.0f", t * 1e9 }')))
    while true; do
        "$@" && return 0
        [ "$(date +%s%N)" -ge "$deadline" ] && return 1
        sleep "$E2E_POLL"
    done
}

# The server wrote its display number, or died trying.
_e2e_display_known() { [ -s "$1" ] || ! kill -0 "$2" 2>/dev/null; }

e2e_start_xvfb() {
    # -displayfd: the server takes the first free display number itself, so parallel runs
    # never race for one. -noreset: by default the server resets when its last client leaves,
    # refusing connections meanwhile, and a test starting just then could not connect.
    local numberFile=$E2E_TMP/display-number
    : >"$numberFile"
    e2e_spawn Xvfb -displayfd 3 -noreset -screen 0 "${E2E_SCREEN_WIDTH}x${E2E_SCREEN_HEIGHT}x24" -nolisten tcp \
        3>"$numberFile" >"$E2E_ARTIFACTS/xvfb.log" 2>&1
    local xvfb=$E2E_LAST_PID
    if ! wait_until 10 _e2e_display_known "$numberFile" "$xvfb" || [ ! -s "$numberFile" ]; then
        e2e_log "Xvfb did not start (see $E2E_ARTIFACTS/xvfb.log)"
        return 1
    fi
    DISPLAY=":$(head -n1 "$numberFile")"
    export DISPLAY
    if ! wait_until 10 xdpyinfo >/dev/null 2>&1; then
        e2e_log "Xvfb on $DISPLAY does not answer"
        return 1
    fi
    e2e_log "Xvfb on $DISPLAY (pid $xvfb)"
}

_e2e_wm_running() {
    local check
    check=$(xprop -root -notype _NET_SUPPORTING_WM_CHECK 2>/dev/null) || return 1
    [[ $check == *"window id #"* ]]
}

# openbox announces itself on the root window early in its start, before it has read its menus,
# grabbed its keys and entered its event loop; until then requests to it wait. It is ready when
# it sleeps, waiting for events: asleep at three looks in a row, 20 ms apart (2 s at most).
_e2e_wm_idle() {
    local pid=$1 i state
    for i in 1 2 3; do
        state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null) || return 1
        [ "$state" = S ] || return 1
        [ "$i" -lt 3 ] && sleep 0.02
    done
    return 0
}

e2e_start_openbox() {
    e2e_start_window_manager openbox
}

e2e_start_desktop() {
    e2e_start_xvfb && e2e_start_openbox
}

e2e_start_window_manager() {
    local wm=$1 home=$E2E_TMP/$1-home
    mkdir -p "$home"
    local command=("$wm")
    case $wm in
    openbox) command+=(--sm-disable) ;;
    # Without a configuration of its own i3 runs Debian's, which starts a bar, a screen locker
    # and a wizard window.
    i3)
        printf '%s\n' 'font pango:monospace 8' >"$home/i3.config"
        command+=(-c "$home/i3.config")
        ;;
    kwin_x11) command+=(--replace) ;;
    esac
    local started
    started=$(date +%s%N)
    HOME=$home e2e_spawn "${command[@]}" >"$E2E_ARTIFACTS/$wm.log" 2>&1
    local pid=$E2E_LAST_PID
    if ! wait_until 20 _e2e_wm_running; then
        e2e_log "$wm did not take over the screen (see $E2E_ARTIFACTS/$wm.log)"
        return 1
    fi
    wait_until 5 _e2e_wm_idle "$pid" || true
    e2e_log "$wm running (pid $pid) after $((($(date +%s%N) - started) / 1000000)) ms"
}

# e2e_ordinary_user: the account the program runs as, for what refuses root (mozc_server) or
# must be tested as a user's own: root uses (and makes once) the account pikome-e2e, anyone
# else themselves. Sets uid, gid and as_user (a command prefix; setpriv replaces itself with the
# program, so the pid started is the program's own).
e2e_ordinary_user() {
    if [ "$(id -u)" -eq 0 ]; then
        local user=pikome-e2e
        if ! id -u "$user" >/dev/null 2>&1; then
            useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$user" ||
                return 1
        fi
        uid=$(id -u "$user")
        gid=$(id -g "$user")
        as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups --)
    else
        uid=$(id -u)
        gid=$(id -g)
        as_user=()
    fi
}

# e2e_pass_sanitizer_options: appends the sanitizers' options to the array user_env, for a
# program started as the ordinary user; the suppressions may lie in a folder the user cannot
# read, so the user gets a readable copy.
e2e_pass_sanitizer_options() {
    if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]+) ]] && [ "${BASH_REMATCH[1]}" != "$E2E_TMP/lsan.supp" ]; then
        cp "${BASH_REMATCH[1]}" "$E2E_TMP/lsan.supp"
        chmod 0644 "$E2E_TMP/lsan.supp"
        LSAN_OPTIONS=${LSAN_OPTIONS/"${BASH_REMATCH[1]}"/"$E2E_TMP/lsan.supp"}
    fi
    local sanitizer
    for sanitizer in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
        [ -n "${!sanitizer:-}" ] && user_env+=("$sanitizer=${!sanitizer}")
    done
    return 0
}

# With a PID, only that process's window counts: one of the same name from a copy just ended
# can stay visible a while after its process is gone.
_e2e_find_window() {
    if [ -n "${2:-}" ]; then
        _E2E_FOUND=$(xdotool search --all --onlyvisible --pid "$2" --name "$1" 2>/dev/null | head -n1)
    else
        _E2E_FOUND=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1)
    fi
    [ -n "$_E2E_FOUND" ]
}

# wait_for_window_by_name NAME [TIMEOUT] [PID]
wait_for_window_by_name() {
    local name=$1 timeout=${2:-10} pid=${3:-}
    if wait_until "$timeout" _e2e_find_window "$name" "$pid"; then
        echo "$_E2E_FOUND"
        return 0
    fi
    e2e_log "no visible window named '$name' after ${timeout}s"
    return 1
}

# x y width height of the window as the user sees it: the client area grown by the frame the
# window manager reports in _NET_FRAME_EXTENTS (left, right, top, bottom).
outer_frame_geometry() {
    local id=$1 info extents x y w h
    info=$(xwininfo -id "$id") || return 1
    x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
    w=$(awk -F: '/^ *Width:/ {print $2 + 0}' <<<"$info")
    h=$(awk -F: '/^ *Height:/ {print $2 + 0}' <<<"$info")
    extents=$(xprop -id "$id" -notype _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.* = //p' | tr -d ',')
    local left=0 right=0 top=0 bottom=0
    [ -n "$extents" ] && read -r left right top bottom <<<"$extents"
    echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

has_state_above() {
    xprop -id "$1" -notype _NET_WM_STATE 2>/dev/null | grep -q '_NET_WM_STATE_ABOVE'
}

screenshot() {
    local file=$1
    [[ $file == /* ]] || file=$E2E_ARTIFACTS/$file
    import -window root "$file"
}
