"""The workbench's web server: the page's own files and the calls behind it.

The server is the standard library's http.server (ThreadingHTTPServer): the page is a
handful of static files and a few JSON and binary calls on one machine, which needs no
framework, and a package whose only dependency is numpy should not gain one for a
tool; Debian's aiohttp or tornado would bring an event loop that the filtering, which
runs in the library with the GIL released, has no use for. Its limits are set here:

- it listens on 127.0.0.1 only, and answers only requests whose Host is that address
  or localhost at its port (a page elsewhere cannot reach it by a DNS name);
- every request carries the token (the URL's ?token=, or the header X-Token), compared
  in constant time; without it: 403;
- it serves the page's own files by a fixed list of names, nothing from the disk by a
  path of the request;
- an upload must say its length, at most `max_upload` bytes, is read in bounded pieces
  and decoded with the picture limits of images.py; at most two uploads are decoded at
  once (503 beyond), and at most `max_pictures` pictures are kept (the oldest is closed);
- at most `max_connections` requests are served at once (503 beyond);
- nothing is written to disk: pictures, results and archives live in memory, and reach
  the disk only through the browser's downloads.

The filtering runs off the request threads, on `workers` threads. Each page (its client
id) has one pending job at most: a newer change replaces the older one that has not
started, whose request is answered 409 (superseded), so a page that sends every slider
step gets the newest result as soon as the running one is done.
"""

import collections
import hmac
import json
import os
import secrets
import threading
import time
import urllib.parse
import http
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

import numpy as np

from . import analysis, chain, images

STATIC_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "static")
# The page's files: request path -> (file name, content type).
STATIC_FILES = {
    "/": ("index.html", "text/html; charset=utf-8"),
    "/index.html": ("index.html", "text/html; charset=utf-8"),
    "/workbench.js": ("workbench.js", "text/javascript; charset=utf-8"),
    "/workbench.css": ("workbench.css", "text/css; charset=utf-8"),
}
_PIECE = 1 << 20


class Refused(Exception):
    """A request answered with an HTTP error status and a message for the page."""

    def __init__(self, status, message):
        super().__init__(message)
        self.status = status


class Picture:
    """An open picture: its pixels, its spectrum and the last result of each page."""

    def __init__(self, ident, name, pixels):
        self.id = ident
        self.name = name
        self.pixels = pixels
        self.spectrum, self.magnitude = analysis.spectrum(pixels)
        self.results = collections.OrderedDict()  # client -> (seq, job, result)
        self.lock = threading.Lock()

    def describe(self):
        p = self.pixels
        return {"id": self.id, "name": self.name, "width": p.shape[1], "height": p.shape[0],
                "channels": 1 if p.ndim == 2 else p.shape[2],
                "bits": 16 if p.dtype == np.uint16 else 8,
                "spectrum_width": self.spectrum.shape[1],
                "spectrum_height": self.spectrum.shape[0]}


class Job:
    def __init__(self, picture, client, seq, entries, padding, mode):
        self.picture, self.client, self.seq = picture, client, seq
        self.entries, self.padding, self.mode = entries, padding, mode
        self.done = threading.Event()
        self.result = None
        self.error = None
        self.superseded = False
        self.elapsed = 0.0


class Scheduler:
    """The filtering threads and each page's one pending job."""

    def __init__(self, workers):
        self._pending = collections.OrderedDict()  # (picture id, client) -> Job
        self._cond = threading.Condition()
        self._stopped = False
        self._threads = [threading.Thread(target=self._run, daemon=True,
                                          name="workbench-filter-%d" % i)
                         for i in range(workers)]
        for t in self._threads:
            t.start()

    def submit(self, job):
        key = (job.picture.id, job.client)
        with self._cond:
            older = self._pending.pop(key, None)
            if older is not None:
                older.superseded = True
                older.done.set()
            self._pending[key] = job
            self._cond.notify()

    def _run(self):
        while True:
            with self._cond:
                while not self._pending and not self._stopped:
                    self._cond.wait()
                if self._stopped:
                    return
                _, job = self._pending.popitem(last=False)
            start = time.perf_counter()
            try:
                job.result = chain.filtered(job.picture.pixels, job.entries, job.padding,
                                            job.mode)
            except (chain.ChainError, ValueError, MemoryError) as e:
                job.error = str(e)
            except Exception as e:  # a library error: shown on the page
                job.error = "%s: %s" % (type(e).__name__, e)
            job.elapsed = time.perf_counter() - start
            if job.result is not None:
                p = job.picture
                with p.lock:
                    kept = p.results.get(job.client)
                    if kept is None or kept[0] <= job.seq:
                        p.results[job.client] = (job.seq, job, job.result)
                        p.results.move_to_end(job.client)
                        while len(p.results) > 64:
                            p.results.popitem(last=False)
            job.done.set()

    def stop(self):
        with self._cond:
            self._stopped = True
            for job in self._pending.values():
                job.superseded = True
                job.done.set()
            self._pending.clear()
            self._cond.notify_all()


