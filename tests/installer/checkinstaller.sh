#!/usr/bin/env bash
# Installs the Windows installer silently under wine (64-bit prefix) and checks what it puts
# where: exactly the expected files, the uninstall key, the installed modules passing the
# host-level tests from where they were put; then uninstalls silently and checks that nothing of
# it is left. Exit code 77 (skipped) when the installer or wine64 is missing.
#
#   checkinstaller.sh SETUP.exe MODULE64 MODULE32 HOST_TESTS64.exe HOST_TESTS32.exe PREFIX
set -uo pipefail

setup=$1 module64=$2 module32=$3 hosttests64=$4 hosttests32=$5 prefix=$6
scripts="$(cd "$(dirname "$0")/../../scripts" && pwd)"

skip() {
    echo "skipped: $*"
    exit 77
}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || true)"
[ -n "$wine" ] && [ -x "$wine" ] || skip "wine64 is missing (scripts/install-deps.sh windows)"
if [ ! -f "$setup" ]; then
    command -v makensis >/dev/null || skip "makensis is missing (Debian package nsis)"
    skip "$setup is not built yet (make windows-package)"
fi

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export QUORVANE_WINEPREFIX="$prefix"
wineserver="$(dirname "$wine")/wineserver"
[ -x "$wineserver" ] || wineserver=wineserver
if [ ! -f "$prefix/system.reg" ]; then
    echo "making the wine prefix $prefix"
    mkdir -p "$prefix"
    "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w
fi
c="$prefix/drive_c"
key='Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvane'
# Without blanks: wine would quote the argument, and the installer takes /D= only unquoted.
# (The uninstaller runs from a copy of itself in the user's Temp folder, which Windows deletes
# at the next start, as for every uninstaller that removes itself.)
custom='C:\AudioPlugins\VST64'
customUnix="$c/AudioPlugins/VST64"

# Every file and folder a run may touch, and the uninstall key in the 64-bit registry view.
state() {
    "$wineserver" -w
    (cd "$c" && find "Program Files" "Program Files (x86)" "AudioPlugins" 2>/dev/null | sort)
    grep -F "[$key]" "$prefix/system.reg" || true
}
# What a failed earlier run may have left.
rm -rf "$c/Program Files/VSTPlugins" "$c/Program Files (x86)/VSTPlugins" \
    "$c/Program Files/Quorvane" "$c/AudioPlugins"
"$wine" reg delete "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvane" \
    /reg:64 /f >/dev/null 2>&1
# The chosen folder goes into a folder the user already has, which stays.
mkdir -p "$c/AudioPlugins"
before="$(state)"

# The files under the folders of a run, relative to drive C.
files() {
    (cd "$c" && find "Program Files/VSTPlugins" "Program Files (x86)/VSTPlugins" \
        "Program Files/Quorvane" "AudioPlugins" -type f 2>/dev/null | sort)
}
same() { # installed copy, built module
    cmp -s "$1" "$2" || fail "$1 is not $2"
}
hosttests() { # runner, test program, Windows path of the module
    local out
    out="$(QUORVANE_TEST_MODULE="$3" "$1" "$2" --gtest_brief=1 2>&1)"
    local rc=$?
    if [ $rc -eq 77 ]; then
        echo "  $3: not run ($out)"
    elif [ $rc -ne 0 ]; then
        fail "host-level tests on $3:"
        echo "$out" | tail -20
    else
        echo "  $3: host-level tests pass"
    fi
}
uninstall() {
    [ -f "$c/Program Files/Quorvane/Uninstall.exe" ] || fail "no uninstaller"
    "$wine" 'C:\Program Files\Quorvane\Uninstall.exe' /S
    "$wineserver" -w # the uninstaller runs from a copy of itself
    [ "$(state)" = "$before" ] || {
        fail "the uninstall left something behind:"
        diff <(echo "$before") <(state)
    }
}

echo "silent install into the default folder"
"$wine" "$setup" /S || fail "setup /S exit code $?"
"$wineserver" -w
expected="Program Files/Quorvane/Uninstall.exe
Program Files/VSTPlugins/Quorvane.dll"
[ "$(files)" = "$expected" ] || fail "installed files:
$(files)"
same "$c/Program Files/VSTPlugins/Quorvane.dll" "$module64"
grep -qF "[$key]" "$prefix/system.reg" || fail "no uninstall key"
for value in '"DisplayName"="Quorvane' '"UninstallString"=' '"DisplayVersion"='; do
    sed -n "/^\[${key//\\/\\\\}\]/,/^\[/p" "$prefix/system.reg" | grep -qF "$value" ||
        fail "the uninstall key has no $value"
done
hosttests "$scripts/wine-run" "$hosttests64" 'C:\Program Files\VSTPlugins\Quorvane.dll'
uninstall

echo "silent install of both modules into a chosen folder"
"$wine" "$setup" /S /32BIT "/D=$custom" || fail "setup /S /32BIT /D= exit code $?"
"$wineserver" -w
expected="AudioPlugins/VST64/Quorvane.dll
Program Files (x86)/VSTPlugins/Quorvane.dll
Program Files/Quorvane/Uninstall.exe"
[ "$(files)" = "$expected" ] || fail "installed files:
$(files)"
same "$customUnix/Quorvane.dll" "$module64"
same "$c/Program Files (x86)/VSTPlugins/Quorvane.dll" "$module32"
hosttests "$scripts/wine-run" "$hosttests64" "$custom\\Quorvane.dll"
hosttests "$scripts/wine-run32" "$hosttests32" 'C:\Program Files (x86)\VSTPlugins\Quorvane.dll'
uninstall

if [ $failures -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "installer checks pass"
