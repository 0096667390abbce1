#!/usr/bin/env bash
# Sets up, builds and runs the demo on the bundled example recordings.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
build/release/host/pellix demo "$@"
