#!/usr/bin/env bash
# The install step against a package mirror in the middle of a sync, with stand-ins for the
# package tools (tests/testbed/lib.sh).
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/tests/testbed/lib.sh"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# run CASE INSTALL-STATUS FOREIGN-ARCHS STEP: the test bed's STEP with the stand-ins, in a
# build folder of the case's own; its output, status and the calls are left in $dir/CASE.
run() {
    mkdir -p "$dir/$1"
    printf '%s' "${3:+$3$'\n'}" >"$dir/$1/archs"
    (
        standins "$dir/$1"
        export STANDIN_INSTALL=$2 ZARNOCK_BUILD_DIR="$dir/$1/build" ZARNOCK_CACHE="$dir/$1/cache" ZK_APT_PAUSE=0
        source "$root/scripts/testbed.sh"
        zk_i386_runs() { [ -z "${STANDIN_NO_I386:-}" ]; }
        "$4" && echo "ZK_I386=${ZK_I386:-} wine=$(command -v wine)"
    ) >"$dir/$1/out" 2>&1
    echo $? >"$dir/$1/status"
}
has() { grep -q -- "$2" "$dir/$1"; }
hasnt() { ! has "$@"; }

run added 100 "" zk_wine32
run present 100 "i386" zk_wine32
# A run ended mid-install left a mark: the next run takes it back, also on a kernel that
# runs no 32-bit programs, and only drops it where the architecture is in use.
for case in leftover no32 inuse; do mkdir -p "$dir/$case/cache" && touch "$dir/$case/cache/i386-added"; done
run leftover 100 "i386" zk_wine32
STANDIN_NO_I386=1 run no32 100 "i386" zk_wine32
STANDIN_I386_USED=1 run inuse 100 "i386" zk_wine32
STANDIN_DPKG_FAIL=--add-architecture run addfails 100 "" zk_wine32
STANDIN_DPKG_FAIL=--remove-architecture run keeps 100 "" zk_wine32
run lists 0 "" zk_install
run nothing 100 "" zk_install
run removal remove "" zk_install
while IFS='|' read -r what file pattern; do
    check "$what" has "$file" "$pattern"
done <<'TABLE'
wine32 that cannot be installed does not stop the tests|added/status|^0$
the tests then run Wine 64-bit only|added/out|ZK_I386=no wine=.*/wine64-only/wine
the output names the test that is not run|added/out|vostrel_e2e.*is not run
and why|added/out|update failed; is the package mirror
the architecture added for it is removed again|added/calls|dpkg --remove-architecture i386
a failed update still installs from the lists there are|lists/calls|apt-get install
and the step succeeds|lists/status|^0$
an install that fails stops the step with a clear line|nothing/out|could not install
the architecture that a run ended mid-install added is removed by the next|leftover/calls|dpkg --remove-architecture i386
also where the kernel runs no 32-bit programs|no32/calls|dpkg --remove-architecture i386
a failed add says so|addfails/out|could not add the i386 architecture
and the tests go on|addfails/status|^0$
a removal that fails is not reported as done|keeps/out|could not be removed again
an install that would remove a package stops and names what it could not install|removal/out|could not install cmake .* without removing
TABLE
check "apt-get update is tried three times, then once without the architecture" \
    test "$(grep -c 'apt-get update' "$dir/added/calls")" = 4
check "an architecture that was there before is not added" hasnt present/calls add-architecture
check "nor removed" hasnt present/calls remove-architecture
check "an architecture in use stays" hasnt inuse/calls remove-architecture
check "and its mark is dropped" test ! -e "$dir/inuse/cache/i386-added"
check "an install that fails ends the step with a failure" hasnt nothing/status '^0$'
check "a failed add does not blame the mirror" hasnt addfails/out mirror
check "nor leaves a mark" test ! -e "$dir/addfails/cache/i386-added"
check "a removal that fails keeps its mark" test -e "$dir/keeps/cache/i386-added"
check "an install that would remove a package fails" hasnt removal/status '^0$'
check "no install may remove a package" bash -c "! cat '$dir'/*/calls | grep '^apt-get install' | grep -qv -- --no-remove"
# A mark whose architecture is gone names nothing: an architecture that the user adds later stays.
mkdir -p "$dir/later/cache" && touch "$dir/later/cache/i386-added"
STANDIN_DPKG_FAIL=--add-architecture run later 100 "" zk_wine32
check "a mark with no i386 configured is dropped" test ! -e "$dir/later/cache/i386-added"
run later 100 "i386" zk_wine32
check "and the architecture that the user added since stays" hasnt later/calls remove-architecture
summary
