#!/usr/bin/env python3
"""Times sweep_bench and the real window against `find DIR -depth -type d -empty -delete`
on identical trees, and measures their peak memory and the window's stop.

    run_bench.py [--build DIR] [--dir DIR] [--folders N] [--big-folders N] [--chain L]
                 [--rounds R] [--window-rounds W] [--big-rounds B] [--no-window]
                 [--share-folders S] [--share-rounds F] [--delay-us D] [--ext4-rounds E]

Trees (bench/make_tree.py, seed 1): a broad one and a deep one of N folders
(default 100,000), a broad one of --big-folders (default 1,000,000; 0 leaves it
out) and a chain of --chain levels (default 20,000; 0 leaves it out), whose log
grows with the square of its depth. Every contender runs on a fresh copy of the tree, made just before it runs;
the order of the contenders turns round from round to round, and every contender
must leave exactly the folders find leaves.

- R rounds (default 7) of find, sweep_bench, sweep_bench --log and the floor on
  each N tree, the floor being bench/floor_sweep.cpp: what one thread does at
  least with the sweep's own calls (rmdir tried first, the mode read before it),
  and nothing else; it runs on the ext4 image and the share too;
- W rounds (default 3) of find and the window (Xvfb, started by keyboard, log
  written) on each N tree, each followed by a stop: 中止 chosen about 0.3 s into a
  sweep of the same tree (a third of the way in when the window's sweep takes
  less than 0.9 s), timed from the key to the finished log;
- B rounds (default 3) of find, sweep_bench and sweep_bench --log on the big tree
  and on the chain;
- F rounds (default 3) of find, sweep_bench (with its default workers, and with
  --jobs 1 where it has that option) and the window on a broad tree of S folders
  (default 10,000; 0 leaves it out) seen through bench/latency_fs, a FUSE
  passthrough file system that waits D microseconds (default 200) in each
  directory operation, standing in for a network share. Its copies are made
  in the folder it passes through, beside it. Left out with the reason when
  latency_fs was not built (no libfuse3), /dev/fuse or fusermount3 is missing.

- E rounds (default 3, --ext4-rounds; 0 leaves it out) of find and sweep_bench on
  the broad and the deep N tree on ext4: an image file in --dir, made with
  mkfs.ext4 and mounted through a loop device (root only; left out with the
  reason otherwise). Every copy is synced before its contender runs, so that
  write-back of the copy does not fall into the time.

The window is driven by bench/window_bench.py and left out when Xvfb or xdotool is
missing. Prints medians, ratios, peak resident memory (getrusage of each process),
the log sizes, whether each target is met, and a block for the README.
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

MIB = 1024.0 * 1024.0


TIME = "/usr/bin/time"  # GNU time (Debian package time)
# The least one thread does for the job with the sweep's rmdir-first try and mode read (bench/floor_sweep.cpp).
FLOOR = "floor"


def run(cmd):
    """Runs a command; returns (seconds, peak RSS in KiB, stdout).

    The peak comes from GNU time: a process forked from this script and exec'd
    keeps this script's resident size as the start of its own peak, so wait4 of
    a small program reports Python's size instead."""
    peak_file = None
    if os.access(TIME, os.X_OK):
        fd, peak_file = tempfile.mkstemp(prefix="peak-")
        os.close(fd)
        cmd = [TIME, "-f", "%M", "-o", peak_file] + cmd
    start = time.perf_counter()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE)
    out = proc.stdout.read()
    _, status, usage = os.wait4(proc.pid, 0)
    seconds = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit("failed: %s" % " ".join(cmd))
    peak = usage.ru_maxrss
    if peak_file:
        with open(peak_file) as f:
            peak = int(f.read().split()[-1])
        os.unlink(peak_file)
    return seconds, peak, out.decode()


def remove(tree):
    """rm copes with trees deeper than Python's recursion and paths longer than PATH_MAX."""
    subprocess.run(["rm", "-rf", tree], check=True)


def folders_left(root):
    left = []
    for path, dirs, _ in os.walk(root):
        left.extend(os.path.join(path, d) for d in dirs)
    if os.path.isdir(root):
        left.append(root)
    return sorted(os.path.relpath(p, root) for p in left)


def folder_bytes(folder):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))


