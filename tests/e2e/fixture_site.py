#!/usr/bin/env python3
"""A small web site on the loopback for the tuner's end-to-end tests.

It plays every site the tuner talks to, with pages of our own that carry the markers the
tuner reads: the radio directory (search results and segment pages), the station player
pages, the endless audio streams, the index and files of the downloadable station lists (and,
under /vazio, an index that names none), and the news portal (index pages and articles).

    fixture_site.py --port-file FILE --mp3 FILE --log FILE

The port chosen is written to the port file once the server listens. Each request is
appended to the log as "PATH<TAB>USER-AGENT".
"""

import argparse
import html
import os
import re
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PER_PAGE = 22


def send_endless_mp3(handler, data):
    """Answers with the MP3 played over and over until the client goes: a short burst so that
    players start at once, then four times the stream's own rate, so that a recording fills the
    encoder's buffers within the tests' short waits."""
    handler.send_response(200)
    handler.send_header("Content-Type", "audio/mpeg")
    handler.send_header("Connection", "close")
    handler.end_headers()
    handler.close_connection = True
    pos = 0
    sent = 0
    try:
        while True:
            chunk = data[pos:pos + 4000]
            if len(chunk) < 4000:
                chunk += data[:4000 - len(chunk)]
            pos = (pos + 4000) % len(data)
            handler.wfile.write(chunk)
            handler.wfile.flush()
            sent += len(chunk)
            if sent > 32000:
                time.sleep(0.125)
    except OSError:
        return

# Stations found by each search text: (slug, name, location, segments).
def rock_stations():
    found = [("rock-1", "Rádio Rock: 24/7 | Ao Vivo*", "Belo Horizonte - MG", ["Rock", "Pop"])]
    for n in range(2, 46):
        found.append((f"rock-{n}", f"Rádio Rock {n}", "São Paulo - SP", ["Rock"]))
    return found


SEARCHES = {
    "rock": rock_stations(),
    "externa": [
        ("radio-externa", "Rádio Externa", "Recife - PE", ["Variedades"]),
        ("radio-direta", "Rádio Direta", "Curitiba - PR", ["Clássica", "Jazz"]),
    ],
}
SEGMENTS = {"/segmento/classica": SEARCHES["externa"], "/segmento/rock": SEARCHES["rock"]}

LISTS = {
    "Clássicas": ["Rádio Clássica Um, São Paulo - SP, Clássica", "{base}/stream/classica.mp3",
                  "Rádio Externa, Recife - PE, Variedades", "EXT:{base}/externo/radio-externa"],
    "Rádios de rock": ["Rádio Rock 2, São Paulo - SP, Rock", "{base}/stream/rock-2.mp3"],
}

NEWS_PAGES = 3
NEWS_PER_PAGE = 4


def result_page(stations, page):
    total = len(stations)
    lines = ["<!DOCTYPE html>", "<html><head><meta charset=\"utf-8\"><title>Busca</title></head>",
             "<body>", "<div class=\"container\">"]
    if page == 0:
        last = min(PER_PAGE, total)
        lines.append(f"<p class=\"text-muted\">Mostrando 1 a {last} de {total} rádios encontradas</p>")
    for slug, name, place, segments in stations[page * PER_PAGE:(page + 1) * PER_PAGE]:
        lines += [
            "<div class=\"col-md-3 radio\">",
            f"<a class=\"thumbnail\" href=\"/radios/ouvir/{slug}\" title=\"Ouvir\">"
            f"<img src=\"/img/{slug}.png\" alt=\"{name}\"></a>",
            "<p class=\"info\">",
            f"<a class=\"localizacao\" href=\"/cidade\" title=\"Rádios {place}\">{place}</a>",
            "</p>",
            "<p class=\"segmentos\">",
        ]
        for s in segments:
            lines.append(f"<a class=\"btn btn-default btn-xs segmento\" href=\"/segmento\" "
                         f"title=\"Estilo: {s}\">{s}</a>")
        lines += ["</p>", "</div>"]
    lines += ["</div>", "</body></html>"]
    return "\n".join(lines) + "\n"


def player_page(slug, base):
    if slug == "radio-externa":
        body = (f"<div class=\"player\">\n<a class=\"player-audio-external\" href=\"{base}/externo/{slug}\">"
                "Ouvir no site da rádio</a>\n</div>")
    else:
        body = ("<script>\nvar player = new Player({\n"
                f"  src:  \"{base}/stream/{slug}.mp3\",\n  type: \"audio/mpeg\"\n}});\n</script>")
    return f"<html><head><title>{slug}</title></head><body>\n{body}\n</body></html>\n"


def list_index(names=None):
    lines = ["<html>", "<head><title>Index of /programas/sintonix/listas</title></head>", "<body>",
             "<h1>Index of /programas/sintonix/listas</h1>",
             "<pre><a href=\"?C=N;O=D\">Name</a>  <a href=\"?C=M;O=A\">Last modified</a>", "<hr>",
             "<a href=\"/programas/sintonix/\">Parent Directory</a>"]
    for name in LISTS if names is None else names:
        # The escapes of the letters in lower case, as the site writes them.
        quoted = re.sub(r"%[0-9A-F]{2}", lambda e: e.group(0).lower(),
                        urllib.parse.quote(name.encode("utf-8"), safe=""))
        lines.append(f"<a href=\"{quoted}\">{name}</a>")
    lines += ["<hr></pre>", "</body></html>"]
    return "\n".join(lines) + "\n"


def article_title(n):
    return f"Notícia número {n}: rádio em destaque"


