#!/usr/bin/env bash
# Measures the desktop program under its own Xvfb: the time from process start to the first
# presented frame (median of five starts) and the frames per second the preview presents
# while a slider is dragged. Needs Xvfb, xdotool and python3 (standard library only).
#
#   scripts/measure-ui.sh [build-dir] [--starts N] [--drag-seconds S] [--verbose]
#
# build-dir defaults to build/ of this checkout, wherever the script is started from.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
if [[ $# -gt 0 && $1 != --* ]]; then
    build=$1
    shift
fi
program=$build/bin/lumivex
if [[ ! -x $program ]]; then
    echo "measure-ui: $program not found; build it first (cmake --build $build --target lumivex)" >&2
    exit 1
fi
for tool in Xvfb xdotool python3; do
    if ! command -v "$tool" > /dev/null; then
        echo "measure-ui: $tool is missing (Debian packages xvfb, xdotool, python3)" >&2
        exit 1
    fi
done
exec python3 "$root/tests/e2e/measure_ui.py" --program "$program" "$@"
