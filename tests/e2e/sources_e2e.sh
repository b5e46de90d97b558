#!/usr/bin/env bash
# The tuner with the open sources, end to end: sintonix runs headless with typed keys and its
# sintonix-fontes against the radio directory and news feeds of directory_fixture.py on the
# loopback (and its misbehaving servers), with real mpv; sintonix-fontes also runs alone from
# the shell. The checks read the speech log, the files of the tuner's folder, the files
# sintonix-fontes writes and the fixture's request log.
#
#   tests/e2e/sources_e2e.sh CASE SINTONIX
#
# CASE: search, play, servers, lists, news, fontes.
# sintonix-fontes is the one beside SINTONIX (the tuner runs that one too).
# Exit status: 0 passed, 1 failed, 77 skipped (a program the test needs is missing).
set -u

case_name=${1:?usage: sources_e2e.sh CASE SINTONIX}
sintonix=${2:?usage: sources_e2e.sh CASE SINTONIX}
sintonix=$(cd "$(dirname "$sintonix")" && pwd)/$(basename "$sintonix")
fontes=$(dirname "$sintonix")/sintonix-fontes
here=$(cd "$(dirname "$0")" && pwd)

[[ -x $fontes ]] || { echo "FAIL: no sintonix-fontes beside $sintonix"; exit 1; }
needed="python3 mpv ffmpeg pgrep"
source "$here/tuner_common.sh"
# Everything is on the loopback: a proxy of the environment must not get the requests.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1

fixture_pid=""