def run_window(build, mode, tree, after=None):
    """One run of window_bench.py on an X server of its own; returns its JSON result."""
    cmd = [sys.executable, os.path.join(HERE, "window_bench.py"),
           mode, tree, "--program", os.path.join(build, "vacuola"), "--help-file",
           os.path.join(build, "vacuola.hlp")]
    if after is not None:
        cmd += ["--after", "%.3f" % after]
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


class Bench:
    def __init__(self, args, work, view=None, sync=False):
        self.args = args
        self.work = work
        self.sync = sync  # each copy written out before its contender runs (a disk)
        self.view = view  # where the contenders see self.work (the share's mount point), if elsewhere
        self.sweep_bench = os.path.join(args.build, "bench", "sweep_bench")
        self.serial = 0
        self.chain = 0  # the levels of the chain being measured: copies are made afresh

    def copy(self, master):
        self.serial += 1
        tree = os.path.join(self.work, "copy%d" % self.serial)
        if self.chain:
            make_tree.build_chain(tree, self.chain)  # cp gives up past PATH_MAX
        else:
            subprocess.run(["cp", "-a", master, tree], check=True)
        if self.sync:
            os.sync()
        return tree

    def contender(self, name, master):
        """Runs one contender on a fresh copy; returns its figures and the folders it left."""
        tree = self.copy(master)
        seen = os.path.join(self.view, os.path.relpath(tree, self.work)) if self.view else tree
        result = {"log_bytes": 0}
        try:
            if name == "find":
                s, rss, _ = run(["find", seen, "-depth", "-type", "d", "-empty", "-delete"])
            elif name.startswith("sweep"):
                logs = None
                options = name.split()[1:]
                if name == "sweep --log":
                    logs = tempfile.mkdtemp(prefix="logs-", dir=self.work)
                    options = ["--log", logs]
                cmd = [self.sweep_bench] + options + [seen]
                s, rss, out = run(cmd)
                print("    %s: %s" % (name, out.strip()))
                if logs:
                    result["log_bytes"] = folder_bytes(logs)
                    shutil.rmtree(logs)
            elif name == FLOOR:
                cmd = [os.path.join(self.args.build, "bench", "floor_sweep"), "--rmdir-first", "--mode-check", seen]
                s, rss, out = run(cmd)
                print("    floor: %s" % out.strip())
            elif name == "window":
                w = run_window(self.args.build, "sweep", seen)
                s, rss = w["seconds"], w["peak_kib"]
                print("    window: %.3f s, %s" % (s, w["title"]))
            result.update(seconds=s, peak_kib=rss)
            return result, folders_left(tree)
        finally:
            remove(tree)

    def rounds(self, label, master, names, count):
        """`count` rounds of the contenders, their order turning round; returns {name: [results]}."""
        results = {n: [] for n in names}
        for r in range(count):
            print("  %s, round %d of %d" % (label, r + 1, count))
            order = names[r % len(names):] + names[:r % len(names)]
            expected = None
            for name in order:
                result, left = self.contender(name, master)
                if expected is None:
                    expected = left
                elif left != expected:
                    sys.exit("%s round %d: %s left other folders than %s" % (label, r + 1, name, order[0]))
                results[name].append(result)
        return results

    def stops(self, label, master, count, sweep_seconds):
        """Stops chosen about 0.3 s into a sweep, or a third into it when the whole sweep is shorter."""
        after = min(0.3, sweep_seconds / 3)
        seconds = []
        for r in range(count):
            tree = self.copy(master)
            try:
                w = run_window(self.args.build, "stop", tree, after)
            finally:
                remove(tree)
            if w.get("ended_early"):
                print("    stop: not measured, the sweep ended within %.2f s" % w["after"])
                continue
            if w["title"].endswith("終了状態 = 完了"):
                # It ended while the keys that choose the stop were on their way.
                print("    stop: not measured, the sweep ended before the stop was chosen")
                continue
            if not w["title"].endswith("終了状態 = 中止"):
                sys.exit("%s stop %d: the stop did not end the sweep: %s" % (label, r + 1, w["title"]))
            print("    stop: %.3f s, %s" % (w["seconds"], w["title"]))
            seconds.append(w["seconds"])
        return {"seconds": seconds, "after": after}


def median(results, key):
    return statistics.median(r[key] for r in results)


def peak_mib(results):
    return max(r["peak_kib"] for r in results) / 1024.0


def verdict(ok):
    return "met" if ok else "MISSED"


