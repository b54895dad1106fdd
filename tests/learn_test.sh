#!/usr/bin/env bash
# End-to-end learning: on a small collection whose classes differ by their
# words every algorithm classifies every test document right, and a run
# repeats byte for byte. A saved model classifies in later -xl runs exactly as
# in the run that trained it, and polls new documents; -xt neither polls nor
# replaces a stored model with an untrained one.
# Usage: learn_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$2/analyser/analyse.pl" .   # the default analyser, found in the working directory

football=(goal striker referee penalty keeper offside midfield corner)
tennis=(racket serve volley deuce baseline backhand forehand tiebreak)
economy=(inflation market shares bank interest bond investor budget)

document() {  # document <file> <index> <words...>: six of the words, by index
  local file=$1 i=$2
  shift 2
  local words=("$@") text="" j
  for j in 0 1 2 3 4 5; do text+="${words[$(( (i * 3 + j * (i % 3 + 1)) % 8 ))]} "; done
  printf 'Reported today: %s\n' "$text" > "$file"
}

# news: seven training and three test documents per class. Documents are
# read from "files" in the working directory, the default.
mkdir -p news/files input/in
ln -s news/files files
for class in football tennis economy; do
  declare -n words=$class
  full=$class
  [ "$class" = economy ] || full=sport/$class
  for i in $(seq 0 9); do
    name=${class:0:1}$i
    document "files/$name.txt" "$i" "${words[@]}"
    [ "$i" -lt 7 ] && list=train || list=test
    echo "$name.txt $full" >> "news/$list"
  done
done
# New documents to poll; they too are read from the documents directory.
echo "zebra ${tennis[*]:0:4}" > files/p1.txt
echo "${economy[*]:2:5}" > files/p2.txt
cp files/p1.txt files/p2.txt input/in/

# Log lines that change from run to run: the date at the top and the end,
# and the resource reports.
steady_log() { grep -vE '^([A-Z][a-z]{2} ){2}[ 0-9]{2} [0-9:]{8} [0-9]{4}$|^memory: ' mivo.log; }

for algorithm in W R S; do
  for run in 1 2; do
    rm -rf data news/rank*
    "$mivo" -vvvv -a "$algorithm" news >/dev/null 2>&1
    check "$algorithm run $run succeeds" [ $? -eq 0 ]
    cp news/rank0.dat "rank.$algorithm.$run"
    steady_log > "log.$algorithm.$run"
  done
  check "$algorithm classifies every test document" \
    grep -qx 'Total      100.00%       100.00%       100.00%         0.00% ' mivo.log
  check "$algorithm thresholds set" [ "$(grep -c '^Class .* threshhold ' mivo.log)" -eq 3 ]
  check "$algorithm rank files identical" cmp -s "rank.$algorithm.1" "rank.$algorithm.2"
  check "$algorithm logs identical" cmp -s "log.$algorithm.1" "log.$algorithm.2"
  check "$algorithm ranks every test document" [ "$(wc -l < "rank.$algorithm.1")" -eq 9 ]
  check "$algorithm stores no profiles unasked" [ ! -e data/classes ]
done
check "Winnow is the default" grep -q "^testing Winnow on \`news' with 9 documents...$" log.W.1
check "Winnow trains both fathers" [ "$(grep -c '^training winnow on ' log.W.1)" -eq 2 ]
check "SBC ranks log scores" grep -q ':-[0-9]' rank.S.1

# Train once with "save on", then classify with the stored model.
printf '[General]\nSave on\n' > save.rc
for algorithm in W R S; do
  rm -rf data news/rank*
  "$mivo" -r save -a "$algorithm" news >/dev/null 2>&1
  check "$algorithm saves its model" [ -s data/classes -a -s data/class1.cpw ]
  mv news/rank0.dat trained.dat
  "$mivo" -xl -a "$algorithm" news >/dev/null 2>&1
  check "$algorithm -xl run succeeds" [ $? -eq 0 ]
  check "$algorithm stored model ranks as the trained one" cmp -s trained.dat news/rank0.dat
done

# Polling with the stored SBC model: the test phase writes rank0, the polled
# documents go to rank1, and their new words reach the vocabulary.
rm -f news/rank*
"$mivo" -p -xl -a S -i input news >/dev/null 2>&1
check "polling run succeeds" [ $? -eq 0 ]
check "polled documents ranked" \
  [ "$(sort news/rank1.dat | cut -d: -f1)" = $'p1.txt sport/tennis\np2.txt economy' ]
check "no temporary result left" [ ! -e news/rank1.tmp ]
check "polled words stored" grep -qx zebra data/atoms.dat

# -xt: no polling; and a run whose lists name no training document keeps the
# stored model instead of replacing it.
cp data/classes classes.before
mkdir -p other/files
echo "f9.txt sport/football" > other/test
touch other/train
rm -f other/rank*
"$mivo" -p -xt -a S -i input other >/dev/null 2>&1
check "-p -xt run succeeds" [ $? -eq 0 ]
check "-p -xt does not poll" bash -c '! grep -q "^polling directory" mivo.log && ! ls other/rank* >/dev/null 2>&1'
check "untrained table not stored" cmp -s classes.before data/classes
"$mivo" -xl -a S news >/dev/null 2>&1
check "stored model still ranks as trained" cmp -s trained.dat news/rank0.dat

summary learn_test
