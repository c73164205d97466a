#!/usr/bin/env bash
# Renders the default scene with lumivex-render and stores it as docs/default-scene.png.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$build/bin/lumivex-render" --output "$tmp/default.bmp"
mkdir -p docs
convert "$tmp/default.bmp" docs/default-scene.png
echo "docs/default-scene.png"
