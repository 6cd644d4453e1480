#!/usr/bin/env bash
# Builds everything and runs every benchmark (build/bin/bench_*.exe) under Wine; each
# prints its own figures. Benchmarks are never part of the tests.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

zk_install
zk_build
trap zk_testbed_down EXIT
zk_start_xvfb
zk_prefix_up "$ZK_BUILD/wine-tests"
status=0
for bench in "$ZK_BUILD"/bin/bench_*.exe; do
    [ -e "$bench" ] || continue
    zk_log "running $(basename "$bench")"
    wine "$bench" </dev/null || { zk_log "$(basename "$bench") failed"; status=1; }
done
exit $status
