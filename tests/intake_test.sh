#!/usr/bin/env bash
# End-to-end intake: every listed document is analysed and stored once, the
# vocabulary is saved, and later runs over the same data directory analyse
# only documents they have not seen. An analyser that takes one read() per
# request and any number of analysers give the same data files and rank file
# as one line-buffered analyser; one that stops answering ends the run,
# keeping the profiles stored before; a document whose answer does not parse
# is analysed again by the next run.
# Usage: intake_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
source_dir="$2"
. "$2/tests/data/checks.sh"

# rc <analyser command> [<more settings>]
rc() { printf '[General]\nFileDirectory "corpus/files"\nAnalyser "%s"\n%s' "$1" "${2:-}" > mivo.rc; }
# A hang fails the run instead of blocking the test.
run() { timeout 60 "$mivo" "$@" >out 2>&1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p corpus/files
rc "$source_dir/tests/data/test_analyser.sh count $work/requests.log"
printf '[ sports car , red ]\n' > corpus/files/d1.txt
printf '[ election , early ] vote\n' > corpus/files/d2.txt
printf '{ car , fast } vote\n' > corpus/files/d3.txt
printf 'match\n' > corpus/files/d4.txt
printf 'd1.txt sports\nd2.txt politics\nd3.txt sports politics\n' > corpus/train
printf 'd4.txt sports\nd1.txt sports\n' > corpus/test

check "first run succeeds" run -vvv -xl -xt corpus
check "each document analysed once" [ "$(sort -u requests.log | wc -l)$(wc -l < requests.log)" == 44 ]
check "atoms saved" [ "$(cat data/atoms.dat)" == $'sports car\nred\nelection\nearly\nvote\ncar\nfast\nmatch' ]
check "terms saved" [ "$(wc -l < data/terms.dat)" -eq 5 ]
check "classes and profiles saved" [ -s data/classes -a -s data/profile-store.idx ]

check "second run succeeds" run -vvv -xl -xt corpus
check "second run analyses nothing" [ "$(wc -l < requests.log)" -eq 4 ]
check "second run still collects" grep -qx "collected testing document \`d4'" mivo.log

# Whole runs in fresh data directories; the first, with the line-buffered
# analyser, is the reference. The command line's -j beats the resource file.
one_read="$source_dir/tests/data/one_read_analyser.pl"
for setup in "line" "one-read" "one-read Analysers 2" "one-read Analysers 2 -j 3"; do
  set -- $setup
  [ $1 = line ] || rc "$one_read" "${2:-} ${3:-}"
  rm -rf data corpus/rank*
  check "$setup: run succeeds" run -vvv ${4:-} ${5:-} corpus
  mkdir -p "$1"
  for file in data/atoms.dat data/terms.dat corpus/rank0.dat; do
    [ $1 = line ] && cp $file line/ || check "$setup: same $file" cmp -s line/${file#*/} $file
  done
done
check "analysers logged" grep -qx "Analysers         3" mivo.log
run -j 65 corpus
check "-j 65 refused" grep -qx "ERROR: valid arguments to -j are 1 to 64" out
rc "$one_read" "Analysers 0"
run corpus
check "Analysers 0 refused" grep -q "parse error: Analysers: a whole number from 1 to 64 expected" out

# d2's answer does not parse: the run ends with a warning naming it, and the
# next run analyses it again and ranks as a clean run.
rc "$source_dir/tests/data/test_analyser.sh garble d2.txt"
rm -rf data corpus/rank*
check "garbled answer: run succeeds" run corpus
check "garbled answer: warning last" [ "$(tail -1 out)" == "WARNING: documents analysed with parse errors: 1 (d2); they keep the terms that parsed, and the next run analyses them again" ]
rc "$source_dir/tests/data/test_analyser.sh count $work/requests.log"
: > requests.log
run corpus
check "garbled document analysed again" [ "$(cat requests.log)" == corpus/files/d2.txt ]
check "garbled document ranked as by a clean run" cmp -s line/rank0.dat corpus/rank0.dat

# d3 is never answered: the run names it and keeps d1 and d2, which a later
# run does not analyse again.
rc "$source_dir/tests/data/test_analyser.sh hang-after 2" "AnalyserTimeout 1"
rm -rf data
run -vvv corpus
check "hung analyser ends the run" [ $? -ne 0 ]
check "hung analyser named with its document" grep -q "^ERROR: analyser \`.*hang-after 2' sent nothing for 1 seconds (AnalyserTimeout) while analysing document \`d3'" mivo.log
check "time-out logged" grep -qx "AnalyserTimeout   1" mivo.log
rc "$source_dir/tests/data/test_analyser.sh count $work/requests.log"
: > requests.log
run corpus
check "profiles before the hang kept" [ "$(sort requests.log | tr '\n' ' ')" == "corpus/files/d3.txt corpus/files/d4.txt " ]

summary
