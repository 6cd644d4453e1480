# apt-get for the commands, sourced by the test bed, deps.sh and chrony.sh (with procs.sh:
# apt-get runs as a step that a signal stops where dpkg safely can).
#
# zk_installed PACKAGE: whether dpkg has it installed.
#
# zk_apt_update: apt-get update, tried again a few times: a mirror in the middle of a sync
# serves index files that do not match its release file for a while ("Mirror sync in
# progress?"). ZK_APT_TRIES and ZK_APT_PAUSE (seconds) set the attempts.
ZK_APT_TRIES=${ZK_APT_TRIES:-3}
ZK_APT_PAUSE=${ZK_APT_PAUSE:-20}
zk_apt_update() {
    local try
    for ((try = 1; ; try++)); do
        zk_step --gentle apt-get update -qq >&2 && return 0
        [ "$try" -ge "$ZK_APT_TRIES" ] && return 1
        echo "zarnock: apt-get update failed; trying again in $ZK_APT_PAUSE s" >&2
        zk_step sleep "$ZK_APT_PAUSE"
    done
}

zk_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'; }

# zk_apt_install PACKAGE...: installs without recommends and never removes a package of the
# machine's to settle a conflict; it waits for another apt or dpkg that holds the lock (the
# README's two commands may be started together). A failure says in one line what could not
# be installed, and why when apt-get would have had to remove something.
zk_apt_install() {
    local out status=0
    out=$(mktemp)
    zk_step --gentle env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove \
        -o DPkg::Lock::Timeout=600 "$@" >/dev/null 2>"$out" || status=$?
    if [ "$status" != 0 ]; then
        if grep -q 'remove is disabled' "$out"; then
            echo "zarnock: could not install $* without removing packages of this machine, which these commands never do" >&2
        else
            grep -E '^E:' "$out" | head -n 3 >&2
            echo "zarnock: could not install $*" >&2
        fi
    fi
    rm -f "$out"
    return "$status"
}
