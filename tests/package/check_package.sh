#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks its files and dependencies.
#   check_package.sh BUILD_DIR      exits 77 (skipped) without dpkg-deb or dpkg-shlibdeps
set -euo pipefail
build=$1
for tool in dpkg-deb dpkg-shlibdeps cpack; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/vacuola_*.deb)

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/bin/vacuola
./usr/share/applications/vacuola.desktop
./usr/share/doc/vacuola/LICENSE
./usr/share/doc/vacuola/README.md
./usr/share/icons/hicolor/128x128/apps/vacuola.png
./usr/share/icons/hicolor/16x16/apps/vacuola.png
./usr/share/icons/hicolor/24x24/apps/vacuola.png
./usr/share/icons/hicolor/256x256/apps/vacuola.png
./usr/share/icons/hicolor/32x32/apps/vacuola.png
./usr/share/icons/hicolor/48x48/apps/vacuola.png
./usr/share/icons/hicolor/64x64/apps/vacuola.png
./usr/share/icons/hicolor/scalable/apps/vacuola.svg
./usr/share/man/ja/man1/vacuola.1.gz
./usr/share/man/man1/vacuola.1.gz
./usr/share/metainfo/org.example.vacuola.metainfo.xml
./usr/share/vacuola/installed
./usr/share/vacuola/vacuola.hlp
LIST
diff -u "$work/expected" "$work/files" || fail "file list"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in fonts-ipafont-gothic qt6-translations-l10n libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] || fail "no dependency on $package"
done
[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = "Package: vacuola Version: 1.13A Architecture: amd64 " ] ||
    [ "$(dpkg --print-architecture)" != amd64 ] || fail "control fields: $(dpkg-deb -f "$deb" Package Version Architecture)"

# The program is stripped: no symbol table and no debugging sections are left.
dpkg-deb -x "$deb" "$work/root"
if readelf -S "$work/root/usr/bin/vacuola" | grep -qE '\.(symtab|debug_info)'; then
    fail "the program is not stripped"
fi
# The desktop entry and the AppStream file, as installed, pass their validators.
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/vacuola.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.example.vacuola.metainfo.xml" ||
        fail "AppStream metainfo"
fi
echo "PASS package"
