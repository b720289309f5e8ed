#!/usr/bin/env bash
# Installs the Debian packages a task needs, and only those that are missing.
#
#   scripts/install-deps.sh GROUP...
#   groups: build gui test desktop fuzz bench screenshot man package lintian icon viewers node
set -euo pipefail

packages=()
for group in "$@"; do
    case $group in
        build) packages+=(g++ make cmake) ;;
        gui) packages+=(qt6-base-dev) ;;
        test) packages+=(libgtest-dev libgmock-dev binutils diffutils protobuf-compiler) ;;
        desktop) packages+=(xvfb xauth openbox wmctrl xdotool) ;; # window tests on a real X display
        fuzz) packages+=(clang libclang-rt-14-dev) ;;
        bench) packages+=(time) ;;
        screenshot) packages+=(xvfb xauth) ;;
        man) packages+=(man-db groff-base) ;;
        package) packages+=(dpkg-dev file) ;;
        lintian) packages+=(lintian) ;;
        icon) packages+=(librsvg2-bin) ;;
        viewers) packages+=(chromium fonts-dejavu-core fonts-noto-color-emoji) ;; # timeline pictures
        node) packages+=(nodejs npm) ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root, or install these packages first: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends "${missing[@]}"
