#!/usr/bin/env bash
# The bridge's DNS-SD advertisement seen by a real browser, and the reference client finding a running
# bridge with no address given. Everything runs inside private network and mount namespaces: a veth pair,
# a D-Bus system bus of our own and an avahi-daemon allowed on that pair only, so no multicast reaches the
# machine's own interfaces and the machine's own buses are never used.
#   advertisement_test.sh <advertiser program> <simhost> <bridge module> <zephrane-client>
# Exits 77 (skipped) with the reason when the machine cannot run it.
set -euo pipefail

advertiser=$1
simhost=$2
module=$3
client=$4
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
cleanup() {
    [ -n "${simhost_pid:-}" ] && kill "$simhost_pid" 2>/dev/null || true
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
# start_simhost [simhost option...]
start_simhost() {
    local console=$sim_log.in
    rm -f "$console"
    mkfifo "$console"
    "$simhost" --plugin "$module" --duration 90 "$@" <"$console" >"$sim_log" 2>&1 &
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
    await "Log.txt: Zephrane: advertised as \"X-Plane\" through $1" 20
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

# collision_round BACKEND: another service already holds the name "X-Plane": the bridge takes the
# alternative name and says which.
collision_round() {
    avahi-publish -s X-Plane _zephrane_gps._tcp 1234 >/dev/null 2>&1 &
    local holder=$!
    for _ in $(seq 40); do
        avahi-browse -pt _zephrane_gps._tcp 2>/dev/null | grep -q ';X-Plane;' && break
        sleep 0.25
    done
    start_simhost
    click "Start Zephrane bridge"
    await "Log.txt: Zephrane: advertised as \"X-Plane #2\" through $1" 30
    echo "$matched"
    click "Stop Zephrane bridge"
    quit_simhost
    kill "$holder"
    wait "$holder" 2>/dev/null || true
}
collision_round 'Avahi \(libavahi-client\.so\.3\)'
umount "$compat"
# The compatibility library refuses a name this daemon already publishes; Avahi's own library then renames.
collision_round ''
echo "a name already taken on the network is replaced by the daemon's alternative, and the log names it"

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
