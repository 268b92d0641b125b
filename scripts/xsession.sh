#!/usr/bin/env bash
# A private X session, for the GUI tests and for running the client on a
# machine without a display: Xvfb on a free display, openbox
# as the window manager (EWMH, so wmctrl and xdotool see what a user would)
# and trayer as the notification-area host.
#   xsession.sh start <state-dir>   starts all three, writes <state-dir>/display
#   xsession.sh stop <state-dir>    stops what start started (by process id)
# Everything runs detached with its output in <state-dir>/*.log, so the
# caller (a ctest fixture) returns as soon as the session is usable.
set -euo pipefail

action=${1:?start or stop}
state=${2:?state folder}
# Generous: a loaded CI machine can take a while to bring X up.
readonly kReadySeconds=30
readonly kStopSeconds=10
readonly kScreen=${QORVANE_XSESSION_SCREEN:-1280x1024x24}

# Alive and not yet a zombie waiting for its new parent to reap it.
running() {
    local state
    state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ -n "$state" && "$state" != Z ]]
}

# Stops one of our programs by its recorded id; a recorded id that now
# belongs to another program (the session died long ago) is left alone.
stop_pid() {
    local pid=$1 program=$2 waited=0
    running "$pid" || return 0
    [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$program" ]] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    while running "$pid" && ((waited < kStopSeconds * 10)); do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill -KILL "$pid" 2>/dev/null || true
}

stop_all() {
    # Reverse order: the tray host and the window manager before the server.
    local name program
    for name in trayer:trayer openbox:openbox xvfb:Xvfb; do
        program=${name#*:}
        name=${name%%:*}
        if [[ -f "$state/$name.pid" ]]; then
            stop_pid "$(cat "$state/$name.pid")" "$program"
            rm -f "$state/$name.pid"
        fi
    done
    rm -f "$state/display"
}

# Polls a readiness check; the session's programs give no other signal.
wait_until() {
    local what=$1
    shift
    local tries=0
    until "$@" >/dev/null 2>&1; do
        tries=$((tries + 1))
        if ((tries > kReadySeconds * 10)); then
            echo "xsession: $what did not become ready within ${kReadySeconds}s" >&2
            return 1
        fi
        sleep 0.1
    done
}

start_all() {
    mkdir -p "$state"
    stop_all
    for program in Xvfb openbox trayer xdotool wmctrl xprop; do
        command -v "$program" >/dev/null || { echo "xsession: $program is not installed (scripts/packages/gui.txt)" >&2; exit 1; }
    done

    # Xvfb picks a free display itself and writes its number to the pipe
    # once it accepts connections.
    local fifo="$state/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    setsid Xvfb -displayfd 3 -screen 0 "$kScreen" -nolisten tcp -noreset \
        3>"$fifo" </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    local number=""
    if ! read -r -t "$kReadySeconds" number <"$fifo" || [[ -z "$number" ]]; then
        rm -f "$fifo"
        echo "xsession: Xvfb did not start; see $state/xvfb.log" >&2
        cat "$state/xvfb.log" >&2 || true
        stop_all
        exit 1
    fi
    rm -f "$fifo"
    export DISPLAY=":$number"
    unset WAYLAND_DISPLAY

    setsid openbox --sm-disable </dev/null >"$state/openbox.log" 2>&1 &
    echo $! >"$state/openbox.pid"
    if ! wait_until "openbox" wmctrl -m; then
        stop_all
        exit 1
    fi

    setsid trayer --edge bottom --align right --widthtype request --height 24 \
        --SetDockType true --SetPartialStrut true --transparent false \
        </dev/null >"$state/trayer.log" 2>&1 &
    echo $! >"$state/trayer.pid"
    if ! wait_until "trayer" xdotool search --classname '^trayer$'; then
        stop_all
        exit 1
    fi

    echo "$DISPLAY" >"$state/display.tmp"
    mv "$state/display.tmp" "$state/display"
    echo "xsession: DISPLAY=$DISPLAY (Xvfb $(cat "$state/xvfb.pid"), openbox $(cat "$state/openbox.pid"), trayer $(cat "$state/trayer.pid"))"
}

case "$action" in
    start) start_all ;;
    stop) stop_all; echo "xsession: stopped" ;;
    *) echo "usage: $0 start|stop <state-dir>" >&2; exit 2 ;;
esac
