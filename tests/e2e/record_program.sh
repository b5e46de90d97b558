#!/bin/sh
# Stands in for a program the tuner starts (editor, reader, browser) in the end-to-end tests:
# appends its role and arguments to LOG, one line per start, and keeps a copy of a file it was
# given (the last argument) as LOG.ROLE.N.
#
#   record_program.sh LOG ROLE ARGS...
log=$1
role=$2
shift 2
printf '%s' "$role" >>"$log"
for a in "$@"; do printf ' [%s]' "$a" >>"$log"; done
printf '\n' >>"$log"
if [ $# -gt 0 ] && eval "last=\${$#}" && [ -f "$last" ]; then
    n=$(grep -c "^$role" "$log")
    cp "$last" "$log.$role.$n"
fi
exit 0
