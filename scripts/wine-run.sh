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
zk_start_xvfb || exit 1
wine "$@"
rc=$?
exit $rc
