#!/usr/bin/env bash
# Runs mivo (first argument) with faulty and good resource files from the
# source tree (second argument) and checks its messages, its exit status and
# the parameters it logs.
set -u
mivo="$1"
rc_data="$2/tests/data/rc"
. "$2/tests/data/checks.sh"

run() {  # run <args...>: status in $status, standard error in the file err
  "$mivo" "$@" >out 2>err
  status=$?
}

# A fresh folder with an empty examples directory, so that a run with a good
# file has nothing to do after reading it.
rm -rf scratch
mkdir -p scratch/examples/files
cd scratch || exit 1
touch examples/train examples/test
cp "$rc_data"/*.rc .

# A faulty file: every error is reported (one per section), then the run
# stops. The name is completed with ".rc" unless it has it already.
for name in errors errors.rc; do
  run -r "$name" examples
  check "-r $name status" [ "$status" -eq 1 ]
  check "-r $name messages" diff <(cat "$rc_data/errors.expected"; echo "aborting...") err
  check "-r $name in mivo.log" diff <(cat "$rc_data/errors.expected"; echo "aborting...") <(tail -n "$(($(wc -l < "$rc_data/errors.expected") + 1))" mivo.log)
done
run -r missing examples
check "-r missing" [ "$status" -eq 2 -a "$(head -n 1 err)" == "ERROR: cannot open file \`missing.rc' for reading" ]

# Without -r, mivo.rc is read when it exists and is optional otherwise.
run -vv examples
check "no mivo.rc" grep -qx "no resource file available, using default parameters" mivo.log
cp errors.rc mivo.rc
run examples
check "faulty mivo.rc" [ "$status" -eq 1 -a "$(head -c 27 err)" == "ERROR: file mivo.rc: line 1" ]
rm mivo.rc

# A good file changes exactly what it names. The log shows the section of the
# algorithm in use, so each is checked in a run that chooses it.
# check_good_run ALGORITHM [ARGUMENTS...]: runs with good.rc and the
# arguments and compares the parameters logged, from "[General]" to the
# empty line that ends the algorithm's section, with good-ALGORITHM.expected.
check_good_run() {
  local algorithm="$1"
  shift
  run -vvv -xt "$@" -r good examples
  check "$algorithm run status" [ "$status" -eq 0 ]
  check "$algorithm run reading logged" grep -qx "reading parameters from file \`good.rc'" mivo.log
  check "$algorithm run logged parameters" diff "$rc_data/good-$algorithm.expected" \
    <(awk '/^\[General\]$/ { on = 1 } on { print } on && /^$/ && ++blanks == 2 { exit }' mivo.log)
}

check_good_run Rocchio
check_good_run Winnow -a W
check_good_run SBC -a S

summary rcfile_test
