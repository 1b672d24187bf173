#!/usr/bin/env bash
# The real palette pastes into real applications from Debian, each read back from itself:
#   xterm           Shift+Insert, which pastes the primary selection there
#   xfce4-terminal  a VTE terminal: Ctrl+Shift+V
#   gnome-text-editor  GTK 4, which inserts the text well after it read it
#   chromium        a page's text area; Chromium reads the clipboard twice
#   l3afpad         a GTK 3 editor, Ctrl+V, as the control
# With "クリップボードは使わない" (Check3) off and on: a single click types the entry exactly; a
# double-click types the entry and then Enter (in each terminal a shell runs `echo` on it);
# with Check3=1 the user's clipboard and primary selection are back byte for byte after each
# paste, and with Check3=0 the entry stays on the clipboard.
# usage: paste_real_apps.sh PROGRAM [ROUNDS]     (ROUNDS of every case, default 2; 20 for the
#                                                 full check, about 10 minutes)
# Exits 77 ("skipped") when one of the applications is not installed.
set -euo pipefail
program=$1
rounds=${2:-2}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

for tool in xterm xfce4-terminal gnome-text-editor chromium l3afpad dbus-daemon; do
    if ! command -v "$tool" >/dev/null; then
        e2e_log "$tool is not installed: skipped"
        exit 77
    fi
done

# Entries 2 and 3 keep to full-width brackets: a shell runs `echo` on them.
KAOMOJI=('(´・ω・｀)' '＼(^o^)／' '（＾ω＾）' 'ヽ（・∀・）ﾉ' '(；´Д｀)' 'ｷﾀ━(ﾟ∀ﾟ)━!')
SHELL_ENTRIES=(2 3)

e2e_start_desktop
xdotool mousemove 1000 900
# The applications speak UTF-8; GTK keeps its settings in memory and leaves accessibility off.
export LC_ALL=C.UTF-8 GSETTINGS_BACKEND=memory GTK_A11Y=none
# The palette logs every paste as it ends: the checks wait for that, never for a time.
export QT_LOGGING_RULES="pikome.paste.debug=true"

# A session bus of our own: gnome-text-editor will not start without one.
e2e_spawn dbus-daemon --session --nofork --nopidfile --address="unix:path=$E2E_TMP/bus" \
    >"$E2E_ARTIFACTS/dbus.log" 2>&1
wait_until 5 test -S "$E2E_TMP/bus" || fail "the session bus did not start"
bus="unix:path=$E2E_TMP/bus"

# --- reading what arrived -------------------------------------------------------------------
# Each application's text so far, as it shows it: terminals run a recorder that writes every
# byte the terminal sends it (raw mode: Enter is a CR), editors save their file on Ctrl+S,
# the page copies its text area into its title (line breaks as ⏎).
declare -A app_id app_text want
recorder() { echo "stty raw -echo; exec cat >'$1'"; }

start_app() { # name
    local name=$1 file=$E2E_TMP/$1.txt
    : >"$file"
    exec 4>>"$E2E_ARTIFACTS/$name.log"
    app_text[$name]=$file
    case $name in
    xterm) e2e_spawn xterm -title "$name" -e sh -c "$(recorder "$file")" 2>&4 ;;
    xfce4-terminal)
        e2e_spawn xfce4-terminal --disable-server --title "$name" -x sh -c "$(recorder "$file")" 2>&4 ;;
    gnome-text-editor)
        DBUS_SESSION_BUS_ADDRESS=$bus e2e_spawn gnome-text-editor --standalone "$file" 2>&4 ;;
    l3afpad) e2e_spawn l3afpad "$file" 2>&4 ;;
    chromium)
        cat >"$E2E_TMP/page.html" <<'EOF'
