#!/usr/bin/env bash
# The built-in voice's joins, stress and melody against espeak-ng on the same tuner-like sentences
# (bench/voice_sentences.txt), in one run (bench/voice_prosody.cpp says what is measured). Builds
# voice_prosody when it is missing; BEFORE=DIR also measures an older database in DIR without
# the melody, for a before-and-after figure.
#
#   bench/voice_prosody.sh [BUILD_FOLDER]
set -eu
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
[[ -x $build/voice_prosody ]] || ninja -C "$build" -j2 voice_prosody >/dev/null
if [[ -n ${BEFORE:-} ]]; then
    echo "== before: $BEFORE, no melody"
    "$build/voice_prosody" "$here/voice_sentences.txt" --plain --database "$BEFORE" | sed -n '/^built-in voice/,$p'
    echo "== now"
fi
"$build/voice_prosody" "$here/voice_sentences.txt"
