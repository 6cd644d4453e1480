# The Wine test bed, sourced by test.sh, run-clock.sh and bench.sh: installs what is
# missing, builds, and brings up a private Wine prefix with its own wineserver and (when
# needed) its own Xvfb display, and takes down exactly those processes again.
ZK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# The whole path: it is the marker of every run of this tree, so two checkouts that use the
# same relative name must never mark their runs alike.
ZK_BUILD=$(realpath -m "${ZARNOCK_BUILD_DIR:-$ZK_ROOT/build}")

ZK_PACKAGES=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64
    binutils-mingw-w64-i686 python3 openssl wine wine64 fonts-wine xvfb xcompmgr x11-utils imagemagick googletest dpkg-dev)
# The crash tests check every archive they make with Debian's unzip.
ZK_PACKAGES+=(unzip)
# The help file is compiled with Free Pascal's chmcmd.
ZK_PACKAGES+=(fp-utils)

zk_log() { echo "zarnock: $*" >&2; }

# Every process the test bed ends is named by its identity (id, start time, boot), checked
# again right before the signal: never by an id alone, never by a name.
source "$ZK_ROOT/scripts/procs.sh"
source "$ZK_ROOT/scripts/apt.sh"

ZK_RUN_OWNER=""
ZK_RUN_ROLE=""

# The traps of every command of the test bed: a signal ends the command at once (130 for
# Ctrl-C, 143 for SIGTERM), and its end, however it comes, takes down what it started: the
# step that was running, an architecture half added, the run. Signals that come during the
# end are ignored: the end is bounded, and one cut short would leave processes behind.
zk_traps() {
    trap zk_exit EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
}
zk_exit() {
    trap '' INT TERM
    zk_step_end
    [ -z "$ZK_I386_PENDING" ] || zk_i386_undo
    zk_run_end
}

# A run of ROLE (tests, bench, clock) in this build tree. Everything a tests or bench run
# starts inherits markers in its environment (tree, role, run), through Wine's own process
# starts too; what a killed run of the same tree and role left behind is ended first. A run
# that is still alive is waited for. The clock's own run (role clock) carries no markers and
# sweeps nothing: programs that the clock opens for the user (a browser, a mail program)
# are not the test bed's. It ends only its prefix's Wine programs and the display it
# recorded; while it is alive, zk_run_begin returns 3 and a second start goes to its clock
# (run-clock.sh); while it is ending, the new run waits for that end.
zk_run_begin() {
    local role=$1 owner="$ZK_BUILD/.testbed-$1.owner" status said="" waited=$SECONDS
    mkdir -p "$ZK_BUILD"
    while :; do
        status=0
        zk_step zk_run_claim "$role" || status=$?
        case $status in
        4)
            [ -n "$said" ] || zk_log "the clock run of $ZK_BUILD is ending: waiting for it to end (a minute at most)"
            if [ $((SECONDS - waited)) -ge 60 ]; then
                zk_log "that run has not ended after a minute: this start gives up"
                return 1
            fi ;;
        5)
            [ -n "$said" ] || zk_log "another $role run of $ZK_BUILD is running (process $(cut -d: -f1 "$owner" 2>/dev/null)): waiting for it to finish" ;;
        *) break ;;
        esac
        said=1
        zk_step sleep 0.5
    done
    [ "$status" = 0 ] || return "$status"
    ZK_RUN_OWNER=$owner ZK_RUN_ROLE=$role
    [ "$role" = clock ] && return 0
    export ZK_TESTBED_TREE=$ZK_BUILD ZK_TESTBED_ROLE=$role
    ZK_TESTBED_RUN=$(cat /proc/sys/kernel/random/uuid)
    export ZK_TESTBED_RUN
}

# Under the role's lock: 3 while a clock run is alive, 4 while it is ending, 5 while
# another tests or bench run is alive; else what a killed run left is ended and the run is
# this command's.
zk_run_claim() {
    local role=$1 owner="$ZK_BUILD/.testbed-$1.owner"
    exec 9>"$ZK_BUILD/.testbed-$role.lock"
    flock 9
    if zk_proc_alive "$owner"; then
        [ "$role" = clock ] || return 5
        zk_clock_ending && return 4
        return 3
    fi
    if [ "$role" = clock ]; then
        zk_clock_leftovers
    else
        zk_proc_sweep "ZK_TESTBED_TREE=$ZK_BUILD" "ZK_TESTBED_ROLE=$role"
    fi
    zk_proc_record "$owner" $$
}

