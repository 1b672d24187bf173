#!/usr/bin/env bash
# How the real program ends when the desktop ends it, and how it starts when it is already
# running: SIGTERM and SIGHUP save (with automatic saving on) and end within 2 s, also when more
# end signals follow at once (systemd's SIGTERM, SIGCONT, SIGHUP; SIGHUP 50 ms into the save of
# 15 MB of ASCII art), and signals that mean nothing to it change nothing; without
# automatic saving nothing is written; a logout through a real X session manager (xsm) does the
# same; a lost X connection (xkill, the server killed) saves too;
# every way of ending gives back the keycode borrowed for the input-mode key; a second start on the same files
# brings the first copy forward and ends, and a copy killed with SIGKILL never blocks the next
# start; without an X display the program says so in one line and exits 1. With
# "クリップボードは使わない" on, the user's clipboard that the palette holds when it ends is
# handed to a clipboard manager (tests/e2e/clipboard_keeper.cpp), by "終了" and by SIGTERM.
# usage: session_end.sh PROGRAM RECEIVER CLIPBOARD_KEEPER
set -euo pipefail
program=$1
receiver=$2
keeper=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

# --- no display --------------------------------------------------------------------------------
folder=$E2E_TMP/nodisplay
prepare_folder "$folder"
no_display() { # description, then the environment to run with
    local what=$1 status=0 out=$E2E_TMP/nodisplay.err
    shift
    env "$@" timeout 10 "$folder/pikome" >/dev/null 2>"$out" || status=$?
    [ "$status" -eq 1 ] || fail "$what: exit status $status, expected 1; stderr: $(show_file "$out")"
    [ "$(wc -l <"$out")" -eq 1 ] && grep -q 'no X display' "$out" && grep -q 'DISPLAY' "$out" ||
        fail "$what: expected one line naming DISPLAY, got $(show_file "$out")"
    e2e_log "$what: $(cat "$out")"
}
no_display "DISPLAY unset" -u DISPLAY
# A display number no server uses (Xvfb below takes the first free one, counting from 0).
no_display "DISPLAY without a server" DISPLAY=:4711

e2e_start_desktop
xdotool mousemove 1000 900

# Line 3081 of the kaomoji file: page 10 (the history), row 1, the newest entry.
history_first() { sed -n 3081p "$1/顔文字.ini" | iconv -f CP932 -t UTF-8 | tr -d '\r'; }
input_mode_key_bound() { xmodmap -pke | grep -qw Zenkaku_Hankaku; }
# A process that has ended (a zombie until waited for counts as ended).
_ended() {
    local state
    state=$(ps -o stat= -p "$1" 2>/dev/null) || return 0
    [[ $state == Z* ]]
}
# Starts a palette on FOLDER, pastes entry 0 into a receiver, which leaves the kaomoji at the
# head of the history (in memory only) and, with Check7=0, the input-mode key (Zenkaku_Hankaku) bound to a spare keycode.
paste_once() {
    local folder=$1
    start_palette "$folder" || fail "the palette did not appear"
    start_receiver "target-$(basename "$folder")" || fail "the receiver did not appear"
    make_target "$receiver_id"
    click_entry 0
    wait_file_is "$receiver_text" "${KAOMOJI[0]}" 3 || fail "the paste did not arrive: $(show_file "$receiver_text")"
    # The input-mode key follows the paste once the target has fetched the text.
    wait_until 3 input_mode_key_bound || fail "no keycode is bound to Zenkaku_Hankaku after a paste with Check7=0: the test would not test"
}
# end_by HOW FOLDER EXPECTED-STATUS: ends the palette, within 2 s, with the given exit status.
end_by() {
    local how=$1 folder=$2 expected=$3 status=0
    case $how in
    # systemd ends a login session with these three back to back.
    burst) kill -TERM "$palette_pid" && kill -CONT "$palette_pid" && kill -HUP "$palette_pid" ;;
    # The second end signal while the first one's save is under way.
    late-hup) kill -TERM "$palette_pid" && sleep 0.05 && kill -HUP "$palette_pid" ;;
    SIG*) kill "-${how#SIG}" "$palette_pid" ;;
    xkill) xkill -id "$palette_id" >/dev/null ;;
    esac
    # A save of 15 MB takes seconds in a debug build on a loaded machine; the rest well under 2 s.
    local bound=2
    [ "$how" = late-hup ] && bound=15
    wait_until "$bound" _ended "$palette_pid" || fail "$how: the palette still runs $bound s later"
    wait "$palette_pid" || status=$?
    [ "$status" -eq "$expected" ] || fail "$how: exit status $status, expected $expected (log: $(show_file "$palette_log"))"
    kill -TERM "$receiver_pid" 2>/dev/null || true
    wait "$receiver_pid" 2>/dev/null || true
}

