#!/bin/sh
# Writes the seed corpora of the libFuzzer targets into DIR/<target>/: the symbol reader's from
# fuzz/corpus/symbols; the raw record reader's and the whole job's from the traces of the
# end-to-end cases and the examples (the first 4 KiB of each, behind the option bytes of the
# target), the whole job also with the sample executable.
#
#   fuzz/seeds.sh DIR
set -eu

if [ $# -ne 1 ]; then
    echo "usage: $0 DIR" >&2
    exit 2
fi
out=$1
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# seed DIR NAME FLAGS... FILE [EXECUTABLE]: writes one seed: the given leading bytes (octal),
# the first 4 KiB of the trace, and for an executable the marker and the executable.
seed() {
    dir=$1 name=$2 lead=$3 trace=$4 exe=${5:-}
    {
        printf "$lead"
        head -c 4096 "$trace"
        if [ -n "$exe" ]; then
            printf '\n--exe--\n'
            cat "$exe"
        fi
    } >"$dir/$name"
}

mkdir -p "$out/symbol_reader_fuzzer" "$out/raw_reader_fuzzer" "$out/profile_job_fuzzer"
cp fuzz/corpus/symbols/* "$out/symbol_reader_fuzzer/"
for trace in tests/e2e/cases/*/trace.txt examples/sample_trace.txt; do
    name=$(basename "$(dirname "$trace")")-$(basename "$trace")
    seed "$out/raw_reader_fuzzer" "$name" '\000' "$trace"
    seed "$out/profile_job_fuzzer" "$name" '\000\377' "$trace"
done
seed "$out/raw_reader_fuzzer" sample_trace.bin '\001' examples/sample_trace.bin
seed "$out/profile_job_fuzzer" sample_trace.bin '\001\377' examples/sample_trace.bin
seed "$out/profile_job_fuzzer" sample-with-exe.txt '\002\377' examples/sample_trace.txt \
    examples/sample.out
seed "$out/profile_job_fuzzer" sample-with-exe-all.bin '\037\007' examples/sample_trace.bin \
    examples/sample.out

