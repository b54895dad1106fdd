#!/usr/bin/env bash
# The benchmark behind `make bench`: for each size, a generated corpus of that
# many documents in 500 classes on 3 levels (1000 classes from a million
# documents on; cached in the build directory), a default Winnow run with the
# shipped analyser and polling, then a second run over the same data
# directory. Prints per phase the seconds and documents per
# second from mivo's resource lines, the peak resident memory and the size of
# the data directory, and checks that the rank files and the report match
# those of the reference run kept for the size (the first run of a size
# becomes its reference when there is none).
# Usage: bench.sh <build directory> [ <documents> ... ]
# MIVO=<program> runs another build of mivo over the same corpora;
# BENCH_RUNS=first leaves out the second run.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "$1" && pwd)"
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 300000)
mivo="$(realpath "${MIVO:-$build/mivo}")"
work="$build/bench"
mkdir -p "$work"

# Phases in the order of mivo's resource lines.
phases=(start open profiling analysis statistics training thresholds testing polling)

# corpus <n>: generates the corpus once; the documents to poll are also put
# in the documents directory, where mivo reads every document from.
corpus() {
  local dir="$work/corpus-$1"
  if [ ! -f "$dir/complete" ]; then
    rm -rf "$dir"
    echo "generating $1 documents in $dir..." >&2
    local classes=500
    [ "$1" -lt 1000000 ] || classes=1000
    "$build/gencorpus" -n "$1" -c $classes -l 3 -p $(($1 / 100)) "$dir"
    (cd "$dir/input/in" && find . -name '*.txt' -print0 | xargs -0 ln -t ../../files)
    touch "$dir/complete"
  fi
  echo "$dir"
}

# run <run directory> <label>: one mivo run; keeps its log, rank files and
# /usr/bin/time figures under the label.
run() {
  local dir="$1" label="$2"
  (cd "$dir" && /usr/bin/time -v -o "$label.time" \
     "$mivo" -p -i "$source/input" corpus > "$label.screen" 2>&1) || {
    echo "mivo failed: see $dir/$label.screen" >&2
    exit 1
  }
  mkdir -p "$dir/$label"
  mv "$dir/mivo.log" "$dir/$label/mivo.log"
  mv "$dir"/corpus/rank*.dat "$dir/$label/"
  # The report: the log without its dates, its resource lines and the paths
  # of the input directory and of the directory polled, which name this
  # checkout.
  grep -Ev '^memory: |^InputDirectory |^polling directory |^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}$' \
    "$dir/$label/mivo.log" > "$dir/$label/report"
}

# table <n> <run directory> <label>: the phase table of one run.
table() {
  local n="$1" dir="$2" label="$3"
  local peak wall data logged
  peak=$(awk -F': ' '/Maximum resident set size/ {printf "%.0f", $2 / 1024}' "$dir/$label.time")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$dir/$label.time")
  data=$(du -sm "$dir/data" | cut -f1)
  # The peak mivo's own log gives, to set beside the one measured outside.
  logged=$(grep -o 'resident peak [0-9]* MB' "$dir/$label/mivo.log" | tail -1 | tr -dc '0-9')
  printf '%s run, %d documents: wall %s, peak %d MB (the log: %s MB), data directory %d MB\n' \
    "$label" "$n" "$wall" "$peak" "${logged:--}" "$data"
  # Documents each phase handles: all, the training ones, the test ones or
  # those polled.
  local train test poll
  train=$(wc -l < "$dir/corpus/train")
  test=$(wc -l < "$dir/corpus/test")
  poll=$(find "$source/input/in" -name '*.txt' | wc -l)
  grep '^memory: ' "$dir/$label/mivo.log" | sed 's/.*real:\([0-9]*\), user:\([0-9]*\), system:\([0-9]*\)/\1 \2 \3/' |
    awk -v names="${phases[*]}" -v docs="0 0 $n $n $train $train $train $test $poll" '
      BEGIN { split(names, name, " "); split(docs, count, " ")
              printf "  %-12s %8s %8s %8s %12s\n", "phase", "real s", "user s", "sys s", "docs/s" }
      { label = name[NR] != "" ? name[NR] : "line " NR
        rate = $1 > 0 && count[NR] > 0 ? sprintf("%.0f", count[NR] / $1) : "-"
        printf "  %-12s %8d %8d %8d %12s\n", label, $1, $2, $3, rate
        if (NR >= 3) total += $1 }
      END { printf "  %-12s %8d\n", "total", total }'
  grep '^Total ' "$dir/$label/mivo.log" | awk '{printf "  precision %s recall %s F1 %s\n", $2, $3, $4}'
}