for how in SIGTERM SIGHUP burst late-hup xkill; do
    folder=$E2E_TMP/$how
    prepare_folder "$folder" Check7=0 Check8=1
    if [ "$how" = late-hup ]; then
        # 15 MB of ASCII art make the save long enough for the second signal to land inside it.
        awk 'BEGIN { for (i = 0; i < 500000; i++) print "　（　´∀｀）＜ ぬるぽ　ガッ！" }' |
            write_cp932 "$folder/AA/AAText_1_01.txt"
        cp "$folder/AA/AAText_1_01.txt" "$E2E_TMP/big-art"
    fi
    paste_once "$folder"
    expected=0
    # Qt's xcb plugin ends the process with status 1 when its connection breaks.
    [ "$how" = xkill ] && expected=1
    end_by "$how" "$folder" "$expected"
    [ "$(history_first "$folder")" = "${KAOMOJI[0]}" ] ||
        fail "$how: the history was not saved (line 3081 holds $(show_text "$(history_first "$folder")"))"
    ! input_mode_key_bound || fail "$how: a keycode is still bound to Zenkaku_Hankaku after the palette ended"
    leftovers=$(find "$folder" -name '*.tmp')
    [ -z "$leftovers" ] || fail "$how: the save left $leftovers"
    if [ "$how" = late-hup ]; then
        cmp -s "$E2E_TMP/big-art" "$folder/AA/AAText_1_01.txt" || fail "$how: the 15 MB piece changed"
    fi
    e2e_log "$how: saved the history, gave the borrowed keycode back, ended"
done

# Without automatic saving nothing is written.
folder=$E2E_TMP/nosave
prepare_folder "$folder" Check7=1 Check8=0
cp -a "$folder" "$E2E_TMP/nosave-before"
paste_once_without_input_mode_key() {
    start_palette "$folder" || fail "the palette did not appear"
    start_receiver target-nosave || fail "the receiver did not appear"
    make_target "$receiver_id"
    click_entry 0
    wait_file_is "$receiver_text" "${KAOMOJI[0]}" 3 || fail "the paste did not arrive"
}
paste_once_without_input_mode_key
end_by SIGTERM "$folder" 0
diff -r "$E2E_TMP/nosave-before" "$folder" >/dev/null || fail "SIGTERM without automatic saving changed files"
e2e_log "SIGTERM without automatic saving: nothing written"

