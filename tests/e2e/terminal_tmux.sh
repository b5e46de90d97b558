#!/usr/bin/env bash
# Drives parlendo's terminal renderer inside tmux: keys typed with send-keys, the screen read back
# with capture-pane (text, colours, cursor, title), and the terminal checked after the program
# ends normally, on SIGTERM and on a crash signal.
#
#   tests/e2e/terminal_tmux.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no tmux).
set -u

parlendo=${1:?usage: terminal_tmux.sh PARLENDO}
socket_name=parlendo-e2e
source "$(dirname "$0")/tmux_common.sh"
: >"$work/settings.ini"

# wait_file FILE: waits up to 5 s for the file to exist.
wait_file() {
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s $1 ]] && return 0
        sleep 0.05
    done
    return 1
}

# start SESSION SCRIPT: runs parlendo on the script in an 80 x 26 pane. Around it a shell saves
# the terminal settings before and after, and the program's exit status; then a shell stays for
# typing.
start() {
    local s=$1 script=$2
    tmx -f "$work/tmux.conf" new-session -d -s "$s" -x 80 -y 26 -c "$work" \
        "stty -g >$s.before; sh -c 'echo \$\$ >$s.pid; exec \"\$0\" --settings settings.ini \"\$1\"' \
            '$parlendo' '$script'; echo \$? >$s.status; stty -g >$s.after; PS1='$s\$ ' exec sh"
}

# The terminal is as it was: same settings, and a shell that echoes what is typed and runs it.
check_restored() {
    local s=$1 expected=$2
    wait_file "$work/$s.after" || { fail "$s: the program did not end"; return; }
    [[ $(cat "$work/$s.status") == "$expected" ]] ||
        fail "$s: exit status $(cat "$work/$s.status"), expected $expected"
    cmp -s "$work/$s.before" "$work/$s.after" || fail "$s: terminal settings differ after the run"
    wait_for "$s" "^$s\\$" || fail "$s: no shell prompt after the run"
    tmx send-keys -t "$s" 'echo done-$((20+22))' Enter
    wait_for "$s" "echo done-" || fail "$s: typed text is not echoed after the run"
    wait_for "$s" "^done-42" || fail "$s: the shell does not run commands after the run"
    [[ $(tmx display -p -t "$s" '#{mouse_any_flag}#{mouse_sgr_flag}#{alternate_on}') == 000 ]] ||
        fail "$s: mouse reporting or the alternate screen left on"
}

cat >"$work/keys.plo" <<'EOF'
titulo "Sintonia de teste"
cor 14
fundo 1
escreve "Olá, ação"
cor 15
fundo 0
le tecla k &
escreve "tecla " k
le tecla k &
escreve "seta " k
le tecla k &
escreve "ctrl " k
le tecla k &
escreve "esc " k
le tecla k &
escreve "mouse " k
le tecla k &
escreve "alt " k
le tecla k &
escreve "ctrl-seta " k
le tecla k &
escreve "acento " k
tela @10,20
le tecla k &
EOF

# Text, colours, title and cursor.
start keys keys.plo
wait_for keys "^Olá, ação" || fail "the first line is not on the screen"
line1=$(tmx capture-pane -e -p -t keys | head -1)
[[ $line1 == *$'\e[38;5;226m'*$'\e[48;5;21m'*"Olá, ação"* || $line1 == *'38;5;226;48;5;21m'*"Olá, ação"* ]] ||
    fail "yellow on blue expected on the first line: $(printf '%q' "$line1")"
[[ $(tmx display -p -t keys '#{pane_title}') == "Sintonia de teste" ]] ||
    fail "title: $(tmx display -p -t keys '#{pane_title}')"
[[ $(tmx display -p -t keys '#{cursor_x},#{cursor_y}') == 0,1 ]] ||
    fail "cursor at $(tmx display -p -t keys '#{cursor_x},#{cursor_y}'), expected 0,1"

# Keys: a letter, an arrow, Ctrl+C (a key, not a signal), Esc alone, a mouse click, Alt+x,
# Ctrl+Right.
tmx send-keys -t keys a
wait_for keys "^tecla 000#97$" || fail "the letter a"
tmx send-keys -t keys Up
wait_for keys "^seta 000#0#72$" || fail "the Up arrow"
tmx send-keys -t keys C-c
wait_for keys "^ctrl 010#3$" || fail "Ctrl+C"
tmx send-keys -t keys Escape
wait_for keys "^esc 000#27$" || fail "Esc"
tmx send-keys -t keys -H 1b 5b 3c 30 3b 35 3b 33 4d 1b 5b 3c 30 3b 35 3b 33 6d
wait_for keys "^mouse 000#13$" || fail "a left click"
tmx send-keys -t keys M-x
wait_for keys "^alt 001#0#45$" || fail "Alt+x"
tmx send-keys -t keys C-Right
wait_for keys "^ctrl-seta 010#0#116$" || fail "Ctrl+Right"
tmx send-keys -t keys -l 'á'
wait_for keys "^acento 000#225$" || fail "a letter typed as UTF-8"
sleep 0.1
[[ $(tmx display -p -t keys '#{cursor_x},#{cursor_y}') == 9,19 ]] ||
    fail "cursor at $(tmx display -p -t keys '#{cursor_x},#{cursor_y}') after TELA @10,20, expected 9,19"
tmx send-keys -t keys Enter
check_restored keys 0

# An execution error: the report waits for Enter, then the program ends with status 1. Why it
# failed goes to standard error, the terminal the program draws on: kept off its screen and
# written once the terminal is given back, so that it stays on the shell's screen.
printf 'escreve "antes"\ncomando_que_nao_existe\n' >"$work/error.plo"
start error error.plo
wait_for error "^Comando inv" || fail "error: no report of the error"
wait_for error "^2$" || fail "error: no line number in the report"
tmx capture-pane -p -t error | grep -q "error.plo:" && fail "error: the diagnostic was drawn on the program's screen"
tmx send-keys -t error Enter
check_restored error 1
wait_for error "^error\.plo:2: comando inválido: COMANDO_QUE_NAO_EXISTE: comando_que_nao_existe$" ||
    fail "error: no diagnostic on the shell's screen after the run: $(tmx capture-pane -p -t error | head -5)"

# SIGTERM, SIGHUP and a crash signal while the program waits for a key: the terminal is put back
# and the signal ends the program as usual.
cat >"$work/wait.plo" <<'EOF'
escreve "esperando"
le tecla k &
EOF
for sig in TERM HUP SEGV; do
    s="sig$sig"
    start "$s" wait.plo
    wait_for "$s" "^esperando" || fail "$s: the program did not start"
    kill -"$sig" "$(cat "$work/$s.pid")"
    code=$((128 + $(kill -l "$sig")))
    check_restored "$s" "$code"
done

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "terminal renderer in tmux: all checks passed"
