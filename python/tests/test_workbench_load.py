"""The workbench's server under load: 20 pages changing parameters at once, each sending
its next change as soon as the last one is answered, for VXFREQ_WORKBENCH_LOAD_SECONDS
(6 s by default in the tests; 30 s for the figures of the guide). The server, a process
of its own as the user starts it, must answer every request (a result or "superseded"),
stay responsive (a state request during the load answered within 2 s) and keep its
memory bounded (its resident size at most 400 MB above what it had after opening the
picture). The figures are printed."""

import os
import threading
import time

import numpy as np

from vxfreq.workbench import images

import workbench_helpers as wh

CLIENTS = 20


def _rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024.0
    return 0.0


def test_twenty_pages_changing_parameters(tmp_path):
    seconds = float(os.environ.get("VXFREQ_WORKBENCH_LOAD_SECONDS", "6"))
    (tmp_path / "photo.png").write_bytes(images.png_bytes(wh.photograph()))
    process, port, token = wh.start_process(["photo.png"], cwd=tmp_path)
    try:
        client = wh.Client(port, token)
        picture = __import__("json").loads(client.get("/api/state")[2])["picture"]["id"]
        assert client.filter(picture, [])[0] == 200
        baseline = _rss_mb(process.pid)
        stop = time.monotonic() + seconds
        counts = {"results": 0, "superseded": 0, "other": 0}
        latencies, lock = [], threading.Lock()

        def page(k):
            rng = np.random.default_rng(k)
            seq = 0
            while time.monotonic() < stop:
                seq += 1
                entry = {"type": "gaborreject", "frequency": float(rng.uniform(0.1, 0.25)),
                         "angle": float(rng.uniform(-90, 90)),
                         "sigma": [float(rng.uniform(0.002, 0.02))] * 2, "plateau": [0, 0],
                         "dc": 0}
                start = time.perf_counter()
                status = client.filter(picture, [entry], client="page%d" % k, seq=seq)[0]
                with lock:
                    latencies.append(time.perf_counter() - start)
                    key = {200: "results", 409: "superseded"}.get(status, "other")
                    counts[key] += 1

        threads = [threading.Thread(target=page, args=(k,)) for k in range(CLIENTS)]
        for t in threads:
            t.start()
        peak, state_times = baseline, []
        while any(t.is_alive() for t in threads):
            peak = max(peak, _rss_mb(process.pid))
            start = time.perf_counter()
            assert client.get("/api/state")[0] == 200
            state_times.append(time.perf_counter() - start)
            for t in threads:
                t.join(timeout=0.2)
        latencies.sort()
        print("%d pages for %.0f s: %d results, %d superseded, %d other; change to result "
              "median %.0f ms, 95th percentile %.0f ms; state requests at most %.0f ms; "
              "memory %.0f MB after opening, %.0f MB at most"
              % (CLIENTS, seconds, counts["results"], counts["superseded"], counts["other"],
                 1e3 * latencies[len(latencies) // 2], 1e3 * latencies[int(0.95 * len(latencies))],
                 1e3 * max(state_times), baseline, peak))
        assert counts["other"] == 0 and counts["results"] >= CLIENTS
        assert max(state_times) < 2.0
        assert peak - baseline < 400
        # Still answering, with the right result, once the load is over.
        assert client.filter(picture, [], client="after")[0] == 200
    finally:
        process.terminate()
        process.wait(timeout=30)
