#!/usr/bin/env bash
# Other users of the machine, and root, against a user's palette. Accounts made by the test:
# the user (pikome-e2e) and another user (pikome-e2e-other).
# (a) Another user takes the abstract socket name that guards the user's collection (anyone can
#     compute it) and answers like a running palette: the user's palette starts all the same,
#     with its runtime folder and without one; the claim still keeps one copy per collection.
# (b) Root starts the installed program with the user's HOME (sudo -E) on a first start: the
#     folders it makes and the files it saves are the user's, nothing in the home is root's,
#     and the user's own palette then reads and saves there.
# (c) Root starts the user's private portable collection (sudo ./pikome) and saves: every file
#     keeps its owner and its mode 0600.
# usage: other_users.sh PROGRAM RECEIVER NAME_SQUATTER
set -euo pipefail
program=$1
receiver=$2
squatter=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
# shellcheck source=paste_lib.sh
source "$here/paste_lib.sh"

if [ "$(id -u)" -ne 0 ]; then
    e2e_log "skipped: making accounts and running as root need root"
    exit 77
fi

# --- the accounts and their folders --------------------------------------------------------------
account() { # NAME: made once, as a system account without a home of its own
    id -u "$1" >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$1" ||
        fail "cannot make the test account $1"
}
account pikome-e2e
account pikome-e2e-other
user_uid=$(id -u pikome-e2e)
user_gid=$(id -g pikome-e2e)
other_uid=$(id -u pikome-e2e-other)
other_gid=$(id -g pikome-e2e-other)
# The accounts reach their folders and the X socket through the test's temporary folder.
chmod 0755 "$E2E_TMP"
home=$E2E_TMP/home
user_runtime=$E2E_TMP/user-runtime
other_runtime=$E2E_TMP/other-runtime
mkdir -m 0700 "$home" "$user_runtime" "$other_runtime"
# A home as a desktop session leaves it: ~/.local is there, ~/.local/share not yet.
mkdir -m 0755 "$home/.local"
chown -R "$user_uid:$user_gid" "$home" "$user_runtime"
chown "$other_uid:$other_gid" "$other_runtime"

# The sanitizers' suppressions may lie in a folder the accounts cannot read: a readable copy.
if [[ ${LSAN_OPTIONS:-} =~ suppressions=([^:]+) ]]; then
    cp "${BASH_REMATCH[1]}" "$E2E_TMP/lsan.supp"
    chmod 0644 "$E2E_TMP/lsan.supp"
    LSAN_OPTIONS=${LSAN_OPTIONS/"${BASH_REMATCH[1]}"/"$E2E_TMP/lsan.supp"}
