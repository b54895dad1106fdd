# Shared by the shell tests: counted checks and the closing summary line.
# Source it, call check ... for each check, and end with summary.
export LC_ALL=C
passed=0
failed=0

check() {  # check <description> <command...>: the command must succeed
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

summary() {  # summary [name]: prints the counts; succeeds when nothing failed
  echo "${1:+$1: }$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

scratch() {  # scratch: enters a fresh folder, $work, removed when the test ends
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cd "$work" || exit 1
}