# --- the user's clipboard outlives the palette, with a clipboard manager ---------------------------
e2e_spawn "$keeper" >"$E2E_TMP/keeper.out" 2>>"$E2E_ARTIFACTS/keeper.log"
keeper_pid=$E2E_LAST_PID
wait_until 5 grep -q keeping "$E2E_TMP/keeper.out" || fail "the clipboard manager did not start"
_clipboard_is() { [ "$(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null)" = "$1" ]; }
for how in 終了 SIGTERM; do
    folder=$E2E_TMP/keep-$how
    prepare_folder "$folder" Check3=1 Check8=1
    start_palette "$folder" || fail "the palette did not appear"
    users_text="ユーザーの文 $how"
    printf '%s' "$users_text" >"$E2E_TMP/users-text"
    e2e_spawn xclip -quiet -selection clipboard -i "$E2E_TMP/users-text" 2>/dev/null
    xclip_pid=$E2E_LAST_PID
    wait_until 5 _clipboard_is "$users_text" || fail "xclip did not take the clipboard"
    start_receiver "target-keep-$how" || fail "the receiver did not appear"
    make_target "$receiver_id"
    click_entry 0
    wait_file_is "$receiver_text" "${KAOMOJI[0]}" 3 || fail "the paste did not arrive: $(show_file "$receiver_text")"
    # The palette gave the user's text back and holds it; the program it came from ends.
    wait_until 3 _clipboard_is "$users_text" || fail "the user's text did not come back after the paste"
    # (xclip ends by itself once it has lost the clipboard to the paste.)
    kill "$xclip_pid" 2>/dev/null || true
    wait "$xclip_pid" 2>/dev/null || true
    _clipboard_is "$users_text" || fail "the palette does not hold the user's text: the test would not test"
    kept_before=$(grep -c kept "$E2E_TMP/keeper.out" || true)
    if [ "$how" = SIGTERM ]; then
        kill -TERM "$palette_pid"
    else
        _pause_before_click
        # "終了": client twips 0, 6540, 1095 x 315.
        xdotool mousemove $((palette_x + 547 / 15)) $((palette_y + (6540 + 157) / 15)) click 1
    fi
    wait_until 3 _ended "$palette_pid" || fail "$how: the palette still runs"
    wait "$palette_pid" 2>/dev/null || true
    [ "$(grep -c kept "$E2E_TMP/keeper.out")" -gt "$kept_before" ] || fail "$how: the clipboard was not handed to the manager"
    _clipboard_is "$users_text" ||
        fail "$how: after the palette ended the clipboard holds $(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>&1)"
    kill -TERM "$receiver_pid" 2>/dev/null || true
    e2e_log "$how with a clipboard manager: the user's text outlived the palette"
done
kill -TERM "$keeper_pid"
wait "$keeper_pid" 2>/dev/null || true

