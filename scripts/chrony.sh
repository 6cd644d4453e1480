#!/usr/bin/env bash
# A real NTP server for the SNTP tests: Debian's chronyd from its package file (never
# installed as a service), on a loopback address only, with -x so that it never touches this
# machine's clock. "start DIR" writes DIR/address (the address it answers on, port 123) and
# DIR/chronyd.owner (the process's identity, not only its id); "stop DIR" ends exactly that
# process, and only removes a record whose process has ended.
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?state folder}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/zarnock/chrony
chronyd=$cache/root/usr/sbin/chronyd
source "$(dirname "${BASH_SOURCE[0]}")/procs.sh"
source "$(dirname "${BASH_SOURCE[0]}")/apt.sh"

log() { echo "chrony.sh: $*" >&2; }

stop() {
    zk_proc_end "$dir/chronyd.owner"
    # chronyd's own pid file: chronyd refuses to start while the id in it names any process.
    rm -f "$dir/chronyd.pid" "$dir/address"
}

udp_port_busy() {  # address
    ss -Hlnu 2>/dev/null | awk '{print $4}' | grep -qx "$1:123"
}

start() {
    mkdir -p "$dir" "$cache"
    stop
    if [ ! -x "$chronyd" ]; then
        if ! ls "$cache"/chrony_*.deb >/dev/null 2>&1; then
            (cd "$cache" && apt-get download chrony >/dev/null 2>&1) ||
                { zk_apt_update || true; (cd "$cache" && apt-get download chrony >/dev/null); }
        fi
        dpkg -x "$(ls "$cache"/chrony_*.deb | head -n1)" "$cache/root"
    fi
    local missing=() p
    for p in libedit2 libnettle8 libgnutls30 libseccomp2 libcap2; do
        zk_installed "$p" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] || zk_apt_install "${missing[@]}"

    # 127.0.0.1 unless another run already serves there; any 127/8 address is loopback.
    # Clients on loopback send from 127.0.0.1 whatever 127/8 address they ask.
    local address=127.0.0.1 allow=127.0.0.1
    if udp_port_busy "$address"; then
        address=127.77.$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))
        allow=127.0.0.0/8
    fi
    cat >"$dir/chrony.conf" <<CONF
bindaddress $address
port 123
allow $allow
local stratum 8
cmdport 0
driftfile $dir/chrony.drift
pidfile $dir/chronyd.pid
bindcmdaddress $dir/chronyd.sock
CONF
    # -x: never adjust the system clock; -u root: no switch to a user this machine may lack;
    # -n: no detaching, so the process started here is the server.
    "$chronyd" -n -x -u root -f "$dir/chrony.conf" </dev/null >"$dir/chronyd.out" 2>&1 &
    zk_proc_record "$dir/chronyd.owner" $! || true
    for _ in $(seq 50); do
        [ -s "$dir/chronyd.pid" ] && udp_port_busy "$address" && break
        sleep 0.1
    done
    if ! [ -s "$dir/chronyd.pid" ]; then
        log "chronyd did not start:"; cat "$dir/chronyd.out" >&2
        stop
        return 1
    fi
    echo "$address" >"$dir/address"
    log "chronyd $(cat "$dir/chronyd.pid") answers on $address:123"
}

case $cmd in
start) start ;;
stop) stop ;;
*) log "unknown command $cmd"; exit 2 ;;
esac
