#!/usr/bin/env bash
# End-to-end checks of the program's command line and event log: exact texts,
# exit statuses and the files a run leaves in its working directory.
# Usage: cli_test.sh <mivo binary> <source dir>
set -u
mivo="$1"
. "$2/tests/data/checks.sh"

run() {  # run <args...>: sets out (stdout+stderr) and status
  out=$("$mivo" "$@" 2>&1)
  status=$?
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The default analyser is "analyse.pl" in the working directory: a stand-in
# that answers every request with an empty analysis.
printf '#!/bin/sh\nwhile read -r name; do printf "\\001"; done\n' > analyse.pl
chmod +x analyse.pl

usage='Usage: mivo [ -h ] [ -v ] [ -p ] [ -V ] [ -a <W | R | S> ]
           [ -d <data-directory> ] [ -i <input-directory> ]
           [ -r <rc-file> ] [ <examples-directory> ]'
help_text="$usage
Options are:
    -h    --help           show help
    -d    --data           specify data directory
    -i    --input          specify input directory
    -p    --poll           poll input directory for documents
    -r    --resource       specify resource file
    -v    --verbose        be verbose
    -V    --Version        show version
    -a    --algorithm      specify training algorithm
    -xl   --xlearning      exclude learning (training) phase
    -xt   --xtesting       exclude testing phase

Arguments are:
    <data-directory>       directory for storing profile data
    <examples-directory>   directory with example documents
    <input-directory>      directory to be polled for input documents
    <W | R | S>            select which to apply: Winnow, Rocchio or SBC
    <rc-file>              file with resource definitions
"

# Usage alone: three lines and a newline on stderr, nothing on stdout, status 0.
"$mivo" >stdout.txt 2>stderr.txt; status=$?
check "usage status" [ "$status" -eq 0 ]
check "usage text" [ "$(cat stderr.txt)" == "$usage" ]
check "usage ends in one newline" [ "$(tail -c 1 stderr.txt | od -An -c | tr -d ' ')" == '\n' ]
check "nothing on stdout" [ ! -s stdout.txt ]

# Help, byte for byte, ending with an empty line.
"$mivo" -h 2>stderr.txt; status=$?
printf '%s\n' "$help_text" > expected.txt
check "help status" [ "$status" -eq 0 ]
check "help text" cmp -s stderr.txt expected.txt
"$mivo" --help 2>stderr.txt
check "long help text" cmp -s stderr.txt expected.txt

run -vvx -h
check "invalid option then help" [ "$status" -eq 0 ]
check "invalid option message" [ "${out%%$'\n'*}" == "ERROR: invalid option \`-vvx'" ]
check "help after invalid option" grep -q '^Options are:$' <<<"$out"

for args in "-d -p" "--data"; do
  run $args
  check "$args status" [ "$status" -eq 1 ]
  check "$args message" [ "$out" == "ERROR: option \`-d' needs an argument
use \`mivo -h' for help" ]
done

run -a r
check "-a r" [ "$status" -eq 1 ] && check "-a r message" [ "$out" == "ERROR: valid arguments to -a are W, R or S
use \`mivo -h' for help" ]

run x y
check "duplicate examples status" [ "$status" -eq 1 ]
check "duplicate examples message" [ "$out" == "ERROR: duplicate examples directory specified" ]

run -q -h
check "unknown option status" [ "$status" -eq 1 ]
check "unknown option without help" [ "$out" == "ERROR: unknown option \`-q'
use \`mivo -h' for help" ]

# Command-line errors reach the log too.
check "error in log" grep -qx "ERROR: unknown option \`-q'" mivo.log

run -V
check "version status" [ "$status" -eq 0 ]
check "version has two lines" [ "$(printf '%s\n' "$out" | wc -l)" -eq 2 ]

# A run: log header, parameter settings at -vvv, polling without examples.
# Without an examples directory the working directory is collected; -xt
# keeps the run from polling with no learnt classes.
mkdir files
rm -f mivo.log
run -vvv -xt
check "run status" [ "$status" -eq 0 ]
check "log first line is a date" grep -qE '^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]{2} [0-9:]{8} [0-9]{4}$' <(head -n 1 mivo.log)
check "log version line" [ "$(sed -n 2p mivo.log)" == "this is MIVO version: 1.4" ]
check "log empty third line" [ -z "$(sed -n 3p mivo.log)" ]
check "polling activated" grep -qx "polling mode activated" mivo.log
check "no resource file" grep -qx "no resource file available, using default parameters" mivo.log
expected_params='parameter settings are:
[General]
Analyser          "analyse.pl"
DataDirectory     "data"
InputDirectory    "input"
FileDirectory     "files"
FParameter        1
MaxRanks          1
MinRanks          1
Algorithm         Winnow
TermSelection     Uncertainty
Incremental       off
Save              off
Scaling           on
Selectivity       0.16
Strength          freq
Normalize         off

[Winnow]
Alpha             1.1
Beta              0.9
ThetaPlus         1
ThetaMin          1
MaxIters          5
NegativeWeights  on'
check "parameter block" [ "$(grep -A 24 '^parameter settings are:$' mivo.log)" == "$expected_params" ]
check "empty line after parameters" [ -z "$(grep -A 25 '^parameter settings are:$' mivo.log | tail -n 1)" ]
check "resource lines" grep -qE '^memory: [0-9]+MB total, [0-9]+MB in RAM, resident peak [0-9]+ MB   time: real:[0-9]+, user:[0-9]+, system:[0-9]+$' mivo.log
check "phases logged" grep -qx "collecting documents..." mivo.log
check "no training without examples" [ ! -e scores.dat ]

# Verbosity 0: progress messages stay out of the log, results go in.
rm -f mivo.log
run
run -p -xt
check "quiet log has no polling message" bash -c '! grep -q "polling mode activated" mivo.log'
check "quiet log has results" grep -qx "collecting documents..." mivo.log
check "quiet screen" [ -z "$out" ]

# The stored class table holds only its root: nothing to poll with.
run -p -xl
check "polling without classes status" [ "$status" -eq 1 ]
check "polling without classes message" grep -qx "ERROR: no class profiles available" <<<"$out"

# Training runs write the score markers; -xl does not.
mkdir -p ex/files
touch ex/train ex/test
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

summary cli_test
