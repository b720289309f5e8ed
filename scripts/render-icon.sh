#!/usr/bin/env bash
# Renders the icon's 256-pixel PNG from its SVG, after the picture has been changed. The PNG is
# committed, so building and packaging never need the rendering tool.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh icon
rsvg-convert --width 256 --height 256 --output packaging/icons/hookmeter.png \
    packaging/icons/hookmeter.svg
echo "packaging/icons/hookmeter.png"