# --- logout through a real X session manager ---------------------------------------------------
# xsm, the X sample session manager, ends its session on SIGTERM as at a logout: every client is
# asked to save (SaveYourself, shutdown, save type Local: Qt answers with the restart command
# alone and asks the program to commit nothing), then told to die, and the palette saves then.
# Its "Shutdown" menu's "Immediately" tells every client to die without asking it to save; "With
# Checkpoint" asks for a save of type Both (which Qt passes on as a commit request), then for the
# end. The palette joins its session through SESSION_MANAGER; nothing else here does.
export ICEAUTHORITY=$E2E_TMP/ICEauthority
# logout_through_xsm FOLDER HOW: starts a session manager of its own, the palette inside its
# session on FOLDER, pastes once, then shuts the session down (HOW: SIGTERM to xsm, or
# "immediately" or "checkpoint" from its menu); the palette ends within 2 s.
logout_through_xsm() {
    local folder=$1 how=$2 home address xsm_log
    home=$E2E_TMP/xsm-$(basename "$folder")
    xsm_log=$E2E_ARTIFACTS/xsm-$(basename "$folder").log
    address=$home/address
    mkdir -p "$home"
    # The first client xsm starts tells the test where the session manager listens.
    cat >"$home/note-address" <<EOF
#!/bin/sh
echo "\$SESSION_MANAGER" >"$address"
EOF
    chmod +x "$home/note-address"
    echo "$home/note-address" >"$home/.xsmstartup"
    HOME=$home SM_SAVE_DIR=$home e2e_spawn xsm -verbose >"$xsm_log" 2>&1
    local xsm_pid=$E2E_LAST_PID
    wait_until 10 test -s "$address" || fail "xsm did not start its session (log: $(show_file "$xsm_log"))"
    SESSION_MANAGER=$(cat "$address") start_palette "$folder" || fail "the palette did not appear"
    start_receiver "target-$(basename "$folder")" || fail "the receiver did not appear"
    make_target "$receiver_id"
    click_entry 0
    wait_file_is "$receiver_text" "${KAOMOJI[0]}" 3 || fail "the paste did not arrive: $(show_file "$receiver_text")"
    if [ "$how" = SIGTERM ]; then
        kill -TERM "$xsm_pid"
    else
        # xsm's main window: "Shutdown" is the lower right button; its menu opens below it,
        # "With Checkpoint" first, "Immediately" second.
        local xsm_id entry_y=102 dialog_id
        [ "$how" = checkpoint ] && entry_y=76
        xsm_id=$(wait_for_window_by_name '^xsm: ' 5) || fail "xsm's window did not appear"
        xdotool windowmove --sync "$xsm_id" 700 600 windowactivate --sync "$xsm_id" >/dev/null 2>&1 || true
        xdotool mousemove --window "$xsm_id" 139 48 mousedown 1 sleep 0.5 \
            mousemove --window "$xsm_id" 149 "$entry_y" sleep 0.3 mouseup 1
        if [ "$how" = checkpoint ]; then
            # Its dialog: a name for the session (the field at the top), save type Both and
            # interaction Any by default, then its own "Shutdown" button at the bottom left.
            dialog_id=$(wait_for_window_by_name '^Shutdown$' 5) || fail "xsm's shutdown dialog did not appear"
            xdotool mousemove --window "$dialog_id" 174 18 click 1 sleep 0.3 type logout
            xdotool mousemove --window "$dialog_id" 48 137 click 1
        fi
    fi
    wait_until 2 _ended "$palette_pid" || fail "logout: the palette still runs 2 s after the session manager began the shutdown"
    local status=0
    wait "$palette_pid" || status=$?
    [ "$status" -eq 0 ] || fail "logout: exit status $status, expected 0 (log: $(show_file "$palette_log"))"
    wait_until 5 _ended "$xsm_pid" || fail "xsm did not end with its session"
    wait "$xsm_pid" 2>/dev/null || true
    # xsm's log is a file, so its output is buffered until it ends.
    grep -q 'sent DIE' "$xsm_log" ||
        fail "logout: xsm never told the palette to die: the test would not test (log: $(show_file "$xsm_log"))"
    kill -TERM "$receiver_pid" 2>/dev/null || true
    wait "$receiver_pid" 2>/dev/null || true
}
for how in SIGTERM immediately checkpoint; do
    folder=$E2E_TMP/logout-$how
    prepare_folder "$folder" Check7=1 Check8=1
    logout_through_xsm "$folder" "$how"
    [ "$(history_first "$folder")" = "${KAOMOJI[0]}" ] ||
        fail "logout ($how): the history was not saved (line 3081 holds $(show_text "$(history_first "$folder")"))"
    e2e_log "logout through xsm ($how): saved the history, ended"
done
folder=$E2E_TMP/logout-nosave
prepare_folder "$folder" Check7=1 Check8=0
cp -a "$folder" "$E2E_TMP/logout-nosave-before"
logout_through_xsm "$folder" SIGTERM
diff -r "$E2E_TMP/logout-nosave-before" "$folder" >/dev/null || fail "logout without automatic saving changed files"
e2e_log "logout through xsm without automatic saving: nothing written"

# --- one copy per collection -------------------------------------------------------------------
folder=$E2E_TMP/single
prepare_folder "$folder"
start_palette "$folder" || fail "the palette did not appear"
first_pid=$palette_pid first_id=$palette_id
xdotool windowminimize "$first_id"
_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
wait_until 5 bash -c "! xwininfo -id $first_id | grep -q IsViewable" || fail "the palette could not be minimized"
for round in 1 2; do
    status=0
    timeout 15 "$folder/pikome" >"$E2E_TMP/second.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "start $((round + 1)): exit status $status ($(show_file "$E2E_TMP/second.log"))"
    kill -0 "$first_pid" || fail "start $((round + 1)) ended the first copy"
    wait_until 5 _viewable "$first_id" || fail "start $((round + 1)) did not bring the palette forward"
    [ "$(xdotool search --name '^ぴこめ$' | wc -l)" -eq 1 ] || fail "start $((round + 1)) left a second palette"
    xdotool windowminimize "$first_id"
    wait_until 5 bash -c "! xwininfo -id $first_id | grep -q IsViewable" || fail "the palette could not be minimized"
