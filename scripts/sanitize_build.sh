#!/usr/bin/env bash
# Configures and builds the sanitizer build in build/sanitize: clang, a debug build with
# AddressSanitizer and UndefinedBehaviorSanitizer, whose libraries also carry the fuzzers'
# coverage, so the fuzz targets are built from the same objects as the tests.
#   sanitize_build.sh [--target TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/build.sh build/sanitize -DCMAKE_BUILD_TYPE=Debug -DPELLIX_SANITIZE=ON -DPELLIX_FUZZ=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DPELLIX_BENCH=OFF "$@"
