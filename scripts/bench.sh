#!/usr/bin/env bash
# Builds everything and runs every benchmark (build/bin/bench_*.exe) under Wine; each
# prints its own figures. Benchmarks are never part of the tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

zk_install
zk_build
# bench_sntp synchronises against a loopback chrony of the benchmarks' own.
export ZARNOCK_CHRONY_DIR="$ZK_BUILD/chrony-bench"
bench_down() {
    bash "$ZK_ROOT/scripts/chrony.sh" stop "$ZARNOCK_CHRONY_DIR" || true
    zk_testbed_down
}
trap bench_down EXIT
zk_start_xvfb
zk_prefix_up "$ZK_BUILD/wine-tests"
bash "$ZK_ROOT/scripts/chrony.sh" start "$ZARNOCK_CHRONY_DIR"
status=0
for bench in "$ZK_BUILD"/bin/bench_*.exe; do
    [ -e "$bench" ] || continue
    zk_log "running $(basename "$bench")"
    wine "$bench" </dev/null || { zk_log "$(basename "$bench") failed"; status=1; }
done
exit $status
