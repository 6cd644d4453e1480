#!/usr/bin/env bash
# CTest's emulator for the cross-built test programs: runs one under the test prefix, on an
# X display of its own (Xvfb with a compositing manager, as the test bed's). Test programs
# that run in parallel then never share keyboard focus, pointer capture, z-order or screen
# pixels; each program also runs on a desktop of its own (tests/TestMain.cpp), so that no
# window of one is found by another.
#
# A program that has not ended shortly before CTest's time-out (ZK_TEST_TIMEOUT) is ended
# here, with every Wine program it started, and the output says which test case it was in:
# CTest itself would end only this script and leave the Wine programs running.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix; run the tests through scripts/test.sh}"
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
ZK_TESTBED_TEST=$(cat /proc/sys/kernel/random/uuid)
export ZK_TESTBED_TEST
out=$(mktemp)

# The Wine programs of this test alone, but not the prefix's shared services that one of
# them may have started for the whole prefix: the run's own end takes those down.
test_down() {
    zk_proc_sweep --except-wine-services "ZK_TESTBED_TEST=$ZK_TESTBED_TEST"
}
finish() {
    zk_testbed_down
    test_down
    rm -f "$out"
}
trap finish EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
zk_start_xvfb || exit 1

limit=${ZK_TEST_TIMEOUT:-0}
[ "$limit" -gt 30 ] && limit=$((limit - 15))
# Waited for by its own id, not through the output: a Wine program that this one started
# may hold the output open after the program has ended.
timeout --kill-after=5 "$limit" wine "$@" > >(tee "$out") 2>&1 &
wait $!
rc=$?
if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    running=$(grep -a '^\[ RUN      \]' "$out" | tail -n 1 | cut -c 14- | tr -d '\r')
    done_=$(grep -aE '^\[ +(OK|FAILED|SKIPPED) +\]' "$out" | tail -n 1 | cut -c 14- | sed 's/ (.*//' | tr -d '\r')
    where="before its first test case"
    [ -n "$running" ] && where="in $running"
    [ -n "$running" ] && [ "$running" = "$done_" ] && where="after $running, between test cases"
    echo "wine-run: $(basename "$1") hung: no end after $limit s, $where; ending it and its Wine programs"
fi
exit "$rc"
