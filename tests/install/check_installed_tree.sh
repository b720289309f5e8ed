#!/usr/bin/env bash
# The tree that "cmake --install" makes runs from where it lies: its hookmeter-cli turns the
# installed sample into the same reports and status lines as the build tree's hookmeter-cli does
# from examples/, and its window starts and, on SIGTERM, closes as a user would close it, keeping
# its settings beside the program (the stage's bin folder is writable).
#
#   check_installed_tree.sh BUILD_DIR SOURCE_DIR WORK_DIR VERSION GUI(ON|OFF)
set -euo pipefail
build=$1 source=$2 work=$3 version=$4 gui=$5
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
stage=$work/stage
cmake --install "$build" --prefix "$stage" >/dev/null

expected=(bin/hookmeter-cli share/man/man1/hookmeter-cli.1.gz share/doc/hookmeter/README.md
          share/doc/hookmeter/copyright share/doc/hookmeter/changelog.gz)
[ "$gui" = ON ] && expected+=(bin/hookmeter share/man/man1/hookmeter.1.gz
    share/applications/hookmeter.desktop share/icons/hicolor/scalable/apps/hookmeter.svg
    share/icons/hicolor/256x256/apps/hookmeter.png)
for file in "${expected[@]}"; do
    [ -f "$stage/$file" ] || fail "not installed: $file"
done
for file in sample.out sample_trace.bin sample_trace.txt; do
    cmp "$source/examples/$file" "$stage/share/hookmeter/examples/$file" || fail "example $file"
done

[ "$("$stage/bin/hookmeter-cli" --version)" = "hookmeter-cli $version" ] || fail "--version"

process() { # CLI EXAMPLES OUT
    mkdir -p "$3"
    "$1" --binary --all-symbols --exe "$2/sample.out" --call-list "$3/call_list.csv" \
        --profile "$3/profile.csv" "$2/sample_trace.bin" >"$3/status.txt"
}
process "$stage/bin/hookmeter-cli" "$stage/share/hookmeter/examples" "$work/installed"
process "$build/cli/hookmeter-cli" "$source/examples" "$work/built"
for file in status.txt call_list.csv profile.csv; do
    cmp "$work/installed/$file" "$work/built/$file" || fail "$file differs from the build tree's"
done

if [ "$gui" = ON ]; then
    status=0
    QT_QPA_PLATFORM=offscreen timeout --preserve-status -s TERM -k 10 4 "$stage/bin/hookmeter" ||
        status=$?
    [ $status -eq 0 ] || fail "the installed window did not close cleanly on SIGTERM: status $status"
    grep -q '^WinMax=false' "$stage/bin/profile.ini" || fail "no settings written beside the program"
fi
rm -rf "$work"
echo "the installed tree runs"
