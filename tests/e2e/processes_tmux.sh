#!/usr/bin/env bash
# A waited-for program under parlendo's terminal renderer, inside tmux: the program gets the
# terminal in its normal modes and as the foreground (it reads a typed line; Ctrl+C ends it and
# not parlendo), and afterwards the console comes back whole and takes keys again.
#
#   tests/e2e/processes_tmux.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no tmux).
set -u

parlendo=${1:?usage: processes_tmux.sh PARLENDO}
socket_name=parlendo-proc
source "$(dirname "$0")/tmux_common.sh"
printf '[ORALIX]\nTEMPOESPERAPROGVOLTAR=0\n' >"$work/settings.ini"

# The child shows its terminal modes (canonical input and echo on, as a shell leaves them), reads
# a line, then sleeps until Ctrl+C ends it.
cat >"$work/child.sh" <<'EOF'
echo "FILHO $(stty -a | tr ' ' '\n' | grep -Ex -- '-?(icanon|echo)' | tr '\n' ' ')"
read -r line
echo "LIDO-$line"
sleep 30
EOF
cat >"$work/waited.plo" <<'EOF'
cor 14
escreve "antes do programa"
executa "sh child.sh"
cor 7
escreve "depois do programa"
le k &
escreve "tecla " k
le k &
EOF

tmx -f "$work/tmux.conf" new-session -d -s w -x 80 -y 26 -c "$work" \
    "stty -g >w.before; '$parlendo' --settings settings.ini waited.plo; echo \$? >w.status; stty -g >w.after; exec sh"
wait_for w "^FILHO " || fail "the waited-for program did not start in the terminal"
modes=$(tmx capture-pane -p -t w | grep -E "^FILHO ")
[[ $modes == "FILHO icanon echo" ]] || fail "the program got the terminal in other modes: '$modes'"
tmx capture-pane -p -t w | grep -q "antes do programa" && fail "the console screen stayed while the program ran"
[[ $(tmx display -p -t w '#{alternate_on}#{mouse_any_flag}') == 00 ]] ||
    fail "the alternate screen or mouse reporting stayed on while the program ran"
tmx send-keys -t w 'linha digitada' Enter
wait_for w "^LIDO-linha digitada" || fail "the program could not read the terminal"
tmx send-keys -t w C-c
wait_for w "^depois do programa" || fail "Ctrl+C did not end the program, or parlendo did not go on"
tmx capture-pane -p -t w | grep -q "^antes do programa" || fail "the console was not drawn again"
tmx capture-pane -p -t w | grep -q "LIDO-" && fail "the program's output is left on the console screen"
line1=$(tmx capture-pane -e -p -t w | head -1)
[[ $line1 == *'38;5;226'*"antes do programa"* ]] || fail "colours lost on redraw: $(printf '%q' "$line1")"
tmx send-keys -t w x
wait_for w "^tecla x" || fail "keys do not reach the console after the program"
tmx send-keys -t w Enter
for ((i = 0; i < 100; i++)); do [[ -s $work/w.after ]] && break; sleep 0.05; done
[[ $(cat "$work/w.status" 2>/dev/null) == 0 ]] || fail "exit status $(cat "$work/w.status" 2>/dev/null), expected 0"
cmp -s "$work/w.before" "$work/w.after" || fail "terminal settings differ after the run"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "waited-for program in tmux: all checks passed"
