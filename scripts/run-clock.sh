#!/usr/bin/env bash
# Builds the clock and runs it under Wine: on the user's display when there is one,
# else on a virtual display of its own.
#   --screenshot FILE   save a picture of the display after a few seconds, then close the clock
#   --seconds N         how long to wait before the screenshot (default 5)
# Any further arguments are handed to zarnock.exe (for example -restore).
#
# While a clock run of this build tree is alive, a second run-clock.sh is a second start of
# the program: it starts zarnock.exe with its arguments in the running clock's prefix and on
# its display, where the program hands itself to the running clock, and ends without
# touching that run. The run ends only what it started: its prefix's Wine programs, and the
# display and compositing manager it started. Programs that the clock opened outside Wine
# (a browser, a mail program) go on.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

shot=""
seconds=5
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done

# The picture of DISPLAY, after the wait. The wait runs in the background: bash runs no trap
# while it waits for a foreground command, and a signal must end the run at once.
sleeper=""
screenshot() {
    sleep "$seconds" &
    sleeper=$!
    wait $!
    sleeper=""
    import -window root "$shot"
    zk_log "screenshot saved to $shot"
}

# Waits until the running clock run has started its clock, then starts the program on its
# display in its prefix.
second_start() {
    local owner="$ZK_BUILD/.testbed-clock.owner" display="$ZK_BUILD/.testbed-clock.display"
    zk_log "a clock run of $ZK_BUILD is alive (process $(cut -d: -f1 "$owner" 2>/dev/null)): this start goes to its clock"
    until [ -s "$display" ]; do
        zk_proc_alive "$owner" || { zk_log "that run ended before its clock started"; return 1; }
        sleep 1
    done
    export DISPLAY WINEPREFIX=$ZK_CLOCK_PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY=$(<"$display")
    wine "$clock" ${args[@]+"${args[@]}"} </dev/null
    [ -z "$shot" ] || screenshot
}

clock="$ZK_BUILD/bin/zarnock.exe"
zk_install
# The clock is a 64-bit program: it needs nothing 32-bit, whatever this machine has.
zk_wine64_only "the clock runs 64-bit only"
# The wait's own sleep is a child not yet waited for: its id is still its own. Before the
# run begins zk_run_end has nothing to end.
trap '[ -z "$sleeper" ] || kill "$sleeper" 2>/dev/null; zk_run_end' EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
status=0
zk_run_begin clock || status=$?
if [ "$status" = 3 ]; then
    second_start
    exit $?
fi
[ "$status" = 0 ] || exit "$status"
zk_build
if [ -n "$shot" ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    zk_start_xvfb
    zk_clock_record xvfb "$ZK_XVFB_ID"
    zk_clock_record xcompmgr "$ZK_XCOMPMGR_ID"
    zk_log "running on the virtual display $DISPLAY"
fi
zk_prefix_up "$ZK_CLOCK_PREFIX"
# As an installer would: the install key names the program's folder, where the help file lies.
# In the 64-bit view, which the 64-bit clock reads.
wine reg add 'HKLM\Software\Mervale Software\Zarnock\Install' /v Path /t REG_SZ \
    /d "$(winepath -w "$ZK_BUILD/bin")" /f /reg:64 </dev/null >/dev/null 2>&1 ||
    zk_log "the install key could not be written: help and the server list will not be found"
zk_clock_record display "$DISPLAY"

if [ -z "$shot" ]; then
    wine "$clock" ${args[@]+"${args[@]}"} &
    wait $!
    exit $?
fi
wine "$clock" ${args[@]+"${args[@]}"} </dev/null >/dev/null 2>&1 &
screenshot
