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

plo() { "$parlendo" --headless --settings "$work/settings.ini" "$work/$1"; }

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
processes=$(ls -d /proc/[0-9]* | wc -l)

empty=$(best_ns plo empty.plo)
existeprog=$(( $(best_ns plo existeprog.plo) - empty ))
pgrep_ns=$(best_ns pgrep_loop)
kill "${sleepers[@]}" 2>/dev/null
wait 2>/dev/null
sleepers=()

hidden=$(( $(best_ns plo hidden.plo) - empty ))
background=$(best_ns bash_background)
setsid_ns=$(best_ns bash_setsid)

# What is left of the children: zombies of this shell (bash reaps its own) and of nobody else.
zombies=$(awk '$3 == "Z"' /proc/[0-9]*/stat 2>/dev/null | wc -l)

ms() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.3f", n / d / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "processes in /proc during the EXISTEPROG runs: $processes"
echo "EXISTEPROG, per call:          $(ms "$existeprog" 200) ms   (pgrep -x: $(ms "$pgrep_ns" 200) ms; ratio $(ratio "$existeprog" "$pgrep_ns"))"
echo "1,000 hidden children, total:  parlendo $(ms "$hidden" 1) ms, bash & $(ms "$background" 1) ms, bash setsid & $(ms "$setsid_ns" 1) ms"
echo "                     ratios:   parlendo / bash & $(ratio "$hidden" "$background"), parlendo / bash setsid & $(ratio "$hidden" "$setsid_ns")"
echo "zombies on the system after the runs: $zombies"