cleanup() {
    "$here/stop_here.sh" "$sx" mpv
    "$here/stop_here.sh" "$sx" sintonix-fontes
    [[ -n $fixture_pid ]] && kill "$fixture_pid" 2>/dev/null && wait "$fixture_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

# The fixture: the good directory and every misbehaving server, and a short MP3 for the streams.
make_tone "$work/tone.mp3"
python3 "$here/directory_fixture.py" --port-file "$work/ports" --mp3 "$work/tone.mp3" --log "$work/fixture.log" \
    --mode refused --mode garbage-json --mode error --mode hang &
fixture_pid=$!
for ((i = 0; i < 100; i++)); do [[ -s $work/ports ]] && break; sleep 0.05; done
[[ -s $work/ports ]] || { echo "FAIL: the fixture did not start"; exit 1; }
# srv NAME: the base address of the fixture's server NAME (directory, refused, hang...).
srv() { echo "http://127.0.0.1:$(awk -v n="$1" '$1 == n {print $2}' "$work/ports")"; }
base=$(srv directory)

# The tuner's folder. configure SERVERS [FEEDS] [PLAYER_WAIT]: the configuration, with the
# directory's servers (names of the fixture's servers), the news feeds and the player's wait.
# The old sites point at a refused port, so that nothing can leave the loopback.
mkdir -p "$sx"
configure() {
    local servers="" name
    for name in $1; do servers+="${servers:+ }$(srv "$name")"; done
    # The tuner reads its configuration as Windows-1252, as the seeded one is.
    cat <<EOF | python3 -c 'import sys; sys.stdout.buffer.write(sys.stdin.buffer.read().decode().encode("cp1252"))' >"$sx/sintonix.cfg"
# Configuração dos testes das fontes abertas
FONTE_RADIOS=radio-browser
RADIOS_SERVIDORES=$servers
PAIS=BR
NOTICIAS_FEEDS=${2:-}
SITE_DIRETORIO=$(srv refused)
SITE_PLAYER=$(srv refused)
SITE_LISTAS=$(srv refused)
SITE_NOTICIAS=$(srv refused)
WGET=wget -q --timeout=5 --tries=1
TOCADOR=mpv --no-terminal --ao=null --vo=null
GRAVADOR=ffmpeg -nostdin -loglevel error
PARAR=$here/stop_here.sh $sx
EDITOR=$here/record_program.sh $work/programs.log editor
LEITOR=$here/record_program.sh $work/programs.log leitor
NAVEGADOR=$here/record_program.sh $work/programs.log navegador
ESPERA_TOCADOR=${3:-0}
ESPERA_GRAVACAO=2
EOF
}
printf '[ORALIX]\nTEMPOESPERAPROGVOLTAR=0\n' >"$work/settings.ini"

# run KEYS: runs sintonix once; the exit status goes to $status, the wall time (ms) to $elapsed.
status=0
elapsed=0
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
run() {
    : >"$work/fixture.log"
    local start
    start=$(now_ms)
    SINTONIX_DIR=$sx timeout 120 "$sintonix" --headless --keys "$1" --dump-screen "$work/screen" \
        --speech-log "$work/speech" --audio null --settings "$work/settings.ini" </dev/null >"$work/stdout" 2>&1
    status=$?
    elapsed=$(($(now_ms) - start))
}


# requests SERVER: the fixture's log of that server, one request a line: PATH?QUERY.
requests() { awk -F'\t' -v n="$1" '$1 == n {print $2}' "$work/fixture.log"; }

# check_searches SERVER SEARCH...: the searches SERVER got are exactly these, in any order; a
# SEARCH is "name=rock&countrycode=BR" (the parameters that differ); each search must also carry
# hidebroken=true and reverse=true, order=clickcount and limit=500 unless the SEARCH names
# another order or limit, and the agent Sintonix/1.6.
check_searches() {
    python3 - "$work/fixture.log" "$@" <<'EOF'
import sys, urllib.parse
log, server, searches = sys.argv[1], sys.argv[2], sys.argv[3:]
got = []
for line in open(log, encoding="utf-8"):
    name, path, agent = line.rstrip("\n").split("\t")
    if name != server:
        continue
    url = urllib.parse.urlsplit(path)
    if url.path != "/json/stations/search":
        print(f"  unexpected request {path}")
        sys.exit(1)
    q = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
    for k, v in {"hidebroken": "true", "reverse": "true"}.items():
        if q.pop(k, None) != v:
            print(f"  {path}: {k} is not {v}")
            sys.exit(1)
    if agent != "Sintonix/1.6":
        print(f"  agent {agent!r}")
        sys.exit(1)
    got.append(sorted(q.items()))
want = [sorted({"order": "clickcount", "limit": "500", **dict(urllib.parse.parse_qsl(s))}.items()) for s in searches]
if sorted(got) != sorted(want):
    print(f"  searches: {got}\n  expected: {want}")
    sys.exit(1)
EOF
}

# ---------------------------------------------------------------------------------------------
case_search() {
    configure directory
    # 220 Brazilian stations have "rock" in the name or a tag: one request by name and one by
    # tag, merged, the most listened first, in pages of 22; no request without the country.
    run "brock{#13}{#0#79}{#9}{#0#79}{#9}{#8}{#27}{#27}s"
    expect_status 0
    speech_in_order "Digite sua busca:" "Aguarde" "220 ítens encontrados. Página 1 de 10" \
        "Rádio Cidade 1, São Paulo - BR, rock / pop" "Rádio Cidade 22, São Paulo - BR, rock / pop" \
        "220 ítens encontrados. Página 2 de 10" "Rock & Cia 44, São Paulo - BR, rock" "220 ítens encontrados. Página 3 de 10" "220 ítens encontrados. Página 2 de 10" \
        "Deseja sair? s: sim, n: não" "Até logo!" || fail "search: speech"
    check_searches directory "name=rock&countrycode=BR" "tag=rock&countrycode=BR" ||
        fail "search: the requests of the search (paging must ask nothing)"
    python3 - "$sx/temp" "$base" <<'EOF' || fail "search: the files of the search"
import os, sys
folder, base = sys.argv[1], sys.argv[2]
def lines(name):
    data = open(os.path.join(folder, name), "rb").read()
    assert data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""), f"{name}: not CR LF"
    return data.decode("cp1252").split("\r\n")[:-1]
everything = lines("busca.lst")
assert len(everything) == 440, len(everything)
pages = [lines(f"busca.lst.{k}") for k in range(1, 11)]
assert all(len(p) == 44 for p in pages), [len(p) for p in pages]
assert sum(pages, []) == everything, "the pages are not the results cut in 22"
assert not os.path.exists(os.path.join(folder, "busca.lst.11"))
assert pages[1][:2] == ["Rock & Cia 23, Minas Gerais - BR, rock", f"{base}/stream/rock-23.mp3"], pages[1][:2]
# Every second line is the resolved stream, never the station's own address.
assert all(l.startswith(f"{base}/stream/") for l in everything[1::2])
assert len(set(everything[0::2])) == 220, "a station came twice"
EOF

    # Fewer than 22 in the country: the searches without the country are appended, the
    # country's first. The text typed goes to the directory as UTF-8.
    run "bjazz{#13}{#0#79}{#27}bforró{#13}{#27}bnada{#13}{#27}s"
    expect_status 0
    speech_in_order "12 ítens encontrados. Página 1 de 1" "Rádio Jazz Paulista, São Paulo - BR, mpb / instrumental" \
        "Jazz Muitas Etiquetas, US, jazz / blues / soul / funk / swing / bebop" \
        "2 ítens encontrados. Página 1 de 1" "Forró do Sertão, Pernambuco - BR, forró / nordeste" \
        "Digite sua busca:" "Nenhum resultado encontrado." "Até logo!" || fail "search: jazz, forró, nada"
    check_searches directory "name=jazz&countrycode=BR" "tag=jazz&countrycode=BR" "name=jazz" "tag=jazz" \
        "name=forró&countrycode=BR" "tag=forró&countrycode=BR" "name=forró" "tag=forró" \
        "name=nada&countrycode=BR" "tag=nada&countrycode=BR" "name=nada" "tag=nada" ||
        fail "search: requests of jazz, forró and nada"

    # Segments: a line of tags (one request per tag, never by name), and an old site address
    # whose last part is the tag.
    printf 'Sertanejo\r\nsertanejo\r\nNot\xedcias e debates\r\nnot\xedcias,talk\r\nRock\r\n/segmento/rock\r\n' \
        >"$sx/segmentos.lst"
    run "s{#13}{#27}s{#0#80}{#13}{#0#80}{#27}s{#0#80}{#0#80}{#13}{#27}{#27}s"
    expect_status 0
    speech_in_order "Lista de segmentos" "Sertanejo" "2 ítens encontrados. Página 1 de 1" \
        "Rádio Viola Sertaneja, Minas Gerais - BR, sertanejo / pop" \
        "Lista de segmentos" "Notícias e debates" "2 ítens encontrados. Página 1 de 1" \
        "Rádio Notícias SP, São Paulo - BR, notícias / talk" "Debate 24 Horas, Minas Gerais - BR, talk / política" \
        "Lista de segmentos" "Rock" "147 ítens encontrados. Página 1 de 7" "Até logo!" || fail "segments: speech"
    check_searches directory "tag=sertanejo&countrycode=BR" "tag=sertanejo" \
        "tag=notícias&countrycode=BR" "tag=talk&countrycode=BR" "tag=notícias" "tag=talk" \
        "tag=rock&countrycode=BR" || fail "segments: requests"
}

