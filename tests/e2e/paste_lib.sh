# Sourced by the paste scripts after lib.sh: a program folder with known kaomoji and ASCII art,
# the palette started from it, paste targets (the Qt receiver, zenity), and the clicks and
# bounded waits that every paste check needs.
#
#   prepare_folder FOLDER [KEY=VALUE...]   copies the program, writes 設定.ini ([Options] keys
#                                          given override the defaults below), 顔文字.ini, AA/
#   start_palette FOLDER                   starts it; sets palette_pid, palette_id, palette_log,
#                                          palette_x, palette_y (client area origin on screen)
#   start_receiver NAME                    a Qt receiver titled NAME; sets receiver_pid,
#                                          receiver_id, receiver_text, receiver_keys
#   start_zenity NAME                      zenity --entry titled NAME; sets zenity_pid, zenity_id,
#                                          zenity_out (its stdout)
#   make_target WINID                      foreground, then long enough for the palette to note it
#   click_entry I [CLICKS]                 clicks entry button I (0..19); CLICKS=2: a double-click
#   click_group G / click_aa               group button G (0..15) / the "AA" button
#   wait_file_is FILE EXPECTED TIMEOUT     FILE's bytes become EXPECTED within TIMEOUT seconds
#   show_text TEXT                         TEXT quoted on one line (⏎ for line breaks, ␉ tabs,
#                                          ␍ CRs), for failure messages
#   show_file FILE                         the same for a file's whole text, final line breaks too
#
# Needs: program (the executable to copy), receiver (the receiver executable).

# A failure shows the end of the palette's own log: in CI it is the only account of what it did.
fail() {
    e2e_log "FAIL: $*"
    if [ -n "${palette_log:-}" ] && [ -s "$palette_log" ]; then
        e2e_log "the palette's log ($palette_log) ends:"
        tail -n 30 "$palette_log" >&2
    fi
    exit 1
}

# The kaomoji and the ASCII art the checks paste. Page 0, group 0 holds these entries in order.
KAOMOJI=('(´・ω・｀)' '＼(^o^)／' '(^_^)' '(*^▽^*)' '(；´Д｀)' 'ヽ(・∀・)ﾉ')
AA_NAME='ねこ'
# The art as the file holds it, one line each; the palette joins the lines with CR LF.
AA_LINES=('　 ∧＿∧' '　（　´∀｀）＜ にゃー' '　（　　　　）' '　｜ ｜　|' '　（_＿）＿）')

# cp932 with CR LF, as the files come from Windows.
write_cp932() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$1"; }

