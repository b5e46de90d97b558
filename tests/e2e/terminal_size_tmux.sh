#!/usr/bin/env bash
# The terminal renderer in terminals of other sizes than the grid's, and a missing sound card
# told at start, inside tmux: a 24-row terminal shows the rows that keep the cursor row in view,
# a terminal too small shows and says its size and still takes keys, the grid comes back when it
# grows and the magnified line takes the row below the grid when there is one; without a card
# the warning is on standard error before the full screen and on the first screen until a key.
#
#   tests/e2e/terminal_size_tmux.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no tmux).
set -u

parlendo=${1:?usage: terminal_size_tmux.sh PARLENDO}
socket_name=parlendo-size
source "$(dirname "$0")/tmux_common.sh"
printf '[BAIXAVISAO]\nAMPLIACAO=1\n' >"$work/magnified.ini"
: >"$work/settings.ini"

# row SESSION N: the pane's row N (1-based), trailing blanks removed.
row() { tmx capture-pane -p -t "$1" | sed -n "$2p" | sed 's/ *$//'; }
cursor() { tmx display -p -t "$1" '#{cursor_x},#{cursor_y}'; }

# 24 rows, 70 x 20, 80 x 25, 80 x 26. Without sound (null is chosen: no warning).
cat >"$work/rows.plo" <<'EOF'
repete i 24
  escreve mudo "linha " i
fim repete
escreve mudo "linha 25 do cursor" &
le tecla k &
tela @1,1
escreve mudo "tecla " k &
le t
EOF
tmx -f "$work/tmux.conf" new-session -d -s rows -x 80 -y 24 -c "$work" \
    "'$parlendo' --audio null --speech-log rows.speech --settings magnified.ini rows.plo 2>rows.err; sleep 60"
wait_for rows "^linha 25 do cursor" || fail "24 rows: the cursor's row 25 is not shown"
[[ $(row rows 1) == "linha 2" && $(row rows 24) == "linha 25 do cursor" ]] ||
    fail "24 rows: rows 2 to 25 expected, shown $(row rows 1) … $(row rows 24)"
[[ $(cursor rows) == 18,23 ]] || fail "24 rows: cursor at $(cursor rows), expected 18,23"

tmx resize-window -t rows -x 70 -y 20
wait_for rows "^Terminal pequeno demais" || fail "70 x 20: no message about the size"
tmx capture-pane -p -t rows | tr '\n' ' ' | grep -q "este tem 70 colunas e 20 linhas" ||
    fail "70 x 20: the message does not give the size: $(tmx capture-pane -p -t rows | head -3)"
# Said once, when the program waits for a key; redraws do not say it again.
sleep 0.3
tmx send-keys -t rows x
for ((i = 0; i < 50; i++)); do grep -q "70 colunas e 20 linhas" "$work/rows.speech" && break; sleep 0.1; done
[[ $(grep -c "Terminal pequeno demais" "$work/rows.speech") == 1 ]] ||
    fail "70 x 20: the message is not said once: $(cat "$work/rows.speech")"

# The key typed while it was too small was taken; the whole grid is back.
tmx resize-window -t rows -x 80 -y 25
wait_for rows "^tecla 000#120" || fail "80 x 25: the grid did not come back with the key typed: $(row rows 1)"
[[ $(row rows 25) == "linha 25 do cursor" ]] || fail "80 x 25: row 25 is $(row rows 25)"

# A row below the grid: the magnified line of the line being edited.
tmx resize-window -t rows -x 80 -y 26
sleep 0.3
tmx send-keys -t rows -l 'abc'
wait_for rows "^abc" || fail "80 x 26: no magnified line below the grid: $(row rows 26)"
[[ $(row rows 26) == abc* ]] || fail "80 x 26: the magnified line is not on row 26"
[[ ! -s $work/rows.err ]] || fail "--audio null warned: $(cat "$work/rows.err")"

# No sound card: the warning on standard error before the full screen starts, and over the last
# rows of the first screen until a key is typed, leaving the script's own rows as they are.
cat >"$work/sound.plo" <<'EOF'
escreve mudo "primeira linha"
le tecla k &
escreve mudo "tecla " k
le tecla k &
EOF
tmx -f "$work/tmux.conf" new-session -d -s sound -x 80 -y 25 -c "$work" \
    "SDL_AUDIODRIVER=no-such-driver '$parlendo' --audio system --settings settings.ini sound.plo; echo fim \$?; sleep 60"
wait_for sound "^primeira linha" || fail "sound: the script's first row is not on row 1"
wait_for sound "^Sem dispositivo de som \(.*no-such-driver" || fail "sound: no warning on the first screen"
# The screen behind the full screen (tmux keeps it while the alternate screen is on).
tmx capture-pane -a -p -t sound 2>&1 | grep -q "^Sem dispositivo de som (.*); o programa" ||
    fail "sound: the warning was not written on standard error before the full screen"
tmx send-keys -t sound a
wait_for sound "^tecla 000#97" || fail "sound: the program does not go on"
tmx capture-pane -p -t sound | grep -q "Sem dispositivo" && fail "sound: the warning stays after a key"
tmx send-keys -t sound Enter
wait_for sound "^fim 0" || fail "sound: the program did not end"
# tmux has an alternate screen: the line written before the full screen is there again, and only
# once (it is not written again at the end).
screen=$(tmx capture-pane -p -t sound)
[[ $(grep -c "^Sem dispositivo de som (.*); o programa" <<<"$screen") == 1 ]] ||
    fail "sound: the warning on standard error is not there once: $screen"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "terminal sizes and the missing sound card in tmux: all checks passed"
