#!/usr/bin/env bash
# The Windows build under test: every unit-test program runs under Wine, objdump checks what the module
# exports and imports, and simhost.exe loads the Windows module, starts the bridge on port 21777 and serves
# the Linux zephrane-client over loopback. Wine has no "dnssd.dll" and no DnsServiceRegister, so the bridge
# serves unadvertised and its Log.txt line says why.
#   run_windows_tests.sh [<Windows build folder> [<Linux zephrane-client>]]
# Exits 77 (skipped) with the reason when MinGW-w64, Wine or the builds are missing; 1 on any failure.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build-windows}" 2>/dev/null && pwd) || build=${1:-$root/build-windows}
client=${2:-$root/build/tools/client/zephrane-client}
objdump=x86_64-w64-mingw32-objdump
module=$build/Zephrane/win_x64/Zephrane.xpl
simhost=$build/tools/simhost/simhost.exe
xplm=$build/tools/simhost/XPLM_64.dll
bridge_port=21777

skip() { echo "Windows tests skipped: $*"; exit 77; }
simhost_pid=""
wine_server_kept=""
# Neither a simhost.exe nor the Wine server this script started outlives it.
end_run() {
    [ -n "$simhost_pid" ] && kill "$simhost_pid" 2>/dev/null
    [ -n "$wine_server_kept" ] && wineserver -k 2>/dev/null
    return 0
}
trap end_run EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

command -v "$objdump" >/dev/null || skip "MinGW-w64 (x86_64-w64-mingw32-objdump) is not installed"
command -v wine >/dev/null || skip "Wine is not installed"
[ -f "$module" ] && [ -f "$simhost" ] || skip "no Windows build in $build (run make windows)"
[ -x "$client" ] || skip "no Linux zephrane-client at $client (run make build)"

# A Wine prefix of the build folder's own, made once (the first wineboot takes a while). No display is
# needed: console programs run without one. Mono and Gecko are never installed into it.
export WINEPREFIX=$build/wine-prefix WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="
# Each Wine program talks to the prefix's wineserver, which exits a few seconds after its last program; a
# program that starts while it exits loses its connection and dies before its first line ("wine client
# error:0: recvmsg: Connection reset by peer"). So the server that prepared the prefix is waited out, and one
# server is then kept for the whole run (-p) and ended with the script (-k).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX"
    wineboot --init >/dev/null 2>&1 || skip "wineboot cannot prepare a Wine prefix"
    wineserver -w
fi
wineserver -p || skip "wineserver cannot start for the prefix $WINEPREFIX"
wine_server_kept=yes
logs=$build/windows-test-logs
mkdir -p "$logs"

# ---- unit tests

# The first line in which Wine itself, not the program, reports a failure (its server lost, a program it
# cannot start), or nothing.
wine_failure() { grep -m1 -E '^wine client error|^wineserver: |^wine: (could not|cannot|failed)' "$1"; }

# The test a GoogleTest log last started.
last_test() { sed -n 's/^\[ RUN      \] \([^[:space:]]*\).*/\1/p' "$1" | tail -1; }