prepare_folder() {
    local folder=$1
    shift
    mkdir -p "$folder/AA"
    cp "$program" "$folder/pikome"
    # Check1=0: no auto-hide, so the palette keeps its full height wherever the pointer goes.
    local -A options=([Check0]=1 [Check1]=0 [Check3]=0 [Check6]=0 [Check7]=1 [DoubleClick]=1)
    local kv
    for kv in "$@"; do
        options[${kv%%=*}]=${kv#*=}
    done
    {
        echo '[Options]'
        for kv in "${!options[@]}"; do
            echo "$kv=${options[$kv]}"
        done
        echo 'PageNumber=0'
        echo '[Form]'
        echo 'Form1Left=1500'
        echo 'Form1Top=1200'
        echo 'Form1Width=5100'
    } | write_cp932 "$folder/設定.ini"
    {
        printf '%s\n' 'にこにこ' 'びっくり'
        for _ in $(seq 3 20); do echo; done
        printf '%s\n' "${KAOMOJI[@]}"
        for _ in $(seq $((21 + ${#KAOMOJI[@]})) 3400); do echo; done
    } | write_cp932 "$folder/顔文字.ini"
    printf '%s\n' '[Page1]' "Name_0=$AA_NAME" | write_cp932 "$folder/AA/AAOptions.ini"
    printf '%s\n' "${AA_LINES[@]}" | write_cp932 "$folder/AA/AAText_1_00.txt"
}

# Not in a subshell: the pid must stay on the cleanup list.
start_palette() {
    local folder=$1
    palette_log=$E2E_ARTIFACTS/pikome-$(basename "$folder").log
    e2e_spawn "$folder/pikome" >"$palette_log" 2>&1
    palette_pid=$E2E_LAST_PID
    palette_id=$(wait_for_window_by_name '^ぴこめ$' 15 "$palette_pid") || return 1
    # Placed at its stored position (left 1500, top 1200 twips = 100, 80 pixels, outer frame)
    # once the window manager has framed it; before that the origin still moves.
    _palette_placed() {
        local x y
        read -r x y _ <<<"$(outer_frame_geometry "$palette_id")"
        [ "$x $y" = "100 80" ]
    }
    wait_until 10 _palette_placed || fail "the palette stands at $(outer_frame_geometry "$palette_id")"
    local info
    info=$(xwininfo -id "$palette_id")
    palette_x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
    palette_y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
}

# Screen point in the middle of a control placed at client twips LEFT TOP, WIDTH x HEIGHT.
_twips_point() {
    echo "$((palette_x + ($1 + $3 / 2) / 15)) $((palette_y + ($2 + $4 / 2) / 15))"
}

# A paste (or a double-click's Enter) is finished some 20 ms after the target has it; a click in
# that moment counts as the second click of a double-click (paste_click_timing.sh checks click
# timing). The checks here wait for a paste to arrive and then click at once, faster than a
# person, so every click on the palette comes this much later.
_pause_before_click() { sleep 0.1; }

# Entry buttons: left 1200, top 840 + 300 i, 315 high; 1200 wide is well inside their width.
click_entry() {
    local index=$1 clicks=${2:-1} x y
    _pause_before_click
    read -r x y <<<"$(_twips_point 1200 $((840 + 300 * index)) 1200 315)"
    if [ "$clicks" -eq 2 ]; then
        # 80 ms apart: well inside the palette's 220 ms double-click window.
        xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    else
        xdotool mousemove "$x" "$y" click 1
    fi
}

click_group() {
    local x y
    _pause_before_click
    read -r x y <<<"$(_twips_point 0 $((1080 + 300 * $1)) 1095 315)"
    xdotool mousemove "$x" "$y" click 1
}

click_aa() {
    local x y
    _pause_before_click
    read -r x y <<<"$(_twips_point 0 5880 1095 315)"
    xdotool mousemove "$x" "$y" click 1
}

# Receivers stand right of the palette so that it never covers them.
start_receiver() {
    local name=$1
    receiver_text=$E2E_TMP/$name.txt
    receiver_keys=$E2E_TMP/$name.keys
    rm -f "$receiver_text" "$receiver_keys"
    e2e_spawn "$receiver" "$name" "$receiver_text" "$receiver_keys" 2>>"$E2E_ARTIFACTS/receiver.log"
    receiver_pid=$E2E_LAST_PID
    receiver_id=$(wait_for_window_by_name "^$name\$" 10) || return 1
    # The file appears, empty, once the window is up.
    wait_until 10 test -e "$receiver_text" || fail "receiver $name never wrote $receiver_text"
    xdotool windowmove "$receiver_id" 600 100
}

start_zenity() {
    local name=$1
    zenity_out=$E2E_TMP/$name.out
    : >"$zenity_out"
    e2e_spawn zenity --entry --title "$name" --text "paste here" >"$zenity_out" 2>>"$E2E_ARTIFACTS/zenity.log"
    zenity_pid=$E2E_LAST_PID
    zenity_id=$(wait_for_window_by_name "^$name\$" 15) || return 1
    xdotool windowmove "$zenity_id" 600 400
}

_is_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }

make_target() {
    local id=$1
    timeout 5 xdotool windowactivate --sync "$id" >/dev/null 2>&1 || true
    wait_until 5 _is_active "$id" || fail "window $id did not become the active window"
    # The palette looks at the foreground window every 250 ms.
    sleep 0.5
}

_file_is() { [ -e "$1" ] && [ "$(cat "$1"; echo .)" = "$2." ]; }

wait_file_is() {
    wait_until "$3" _file_is "$1" "$2"
}

show_text() {
    local text=${1//$'\r'/␍}
    text=${text//$'\n'/⏎}
    printf '"%s"' "${text//$'\t'/␉}"
}

show_file() {
    local text
    text=$(cat "$1" 2>/dev/null; echo .)
    show_text "${text%.}"
}

# The palette process is still there and its log shows no crash or X error.
palette_healthy() {
    kill -0 "$palette_pid" 2>/dev/null || { e2e_log "the palette (pid $palette_pid) is gone"; return 1; }
    if grep -Eiq 'segmentation|abort|fatal|X Error|core dumped|AddressSanitizer|runtime error' "$palette_log"; then
        e2e_log "the palette's log reports trouble:"
        cat "$palette_log" >&2
        return 1
    fi
}
