#!/usr/bin/env bash
# `cpack -G DEB` builds the Debian package: its dependencies come from dpkg-shlibdeps (the Qt
# libraries) plus the Japanese font, it holds the program, the menu entry, the icon, the
# metainfo and the manual page under /usr, and lintian finds no error in it.
# usage: package_deb.sh BUILD_DIR          (exits 77, "skipped", without dpkg-shlibdeps or lintian)
set -euo pipefail
build=$1
log() { echo "package: $*" >&2; }
fail() { log "FAIL: $*"; exit 1; }
for tool in dpkg-shlibdeps dpkg-deb lintian; do
    command -v "$tool" >/dev/null || { log "$tool is not installed: skipped"; exit 77; }
done
artifacts=${E2E_ARTIFACTS:-$PWD/e2e-artifacts}
mkdir -p "$artifacts"
out=$(mktemp -d "${TMPDIR:-/tmp}/package.XXXXXX")
trap 'rm -rf "$out"' EXIT

cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$artifacts/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -n 20 "$artifacts/cpack.log")"
debs=("$out"/pikome_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single pikome_*.deb: $(ls "$out")"
deb=${debs[0]}

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libx11-6 libxtst6 libc6 fonts-ipafont-gothic; do
    grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
dpkg-deb -c "$deb" >"$artifacts/contents.txt"
for file in ./usr/bin/pikome ./usr/share/applications/io.github.pikome.pikome.desktop \
    ./usr/share/metainfo/io.github.pikome.pikome.metainfo.xml ./usr/share/icons/hicolor/scalable/apps/pikome.svg \
    ./usr/share/man/man1/pikome.1.gz ./usr/share/doc/pikome/copyright ./usr/share/doc/pikome/changelog.gz; do
    grep -q " $file\$" "$artifacts/contents.txt" || fail "the package lacks $file"
done

# KWin lets the packaged program type into native Wayland windows: its entry names /usr/bin/pikome.
entry=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/io.github.pikome.pikome.desktop)
grep -qx 'Exec=/usr/bin/pikome' <<<"$entry" || fail "the packaged entry does not name /usr/bin/pikome: $entry"
grep -qx 'X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input,org_kde_plasma_window_management' <<<"$entry" ||
    fail "the packaged entry does not ask KWin for fake input and the window list"

# Errors fail; the warnings are printed for the log.
lintian --fail-on error --no-tag-display-limit "$deb" >"$artifacts/lintian.log" 2>&1 ||
    fail "lintian: $(cat "$artifacts/lintian.log")"
cat "$artifacts/lintian.log" >&2
log "$(basename "$deb"): Depends: $depends"
