# Shared by the end-to-end scripts: counted checks and the closing summary.
passed=0
failed=0

check() {  # check <description> <command...>: the command must succeed
  local what="$1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what"; fi
}

summary() {  # prints the counts; succeeds when nothing failed
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
