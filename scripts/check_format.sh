#!/usr/bin/env bash
# Fails, listing them, when C and C++ files that git tracks differ from what clang-format makes
# of them with the repository's .clang-format. Run from anywhere; `clang-format -i FILE` fixes
# a listed file.
set -euo pipefail
cd "$(dirname "$0")/.."

unformatted=()
while IFS= read -r -d '' file; do
  [[ -f "$file" ]] || continue  # deleted in the working tree, not yet committed
  if ! clang-format --style=file "$file" | cmp -s - "$file"; then unformatted+=("$file"); fi
done < <(git ls-files -z -- '*.c' '*.h' '*.cpp')

if ((${#unformatted[@]} > 0)); then
  echo "not formatted with clang-format (clang-format -i FILE):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "every C and C++ file is formatted"
