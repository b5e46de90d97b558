#!/usr/bin/env bash
# Runs every built fuzz target for a while and reports what each found. Builds nothing: build
# the targets first with
#
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DPARLENDO_FUZZ=ON -DPARLENDO_TESTS=OFF \
#       -DCMAKE_BUILD_TYPE=RelWithDebInfo && ninja -C build-fuzz
#
#   fuzz/run.sh [SECONDS] [BUILD_FOLDER] [TARGET...]
#
# SECONDS (default 60) is the time given to each target; the targets run one after another (name
# some to run only those). Each keeps its corpus in BUILD_FOLDER/fuzz-corpus/TARGET, so later runs
# start from what earlier ones found; the script corpus starts from the .plo files of the tests
# and benchmarks. Crash, leak, time-out and memory reproducers go to BUILD_FOLDER/fuzz-findings/
# TARGET/. The exit status is not 0 when any target found something or could not run.
#
# A target normally stops at its first finding. With KEEP_GOING=1 in the environment it runs in
# libFuzzer's fork mode and carries on past crashes, time-outs and memory blow-ups, so that one
# known fault does not hide the next; every reproducer is kept.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
seconds=${1:-60}
build=${2:-$root/build-fuzz}
shift $(($# < 2 ? $# : 2))
[[ -d $build ]] || { echo "run.sh: no build folder $build" >&2; exit 2; }
build=$(cd "$build" && pwd)

targets=("$@")
if ((${#targets[@]} == 0)); then
    for t in "$build"/fuzz_*; do
        [[ -x $t && -f $t ]] && targets+=("$(basename "$t")")
    done
fi
if ((${#targets[@]} == 0)); then
    echo "run.sh: no fuzz targets in $build (build them first)" >&2
    exit 2
fi

status=0
summary=()
for name in "${targets[@]}"; do
    binary=$build/$name
    if [[ ! -x $binary ]]; then
        echo "run.sh: $binary is not built" >&2
        summary+=("$name: not built")
        status=1
        continue
    fi
    corpus=$build/fuzz-corpus/$name
    findings=$build/fuzz-findings/$name
    mkdir -p "$corpus" "$findings"
    if [[ $name == fuzz_execute_line ]] && [[ -z $(ls -A "$corpus") ]]; then
        find "$root/tests" "$root/bench" -name '*.plo' -size -64k -exec cp {} "$corpus/" \; 2>/dev/null
    fi
    # The data-file readers start from the shipped files: the braille tables whole, the Brisa
    # front end from the head of each of its five files joined as the target splits its input
    # (by a line "--"), then a sentence to say.
    if [[ $name == fuzz_braille_tables ]] && [[ -z $(ls -A "$corpus") ]]; then
        cp "$root"/data/braille/*.tab "$corpus/"
    fi
    if [[ $name == fuzz_brisa_front_end ]] && [[ -z $(ls -A "$corpus") ]]; then
        for ext in abr nrl exc pro dfn; do
            head -n 80 "$root/data/brisa/portug.$ext"
            printf '\n--\n'
        done >"$corpus/data_files"
        printf 'Bem-vindo ao Sintonix, vers\343o 1.6! O Sr. Silva tem 1.234,5 reais; 2\252 p\341gina: 12-05? CPF...' \
            >>"$corpus/data_files"
    fi
    # The picture readers start from pictures made here: a 2 x 2 BMP of 24 bits written byte by
    # byte, and JPEGs (colour and grey) made by ffmpeg when it is there.
    if [[ $name == fuzz_bmp ]] && [[ -z $(ls -A "$corpus") ]]; then
        printf 'BM\106\0\0\0\0\0\0\0\66\0\0\0\50\0\0\0\2\0\0\0\2\0\0\0\1\0\30\0\0\0\0\0\20\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0' \
            >"$corpus/rgb.bmp"
        printf '\377\0\0\0\377\0\0\0\0\0\377\377\377\377\0\0' >>"$corpus/rgb.bmp"
    fi
    if [[ $name == fuzz_jpeg ]] && [[ -z $(ls -A "$corpus") ]] && command -v ffmpeg >/dev/null; then
        ffmpeg -loglevel error -f lavfi -i testsrc=size=32x24 -frames:v 1 "$corpus/colour.jpg"
        ffmpeg -loglevel error -f lavfi -i testsrc=size=16x16 -frames:v 1 -pix_fmt gray "$corpus/grey.jpg"
    fi
    # Targets with seeds of their own (sample pages) start from them.
    if [[ -d $here/seeds/$name ]] && [[ -z $(ls -A "$corpus") ]]; then
        cp "$here/seeds/$name"/* "$corpus/"
    fi
    log=$findings/last-run.log
    stamp=$findings/.started
    : >"$stamp"
    options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -artifact_prefix="$findings/"
        -print_final_stats=1)
    if [[ ${KEEP_GOING:-0} == 1 ]]; then
        options+=(-fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
    fi
    echo "== $name for $seconds s (corpus $corpus)"
    "$binary" "$corpus" "${options[@]}" >"$log" 2>&1
    rc=$?
    # Executions: the final statistics of a plain run, the last progress line in fork mode.
    execs=$(awk '/^stat::number_of_executed_units/ {print $2}' "$log" | tail -1)
    [[ -z $execs ]] && execs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
    mapfile -t found < <(find "$findings" -maxdepth 1 -type f -newer "$stamp" \
        \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | sort)
    if ((rc != 0 || ${#found[@]} > 0)); then
        status=1
        echo "   FOUND ${#found[@]} reproducer(s) (exit $rc): see $log"
        grep -E '^(SUMMARY|==[0-9]+==ERROR)|^fuzz_[a-z_]+: |what\(\)' "$log" | sort | uniq -c | head -8 | sed 's/^/   /'
        printf '   reproducer: %s\n' "${found[@]}" | head -10
        summary+=("$name: ${execs:-?} executions in $seconds s, FOUND ${#found[@]} reproducer(s)")
    else
        summary+=("$name: ${execs:-?} executions in $seconds s, nothing found")
    fi
done

echo
echo "summary:"
printf '  %s\n' "${summary[@]}"
exit $status
