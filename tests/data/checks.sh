# Shared by the shell tests: counts checks, gives each script a scratch
# folder ($work, removed at exit) and ends with a summary and the status.
# Source it, then call check ... and at the end finish <test name>.
export LC_ALL=C
passed=0
failed=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

check() {  # check <description> <command...>: the command must succeed
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

finish() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