def news_index(page):
    lines = ["<html><head><meta charset=\"utf-8\"></head><body>", "<div class=\"lista\">"]
    first = (page - 1) * NEWS_PER_PAGE + 1
    for n in range(first, first + NEWS_PER_PAGE):
        lines += ["<div class=\"item\">", f"<h3><a href=\"/noticias/ver/{n}/noticia-{n}\">",
                  f"08/12/2026 - {article_title(n)}</a></h3>", "</div>"]
    nxt = min(page + 1, NEWS_PAGES)
    lines += ["</div>", "    <div class=\"paginas\">   ",
              f"<span>Página {page} de {NEWS_PAGES} | </span><a href=\"/noticias/index/page:{nxt}\">próxima</a>",
              "</div>", "</body></html>"]
    return "\n".join(lines) + "\n"


def article(n, base, host):
    newsroom = n % 2 == 0
    author = f"Redação {host}" if newsroom else "Maria Souza"
    lines = [
        "<html><head><meta charset=\"utf-8\"></head><body>",
        "<div class=\"materia\">",
        "<p class=\"data\">",
        "08/12/2026 &agrave;s 10h30</p>",
        f"<h1 class=\"titulo\">{article_title(n)}</h1>",
        "<div class=\"compartilhar\">",
        "<a href=\"#\">Compartilhar</a>",
        "</div>",
        "<strong>Emissora de Belo Horizonte é premiada pelo trabalho com acessibilidade.</strong>",
        "<div class=\"pub\">",
        "<div id=\"pubinternanoticia\"></div>",
        "</div>",
        "<div class=\"corpo\">",
        "<p>A r&aacute;dio comunit&aacute;ria foi premiada nesta segunda-feira.</p>",
        "<div class=\"anuncio\"></div>",
        "<div class=\"clear\"></div>",
        f"<p style=\"text-align: center;\"><img src=\"{base}/img/premio.jpg\" alt=\"\" /></p>",
        "<small>Foto: Divulga&ccedil;&atilde;o</small>",
        f"<p>Veja a lista no <a href=\"{base}/premio\">site do pr&ecirc;mio</a> e no "
        f"<a href=\"{base}/blog\">{base}/blog</a>.</p>",
        "<p>&ldquo;Foi uma honra&rdquo;, disse a diretora &ndash; emocionada.&nbsp;Fim.</p>",
        "</div>",
        "<div id=\"tags\">",
        "<a href=\"/tags/radio\">rádio</a>",
        "</div>",
        "<div class=\"autor\">",
        "  <span class=\"tit\">  ",
        f"{author}</span>",
        "<br />",
    ]
    if not newsroom:
        lines.append("<span class=\"cargo\"></span>")
    lines += ["</div>", "<p>Jornalista e radialista.</p>" if not newsroom else
              "<p>Equipe de jornalismo do portal.</p>", "</body></html>"]
    return "\n".join(lines) + "\n"


class Site(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    mp3 = b""
    log_path = ""
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def send_text(self, body, status=200, content_type="text/html; charset=utf-8", encoding="utf-8"):
        data = body.encode(encoding)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(data)

    def stream(self):
        send_endless_mp3(self, Site.mp3)

    def do_GET(self):
        with Site.log_lock:
            with open(Site.log_path, "a", encoding="utf-8") as log:
                log.write(f"{self.path}\t{self.headers.get('User-Agent', '')}\n")
        # The site's own address (the Host header of a download carries no port).
        host = f"127.0.0.1:{self.server.server_address[1]}"
        base = f"http://{host}"
        url = urllib.parse.urlsplit(self.path)
        path = url.path
        query = urllib.parse.parse_qs(url.query)
        page = 0
        if "pg" in query:
            try:
                page = int(query["pg"][0])
            except ValueError:
                page = 0
        if path == "/busca":
            text = query.get("q", [""])[0].lower()
            return self.send_text(result_page(SEARCHES.get(text, []), page))
        if path in SEGMENTS:
            return self.send_text(result_page(SEGMENTS[path], page))
        m = re.fullmatch(r"/player/([^/]+)", path)
        if m:
            return self.send_text(player_page(m.group(1), base))
        if path.startswith("/stream/"):
            return self.stream()
        if path.rstrip("/") == "/programas/sintonix/listas":
            return self.send_text(list_index())
        if path.rstrip("/") == "/vazio/programas/sintonix/listas":
            return self.send_text(list_index(()))
        m = re.fullmatch(r"/programas/sintonix/listas/(.+)", path)
        if m:
            wanted = urllib.parse.unquote(m.group(1)).upper()
            for name, lines in LISTS.items():
                if name.upper() == wanted:
                    body = "\r\n".join(l.format(base=base) for l in lines) + "\r\n"
                    return self.send_text(body, content_type="text/plain", encoding="cp1252")
            return self.send_text("<h1>404</h1>", status=404)
        m = re.fullmatch(r"/noticias/index/page:(\d+)", path)
        if m and 1 <= int(m.group(1)) <= NEWS_PAGES:
            return self.send_text(news_index(int(m.group(1))))
        m = re.fullmatch(r"/noticias/ver/(\d+)/[^/]*", path)
        if m:
            return self.send_text(article(int(m.group(1)), base, host))
        return self.send_text("<h1>404</h1>", status=404)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--mp3", required=True)
    parser.add_argument("--log", required=True)
    args = parser.parse_args()
    with open(args.mp3, "rb") as f:
        Site.mp3 = f.read()
    Site.log_path = args.log
    open(args.log, "w").close()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Site)
    server.daemon_threads = True
    tmp = args.port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(tmp, args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
