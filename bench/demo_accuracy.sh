#!/usr/bin/env bash
# Accuracy of mivo on the demo corpus: trains and tests on a flat variant of
# the corpus (the fortune files as classes, all sons of the root) and prints
# the micro-averaged F1 of the first-ranked class of every test document, then
# trains and tests on the two-level corpus of `make demo` and prints the
# micro-averaged F1 of mivo's own report (its "Total" line).
# A rank file ranks the root's sons only, which is why the first-ranked class
# is measured on the flat corpus. Every document has one class, so the
# first-ranked class's micro-F1 equals its precision at 1.
# Usage: bench/demo_accuracy.sh [ <build directory> [ <resource file> ] ]
# The resource file holds the settings to measure (default: demo/mivo.rc, the
# demo's); it must read its documents from "fortunes/files".
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$top/build}" && pwd)"
rc="$(cd "$(dirname "${2:-$top/demo/mivo.rc}")" && pwd)/$(basename "${2:-mivo.rc}")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# run_on <flat|hier> [-flat]: a work folder with its own corpus, analyser,
# settings and data directory, and one default run of mivo in it.
run_on() {
  local dir="$work/$1"
  mkdir -p "$dir"
  perl "$top/scripts/make-demo-corpus" ${2:-} "$dir/fortunes" > /dev/null
  cp "$top/analyser/analyse.pl" "$rc" "$dir/"
  (cd "$dir" && "$build/mivo" -r "$(basename "$rc")" fortunes > /dev/null)
}

# first_ranked_f1 <test list> <rank file>: precision, recall and F1 of the
# first-ranked class, micro-averaged over the test documents' classes.
first_ranked_f1() {
  awk 'FNR == NR { for (i = 2; i <= NF; i++) gold[$1 " " $i] = 1; classes += NF - 1; next }
       { split($2, best, ":"); predicted++; if (($1 " " best[1]) in gold) hits++ }
       END { p = predicted ? hits / predicted : 0; r = classes ? hits / classes : 0
             f = p + r ? 2 * p * r / (p + r) : 0
             printf "%.4f (precision %.4f, recall %.4f, %d documents)\n", f, p, r, classes }' "$1" "$2"
}

start=$(date +%s)
run_on flat -flat
echo "flat corpus, first-ranked class, micro-F1: $(first_ranked_f1 "$work/flat/fortunes/test" "$work/flat/fortunes/rank0.dat")"
run_on hier
awk '$1 == "Total" && NF == 5 { gsub("%", ""); printf "two-level corpus, mivo report, micro-F1: %.4f (precision %.4f, recall %.4f)\n", $4 / 100, $2 / 100, $3 / 100; exit }' \
  "$work/hier/mivo.log"
echo "settings: $rc; $(( $(date +%s) - start )) seconds"
