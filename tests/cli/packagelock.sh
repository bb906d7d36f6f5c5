#!/usr/bin/env bash
# The set-up script waits for another package manager's lock, saying so, and gives up with a
# clear message; tried on a stand-in lock held with flock, never the system's.
#   packagelock.sh path/to/install-deps.sh
set -u
script=$1
dir=$(mktemp -d)
trap 'kill $holder 2>/dev/null; rm -rf "$dir"' EXIT
export QUORVANE_DPKG_LOCK=$dir/lock-frontend
touch "$QUORVANE_DPKG_LOCK"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Free: no wait, no word.
out=$(QUORVANE_DPKG_WAIT=5 "$script" wait-for-lock 2>&1) || fail "a free lock was not taken: $out"
[ -z "$out" ] || fail "a free lock gave: $out"

# Held longer than the wait: said, then refused.
flock -o "$QUORVANE_DPKG_LOCK" sleep 4 & holder=$!
sleep 0.3
start=$(date +%s)
out=$(QUORVANE_DPKG_WAIT=2 "$script" wait-for-lock 2>&1) && fail "a held lock was taken: $out"
took=$(($(date +%s) - start))
[ "$took" -ge 2 ] || fail "gave up after $took s, not 2"
grep -q "^waiting for another package manager to finish (it holds $QUORVANE_DPKG_LOCK; up to 2 s)$" \
    <<<"$out" || fail "no waiting message: $out"
grep -q "^another package manager still holds $QUORVANE_DPKG_LOCK after 2 s; run this again once it has finished$" \
    <<<"$out" || fail "no failure message: $out"
kill $holder; wait $holder 2>/dev/null

# Held for a moment: waited for, then taken.
flock -o "$QUORVANE_DPKG_LOCK" sleep 2 & holder=$!
sleep 0.3
out=$(QUORVANE_DPKG_WAIT=20 "$script" wait-for-lock 2>&1) || fail "a released lock was not taken: $out"
grep -q "^waiting for another package manager" <<<"$out" || fail "no waiting message: $out"
kill -0 $holder 2>/dev/null && fail "went on while the lock was held"
echo "ok"
