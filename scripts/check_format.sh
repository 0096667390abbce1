#!/usr/bin/env bash
# Fails, listing them, when C and C++ files that git tracks differ from what clang-format makes
# of them with the repository's .clang-format. Run from anywhere; `clang-format -i FILE` fixes
# a listed file.
set -euo pipefail
cd "$(dirname "$0")/.."

# One clang-format process for all files (one each costs a minute on a busy machine); it names
# each file it would change in its warnings.
unformatted=$(git ls-files -z -- '*.c' '*.h' '*.cpp' |
  { xargs -0 clang-format --style=file --dry-run --Werror 2>&1 || true; } |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ -n "$unformatted" ]; then
  echo "not formatted with clang-format (clang-format -i FILE):" >&2
  printf '  %s\n' $unformatted >&2
  exit 1
fi
echo "every C and C++ file is formatted"
