#!/usr/bin/env python3
"""Runs the vxfreq benchmarks and prints the time ratios against the peer libraries.

Every ratio is vxfreq's time divided by the peer's time for the same operation and
size, both measured in the same run (median of the repetitions, CPU time unless
--metric real_time). Below 1.0 vxfreq is faster.

    bench/ratios.py                          run the comparisons and print the table
    bench/ratios.py --repetitions 9          more repetitions per benchmark
    bench/ratios.py --json run.json          print the table of a saved run
    bench/ratios.py --markdown out.md --plot out.png
                                             also write the table and a plot

Only the Python standard library is needed; the plot needs matplotlib
(python3-matplotlib, installed by scripts/install-deps.sh --bench for the system
interpreter /usr/bin/python3) and is skipped with a message without it.
"""

import argparse
import datetime
import json
import os
import platform
import subprocess
import sys
import tempfile
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_BINARY = os.path.join(HERE, "..", "build", "bench", "bench", "vxfreq_bench")
COMPARISONS = (r"^(complex_fwd|complex_inv|real_fwd_u8|inverse_u8|gabor_job|display_job|"
               r"magnitude_image|log_map|stream)/")
SIZES = ["256x256", "512x512", "1024x1024", "2048x2048", "1024x256"]

OPERATIONS = [
    ("complex_fwd", "complex 2-D forward, buffer to buffer"),
    ("complex_inv", "complex 2-D inverse, buffer to buffer"),
    ("real_fwd_u8", "vfForwardFFT<unsigned char>, full spectrum"),
    ("inverse_u8", "vfInverseFFT<unsigned char>, normalize false"),
    ("gabor_job", "forward, Gabor apply, inverse to 8-bit"),
]
# (peer, target ratio): vxfreq's time must not exceed target x the peer's.
PEERS = [("fftw", 1.0), ("opencv", 0.33), ("kissfft", 0.33)]
# Operations with a stricter target against one peer.
TARGETS = {"gabor_job": {"fftw": 0.6}}
# Extra columns shown for information, without a target.
EXTRAS = {
    "real_fwd_u8": [("fftw_r2c", "FFTW r2c alone")],
    "inverse_u8": [("vxfreq_inplace", "vxfreq in place")],
}

# Two threads against one, and against the peers with two threads, in wall time.
THREADED = [
    ("complex_fwd", "complex 2-D forward"),
    ("real_fwd_u8", "8-bit forward"),
    ("inverse_u8", "8-bit inverse"),
    ("gabor_job", "Gabor job"),
    ("display_job", "display job: forward, magnitude image, log map"),
]
THREADED_SIZES = ["512x512", "1024x1024", "2048x2048"]
# Targets from 1024 x 1024 up: 2 threads at most this times our 1-thread time, and
# not behind either peer with 2 threads.
OWN_TARGET = 0.65
# The display steps on one thread against the 8-bit forward transform of the same size.
DISPLAY = [("magnitude_image", 1.0), ("log_map", 1.5)]


def run_benchmarks(binary, repetitions, bench_filter, min_time, interleave=False):
    handle, path = tempfile.mkstemp(suffix=".json")
    os.close(handle)
    command = [
        binary,
        "--benchmark_filter=" + bench_filter,
        "--benchmark_repetitions=%d" % repetitions,
        "--benchmark_report_aggregates_only=true",
        "--benchmark_out_format=json",
        "--benchmark_out=" + path,
    ]
    if min_time:
        command.append("--benchmark_min_time=%s" % min_time)
    if interleave:
        command.append("--benchmark_enable_random_interleaving=true")
    print("running:", " ".join(command), file=sys.stderr)
    subprocess.run(command, check=True, stdout=sys.stderr)
    with open(path) as f:
        data = json.load(f)
    os.unlink(path)
    return data


