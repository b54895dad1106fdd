#!/usr/bin/env bash
# Explores mivo's settings on the demo corpus: runs bench/demo_accuracy.sh once
# per line of a settings file and prints one result line per setting.
# A settings line is resource-file text with "|" for a line break, e.g.
#   TermSelection infogain | Selectivity 0.01
#   Strength sqrt | [Winnow] | Alpha 1.2 | Beta 0.8
# The demo's FileDirectory is put in front of every line.
# Usage: bench/demo_sweep.sh <settings file> [ <build directory> ]
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
settings="$1"
build="${2:-$top/build}"
rc_dir="$(mktemp -d)"
trap 'rm -rf "$rc_dir"' EXIT

printf '%-8s %-8s  %s\n' flat-F1 tree-F1 settings
grep -v '^[[:space:]]*\(#\|$\)' "$settings" | while IFS= read -r line; do
  { printf '[General]\nFileDirectory "fortunes/files"\n'; tr '|' '\n' <<< "$line"; } > "$rc_dir/mivo.rc"
  result="$(bash "$top/bench/demo_accuracy.sh" "$build" "$rc_dir/mivo.rc")"
  flat="$(sed -n 's/^flat corpus.*micro-F1: \([0-9.]*\).*/\1/p' <<< "$result")"
  tree="$(sed -n 's/^two-level corpus.*micro-F1: \([0-9.]*\).*/\1/p' <<< "$result")"
  printf '%-8s %-8s  %s\n' "$flat" "$tree" "$line"
done
