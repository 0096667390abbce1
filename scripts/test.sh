#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal release build, and a debug
# build with AddressSanitizer and UndefinedBehaviorSanitizer; then runs every fuzzer briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
ctest --test-dir build/release --output-on-failure -j "$(nproc)"

scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPELLIX_SANITIZE=ON
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)"

scripts/fuzz_smoke.sh 20