# The end of a run, however it ends: a clock run first withdraws the records that second
# starts go by and says that it is ending, then its display and prefix go, then (tests and
# benchmarks) whatever else it started that is still there. The records of what it started
# go only once that is ended: a run killed in the middle of its end leaves them for the next.
zk_run_end() {
    [ -n "$ZK_RUN_OWNER" ] && [ "$ZK_RUN_ROLE" = clock ] && zk_clock_withdraw
    zk_testbed_down
    if [ -n "$ZK_RUN_OWNER" ]; then
        if [ "$ZK_RUN_ROLE" = clock ]; then
            rm -f "$ZK_BUILD"/.testbed-clock.{xvfb,xcompmgr,wineserver}
        else
            zk_proc_sweep "ZK_TESTBED_RUN=$ZK_TESTBED_RUN"
        fi
        rm -f "$ZK_RUN_OWNER"
        [ "$ZK_RUN_ROLE" = clock ] && rm -f "$ZK_BUILD/.testbed-clock.ending"
        ZK_RUN_OWNER=""
    fi
    return 0
}

# The clock run's prefix and its records: the display and compositing manager it started
# and its prefix's wineserver (by identity), for second starts its clock's process (once
# started) and the display its clock shows on (once the clock's window is there), and once
# it has begun to end, its own identity in "ending".
ZK_CLOCK_PREFIX=$ZK_BUILD/wine-run
ZK_CLOCK_LOCK=$ZK_BUILD/.testbed-clock.lock
zk_clock_record() { echo "$2" >"$ZK_BUILD/.testbed-clock.$1"; }

# Whether the clock run that owns the tree has begun to end (or has ended).
zk_clock_ending() {
    local owner ending
    owner=$(zk_proc_read "$ZK_BUILD/.testbed-clock.owner")
    zk_proc_is "$owner" || return 0
    ending=$(zk_proc_read "$ZK_BUILD/.testbed-clock.ending")
    [ "$ending" = "$owner" ]
}

# What a killed clock run left behind, by its records: its prefix's wineserver with the
# Wine programs of the prefix, and the display it started. After a run that ended cleanly
# there are none, and nothing is ended: a Wine program that the user started in the prefix
# since then goes on.
zk_clock_leftovers() {
    local server=$ZK_BUILD/.testbed-clock.wineserver
    if zk_proc_alive "$server"; then
        zk_log "ending the Wine programs that a killed clock run left in $ZK_CLOCK_PREFIX"
        [ "$(zk_prefix_server "$ZK_CLOCK_PREFIX")" = "$(zk_proc_read "$server")" ] &&
            WINEPREFIX=$ZK_CLOCK_PREFIX wineserver -k >/dev/null 2>&1
    fi
    zk_proc_end "$server" 2>/dev/null
    zk_proc_end "$ZK_BUILD/.testbed-clock.xcompmgr" 2>/dev/null
    zk_proc_end "$ZK_BUILD/.testbed-clock.xvfb" 2>/dev/null
    rm -f "$ZK_BUILD"/.testbed-clock.{display,clock,ending}
    return 0
}

# The records that second starts go by are withdrawn under the run's lock, before the run
# ends anything, and the run says that it is ending: a second start that holds the lock
# (shared) has its program hand itself over first, and none starts a program in a prefix
# that is being ended; a new start waits for the end. The hand-over takes a few seconds at
# most; one that takes longer is ended with the prefix.
zk_clock_withdraw() {
    (
        flock -w 15 9 || zk_log "a second start has not ended after 15 s: it is ended with this run"
        rm -f "$ZK_BUILD"/.testbed-clock.{display,clock}
        cp "$ZK_RUN_OWNER" "$ZK_BUILD/.testbed-clock.ending"
    ) 9>"$ZK_CLOCK_LOCK"
}

# The identity of the wineserver of PREFIX, when one runs: the server works in a folder
# named after the prefix's device and inode.
zk_prefix_server() {
    local dev ino dir proc cwd
    read -r dev ino < <(stat -c '%D %i' "$1" 2>/dev/null) || return 1
    dir=$(printf 'server-%s-%x' "$dev" "$ino")
    for proc in /proc/[0-9]*; do
        zk_proc_name "${proc#/proc/}"
        [ "$ZK_NAME" = wineserver ] || [ "$ZK_NAME" = wineserver64 ] || continue
        cwd=$(readlink "$proc/cwd" 2>/dev/null) || continue
        [ "${cwd##*/}" = "$dir" ] && zk_proc_id "${proc#/proc/}" && return 0
    done
    return 1
}

