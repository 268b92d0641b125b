#!/usr/bin/env bash
# GUI-thread time of the course manager page: bench/courses/run.sh [lessons] (500).
# Starts a private X session and the downloader stand-in holding that many
# lessons for its learner. Needs the build in build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
bin=${QORVANE_BUILD_DIR:-$top/build}/bin
lessons=${1:-500}
source "$top/bench/session.sh"

port=$(free_port)
"$bin/QorvaneService" -commandline --port "$port" --data "$work/dl" --rate 2000000 >"$work/dl.out" &
pids+=($!)
while ! grep -q '^ready' "$work/dl.out" 2>/dev/null; do
    kill -0 "${pids[0]}" || exit 1
    sleep 0.1
done
sql="insert into lesson(userUid, lessonUid, lessonName, status, position) with recursive n(i) as (select 1 union all select i+1 from n where i<$lessons) select 'demo-user', 'bench-'||i, 'Lesson '||i, i%3, i+10 from n"
curl -s -G "http://127.0.0.1:$port/EXECSQL.KIVO" --data-urlencode "Sql=$sql" >/dev/null
"$bin/bench_course_manager" "$port" "$bin" 20
