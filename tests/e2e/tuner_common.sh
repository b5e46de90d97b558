# Shared by the tuner's end-to-end scripts: sourced after `sintonix` and `here` are set, with
# `needed` naming the programs the script needs. Skips (77) when one is missing; gives `work` (a
# temporary folder) and `sx` (the tuner's folder in it), `fail` and the `failures` count,
# `running_here`, `make_tone` and the speech-log checks. The script sets its own EXIT trap, which
# removes $work.

for program in $needed; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (./setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
sx=$work/sintonix
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Programs the tuner left running in its folder (mpv, ffmpeg): PIDs, one a line.
running_here() {
    local pid
    for pid in $(pgrep -x "$1"); do
        [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == "$sx" ]] || continue
        grep -q '^State:.*Z' "/proc/$pid/status" 2>/dev/null && continue
        echo "$pid"
    done
}

# make_tone FILE: a short MP3 for the fixtures' endless streams.
make_tone() {
    ffmpeg -loglevel error -f lavfi -i sine=f=440:d=5 -b:a 64k -id3v2_version 0 -write_xing 0 "$1" ||
        { echo "FAIL: cannot make the test MP3"; exit 1; }
}

expect_status() {
    [[ $status == "$1" ]] || fail "exit status $status, expected $1; screen:"$'\n'"$(cat "$work/screen")"
}

# The speech log holds these lines in this order (other lines may come between).
speech_in_order() {
    python3 - "$work/speech" "$@" <<'PYTHON'
import sys
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
at = 0
for want in sys.argv[2:]:
    while at < len(lines) and lines[at] != want:
        at += 1
    if at == len(lines):
        print(f"  missing (in order): {want!r}")
        sys.exit(1)
    at += 1
PYTHON
}

speech_has() { grep -qxF -- "$1" "$work/speech"; }
