#!/usr/bin/env bash
# The README's run command on the user's machine, with the programs of the build tree BUILD:
#   run-clock-test.sh BUILD
# A second start right after the first run, before its clock has a window, goes to that
# clock (three rounds, so that the race is met); a page that the clock opens outlives its run
# and the next run; a mirror in the middle of a sync stops nothing (one package counts as
# missing). The runs have a build folder of their own and the stand-ins of lib.sh.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?the build tree}
source "$root/scripts/procs.sh"
source "$root/tests/testbed/lib.sh"
dir=$(mktemp -d)
opened=""
first=""
cleanup() {
    [ -n "$first" ] && kill -TERM "$first" 2>/dev/null && wait "$first"
    [ -n "$opened" ] && zk_proc_end "$opened" 2>/dev/null
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
# The clock processes of the runs' prefix: prints how many there are, and keeps the
# environment of one, in which the clock opens a page.
clocks() {
    local pid n=0
    for pid in $(pgrep -f 'zarnock\.exe'); do
        grep -qzx "WINEPREFIX=$dir/build/wine-run" "/proc/$pid/environ" 2>/dev/null &&
            cat "/proc/$pid/environ" >"$dir/clock.env" 2>/dev/null && n=$((n + 1))
    done
    echo "$n"
}
clock_env() { [ "$(clocks)" -gt 0 ]; }
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
kill -TERM "$first"
wait "$first"
first=""
check "the page outlives the run" zk_proc_alive "$opened"
check "the run's display is ended" test ! -e "$dir/build/.testbed-clock.xvfb"

# Time for the clock to show under a saturated disk.
runclock next --screenshot "$dir/next.png" --seconds 20
check "the next run ends with status 0" test $? = 0
check "and shows the clock (navy background)" navy "$dir/next.png"
check "the page outlives the next run too" zk_proc_alive "$opened"
check "the mirror's failing update stopped nothing" grep -q '^apt-get update' "$dir/calls"
check "and no run touched an architecture" bash -c "! grep -q '^dpkg ' '$dir/calls'"
summary || { tail -n 20 "$dir"/*.out; false; }
