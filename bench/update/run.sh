#!/bin/sh
# Installer download figures: bench/update/run.sh [bytes] (104857600).
# One curl GET of the installer against the client's 100-range download of
# the same file from the platform stand-in on loopback, and the client
# code's peak RSS. Needs the build in build/.
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin="$here/../../build/bin"
size=${1:-104857600}
work=$(mktemp -d)
trap 'kill $server 2>/dev/null; rm -rf "$work"' EXIT
"$bin/PlatformStandin" --web 0 --update 0 --box 0 --data "$work/platform" \
    --installer-size "$size" --installer-mark "$work/installed.jsonl" >"$work/server.out" &
server=$!
while ! grep -q '^ready' "$work/server.out" 2>/dev/null; do
    kill -0 $server || exit 1
    sleep 0.1
done
update=$(sed -n 's/^update //p' "$work/server.out")
file=$(curl -s "$update/module/QorvaneProductList.xml" | sed -n 's:.*<FileName>\(.*\)</FileName>.*:\1:p')
for round in 1 2 3; do
    curl -s -o "$work/curl.bin" -w "curl GET: %{size_download} bytes in %{time_total} s\n" \
        "$update/module/$file"
    rm -f "$work/data/$file"
    "$bin/bench_update" "$update" "$work/data" nodigest
    rm -f "$work/data/$file"
    "$bin/bench_update" "$update" "$work/data"
done
