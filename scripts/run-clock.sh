#!/usr/bin/env bash
# Builds the clock and runs it under Wine: on the user's display when there is one,
# else on a virtual display of its own.
#   --screenshot FILE   save a picture of the display after a few seconds, then close the clock
#   --seconds N         how long to wait before the screenshot (default 5)
# Any further arguments are handed to zarnock.exe (for example -restore).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/testbed.sh"

shot=""
seconds=5
args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --screenshot) shot=$(realpath -m "$2"); shift 2 ;;
        --seconds) seconds=$2; shift 2 ;;
        *) args+=("$1"); shift ;;
    esac
done

zk_install
zk_wine32
zk_run_begin clock
trap zk_run_end EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
zk_build
if [ -n "$shot" ] || [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    zk_start_xvfb
    zk_log "running on the virtual display $DISPLAY"
fi
zk_prefix_up "$ZK_BUILD/wine-run"
# As an installer would: the install key names the program's folder, where the help file lies.
# In the 64-bit view, which the 64-bit clock reads: where wine32 is installed "wine reg" is
# the 32-bit reg.exe, whose HKLM\Software would otherwise be Wow6432Node.
wine reg add 'HKLM\Software\Mervale Software\Zarnock\Install' /v Path /t REG_SZ \
    /d "$(winepath -w "$ZK_BUILD/bin")" /f /reg:64 </dev/null >/dev/null 2>&1 ||
    zk_log "the install key could not be written: help and the server list will not be found"

clock="$ZK_BUILD/bin/zarnock.exe"
if [ -z "$shot" ]; then
    wine "$clock" "${args[@]}"
    exit $?
fi
wine "$clock" "${args[@]}" </dev/null >/dev/null 2>&1 &
sleep "$seconds"
import -window root "$shot"
zk_log "screenshot saved to $shot"