case_play() {
    configure directory "" 3
    # Enter plays the resolved stream and reports the play to the directory (/json/url/UUID).
    run "brock{#13}{#13}"
    expect_status 3
    speech_in_order "220 ítens encontrados. Página 1 de 10" "Aguarde" || fail "play: speech"
    speech_has "Não foi possível tocar esta rádio." && fail "play: a live station was said not to play"
    local pids pid uuid
    pids=$(running_here mpv)
    [[ -n $pids ]] || fail "play: mpv is not running"
    for pid in $pids; do
        tr '\0' ' ' <"/proc/$pid/cmdline" | grep -qF "$base/stream/rock-1.mp3" ||
            fail "play: mpv plays $(tr '\0' ' ' <"/proc/$pid/cmdline")"
    done
    uuid=$(cd "$here" && python3 -c 'import directory_fixture as f; print(f.station_uuid("rock-1"))')
    for ((i = 0; i < 100; i++)); do
        grep -q $'^directory\t/json/url/'"$uuid"$'\tSintonix/1.6$' "$work/fixture.log" &&
            grep -q $'^directory\t/stream/rock-1.mp3\t' "$work/fixture.log" && break
        sleep 0.05
    done
    grep -q $'^directory\t/json/url/'"$uuid"$'\tSintonix/1.6$' "$work/fixture.log" ||
        fail "play: no click report for $uuid: $(requests directory | grep -v search)"
    grep -q $'^directory\t/stream/rock-1.mp3\t' "$work/fixture.log" || fail "play: mpv did not ask for the stream"
    grep -q $'^directory\t/listen/' "$work/fixture.log" && fail "play: the station's unresolved address was used"
    [[ $(requests directory | grep -c '^/json/url/') == 1 ]] || fail "play: clicks: $(requests directory | grep url)"

    # A station whose stream answers 404: the player gives up and the user is told.
    run "bfantasma{#13}{#13}"
    expect_status 3
    speech_in_order "1 ítens encontrados. Página 1 de 1" "Rádio Fantasma, Pernambuco - BR, variedades" "Aguarde" \
        "Não foi possível tocar esta rádio." || fail "play: dead stream"
    grep -q $'^directory\t/stream/dead\t' "$work/fixture.log" || fail "play: mpv did not ask for the dead stream"

    # l keeps a found station in a list: the display line and the stream address.
    run "brock{#13}{#0#80}l{#13}favoritas{#13}{#27}{#27}s"
    expect_status 0
    speech_in_order "Lista criada com sucesso!" "Ok, salvo." || fail "play: saving into a list"
    python3 - "$sx/listas/favoritas" "$base" <<'EOF' || fail "play: listas/favoritas"
import sys
got = open(sys.argv[1], "rb").read()
want = f"Rock & Cia 2, Pernambuco - BR, rock\r\n{sys.argv[2]}/stream/rock-2.mp3\r\n".encode("cp1252")
assert got == want, got
EOF
}

