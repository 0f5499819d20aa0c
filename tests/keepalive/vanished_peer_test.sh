#!/usr/bin/env bash
# A client that vanishes without closing (a phone that left the network) must not keep its place at the
# bridge. The bridge runs in a private network namespace, the client in a second one joined to it by a veth
# pair; once the client has logged in, its end of the pair goes down, so nothing it sends or could answer
# arrives any more. The bridge, with keep-alive shortened to seconds, must then let the client go.
# Before that, a stranger routed in from a network that is none of the bridge's (203.0.113.2) must be
# closed without a word, its login unanswered.
#   vanished_peer_test.sh <bridge program> <folder of bridge_protocol.py>
# Exits 77 (skipped) with the reason when the machine cannot run it.
set -euo pipefail

bridge_program=$1
protocol_folder=$2
skip() { echo "SKIPPED: $*"; exit 77; }

if [ -z "${ZEPHRANE_IN_NAMESPACE:-}" ]; then
    [ "$(id -u)" = 0 ] || skip "needs root to make private network namespaces"
    for tool in unshare nsenter ip python3; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
    unshare -n true 2>/dev/null || skip "this machine does not allow private namespaces"
    exec unshare -n env ZEPHRANE_IN_NAMESPACE=1 "$0" "$@"
fi

work=$(mktemp -d)
client_pid=""
bridge_pid=""
cleanup() {
    [ -n "$client_pid" ] && kill "$client_pid" 2>/dev/null || true
    [ -n "$bridge_pid" ] && kill "$bridge_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

ip link set lo up
ip link add zt0 type veth peer name zt1
ip addr add 169.254.78.1/16 dev zt0
ip link set zt0 up
# The stranger's network is reached through the pair, but is not one of this side's own.
ip route add 203.0.113.0/24 dev zt0

"$bridge_program" > "$work/bridge.log" 2>&1 &
bridge_pid=$!

cat > "$work/client.py" <<'PY'
import sys, time
import bridge_protocol as bp
deadline = time.time() + 10
while True:
    try:
        connection = bp.Connection("169.254.78.1")
        break
    except OSError:
        if time.time() > deadline:
            raise
        time.sleep(0.1)
stranger = bp.Connection("169.254.78.1", source="203.0.113.2")
try:
    stranger.login()
    print("the stranger got an answer", flush=True)
except bp.Closed:
    print("the stranger was closed without an answer", flush=True)
result = connection.login()["Result"]
report = connection.request()
print("logged in, result %s, %d values" % (result, len(report)), flush=True)
time.sleep(120)
PY

# The client's own namespace: it waits for its end of the pair to arrive, then connects over it.
unshare -n bash -c "
    while ! ip link show zt1 >/dev/null 2>&1; do sleep 0.05; done
    ip link set lo up
    ip addr add 169.254.78.2/16 dev zt1
    ip addr add 203.0.113.2/32 dev zt1
    ip link set zt1 up
    cd '$work' && exec env PYTHONPATH='$protocol_folder' python3 client.py" > "$work/client.log" 2>&1 &
client_pid=$!
sleep 0.2
ip link set zt1 netns "$client_pid"

for _ in $(seq 1 200); do
    grep -q "logged in" "$work/client.log" && break
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.05
done
cat "$work/client.log"
grep -q "logged in, result 0" "$work/client.log" || { echo "FAILED: the client did not log in"; exit 1; }
grep -q "the stranger was closed without an answer" "$work/client.log" ||
    { echo "FAILED: a peer from outside the bridge's networks was not refused"; exit 1; }

# The client's network disappears without a word: no FIN, no RST, nothing answers any more.
nsenter -t "$client_pid" -n ip link set zt1 down

status=0
wait "$bridge_pid" || status=$?
bridge_pid=""
cat "$work/bridge.log"
[ "$status" = 0 ] || { echo "FAILED: the bridge kept the vanished client"; exit 1; }
echo "PASSED"
