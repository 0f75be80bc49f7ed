"""What the filter workbench's tests share: the patterned photograph, a server run as the
user runs it, HTTP calls with and without the token, and the C++ chain check."""

import http.client
import json
import os
import shutil
import subprocess
import sys
import urllib.parse

import numpy as np

from vxfreq.workbench import images

# The pattern added to the photograph: 2 * 20 cos(2 pi (FX x + FY y)).
FX, FY, AMPLITUDE = 0.1523, 0.0871, 20.0


def photograph(height=512, width=512, colour=False, bits=8):
    """scikit-image's camera (or a smooth picture where it is missing) with the pattern."""
    try:
        import skimage.data
        base = skimage.data.camera().astype(np.float64)[:height, :width]
    except ImportError:  # pragma: no cover - the tests' packages bring scikit-image
        y, x = np.mgrid[0:height, 0:width]
        base = 128 + 60 * np.sin(x / 37.0) * np.cos(y / 53.0)
    h, w = base.shape
    y, x = np.mgrid[0:h, 0:w]
    values = base + AMPLITUDE * np.cos(2 * np.pi * (FX * x + FY * y))
    if colour:
        values = np.dstack([values, values * 0.8 + 20, values * 0.6 + 40])
    if bits == 16:
        return np.clip(np.round(values * 256), 0, 65535).astype(np.uint16)
    return np.clip(np.round(values), 0, 255).astype(np.uint8)


def pattern_rms(picture, reference_free=None):
    """The RMS of the pattern at (FX, FY) in a grey picture: its Fourier amplitude there,
    times sqrt(2) (a cosine of amplitude 2|A| has RMS sqrt(2)|A|)."""
    p = picture.astype(np.float64)
    h, w = p.shape
    y, x = np.mgrid[0:h, 0:w]
    a = np.sum((p - p.mean()) * np.exp(-2j * np.pi * (FX * x + FY * y))) / (w * h)
    return abs(a) * np.sqrt(2)


def chain_check():
    """The C++ program that loads a chain's archive and compares results, or None."""
    build = os.environ.get("VXFREQ_BUILD_DIR")
    if not build:
        return None
    path = os.path.join(build, "tests", "vxfreq_workbench_chain_check")
    return path if os.path.exists(path) else None


def run_chain_check(tmp_path, archive, picture, result):
    """Runs the C++ check on an archive (bytes), the picture and the page's result."""
    program = chain_check()
    assert program, "vxfreq_workbench_chain_check is not built (VXFREQ_BUILD_DIR/tests)"
    (tmp_path / "chain.vxa").write_bytes(archive)
    (tmp_path / "picture.pnm").write_bytes(images.pnm_bytes(picture))
    (tmp_path / "result.pnm").write_bytes(images.pnm_bytes(result))
    return subprocess.run([program, str(tmp_path / "chain.vxa"), str(tmp_path / "picture.pnm"),
                           str(tmp_path / "result.pnm")], capture_output=True, text=True)


class Client:
    """HTTP calls to a workbench at 127.0.0.1:port."""

    def __init__(self, port, token):
        self.port, self.token = port, token

    def request(self, method, path, body=None, headers=None, token=True, host=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        h = dict(headers or {})
        if token is True:
            h["X-Token"] = self.token
        elif token:
            h["X-Token"] = token
        if host is not None:
            conn.putrequest(method, path, skip_host=True)
            conn.putheader("Host", host)
            for k, v in h.items():
                conn.putheader(k, v)
            if body is not None:
                conn.putheader("Content-Length", str(len(body)))
            conn.endheaders(body)
        else:
            conn.request(method, path, body=body, headers=h)
        r = conn.getresponse()
        data = r.read()
        conn.close()
        return r.status, dict(r.getheaders()), data

    def post_json(self, path, value):
        return self.request("POST", path, json.dumps(value).encode(),
                            {"Content-Type": "application/json"})

    def open(self, data, name="picture.png"):
        status, _, body = self.request("POST", "/api/open", data,
                                       {"X-File-Name": urllib.parse.quote(name)})
        return status, json.loads(body)

    def filter(self, picture, chain, padding="continue", mode="extended", client="c", seq=1):
        return self.post_json("/api/filter", {"picture": picture, "chain": chain,
                                              "padding": padding, "mode": mode,
                                              "client": client, "seq": seq})

    def get(self, path, **query):
        return self.request("GET", path + ("?" + urllib.parse.urlencode(query) if query else ""))


def start_process(args, cwd, env=None):
    """`python -m vxfreq.workbench ARGS` in a process of its own: (process, port, token)."""
    process = subprocess.Popen([sys.executable, "-m", "vxfreq.workbench", "--no-browser"] + args,
                               cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True)
    line = process.stdout.readline()
    assert line.startswith("vxfreq workbench: http://127.0.0.1:"), (line, process.stderr.read())
    url = urllib.parse.urlsplit(line.split()[2])
    token = urllib.parse.parse_qs(url.query)["token"][0]
    return process, url.port, token


def browser_available():
    return shutil.which("chromium") is not None and shutil.which("chromedriver") is not None