# The targets: sweep_bench's ratio to find, and the window's, by where the tree lies.
TARGETS = {"tmpfs": (0.30, 0.35), "ext4": (0.45, None), "share": (0.20, None)}


def report_tree(label, results, window, stops, big, share=False, ext4=False):
    """Table rows and target lines of one tree."""
    limit, window_limit = TARGETS["share" if share else ("ext4" if ext4 else "tmpfs")]
    f = median(results["find"], "seconds")
    rows = ["| %s | find | %.3f s | 1.00 | %.1f MiB | |" % (label, f, peak_mib(results["find"]))]
    targets = []
    for name in [n for n in results if n != "find"]:
        s = median(results[name], "seconds")
        if name == FLOOR:
            rows.append("| %s | floor_sweep --rmdir-first --mode-check (one thread, no log, journal or event loop) "
                        "| %.3f s | %.2f | %.1f MiB | |" % (label, s, s / f, peak_mib(results[name])))
            continue
        peak = peak_mib(results[name])
        log = max(r["log_bytes"] for r in results[name]) / MIB
        rows.append("| %s | sweep_bench%s | %.3f s | %.2f | %.1f MiB | %s |"
                    % (label, name[len("sweep"):], s, s / f, peak,
                       "%.1f MiB" % log if name == "sweep --log" else ""))
        # On the share the default workers are to hide the waiting; one worker cannot.
        if name == "sweep" and not big:
            targets.append("%s, %s: %.2f × find (at most %.2f: %s)"
                           % (label, name, s / f, limit, verdict(s / f <= limit)))
        # The log is written from the folder tree, never held whole: its size does not count.
        peak_limit = 64.0 if name == "sweep --log" else (24.0 if big else 16.0)
        targets.append("%s, %s: peak %.1f MiB (at most %.1f MiB: %s)"
                       % (label, name, peak, peak_limit, verdict(peak <= peak_limit)))
    if window:
        wf = median(window["find"], "seconds")
        wt = median(window["window"], "seconds")
        rows.append("| %s | the window (Xvfb, log written), against find on its own copy (%.3f s) | %.3f s | "
                    "%.2f | %.1f MiB | |" % (label, wf, wt, wt / wf, peak_mib(window["window"])))
        if window_limit:
            targets.append("%s, window: %.2f × find (at most %.2f: %s)"
                           % (label, wt / wf, window_limit, verdict(wt / wf <= window_limit)))
    if stops and stops["seconds"]:
        st = statistics.median(stops["seconds"])
        rows.append("| %s | stop chosen about %.2f s into a window sweep, to the finished log | %.3f s | | | |"
                    % (label, stops["after"], st))
        targets.append("%s, stop: %.3f s (at most 0.1 s: %s)" % (label, st, verdict(max(stops["seconds"]) <= 0.1)))
    elif stops:
        targets.append("%s, stop: not measured, every sweep ended before its stop was chosen" % label)
    return rows, targets


def share_unavailable(build):
    """Why the latency-bound share cannot be measured here, or None."""
    if not os.access(os.path.join(build, "bench", "latency_fs"), os.X_OK):
        return "bench/latency_fs not built (libfuse3 missing when configured)"
    if not os.path.exists("/dev/fuse"):
        return "no /dev/fuse"
    if shutil.which("fusermount3") is None:
        return "fusermount3 missing (Debian fuse3)"
    return None


