#!/bin/sh
# Builds the libFuzzer targets (configure preset "fuzz", into build/fuzz, or the directory named
# by HOOKMETER_FUZZ_BUILD_DIR) and fuzzes the symbol reader for SECONDS seconds over a scratch
# copy of the seed corpus. Exits non-zero on a finding (crash, sanitizer report, leak, timeout or
# out-of-memory) or a failed build.
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 SECONDS" >&2
    exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${HOOKMETER_FUZZ_BUILD_DIR:-$root/build/fuzz}

cmake --preset fuzz -B "$build"
cmake --build "$build" -j2 --target symbol_reader_fuzzer

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus" "$work/artifacts"
cp fuzz/corpus/symbols/* "$work/corpus/"

# The checked-in seeds stay untouched; inputs that cause a finding are kept in the build's findings/.
status=0
"$build/fuzz/symbol_reader_fuzzer" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" || status=$?
if [ "$status" -ne 0 ]; then
    findings=$build/findings
    mkdir -p "$findings"
    cp "$work"/artifacts/* "$findings"/ 2>/dev/null || true
    echo "symbol_reader_fuzzer: finding (exit status $status); inputs kept in $findings:" >&2
    ls -l "$findings" >&2
    exit 1
fi
