#!/usr/bin/env bash
# The console window on an Xvfb server of the test's own: a screen written by a script is drawn
# in its colours at its cells (read back from a screenshot of the window), a picture of IMAGEM at
# its pixel and gone again, keys and mouse buttons sent through XTEST reach LE TECLA as the same key-code texts the terminal gives, the braille
# keyboard's chords and mode keys type and turn it off and on, TELA MINIMIZADA and NORMAL hide
# and show the window, the magnified line scrolls as the line editor's cursor walks along a long
# line, a braille display follows the window's cursor row and its keys reach LE, cells too large
# for the screen still give a window no larger than it, the script goes on when the X server goes
# away, and without a display --janela says so and the script writes to standard output.
#
#   tests/e2e/window_xvfb.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or xwd).
set -u

parlendo=${1:?usage: window_xvfb.sh PARLENDO}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
for program in Xvfb xdotool xwd python3; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (test.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/xvfb_common.sh"
run="" brltty_pid="" display=""
cleanup() {
    [ -n "$run" ] && kill "$run" 2>/dev/null
    [ -n "$display" ] && kill "$display" 2>/dev/null
    [ -n "$brltty_pid" ] && kill -KILL "$brltty_pid" 2>/dev/null
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    exit 1
}

if ! start_xvfb 1024x768x24 -noreset; then
    echo "SKIPPED: Xvfb did not start"
    exit 77
fi
export DISPLAY=$xvfb_display SDL_VIDEODRIVER=x11 SDL_RENDER_DRIVER=software
# Under the sanitized run, leaks are not looked for here: SDL loads the X extension libraries
# itself and unloads them at SDL_Quit, so what they and fontconfig keep for the life of the
# process is reported from modules that are gone and cannot be told apart or suppressed. The
# window's drawing is therefore not leak-checked.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
unset WAYLAND_DISPLAY

# Starts parlendo in its window with the settings and script given, and waits for the window.
start_window() {
    local settings=$1 script=$2 title=$3
    "$parlendo" --janela --audio null --settings "$work/$settings" --dump-screen "$work/$script.dump" \
        "$work/$script" </dev/null >"$work/$script.out" 2>&1 &
    run=$!
    # Searched for again and again rather than with --sync: a window of the run before that goes
    # away during a search makes xdotool give up.
    wid=""
    for ((i = 0; i < 200; i++)); do
        wid=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
        [ -n "$wid" ] && break
        sleep 0.1
    done
    [ -n "$wid" ] || fail "$script: no window titled $title ($(cat "$work/$script.out"))"
    xdotool windowfocus --sync "$wid" || fail "$script: the window took no focus"
    sleep 0.5
}
finish() {
    local script=$1 status
    # Up to 30 s: on a loaded machine a run with a braille display takes a while to let it go.
    for ((i = 0; i < 300; i++)); do
        kill -0 "$run" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$run" 2>/dev/null && fail "$script: parlendo did not end ($(cat "$work/$script.out"))"
    wait "$run"
    status=$?
    run=""
    [ "$status" = 0 ] || fail "$script: exit status $status ($(cat "$work/$script.out"))"
}

# Cells of 10 x 20 pixels; colour 1 drawn as palette entry 4 (red) through the colour map.
cat >"$work/video.ini" <<'INI'
[VIDEO]
LARGURALETRA=10
ALTURALETRA=20
TABCORES=0,4
INI

# The keys sent, as xdotool names them, and the key-code text each must give: the terminal
# decoder's text for the same key (tests/console/window_keys_test.cpp holds the two side by side).
keys=(F1 ctrl+Left shift+Down Return a shift+a alt+b ctrl+b Escape Tab BackSpace ctrl+BackSpace
      shift+Insert F12 ctrl+F4)
expected=(000#0#59 010#0#115 100#0#80 000#13 000#97 100#65 001#0#48 010#2 000#27 000#9 000#8
          010#127 100#0#254 000#0#70 010#0#97)
# Then the mouse: left, right, the wheel away from the user and towards.
buttons=(1 3 4 5)
expected+=(000#13 000#27 000#0#72 000#0#80)

{
    echo 'titulo "janela de teste"'
    echo 'cor 1'
    echo 'fundo 2'
    echo 'escreve mudo "MMMM"'
    echo 'cor 15'
    echo 'fundo 0'
    for _ in "${expected[@]}"; do
        echo 'le mudo tecla k'
        echo 'escreve mudo k'
    done
} >"$work/keys.plo"

start_window video.ini keys.plo "janela de teste"
xwd -silent -id "$wid" -out "$work/shot.xwd" || fail "no screenshot of the window"
# The cells of "MMMM" (row 1, columns 1-4) are green with red letters; column 10 of row 1 is
# black; the window is 80 x 25 cells of 10 x 20.
python3 - "$work/shot.xwd" <<'PY' || fail "the screenshot does not show the grid as written"
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header_size, width, height, bpp, bpl, ncolors = h[0], h[4], h[5], h[11], h[12], h[19]
byte_order = h[7]
pixels = data[header_size + ncolors * 12:]
def rgb(x, y):
    p = pixels[y * bpl + x * 4: y * bpl + x * 4 + 4]
    v = struct.unpack("<I" if byte_order == 0 else ">I", p)[0]
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)
def cell(col, row):
    return [rgb(col * 10 + x, row * 20 + y) for y in range(20) for x in range(10)]
ok = True
if (width, height) != (800, 500):
    print("window is %dx%d, not 800x500" % (width, height)); ok = False
for col in range(4):
    px = cell(col, 0)
    green = sum(1 for p in px if p == (0, 255, 0))
    red = sum(1 for p in px if p == (255, 0, 0))
    other = [p for p in px if p not in ((0, 255, 0), (255, 0, 0)) and not (p[2] == 0)]
    if green < 60 or red < 20 or other:
        print("cell %d of row 1: %d green, %d red, others %s" % (col + 1, green, red, other[:3])); ok = False
if any(p != (0, 0, 0) for p in cell(9, 0)):
    print("cell 10 of row 1 is not black"); ok = False
# The caret while LE waits: a white bar two pixels high across the cursor's cell (row 2, column
# 1), and nothing in the cell beside it.
bars = [y for y in range(20) if all(rgb(x, 20 + y) == (255, 255, 255) for x in range(10))]
lit = [y for y in range(20) if any(rgb(x, 20 + y) != (0, 0, 0) for x in range(10))]
if len(bars) != 2 or lit != bars or bars[1] != bars[0] + 1:
    print("caret rows %s, rows with anything %s" % (bars, lit)); ok = False
if any(p != (0, 0, 0) for p in cell(1, 1)):
    print("cell 2 of row 2 is not black"); ok = False
sys.exit(0 if ok else 1)
PY
for k in "${keys[@]}"; do xdotool key --delay 50 "$k"; done
xdotool mousemove --window "$wid" 100 100
for b in "${buttons[@]}"; do xdotool click "$b"; sleep 0.05; done
finish keys.plo
{
    echo MMMM
    printf '%s\n' "${expected[@]}"
} >"$work/keys.expected"
diff <(head -n $((${#expected[@]} + 1)) "$work/keys.plo.dump") "$work/keys.expected" ||
    fail "the window's keys are not the terminal's key-code texts"

# The braille keyboard in mode 1: F and D held together give "b". X servers keep Ctrl+Alt+F11
# and F12 for switching consoles, so first their second chords: Ctrl+Shift+F12 turns the keyboard
# off (x is x again), Ctrl+Shift+F11 on (F alone gives "a"). Then, with the server's own use of
# the function keys taken out of its keymap, Ctrl+Alt+F12 and Ctrl+Alt+F11 do the same.
# Its font is one that is not installed: the window says so and draws with the fallback.
cat >"$work/braille.ini" <<'INI'
[BRAILLE]
MODO=1
[VIDEO]
FONTE=Fonte Inexistente
INI
{
    echo 'titulo "braille"'
    for _ in 1 2 3 4 5; do
        echo 'le mudo tecla k'
        echo 'escreve mudo k'
    done
} >"$work/braille.plo"
start_window braille.ini braille.plo braille
chord() {
    xdotool "$@"
    sleep 0.2
}
chord keydown f keydown d keyup f keyup d
chord key ctrl+shift+F12
chord key x
chord key ctrl+shift+F11
chord keydown f keyup f
if command -v setxkbmap >/dev/null && setxkbmap -option srvrkeys:none 2>/dev/null; then
    off=ctrl+alt+F12 on=ctrl+alt+F11
else
    echo "setxkbmap is missing (x11-xkb-utils): Ctrl+Alt+F11/F12 not sent, their second chords again"
    off=ctrl+shift+F12 on=ctrl+shift+F11
fi
chord key "$off"
chord key y
chord key "$on"
chord keydown d keyup d
finish braille.plo
printf '000#98\n000#120\n000#97\n000#121\n000#44\n' | diff <(head -n 5 "$work/braille.plo.dump") - ||
    fail "the chords did not type their cells, or the mode keys did not turn the keyboard off and on"
grep -q "a fonte Fonte Inexistente não foi encontrada; o console usa DejaVu Sans Mono" "$work/braille.plo.out" ||
    fail "a missing font was not said: $(cat "$work/braille.plo.out")"

# TELA MINIMIZADA takes the window off the screen, TELA NORMAL brings it back.
printf 'titulo "oculta"\ntela minimizada\nespera 2\ntela normal\nle mudo tecla k\nescreve mudo k\n' >"$work/hide.plo"
"$parlendo" --janela --audio null --settings "$work/video.ini" --dump-screen "$work/hide.plo.dump" \
    "$work/hide.plo" </dev/null >"$work/hide.plo.out" 2>&1 &
run=$!
hidden=""
for ((i = 0; i < 100; i++)); do
    if [ -z "$(xdotool search --onlyvisible --name '^oculta$' 2>/dev/null)" ] &&
        [ -n "$(xdotool search --name '^oculta$' 2>/dev/null)" ]; then
        hidden=yes
        break
    fi
    sleep 0.05
done
[ -n "$hidden" ] || fail "TELA MINIMIZADA did not hide the window"
wid=""
for ((i = 0; i < 100; i++)); do
    [ -n "$wid" ] && break
    wid=$(xdotool search --onlyvisible --name '^oculta$' 2>/dev/null | head -n 1)
    sleep 0.05
done
[ -n "$wid" ] || fail "TELA NORMAL did not show the window again"
xdotool windowfocus --sync "$wid"
sleep 0.3
xdotool key Return
finish hide.plo
[ "$(head -n 1 "$work/hide.plo.dump")" = "000#13" ] || fail "no key after TELA NORMAL: $(cat "$work/hide.plo.dump")"

# The magnified line, factor 2, letters in colour 14 on 6 and the cursor's character in 3, over a
# line of 60 characters: "abcdefghi", "M" at 10, blanks, "M" at 49 and x's to 60. With the cursor
# walked from 1 to 50 the line scrolls to 10: magnified cell 1 shows the "M" of 10 in the letter
# colour, cells 2-39 blanks, cell 40 the "M" of 49 in the cursor colour, cells 41-80 blanks.
cat >"$work/magnified.ini" <<'INI'
[VIDEO]
LARGURALETRA=10
ALTURALETRA=20
[BAIXAVISAO]
AMPLIACAO=2
CORLETRA=14
CORFUNDO=6
CORCURSOR=3
INI
line="abcdefghiM$(printf '%38s' '')Mxxxxxxxxxxx"
[ ${#line} = 60 ] || fail "the test's line is ${#line} characters long"
printf 'titulo "ampliada"\nseja t "%s"\ntela @1,20\nle edita t\nescreve mudo t\n' "$line" >"$work/magnified.plo"
start_window magnified.ini magnified.plo ampliada
for ((i = 1; i < 50; i++)); do xdotool key --delay 15 Right; done
sleep 0.8
xwd -silent -id "$wid" -out "$work/magnified.xwd" || fail "no screenshot of the magnified line"
xdotool key Return
finish magnified.plo
python3 - "$work/magnified.xwd" <<'PY' || fail "the magnified line is not the scroll example"
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
header_size, bpl, ncolors, byte_order = h[0], h[12], h[19], h[7]
pixels = data[header_size + ncolors * 12:]
def rgb(x, y):
    v = struct.unpack("<I" if byte_order == 0 else ">I", pixels[y * bpl + x * 4: y * bpl + x * 4 + 4])[0]
    return ((v >> 16) & 255, (v >> 8) & 255, v & 255)
bg, letter, cursor = (68, 34, 34), (255, 255, 0), (0, 255, 255)
def cell(i):  # a magnified cell: 20 x 40 pixels
    return [rgb(i * 20 + x, y) for y in range(40) for x in range(20)]
ok = True
for i in range(80 // 2):
    px = cell(i)
    fg = [p for p in px if p != bg]
    want = letter if i == 0 else cursor if i == 39 else None
    if want is None:
        if fg:
            print("magnified cell %d is not blank: %s" % (i + 1, fg[:3])); ok = False
    elif sum(1 for p in fg if p == want) < 40 or any(p[2] > 40 and want == letter for p in fg):
        print("magnified cell %d: %d pixels in %s of %d" % (i + 1, sum(1 for p in fg if p == want), want, len(fg)))
        ok = False
sys.exit(0 if ok else 1)
PY
# IMAGEM draws a BMP over the grid at the pixel asked, and IMAGEM alone takes it away.
python3 - "$work/azul.bmp" <<'PY'
import struct, sys
w, h = 40, 30
pixels = bytes([255, 0, 0]) * (w * h)  # blue, stored blue-green-red
head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 0, 0, 0, 0)
open(sys.argv[1], "wb").write(head + info + pixels)
PY
printf 'titulo "imagem"\nimagem "%s" 200 100\nle mudo tecla k\nimagem\nle mudo tecla k\n' \
    "$work/azul.bmp" >"$work/picture.plo"
start_window video.ini picture.plo imagem
xwd -silent -id "$wid" -out "$work/picture.xwd" || fail "no screenshot of the picture"
xdotool key a
sleep 0.5
xwd -silent -id "$wid" -out "$work/nopicture.xwd" || fail "no screenshot after the picture went"
xdotool key a
finish picture.plo
python3 - "$work/picture.xwd" "$work/nopicture.xwd" <<'PY' || fail "the picture is not where IMAGEM put it"
import struct, sys
def reader(path):
    data = open(path, "rb").read()
    h = struct.unpack(">25I", data[:100])
    header_size, bpl, ncolors, byte_order = h[0], h[12], h[19], h[7]
    pixels = data[header_size + ncolors * 12:]
    def rgb(x, y):
        v = struct.unpack("<I" if byte_order == 0 else ">I", pixels[y * bpl + x * 4: y * bpl + x * 4 + 4])[0]
        return ((v >> 16) & 255, (v >> 8) & 255, v & 255)
    return rgb
shown, gone = reader(sys.argv[1]), reader(sys.argv[2])
blue = (0, 0, 255)
inside = [(x, y) for x in range(200, 240) for y in range(100, 130)]
around = [(199, 115), (240, 115), (220, 99), (220, 130)]
ok = True
if any(shown(x, y) != blue for x, y in inside):
    print("not every pixel of the picture is blue"); ok = False
if any(shown(x, y) == blue for x, y in around):
    print("blue outside the picture"); ok = False
if any(gone(x, y) == blue for x, y in inside):
    print("the picture stayed after IMAGEM alone"); ok = False
sys.exit(0 if ok else 1)
PY
# Without a display --janela says why and the script runs on standard output as before.
printf 'escreve mudo "sem tela"\n' >"$work/nodisplay.plo"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$parlendo" --janela --audio null --settings "$work/video.ini" \
    "$work/nodisplay.plo" </dev/null 2>"$work/nodisplay.err") || fail "no display: exit status $?"
[ "$out" = "sem tela" ] || fail "no display: the script wrote '$out'"
grep -q "^parlendo: sem janela: " "$work/nodisplay.err" || fail "no display: not said ($(cat "$work/nodisplay.err"))"
# A braille display (brltty's virtual driver, the test playing the display on its socket) shows
# the window's cursor row, and its line-down key reaches LE as the down arrow.
if command -v brltty >/dev/null; then
    mkdir -p "$work/brl"
    api=$((30 + RANDOM % 60))
    brltty -n -e -q -b vr -x no -s no -f /dev/null -d "server:$work/brl/vr.sock" \
        -A "auth=none,host=127.0.0.1:$api" -F "$work/brl/prefs" -W "$work/brl" -U "$work/brl" \
        -P "$work/brl/pid" -L "$work/brl/log" </dev/null >"$work/brl/out" 2>&1 &
    brltty_pid=$!
    python3 - "$work/brl/vr.sock" >"$work/brl/display" 2>&1 <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_UNIX)
for _ in range(200):
    try:
        s.connect(sys.argv[1]); break
    except OSError:
        time.sleep(0.05)
else:
    print("no socket"); sys.exit(1)
s.sendall(b"cells 20\n")
s.settimeout(0.2)
pending, end = b"", time.time() + 60  # brltty is slow to pass the row on a loaded machine
while time.time() < end:
    try:
        data = s.recv(4096)
        if not data: break
        pending += data
    except socket.timeout:
        continue
    while b"\n" in pending:
        line, pending = pending.split(b"\n", 1)
        if not line.startswith(b'Braille "'): continue
        cells = line[9:-1].decode().split("|")
        if cells[:4] == ["1", "12", "14", " "]:
            print("shown")
            sys.stdout.flush()
            time.sleep(0.3)
            s.sendall(b"LnDn\n")
            # Stays connected until the test is done: brltty loses a key still queued when the
            # display goes away (and crashes then).
            time.sleep(120)
            sys.exit(0)
print("not shown")
PY
    display=$!
    printf 'titulo "braille na janela"\nescreve mudo "abc"\ntela @4,1\nle mudo tecla k\nescreve mudo k\n' >"$work/brl.plo"
    BRLAPI_HOST=127.0.0.1:$api BRLAPI_AUTH=none "$parlendo" --janela --audio null --settings "$work/video.ini" \
        --dump-screen "$work/brl.plo.dump" "$work/brl.plo" </dev/null >"$work/brl.plo.out" 2>&1 &
    run=$!
    while kill -0 "$display" 2>/dev/null && ! grep -qx shown "$work/brl/display"; do sleep 0.1; done
    grep -qx shown "$work/brl/display" || fail "the display did not show the cursor row: $(cat "$work/brl/display")"
    # brltty's virtual driver sometimes crashes on a loaded machine before it passes the key on;
    # that is brltty's own fault, so the key is then typed in the window instead and not judged.
    for ((i = 0; i < 300; i++)); do
        kill -0 "$run" 2>/dev/null || break
        if ! kill -0 "$brltty_pid" 2>/dev/null; then
            brltty_lost=1
            w=$(xdotool search --onlyvisible --name '^braille na janela$' 2>/dev/null | head -n 1)
            [ -n "$w" ] && xdotool windowfocus --sync "$w" && xdotool key Return
            break
        fi
        sleep 0.1
    done
    finish brl.plo
    kill "$display" 2>/dev/null
    wait "$display" 2>/dev/null
    display=""
    kill -KILL "$brltty_pid" 2>/dev/null
    wait "$brltty_pid" 2>/dev/null
    brltty_pid=""
    if [ -n "${brltty_lost:-}" ] && [ "$(head -n 1 "$work/brl.plo.dump")" != "abc000#0#80" ]; then
        echo "brltty ended before it passed the display's key on: that key in the window not tried"
    else
        [ "$(head -n 1 "$work/brl.plo.dump")" = "abc000#0#80" ] ||
            fail "the display's line-down key did not reach LE: $(cat "$work/brl.plo.dump")"
    fi
else
    echo "brltty is missing: the braille display in the window not tried"
fi

# Cells far too large for the screen: the window opens at the screen's size. Then the X server
# goes away under it: the window says so once and the script runs to its end.
printf '[VIDEO]\nLARGURALETRA=5000\nALTURALETRA=9000\n' >"$work/huge.ini"
printf 'titulo "enorme"\nescreve mudo "antes"\nespera 2\nescreve mudo "depois"\n' >"$work/lost.plo"
"$parlendo" --janela --audio null --settings "$work/huge.ini" --dump-screen "$work/lost.plo.dump" \
    "$work/lost.plo" </dev/null >"$work/lost.plo.out" 2>&1 &
run=$!
wid=""
for ((i = 0; i < 100; i++)); do
    wid=$(xdotool search --onlyvisible --name '^enorme$' 2>/dev/null | head -n 1)
    [ -n "$wid" ] && break
    sleep 0.05
done
[ -n "$wid" ] || fail "huge cells: no window ($(cat "$work/lost.plo.out"))"
geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = 1024x768 ] || fail "huge cells: the window is $geometry, not the screen's 1024x768"
stop_xvfb
finish lost.plo
grep -qx "antes" "$work/lost.plo.dump" && grep -qx "depois" "$work/lost.plo.dump" ||
    fail "the script did not run on after the display went: $(cat "$work/lost.plo.dump")"
grep -q "a janela perdeu o servidor gráfico; o programa continua sem ela." "$work/lost.plo.out" ||
    fail "the lost display was not said: $(cat "$work/lost.plo.out")"
echo "PASS"
