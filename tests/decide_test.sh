#!/usr/bin/env bash
# Decisions: on a collection whose classes share words, so that mivo errs,
# decisions.dat names the classes the report counts (its Total line is what
# a count over the file gives), in the test list's order and names, whatever
# the decision settings. The explanations of the decisions add up to the
# scores and name the decided classes. Thresholds from held-out folds leave the trained
# model as it was, apart from the thresholds, and repeat from run to run.
# Usage: decide_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

scratch
cp "$2/analyser/analyse.pl" .
mkdir -p news/files
ln -s news/files files
RANDOM=7
classes=(sport/football sport/tennis arts economy)
for i in $(seq 0 79); do
  c=$((i % 4)) other=$(((i / 4) % 4))
  # Six words of its own class's ten, two of another's; one in eight has two classes.
  for j in 1 2 3 4 5 6; do printf 'w%d%d ' $c $((RANDOM % 10)); done > news/files/d$i.txt
  printf 'w%d%d w%d%d\n' $other $((RANDOM % 10)) $other $((RANDOM % 10)) >> news/files/d$i.txt
  label=${classes[c]}
  [ $((i % 8)) -eq 5 ] && label="$label ${classes[(c + 1) % 4]}"
  [ $((i % 5)) -eq 0 ] && list=test || list=train
  echo "d$i.txt $label" >> news/$list
done

# Micro precision and recall in percent from decisions.dat and the test list.
counted() {
  awk 'NR == FNR { for (i = 2; i <= NF; i++) { gold[$1, $i]; g++ }; next }
       { for (i = 2; i <= NF; i++) { p++; if (($1, $i) in gold) h++ } }
       END { printf "%.2f%% %.2f%%\n", 100 * h / p, 100 * h / g }' news/test news/decisions.dat
}

printf '[General]\nThresholdFolds 3\nGatedDescent on\nAlwaysDecide on\nPathMean on\nMaxRanks 2\nMinRanks 0\n[Winnow]\nWeightedUpdate on\n' > all.rc
for algorithm in W R S; do
  for rc in none all; do
    rm -rf data news/rank* news/decisions.dat
    [ $rc = none ] && options=() || options=(-r $rc)
    "$mivo" "${options[@]}" -a $algorithm news >/dev/null 2>&1
    total=$(awk '/^Total / { print $2, $3 }' mivo.log)
    check "$algorithm $rc: the report counts what decisions.dat holds" \
      [ -n "$total" -a "$(counted)" = "$total" ]
    check "$algorithm $rc: a line per listed document" [ "$(cut -d' ' -f1 news/decisions.dat)" = "$(cut -d' ' -f1 news/test)" ]
    check "$algorithm $rc: no explanations unless asked" [ ! -e news/explain.dat ]
  done
done

# Explanations, of the test documents and of two polled ones. Without
# scaling the rank file holds the very scores explained (to its 5 digits);
# the parts of each class must add up to its score, SBC's with its prior,
# siblings and ancestors, and -e 3 wins over the resource file's Explain 1.
# Prints what fails.
explained() {
  awk -F'\t' -v sbc=$1 '
    function close_class() {
      if (cls != "" && (sum - score > 1e-5 || score - sum > 1e-5)) print doc, cls, "adds up to", sum, "not", score
      if (cls != "" && sbc && rest != 3) print doc, cls, "lacks its prior, siblings or ancestors"
      cls = ""
    }
    FILENAME ~ /rank0/ { split($0, field, " "); for (i = 2; i in field; i++) { split(field[i], pair, ":"); ranked[field[1], pair[1]] = pair[2] } next }
    $1 == "document" { close_class(); doc = $3; documents[$2]++ }
    $1 == "class" { close_class(); cls = $3; score = $5; sum = 0; rest = 0
                    if (!((doc, cls) in ranked)) next
                    r = ranked[doc, cls]; d = score - r; e = 5e-5 * (r < 0 ? -r : r) + 1e-6; compared++
                    if (d > e || -d > e) print doc, cls, "scores", score, "in the rank file", r }
    $1 == "term" || $1 == "rest" { sum += $2; if ($1 == "term") terms[doc, cls]++ }
    $1 ~ /^(prior|siblings|ancestors)$/ { sum += $2; rest++ }
    END { close_class()
          for (k in terms) { most = terms[k] > most ? terms[k] : most }
          if (most != 3 || compared < 16) print "at most", most, "terms a class;", compared, "scores compared"
          if (documents["test"] != 16 || documents["poll"] != 2) print "blocks:", documents["test"], documents["poll"] }' \
    news/rank0.dat news/explain.dat
}
decided() {  # decided <phase>: "name.txt class..." for the classes explained as decided
  awk -F'\t' -v phase=$1 '$1 == "document" { if (line != "") print line; line = $2 == phase ? $3 : "" }
    $1 == "class" && $2 == "decided" && line != "" { line = line " " $3 }
    END { if (line != "") print line }' news/explain.dat | sort
}
mkdir -p input/in
cp news/files/d1.txt news/files/d3.txt input/in/
printf '[General]\nScaling off\nMaxRanks 2\nExplain 1\n' > explain.rc
for algorithm in W R S; do
  rm -rf data news/rank* news/explain.dat
  "$mivo" -r explain -e 3 -p -i input -a $algorithm news >/dev/null 2>&1
  check "$algorithm: explanations add up" [ -s news/explain.dat -a -z "$(explained $([ $algorithm = S ] && echo 1 || echo 0))" ]
  check "$algorithm: the classes decided in tests explained" diff <(sort news/decisions.dat) <(decided test)
  check "$algorithm: the classes polled explained" diff <(sed 's/:[^ ]*//g' news/rank1.dat | sort) <(decided poll)
done

# Saved with and without folds: profiles and weights alike but for the
# thresholds (the first line of either file).
save() {  # save <algorithm> <folds> <folder>
  printf '[General]\nSave on\nThresholdFolds %d\n' "$2" > save.rc
  rm -rf data news/rank* "$3" && mkdir "$3"
  "$mivo" -r save -a "$1" news >/dev/null 2>&1
  for f in data/class*.cp?; do tail -n +2 "$f" > "$3/$(basename "$f")"; done
  mv news/rank0.dat "$3.rank"
}
for algorithm in W R S; do
  save $algorithm 0 plain
  save $algorithm 3 folds
  save $algorithm 3 again
  check "$algorithm: folds leave the model as trained" diff -rq plain folds
  check "$algorithm: folds change the thresholds" bash -c '! cmp -s plain.rank folds.rank'
  check "$algorithm: runs with folds repeat" cmp -s folds.rank again.rank
done

summary decide_test