done
e2e_log "two more starts on the same files brought the first copy forward and ended"
# Ten starts at once on other files: they take the claim in turns, one runs, nine end with 0.
crowd=$E2E_TMP/crowd
prepare_folder "$crowd"
crowd_pids=()
for _ in $(seq 10); do
    e2e_spawn "$crowd/pikome" >>"$E2E_ARTIFACTS/crowd.log" 2>&1
    crowd_pids+=("$E2E_LAST_PID")
done
_crowd_settled() {
    local pid running=()
    for pid in "${crowd_pids[@]}"; do
        _ended "$pid" || running+=("$pid")
    done
    [ "${#running[@]}" -eq 1 ] && crowd_palette=${running[0]}
}
wait_until 30 _crowd_settled || fail "ten starts at once: not one copy left running"
wait_until 10 xdotool search --onlyvisible --pid "$crowd_palette" >/dev/null ||
    fail "ten starts at once: the copy left running shows no palette"
for pid in "${crowd_pids[@]}"; do
    [ "$pid" = "$crowd_palette" ] && continue
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "a start among ten at once ended with $status ($(show_file "$E2E_ARTIFACTS/crowd.log"))"
done
kill -TERM "$crowd_palette"
e2e_log "ten starts at once on the same files: one palette, nine brought it forward and ended"
kill -KILL "$first_pid"
wait "$first_pid" 2>/dev/null || true
start_palette "$folder" || fail "after SIGKILL of the first copy, a new start did not show the palette"
palette_healthy || fail "the palette started after the SIGKILL is not healthy"
e2e_log "after SIGKILL of the running copy, the next start runs"
# Their default action would end the palette unsaved; to the palette they mean nothing.
for signal in USR1 USR2 ALRM PIPE; do
    kill "-$signal" "$palette_pid"
done
! wait_until 0.5 _ended "$palette_pid" && palette_healthy || fail "SIGUSR1, SIGUSR2, SIGALRM or SIGPIPE ended the palette"
e2e_log "SIGUSR1, SIGUSR2, SIGALRM and SIGPIPE changed nothing"

# --- the session ends: SIGTERM and the X server's death at once --------------------------------
# Last: the desktop goes with it. At a logout the palette is told to end while its server goes
# away; an ending that tears the program down as the connection breaks crashed (heap corruption)
# now and then. The palette started just above is given a history to save.
start_receiver target-last || fail "the receiver did not appear"
make_target "$receiver_id"
click_entry 0
wait_file_is "$receiver_text" "${KAOMOJI[0]}" 3 || fail "the paste did not arrive"
xvfb_pid=${E2E_PIDS[0]}
[ "$(ps -o comm= -p "$xvfb_pid")" = Xvfb ] || fail "pid $xvfb_pid is not the X server"
kill -TERM "$palette_pid"
kill -KILL "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
wait_until 2 _ended "$palette_pid" || fail "the palette still runs 2 s after SIGTERM and its X server's death"
status=0
wait "$palette_pid" || status=$?
[ "$status" -le 1 ] && ! grep -Eiq 'corrupt|free\(\)|abort' "$palette_log" ||
    fail "the palette crashed (status $status): $(show_file "$palette_log")"
[ "$(history_first "$folder")" = "${KAOMOJI[0]}" ] ||
    fail "the history was not saved (log: $(show_file "$palette_log"))"
e2e_log "SIGTERM as the X server died: the palette saved the history and ended (status $status)"
echo "e2e session_end: passed"
