# Sourced by scripts/run.sh: starts the platform stand-in (web server on
# 18080 with the portal at http://127.0.0.1:18080/, update server on 18081,
# one box on 18090), unless its web port is taken already.
if [[ -x "$bin/PlatformStandin" ]]; then
    if (exec 3<>/dev/tcp/127.0.0.1/18080) 2>/dev/null; then
        echo "Port 18080 is taken; not starting the platform stand-in."
    else
        "$bin/PlatformStandin" >/dev/null &
        pids+=($!)
        echo "Stand-in platform portal: http://127.0.0.1:18080/"
    fi
fi
