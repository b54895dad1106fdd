#!/bin/sh
# A stand-in analyser for the tests. Each request is a document path on one
# line; each answer ends with a byte of value 1. The first argument picks the
# answer:
#   echo          the document's own text
#   args ...      the arguments the analyser was started with, one a line
#   die-after N   the document's text for N requests, then half an answer
#                 and the analyser exits
mode=$1
shift
answered=0
while IFS= read -r path; do
  case $mode in
    args) printf '%s\n' "$@" ;;
    die-after)
      if [ "$answered" -ge "$1" ]; then
        printf 'half an answer'
        exit 3
      fi
      cat "$path" ;;
    *) cat "$path" ;;
  esac
  printf '\001'
  answered=$((answered + 1))
done
