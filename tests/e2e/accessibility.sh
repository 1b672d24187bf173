#!/usr/bin/env bash
# Screen readers through AT-SPI, as Orca uses them: a session bus and the accessibility bus of
# its own, the real program with Qt's accessibility bridge on, and accessibility.py acting on
# the settings dialog (a check box's Toggle, an option button's Toggle, the roles, the text
# boxes' names); what it did must be what the program saves in 設定.ini.
# usage: accessibility.sh PROGRAM
set -euo pipefail
program=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
receiver=/nonexistent # paste_lib.sh's receivers are not used here
source "$here/paste_lib.sh"

e2e_start_desktop
# lib.sh keeps every other test away from any bus; this one brings its own.
unset NO_AT_BRIDGE
bus_address_file=$E2E_TMP/session-bus
e2e_spawn dbus-daemon --session --nofork --print-address=3 3>"$bus_address_file"
bus_known() { [ -s "$bus_address_file" ]; }
wait_until 10 bus_known || fail "the session bus did not start"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$bus_address_file")
export DBUS_SESSION_BUS_ADDRESS
# Settings the launcher reads stay in memory: no dconf service is started for them.
export GSETTINGS_BACKEND=memory
e2e_spawn /usr/libexec/at-spi-bus-launcher --launch-immediately
# Asked without activating anything: a second launcher must not be started by the question.
a11y_bus_up() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner org.a11y.Bus 2>/dev/null | grep -q true
}
wait_until 10 a11y_bus_up || fail "the accessibility bus did not start"
# What a screen reader does as it starts: accessibility on, for every application.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
    --method org.freedesktop.DBus.Properties.Set org.a11y.Status IsEnabled '<true>' >/dev/null

folder=$E2E_TMP/a11y
prepare_folder "$folder" Check9=0 Check8=0
start_palette "$folder" || fail "the palette did not start"
/usr/bin/python3 "$here/accessibility.py" "$folder" || fail "see the line above"
echo "e2e accessibility: passed"
