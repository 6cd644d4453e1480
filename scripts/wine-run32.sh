#!/bin/sh
# CTest's emulator for the 32-bit test programs: as wine-run.sh, but skipped (with the line
# that CTest takes for a skip) where Wine runs 64-bit only: a kernel that runs no 32-bit
# programs, or wine32 that could not be installed.
if [ "${ZK_I386:-}" = no ]; then
    echo "skipped: ${ZK_I386_WHY:-this kernel runs no 32-bit programs}"
    exit 0
fi
exec "$(dirname "$0")/wine-run.sh" "$@"
