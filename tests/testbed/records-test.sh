#!/usr/bin/env bash
# The test bed's process records: a record whose id now names another process (ids come
# round within minutes here) is removed without a signal, whichever script reads it; a
# record of the process itself ends it; a sweep ends exactly the processes with its markers.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
source "$root/scripts/procs.sh"
source "$root/tests/testbed/lib.sh"
dir=$(mktemp -d)
ids=()
trap 'for i in "${ids[@]}"; do zk_proc_end "$i" 2>/dev/null; done; rm -rf "$dir"' EXIT

alive() { [ -d "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status"; }
gone() { for _ in $(seq 100); do alive "$1" || return 0; sleep 0.1; done; return 1; }
# bystander VAR [PREFIX...]: a process of the test's own, its id in VAR, ended at the exit.
bystander() {
    local -n id=$1
    shift
    "$@" sleep 300 </dev/null >/dev/null 2>&1 &
    id=$!
    ids+=("$(zk_proc_id "$id")")
}
# A record with this process's id and another start time: what a killed run leaves behind
# once its id has passed to an unrelated process.
stale() { local id; id=$(zk_proc_id "$1"); echo "$1:$(( $(cut -d: -f2 <<<"$id") - 1 )):$(cut -d: -f3 <<<"$id")"; }

bystander other
sleep 0.2

# stale file  | script that reads it
while read -r file script; do
    mkdir -p "$dir/$file"
    stale "$other" >"$dir/$file/$(basename "$file")"
    echo "$other" >"$dir/$file/$(dirname "$file").pid"   # the old bare-id files too
    bash "$root/$script" stop "$dir/$file" 2>/dev/null
    check "$script stop spares the process a stale record names" alive "$other"
    check "$script stop removes the stale record" test ! -e "$dir/$file/$(basename "$file")"
done <<'TABLE'
chronyd/chronyd.owner scripts/chrony.sh
server/server.owner tests/report/http-server.sh
TABLE

zk_proc_end "$(stale "$other")" 2>/dev/null
check "end spares the process a stale identity names" alive "$other"
zk_proc_end "$(zk_proc_id "$other" | cut -d: -f1,2):another-boot" 2>/dev/null
check "end spares the process a record of another boot names" alive "$other"

bystander own
sleep 0.2
zk_proc_record "$dir/own.owner" "$own"
zk_proc_end "$dir/own.owner"
check "end ends the process its record names" gone "$own"

bystander marked env ZK_TESTBED_RUN=records-test-$$
bystander longer env ZK_TESTBED_RUN=records-test-$$-2
sleep 0.2
# The sweep from a shell that carries the marker, started by another that carries it too.
env ZK_TESTBED_RUN=records-test-$$ bash -c "bash -c 'source \"$root/scripts/procs.sh\"
    zk_proc_sweep ZK_TESTBED_RUN=records-test-$$ 2>/dev/null; echo caller' && echo parent" >"$dir/sweep.out"
check "a sweep ends the processes with its marker" gone "$marked"
check "a sweep spares the processes without it" alive "$other"
check "a sweep spares a marker that only begins like its own" alive "$longer"
check "a sweep spares its caller" grep -qx caller "$dir/sweep.out"
check "and the caller's ancestors" grep -qx parent "$dir/sweep.out"

summary
