#!/usr/bin/env bash
# Nasty documents and lists, one case a row: each whole run (with the shipped
# analyser) must end as the row says, "ok" (status 0, no error, every answer
# parsed, a rank file) or "error" (a status from 1 to 123 and an error
# matching the row's pattern), never with a crash, a hang or a sanitizer
# report.
# Usage: bad_input.sh [--short] <mivo binary> <source dir>
# The short form shrinks the two big cases (a 1 MB line, 300 classes on a
# line) so that it can run in every test suite.
set -u
line_repeats=600000 classes=3000
if [ "$1" = "--short" ]; then line_repeats=60000 classes=300; shift; fi
mivo="$(realpath "$1")"
top="$(realpath "$2")"
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each case says how the run must end, ok or error with its pattern, then
# writes into its own examples directory "ex" (with two ordinary documents,
# a.txt and b.txt) and may add to its own mivo.rc.
case_binary()    { ok; random_bytes 20000 > ex/files/x.txt; list x.txt sport; }
case_nul()       { ok; printf 'bank\0rate\0\0 market rate\n' > ex/files/x.txt; list x.txt sport; }
case_bad_utf8()  { ok; printf 'caf\xc3 \xff\xfe bank \xc0\xafrate\n' > ex/files/x.txt; list x.txt sport; }
case_huge_line() { ok; perl -e "print 'market rate bank ' x $line_repeats" > ex/files/x.txt; list x.txt sport; }
case_empty()     { ok; : > ex/files/x.txt; list x.txt sport; }
case_blank_name() { error 'my'; echo 'bank' > 'ex/files/my doc.txt'; list 'my doc.txt' sport; }
case_non_ascii_name() { ok; echo 'bank rate' > 'ex/files/caf'$'\xc3\xa9''.txt'; list 'caf'$'\xc3\xa9''.txt' $'\xc3\xa9''conomie'; }
case_crlf()      { ok; printf 'a.txt sport\r\nb.txt economy\r\n' > ex/train; printf 'a.txt sport\r\n' > ex/test; }
case_tabs()      { error 'ex/train'; printf 'a.txt\tsport\n' > ex/train; }
case_duplicates() { ok; printf 'a.txt sport\na.txt sport\nb.txt economy\nb.txt economy\n' > ex/train; printf 'a.txt sport\na.txt sport\n' > ex/test; }
case_train_and_test() { ok; printf 'a.txt sport\nb.txt economy\n' > ex/train; printf 'a.txt sport\n' > ex/test; }
case_many_classes() {
  ok
  perl -e 'print "a.txt", map({ " c$_" } 1 .. $ARGV[0]), "\n"' "$classes" > ex/train
  printf 'b.txt c1\n' > ex/test
}
case_missing()   { error 'gone'; list gone.txt sport; }
case_control_name() { error 'x'; echo bank > ex/files/$'x\x01y.txt'; list $'x\x01y.txt' sport; }
case_binary_list() { error 'ex/train|ex/files|class name'; random_bytes 3000 | tr -d '\n' > ex/train; }
case_directory_doc() { error 'd'; mkdir ex/files/d.txt; list d.txt sport; }
case_no_lists()  { error 'neither'; rm -f ex/train ex/test; }
case_outside()   { error 'outside the documents directory'; echo bank > outside.txt; list ../../outside.txt sport; }

ok() { expect=ok pattern=''; }
error() { expect=error pattern="$1"; }
random_bytes() { perl -e 'srand(5); print map { chr int rand 256 } 1 .. $ARGV[0]' "$1"; }

list() {  # list <document> <class>: the train list, and a test list of a.txt
  printf '%s %s\nb.txt economy\n' "$1" "$2" > ex/train
  printf 'a.txt sport\n' > ex/test
}

failures=0 total=0
for name in $(declare -F | sed -n 's/^declare -f case_//p'); do
  total=$((total + 1))
  dir="$work/$name"
  mkdir -p "$dir/ex/files"
  cd "$dir"
  printf '[General]\nFileDirectory "ex/files"\nAnalyser "%s"\nSave on\n' \
    "$top/analyser/analyse.pl" > mivo.rc
  echo 'market rate bank' > ex/files/a.txt
  echo 'match goal player' > ex/files/b.txt
  "case_$name"
  started=$SECONDS
  timeout 120 "$mivo" ex >out 2>&1
  status=$?
  [ -n "${TIMES:-}" ] && echo "$name: $((SECONDS - started))s"
  fault=""
  if [ "$status" -ge 124 ] || grep -qE 'Sanitizer|runtime error|failed assertion' out; then
    fault="crashed or hung (status $status)"
  elif [ "$expect" = ok ] && { [ "$status" -ne 0 ] || grep -qE '^ERROR|parse errors' out || { [ -e ex/test ] && ! [ -e ex/rank0.dat ]; }; }; then
    fault="did not succeed (status $status)"
  elif [ "$expect" = error ] && { [ "$status" -eq 0 ] || ! grep -qE "^ERROR: .*($pattern)" out; }; then
    fault="no clear error (status $status)"
  fi
  if [ -n "$fault" ]; then
    failures=$((failures + 1))
    echo "input case $name: $fault"; grep -m3 -E 'ERROR|Sanitizer|error|assertion' out
  fi
done

echo "input: $total cases, $failures failures"
[ "$failures" -eq 0 ]
