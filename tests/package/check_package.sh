#!/usr/bin/env bash
# Builds the Debian package from a built tree and checks its files and dependencies.
#   check_package.sh BUILD_DIR      exits 77 (skipped) without dpkg-deb, dpkg-shlibdeps or lintian
set -euo pipefail
build=$1
for tool in dpkg-deb dpkg-shlibdeps cpack lintian; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

DEBFULLNAME="Package Test" DEBEMAIL=package-test@vacuola.invalid cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/vacuola_*.deb)

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/bin/vacuola
./usr/share/applications/io.github.vacuola.vacuola.desktop
./usr/share/doc/vacuola/README.md
./usr/share/doc/vacuola/changelog.Debian.gz
./usr/share/doc/vacuola/copyright
./usr/share/icons/hicolor/128x128/apps/vacuola.png
./usr/share/icons/hicolor/16x16/apps/vacuola.png
./usr/share/icons/hicolor/24x24/apps/vacuola.png
./usr/share/icons/hicolor/256x256/apps/vacuola.png
./usr/share/icons/hicolor/32x32/apps/vacuola.png
./usr/share/icons/hicolor/48x48/apps/vacuola.png
./usr/share/icons/hicolor/64x64/apps/vacuola.png
./usr/share/icons/hicolor/scalable/apps/vacuola.svg
./usr/share/lintian/overrides/vacuola
./usr/share/man/ja/man1/vacuola.1.gz
./usr/share/man/man1/vacuola.1.gz
./usr/share/metainfo/io.github.vacuola.vacuola.metainfo.xml
./usr/share/vacuola/installed
./usr/share/vacuola/vacuola.hlp
LIST
diff -u "$work/expected" "$work/files" || fail "file list"

depends=$(dpkg-deb -f "$deb" Depends Recommends | sed "s/^[A-Za-z]*: /, /" | tr -d "\n")
echo "Depends: $depends"
for package in fonts-ipafont-gothic xdg-utils qt6-translations-l10n libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    [[ ", $depends," == *", $package "* || ", $depends," == *", $package,"* ]] || fail "no dependency on $package"
done
[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = "Package: vacuola Version: 1.13A-1 Architecture: amd64 " ] ||
    [ "$(dpkg --print-architecture)" != amd64 ] || fail "control fields: $(dpkg-deb -f "$deb" Package Version Architecture)"

# The program is stripped: no symbol table, debugging sections or compilers' notes are left.
dpkg-deb -x "$deb" "$work/root"
if readelf -S "$work/root/usr/bin/vacuola" | grep -qE '\.(symtab|debug_info|comment)'; then
    fail "the program is not stripped"
fi
# The desktop entry and the AppStream file, as installed, pass their validators.
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/io.github.vacuola.vacuola.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --pedantic --no-net "$work/root/usr/share/metainfo/io.github.vacuola.vacuola.metainfo.xml" |
        tee /dev/stderr | grep -q '^[EWIP]:' && fail "AppStream metainfo"
fi
# Lintian, pedantic included, has nothing to say (its note on running as root goes to stderr).
[ -z "$(lintian -I -E --pedantic "$deb" | tee /dev/stderr)" ] || fail "lintian"

# Installed without recommends on a fresh system, the window starts: apt picks what an empty system
# (its essential packages, merged /usr) would install; the program runs in a root of those files alone.
apt-get -s -o Dir::State::status=/dev/null install --no-install-recommends "$deb" usr-is-merged \
    $(dpkg-query -W -f='${Essential} ${Package}\n' | awk '$1 == "yes" { print $2 }') >"$work/apt.txt" ||
    fail "apt-get install --no-install-recommends"
if [ "$(id -u)" -ne 0 ] || ! dpkg -L $(awk '$1 == "Inst" && $2 != "vacuola" { print $2 }' "$work/apt.txt") >"$work/fresh.txt"; then
    echo "skipped the fresh installation: it needs root, and the packages apt picks installed here"
else
    for link in bin sbin lib lib64; do mkdir -p "$work/fresh/usr/$link" && ln -s "usr/$link" "$work/fresh/$link"; done
    grep '^/' "$work/fresh.txt" | xargs -d '\n' cp -dlf --parents -t "$work/fresh" 2>/dev/null || true
    dpkg-deb -x "$deb" "$work/fresh"
    xvfb-run -a sh "$(dirname "$0")/fresh_window.sh" "$work/fresh" || fail "the window of a fresh installation"
fi
echo "PASS package"
