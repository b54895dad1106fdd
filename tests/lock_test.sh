#!/usr/bin/env bash
# One process per data directory: while a run holds it, a second mivo on the
# same data directory stops at once, changes nothing there, and the first run
# finishes unharmed.
# Usage: lock_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

snapshot() { (cd "$work/data" && ls -l --time-style=full-iso && cat ./*) | md5sum; }

work=$(mktemp -d)
trap 'touch "$work/go"; rm -rf "$work"' EXIT
mkdir -p "$work/first/corpus/files" "$work/second/corpus/files"
# The analyser holds its first answer back until the file "go" appears, so
# the first run is still inside collection while the second one starts.
cat > "$work/held_analyser.sh" <<SCRIPT
#!/bin/sh
while IFS= read -r path; do
  echo "\$path" >> "$work/requests.log"
  while [ ! -e "$work/go" ]; do sleep 0.05; done
  cat "\$path"
  printf '\\001'
done
SCRIPT
chmod +x "$work/held_analyser.sh"
for run in first second; do
  printf '[General]\nAnalyser "%s"\nFileDirectory "corpus/files"\nDataDirectory "%s"\n' \
    "$work/held_analyser.sh" "$work/data" > "$work/$run/mivo.rc"
  printf 'car red\n' > "$work/$run/corpus/files/a.txt"
  printf 'a.txt c1\n' > "$work/$run/corpus/train"
done

cd "$work/first"
"$mivo" -xl -xt corpus >out 2>&1 &
first=$!
for _ in $(seq 200); do [ -s "$work/requests.log" ] && break; sleep 0.05; done
check "first run is analysing" [ -s "$work/requests.log" ]
before=$(snapshot)

cd "$work/second"
out=$(timeout 20 "$mivo" -xl -xt corpus 2>&1)
status=$?
check "second run refused" [ "$status" -eq 1 ]
check "refusal names the directory" grep -qx "ERROR: data directory \`$work/data' is in use by another mivo process" <<<"$out"
check "data directory unchanged" [ "$(snapshot)" == "$before" ]
check "second run analysed nothing" [ "$(wc -l < "$work/requests.log")" -eq 1 ]

touch "$work/go"
wait "$first"
check "first run finishes" [ $? -eq 0 ]
check "first run stored its classes" [ -s "$work/data/classes" ]
check "first run saved its vocabulary" [ "$(cat "$work/data/atoms.dat")" == $'car\nred' ]

cd "$work/second"
"$mivo" -xl -xt corpus >/dev/null 2>&1
check "the directory is free again" [ $? -eq 0 ]

summary
