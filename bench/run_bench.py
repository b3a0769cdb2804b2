#!/usr/bin/env python3
"""Times sweep_bench and the real window against `find DIR -depth -type d -empty -delete`
on identical trees.

    run_bench.py [--build DIR] [--folders N] [--rounds R] [--window-rounds W] [--no-window]

Builds one tree (bench/make_tree.py), copies it once per contender and round, runs
each contender on its own copy, checks that all leave exactly the same folders,
and prints the times, their ratios, the peak resident memory, and the time a stop
chosen in the window takes to take effect. The window runs on an Xvfb server and is
driven by keyboard (bench/window_bench.py); it is left out when Xvfb or xdotool
is missing. The figures end with a block that can be pasted into the README.
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_tree  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import xsession  # noqa: E402


def run(cmd, **kw):
    """Runs a command; returns (seconds, peak RSS in KiB, stdout)."""
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, **kw)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(cmd))
    return seconds, usage.ru_maxrss, out.decode()


def folders_left(root):
    left = []
    for path, dirs, _ in os.walk(root):
        left.extend(os.path.join(path, d) for d in dirs)
    if os.path.isdir(root):
        left.append(root)
    return sorted(os.path.relpath(p, root) for p in left)


def run_window(build, mode, tree):
    """One run of window_bench.py on an X server of its own; returns its JSON result."""
    cmd = [sys.executable, os.path.join(HERE, "window_bench.py"),
           mode, tree, "--program", os.path.join(build, "vacuola"), "--help-file",
           os.path.join(build, "vacuola.hlp")]
    with xsession.XServer():
        proc = subprocess.run(cmd, stdout=subprocess.PIPE, text=True)
    if proc.returncode != 0:
        sys.exit("failed: %s" % " ".join(cmd))
    return json.loads(proc.stdout.strip().splitlines()[-1])


def machine():
    """nproc, CPU model and memory of this machine."""
    model = "unknown CPU"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    with open("/proc/meminfo") as f:
        mem_kib = int(f.readline().split()[1])
    return "%d cores (nproc), %s, %.1f GiB memory" % (os.cpu_count(), model, mem_kib / 1048576.0)


def file_system(path):
    out = subprocess.run(["stat", "-f", "-c", "%T", path], stdout=subprocess.PIPE, text=True).stdout.strip()
    return out or "unknown"


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--folders", type=int, default=100000)
    ap.add_argument("--rounds", type=int, default=3)
    # A RAM-backed folder by default: on a disk the time goes to write-back of the
    # removals and varies several-fold from run to run, for both contenders alike.
    ap.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                    help="where the trees are made (default /dev/shm)")
    ap.add_argument("--window-rounds", type=int, default=1,
                    help="rounds of the window against find (each sweep of the window takes long)")
    ap.add_argument("--no-window", action="store_true", help="leave the window out")
    args = ap.parse_args()
    bench = os.path.join(args.build, "bench", "sweep_bench")
    if not os.access(bench, os.X_OK):
        sys.exit("no %s: build first" % bench)
    window = not args.no_window
    if window and not os.access(os.path.join(args.build, "vacuola"), os.X_OK):
        sys.exit("no %s/vacuola: build first" % args.build)
    if window and xsession.tools_missing():
        print("window left out: %s not installed" % ", ".join(xsession.tools_missing()))
        window = False

    work = tempfile.mkdtemp(prefix="vacuola-bench-", dir=args.dir)
    try:
        master = os.path.join(work, "master")
        make_tree.build(master, args.folders, 1)
        finds, sweeps, peaks = [], [], []
        for r in range(args.rounds):
            a, b = os.path.join(work, "find%d" % r), os.path.join(work, "sweep%d" % r)
            for copy in (a, b):
                subprocess.run(["cp", "-a", master, copy], check=True)
            subprocess.run(["sync"], check=True)
            # Alternate the order so that neither contender always runs on warmer caches.
            order = [("find", a), ("sweep", b)] if r % 2 == 0 else [("sweep", b), ("find", a)]
            for name, tree in order:
                if name == "find":
                    s, _, _ = run(["find", tree, "-depth", "-type", "d", "-empty", "-delete"])
                    finds.append(s)
                else:
                    s, rss, out = run([bench, tree])
                    sweeps.append(s)
                    peaks.append(rss)
                    print("  sweep_bench: %s" % out.strip())
            if folders_left(a) != folders_left(b):
                sys.exit("round %d: sweep_bench and find left different folders" % r)
            shutil.rmtree(a, ignore_errors=True)
            shutil.rmtree(b, ignore_errors=True)
        w_finds, w_times, w_peaks, stops = [], [], [], []
        for r in range(args.window_rounds if window else 0):
            a, b = os.path.join(work, "wfind%d" % r), os.path.join(work, "window%d" % r)
            for copy in (a, b):
                subprocess.run(["cp", "-a", master, copy], check=True)
            subprocess.run(["sync"], check=True)
            s, _, _ = run(["find", a, "-depth", "-type", "d", "-empty", "-delete"])
            w_finds.append(s)
            result = run_window(args.build, "sweep", b)
            w_times.append(result["seconds"])
            w_peaks.append(result["peak_kib"])
            print("  window: %.3f s, %s" % (result["seconds"], result["title"]))
            if folders_left(a) != folders_left(b):
                sys.exit("window round %d: the window and find left different folders" % r)
            shutil.rmtree(a, ignore_errors=True)
            shutil.rmtree(b, ignore_errors=True)
            # The stop: a sweep of a copy of the same tree, stopped about 0.3 s in.
            subprocess.run(["cp", "-a", master, b], check=True)
            result = run_window(args.build, "stop", b)
            if not result["title"].endswith("終了状態 = 中止"):
                sys.exit("window round %d: the stop did not end the sweep: %s" % (r, result["title"]))
            stops.append(result["seconds"])
            print("  stop: %.3f s, %s" % (result["seconds"], result["title"]))
            shutil.rmtree(b, ignore_errors=True)

        f, s = statistics.median(finds), statistics.median(sweeps)
        fs = file_system(work)
        lines = ["Machine: %s; trees on %s (%s)." % (machine(), fs, args.dir or os.path.dirname(work)),
                 "%d folders (bench/make_tree.py, seed 1), medians of %d rounds:" % (args.folders, args.rounds),
                 "",
                 "| Contender | Time | Ratio to find | Peak memory |",
                 "|---|---|---|---|",
                 "| `find -depth -type d -empty -delete` | %.3f s | 1.00 | |" % f,
                 "| sweep_bench (the sweep without a window) | %.3f s | %.2f | %.1f MiB |"
                 % (s, s / f, max(peaks) / 1024.0)]
        if w_times:
            wf, wt = statistics.median(w_finds), statistics.median(w_times)
            lines.append("| the window (xvfb, keyboard), against find on its own copy (%.3f s) | %.3f s | %.2f | "
                         "%.1f MiB |" % (wf, wt, wt / wf, max(w_peaks) / 1024.0))
            lines += ["", "Stop: 中止 chosen about 0.3 s into a sweep of the same tree ends it, log written, "
                      "in %.3f s (median of %d)." % (statistics.median(stops), len(stops))]
        print()
        print("\n".join(lines))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
