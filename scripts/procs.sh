# The test bed ends its own processes and nothing else. A process is named by its identity
# "pid:start:boot" (its id, its start time in clock ticks since boot, the boot's id), never
# by its id alone: ids come round within minutes on a machine that runs Wine. The identity
# is checked again right before every signal. Plain bash, no programs started (the steps'
# own aside): under a full run's load every process start costs seconds.
#   zk_proc_id PID            print the identity of a running process
#   zk_proc_record FILE PID   write it to FILE
#   zk_proc_alive FILE|ID     whether that process still runs
#   zk_proc_end FILE|ID       end it if it is still the one named; a stale record is only
#                             removed (a FILE is removed in either case)
#   zk_proc_sweep [--except-wine-services] NAME=VALUE...
#                             end every process whose environment holds all these markers
#                             (the test bed exports them to everything it starts), except
#                             the caller and its ancestors, and with the option Wine's
#                             services of the prefix, which any test may have started
#   zk_step [--gentle] CMD... run CMD (a program or a function) as a step of the command: see
#                             below
#   zk_step_end               end the step that is running, with all it started
#   zk_lock FD TEXT           take the lock on the file open as FD; when another command
#                             holds it, say TEXT first and wait for it

ZK_PROC_GRACE=50  # tenths of a second between SIGTERM and SIGKILL

