#!/usr/bin/env bash
# The scripts that make examples directories. mivo-examples: the three input
# forms give the expected lists and files, the split stays put when documents
# are added, and bad input names its file and line and leaves no output, not
# even a half-built one. make-demo-corpus, from made-up fortune files: which
# files become classes, how entries split into documents, the train/test
# split, that a rebuild is identical and that the flat variant differs only
# in its classes.
# Usage: examples_test.sh <mivo binary> <source dir>
set -u
. "$2/tests/data/checks.sh"
convert="$2/scripts/mivo-examples"
scratch

mkdir -p "tree/sport/foot ball" tree/news tree/.hidden
printf 'goal\n' > "tree/sport/foot ball/g.txt"
printf 'race\n' > tree/sport/r.txt
printf 'vote\n' > tree/news/v
printf 'junk\n' > tree/.hidden/j.txt
printf '__label__sport/foot_ball goal\n\n__label__x:y  __label__?q   race\r\n' > in.txt
printf '%s\n' '{"body":"goal","c":"sport","t":["a b","c"]}' '{"body":"r\u00e9","t":"d"}' > in.jsonl

# form | arguments | the lists' lines, sorted | a document and its text
while IFS='|' read -r form args lines doc text; do
  "$convert" --test-share 0.5 $args "out-$form" > /dev/null
  check "$form: lists" [ "$(sort "out-$form/train" "out-$form/test" | tr '\n' ,)" = "$lines" ]
  check "$form: text" [ "$(cat "out-$form/files/$doc")" = "$text" ]
done <<'END'
folders|tree|news-v.txt news,sport-foot_ball-g.txt sport/foot_ball,sport-r.txt sport,|sport-foot_ball-g.txt|goal
labels|in.txt|in-1.txt sport/foot_ball,in-3.txt x_y _q,|in-3.txt|race
json|--text body --label c --label t in.jsonl|in-1.txt sport a_b c,in-2.txt d,|in-2.txt|ré
END

for i in $(seq 200); do printf '__label__c text %d\n' "$i"; done > many.txt
"$convert" many.txt split1 > /dev/null
"$convert" many.txt split2 > /dev/null
tests=$(wc -l < split1/test)
check "about a quarter are test documents" [ "$tests" -ge 30 -a "$tests" -le 70 ]
printf '__label__d new\n' >> many.txt
"$convert" --force many.txt split2 > /dev/null
check "the same input with a document more gives the same split for the others" \
  [ "$(grep -vh '^many-201' split2/test; echo; grep -vh '^many-201' split2/train)" = "$(cat split1/test; echo; cat split1/train)" ]

printf '{"body":"x","c":"a"}\n{"body":"x"}\n' > bad.jsonl
err=$("$convert" --text body --label c bad.jsonl bad 2>&1)
check "a document without class is refused" [ $? -ne 0 ]
check "the error names file and line" grep -q 'bad.jsonl:2: the document has no class' <<< "$err"
check "a failed conversion leaves nothing" [ "$(ls -A | grep -c bad$)" -eq 0 -a "$(ls -A | grep -c '^\.mivo')" -eq 0 ]
"$convert" --force --text body --label c bad.jsonl split2 2>/dev/null
check "a failed --force keeps the old output" [ -f split2/files/many-201.txt ]
check "an existing output is refused" bash -c "! '$convert' many.txt split1 2>/dev/null"
printf '__label__a_b x\n__label__a:b y\n' > clash.txt
check "classes that would merge are refused" bash -c "! '$convert' clash.txt clash 2>/dev/null"

# make-demo-corpus over made-up fortune files.
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
check "one document per non-empty entry of each topical file with 100 entries" [ "$(ls "$out/files" | wc -l)" -eq 220 ]
test_count=$(wc -l < "$out/test")
check "about a quarter of the documents are test documents" [ "$test_count" -ge 35 -a "$test_count" -le 75 ]
check "classes are grouped by subject" \
  [ "$(cut -d' ' -f2 "$out/train" "$out/test" | sort -u | tr '\n' ' ')" = "tech/computers tech/linux " ]
check "an entry keeps its lines and ends in one newline" \
  [ "$(cat "$out/files/computers-0001.txt")" = $'computers saying 1\n\tline two' ]
check "overstriking is taken out" grep -qx 'up 5' "$out/files/computers-0005.txt"

cp -r "$out" "$work/first"
touch "$out/files/stale.txt"
"$make_corpus" "$out" "$fortunes" > /dev/null
check "a rebuild gives the same corpus and drops stale documents" diff -r "$work/first" "$out"
"$make_corpus" -flat "$work/flat" "$fortunes" > /dev/null
check "the flat corpus has the same documents" diff -r "$out/files" "$work/flat/files"
check "the flat corpus has the same split, classed by fortune file alone" \
  diff <(sed 's| [a-z]*/| |' "$out/train" "$out/test") <(cat "$work/flat/train" "$work/flat/test")

summary examples_test
