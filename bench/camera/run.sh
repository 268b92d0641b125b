#!/usr/bin/env bash
# The exam camera's costs, in a private X session with the generated test
# picture as the camera (640x480, 30 pictures a second):
#  - CPU of the client (share of one core) while it shows the preview during an
#    exam, measured over a number of seconds once the preview is up;
#  - snapshot capture + JPEG encode (build/bin/camera_bench).
#   bench/camera/run.sh [seconds]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
seconds=${1:-20}
readonly kSettleSeconds=6

source "$top/bench/session.sh"
start_platform
# Snapshots far apart: the figure is the preview's.
start_client QORVANE_CAMERA_SOURCE="videotestsrc is-live=true" QORVANE_CAMERA_SIZES=640x480 \
    QORVANE_SNAPSHOT_SECONDS=3600-3600 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
wait_up

page="http://127.0.0.1:$web_port/probe.html?tag=bench&channel=$channel"
args=$(python3 -c 'import json,sys,urllib.parse; print(urllib.parse.quote(json.dumps([{"userUid":"u","examUid":"e","domainUrl":sys.argv[1],"isTop":"true","captureCamera":"2"}])))' "$page")
answer=$(curl -s "$channel/EXAMREQUEST.KIVO?MethodName=StartExam&CallbackFunc=cb&RequestArgs=$args")
if [[ $answer != *'"isSuccess":"true"'* ]]; then
    echo "the exam did not start: $answer" >&2
    exit 1
fi
sleep $kSettleSeconds  # page loaded, preview slid up to its strip

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks $client_pid)
start=$(date +%s%N)
sleep "$seconds"
after=$(ticks $client_pid)
end=$(date +%s%N)
elapsed_ms=$(( (end - start) / 1000000 ))
cpu=$(python3 -c "print(f'{($after - $before) / $hz * 1000 / $elapsed_ms * 100:.1f}')")
echo "preview 640x480 at 30 pictures/s: client CPU ${cpu} % of one core over ${seconds} s"
curl -s "$channel/EXAMREQUEST.KIVO?MethodName=StopExam&CallbackFunc=cb" >/dev/null

"$bin/camera_bench" --benchmark_report_aggregates_only=true 2>/dev/null |
    awk '/BM_Snapshot/ {print "snapshot capture + JPEG encode:", $0}'
