#!/usr/bin/env bash
# IMAGEM's picture in a full-screen terminal: parlendo runs in a pty of script(1), whose raw output
# is read back. A terminal that draws sixels gets the picture at the cell under its pixel, again
# after text was written over it, and a whole repaint once IMAGEM alone takes it away; one that
# draws kitty's images gets them, and their removal; plain xterm gets no picture sequence at all
# and the run ends normally.
#
#   tests/e2e/picture_terminal.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no script(1), no python3 or no libchafa).
set -u

parlendo=${1:?usage: picture_terminal.sh PARLENDO}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
for tool in script python3 tic infocmp; do
    command -v "$tool" >/dev/null || { echo "SKIPPED: $tool is not installed"; exit 77; }
done
if ! ldconfig -p 2>/dev/null | grep -q 'libchafa\.so\.0'; then
    echo "SKIPPED: libchafa is not installed (./setup.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
: >settings.ini

# A 24 x 20 BMP of 24 bits.
python3 - <<'PY'
import struct
w, h = 24, 20
stride = (w * 3 + 3) // 4 * 4
rows = b"".join(bytes(v for x in range(w) for v in (x * 10, y * 12, 128)) + b"\0" * (stride - w * 3)
                for y in range(h))
header = b"BM" + struct.pack("<IHHI", 54 + len(rows), 0, 0, 54)
header += struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
open("pic.bmp", "wb").write(header + rows)
PY

# Row 1 holds "antes"; the picture at pixel (16, 32) covers cells 3-5 of rows 3-4 (8 x 16 cells);
# "um" and "dois" go on rows 2 and 3, the second over the picture.
cat >show.plo <<'PLO'
escreve "antes"
imagem "pic.bmp" 16 32
escreve "um"
escreve "dois"
imagem
escreve "fim"
PLO

# A terminfo entry named xterm-kitty (xterm's capabilities), for the screen library.
mkdir terminfo
infocmp -x xterm-256color | sed '1,/^xterm/s/^xterm-256color|/xterm-kitty|/' | tic -x -o terminfo - 2>/dev/null

failures=0
# run NAME ENV...: runs the script in an 80 x 26 pty with only these variables; NAME.raw is what
# reached the terminal, NAME.status the exit status.
run() {
    local name=$1
    shift
    env -i PATH="$PATH" HOME="$work" "$@" timeout 30 script -q -e \
        -c "stty cols 80 rows 26; exec '$parlendo' --audio null --settings settings.ini show.plo" \
        "$name.raw" </dev/null >/dev/null
    echo $? >"$name.status"
}

run sixel TERM=xterm-256color TERM_PROGRAM=WezTerm
run kitty TERM=xterm-kitty TERMINFO="$work/terminfo"
run plain TERM=xterm

python3 - <<'PY' || failures=$((failures + 1))
import re, sys
bad = []
def check(ok, what):
    if not ok:
        bad.append(what)
def load(name):
    check(open(name + ".status").read().strip() == "0", name + ": the run did not end with status 0")
    data = open(name + ".raw", "rb").read()
    check(b"fim" in data, name + ": the text after the picture never reached the terminal")
    return data

sixel = load("sixel")
starts = [m.start() for m in re.finditer(rb"\x1bP[0-9;]*q", sixel)]
check(len(starts) >= 2, "sixel: the picture was not drawn, then again over the text (%d times)" % len(starts))
check(sixel.count(b"\x1b7\x1b[3;3H\x1bP") == len(starts), "sixel: not every picture is at row 3, column 3")
clear = sixel.rfind(b"\x1b[H\x1b[2J")
check(starts and clear > starts[-1], "sixel: no whole repaint after IMAGEM took the picture away")
check(sixel.find(b"fim") > clear, "sixel: the repaint came after the text that followed")

kitty = load("kitty")
shown = kitty.find(b"\x1b[3;3H\x1b_Ga=T")
check(shown >= 0, "kitty: the picture was not sent at row 3, column 3")
check(kitty.find(b"\x1b_Ga=d\x1b\\", shown) > shown, "kitty: the picture was not taken away")

plain = load("plain")
check(re.search(rb"\x1bP[0-9;]*q|\x1b_G", plain) is None, "plain xterm: a picture sequence was sent")
for b in bad:
    print("FAIL: " + b)
sys.exit(1 if bad else 0)
PY

if ((failures > 0)); then
    exit 1
fi
echo "PASSED"
