#!/usr/bin/env bash
# Takes docs/screenshot.png: the main window after processing the sample trace of examples/, on a
# virtual X display (Xvfb). The window is driven as a person would: the file type and the file
# names are set, "Process" is pressed, and the picture is taken once the job has ended. The reports
# go to a scratch directory; the real "profile.ini" is not touched.
#
#   scripts/screenshot.sh [OUTPUT.png]        (HOOKMETER_BUILD_DIR: build directory to use)
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/screenshot.png}
build=${HOOKMETER_BUILD_DIR:-build/screenshot}

bash scripts/install-deps.sh build gui test screenshot
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DHOOKMETER_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target hookmeter_screenshot >/dev/null

mkdir -p "$(dirname "$output")"
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/tests/gui/hookmeter_screenshot" "$output" \
    examples/sample_trace.bin binary examples/sample.out
