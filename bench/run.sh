#!/usr/bin/env bash
# Runs the interpreter benchmarks against tclsh and bash and prints the time per iteration and
# the resident memory of an idle interpreter. Builds nothing: the parlendo binary is the first
# argument (default: the Release build in build-bench).
#
#   bench/run.sh [PARLENDO] [RUNS]
#
# Each workload is run RUNS times (default 3) per interpreter, the interpreters taking turns, and
# the best run counts. The start-up of each interpreter is taken out: an empty script is timed the
# same way and its best time is subtracted before dividing by the iteration count. A benchmark never fails on timing;
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

# time_once COMMAND...: sets `took` to the wall time of one run, in nanoseconds. A run that
# exits with a status other than 0 (a wrong result) is reported and marks the whole run as failed.
time_once() {
    local start end rc now
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
    took=$((end - start))
}

# With python3 the time of a run is the processor time (user + system) the program used, read
# from the kernel's accounting of the finished child: on a machine shared with builds and other
# jobs this moves far less than the wall clock. Without python3 the wall clock is used.
read -r -d '' cpu_timer <<'PY'
import os, sys
runs = int(sys.argv[1])
commands, current = [], []
for a in sys.argv[2:]:
    if a == "::":
        commands.append(current)
        current = []
    else:
        current.append(a)
commands.append(current)
best = [None] * len(commands)
failed = False
null = os.open(os.devnull, os.O_RDWR)
for _ in range(runs):
    for i, cmd in enumerate(commands):
        pid = os.posix_spawnp(cmd[0], cmd, dict(os.environ),
                              file_actions=[(os.POSIX_SPAWN_DUP2, null, 0), (os.POSIX_SPAWN_DUP2, null, 1),
                                            (os.POSIX_SPAWN_DUP2, null, 2)])
        _, status, usage = os.wait4(pid, 0)
        if status != 0:
            print("run.sh: '%s' exited with status %d" % (" ".join(cmd), os.waitstatus_to_exitcode(status)),
                  file=sys.stderr)
            failed = True
        ns = int(round((usage.ru_utime + usage.ru_stime) * 1e9))
        if best[i] is None or ns < best[i]:
            best[i] = ns
print(" ".join(str(b) for b in best))
sys.exit(1 if failed else 0)
PY
use_cpu=0
command -v python3 >/dev/null && use_cpu=1

# measure WORKLOAD: sets best_p, best_tt, best_tp, best_b to the shortest of RUNS runs of each
# interpreter (-1 when it is missing). The interpreters take turns within each round, so a burst
# of load from other programs falls on all of them alike rather than on one.
measure() {
    local w=$1 r took
    best_p=-1 best_tt=-1 best_tp=-1 best_b=-1
    if ((use_cpu)); then
        local cmds=("$parlendo" --headless --settings "$settings" "$scripts/$w.plo" :: bash --norc --noprofile "$scripts/$w.sh")
        ((have_tcl)) && cmds+=(:: tclsh "$scripts/$w.tcl" :: tclsh "$scripts/$w.tcl" proc)
        local out
        out=$(python3 -c "$cpu_timer" "$runs" "${cmds[@]}") || status=1
        read -r best_p best_b best_tt best_tp <<<"$out"
        : "${best_tt:=-1}" "${best_tp:=-1}"
        return 0
    fi
    for ((r = 0; r < runs; r++)); do
        time_once "$parlendo" --headless --settings "$settings" "$scripts/$w.plo"
        ((best_p < 0 || took < best_p)) && best_p=$took
        if ((have_tcl)); then
            time_once tclsh "$scripts/$w.tcl"
            ((best_tt < 0 || took < best_tt)) && best_tt=$took
            time_once tclsh "$scripts/$w.tcl" proc
            ((best_tp < 0 || took < best_tp)) && best_tp=$took
        fi
        time_once bash --norc --noprofile "$scripts/$w.sh"
        ((best_b < 0 || took < best_b)) && best_b=$took
    done
    return 0
}

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
if ((use_cpu)); then clock="processor time (user + system)"; else clock="wall-clock time"; fi
echo "best of $runs runs, $clock; start-up (an empty script) subtracted"
echo

measure empty
empty_p=$best_p empty_tt=$best_tt empty_tp=$best_tp empty_b=$best_b
printf 'start-up (ms): parlendo %s, tclsh %s, bash %s\n\n' \
    "$(per_iteration "$empty_p" 0 1000000)" "$(per_iteration "$empty_tt" 0 1000000)" \
    "$(per_iteration "$empty_b" 0 1000000)"

printf '%-8s %10s %12s %10s %11s %10s %11s %10s %8s\n' workload iterations "parlendo ns" "tcl-top ns" \
    "tcl-proc ns" "bash ns" "p/tcl-proc" "p/tcl-top" "p/bash"
for spec in loop:1000000 string:100000 call:100000; do
    name=${spec%%:*}
    count=${spec##*:}
    measure "$name"
    p=$best_p tt=$best_tt tp=$best_tp b=$best_b
    # Net times per workload, start-up taken out, for the ratios.
    np=$((p - empty_p)); ((np < 1)) && np=1
    ntt=-1; ((tt >= 0)) && ntt=$((tt - empty_tt)) && ((ntt < 1)) && ntt=1
    ntp=-1; ((tp >= 0)) && ntp=$((tp - empty_tp)) && ((ntp < 1)) && ntp=1
    nb=$((b - empty_b)); ((nb < 1)) && nb=1
    printf '%-8s %10s %12s %10s %11s %10s %11s %10s %8s\n' "$name" "$count" \
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
