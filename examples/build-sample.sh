#!/bin/sh
# shellcheck disable=SC2086 # the compiler flag variables are word-split on purpose
# Rebuilds the sample program and regenerates the checked-in outputs next to this script:
#   sample.out        32-bit ELF executable with its symbol table (not stripped)
#   sample_trace.bin  raw hook records, binary form
#   sample_trace.txt  the same records, text form
# Needs gcc with 32-bit support (Debian's gcc-multilib); installs it when it is missing.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
src="$here/sample"

ensure_multilib() {
    if dpkg -s gcc-multilib >/dev/null 2>&1; then
        return
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "build-sample.sh: gcc-multilib is missing; run as root or install it first" >&2
        exit 1
    fi
    echo "build-sample.sh: installing gcc-multilib" >&2
    if ! apt-get install -y gcc-multilib; then
        apt-get update
        apt-get install -y gcc-multilib
    fi
}

ensure_multilib

# 32-bit and not position independent, so the addresses in the records equal the symbol values;
# functions aligned to 16 so every address leaves bits 1..0 free for the record kind.
CC=${CC:-gcc}
CFLAGS="-m32 -O1 -std=c11 -Wall -Wextra -fno-pie -falign-functions=16"
HOOKED="-finstrument-functions"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Compile from inside the source directory so that only base names end up in the executable.
cd "$src"
$CC $CFLAGS -c hooks.c -o "$work/hooks.o"
for module in main scheduler tasks dsp tree; do
    $CC $CFLAGS $HOOKED -c "$module.c" -o "$work/$module.o"
done
$CC -m32 -no-pie -Wl,--build-id=none -o "$work/sample.out" \
    "$work/main.o" "$work/scheduler.o" "$work/tasks.o" "$work/dsp.o" "$work/tree.o" \
    "$work/hooks.o"

# Run it where the outputs are made, then put all three in place together.
cd "$work"
./sample.out sample_trace.bin sample_trace.txt
cp sample.out sample_trace.bin sample_trace.txt "$here/"

python3 "$here/check_trace.py" --exe "$here/sample.out" \
    --binary "$here/sample_trace.bin" --text "$here/sample_trace.txt"
