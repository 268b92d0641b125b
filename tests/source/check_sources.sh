#!/usr/bin/env bash
# House rules the compiler does not check:
#  - OS facilities live under platform/: no X11, ALSA, GStreamer, systemd,
#    process, signal or event headers in the folders above it (http/ holds
#    the socket layer itself);
#  - every C++ source is formatted as .clang-format says.
# Usage: check_sources.sh <source dir>
set -uo pipefail
cd "$1"
failures=0
passes=0

above_platform=(foundation channel ui shell exam courses officecontainer service recorder apps)
os_headers='#include *<(X11/|xcb/|alsa/|gst/|systemd/|sys/(wait|signalfd|eventfd|epoll|inotify|prctl|mount|syscall)\.h|signal\.h|spawn\.h|poll\.h|pthread\.h|dirent\.h)'
present=()
for folder in "${above_platform[@]}"; do
    [[ -d $folder ]] && present+=("$folder")
done
hits=$(git grep -n -E "$os_headers" -- "${present[@]}" 2>/dev/null)
if [[ -n $hits ]]; then
    echo "FAIL: OS headers above platform/ (put the facility behind a platform/ header):"
    echo "$hits" | sed 's/^/    /'
    failures=$((failures + 1))
else
    passes=$((passes + 1))
fi

if command -v clang-format >/dev/null; then
    mapfile -t sources < <(git ls-files '*.cpp' '*.h')
    if ! clang-format --dry-run -Werror "${sources[@]}" 2>"${TMPDIR:-/tmp}/format.$$"; then
        echo "FAIL: not formatted as .clang-format says (clang-format -i the files):"
        grep -E "error:" "${TMPDIR:-/tmp}/format.$$" | cut -d: -f1 | sort -u | sed 's/^/    /'
        failures=$((failures + 1))
    else
        passes=$((passes + 1))
    fi
    rm -f "${TMPDIR:-/tmp}/format.$$"
fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
