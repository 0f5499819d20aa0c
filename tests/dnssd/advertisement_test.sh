#!/usr/bin/env bash
# The bridge's DNS-SD advertisement seen by a real browser, and the reference client finding a running
# bridge with no address given. Everything runs inside private network and mount namespaces: a veth pair,
# a D-Bus system bus of our own and an avahi-daemon allowed on that pair only, so no multicast reaches the
# machine's own interfaces and the machine's own buses are never used.
# Last, two computers on one network, each a namespace of its own with its own daemons, joined by a switch.
#   advertisement_test.sh <advertiser program> <simhost> <bridge module> <zephrane-client> <folder of bridge_protocol.py>
# Exits 77 (skipped) with the reason when the machine cannot run it.
set -euo pipefail

advertiser=$1
simhost=$2
module=$3
client=$4
protocol_folder=$5
skip() { echo "SKIPPED: $*"; exit 77; }

if [ -z "${ZEPHRANE_IN_NAMESPACE:-}" ]; then
    [ "$(id -u)" = 0 ] || skip "needs root to make a private network namespace"
    for tool in unshare ip dbus-daemon avahi-daemon avahi-browse; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    # Captured first: under pipefail, grep -q leaving early could make ldconfig fail on a broken pipe.
    libraries=$(ldconfig -p)
    grep -q 'libdns_sd.so.1 ' <<<"$libraries" || skip "libdns_sd.so.1 (libavahi-compat-libdnssd1) is not installed"
    unshare -n -m true 2>/dev/null || skip "this machine does not allow private namespaces"
    exec unshare -n -m env ZEPHRANE_IN_NAMESPACE=1 "$0" "$@"
fi

