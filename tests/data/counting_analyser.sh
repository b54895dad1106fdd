#!/bin/sh
# A stand-in analyser that answers each request with the document's own text
# and appends the requested path to the file named by its first argument, so
# that a test can count what was analysed.
log=$1
while IFS= read -r path; do
  printf '%s\n' "$path" >> "$log"
  cat "$path"
  printf '\001'
done