class Workbench:
    """The server's state: the token, the open pictures and the filtering threads."""

    def __init__(self, limit=images.DEFAULT_LIMIT, max_upload=None, max_pictures=4,
                 max_connections=64, workers=2, token=None):
        self.token = token or secrets.token_urlsafe(24)
        self.limit = limit
        self.max_upload = max_upload if max_upload is not None else limit + limit // 64 + _PIECE
        self.max_pictures = max_pictures
        self.max_connections = max_connections
        self.pictures = collections.OrderedDict()
        self.lock = threading.Lock()
        self.uploads = threading.BoundedSemaphore(2)
        self.scheduler = Scheduler(workers)
        self.first = None

    def add_picture(self, name, pixels):
        with self.lock:
            ident = secrets.token_hex(8)
        picture = Picture(ident, name, pixels)
        with self.lock:
            self.pictures[ident] = picture
            while len(self.pictures) > self.max_pictures:
                self.pictures.popitem(last=False)
        return picture

    def picture(self, ident):
        with self.lock:
            p = self.pictures.get(ident)
        if p is None:
            raise Refused(http.HTTPStatus.GONE, "this picture is no longer open: open it again")
        return p


def _ascii_name(name):
    name = os.path.basename(name or "picture")
    stem = os.path.splitext(name)[0] or "picture"
    return "".join(c if c.isalnum() or c in "-_." else "_" for c in stem)[:80]


