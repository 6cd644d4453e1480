#!/usr/bin/env bash
# kestrom through the real Service Control Manager: install, start, answer, hostile clients,
# stop while a client holds the pipe, reinstall, uninstall. Runs in a Wine prefix of its own
# (an automatic-start service is started again whenever Wine boots its prefix and keeps that
# prefix's wineserver alive), and always uninstalls and ends that wineserver.
#   scm-test.sh BIN_DIR PREFIX
set -uo pipefail
bin=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
kestrom="$bin/kestrom.exe"
probe="$bin/kestrom_probe.exe"
sntp_probe="$bin/sntp_service_probe.exe"
log="$WINEPREFIX/drive_c/ProgramData/Mervale Software/Zarnock/kestrom.log"
failures=0

say() { echo "service-scm: $*"; }
check() {
    local what=$1
    shift
    if "$@"; then say "ok   $what"; else say "FAIL $what"; failures=$((failures + 1)); fi
}
run() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# value KEY OUTPUT: the value of one "key=value" line of a probe's output.
value() { sed -n "s/^$1=//p" <<<"$2" | head -n 1; }
is() { [ "$1" = "$2" ] || { say "  expected '$2', got '$1'"; return 1; }; }
below() { [ -n "$1" ] && [ -n "$2" ] && [ "$1" -lt "$2" ] || { say "  expected '$1' below '$2'"; return 1; }; }
state() { value state "$(run "$probe" status)"; }

down() {
    run "$kestrom" -uninstall >/dev/null
    run "$probe" wait missing 15 >/dev/null
    wineserver -k >/dev/null 2>&1 || true
}
trap down EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "making the Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    wineserver -w
fi
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot </dev/null >/dev/null 2>&1 || true

# Whatever an interrupted earlier run left behind goes first.
run "$kestrom" -uninstall >/dev/null
check "no service before the test" run "$probe" wait missing 15

# -install registers and starts the service.
wine "$kestrom" -install </dev/null >/dev/null 2>&1
check "-install exits 0" is "$?" 0
if ! run "$probe" wait running 10 >/dev/null; then
    run "$probe" start   # the first start after a fresh boot may time out (1053)
fi
check "running after -install" is "$(state)" 4

out=$(run "$probe" config)
check "own process" is "$(value type "$out")" 16
check "automatic start" is "$(value start "$out")" 2
check "errors ignored at boot" is "$(value errorcontrol "$out")" 0
check "LocalSystem" is "$(value account "$out")" LocalSystem
check "display name" is "$(value display "$out")" "Zarnock Synchronization Service www.mervale-software.example"
check "description" is "$(value description "$out")" \
    "Synchronizes your computer clock with an Internet time server. If this service is not running, Zarnock will not be able to update your computer clock."
check "quoted image path" is "$(value path "$out")" "\"$(winepath -w "$kestrom" 2>/dev/null | tr -d '\r')\""

# The genuine request. Wine moves no clock: under half a second succeeds, an hour is refused.
check "now gives 0" is "$(value reply "$(run "$probe" send now)")" 0
check "an hour away gives 1314" is "$(value reply "$(run "$probe" send hour)")" 1314
check "month 13 gives 87" is "$(value reply "$(run "$probe" send month13)")" 87
# The clock's own client (CTimeSetClient::SendTimeToService) against the running service.
out=$(run "$sntp_probe" send)
check "the clock hands the time to the service" is "$(value result "$out")/$(value status "$out")" "1/"

# A client that connects and stays silent holds the one instance well under a second, and
# the clock waits for the busy pipe meanwhile instead of failing.
held=$(mktemp)
wine "$probe" hold-silent </dev/null >"$held" 2>/dev/null &
holder=$!
for _ in $(seq 100); do grep -q '^held=1' "$held" && break; sleep 0.05; done
out=$(run "$sntp_probe" send)
wait "$holder"
hold_ms=$(value hold-ms "$(tr -d '\r' <"$held")")
rm -f "$held"
say "a silent client held the pipe for ${hold_ms:-?} ms; the clock's hand-off took $(value ms "$out") ms"
check "a silent client is let go (at 500 ms)" below "${hold_ms:-99999}" 2000
check "the clock waits for a busy pipe" is "$(value result "$out")/$(value status "$out")" "1/"

# Hostile clients, then the genuine request, with the service's handle count flat.
out=$(run "$probe" hostile 200)
check "wrong sizes answered with 13" is "$(value invalid-data "$out")" 144
check "genuine request answered after hostile ones" is "$(value genuine-error "$out")/$(value genuine "$out")" 0/0
check "same service process" is "$(value same-process "$out")" 1
before=$(value handles-before "$out")
after=$(value handles-after "$out")
check "service handle count known" below 0 "${before:-0}"
check "service handle count flat ($before -> $after)" is "$after" "$before"
check "hostile clients are logged" grep -q $'\tFailed\r$' "$log"
# Failures of clients are logged at a bounded rate, so which of them are is a matter of timing.
check "log entry layout" grep -qE $'^\\[[0-9]{2}:[0-9]{2}:[0-9]{2}\\]\t(0x[0-9a-f]{8}|0{10})\tKestrom\\.cpp:[0-9]+ *\tFailed\r$' "$log"

# A stop ends the service within a few seconds even while a client holds the pipe silent.
out=$(run "$probe" stop-silent)
check "stopped while a client held the pipe" is "$(value stopped "$out")" 1
check "stop took under 5 s" below "$(value stop-ms "$out")" 5000
check "stopped with exit code 0" is "$(value exit "$(run "$probe" status)")" 0
out=$(run "$sntp_probe" send)
check "the clock sees the service stopped" is "$(value result "$out")/$(value status "$out")" "0/Failed : service stopped"

# -install on an existing service neither starts it nor touches its description.
run "$probe" describe "changed by the test" >/dev/null
wine "$kestrom" -install </dev/null >/dev/null 2>&1
check "second -install exits 0" is "$?" 0
sleep 1
check "second -install does not start it" is "$(state)" 1
check "second -install keeps the description" is "$(value description "$(run "$probe" config)")" "changed by the test"

# -uninstall of a stopped service deletes it and logs nothing (not running is no failure).
wine "$kestrom" -uninstall </dev/null >/dev/null 2>&1
check "-uninstall of a stopped service exits 0" is "$?" 0
check "stopped service gone after -uninstall" run "$probe" wait missing 15
check "-uninstall of a stopped service logs nothing" test ! -s "$log"

wine "$kestrom" -install </dev/null >/dev/null 2>&1
check "running after a new -install" run "$probe" wait running 10
check "served after a new -install" is "$(value reply "$(run "$probe" send now)")" 0

# -uninstall stops and deletes a running service; a second one succeeds silently.
wine "$kestrom" -uninstall </dev/null >/dev/null 2>&1
check "-uninstall exits 0" is "$?" 0
check "running service gone after -uninstall" run "$probe" wait missing 15
wine "$kestrom" -uninstall </dev/null >/dev/null 2>&1
check "-uninstall of a missing service exits 0" is "$?" 0

# Any other argument is only logged.
wine "$kestrom" -bogus </dev/null >/dev/null 2>&1
check "unknown argument exits 0" is "$?" 0
check "unknown argument logged" grep -qE $'\t(0x[0-9a-f]{8}|0{10})\tKestrom\\.cpp:[0-9]+ *\t-bogus\r$' "$log"
check "no service made by an unknown argument" is "$(state)" 0

if [ "$failures" -ne 0 ]; then
    say "$failures check(s) failed; the service log:"
    cat "$log" 2>/dev/null | head -n 40
    exit 1
fi
say "all checks passed"
