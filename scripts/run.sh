#!/usr/bin/env bash
# Starts Lumivex from the build folder given (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "Lumivex braucht eine grafische Oberfläche, es wurde aber keine gefunden (DISPLAY und WAYLAND_DISPLAY sind nicht gesetzt)." >&2
    echo "Ohne Bildschirm rendert lumivex-render Bilder: $build/bin/lumivex-render --output bild.bmp (mehr mit --help)." >&2
    exit 1
fi
exec "$build/bin/lumivex"
