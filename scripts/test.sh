#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite twice: a normal release build (GCC), and a
# debug build with AddressSanitizer and UndefinedBehaviorSanitizer (clang, with the fuzzers);
# then the engine's own tests in a portable build (its loops in plain C++ only); then runs every
# fuzzer of the sanitizer build briefly. It first checks that every C and C++ file is
# formatted. Each stage says how long it took, so a slow one shows; the release tests run
# beside the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
stage() {
  local name=$1 from=$SECONDS
  shift
  "$@"
  echo "test.sh: $name took $((SECONDS - from)) s ($((SECONDS - started)) s so far)" >&2
}

# Two tests more than cores: several tests wait on a sound server's clock or on programs they
# start, and the processor should not sit idle meanwhile.
tests_at_once=$(($(nproc) + 2))

stage setup scripts/setup.sh
stage format scripts/check_format.sh
stage "release build" scripts/build.sh build/release -DCMAKE_BUILD_TYPE=Release
# The release tests wait on programs and on a sound server's clock more than they compute, so
# they run beside the sanitizer build, which yields the processor to them; their output and
# the time they went on after the build follow it.
release_log=$(mktemp "${TMPDIR:-/tmp}/pellix_release_tests.XXXXXX")
ctest --test-dir build/release --output-on-failure -j "$tests_at_once" >"$release_log" 2>&1 &
release_tests=$!
trap 'kill "$release_tests" 2>/dev/null || true; rm -f "$release_log"' EXIT
release_test_results() {
  local status=0
  wait "$release_tests" || status=$?
  cat "$release_log"
  return "$status"
}
stage "sanitizer build" nice -n 10 scripts/sanitize_build.sh
stage "release tests (after the sanitizer build)" release_test_results
stage "sanitizer tests" ctest --test-dir build/sanitize --output-on-failure -j "$tests_at_once"
stage "portable build" scripts/build.sh build/portable -DCMAKE_BUILD_TYPE=Release \
  -DPELLIX_PORTABLE=ON -DPELLIX_DESKTOP=OFF -DPELLIX_BENCH=OFF --target pellix_engine_tests
stage "portable engine tests" ctest --test-dir build/portable --output-on-failure -j "$(nproc)" -L engine
stage "fuzz smoke" scripts/fuzz_smoke.sh 10
