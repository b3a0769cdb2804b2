#!/usr/bin/env python3
"""The command line: the built program run without a window and without a display,
in a scratch program folder of its own.

    vacuola_cli.py --program EXE SCENARIO
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession as xs  # noqa: E402
from xsession import Failure, expect, expect_equal  # noqa: E402


class Cli:
    """A program folder with the executable and a settings file; runs it headless."""

    def __init__(self, executable, work, ini):
        self.folder = os.path.join(work, "prog")
        os.makedirs(self.folder)
        self.executable = os.path.join(self.folder, "vacuola")
        shutil.copy2(executable, self.executable)
        self.ini = os.path.join(self.folder, "vacuola.ini")
        xs.write_cp932(self.ini, ini)

    def environment(self, **extra):
        env = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8", TZ="UTC")
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        return dict(env, **extra)

    def run(self, *arguments, stdout=subprocess.PIPE, **env):
        """(exit status, stdout lines, stderr text)."""
        done = subprocess.run([self.executable, *arguments], cwd=self.folder, env=self.environment(**env),
                              stdout=stdout, stderr=subprocess.PIPE, timeout=60)
        return done.returncode, (done.stdout or b"").decode().splitlines(), done.stderr.decode()

    def start(self, *arguments, stderr=subprocess.DEVNULL):
        return subprocess.Popen([self.executable, *arguments], cwd=self.folder, env=self.environment(),
                                stdout=subprocess.PIPE, stderr=stderr)

    def log_text(self):
        path = os.path.join(self.folder, xs.day_log_name())
        return xs.read_cp932(path) if os.path.isfile(path) else ""

    def files(self):
        return sorted(os.listdir(self.folder))


def tree(root):
    """Every entry below root; folders end in "/". The walk itself never marks a
    folder read: a folder just made has its access time equal to its change
    time, and the first listing without O_NOATIME would move it."""
    found = []

    def walk(rel):
        fd = os.open(os.path.join(root, rel), os.O_RDONLY | os.O_DIRECTORY | os.O_NOATIME)
        try:
            with os.scandir(fd) as entries:
                names = [(e.name, e.is_dir(follow_symlinks=False)) for e in entries]
        finally:
            os.close(fd)
        for name, is_dir in names:
            found.append(os.path.join(rel, name) + ("/" if is_dir else ""))
            if is_dir:
                walk(os.path.join(rel, name))

    walk("")
    return sorted(found)


def times(root):
    return {p: (os.lstat(os.path.join(root, p)).st_atime_ns, os.lstat(os.path.join(root, p)).st_mtime_ns)
            for p in tree(root) + [""]}


def scenario_statuses(args, work):
    cli = Cli(args.program, work, xs.ini_lines({"LOG保存設定": "3"}, names=["thumbs.db"]))
    ini = open(cli.ini, "rb").read()
    expect_equal(cli.run("--version")[:2], (0, ["Vacuola V1.13A"]), "--version")
    rc, out, _ = cli.run("--help")
    expect(rc == 0 and out[0].startswith("使い方: vacuola"), "--help: %d %r" % (rc, out[:1]))
    no_display = "。ウィンドウにはディスプレイが必要です。ディスプレイなしで削除するには --sweep を使って下さい"
    for usage, env, message in (
            (["--bogus", "x"], {}, "不明なオプションです: --bogus"), (["-nq", "x"], {}, "不明なオプションです: -q"),
            (["--dry-run=1", "x"], {}, "値を取らないオプションです: --dry-run"),
            (["--sweep"], {}, "フォルダを1つ指定して下さい"), (["--sweep", "a", "b"], {}, "フォルダを1つ指定して下さい"),
            (["--yes", "x"], {}, "--yes は --sweep と共に指定して下さい"),
            (["--exclude=a", "x"], {}, "--exclude は --sweep と共に指定して下さい"),
            (["x", "--no-trash", "-y"], {}, "--no-trash は --sweep と共に指定して下さい"),
            (["--sweep", "x", "--exclude"], {}, "値が必要なオプションです: --exclude"),
            (["--sweep", "x", "--exclude=a/b"], {}, "除外フォルダには名前か / で始まるパスを指定して下さい: a/b"),
            (["--sweep", "x", "--jobs"], {}, "値が必要なオプションです: --jobs"),
            (["--sweep", "x", "--jobs=0"], {}, "--jobs には 1 から 64 までの数を指定して下さい"),
            (["--jobs", "2", "x"], {}, "--jobs は --sweep と共に指定して下さい"),
            (["--", "-x", "y"], {}, "DISPLAY も WAYLAND_DISPLAY も設定されていません" + no_display),
            ([work], {"DISPLAY": ":999"}, "ディスプレイ :999 を開けません" + no_display)):
        rc, out, err = cli.run(*usage, **env)
        expect_equal((rc, out, err.splitlines()[:1]), (2, [], ["vacuola: " + message]), "usage error %r" % usage)
    rc, out, err = cli.run("--sweep", os.path.join(work, "missing"))
    expect_equal((rc, out, err), (2, [], "vacuola: フォルダが存在しません: %s/missing\n" % work), "no FOLDER")
    expect_equal(cli.run("--undo"), (2, [], "vacuola: 元に戻せる削除がありません\n"), "nothing to undo")

    root = os.path.join(work, "root")
    for d in ("a/b", "ro", "keep"):
        os.makedirs(os.path.join(root, d))
    open(os.path.join(root, "a/b/Thumbs.db"), "w").close()
    open(os.path.join(root, "keep/x.txt"), "w").close()
    os.chmod(os.path.join(root, "ro"), 0o555)
    before, stamps = tree(root), times(root)

    rc, out, err = cli.run("--sweep", "-n", root)
    expect_equal((rc, err), (0, ""), "dry run status and stderr")
    expect_equal(sorted(out[:-1]), [root + "/a", root + "/a/b - 0", root + "/ro - R"], "dry run lines")
    expect(out.index(root + "/a/b - 0") < out.index(root + "/a"), "dry run order: %r" % out)
    expect_equal(out[-1], "確認終了 3件削除予定", "dry run summary")
    expect_equal((tree(root), times(root)), (before, stamps), "tree and times after the dry run")
    expect_equal(cli.files(), ["vacuola", "vacuola.ini"], "program folder after the dry run")

    rc, out, err = cli.run("--sweep", root)
    expect_equal((rc, out), (0, [root + "/a/b - 0", root + "/a", "検索終了 2件削除しました"]), "sweep")
    expect_equal(err, "vacuola: 読取専用属性の付いたフォルダを残しました %s/ro\n" % root, "read-only folder kept")
    expect("検索フォルダ = %s　終了状態 = 完了" % root in cli.log_text(), "log block of the sweep")
    rc, out, err = cli.run("--sweep", "--yes", root)
    expect_equal((rc, out, err), (0, [root + "/ro - R", "検索終了 1件削除しました"], ""), "sweep --yes")
    expect_equal(tree(root), ["keep/", "keep/x.txt"], "tree after the sweeps")
    expect_equal(open(cli.ini, "rb").read(), ini, "settings file after the runs")

    # A log that cannot be written fails the run.
    os.remove(os.path.join(cli.folder, xs.day_log_name()))
    os.mkdir(os.path.join(cli.folder, xs.day_log_name()))
    os.mkdir(os.path.join(root, "empty"))
    rc, out, err = cli.run("--sweep", root)
    expect(rc == 1 and out[-1] == "検索終了 1件削除しました" and err.startswith("vacuola: I/O error"),
           "unwritable log: %d %r %r" % (rc, out, err))

    # A full standard output fails the run; a name's control characters print as "?".
    os.rmdir(os.path.join(cli.folder, xs.day_log_name()))
    # g waits for h, so e's question comes before g goes (No), after h is gone.
    os.makedirs(os.path.join(root, "e\nf\x1b[2J/g/h"))
    os.chmod(os.path.join(root, "e\nf\x1b[2J"), 0o555)
    with open("/dev/full", "wb") as full:
        rc, _, err = cli.run("--sweep", "-n", root, stdout=full)
        expect_equal((rc, err), (1, "vacuola: 標準出力に書き込めません: (28)No space left on device\n"),
                     "dry run >/dev/full")
        rc, _, err = cli.run("--sweep", root, stdout=full)
    expect_equal((rc, err.splitlines()), (1, ["vacuola: 読取専用属性の付いたフォルダを残しました %s/e?f?[2J" % root,
                                              "vacuola: 標準出力に書き込めません: (28)No space left on device"]),
                 "sweep >/dev/full")
    expect(cli.log_text().count(root + "/e\nf\x1b[2J/g") == 0 and "%s/e?f?[2J/g/h\r\n" % root in cli.log_text(),
           "log of the sweep >/dev/full")

    # "--" ends the options; bundled letters; the folder joined to --sweep.
    os.makedirs(os.path.join(cli.folder, "-odd", "x"))
    odd = os.path.join(cli.folder, "-odd")
    expect_equal(cli.run("-ny", "--", "-odd"), (0, [odd + "/x", odd, "確認終了 2件削除予定"], ""), "-ny -- -odd")
    expect_equal(cli.run("--sweep=-odd"), (0, [odd + "/x", odd, "検索終了 2件削除しました"], ""), "--sweep=-odd")

    # --exclude adds to the list of the settings (the defaults) for one run: a name pattern, a path.
    ex = os.path.join(cli.folder, "ex")
    for d in ("k1/x", "kept", ".git/refs", "gone"):
        os.makedirs(os.path.join(ex, d))
    expect_equal(cli.run("--sweep", "--jobs", "3", "--exclude", "k?/", "--exclude=%s/kept/" % ex, ex),
                 (0, [ex + "/gone", "検索終了 1件削除しました"], ""), "--exclude")
    expect_equal(tree(ex), [".git/", ".git/refs/", "k1/", "k1/x/", "kept/"], "tree after --exclude")
    # Without a log kept (LOG保存設定=0) an undo appends no block either.
    xs.write_cp932(cli.ini, xs.ini_lines({"LOG保存設定": "0"}, names=["thumbs.db"]))
    log = cli.log_text()
    expect_equal(cli.run("--undo", ex), (0, [ex + "/gone", "元に戻しました 復元1件、復元できず0件"], ""), "--undo ex")
    expect_equal(("gone/" in tree(ex), cli.log_text() == log), (True, True), "tree and log after --undo")
    xs.write_cp932(cli.ini, xs.ini_lines({"LOG保存設定": "3"}, names=["thumbs.db"]))

    # --trash and --no-trash decide for one run, the last one given counting: to the home trash, or deleted.
    data = os.path.join(work, "data")
    for d, option in (("t", "--trash"), ("n", "--no-trash")):
        os.makedirs(os.path.join(cli.folder, d))
        open(os.path.join(cli.folder, d, "Thumbs.db"), "w").close()
        other = "--no-trash" if option == "--trash" else "--trash"
        expect_equal(cli.run("--sweep", other, option, os.path.join(cli.folder, d), XDG_DATA_HOME=data),
                     (0, [os.path.join(cli.folder, d) + " - 0", "検索終了 1件削除しました"], ""), option)
    expect_equal(tree(data), ["Trash/", "Trash/files/", "Trash/files/Thumbs.db", "Trash/info/",
                              "Trash/info/Thumbs.db.trashinfo"], "the trash after --trash and --no-trash")


def wait_blocked_on_output(proc, timeout=30):
    """Waits until the program is stuck writing into its full stdout pipe."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        with open("/proc/%d/wchan" % proc.pid) as f:
            if "pipe_write" in f.read():
                return
        time.sleep(0.02)
    raise Failure("the sweep never filled its output pipe")


