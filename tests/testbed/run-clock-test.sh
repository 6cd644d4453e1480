#!/usr/bin/env bash
# The README's run command on the user's machine, with the programs of the build tree BUILD:
#   run-clock-test.sh BUILD
# A second start right after the first run, before its clock has a window, goes to that
# clock (three rounds, so that the race is met); a page that the clock opens outlives its run
# and the next run; a start during a run's end waits for it and is a run of its own; a
# screenshot only of a clock that showed; a Wine program of the user's outlives the start of
# a run after a clean end; Ctrl-C at the run's waits leaves nothing; a mirror in the middle
# of a sync stops nothing (one package counts as missing). The runs have a build folder of
# their own and the stand-ins of lib.sh.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?the build tree}
source "$root/scripts/procs.sh"
source "$root/tests/testbed/lib.sh"
dir=$(mktemp -d)
opened=""
first=""
own=()
cleanup() {
    [ -n "$first" ] && kill -TERM "$first" 2>/dev/null && wait "$first"
    [ -n "$opened" ] && zk_proc_end "$opened" 2>/dev/null
    for id in "${own[@]}"; do zk_proc_end "$id" 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
wait_for() { for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.5; done; return 1; }
mkdir -p "$dir/build"
ln -s "$build/bin" "$dir/build/bin"
STANDIN_MISSING=unzip standins "$dir"
export ZARNOCK_BUILD_DIR=$dir/build ZK_APT_PAUSE=0
unset DISPLAY
runclock() { bash "$root/scripts/run-clock.sh" "${@:2}" >"$dir/$1.out" 2>&1; }
navy() { [[ $(convert "$1" -format %c histogram:info: 2>/dev/null) == *"#000080"* ]]; }
# The processes of the runs' prefix (those of PATTERN): prints how many there are, and
# keeps the environment and id of one, in which the clock opens a page.
clocks() {
    local pid n=0
    for pid in $(pgrep -f "${1:-zarnock\.exe}"); do
        grep -qzx "WINEPREFIX=$dir/build/wine-run" "/proc/$pid/environ" 2>/dev/null &&
            cat "/proc/$pid/environ" >"$dir/clock.env" 2>/dev/null && echo "$pid" >"$dir/clock.pid" && n=$((n + 1))
    done
    echo "$n"
}
clock_env() { [ "$(clocks)" -gt 0 ]; }
ended() { ! zk_proc_alive "$1"; }
user_program() { [ "$(clocks 'ping\.exe')" = 1 ]; }
booting() { [ -e "$dir/build/wine-run/.zarnock-made" ] && [ "$(clocks wineboot)" -gt 0 ]; }
# A run in a session of its own, with the Ctrl-C of a terminal (a script's background
# children ignore it); its id in $run.
session_run() {
    env --default-signal=INT setsid bash "$root/scripts/run-clock.sh" "${@:2}" >"$dir/$1.out" 2>&1 &
    run=$!
}
# Whether nothing is left of that run: no process of its session, no Wine program of its
# prefix (the page that the clock opened has the prefix in its environment too).
nothing_left() {
    ! ps -o stat= -s "$run" | grep -qv '^Z' && [ "$(clocks '\.exe|wineserver')" = 0 ]
}
# The Options sheet on the run's display: what a second start hands to the running clock.
options_open() {
    DISPLAY=$(cat "$dir/build/.testbed-clock.display" 2>/dev/null) xwininfo -root -tree 2>/dev/null |
        grep -q ': Options": ("zarnock.exe"'
}
# A setting of the runs' prefix, written while no run is alive.
setting() {
    env WINEPREFIX="$dir/build/wine-run" WINEDEBUG=-all "$dir/build/wine64-only/wine" reg add \
        "HKCU\\Software\\Mervale Software\\Zarnock\\$1" /v "$2" /t "$3" /d "$4" /f </dev/null >/dev/null 2>&1
}
# Each round: a first run, until the test ends it, and a second start 0.3 s after it. From
# the second round on, the clock's start-up waits 5 s for a saved monitor that is not there
# before it makes its window, so the second start surely comes first; and the clock no longer
# opens its Options sheet at start (it does on the first start of a prefix), so the sheet
# shows only when the hand-over reached the clock.
for round in 1 2 3; do
    if [ "$round" != 1 ]; then
        setting TimeSync FST REG_DWORD 0
        setting Common DR REG_BINARY 8813000000000000081b000038040000
        WINEPREFIX="$dir/build/wine-run" wineserver -w
    fi
    (exec bash "$root/scripts/run-clock.sh" --screenshot "$dir/first.png" --seconds 900 >"$dir/first.out" 2>&1) &
    first=$!
    sleep 0.3
    timeout 300 bash "$root/scripts/run-clock.sh" -restore >"$dir/second.out" 2>&1
    check "round $round: a second start right after the first run ends with status 0" test $? = 0
    check "round $round: and installs nothing" bash -c "! grep -q installing '$dir/second.out'"
    check "round $round: and leaves that run going" kill -0 "$first"
    check "round $round: with one clock in its prefix" test "$(clocks)" = 1
    [ "$round" = 1 ] || check "round $round: the hand-over reached the clock" wait_for 20 options_open
    [ "$round" = 3 ] && break
    kill -TERM "$first"
    wait "$first"
    first=""
done

# The page opened through Wine's browser launcher in the clock's environment, as its web
# command does.
wait_for 60 clock_env
mapfile -d '' clockenv <"$dir/clock.env"
env -i "${clockenv[@]}" wine winebrowser http://127.0.0.1/ </dev/null >/dev/null 2>&1 &
wait_for 60 test -s "$dir/opened"
opened=$(zk_proc_id "$(cat "$dir/opened" 2>/dev/null)")
check "the clock opened the page" test -n "$opened"
xvfb=$(cat "$dir/build/.testbed-clock.xvfb")
# A start 0.3 s after the run was told to end; time for its clock to show under a saturated disk.
kill -TERM "$first"
sleep 0.3
runclock next --screenshot "$dir/next.png" --seconds 20
check "a start during a run's end ends with status 0" test $? = 0
check "and shows the clock (navy background)" navy "$dir/next.png"
check "once that end is over" grep -q 'is ending: waiting' "$dir/next.out"
wait "$first"
first=""
check "the page outlives the run and the next" zk_proc_alive "$opened"
check "the run's display is ended" wait_for 20 ended "$xvfb"

ZK_CLOCK_SHOW_WAIT=60 runclock none --screenshot "$dir/none.png" -uninstall
check "a clock that shows no window fails the screenshot run" test $? != 0
check "which leaves no picture" bash -c "! ls -a '$dir' | grep -q none.png"
check "nor says that it saved one" bash -c "! grep -q 'screenshot saved to' '$dir/none.out'"

# A Wine program that the user starts in the prefix after a clean end, on a display of the
# user's, lives while the next run starts its clock; that run's own end ends it.
Xvfb -displayfd 3 -nolisten tcp 3>"$dir/user.display" </dev/null >/dev/null 2>&1 &
own+=("$(zk_proc_id $!)")
wait_for 20 test -s "$dir/user.display"
DISPLAY=:$(<"$dir/user.display") WINEPREFIX="$dir/build/wine-run" WINEDEBUG=-all \
    "$dir/build/wine64-only/wine" ping -n 600 127.0.0.1 </dev/null >/dev/null 2>&1 &
wait_for 60 user_program
user=$(zk_proc_id "$(cat "$dir/clock.pid")")
runclock after --screenshot "$dir/after.png" --seconds 3 &
after=$!
wait_for 240 test -s "$dir/build/.testbed-clock.display"
check "the user's Wine program lives while the next run shows its clock" zk_proc_alive "$user"
wait "$after"
check "which ends with status 0" test $? = 0
check "and ends the prefix's programs at its end" wait_for 20 ended "$user"

# Ctrl-C while the run starts its prefix's programs (once it has completed the prefix, whose
# marker is gone), and while it waits for the build lock with a second start waiting for
# its clock.
rm -f "$dir/build/wine-run/.zarnock-made"
session_run making --screenshot "$dir/making.png"
check "a prefix without its marker is completed" wait_for 240 grep -q 'completing the Wine prefix' "$dir/making.out"
for _ in $(seq 2400); do booting && break; sleep 0.1; done
kill -INT -- -"$run"
wait "$run"
check "Ctrl-C while the prefix's programs start ends the run with 130" test $? = 130
check "and leaves nothing of the run or its prefix" wait_for 20 nothing_left
# The build lock held by one process of the test's own, which holds none of its output.
(exec 8>"$dir/build/.build.lock"; flock 8; exec sleep 600) </dev/null >/dev/null 2>&1 &
own+=("$(zk_proc_id $!)")
wait_for 20 bash -c "! flock -n '$dir/build/.build.lock' true"
session_run locked --screenshot "$dir/locked.png"
check "a run waits for the build lock that another command holds" \
    wait_for 120 grep -q 'waiting for it to finish' "$dir/locked.out"
runclock waiter &
waiter=$!
sleep 2
kill -INT -- -"$run"
wait "$run"
check "Ctrl-C while the run waits for a lock ends it with 130" test $? = 130
check "and leaves no flock or sleep" wait_for 20 nothing_left
wait "$waiter"
check "a second start whose run ended ends with 1" test $? = 1
check "saying in one line that the run ended" test "$(grep -c 'that run ended' "$dir/waiter.out")" = 1
zk_proc_end "${own[0]}"

check "the mirror's failing update stopped nothing" grep -q '^apt-get update' "$dir/calls"
check "and no run touched an architecture" bash -c "! grep -q '^dpkg ' '$dir/calls'"
summary || { tail -n 20 "$dir"/*.out; false; }
