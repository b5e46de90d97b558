#!/usr/bin/env bash
# Runs the interpreter benchmarks against tclsh and bash and prints the time per iteration and
# the resident memory of an idle interpreter. Builds nothing: the parlendo binary is the first
# argument (default: the Release build in build-bench).
#
#   bench/run.sh [PARLENDO] [RUNS]
#
# Each workload is run RUNS times (default 3) per interpreter and the best run counts. The
# start-up of each interpreter is taken out: an empty script is timed the same way and its best
# time is subtracted before dividing by the iteration count. A benchmark never fails on timing;
# the exit status is not 0 only when a workload gives a wrong result or a program is missing.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scripts="$here/scripts"
parlendo=${1:-/work/main/build-bench/parlendo}
runs=${2:-3}

if [[ ! -x $parlendo ]]; then
    echo "run.sh: no parlendo binary at $parlendo (build it first, Release)" >&2
    exit 2
fi
have_tcl=1
command -v tclsh >/dev/null || { have_tcl=0; echo "run.sh: tclsh not found; its columns stay empty" >&2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
settings="$work/settings.ini"
: >"$settings"

# Sets `now` to the current time in nanoseconds; bash 5 has it without starting a process
# (a command substitution would fork and add its own cost to every measurement).
now_ns() {
    if [[ -n ${EPOCHREALTIME:-} ]]; then
        local t=${EPOCHREALTIME/[.,]/}
        now=$((10#$t * 1000))
    else
        now=$(date +%s%N)
    fi
}

status=0

# best_ns COMMAND...: the shortest wall time of RUNS runs, in nanoseconds. A run that exits
# with a status other than 0 (a wrong result) is reported and marks the whole run as failed.
best_ns() {
    local best=-1 i start end rc now
    for ((i = 0; i < runs; i++)); do
        now_ns
        start=$now
        "$@" </dev/null >/dev/null 2>"$work/stderr"
        rc=$?
        now_ns
        end=$now
        if ((rc != 0)); then
            echo "run.sh: '$*' exited with $rc: $(head -c 300 "$work/stderr")" >&2
            status=1
        fi
        if ((best < 0 || end - start < best)); then best=$((end - start)); fi
    done
    echo "$best"
}

run_parlendo() { best_ns "$parlendo" --headless --settings "$settings" "$scripts/$1.plo"; }
run_tcl_top() { ((have_tcl)) && best_ns tclsh "$scripts/$1.tcl" || echo -1; }
run_tcl_proc() { ((have_tcl)) && best_ns tclsh "$scripts/$1.tcl" proc || echo -1; }
run_bash() { best_ns bash --norc --noprofile "$scripts/$1.sh"; }

# per_iteration TOTAL_NS EMPTY_NS COUNT: nanoseconds per iteration with one decimal.
per_iteration() {
    local total=$1 empty=$2 count=$3
    if ((total < 0)); then echo "-"; return; fi
    local net=$((total - empty))
    ((net < 0)) && net=0
    local tenths=$((net * 10 / count))
    echo "$((tenths / 10)).$((tenths % 10))"
}

# ratio A_NS B_NS: A/B with two decimals.
ratio() {
    local a=$1 b=$2
    if ((a < 0 || b <= 0)); then echo "-"; return; fi
    local hundredths=$((a * 100 / b))
    printf '%d.%02d' $((hundredths / 100)) $((hundredths % 100))
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "parlendo: $parlendo"
((have_tcl)) && echo "tclsh: $(echo 'puts [info patchlevel]' | tclsh)"
echo "bash: $BASH_VERSION"
echo "best of $runs runs; start-up (an empty script) subtracted"
echo

empty_p=$(run_parlendo empty)
empty_tt=$(run_tcl_top empty)
empty_tp=$empty_tt
empty_b=$(run_bash empty)
printf 'start-up (ms): parlendo %s, tclsh %s, bash %s\n\n' \
    "$(per_iteration "$empty_p" 0 1000000)" "$(per_iteration "$empty_tt" 0 1000000)" \
    "$(per_iteration "$empty_b" 0 1000000)"

printf '%-8s %10s %12s %10s %10s %10s %11s %14s %11s\n' workload iterations "parlendo ns" "tcl-top ns" \
    "tcl-proc ns" "bash ns" "p/tcl-proc" "p/tcl-top" "p/bash"
for spec in loop:1000000 string:100000 call:100000; do
    name=${spec%%:*}
    count=${spec##*:}
    p=$(run_parlendo "$name")
    tt=$(run_tcl_top "$name")
    tp=$(run_tcl_proc "$name")
    b=$(run_bash "$name")
    # Net times per workload, start-up taken out, for the ratios.
    np=$((p - empty_p)); ((np < 1)) && np=1
    ntt=-1; ((tt >= 0)) && ntt=$((tt - empty_tt)) && ((ntt < 1)) && ntt=1
    ntp=-1; ((tp >= 0)) && ntp=$((tp - empty_tp)) && ((ntp < 1)) && ntp=1
    nb=$((b - empty_b)); ((nb < 1)) && nb=1
    printf '%-8s %10s %12s %10s %10s %10s %11s %14s %11s\n' "$name" "$count" \
        "$(per_iteration "$p" "$empty_p" "$count")" "$(per_iteration "$tt" "$empty_tt" "$count")" \
        "$(per_iteration "$tp" "$empty_tp" "$count")" "$(per_iteration "$b" "$empty_b" "$count")" \
        "$(ratio "$np" "$ntp")" "$(ratio "$np" "$ntt")" "$(ratio "$np" "$nb")"
done

# Resident memory of an interpreter that waits for input. Standard input is a named pipe held
# open by this script, so the program blocks on it; closing the pipe lets it end by itself.
rss_line() {
    local label=$1
    shift
    local fifo="$work/stdin.$label"
    mkfifo "$fifo"
    "$@" <"$fifo" >/dev/null 2>&1 &
    local pid=$!
    exec 3>"$fifo"
    sleep 1
    local rss hwm
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
    echo >&3
    exec 3>&-
    wait "$pid" 2>/dev/null
    if [[ -z $rss ]]; then
        printf '%-9s (ended before it could be measured)\n' "$label"
        return
    fi
    local goal=""
    if [[ $label == parlendo ]]; then goal="  ratio to the 10 MB goal: $(ratio "$rss" 10240)"; fi
    printf '%-9s VmRSS %6d KB = %s MB, peak %6d KB%s\n' "$label" "$rss" "$(ratio "$rss" 1024)" "$hwm" "$goal"
}

echo
echo "idle resident memory (after 1 s waiting for a key or line):"
rss_line parlendo "$parlendo" --settings "$settings" "$scripts/idle.plo"
((have_tcl)) && rss_line tclsh tclsh "$scripts/idle.tcl"
rss_line bash bash --norc --noprofile "$scripts/idle.sh"

exit $status
