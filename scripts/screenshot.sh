#!/usr/bin/env bash
# Takes docs/screenshot.png and docs/screenshot-flame.png: the main window after processing the
# sample trace of examples/, with its results, then its flame graph tab, on a virtual X display
# (Xvfb). The window is driven as a person would: the file type and the file
# names are set (relative to the repository, so the pictures show no folders of this machine),
# "Process" is pressed, and the pictures are taken once the job has ended. The reports go to
# build/screenshot/reports; the real "profile.ini" is not touched.
#
#   scripts/screenshot.sh [OUTPUT.png [FLAME.png]]   (HOOKMETER_BUILD_DIR: build directory to use)
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/screenshot.png}
flame=${2:-docs/screenshot-flame.png}
build=${HOOKMETER_BUILD_DIR:-build/screenshot}

bash scripts/install-deps.sh build gui test screenshot
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target hookmeter_screenshot >/dev/null

mkdir -p "$(dirname "$output")" "$(dirname "$flame")"
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1400x1100x24" \
    "$build/tests/gui/hookmeter_screenshot" --flame "$flame" "$output" \
    examples/sample_trace.bin binary examples/sample.out