# check <n> <run directory> <label>: compares with the reference.
check() {
  local reference="$work/reference-$1/$3" result="$2/$3"
  if [ ! -d "$reference" ]; then
    mkdir -p "$reference"
    cp "$result"/rank*.dat "$result/report" "$reference/"
    echo "  no reference yet: this run's results become the reference"
    return 0
  fi
  local file status=0
  for file in "$reference"/rank*.dat "$reference/report"; do
    if ! cmp -s "$file" "$result/$(basename "$file")"; then
      echo "  DIFFERS from the reference: $(basename "$file") (diff $file $result/$(basename "$file"))"
      status=1
    fi
  done
  [ $status -ne 0 ] || echo "  rank files and report identical to the reference"
  return $status
}

# growth <small> <large>: how much longer each phase of the first runs took
# at the larger size, against the ratio of the sizes (whole seconds, so
# phases of a second or two at the small size give rough figures).
growth() {
  local small="$1" large="$2"
  paste <(grep '^memory: ' "$work/run-$small/first/mivo.log") \
        <(grep '^memory: ' "$work/run-$large/first/mivo.log") |
    sed 's/[^\t]*real:\([0-9]*\),[^\t]*/\1/g' |
    awk -v names="${phases[*]}" -v small="$small" -v large="$large" '
      BEGIN { split(names, name, " "); linear = large / small
              printf "growth from %d to %d documents (%.0f times as many; at most %.0f times allowed):\n",
                     small, large, linear, 1.3 * linear }
      NR >= 3 && name[NR] != "analysis" {
        ratio = $1 > 0 ? sprintf("%.0f times", $2 / $1) : "-"
        flag = $1 > 0 && $2 / $1 > linear ? "  FASTER THAN THE DOCUMENTS" : ""
        printf "  %-12s %6d s -> %6d s  %s%s\n", name[NR], $1, $2, ratio, flag }'
}

failed=0
for n in "${sizes[@]}"; do
  source="$(corpus "$n")"
  dir="$work/run-$n"
  rm -rf "$dir"
  mkdir -p "$dir/corpus"
  cp "$source/train" "$source/test" "$dir/corpus/"
  ln -s "$source/files" "$dir/corpus/files"
  cp "$top/analyser/analyse.pl" "$dir/"
  if [ -x "$build/mivo-analyse" ]; then cp "$build/mivo-analyse" "$dir/"; fi
  printf '[General]\nFileDirectory "corpus/files"\n' > "$dir/mivo.rc"
  for label in ${BENCH_RUNS:-first second}; do
    run "$dir" "$label"
    table "$n" "$dir" "$label"
    check "$n" "$dir" "$label" || failed=1
  done
  if [ -d "$dir/second" ]; then
    first=$(grep '^memory: ' "$dir/first/mivo.log" | sed -n 3p | sed 's/.*real:\([0-9]*\),.*/\1/')
    second=$(grep '^memory: ' "$dir/second/mivo.log" | sed -n 3p | sed 's/.*real:\([0-9]*\),.*/\1/')
    echo "  profiling with stored profiles: ${second} s against ${first} s"
  fi
  echo
done
if [ ${#sizes[@]} -ge 2 ]; then
  growth "${sizes[0]}" "${sizes[${#sizes[@]} - 1]}"
fi
exit $failed