<!DOCTYPE html><html><head><meta charset="utf-8"><title>page-ready</title></head><body>
<textarea id="t" autofocus rows="10" cols="60"></textarea>
<script>
const t = document.getElementById('t');
t.addEventListener('input', () => { document.title = 'T:' + t.value.replace(/\n/g, '⏎'); });
t.focus();
</script></body></html>
EOF
        e2e_spawn chromium --no-sandbox --disable-gpu --disable-quic --no-first-run \
            --disable-background-networking --disable-component-update --disable-sync \
            --password-store=basic --user-data-dir="$E2E_TMP/chromium" --app="file://$E2E_TMP/page.html" 2>&4 ;;
    esac
    local title=$name
    case $name in
    gnome-text-editor | l3afpad) title="$name.txt" ;;
    chromium) title=page-ready ;;
    esac
    exec 4>&-
    app_id[$name]=$(wait_for_window_by_name "$title" 40) || fail "$name did not appear"
    xdotool windowmove "${app_id[$name]}" 600 100
    want[$name]=
}

shows() { # name expected: the application holds exactly the text
    local name=$1 expected=$2
    case $name in
    xterm | xfce4-terminal) _file_is "${app_text[$name]}" "$expected" ;;
    chromium)
        local title
        title=$(xprop -id "${app_id[$name]}" -notype _NET_WM_NAME 2>/dev/null | sed -n 's/^_NET_WM_NAME = "\(.*\)"$/\1/p')
        [ "$title" = "T:${expected//$'\n'/⏎}" ] ;;
    gnome-text-editor)
        # GtkSourceView saves one line break more than it shows.
        xdotool key ctrl+s
        _file_is "${app_text[$name]}" "$expected"$'\n' ;;
    l3afpad)
        xdotool key ctrl+s
        _file_is "${app_text[$name]}" "$expected" ;;
    esac
}

what_it_shows() {
    case $1 in
    chromium) xprop -id "${app_id[$1]}" -notype _NET_WM_NAME ;;
    *) show_file "${app_text[$1]}" ;;
    esac
}

# What Enter types: a terminal sends CR, an editor breaks the line.
enter_of() { case $1 in xterm | xfce4-terminal) printf '\r' ;; *) printf '\n' ;; esac; }

# --- the palette's pastes and the user's clipboard -------------------------------------------
pastes_done() { grep -c 'pasted into' "$palette_log" || true; }
runs_done() { grep -c 'the run of pastes ended' "$palette_log" || true; }
_count_reaches() { [ "$("$1")" -ge "$2" ]; }

selection_text() { timeout 2 xclip -o -selection "$1" 2>/dev/null; }
_selection_is() { [ "$(selection_text "$1"; echo .)" = "$2." ]; }

# The user's own clipboard and primary selection: xclip in the foreground (-quiet), so that its
# pid is ours to stop; it ends by itself when another program takes the selection over.
own_selection() { # selection text
    local file=$E2E_TMP/user-$1.txt
    printf %s "$2" >"$file"
    e2e_spawn xclip -quiet -selection "$1" -i "$file" >>"$E2E_TMP/xclip.log" 2>&1
    wait_until 5 _selection_is "$1" "$2" || fail "xclip did not take the $1 selection"
}

# One click (or a double-click) on entry I into application NAME, then every check.
paste_case() { # name entry clicks keep round
    local name=$1 entry=$2 clicks=$3 keep=$4 round=$5
    local user_clipboard="clipboard $round of $name ✓" user_primary="primary $round of $name ✓"
    if [ "$keep" = 1 ]; then
        own_selection clipboard "$user_clipboard"
        own_selection primary "$user_primary"
    fi
    local before=$(($(pastes_done))) runs_before=$(($(runs_done)))
    click_entry "$entry" "$clicks"
    wait_until 10 _count_reaches pastes_done $((before + 1)) || fail "$name: the paste never ended"
    want[$name]+=${KAOMOJI[$entry]}
    if [ "$clicks" = 2 ]; then
        want[$name]+=$(enter_of "$name"; echo .)
        want[$name]=${want[$name]%.}
    fi
    wait_until 5 shows "$name" "${want[$name]}" ||
        fail "$name (Check3=$keep, $clicks click(s)): expected $(show_text "${want[$name]}"), got $(what_it_shows "$name")"
    if [ "$keep" = 1 ]; then
        wait_until 5 _count_reaches runs_done $((runs_before + 1)) || fail "$name: the run of pastes never ended"
        _selection_is clipboard "$user_clipboard" ||
            fail "$name: the clipboard holds $(show_text "$(selection_text clipboard)"), not the user's $(show_text "$user_clipboard")"
        _selection_is primary "$user_primary" ||
            fail "$name: the primary selection holds $(show_text "$(selection_text primary)"), not the user's"
    else
        _selection_is clipboard "${KAOMOJI[$entry]}" ||
            fail "$name: with Check3=0 the clipboard holds $(show_text "$(selection_text clipboard)")"
    fi
}

