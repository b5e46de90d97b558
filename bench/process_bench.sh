#!/usr/bin/env bash
# Benchmarks of the process commands, each against a peer measured in the same run:
#   - EXISTEPROG with 500 extra processes running (500 `sleep`), for a name that no process has,
#     so that every process is looked at (goal: under 5 ms per call); pgrep -x for the same name
#     as the peer (its own start-up included);
#   - starting 1,000 hidden children with `EXECUTA "true" &&` and reaping them, against bash
#     starting /bin/true 1,000 times in the background and waiting for them, and against bash with
#     setsid (a session of its own, as EXECUTA gives).
# Builds nothing: the parlendo binary is the first argument (default: build/parlendo).
#
#   bench/process_bench.sh [PARLENDO] [RUNS]
#
# Every workload runs RUNS times (default 3) and the best run counts; parlendo's start-up (an
# empty script) is subtracted from its times. Nothing here fails on timing.
set -u

parlendo=${1:-build/parlendo}
runs=${2:-3}
if [[ ! -x $parlendo ]]; then
    echo "process_bench.sh: no parlendo binary at $parlendo (build it first)" >&2
    exit 2
fi

work=$(mktemp -d)
sleepers=()
cleanup() {
    ((${#sleepers[@]})) && kill "${sleepers[@]}" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
: >"$work/settings.ini"

ms() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.3f", n / d / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

now_ns() {
    local t=${EPOCHREALTIME/[.,]/}
    now=$((10#$t * 1000))
}

# best_ns COMMAND...: the shortest wall time of RUNS runs, in nanoseconds.
best_ns() {
    local best=0 i start
    for ((i = 0; i < runs; i++)); do
        now_ns; start=$now
        "$@" >/dev/null 2>&1 || { echo "process_bench.sh: failed: $*" >&2; exit 1; }
        now_ns
        ((best == 0 || now - start < best)) && best=$((now - start))
    done
    echo "$best"
}

plo() { "$parlendo" --headless --audio null --settings "$work/settings.ini" "$work/$1"; }

# cpu_ns SCRIPT: the least processor time (user + system) of RUNS runs of parlendo on the script,
# from the kernel's accounting of the finished child: load from other programs moves it far less
# than the wall clock. -1 without python3.
cpu_ns() {
    command -v python3 >/dev/null || { echo -1; return; }
    python3 - "$runs" "$parlendo" --headless --audio null --settings "$work/settings.ini" "$work/$1" <<'PY'
import os, sys
runs, argv = int(sys.argv[1]), sys.argv[2:]
best = None
for _ in range(runs):
    pid = os.fork()
    if pid == 0:
        fd = os.open(os.devnull, os.O_WRONLY)
        os.dup2(fd, 1)
        os.execv(argv[0], argv)
    _, status, usage = os.wait4(pid, 0)
    t = int((usage.ru_utime + usage.ru_stime) * 1e9)
    best = t if best is None or t < best else best
print(best)
PY
}

printf 'termina mudo\n' >"$work/empty.plo"
cat >"$work/existeprog.plo" <<'EOF'
repete i 200
existeprog "programa-inexistente-xyz" p
fim repete
se p = 1 termina
termina mudo
EOF
cat >"$work/hidden.plo" <<'EOF'
repete i 1000
executa "true" &&
fim repete
termina mudo
EOF
pgrep_loop() {
    local i
    for ((i = 0; i < 200; i++)); do pgrep -x programa-inexistente-xyz; done
    return 0
}
bash_background() {
    local i
    for ((i = 0; i < 1000; i++)); do /bin/true & done
    wait
}
bash_setsid() {
    local i
    for ((i = 0; i < 1000; i++)); do setsid /bin/true </dev/null >/dev/null 2>&1 & done
    wait
}

for ((i = 0; i < 500; i++)); do
    sleep 600 &
    sleepers+=($!)
done
processes=$(ls -d /proc/[0-9]* 2>/dev/null | wc -l)

empty=$(best_ns plo empty.plo)
existeprog=$(( $(best_ns plo existeprog.plo) - empty ))
empty_cpu=$(cpu_ns empty.plo)
existeprog_cpu=$(( $(cpu_ns existeprog.plo) - empty_cpu ))
pgrep_ns=$(best_ns pgrep_loop)
kill "${sleepers[@]}" 2>/dev/null
wait 2>/dev/null
sleepers=()

[[ ${PROCESS_BENCH_ONLY_LIST:-} == 1 ]] && { echo "EXISTEPROG, per call: $(ms "$existeprog" 200) ms wall, $(ms "$existeprog_cpu" 200) ms processor, $processes processes"; exit 0; }
hidden=$(( $(best_ns plo hidden.plo) - empty ))
background=$(best_ns bash_background)
setsid_ns=$(best_ns bash_setsid)

# What is left of the children: zombies of this shell (bash reaps its own) and of nobody else.
zombies=$(awk '$3 == "Z"' /proc/[0-9]*/stat 2>/dev/null | wc -l)

echo "processes in /proc during the EXISTEPROG runs: $processes"
echo "EXISTEPROG, per call:          $(ms "$existeprog" 200) ms wall, $(ms "$existeprog_cpu" 200) ms processor   (pgrep -x: $(ms "$pgrep_ns" 200) ms wall; ratio $(ratio "$existeprog" "$pgrep_ns"))"
echo "1,000 hidden children, total:  parlendo $(ms "$hidden" 1) ms, bash & $(ms "$background" 1) ms, bash setsid & $(ms "$setsid_ns" 1) ms"
echo "                     ratios:   parlendo / bash & $(ratio "$hidden" "$background"), parlendo / bash setsid & $(ratio "$hidden" "$setsid_ns")"
echo "zombies on the system after the runs: $zombies"
