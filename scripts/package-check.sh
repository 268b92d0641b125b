#!/usr/bin/env bash
# Builds the Debian packages, checks them with lintian, installs them on this
# machine (with their dependencies), runs the installed programs from the
# PATH, and purges them again. Needs root (or sudo); CI runs it after the
# tests. Leaves the machine as it found it: stops if the packages are
# installed already.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${QORVANE_BUILD_DIR:-$top/build}
sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
packages=(qorvane-client qorvane-service qorvane-recorder qorvane-office-container)

for package in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        echo "package-check: $package is installed on this machine already; not touching it" >&2
        exit 1
    fi
done

"$top/scripts/package.sh"

echo "== lintian"
lintian --tag-display-limit 0 --fail-on error "$build"/packages/*.deb 2>&1 | grep -v "running with root" || true
lintian --fail-on error "$build"/packages/*.deb >/dev/null 2>&1

scratch=$(mktemp -d)
client_pid=""
cleanup() {
    [[ -n "$client_pid" ]] && kill "$client_pid" 2>/dev/null || true
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq "${packages[@]}" >/dev/null 2>&1 || true
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "== install"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$build"/packages/*.deb >/dev/null

passes=0
failures=0
check() {  # check <what> <command...>
    local what=$1
    shift
    if "$@" >"$scratch/out" 2>&1; then
        passes=$((passes + 1))
    else
        echo "FAIL: $what"
        sed 's/^/    /' "$scratch/out"
        failures=$((failures + 1))
    fi
}

check "the programs are on the PATH" test "$(command -v QorvanePlatform Qorvane QorvaneRecorder | tr '\n' ' ')" = \
    "/usr/bin/QorvanePlatform /usr/bin/Qorvane /usr/bin/QorvaneRecorder "
check "Qorvane -help prints the arguments" bash -c 'Qorvane -help | grep -q -- "-install"'
check "the recorder with two arguments does nothing and succeeds" \
    bash -c 'out=$(QorvaneRecorder 0 1) && [[ -z "$out" ]]'
check "the unit is enabled" test -L /etc/systemd/system/multi-user.target.wants/Qorvane.service
check "man pages" bash -c 'for p in QorvanePlatform Qorvane QorvaneRecorder QVOfficeContainer2003; do test -s "/usr/share/man/man1/$p.1.gz" || exit 1; done'
check "the Office container sits beside the client under every name it looks for" bash -c \
    'for v in 2003 2007 2010; do test -x /usr/lib/qorvane/QVOfficeContainer$v || exit 1; done;
     test -f /usr/lib/qorvane/officecontainer/QVOfficeUno.so && test -s /usr/lib/qorvane/officecontainer/StringTable.xml'
check "the Office container needs LibreOffice, the client recommends it" bash -c \
    'dpkg-query -W -f="\${Depends}" qorvane-office-container | grep -q libreoffice-writer &&
     dpkg-query -W -f="\${Recommends}" qorvane-client | grep -q qorvane-office-container'
check "the Office container refuses a wrong command line" bash -c \
    '/usr/lib/qorvane/QVOfficeContainer2003 1 2>/dev/null; [[ $? -eq 2 ]]'

# The installed client answers on its channel.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$scratch/data" "$scratch/runtime" "$scratch/registry"
chmod 700 "$scratch/runtime"
QT_QPA_PLATFORM=offscreen QORVANE_DATA_PATH="$scratch/data" QORVANE_CHANNEL_PORT=$port \
    QORVANE_REGISTRY_DIR="$scratch/registry" XDG_RUNTIME_DIR="$scratch/runtime" \
    QorvanePlatform >"$scratch/client.log" 2>&1 &
client_pid=$!
check "the installed client answers on its channel" \
    curl -sf --retry 50 --retry-delay 1 --retry-connrefused --max-time 60 \
    "http://127.0.0.1:$port/EXAMREQUEST.KIVO?MethodName=CheckExamStatus&CallbackFunc=cb" -o "$scratch/answer"
check "the answer is the exam status as a JSONP text" grep -q '^cb({"errorCode":"0".*"examStatus":"0"' "$scratch/answer"
kill -TERM "$client_pid"
check "the client ends on a termination request" wait "$client_pid"
client_pid=""

echo "== purge"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq "${packages[@]}" >/dev/null
check "nothing of the packages is left" bash -c \
    '! ls /usr/lib/qorvane /usr/bin/QorvanePlatform /usr/share/man/man1/QVOfficeContainer2003.1.gz /lib/systemd/system/Qorvane.service /var/lib/KIVO/Qorvane/registry 2>/dev/null | grep -q .'
check "the unit is no longer enabled" test ! -e /etc/systemd/system/multi-user.target.wants/Qorvane.service

echo "package-check: $passes passed, $failures failed"
[[ $failures -eq 0 ]]
