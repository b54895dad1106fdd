#!/usr/bin/env bash
# Drives analyser/analyse.pl over its pipe protocol (one path a line in, each
# answer ended by a byte of value 1 out) with awkward documents, checks that
# every answer reads without error under mivo's document notation
# (tests/data/check_notation.pl) and that it enters the expected pairs.
# Usage: analyse_test.sh <mivo binary> <source dir>
set -u
source "$2/tests/data/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src="$2"
analyser="$src/analyser/analyse.pl"
checker="$src/tests/data/check_notation.pl"
docs="$work/docs"
mkdir "$docs"

# analyse <options...>: sends the paths of $requests, one a line, to one run
# of the analyser; answers in $work/answers, messages in $work/errors, the
# checker's pairs in $work/pairs and its verdict in $checked.
analyse() {
  printf '%s\n' "${requests[@]}" | perl "$analyser" "$@" > "$work/answers" 2> "$work/errors"
  perl "$checker" "$work/answers" > "$work/pairs" 2> "$work/checker.errors"
  checked=$?
}

pairs_of() {  # pairs_of <answer number>: "head|modifier" lines, sorted
  awk -F '\t' -v n="$1" '$1 == n { print $3 "|" $4 }' "$work/pairs" | sort
}

answer_count() { tr -cd '\001' < "$work/answers" | wc -c; }

# ---- documents ----
printf '' > "$docs/empty.txt"
printf 'The red car stopped.\nRed CAR, blue sky of Bob'"'"'s home\n' > "$docs/phrase.txt"
printf 'green tree\r\nold house\r\n' > "$docs/crlf.txt"
printf 'left\0right word' > "$docs/nul.txt"
perl -e 'srand 7; print map { chr int rand 256 } 1 .. 65536' > "$docs/binary.txt"
printf '[ x ] {y} a|b "quoted words" back\\slash \\" comma,list ]]] {{ | , \\\nend\n' > "$docs/notation.txt"
printf 'well-known state--of art-  -dash it'"'"'s 1,000 3.14 e.g. x\n' > "$docs/connectors.txt"
{ head -c 20000 /dev/zero | tr '\0' 'q'; printf ' %s %s tail\n' \
    "$(printf 'k%.0s' $(seq 40))" "$(printf 'z%.0s' $(seq 41))"; } > "$docs/long.txt"
printf 'Привет мир ΚΑΛΗΜΈΡΑ κόσμε 東京 नमस्ते दुनिया café\xe2\x80\x99s' > "$docs/scripts.txt"
printf 'caf\xe9 cr\xe8me \xff\xfe br\xfbl\xe9e\n' > "$docs/latin1.txt"
mkdir "$docs/folder.txt"

requests=("$docs/empty.txt" "$docs/phrase.txt" "$docs/crlf.txt" "$docs/nul.txt"
          "$docs/binary.txt" "$docs/notation.txt" "$docs/connectors.txt"
          "$docs/long.txt" "$docs/scripts.txt" "$docs/latin1.txt"
          "$docs/missing.txt" "$docs/folder.txt" "$docs/phrase.txt")
analyse

# ---- every answer is there and reads cleanly ----
check "one answer per request" [ "$(answer_count)" -eq ${#requests[@]} ]
check "every answer reads without error" [ "$checked" -eq 0 ]
[ "$checked" -eq 0 ] || cat "$work/checker.errors"
check "only the two unreadable documents are reported" [ "$(wc -l < "$work/errors")" -eq 2 ]
check "a missing document is named" grep -q "missing.txt" "$work/errors"
check "a directory is named" grep -q "folder.txt': Is a directory" "$work/errors"
check "empty, missing and directory answers are empty" \
  [ -z "$(pairs_of 1)$(pairs_of 11)$(pairs_of 12)" ]

# ---- what the answers hold ----
expected_phrase='blue|
bob|
car|
car|red
home|
home|bob
red|
sky|
sky|blue
stopped|
stopped|car'
check "words fold case; pairs only between adjacent words, right word heads" \
  [ "$(pairs_of 2)" = "$expected_phrase" ]
check "the same document twice gives the same answer" [ "$(pairs_of 2)" = "$(pairs_of 13)" ]
check "CRLF: no carriage return in words, no pair across lines" \
  [ "$(pairs_of 3 | tr '\n' ' ')" = "green| house| house|old old| tree| tree|green " ]
check "a NUL byte parts words and ends nothing" \
  [ "$(pairs_of 4 | tr '\n' ' ')" = "left| right| word| word|right " ]
check "notation characters never reach a word" \
  [ "$(pairs_of 6 | tr '\n' ' ')" = "back| comma| end| list| quoted| slash| words| words|quoted " ]
check "connectors join inside words only" \
  [ "$(pairs_of 7 | tr '\n' ' ')" = "1000| 3.14| 3.14|1000 art| dash| state| state|well-known well-known| " ]
check "over-long words are dropped, a word at the limit kept" \
  [ "$(pairs_of 8 | cut -c1-3 | tr '\n' ' ')" = "kkk tai " ]
check "non-Latin scripts keep their letters and marks, folded" \
  grep -qx $'9\t1\tмир\tпривет' "$work/pairs"
check "Greek capitals fold" grep -q $'^9\t1\tκαλημέρα\t' "$work/pairs"
check "Devanagari combining marks stay in the word" grep -q $'^9\t1\tदुनिया\tनमस्ते$' "$work/pairs"
check "curly possessive folds to the word" grep -q $'^9\t1\tcafé\t$' "$work/pairs"
check "invalid UTF-8 parts words" \
  [ "$(pairs_of 10 | tr '\n' ' ')" = "br| caf| cr| " ]

# ---- lock-step: each answer arrives before the next request is sent ----
coproc ANALYSER { exec "$analyser"; }  # as mivo starts it: by its path
lock_step() {
  local answer
  printf '%s\n' "$docs/crlf.txt" >&"${ANALYSER[1]}"
  IFS= read -r -d $'\001' -t 20 answer <&"${ANALYSER[0]}" || return 1
  [[ "$answer" == *"[ tree , green ]"* ]] || return 1
  printf '%s\n' "$docs/empty.txt" >&"${ANALYSER[1]}"
  IFS= read -r -d $'\001' -t 20 answer <&"${ANALYSER[0]}" && [ -z "$answer" ]
}
check "answers come one by one, flushed" lock_step
analyser_pid=$ANALYSER_PID
eval "exec ${ANALYSER[1]}>&-"
wait "$analyser_pid"
check "the analyser ends cleanly when its input closes" [ $? -eq 0 ]

# ---- options ----
requests=("$docs/phrase.txt")
analyse -words
check "-words: no pairs" [ "$(pairs_of 1 | grep -c '|.')" -eq 0 ]
analyse "" -keep-stopwords ""
check "-keep-stopwords keeps 'the' and pairs across it (empty arguments ignored)" \
  grep -qx $'1\t1\tred\tthe' "$work/pairs"
printf 'red # colours\nSKY\n' > "$work/stop"
analyse -stopwords "$work/stop" -min-length 4
check "-stopwords and -min-length" [ "$(pairs_of 1 | tr '\n' ' ')" = "blue| home| stopped| " ]
check "an unknown option is refused" bash -c "! perl '$analyser' -bogus </dev/null 2>/dev/null"

summary analyse_test
