#!/usr/bin/env bash
# Builds and runs every test: the release build (unit, end-to-end, window, install and load
# tests, the last with ctest label "soak"), the Debian package installed and run (as root only: it
# installs and removes the package), the address and undefined-behaviour sanitizer build, the
# thread sanitizer build of the threaded tests, and a short fuzzing run of each libFuzzer target
# (symbol reader, raw record reader, whole job).
#
#   scripts/run-tests.sh [--quick]     --quick: the release build's tests only
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
[ "${1:-}" = "--quick" ] && quick=true

bash scripts/install-deps.sh build gui test desktop fuzz man

step() { printf '\n=== %s\n' "$*"; }

step "release build"
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release -j2
$quick && exit 0

# The package built from the release build, installed with dpkg as on a user's machine, its
# programs run from /usr, and the package removed again.
test_installed_package() {
    bash scripts/install-deps.sh package lintian
    HOOKMETER_BUILD_DIR=build/release bash scripts/package.sh
    local deb
    deb=$(ls build/package/hookmeter_*.deb)
    lintian --fail-on error "$deb"
    trap 'dpkg -r hookmeter >/dev/null 2>&1 || true' EXIT
    dpkg -i "$deb" || DEBIAN_FRONTEND=noninteractive apt-get install -f -y -q

    local scratch
    scratch=$(mktemp -d)
    chmod 755 "$scratch"
    local examples=/usr/share/hookmeter/examples
    mkdir "$scratch/installed" "$scratch/built"
    hookmeter-cli --binary --exe $examples/sample.out --call-list "$scratch/installed/call_list.csv" \
        --profile "$scratch/installed/profile.csv" $examples/sample_trace.bin \
        >"$scratch/installed/status.txt"
    build/release/cli/hookmeter-cli --binary --exe examples/sample.out \
        --call-list "$scratch/built/call_list.csv" --profile "$scratch/built/profile.csv" \
        examples/sample_trace.bin >"$scratch/built/status.txt"
    diff -r "$scratch/built" "$scratch/installed"
    echo "installed hookmeter-cli: the same reports and status lines as the build tree's"

    # The window, as an ordinary user who may not write /usr/bin: it must start, close on SIGTERM
    # as if the user had closed it, and keep its settings in that user's configuration folder.
    local home=$scratch/home
    mkdir -m 700 "$home"
    chown nobody "$home"
    local status=0 started=$SECONDS
    timeout --preserve-status -s TERM -k 10 5 \
        setpriv --reuid=nobody --regid=nogroup --clear-groups \
        env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home" \
        QT_QPA_PLATFORM=offscreen hookmeter || status=$?
    if [ $status -ne 0 ] || [ $((SECONDS - started)) -lt 5 ] ||
        ! grep -q '^WinMax=false' "$home/config/hookmeter/profile.ini" ||
        [ -e /usr/bin/profile.ini ]; then
        echo "installed hookmeter: did not run until SIGTERM and close cleanly (status $status)" >&2
        return 1
    fi
    echo "installed hookmeter: started, closed on SIGTERM, settings in ~/.config/hookmeter"

    rm -rf "$scratch"
    dpkg -r hookmeter
    trap - EXIT
    if [ -e /usr/bin/hookmeter-cli ] || [ -e /usr/bin/hookmeter ]; then
        echo "the programs are still installed after dpkg -r" >&2
        return 1
    fi
}

if [ "$(id -u)" -eq 0 ]; then
    step "Debian package: build, install, run, remove"
    test_installed_package
fi

step "address and undefined-behaviour sanitizers"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2

step "thread sanitizer: jobs, their threads and the window"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
ctest --preset tsan -j2 -L 'threads|base|core|analysis|job|cli|e2e'

step "fuzzing: 45 seconds for each target"
bash fuzz/run.sh 45
