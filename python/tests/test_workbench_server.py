"""The workbench's server: loopback only, the token on every request, the page's own files
alone, bounded uploads and connections, nothing written to disk; and the page's results
against the PNG, the archive (loaded by C++), the Python snippet and the command line."""

import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

from vxfreq.workbench import chain, images
from vxfreq.workbench.server import Server, Workbench

import workbench_helpers as wh


@pytest.fixture
def served():
    bench = Workbench(limit=8 * 2**20, max_pictures=2)
    server = Server(bench)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    yield server, wh.Client(server.server_address[1], bench.token)
    server.shutdown()
    server.server_close()


def test_loopback_only_and_token_on_every_request(served):
    server, client = served
    assert server.server_address[0] == "127.0.0.1"
    # Another loopback address is not served: the socket is bound to 127.0.0.1 alone.
    with pytest.raises(OSError):
        socket.create_connection(("127.0.0.2", server.server_address[1]), timeout=5)
    paths = ["/", "/workbench.js", "/workbench.css", "/api/state", "/api/picture?picture=x",
             "/api/download/chain?picture=x&client=c"]
    for path in paths:
        for token in (None, "", client.token[:-1] + "x"):
            status, _, body = client.request("GET", path, token=token)
            assert status == 403, (path, token, status)
            assert b"token" in body
    status, _, _ = client.request("POST", "/api/open", b"P5 1 1 255\n\0", token=None)
    assert status == 403
    status, _, page = client.request("GET", "/?token=" + client.token, token=None)
    assert status == 200 and b"workbench.js?token=" + client.token.encode() in page
    assert client.request("GET", "/api/state")[0] == 200
    # A page elsewhere reaching the port by a DNS name gets nothing.
    assert client.request("GET", "/api/state", host="evil.example:%d" % client.port)[0] == 403


def test_only_the_pages_files(served):
    _, client = served
    for path in ("/server.py", "/static/index.html", "/../server.py", "/%2e%2e/server.py",
                 "/workbench.js/../server.py", "/etc/passwd", "/api/nothing", "//etc/passwd"):
        status, _, _ = client.request("GET", path)
        assert status == 404, path
    status, headers, _ = client.request("GET", "/workbench.js")
    assert status == 200 and headers["Content-Type"].startswith("text/javascript")


def _answer(conn):
    """All the server sends before it closes the connection."""
    answer = b""
    while True:
        piece = conn.recv(65536)
        if not piece:
            break
        answer += piece
    conn.close()
    return answer


def test_uploads_bounded_in_size_and_count(served):
    server, client = served
    bench = server.bench
    # Larger than the upload limit: refused from its length, before it is read.
    conn = socket.create_connection(("127.0.0.1", client.port))
    conn.sendall(b"POST /api/open HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Token: %s\r\n"
                 b"Content-Length: %d\r\n\r\n" % (client.port, client.token.encode(),
                                                 bench.max_upload + 1))
    answer = _answer(conn)
    assert answer.startswith(b"HTTP/1.1 413") and b"above the upload limit" in answer
    conn = socket.create_connection(("127.0.0.1", client.port))
    conn.sendall(b"POST /api/open HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Token: %s\r\n\r\n"
                 % (client.port, client.token.encode()))
    assert _answer(conn).startswith(b"HTTP/1.1 411")
    # Within the upload limit but above the decoded limit (8 MB): a clear message.
    big = images.png_bytes(np.zeros((2048, 2048, 3), np.uint8))
    status, answer = client.open(big, "big.png")
    assert status == 400
    assert answer["error"] == ("cannot open 'big.png': a picture of 2048 x 2048 pixels takes "
                               "12 MB decoded, above the limit of 8 MB")
    # At most two decoded at once.
    assert bench.uploads.acquire(blocking=False) and bench.uploads.acquire(blocking=False)
    try:
        status, answer = client.open(images.png_bytes(np.zeros((4, 4), np.uint8)))
        assert status == 503 and "being opened" in answer["error"]
    finally:
        bench.uploads.release()
        bench.uploads.release()
    # At most max_pictures (2) kept: the oldest is closed.
    ids = [client.open(images.png_bytes(np.full((8, 8), i, np.uint8)))[1]["id"] for i in range(3)]
    assert client.get("/api/picture", picture=ids[0])[0] == 410
    assert client.get("/api/picture", picture=ids[2])[0] == 200


