#!/usr/bin/env bash
# The update check's loopback web site for the tests and the benchmark (http_server.py),
# with a self-signed certificate made here and gzip files made by Debian's gzip.
# "start DIR" writes DIR/port, DIR/tls-port and DIR/server.owner (the server's identity, not
# only its id); "stop DIR" ends exactly that process, and only removes a record whose process
# has ended.
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?state folder}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../scripts/procs.sh"

stop() {
    zk_proc_end "$dir/server.owner"
    rm -f "$dir/server.pid" "$dir/port" "$dir/tls-port"
}

start() {
    mkdir -p "$dir"
    stop
    if [ ! -s "$dir/cert.pem" ]; then
        openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 30 \
            -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 >/dev/null 2>&1
    fi
    # Bodies made by Debian's gzip: with the file name stored (FNAME), without it, and a
    # larger one for the decoding speed.
    printf '5.1.3.0' >"$dir/version.txt"
    gzip -c "$dir/version.txt" >"$dir/version-named.gz"
    gzip -cn "$dir/version.txt" >"$dir/version-plain.gz"
    python3 -c 'import random,sys; r=random.Random(7); sys.stdout.write("".join(r.choice("0123456789.abcdef\n ") for _ in range(1<<20)))' >"$dir/mega.txt"
    gzip -9 -c "$dir/mega.txt" >"$dir/mega.gz"
    python3 "$here/http_server.py" "$dir" "$dir/cert.pem" "$dir/key.pem" </dev/null >"$dir/server.out" 2>&1 &
    zk_proc_record "$dir/server.owner" $! || true
    for _ in $(seq 50); do
        [ -s "$dir/port" ] && [ -s "$dir/tls-port" ] && break
        sleep 0.1
    done
    if ! [ -s "$dir/tls-port" ]; then
        echo "http-server.sh: the server did not start:" >&2; cat "$dir/server.out" >&2
        stop
        return 1
    fi
}

case $cmd in
start) start ;;
stop) stop ;;
*) echo "http-server.sh: unknown command $cmd" >&2; exit 2 ;;
esac
