#!/usr/bin/env bash
# The install step against a package mirror in the middle of a sync: apt-get, dpkg and
# dpkg-query are stand-ins of the test's own on PATH (apt-get fails as such a mirror does,
# dpkg records what it is asked and changes nothing), so this machine's package setup is
# never touched.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
passes=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}
mkdir -p "$dir/bin"
cat >"$dir/bin/apt-get" <<'SH'
#!/bin/sh
echo "apt-get $*" >>"$STANDIN_LOG"
case "$*" in
*update*)
    echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?" >&2
    exit 100 ;;
*install*) exit "$STANDIN_INSTALL" ;;
esac
SH
cat >"$dir/bin/dpkg" <<'SH'
#!/bin/sh
echo "dpkg $*" >>"$STANDIN_LOG"
[ "$1" = --print-foreign-architectures ] && cat "$STANDIN_ARCHS"
exit 0
SH
cat >"$dir/bin/dpkg-query" <<'SH'
#!/bin/sh
exit 1
SH
chmod +x "$dir/bin/"*

# run CASE INSTALL-STATUS FOREIGN-ARCHS FUNCTION: FUNCTION of the test bed, sourced with the
# stand-ins first on PATH, in a build folder of the case's own; what it printed and the
# stand-ins' log are left in $dir/CASE.*
run() {
    local case=$1
    printf '%s' "$3" >"$dir/$case.archs"
    (
        export PATH="$dir/bin:$PATH" STANDIN_LOG="$dir/$case.log" STANDIN_INSTALL=$2 \
            STANDIN_ARCHS="$dir/$case.archs" ZARNOCK_BUILD_DIR="$dir/$case.build" ZK_APT_PAUSE=0
        source "$root/scripts/testbed.sh"
        zk_i386_runs() { return 0; }
        "$4" || exit $?
        echo "ZK_I386=${ZK_I386:-} wine=$(command -v wine)"
    ) >"$dir/$case.out" 2>&1
    echo $? >"$dir/$case.status"
}
has() { grep -q -- "$2" "$dir/$1"; }
count() { [ "$(grep -c -- "$2" "$dir/$1")" = "$3" ]; }

# The 32-bit part: the tests go on 64-bit only and name the test that is not run.
run added 100 "" zk_wine32
check "wine32 that cannot be installed does not stop the tests" has added.status '^0$'
check "apt-get update is tried three times, and once more after the architecture is removed" count added.log "apt-get update" 4
check "the tests run Wine 64-bit only" has added.out 'ZK_I386=no wine=.*/wine64-only/wine'
check "the output names the test that is not run" has added.out 'vostrel_e2e.*is not run'
check "the architecture added for it is added" has added.log 'dpkg --add-architecture i386'
check "and removed again, since nothing of it got installed" has added.log 'dpkg --remove-architecture i386'

run present 100 "i386" zk_wine32
check "an architecture that was there before is not added" bash -c "! grep -q add-architecture '$dir/present.log'"
check "nor removed" bash -c "! grep -q remove-architecture '$dir/present.log'"

# The packages: lists that cannot all be updated still install what is missing.
run lists 0 "" zk_install
check "a failed update still installs from the lists there are" has lists.log 'apt-get install'
check "and the step succeeds" has lists.status '^0$'
run nothing 100 "" zk_install
check "an install that fails stops the step with a clear line" has nothing.out 'could not install'
check "and a failure status" bash -c "! grep -qx 0 '$dir/nothing.status'"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
