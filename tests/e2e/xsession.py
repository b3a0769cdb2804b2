"""Drives the real Vacuola window on an X display with xdotool, as a user would.

Used by the end-to-end tests and by the benchmark. Everything here expects to run
inside an X session without a window manager (xvfb-run): a window is focused with
`xdotool windowfocus --sync` and keys are then sent to the focused window, since Qt
ignores synthetic events addressed to a window.
"""
import codecs
import os
import random
import shutil
import subprocess
import tempfile
import time

XVFB_SCREEN = "-screen 0 1024x768x24"


def xvfb_run():
    """The xvfb-run command line for a server of our own.

    Two xvfb-run -a started at the same moment can pick the same free display
    number; the loser's clients then talk to the other server and are refused.
    Starting the search at a random number keeps concurrent runs apart.
    """
    return ["xvfb-run", "-a", "-n", str(random.randint(100, 30000)), "-s", XVFB_SCREEN]
MAIN_TITLE = "Vacuola V1.13A"
CURRENT_VERSION = "Vacuola V1.13A"


class Failure(Exception):
    """A scenario's expectation that did not hold."""


def tools_missing():
    """Names of the programs that the X tests need and that are not installed."""
    return [t for t in ("xvfb-run", "xdotool") if shutil.which(t) is None]


def xdotool(*args, timeout=10):
    proc = subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=timeout, text=True)
    return proc.returncode, proc.stdout.strip()


def wait_until(predicate, timeout, what, interval=0.02):
    """Polls predicate until it returns something true; raises Failure after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for %s" % what)
        time.sleep(interval)


def visible_windows(title):
    """Ids of the mapped windows whose name is exactly title."""
    rc, out = xdotool("search", "--onlyvisible", "--name", "^%s$" % title)
    return out.split() if rc == 0 and out else []


def wait_window(title, timeout=15):
    return wait_until(lambda: (visible_windows(title) or [None])[0], timeout, "window %r" % title)


def wait_no_window(title, timeout=15):
    wait_until(lambda: not visible_windows(title), timeout, "window %r to go" % title)


def focus(window):
    rc, _ = xdotool("windowfocus", "--sync", window)
    if rc != 0:
        raise Failure("cannot focus window %s" % window)


def keys(*names, delay_ms=40):
    """Sends keys to the focused window."""
    rc, _ = xdotool("key", "--delay", str(delay_ms), *names)
    if rc != 0:
        raise Failure("xdotool key %s failed" % " ".join(names))


def geometry(window):
    """(x, y, width, height) of a window as the X server has it."""
    rc, out = xdotool("getwindowgeometry", "--shell", window)
    if rc != 0:
        raise Failure("no geometry for window %s" % window)
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def read_cp932(path):
    """The text of a CP932 file; raises Failure when it is not valid CP932."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        return codecs.decode(data, "cp932")
    except UnicodeDecodeError as e:
        raise Failure("%s is not CP932: %s" % (path, e))


def write_cp932(path, lines):
    with open(path, "wb") as f:
        f.write(codecs.encode("".join(line + "\r\n" for line in lines), "cp932"))


def ini_lines(options=None, folders=(), names=()):
    """A settings file of the current layout; options override the [Vacuola] values."""
    values = {"Version": CURRENT_VERSION, "LOG保存設定": "3", "読取専用属性の解除": "0",
              "エラーメッセージ抑止": "0"}
    values.update(options or {})
    lines = ["[Vacuola]"] + ["%s=%s" % kv for kv in values.items()]
    lines += ["[検索フォルダ]", "検索フォルダ数=%d" % len(folders)]
    lines += ["検索フォルダ%d=%s" % (i + 1, f) for i, f in enumerate(folders)]
    lines += ["[管理ファイル]", "管理ファイル数=%d" % len(names)]
    lines += ["管理ファイル%d=%s" % (i + 1, n) for i, n in enumerate(names)]
    return lines


def day_log_name(moment=None):
    return time.strftime("Vacuola-%Y%m%d.log", time.localtime(moment))


class Program:
    """A scratch copy of the program folder: the executable, its help file and, when
    given, a prepared settings file. Removed again by close()."""

    # Every process started, so that a failing scenario can end what it left running.
    started = []

    def __init__(self, executable, help_file, ini=None, parent=None):
        self.folder = tempfile.mkdtemp(prefix="vacuola-prog-", dir=parent)
        self.executable = os.path.join(self.folder, "vacuola")
        shutil.copy2(executable, self.executable)
        shutil.copy2(help_file, os.path.join(self.folder, "vacuola.hlp"))
        self.ini = os.path.join(self.folder, "vacuola.ini")
        self.runtime = tempfile.mkdtemp(prefix="vacuola-run-", dir=parent)
        if ini is not None:
            write_cp932(self.ini, ini)
        self.proc = None

    def environment(self):
        env = dict(os.environ)
        env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8", TZ=os.environ.get("TZ", "UTC"),
                   QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=self.runtime)
        env.pop("QT_SCALE_FACTOR", None)
        return env

    def start(self, *arguments):
        # Qt's warnings go to a file: a pipe nobody reads could fill up and stall the program.
        with open(os.path.join(self.folder, "stderr.txt"), "ab") as err:
            self.proc = subprocess.Popen([self.executable, *arguments], cwd=self.folder,
                                         env=self.environment(), stdout=subprocess.DEVNULL, stderr=err)
        Program.started.append(self.proc)
        return self.proc

    def log_path(self, moment=None):
        return os.path.join(self.folder, day_log_name(moment))

    def logs(self):
        return sorted(n for n in os.listdir(self.folder) if n.startswith("Vacuola-") and n.endswith(".log"))

    def wait_exit(self, timeout=20):
        """Waits for the program to end; returns (exit code, peak resident KiB)."""
        deadline = time.monotonic() + timeout
        while True:
            pid, status, usage = os.wait4(self.proc.pid, os.WNOHANG)
            if pid:
                self.proc.returncode = os.waitstatus_to_exitcode(status)
                return self.proc.returncode, usage.ru_maxrss
            if time.monotonic() > deadline:
                raise Failure("the program did not end within %d s" % timeout)
            time.sleep(0.02)

    def main_window(self, timeout=15):
        return wait_window(MAIN_TITLE, timeout)

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.runtime, ignore_errors=True)
