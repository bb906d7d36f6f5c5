#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need, when they are missing.
# Runs apt-get only as root; otherwise it names what is missing and stops.
#
#   scripts/install-deps.sh           the Linux build, its tests and the tool
#   scripts/install-deps.sh windows   the Windows cross build, the installer, and wine for the
#                                     tests; 32-bit wine (i386 packages) only where it can be had
#   scripts/install-deps.sh ardour    ardour7-lua, for the test that exports through Ardour
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

# Best effort: a machine without i386 packages still builds and tests everything else, and the
# 32-bit Windows tests say they are skipped.
optional=()
if [ "${1:-}" = windows ]; then
    packages=(
        g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
        binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
        wine64 googletest nsis qemu-user
    )
    optional=(wine32:i386 wine32-preloader:i386)
elif [ "${1:-}" = ardour ]; then
    # Ardour's headless session tool: about 55 MB to fetch, 210 MB installed; without it the
    # Ardour test is skipped
    packages=(ardour)
else
    packages=(
        cmake g++ make pkg-config
        libgtest-dev libbenchmark-dev libfftw3-dev valgrind
        libfreetype-dev libfontconfig-dev fonts-liberation
        libx11-dev libxext-dev libxtst-dev xvfb xdotool x11-apps xauth
        libsndfile1-dev libcli11-dev libpng-dev libsoxr-dev
        lv2-dev liblilv-dev lilv-utils sordi
        dpkg-dev file lintian help2man
    )
fi

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}
missing=()
for p in "${packages[@]}"; do
    installed "$p" || missing+=("$p")
done
missingOptional=()
for p in "${optional[@]}"; do
    installed "$p" || missingOptional+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missingOptional[@]} -eq 0 ] && exit 0

export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -ne 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]}" >&2
        echo "install them with: sudo apt-get install ${missing[*]}" >&2
        exit 1
    fi
    echo "installing: ${missing[*]}"
    wait_for_package_manager
    # apt waits as long itself should another run start in between.
    apt-get -o DPkg::Lock::Timeout="$lock_wait" update -qq
    apt-get -o DPkg::Lock::Timeout="$lock_wait" install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi
if [ ${#missingOptional[@]} -ne 0 ]; then
    note="the 32-bit Windows tests will be skipped"
    if [ "$(id -u)" -ne 0 ]; then
        echo "not installed: ${missingOptional[*]} ($note; to run them: sudo dpkg" \
            "--add-architecture i386 && sudo apt-get update && sudo apt-get install" \
            "${missingOptional[*]})" >&2
        exit 0
    fi
    echo "installing: ${missingOptional[*]}"
    wait_for_package_manager
    if { dpkg --print-foreign-architectures | grep -qx i386 ||
        { dpkg --add-architecture i386 &&
            apt-get -o DPkg::Lock::Timeout="$lock_wait" update -qq; }; } &&
        apt-get -o DPkg::Lock::Timeout="$lock_wait" install -y -qq --no-install-recommends \
            "${missingOptional[@]}" >/dev/null; then
        :
    else
        echo "could not install ${missingOptional[*]}: $note" >&2
    fi
fi
