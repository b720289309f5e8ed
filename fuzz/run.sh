#!/bin/sh
# Builds the libFuzzer targets (configure preset "fuzz", into build/fuzz, or the directory named
# by HOOKMETER_FUZZ_BUILD_DIR) and fuzzes each of them for SECONDS seconds (default 60) over a
# scratch corpus: the symbol reader from fuzz/corpus/symbols, the raw record reader and the whole
# job from the traces of the end-to-end cases and the examples. Exits non-zero on a finding
# (crash, failed check, sanitizer report, leak, timeout or out-of-memory) or a failed build.
#
#   fuzz/run.sh [SECONDS]
set -eu

if [ $# -gt 1 ]; then
    echo "usage: $0 [SECONDS]" >&2
    exit 2
fi
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

build=${HOOKMETER_FUZZ_BUILD_DIR:-$root/build/fuzz}
targets="symbol_reader_fuzzer raw_reader_fuzzer profile_job_fuzzer"

cmake --preset fuzz -B "$build"
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Scratch files of the targets go to memory where there is a tmpfs: they are written on every run.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    TMPDIR=$(mktemp -d /dev/shm/hookmeter-fuzz.XXXXXX)
    export TMPDIR
    trap 'rm -rf "$work" "$TMPDIR"' EXIT
fi
sh fuzz/seeds.sh "$work"

# The checked-in seeds stay untouched; inputs that cause a finding are kept in the build's findings/.
failed=0
for target in $targets; do
    case $target in
    symbol_reader_fuzzer) max_len=65536 ;;
    raw_reader_fuzzer) max_len=8192 ;;
    profile_job_fuzzer) max_len=32768 ;;
    esac
    mkdir -p "$work/artifacts-$target"
    status=0
    "$build/fuzz/$target" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -print_final_stats=1 -artifact_prefix="$work/artifacts-$target/" \
        "$work/$target" || status=$?
    if [ "$status" -ne 0 ]; then
        findings=$build/findings/$target
        mkdir -p "$findings"
        cp "$work/artifacts-$target"/* "$findings"/ 2>/dev/null || true
        echo "$target: finding (exit status $status); inputs kept in $findings:" >&2
        ls -l "$findings" >&2
        failed=1
    fi
done
exit "$failed"
