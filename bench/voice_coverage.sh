#!/usr/bin/env bash
# Coverage of the built-in voice over Debian's Brazilian word list (package wbrazilian): every word
# goes through the translator (data/difones/regras.rgr and portug.exc of the source tree) and the
# diphone synthesiser's lookup in the generated database, without sound. Prints the share of words
# whose names are all found (no Noise, no Dropped; goal: at least 99.5%), the share that needed
# Decomposed, and the most frequent missing names with example words.
#
#   bench/voice_coverage.sh [BUILD_DIR] [WORD_LIST]     # defaults: build, /usr/share/dict/brazilian
#
# Builds the tool and the database in BUILD_DIR (configuring it when needed). Exit status: 0 when
# the goal is met, 1 when it is not, 2 when something is missing.
set -u
cd "$(dirname "$0")/.."
build=${1:-build}
words=${2:-/usr/share/dict/brazilian}
if [[ ! -r $words ]]; then
    echo "voice_coverage.sh: no word list at $words (apt-get install wbrazilian)" >&2
    exit 2
fi
if [[ ! -f $build/build.ninja ]]; then
    cmake -S . -B "$build" -G Ninja >/dev/null || exit 2
fi
ninja -C "$build" voice_coverage diphone_data >/dev/null || { echo "voice_coverage.sh: build failed" >&2; exit 2; }
out=$("$build/voice_coverage" --rules data/difones/regras.rgr --exceptions data/difones/portug.exc \
      --database "$build/share/oralix/difones" --words "$words" --top 25) || exit 2
echo "$out"
share=$(sed -n 's/^covered.*(\([0-9.]*\)%)$/\1/p' <<<"$out")
awk -v s="$share" 'BEGIN { exit !(s >= 99.5) }' && exit 0
echo "voice_coverage.sh: coverage $share% is below the goal of 99.5%" >&2
exit 1
