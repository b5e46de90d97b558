#!/usr/bin/env bash
# Phoneme error rate of the built-in voice's translator (data/difones/regras.rgr and portug.exc of
# the source tree) against espeak-ng's pt-br phonemes, on two sets of words:
#   (a) the tuner's own vocabulary: the words of data/sintonix/sintonix.ajd, of the quoted strings
#       of src/app/tuner.plo and of data/sintonix/segmentos.lst (goal: under 2%);
#   (b) 2,000 words of Debian's Brazilian word list (package wbrazilian) drawn with a fixed seed
#       (goal: under 1.5%).
# The phoneme set and the alignment are described in tools/voice_phonemes.cpp and bench/README.md.
#
#   bench/voice_phonemes.sh [BUILD_DIR] [--diffs]     # default: build
#
# Exit status: 0 when both goals are met, 1 when one is not, 2 when something is missing.
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true
words=/usr/share/dict/brazilian
if [[ ! -r $words ]]; then
    echo "voice_phonemes.sh: no word list at $words (apt-get install wbrazilian)" >&2
    exit 2
fi
if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja >/dev/null || exit 2
fi
ninja -C "$build" voice_phonemes >/dev/null || { echo "voice_phonemes.sh: build failed" >&2; exit 2; }
strings=$(mktemp)
trap 'rm -f "$strings"' EXIT
grep -o '"[^"]*"' src/app/tuner.plo >"$strings"
tool=("$build/voice_phonemes" --rules data/difones/regras.rgr --exceptions data/difones/portug.exc
      --reference bench/voice_phonemes_br.txt "$@")
status=0
echo "== (a) the tuner's vocabulary (sintonix.ajd, tuner.plo strings, segmentos.lst)"
out=$("${tool[@]}" --text data/sintonix/sintonix.ajd --text "$strings" --text data/sintonix/segmentos.lst) || exit 2
echo "$out"
rate=$(sed -n 's/^phoneme error rate: \([0-9.]*\)%$/\1/p' <<<"$out")
awk -v r="$rate" 'BEGIN { exit !(r < 2.0) }' || { echo "voice_phonemes.sh: $rate% is not under 2%" >&2; status=1; }
echo
echo "== (b) 2000 words of $words, seed 1"
out=$("${tool[@]}" --words "$words" --sample 2000 --seed 1) || exit 2
echo "$out"
rate=$(sed -n 's/^phoneme error rate: \([0-9.]*\)%$/\1/p' <<<"$out")
awk -v r="$rate" 'BEGIN { exit !(r < 1.5) }' || { echo "voice_phonemes.sh: $rate% is not under 1.5%" >&2; status=1; }
exit $status