# ZK_START := the start time of PID; fails once it has ended (a zombie has ended).
# ZK_PARENT := its parent. Sets variables rather than printing: no subshell per process.
zk_proc_start() {
    local stat rest fields
    ZK_START="" ZK_PARENT=""
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
    # The command name may hold blanks and parentheses: count from the last ")".
    rest=${stat##*) }
    read -r -a fields <<<"$rest"
    ZK_PARENT=${fields[1]}
    [ "${fields[0]}" = Z ] && return 1
    ZK_START=${fields[19]}
}

read -r ZK_BOOT </proc/sys/kernel/random/boot_id

zk_proc_id() {
    zk_proc_start "$1" || return 1
    echo "$1:$ZK_START:$ZK_BOOT"
}

zk_proc_record() {
    local id
    id=$(zk_proc_id "$2") || return 1
    echo "$id" >"$1"
}

# The identity in FILE or given itself.
zk_proc_read() {
    local id=$1
    if [ -f "$1" ]; then read -r id <"$1" || id=""; fi
    echo "$id"
}

# Whether IDENTITY names a process that still runs.
zk_proc_is() {
    local pid start boot
    IFS=: read -r pid start boot <<<"$1"
    [[ $pid =~ ^[0-9]+$ ]] && [ "$boot" = "$ZK_BOOT" ] || return 1
    zk_proc_start "$pid" || return 1
    [ "$ZK_START" = "$start" ]
}

zk_proc_alive() { zk_proc_is "$(zk_proc_read "$1")"; }

# SIGTERM to every identity given, SIGKILL to those still there after the grace time.
zk_proc_signal_all() {
    local id left i
    for id in "$@"; do zk_proc_is "$id" && kill -TERM "${id%%:*}" 2>/dev/null; done
    for ((i = 0; i < ZK_PROC_GRACE; i++)); do
        left=0
        for id in "$@"; do zk_proc_is "$id" && left=1; done
        [ "$left" = 0 ] && return 0
        sleep 0.1
    done
    for id in "$@"; do zk_proc_is "$id" && kill -KILL "${id%%:*}" 2>/dev/null; done
    return 0
}

zk_proc_end() {
    local id
    id=$(zk_proc_read "$1")
    [ -f "$1" ] && rm -f "$1"
    [ -n "$id" ] || return 0
    if ! zk_proc_is "$id"; then
        echo "testbed: $1: that process has ended; no signal sent" >&2
        return 0
    fi
    zk_proc_signal_all "$id"
}

# ZK_NAME := the file name of process PID's program, as its command line gives it (Wine's
# programs give Windows paths).
zk_proc_name() {
    local first=""
    IFS= read -r -d '' first 2>/dev/null <"/proc/$1/cmdline"
    first=${first//\//\\}
    ZK_NAME=${first##*\\}
}

# Programs that Wine starts once for a whole prefix, whichever program needed them first
# (the wineserver too, when a program found none running).
zk_proc_wine_service() {
    zk_proc_name "$1"
    case "$ZK_NAME" in
    wineserver | wineserver64 | services.exe | winedevice.exe | plugplay.exe | rpcss.exe | svchost.exe | explorer.exe | conhost.exe | wineboot.exe)
        return 0 ;;
    esac
    return 1
}

zk_proc_sweep() {
    local spare="" markers=() keep=" " pid dir env m e found ok id ids=() cmd round
    [ "${1:-}" = --except-wine-services ] && { spare=1; shift; }
    markers=("$@")
    [ ${#markers[@]} -gt 0 ] || return 2
    # The caller and its ancestors carry the markers too.
    pid=$BASHPID
    while [ "$pid" -gt 1 ] 2>/dev/null; do
        keep+="$pid "
        zk_proc_start "$pid"
        [ -n "$ZK_PARENT" ] || break
        pid=$ZK_PARENT
    done
    # A process still running between the listing and its signal can start more (a killed
    # run's ctest starts its next test): list again until a listing finds none.
    for ((round = 0; round < 20; round++)); do
        ids=()
        for dir in /proc/[0-9]*; do
            pid=${dir#/proc/}
            [[ $keep == *" $pid "* ]] && continue
            # The identity first: a process that replaces this one under the same id between
            # the two reads has another start time and is not signalled.
            zk_proc_start "$pid" || continue
            id="$pid:$ZK_START:$ZK_BOOT"
            mapfile -d '' env 2>/dev/null <"$dir/environ" || continue
            ok=1
            for m in "${markers[@]}"; do
                found=0
                for e in "${env[@]}"; do [ "$e" = "$m" ] && { found=1; break; }; done
                [ "$found" = 1 ] || { ok=0; break; }
            done
            [ "$ok" = 1 ] || continue
            [ -n "$spare" ] && zk_proc_wine_service "$pid" && continue
            cmd=$(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null | cut -c 1-100)
            echo "testbed: ending $pid $cmd" >&2
            ids+=("$id")
        done
        [ ${#ids[@]} -eq 0 ] && return 0
        zk_proc_signal_all "${ids[@]}"
    done
}

# A step runs in the background and the shell waits for it, so that a signal to the command
# runs its trap at once (bash runs none while it waits for a foreground command). A program
# gets back the default Ctrl-C that a script's background children lose, so Ctrl-C at the
# terminal reaches it as it would reach a foreground one. Everything the step starts carries
# a marker of the step's own in its environment (nested steps add theirs), so zk_step_end,
# called from the command's exit, ends all of it and nothing else; Wine's services of a
# prefix are left to the prefix's own end. A --gentle step (apt-get, which dpkg must not be
# cut short under) is first sent the SIGINT of a Ctrl-C, and given time to stop where it
# safely can.
ZK_STEP=""
ZK_STEP_PROC=""
ZK_STEP_GENTLE=""
zk_step() {
    local status=0 uuid
    ZK_STEP_GENTLE=""
    [ "$1" = --gentle ] && { ZK_STEP_GENTLE=1; shift; }
    read -r uuid </proc/sys/kernel/random/uuid
    ZK_STEP=ZK_STEP_${uuid//-/}
    if [ "$(type -t "$1")" = function ]; then
        (export "$ZK_STEP=1"; "$@") &
    else
        (export "$ZK_STEP=1"; exec env --default-signal=INT "$@") &
    fi
    ZK_STEP_PROC=$(zk_proc_id $!) || ZK_STEP_PROC=""
    wait $! || status=$?
    ZK_STEP=""
    return "$status"
}

zk_step_end() {
    local i
    [ -n "$ZK_STEP" ] || return 0
    if [ -n "$ZK_STEP_GENTLE" ] && zk_proc_is "$ZK_STEP_PROC"; then
        kill -INT "${ZK_STEP_PROC%%:*}" 2>/dev/null
        for ((i = 0; i < 3000; i++)); do
            zk_proc_is "$ZK_STEP_PROC" || break
            [ "$i" = 20 ] && zk_proc_name "${ZK_STEP_PROC%%:*}" && echo "zarnock: letting $ZK_NAME stop where it safely can" >&2
            sleep 0.1
        done
    fi
    zk_proc_sweep --except-wine-services "$ZK_STEP=1" 2>/dev/null
    ZK_STEP=""
}

# The waiting flock is a step: a signal ends it with the command, and the lock is the open
# file's, so it is held through the caller's descriptor once the step has it.
zk_lock() {
    flock -n "$1" && return 0
    echo "$2" >&2
    zk_step flock "$1"
}
