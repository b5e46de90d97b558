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
# Each round downloads the file once with every program, taking turns; the best time of each
# counts. While parlendo downloads, VmRSS and VmHWM (the peak) are sampled from /proc every 20 ms
# with shell built-ins, which take no processor time from the download. Every downloaded file is compared with the original.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
parlendo=${1:-$root/build-bench/parlendo}
size_mb=${2:-500}
runs=${3:-3}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")

for tool in python3 curl wget cmp; do
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

now() { echo $((${EPOCHREALTIME/./} * 1000)); }
# A pipe that never gets a line: "read -t" on it is a sleep without starting a process.
mkfifo "$work/never"
exec 9<>"$work/never"
best_curl= best_wget= best_parlendo= peak_rss=0 peak_hwm=0
better() { [[ -z $1 ]] || (($2 < $1)) && echo "$2" || echo "$1"; }
check() {
    cmp -s "$work/big.bin" "$work/out.bin" || { echo "net_bench.sh: $1 gave a different file" >&2; exit 1; }
    rm -f "$work/out.bin"
}

for round in $(seq "$runs"); do
    t0=$(now); curl -s -o "$work/out.bin" "$url"; t1=$(now); check curl
    best_curl=$(better "$best_curl" $((t1 - t0)))

    t0=$(now); wget -q -O "$work/out.bin" "$url"; t1=$(now); check wget
    best_wget=$(better "$best_wget" $((t1 - t0)))

    t0=$(now)
    (cd "$work" && exec "$parlendo" --headless --settings oralix.ini --dump-screen screen.txt get.plo) &
    pid=$!
    # The sampling uses shell built-ins only, so it takes no processor time from the download.
    while kill -0 "$pid" 2>/dev/null; do
        while read -r key value _; do
            case $key in
            VmRSS:) ((value > peak_rss)) && peak_rss=$value ;;
            VmHWM:) ((value > peak_hwm)) && peak_hwm=$value ;;
            esac
        done <"/proc/$pid/status" 2>/dev/null
        read -r -t 0.02 -u 9 _
    done
    wait "$pid"
    t1=$(now)
    grep -q '^0' "$work/screen.txt" 2>/dev/null || { echo "net_bench.sh: TRAZDAREDE did not give 0" >&2; exit 1; }
    check parlendo
    best_parlendo=$(better "$best_parlendo" $((t1 - t0)))
    echo "round $round: curl $((best_curl / 1000000)) ms, wget $((best_wget / 1000000)) ms, parlendo $((best_parlendo / 1000000)) ms (best so far)"
done

mbps() { awk -v mb="$size_mb" -v ns="$1" 'BEGIN {printf "%8.1f", mb / (ns / 1e9)}'; }
echo
echo "download of $size_mb MB from the loopback, best of $runs"
echo "  curl      $(mbps "$best_curl") MB/s"
echo "  wget      $(mbps "$best_wget") MB/s"
echo "  parlendo  $(mbps "$best_parlendo") MB/s"
awk -v p="$best_parlendo" -v c="$best_curl" -v w="$best_wget" \
    'BEGIN {printf "  parlendo / curl throughput %.2f (goal: 0.90 or more), parlendo / wget %.2f\n", c / p, w / p}'
awk -v r="$peak_rss" -v h="$peak_hwm" \
    'BEGIN {printf "  parlendo resident memory while downloading: VmRSS at most %d KB, VmHWM %d KB = %.2f MB (goal: under 10 MB)\n", r, h, h / 1024}'