# One line per program: its counts from GoogleTest's summary, or the end of its log when it failed. A program
# that Wine itself lost is a failure too, told apart in its line.
run_unit_tests() {
    local program name log status passed skipped lost
    for program in "$build"/windows-tests/*.exe; do
        name=$(basename "$program" .exe)
        log=$logs/$name.log
        timeout 600 wine "$program" --gtest_color=no >"$log" 2>&1
        status=$?
        passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\{0,1\}\./\1/p' "$log")
        skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:/\1/p' "$log")
        lost=$(wine_failure "$log")
        if [ "$status" -eq 0 ] && [ -n "$passed" ] && [ -z "$lost" ]; then
            echo "$name.exe: ${passed} passed, ${skipped:-0} skipped"
        elif [ -n "$lost" ]; then
            fail "$name.exe died in Wine itself, not in a test (exit status $status): $lost; see $log"
        elif ! grep -q '^\[==========\] [0-9]* tests\{0,1\} from .* ran\.' "$log"; then
            fail "$name.exe ended before GoogleTest's summary (exit status $status), during $(last_test "$log"); see $log"
        else
            fail "$name.exe (exit status $status), see $log"
            grep -E '^\[  FAILED  \]|Failure' "$log" | head -20
        fi
    done
}

# ---- what the module exports and imports

# The DLL names a PE file imports, one a line.
imported_dlls() { "$objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }

# The names in the export table of a PE file, one a line.
exported_names() {
    "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p'
}

# Names imported from one DLL, one a line.
imported_names() {
    "$objdump" -p "$1" | awk -v dll="$2" '
        /DLL Name:/ { inside = tolower($3) == tolower(dll); next }
        inside && /^[[:space:]]*[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ { print $3 }
        inside && /^$/ { inside = 0 }'
}

# Windows system DLLs a module may import; the MinGW runtime DLLs are never among them.
system_dll() {
    case "$(echo "$1" | tr 'A-Z' 'a-z')" in
        kernel32.dll | ws2_32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-*.dll | advapi32.dll | user32.dll | \
            ntdll.dll | shell32.dll | ole32.dll | iphlpapi.dll) return 0 ;;
        *) return 1 ;;
    esac
}

check_imports() {
    local file=$1 allowed=$2 dll
    while read -r dll; do
        [ "$dll" = "$allowed" ] && continue
        system_dll "$dll" || fail "$(basename "$file") imports $dll"
    done < <(imported_dlls "$file")
}

check_module_symbols() {
    local expected exported file
    expected=$(printf '%s\n' XPluginDisable XPluginEnable XPluginReceiveMessage XPluginStart XPluginStop)
    exported=$(exported_names "$module" | sort)
    [ "$exported" = "$expected" ] || fail "Zephrane.xpl exports: $(echo $exported)"
    imported_dlls "$module" | grep -qx 'XPLM_64.dll' || fail "Zephrane.xpl does not import XPLM_64.dll"
    check_imports "$module" XPLM_64.dll
    for file in "$simhost" "$xplm" "$build/tools/client/zephrane-client.exe"; do
        check_imports "$file" XPLM_64.dll
    done
    # Every XPLM function the module imports is one that simhost's XPLM_64.dll exports.
    local missing
    missing=$(comm -23 <(imported_names "$module" XPLM_64.dll | sort) <(exported_names "$xplm" | sort))
    [ -z "$missing" ] || fail "XPLM_64.dll lacks $(echo $missing)"
    [ -n "$(imported_names "$module" XPLM_64.dll)" ] || fail "no XPLM function imported by name"
    echo "Zephrane.xpl exports: $(echo $exported)"
    echo "Zephrane.xpl imports: $(imported_dlls "$module" | tr '\n' ' ')"
}

# ---- end to end: simhost.exe with the Windows module, the Linux client

port_in_use() { ss -ltnH "sport = :$bridge_port" 2>/dev/null | grep -q .; }

# Another bridge on the machine (another test run) may hold the port for a while.
wait_for_free_port() {
    local waited=0
    command -v ss >/dev/null || return 0
    while port_in_use; do
        [ "$waited" -ge 120 ] && return 1
        sleep 1
        waited=$((waited + 1))
    done
}

# True when the JSON lines hold at least three reports and the position changed between them.
positions_move() {
    python3 -c '
import json, sys
reports = [json.loads(line) for line in sys.stdin if line.strip()]
keys = {"latitude", "longitude", "altitude", "speed", "course", "pitch", "roll", "yaw", "slip", "accelerationZ"}
assert len(reports) >= 3, "only %d reports" % len(reports)
assert all(keys <= set(r) for r in reports), "a report lacks a value"
assert (reports[0]["latitude"], reports[0]["longitude"]) != (reports[-1]["latitude"], reports[-1]["longitude"])
' <"$1"
}

run_end_to_end() {
    local host_log=$logs/simhost.log client_log=$logs/client.log client_errors=$logs/client.err console pid status
    wait_for_free_port || { fail "port $bridge_port stayed in use"; return; }
    console=$(mktemp -u "$logs/console.XXXXXX")
    mkfifo "$console"
    # In the logs folder, where its Log.txt is written.
    (cd "$logs" && exec wine "$simhost" --plugin "Z:${module//\//\\}" --start --strict --duration 120) \
        <"$console" >"$host_log" 2>&1 &
    pid=$!
    simhost_pid=$pid
    exec {typing}>"$console"
    rm -f "$console"
    local waited=0
    until grep -q '^simhost: ready' "$host_log" && { ! command -v ss >/dev/null || port_in_use; }; do
        if [ "$waited" -ge 60 ] || ! kill -0 "$pid" 2>/dev/null; then break; fi
        sleep 1
        waited=$((waited + 1))
    done
    timeout 60 "$client" --host 127.0.0.1 --json --rate 5 --count 6 >"$client_log" 2>"$client_errors"
    status=$?
    echo quit >&"$typing"
    exec {typing}>&-
    local stopped=0
    for _ in $(seq 30); do
        kill -0 "$pid" 2>/dev/null || { stopped=1; break; }
        sleep 1
    done
    [ "$stopped" = 1 ] || { kill "$pid" 2>/dev/null; fail "simhost.exe did not quit"; }
    wait "$pid" 2>/dev/null
    simhost_pid=""
    local lost
    lost=$(wine_failure "$host_log")
    [ -z "$lost" ] || fail "simhost.exe died in Wine itself: $lost; see $host_log"
    if [ "$status" -ne 0 ]; then
        fail "zephrane-client exit status $status: $(tail -3 "$client_errors")"
    elif command -v python3 >/dev/null && ! positions_move "$client_log"; then
        fail "the reports do not show a moving aircraft: $(head -2 "$client_log")"
    fi
    grep -q 'logged in' "$client_errors" || fail "the client did not log in"
    grep -q 'clicked "Start Zephrane bridge"' "$host_log" || fail "the bridge was not started"
    # Wine has neither Bonjour's dnssd.dll nor DnsServiceRegister: the pilot's log says why apps will not
    # find the simulator, and what to install.
    grep -Eq 'Log.txt: Zephrane: bridge [0-9.]+( \([0-9a-f]+\))? started, listening on port 21777' "$host_log" || fail "Log.txt does not say it started"
    grep -q 'Log.txt: Zephrane: apps cannot find this simulator as "X-Plane" by themselves.*install Apple.s Bonjour' \
        "$host_log" || fail "Log.txt does not say why apps cannot find the bridge"
    grep -q 'XPluginStop done' "$host_log" || fail "simhost.exe did not stop the plug-in"
    ! grep -q 'off the simulator' "$host_log" || fail "an XPLM call came off the main thread"
    [ "$failures" -eq 0 ] && echo "end to end: simhost.exe served $(grep -c latitude "$client_log") moving reports to the Linux client"
}

run_unit_tests
check_module_symbols
run_end_to_end
if [ "$failures" -ne 0 ]; then
    echo "Windows tests: $failures failed (logs in $logs)"
    exit 1
fi
echo "Windows tests passed"
