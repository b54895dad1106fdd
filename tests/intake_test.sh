#!/usr/bin/env bash
# End-to-end intake: every listed document is analysed and stored once, the
# vocabulary is saved, and later runs over the same data directory analyse
# only documents they have not seen.
# Usage: intake_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
source_dir="$2"
. "$2/tests/data/checks.sh"

profiled() { grep -c "^profiling document" mivo.log; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p corpus/files
printf '[General]\nFileDirectory "corpus/files"\nAnalyser "%s %s"\n' \
  "$source_dir/tests/data/counting_analyser.sh" "$work/requests.log" > mivo.rc
printf '[ sports car , red ]\n' > corpus/files/d1.txt
printf '[ election , early ] vote\n' > corpus/files/d2.txt
printf '{ car , fast } vote\n' > corpus/files/d3.txt
printf 'match\n' > corpus/files/d4.txt
printf 'd1.txt sports\nd2.txt politics\nd3.txt sports politics\n' > corpus/train
printf 'd4.txt sports\nd1.txt sports\n' > corpus/test

"$mivo" -vvv -xl -xt corpus >out 2>&1
check "first run succeeds" [ $? -eq 0 ]
check "each document analysed once" [ "$(sort requests.log | uniq -c | awk '{print $1}' | sort -u)" == 1 ]
check "four requests" [ "$(wc -l < requests.log)" -eq 4 ]
check "four profiled" [ "$(profiled)" -eq 4 ]
check "d3 collected under both classes" [ "$(grep -c "^collected training document \`d3'$" mivo.log)" -eq 2 ]
check "atoms saved" [ "$(cat data/atoms.dat)" == $'sports car\nred\nelection\nearly\nvote\ncar\nfast\nmatch' ]
check "terms saved" [ "$(wc -l < data/terms.dat)" -eq 5 ]
check "classes saved" [ -s data/classes ]
check "profiles stored" [ -s data/profile-store.idx ]
cp data/atoms.dat atoms.before

"$mivo" -vvv -xl -xt corpus >out 2>&1
check "second run succeeds" [ $? -eq 0 ]
check "second run analyses nothing" [ "$(wc -l < requests.log)" -eq 4 ]
check "second run profiles nothing" [ "$(profiled)" -eq 0 ]
check "second run still collects" grep -qx "collected testing document \`d4'" mivo.log
check "vocabulary unchanged" cmp -s atoms.before data/atoms.dat

printf 'goal match\n' > corpus/files/d5.txt
printf 'd5.txt sports\n' >> corpus/train
"$mivo" -vvv -xl -xt corpus >out 2>&1
check "third run succeeds" [ $? -eq 0 ]
check "only the new document analysed" [ "$(tail -n 1 requests.log)" == "corpus/files/d5.txt" ] &&
  check "five requests" [ "$(wc -l < requests.log)" -eq 5 ]
check "only the new atom appended" [ "$(tail -n 1 data/atoms.dat)" == goal ]

summary
