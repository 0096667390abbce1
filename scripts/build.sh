#!/usr/bin/env bash
# Configures and builds one build folder: build.sh DIR [CMAKE_ARGS...] [--target TARGET...]
# Without --target, everything the configuration enables is built. ccache is used when present.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1
shift
args=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = --target ]; then
    shift
    targets=("$@")
    break
  fi
  args+=("$1")
  shift
done
if command -v ccache >/dev/null; then
  args+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
