#!/usr/bin/env bash
# StartExamQuestion -> the stand-in container's window embedded in the exam
# window, in a private X session: one exam, then [runs] questions opened and
# closed again; median and max.
#   bench/office/run.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
runs=${1:-10}
readonly kPollSeconds=0.01
readonly kEmbedWaitPolls=1000
readonly kCloseX=$((1280 - 220 + 48))
readonly kButtonY=24

source "$top/bench/session.sh"
downloader_port=$(free_port)
start_platform
"$bin/QorvaneService" --port "$downloader_port" --data "$work/downloader" \
    --report-channel none >/dev/null 2>&1 &
pids+=($!)
start_client QORVANE_DOWNLOADER_PORT="$downloader_port" QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
wait_up

exam() { curl -s "$channel/EXAMREQUEST.KIVO?MethodName=$1&CallbackFunc=cb${2:-}"; }
json() { python3 -c 'import json,sys,urllib.parse; print(urllib.parse.quote(json.dumps([json.loads(sys.argv[1])])))' "$1"; }
enc() { python3 -c 'import sys,urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$1"; }

exam StartExam "&RequestArgs=$(json "{\"userUid\":\"u1\",\"examUid\":\"e1\",\"domainUrl\":\"$web/exam.html?channel=$channel\",\"isTop\":\"true\"}")" >/dev/null
sleep 3
exam_window=$(xdotool search --name "Qorvane 在线考试" | head -1)

embedded() { xwininfo -children -id "$exam_window" | grep -c QVOfficeContainer || true; }

times=()
for run in $(seq "$runs"); do
    answer="$web/fileservice/download?file=answers/u1_e1_q$run.docx&InputStream=1"
    args=$(json "{\"userUid\":\"u1\",\"domainUrl\":\"$(enc "$answer")\",\"examUid\":\"e1\",\"examGradeUid\":\"g1\",\"examQuestionUid\":\"q$run\",\"examQuestionType\":\"docx\",\"examQuestionContent\":\"$(enc "$web/question.html?q=q$run")\",\"isTop\":\"true\"}")
    start=$(date +%s%N)
    exam StartExamQuestion "&RequestArgs=$args" >/dev/null
    for _ in $(seq $kEmbedWaitPolls); do
        [[ $(embedded) -gt 0 ]] && break
        sleep $kPollSeconds
    done
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
    # Past the click guard, close the question (no save) and wait for the container to go.
    sleep 3.2
    xdotool mousemove $kCloseX $kButtonY click 1
    for _ in $(seq $kEmbedWaitPolls); do
        [[ $(embedded) -eq 0 ]] && break
        sleep $kPollSeconds
    done
    sleep 0.5
done

sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "StartExamQuestion -> container embedded over $runs runs: median ${sorted[$(( runs / 2 ))]} ms, max ${sorted[$(( runs - 1 ))]} ms (all: ${times[*]})"
