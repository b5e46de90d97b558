#!/usr/bin/env bash
# The tuner's search in the open radio directory against curl, in the same run: the 220-station
# search "rock" of tests/e2e/directory_fixture.py on the loopback.
#
#   bench/sources_bench.sh [SINTONIX] [RUNS]   # defaults: build-bench/sintonix, 15
#
# Build sintonix (which builds sintonix-fontes beside it) first, as Release in its own folder:
#   cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DPARLENDO_TESTS=OFF
#   ninja -C build-bench sintonix sintonix-fontes
#
# Each round runs, taking turns: sintonix --headless with the keys "brock{#13}" (it types the
# search, runs sintonix-fontes, shows the results and ends with status 3 when the results menu
# waits for a key, its first station spoken), the same with "brock" (it ends at the search
# question: start-up and the typing only), sintonix-fontes alone with the command the tuner
# gives it, and curl alone with the two requests the search makes (by name and by tag, with the
# country, at once). The tuner's own work from the Enter to the first station spoken is the
# difference of the two sintonix runs. Best and median of RUNS; the peak resident memory of each
# program from /usr/bin/time (for sintonix, the larger of its own and that of the children it
# waited for).
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
sintonix=${1:-$root/build-bench/sintonix}
runs=${2:-15}

for tool in python3 curl /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "sources_bench.sh: $tool is missing" >&2; exit 2; }
done
[[ -x $sintonix ]] || { echo "sources_bench.sh: no sintonix at $sintonix (build it first)" >&2; exit 2; }
sintonix=$(cd "$(dirname "$sintonix")" && pwd)/$(basename "$sintonix")
fontes=$(dirname "$sintonix")/sintonix-fontes
[[ -x $fontes ]] || { echo "sources_bench.sh: no sintonix-fontes beside $sintonix" >&2; exit 2; }
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY

work=$(mktemp -d "${TMPDIR:-/tmp}/sintonix-sources-bench-XXXXXX")
fixture_pid=
cleanup() {
    [[ -n $fixture_pid ]] && kill "$fixture_pid" 2>/dev/null && wait "$fixture_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The streams are not played here: any bytes do for the fixture's MP3.
head -c 4000 /dev/zero >"$work/tone.mp3"
python3 "$root/tests/e2e/directory_fixture.py" --port-file "$work/ports" --mp3 "$work/tone.mp3" \
    --log "$work/fixture.log" &
fixture_pid=$!
for _ in $(seq 200); do [[ -s $work/ports ]] && break; sleep 0.05; done
port=$(awk '$1 == "directory" {print $2}' "$work/ports")
[[ -n $port ]] || { echo "sources_bench.sh: the fixture did not start" >&2; exit 2; }
base="http://127.0.0.1:$port"

mkdir -p "$work/sx"
cat >"$work/sx/sintonix.cfg" <<EOF
FONTE_RADIOS=radio-browser
RADIOS_SERVIDORES=$base
PAIS=BR
NOTICIAS_FEEDS=
SITE_DIRETORIO=$base
SITE_NOTICIAS=$base
TOCADOR=true
GRAVADOR=true
PARAR=true
ESPERA_TOCADOR=0
EOF
printf '[ORALIX]\nTEMPOESPERAPROGVOLTAR=0\n' >"$work/settings.ini"

python3 - "$sintonix" "$fontes" "$base" "$work" "$runs" <<'EOF'
import os, statistics, subprocess, sys, time

sintonix, fontes, base, work, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
sx = os.path.join(work, "sx")
env = dict(os.environ, SINTONIX_DIR=sx)
query = "countrycode=BR&hidebroken=true&limit=500&order=clickcount&reverse=true"


def measure(argv, cwd, want_status):
    """Wall time (ms) and peak resident memory (KB) of one run of argv."""
    # The peak comes from /usr/bin/time, not from this script's own wait4: a child started from
    # Python keeps Python's resident size as its peak across the exec.
    peak_file = os.path.join(work, "peak")
    start = time.perf_counter()
    code = subprocess.call(["/usr/bin/time", "-f", "%M", "-o", peak_file] + argv, cwd=cwd, env=env,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = (time.perf_counter() - start) * 1000
    if code != want_status:
        sys.exit(f"sources_bench.sh: {argv[:4]} ended with {code}, expected {want_status}")
    with open(peak_file) as f:
        return wall, int(f.read().split()[-1])


def tuner(keys):
    speech = os.path.join(work, "speech")
    result = measure([sintonix, "--headless", "--keys", keys, "--dump-screen", os.path.join(work, "screen"),
                      "--speech-log", speech, "--audio", "null", "--settings", os.path.join(work, "settings.ini")],
                     work, 3)
    return result, open(speech, encoding="utf-8").read().split("\n")


def search_run():
    result, spoken = tuner("brock{#13}")
    for want in ("220 ítens encontrados.", "Rádio Cidade 1, São Paulo - BR, rock / pop"):
        if want not in spoken:
            sys.exit(f"sources_bench.sh: the search did not say {want!r}")
    return result


def typing_run():
    return tuner("brock")[0]


def fontes_run():
    result = measure([fontes, "busca", "rock", "--saida", "busca.lst", "--paginas", "22", "--estado",
                      "fontes.txt", "--servidores", base, "--pais", "BR"], work, 0)
    with open(os.path.join(work, "fontes.txt"), "rb") as f:
        if f.read().split()[:2] != [b"ok", b"220"]:
            sys.exit("sources_bench.sh: sintonix-fontes did not find 220 stations")
    return result


def curl_run():
    return measure(["curl", "-s", "--compressed", "--parallel", "-A", "Sintonix/1.6",
                    "-o", "/dev/null", f"{base}/json/stations/search?name=rock&{query}",
                    "-o", "/dev/null", f"{base}/json/stations/search?tag=rock&{query}"], work, 0)


programs = {"search": search_run, "typing": typing_run, "fontes": fontes_run, "curl": curl_run}
for run in programs.values():   # warm-up: seeds the tuner's folder, fills the page cache
    run()
walls = {name: [] for name in programs}
peaks = {name: 0 for name in programs}
for round_ in range(runs):
    for name, run in programs.items():
        wall, peak = run()
        walls[name].append(wall)
        peaks[name] = max(peaks[name], peak)

best = {n: min(w) for n, w in walls.items()}
median = {n: statistics.median(w) for n, w in walls.items()}
work_best = best["search"] - best["typing"]
work_median = median["search"] - median["typing"]
print(f"search \"rock\" (220 stations) on the loopback, {runs} rounds; wall ms, best / median")
for name, label in (("search", 'sintonix, keys "brock{#13}"'), ("typing", 'sintonix, keys "brock"'),
                    ("fontes", "sintonix-fontes busca alone"), ("curl", "curl, the two requests")):
    print(f"  {label:34} {best[name]:7.1f} / {median[name]:7.1f}   peak RSS {peaks[name] / 1024:6.2f} MB")
print(f"  the tuner's work, Enter to first station: {work_best:.1f} / {work_median:.1f} ms (goal: under 100 ms)")
print(f"  ratio to curl: {work_best / best['curl']:.2f} / {work_median / median['curl']:.2f};"
      f" sintonix-fontes alone / curl: {best['fontes'] / best['curl']:.2f} / {median['fontes'] / median['curl']:.2f}")
print(f"  peak RSS: sintonix {peaks['search'] / 1024:.2f} MB, sintonix-fontes {peaks['fontes'] / 1024:.2f} MB,"
      f" curl {peaks['curl'] / 1024:.2f} MB (goal: under 30 MB)")
EOF
