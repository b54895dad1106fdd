#!/usr/bin/env bash
# Documents of any length: on a collection whose three classes share no word,
# with documents of 1 to 40 words, one threshold per class must take in the
# short documents and the long ones alike, so every learner decides every
# test document right. Winnow's and Rocchio's scores grow with the length
# unless the strengths are normalised; SBC's must not need it.
# Usage: lengths_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

scratch
cp "$2/analyser/analyse.pl" "$(dirname "$mivo")/mivo-analyse" .
mkdir -p news/files
ln -s news/files files

words_boats=(hull mast keel rudder anchor sail harbour tide)
words_bread=(flour yeast dough crust oven knead loaf rye)
words_stars=(comet nebula quasar orbit galaxy pulsar eclipse meteor)
seed=7
next() { seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); }
# Twelve training and six test documents a class. Test documents take the
# lengths that a sum of logarithms treats worst: one word, and many.
test_lengths=(1 2 17 40 1 33)
for class in boats bread stars; do
  declare -n words=words_$class
  echo "${words[*]}" > files/${class}0.txt   # every word is met in training
  echo "${class}0.txt $class" >> news/train
  for i in $(seq 1 17); do
    if [ "$i" -le 11 ]; then next; length=$(( seed / 65536 % 40 + 1 )); list=train
    else length=${test_lengths[$((i - 12))]}; list=test; fi
    text=""
    for _ in $(seq "$length"); do next; text+="${words[$(( seed / 65536 % 8 ))]} "; done
    echo "$text" > files/$class$i.txt
    echo "$class$i.txt $class" >> news/$list
  done
done

printf '[General]\nNormalize cosine\n' > mivo.rc
for algorithm in W R S; do
  rm -rf data news/rank*
  "$mivo" -a $algorithm news >/dev/null 2>&1
  check "$algorithm decides every document of every length" \
    grep -qx 'Total      100.00%       100.00%       100.00%         0.00% ' mivo.log
done

summary lengths_test
