#!/usr/bin/env python3
"""The open sources on the loopback, for the tuner's end-to-end tests and the sources benchmark.

One process serves, each on a port of its own:

- "directory": a radio-browser server (the JSON API of radiobrowser-api-rust): station search
  (/json/stations/search) over a station table of its own, the play report (/json/url/UUID),
  the stations' endless MP3 streams (and a dead one, answering 404), and RSS 2.0 news feeds
  shaped like those of a Brazilian public news agency (/rss/SECTION/feed.xml);
- the misbehaving servers asked for with --mode (repeatable):
    garbage-json   every answer is the good JSON cut in the middle
    error          every answer is HTTP 503
    hang           accepts the connection, reads the request and never answers
    refused        a port bound but not listening: every connection is refused
    directory      one more good directory (the same table)

    directory_fixture.py --port-file FILE --mp3 FILE --log FILE [--mode MODE]...

Once everything listens, the port file gets one line per server, "NAME PORT", the good
directory first. Every request is appended to the log as "NAME<TAB>PATH?QUERY<TAB>USER-AGENT".
The station table can also be imported (stations(base)) to compute what a search must give.
"""

import argparse
import gzip
import html
import json
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse
import uuid
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from fixture_site import send_endless_mp3

NAMESPACE = uuid.UUID("6f1d4c8e-3b1a-4c55-9a77-2c0e5b9d0a11")

# The rock stations: the search text "rock" with the country BR finds exactly ROCK_COUNT of them
# (by name, by tag or both), which is the benchmark's search.
ROCK_COUNT = 220
ROCK_STATES = ["São Paulo", "Minas Gerais", "Pernambuco", "Rio de Janeiro", "Bahia", "Paraná",
               "Rio Grande do Sul", "Ceará", "Goiás", "Distrito Federal", ""]
STATE_CODES = {"São Paulo": "SP", "Minas Gerais": "MG", "Pernambuco": "PE", "Rio de Janeiro": "RJ",
               "Bahia": "BA", "Paraná": "PR", "Rio Grande do Sul": "RS", "Ceará": "CE", "Goiás": "GO",
               "Distrito Federal": "DF"}

# The long name of the table: 300 characters of words, so that a cut at 100 falls inside one.
LONG_NAME = "Jazz " + " ".join(["Contemporâneo e Instrumental da Madrugada"] * 7)


def _uuid(kind, key):
    return str(uuid.uuid5(NAMESPACE, f"{kind}:{key}"))


def station_uuid(key):
    """The stationuuid of the station of the table with this key (e.g. "rock-1")."""
    return _uuid("station", key)


def _times(i):
    """The server's time fields for the station of table index i (never clicked when i % 5 == 4)."""
    day = 1 + i % 28
    hour, minute, second = i % 24, (i * 7) % 60, (i * 13) % 60
    stamp = f"2026-11-{day:02d} {hour:02d}:{minute:02d}:{second:02d}"
    iso = f"2026-11-{day:02d}T{hour:02d}:{minute:02d}:{second:02d}Z"
    clicked = i % 5 != 4
    return {
        "lastchangetime": stamp, "lastchangetime_iso8601": iso,
        "lastchecktime": stamp, "lastchecktime_iso8601": iso,
        "lastcheckoktime": stamp, "lastcheckoktime_iso8601": iso,
        "lastlocalchecktime": stamp, "lastlocalchecktime_iso8601": iso,
        "clicktimestamp": stamp if clicked else "",
        "clicktimestamp_iso8601": iso if clicked else None,
    }


