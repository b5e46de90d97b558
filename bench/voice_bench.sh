#!/usr/bin/env bash
# The built-in voice against espeak-ng on the same Portuguese text (bench/voice_text.txt, about
# 1100 words of news-like prose with numbers and punctuation), in the same run: parlendo speaks it
# line by line with FALA to the `dir:` sound device (every sound becomes a WAV file; playing takes
# no time, and the pauses after punctuation are set to 0), and `espeak-ng -v pt-br -w` writes the
# same text to one WAV file. Then the resident memory of sintonix with its voice open, waiting for a
# key after its first screen. Builds nothing.
#
#   bench/voice_bench.sh [BUILD_FOLDER] [RUNS]     (default: build beside this script, 3 runs)
#
# The best of RUNS times counts for each, the two taking turns (wall clock and processor time).
# Then the voice alone against the espeak-ng library, both synthesising into memory in one process
# (build/voice_synthesis). Goals: the built-in voice at least 10 times faster than espeak-ng;
# sintonix under 30 MB resident.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:-$here/../build}
runs=${2:-3}
build=$(cd "$build" && pwd)
parlendo=$build/parlendo
sintonix=$build/sintonix
text=$here/voice_text.txt
for p in "$parlendo" "$sintonix"; do
    [[ -x $p ]] || { echo "voice_bench.sh: no $p (build it first)" >&2; exit 2; }
done
command -v espeak-ng >/dev/null || { echo "voice_bench.sh: espeak-ng not found" >&2; exit 2; }
if [[ ! -f $build/share/oralix/difones/DIFONES2.IND || ! -f $build/share/oralix/difones/regras.rgr ]]; then
    echo "voice_bench.sh: no diphone database and rules in $build/share/oralix/difones" >&2
    exit 2
fi

# The sounds are written to a folder in memory when the machine has one (/dev/shm), for both
# programs alike: what is timed is the synthesis, not the creation of files on a disk (on this
# project's virtual machine the dir: device's 343 files cost more on ext4 than the voice itself).
# BENCH_FOLDER chooses another place.
base=${BENCH_FOLDER:-/dev/shm}
[[ -d $base && -w $base ]] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/voice_bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
settings=$work/oralix.ini
printf '[SINTETIZADOR]\r\nPAUSAPONTO3=0\r\nPAUSAVIRG3=0\r\nPAUSADOISPONTOS3=0\r\n' >"$settings"
script=$work/texto.plo
while IFS= read -r line; do
    [[ -n $line ]] && printf 'fala "%s"\n' "$line"
done <"$text" >"$script"
echo 'termina mudo' >>"$script"

# Runs the two commands RUNS times, taking turns; prints for each the best wall time and the best
# processor time (user + system, from the kernel's accounting of the finished child: on a machine
# shared with builds it moves far less than the wall clock), both in ms.
read -r -d '' timer <<'PY'
import os, sys, time
runs = int(sys.argv[1]); out = sys.argv[2]
commands = [c.split("\x1f") for c in sys.argv[3:]]
best = [[None, None] for _ in commands]
null = os.open(os.devnull, os.O_RDWR)
for _ in range(runs):
    for i, cmd in enumerate(commands):
        if cmd[0] == "parlendo-fresh":
            import shutil; shutil.rmtree(out, ignore_errors=True); cmd = cmd[1:]
        start = time.monotonic()
        pid = os.posix_spawn(cmd[0], cmd, dict(os.environ), file_actions=[
            (os.POSIX_SPAWN_DUP2, null, 0), (os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)])
        _, status, usage = os.wait4(pid, 0)
        wall = (time.monotonic() - start) * 1000
        cpu = (usage.ru_utime + usage.ru_stime) * 1000
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit("voice_bench.sh: %s failed" % cmd[0])
        for k, v in enumerate((wall, cpu)):
            if best[i][k] is None or v < best[i][k]: best[i][k] = v
for w, c in best: print("%.1f %.1f" % (w, c))
PY
sep=$'\x1f'
p_cmd="parlendo-fresh$sep$parlendo$sep--headless$sep--audio${sep}dir:$work/sons$sep--settings$sep$settings$sep$script"
e_cmd="$(command -v espeak-ng)$sep-v${sep}pt-br$sep-w$sep$work/espeak.wav$sep-f$sep$text"
mapfile -t best < <(python3 -c "$timer" "$runs" "$work/sons" "$p_cmd" "$e_cmd") || exit 1
((${#best[@]} == 2)) || exit 1
read -r wall_p cpu_p <<<"${best[0]}"
read -r wall_e cpu_e <<<"${best[1]}"

# Seconds of sound each made (8-bit 11025 Hz files from parlendo; espeak-ng's header says its own).
audio_p=$(find "$work/sons" -name '*.wav' -printf '%s\n' | awk '{b += $1 - 44} END {printf "%.1f", b / 11025}')
audio_e=$(python3 -c "import wave,sys; w=wave.open(sys.argv[1]); print('%.1f' % (w.getnframes()/w.getframerate()))" "$work/espeak.wav" 2>/dev/null || echo "?")
files=$(find "$work/sons" -name '*.wav' | wc -l)
words=$(wc -w <"$text")
printf 'text: %d words, %d lines; best of %d runs; sounds written in %s\n' "$words" "$(grep -c . "$text")" "$runs" "$base"
printf '%-38s wall %8s ms   processor %8s ms   %s s of sound in %d files\n' \
    "parlendo, built-in voice, dir: device" "$wall_p" "$cpu_p" "$audio_p" "$files"
printf '%-38s wall %8s ms   processor %8s ms   %s s of sound\n' "espeak-ng -v pt-br -w" "$wall_e" "$cpu_e" "$audio_e"
printf 'ratio espeak-ng / parlendo: wall %.1f, processor %.1f   goal: at least 10\n' \
    "$(awk -v a="$wall_e" -v b="$wall_p" 'BEGIN {print a / b}')" "$(awk -v a="$cpu_e" -v b="$cpu_p" 'BEGIN {print a / b}')"
echo
if [[ -x $build/voice_synthesis ]]; then
    "$build/voice_synthesis" "$text" 5
    echo
fi

# Resident memory of sintonix waiting for a key (standard input is a pipe held open here) after
# its voice has spoken the first screen.
mkdir -p "$work/tuner"
fifo=$work/stdin
mkfifo "$fifo"
SINTONIX_DIR=$work/tuner "$sintonix" --audio "dir:$work/sons-tuner" --settings "$settings" <"$fifo" >/dev/null 2>&1 &
pid=$!
exec 3>"$fifo"
sleep 3
rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
spoken=$(find "$work/sons-tuner" -name '*.wav' 2>/dev/null | wc -l)
exec 3>&-
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [[ -z $rss ]]; then
    echo "sintonix ended before it could be measured"
    exit 1
fi
printf 'sintonix with the voice open: VmRSS %d KB = %.2f MB, peak %d KB (%d sounds played)   ratio to the 30 MB goal: %.2f\n' \
    "$rss" "$(awk -v k="$rss" 'BEGIN {print k / 1024}')" "$hwm" "$spoken" "$(awk -v k="$rss" 'BEGIN {print k / 30720}')"
