#!/usr/bin/env bash
# Builds the Debian package build/package/hookmeter_<version>_<architecture>.deb from a release
# build: the window, the batch command, desktop entry, icon, manual pages and the sample.
#
#   scripts/package.sh        (HOOKMETER_BUILD_DIR: a configured release build to package from;
#                              default: build/package-build, made without tests and benchmarks)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${HOOKMETER_BUILD_DIR:-build/package-build}

bash scripts/install-deps.sh build gui package
if [ -z "${HOOKMETER_BUILD_DIR:-}" ]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_TESTS=OFF \
        -DHOOKMETER_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" -j2 --target hookmeter hookmeter-cli hookmeter_packaging_files >/dev/null

rm -f build/package/hookmeter_*.deb
mkdir -p build/package
if ! cpack --config "$build/CPackConfig.cmake" -B "$PWD/build/package" >build/package/cpack.log; then
    cat build/package/cpack.log >&2
    exit 1
fi
rm -rf build/package/_CPack_Packages
ls build/package/hookmeter_*.deb
