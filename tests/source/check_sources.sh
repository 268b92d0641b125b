#!/usr/bin/env bash
# House rules the compiler does not check:
#  - folders are layers and includes point only downwards (the table below:
#    a folder may include its own layer's folder and those of lower layers,
#    never a higher layer nor a sibling in its own layer);
#  - OS facilities live under platform/: no X11, ALSA, GStreamer, systemd,
#    process, signal or event headers in the folders above it (http/ holds
#    the socket layer itself);
#  - every C++ source is formatted as .clang-format says.
# Usage: check_sources.sh <source dir>
set -uo pipefail
cd "$1"
failures=0
passes=0

# The layers, bottom first; folders on one line are siblings of one layer.
layers=(
    "foundation"
    "platform"
    "http"
    "storage"
    "config"
    "peers"
    "channel"
    "ui"
    "exam courses update"
    "shell service recorder officecontainer"
    "apps"
)
# Folders outside the layering: data, build support and what only tests run.
unlayered=" tests tools bench skin skin2 packaging scripts cmake "

declare -A rank
for i in "${!layers[@]}"; do
    for folder in ${layers[$i]}; do
        rank[$folder]=$i
    done
done
upward=""
for folder in $(git ls-files '*.cpp' '*.h' | cut -d/ -f1 | grep -v -E '\.(cpp|h)$' | sort -u); do
    [[ $unlayered == *" $folder "* ]] && continue
    if [[ -z ${rank[$folder]+set} ]]; then
        upward+="    $folder/: a folder missing from the layer table"$'\n'
    fi
done
while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    rest=${rest#*:}
    target=$(sed -E 's/^#include "([^/"]+)\/.*/\1/' <<<"$rest")
    from=${file%%/*}
    [[ $target == "$rest" || $target == "$from" ]] && continue
    [[ -z ${rank[$target]+set} || -z ${rank[$from]+set} ]] && continue
    if (( rank[$target] >= rank[$from] )); then
        upward+="    $hit"$'\n'
    fi
done < <(git grep -n -E '^#include "[^/"]+/' -- "${!rank[@]}" 2>/dev/null)
if [[ -n $upward ]]; then
    echo "FAIL: includes that do not point downwards (layers, bottom first: ${layers[*]/%/;}):"
    printf '%s' "$upward"
    failures=$((failures + 1))
else
    passes=$((passes + 1))
fi

above_platform=(foundation storage config peers channel ui exam courses update shell service recorder officecontainer apps)
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
