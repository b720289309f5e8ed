#!/usr/bin/env bash
# Builds a 20-million-record trace in both forms and measures hookmeter-cli on each:
# records per second end to end (both reports written) and peak memory; then the binary form
# again with every optional output on (timeline, folded stacks, statistics); the plain job and
# that one again with the call list and the timeline sent to /dev/null (what the processing
# costs, apart from the disk); and every output on two traces that fill the function table
# (65,536 functions, and 65,535 over 20 million records).
#
#   bench/run.sh [RECORDS] [WORKDIR]      (defaults: 20000000, build/bench-data)
set -euo pipefail
cd "$(dirname "$0")/.."
records=${1:-20000000}
work=${2:-build/bench-data}

bash scripts/install-deps.sh build bench
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_GUI=OFF \
    -DHOOKMETER_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench -j2 --target hookmeter-cli generate-trace >/dev/null
cli=build/bench/cli/hookmeter-cli
generate=build/bench/bench/generate-trace

mkdir -p "$work"
echo "generating $records records (seed 1, 300 functions, 4 tasks, nesting up to 30)"
"$generate" --records "$records" "$work/trace.bin"
"$generate" --records "$records" --text "$work/trace.txt"
"$generate" --records "$records" --all-functions --functions 65536 "$work/functions-65536.bin"
"$generate" --records "$records" --all-functions --functions 65535 "$work/functions-65535.bin"
sync # the disk is done with the traces before any run writes
every_output=(--timeline "$work/out_timeline.json" --folded "$work/out_folded.txt"
              --stats "$work/out_stats.csv" --clock-hz 600e6)

measure() { # form, raw file, extra options; the call list goes to $call_list
    local form=$1 raw=$2
    shift 2
    local calls=${call_list:-$work/out_call_list.csv}
    local best=""
    for run in 1 2 3; do
        rm -f "$work"/out_*
        sync # and with removing the last run's outputs
        local stats
        stats=$( { /usr/bin/time -f '%e %M' "$cli" --quiet "$@" \
            --call-list "$calls" --profile "$work/out_profile.csv" "$raw"; } 2>&1 )
        local seconds=${stats% *} kib=${stats#* }
        if [ -z "$best" ] || awk "BEGIN{exit !($seconds < ${best% *})}"; then best="$seconds $kib"; fi
    done
    local seconds=${best% *} kib=${best#* }
    awk -v form="$form" -v n="$records" -v s="$seconds" -v k="$kib" 'BEGIN {
        printf "%-30s %10d records  %6.2f s  %6.2f million records/s  peak %5.1f MiB\n",
               form, n, s, n / s / 1e6, k / 1024 }'
}

echo "best of three runs each:"
measure binary "$work/trace.bin" --binary
measure text "$work/trace.txt" --text
ls -l "$work/out_call_list.csv" "$work/out_profile.csv" | awk '{ print "  " $5 " bytes  " $9 }'
measure "binary, every output" "$work/trace.bin" --binary "${every_output[@]}"
ls -l "$work"/out_{timeline.json,folded.txt,stats.csv} | awk '{ print "  " $5 " bytes  " $9 }'
# What the processing costs, apart from the disk: the two large files are not written.
call_list=/dev/null measure "binary, plain, to /dev/null" "$work/trace.bin" --binary
call_list=/dev/null measure "binary, every output, ditto" "$work/trace.bin" --binary \
    "${every_output[@]}" --timeline /dev/null
# The job replays a trace only up to the record that fills the function table.
measure "65536 functions, all" "$work/functions-65536.bin" --binary "${every_output[@]}"
measure "65535 functions, all" "$work/functions-65535.bin" --binary "${every_output[@]}"
rm -f "$work"/out_*