def _station(i, key, name, countrycode, state, tags, clickcount, url, url_resolved=None,
             lastcheckok=1, country=None, geo=None, language="portuguese", languagecodes="pt"):
    """One station object, its fields in the order and of the types the server writes them."""
    if url_resolved is None:
        url_resolved = url
    countries = {"BR": "Brazil", "JP": "Japan", "PL": "Poland", "PT": "Portugal", "US": "The United States Of America",
                 "GB": "The United Kingdom Of Great Britain And Northern Ireland", "FR": "France",
                 "RU": "The Russian Federation", "": ""}
    code = STATE_CODES.get(state) if countrycode == "BR" else None
    t = _times(i)
    return {
        "changeuuid": _uuid("change", key),
        "stationuuid": station_uuid(key),
        "serveruuid": _uuid("server", key) if i % 3 else None,
        "name": name,
        "url": url,
        "url_resolved": url_resolved,
        "homepage": f"https://radio.example/{i}",
        "favicon": f"https://radio.example/{i}.png" if i % 4 else "",
        "tags": tags,
        "country": country if country is not None else countries.get(countrycode, ""),
        "countrycode": countrycode,
        "iso_3166_2": f"BR-{code}" if code else None,
        "state": state,
        "language": language,
        "languagecodes": languagecodes,
        # Every station has its own vote count, in an order other than that of the clicks.
        "votes": 1000 + (i * 7919) % 997,
        "lastchangetime": t["lastchangetime"],
        "lastchangetime_iso8601": t["lastchangetime_iso8601"],
        "codec": "MP3" if i % 4 else "AAC+",
        "bitrate": 128 if i % 2 else 64,
        "hls": 0,
        "lastcheckok": lastcheckok,
        "lastchecktime": t["lastchecktime"],
        "lastchecktime_iso8601": t["lastchecktime_iso8601"],
        "lastcheckoktime": t["lastcheckoktime"],
        "lastcheckoktime_iso8601": t["lastcheckoktime_iso8601"],
        "lastlocalchecktime": t["lastlocalchecktime"],
        "lastlocalchecktime_iso8601": t["lastlocalchecktime_iso8601"],
        "clicktimestamp": t["clicktimestamp"],
        "clicktimestamp_iso8601": t["clicktimestamp_iso8601"],
        "clickcount": clickcount,
        "clicktrend": (i % 7) - 3,
        "ssl_error": 0,
        "geo_lat": geo[0] if geo else None,
        "geo_long": geo[1] if geo else None,
        "has_extended_info": False,
    }


