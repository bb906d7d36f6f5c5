#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when they are missing.
# Runs apt-get only as root; otherwise it names what is missing and stops.
#
#   scripts/install-deps.sh           the Linux build, its tests and the tool
#   scripts/install-deps.sh windows   the Windows cross build and wine64 for its tests
set -euo pipefail

if [ "${1:-}" = windows ]; then
    packages=(
        g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
        wine64 googletest
    )
else
    packages=(
        cmake g++ make pkg-config
        libgtest-dev libbenchmark-dev libfftw3-dev valgrind
        libfreetype-dev libfontconfig-dev fonts-liberation
        libx11-dev libxext-dev libxtst-dev xvfb xdotool x11-apps xauth
        libsndfile1-dev libcli11-dev libpng-dev libsoxr-dev
        dpkg-dev file lintian help2man
    )
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]}" >&2
    echo "install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
