#!/usr/bin/env bash
# The program as a user gets it: `cmake --install` into a prefix of its own puts the executable,
# the menu entry, the icons, the metainfo and the manual page in place (the entry and the
# metainfo pass their validators); the INSTALLED program, started as an ordinary user (not root)
# under Xvfb, reads that user's files from ~/.local/share/pikome, pastes into a receiver, and
# "終了" with automatic saving writes the files back there, owned by the user, and nothing
# beside the executable. Run as root, it makes (once) and uses the account pikome-e2e.
# usage: installed.sh BUILD_DIR RECEIVER
set -euo pipefail
build=$1
receiver=$2
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
source "$here/paste_lib.sh"

# --- installed where it belongs --------------------------------------------------------------
prefix=$E2E_TMP/prefix
cmake --install "$build" --prefix "$prefix" >"$E2E_ARTIFACTS/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$E2E_ARTIFACTS/install.log")"
installed=$prefix/bin/pikome
app_id=io.github.pikome.pikome
for file in bin/pikome "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
    share/icons/hicolor/scalable/apps/pikome.svg share/icons/hicolor/48x48/apps/pikome.png \
    share/man/man1/pikome.1.gz share/doc/pikome/copyright; do
    [ -s "$prefix/$file" ] || fail "cmake --install left out $file"
done
# KWin lets the program type into native Wayland windows only when the entry names it by its path.
grep -qx "Exec=$prefix/bin/pikome" "$prefix/share/applications/$app_id.desktop" ||
    fail "the installed entry does not name $prefix/bin/pikome: $(grep Exec= "$prefix/share/applications/$app_id.desktop")"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "the desktop entry is not valid"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" >"$E2E_ARTIFACTS/appstream.log" 2>&1 ||
        fail "the metainfo is not valid: $(cat "$E2E_ARTIFACTS/appstream.log")"
fi

# --- the user ------------------------------------------------------------------------------
e2e_ordinary_user || fail "cannot make the test account"
# The user must reach the installed program through the private temporary folder.
chmod 0755 "$E2E_TMP"
home=$E2E_TMP/home
runtime=$E2E_TMP/user-runtime
mkdir -p "$home"
mkdir -m 0700 "$runtime"
chown "$uid:$gid" "$home" "$runtime"
user_env=(env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$runtime"
    LANG=C.UTF-8 QT_QPA_PLATFORM=xcb NO_AT_BRIDGE=1 DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/no-session-bus")
e2e_pass_sanitizer_options

# --- the command line ------------------------------------------------------------------------
files=$home/.local/share/pikome
help=$("${as_user[@]}" "${user_env[@]}" "$installed" --help) || fail "pikome --help failed"
grep -qF "  $files" <<<"$help" || fail "pikome --help does not name $files: $help"
status=0
"${as_user[@]}" "${user_env[@]}" "$installed" -platform offscreen >"$E2E_TMP/refused.out" 2>"$E2E_TMP/refused.err" || status=$?
[ "$status" -eq 2 ] || fail "Qt's -platform was not refused (status $status)"
[ "$(wc -l <"$E2E_TMP/refused.err")" -eq 1 ] && [ ! -s "$E2E_TMP/refused.out" ] ||
    fail "the refusal is not one line on the standard error: $(cat "$E2E_TMP/refused.err")"
[ ! -e "$files" ] || fail "--help or a refused start made $files"

# --- a collection brought in, a paste, 終了 with automatic saving ------------------------------
# Check8=1: automatic saving at exit.
program=$installed prepare_folder "$files" Check8=1
rm "$files/pikome"
chown -R "$uid:$gid" "$home"
kaomoji_lines_before=$(iconv -f CP932 -t UTF-8 "$files/顔文字.ini" | grep -cF "${KAOMOJI[0]}")
touch "$E2E_TMP/before-start"

e2e_start_desktop
xdotool mousemove 1000 900
palette_log=$E2E_ARTIFACTS/pikome-installed.log
e2e_spawn "${as_user[@]}" "${user_env[@]}" DISPLAY="$DISPLAY" "$installed" >"$palette_log" 2>&1
palette_pid=$E2E_LAST_PID
palette_id=$(wait_for_window_by_name '^ぴこめ$' 15) || fail "the installed palette did not appear: $(cat "$palette_log")"
_palette_placed() {
    local x y
    read -r x y _ <<<"$(outer_frame_geometry "$palette_id")"
    [ "$x $y" = "100 80" ]
}
# Placed where the user's 設定.ini says: the files were read from the user's folder.
wait_until 10 _palette_placed || fail "the palette stands at $(outer_frame_geometry "$palette_id")"
info=$(xwininfo -id "$palette_id")
palette_x=$(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info")
palette_y=$(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info")
[ "$(stat -c %u "/proc/$palette_pid")" = "$uid" ] || fail "the palette does not run as uid $uid"

start_receiver installed-target || fail "the receiver did not appear"
make_target "$receiver_id"
click_entry 0
wait_file_is "$receiver_text" "${KAOMOJI[0]}" 5 ||
    fail "the receiver got $(show_file "$receiver_text"), expected ${KAOMOJI[0]}"

# "終了" (client twips 0, 6540, 1095 x 315).
_pause_before_click
xdotool mousemove $((palette_x + 547 / 15)) $((palette_y + (6540 + 157) / 15)) click 1
ended() { ! kill -0 "$palette_pid" 2>/dev/null; }
wait_until 10 ended || fail "the installed program did not end on 終了"
wait "$palette_pid" 2>/dev/null || true
! grep -Eiq 'segmentation|abort|X Error|AddressSanitizer|runtime error' "$palette_log" ||
    fail "the palette's log reports trouble: $(cat "$palette_log")"

# The paste went into the history, and the history into the user's kaomoji file.
kaomoji_lines_after=$(iconv -f CP932 -t UTF-8 "$files/顔文字.ini" | grep -cF "${KAOMOJI[0]}")
[ "$kaomoji_lines_after" -eq $((kaomoji_lines_before + 1)) ] ||
    fail "顔文字.ini holds ${KAOMOJI[0]} $kaomoji_lines_after times, expected $((kaomoji_lines_before + 1)) (history)"
for file in 設定.ini 顔文字.ini AA/AAOptions.ini; do
    [ "$files/$file" -nt "$E2E_TMP/before-start" ] || fail "$file was not saved in $files"
    [ "$(stat -c %u "$files/$file")" = "$uid" ] || fail "$file in $files is not the user's own"
done
written=$(find "$prefix" -newer "$E2E_TMP/before-start" -print)
[ -z "$written" ] || fail "written inside the installation: $written"
e2e_log "installed program: pasted as uid $uid, saved into $files, nothing beside the executable"
