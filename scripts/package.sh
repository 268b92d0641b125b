#!/usr/bin/env bash
# Builds the Debian packages (qorvane-client, qorvane-service,
# qorvane-recorder) into build/packages/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QORVANE_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB)
ls -1 "$build"/packages/*.deb
