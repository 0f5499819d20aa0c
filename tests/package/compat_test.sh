#!/usr/bin/env bash
# The packaged Linux module on the oldest userland it promises: inside the Debian 11 tree (glibc 2.31),
# simhost built against that tree loads the module and starts the bridge, and the host's zephrane-client
# logs in over loopback and reads reports that move.
#   compat_test.sh TREE SIMHOST MODULE CLIENT
# Everything runs in private mount and network namespaces: the tree is changed by nothing but a mount that
# ends with the test, and port 21777 is the namespace's own. Exits 77 with the reason when the tree or root
# is missing, 1 on a fault.
set -uo pipefail

tree=${1:?usage: compat_test.sh TREE SIMHOST MODULE CLIENT}
simhost=${2:?usage}
module=${3:?usage}
client=${4:?usage}
seconds=10

skip() { echo "Debian 11 test skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "it needs root to enter the tree with chroot"
[ -x "$tree/bin/sh" ] || skip "no Debian 11 tree at $tree (make debian11-tree)"
for tool in unshare chroot ip python3; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
for file in "$simhost" "$module" "$client"; do
    [ -f "$file" ] || { echo "FAILED: $file is missing"; exit 1; }
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$simhost" "$stage/simhost"
cp "$module" "$stage/Zephrane.xpl"

# Inside the namespaces: the staged files appear as /opt/zephrane in the tree; simhost flies for $seconds s
# and the client asks for five reports once the bridge is ready.
unshare --mount --net --propagation private bash -s "$tree" "$stage" "$client" "$seconds" <<'INSIDE'
set -uo pipefail
tree=$1 stage=$2 client=$3 seconds=$4
ip link set lo up
mount --bind "$stage" "$tree/opt/zephrane"
mount -t proc proc "$tree/proc"
chroot "$tree" /opt/zephrane/simhost --plugin /opt/zephrane/Zephrane.xpl --start --duration "$seconds" \
    >"$stage/simhost.log" 2>&1 &
simhost_pid=$!
for _ in $(seq 50); do
    grep -q '^simhost: ready' "$stage/simhost.log" && break
    kill -0 "$simhost_pid" 2>/dev/null || break
    sleep 0.1
done
"$client" --host 127.0.0.1 --json --rate 5 --count 5 >"$stage/reports.json" 2>"$stage/client.log"
echo "client exit status $?" >>"$stage/client.log"
wait "$simhost_pid"
echo "simhost exit status $?" >>"$stage/simhost.log"
INSIDE

python3 - "$stage" <<'PYTHON'
import json, math, sys
stage = sys.argv[1]
keys = {"latitude", "longitude", "altitude", "speed", "course", "pitch", "roll", "yaw", "slip", "accelerationZ"}
faults = []
simhost_log = open(f"{stage}/simhost.log").read()
client_log = open(f"{stage}/client.log").read()
if "simhost exit status 0" not in simhost_log:
    faults.append("simhost did not run to its end in the tree")
if "Zephrane: XPluginStart returned 1" not in simhost_log:
    faults.append("the module was not loaded")
if "client exit status 0" not in client_log:
    faults.append("the client did not log in and read its reports")
reports = [json.loads(line) for line in open(f"{stage}/reports.json") if line.strip()]
if len(reports) != 5:
    faults.append(f"{len(reports)} reports read, 5 asked for")
for report in reports:
    if set(report) != keys or not all(math.isfinite(value) for value in report.values()):
        faults.append(f"a report is not the ten finite values: {report}")
        break
if len(reports) >= 2 and reports[0]["longitude"] == reports[-1]["longitude"]:
    faults.append("the reports do not move")
for fault in faults:
    print(f"FAILED: {fault}")
if faults:
    print("--- simhost\n" + simhost_log + "--- client\n" + client_log)
    sys.exit(1)
print(f"Debian 11 tree: simhost loaded the packaged module; {len(reports)} moving reports read over loopback")
PYTHON