def has_jobs(sweep_bench):
    """Whether sweep_bench takes --jobs N (it answers a usage error with 2 otherwise)."""
    # A folder with a file in it: the sweep keeps it (an empty one it would remove).
    kept = tempfile.mkdtemp(prefix="jobs-")
    open(os.path.join(kept, "kept"), "w").close()
    try:
        return subprocess.run([sweep_bench, "--jobs", "1", kept], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    finally:
        shutil.rmtree(kept, ignore_errors=True)


class Share:
    """bench/latency_fs showing SOURCE at MOUNT while the block runs."""

    def __init__(self, build, source, mount, delay_us):
        self.cmd = [os.path.join(build, "bench", "latency_fs"), "--delay-us", str(delay_us), source, mount]
        self.mount = mount

    def __enter__(self):
        self.errors = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(self.cmd, stdout=subprocess.DEVNULL, stderr=self.errors)
        deadline = time.monotonic() + 10
        while not os.path.ismount(self.mount):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.errors.seek(0)
                sys.exit("latency_fs did not mount: %s" % self.errors.read().decode(errors="replace").strip())
            time.sleep(0.05)
        return self

    def __exit__(self, *exc):
        subprocess.run(["fusermount3", "-u", self.mount], check=False)
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        self.errors.close()


def share_rounds(args, work, window):
    """The broad tree on the latency-bound share: its rows, targets and shape."""
    backing = os.path.join(work, "share")
    mount = os.path.join(work, "mnt")
    os.mkdir(backing)
    os.mkdir(mount)
    bench = Bench(args, backing, view=mount)
    master = os.path.join(backing, "master")
    made = make_tree.build(master, args.share_folders, 1)
    label = "%s broad, latency_fs (%.1f ms)" % ("{:,}".format(made), args.delay_us / 1000.0)
    shape = "%s: %d levels" % (label, make_tree.depth(master))
    print(shape)
    names = ["find", "sweep"] + (["sweep --jobs 1"] if has_jobs(bench.sweep_bench) else []) + [FLOOR]
    with Share(args.build, backing, mount, args.delay_us):
        results = bench.rounds(label, master, names, args.share_rounds)
        window_results = bench.rounds(label, master, ["find", "window"], args.share_rounds) if window else None
    rows, targets = report_tree(label, results, window_results, None, False, share=True)
    remove(master)
    return rows, targets, shape


def make_master(master, shape, deep, folders, where=""):
    """Makes the tree a block measures; returns its label and the line that tells its shape."""
    if shape == "chain":
        made = make_tree.build_chain(master, folders)
        levels = folders
    else:
        made = (make_tree.build_deep if deep else make_tree.build)(master, folders, 1)
        levels = make_tree.depth(master)
    label = "%s %s%s" % ("{:,}".format(made), shape, where)
    line = "%s: %d levels" % (label, levels)
    print(line)
    return label, line


def ext4_unavailable():
    """Why the ext4 image cannot be mounted here, or None."""
    if os.geteuid() != 0:
        return "a loop mount needs root"
    if shutil.which("mkfs.ext4") is None:
        return "mkfs.ext4 missing (Debian e2fsprogs)"
    if not os.path.exists("/dev/loop-control"):
        return "no /dev/loop-control"
    return None


class Ext4Image:
    """An ext4 file system of MIB mebibytes in IMAGE, mounted at MOUNT while the block runs."""

    def __init__(self, image, mount, mib):
        self.image, self.mount, self.mib = image, mount, mib

    def __enter__(self):
        with open(self.image, "wb") as f:
            f.truncate(self.mib * 1024 * 1024)
        # An inode for every 4 KiB, as every folder takes one; the tables made
        # now, not in the background while the contenders run.
        subprocess.run(["mkfs.ext4", "-q", "-F", "-i", "4096", "-E", "lazy_itable_init=0,lazy_journal_init=0",
                        self.image], check=True)
        os.mkdir(self.mount)
        subprocess.run(["mount", "-o", "loop", self.image, self.mount], check=True)
        return self

    def __exit__(self, *exc):
        subprocess.run(["umount", self.mount], check=False)
        os.rmdir(self.mount)
        os.unlink(self.image)


def ext4_rounds(args, work):
    """The broad and the deep tree on an ext4 image: their rows, targets and shapes."""
    rows, targets, shapes = [], [], []
    # A master and one copy at a time, each folder a block and an inode.
    mib = 256 + args.folders * 16 // 1024
    with Ext4Image(os.path.join(work, "ext4.img"), os.path.join(work, "ext4"), mib) as disk:
        bench = Bench(args, disk.mount, sync=True)
        for shape, deep in (("broad", False), ("deep", True)):
            master = os.path.join(disk.mount, "master")
            label, line = make_master(master, shape, deep, args.folders, ", ext4 (loop image)")
            shapes.append(line)
            results = bench.rounds(label, master, ["find", "sweep", FLOOR], args.ext4_rounds)
            r, t = report_tree(label, results, None, None, False, ext4=True)
            rows += r
            targets += t
            remove(master)
    return rows, targets, shapes


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default=os.path.join(HERE, "..", "build"))
    ap.add_argument("--folders", type=int, default=100000, help="folders of the broad and the deep tree (0 leaves them out)")
    ap.add_argument("--big-folders", type=int, default=1000000)
    ap.add_argument("--chain", type=int, default=20000, help="levels of the chain (0 leaves it out)")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--window-rounds", type=int, default=3)
    ap.add_argument("--big-rounds", type=int, default=3)
    # A RAM-backed folder by default: on a disk the time goes to write-back of the
    # removals and varies several-fold from run to run, for all contenders alike.
    ap.add_argument("--dir", default="/dev/shm" if os.path.isdir("/dev/shm") else None,
                    help="where the trees are made (default /dev/shm)")
    ap.add_argument("--no-window", action="store_true", help="leave the window out")
    ap.add_argument("--share-folders", type=int, default=10000,
                    help="folders of the tree on the latency-bound share (0 leaves it out)")
    ap.add_argument("--share-rounds", type=int, default=3)
    ap.add_argument("--delay-us", type=int, default=200, help="the share's wait in each directory operation")
    ap.add_argument("--ext4-rounds", type=int, default=3,
                    help="rounds on the ext4 image (0 leaves it out)")
    args = ap.parse_args()
    args.build = os.path.abspath(args.build)
    if not os.access(os.path.join(args.build, "bench", "sweep_bench"), os.X_OK):
        sys.exit("no %s/bench/sweep_bench: build first" % args.build)
    window = not args.no_window and args.window_rounds > 0
    if window and not os.access(os.path.join(args.build, "vacuola"), os.X_OK):
        sys.exit("no %s/vacuola: build first" % args.build)
    if window and xsession.tools_missing():
        print("window left out: %s not installed" % ", ".join(xsession.tools_missing()))
        window = False

    began = time.monotonic()
    work = tempfile.mkdtemp(prefix="vacuola-bench-", dir=args.dir)
    trees = [("broad", False, args.folders, False), ("deep", True, args.folders, False)] if args.folders > 0 else []
    if args.big_folders > 0:
        trees.append(("broad", False, args.big_folders, True))
    if args.chain > 0:
        trees.append(("chain", False, args.chain, True))
    rows, targets, shapes = [], [], []
    share = args.share_folders > 0 and args.share_rounds > 0
    share_missing = share and share_unavailable(args.build)
    if share_missing:
        print("latency-bound share left out: %s" % share_missing)
        share = False
    ext4 = args.folders > 0 and args.ext4_rounds > 0
    ext4_missing = ext4 and ext4_unavailable()
    if ext4_missing:
        print("ext4 image left out: %s" % ext4_missing)
        ext4 = False
    try:
        bench = Bench(args, work)
        for shape, deep, folders, big in trees:
            master = os.path.join(work, "master")
            bench.chain = folders if shape == "chain" else 0
            label, line = make_master(master, shape, deep, folders)
            shapes.append(line)
            results = bench.rounds(label, master, ["find", "sweep", "sweep --log"] + ([] if big else [FLOOR]),
                                   args.big_rounds if big else args.rounds)
            window_results, stops = None, None
            if window and not big:
                window_results = bench.rounds(label, master, ["find", "window"], args.window_rounds)
                stops = bench.stops(label, master, args.window_rounds,
                                    median(window_results["window"], "seconds"))
            r, t = report_tree(label, results, window_results, stops, big)
            rows += r
            targets += t
            remove(master)
        if ext4:
            r, t, ext4_shapes = ext4_rounds(args, work)
            rows += r
            targets += t
            shapes += ext4_shapes
        if share:
            r, t, shape = share_rounds(args, work, window)
            rows += r
            targets += t
            shapes.append(shape)
    finally:
        remove(work)

    lines = ["Machine: %s; trees on %s (%s)." % (machine(), file_system(args.dir or tempfile.gettempdir()),
                                                  args.dir or tempfile.gettempdir()),
             "Trees by bench/make_tree.py, seed 1 (%s); medians of %d rounds (%d of the window, %d of the "
             "big tree, %d on ext4, %d on the share), peak resident memory the largest of all rounds:"
             % ("; ".join(shapes), args.rounds, args.window_rounds if window else 0, args.big_rounds,
                args.ext4_rounds if ext4 else 0, args.share_rounds if share else 0),
             "",
             "| Tree | Contender | Time | Ratio to find | Peak memory | Log |",
             "|---|---|---|---|---|---|"] + rows
    print()
    print("\n".join(lines))
    print()
    print("Targets:")
    print("\n".join("  " + t for t in targets))
    print("\n(the benchmark took %.0f s)" % (time.monotonic() - began))


if __name__ == "__main__":
    main()
