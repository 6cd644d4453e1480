#!/usr/bin/env bash
# Builds everything and runs each benchmark (build/bin/bench_*.exe) under Wine on a virtual
# display of its own; they print their figures. Arguments name benchmarks to run (default all).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

zk_install
zk_wine32
zk_build
# bench_sntp synchronises against a loopback chrony of the benchmarks' own.
export ZARNOCK_CHRONY_DIR="$ZK_BUILD/chrony-bench"
bench_down() {
    bash "$ZK_ROOT/scripts/chrony.sh" stop "$ZARNOCK_CHRONY_DIR" || true
    zk_testbed_down
}
trap bench_down EXIT
zk_start_xvfb
zk_null_audio
zk_prefix_up "$ZK_BUILD/wine-bench"
bash "$ZK_ROOT/scripts/chrony.sh" start "$ZARNOCK_CHRONY_DIR"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in "$ZK_BUILD"/bin/bench_*.exe; do names+=("$(basename "$f" .exe)"); done
fi
status=0
for n in "${names[@]}"; do
    zk_log "running $n"
    wine "$ZK_BUILD/bin/$n.exe" </dev/null || { zk_log "$n failed"; status=1; }
done
exit $status
