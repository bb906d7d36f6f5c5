#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when they are missing.
# Runs apt-get only as root; otherwise it names what is missing and stops.
#
#   scripts/install-deps.sh           the Linux build, its tests and the tool
#   scripts/install-deps.sh windows   the Windows cross build and wine64 for its tests
#   scripts/install-deps.sh wait-for-lock   only wait until no other package manager runs
#
# Another package manager run (a fresh machine's own updates) holds dpkg's lock; the script waits
# for it up to QUORVANE_DPKG_WAIT seconds (default 600), saying so, then stops with a clear
# message. QUORVANE_DPKG_LOCK names the lock to watch (default /var/lib/dpkg/lock-frontend).
set -euo pipefail

lock=${QUORVANE_DPKG_LOCK:-/var/lib/dpkg/lock-frontend}
lock_wait=${QUORVANE_DPKG_WAIT:-600}

# True while some process holds the lock open (apt and dpkg keep it open while they run).
lock_busy() {
    [ -e "$lock" ] || return 1
    if command -v fuser >/dev/null; then
        fuser -s "$lock" 2>/dev/null
    else
        ! flock -n "$lock" true 2>/dev/null
    fi
}

wait_for_package_manager() {
    lock_busy || return 0
    echo "waiting for another package manager to finish (it holds $lock; up to $lock_wait s)" >&2
    local waited=0
    while lock_busy; do
        if [ "$waited" -ge "$lock_wait" ]; then
            echo "another package manager still holds $lock after $lock_wait s;" \
                "run this again once it has finished" >&2
            return 1
        fi
        sleep 1
        waited=$((waited + 1))
    done
}

if [ "${1:-}" = wait-for-lock ]; then
    wait_for_package_manager
    exit
fi

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
        dpkg-dev file lintian
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
wait_for_package_manager
# apt waits as long itself should another run start in between.
apt-get -o DPkg::Lock::Timeout="$lock_wait" update -qq
apt-get -o DPkg::Lock::Timeout="$lock_wait" install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
