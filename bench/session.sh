# Sourced by the benchmark scripts that need a display: a work folder, a
# private X session (DISPLAY set), free ports, and everything started into
# $pids ended again on exit. Expects $top (the source tree) and $bin.
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

# The client and the platform stand-in whose pages talk to it; $bin is the
# programs' folder. start_client takes extra VAR=value words for the client.
channel_port=$(free_port)
web_port=$(free_port)
channel="http://127.0.0.1:$channel_port"
web="http://127.0.0.1:$web_port"
start_platform() {
    "$bin/PlatformStandin" --web "$web_port" --update 0 --box 0 --data "$work/platform" \
        --channel "$channel" >/dev/null 2>&1 &
    pids+=($!)
}
start_client() {
    env XDG_RUNTIME_DIR="$work/runtime" QORVANE_REGISTRY_DIR="$work/registry" HOME="$work" \
        QORVANE_CHANNEL_PORT="$channel_port" QORVANE_DATA_PATH="$work/data" "$@" \
        "$bin/QorvanePlatform" >"$work/client.log" 2>&1 &
    client_pid=$!
    pids+=($client_pid)
}
# Until both answer (about 20 s at most).
wait_up() {
    for _ in $(seq 200); do
        curl -s -o /dev/null "$channel/" && curl -s -o /dev/null "$web/" && return 0
        sleep 0.1
    done
}
