#!/usr/bin/env bash
# Installs what is missing, builds, starts the stand-in platform (when built)
# and runs the client in the foreground. Ctrl+C ends everything.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
bin=${QORVANE_BUILD_DIR:-$top/build}/bin

pids=()
# No display (a server, a CI machine, a plain console): give the client a
# private X session with a window manager and a tray, and say where it is.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    xstate=$(mktemp -d)
    "$top/scripts/xsession.sh" start "$xstate"
    export DISPLAY=$(cat "$xstate/display")
    echo "No display found: started a private X session on $DISPLAY (Xvfb + openbox + trayer)."
    echo "Look at it with: DISPLAY=$DISPLAY import -window root screen.png"
    stop_session() { "$top/scripts/xsession.sh" stop "$xstate" >/dev/null 2>&1 || true; }
else
    stop_session() { :; }
fi
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; stop_session; }
trap cleanup EXIT

for standin in "$top"/scripts/standins.d/*.sh; do
    [[ -f "$standin" ]] || continue
    # shellcheck disable=SC1090
    source "$standin"
done
"$bin/QorvanePlatform" "$@"
