#!/usr/bin/env bash
# The round trip of a position request through the built module inside simhost, measured from another
# process as an app would see it, against a raw loopback ping-pong of the same sizes. simhost and the
# measuring process run on one CPU (CPU, default 0), so that no wake-up waits for another CPU; simhost's
# model is frozen so that every report is the same bytes.
#   [CPU=n] [FIGURES=program] bench/through_simhost.sh [build folder]
set -euo pipefail

build=$(realpath "${1:-build}")
cpu=${CPU:-0}
port=21777
simhost="$build/tools/simhost/simhost"
module="$build/Zephrane/lin_x64/Zephrane.xpl"
figures=${FIGURES:-"$build/bench/zephrane_bridge_figures"}  # the measuring side may come from another build
for file in "$simhost" "$module" "$figures"; do
    [[ -f $file ]] || { echo "through_simhost: $file is missing: build first (make build)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# simhost writes Log.txt and its preferences folder where it runs.
coproc SIMHOST { cd "$work" && DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/zephrane-bench-bus \
    exec taskset -c "$cpu" "$simhost" --plugin "$module" --start --duration 600 2>&1; }
ready=no
while IFS= read -r -t 30 line <&"${SIMHOST[0]}"; do
    case $line in
        *"could not listen"*) echo "through_simhost: $line" >&2; break ;;
        *"simhost: ready"*) ready=yes; break ;;
    esac
done
if [[ $ready != yes ]]; then
    echo "through_simhost: simhost did not start serving on port $port" >&2
    kill "$SIMHOST_PID" 2>/dev/null || true
    exit 1
fi
echo freeze >&"${SIMHOST[1]}"
sleep 0.5
status=0
taskset -c "$cpu" "$figures" --against "$port" || status=$?
echo quit >&"${SIMHOST[1]}"
wait "$SIMHOST_PID" || true
exit "$status"