def stations(base):
    """The station table; stream addresses point at base (http://127.0.0.1:PORT)."""
    table = []

    def add(key, name, countrycode, state, tags, clickcount, **kw):
        url = kw.pop("url", f"{base}/listen/{key}")
        url_resolved = kw.pop("url_resolved", f"{base}/stream/{key}.mp3")
        table.append(_station(len(table), key, name, countrycode, state, tags, clickcount, url,
                              url_resolved, **kw))

    # Rock, Brazil: a third found by name only, a third by tag only, a third by both; clicks fall
    # with the number, so "Rádio Cidade 1" is the most listened station of the country.
    for n in range(1, ROCK_COUNT + 1):
        state = ROCK_STATES[n % len(ROCK_STATES)] if n > 1 else "São Paulo"
        if n % 3 == 1:
            name, tags = f"Rádio Cidade {n}", "rock,pop"
        elif n % 3 == 2:
            name, tags = f"Rock & Cia {n}", "rock"
        else:
            name, tags = f"Rock Total {n}", "pop,anos 80"
        add(f"rock-{n}", name, "BR", state, tags, 50000 - 200 * n,
            geo=(-23.55 + n / 1000, -46.63) if n % 2 else None)
    # Broken stations (lastcheckok 0): hidden by hidebroken; were they not, they would come first.
    for n in range(1, 6):
        add(f"rock-broken-{n}", f"Rock Quebrada {n}", "BR", "São Paulo", "rock", 99000 + n, lastcheckok=0)
    add("top-broken", "Rádio Fora do Ar", "BR", "Bahia", "pop", 99999, lastcheckok=0)
    # Foreign rock: never part of the country's 220.
    add("tokyo-rock", "Tokyo Rock Café", "JP", "Tōkyō", "rock,j-rock", 5900, language="japanese",
        languagecodes="ja")
    add("london-rock", "London Rock Radio", "GB", "England", "rock,classic rock", 5800, language="english",
        languagecodes="en")

    # Jazz: two Brazilian stations (one by name, one by tag), so a search for "jazz" also asks
    # without the country; the others test the display line's cleaning and the addresses.
    add("jazz-paulista", "Rádio Jazz Paulista", "BR", "São Paulo", "mpb,instrumental", 900)
    add("bossa-rio", "Bossa Rio", "BR", "Rio de Janeiro", "jazz,bossa nova", 800)
    add("jazz-broken", "Jazz Quebrado", "BR", "Bahia", "jazz", 5000, lastcheckok=0)
    add("osaka-jazz", "Ōsaka Jazz", "JP", "Ōsaka", "jazz,smooth jazz", 700, language="japanese",
        languagecodes="ja", geo=(34.6937, 135.5023))
    add("tokyo-jazz", "東京 Jazz Café", "JP", "", "jazz,café", 650, language="japanese", languagecodes="ja")
    add("leczyca-jazz", "Radio Łęczyca Jazz", "PL", "Śląskie", "jazz", 600, language="polish", languagecodes="pl")
    add("noite-jazz", "Rádio “Noite”\nJazz – 24h…", "PT", "Lisboa", "jazz,blues", 550)
    add("long-jazz", LONG_NAME, "US", "", "jazz", 500, language="english", languagecodes="en")
    add("nameless-jazz", "東京", "", "", "jazz", 450, language="", languagecodes="")
    add("unresolved-jazz", "Jazz Sem Resolver", "GB", "England", "blues", 400, url_resolved="",
        url=f"{base}/stream/unresolved-jazz.mp3", language="english", languagecodes="en")
    add("no-address-jazz", "Jazz Sem Endereço", "US", "Ohio", "jazz", 350, url="", url_resolved="")
    add("no-scheme-jazz", "Jazz Sem Esquema", "US", "Ohio", "jazz", 340, url="stream.example/jazz",
        url_resolved="stream.example/jazz")
    add("encoded-jazz", "Jazz Codificado", "FR", "Île-de-France", "jazz", 300,
        url_resolved=f"{base}/stream/jazz café|1.mp3", language="french", languagecodes="fr")
    add("cyrillic-jazz", "Радио Jazz", "RU", "", "jazz", 250, language="russian", languagecodes="ru")
    add("many-tags-jazz", "Jazz Muitas Etiquetas", "US", "", "jazz,blues,soul,funk,swing,bebop,fusion,latin",
        200, language="english", languagecodes="en")
    add("foreign-broken-jazz", "Jazz Broken", "US", "", "jazz", 8000, lastcheckok=0)

    # The other Brazilian stations: segments, states, and a dead stream.
    add("viola", "Rádio Viola Sertaneja", "BR", "Minas Gerais", "sertanejo,pop", 4000)
    add("sertao", "Sertão FM", "BR", "Goiás", "sertanejo", 3900)
    add("forro", "Forró do Sertão", "BR", "Pernambuco", "forró,nordeste", 3800)
    add("xote", "Xote e Baião", "BR", "Paraíba", "forró", 3700)
    add("cbn", "Rádio Notícias SP", "BR", "São Paulo", "notícias,talk", 3600)
    add("debate", "Debate 24 Horas", "BR", "Minas Gerais", "talk,política", 3500)
    add("minas-regiao", "Rádio Minas e Região", "BR", "Minas Gerais e Região", "variedades", 3400)
    add("fantasma", "Rádio Fantasma", "BR", "Pernambuco", "variedades", 3300,
        url_resolved=f"{base}/stream/dead")
    add("mg-norte", "Norte de Minas FM", "BR", "Minas Gerais", "variedades", 3200)
    add("acre", "Rádio Floresta", "BR", "Acre", "variedades", 3100)
    return table


