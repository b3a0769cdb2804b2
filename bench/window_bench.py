#!/usr/bin/env python3
"""Times the real window on an X display (run_bench.py starts an Xvfb server for it).

    window_bench.py sweep --program EXE --help-file HLP TREE
    window_bench.py stop  --program EXE --help-file HLP TREE [--after S]

sweep: starts `vacuola TREE` in a scratch program folder, waits for its window,
starts the sweep by keyboard (File menu, 開始) and times until the day's log is
complete (it is written when the sweep ends). stop: the same, but chooses 中止 by
keyboard after S seconds (default 0.3) and times from the key 中止(&P) to the finished log.
Prints one JSON object: seconds, peak resident KiB of the program, and the log's
first line; or ended_early when the sweep ended before the stop was chosen.
"""
import argparse
import json
import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import xsession as xs  # noqa: E402

BENCH_OPTIONS = {"LOG保存設定": "3", "読取専用属性の解除": "1", "エラーメッセージ抑止": "1"}
END = b"*** Bottom of List ***\r\n\r\n"


def log_done(path):
    # Only the end is read: reading a log of tens of megabytes every millisecond
    # would take the processor from the program being timed.
    try:
        with open(path, "rb") as f:
            size = f.seek(0, os.SEEK_END)
            if size < len(END):
                return False
            f.seek(size - len(END))
            return f.read() == END
    except FileNotFoundError:
        return False


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("mode", choices=["sweep", "stop"])
    ap.add_argument("tree")
    ap.add_argument("--program", required=True)
    ap.add_argument("--help-file", required=True)
    ap.add_argument("--after", type=float, default=0.3)
    args = ap.parse_args()

    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines(BENCH_OPTIONS),
                         parent=os.path.dirname(os.path.abspath(args.tree)))
    try:
        program.start(os.path.abspath(args.tree))
        window = program.main_window(timeout=30)
        xs.focus(window)
        log = program.log_path()
        # The clock starts once the File menu is open: what is timed is the sweep
        # from the key that starts it, not the menu.
        xs.keys("alt+f")
        start = time.perf_counter()
        xs.keys("s")
        if args.mode == "stop":
            time.sleep(args.after)
            if log_done(log):
                # Too small a tree for a stop: nothing to time.
                print(json.dumps({"ended_early": True, "after": args.after}))
                return
            # The clock starts once the menu is open: what is timed is the stop itself.
            xs.keys("alt+f")
            start = time.perf_counter()
            xs.keys("p")
        xs.wait_until(lambda: log_done(log), 600, "the log", interval=0.001)
        seconds = time.perf_counter() - start
        title = xs.read_cp932(log).split("\r\n", 1)[0]
        xs.focus(window)
        xs.keys("alt+f", "x")
        _, peak = program.wait_exit(60)
        print(json.dumps({"seconds": seconds, "peak_kib": peak, "title": title}, ensure_ascii=False))
    finally:
        program.close()


if __name__ == "__main__":
    main()
