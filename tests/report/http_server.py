#!/usr/bin/env python3
"""The update check's web site for the tests: one HTTP and one HTTPS listener on 127.0.0.1,
each on a port the system picks. The first path segment names the answer:

  /v/<text>/...        200, <text> (percent-decoded) as the body
  /gz/<text>/...       200, <text> gzip-coded, "Content-Encoding: gzip"
  /GZ/<text>/...       the same with the header written in capitals
  /deflate/<text>/...  200, <text> gzip-coded but labelled "deflate"
  /status/<n>/...      status n with a short body
  /redirect/...        302 to /v/9.9.9.9
  /big/...             a 10 MB body
  /bomb/...            a small gzip body that inflates to 20 MB
  /gzbad/<kind>/...    a broken gzip body: cut (inside the trailer), corrupt, flags, extra,
                       name (no end)
  /stall/...           headers and a few bytes of the body, then nothing
  /close/...           headers announcing 100 bytes, 10 bytes, then the connection closes
  /silent/...          reads the request and never answers
  /echo/...            the request line and the User-Agent as the body

Usage: http_server.py DIR CERT KEY; writes DIR/port and DIR/tls-port once listening, and
appends each request's path and User-Agent to DIR/requests.txt.
"""
import gzip
import http.server
import os
import ssl
import sys
import threading
import time
import urllib.parse


def gz(data, mtime=0):
    return gzip.compress(data, mtime=mtime)


def broken_gzip(kind):
    good = gz(b"5.1.3.0")
    if kind == "cut":
        return good[:-4]
    if kind == "corrupt":
        return good[:10] + b"\xff" * 6 + good[16:]
    if kind == "flags":
        return good[:3] + b"\xe0" + good[4:]
    if kind == "extra":
        return good[:3] + b"\x04" + good[4:10] + b"\xff\x7f" + b"ab"
    if kind == "name":
        return good[:3] + b"\x08" + good[4:10] + b"no-end-to-this-name"
    return b""


REQUESTS = None
REQUESTS_LOCK = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def answer(self, status, body, headers=()):
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        with REQUESTS_LOCK, open(REQUESTS, "a") as f:
            f.write("%s\t%s\n" % (self.path, self.headers.get("User-Agent", "")))
        parts = self.path.split("/")
        case = parts[1] if len(parts) > 1 else ""
        arg = urllib.parse.unquote(parts[2]) if len(parts) > 2 else ""
        data = arg.encode("latin-1", "replace")
        if case == "v":
            self.answer(200, data)
        elif case == "gz":
            self.answer(200, gz(data), [("Content-Encoding", "gzip")])
        elif case == "GZ":
            self.answer(200, gz(data), [("CONTENT-ENCODING", "GZIP")])
        elif case == "deflate":
            self.answer(200, gz(data), [("Content-Encoding", "deflate")])
        elif case == "status":
            self.answer(int(arg), b"not here")
        elif case == "redirect":
            self.answer(302, b"", [("Location", "/v/9.9.9.9/")])
        elif case == "big":
            self.answer(200, b"9" * (10 << 20))
        elif case == "bomb":
            self.answer(200, gz(b"\0" * (20 << 20)), [("Content-Encoding", "gzip")])
        elif case == "gzbad":
            self.answer(200, broken_gzip(arg), [("Content-Encoding", "gzip")])
        elif case == "stall":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.write(b"5.1.")
            self.wfile.flush()
            time.sleep(30)
        elif case == "close":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.write(b"5.1.3.0...")
            self.wfile.flush()
            self.close_connection = True
        elif case == "silent":
            time.sleep(30)
            self.close_connection = True
        elif case == "echo":
            self.answer(200, (self.requestline + "\n" + self.headers.get("User-Agent", "")).encode())
        else:
            self.answer(404, b"unknown case")


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


def main():
    global REQUESTS
    folder, cert, key = sys.argv[1:4]
    REQUESTS = os.path.join(folder, "requests.txt")
    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    for name, server in (("port", plain), ("tls-port", secure)):
        tmp = os.path.join(folder, name + ".tmp")
        with open(tmp, "w") as f:
            f.write(str(server.server_address[1]))
        os.replace(tmp, os.path.join(folder, name))
    threading.Thread(target=secure.serve_forever, daemon=True).start()
    plain.serve_forever()


if __name__ == "__main__":
    main()