class Handler(BaseHTTPRequestHandler):
    server_version = "vxfreq-workbench"
    protocol_version = "HTTP/1.1"

    @property
    def bench(self):
        return self.server.bench

    def log_message(self, format, *args):  # quiet: the terminal shows the URL alone
        if self.server.verbose:
            super().log_message(format, *args)

    # -- answers

    def _send(self, status, body, content_type, headers=()):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.send_header("X-Content-Type-Options", "nosniff")
        self.send_header("Referrer-Policy", "no-referrer")
        self.send_header("Content-Security-Policy",
                         "default-src 'self'; img-src 'self' data: blob:; "
                         "style-src 'self'; script-src 'self'; connect-src 'self'")
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def _json(self, value, status=http.HTTPStatus.OK):
        self._send(status, json.dumps(value).encode(), "application/json")

    def _error(self, status, message):
        self.close_connection = True
        self._json({"error": message}, status)

    # -- checks

    def _checked(self):
        """The request's path and query once its host and token are right."""
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query)
        port = self.server.server_address[1]
        host = self.headers.get("Host", "")
        if host not in ("127.0.0.1:%d" % port, "localhost:%d" % port):
            raise Refused(http.HTTPStatus.FORBIDDEN, "wrong host")
        token = self.headers.get("X-Token") or (query.get("token") or [""])[0]
        if not hmac.compare_digest(token.encode(), self.bench.token.encode()):
            raise Refused(http.HTTPStatus.FORBIDDEN, "this page needs the token of the "
                                                "workbench's URL")
        return url.path, {k: v[0] for k, v in query.items()}

    def _body(self, limit):
        length = self.headers.get("Content-Length")
        if length is None or not length.isdigit():
            raise Refused(http.HTTPStatus.LENGTH_REQUIRED, "the upload must say its length")
        length = int(length)
        if length > limit:
            raise Refused(http.HTTPStatus.REQUEST_ENTITY_TOO_LARGE,
                          "the file has %.1f MB, above the upload limit of %.1f MB"
                          % (length / 2**20, limit / 2**20))
        pieces, got = [], 0
        while got < length:
            piece = self.rfile.read(min(_PIECE, length - got))
            if not piece:
                raise Refused(http.HTTPStatus.BAD_REQUEST, "the upload ended early")
            pieces.append(piece)
            got += len(piece)
        return b"".join(pieces)

    def _request_json(self):
        try:
            value = json.loads(self._body(1 << 20))
        except (ValueError, UnicodeDecodeError):
            raise Refused(http.HTTPStatus.BAD_REQUEST, "the request is not JSON") from None
        if not isinstance(value, dict):
            raise Refused(http.HTTPStatus.BAD_REQUEST, "the request is not a JSON object")
        return value

    # -- methods

    def do_GET(self):
        self._dispatch(self._get)

    def do_HEAD(self):
        self._dispatch(self._get)

    def do_POST(self):
        self._dispatch(self._post)

    def _dispatch(self, method):
        try:
            path, query = self._checked()
            method(path, query)
        except Refused as e:
            self._error(e.status, str(e))
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def _get(self, path, query):
        if path in STATIC_FILES:
            name, kind = STATIC_FILES[path]
            with open(os.path.join(STATIC_DIR, name), "rb") as f:
                body = f.read()
            if name == "index.html":
                body = body.replace(b"{{TOKEN}}", self.bench.token.encode())
            self._send(http.HTTPStatus.OK, body, kind)
        elif path == "/api/state":
            first = self.bench.first
            self._json({"picture": first.describe() if first is not None else None,
                        "limit": self.bench.limit, "max_upload": self.bench.max_upload})
        elif path == "/api/picture":
            p = self.bench.picture(query.get("picture"))
            pixels = p.pixels.astype(p.pixels.dtype.newbyteorder("<"), copy=False)
            self._send(http.HTTPStatus.OK, np.ascontiguousarray(pixels).tobytes(),
                       "application/octet-stream")
        elif path == "/api/spectrum":
            p = self.bench.picture(query.get("picture"))
            self._send(http.HTTPStatus.OK, np.ascontiguousarray(p.spectrum).tobytes(),
                       "application/octet-stream")
        elif path in ("/api/export", "/api/download/result", "/api/download/chain"):
            p = self.bench.picture(query.get("picture"))
            with p.lock:
                kept = p.results.get(query.get("client", ""))
            if kept is None:
                raise Refused(http.HTTPStatus.NOT_FOUND, "no result yet")
            seq, job, result = kept
            stem = _ascii_name(p.name)
            source = p.name if p.name else "picture.png"
            if path == "/api/export":
                self._json({"seq": seq, "chain": chain.normalize(job.entries),
                            "padding": job.padding, "mode": job.mode,
                            "python": chain.python_snippet(job.entries, job.padding, job.mode,
                                                           source, stem + "-filtered.png"),
                            "command": chain.command_line(job.entries, job.padding, job.mode,
                                                          source, stem + "-filtered.png")})
            elif path == "/api/download/result":
                self._send(http.HTTPStatus.OK, images.png_bytes(result), "image/png",
                           [("Content-Disposition",
                             'attachment; filename="%s-filtered.png"' % stem)])
            else:
                data = chain.archive(p.pixels.shape, job.entries, job.padding, job.mode)
                self._send(http.HTTPStatus.OK, data, "application/octet-stream",
                           [("Content-Disposition",
                             'attachment; filename="%s-chain.vxa"' % stem)])
        else:
            raise Refused(http.HTTPStatus.NOT_FOUND, "not found")

    def _post(self, path, query):
        if path == "/api/open":
            if not self.bench.uploads.acquire(blocking=False):
                raise Refused(http.HTTPStatus.SERVICE_UNAVAILABLE,
                              "another picture is being opened: try again")
            try:
                data = self._body(self.bench.max_upload)
                name = urllib.parse.unquote(self.headers.get("X-File-Name", "picture"))
                try:
                    pixels = images.read_picture(data, self.bench.limit)
                except images.PictureError as e:
                    raise Refused(http.HTTPStatus.BAD_REQUEST,
                                  "cannot open '%s': %s" % (os.path.basename(name), e)) from None
                except MemoryError:
                    raise Refused(http.HTTPStatus.REQUEST_ENTITY_TOO_LARGE,
                                  "cannot open '%s': not enough memory"
                                  % os.path.basename(name)) from None
                del data
                picture = self.bench.add_picture(os.path.basename(name), pixels)
            finally:
                self.bench.uploads.release()
            self._json(picture.describe())
            return
        request = self._request_json()
        picture = self.bench.picture(request.get("picture"))
        if path == "/api/filter":
            try:
                entries = chain.normalize(request.get("chain", []))
                chain.check_options(request.get("padding"), request.get("mode"))
            except chain.ChainError as e:
                raise Refused(http.HTTPStatus.BAD_REQUEST, str(e)) from None
            seq = request.get("seq", 0)
            client = str(request.get("client", ""))[:64]
            if not isinstance(seq, int):
                raise Refused(http.HTTPStatus.BAD_REQUEST, "seq must be an integer")
            job = Job(picture, client, seq, entries, request["padding"], request["mode"])
            self.bench.scheduler.submit(job)
            job.done.wait()
            if job.superseded:
                self._json({"superseded": True, "seq": seq}, http.HTTPStatus.CONFLICT)
            elif job.error is not None:
                self._json({"error": job.error, "seq": seq}, http.HTTPStatus.UNPROCESSABLE_ENTITY)
            else:
                r = job.result
                body = np.ascontiguousarray(r.astype(r.dtype.newbyteorder("<"), copy=False))
                self._send(http.HTTPStatus.OK, body.tobytes(), "application/octet-stream",
                           [("X-Seq", str(seq)), ("X-Elapsed-Ms", "%.1f" % (job.elapsed * 1e3))])
        elif path == "/api/peak":
            fx, fy = request.get("fx"), request.get("fy")
            if not all(isinstance(v, (int, float)) and abs(v) <= 0.5 for v in (fx, fy)):
                raise Refused(http.HTTPStatus.BAD_REQUEST, "fx and fy must be numbers from -0.5 to 0.5")
            found = analysis.pattern_near(picture.pixels, fx, fy)
            if found is None:
                # Nothing stands out: a notch at the point clicked, one bin wide.
                if fx < 0:
                    fx, fy = -fx, -fy
                found = (fx, fy, 0.0)
            sigma = analysis.peak_sigma(picture.magnitude, found[0], found[1])
            self._json({"found": found[2] > 0, "amplitude": found[2],
                        "filter": analysis.notch(found[0], found[1], sigma)})
        elif path == "/api/patterns":
            found = analysis.all_patterns(picture.pixels)
            self._json({"filters": [
                dict(analysis.notch(fx, fy, analysis.peak_sigma(picture.magnitude, fx, fy)),
                     amplitude=a) for fx, fy, a in found]})
        else:
            raise Refused(http.HTTPStatus.NOT_FOUND, "not found")


class Server(ThreadingHTTPServer):
    """ThreadingHTTPServer on 127.0.0.1 with a bound on the requests served at once."""

    daemon_threads = True
    allow_reuse_address = False

    def __init__(self, bench, port=0, verbose=False):
        self.bench = bench
        self.verbose = verbose
        self._slots = threading.BoundedSemaphore(bench.max_connections)
        super().__init__(("127.0.0.1", port), Handler)

    def process_request(self, request, client_address):
        if not self._slots.acquire(blocking=False):
            try:
                request.sendall(b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n"
                                b"Connection: close\r\n\r\n")
            except OSError:
                pass
            self.shutdown_request(request)
            return
        super().process_request(request, client_address)

    def process_request_thread(self, request, client_address):
        try:
            super().process_request_thread(request, client_address)
        finally:
            self._slots.release()

    def url(self):
        return "http://127.0.0.1:%d/?token=%s" % (self.server_address[1], self.bench.token)

    def server_close(self):
        self.bench.scheduler.stop()
        super().server_close()