def medians(data, metric):
    """{(operation, implementation, size): median time in ms}"""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
    result = {}
    plain = defaultdict(list)
    for b in data.get("benchmarks", []):
        name = b.get("run_name", b["name"])
        parts = name.split("/")
        if parts[-1] == "real_time":  # benchmarks timed by the wall clock
            parts = parts[:-1]
        if len(parts) != 3:
            continue
        key = tuple(parts)
        value = b[metric] * scale[b.get("time_unit", "ns")]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                result[key] = value
        else:
            plain[key].append(value)
    for key, values in plain.items():  # a run without repetitions
        if key not in result:
            values.sort()
            result[key] = values[len(values) // 2]
    return result


def cpu_description():
    model, flags = platform.processor() or "unknown", []
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name") and model in ("", "unknown", "x86_64"):
                    model = line.split(":", 1)[1].strip()
                elif line.startswith("flags") and not flags:
                    flags = line.split(":", 1)[1].split()
    except OSError:
        pass
    wanted = ["sse2", "sse4_2", "avx", "avx2", "fma", "avx512f", "avx512dq", "avx512bw", "avx512vl"]
    return model, [f for f in wanted if f in flags]


def fmt_ms(value):
    if value is None:
        return "-"
    return "%.3f" % value if value < 10 else "%.1f" % value


def fmt_ratio(ours, peer, target=None):
    if ours is None or peer is None or peer == 0:
        return "-"
    ratio = ours / peer
    text = "%.2f" % ratio
    if target is not None and ratio > target:
        text += " (over %.2f)" % target
    return text


def table(times, metric, context):
    lines = []
    model, flags = cpu_description()
    date = context.get("date", datetime.datetime.now().isoformat())
    lines.append("Machine: %s, %s CPUs at %s MHz; CPU flags: %s" % (
        model, context.get("num_cpus", "?"), context.get("mhz_per_cpu", "?"), " ".join(flags)))
    lines.append("Run: %s; load average at start: %s; metric: median %s; single thread" % (
        date, ", ".join("%.2f" % x for x in context.get("load_avg", [])) or "?", metric))
    lines.append("")
    engine_path = context.get("vxfreq_engine_path")
    if engine_path:
        lines.append("vxfreq engine path: %s" % engine_path)
        lines.append("")
    for operation, title in OPERATIONS:
        extras = EXTRAS.get(operation, [])
        lines.append("### %s (%s)" % (operation, title))
        lines.append("")
        head = ["size", "vxfreq ms"]
        for peer, _ in PEERS:
            head.append("%s ms" % peer)
        for _, label in extras:
            head.append("%s ms" % label)
        head.append("memcpy ms")
        for peer, target in PEERS:
            target = TARGETS.get(operation, {}).get(peer, target)
            head.append("ratio vs %s (target <= %.2f)" % (peer, target))
        for _, label in extras:
            head.append("ratio vs %s" % label)
        head.append("vxfreq / memcpy")
        lines.append("| " + " | ".join(head) + " |")
        lines.append("|" + "---|" * len(head))
        for size in SIZES:
            ours = times.get((operation, "vxfreq", size))
            if ours is None:
                continue
            row = [size.replace("x", " x "), fmt_ms(ours)]
            for peer, _ in PEERS:
                row.append(fmt_ms(times.get((operation, peer, size))))
            for extra, _ in extras:
                row.append(fmt_ms(times.get((operation, extra, size))))
            stream = times.get(("stream", "memcpy", size))
            row.append(fmt_ms(stream))
            for peer, target in PEERS:
                target = TARGETS.get(operation, {}).get(peer, target)
                row.append(fmt_ratio(ours, times.get((operation, peer, size)), target))
            for extra, _ in extras:
                row.append(fmt_ratio(ours, times.get((operation, extra, size))))
            row.append(fmt_ratio(ours, stream))
            lines.append("| " + " | ".join(row) + " |")
        lines.append("")

    # The engines on each instruction-set path, against the scalar reference, and the
    # path the planner kept with its time against the fastest path's.
    engine_ops = sorted({k[0] for k in times if k[0].startswith("engine_")})
    if engine_ops:
        # The paths in the table's order, as the benchmark names them (older runs
        # without that context: scalar first, then in the order of their names).
        listed = context.get("vxfreq_engine_paths", "").split(",")
        found = {k[1] for k in times if k[0].startswith("engine_") and k[1] != "planned"}
        paths = [p for p in listed if p in found] + sorted(found - set(listed),
                                                          key=lambda p: (p != "scalar", p))
        lines.append("### engines by path (in place, ms; ratio to scalar in brackets), and the "
                     "planner's choice (ratio to the fastest path, target <= 1.03)")
        lines.append("")
        lines.append("| operation | size | " + " | ".join(paths) + " | planned | planned / fastest |")
        lines.append("|" + "---|" * (4 + len(paths)))
        for op in engine_ops:
            for size in SIZES:
                scalar = times.get((op, "scalar", size))
                if scalar is None:
                    continue
                cells = []
                for p in paths:
                    t = times.get((op, p, size))
                    cells.append("-" if t is None else "%s (%.2f)" % (fmt_ms(t), t / scalar))
                planned = times.get((op, "planned", size))
                vector = [times[(op, p, size)] for p in paths
                          if p != "scalar" and (op, p, size) in times]
                fastest = min(vector) if vector else scalar
                cells.append("-" if planned is None else "%s %s" % (
                    fmt_ms(planned), context.get("labels", {}).get("%s/planned/%s" % (op, size), "")))
                cells.append(fmt_ratio(planned, fastest, 1.03))
                lines.append("| %s | %s | %s |" % (op, size.replace("x", " x "), " | ".join(cells)))
        lines.append("")
    return "\n".join(lines)


def threads_table(wall, cpu):
    lines = ["### 2 threads against 1 (wall time, ms)", ""]
    head = ["operation", "size", "vxfreq 1 thread", "vxfreq 2 threads", "fftw 2 threads",
            "opencv 2 threads", "2 threads / 1 (target <= %.2f)" % OWN_TARGET,
            "vs fftw 2 threads (<= 1)", "vs opencv 2 threads (<= 1)"]
    lines.append("| " + " | ".join(head) + " |")
    lines.append("|" + "---|" * len(head))
    for operation, title in THREADED:
        for size in THREADED_SIZES:
            one = wall.get((operation, "vxfreq", size))
            two = wall.get((operation, "vxfreq_2t", size))
            if one is None or two is None:
                continue
            big = size != "512x512"
            fftw = wall.get((operation, "fftw_2t", size))
            opencv = wall.get((operation, "opencv_2t", size))
            lines.append("| " + " | ".join([
                title, size.replace("x", " x "), fmt_ms(one), fmt_ms(two), fmt_ms(fftw), fmt_ms(opencv),
                fmt_ratio(two, one, OWN_TARGET if big else None),
                fmt_ratio(two, fftw, 1.0 if big else None),
                fmt_ratio(two, opencv, 1.0 if big else None)]) + " |")
    lines.append("")
    lines.append("### display steps on one thread, against the 8-bit forward transform")
    lines.append("")
    lines.append("| step | size | ms | forward ms | ratio |")
    lines.append("|---|---|---|---|---|")
    for step, target in DISPLAY:
        for size in THREADED_SIZES:
            ours = cpu.get((step, "vxfreq", size))
            forward = cpu.get(("real_fwd_u8", "vxfreq", size))
            if ours is None:
                continue
            lines.append("| %s | %s | %s | %s | %s |" % (
                step, size.replace("x", " x "), fmt_ms(ours), fmt_ms(forward),
                fmt_ratio(ours, forward, target)))
    lines.append("")
    return "\n".join(lines)


# The library against itself (bench/own_bench.cpp), from own_ratios.json: (operation,
# implementation, reference operation, reference implementation, title, target ratio or
# None).
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "own_ratios.json")) as _f:
    OWN = [(o["operation"], o["implementation"], o["reference_operation"],
            o["reference_implementation"], o["title"], o["target"]) for o in json.load(_f)]


