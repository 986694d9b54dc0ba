#!/usr/bin/env bash
# Keeps the vendor-header build working without the vendor's headers: every
# effect API include goes through src/AEUtil/AESdk.h, and the option's own
# CMake path (system include folders, the platform define) is exercised by
# pointing it at our declarations as if they were the vendor's folder.
set -euo pipefail
cd "$(dirname "$0")/.."

api='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](AE_[A-Za-z_]*|A|SP[A-Za-z]*|PF[A-Za-z_]*|AEFX_[A-Za-z_]*|AEGP_[A-Za-z_]*|Param_Utils|String_Utils)\.h[>"]'
stray=$(git grep -n -E "$api" -- src tests bench ':!src/sdk' ':!src/AEUtil/AESdk.h' || true)
if [ -n "$stray" ]; then
  echo "error: effect API headers included past AESdk.h:" >&2
  echo "$stray" >&2
  exit 1
fi

build=build/sdk-option
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSTIPPLEX_TESTS=OFF \
  -DSTIPPLEX_AE_SDK_DIR="$PWD/src/sdk" >/dev/null
grep -q -- "-isystem $PWD/src/sdk" "$build/build.ninja" || {
  echo "error: the vendor folder is not a system include folder" >&2
  exit 1
}
cmake --build "$build" -j "$(nproc)" --target stipplex_plugin stipplex_host
echo "vendor-header option: plug-in and host build with the folder as system headers"
