#!/usr/bin/env bash
# On a terminal a long phase shows one line that is drawn over and over with
# its progress, and a run without -v ends with a line naming the report's
# Total and the files written; a run whose standard error is redirected
# writes neither, and the event log holds neither.
# Usage: progress_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

scratch
# An analyser slow enough that profiling takes a few seconds.
printf '#!/bin/sh\nwhile IFS= read -r path; do sleep 0.05; cat "$path"; printf "\\001"; done\n' > slow.sh
chmod +x slow.sh
mkdir -p ex/files
for i in $(seq 60); do
  class=$([ $((i % 2)) -eq 0 ] && echo red || echo blue)
  echo "$class word$i $class" > ex/files/d$i.txt
  echo "d$i.txt $class" >> ex/$([ "$i" -le 45 ] && echo train || echo test)
done
printf '[General]\nAnalyser "%s/slow.sh"\nFileDirectory "ex/files"\n' "$work" > mivo.rc

script -qfec "$mivo ex" /dev/null > terminal.out
check "terminal run succeeds" [ $? -eq 0 ]
check "closing line on the terminal" grep -q "Total: F [0-9.]*% (precision [0-9.]*%, recall [0-9.]*%); written: ex/rank0.dat, ex/decisions.dat" terminal.out
check "progress line on the terminal" grep -q 'profiling: [0-9]* of 60 documents, [0-9]* a second, 0:[0-9][0-9] left' terminal.out
rm -rf data ex/rank*
"$mivo" ex > redirected.out 2>&1
check "redirected run succeeds" [ $? -eq 0 ]
check "no progress when redirected" [ ! -s redirected.out ]
check "no progress in the log" bash -c '! grep -q "documents, .* a second" mivo.log'
summary progress_test
