#!/usr/bin/env bash
# Runs a build quietly: everything it prints goes to LOG, and one line says how far it is
# (ninja's "[done/total]" steps, on a terminal), then how long it took. A failed build shows the
# last lines of LOG and ends with the build's status.
#   scripts/quietly.sh LOG WHAT COMMAND [ARGS...]
set -euo pipefail
log=$1
what=$2
shift 2
mkdir -p "$(dirname "$log")"
: >"$log"
on_terminal=false
[ -t 2 ] && on_terminal=true
$on_terminal || echo "$what (its output goes to $log) ..." >&2
start=$SECONDS
set +e
"$@" 2>&1 </dev/null | while IFS= read -r line; do
  printf '%s\n' "$line" >>"$log"
  if $on_terminal && [[ $line =~ ^\[([0-9]+)/([0-9]+)\] ]]; then
    printf '\r\033[K%s: step %s of %s' "$what" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}" >&2
  fi
done
status=${PIPESTATUS[0]}
set -e
$on_terminal && printf '\r\033[K' >&2
if [ "$status" -ne 0 ]; then
  echo "$what failed (status $status); the end of $log:" >&2
  tail -n 40 "$log" >&2
  exit "$status"
fi
echo "$what: done in $((SECONDS - start)) s" >&2
