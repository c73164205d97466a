#!/usr/bin/env bash
# Starts Lumivex from the build folder given (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Lumivex needs a graphical desktop, and none was found (DISPLAY and WAYLAND_DISPLAY are unset)." >&2
    echo "Without a display, render images with: $build/bin/lumivex-render --output bild.bmp (see --help)." >&2
    exit 1
fi
exec "$build/bin/lumivex"
