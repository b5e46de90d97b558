#!/usr/bin/env bash
# Download throughput and memory of TRAZDAREDE against curl and wget, in the same run, from a
# loopback web server (tests/net/fixture_server.py, which hands the file to the socket with
# sendfile, so the server costs next to nothing).
#
#   bench/net_bench.sh [PARLENDO] [SIZE_MB] [RUNS]   # defaults: build-bench/parlendo, 500, 3
#
# Build parlendo first, as Release in its own folder:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLENDO_TESTS=OFF
#   ninja -C build-bench parlendo
#
# Each round downloads the file once with every program, taking turns; the best wall time and
# the best processor time (user + system, from /usr/bin/time) of each count. While parlendo downloads, VmRSS and VmHWM (the peak) are sampled from /proc every 20 ms
# with shell built-ins, which take no processor time from the download. Every downloaded file is compared with the original.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
parlendo=${1:-$root/build-bench/parlendo}
size_mb=${2:-500}
runs=${3:-3}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")

for tool in python3 curl wget cmp /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "net_bench.sh: $tool is missing" >&2; exit 2; }
done
[[ -x $parlendo ]] || { echo "net_bench.sh: no parlendo at $parlendo (build it first)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/parlendo-net-bench-XXXXXX")
server_pid=
cleanup() {
    [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

head -c "${size_mb}M" /dev/urandom >"$work/big.bin"
python3 "$root/tests/net/fixture_server.py" "$work" "$work/ready" &
server_pid=$!
for _ in $(seq 200); do [[ -f $work/ready ]] && break; sleep 0.05; done
read -r port _ <"$work/ready" || { echo "net_bench.sh: the server did not start" >&2; exit 2; }
url="http://127.0.0.1:$port/file/big.bin"
printf 'trazdarede "%s" "out.bin" 0 "" "" r\nescreve mudo r\ntermina mudo\n' "$url" >"$work/get.plo"
: >"$work/oralix.ini"

# A pipe that never gets a line: "read -t" on it is a sleep without starting a process.
mkfifo "$work/never"
exec 9<>"$work/never"

# Wall time and processor time (user + system) of one run, in milliseconds, from /usr/bin/time;
# the processor time is what a machine busy with other work disturbs least.
declare -A best_wall best_cpu
record() {
    local name=$1 wall user sys
    read -r wall user sys <"$work/time"
    wall=$(awk -v x="$wall" 'BEGIN {printf "%d", x * 1000}')
    local cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN {printf "%d", (u + s) * 1000}')
    [[ -z ${best_wall[$name]:-} ]] || ((wall < best_wall[$name])) && best_wall[$name]=$wall
    [[ -z ${best_cpu[$name]:-} ]] || ((cpu < best_cpu[$name])) && best_cpu[$name]=$cpu
}
timed() { /usr/bin/time -f "%e %U %S" -o "$work/time" "$@"; }
check() {
    cmp -s "$work/big.bin" "$work/out.bin" || { echo "net_bench.sh: $1 gave a different file" >&2; exit 1; }
    rm -f "$work/out.bin"
}
peak_rss=0 peak_hwm=0

for round in $(seq "$runs"); do
    timed curl -s -o "$work/out.bin" "$url"; check curl; record curl
    timed wget -q -O "$work/out.bin" "$url"; check wget; record wget

    (cd "$work" && exec /usr/bin/time -f "%e %U %S" -o "$work/time" \
        "$parlendo" --headless --audio null --settings oralix.ini --dump-screen screen.txt get.plo) &
    pid=$!
    child=
    # The sampling uses shell built-ins only, so it takes no processor time from the download.
    while kill -0 "$pid" 2>/dev/null; do
        [[ -z $child ]] && read -r child _ <"/proc/$pid/task/$pid/children" 2>/dev/null
        if [[ -n $child ]]; then
            while read -r key value _; do
                case $key in
                VmRSS:) ((value > peak_rss)) && peak_rss=$value ;;
                VmHWM:) ((value > peak_hwm)) && peak_hwm=$value ;;
                esac
            done <"/proc/$child/status" 2>/dev/null
        fi
        read -r -t 0.02 -u 9 _
    done
    wait "$pid"
    grep -q '^0' "$work/screen.txt" 2>/dev/null || { echo "net_bench.sh: TRAZDAREDE did not give 0" >&2; exit 1; }
    check parlendo
    record parlendo
    echo "round $round (best so far, wall / processor ms): curl ${best_wall[curl]} / ${best_cpu[curl]}," \
        "wget ${best_wall[wget]} / ${best_cpu[wget]}, parlendo ${best_wall[parlendo]} / ${best_cpu[parlendo]}"
done

echo
echo "download of $size_mb MB from the loopback, best of $runs"
for name in curl wget parlendo; do
    awk -v n="$name" -v mb="$size_mb" -v w="${best_wall[$name]}" -v c="${best_cpu[$name]}" \
        'BEGIN {printf "  %-9s %8.1f MB/s   processor time %6d ms\n", n, mb / (w / 1000), c}'
done
awk -v p="${best_wall[parlendo]}" -v c="${best_wall[curl]}" -v w="${best_wall[wget]}" \
    -v pc="${best_cpu[parlendo]}" -v cc="${best_cpu[curl]}" \
    'BEGIN {printf "  throughput parlendo / curl %.2f (goal: 0.90 or more), parlendo / wget %.2f\n", c / p, w / p;
            printf "  processor time parlendo / curl %.2f\n", pc / cc}'
awk -v r="$peak_rss" -v h="$peak_hwm" \
    'BEGIN {printf "  parlendo resident memory while downloading: VmRSS at most %d KB, VmHWM %d KB = %.2f MB (goal: under 10 MB)\n", r, h, h / 1024}'
