#!/usr/bin/env python3
"""Static files on 127.0.0.1 for the update test and benchmark, HTTP/1.1 with keep-alive,
counting the station-file transfers it holds open at once.
Usage: update_server.py ROOT PORTFILE [LIFETIME_S [ADDRESS [PORT [DELAY_MS [MODE]]]]]
(default 127.0.0.1 on a free port).
With DELAY_MS each station file is answered that much later, so that the transfers a
client holds open overlap at the server and are all counted.
MODE "plain" serves the station files as the standard library's http.server does
(HTTP/1.0, from disk, no delay), counted the same way.

GET /_wait?served=N&timeout=S blocks until N station files were answered (at most S
seconds, default 60), then answers as /_stats does: a client that watches the count this
way does not take the server from the transfers it counts, as polling would.
GET /_stats answers JSON: the station files answered, the most requests read and not yet
answered at one time, the most connections that fetched station files open at once, the
time (time.time()) the first station request arrived and the last one was answered, and
the time the last connection that fetched a station file ended. GET /_reset clears them.
The server stops by itself after LIFETIME_S seconds (default 600)."""
import http.server
import json
import os
import sys
import threading
import time

ROOT, PORTFILE = sys.argv[1], sys.argv[2]
LIFETIME = float(sys.argv[3]) if len(sys.argv) > 3 else 600.0
ADDRESS = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
PORT = int(sys.argv[5]) if len(sys.argv) > 5 else 0
DELAY = float(sys.argv[6]) / 1000 if len(sys.argv) > 6 else 0.0
MODE = sys.argv[7] if len(sys.argv) > 7 else "own"
lock = threading.Lock()
stats = {"open": 0}
cache = {}
target = {"served": None}
reached = threading.Event()


def reset():
    with lock:
        target["served"] = None
        reached.clear()
        # "open" counts on: connections that fetched before a reset are still open.
        stats.update(served=0, in_flight=0, max_in_flight=0, first=0.0, last=0.0,
                     last_close=0.0, connections=0, max_open=stats["open"])


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def finish(self):
        try:
            super().finish()
        finally:
            if getattr(self, "fetched", False):
                with lock:
                    stats["open"] -= 1
                    stats["last_close"] = time.time()

    def answer(self, status, body, kind="application/octet-stream"):
        # Head and body in one write with Nagle off: split writes would wait for the
        # client's delayed acknowledgement on every answer.
        head = (f"HTTP/1.1 {status} X\r\nContent-Type: {kind}\r\n"
                f"Content-Length: {len(body)}\r\n\r\n").encode()
        self.wfile.write(head + body)

    def do_GET(self):
        path, _, query = self.path.partition("?")
        if path == "/_wait":
            args = dict(part.partition("=")[::2] for part in query.split("&") if part)
            with lock:
                target["served"] = int(args.get("served", "0"))
                if stats["served"] >= target["served"]:
                    reached.set()
                else:
                    reached.clear()
            reached.wait(float(args.get("timeout", "60")))
            path = "/_stats"
        if path == "/_stats":
            with lock:
                body = json.dumps(stats).encode()
            return self.answer(200, body, "application/json")
        if path == "/_reset":
            reset()
            return self.answer(200, b"")
        station = "/stations/" in path
        if station:
            self.count_in()
        body = cache.get(path)
        if body is None:
            local = os.path.normpath(os.path.join(ROOT, path.lstrip("/")))
            if local.startswith(ROOT + "/") and os.path.isfile(local):
                with open(local, "rb") as f:
                    body = f.read()
                if station:
                    cache[path] = body  # the list archive may be replaced between runs
        if station and DELAY:
            time.sleep(DELAY)
        if station:
            # Counted out before the answer leaves: a client that starts its next transfer
            # once the answer arrived is never counted twice.
            self.count_out()
            self.count_served()
        if body is None:
            return self.answer(404, b"not found")
        self.answer(200, body)

    def count_in(self):
        with lock:
            if not getattr(self, "fetched", False):
                # Station connections only: the list archive's and the queries' are not
                # the client's transfers.
                self.fetched = True
                stats["connections"] += 1
                stats["open"] += 1
                stats["max_open"] = max(stats["max_open"], stats["open"])
            stats["in_flight"] += 1
            stats["max_in_flight"] = max(stats["max_in_flight"], stats["in_flight"])
            if not stats["first"]:
                stats["first"] = time.time()

    def count_out(self):
        with lock:
            stats["in_flight"] -= 1

    def count_served(self):
        with lock:
            stats["served"] += 1
            stats["last"] = time.time()
            if target["served"] is not None and stats["served"] >= target["served"]:
                reached.set()


class Plain(Handler, http.server.SimpleHTTPRequestHandler):
    """The standard library's file server as it comes: HTTP/1.0, so one connection per
    file, Nagle on, head and body written apart, files read from disk on every request."""
    protocol_version = "HTTP/1.0"
    disable_nagle_algorithm = False

    def __init__(self, *args, **kwargs):
        http.server.SimpleHTTPRequestHandler.__init__(self, *args, directory=ROOT, **kwargs)

    def do_GET(self):
        if "/stations/" not in self.path:
            return Handler.do_GET(self)
        self.count_in()
        http.server.SimpleHTTPRequestHandler.do_GET(self)
        self.count_served()

    def end_headers(self):
        # The body follows at once: counted out before it leaves, as above.
        if getattr(self, "fetched", False) and "/stations/" in self.path:
            self.count_out()
        super().end_headers()


# Station files are served from memory from the first request on, whoever comes first.
for folder, _, names in os.walk(ROOT):
    if os.path.basename(folder) == "stations":
        for name in names:
            with open(os.path.join(folder, name), "rb") as f:
                cache["/" + os.path.relpath(os.path.join(folder, name), ROOT)] = f.read()
reset()
class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # a client that goes away mid-answer (a press on back, a kill) is no fault


server = Server((ADDRESS, PORT), Plain if MODE == "plain" else Handler)
server.daemon_threads = True
with open(PORTFILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(PORTFILE + ".tmp", PORTFILE)
threading.Timer(LIFETIME, server.shutdown).start()
server.serve_forever()
