# apt-get update, tried again a few times: a mirror in the middle of a sync serves index files
# that do not match its release file for a while ("Mirror sync in progress?"). Sourced by the
# test bed, deps.sh and chrony.sh; ZK_APT_TRIES and ZK_APT_PAUSE (seconds) set the attempts.
ZK_APT_TRIES=${ZK_APT_TRIES:-3}
ZK_APT_PAUSE=${ZK_APT_PAUSE:-20}
zk_apt_update() {
    local try
    for ((try = 1; ; try++)); do
        apt-get update -qq >&2 && return 0
        [ "$try" -ge "$ZK_APT_TRIES" ] && return 1
        echo "zarnock: apt-get update failed; trying again in $ZK_APT_PAUSE s" >&2
        sleep "$ZK_APT_PAUSE"
    done
}
