#!/usr/bin/env bash
# Builds everything and runs the tests under Wine. Extra arguments go to ctest
# (for example -R clock to run only some test executables).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"
zk_traps

zk_install
zk_wine32
zk_run_begin tests
zk_build
zk_start_xvfb
zk_null_audio
zk_prefix_wine32 "$ZK_BUILD/wine-tests"
zk_prefix_up "$ZK_BUILD/wine-tests" unmanaged
zk_step ctest --test-dir "$ZK_BUILD" --output-on-failure --parallel "$(nproc)" "$@"
