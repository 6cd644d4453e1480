#!/bin/sh
# CTest's emulator for the cross-built test programs: runs one under the test prefix.
: "${WINEPREFIX:?WINEPREFIX must name the test prefix; run the tests through scripts/test.sh}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
