#!/usr/bin/env bash
# Load on the channel ("unknown request" answers, 10 connections, one request
# per connection) and, in the same run, on a cpp-httplib server answering the
# same bytes. Prints requests/s, p50 and p99 for both, their ratio, and the CPU
# time the idle client used over a quiet stretch.
#   bench/channel/run.sh [seconds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
seconds=${1:-10}
command -v wrk >/dev/null || { echo "wrk is missing (scripts/deps.sh installs it)"; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

channel_port=32950
reference_port=32951
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work QORVANE_REGISTRY_DIR=$work/registry \
    QORVANE_CHANNEL_PORT=$channel_port QORVANE_DATA_PATH=$work "$bin/QorvanePlatform" >/dev/null 2>&1 &
client_pid=$!
pids+=($client_pid)
"$bin/bench_httplib_reference" $reference_port >/dev/null 2>&1 &
pids+=($!)
for port in $channel_port $reference_port; do
    for _ in $(seq 100); do
        curl -s -o /dev/null "http://127.0.0.1:$port/" && break
        sleep 0.1
    done
done

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

load() {  # port -> "requests/s p50 p99"
    wrk -t2 -c10 -d"${seconds}s" --latency -H "Connection: close" \
        "http://127.0.0.1:$1/EXAMREQUEST.KIVO?MethodName=Nothing" >"$work/wrk-$1.txt"
    awk '/Requests\/sec/ {rps=$2}
         /^ +50%/ {p50=$2}
         /^ +99%/ {p99=$2}
         END {print rps, p50, p99}' "$work/wrk-$1.txt"
}

read -r c_rps c_p50 c_p99 < <(load $channel_port)
read -r r_rps r_p50 r_p99 < <(load $reference_port)

# Idle: no requests for a while; the client should not run at all.
before=$(cpu_ticks $client_pid)
sleep 5
after=$(cpu_ticks $client_pid)

printf '%-22s %12s %10s %10s\n' "server" "requests/s" "p50" "p99"
printf '%-22s %12s %10s %10s\n' "channel" "$c_rps" "$c_p50" "$c_p99"
printf '%-22s %12s %10s %10s\n' "cpp-httplib reference" "$r_rps" "$r_p50" "$r_p99"
awk -v a="$c_rps" -v b="$r_rps" 'BEGIN {printf "ratio channel/reference: %.2f\n", a / b}'
echo "idle client CPU over 5 s: $((after - before)) clock ticks"
