#!/usr/bin/env bash
# Builds hookmeter-cli and runs it on the sample trace and executable shipped in examples/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build
cmake -S . -B build/quickstart -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_GUI=OFF \
    -DHOOKMETER_BUILD_TESTS=OFF -DHOOKMETER_BUILD_BENCH=OFF >/dev/null
cmake --build build/quickstart -j2 --target hookmeter-cli >/dev/null

out=build/quickstart/reports
mkdir -p "$out"
build/quickstart/cli/hookmeter-cli --binary --exe examples/sample.out \
    --call-list "$out/sample_trace_call_list.csv" --profile "$out/sample_trace_profile.csv" \
    examples/sample_trace.bin
echo
echo "call list:       $out/sample_trace_call_list.csv"
echo "profile summary: $out/sample_trace_profile.csv"
