#!/usr/bin/env bash
# MSAA against AT-SPI2: a small GTK 3 form (msaa_form.py) on an Xvfb server and a D-Bus session
# of the test's own, read by a headless parlendo; and a run with no session bus at all.
#
#   tests/e2e/msaa_atspi.sh PARLENDO
#
# Exit status: 0 passed, 1 failed, 77 skipped (no Xvfb, dbus-run-session, GTK 3 for Python or
# the accessibility bus launcher).
set -u

parlendo=${1:?usage: msaa_atspi.sh PARLENDO}
parlendo=$(cd "$(dirname "$parlendo")" && pwd)/$(basename "$parlendo")
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
source "$here/xvfb_common.sh"
cleanup() {
    stop_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

# Without a session bus MONITORA and FIM succeed, CHECA gives "0" and CAPTURA takes nothing.
cat >"$work/sem_barramento.plo" <<'PLO'
msaa monitora
msaa checa c
msaa captura 10 10
msaa codigo r
msaa nome n
msaa area a b d e
msaa fim
escreve "c=" c " r=" r " n=" n " area=" a "," b "," d "," e
PLO
env -u DBUS_SESSION_BUS_ADDRESS -u AT_SPI_BUS_ADDRESS -u DISPLAY "$parlendo" --headless --audio null \
    --settings "$work/sem.ini" --dump-screen "$work/sem.txt" "$work/sem_barramento.plo" >/dev/null 2>&1
status=$?
[ "$status" = 0 ] || fail "no session bus: exit status $status"
[ "$(head -n 1 "$work/sem.txt")" = "c=0 r=0 n= area=0,0,0,0" ] ||
    fail "no session bus: $(head -n 1 "$work/sem.txt")"

for program in Xvfb dbus-run-session python3; do
    if ! command -v "$program" >/dev/null; then
        echo "SKIPPED: $program is not installed (./setup.sh installs it)"
        exit 77
    fi
done
# The system's Python has the Debian packages; another one first on the PATH may not.
python=""
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import gi; gi.require_version("Gtk", "3.0"); from gi.repository import Gtk' 2>/dev/null; then
        python=$candidate
        break
    fi
done
if [ -z "$python" ]; then
    echo "SKIPPED: GTK 3 for Python is not installed (python3-gi, gir1.2-gtk-3.0)"
    exit 77
fi
if [ ! -x /usr/libexec/at-spi-bus-launcher ] && [ ! -x /usr/lib/at-spi2-core/at-spi-bus-launcher ]; then
    echo "SKIPPED: the accessibility bus (at-spi2-core) is not installed"
    exit 77
fi
# A session bus that cannot start the accessibility bus (it knows no services), and one whose
# accessibility bus address leads nowhere: the same as no bus, and the run ends normally.
cat >"$work/sem_servicos.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
for case in sem_servicos endereco_morto; do
    config=(--config-file="$work/sem_servicos.conf")
    bus_address=""
    if [ "$case" = endereco_morto ]; then
        config=()
        bus_address="unix:path=$work/nada"
    fi
    rm -f "$work/sem.txt"
    env -u DISPLAY -u AT_SPI_BUS_ADDRESS ${bus_address:+AT_SPI_BUS_ADDRESS=$bus_address} \
        timeout 60 dbus-run-session "${config[@]}" -- "$parlendo" --headless --audio null \
        --settings "$work/sem.ini" --dump-screen "$work/sem.txt" "$work/sem_barramento.plo" >/dev/null 2>&1
    status=$?
    [ "$status" = 0 ] || fail "$case: exit status $status"
    [ "$(head -n 1 "$work/sem.txt" 2>/dev/null)" = "c=0 r=0 n= area=0,0,0,0" ] ||
        fail "$case: $(head -n 1 "$work/sem.txt" 2>/dev/null)"
done

# A session bus on which org.a11y.Bus never answers: given up after the 5 s time-out (libatspi on
# its own waits about 25 s there), the same as no bus.
cat >"$work/calado.sh" <<SILENT
"$python" "$here/msaa_silent_bus.py" "$work/calado.pronto" &
bus=\$!
for _ in \$(seq 100); do [ -e "$work/calado.pronto" ] && break; sleep 0.1; done
"$parlendo" --headless --audio null --settings "$work/sem.ini" --dump-screen "$work/sem.txt" \
    "$work/sem_barramento.plo" >/dev/null 2>&1
echo \$? >"$work/calado.status"
kill \$bus
SILENT
rm -f "$work/sem.txt"
started=$(date +%s)
env -u DISPLAY -u AT_SPI_BUS_ADDRESS timeout 60 dbus-run-session --config-file="$work/sem_servicos.conf" -- \
    bash "$work/calado.sh" >"$work/calado.log" 2>&1
took=$(($(date +%s) - started))
[ "$(cat "$work/calado.status" 2>/dev/null)" = 0 ] || fail "silent bus: exit status $(cat "$work/calado.status" 2>/dev/null)"
[ -e "$work/calado.pronto" ] || fail "silent bus: org.a11y.Bus was not owned: $(cat "$work/calado.log")"
[ "$(head -n 1 "$work/sem.txt" 2>/dev/null)" = "c=0 r=0 n= area=0,0,0,0" ] ||
    fail "silent bus: $(head -n 1 "$work/sem.txt" 2>/dev/null)"
[ "$took" -lt 15 ] || fail "silent bus: the run took $took s"

if ! start_xvfb 1024x768x24 -noreset; then
    echo "SKIPPED: Xvfb did not start"
    exit 77
fi

# Inside the session: the form, then the script that reads it. The form writes its buttons'
# centres and the check box's area to "pronto" once its window has the focus.
cat >"$work/sessao.sh" <<SESSION
set -u
export DISPLAY=$xvfb_display LC_ALL=C.UTF-8 LANGUAGE=C GTK_MODULES= NO_AT_BRIDGE=0
unset AT_SPI_BUS_ADDRESS
"$python" "$here/msaa_form.py" "$work" 2>"$work/form.log" &
form=\$!
for _ in \$(seq 300); do [ -s "$work/pronto" ] && break; sleep 0.1; done
if [ ! -s "$work/pronto" ]; then echo "the form did not come up"; kill \$form; exit 1; fi
{ read -r ox oy; read -r gx gy; read -r ax ay aw ah; } <"$work/pronto"
echo "\$ax,\$ay,\$aw,\$ah" >"$work/area"
sed -e "s|@W@|$work|g" -e "s|@OUVIR@|\$ox \$oy|" -e "s|@GRAVAR@|\$gx \$gy|" "$work/modelo.plo" >"$work/msaa.plo"
"$parlendo" --headless --audio null --settings "$work/com.ini" --dump-screen "$work/com.txt" "$work/msaa.plo" \
    >"$work/parlendo.log" 2>&1
echo \$? >"$work/status"
kill \$form
wait \$form 2>/dev/null
exit 0
SESSION

cat >"$work/modelo.plo" <<'PLO'
msaa checa c
escreve "antes " c
msaa monitora
* The check box takes the focus: one event, however often it is reported.
seja $passo "1"
chama @passo
msaa checa c
msaa nome n
msaa tipo t
msaa codigo r
msaa estado e
msaa area a b d f
escreve c "|" n "|" t "|" r "|" e "|" a "," b "," d "," f
msaa checa c
escreve "depois " c
* The entry, then the spin button.
seja $passo "2"
chama @passo
msaa checa c
msaa nome n
msaa codigo r
msaa valor v
escreve c "|" r "|" v
msaa checa c
msaa tipo t
msaa codigo r
msaa valor v
escreve c "|" t "|" r "|" v
msaa checa c
escreve "depois " c
* The element at a point: the button, the disabled button; nothing there keeps the last one.
msaa captura @OUVIR@
msaa nome n
msaa codigo r
msaa estado e
escreve "captura " n "|" r "|" e
msaa captura @GRAVAR@
msaa nome n
msaa estado e
escreve "captura " n "|" e
msaa captura 1020 760
msaa nome n
escreve "fora " n
* 105 focus changes: only the last five are left.
seja $passo "3"
chama @passo
seja k 0
seja $nomes ""
msaa checa c
enquanto c = "1"
soma k 1
msaa nome n
concatena $nomes " "
concatena $nomes n
msaa checa c
fim enquanto
escreve "restam " k $nomes
* Another window comes to the front.
seja $passo "4"
chama @passo
msaa checa c
msaa nome n
msaa tipo t
msaa codigo r
escreve "janela " c "|" n "|" t "|" r
msaa checa c
escreve "depois " c
msaa fim
termina

@passo
seja $fase "@W@/fase"
concatena $fase $passo
seja $feito "@W@/feito"
concatena $feito $passo
abre #1 $fase &
escreve #1 "x"
fecha #1
seja v ""
seja w 0
enquanto v = ""
espera ms 100
busca v $feito
soma w 1
se w > 150
escreve "o passo " $passo " não terminou"
termina
fim se
fim enquanto
* Time for the events to come in.
espera ms 1500
retorna
PLO

timeout 120 dbus-run-session -- bash "$work/sessao.sh" >"$work/sessao.log" 2>&1
[ "$(cat "$work/status" 2>/dev/null)" = 0 ] || fail "parlendo ended with status $(cat "$work/status" 2>/dev/null): $(cat "$work/sessao.log" "$work/parlendo.log" 2>/dev/null)"
area=$(cat "$work/area" 2>/dev/null)
expected="antes 0
1|Aceito|check box|44|marcado|$area
depois 0
1|42|Rua das Flores
1|spin button|52|7
depois 0
captura Ouvir|43|
captura Gravar|indisponível
fora Gravar
restam 5 Ouvir Aceito Ouvir Aceito Ouvir
janela 1|Segunda|frame|9
depois 0"
got=$(sed -e 's/ *$//' -e '/^$/d' "$work/com.txt" 2>/dev/null)
if [ "$got" != "$expected" ]; then
    fail "the form as read:"
    diff <(echo "$expected") <(echo "$got")
fi
[ "$failed" = 0 ] && echo "PASS"
exit "$failed"
