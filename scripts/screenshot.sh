#!/usr/bin/env bash
# Takes docs/screenshot.png, docs/screenshot-flame.png, docs/screenshot-timeline.png and
# docs/screenshot-timeline-worst.png: the main window after processing the sample trace of
# examples/, with its results, then its flame graph tab, then its timeline tab with the whole trace
# and zoomed in on the worst call of the function that takes the most time, on a virtual X display
# (Xvfb). The window is driven as a person would: the file type and the file
# names are set (relative to the repository, so the pictures show no folders of this machine),
# "Process" is pressed, and the pictures are taken once the job has ended. The reports go to
# build/screenshot/reports; the real "profile.ini" is not touched.
#
#   scripts/screenshot.sh [OUTPUT.png [FLAME.png [TIMELINE.png [WORST.png]]]]
#   (HOOKMETER_BUILD_DIR: build directory to use)
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/screenshot.png}
flame=${2:-docs/screenshot-flame.png}
timeline=${3:-docs/screenshot-timeline.png}
zoomed=${4:-docs/screenshot-timeline-worst.png}
build=${HOOKMETER_BUILD_DIR:-build/screenshot}

bash scripts/install-deps.sh build gui test screenshot
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target hookmeter_screenshot >/dev/null

mkdir -p "$(dirname "$output")" "$(dirname "$flame")" "$(dirname "$timeline")" "$(dirname "$zoomed")"
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1400x1100x24" \
    "$build/tests/gui/hookmeter_screenshot" --flame "$flame" --timeline "$timeline" "$zoomed" "$output" \
    examples/sample_trace.bin binary examples/sample.out
