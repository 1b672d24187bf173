#!/usr/bin/env bash
# The real program is killed (SIGKILL) at random moments while it saves over and over: after
# every kill each of its files is byte for byte the old version or the new one, whatever else
# lies in the folders is only a temporary file of an unfinished save (a name the program never
# reads), and the program starts again on what is left and saves the same new version.
# Usage: kill_during_save.sh PROGRAM [ITERATIONS] [SECONDS]
set -euo pipefail
program=$1
iterations=${2:-40}
budget=${3:-60}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"

fail() {
    e2e_log "FAIL: $*"
    exit 1
}

folder=$E2E_TMP/pikome
old=$E2E_TMP/old
new=$E2E_TMP/new
files=(顔文字.ini 設定.ini AA/AAOptions.ini AA/AAText_1_00.txt AA/AAText_1_01.txt AA/AAText_1_02.txt
       AA/AAText_1_03.txt AA/AAText_1_04.txt)
# What an unfinished save leaves: the target's name, a dot, eight letters or digits, ".tmp".
temp_pattern='^(顔文字\.ini|設定\.ini|AAOptions\.ini|AAText_1_0[0-4]\.txt)\.[0-9a-z]{8}\.tmp$'

to_cp932() { iconv -f UTF-8 -t CP932; }

# The old versions: a full collection (3400 lines, each one a group name or a kaomoji) and
# ASCII art with CR line ends as an old editor left them, and profile files that lack most keys.
# The program reads them all and its save writes each one anew.
prepare_old() {
    mkdir -p "$old/AA"
    awk 'BEGIN {
        split("(^_^) (*^▽^*) (´・ω・｀) ＼(^o^)／ (；´Д｀) (ﾟДﾟ) (=^・^=) ヽ(´ー｀)ノ", face, " ")
        for (n = 0; n < 3400; n++) {
            page = int(n / 340); row = int(n % 340 / 20); slot = n % 20
            if (row == 0) printf "グループ%d-%d\r", page, slot
            else printf "%s%d-%d-%d\r", face[(n % 8) + 1], page, row, slot
        }
    }' | to_cp932 >"$old/顔文字.ini"
    printf '[Options]\r\nCheck0=0\r\nCheck1=0\r\nCheck2=0\r\nCheck4=0\r\nCheck8=1\r\n[PageName]\r\nPage1=よく使う顔\r\n' |
        to_cp932 >"$old/設定.ini"
    printf '; ねこの部屋\r\n[Page1]\r\nName_0=ねこ\r\nName_1=いぬ\r\n' | to_cp932 >"$old/AA/AAOptions.ini"
    local e
    for e in 0 1 2 3 4; do
        printf '  ∧＿∧\r （ ´∀｀）%d\r （　　　）\r' "$e" | to_cp932 >"$old/AA/AAText_1_0$e.txt"
    done
}

restore_old() {
    local f
    for f in "${files[@]}"; do cp "$old/$f" "$folder/$f"; done
}

# Starts the program (not in a subshell: its pid must stay on the cleanup list) and sets
# palette to its window.
start_program() {
    e2e_spawn "$folder/pikome" >>"$E2E_ARTIFACTS/pikome.log" 2>&1
    program_pid=$E2E_LAST_PID
    palette=$(wait_for_window_by_name '^ぴこめ$' 15 "$program_pid") || fail "the palette did not appear"
    framed() { xprop -id "$palette" -notype _NET_FRAME_EXTENTS 2>/dev/null | grep -q '='; }
    wait_until 5 framed || fail "the palette was not framed"
}

# Clicks a button until the window it opens shows (a click while the window manager still
# places the window that holds the button can miss); prints that window's id.
click_until_shown() {
    local title=$1 _
    shift
    for _ in 1 2 3; do
        click_twips "$@"
        wait_for_window_by_name "$title" 3 2>/dev/null && return 0
    done
    e2e_log "no window '$title' after three clicks"
    return 1
}

# Clicks at client twips of a window (the centre of a control given as x y width height).
click_twips() {
    local id=$1 x=$2 y=$3 w=$4 h=$5
    xdotool mousemove --window "$id" $(((x + w / 2) / 15)) $(((y + h / 2) / 15)) click 1
}

# Opens the settings dialog, and from it the ASCII-art dialog when asked; leaves the pointer
# on that dialog's "設定保存".
open_save_button() {
    local variant=$1 settings art
    settings=$(click_until_shown '^ぴこめ　設定$' "$palette" 0 6240 1095 315) || fail "the settings dialog did not open"
    if [ "$variant" = settings ]; then
        xdotool mousemove --window "$settings" $(((6120 + 1395 / 2) / 15)) $(((5820 + 375 / 2) / 15))
    else
        # "AA設定" stands in the frame "その他の設定" at (6120, 120).
        art=$(click_until_shown 'アスキーアート設定$' "$settings" $((6120 + 300)) $((120 + 2280)) 1095 255) ||
            fail "the ASCII-art dialog did not open"
        xdotool mousemove --window "$art" $(((60 + 975 / 2) / 15)) $(((7200 + 375 / 2) / 15))
    fi
}

# A process that has been waited for leaves the cleanup list: its pid may be someone else's later.
forget() {
    local pid=$1 kept=() p
    wait "$pid" 2>/dev/null || true
    for p in "${E2E_PIDS[@]}"; do [ "$p" = "$pid" ] || kept+=("$p"); done
    E2E_PIDS=("${kept[@]}")
}

