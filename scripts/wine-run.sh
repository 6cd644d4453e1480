#!/usr/bin/env bash
# CTest's emulator for the cross-built test programs: runs one under the test prefix, on an
# X display of its own (Xvfb with a compositing manager, as the test bed's). Test programs
# that run in parallel then never share keyboard focus, pointer capture, z-order or screen
# pixels; each program also runs on a desktop of its own (tests/TestMain.cpp), so that no
# window of one is found by another.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the test prefix; run the tests through scripts/test.sh}"
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
trap zk_testbed_down EXIT
trap 'exit 143' TERM INT
# A 32-bit program where the machine runs none (zk_wine_loader): CTest's skip code.
if [ -n "${ZK_NO_32BIT:-}" ] && [ "$(zk_pe_machine "$1")" = 014c ]; then
    echo "wine-run: $(basename "$1") is a 32-bit program and this machine runs none: skipped"
    exit 77
fi
zk_start_xvfb || exit 1
wine "$@"
rc=$?
exit $rc