# Enough folders for their lines to fill a pipe (64 KiB) several times over.
FOLDERS = 3000


def scenario_stop(args, work):
    for number, name in ((signal.SIGINT, "int"), (signal.SIGTERM, "term"), (signal.SIGHUP, "hup")):
        cli = Cli(args.program, os.path.join(work, name), xs.ini_lines({"LOG保存設定": "3"}))
        root = os.path.join(work, name, "root")
        for i in range(FOLDERS):
            os.makedirs(os.path.join(root, "folder%05d" % i))
        proc = cli.start("--sweep", root)
        # Nobody reads its output yet: the sweep is held at a line when the pipe is full.
        wait_blocked_on_output(proc)
        proc.send_signal(number)
        out = proc.stdout.read().decode().splitlines()
        rc = proc.wait(timeout=30)
        expect_equal(rc, 128 + number, "exit status after %s" % name)
        expect(out[-1] == "検索中止 %d件削除しました" % (len(out) - 1), "summary after %s: %r" % (name, out[-1]))
        left = len(os.listdir(root))
        expect(0 < left < FOLDERS and left == FOLDERS - (len(out) - 1), "%d folders left after %s" % (left, name))
        expect("終了状態 = 中止" in cli.log_text(), "log block of the stopped sweep")

    # An output closed after the first line: the sweep goes on, logs every removal, and fails.
    cli = Cli(args.program, os.path.join(work, "pipe"), xs.ini_lines({"LOG保存設定": "3"}))
    root = os.path.join(work, "pipe", "root")
    for i in range(FOLDERS):
        os.makedirs(os.path.join(root, "folder%05d" % i))
    proc = cli.start("--sweep", root, stderr=subprocess.PIPE)
    proc.stdout.readline()
    proc.stdout.close()
    err = proc.stderr.read().decode()
    expect_equal((proc.wait(timeout=30), err), (1, "vacuola: 標準出力に書き込めません: (32)Broken pipe\n"),
                 "closed pipe")
    expect(not os.path.exists(root) and "削除件数 = %d\r\n" % (FOLDERS + 1) in cli.log_text(),
           "log after the closed pipe")


SCENARIOS = {"statuses": scenario_statuses, "stop": scenario_stop}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("scenario", choices=sorted(SCENARIOS))
    args = ap.parse_args()
    # A memory file system where there is one: thousands of folders are made and removed.
    work = tempfile.mkdtemp(prefix="vacuola-cli-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        SCENARIOS[args.scenario](args, work)
    except Failure as e:
        print("FAIL %s: %s" % (args.scenario, e))
        return 1
    finally:
        for path, dirs, _ in os.walk(work):
            for d in dirs:
                os.chmod(os.path.join(path, d), 0o755)
        shutil.rmtree(work, ignore_errors=True)
    print("PASS %s" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