kill_program() {
    kill -KILL "$program_pid" 2>/dev/null || true
    forget "$program_pid"
    gone() { ! xwininfo -id "$palette" >/dev/null 2>&1; }
    wait_until 5 gone || fail "the killed program's window stayed"
}

# Every file is the old or the new version; anything else is a temporary file. Prints the
# number of temporary files, then "mixed" when the files are neither all old nor all new.
check_files() {
    local f olds=0 news=0 extra count=0
    for f in "${files[@]}"; do
        [ -f "$folder/$f" ] || fail "round $i: $f is gone"
        if cmp -s "$folder/$f" "$new/$f"; then
            news=$((news + 1))
        elif cmp -s "$folder/$f" "$old/$f"; then
            olds=$((olds + 1))
        else
            cp "$folder/$f" "$E2E_ARTIFACTS/broken-$(basename "$f")"
            fail "round $i: $f is neither the old nor the new version (kept in $E2E_ARTIFACTS)"
        fi
    done
    local known=(-e pikome -e AA)
    for f in "${files[@]}"; do known+=(-e "${f##*/}"); done
    extra=$( (cd "$folder" && ls -A && cd AA && ls -A) | grep -vxF "${known[@]}" || true)
    if [ -n "$extra" ]; then
        local bad
        bad=$(grep -vE "$temp_pattern" <<<"$extra" || true)
        [ -z "$bad" ] || fail "round $i: unexpected files after the kill: $bad"
        count=$(wc -l <<<"$extra")
    fi
    echo "$count"
    if [ "$olds" -gt 0 ] && [ "$news" -gt 0 ]; then echo mixed; fi
    return 0
}

e2e_start_desktop
prepare_old
mkdir -p "$folder/AA" "$new/AA"
cp "$program" "$folder/pikome"
restore_old

# The new versions: one save, seen through to the end.
start_program
open_save_button art
xdotool click 1
all_written() {
    local f
    for f in "${files[@]}"; do cmp -s "$folder/$f" "$old/$f" && return 1; done
    return 0
}
wait_until 10 all_written || fail "the first save did not write every file"
sleep 0.5
kill_program
for f in "${files[@]}"; do cp "$folder/$f" "$new/$f"; done
# The collection came through whole: the same 3400 lines, now each ended by CR LF.
sed 's/\r/\r\n/g' "$old/顔文字.ini" | cmp -s - "$new/顔文字.ini" || fail "the saved collection differs from the old one"
grep -q "Name_1=$(printf 'いぬ' | to_cp932)" "$new/AA/AAOptions.ini" || fail "AAOptions.ini lost a name"
[ -z "$(find "$folder" -name '*.tmp')" ] || fail "a finished save left a temporary file"

# Kill, check, start again on what is left. Every other round starts from the old files.
start=$(date +%s)
i=0 during=0 temps=0
while [ "$i" -lt "$iterations" ] && [ $(($(date +%s) - start)) -lt "$budget" ]; do
    i=$((i + 1))
    clicker=
    [ $((i % 2)) -eq 1 ] && restore_old
    variant=settings
    [ $((RANDOM % 2)) -eq 0 ] && variant=art
    temps_before=$(find "$folder" -name '*.tmp' | sort)
    start_program
    if [ $((RANDOM % 8)) -eq 0 ]; then
        # Now and then while the program is still starting, before any save.
        sleep "0.$((RANDOM % 3))"
    else
        open_save_button "$variant"
        # A burst of clicks on "設定保存": the program saves one after another until killed.
        e2e_spawn xdotool click --repeat 400 --delay 3 1
        clicker=$E2E_LAST_PID
        sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.3f", 0.05 + (r % 600) / 1000 }')"
    fi
    kill_program
    if [ -n "$clicker" ]; then
        kill "$clicker" 2>/dev/null || true
        forget "$clicker"
    fi
    result=$(check_files)
    read -r _ mixed <<<"$(tr '\n' ' ' <<<"$result")"
    note=
    # Temporary files of a round are removed by the next start: count only the new ones.
    if [ -n "$(comm -13 <(echo "$temps_before") <(find "$folder" -name '*.tmp' | sort))" ]; then
        temps=$((temps + 1))
        note="left a temporary file"
    fi
    if [ -n "$note" ] || [ -n "${mixed:-}" ]; then
        during=$((during + 1))
        note="killed while saving: ${note:-some files written, some not}"
    fi
    e2e_log "round $i ($variant): ${note:-files whole}"
done

# The program starts once more on all that was left and saves the new version again.
restore_old
start_program
open_save_button art
xdotool click 1
wait_until 10 all_written || fail "the last save did not write every file"
sleep 0.5
kill_program
for f in "${files[@]}"; do
    cmp -s "$folder/$f" "$new/$f" || fail "after all the kills, a save wrote another $f"
done

leftover=$(find "$folder" -name '*.tmp')
[ -z "$leftover" ] || fail "temporary files of killed saves outlived a new start: $leftover"
e2e_log "$i rounds, $during killed in the middle of a save ($temps left a temporary file, removed by the next start)"
[ "$i" -ge 10 ] || fail "only $i rounds in ${budget}s"
[ "$during" -gt 0 ] || fail "no kill came in the middle of a save: the test did not test"
echo "e2e kill_during_save: passed"
