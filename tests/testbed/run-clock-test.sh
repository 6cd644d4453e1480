#!/usr/bin/env bash
# The README's run command on the user's machine, with the programs of the build tree BUILD:
#   run-clock-test.sh BUILD
# A program that the clock's prefix opens outside Wine (through Wine's browser launcher and
# a stand-in xdg-open of the test's own) outlives the run and the next run; a second start
# while a run is alive goes to the running clock and leaves it running; a package mirror in
# the middle of a sync stops nothing. The run has a build folder of its own (a fresh prefix)
# and stand-ins for cmake (the programs are already built), apt-get (fails as such a mirror
# does), dpkg and dpkg-query, so this machine's package setup is never touched.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:?the build tree}
source "$root/scripts/procs.sh"
dir=$(mktemp -d)
failures=0
passes=0
opened=""
first=""
cleanup() {
    [ -n "$first" ] && kill -TERM "$first" 2>/dev/null && wait "$first"
    [ -n "$opened" ] && zk_proc_end "$opened" 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}
wait_for() { for _ in $(seq "$1"); do "${@:2}" && return 0; sleep 0.5; done; return 1; }

mkdir -p "$dir/bin" "$dir/build"
ln -s "$build/bin" "$dir/build/bin"
cat >"$dir/bin/xdg-open" <<'SH'
#!/bin/sh
# Opens "the page" as a browser would: a program of its own that goes on after this ends.
setsid sleep 600 </dev/null >/dev/null 2>&1 &
echo $! >"$STANDIN_DIR/opened"
SH
cat >"$dir/bin/cmake" <<'SH'
#!/bin/sh
exit 0
SH
cat >"$dir/bin/apt-get" <<'SH'
#!/bin/sh
echo "apt-get $*" >>"$STANDIN_DIR/apt.log"
case "$*" in *update*) echo "E: ... File has unexpected size. Mirror sync in progress?" >&2; exit 100 ;; esac
exit 0
SH
cat >"$dir/bin/dpkg" <<'SH'
#!/bin/sh
echo "dpkg $*" >>"$STANDIN_DIR/dpkg.log"
exit 0
SH
# One package (unzip) counts as missing, so the install step runs against the mirror.
cat >"$dir/bin/dpkg-query" <<'SH'
#!/bin/sh
case "$*" in *unzip*) exit 1 ;; esac
exec /usr/bin/dpkg-query "$@"
SH
chmod +x "$dir/bin/"*
export PATH="$dir/bin:$PATH" STANDIN_DIR=$dir ZARNOCK_BUILD_DIR=$dir/build ZK_APT_PAUSE=0
unset DISPLAY
runclock() { bash "$root/scripts/run-clock.sh" "$@"; }
alive_id() { zk_proc_alive "$1"; }
navy() { [[ $(convert "$1" -format %c histogram:info: 2>/dev/null) == *"#000080"* ]]; }

# The first run: a clock on a virtual display until the test ends it (a fresh prefix is
# made first).
bash "$root/scripts/run-clock.sh" --screenshot "$dir/first.png" --seconds 900 >"$dir/first.out" 2>&1 &
first=$!
wait_for 360 test -s "$dir/build/.testbed-clock.display"
display=$(cat "$dir/build/.testbed-clock.display" 2>/dev/null)
check "the run records the display its clock shows on" test -n "$display"
# The page opened by the clock: Wine's browser launcher with the clock process's own
# environment, as its web command starts it.
clock_env() {
    local d
    for d in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$d/environ" | grep -x "WINEPREFIX=$dir/build/wine-run" >/dev/null &&
            tr '\0' ' ' 2>/dev/null <"$d/cmdline" | grep -i 'zarnock\.exe' >/dev/null &&
            cat "$d/environ" >"$dir/clock.env" && return 0
    done
    return 1
}
wait_for 60 clock_env
mapfile -d '' clockenv <"$dir/clock.env"
env -i "${clockenv[@]}" wine winebrowser http://127.0.0.1/ </dev/null >/dev/null 2>&1 &
wait_for 60 test -s "$dir/opened"
opened=$(zk_proc_id "$(cat "$dir/opened" 2>/dev/null)")
check "the clock's prefix opened the page" test -n "$opened"

runclock -restore >"$dir/second.out" 2>&1
status=$?
check "a second start while the clock runs ends with status 0" test "$status" = 0
check "and goes to the running clock" grep -q 'this start goes to its clock' "$dir/second.out"
check "and leaves that run going" kill -0 "$first"

kill -TERM "$first"
wait "$first"
first=""
check "the package mirror stopped nothing (its update failed)" grep -q 'apt-get update' "$dir/apt.log"
check "the run command touched no architecture" test ! -e "$dir/dpkg.log"
check "the run's display is gone" test ! -e "$dir/build/.testbed-clock.xvfb"
check "the page the clock opened outlives the run" alive_id "$opened"

# Time for the clock to show under a saturated disk.
runclock --screenshot "$dir/next.png" --seconds 20 >"$dir/next.out" 2>&1
status=$?
check "the next run ends with status 0" test "$status" = 0
check "and shows the clock (navy background)" navy "$dir/next.png"
check "the page outlives the next run too" alive_id "$opened"

[ "$failures" -eq 0 ] || tail -n 20 "$dir"/*.out
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