def _contains_ci(haystack, needle):
    return needle.casefold() in haystack.casefold()


def _flag(query, name, default=False):
    value = query.get(name, [None])[0]
    if value is None:
        return default
    return value.strip().lower() == "true"


def _int(query, name, default):
    try:
        return max(0, int(query.get(name, [str(default)])[0]))
    except ValueError:
        return default


def search(table, query):
    """/json/stations/search: the filters, order and window of radiobrowser-api-rust."""
    found = []
    name = query.get("name", [""])[0]
    tag = query.get("tag", [""])[0]
    countrycode = query.get("countrycode", [""])[0]
    state = query.get("state", [""])[0]
    for s in table:
        if name:
            if _flag(query, "nameExact"):
                if s["name"].casefold() != name.casefold():
                    continue
            elif not _contains_ci(s["name"], name):
                continue
        if tag:
            tags = [t for t in s["tags"].split(",") if t]
            if _flag(query, "tagExact"):
                if not any(t.casefold() == tag.casefold() for t in tags):
                    continue
            elif not any(_contains_ci(t, tag) for t in tags):
                continue
        if countrycode and s["countrycode"].upper() != countrycode.upper():
            continue
        if state:
            if _flag(query, "stateExact"):
                if s["state"].casefold() != state.casefold():
                    continue
            elif not _contains_ci(s["state"], state):
                continue
        if _flag(query, "hidebroken") and s["lastcheckok"] != 1:
            continue
        found.append(s)
    order = query.get("order", ["name"])[0].lower()
    keys = {
        "name": lambda s: s["name"].casefold(),
        "votes": lambda s: s["votes"],
        "clickcount": lambda s: s["clickcount"],
        "clicktrend": lambda s: s["clicktrend"],
        "bitrate": lambda s: s["bitrate"],
        "country": lambda s: s["country"].casefold(),
        "state": lambda s: s["state"].casefold(),
    }
    found.sort(key=keys.get(order, keys["name"]), reverse=_flag(query, "reverse"))
    offset = _int(query, "offset", 0)
    limit = _int(query, "limit", 100000)
    return found[offset:offset + limit]


_gzipped = {}
_gzipped_lock = threading.Lock()


def gzipped_body(data):
    # The same bytes are compressed once: the answers repeat (see Handler.search_json).
    with _gzipped_lock:
        if data not in _gzipped:
            if len(_gzipped) > 256:
                _gzipped.clear()
            _gzipped[data] = gzip.compress(data, mtime=0)
        return _gzipped[data]


def to_json(value):
    # serde_json's compact form: no blanks, UTF-8 as it is, control characters escaped.
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


# ---------------------------------------------------------------------------------------------
# News: RSS 2.0 in the form of the agency's section feeds.

FEED_SECTIONS = {"geral": "Geral", "politica": "Política", "economia": "Economia"}


def article_html(base, section, n):
    """The description of an item: the article as the agency's feeds carry it."""
    link = f"{base}/{section}/noticia/2026-12/materia-{n}"
    return (
        f'<img src="{base}/img/foto-{section}-{n}.jpg" alt="Foto de arquivo" width="1170" height="700" />'
        '<p>Brasília - O governo federal anunciou nesta terça-feira (8) a ampliação do programa '
        'de rádios comunitárias, com investimento de R$ 2,5 bilhões até 2028.</p>'
        '<p>Segundo o ministério, a medida &ldquo;vai ampliar o acesso &agrave; informa&ccedil;&atilde;o '
        '&amp; a inclus&atilde;o&rdquo; nas cidades do interior. Leia a '
        f'<a href="{base}/{section}/documento-{n}.pdf">íntegra do documento</a>.</p>'
        '<div class="related-news"><h3>Notícias relacionadas:</h3><ul>'
        f'<li><a href="{base}/{section}/noticia/2026-12/outra-{n}">Rádios do Norte ganham novo edital</a></li>'
        f'<li><a href="{base}/{section}/noticia/2026-12/mais-{n}">Ministério divulga lista de emissoras</a></li>'
        '</ul></div>'
        '<p>A primeira etapa começa em janeiro, nos estados do Nordeste.</p>'
        '<p><strong>Siga o canal da Agência no '
        '<a href="https://whatsapp.com/channel/0029VaExemplo">WhatsApp</a></strong></p>'
        f'<img src="{base}/pixel.gif?id={section}-{n}&amp;o=node" width="1" height="1" alt="" />'
    ), link


