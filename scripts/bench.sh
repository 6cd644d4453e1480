#!/usr/bin/env bash
# Builds everything and runs each benchmark (build/bin/bench_*.exe) under Wine on a virtual
# display of its own; they print their figures. Arguments name benchmarks to run (default all).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

zk_install
zk_build
trap zk_testbed_down EXIT
zk_start_xvfb
zk_prefix_up "$ZK_BUILD/wine-bench"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
    for f in "$ZK_BUILD"/bin/bench_*.exe; do names+=("$(basename "$f" .exe)"); done
fi
for n in "${names[@]}"; do
    echo "== $n"
    wine "$ZK_BUILD/bin/$n.exe" </dev/null
done
