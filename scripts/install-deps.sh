#!/usr/bin/env bash
# Installs the Debian 12 packages the palette needs to build, run and be tested.
# Packages already present are left alone; apt-get runs only when something is missing.
set -euo pipefail

build=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
       libx11-dev libxtst-dev libxi-dev libxfixes-dev libxcb1-dev fonts-ipafont-gothic fonts-noto-cjk
       # the Wayland side: the client library, wayland-scanner, KDE's protocol files, xkbcommon
       libwayland-dev libwayland-bin plasma-wayland-protocols libxkbcommon-dev)
test_only=(clang libclang-rt-14-dev xvfb openbox x11-utils x11-xserver-utils xdotool xautomation xclip dbus-x11 zenity imagemagick
           # maximizes and restores a window as its maximize box does
           wmctrl
           # a screen reader's view through AT-SPI: the buses, gdbus, and a Python AT-SPI client
           dbus-daemon at-spi2-core libglib2.0-bin python3-pyatspi gir1.2-atspi-2.0
           # a Wayland session for the end-to-end tests: headless sway with XWayland, Qt's Wayland
           # platform for a native receiver, the Wayland clipboard tools, jq for sway's window tree
           sway xwayland qt6-wayland wl-clipboard jq
           # the other compositors: KWin, mutter (a session bus, and python3-dbus to hold a
           # keyboard on its headless seat), weston
           kwin-wayland mutter weston dbus-daemon python3-dbus
           # the installed program and its package: an account to run it, the entry and metainfo
           # validators, cpack's dpkg-shlibdeps and lintian
           passwd desktop-file-utils appstream dpkg-dev lintian
           # xsm, the X sample session manager, for a logout through a real session manager
           x11-session-utils
           # real paste targets: terminals (xterm, a VTE one), GTK 4 and GTK 3 editors, a browser
           xterm xfce4-terminal gnome-text-editor l3afpad chromium
           # window managers that frame the palette without saying so ahead (KWin with its
           # Breeze frame, fluxbox), and a tiling one (i3)
           kwin-x11 kwin-style-breeze fluxbox i3-wm
           # Japanese input methods with mozc, a session bus of the test user's own for them,
           # and fcitx5's Qt front end (ibus's is in Qt itself)
           ibus ibus-mozc fcitx5 fcitx5-mozc fcitx5-frontend-qt6 dbus-daemon dbus-bin
           # the Windows program: the mingw-w64 cross compiler (posix threads), Qt's source
           # package unpacked and patched, Wine to run the tests, unzip for the portable zip
           g++-mingw-w64-x86-64-posix mingw-w64-tools xz-utils patch wine wine64 unzip
           # a Japanese UTF-8 locale of the test's own (localedef), for Japanese names under Wine
           locales)

want=("${build[@]}")
if [ "${1:-}" = "--with-tests" ]; then
    want+=("${test_only[@]}")
fi

missing=()
for p in "${want[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