case_servers() {
    # The first server refuses, or answers garbage: the next one answers the whole search.
    local first
    for first in refused garbage-json; do
        configure "$first directory"
        run "brock{#13}{#27}{#27}s"
        expect_status 0
        speech_has "220 ítens encontrados. Página 1 de 10" || fail "servers: $first then a good one: no results"
        check_searches directory "name=rock&countrycode=BR" "tag=rock&countrycode=BR" ||
            fail "servers: $first then a good one: requests"
    done
    [[ $(requests garbage-json | wc -l) -ge 1 ]] || fail "servers: the garbage server was not asked first"

    # Every server down (one refuses, one never answers): the message within 15 s, for a search
    # and for a ready-made list, and nothing written into listas/.
    local down="O diretório de rádios não respondeu. Verifique sua conexão com a internet."
    configure "refused hang"
    run "brock{#13}{#27}s"
    expect_status 0
    speech_in_order "Aguarde" "$down" "Deseja sair? s: sim, n: não" || fail "servers: all down, search"
    ((elapsed < 15000)) || fail "servers: all down: the search took $elapsed ms"
    [[ $(requests hang | wc -l) -ge 1 ]] || fail "servers: the hanging server was not asked"
    run "l{#0#80}{#13}{#13}{#27}{#27}{#27}s"
    expect_status 0
    speech_in_order "Mais ouvidas" "Baixando lista" "$down" "Mais ouvidas" ||
        fail "servers: all down, list"
    ((elapsed < 15000)) || fail "servers: all down: the list took $elapsed ms"
    [[ -z $(ls -A "$sx/listas") ]] || fail "servers: written into listas/: $(ls -A "$sx/listas")"
    speech_has "Lista baixada." && fail "servers: a list was said to be downloaded"

    [[ -z $(running_here sintonix-fontes) ]] || fail "servers: sintonix-fontes left running"
}

