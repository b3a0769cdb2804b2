#!/usr/bin/env bash
# Installs the Debian 12 packages that Vacuola needs, when any is missing. Safe to run again.
#   tools/deps.sh          what building and running need
#   tools/deps.sh --test   that, and what the tests use as well
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          fonts-ipafont-gothic qt6-translations-l10n)
if [ "${1:-}" = "--test" ]; then
    packages+=(xvfb xauth xdotool x11-utils clang libclang-rt-14-dev python3
               dpkg-dev file desktop-file-utils appstream lintian)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# The package test asks apt what a fresh system would install, which needs the package lists.
if ((${#missing[@]})) || { [ "${1:-}" = "--test" ] && ! compgen -G "/var/lib/apt/lists/*_Packages*" >/dev/null; }; then
    $sudo apt-get update -qq
fi
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