def own_table(times):
    lines = []
    sizes = sorted({k[2] for k in times}, key=lambda s: [int(v) for v in s.split("x")])
    for op, impl, ref_op, ref_impl, title, target in OWN:
        rows = []
        for size in sizes:
            ours, ref = times.get((op, impl, size)), times.get((ref_op, ref_impl, size))
            if ours is None or ref is None:
                continue
            if op == "pool_fwd_u8" and impl == "2t" and size == "2048x2048":
                target_here = 0.65
            else:
                target_here = target
            rows.append("| %s | %s | %s | %s |" % (size.replace("x", " x "), fmt_ms(ours), fmt_ms(ref),
                                                 fmt_ratio(ours, ref, target_here)))
        if not rows:
            continue
        lines += ["### %s" % title, "",
                  "| size | %s/%s ms | %s/%s ms | ratio%s |" % (
                      op, impl, ref_op, ref_impl, "" if target is None else " (target <= %.2f)" % target),
                  "|---|---|---|---|"] + rows + [""]
    return "\n".join(lines)


def plot(times, path):
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib not found: no plot (install python3-matplotlib)", file=sys.stderr)
        return False
    squares = [s for s in SIZES if s.split("x")[0] == s.split("x")[1]]
    edge = [int(s.split("x")[0]) for s in squares]
    styles = {"vxfreq": ("C0", "o", "-"), "fftw": ("C1", "s", "--"), "opencv": ("C2", "^", "--"),
              "kissfft": ("C3", "v", "--"), "memcpy": ("0.5", ".", ":")}
    fig, axes = plt.subplots(2, 2, figsize=(10, 8))
    for ax, (operation, title) in zip(axes.flat, OPERATIONS):
        for impl, (color, marker, line) in styles.items():
            key_op = "stream" if impl == "memcpy" else operation
            ys = [times.get((key_op, impl, s)) for s in squares]
            if all(y is None for y in ys):
                continue
            xs = [x for x, y in zip(edge, ys) if y is not None]
            ys = [y for y in ys if y is not None]
            label = "memcpy (read + write)" if impl == "memcpy" else impl
            ax.plot(xs, ys, color=color, marker=marker, linestyle=line, label=label)
        ax.set_xscale("log", base=2)
        ax.set_yscale("log")
        ax.set_xticks(edge)
        ax.set_xticklabels(["%d²" % e for e in edge])
        ax.set_title(title, fontsize=9)
        ax.set_ylabel("ms (median)")
        ax.grid(True, which="both", alpha=0.3)
        ax.legend(fontsize=7)
    fig.suptitle("vxfreq and peers, one thread: time against image size (lower is better)")
    fig.tight_layout()
    fig.savefig(path, dpi=90)
    return True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--binary", default=DEFAULT_BINARY, help="the vxfreq_bench executable")
    parser.add_argument("--json", help="read a saved Google Benchmark JSON file instead of running")
    parser.add_argument("--save", help="keep the JSON output of the run in this file")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--min-time", default="", help="--benchmark_min_time per repetition")
    parser.add_argument("--filter", default=COMPARISONS, help="benchmark filter (regular expression)")
    parser.add_argument("--engines", action="store_true", help="also time the engines on each path")
    parser.add_argument("--own", action="store_true",
                        help="the library against itself (modes, memory, pool, padding, large pictures)")
    parser.add_argument("--metric", choices=["cpu_time", "real_time"], default="cpu_time")
    parser.add_argument("--markdown", help="write the table to this file")
    parser.add_argument("--plot", help="write a PNG plot of time against size to this file")
    args = parser.parse_args()

    if args.json:
        with open(args.json) as f:
            data = json.load(f)
    else:
        bench_filter = args.filter
        if args.engines:
            bench_filter = "(%s)|(^engine_[a-z_]+/)" % bench_filter
        if args.own:
            bench_filter = "(%s)|(^(%s)/)" % (bench_filter, "|".join(sorted({o[0] for o in OWN} |
                                                                            {o[2] for o in OWN})))
        data = run_benchmarks(args.binary, args.repetitions, bench_filter, args.min_time,
                              args.engines or args.own)
        if args.save:
            with open(args.save, "w") as f:
                json.dump(data, f, indent=1)

    times = medians(data, args.metric)
    context = dict(data.get("context", {}))
    context["labels"] = {b.get("run_name", b["name"]): b["label"]
                         for b in data.get("benchmarks", []) if b.get("label")}
    text = table(times, args.metric, context)
    if any(k[1].endswith("_2t") for k in times):
        text += "\n" + threads_table(medians(data, "real_time"), times)
    own = medians(data, "real_time") if args.metric == "cpu_time" else times
    for key, value in times.items():  # CPU time but for the pool's wall time
        if key[0] != "pool_fwd_u8":
            own[key] = value
    own_text = own_table(own)
    if own_text:
        text += "\n" + own_text
    print(text)
    if args.markdown:
        with open(args.markdown, "w") as f:
            f.write(text + "\n")
    if args.plot and plot(times, args.plot):
        print("plot written to %s" % args.plot, file=sys.stderr)


if __name__ == "__main__":
    main()
