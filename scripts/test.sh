#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal release build, and a debug
# build with AddressSanitizer and UndefinedBehaviorSanitizer; then the engine's own tests in a
# portable build (its loops in plain C++ only); then runs every fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release --output-on-failure -j "$(nproc)"

scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPELLIX_SANITIZE=ON
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

cmake -S . -B build/portable -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELLIX_PORTABLE=ON \
  -DPELLIX_DESKTOP=OFF -DPELLIX_BENCH=OFF >/dev/null
cmake --build build/portable -j "$(nproc)" --target pellix_engine_tests
ctest --test-dir build/portable --output-on-failure -j "$(nproc)" -L engine

scripts/fuzz_smoke.sh 20
