#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   scripts/test.sh            all tests
#   scripts/test.sh -L unit    only the tests labelled unit (any ctest arguments)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/deps.sh"
"$top/scripts/build.sh"
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$top}
# Debug information names the build folder; hits across clones matter more here.
export CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}

# Fuzz targets need clang's libFuzzer; they get a build of their own.
fuzz=${QORVANE_FUZZ_DIR:-$top/build-fuzz}
if command -v clang++ >/dev/null; then
    if [[ ! -f "$fuzz/build.ninja" ]]; then
        CC=clang CXX=clang++ cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DQORVANE_FUZZ=ON -DQORVANE_TESTS=OFF -DQORVANE_BENCH=OFF
    fi
    cmake --build "$fuzz" --parallel "$(nproc)" --target fuzz_all
fi

status=0
(cd "$top/build" && ctest --output-on-failure --timeout 600 "$@") || status=1
if [[ -f "$fuzz/CTestTestfile.cmake" ]]; then
    (cd "$fuzz" && ctest --output-on-failure "$@") || status=1
fi
exit $status
