#!/usr/bin/env bash
# The terminal renderer's speed, each against a peer measured in the same run:
#
#  1. Output: 100,000 lines written with ESCREVE MUDO into the terminal renderer inside a tmux
#     pane of 80 x 26, against `cat` of the same lines into the same kind of pane. Goal: within
#     2x of cat.
#  2. Key latency: a key byte written on a pty until the program has read it from its queue and
#     the screen update for it has come out of the pty, against `cat` in raw mode echoing the byte
#     on the same kind of pty. Goal: under 5 ms.
#
#   bench/terminal_bench.sh [PARLENDO] [RUNS] [KEYS]
#
# PARLENDO defaults to the Release build in build-bench; RUNS (default 3) runs of the output test
# are made for each program and the best counts; KEYS (default 200) keys are timed. Timing never
# fails the run; a missing program or a wrong result does.
set -u

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
parlendo=${1:-/work/main/build-bench/parlendo}
runs=${2:-3}
keys=${3:-200}
[[ -x $parlendo ]] || { echo "terminal_bench.sh: no parlendo at $parlendo" >&2; exit 2; }
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
command -v tmux >/dev/null || { echo "terminal_bench.sh: tmux is not installed" >&2; exit 2; }
command -v python3 >/dev/null || { echo "terminal_bench.sh: python3 is not installed" >&2; exit 2; }

work=$(mktemp -d)
socket="parlendo-bench-$$"
tmx() { tmux -L "$socket" "$@"; }
trap 'tmx kill-server 2>/dev/null; rm -rf "$work"' EXIT
: >"$work/settings.ini"
term=tmux-256color
infocmp "$term" >/dev/null 2>&1 || term=screen-256color
printf 'set -g default-terminal "%s"\nset -g status off\n' "$term" >"$work/tmux.conf"

# The lines both programs write.
lines=100000
cat >"$work/write.plo" <<EOF
repete i $lines
escreve mudo "Linha " i " de $lines: escrita continua no console de oitenta colunas"
fim repete
EOF
awk -v n=$lines 'BEGIN { for (i = 1; i <= n; i++) printf "Linha %d de %d: escrita continua no console de oitenta colunas\n", i, n }' \
    >"$work/lines.txt"

# pane_ns COMMAND: runs the command in a fresh 80 x 26 pane and sets `elapsed` to its wall time
# in ns, measured inside the pane around the command.
pane_ns() {
    rm -f "$work/t0" "$work/t1" "$work/rc"
    tmx -f "$work/tmux.conf" new-session -d -s bench -x 80 -y 26 -c "$work" \
        "date +%s%N >t0; $1; echo \$? >rc; date +%s%N >t1; tmux -L $socket wait-for -S done"
    tmx wait-for done
    tmx kill-session -t bench 2>/dev/null
    if [[ $(cat "$work/rc") != 0 ]]; then
        echo "terminal_bench.sh: '$1' exited with $(cat "$work/rc")" >&2
        status=1
    fi
    elapsed=$(($(cat "$work/t1") - $(cat "$work/t0")))
}

status=0
best_cat=-1
best_parlendo=-1
for ((r = 0; r < runs; r++)); do
    pane_ns "cat lines.txt"
    ((best_cat < 0 || elapsed < best_cat)) && best_cat=$elapsed
    pane_ns "'$parlendo' --settings settings.ini write.plo"
    ((best_parlendo < 0 || elapsed < best_parlendo)) && best_parlendo=$elapsed
done
bytes=$(wc -c <"$work/lines.txt")

echo "== output: $lines lines ($bytes bytes) into an 80 x 26 tmux pane, best of $runs"
awk -v c="$best_cat" -v p="$best_parlendo" 'BEGIN {
    printf "  cat                  %8.1f ms\n", c / 1e6
    printf "  parlendo ESCREVE MUDO %7.1f ms\n", p / 1e6
    printf "  ratio parlendo / cat  %7.2f   (goal: 2 or less)\n", p / c
}'

# Key latency over a pty.
cat >"$work/echo.plo" <<'EOF'
@volta
le mudo k &
escreve mudo "tecla " k
desvia @volta
EOF
python3 - "$parlendo" "$work" "$keys" <<'EOF' || status=1
import fcntl, os, select, statistics, struct, subprocess, sys, termios, time

parlendo, work, count = sys.argv[1], sys.argv[2], int(sys.argv[3])

def spawn(argv):
    master, slave = os.openpty()
    fcntl.ioctl(master, termios.TIOCSWINSZ, struct.pack("HHHH", 26, 80, 0, 0))
    env = dict(os.environ, TERM="xterm-256color")
    p = subprocess.Popen(argv, stdin=slave, stdout=slave, stderr=slave, cwd=work, env=env,
                         start_new_session=True)
    os.close(slave)
    return p, master

def drain(fd, quiet):
    """Reads until nothing has come for `quiet` seconds; gives what was read."""
    got = b""
    while True:
        r, _, _ = select.select([fd], [], [], quiet)
        if not r:
            return got
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            return got
        if not chunk:
            return got
        got += chunk

def latencies(argv):
    p, fd = spawn(argv)
    drain(fd, 0.5)
    times, wrong = [], 0
    for i in range(count):
        key = bytes([ord("a") + i % 26])
        t0 = time.perf_counter()
        os.write(fd, key)
        r, _, _ = select.select([fd], [], [], 2.0)
        if not r:
            wrong += 1
            continue
        first = os.read(fd, 65536)
        t1 = time.perf_counter()
        answer = first + drain(fd, 0.01)
        if key not in answer:
            wrong += 1
        times.append((t1 - t0) * 1000)
    p.kill()
    p.wait()
    os.close(fd)
    return times, wrong

peer, peer_wrong = latencies(["sh", "-c", "stty raw -echo; exec cat"])
ours, ours_wrong = latencies([parlendo, "--settings", "settings.ini", "echo.plo"])

def line(name, t):
    t = sorted(t)
    p95 = t[int(len(t) * 0.95) - 1]
    print(f"  {name:<22} median {statistics.median(t):6.3f} ms   95% {p95:6.3f} ms   max {t[-1]:6.3f} ms")

print(f"== key latency: a byte written on a pty until the screen update comes out, {count} keys")
line("cat (raw echo)", peer)
line("parlendo", ours)
print(f"  ratio parlendo / cat   median {statistics.median(ours) / statistics.median(peer):6.2f}"
      f"   (goal: parlendo under 5 ms)")
if peer_wrong or ours_wrong:
    print(f"  keys without their answer: cat {peer_wrong}, parlendo {ours_wrong}", file=sys.stderr)
    sys.exit(1)
EOF
exit $status
