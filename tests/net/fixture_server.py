#!/usr/bin/env python3
"""A small web server on the loopback for the network tests and the download benchmark.

    fixture_server.py ROOT READY_FILE [CERT KEY]

Listens on 127.0.0.1 on a free port (and, with a certificate and key, on a second one with
TLS), and on a third that accepts connections and never sends a byte; writes "PLAIN TLS MUTE"
(TLS 0 when there is none) to READY_FILE once it listens, and serves until it is killed. Every
request head is appended to ROOT/requests.log, a line "--" after each.

Paths:
  /file/NAME                 ROOT/NAME with Content-Length; a Range gets 206 and the rest
  /full/NAME                 the same, but a Range is ignored (200 and the whole file)
  /nolength/NAME             ROOT/NAME as text/html without Content-Length, then close
  /chunked/NAME              ROOT/NAME as text/html in chunks of 700 bytes
  /redirect?to=URL           302 to URL
  /loop                      302 to /loop, for ever
  /status/CODE               that status with a short body
  /short?length=L&send=S     Content-Length L, then S bytes of "x" and a close
  /stream?blocks=N&gap=S     audio/mpeg without length: N blocks of 4096 bytes (0: until the
                             client goes), 5 ms apart (S seconds between two blocks when given)
  /quietstream               the head of an audio stream, then nothing
  /silent                    a status line, then nothing
  /typed/NAME?type=T         ROOT/NAME with Content-Type T and no Content-Length
  /headers?every=S           a status line, then header lines for ever, S seconds apart (0: as
                             fast as it can)
  /longheader?size=N         a status line and one header line of N bytes
  /drip?length=L&every=S     Content-Length L, then one byte of "d" every S seconds (with
                             &nolength=1, text/plain without a length instead)
  /reset?send=N&type=T       Content-Type T without length, N bytes of lines, then a reset
  /partial?start=K&length=L  206 with L bytes of "p" and Content-Length L; Content-Range from K
                             when K is given, none otherwise
Whatever goes on for ever stops after a while (20 s, or 16 MB), so that a client that never
gives up cannot hold a test for ever.
"""
import os
import socket
import socketserver
import ssl
import struct
import sys
import threading
import time
import urllib.parse

ROOT = sys.argv[1]
READY = sys.argv[2]
LOG_LOCK = threading.Lock()


