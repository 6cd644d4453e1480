#!/usr/bin/env bash
# Builds the clock and runs it under Wine: on the user's display when there is one,
# else on a virtual display of its own.
#   --screenshot FILE   save a picture of the display after a few seconds, then close the clock;
#                       where the clock ends or shows no window first, save none and end with 1
#   --seconds N         how long to wait before the screenshot (default 5)
# Any further arguments are handed to zarnock.exe (for example -restore).
#
# While a clock run of this build tree is alive, a second run-clock.sh is a second start of
# the program: it starts zarnock.exe with its arguments in the running clock's prefix and on
# its display, where the program hands itself to the running clock, and ends without
# touching that run; one that comes while the run is ending waits for that end and is a run
# of its own. The run ends only what it started: its prefix's Wine programs, and the
# display and compositing manager it started. Programs that the clock opened outside Wine
# (a browser, a mail program) go on.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"
zk_traps

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

# The picture of DISPLAY after the wait, taken only while the clock still shows (the command
# given succeeds), into a file aside that is moved in once whole: a clock that is gone, or
# a picture that fails, leaves no picture.
part=""
trap 'rm -f "$part"; zk_exit' EXIT
screenshot() {
    # Holding none of the command's output: a run killed outright leaves this sleep until its
    # time is up, and a pipe that the output goes to should not wait for it.
    zk_step sleep "$seconds" </dev/null >/dev/null 2>&1
    part="$(dirname "$shot")/.$$.$(basename "$shot")"
    if ! "$@"; then
        zk_log "the clock no longer shows: no screenshot saved"
        return 1
    fi
    if ! import -window root "$part" || ! "$@"; then
        rm -f "$part"
        zk_log "the clock could not be pictured: no screenshot saved"
        return 1
    fi
    mv -f "$part" "$shot"
    zk_log "screenshot saved to $shot"
}

# The clock's window: once it shows, its display is recorded for second starts (a program
# that arrives before the window exists finds no clock to hand itself to). Polled in this
# shell, not in a watcher, so no record is written once the run has begun to end.
show_wait=${ZK_CLOCK_SHOW_WAIT:-120}
started="$ZK_BUILD/.testbed-clock.clock"
# Until the command given succeeds, while the clock's process lives and for show_wait
# seconds at most: 1 when the clock has ended, 2 when the time is up.
while_clock_starts() {
    local start=$SECONDS
    until "$@"; do
        zk_proc_alive "$started" || return 1
        [ $((SECONDS - start)) -lt "$show_wait" ] || return 2
        sleep 0.2
    done
}
clock_shown() {
    local status=0 none=""
    [ -z "$shot" ] || none=": no screenshot saved"
    zk_proc_record "$started" "$1" || true
    while_clock_starts zk_shows_window "$1" zarnock.exe || status=$?
    case $status in
    0) zk_clock_record display "$DISPLAY" ;;
    1) zk_log "the clock ended without showing a window$none" ;;
    *) zk_log "the clock has shown no window in $show_wait s; a second start will find none$none" ;;
    esac
    return "$status"
}
# Whether the run's clock is still there with its window.
clock_shows() {
    local id
    id=$(zk_proc_read "$started")
    zk_proc_is "$id" && zk_shows_window "${id%%:*}" zarnock.exe
}

# A second start: waits until the running clock run's clock shows its window (while that run
# builds and starts its clock, and then for a bounded time), then starts the program with its
# arguments on that display in that prefix. The run's lock, held shared, keeps the run from
# ending its prefix under the program before it has handed itself over. Returns 4 when the
# run began to end after its clock showed: this start came during that end.
second_start() {
    local owner="$ZK_BUILD/.testbed-clock.owner" display="$ZK_BUILD/.testbed-clock.display" lock status=0
    local ended="that run ended before its clock showed: this start has no clock to go to"
    zk_log "a clock run of $ZK_BUILD is alive (process $(cut -d: -f1 "$owner" 2>/dev/null)): this start goes to its clock"
    until [ -s "$started" ]; do
        zk_clock_ending && { zk_log "$ended"; return 1; }
        sleep 0.2
    done
    while_clock_starts test -s "$display" || status=$?
    if [ "$status" != 0 ] && zk_clock_ending; then
        zk_log "$ended"
        return 1
    fi
    case $status in
    0) ;;
    1) zk_log "that run's clock ended without showing a window"; return 1 ;;
    *) zk_log "that run's clock has shown no window in $show_wait s"; return 1 ;;
    esac
    exec {lock}>"$ZK_CLOCK_LOCK"
    zk_step flock -s "$lock"
    if [ ! -s "$display" ]; then
        exec {lock}>&-
        return 4
    fi
    export DISPLAY WINEPREFIX=$ZK_CLOCK_PREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    DISPLAY=$(<"$display")
    # Held by this shell alone: a Wine service that the program starts would outlive it,
    # holding the lock for the rest of the run.
    zk_step wine "$clock" ${args[@]+"${args[@]}"} </dev/null {lock}>&- || status=$?
    exec {lock}>&-
    [ -z "$shot" ] || screenshot clock_shows || return 1
    return "$status"
}

clock="$ZK_BUILD/bin/zarnock.exe"
# The clock is a 64-bit program: it needs nothing 32-bit, whatever this machine has.
zk_wine64_only "the clock runs 64-bit only"
# The run is claimed first of all, so that of two commands started one after the other the
# first is the run, however busy the machine; a second start installs nothing (the run does).
# A second start whose run began to end before the hand-over came during that end: it waits
# for the end and is a run of its own.
while :; do
    status=0
    zk_run_begin clock || status=$?
    [ "$status" = 3 ] || break
    status=0
    second_start || status=$?
    [ "$status" = 4 ] || exit "$status"
done
[ "$status" = 0 ] || exit "$status"
zk_install
zk_build
if [ -n "$shot" ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    zk_start_xvfb
    zk_clock_record xvfb "$ZK_XVFB_ID"
    zk_clock_record xcompmgr "$ZK_XCOMPMGR_ID"
    zk_log "running on the virtual display $DISPLAY"
fi
zk_prefix_up "$ZK_CLOCK_PREFIX"
# The prefix's wineserver, for the next run to end should this one be killed.
server=$(zk_prefix_server "$ZK_CLOCK_PREFIX") && zk_clock_record wineserver "$server"
# As an installer would: the install key names the program's folder, where the help file lies.
# In the 64-bit view, which the 64-bit clock reads.
zk_step wine reg add 'HKLM\Software\Mervale Software\Zarnock\Install' /v Path /t REG_SZ \
    /d "$(winepath -w "$ZK_BUILD/bin")" /f /reg:64 </dev/null >/dev/null 2>&1 ||
    zk_log "the install key could not be written: help and the server list will not be found"

if [ -z "$shot" ]; then
    wine "$clock" ${args[@]+"${args[@]}"} &
    pid=$!
    clock_shown "$pid" || true
    wait "$pid"
    exit $?
fi
began=$SECONDS
wine "$clock" ${args[@]+"${args[@]}"} </dev/null >/dev/null 2>&1 &
clock_shown $! || exit 1
seconds=$((seconds > SECONDS - began ? seconds - (SECONDS - began) : 0))
screenshot clock_shows || exit 1
