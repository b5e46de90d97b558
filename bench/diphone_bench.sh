#!/usr/bin/env bash
# Generation of the built-in voice's data at build time: the diphone database (make_diphones)
# against the recordings of letters and words (make_voice_data), both speaking through espeak-ng,
# measured in the same run. Goals: the database made in under 5 minutes on 2 cores and under
# 20 MB. Builds nothing: the build folder is the first argument (default: build).
#
#   bench/diphone_bench.sh [BUILD] [RUNS]
#
# Each generator runs RUNS times (default 3) into a temporary folder; the best wall time counts.
# The exit status is not 0 only when a generator is missing or fails.
set -u

build=${1:-build}
runs=${2:-3}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
for tool in make_diphones make_voice_data; do
    if [[ ! -x $build/$tool ]]; then
        echo "diphone_bench.sh: no $tool in $build (build it first)" >&2
        exit 2
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best() {  # best wall time in seconds of RUNS runs of a command
    local best_time=""
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null || { echo "diphone_bench.sh: $* failed" >&2; exit 1; }
        end=$(date +%s.%N)
        best_time=$(echo "$start $end ${best_time:-1e9}" | awk '{t = $2 - $1; print (t < $3 ? t : $3)}')
    done
    echo "$best_time"
}

diphones=$(best "$build/make_diphones" "$source_dir/data/difones/unidades.txt" "$work/difones")
recordings=$(best "$build/make_voice_data" "$work/letras")
units=$(( $(stat -c %s "$work/difones/DIFONES2.IND") / 15 ))
bytes=$(( $(stat -c %s "$work/difones/DIFONES2.IND") + $(stat -c %s "$work/difones/DIFONES2.DIF") ))
echo "voice data generation, best of $runs"
printf '  make_diphones     %6.2f s   %d units, %d bytes (%.2f MB; goal: under 20 MB)\n' \
    "$diphones" "$units" "$bytes" "$(echo "$bytes" | awk '{print $1 / 1048576}')"
printf '  make_voice_data   %6.2f s\n' "$recordings"
printf '  make_diphones / make_voice_data %.2f; make_diphones / 300 s goal %.4f\n' \
    "$(echo "$diphones $recordings" | awk '{print $1 / $2}')" "$(echo "$diphones" | awk '{print $1 / 300}')"