def feed(base, section):
    title = FEED_SECTIONS[section]
    items = []
    for n in range(1, 4):
        body, link = article_html(base, section, n)
        items.append(
            "    <item>\n"
            f"      <title>{html.escape(f'{title} {n}: rádios comunitárias & inclusão', quote=False)}</title>\n"
            f"      <link>{link}</link>\n"
            f"      <description>{html.escape(body, quote=True)}</description>\n"
            f"      <pubDate>Tue, 0{n} Dec 2026 1{n}:30:00 -0300</pubDate>\n"
            f"      <dc:creator>Maria Souza {n} - Repórter da Agência</dc:creator>\n"
            f'      <guid isPermaLink="false">{section}-{n} at {base}</guid>\n'
            "    </item>\n")
    return (
        '<?xml version="1.0" encoding="utf-8"?>\n'
        '<rss version="2.0" xml:base="' + base + '/" xmlns:dc="http://purl.org/dc/elements/1.1/">\n'
        "  <channel>\n"
        f"    <title>Agência Exemplo - {title}</title>\n"
        f"    <link>{base}/</link>\n"
        "    <description>Notícias da Agência Exemplo</description>\n"
        "    <language>pt-br</language>\n"
        + "".join(items) +
        "  </channel>\n"
        "</rss>\n")


ERROR_PAGE = """<!DOCTYPE html>
<html lang="pt-br">
<head><meta charset="utf-8"><title>Serviço temporariamente indisponível</title></head>
<body>
<h1>Ops!</h1>
<p>O serviço está passando por manutenção. Tente novamente em alguns minutos.</p>
</body>
</html>
"""


