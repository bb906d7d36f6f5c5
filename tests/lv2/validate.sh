#!/bin/sh
# Validates a bundle's descriptions against the schemas of the LV2 format.
#   validate.sh SORD_VALIDATE BUNDLE
# The schemas are every bundle in the system's LV2 folder that describes the format itself, not a
# plug-in (it names no binary).
set -eu
validate=$1
bundle=$2
schemas=
for schemaBundle in /usr/lib/lv2/*.lv2; do
    [ -f "$schemaBundle/manifest.ttl" ] || continue
    grep -q 'lv2:binary' "$schemaBundle/manifest.ttl" && continue
    schemas="$schemas $schemaBundle/*.ttl"
done
if [ -z "$schemas" ]; then
    echo "no LV2 schemas in /usr/lib/lv2: install lv2-dev"
    exit 1
fi
# shellcheck disable=SC2086
output=$("$validate" $schemas "$bundle"/*.ttl 2>&1) || {
    printf '%s\n' "$output"
    exit 1
}
printf '%s\n' "$output" | tail -n 1
printf '%s\n' "$output" | grep -q '^Found 0 errors' || {
    printf '%s\n' "$output"
    exit 1
}