case_lists() {
    configure directory
    # The same list made by sintonix-fontes alone, for the comparison below.
    (cd "$work" && "$fontes" mais-ouvidas --saida reference.lst --servidores "$base") ||
        fail "lists: sintonix-fontes mais-ouvidas failed"

    # Most listened, most voted and a state: each made into listas/ as sintonix-fontes wrote it.
    local keys="l{#0#80}{#13}{#13}{#0#80}{#13}"
    for ((i = 0; i < 13; i++)); do keys+="{#0#80}"; done
    keys+="{#13}{#27}{#27}{#27}s"
    run "$keys"
    expect_status 0
    speech_in_order "Escolha a lista que deseja baixar e pressione enter." "Mais ouvidas" "Baixando lista" \
        "Lista baixada." "Mais votadas" "Baixando lista" "Lista baixada." "Minas Gerais" "Baixando lista" \
        "Lista baixada." "Até logo!" || fail "lists: speech"
    cmp -s "$sx/listas/Mais ouvidas" "$work/reference.lst" || fail "lists: Mais ouvidas differs from sintonix-fontes' file"
    python3 - "$sx/listas" "$base" "$here" <<'EOF' || fail "lists: the lists"
import os, sys
folder, base, here = sys.argv[1:4]
sys.path.insert(0, here)
import directory_fixture as f
names = sorted(os.listdir(folder))
assert names == ["Mais ouvidas", "Mais votadas", "Minas Gerais"], names
def stations(name):
    data = open(os.path.join(folder, name), "rb").read()
    assert b"\n" not in data.replace(b"\r\n", b""), f"{name}: not CR LF"
    lines = data.decode("cp1252").split("\r\n")
    assert lines[-1] == "", name
    return list(zip(lines[0:-1:2], lines[1:-1:2]))
table = [s for s in f.stations(base) if s["countrycode"] == "BR" and s["lastcheckok"] == 1]
most = stations("Mais ouvidas")
assert len(most) == 100 and most[0] == ("Rádio Cidade 1, São Paulo - BR, rock / pop", f"{base}/stream/rock-1.mp3"), most[:2]
voted = stations("Mais votadas")
top = max(table, key=lambda s: s["votes"])
assert len(voted) == 100 and voted[0][1] == top["url_resolved"], (voted[0], top["name"])
assert voted[0][0].startswith(top["name"] + ","), (voted[0], top["name"])
mg = stations("Minas Gerais")
want = [s for s in table if s["state"] == "Minas Gerais"]
assert len(mg) == len(want), (len(mg), len(want))
assert mg[0][0] == "Rock Total 12, Minas Gerais - BR, pop / anos 80", mg[0]
assert all(", Minas Gerais - BR" in line for line, _ in mg), "a station of another state"
EOF
    check_searches directory "countrycode=BR&limit=100" "countrycode=BR&order=votes&limit=100" \
        "countrycode=BR&state=Minas Gerais&stateExact=true&limit=1000" || fail "lists: requests"

    # Replacing a list when the download fails: the old list stays as it was.
    cp "$sx/listas/Mais ouvidas" "$work/before.lst"
    configure error
    run "l{#0#80}{#13}{#13}s{#27}{#27}{#27}s"
    expect_status 0
    speech_in_order "Já existe uma lista com este nome. Deseja substituir? s: sim, n: dar outro nome, Esc: desistir" "Baixando lista" \
        "O diretório de rádios não respondeu. Verifique sua conexão com a internet." || fail "lists: failed download"
    cmp -s "$sx/listas/Mais ouvidas" "$work/before.lst" || fail "lists: the old list was changed by a failed download"
    [[ $(ls -A "$sx/listas" | wc -l) == 3 ]] || fail "lists: files in listas/: $(ls -A "$sx/listas")"
}

case_news() {
    # Sections from NOTICIAS_FEEDS: read one article, go to the next section, then a feed that
    # is not RSS and one that does not answer.
    configure directory "Geral|$base/rss/geral/feed.xml;Política|$base/rss/politica/feed.xml;Quebrado|$base/rss/quebrado/feed.xml;Fora do ar|$(srv refused)/rss/geral/feed.xml"
    : >"$work/programs.log"
    run "n{#13}{#13}{#9}{#27}{#0#80}{#13}{#0#80}{#13}{#27}{#27}s"
    expect_status 0
    speech_in_order "Escolha a seção de notícias" "Geral" "Carregando notícias, aguarde" "Geral: seção 1 de 4" \
        "Geral 1: rádios comunitárias & inclusão" "Carregando notícia, aguarde." \
        "Carregando notícias, aguarde" "Política: seção 2 de 4" "Política 1: rádios comunitárias & inclusão" \
        "Escolha a seção de notícias" "Carregando notícias, aguarde" \
        "O endereço de notícias não mandou notícias num formato conhecido (RSS)." \
        "Escolha a seção de notícias" "Carregando notícias, aguarde" \
        "O servidor de notícias não respondeu. Verifique sua conexão com a internet." \
        "Escolha a seção de notícias" "Até logo!" || fail "news: speech"
    grep -qxF "leitor [temp/txtnoticia]" "$work/programs.log" || fail "news: reader: $(cat "$work/programs.log")"
    [[ $(awk -F'\t' '$2 ~ /^\/rss\// {print $3}' "$work/fixture.log" | sort -u) == "Sintonix/1.6" ]] ||
        fail "news: feeds fetched without the agent"
    python3 - "$work/programs.log.leitor.1" "$base" <<'EOF' || fail "news: article text"
import sys
path, base = sys.argv[1:3]
data = open(path, "rb").read()
assert data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""), "not CR LF"
text = data.decode("cp1252")
lines = text.split("\r\n")
def has_line(line):
    assert line in lines, f"missing line {line!r}"
