#!/usr/bin/env bash
# The README's run command on the user's machine, with the programs of the build tree BUILD:
#   run-clock-test.sh BUILD
# A page that the clock opens outlives its run and the next run; a second start goes to the
# running clock; a mirror in the middle of a sync stops nothing (one package counts as
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
# The environment of the clock's own process, in which it opens a page.
clock_env() {
    local d
    for d in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$d/environ" | grep -x "WINEPREFIX=$dir/build/wine-run" >/dev/null &&
            tr '\0' ' ' 2>/dev/null <"$d/cmdline" | grep -i 'zarnock\.exe' >/dev/null &&
            cat "$d/environ" >"$dir/clock.env" && return 0
    done
    return 1
}

# The first run, until the test ends it; the page opened through Wine's browser launcher in
# the clock's environment, as its web command does.
(exec bash "$root/scripts/run-clock.sh" --screenshot "$dir/first.png" --seconds 900 >"$dir/first.out" 2>&1) &
first=$!
wait_for 360 clock_env
mapfile -d '' clockenv <"$dir/clock.env"
env -i "${clockenv[@]}" wine winebrowser http://127.0.0.1/ </dev/null >/dev/null 2>&1 &
wait_for 60 test -s "$dir/opened"
opened=$(zk_proc_id "$(cat "$dir/opened" 2>/dev/null)")
check "the clock opened the page" test -n "$opened"
runclock second -restore
check "a second start while the clock runs ends with status 0" test $? = 0
check "and leaves that run going" kill -0 "$first"
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