# Whether the Wine program PROGRAM (its file name) of process PID shows a window on DISPLAY:
# Wine gives each of its X windows the program's name as class and its process
# (_NET_WM_PID), and only a mapped window counts.
zk_shows_window() {
    local w
    for w in $(xwininfo -root -tree 2>/dev/null | awk -v c="(\"$2\" " 'index($0, c) && /^ +0x/ { print $1 }'); do
        xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -qx "_NET_WM_PID(CARDINAL) = $1" &&
            xwininfo -id "$w" 2>/dev/null | grep -q 'Map State: IsViewable' && return 0
    done
    return 1
}

zk_install() {
    local missing=() p
    for p in "${ZK_PACKAGES[@]}"; do
        zk_installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    zk_log "installing ${missing[*]}"
    zk_apt_update || zk_log "the package lists could not all be updated; installing from the lists there are"
    zk_apt_install "${missing[@]}"
}

# One build of a tree at a time: the README's two commands may be started together, and two
# builds of one tree overwrite each other's objects and libraries. The second waits for the
# first and then finds the tree built.
zk_build() {
    local lock status=0
    mkdir -p "$ZK_BUILD"
    exec {lock}>"$ZK_BUILD/.build.lock"
    zk_lock "$lock" "zarnock: another command is building $ZK_BUILD: waiting for it to finish"
    if ! zk_step bash "$ZK_ROOT/scripts/deps.sh" >"$ZK_BUILD/.deps"; then
        status=1
    elif ! zk_step cmake -S "$ZK_ROOT" -B "$ZK_BUILD" -DZARNOCK_DEPS="$(<"$ZK_BUILD/.deps")" >/dev/null; then
        status=1
    elif ! zk_step cmake --build "$ZK_BUILD" -j "$(nproc)" >"$ZK_BUILD/build.log" 2>&1; then
        grep -E -B2 -A6 'error|Error [0-9]' "$ZK_BUILD/build.log" | head -n 150
        zk_log "build failed; the whole output is in $ZK_BUILD/build.log"
        status=1
    fi
    exec {lock}>&-
    return "$status"
}

ZK_XVFB_ID=""
ZK_XCOMPMGR_ID=""
ZK_PREFIX_UP=""

# A private display; the number comes from Xvfb itself, so parallel runs never collide.
zk_start_xvfb() {
    local numfile
    numfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$numfile" </dev/null >/dev/null 2>&1 &
    ZK_XVFB_ID=$(zk_proc_id $!) || true
    local i
    for i in $(seq 100); do
        [ -s "$numfile" ] && break
        sleep 0.1
    done
    [ -s "$numfile" ] || { zk_log "Xvfb did not start"; rm -f "$numfile"; return 1; }
    export DISPLAY=":$(tr -d '\n' <"$numfile")"
    rm -f "$numfile"
    # Per-pixel alpha of layered windows shows only with a compositing manager.
    xcompmgr </dev/null >/dev/null 2>&1 &
    ZK_XCOMPMGR_ID=$(zk_proc_id $!) || true
}

