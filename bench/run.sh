#!/usr/bin/env bash
# Builds a 20-million-record trace in both forms and measures hookmeter-cli on each:
# records per second end to end (both reports written) and peak memory; then the binary form
# with every optional output on (timeline, folded stacks, statistics) against the plain job,
# runs taken in turn: with the timeline as a Perfetto trace, everything written to files; and
# with the JSON timeline, the call list and the timeline sent to /dev/null (what the processing
# costs, apart from the disk); then the size of the timeline in both forms per completed call;
# and every output on two traces that fill the function table (65,536 functions, and 65,535 over
# 20 million records). Last, in turn, the text job against the binary job, and with BASELINE set
# both against an earlier hookmeter-cli.
#
#   bench/run.sh [RECORDS] [WORKDIR]      (defaults: 20000000, build/bench-data)
#   HOOKMETER_BENCH_REUSE=1 bench/run.sh  uses the traces already in WORKDIR
#   BASELINE=old/hookmeter-cli            also measures that build beside this one
#   ROUNDS=N                              rounds of the runs in turn (default 3)
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
if [ "${HOOKMETER_BENCH_REUSE:-}" != 1 ]; then
    echo "generating $records records (seed 1, 300 functions, 4 tasks, nesting up to 30)"
    "$generate" --records "$records" "$work/trace.bin"
    "$generate" --records "$records" --text "$work/trace.txt"
    "$generate" --records "$records" --all-functions --functions 65536 "$work/functions-65536.bin"
    "$generate" --records "$records" --all-functions --functions 65535 "$work/functions-65535.bin"
fi
sync # the disk is done with the traces before any run writes
# The timeline's form follows its name: links that end in .json and .pftrace send either form
# to /dev/null.
ln -sf /dev/null "$work/null.json"
ln -sf /dev/null "$work/null.pftrace"
other_outputs=(--folded "$work/out_folded.txt" --stats "$work/out_stats.csv" --clock-hz 600e6)
every_output=(--timeline "$work/out_timeline.pftrace" "${other_outputs[@]}")

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

# Runs each job of a group in turn, ROUNDS rounds, and prints for each the least and the median
# wall time, the median user+sys CPU time and the peak memory; the first job is the one the
# others are measured against. Arguments: NAME:PROGRAM ARGUMENTS (one string, split on spaces).
compare() {
    local rounds=${ROUNDS:-3} names=() i
    declare -A wall cpu peak
    for ((round = 0; round < rounds; ++round)); do
        for job in "$@"; do
            local name=${job%%:*} args=${job#*:}
            rm -f "$work"/out_*
            sync
            local stats
            # shellcheck disable=SC2086
            stats=$( { /usr/bin/time -f '%e %U %S %M' ${args%% *} --quiet ${args#* }; } 2>&1 )
            read -r seconds user system kib <<<"$stats"
            wall[$name]+="$seconds "
            cpu[$name]+="$(awk -v u="$user" -v s="$system" 'BEGIN { print u + s }') "
            peak[$name]=$(( kib > ${peak[$name]:-0} ? kib : ${peak[$name]:-0} ))
        done
    done
    local base=""
    for job in "$@"; do
        local name=${job%%:*}
        local line
        line=$(echo "${wall[$name]}" | tr ' ' '\n' | sort -g | awk 'NF { v[++n] = $1 } END { print v[1], v[int((n + 1) / 2)] }')
        local cpu_median
        cpu_median=$(echo "${cpu[$name]}" | tr ' ' '\n' | sort -g | awk 'NF { v[++n] = $1 } END { print v[int((n + 1) / 2)] }')
        [ -z "$base" ] && base=${line#* }
        awk -v name="$name" -v l="$line" -v c="$cpu_median" -v k="${peak[$name]}" -v b="$base" 'BEGIN {
            split(l, w, " ")
            printf "  %-34s wall min %6.2f s  median %6.2f s (%4.2fx)  user+sys %6.2f s  peak %5.1f MiB\n",
                   name, w[1], w[2], w[2] / b, c, k / 1024 }'
    done
}

echo "best of three runs each:"
measure binary "$work/trace.bin" --binary
measure text "$work/trace.txt" --text
ls -l "$work/out_call_list.csv" "$work/out_profile.csv" | awk '{ print "  " $5 " bytes  " $9 }'

files="--call-list $work/out_call_list.csv --profile $work/out_profile.csv"
null="--call-list /dev/null --profile $work/out_profile.csv"
echo "every output, the timeline a Perfetto trace, everything written to files (binary form):"
binary="$cli --binary"
compare "plain:$binary $files $work/trace.bin" \
    "every output:$binary $files ${every_output[*]} $work/trace.bin"
echo "every output, the timeline JSON; the call list and the timeline sent to /dev/null:"
compare "plain:$binary $null $work/trace.bin" \
    "every output:$binary $null --timeline $work/null.json ${other_outputs[*]} $work/trace.bin"

# The timeline's size in both forms, per completed call (the ExecuteTimes of the summary's
# functions); the JSON form is counted through a pipe instead of being written.
"$cli" --quiet --binary $null --timeline "$work/out_timeline.pftrace" --clock-hz 600e6 "$work/trace.bin"
mkfifo "$work/out_timeline.json"
wc -c <"$work/out_timeline.json" >"$work/out_json_size" &
"$cli" --quiet --binary $null --timeline "$work/out_timeline.json" --clock-hz 600e6 "$work/trace.bin"
wait
calls=$(awk -F, '/^Address/ { table++; next } table == 1 && NF > 9 { calls += $2 } END { print calls }' \
    "$work/out_profile.csv")
perfetto_size=$(stat -c %s "$work/out_timeline.pftrace")
json_size=$(cat "$work/out_json_size")
awk -v c="$calls" -v p="$perfetto_size" -v j="$json_size" 'BEGIN {
    printf "timeline of %d completed calls: Perfetto %d bytes (%.1f per call), JSON %d bytes (%.1f per call), %.1fx smaller\n",
           c, p, p / c, j, j / c, j / p }'

echo "best of three runs each:"
# The job replays a trace only up to the record that fills the function table.
measure "65536 functions, all" "$work/functions-65536.bin" --binary "${every_output[@]}"
measure "65535 functions, all" "$work/functions-65535.bin" --binary "${every_output[@]}"

echo "the text form against the binary form, both reports written:"
forms=("binary:$cli --binary $files $work/trace.bin" "text:$cli --text $files $work/trace.txt")
if [ -n "${BASELINE:-}" ]; then
    forms+=("binary, BASELINE:$BASELINE --binary $files $work/trace.bin"
            "text, BASELINE:$BASELINE --text $files $work/trace.txt")
fi
compare "${forms[@]}"
rm -f "$work"/out_*
