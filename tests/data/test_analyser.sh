#!/bin/sh
# A stand-in analyser for the tests. Each request is a document path on one
# line; each answer ends with a byte of value 1. The first argument picks the
# answer:
#   echo          the document's own text
#   args ...      the arguments the analyser was started with, one a line
#   pid           the analyser's process id
#   die-after N   the document's text for N requests, then half an answer
#                 and the analyser exits
#   hang-after N  the document's text for N requests, then nothing more
#   half          half an answer, then nothing more
#   close         closes its output at the first request and lives on
#   garble NAME   for the document whose path ends in NAME, bytes that do
#                 not parse; the others as echo
#   count LOG     as echo, appending each requested path to the file LOG
mode=$1
shift
answered=0
while IFS= read -r path; do
  case $mode in
    args) printf '%s\n' "$@" ;;
    pid) printf '%s' $$ ;;
    die-after)
      if [ "$answered" -ge "$1" ]; then
        printf 'half an answer'
        exit 3
      fi
      cat "$path" ;;
    hang-after)
      [ "$answered" -ge "$1" ] && exec sleep 100
      cat "$path" ;;
    half) printf '[ half'; exec sleep 100 ;;
    close) exec sleep 100 >&- ;;
    garble) case $path in *"$1") printf '] , [ ,\n' ;; *) cat "$path" ;; esac ;;
    count) printf '%s\n' "$path" >> "$1"; cat "$path" ;;
    *) cat "$path" ;;
  esac
  printf '\001'
  answered=$((answered + 1))
done
