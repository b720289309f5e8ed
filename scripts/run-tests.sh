#!/usr/bin/env bash
# Builds and runs every test: the release build (unit, end-to-end and window tests), the address
# and undefined-behaviour sanitizer build, the thread sanitizer build of the threaded tests, and
# a short fuzzing run of each libFuzzer target (symbol reader, raw record reader, whole job).
# The release build's tests include the load test (ctest label "soak").
#
#   scripts/run-tests.sh [--quick]     --quick: the release build's tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
[ "${1:-}" = "--quick" ] && quick=true

bash scripts/install-deps.sh build gui test fuzz

step() { printf '\n=== %s\n' "$*"; }

step "release build"
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2
$quick && exit 0

step "address and undefined-behaviour sanitizers"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

step "thread sanitizer: jobs, their threads and the window"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j2 -L 'threads|engine|e2e'

step "fuzzing: 45 seconds for each target"
bash fuzz/run.sh 45
