# Sourced by the benchmark scripts that need a display: a work folder, a
# private X session (DISPLAY set), free ports, and everything started into
# $pids ended again on exit. Expects $top (the source tree).
work=$(mktemp -d)
mkdir -m 700 "$work/runtime"
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    "$top/scripts/xsession.sh" stop "$work/x" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

"$top/scripts/xsession.sh" start "$work/x" >/dev/null
export DISPLAY=$(cat "$work/x/display")

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
