#!/usr/bin/env bash
# The Brisa voice's front end against espeak-ng: the phoneme error rate of its PhonemeString on
# 2,000 words of Debian's Brazilian word list (package wbrazilian) drawn with a fixed seed (goal:
# under 2%), the same on the tuner's own vocabulary (judged with bench/voice_phonemes_br.txt), and
# the front end's speed on bench/voice_text.txt beside espeak-ng's text-to-phonemes.
#
#   bench/brisa_phonemes.sh [BUILD_DIR] [--diffs]     # default: build
#
# Exit status: 0 when the goal is met, 1 when not, 2 when something is missing.
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
words=/usr/share/dict/brazilian
if [[ ! -r $words ]]; then
    echo "brisa_phonemes.sh: no word list at $words (apt-get install wbrazilian)" >&2
    exit 2
fi
if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja >/dev/null || exit 2
fi
ninja -C "$build" voice_phonemes brisa_front_end_bench >/dev/null || { echo "brisa_phonemes.sh: build failed" >&2; exit 2; }
strings=$(mktemp)
trap 'rm -f "$strings"' EXIT
grep -o '"[^"]*"' src/app/tuner.plo >"$strings"
tool=("$build/voice_phonemes" --brisa data/brisa "$@")
status=0
echo "== 2000 words of $words, seed 1"
out=$("${tool[@]}" --words "$words" --sample 2000 --seed 1) || exit 2
echo "$out"
rate=$(sed -n 's/^phoneme error rate: \([0-9.]*\)%$/\1/p' <<<"$out")
awk -v r="$rate" 'BEGIN { exit !(r < 2.0) }' || { echo "brisa_phonemes.sh: $rate% is not under 2%" >&2; status=1; }
echo
echo "== the tuner's vocabulary (sintonix.ajd, tuner.plo strings, segmentos.lst), Brazilian reference"
"${tool[@]}" --reference bench/voice_phonemes_br.txt --text data/sintonix/sintonix.ajd --text "$strings" \
    --text data/sintonix/segmentos.lst --top 10 || exit 2
echo
echo "== speed"
"$build/brisa_front_end_bench" data/brisa bench/voice_text.txt || exit 2
exit $status