# A Wine prefix inside the build tree, made once, with Wine's fonts where GDI+ sees them.
# With "unmanaged" as second argument (the test prefix) Wine's windows are not handed to
# a window manager: on a bare Xvfb, closing a modal dialog then takes milliseconds instead
# of about two seconds. The value is written once per prefix; the marker file says so.
# The prefix is the run's to end from its first step on: a signal during its making ends
# the Wine programs that the making started.
zk_prefix_up() {
    export WINEPREFIX=$1
    ZK_PREFIX_UP=$1
    local unmanaged=${2:-}
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Made only once its last step is done: a making that was cut short (the fonts not yet
    # copied) is completed by the next run, which keeps what the prefix holds.
    if [ ! -f "$WINEPREFIX/.zarnock-made" ]; then
        # A Wine program of the user's may keep the prefix's server: then it is not waited for.
        local users=""
        users=$(zk_prefix_server "$WINEPREFIX") || users=""
        if [ -f "$WINEPREFIX/system.reg" ]; then
            zk_log "completing the Wine prefix $WINEPREFIX"
            zk_step wineboot -u </dev/null >/dev/null 2>&1 || true
        else
            zk_log "making the Wine prefix $WINEPREFIX"
            mkdir -p "$WINEPREFIX"
            zk_step wineboot -i </dev/null >/dev/null 2>&1 || true
        fi
        [ -n "$users" ] || zk_step wineserver -w
        mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
        cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
        [ -f "$WINEPREFIX/system.reg" ] && touch "$WINEPREFIX/.zarnock-made"
    fi
    # One persistent server for the run, started with every stream detached: Wine's
    # background services inherit whatever output they are given. Its errors are kept: it
    # has been seen to crash in the middle of a run (SIGSEGV, then its own abort). Where a
    # server runs already (a Wine program that the user started in the prefix), it ends with
    # 2 and the run uses that one.
    wineserver -p </dev/null >/dev/null 2>>"$WINEPREFIX.wineserver.log" || true
    zk_step wine wineboot </dev/null >/dev/null 2>&1 || true
    if [ "$unmanaged" = unmanaged ] && [ ! -f "$WINEPREFIX/.zarnock-unmanaged" ]; then
        zk_step wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 &&
            touch "$WINEPREFIX/.zarnock-unmanaged"
    fi
    # A test program that crashes gets Wine's debugger without its "Program Error" box: the
    # backtrace goes to the test's output and the program ends, instead of waiting for a
    # click until CTest's time-out.
    if [ "$unmanaged" = unmanaged ] && [ ! -f "$WINEPREFIX/.zarnock-nocrashbox" ]; then
        zk_step wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1 &&
            touch "$WINEPREFIX/.zarnock-nocrashbox"
    fi
}

# Wine's sound for tests and benchmarks: ALSA's null plug-in as the only device (it takes
# every sample and plays nothing), from a configuration of the test bed's own that stands in
# for the system's and the user's ALSA files, so MCI playback and Core Audio are the real ones.
zk_null_audio() {
    printf 'pcm.!default {\n    type null\n}\n' >"$ZK_BUILD/asoundrc-null"
    export ALSA_CONFIG_PATH="$ZK_BUILD/asoundrc-null"
}

zk_testbed_down() {
    if [ -n "$ZK_PREFIX_UP" ]; then
        WINEPREFIX=$ZK_PREFIX_UP wineserver -k >/dev/null 2>&1 || true
        ZK_PREFIX_UP=""
    fi
    [ -n "$ZK_XCOMPMGR_ID" ] && zk_proc_end "$ZK_XCOMPMGR_ID" 2>/dev/null
    [ -n "$ZK_XVFB_ID" ] && zk_proc_end "$ZK_XVFB_ID" 2>/dev/null
    ZK_XCOMPMGR_ID=""
    ZK_XVFB_ID=""
    return 0
}

# Whether this kernel runs 32-bit x86 programs at all: some virtual machines' kernels are
# built without it. The probe is a 32-bit program of 91 bytes that only exits 0.
zk_i386_runs() {
    local probe="$ZK_BUILD/i386-probe"
    mkdir -p "$ZK_BUILD"
    if [ ! -x "$probe" ]; then
        python3 - "$probe" <<'PY'
import struct, sys
code = bytes([0x31, 0xC0, 0x40, 0x31, 0xDB, 0xCD, 0x80])  # exit(0) through int 0x80
base, size = 0x08048000, 52 + 32 + 7
header = b"\x7fELF\x01\x01\x01" + bytes(9) + struct.pack(
    "<HHIIIIIHHHHHH", 2, 3, 1, base + 84, 52, 0, 0, 52, 32, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + segment + code)
PY
        chmod +x "$probe"
    fi
    "$probe" 2>/dev/null
}

# Wine's 64-bit loader only, for "wine" and for the "wine-stable" that wineboot calls: with
# wine32 installed, Debian's wine script would pick the 32-bit loader. The clock is a 64-bit
# program and needs nothing 32-bit; ZK_I386=no (with the reason in ZK_I386_WHY) tells the
# 32-bit test to skip itself.
zk_wine64_only() {
    local name
    export ZK_I386=no ZK_I386_WHY=$1
    mkdir -p "$ZK_BUILD/wine64-only"
    # Written aside and moved in: another run of the tree may be starting one right now.
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexport WINELOADER="${WINELOADER:-/usr/lib/wine/wine64}"\nexec /usr/lib/wine/wine64 "$@"\n' \
            >"$ZK_BUILD/wine64-only/$name.$$"
        chmod +x "$ZK_BUILD/wine64-only/$name.$$"
        mv -f "$ZK_BUILD/wine64-only/$name.$$" "$ZK_BUILD/wine64-only/$name"
    done
    export PATH="$ZK_BUILD/wine64-only:$PATH"
}

# 32-bit programs (the firewall library's end-to-end test) need Debian's wine32 from the
# i386 architecture. Where it cannot be had (a kernel without 32-bit programs, a mirror that
# is out of step) Wine runs 64-bit only and the 32-bit test is skipped with the reason.
zk_wine32() {
    # One run at a time changes the architecture (runs of other trees too), and the first
    # takes back what a run ended during its install left, on any kernel.
    local lock status=0
    mkdir -p "$(dirname "$ZK_I386_MARK")"
    exec {lock}>"$ZK_I386_MARK.lock"
    zk_lock "$lock" "zarnock: another run is installing wine32 (i386): waiting for it"
    zk_i386_undo
    if ! zk_i386_runs; then
        exec {lock}>&-
        zk_log "this kernel runs no 32-bit programs: Wine runs 64-bit only and the 32-bit test is skipped"
        zk_wine64_only "this kernel runs no 32-bit programs"
        return 0
    fi
    if ! zk_installed wine32:i386; then
        zk_log "installing wine32 (i386)"
        zk_install_wine32 || status=$?
    fi
    exec {lock}>&-
    [ "$status" = 0 ] && return 0
    zk_log "wine32 (i386) could not be installed ($ZK_WINE32_FAILED): vostrel_e2e, the 32-bit library's end-to-end test, is not run"
    zk_wine64_only "wine32 (i386) could not be installed"
}

# An architecture added here is removed again when nothing of it got installed, so the
# machine's package setup is as it was (and its own apt-get update is not broken by it). A
# mark outside the tree, made once the architecture is added, says it was added here: a run
# ended during the install leaves it for the next run of any tree, and a signal during the
# install takes it back at once (zk_exit, once the install step has stopped).
ZK_I386_MARK=${ZARNOCK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zarnock}/i386-added
ZK_WINE32_FAILED=""
ZK_I386_PENDING=""
zk_i386_configured() { dpkg --print-foreign-architectures | grep -qx i386; }
zk_install_wine32() {
    if ! zk_i386_configured; then
        if ! dpkg --add-architecture i386; then
            ZK_WINE32_FAILED="dpkg could not add the i386 architecture"
            return 1
        fi
        touch "$ZK_I386_MARK"
    fi
    ZK_I386_PENDING=1
    if ! zk_apt_update; then
        ZK_WINE32_FAILED="apt-get update failed; is the package mirror in the middle of a sync?"
    elif ! zk_apt_install wine32:i386; then
        ZK_WINE32_FAILED="apt-get install failed"
    else
        rm -f "$ZK_I386_MARK"
    fi
    zk_i386_undo
    ZK_I386_PENDING=""
    zk_installed wine32:i386
}

# Takes back an architecture that the mark says was added here, while nothing of it is
# installed. A mark whose architecture is not there, or is in use, names nothing of ours any
# more and is dropped; a removal that fails keeps the mark for the next run.
zk_i386_undo() {
    [ -f "$ZK_I386_MARK" ] || return 0
    if ! zk_i386_configured || dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
        rm -f "$ZK_I386_MARK"
        return 0
    fi
    if ! dpkg --remove-architecture i386; then
        zk_log "the i386 architecture added for wine32 could not be removed again; the next run tries again"
        return 0
    fi
    rm -f "$ZK_I386_MARK"
    zk_step --gentle apt-get update -qq >/dev/null 2>&1
    zk_log "the i386 architecture added for wine32 is removed again"
}

# A prefix made before wine32 was there has no syswow64 and runs no program once wine32 is
# there: a prefix of the tests' own is made again (called after the run's live check).
zk_prefix_wine32() {
    [ "${ZK_I386:-}" = no ] && return 0
    if [ -f "$1/system.reg" ] && [ ! -f "$1/drive_c/windows/syswow64/kernel32.dll" ]; then
        zk_log "making $1 again: it was made before wine32"
        WINEPREFIX=$1 wineserver -k >/dev/null 2>&1 || true
        rm -rf "$1"
    fi
}
