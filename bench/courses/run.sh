#!/bin/sh
# GUI-thread time of the course manager page: bench/courses/run.sh [lessons] (500).
# Starts a private X session and the downloader stand-in holding that many
# lessons for its learner. Needs the build in build/.
set -e
here=$(cd "$(dirname "$0")" && pwd)
top="$here/../.."
bin="$top/build/bin"
lessons=${1:-500}
work=$(mktemp -d)
trap 'kill $downloader 2>/dev/null; "$top/scripts/xsession.sh" stop "$work/x" >/dev/null 2>&1; rm -rf "$work"' EXIT
"$top/scripts/xsession.sh" start "$work/x" >/dev/null
export DISPLAY=$(cat "$work/x/display")
"$bin/QorvaneService" -commandline --port 0 --data "$work/dl" --rate 2000000 >"$work/dl.out" &
downloader=$!
while ! grep -q '^ready' "$work/dl.out" 2>/dev/null; do
    kill -0 $downloader || exit 1
    sleep 0.1
done
url=$(sed -n 's/^downloader //p' "$work/dl.out")
sql="insert into lesson(userUid, lessonUid, lessonName, status, position) with recursive n(i) as (select 1 union all select i+1 from n where i<$lessons) select 'demo-user', 'bench-'||i, 'Lesson '||i, i%3, i+10 from n"
curl -s -G "$url/EXECSQL.KIVO" --data-urlencode "Sql=$sql" >/dev/null
"$bin/bench_course_manager" "${url##*:}" "$bin" 20
