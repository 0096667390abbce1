#!/usr/bin/env bash
# Sets up, builds and runs the demo on the bundled example recordings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Only the program the demo runs: the tests, benchmarks and desk are the test command's. The
# build's own lines go to a log, so that what the demo shows is its result.
scripts/quietly.sh build/release/demo-build.log "Building pellix" \
  scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release --target pellix
build/release/host/pellix demo "$@"
