#!/usr/bin/env bash
# Takes docs/timeline-speedscope.png: the timeline of the sample trace of examples/ opened in
# speedscope in a headless Chromium, zoomed in on the first calls of task_logger. The sample's
# timeline and folded stacks are left in build/timeline/ (sample.json, sample.folded) to open in
# other viewers. speedscope and playwright-core (which drives Debian's chromium) are installed
# with npm into build/npm.
#
#   scripts/timeline-pictures.sh [OUTPUT.png]   (HOOKMETER_BUILD_DIR: build directory to use)
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/timeline-speedscope.png}
build=${HOOKMETER_BUILD_DIR:-build/rel}
work=build/timeline

bash scripts/install-deps.sh build viewers
command -v npm >/dev/null || bash scripts/install-deps.sh node
[ -d build/npm/node_modules/speedscope ] && [ -d build/npm/node_modules/playwright-core ] ||
    npm install --prefix build/npm --no-save --no-audit --no-fund speedscope@1.25.0 playwright-core@1.65.2 >/dev/null
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_GUI=OFF -DHOOKMETER_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target hookmeter-cli >/dev/null

mkdir -p "$work" "$(dirname "$output")"
"$build/cli/hookmeter-cli" --quiet --binary --exe examples/sample.out --clock-hz 600e6 \
    --timeline "$work/sample.json" --folded "$work/sample.folded" \
    --call-list "$work/sample_call_list.csv" --profile "$work/sample_profile.csv" examples/sample_trace.bin
NODE_PATH=build/npm/node_modules node scripts/timeline-pictures.js "$work/sample.json" "$output"