work=$(mktemp -d)
dbus_pid=""
avahi_pid=""
# The simhosts' state (see use_simhost) and the processes of the computers on the network further below,
# each stopped at exit by its own id.
declare -A simhosts=() holder=() computer_bus=() computer_avahi=()
current_simhost=here
switch_pid=""
watcher_pid=""
cleanup() {
    local key
    [ -n "${simhost_pid:-}" ] && kill "$simhost_pid" 2>/dev/null || true
    for key in "${!simhosts[@]}"; do
        [[ $key == *.pid && $key != "$current_simhost.pid" && -n ${simhosts[$key]} ]] || continue
        kill "${simhosts[$key]}" 2>/dev/null || true
    done
    [ -n "$watcher_pid" ] && kill "$watcher_pid" 2>/dev/null || true
    for key in "${!computer_avahi[@]}"; do kill "${computer_avahi[$key]}" 2>/dev/null || true; done
    for key in "${!computer_bus[@]}"; do kill "${computer_bus[$key]}" 2>/dev/null || true; done
    for key in "${!holder[@]}"; do kill "${holder[$key]}" 2>/dev/null || true; done
    [ -n "$switch_pid" ] && kill "$switch_pid" 2>/dev/null || true
    [ -n "${avahi_pid:-}" ] && kill -CONT "$avahi_pid" 2>/dev/null || true
    [ -n "${advertiser_pid:-}" ] && kill "$advertiser_pid" 2>/dev/null || true
    [ -n "$avahi_pid" ] && kill "$avahi_pid" 2>/dev/null || true
    [ -n "$dbus_pid" ] && kill "$dbus_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Private run-time folders, so that the daemons' pid files and sockets stay ours.
mount --make-rprivate /
mkdir -p /run/avahi-daemon /run/dbus
mount -t tmpfs tmpfs /run/avahi-daemon
mount -t tmpfs tmpfs /run/dbus

ip link set lo up
ip link add zt0 type veth peer name zt1
ip addr add 169.254.77.1/16 dev zt0
ip addr add 169.254.77.2/16 dev zt1
ip link set zt0 up
ip link set zt1 up

# bus_config SOCKET: a system bus listening on SOCKET that lets everyone own and send to anything.
bus_config() {
    cat <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
</busconfig>
CONF
}
bus_config "$work/bus" > "$work/bus.conf"
dbus_pid=$(dbus-daemon --config-file="$work/bus.conf" --fork --print-pid)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/bus"

cat > "$work/avahi.conf" <<CONF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=zt0,zt1
enable-dbus=yes
[publish]
publish-hinfo=no
publish-workstation=no
CONF
avahi-daemon -f "$work/avahi.conf" --no-drop-root --no-chroot --no-rlimits -D
for _ in $(seq 50); do
    [ -s /run/avahi-daemon/pid ] && break
    sleep 0.1
done
avahi_pid=$(cat /run/avahi-daemon/pid)
# A service registered while the daemon is still establishing its own host name is never published:
# wait until the daemon answers for its host name.
for _ in $(seq 50); do
    timeout 2 avahi-resolve-host-name -4 "$(hostname).local" >/dev/null 2>&1 && break
    sleep 0.2
done

browse() { avahi-browse -rpt _zephrane_gps._tcp 2>/dev/null | grep '^=' | grep ';X-Plane;' || true; }
# The first resolved line of the browser's output must carry the port and every TXT entry the bridge
# publishes.
check_resolved() {
    local resolved
    resolved=$(echo "$1" | head -n 1)
    echo "$resolved" | grep -q ';21777;' || { echo "wrong port"; exit 1; }
    for entry in '"txtvers=1"' '"qtotal=1"' '"priority=30"'; do
        echo "$resolved" | grep -q "$entry" || { echo "TXT entry $entry missing"; exit 1; }
    done
}

coproc ADVERTISER { "$advertiser" 21777; }
advertiser_pid=$ADVERTISER_PID
read -r -t 20 status <&"${ADVERTISER[0]}" || { echo "the advertiser did not start"; exit 1; }
echo "advertiser: $status"
[ "$status" = "listening 21777 registered=1" ] || { echo "registration failed"; exit 1; }

# Waits up to 10 s for the browser to resolve "X-Plane", then checks its port and TXT entries.
expect_advertised() {
    local found=""
    for _ in $(seq 40); do
        found=$(browse)
        [ -n "$found" ] && break
        sleep 0.25
    done
    echo "browser: $found"
    [ -n "$found" ] || { echo "X-Plane is not advertised"; exit 1; }
    check_resolved "$found"
}
expect_advertised

echo withdraw >&"${ADVERTISER[1]}"
read -r -t 20 status <&"${ADVERTISER[0]}" || { echo "the advertiser did not withdraw"; exit 1; }
gone=""
for _ in $(seq 40); do
    if [ -z "$(browse)" ]; then gone=yes; break; fi
    sleep 0.25
done
[ -n "$gone" ] || { echo "X-Plane is still advertised after the socket went away"; exit 1; }
echo quit >&"${ADVERTISER[1]}"
wait "$advertiser_pid" || true
advertiser_pid=""
echo "advertised, resolved with its TXT entries, and withdrawn"

# ---- The bridge itself in the stand-in simulator, driven through its console.

sim_log=$work/simhost.log
seen=0
# The simhost that start_simhost, await, say, click and quit_simhost talk to: "here" (in this namespace) or
# one on a computer of the network further below. Each keeps its output, how much of it was matched, its
# console and its process while another is talked to.
use_simhost() {
    simhosts[$current_simhost.log]=$sim_log
    simhosts[$current_simhost.seen]=$seen
    simhosts[$current_simhost.in]=${sim_in:-}
    simhosts[$current_simhost.pid]=${simhost_pid:-}
    current_simhost=$1
    sim_log=${simhosts[$1.log]:-$work/simhost-$1.log}
    seen=${simhosts[$1.seen]:-0}
    sim_in=${simhosts[$1.in]:-}
    simhost_pid=${simhosts[$1.pid]:-}
}
# Whether a line of simhost's output after those already matched fits the pattern (grep -E) within the
# given seconds; the line is kept in $matched.
sees() {
    local pattern=$1 deadline=$((SECONDS + $2)) found
    while ((SECONDS <= deadline)); do
        found=$(tail -n +$((seen + 1)) "$sim_log" | grep -nE -- "$pattern" | head -n 1 || true)
        if [ -n "$found" ]; then
            seen=$((seen + ${found%%:*}))
            matched=${found#*:}
            return 0
        fi
        sleep 0.05
    done
    return 1
}
await() { sees "$@" || { echo "simhost did not say /$1/ within $2 s"; cat "$sim_log"; exit 1; }; }
say() { echo "$1" >&"$sim_in"; }
# start_simhost [simhost option...]: on the computer of the simhost in use, or here.
start_simhost() {
    local console=$sim_log.in runner=()
    [ "$current_simhost" = here ] || { set_command_on "$current_simhost"; runner=("${command_on[@]}"); }
    rm -f "$console"
    mkfifo "$console"
    "${runner[@]}" "$simhost" --plugin "$module" --duration 90 "$@" <"$console" >"$sim_log" 2>&1 &
    simhost_pid=$!
    exec {sim_in}>"$console"
    seen=0
    await '^simhost: ready' 20
}
click() {
    say "click $1"
    await "clicked \"$1\" \(" 10
    echo "$matched"
}
quit_simhost() {
    say quit
    await_exit
}
# After quit was said: the process ends by itself, with status 0.
await_exit() {
    await '^simhost: exit' 40
    exec {sim_in}>&-
    wait "$simhost_pid" || { echo "simhost did not end cleanly"; cat "$sim_log"; exit 1; }
    simhost_pid=""
    simhosts[$current_simhost.pid]=""
}
wait_until_withdrawn() {
    for _ in $(seq 40); do
        [ -z "$(browse)" ] && return 0
        sleep 0.25
    done
    echo "X-Plane is still advertised after Stop"; exit 1
}

# bridge_round BACKEND: started from the menu, advertised through BACKEND (as the pilot's log says), seen
# by the browser with its port and TXT entries, and withdrawn after Stop.
bridge_round() {
    start_simhost
    click "Start Zephrane bridge"
    await "Log.txt: Zephrane: apps find this simulator as \"X-Plane\" on the network \(announced through $1\)" 20
    echo "$matched"
    expect_advertised
}
end_round() {
    click "Stop Zephrane bridge"
    wait_until_withdrawn
    quit_simhost
}

# 1. Through the DNS-SD compatibility library, and the reference client finds the bridge by DNS-SD alone.
bridge_round 'libdns_sd\.so\.1'
"$client" --count 2 --rate 10 --discovery-seconds 5 > "$work/client.log" 2>&1 || {
    cat "$work/client.log"; echo "zephrane-client did not find the bridge"; exit 1; }
cat "$work/client.log"
grep -q 'found "X-Plane" at 169.254.77.[12] port 21777' "$work/client.log" || { echo "not found by DNS-SD"; exit 1; }
end_round
echo "the bridge advertises its port and TXT entries, is found by the client, and withdraws at Stop"

# 2. Without the compatibility library, as on a stock desktop: Avahi's own client library takes over.
compat=$(readlink -f "$(ldconfig -p | sed -n 's/.*libdns_sd\.so\.1 .*=> //p' | head -n 1)")
: >"$work/empty"
mount --bind "$work/empty" "$compat"
bridge_round 'Avahi \(libavahi-client\.so\.3\)'
end_round
echo "without libdns_sd.so.1 the bridge is advertised through Avahi's own library and withdrawn at Stop"

# collision_round NAME BACKEND: another service already holds the name "X-Plane": the bridge takes the
# alternative NAME through BACKEND and says which.
collision_round() {
    avahi-publish -s X-Plane _zephrane_gps._tcp 1234 >/dev/null 2>&1 &
    local holder=$!
    for _ in $(seq 40); do
        avahi-browse -pt _zephrane_gps._tcp 2>/dev/null | grep -q ';X-Plane;' && break
        sleep 0.25
    done
    start_simhost
    click "Start Zephrane bridge"
    await "Log.txt: Zephrane: apps find this simulator as \"$1\" on the network: another computer there is called \"X-Plane\" already.*announced through $2" 30
    echo "$matched"
    click "Stop Zephrane bridge"
    quit_simhost
    kill "$holder"
    wait "$holder" 2>/dev/null || true
}
collision_round 'X-Plane #2' 'Avahi \(libavahi-client\.so\.3\)'
umount "$compat"
# The compatibility library refuses a name this daemon already publishes: the bridge numbers the name itself.
collision_round 'X-Plane \(2\)' 'libdns_sd\.so\.1'
echo "a name already taken on the network is replaced by the next free one, and the log names it"

# 3. A daemon that stops answering: the menu handlers return while it is frozen, the simulator flies on,
# and once the daemon is back the plug-in stops and unloads cleanly.
start_simhost
kill -STOP "$avahi_pid"
click "Start Zephrane bridge"
await '^simhost: t=' 5
await '^simhost: t=' 5
click "Stop Zephrane bridge"
kill -CONT "$avahi_pid"
quit_simhost
echo "with the daemon frozen, Start and Stop returned and the simulator flew on; it stopped and unloaded cleanly"

# 4. Quit while the daemon is frozen: the announcement's thread is stuck in the library, XPluginStop returns
# within a second all the same, the plug-in pins itself in memory (Log.txt says so, and simhost finds the
# module still mapped after its unload), and the process exits cleanly with that thread still waiting.
start_simhost
kill -STOP "$avahi_pid"
click "Start Zephrane bridge"
await '^simhost: t=' 5
say quit
await 'Log.txt: Zephrane: the plug-in stays in memory until X-Plane quits' 10
await '^simhost: Zephrane: XPluginStop done \(' 5
stop_ms=$(echo "$matched" | sed -n 's/.*(\([0-9]*\)\.[0-9]* ms).*/\1/p')
echo "$matched"
[ -n "$stop_ms" ] && [ "$stop_ms" -lt 1000 ] || { echo "XPluginStop took ${stop_ms:-?} ms"; cat "$sim_log"; exit 1; }
await 'module still mapped after unload' 5
await_exit
kill -CONT "$avahi_pid"
echo "quit with the daemon frozen: XPluginStop returned in ${stop_ms} ms, the module stayed pinned, the exit was clean"

# ---- 5. Several computers on one network: A and B, each a namespace of its own (network, mounts, host name)
# with its own system bus and avahi-daemon, their eth0 plugged into one switch, a Linux bridge device in a
# namespace of its own. Each runs simhost with the bridge started: both must be found under different
# names, A must come back after its daemon restarts, and A's name must follow its Zephrane.prf. Once through
# libdns_sd.so.1, once with it hidden on both computers. A failed check is named and the others still run.

part_started=$SECONDS
for tool in nsenter python3 stdbuf avahi-resolve-host-name; do
    command -v "$tool" >/dev/null || skip "several computers on one network: $tool is not installed"
done
unshare -n -m -u --propagation private true 2>/dev/null ||
    skip "several computers on one network: this machine does not allow namespaces of mounts and host names"
unshare -n ip link add zprobe0 type bridge 2>/dev/null ||
    skip "several computers on one network: this machine cannot make a bridge device"

# What the plug-in tells the pilot about being found, in Log.txt and in the status window; NAME stands for
# the name the bridge holds.
published_words='Zephrane: apps find this simulator as "NAME"'
lost_words='Zephrane: apps can no longer find this simulator as "NAME" by themselves'
back_words='Zephrane: apps find this simulator again as "NAME"'
window_words='as "NAME"'

declare -A address=([A]=169.254.79.1 [B]=169.254.79.2)
failures=()
round_library=""
fail() { echo "FAILED: $round_library: $*"; failures+=("$round_library: $*"); }
# words_pattern WORDS NAME: the words with NAME put in, as an extended regular expression matching them
# literally.
words_pattern() { local text=${1//NAME/$2}; sed 's/[][\\.*^$(){}?+|]/\\&/g' <<<"$text"; }

# Sets $command_on to what runs a command on computer $1, with that computer's own system bus. A process
# started in the background with it is the command itself, so that its id stops it (a function run in the
# background would be a subshell, and stopping that would leave the command running).
set_command_on() { command_on=(nsenter -t "${holder[$1]}" -n -m -u env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/$1/bus"); }
on() {
    set_command_on "$1"
    shift
    "${command_on[@]}" "$@"
}
# Waits until process $1 has run the program $2 (so that its namespaces are made), at most 5 s.
await_program() {
    for _ in $(seq 100); do
        [ "$(cat "/proc/$1/comm" 2>/dev/null)" = "$2" ] && return 0
        sleep 0.05
    done
    echo "process $1 did not get to run $2"; exit 1
}
# Whether process $1 has ended (it may linger as a zombie until whoever adopted it reaps it).
ended() {
    local stat
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
    stat=${stat##*) }
    [ "${stat%% *}" = Z ]
}

make_switch() {
    unshare -n sleep 300 &
    switch_pid=$!
    await_program "$switch_pid" sleep
    nsenter -t "$switch_pid" -n ip link add switch0 type bridge
    nsenter -t "$switch_pid" -n ip link set switch0 up
}

# start_avahi COMPUTER: its daemon, once it answers for its own host name (a service registered before that
# is never published).
start_avahi() {
    local computer=$1
    on "$computer" avahi-daemon -f "$work/$computer/avahi.conf" --no-drop-root --no-chroot --no-rlimits -D
    for _ in $(seq 50); do
        on "$computer" test -s /run/avahi-daemon/pid && break
        sleep 0.1
    done
    computer_avahi[$computer]=$(on "$computer" cat /run/avahi-daemon/pid)
    for _ in $(seq 50); do
        on "$computer" timeout 2 avahi-resolve-host-name -4 "zephrane-${computer,,}.local" >/dev/null 2>&1 && return 0
        sleep 0.2
    done
    echo "the avahi-daemon of computer $computer does not answer for its host name"; exit 1
}
stop_avahi() {
    local pid=${computer_avahi[$1]}
    kill "$pid"
    for _ in $(seq 100); do
        ended "$pid" && break
        sleep 0.05
    done
    ended "$pid" || { echo "the avahi-daemon of computer $1 did not stop"; exit 1; }
    computer_avahi[$1]=""
}

# add_computer NAME: a computer with host name zephrane-name, private /run/dbus and /run/avahi-daemon, an eth0
# plugged into the switch, its address, its own bus and its own avahi-daemon on eth0 alone. The daemon
# publishes no IPv6 address, so that a browser resolves each host name to the IPv4 address given here.
add_computer() {
    local name=$1 folder=$work/$1
    mkdir -p "$folder/prefs"
    unshare -n -m -u --propagation private bash -c 'set -e
        hostname "$1"
        mount -t tmpfs tmpfs /run/dbus
        mount -t tmpfs tmpfs /run/avahi-daemon
        ip link set lo up
        exec sleep 300' holder "zephrane-${name,,}" &
    holder[$name]=$!
    await_program "${holder[$name]}" sleep
    nsenter -t "$switch_pid" -n ip link add "to-$name" type veth peer name eth0 netns "${holder[$name]}"
    nsenter -t "$switch_pid" -n ip link set "to-$name" master switch0 up
    on "$name" ip addr add "${address[$name]}/16" dev eth0
    on "$name" ip link set eth0 up
    bus_config "$folder/bus" > "$folder/bus.conf"
    computer_bus[$name]=$(on "$name" dbus-daemon --config-file="$folder/bus.conf" --fork --print-pid)
    cat > "$folder/avahi.conf" <<CONF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=eth0
[publish]
publish-hinfo=no
publish-workstation=no
publish-aaaa-on-ipv4=no
CONF
    start_avahi "$name"
}

# The fields of avahi-browse's resolved lines (-p) as "NAME at ADDRESS:PORT", the name's \DDD and \C escapes
# undone; with stamped=1 each line starts with the time it arrived and a ";", which is kept before it.
resolved_services() {
    awk -F';' -v stamped="${1:-0}" '
        function unescape(s,   out, i, c) {
            out = ""
            for (i = 1; i <= length(s); i++) {
                c = substr(s, i, 1)
                if (c == "\\" && substr(s, i + 1, 3) ~ /^[0-9][0-9][0-9]$/) {
                    out = out sprintf("%c", substr(s, i + 1, 3) + 0); i += 3; continue
                }
                if (c == "\\") { i++; c = substr(s, i, 1) }
                out = out c
            }
            return out
        }
        {
            first = stamped ? 2 : 1
            if ($first != "=" || $(first + 2) != "IPv4") next
            print (stamped ? $1 " " : "") unescape($(first + 3)) " at " $(first + 7) ":" $(first + 8)
        }'
}
# The _zephrane_gps._tcp services computer $1 resolves, one a line, sorted.
services_seen_from() {
    on "$1" avahi-browse -rpt _zephrane_gps._tcp 2>/dev/null | resolved_services | LC_ALL=C sort -u || true
}
# await_services SECONDS EXPECTED COMPUTER...: whether every computer named resolves exactly the services
# EXPECTED (lines as services_seen_from prints them) within SECONDS; each one's last browse is kept in
# $work/seen-COMPUTER. The computers browse at the same time.
await_services() {
    local deadline=$((SECONDS + $1)) expected=$2 computer all pids
    shift 2
    while :; do
        pids=()
        for computer in "$@"; do
            services_seen_from "$computer" >"$work/seen-$computer" &
            pids+=($!)
        done
        wait "${pids[@]}"
        all=yes
        for computer in "$@"; do
            [ "$(cat "$work/seen-$computer")" = "$expected" ] || all=""
        done
        [ -n "$all" ] && return 0
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}
show_seen() {
    local computer
    for computer in "$@"; do
        echo "  computer $computer resolves:"
        sed 's/^/    /' "$work/seen-$computer"
    done
}
# await_service_at SECONDS COMPUTER: whether computer B resolves some service at COMPUTER's address within
# SECONDS; its lines are kept in $work/seen-B.
await_service_at() {
    local deadline=$((SECONDS + $1))
    while :; do
        services_seen_from B | grep -F " at ${address[$2]}:" >"$work/seen-B" && return 0
        ((SECONDS < deadline)) || return 1
        sleep 0.2
    done
}

# start_on COMPUTER: its simhost, with the bridge started at launch.
start_on() {
    use_simhost "$1"
    start_simhost --start --prefs "$work/$1/prefs"
}
# expect_said COMPUTER WORDS NAME SECONDS: whether the computer's Log.txt says the words (NAME put in) within
# SECONDS; when not, the check fails, showing what its Log.txt said instead.
expect_said() {
    local computer=$1 words=${2//NAME/$3}
    use_simhost "$computer"
    if sees "Log.txt: $(words_pattern "$2" "$3")" "$4"; then
        echo "$computer: $matched"
        return 0
    fi
    fail "computer $computer's Log.txt does not say '$words'"
    grep 'Log.txt: Zephrane: ' "$sim_log" | sed 's/^/    /' || true
    return 1
}
# expect_window COMPUTER NAME: the status window's text names the name.
expect_window() {
    use_simhost "$1"
    say windows
    if sees "^simhost:   .*$(words_pattern "$window_words" "$2")" 1; then
        echo "$1: $matched"
        return 0
    fi
    fail "computer $1's status window does not show '${window_words//NAME/$2}'"
    tail -n +$((seen + 1)) "$sim_log" | grep '^simhost:   ' | sed 's/^/    /' || true
}
stamp_lines() {
    local line
    while IFS= read -r line; do echo "$EPOCHREALTIME;$line"; done
}
# login_name COMPUTER: the login reply's result and "Connected device_name", from the bridge on COMPUTER
# asked by the reference protocol client on computer B.
login_name() {
    on B env PYTHONPATH="$protocol_folder" python3 - "${address[$1]}" <<'PY' 2>&1 || true
import sys
import bridge_protocol as bp
try:
    with bp.Connection(sys.argv[1]) as connection:
        reply = connection.login()
    print("%s;%s" % (reply.get("Result"), reply.get("Connected device_name")))
except Exception as error:
    print("no reply: %r" % error)
PY
}

# found_by_both RENAMED: A starts first and keeps "X-Plane", B is renamed RENAMED; both computers resolve
# both, and each bridge's Log.txt and status window name its own.
found_by_both() {
    local expected
    start_on A
    expected="X-Plane at ${address[A]}:21777"
    await_services 10 "$expected" B || { show_seen B; fail "A's bridge is not found from B as \"X-Plane\""; }
    start_on B
    expected=$(printf '%s\n' "X-Plane at ${address[A]}:21777" "$1 at ${address[B]}:21777" | LC_ALL=C sort)
    if await_services 10 "$expected" A B; then
        echo "both computers resolve:"
        sed 's/^/  /' "$work/seen-B"
    else
        show_seen A B
        fail "the two bridges are not found as \"X-Plane\" (A) and \"$1\" (B) from both computers"
    fi
    # Once a browser resolves the service, the bridge has heard that it holds the name.
    expect_said A "$published_words" X-Plane 1 || true
    expect_said B "$published_words" "$1" 1 || true
    use_simhost A && click "Show bridge status"
    use_simhost B && click "Show bridge status"
    expect_window A X-Plane
    expect_window B "$1"
}

# back_after_restart: A's daemon stops while A's bridge serves: Log.txt says apps cannot find it;
# started again, the service is resolved from B within 10 s, and Log.txt says so. B's browser keeps running
# throughout, each line stamped with the time it arrived.
back_after_restart() {
    local watch=$work/watch-$RANDOM restarted found seconds
    : >"$watch"
    set_command_on B
    "${command_on[@]}" stdbuf -oL avahi-browse -rp _zephrane_gps._tcp 2>/dev/null > >(stamp_lines >"$watch") &
    watcher_pid=$!
    for _ in $(seq 50); do
        grep -qF " X-Plane at ${address[A]}:" <<<"$(resolved_services 1 <"$watch")" && break
        sleep 0.1
    done
    stop_avahi A
    echo "computer A's avahi-daemon stopped"
    # The daemon's end reaches the plug-in at once, through the closed connection.
    expect_said A "$lost_words" X-Plane 5 || true
    for _ in $(seq 50); do
        grep -q ";-;eth0;IPv4;X-Plane;" "$watch" && break
        sleep 0.1
    done
    if grep -q ";-;eth0;IPv4;X-Plane;" "$watch"; then
        echo "B's browser saw \"X-Plane\" go"
    else
        fail "B still resolves \"X-Plane\" after A's daemon stopped (the restart below cannot be timed)"
    fi
    restarted=$EPOCHREALTIME
    start_avahi A
    found=""
    while [ -z "$found" ] && awk -v now="$EPOCHREALTIME" -v t="$restarted" 'BEGIN { exit !(now - t < 10) }'; do
        found=$(resolved_services 1 <"$watch" |
                awk -v t="$restarted" -v at="X-Plane at ${address[A]}:21777" '$1 > t && substr($0, index($0, " ") + 1) == at' |
                head -n 1 || true)
        [ -n "$found" ] || sleep 0.1
    done
    kill "$watcher_pid"
    wait "$watcher_pid" 2>/dev/null || true
    watcher_pid=""
    if [ -n "$found" ]; then
        seconds=$(awk -v t="$restarted" -v f="${found%% *}" 'BEGIN { printf "%.2f", f - t }')
        echo "$round_library: \"X-Plane\" resolved from B again $seconds s after A's avahi-daemon was started again"
    else
        fail "\"X-Plane\" is not resolved from B within 10 s of A's avahi-daemon starting again"
    fi
    seconds=$((${restarted%.*} + 10 - EPOCHSECONDS))
    expect_said A "$back_words" X-Plane $((seconds > 0 ? seconds : 0)) || true
}

# named_by_preferences: A started again with "service_name Seat 1" in its Zephrane.prf is resolved
# from B as "Seat 1", and its login reply says so to the reference client on B.
named_by_preferences() {
    local reply
    use_simhost A
    quit_simhost
    # The old name must be gone before the new one is looked for.
    for _ in $(seq 40); do
        grep -qF " at ${address[A]}:" <<<"$(services_seen_from B)" || break
        sleep 0.25
    done
    echo "service_name Seat 1" >"$work/A/prefs/Zephrane.prf"
    start_on A
    if await_service_at 10 A; then
        if [ "$(cat "$work/seen-B")" = "Seat 1 at ${address[A]}:21777" ]; then
            echo "B resolves: Seat 1 at ${address[A]}:21777"
        else
            show_seen B
            fail "with service_name Seat 1, A's bridge is not resolved from B as \"Seat 1\""
        fi
    else
        fail "with service_name Seat 1, A's bridge is not resolved from B at all"
    fi
    reply=$(login_name A)
    if [ "$reply" = "0;Seat 1" ]; then
        echo "the login reply from A names its device \"Seat 1\""
    else
        fail "with service_name Seat 1, A's login reply (result;Connected device_name) is \"$reply\""
    fi
    rm "$work/A/prefs/Zephrane.prf"
}

# renamed_later RENAMED: the two computers meet only once both bridges hold "X-Plane" (B's cable is plugged
# in after both started): one of them takes RENAMED, says so in Log.txt, and both are resolved from both
# computers under different names.
renamed_later() {
    local expected renamed=""
    nsenter -t "$switch_pid" -n ip link set to-B down
    start_on A
    expect_said A "$published_words" X-Plane 10 || true
    start_on B
    expect_said B "$published_words" X-Plane 10 || true
    nsenter -t "$switch_pid" -n ip link set to-B up
    for computer in A B; do
        use_simhost "$computer"
        if sees "Log.txt: $(words_pattern 'Zephrane: apps find this simulator as "NAME" from now on' "$1")" 15; then
            echo "$computer: $matched"
            renamed=$computer
            break
        fi
    done
    [ -n "$renamed" ] || fail "neither bridge says it took \"$1\" once the two computers met"
    expected=$(printf '%s\n' "X-Plane at ${address[A]}:21777" "X-Plane at ${address[B]}:21777" |
               sed "s/^X-Plane at ${address[$renamed]:-none}:/$1 at ${address[$renamed]:-none}:/" | LC_ALL=C sort)
    if [ -n "$renamed" ] && await_services 10 "$expected" A B; then
        echo "after the late meeting both computers resolve:"
        sed 's/^/  /' "$work/seen-A"
    else
        show_seen A B
        fail "the two bridges are not resolved under different names after they met"
    fi
    use_simhost A && quit_simhost
    use_simhost B && quit_simhost
}

# computers_round LIBRARY RENAMED: the checks, then both simhosts quit, and nothing is left published.
computers_round() {
    local round_started=$SECONDS
    round_library=$1
    echo "-- two computers, advertising through $1"
    found_by_both "$2"
    back_after_restart
    named_by_preferences
    use_simhost A && quit_simhost
    use_simhost B && quit_simhost
    await_services 10 "" A B || { show_seen A B; echo "services are left after both simhosts quit"; exit 1; }
    renamed_later "$2"
    await_services 10 "" A B || { show_seen A B; echo "services are left after both simhosts quit"; exit 1; }
    echo "-- $1: $((SECONDS - round_started)) s"
}

make_switch
add_computer A
add_computer B
# Avahi's compatibility library renames a name taken elsewhere on the network by itself, in Avahi's manner, and
# says so; the bridge follows it (a name this daemon already holds is numbered by the bridge: see above).
computers_round libdns_sd.so.1 "X-Plane #2"
for computer in A B; do on "$computer" mount --bind "$work/empty" "$compat"; done
computers_round libavahi-client.so.3 "X-Plane #2"
use_simhost here

echo "several computers on one network: $((SECONDS - part_started)) s"
if ((${#failures[@]})); then
    echo "${#failures[@]} checks failed:"
    printf '  %s\n' "${failures[@]}"
    exit 1
fi
echo "two computers find each other's bridges under different names, a restarted daemon publishes the bridge again, and Zephrane.prf names it"
