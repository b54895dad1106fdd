#!/usr/bin/env bash
# End-to-end checks of the program's command line, resource files and event
# log: exact texts, exit statuses and the files a run leaves in its working
# directory.
# Usage: cli_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

run() {  # run <args...>: sets out (stdout+stderr) and status
  out=$("$mivo" "$@" 2>&1)
  status=$?
}

# expect <status> <output> <args...>: the run ends so, printing exactly that.
expect() {
  local want_status="$1" want_out
  want_out=$(printf "%s" "$2")  # as $(...) leaves it: without the last newlines
  shift 2
  run "$@"
  check "mivo $*: status $status" [ "$status" -eq "$want_status" ]
  check "mivo $*: output" [ "$out" == "$want_out" ]
}

scratch
# The default analyser is "analyse.pl" in the working directory: a stand-in
# that answers every request with an empty analysis.
printf '#!/bin/sh\nwhile read -r name; do printf "\\001"; done\n' > analyse.pl
chmod +x analyse.pl

# Usage alone: its three lines on stderr, nothing on stdout. Help: the usage,
# a line for each option and argument, an empty line.
help="$2/tests/data/help.expected"
"$mivo" >stdout.txt 2>stderr.txt
check "usage status and stdout" [ $? -eq 0 -a ! -s stdout.txt ]
check "usage text" cmp -s stderr.txt <(head -n 3 "$help")
"$mivo" --help 2>help.txt
check "help status" [ $? -eq 0 ]
check "help text" cmp -s help.txt "$help"
expect 0 "ERROR: invalid option \`-vvx'
$(cat help.txt)" -vvx -h
hint="use \`mivo -h' for help"
expect 1 "ERROR: option \`-d' needs an argument
$hint" -d -p
expect 1 "ERROR: option \`-i' needs an argument
$hint" --input
expect 1 "ERROR: valid arguments to -a are W, R or S
$hint" -a r
for count in -1 x 5x 1001; do
  expect 1 "ERROR: valid arguments to -e are 0 to 1000
$hint" -e $count
done
expect 1 "ERROR: duplicate examples directory specified" x y
expect 1 "ERROR: unknown option \`-q'
$hint" -q -h
check "command-line errors reach the log" grep -qx "ERROR: unknown option \`-q'" mivo.log
expect 0 "mivo: text categorisation with Winnow, Rocchio and SBC
learns class profiles from example documents and classifies new ones" -V

# A run: log header, parameter settings at -vvv, polling without examples.
# Without an examples directory the working directory is collected; -xt
# keeps the run from polling with no learnt classes.
mkdir files
rm -f mivo.log
run -vvv -xt
check "run status" [ "$status" -eq 0 ]
check "log first line is a date" grep -qE '^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} [0-9]{4}$' <(head -n 1 mivo.log)
check "log version line and empty line" [ "$(sed -n 2,3p mivo.log)" == "this is MIVO version: 1.4" ]
check "no resource file" grep -qx "no resource file available, using default parameters" mivo.log
check "parameter block and the empty line after it" \
  diff <(grep -A 25 '^parameter settings are:$' mivo.log) "$2/tests/data/rc/defaults.expected"
check "resource lines" grep -qE '^memory: [0-9]+MB total, [0-9]+MB in RAM, resident peak [0-9]+ MB   time: real:[0-9]+, user:[0-9]+, system:[0-9]+$' mivo.log

# Each level's messages reach the screen at that verbosity and not below:
# at -vv the counts, resource lines and mode, not the settings of level 3.
run -vv -xt
check "-vv shows level 2" grep -q "^memory: " <<<"$out"
check "-vv shows the mode" grep -qx "polling mode activated" <<<"$out"
check "-vv hides level 3" bash -c '! grep -q "^parameter settings" <<<"$1"' - "$out"
# Verbosity 0: progress messages stay out of the log, results go in.
rm -f mivo.log
run -p -xt
check "quiet log has no polling message" bash -c '! grep -q "polling mode activated" mivo.log'
check "quiet log has results" grep -qx "collecting documents..." mivo.log
check "quiet screen" [ -z "$out" ]

# The stored class table holds only its root: nothing to poll with.
run -p -xl
check "polling without classes status" [ "$status" -eq 1 ]
check "polling without classes message" grep -qx "ERROR: no class profiles available" <<<"$out"

# Resource files, read before the empty examples directory: a faulty one
# has every error reported (one per section), then the run stops; its name
# is completed with ".rc" unless it has it already. Without -r, mivo.rc is
# read when it exists.
mkdir -p ex/files
touch ex/train ex/test
cp "$2"/tests/data/rc/*.rc .
errors=$(cat "$2/tests/data/rc/errors.expected"; echo "aborting...")
for name in errors errors.rc; do
  expect 1 "$errors" -r "$name" ex
  check "-r $name in mivo.log" [ "$(tail -n "$(wc -l <<<"$errors")" mivo.log)" == "$errors" ]
done
run -r missing ex
check "-r missing" [ "$status" -eq 2 -a "${out%%$'\n'*}" == "ERROR: cannot open file \`missing.rc' for reading" ]
cp errors.rc mivo.rc
run ex
check "faulty mivo.rc" [ "$status" -eq 1 -a "${out:0:27}" == "ERROR: file mivo.rc: line 1" ]
rm mivo.rc
# A good file changes exactly what it names. The log shows the section of the
# algorithm in use, so each is checked in a run that chooses it (Rocchio by
# the file): from "[General]" to the empty line that ends that section, the
# parameters logged are good-<algorithm>.expected.
for algorithm in Rocchio Winnow SBC; do
  [ $algorithm = Rocchio ] && choice=() || choice=(-a ${algorithm:0:1})
  run -vvv -xt "${choice[@]}" -r good ex
  check "$algorithm run" [ "$status" -eq 0 ]
  check "$algorithm run logged parameters" diff "$2/tests/data/rc/good-$algorithm.expected" \
    <(awk '/^\[General\]$/ { on = 1 } on { print } on && /^$/ && ++blanks == 2 { exit }' mivo.log)
done

# Training runs write the score markers; -xl does not.
rm -rf data
run ex
check "training run" [ "$status" -eq 0 ]
check "scores markers" [ "$(cat scores.dat)" == $'****TRAIN\n****TEST' ]
# The default run stored no class table: an incremental run starts a new one.
printf '[General]\nIncremental on\n' > incremental.rc
run -r incremental ex
check "incremental run without a stored class table" [ "$status" -eq 0 ]
run -xt ex
rm -f scores.dat
run -xl ex
check "-xl run with stored classes" [ "$status" -eq 0 ]
check "-xl writes no scores" [ ! -e scores.dat ]
# A list that cannot be read is no empty list.
rm -f ex/test && mkdir ex/test
run ex
check "unreadable list" grep -qx "ERROR: error reading file \`ex/test'" <<<"$out"

summary cli_test
