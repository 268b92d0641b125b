#!/usr/bin/env bash
# The Office container with real LibreOffice, in a private X session:
#  - StartExamQuestion -> the document open in the container embedded in the
#    exam window, [runs] questions after a first one that is counted apart
#    (median and max);
#  - the container's and its office's memory (RSS) with a document open;
#  - the save request on an unchanged 1 MB docx (median of 10);
#  - LibreOffice opening the same document on its own, cold (new profile)
#    and warm (the same profile again).
#   bench/office/run.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
runs=${1:-10}
readonly kPollSeconds=0.05
readonly kOpenWaitPolls=2400   # 120 s
readonly kCloseX=$((1280 - 220 + 48))
readonly kButtonY=24
office=/usr/lib/libreoffice/program/soffice.bin
blank="$top/tools/platform/fixtures/documents/blank.docx"

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
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
opened() { grep -c "office container: document open" "$work/client.log" || true; }
rss_kb() { awk '/^VmRSS/ {print $2}' "/proc/$1/status" 2>/dev/null || echo 0; }
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int(NR/2)+1]}'; }
maximum() { printf '%s\n' "$@" | sort -n | tail -1; }

# A docx of about 1 MB, as question documents with a picture are: a noise
# image (which does not compress away) in a page of text.
readonly kNoiseSide=410
convert -size ${kNoiseSide}x${kNoiseSide} xc: +noise Random "$work/noise.png"
python3 -c "import base64,sys; d=base64.b64encode(open(sys.argv[1],'rb').read()).decode(); open(sys.argv[2],'w').write('<html><body><p>Question text.</p><p><img src=\"data:image/png;base64,'+d+'\"></p></body></html>')" "$work/noise.png" "$work/big.html"
for _ in 1 2; do  # a new profile's first start ends at once
    [[ -f "$work/big.docx" ]] && break
    "$office" -env:UserInstallation="file://$work/convert" --headless \
        --convert-to "docx:MS Word 2007 XML" --outdir "$work" "$work/big.html" >/dev/null 2>&1 || true
done
big_bytes=$(stat -c %s "$work/big.docx")

exam StartExam "&RequestArgs=$(json "{\"userUid\":\"u1\",\"examUid\":\"e1\",\"domainUrl\":\"$web/exam.html?channel=$channel\",\"isTop\":\"true\"}")" >/dev/null
sleep 3
folder="$work/data/UserQuestion/u1/g1"
mkdir -p "$folder"

# Opens question q$1 on document $2 and waits until it shows; its time in ms.
open_question() {
    local question=$1 document=$2 before start
    cp "$document" "$folder/$question.docx"
    local answer="$web/fileservice/download?file=answers/u1_e1_$question.docx&InputStream=1"
    local args=$(json "{\"userUid\":\"u1\",\"domainUrl\":\"$(enc "$answer")\",\"examUid\":\"e1\",\"examGradeUid\":\"g1\",\"examQuestionUid\":\"$question\",\"examQuestionType\":\"docx\",\"examQuestionContent\":\"$(enc "$web/question.html?q=$question")\",\"isTop\":\"true\"}")
    before=$(opened)
    start=$(now_ms)
    exam StartExamQuestion "&RequestArgs=$args" >/dev/null
    for _ in $(seq $kOpenWaitPolls); do
        [[ $(opened) -gt $before ]] && break
        sleep $kPollSeconds
    done
    echo $(( $(now_ms) - start ))
}
# The client's container (its name is too long for pgrep -x).
container_pid() {
    for p in $(pgrep -P "$client_pid"); do
        [[ $(readlink "/proc/$p/exe") == */QVOfficeContainer2003 ]] && echo "$p" && return
    done
}
# Closes the question; the time from the click until the container is gone.
close_question() {
    local container start
    container=$(container_pid)
    sleep 0.5
    start=$(now_ms)
    xdotool mousemove $kCloseX $kButtonY click 1
    while [[ -n "$container" && -d /proc/$container ]]; do sleep 0.01; done
    echo $(( $(now_ms) - start ))
}

first=$(open_question q0 "$blank")
container=$(container_pid)
office_pid=$(pgrep -P "$container" -x soffice.bin | head -1)
container_rss=$(rss_kb "$container")
office_rss=$(rss_kb "$office_pid")
close_question >/dev/null
times=()
closes=()
for run in $(seq "$runs"); do
    times+=($(open_question "q$run" "$blank"))
    closes+=($(close_question))
done

# Save of an unchanged 1 MB document, through the container's window.
open_question big "$work/big.docx" >/dev/null
container=$(container_pid)
window=$(xdotool search --all --pid "$container" --name '^Qorvane$' | head -1)
save=$("$bin/bench_office_save" "$window" "$folder/big.docx" 10 2>&1 | tail -1 || true)
window_note="window $window of container $container"
close_question >/dev/null

# LibreOffice on its own with the same document, until its window shows:
# cold with a new profile, then warm with that profile.
solo() {
    local start pid
    start=$(now_ms)
    SAL_USE_VCLPLUGIN=gen /usr/lib/libreoffice/program/soffice -env:UserInstallation="file://$work/solo" \
        --norestore --nologo "$work/big.docx" >/dev/null 2>&1 &
    pid=$!
    xdotool search --sync --name '^big.docx - LibreOffice Writer$' >/dev/null
    echo $(( $(now_ms) - start ))
    pkill -P "$pid" -x soffice.bin 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
cold=$(solo)
warm=$(solo)

echo "StartExamQuestion -> document open in the embedded container: first ${first} ms; next $runs: median $(median "${times[@]}") ms, max $(maximum "${times[@]}") ms (all: ${times[*]})"
echo "close (click on btn_close -> container ended): median $(median "${closes[@]}") ms, max $(maximum "${closes[@]}") ms"
echo "memory with a document open: container ${container_rss} kB + its LibreOffice ${office_rss} kB RSS"
echo "save request, unchanged $big_bytes-byte docx: $save ($window_note)"
echo "LibreOffice alone opening it: cold ${cold} ms, warm ${warm} ms"
