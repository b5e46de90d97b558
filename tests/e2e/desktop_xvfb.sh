#!/usr/bin/env bash
# A whole run on an X display: parlendo draws its console in an xterm on an Xvfb server of the
# test's own, and once its terminal has the focus finds its own title in front (ESPERA's title
# wait, CAPTURA ATIVA and FOCO) and gives the terminal's window (HANDLE).
#
#   tests/e2e/desktop_xvfb.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or xterm).
set -u

parlendo=${1:?usage: desktop_xvfb.sh PARLENDO}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
for program in Xvfb xterm; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (./setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_common.sh"
term=""
cleanup() {
    [ -n "$term" ] && kill "$term" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

if ! start_xvfb 1024x768x24 -noreset; then
    echo "SKIPPED: Xvfb did not start"
    exit 77
fi
export DISPLAY=$xvfb_display

cat >"$work/own.plo" <<EOF
titulo "Sintonix"
espera 10 "sintonix"
checa s
captura ativa t
captura foco f
handle h
abre #1 "$work/result" &
escreve #1 "s=" s " t=" t " f=" f " h=" h
fecha #1
EOF
printf 'janela normal "sintonix"\ncheca s\nescreve s\n' >"$work/focus.plo"

xterm -e sh -c "echo \$WINDOWID > '$work/window'; exec '$parlendo' '$work/own.plo'" &
term=$!
# The user comes to the console: its terminal is given the focus once it bears the title.
focused=""
for _ in $(seq 50); do
    if [ "$("$parlendo" "$work/focus.plo" </dev/null)" = "0" ]; then focused=yes; break; fi
    sleep 0.2
done
[ -n "$focused" ] || { echo "FAIL: no window titled Sintonix appeared"; exit 1; }
for _ in $(seq 150); do [ -s "$work/result" ] && break; sleep 0.1; done

want="s=0 t=Sintonix f=Sintonix h=$(head -n 1 "$work/window")"
got=$(tr -d '\r' <"$work/result" 2>/dev/null)
if [ "$got" != "$want" ]; then
    echo "FAIL: expected '$want', got '$got'"
    exit 1
fi
echo "passed: $got"