has_line("Geral 1: rádios comunitárias & inclusão")
first = ("Brasília - O governo federal anunciou nesta terça-feira (8) a ampliação do programa de rádios "
         "comunitárias, com investimento de R$ 2,5 bilhões até 2028.")
second = ('Segundo o ministério, a medida "vai ampliar o acesso à informação & a inclusão" nas cidades do '
          f'interior. Leia a íntegra do documento [{base}/geral/documento-1.pdf].')
has_line(first)
has_line(second)
# Paragraphs: one empty line between them.
assert lines[lines.index(first) + 1: lines.index(first) + 3] == ["", second], "paragraphs not one empty line apart"
has_line("A primeira etapa começa em janeiro, nos estados do Nordeste.")
assert "Maria Souza 1 - Repórter da Agência" in text, "no author"
for gone in ["foto-geral-1", "pixel.gif", "Notícias relacionadas", "Rádios do Norte", "outra-1",
             "WhatsApp", "Siga o canal", "&amp;", "&ldquo;", "&agrave;", "<", ">"]:
    assert gone not in text, f"{gone!r} is in the text"
# The footer credits the feed and gives the article's address, after the text.
tail = text[text.index("A primeira etapa"):]
assert "Agência Exemplo" in tail, "no credit to the feed in the footer"
assert f"{base}/geral/noticia/2026-12/materia-1" in tail, "no address of the article in the footer"
EOF

    # Without LEITOR the tuner reads the article itself: its lines, cut at the blanks to the
    # width of the screen, one spoken at a time (End, Up), the same after its help; Esc goes
    # back to the titles.
    sed -i 's/^LEITOR=.*/LEITOR=/' "$sx/sintonix.cfg"
    run "n{#13}{#13}{#13}{#0#59}x{#0#79}{#0#72}"
    expect_status 3
    speech_in_order "Carregando notícia, aguarde." "Notícia: Geral 1: rádios comunitárias & inclusão" \
        "Geral 1: rádios comunitárias & inclusão" "Endereço da matéria: $base/geral/noticia/2026-12/materia-1" \
        "fonte." || fail "news: the reader"
    python3 - "$work/screen" <<'EOF' || fail "news: the reader's screen"
import sys
rows = open(sys.argv[1], encoding="utf-8").read().split("\n")
assert rows[0].startswith("Notícia: Geral 1"), rows[0]
assert "Brasília - O governo federal anunciou nesta terça-feira (8) a ampliação do" in rows, rows
assert "Texto de Agência Exemplo - Geral, reproduzido pelo Sintonix com o crédito da" in rows, rows
assert rows[24].startswith("Setas: linhas"), rows[24]
EOF
    run "n{#13}{#13}{#13}{#27}{#27}{#27}{#27}s"
    expect_status 0
    speech_in_order "Notícia: Geral 1: rádios comunitárias & inclusão" "Geral: seção 1 de 4" \
        "Escolha a seção de notícias" "Até logo!" || fail "news: out of the reader"
    [[ $(grep -c leitor "$work/programs.log") == 1 ]] || fail "news: an outside reader was run without LEITOR"
}

