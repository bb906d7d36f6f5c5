#!/bin/sh
# Checks a built Debian package: the files it installs, the dependencies it declares, that the
# installed tool finds the installed plug-in on its own and renders through it, that an LV2
# host finds the installed LV2 bundle, the manual page, and lintian's verdict.
#   checkpackage.sh quorvane_VERSION_ARCH.deb VERSION [BUNDLE]
# BUNDLE is the LV2 bundle of the build: every file in it must be installed in /usr/lib/lv2.
set -eu
deb=$1
version=$2
bundle=${3:-}
if [ ! -f "$deb" ]; then
    echo "no package at $deb; make package builds it"
    exit 77
fi
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Files: these and no others, with these modes.
expected='-rw-r--r-- ./usr/lib/vst/Quorvane.so
-rw-r--r-- ./usr/share/doc/quorvane/changelog.gz
-rw-r--r-- ./usr/share/doc/quorvane/copyright
-rw-r--r-- ./usr/share/man/man1/quorvane.1.gz
-rwxr-xr-x ./usr/bin/quorvane'
if [ -n "$bundle" ]; then
    for file in "$bundle"/*; do
        name=$(basename "$file")
        case $name in
        *.so) mode=-rw-r--r-- ;;
        *.ttl) mode=-rw-r--r-- ;;
        *) continue ;;
        esac
        expected="$expected
$mode ./usr/lib/lv2/quorvane.lv2/$name"
    done
fi
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | sort -k2)
[ "$files" = "$(printf '%s\n' "$expected" | sort -k2)" ] ||
    fail "the package holds
$files
instead of
$expected"

# Control fields, and every library the plug-in and the tool load declared.
[ "$(dpkg-deb -f "$deb" Package)" = quorvane ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
[ "$(dpkg-deb -f "$deb" Section)" = sound ] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libsndfile1 libsoxr0 libpng16-16 libx11-6 libfreetype6 \
    libfontconfig1; do
    printf '%s\n' "$depends" | tr ',' '\n' | grep -q "^ *$library\( \|$\)" ||
        fail "Depends lacks $library: $depends"
done

# Installed into an empty root, the tool finds the plug-in in ../lib/vst and renders with it.
dpkg-deb -x "$deb" "$root"
tool=$root/usr/bin/quorvane
[ "$("$tool" --version | head -n 1)" = "quorvane $version" ] || fail "--version"
info=$("$tool" info)
printf '%s\n' "$info" | grep -qx "module       $root/usr/lib/vst/Quorvane.so (entry VSTPluginMain)" ||
    fail "info did not load the installed plug-in:
$info"
printf '%s\n' "$info" | grep -qx "effect       Quorvane" || fail "info: $info"
"$tool" demo -o "$root/demo" >"$root/demo.txt" || fail "demo: $(cat "$root/demo.txt")"
for file in key.wav input.wav ducked.wav picture.png panel.png; do
    [ -s "$root/demo/$file" ] || fail "demo wrote no $file"
done

# The LV2 bundle: a host that looks in the installed lv2 folder finds the plug-in there.
if [ -n "$bundle" ] && command -v lv2info >/dev/null; then
    lv2=$(LV2_PATH=$root/usr/lib/lv2 lv2info urn:quorvane:lv2:quorvane 2>&1) ||
        fail "lv2info does not find the installed LV2 plug-in: $lv2"
    printf '%s\n' "$lv2" | grep -q "Binary: *file://$root/usr/lib/lv2/quorvane.lv2/quorvane_lv2.so" ||
        fail "lv2info: $lv2"
    printf '%s\n' "$lv2" | grep -q "Has latency: *yes, reported by port 12" || fail "lv2info: $lv2"
fi

# The manual page: every command in it, and man reads it without a complaint.
page=$root/usr/share/man/man1/quorvane.1.gz
for command in render plot info snapshot edit demo; do
    gzip -dc "$page" | grep -q "^\.SS $command\$" || fail "the manual page lacks $command"
done
# Every entry of every command's help with its description on a line of its own, not run into
# its tag: a description starts at the column of "Print this help message".
column=$("$tool" --help | sed -n 's/^\(  -h,--help  *\)Print.*/\1/p' | tr -d '\n' | wc -c)
text=$(gzip -dc "$page" | sed -e 's/\\f[BIR]//g' -e 's/\\[,/]//g' -e 's/\\-/-/g')
for command in render plot info snapshot edit demo; do
    descriptions=$("$tool" "$command" --help | grep "^ .\{$((column - 2))\} [^ ]" |
        cut -c$((column + 1))- | grep .)
    while IFS= read -r description; do
        printf '%s\n' "$text" | grep -qxF -- "$description" ||
            fail "the manual page lacks the description of $command's \"$description\""
    done <<EOT
$descriptions
EOT
done
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man: $warnings"
fi

# lintian: warnings are reported, errors fail.
if command -v lintian >/dev/null; then
    verdict=$(lintian "$deb" 2>/dev/null || true)
    [ -z "$verdict" ] || printf 'lintian:\n%s\n' "$verdict"
    if printf '%s\n' "$verdict" | grep -q '^E:'; then fail "lintian reports errors"; fi
fi
echo "package $deb: files, dependencies, installed tool and plug-ins, manual page checked"
