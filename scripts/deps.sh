#!/usr/bin/env bash
# Builds the libraries the clock links against (libcurl with Schannel, zlib, minizip's
# zip writer) from Debian's source packages with the 64-bit cross compiler, and caches
# them outside the clone, keyed by the source versions and by this recipe.
# Prints the folder that holds include/ and lib/.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache_root=${ZARNOCK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zarnock}
triplet=x86_64-w64-mingw32
jobs=$(nproc)

log() { echo "deps: $*" >&2; }
source "$here/apt.sh"
source "$here/procs.sh"
# Lists that could not all be updated still hold what they held: go on with them.
update() { zk_apt_update || log "the package lists could not all be updated; going on with the lists there are"; }

# apt-get source needs a deb-src entry: copy the system's own entry and change its type.
ensure_deb_src() {
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return
    fi
    local src
    src=$(grep -lsE '^Types:.*\bdeb\b' /etc/apt/sources.list.d/*.sources | head -n 1 || true)
    if [ -n "$src" ]; then
        sed -E 's/^Types:.*/Types: deb-src/' "$src" > /etc/apt/sources.list.d/zarnock-deb-src.sources
    elif [ -f /etc/apt/sources.list ]; then
        sed -nE 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list > /etc/apt/sources.list.d/zarnock-deb-src.list
    else
        log "no apt sources entry to copy"; exit 1
    fi
    log "added a deb-src entry; updating the package lists"
    update
}

# Source versions apt knows of, newest first. A mirror may lack the newest one (seen with
# security updates), so fetching walks down this list.
versions_of() {
    apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u |
        while read -r v; do echo "$v"; done | sort -r -V
}

fetch_source() {
    local v
    for v in $(versions_of "$1"); do
        if apt-get source -qq "$1=$v" >/dev/null 2>&1; then return 0; fi
        log "source $1=$v could not be fetched; trying an older one"
    done
    log "no source of $1 could be fetched"; return 1
}

ensure_deb_src
command -v dpkg-source >/dev/null || zk_apt_install dpkg-dev || exit 1
curl_v=$(versions_of curl | tr '\n' ' ')
zlib_v=$(versions_of zlib | tr '\n' ' ')
if [ -z "$curl_v" ] || [ -z "$zlib_v" ]; then
    update
    curl_v=$(versions_of curl | tr '\n' ' '); zlib_v=$(versions_of zlib | tr '\n' ' ')
fi
[ -n "$curl_v" ] && [ -n "$zlib_v" ] || { log "cannot find the curl and zlib source packages"; exit 1; }
key=$(echo "curl $curl_v zlib $zlib_v" | cat - "${BASH_SOURCE[0]}" "$here/../cmake/toolchain-$triplet.cmake" |
      sha256sum | cut -c1-16)
key="curl_${curl_v%% *}-zlib_${zlib_v%% *}-$key"
key=${key//[:+ ]/_}
prefix="$cache_root/deps/$key/$triplet"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

# One build of the libraries at a time per cache: a second command (another build tree, or
# the README's other command) waits for the first and then takes what it built.
mkdir -p "$cache_root"
exec {lock}>"$cache_root/deps.lock"
zk_lock "$lock" "deps: another command is building the libraries into $cache_root: waiting for it to finish"
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

log "building $key into $prefix"
work="$cache_root/work.$$"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/include/minizip" "$prefix/lib"
trap 'rm -rf "$work"' EXIT
cd "$work"
fetch_source curl
fetch_source zlib
curl_src=$(find . -maxdepth 1 -type d -name 'curl-*' | head -n 1)
zlib_src=$(find . -maxdepth 1 -type d -name 'zlib-*' | head -n 1)

toolchain="$here/../cmake/toolchain-$triplet.cmake"

# zlib: only the static target builds from Debian's source (it lacks the DLL's resource file).
cmake -S "$zlib_src" -B zlib-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build zlib-build --target zlibstatic -j "$jobs" >/dev/null
cp zlib-build/libzlibstatic.a "$prefix/lib/libz.a"
cp "$zlib_src/zlib.h" zlib-build/zconf.h "$prefix/include/"

# minizip: the zip writer of zlib's contributions, compiled by hand.
mz="$zlib_src/contrib/minizip"
for f in zip ioapi; do
    $triplet-gcc-posix -O2 -DNOCRYPT -DNOUNCRYPT -I"$prefix/include" -c "$mz/$f.c" -o "$f.o"
done
$triplet-ar rcs "$prefix/lib/libminizip.a" zip.o ioapi.o
cp "$mz/zip.h" "$mz/ioapi.h" "$prefix/include/minizip/"

# libcurl: static, Schannel for TLS, nothing else optional.
cmake -S "$curl_src" -B curl-build -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_DISABLE_LDAP=ON -DCURL_USE_LIBSSH2=OFF \
    -DUSE_LIBIDN2=OFF -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
    -DCURL_USE_LIBPSL=OFF -DENABLE_MANUAL=OFF >/dev/null
cmake --build curl-build -j "$jobs" >/dev/null
cmake --install curl-build >/dev/null

touch "$prefix/.complete"
log "done"
echo "$prefix"