case_fontes() {
    # sintonix-fontes alone: a search whose results need every cleaning rule of the display
    # line, written in Windows-1252 with CR LF, with the ids and the pages.
    local f=$work/f
    mkdir -p "$f"
    : >"$work/fixture.log"
    (cd "$f" && "$fontes" busca jazz --saida j.lst --paginas 5 --estado j.st --servidores "$base" --pais BR)
    [[ $? == 0 ]] || fail "fontes: busca jazz: exit status"
    python3 - "$f" "$base" "$here" <<'EOF' || fail "fontes: the files of busca"
import os, sys
folder, base, here = sys.argv[1:4]
sys.path.insert(0, here)
import directory_fixture as fx
stream = lambda key: f"{base}/stream/{key}.mp3"
want = [
    ("jazz-paulista", "Rádio Jazz Paulista, São Paulo - BR, mpb / instrumental", stream("jazz-paulista")),
    ("bossa-rio", "Bossa Rio, Rio de Janeiro - BR, jazz / bossa nova", stream("bossa-rio")),
    ("osaka-jazz", "Osaka Jazz, Osaka - JP, jazz / smooth jazz", stream("osaka-jazz")),
    ("tokyo-jazz", "Jazz Café, JP, jazz / café", stream("tokyo-jazz")),
    ("leczyca-jazz", "Radio Leczyca Jazz, Slaskie - PL, jazz", stream("leczyca-jazz")),
    ("noite-jazz", 'Rádio "Noite" Jazz - 24h..., Lisboa - PT, jazz / blues', stream("noite-jazz")),
    ("long-jazz", "Jazz Contemporâneo e Instrumental da Madrugada Contemporâneo e Instrumental da "
     "Madrugada..., US, jazz", stream("long-jazz")),
    ("nameless-jazz", "Rádio sem nome, jazz", stream("nameless-jazz")),
    ("unresolved-jazz", "Jazz Sem Resolver, England - GB, blues", stream("unresolved-jazz")),
    ("encoded-jazz", "Jazz Codificado, Île-de-France - FR, jazz", f"{base}/stream/jazz%20caf%C3%A9%7C1.mp3"),
    ("cyrillic-jazz", "Jazz, RU, jazz", stream("cyrillic-jazz")),
    ("many-tags-jazz", "Jazz Muitas Etiquetas, US, jazz / blues / soul / funk / swing / bebop", stream("many-tags-jazz")),
]
def read(name):
    return open(os.path.join(folder, name), "rb").read()
def crlf(lines):
    return "".join(l + "\r\n" for l in lines).encode("cp1252")
got = read("j.lst")
expected = crlf([x for _, line, address in want for x in (line, address)])
if got != expected:
    g, e = got.split(b"\r\n"), expected.split(b"\r\n")
    for k in range(max(len(g), len(e))):
        if k >= len(g) or k >= len(e) or g[k] != e[k]:
            print(f"  line {k + 1}: got {g[k] if k < len(g) else None!r}, want {e[k] if k < len(e) else None!r}")
            break
    sys.exit(1)
ids = crlf([f"{fx.station_uuid(key)}\t{address}" for key, _, address in want])
assert read("j.lst.ids") == ids, read("j.lst.ids")
for page, first in ((1, 0), (2, 5), (3, 10)):
    assert read(f"j.lst.{page}") == crlf([x for _, l, a in want[first:first + 5] for x in (l, a)]), page
assert sorted(os.listdir(folder)) == ["j.lst", "j.lst.1", "j.lst.2", "j.lst.3", "j.lst.ids", "j.st"], os.listdir(folder)
status = read("j.st").replace(b"\r\n", b"\n").split(b"\n")
assert status[:2] == [b"ok", b"12"], status
EOF

    # A bad command line: status 2, and nothing asked of the directory.
    : >"$work/fixture.log"
    (cd "$f" && "$fontes" --servidores "$base" >/dev/null 2>&1)
    [[ $? == 2 ]] || fail "fontes: no command: exit status"
    (cd "$f" && "$fontes" busca --servidores "$base" >/dev/null 2>&1)
    [[ $? == 2 ]] || fail "fontes: busca without text: exit status"
    (cd "$f" && "$fontes" voa alto --servidores "$base" >/dev/null 2>&1)
    [[ $? == 2 ]] || fail "fontes: unknown command: exit status"
    [[ ! -s $work/fixture.log ]] || fail "fontes: a bad command line made requests: $(cat "$work/fixture.log")"
    : >"$work/speech"
}

case "$case_name" in
search | play | servers | lists | news | fontes) "case_$case_name" ;;
*) echo "unknown case $case_name"; exit 2 ;;
esac

if ((failures > 0)); then
    echo "$failures check(s) failed; speech log of the last run:"
    grep -v '^char ' "$work/speech" 2>/dev/null
    exit 1
fi
echo "sources $case_name: all checks passed"
