#!/usr/bin/env bash
# Configures and builds the project into build/ (or $QORVANE_BUILD_DIR).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QORVANE_BUILD_DIR:-$top/build}
# ccache keys on paths relative to the checkout, so every clone shares hits.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$top}
# Debug information names the build folder; hits across clones matter more here.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
if [[ ! -f "$build/build.ninja" ]]; then
    cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