fi
# the environment of a desktop session: HOME, XDG_RUNTIME_DIR ("" leaves it unset), the display
session_env() { # HOME RUNTIME
    local -a vars=(PATH=/usr/bin:/bin HOME="$1" DISPLAY="$DISPLAY" LANG=C.UTF-8 QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1
        DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-session-bus")
    [ -n "$2" ] && vars+=(XDG_RUNTIME_DIR="$2")
    local sanitizer
    for sanitizer in ASAN_OPTIONS UBSAN_OPTIONS LSAN_OPTIONS; do
        [ -n "${!sanitizer:-}" ] && vars+=("$sanitizer=${!sanitizer}")
    done
    printf '%s\0' "${vars[@]}"
}
# as UID GID HOME RUNTIME: sets run_as to the command line that runs a command as that user in
# that session (setpriv replaces itself with the command, so the pid started is the command's
# own); UID 0 runs as root, as sudo -E would.
as() {
    local -a vars
    mapfile -d '' vars < <(session_env "$3" "$4")
    run_as=(env -i "${vars[@]}")
    [ "$1" -eq 0 ] || run_as=(setpriv --reuid="$1" --regid="$2" --clear-groups -- "${run_as[@]}")
}

e2e_start_desktop
xdotool mousemove 1000 900

# The user's own portable collection, private to them (0700 folder, 0600 files).
collection=$home/ぴこめ
prepare_folder "$collection" Check8=1
chown -R "$user_uid:$user_gid" "$collection"
find "$collection" -type d -exec chmod 0700 {} +
find "$collection" -type f ! -name pikome -exec chmod 0600 {} +

palette_windows() { xdotool search --onlyvisible --name '^ぴこめ$' 2>/dev/null | wc -l; }
_ended() { ! kill -0 "$1" 2>/dev/null || [[ $(ps -o stat= -p "$1") == Z* ]]; }
# start_as UID GID HOME RUNTIME EXECUTABLE: a palette as that user; it must show its window.
start_as() {
    local executable=$5
    palette_log=$E2E_ARTIFACTS/pikome-$(date +%s%N).log
    as "$1" "$2" "$3" "$4"
    e2e_spawn "${run_as[@]}" "$executable" >"$palette_log" 2>&1
    palette_pid=$E2E_LAST_PID
    palette_id=$(wait_for_window_by_name '^ぴこめ$' 15) ||
        fail "$executable as uid $1 showed no palette (status: $(_ended "$palette_pid" && echo ended), log: $(show_file "$palette_log"))"
}
end_palette() {
    kill -TERM "$palette_pid"
    wait_until 10 _ended "$palette_pid" || fail "the palette did not end on SIGTERM"
    wait "$palette_pid" 2>/dev/null || true
}

# --- (a) another user holds the name that guards the collection --------------------------------
# The name as anyone can compute it: the user's uid and the collection's folder.
digest=$(printf '%s' "$collection" | sha256sum | cut -c1-32)
name=pikome-$user_uid-$digest
as "$other_uid" "$other_gid" /nonexistent "$other_runtime"
e2e_spawn "${run_as[@]}" "$squatter" "$name" >"$E2E_TMP/squatter.out" 2>&1
wait_until 5 grep -q holding "$E2E_TMP/squatter.out" || fail "the other user could not take the name: $(cat "$E2E_TMP/squatter.out")"
grep -q "@$name" /proc/net/unix || fail "the name is not to be seen in /proc/net/unix"
for runtime in "$user_runtime" ""; do
    start_as "$user_uid" "$user_gid" "$home" "$runtime" "$collection/pikome"
    [ "$(stat -c %u "/proc/$palette_pid")" = "$user_uid" ] || fail "the palette does not run as the user"
    if [ -z "$runtime" ]; then
        grep -q "another user holds the name" "$palette_log" || fail "no note of the other user's name: $(show_file "$palette_log")"
    else
        # One copy per collection still: a second start brings the first forward and ends.
        status=0
        as "$user_uid" "$user_gid" "$home" "$runtime"
        "${run_as[@]}" timeout 15 "$collection/pikome" >"$E2E_TMP/second.log" 2>&1 || status=$?
        [ "$status" -eq 0 ] || fail "a second start ended with $status: $(show_file "$E2E_TMP/second.log")"
        [ "$(palette_windows)" -eq 1 ] || fail "a second start left a second palette"
    fi
    end_palette
    e2e_log "another user holds the name: the palette started (runtime folder: ${runtime:-none})"
done

# --- (b) root starts the installed program with the user's HOME, on a first start ------------------
prefix=$E2E_TMP/prefix
mkdir -p "$prefix/bin"
cp "$program" "$prefix/bin/pikome"
chmod 0755 "$prefix" "$prefix/bin"
files=$home/.local/share/pikome
# sudo -E keeps HOME and XDG_RUNTIME_DIR; automatic saving is on by default.
start_as 0 0 "$home" "$user_runtime" "$prefix/bin/pikome"
end_palette
[ -d "$files" ] || fail "root's start made no $files"
roots=$(find "$home" "$user_runtime" -user root -printf '%p ')
[ -z "$roots" ] || fail "root left what the user cannot use: $roots"
for made in "$home/.local/share" "$files"; do
    [ "$(stat -c '%u %a' "$made")" = "$user_uid 700" ] || fail "$made is $(stat -c '%U %a' "$made")"
done
e2e_log "root's first start with the user's HOME made $(find "$files" | wc -l) entries, all the user's"
# The user's own palette saves there: it makes its settings file anew.
rm "$files/設定.ini"
start_as "$user_uid" "$user_gid" "$home" "$user_runtime" "$prefix/bin/pikome"
end_palette
[ "$(stat -c %u "$files/設定.ini" 2>/dev/null)" = "$user_uid" ] || fail "the user's own palette could not save in $files"
e2e_log "the user's own palette then saved in $files"

# --- (c) root starts the user's private portable collection and saves -----------------------------
# Files cut short in place (owner and mode as they were), so that the save writes each anew.
for file in 設定.ini 顔文字.ini AA/AAOptions.ini; do
    head -n 1 "$collection/$file" >"$E2E_TMP/cut"
    cat "$E2E_TMP/cut" >"$collection/$file"
done
before=$(cd "$collection" && find . -printf '%p %u:%g %m\n' | sort)
touch "$E2E_TMP/before-root"
start_as 0 0 /root "" "$collection/pikome"
end_palette
for file in 設定.ini 顔文字.ini AA/AAOptions.ini; do
    [ "$collection/$file" -nt "$E2E_TMP/before-root" ] || fail "root's palette did not save $file: the test would not test"
done
after=$(cd "$collection" && find . -printf '%p %u:%g %m\n' | sort)
[ "$after" = "$before" ] || fail "root's save changed owners or modes: $(diff <(echo "$before") <(echo "$after") | tr '\n' ' ')"
e2e_log "root saved the user's private collection: every file kept its owner and mode"
echo "e2e other_users: passed"
