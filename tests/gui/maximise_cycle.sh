#!/usr/bin/env bash
# The window on a real X display with a window manager: a start maximised, a restore long after the
# frame became known, a close, a start, a maximise, a close, three times over. The stored size must
# stay what it was; it used to grow by the frame each time. Skipped (77) without Xvfb, openbox,
# wmctrl and xdotool.
#
#   maximise_cycle.sh HOOKMETER
set -euo pipefail
program=$1
for tool in xvfb-run openbox wmctrl xdotool; do
    command -v "$tool" >/dev/null || { echo "no $tool: skipped"; exit 77; }
done

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$program" "$folder/hookmeter" # its settings file goes beside it
printf 'WinWidth=900\r\nWinHeight=700\r\nWinMax=true\r\n' > "$folder/profile.ini"

cat > "$folder/cycles.sh" <<'CYCLES'
set -u
folder=$1
openbox >/dev/null 2>&1 &
sleep 1
window() {
    for _ in $(seq 100); do
        w=$(xdotool search --name "Hookmeter v1.1.1" 2>/dev/null | head -1) && [ -n "$w" ] && break
        sleep 0.1
    done
    xdotool windowactivate --sync "$w" >/dev/null 2>&1
    echo "$w"
}
close() { xdotool key alt+F4; wait "$1"; }
for cycle in 1 2 3; do
    QT_QPA_PLATFORM=xcb "$folder/hookmeter" >/dev/null 2>&1 &
    app=$!
    w=$(window)
    sleep 2.5 # the frame is known by now
    wmctrl -i -r "$w" -b remove,maximized_vert,maximized_horz
    sleep 1
    close $app
    QT_QPA_PLATFORM=xcb "$folder/hookmeter" >/dev/null 2>&1 &
    app=$!
    w=$(window)
    wmctrl -i -r "$w" -b add,maximized_vert,maximized_horz
    sleep 1
    close $app
    echo "cycle $cycle: $(head -c 40 "$folder/profile.ini" | tr '\r\n' '  ')"
done
CYCLES
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" bash "$folder/cycles.sh" "$folder"
if ! head -c 40 "$folder/profile.ini" | tr -d '\r' | grep -qz '^WinWidth=900.WinHeight=700.WinMax=true'; then
    echo "the stored size changed:"; cat "$folder/profile.ini"; exit 1
fi
