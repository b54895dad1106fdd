#!/usr/bin/env bash
# Builds the demo corpus from made-up fortune files and checks what the
# examples directory holds: which files become classes, how entries split
# into documents, the train/test split, that a rebuild is identical and that
# the flat variant differs only in its classes.
# Usage: demo_corpus_test.sh <mivo binary> <source dir>
set -u
source "$2/tests/data/checks.sh"
scratch
make_corpus="$2/scripts/make-demo-corpus"
fortunes="$work/fortunes"
mkdir "$fortunes"

# fortune_file <name> <entries>: entries "<name> saying <i>", the last one
# not followed by a "%" line; every fifth entry is underlined (overstruck).
fortune_file() {
  perl -e 'my ($name, $n) = @ARGV;
           print join "%\n", map { $_ % 5 ? "$name saying $_\n\tline two\n" : "_\x08u_\x08p $_\n" } 1 .. $n' \
    "$1" "$2" > "$fortunes/$1"
}
fortune_file computers 120
fortune_file medicine 99      # too few entries
fortune_file cookie 150       # not topical
printf 'linux saying\n%%\n\n%%\n' > "$fortunes/linux"
for i in $(seq 2 100); do printf 'linux %d\n%%\n' "$i"; done >> "$fortunes/linux"

out="$work/corpus dir"
check "the corpus builds" "$make_corpus" "$out" "$fortunes" > /dev/null
check "one document per entry of each topical file with 100 entries" [ "$(ls "$out/files" | wc -l)" -eq 220 ]
test_count=$(wc -l < "$out/test")
check "about a quarter of the documents are test documents" [ "$test_count" -ge 35 -a "$test_count" -le 75 ]
check "classes are grouped by subject" \
  [ "$(cut -d' ' -f2 "$out/train" "$out/test" | sort -u | tr '\n' ' ')" = "tech/computers tech/linux " ]
check "an entry keeps its lines and ends in one newline" \
  [ "$(cat "$out/files/computers-0001.txt")" = $'computers saying 1\n\tline two' ]
check "overstriking is taken out" grep -qx 'up 5' "$out/files/computers-0005.txt"
check "empty entries are skipped" grep -qx 'linux 2' "$out/files/linux-0002.txt"

cp -r "$out" "$work/first"
touch "$out/files/stale.txt"
"$make_corpus" "$out" "$fortunes" > /dev/null
check "a rebuild gives the same corpus and drops stale documents" diff -r "$work/first" "$out"
"$make_corpus" -flat "$work/flat" "$fortunes" > /dev/null
check "the flat corpus has the same documents" diff -r "$out/files" "$work/flat/files"
check "the flat corpus has the same split, classed by fortune file alone" \
  diff <(sed 's| [a-z]*/| |' "$out/train" "$out/test") <(cat "$work/flat/train" "$work/flat/test")

summary demo_corpus_test