# A shell in the terminal: "echo " typed, then a double-click's entry and Enter run it.
start_shell() { # terminal
    local name=$1-shell rc=$E2E_TMP/$1-shell.rc out=$E2E_TMP/$1-shell.out
    : >"$out"
    # Commands write to the file; the prompt and the line being edited go to the terminal.
    printf '%s\n' "PS1='$ '" 'HISTFILE=/dev/null' "exec >>'$out'" >"$rc"
    case $1 in
    xterm) e2e_spawn xterm -title "$name" -e bash --noprofile --rcfile "$rc" -i 2>>"$E2E_ARTIFACTS/$name.log" ;;
    xfce4-terminal)
        e2e_spawn xfce4-terminal --disable-server --title "$name" -x bash --noprofile --rcfile "$rc" -i \
            2>>"$E2E_ARTIFACTS/$name.log" ;;
    esac
    app_id[$name]=$(wait_for_window_by_name "^$name\$" 20) || fail "$name did not appear"
    app_text[$name]=$out
    want[$name]=
    xdotool windowmove "${app_id[$name]}" 600 500
}

shell_case() { # terminal entry keep
    local name=$1-shell entry=$2
    make_target "${app_id[$name]}"
    xdotool type "echo "
    local before=$(($(pastes_done)))
    click_entry "$entry" 2
    wait_until 10 _count_reaches pastes_done $((before + 1)) || fail "$name: the paste never ended"
    want[$name]+=${KAOMOJI[$entry]}$'\n'
    wait_until 5 _file_is "${app_text[$name]}" "${want[$name]}" ||
        fail "$name (Check3=$3): echo printed $(show_file "${app_text[$name]}"), expected $(show_text "${want[$name]}")"
}

# PASTE_APPS="xterm chromium" tries some of them only.
read -r -a apps <<<"${PASTE_APPS:-xterm xfce4-terminal gnome-text-editor chromium l3afpad}"
terminals=()
for name in "${apps[@]}"; do
    start_app "$name"
    case $name in xterm | xfce4-terminal) terminals+=("$name") ;; esac
done
for terminal in "${terminals[@]}"; do
    start_shell "$terminal"
done

for keep in 0 1; do
    prepare_folder "$E2E_TMP/keep$keep" Check3=$keep DoubleClick=1
    start_palette "$E2E_TMP/keep$keep" || fail "the palette did not appear"
    started=$(date +%s%N)
    for ((round = 1; round <= rounds; round++)); do
        for name in "${apps[@]}"; do
            make_target "${app_id[$name]}"
            paste_case "$name" $((round % 2)) 1 "$keep" "$round"
            paste_case "$name" $((4 + round % 2)) 2 "$keep" "$round"
        done
        for terminal in "${terminals[@]}"; do
            shell_case "$terminal" "${SHELL_ENTRIES[round % 2]}" "$keep"
        done
    done
    e2e_log "Check3=$keep: $rounds round(s) in ${apps[*]} and the shells passed" \
        "in $((($(date +%s%N) - started) / 1000000)) ms"
    palette_healthy || fail "the palette is not healthy"
    kill -TERM "$palette_pid"
    wait "$palette_pid" 2>/dev/null || true
done
screenshot real-apps.png
echo "e2e paste_real_apps: passed"
