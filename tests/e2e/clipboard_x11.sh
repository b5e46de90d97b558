#!/usr/bin/env bash
# TRANSFERE against a real X server: the test starts its own Xvfb and gives its DISPLAY to
# parlendo alone, which then keeps the clipboard through xclip. A text copied by the script is
# read back with xclip as UTF-8; a text put there with xclip is pasted by the script; a text of
# more than 999,999 characters is cut.
#
#   tests/e2e/clipboard_x11.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb or no xclip).
set -u

parlendo=${1:?usage: clipboard_x11.sh PARLENDO}
for tool in Xvfb xclip; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIPPED: $tool is not installed (./setup.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_common.sh"
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! start_xvfb 320x200x24; then
    echo "FAIL: Xvfb did not start: $(cat "$work/xvfb.log")"
    exit 1
fi
display=$xvfb_display
on_x() { env -u WAYLAND_DISPLAY DISPLAY="$display" "$@"; }
printf '[ORALIX]\n' >"$work/settings.ini"
run_script() { on_x "$parlendo" --audio null --settings "$work/settings.ini" "$work/$1" </dev/null; }

# Copy: the script's Windows-1252 text reaches the clipboard as UTF-8.
cat >"$work/copy.plo" <<'EOF'
seja $link "http://rádio.exemplo/ação?x=1&y=ç"
transfere de $link
escreve "copiado"
EOF
run_script copy.plo >"$work/copy.out" || fail "copy: exit status $?"
got=$(on_x xclip -selection clipboard -o 2>&1)
[[ $got == "http://rádio.exemplo/ação?x=1&y=ç" ]] || fail "copy: the clipboard holds '$got'"

# Paste: UTF-8 on the clipboard becomes the script's text.
printf 'colado: é fácil' | on_x xclip -selection clipboard -i
cat >"$work/paste.plo" <<'EOF'
transfere para x
escreve "[" x "]"
seja t tamanho x
escreve t
EOF
run_script paste.plo >"$work/paste.out" || fail "paste: exit status $?"
grep -qx '\[colado: é fácil\]' "$work/paste.out" || fail "paste: $(cat "$work/paste.out")"
grep -qx '15' "$work/paste.out" || fail "paste: the text is not 15 characters long: $(cat "$work/paste.out")"

# A text of 2^20 characters is cut to 999,999.
cat >"$work/long.plo" <<'EOF'
seja a "a"
seja n 0
enquanto n < 20
concatena a a
soma n 1
fim enquanto
transfere de a
EOF
run_script long.plo >/dev/null || fail "long: exit status $?"
length=$(on_x xclip -selection clipboard -o | wc -c)
[[ $length == 999999 ]] || fail "long: $length characters on the clipboard, expected 999999"

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "clipboard through xclip on Xvfb $display: all checks passed"
