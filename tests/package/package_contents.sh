#!/usr/bin/env bash
# Builds the packages into a scratch folder and checks what each holds.
# Usage: package_contents.sh <build dir> <scratch dir>
set -euo pipefail
build=$1
scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
(cd "$build" && cpack -G DEB -B "$scratch" -D CPACK_OUTPUT_FILE_PREFIX="$scratch/packages" >"$scratch/cpack.log" 2>&1) || {
    cat "$scratch/cpack.log"
    exit 1
}

failures=0
passes=0
expect() {  # expect <package> <path> [link target]
    local listing target=${3:-}
    listing=$(dpkg -c "$scratch"/packages/"$1"_*.deb)
    if grep -qE " \./$2${target:+ -> $target}\$" <<<"$listing"; then
        passes=$((passes + 1))
    else
        echo "FAIL: $1 does not hold $2${target:+ -> $target}"
        failures=$((failures + 1))
    fi
}

for program in QorvanePlatform:client Qorvane:service QorvaneRecorder:recorder; do
    name=${program%%:*}
    package=qorvane-${program##*:}
    expect "$package" "usr/lib/qorvane/$name"
    expect "$package" "usr/bin/$name" "../lib/qorvane/$name"
    expect "$package" "usr/share/man/man1/$name.1.gz"
    expect "$package" "usr/share/doc/$package/copyright"
done
expect qorvane-client usr/lib/qorvane/skin.zip
expect qorvane-client usr/lib/qorvane/libqorvane_webengine.so
expect qorvane-client usr/lib/qorvane/skin2.zip
expect qorvane-client usr/share/applications/qorvane.desktop
expect qorvane-client usr/share/icons/hicolor/32x32/apps/qorvane.png
expect qorvane-client var/lib/KIVO/Qorvane/registry/
expect qorvane-service lib/systemd/system/Qorvane.service

# The unit runs the installed service in its program folder.
unit=$(dpkg-deb --fsys-tarfile "$scratch"/packages/qorvane-service_*.deb | tar -xO ./lib/systemd/system/Qorvane.service)
for line in "Type=notify" "ExecStart=/usr/lib/qorvane/Qorvane" "WorkingDirectory=/usr/lib/qorvane" \
            "WantedBy=multi-user.target"; do
    if grep -qx "$line" <<<"$unit"; then
        passes=$((passes + 1))
    else
        echo "FAIL: the unit lacks $line"
        failures=$((failures + 1))
    fi
done
# The service package enables its unit; the client depends on the loaded plugins.
if dpkg-deb -I "$scratch"/packages/qorvane-service_*.deb postinst | grep -q "deb-systemd-helper enable Qorvane.service"; then
    passes=$((passes + 1))
else
    echo "FAIL: the service package does not enable its unit"
    failures=$((failures + 1))
fi
if dpkg-deb -f "$scratch"/packages/qorvane-client_*.deb Depends | grep -q "qt6-qpa-plugins"; then
    passes=$((passes + 1))
else
    echo "FAIL: the client package does not depend on the Qt platform plugins"
    failures=$((failures + 1))
fi

echo "$passes passed, $failures failed"
[[ $failures -eq 0 ]]
