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

cat > "$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
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

found=""
for _ in $(seq 40); do
    found=$(browse)
    [ -n "$found" ] && break
    sleep 0.25
done
echo "browser: $found"
[ -n "$found" ] || { echo "X-Plane is not advertised"; exit 1; }
check_resolved "$found"

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

# The bridge itself, in the stand-in simulator, found by the reference client through DNS-SD alone.
"$simhost" --plugin "$module" --start --duration 20 > "$work/simhost.log" 2>&1 &
simhost_pid=$!
found_client=""
for _ in $(seq 20); do
    if "$client" --count 2 --rate 10 --discovery-seconds 3 > "$work/client.log" 2>&1; then
        found_client=yes
        break
    fi
    sleep 0.5
done
# The bridge's own service info, as the browser resolves it (the advertiser above built a copy of it).
bridge_found=""
if [ -n "$found_client" ]; then
    for _ in $(seq 40); do
        bridge_found=$(browse)
        [ -n "$bridge_found" ] && break
        sleep 0.25
    done
fi
kill "$simhost_pid" 2>/dev/null || true
wait "$simhost_pid" 2>/dev/null || true
cat "$work/client.log"
[ -n "$found_client" ] || { echo "zephrane-client did not find the bridge"; cat "$work/simhost.log"; exit 1; }
grep -q 'found "X-Plane" at 169.254.77.[12] port 21777' "$work/client.log" || { echo "not found by DNS-SD"; exit 1; }
echo "zephrane-client found the bridge by DNS-SD and read its positions"
echo "browser: $bridge_found"
[ -n "$bridge_found" ] || { echo "the bridge is not advertised to the browser"; exit 1; }
check_resolved "$bridge_found"
echo "the bridge advertises its port and TXT entries"
