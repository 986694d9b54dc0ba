#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the native
# tests, the same tests under address and undefined-behaviour sanitizers, the
# parallel paths under the thread sanitizer, a short run of every fuzz target,
# and the Windows build (Stipplex.aex) with its tests under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

# Each stage says when it starts, so a slow run shows where its time went.
stage() { echo "== [+${SECONDS}s] $*"; }

stage "formatting"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
fi

stage "folders include one way"
scripts/check-layers.py

stage "vendor-header option"
scripts/check-sdk-option.sh

run_preset() {
  local preset=$1
  stage "${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
}

run_preset linux
stage "linux: tests"
ctest --preset linux -j "$jobs"

stage "linux: the studio in a browser (chromium, headless)"
(cd tests/browser && npm ci --no-audit --no-fund --loglevel=error)
STIPPLEX="$PWD/build/linux/src/app/stipplex" node --test tests/browser/studio.test.mjs

run_preset linux-asan
stage "linux-asan: tests"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset linux-asan -j "$jobs"

# The parallel paths under the thread sanitizer: frames of one instance
# rendered by several threads at once, and `stipplex render --threads`.
stage "linux-tsan: configure and build the parallel paths"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j "$jobs" \
  --target stipplex_host_tests stipplex_effect_tests stipplex_cli_tests stipplex
stage "linux-tsan: tests"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset linux-tsan -j "$jobs" \
  -R 'MultiFrame|FramesRenderedAtOnce'

stage "fuzz: the libFuzzer targets, a short smoke of each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs" --target stipplex_fuzzers
scripts/fuzz.sh 10

run_preset windows
stage "windows: the plug-in's imports and exports"
scripts/check-aex.sh build/windows/Stipplex.aex
stage "windows: tests under Wine"
# Window tests need a display: Wine gets a virtual one.
xvfb-run -a -s "-screen 0 1600x1000x24" ctest --preset windows

stage "native and Windows builds render the same bytes"
build/linux/tests/stipplex_render_matrix > build/render-matrix-linux.txt
(cd build/windows/tests && WINEPREFIX="$PWD/../wineprefix" WINEDEBUG=-all \
  wine ./stipplex_render_matrix.exe) | tr -d '\r' > build/render-matrix-windows.txt
if ! diff build/render-matrix-linux.txt build/render-matrix-windows.txt; then
  echo "error: the Windows build renders different bytes (left: native, right: Windows)" >&2
  exit 1
fi
echo "$(wc -l < build/render-matrix-linux.txt) frames identical"

echo "All test suites passed in ${SECONDS}s."
