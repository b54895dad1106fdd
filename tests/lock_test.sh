#!/usr/bin/env bash
# One process per data directory: while a run holds it, a second mivo on the
# same data directory stops at once and changes nothing there, and the first
# run finishes unharmed.
# Usage: lock_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

snapshot() { (cd "$work/data" && ls -l --time-style=full-iso && cat ./*) | md5sum; }

work=$(mktemp -d)
trap 'touch "$work/go"; rm -rf "$work"' EXIT
# The analyser holds its first answer back until the file "go" appears, so
# the first run is still collecting while the second one starts.
printf '#!/bin/sh\nwhile read -r path; do\n  echo "$path" >> %s/requests.log\n  until [ -e %s/go ]; do sleep 0.05; done\n  cat "$path"; printf "\\001"\ndone\n' \
  "$work" "$work" > "$work/held_analyser.sh"
chmod +x "$work/held_analyser.sh"
for run in first second; do
  mkdir -p "$work/$run/corpus/files"
  printf '[General]\nAnalyser "%s"\nFileDirectory "corpus/files"\nDataDirectory "%s"\n' \
    "$work/held_analyser.sh" "$work/data" > "$work/$run/mivo.rc"
  printf 'car red\n' > "$work/$run/corpus/files/a.txt"
  printf 'a.txt c1\n' > "$work/$run/corpus/train"
done

cd "$work/first" && { "$mivo" -xl -xt corpus >out 2>&1 & first=$!; }
for _ in $(seq 200); do [ -s "$work/requests.log" ] && break; sleep 0.05; done
before=$(snapshot)

cd "$work/second"
out=$(timeout 20 "$mivo" -xl -xt corpus 2>&1)
check "second run refused" [ $? -eq 1 ]
check "refusal names the directory" grep -qx "ERROR: data directory \`$work/data' is in use by another mivo process" <<<"$out"
check "data directory unchanged" [ "$(snapshot)" == "$before" ]
check "only the first run analysed" [ "$(wc -l < "$work/requests.log")" -eq 1 ]

# A run refused in the first run's own working directory leaves its log whole.
cd "$work/first" && timeout 20 "$mivo" -xl -xt corpus >/dev/null 2>&1

touch "$work/go"
wait "$first"
check "first run finishes" [ $? -eq 0 ]
check "its log keeps its start" [ "$(sed -n 2p "$work/first/mivo.log")" == "this is MIVO version: 1.4" ]
check "its log holds no NUL" [ "$(tr -d '\000' < "$work/first/mivo.log" | wc -c)" -eq "$(wc -c < "$work/first/mivo.log")" ]
check "first run saved its results" [ "$(cat "$work/data/atoms.dat")" == $'car\nred' -a -s "$work/data/classes" ]
"$mivo" -xl -xt corpus >/dev/null 2>&1
check "the directory is free again" [ $? -eq 0 ]

summary
