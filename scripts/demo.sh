#!/usr/bin/env bash
# Installs what is needed, builds the plug-in and the stipplex command, and
# renders the demo: the built-in sunset picture as a halftone.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target stipplex stipplex_plugin

mkdir -p build/demo
out="$PWD/build/demo/stipplex-demo.png"
build/linux/src/app/stipplex render assets/demo-input.png "$out" --preset assets/demo.preset
echo "Demo image: $out"
