#!/usr/bin/env bash
# Builds everything and runs each benchmark (build/bin/bench_*.exe) under Wine on a virtual
# display of its own; they print their figures. Arguments name benchmarks to run (default all);
# what follows "--" is passed to each of them (for example: bench_tick -- --compare 6).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"
zk_traps

zk_install
zk_wine32
zk_run_begin bench
zk_build
# bench_sntp synchronises against a loopback chrony of the benchmarks' own.
export ZARNOCK_CHRONY_DIR="$ZK_BUILD/chrony-bench"
# bench_update asks a loopback web site of the benchmarks' own.
export ZARNOCK_HTTP_DIR="$ZK_BUILD/http-bench"
bench_down() {
    zk_exit
    bash "$ZK_ROOT/scripts/chrony.sh" stop "$ZARNOCK_CHRONY_DIR" || true
    bash "$ZK_ROOT/tests/report/http-server.sh" stop "$ZARNOCK_HTTP_DIR" || true
}
trap bench_down EXIT
zk_start_xvfb
zk_null_audio
zk_prefix_wine32 "$ZK_BUILD/wine-bench"
zk_prefix_up "$ZK_BUILD/wine-bench"
bash "$ZK_ROOT/scripts/chrony.sh" start "$ZARNOCK_CHRONY_DIR"
bash "$ZK_ROOT/tests/report/http-server.sh" start "$ZARNOCK_HTTP_DIR"
names=()
args=()
while [ $# -gt 0 ]; do
    if [ "$1" = -- ]; then
        shift
        args=("$@")
        break
    fi
    names+=("$1")
    shift
done
if [ ${#names[@]} -eq 0 ]; then
    for f in "$ZK_BUILD"/bin/bench_*.exe; do names+=("$(basename "$f" .exe)"); done
fi
status=0
for n in "${names[@]}"; do
    zk_log "running $n"
    zk_step wine "$ZK_BUILD/bin/$n.exe" ${args[@]+"${args[@]}"} </dev/null || { zk_log "$n failed"; status=1; }
done
exit $status
