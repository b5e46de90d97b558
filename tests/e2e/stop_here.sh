#!/bin/sh
# Stops the programs named NAME that run in FOLDER, and waits (up to 5 s) until they are gone:
# the end-to-end tests' stand-in for "pkill -x NAME", which would also stop programs of the
# same name that have nothing to do with the test.
#
#   stop_here.sh FOLDER NAME
folder=$1
name=$2
pids=""
for pid in $(pgrep -x "$name"); do
    [ "$(readlink "/proc/$pid/cwd" 2>/dev/null)" = "$folder" ] && pids="$pids $pid"
done
[ -z "$pids" ] && exit 0
kill $pids 2>/dev/null
i=0
while [ $i -lt 50 ]; do
    alive=""
    for pid in $pids; do [ -d "/proc/$pid" ] && ! grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && alive=1; done
    [ -z "$alive" ] && exit 0
    sleep 0.1
    i=$((i + 1))
done
kill -9 $pids 2>/dev/null
exit 0
