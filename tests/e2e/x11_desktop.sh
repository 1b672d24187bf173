#!/usr/bin/env bash
# The X11 desktop on a private Xvfb: first with no window manager, then under openbox; then a
# short check of this folder's harness helpers, which the program's own end-to-end tests use.
# usage: x11_desktop.sh X11_DESKTOP_TEST RECEIVER
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
source "$here/lib.sh"
test_program=$1
receiver=$2

e2e_start_xvfb
"$test_program" --bare
e2e_start_openbox
"$test_program" --wm "$receiver"

# Harness helpers against a real window.
e2e_spawn "$receiver" --topmost "harness check" "$E2E_TMP/harness.txt"
id=$(wait_for_window_by_name '^harness check$' 10)
read -r fx fy fw fh <<<"$(outer_frame_geometry "$id")"
# Cross-check with openbox's frame window, the client's ancestor that is a child of the root.
root=$(xwininfo -root | awk '/Window id:/ {print $4}')
frame=$id
while true; do
    parent=$(xwininfo -tree -id "$frame" | awk '/Parent window id:/ {print $4}')
    [ "$((parent))" -eq "$((root))" ] && break
    frame=$parent
done
info=$(xwininfo -id "$frame")
border=$(awk -F: '/Border width/ {print $2 + 0}' <<<"$info")
ox=$(($(awk -F: '/Absolute upper-left X/ {print $2 + 0}' <<<"$info") - border))
oy=$(($(awk -F: '/Absolute upper-left Y/ {print $2 + 0}' <<<"$info") - border))
ow=$(($(awk -F: '/^ *Width:/ {print $2 + 0}' <<<"$info") + 2 * border))
oh=$(($(awk -F: '/^ *Height:/ {print $2 + 0}' <<<"$info") + 2 * border))
cw=$(awk -F: '/^ *Width:/ {print $2 + 0}' <<<"$(xwininfo -id "$id")")
ch=$(awk -F: '/^ *Height:/ {print $2 + 0}' <<<"$(xwininfo -id "$id")")
if [ "$fx $fy $fw $fh" != "$ox $oy $ow $oh" ] || [ "$fw" -le "$cw" ] || [ "$fh" -le "$ch" ]; then
    e2e_log "FAIL outer_frame_geometry: '$fx $fy $fw $fh', frame window '$ox $oy $ow $oh', client ${cw}x$ch"
    exit 1
fi
wait_until 3 has_state_above "$id" || { e2e_log "FAIL has_state_above on a --topmost receiver"; exit 1; }
e2e_spawn "$receiver" "harness plain" "$E2E_TMP/plain.txt"
plain=$(wait_for_window_by_name '^harness plain$' 10)
if has_state_above "$plain"; then
    e2e_log "FAIL has_state_above on an ordinary window"
    exit 1
fi
if wait_for_window_by_name '^no such window$' 0.3 >/dev/null 2>&1; then
    e2e_log "FAIL wait_for_window_by_name found a window that does not exist"
    exit 1
fi
screenshot harness.png
[ -s "$E2E_ARTIFACTS/harness.png" ] || { e2e_log "FAIL no screenshot"; exit 1; }
e2e_log "harness helpers ok"