class Handler(socketserver.StreamRequestHandler):
    def send_head(self, status, headers):
        lines = ["HTTP/1.1 %s" % status] + ["%s: %s" % h for h in headers] + ["", ""]
        self.wfile.write("\r\n".join(lines).encode("latin-1"))

    def simple(self, status, body=b"", headers=()):
        self.send_head(status, list(headers) + [("Content-Length", str(len(body))), ("Connection", "close")])
        self.wfile.write(body)

    def handle(self):
        head = []
        while True:
            line = self.rfile.readline(65537)
            if not line:
                return
            line = line.rstrip(b"\r\n").decode("latin-1")
            if not line:
                break
            head.append(line)
        with LOG_LOCK:
            with open(os.path.join(ROOT, "requests.log"), "a", encoding="latin-1") as log:
                log.write("\n".join(head) + "\n--\n")
        if not head:
            return
        parts = head[0].split(" ")
        target = parts[1] if len(parts) > 1 else "/"
        url = urllib.parse.urlsplit(target)
        query = dict(urllib.parse.parse_qsl(url.query))
        headers = {}
        for h in head[1:]:
            name, _, value = h.partition(":")
            headers[name.strip().lower()] = value.strip()
        path = url.path
        try:
            self.route(path, query, headers)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass

    def route(self, path, query, headers):
        if path.startswith("/file/") or path.startswith("/full/"):
            return self.serve_file(path[6:], headers.get("range") if path.startswith("/file/") else None)
        if path.startswith("/nolength/"):
            data = self.read(path[10:])
            self.send_head("200 OK", [("Content-Type", "text/html"), ("Connection", "close")])
            self.wfile.write(data)
            return
        if path.startswith("/typed/"):
            data = self.read(path[7:])
            self.send_head("200 OK", [("Content-Type", query.get("type", "text/html")), ("Connection", "close")])
            self.wfile.write(data)
            return
        if path.startswith("/chunked/"):
            data = self.read(path[9:])
            self.send_head("200 OK", [("Content-Type", "text/html"), ("Transfer-Encoding", "chunked"),
                                      ("Connection", "close")])
            for i in range(0, len(data), 700):
                piece = data[i:i + 700]
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            self.wfile.write(b"0\r\n\r\n")
            return
        if path == "/redirect":
            return self.simple("302 Found", b"moved", [("Location", query["to"])])
        if path == "/loop":
            return self.simple("302 Found", b"again", [("Location", "/loop")])
        if path.startswith("/status/"):
            return self.simple(path[8:] + " Status", b"status body")
        if path == "/short":
            self.send_head("200 OK", [("Content-Length", query["length"]), ("Connection", "close")])
            self.wfile.write(b"x" * int(query["send"]))
            self.wfile.flush()
            return
        if path == "/stream":
            blocks = int(query.get("blocks", "0"))
            self.send_head("200 OK", [("Content-Type", "audio/mpeg"), ("Connection", "close")])
            sent = 0
            while blocks == 0 or sent < blocks:
                if sent and "gap" in query:
                    time.sleep(float(query["gap"]))
                self.wfile.write(bytes([sent % 256]) * 4096)
                self.wfile.flush()
                sent += 1
                time.sleep(0.005)
            return
        if path == "/quietstream":
            self.send_head("200 OK", [("Content-Type", "audio/mpeg"), ("Connection", "close")])
            self.wfile.flush()
            time.sleep(3600)
            return
        if path == "/headers":
            every = float(query.get("every", "0"))
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            end = time.monotonic() + 20
            sent = 0
            while time.monotonic() < end and sent < 16 << 20:
                line = b"X-Mais: %d\r\n" % sent
                self.wfile.write(line * (1 if every else 100))
                sent += len(line) * (1 if every else 100)
                if every:
                    self.wfile.flush()
                    time.sleep(every)
            return
        if path == "/longheader":
            self.wfile.write(b"HTTP/1.1 200 OK\r\nX-Longo: " + b"L" * int(query["size"]) +
                             b"\r\nContent-Length: 2\r\n\r\nok")
            return
        if path == "/drip":
            if "nolength" in query:
                self.send_head("200 OK", [("Content-Type", "text/plain"), ("Connection", "close")])
            else:
                self.send_head("200 OK", [("Content-Length", query["length"]), ("Connection", "close")])
            self.wfile.flush()
            end = time.monotonic() + 20
            for _ in range(int(query["length"])):
                if time.monotonic() > end:
                    break
                self.wfile.write(b"d")
                self.wfile.flush()
                time.sleep(float(query["every"]))
            return
        if path == "/reset":
            self.send_head("200 OK", [("Content-Type", query.get("type", "text/plain")), ("Connection", "close")])
            self.wfile.write((b"linha\n" * (int(query["send"]) // 6 + 1))[:int(query["send"])])
            self.wfile.flush()
            time.sleep(0.05)
            # No orderly close: the connection ends with a reset.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()
            return
        if path == "/partial":
            length = int(query["length"])
            extra = []
            if "start" in query:
                start = int(query["start"])
                extra = [("Content-Range", "bytes %d-%d/%d" % (start, start + length - 1, start + length))]
            self.send_head("206 Partial Content", extra + [("Content-Length", str(length)), ("Connection", "close")])
            self.wfile.write(b"p" * length)
            return
        if path == "/silent":
            self.wfile.write(b"HTTP/1.1 200 OK\r\n")
            self.wfile.flush()
            time.sleep(3600)
            return
        return self.simple("404 Not Found", b"none")

    def read(self, name):
        with open(os.path.join(ROOT, name), "rb") as f:
            return f.read()

    def serve_file(self, name, byte_range):
        full = os.path.join(ROOT, name)
        if not os.path.isfile(full):
            return self.simple("404 Not Found", b"none")
        size = os.path.getsize(full)
        start = 0
        status = "200 OK"
        extra = []
        if byte_range and byte_range.startswith("bytes=") and byte_range.endswith("-"):
            start = int(byte_range[6:-1])
            if start >= size:
                return self.simple("416 Range Not Satisfiable", b"", [("Content-Range", "bytes */%d" % size)])
            status = "206 Partial Content"
            extra = [("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))]
        self.send_head(status, extra + [("Content-Type", "application/octet-stream"),
                                        ("Content-Length", str(size - start)), ("Connection", "close")])
        self.wfile.flush()
        with open(full, "rb") as f:
            f.seek(start)
            if isinstance(self.connection, ssl.SSLSocket):
                while True:
                    block = f.read(1 << 20)
                    if not block:
                        break
                    self.wfile.write(block)
            else:
                # The system copies the file to the socket: the server costs next to nothing.
                self.connection.sendfile(f, start)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    plain = Server(("127.0.0.1", 0), Handler)
    tls_port = 0
    servers = [plain]
    if len(sys.argv) >= 5:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
        secure = Server(("127.0.0.1", 0), Handler)
        secure.socket = context.wrap_socket(secure.socket, server_side=True)
        tls_port = secure.server_address[1]
        servers.append(secure)
    for s in servers:
        threading.Thread(target=s.serve_forever, daemon=True).start()
    # Connections here are taken and held, and nothing is ever sent on them.
    mute = socket.socket()
    mute.bind(("127.0.0.1", 0))
    mute.listen(16)
    held = []

    def hold():
        while True:
            held.append(mute.accept()[0])

    threading.Thread(target=hold, daemon=True).start()
    with open(READY + ".tmp", "w") as f:
        f.write("%d %d %d\n" % (plain.server_address[1], tls_port, mute.getsockname()[1]))
    os.rename(READY + ".tmp", READY)
    while True:
        time.sleep(3600)


main()
