#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in platform (when built)
# and runs the client in the foreground. Ctrl+C ends everything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
bin=${QORVANE_BUILD_DIR:-$top/build}/bin

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT
for standin in "$top"/scripts/standins.d/*.sh; do
    [[ -f "$standin" ]] || continue
    # shellcheck disable=SC1090
    source "$standin"
done
"$bin/QorvanePlatform" "$@"
