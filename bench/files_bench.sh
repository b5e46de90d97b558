#!/usr/bin/env bash
# Benchmarks of the file commands, each against a peer measured in the same run:
#   - REPLICA of a 200 MB file against cp (goal: within 1.5 times cp);
#   - a LE #n loop over a 100,000-line file against wc -l and a Tcl gets loop (lines per second);
#   - parlendo's resident memory while it reads and copies files, before the byte buffer is
#     used (goal: under 10 MB), and after a LEBYTE fills it, for contrast.
# Builds nothing: the parlendo binary is the first argument (default: the Release build in
# build-bench).
#
#   bench/files_bench.sh [PARLENDO] [RUNS]
#
# Every workload runs RUNS times (default 3) and the best run counts; parlendo's start-up (an
# empty script) is subtracted from its times. A benchmark never fails on timing; the exit status
# is not 0 only when a workload gives a wrong result or a program is missing.
set -u

parlendo=${1:-/work/main/build-bench/parlendo}
runs=${2:-3}
if [[ ! -x $parlendo ]]; then
    echo "files_bench.sh: no parlendo binary at $parlendo (build it first)" >&2
    exit 2
fi
have_tcl=1
command -v tclsh >/dev/null || { have_tcl=0; echo "files_bench.sh: tclsh not found; its column stays empty" >&2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
trap "" PIPE
settings="$work/settings.ini"
: >"$settings"
status=0

now_ns() {
    local t=${EPOCHREALTIME/[.,]/}
    now=$((10#$t * 1000))
}

# best_ns COMMAND...: the shortest wall time of RUNS runs in nanoseconds; the destination of
# the copies is removed before each run so every copy creates it.
best_ns() {
    local best=-1 i start rc now
    for ((i = 0; i < runs; i++)); do
        rm -f "$work/copy.bin"
        now_ns
        start=$now
        "$@" </dev/null >/dev/null 2>"$work/stderr"
        rc=$?
        now_ns
        if ((rc != 0)); then
            echo "files_bench.sh: '$*' exited with $rc: $(head -c 300 "$work/stderr")" >&2
            status=1
        fi
        if ((best < 0 || now - start < best)); then best=$((now - start)); fi
    done
    echo "$best"
}

# ratio A B: A/B with two decimals.
ratio() {
    local a=$1 b=$2
    if ((a < 0 || b <= 0)); then echo "-"; return; fi
    local hundredths=$((a * 100 / b))
    printf '%d.%02d' $((hundredths / 100)) $((hundredths % 100))
}

ms() { ratio "$1" 1000000; }

# The data: 200 MB of bytes that are not all alike, and a station list of 100,000 lines.
head -c $((200 * 1000 * 1000)) /dev/urandom >"$work/big.bin"
head -c $((64 * 1000 * 1000)) "$work/big.bin" >"$work/mid.bin"
awk 'BEGIN { for (i = 1; i <= 100000; i++) printf "R\341dio Exemplo %d, S\343o Paulo, Rock / Pop\r\n", i }' \
    >"$work/lines.lst"

cat >"$work/empty.plo" <<'PLO'
termina mudo
PLO
cat >"$work/replica.plo" <<'PLO'
seja $a params
seja $de palavra 2 $a
seja $para palavra 3 $a
replica $de $para
termina mudo
PLO
cat >"$work/lines.plo" <<'PLO'
seja $a params
seja $arquivo palavra 2 $a
seja n 0
abre #1 $arquivo
le #1 l
checa c
enquanto c = 0
soma n 1
le #1 l
checa c
fim enquanto
fecha #1
se n <> 100000 desvia @errado
termina mudo
@errado
escreve "linhas contadas: " n
resultado_errado
PLO
cat >"$work/lines.tcl" <<'TCL'
proc count {name} {
    set f [open $name r]
    fconfigure $f -translation auto -encoding binary
    set n 0
    while {[gets $f line] >= 0} { incr n }
    close $f
    return $n
}
set n [count [lindex $argv 0]]
if {$n != 100000} { puts stderr "wrong count: $n"; exit 1 }
TCL
# Reads the list and copies the big file, then waits for a line; with "buffer" it first reads
# a 64 MB file into the byte buffer (the 200 MB one is larger than the buffer).
cat >"$work/rss.plo" <<'PLO'
seja $a params
seja $lista palavra 2 $a
seja $grande palavra 3 $a
seja $copia palavra 4 $a
seja $modo palavra 5 $a
seja $medio palavra 6 $a
abre #1 $lista
le #1 l
checa c
enquanto c = 0
le #1 l
checa c
fim enquanto
fecha #1
replica $grande $copia
se $modo = "buffer" lebyte $medio 0 64000000
le mudo x
termina mudo
PLO

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
echo "parlendo: $parlendo"
((have_tcl)) && echo "tclsh: $(echo 'puts [info patchlevel]' | tclsh)"
echo "best of $runs runs; parlendo's start-up (an empty script) subtracted"
echo

p() { "$parlendo" --headless --settings "$settings" "$@"; }
startup=$(best_ns p "$work/empty.plo")

# REPLICA against cp.
rep=$(best_ns p "$work/replica.plo" "$work/big.bin" "$work/copy.bin")
cmp -s "$work/big.bin" "$work/copy.bin" || { echo "files_bench.sh: REPLICA made a different copy" >&2; status=1; }
cpt=$(best_ns cp "$work/big.bin" "$work/copy.bin")
net=$((rep - startup))
((net < 1)) && net=1
printf 'REPLICA 200 MB: parlendo %s ms, cp %s ms, parlendo/cp %s (goal: at most 1.50)\n' \
    "$(ms "$net")" "$(ms "$cpt")" "$(ratio "$net" "$cpt")"

# A LE #n loop against wc -l and Tcl.
le=$(best_ns p "$work/lines.plo" "$work/lines.lst")
wct=$(best_ns wc -l "$work/lines.lst")
tclt=-1
((have_tcl)) && tclt=$(best_ns tclsh "$work/lines.tcl" "$work/lines.lst")
net=$((le - startup))
((net < 1)) && net=1
printf 'LE #n, 100000 lines: parlendo %s ms = %d lines/s; wc -l %s ms; tclsh gets %s ms\n' \
    "$(ms "$net")" $((100000 * 1000000000 / net)) "$(ms "$wct")" "$( ((tclt >= 0)) && ms "$tclt" || echo -)"
printf '  parlendo/wc -l %s, parlendo/tclsh %s\n' "$(ratio "$net" "$wct")" "$(ratio "$net" "$tclt")"

# Resident memory: VmRSS and the peak VmHWM, taken while the script waits on a named pipe.
rss_line() {
    local label=$1 mode=$2
    local fifo="$work/stdin.$label"
    mkfifo "$fifo"
    # Not headless: the final read takes its line from standard input, the pipe.
    "$parlendo" --settings "$settings" "$work/rss.plo" "$work/lines.lst" "$work/big.bin" "$work/copy.bin" \
        "$mode" "$work/mid.bin" <"$fifo" >/dev/null 2>&1 &
    local pid=$!
    exec 3>"$fifo"
    local rss="" hwm="" i
    # The copy takes a while: wait until the script sits at its final read.
    for ((i = 0; i < 100; i++)); do
        sleep 0.2
        if [[ $(awk '/^State:/ {print $2}' "/proc/$pid/status" 2>/dev/null) == S ]] &&
            [[ -s $work/copy.bin ]] && cmp -s "$work/big.bin" "$work/copy.bin"; then
            break
        fi
    done
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
    echo >&3 2>/dev/null
    exec 3>&-
    wait "$pid" 2>/dev/null
    rm -f "$work/copy.bin"
    if [[ -z $rss ]]; then
        printf '%-28s (ended before it could be measured)\n' "$label"
        status=1
        return
    fi
    printf '%-28s VmRSS %6d KB, peak %6d KB, peak/10 MB goal %s\n' "$label" "$rss" "$hwm" "$(ratio "$hwm" 10240)"
}
echo
echo "parlendo resident memory after reading the list and copying the big file:"
rss_line "byte buffer unused" plain
rss_line "after a 64 MB LEBYTE" buffer

exit $status
