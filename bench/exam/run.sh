#!/usr/bin/env bash
# The supervised exam's speed and memory, in a private X session:
#  - RSS of the idle client (before any page) and whether a browser process runs;
#  - StartExam request -> the exam page's load event, 10 runs (the first one,
#    which starts the web engine, reported separately), median and max;
#  - RSS of the client and of client + browser processes during an exam with
#    two tabs, and after StopExam.
#   bench/exam/run.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
runs=${1:-10}
readonly kPollSeconds=0.02
readonly kPageWaitPolls=1500

source "$top/bench/session.sh"
start_platform
start_client
wait_up
sleep 2  # let start-up settle before the idle figures

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
tree_rss_kb() {
    local total=0 pid
    for pid in $(ps -o pid= --ppid "$1") ; do
        total=$((total + $(tree_rss_kb "$pid")))
    done
    echo $((total + $(rss_kb "$1")))
}
engine_processes() { ps -o comm= --ppid "$client_pid" | grep -c QtWebEngine || true; }

echo "idle client: RSS $(( $(rss_kb $client_pid) / 1024 )) MB, browser processes: $(engine_processes)"

exam() { curl -s "$channel/EXAMREQUEST.KIVO?MethodName=$1&CallbackFunc=cb${2:-}"; }
loaded_count() { grep -c '"fn":"loaded"' "$work/platform/journal.jsonl" 2>/dev/null || true; }

times=()
for run in $(seq "$runs"); do
    page="http://127.0.0.1:$web_port/probe.html?tag=run$run&channel=$channel"
    args=$(python3 -c 'import json,sys,urllib.parse; print(urllib.parse.quote(json.dumps([{"domainUrl":sys.argv[1],"isTop":"true"}])))' "$page")
    before=$(loaded_count)
    start=$(date +%s%N)
    exam StartExam "&RequestArgs=$args" >/dev/null
    for _ in $(seq $kPageWaitPolls); do
        [[ $(loaded_count) -gt $before ]] && break
        sleep $kPollSeconds
    done
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
    if [[ $run -eq $runs ]]; then
        sleep 1
        echo "during an exam with two tabs: client RSS $(( $(rss_kb $client_pid) / 1024 )) MB," \
             "client + browser processes $(( $(tree_rss_kb $client_pid) / 1024 )) MB"
    fi
    exam StopExam >/dev/null
done
sleep 2
echo "after StopExam: client RSS $(( $(rss_kb $client_pid) / 1024 )) MB," \
     "client + browser processes $(( $(tree_rss_kb $client_pid) / 1024 )) MB"

first=${times[0]}
rest=("${times[@]:1}")
sorted=($(printf '%s\n' "${rest[@]}" | sort -n))
count=${#sorted[@]}
median=${sorted[$((count / 2))]}
max=${sorted[$((count - 1))]}
echo "StartExam -> page loaded: first run ${first} ms; next $count runs median ${median} ms, max ${max} ms"
echo "all runs (ms): ${times[*]}"
