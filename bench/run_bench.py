#!/usr/bin/env python3
"""Times sweep_bench against `find DIR -depth -type d -empty -delete` on identical trees.

    run_bench.py [--build DIR] [--folders N] [--rounds R]

Builds one tree (bench/make_tree.py), copies it once per contender and round, runs
each contender on its own copy, checks that both leave exactly the same folders,
and prints the times, their ratio and the peak resident memory of sweep_bench.
"""
import argparse
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


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--folders", type=int, default=100000)
    ap.add_argument("--rounds", type=int, default=3)
    # A RAM-backed folder by default: on a disk the time goes to write-back of the
    # removals and varies several-fold from run to run, for both contenders alike.
    ap.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                    help="where the trees are made (default /dev/shm)")
    args = ap.parse_args()
    bench = os.path.join(args.build, "bench", "sweep_bench")
    if not os.access(bench, os.X_OK):
        sys.exit("no %s: build first" % bench)

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
        f, s = statistics.median(finds), statistics.median(sweeps)
        print("folders %d in %s, rounds %d (medians)" % (args.folders, work, args.rounds))
        print("find -depth -type d -empty -delete: %.3f s" % f)
        print("sweep_bench:                        %.3f s" % s)
        print("ratio sweep_bench / find:           %.2f" % (s / f))
        print("sweep_bench peak resident memory:   %.1f MiB" % (max(peaks) / 1024.0))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
