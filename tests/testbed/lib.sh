# Shared by the test bed's own tests: a table of checks, and stand-ins linked under their
# names into DIR/bin, first on PATH (standins DIR), so no test touches this machine's setup:
#   apt-get     its update fails as a mirror in the middle of a sync does; install exits
#               $STANDIN_INSTALL (0 when unset); "remove": it installs only by removing a
#               package, and fails when told not to remove any
#   dpkg        its foreign architectures are DIR/archs, which adding and removing one
#               changes; the actions named in $STANDIN_DPKG_FAIL fail
#   dpkg-query  knows nothing of $STANDIN_MISSING ("all": of any package), asks the real one
#               of the rest; lists an i386 package when $STANDIN_I386_USED is set
#   cmake       does nothing (the programs are built); xdg-open starts a program that goes
#               on after it, as a browser does, and writes its id to DIR/opened
# Every call is recorded in DIR/calls.
failures=0
passes=0
check() {
    local what=$1
    shift
    if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}
summary() { echo "$passes passed, $failures failed"; [ "$failures" -eq 0 ]; }

standins() {
    mkdir -p "$1/bin"
    cat >"$1/bin/standin" <<'SH'
#!/bin/sh
echo "$(basename "$0") $*" >>"$STANDIN_DIR/calls"
case $(basename "$0") in
apt-get) case "$*" in
    *update*) echo "E: ... File has unexpected size. Mirror sync in progress?" >&2; exit 100 ;;
    *install*) case "${STANDIN_INSTALL:-0} $*" in
        remove\ *--no-remove*) echo "E: Packages need to be removed but remove is disabled." >&2; exit 100 ;;
        remove\ *) exit 0 ;; esac
        exit "${STANDIN_INSTALL:-0}" ;; esac ;;
dpkg) case " ${STANDIN_DPKG_FAIL:-} " in *" $1 "*) exit 2 ;; esac
    case $1 in
    --print-foreign-architectures) cat "$STANDIN_DIR/archs" 2>/dev/null ;;
    --add-architecture) echo "$2" >>"$STANDIN_DIR/archs" ;;
    --remove-architecture) sed -i "/^$2\$/d" "$STANDIN_DIR/archs" ;;
    esac ;;
dpkg-query) case "$*" in *'{Architecture}'*) [ -z "${STANDIN_I386_USED:-}" ] || echo i386; exit 0 ;; esac
    case "$STANDIN_MISSING $*" in all\ * | *\ *"$STANDIN_MISSING"*) exit 1 ;; esac
    exec /usr/bin/dpkg-query "$@" ;;
xdg-open) setsid sleep 600 </dev/null >/dev/null 2>&1 &
    echo $! >"$STANDIN_DIR/opened" ;;
esac
exit 0
SH
    chmod +x "$1/bin/standin"
    for name in apt-get dpkg dpkg-query cmake xdg-open; do ln -sf standin "$1/bin/$name"; done
    export STANDIN_DIR=$1 PATH="$1/bin:$PATH" STANDIN_MISSING=${STANDIN_MISSING:-all}
}
