"""Trees and log blocks for the end-to-end scenarios: making folders and files,
listing what is below a folder, reading the day's log and checking its blocks."""
import os
import re
import time

import xsession as xs
from xsession import Failure, expect, expect_equal

PRESET_SORTED = ["_catalog.vix", "_thumbnl.sue", "desktop.ini", "thumbs.db"]
LEGEND_ALL = "".join("%d:%s\t" % (i, n) for i, n in enumerate(PRESET_SORTED))
# The C locale's short date ("8 Dec 2026") and long time forms; the elapsed time reads as a time of day.
TIMES_LINE = re.compile(r"開始日時 = (\d{1,2} [A-Z][a-z]{2} \d{4})( \d{2}:\d{2}:\d{2})?\t処理時間 = \d{2}:\d{2}:\d{2}")
MONTHS = "Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec".split()


def entries_below(root):
    """Every entry below root (root itself included) as relative paths; folders end in
    "/", symbolic links in "@". Links are never followed."""
    found = []
    if not os.path.lexists(root):
        return found
    found.append("./")
    for path, dirs, files in os.walk(root):
        for d in list(dirs):
            full = os.path.join(path, d)
            rel = os.path.relpath(full, root)
            if os.path.islink(full):
                found.append(rel + "@")
                dirs.remove(d)
            else:
                found.append(rel + "/")
        for f in files:
            full = os.path.join(path, f)
            found.append(os.path.relpath(full, root) + ("@" if os.path.islink(full) else ""))
    return sorted(found)


def make_dirs(root, relpaths):
    for rel in relpaths:
        os.makedirs(os.path.join(root, rel), exist_ok=True)


def make_file(root, rel, text="x\n"):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)


def log_blocks(path):
    """The log file's blocks as lists of lines, each ending in its empty line; checks CR LF endings and CP932."""
    text = xs.read_cp932(path)
    expect(text.endswith("\r\n\r\n"), "the log does not end with an empty line")
    expect("\n" not in text.replace("\r\n", ""), "the log has a line end other than CR LF")
    end = "*** Bottom of List ***\r\n\r\n"
    expect(text.endswith(end), "the log does not end with a closing marker and an empty line")
    return [(b + end).split("\r\n")[:-1] for b in text[:-len(end)].split(end)]


def folder_lines(block):
    """The lines of a log block between its two markers."""
    return block[block.index("*** Top of List ***") + 1:block.index("*** Bottom of List ***")]


def wait_log_blocks(program, count, timeout=30):
    """Waits until the day's log holds count complete blocks; fails at once when the program has ended."""
    def ready():
        if program.proc.poll() is not None:
            raise Failure("the program ended with exit code %d before the log held %d block(s)"
                          % (program.proc.returncode, count))
        path = program.log_path()
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            data = f.read()
        done = data.count(b"*** Bottom of List ***\r\n\r\n")
        return log_blocks(path) if done >= count else None
    return xs.wait_until(ready, timeout, "%d log block(s)" % count)


def check_block(block, folder, state, deleted, legend, lines, errors=0):
    """Checks one log block line by line; the times line by pattern."""
    expect_equal(block[0], "Vacuola V1.13A フォルダ削除ロギング  検索フォルダ = %s　終了状態 = %s" % (folder, state),
                 "title line")
    match = TIMES_LINE.fullmatch(block[1])
    expect(match is not None, "times line %r" % block[1])
    now = time.localtime()
    today = "%d %s %d" % (now.tm_mday, MONTHS[now.tm_mon - 1], now.tm_year)
    expect_equal(match.group(1), today, "start date")
    counts = "削除件数 = %d" % deleted + ("\tエラー件数 = %d" % errors if errors else "")
    expect_equal(block[2:], [counts, "削除対象管理ファイル", legend, "*** Top of List ***"] + lines
                 + ["*** Bottom of List ***", ""], "log block after the times line")


def make_broad_tree(root, branches, leaves):
    """root with `branches` folders of `leaves` empty folders each; returns the branches.

    The sweep lists root, then one branch, whose leaves it removes one after the other:
    its first removal changes that branch, whichever branch the listing gives first.
    """
    made = []
    for b in range(branches):
        branch = os.path.join(root, "b%02d" % b)
        for i in range(leaves):
            os.makedirs(os.path.join(branch, "d%03d" % i))
        made.append(branch)
    return made
