# Sourced by scripts/run.sh: starts the course downloader stand-in on its usual
# port with its data under the user's data folder, unless one already listens.
if [[ -x "$bin/QorvaneService" ]]; then
    if (exec 3<>/dev/tcp/127.0.0.1/32889) 2>/dev/null; then
        echo "A course downloader already listens on 127.0.0.1:32889; not starting the stand-in."
    else
        "$bin/QorvaneService" -commandline >/dev/null &
        pids+=($!)
    fi
fi
