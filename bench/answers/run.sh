#!/bin/sh
# Figures of the answer store: bench/answers/run.sh [crash rounds] (1000).
# Needs the build in build/ (scripts/build.sh or cmake --build build).
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin="$here/../../build/bin"
export QORVANE_TEST_TMP="${QORVANE_TEST_TMP:-$here/../../build/test-tmp}"
# Inhibitor locks must never reach the machine's own logind.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/qorvane-bench-bus
"$bin/bench_answers" submit 200
"$bin/bench_answers" burst 200
"$bin/bench_answers" deliver 100
"$bin/bench_answers" crash "${1:-1000}"