class Handler(BaseHTTPRequestHandler):
    """The good directory; the misbehaving servers override answer()."""

    protocol_version = "HTTP/1.1"
    name = "directory"
    log_path = ""
    log_lock = threading.Lock()
    mp3 = b""
    table = []
    table_lock = threading.Lock()
    answers = {}

    def setup(self):
        super().setup()
        # Headers and body go out in two writes: without this, the second waits for the
        # client's delayed acknowledgement (40 ms), as no real server makes its clients wait.
        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)

    def log_message(self, *args):
        pass

    def version_string(self):
        return "nginx"

    def note(self):
        with Handler.log_lock, open(Handler.log_path, "a", encoding="utf-8") as log:
            log.write(f"{self.name}\t{self.path}\t{self.headers.get('User-Agent', '')}\n")

    def send_body(self, data, status=200, content_type="application/json", compress=True):
        if isinstance(data, str):
            data = data.encode("utf-8")
        gzipped = compress and len(data) > 1024 and "gzip" in self.headers.get("Accept-Encoding", "")
        if gzipped:
            data = gzipped_body(data)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Access-Control-Allow-Origin", "*")
        if gzipped:
            self.send_header("Content-Encoding", "gzip")
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        self.note()
        self.answer()

    def do_POST(self):
        # The API takes its parameters in a form body as well; only the query is read here.
        length = int(self.headers.get("Content-Length", "0") or 0)
        if length:
            self.rfile.read(length)
        self.note()
        self.answer()

    def query(self):
        return urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query, keep_blank_values=True)

    def search_json(self):
        # Answers are kept until a click changes the table, so that the benchmark measures the
        # client rather than this server's Python.
        key = urllib.parse.urlsplit(self.path).query
        with Handler.table_lock:
            if key not in Handler.answers:
                Handler.answers[key] = to_json(search(Handler.table, self.query()))
            return Handler.answers[key]

    def answer(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        if path == "/json/stations/search":
            return self.send_body(self.search_json())
        if path.startswith("/json/url/"):
            return self.click(path[len("/json/url/"):])
        if path == "/stream/dead":
            return self.send_body("<html><body><h1>404 Not Found</h1></body></html>\n", 404, "text/html")
        if path.startswith("/stream/"):
            return self.stream()
        if path.startswith("/rss/"):
            section = path[len("/rss/"):].removesuffix("/feed.xml")
            if section in FEED_SECTIONS:
                base = f"http://127.0.0.1:{self.server.server_address[1]}"
                return self.send_body(feed(base, section), content_type="application/rss+xml; charset=utf-8")
            if section == "quebrado":
                return self.send_body(ERROR_PAGE, content_type="text/html; charset=utf-8")
        return self.send_body("<html><body><h1>404 Not Found</h1></body></html>\n", 404, "text/html")

    def click(self, station_uuid):
        with Handler.table_lock:
            for s in Handler.table:
                if s["stationuuid"] == station_uuid:
                    Handler.answers.clear()
                    s["clickcount"] += 1
                    now = time.gmtime()
                    s["clicktimestamp"] = time.strftime("%Y-%m-%d %H:%M:%S", now)
                    s["clicktimestamp_iso8601"] = time.strftime("%Y-%m-%dT%H:%M:%SZ", now)
                    body = to_json({"ok": True, "message": "retrieved station url",
                                    "stationuuid": s["stationuuid"], "name": s["name"],
                                    "url": s["url_resolved"]})
                    return self.send_body(body)
        return self.send_body(to_json({"ok": False, "message": "did not find station with matching url"}), 404)

    def stream(self):
        send_endless_mp3(self, Handler.mp3)


class GarbageJson(Handler):
    def answer(self):
        body = self.search_json().encode("utf-8")
        self.send_body(body[:max(1, len(body) // 2)])


class Error(Handler):
    def answer(self):
        self.send_body("<html>\r\n<head><title>503 Service Temporarily Unavailable</title></head>\r\n"
                       "<body>\r\n<center><h1>503 Service Temporarily Unavailable</h1></center>\r\n"
                       "<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n", 503, "text/html")


class Hang(Handler):
    forever = threading.Event()

    def answer(self):
        Hang.forever.wait()


MODES = {"directory": Handler, "garbage-json": GarbageJson,
         "error": Error, "hang": Hang}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--mp3", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--mode", action="append", default=[],
                        choices=sorted(list(MODES) + ["refused"]))
    args = parser.parse_args()
    with open(args.mp3, "rb") as f:
        Handler.mp3 = f.read()
    Handler.log_path = args.log
    open(args.log, "w").close()

    servers, lines, held = [], [], []
    for mode in ["directory"] + args.mode:
        if mode == "refused":
            # Bound and never listening: connections are refused, and no one else takes the port.
            s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            s.bind(("127.0.0.1", 0))
            held.append(s)
            lines.append(f"refused {s.getsockname()[1]}")
            continue
        handler = type(f"{MODES[mode].__name__}Server", (MODES[mode],), {"name": mode})
        server = ThreadingHTTPServer(("127.0.0.1", 0), handler)
        server.daemon_threads = True
        servers.append(server)
        lines.append(f"{mode} {server.server_address[1]}")
    Handler.table = stations(f"http://127.0.0.1:{servers[0].server_address[1]}")
    for server in servers:
        threading.Thread(target=server.serve_forever, daemon=True).start()

    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(tmp, args.port_file)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    stop.wait()
    return 0


if __name__ == "__main__":
    sys.exit(main())