def test_connections_bounded():
    bench = Workbench(max_connections=2)
    server = Server(bench)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    try:
        idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(2)]
        for s in idle:
            s.sendall(b"GET /api/state HTTP/1.1\r\n")  # a request that never ends
        # The two slots are taken once both requests are being read.
        client = wh.Client(port, bench.token)
        deadline = time.monotonic() + 10
        status = None
        while time.monotonic() < deadline:
            status = client.request("GET", "/api/state")[0]
            if status == 503:
                break
        assert status == 503
        for s in idle:
            s.close()
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline and status != 200:
            status = client.request("GET", "/api/state")[0]
        assert status == 200
    finally:
        server.shutdown()
        server.server_close()


def test_bad_files_get_messages_and_the_server_goes_on(served):
    _, client = served
    good = images.png_bytes(wh.photograph(64, 64))
    cases = [(b"GIF89a....", "not a PNG, PGM or PPM picture"),
             (good[: len(good) // 2], "truncated PNG (it ends before all its pixels)"),
             (b"P5\n64 64\n255\n" + b"\0" * 100, "truncated PNM (it ends before all its pixels)"),
             (good[:20] + b"\xff" + good[21:], "corrupt PNG (a checksum does not match in its "
                                               "IHDR chunk)")]
    for data, message in cases:
        status, answer = client.open(data, "bad.png")
        assert status == 400
        assert answer["error"] == "cannot open 'bad.png': " + message
    status, answer = client.open(good, "good.png")
    assert status == 200 and (answer["width"], answer["height"]) == (64, 64)


def test_superseded_changes_give_way_to_newer_ones(served):
    _, client = served
    status, pic = client.open(images.png_bytes(np.tile(wh.photograph(), (2, 2))))
    assert status == 200
    entry = {"type": "gaborreject", "frequency": 0.175, "angle": 29.8, "sigma": [0.004, 0.004],
             "plateau": [0, 0], "dc": 0}
    # Eight changes at once from one page: the older ones that had not started give way.
    results = {}

    def send(seq):
        e = dict(entry, frequency=0.17 + seq * 1e-3)
        results[seq] = client.filter(pic["id"], [e], seq=seq, client="one")

    threads = [threading.Thread(target=send, args=(s,)) for s in range(1, 9)]
    for t in threads:
        t.start()
        time.sleep(0.002)  # staggered, so that the requests arrive in order
    for t in threads:
        t.join()
    statuses = [results[s][0] for s in range(1, 9)]
    assert set(statuses) <= {200, 409} and 409 in statuses and statuses[-1] == 200, statuses
    # A change from another page is answered with the whole 1024 x 1024 result (its speed
    # is measured by bench/workbench_speed.py, not here).
    status, _, body = client.filter(pic["id"], [dict(entry, frequency=0.171)], seq=20,
                                    client="two")
    assert status == 200 and len(body) == 1024 * 1024


@pytest.mark.parametrize("colour,bits,padding,mode", [
    (False, 8, "continue", "extended"), (True, 16, "reflect", "extended"),
    (True, 8, "zero", "compatible"), (False, 16, "continue", "compatible")])
def test_outputs_give_the_pages_result(served, tmp_path, colour, bits, padding, mode):
    _, client = served
    picture = wh.photograph(200, 300, colour=colour, bits=bits)
    status, pic = client.open(images.png_bytes(picture), "photo.png")
    assert status == 200 and pic["bits"] == bits and pic["channels"] == (3 if colour else 1)
    entries = [{"type": "gaborreject", "frequency": 0.175449, "angle": 29.765,
                "sigma": [0.005, 0.004], "plateau": [0.001, 0], "dc": 0},
               {"type": "bandreject", "frequency": 0.3, "sigma": 0.01, "plateau": 0.002, "dc": 1},
               {"type": "bandpass", "frequency": 0.1, "sigma": 0.2, "plateau": 0.1, "dc": 0}]
    status, headers, body = client.filter(pic["id"], entries, padding, mode, client="out", seq=3)
    assert status == 200, body
    page = np.frombuffer(body, "<u2" if bits == 16 else np.uint8).reshape(picture.shape)
    # The result is the library's filter_picture of each channel.
    assert np.array_equal(page, chain.filtered(picture, entries, padding, mode))
    status, headers, png = client.get("/api/download/result", picture=pic["id"], client="out")
    assert status == 200 and "photo-filtered.png" in headers["Content-Disposition"]
    assert np.array_equal(images.read_picture(png), page)
    status, _, archive = client.get("/api/download/chain", picture=pic["id"], client="out")
    assert status == 200
    # C++: the archive loaded with vxArchive gives the page's result bit for bit.
    check = wh.run_chain_check(tmp_path, archive, picture, page)
    assert check.returncode == 0, check.stdout + check.stderr
    assert check.stdout.startswith("identical: 300 x 200, %d channel(s), 4 filter(s), %s padding,"
                                   " %s mode" % (3 if colour else 1, padding, mode))
    status, _, text = client.get("/api/export", picture=pic["id"], client="out")
    exported = json.loads(text)
    (tmp_path / "photo.png").write_bytes(images.png_bytes(picture))
    # The Python snippet, run as it is shown.
    subprocess.run([sys.executable, "-c", exported["python"]], cwd=tmp_path, check=True)
    assert np.array_equal(images.read_picture((tmp_path / "photo-filtered.png").read_bytes()), page)
    # The command line, and the command line with the archive.
    (tmp_path / "photo-filtered.png").unlink()
    words = exported["command"].split()
    assert words[:2] == ["vxfreq-workbench", "apply"]
    apply = [sys.executable, "-m", "vxfreq.workbench", "apply"]
    subprocess.run(apply + words[2:], cwd=tmp_path, check=True)
    assert np.array_equal(images.read_picture((tmp_path / "photo-filtered.png").read_bytes()), page)
    subprocess.run(apply + ["--chain", "chain.vxa", "photo.png", "again.ppm"], cwd=tmp_path,
                   check=True)
    assert np.array_equal(images.read_picture((tmp_path / "again.ppm").read_bytes()), page)


def test_refused_chains_and_the_apply_command(served, tmp_path):
    _, client = served
    status, pic = client.open(images.png_bytes(wh.photograph(64, 64)))
    for bad, message in (([{"type": "notch"}], "filter 1: type must be one of bandpass, "
                                               "bandreject, gabor, gaborreject"),
                         ([{"type": "bandpass", "frequency": 0.7, "sigma": 0.1, "plateau": 0}],
                          "filter 1: frequency 0.7 is outside 0 to 0.5")):
        status, _, body = client.filter(pic["id"], bad)
        assert status == 400 and json.loads(body)["error"] == message
    status, _, body = client.filter(pic["id"], [], padding="wrap")
    assert status == 400 and json.loads(body)["error"].startswith("padding must be one of")
    (tmp_path / "bad.png").write_bytes(b"not a picture")
    done = subprocess.run([sys.executable, "-m", "vxfreq.workbench", "apply", "--filter",
                           "bandreject:frequency=0.1,sigma=0.01", "bad.png", "out.png"],
                          cwd=tmp_path, capture_output=True, text=True)
    assert done.returncode == 1
    assert done.stderr == "vxfreq-workbench apply: not a PNG, PGM or PPM picture\n"
    assert not (tmp_path / "out.png").exists()


def test_nothing_written_to_disk(tmp_path):
    """The server as the user starts it, with a picture, used from open to downloads: the
    working folder, home, cache and temporary folders stay as they were."""
    folders = {name: tmp_path / name for name in ("work", "home", "cache", "tmp")}
    for f in folders.values():
        f.mkdir()
    (folders["work"] / "photo.png").write_bytes(images.png_bytes(wh.photograph(128, 128)))
    env = dict(os.environ, HOME=str(folders["home"]), XDG_CACHE_HOME=str(folders["cache"]),
               TMPDIR=str(folders["tmp"]))
    env.pop("VXFREQ_PLANS", None)  # the library's plan cache is not written either
    before = {p: sorted(os.listdir(p)) for p in folders.values()}
    process, port, token = wh.start_process(["photo.png"], cwd=folders["work"], env=env)
    try:
        client = wh.Client(port, token)
        state = json.loads(client.get("/api/state")[2])
        pic = state["picture"]["id"]
        assert client.get("/api/spectrum", picture=pic)[0] == 200
        assert client.filter(pic, [{"type": "bandreject", "frequency": 0.17, "sigma": 0.01,
                                    "plateau": 0, "dc": 0}])[0] == 200
        assert client.post_json("/api/patterns", {"picture": pic})[0] == 200
        assert client.get("/api/download/result", picture=pic, client="c")[0] == 200
        assert client.get("/api/download/chain", picture=pic, client="c")[0] == 200
        assert client.open(images.png_bytes(wh.photograph(64, 64)))[0] == 200
    finally:
        process.send_signal(signal.SIGINT)  # Ctrl-C: the exit runs Python's exit handlers
        assert process.wait(timeout=30) == 0
    after = {p: sorted(os.listdir(p)) for p in folders.values()}
    assert after == before
