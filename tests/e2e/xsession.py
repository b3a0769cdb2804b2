"""Drives the real Vacuola window on an X display with xdotool, as a user would.

Used by the end-to-end tests and by the benchmark. Everything here expects to run
inside an X server without a window manager (XServer below): a window is focused with
`xdotool windowfocus --sync` and keys are then sent to the focused window, since Qt
ignores synthetic events addressed to a window.
"""
import codecs
import contextlib
import os
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time

XVFB_SCREEN = ["-screen", "0", "1024x768x24"]
FAMILY_WILD = 0xFFFF
MAIN_TITLE = "Vacuola V1.13A"
CURRENT_VERSION = "Vacuola V1.13A"


class Failure(Exception):
    """A scenario's expectation that did not hold."""


def expect(condition, message):
    if not condition:
        raise Failure(message)


def expect_equal(actual, expected, what):
    if actual != expected:
        raise Failure("%s:\n  expected %r\n  actual   %r" % (what, expected, actual))


def scratch_parent():
    """Where scratch trees go: a memory file system (/dev/shm) where there is one, else the
    temporary folder. On a disk, making and removing thousands of folders takes whatever
    time the disk's other users leave, many times the program's own."""
    shm = "/dev/shm"
    return shm if os.path.isdir(shm) and os.access(shm, os.W_OK) else None


def tools_missing():
    """Names of the programs that the X tests need and that are not installed."""
    return [t for t in ("Xvfb", "xdotool") if shutil.which(t) is None]


def write_cookie(path):
    """An authority file with one fresh MIT-MAGIC-COOKIE-1 for any display number.

    Each field is a big-endian 16-bit length and its bytes. The wildcard family with
    empty address and number matches whatever display the server picks; the server
    itself loads every cookie in the file regardless of those fields.
    """
    def field(data):
        return struct.pack(">H", len(data)) + data

    with open(path, "wb") as f:
        f.write(struct.pack(">H", FAMILY_WILD) + field(b"") + field(b"") + field(b"MIT-MAGIC-COOKIE-1")
                + field(os.urandom(16)))
    os.chmod(path, 0o600)


class XServer:
    """An Xvfb server of our own while a with block runs; DISPLAY and XAUTHORITY point
    to it meanwhile, for xdotool and for the programs started, and
    DBUS_SESSION_BUS_ADDRESS to its session bus (SessionBus below).

    Xvfb picks a free display number itself (-displayfd) and reports it once it accepts
    connections, so two servers started together never share a number, even when a
    number is taken only by another server's abstract socket. The cookie of our own
    means that a client which reached some other server is refused instead of driving
    the wrong windows. Without -noreset the server would reset whenever its last client
    goes, as after the readiness check or between two runs of the program, and a
    client that connects during the reset is refused. Xvfb's own messages are kept
    for the failure report.
    """

    def __init__(self, timeout=20):
        self.folder = tempfile.mkdtemp(prefix="vacuola-x-")
        self.timeout = timeout
        self.proc = None
        self.display = None
        self.bus = None
        self.saved = {}

    def messages(self):
        try:
            with open(os.path.join(self.folder, "xvfb.txt"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def state(self):
        """What became of the server, for a failure report."""
        if self.proc is None or self.proc.poll() is None:
            return "Xvfb on %s is running" % self.display
        return "Xvfb on %s has ended with exit code %d:\n%s" % (self.display, self.proc.returncode, self.messages())

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self._stop()
            raise
        return self

    def __exit__(self, *exc):
        self._stop()
        return False

    def _start(self):
        auth = os.path.join(self.folder, "Xauthority")
        write_cookie(auth)
        read_end, write_end = os.pipe()
        try:
            with open(os.path.join(self.folder, "xvfb.txt"), "wb") as err:
                command = ["Xvfb", "-displayfd", str(write_end), *XVFB_SCREEN, "-nolisten", "tcp", "-noreset",
                           "-auth", auth]
                self.proc = subprocess.Popen(command, pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                                             stdout=subprocess.DEVNULL, stderr=err)
        finally:
            os.close(write_end)
        try:
            number = read_line(read_end, self.timeout)
        finally:
            os.close(read_end)
        if not number:
            raise Failure("Xvfb did not start:\n%s" % self.messages())
        self.display = ":" + number
        for name, value in (("DISPLAY", self.display), ("XAUTHORITY", auth)):
            self.saved[name] = os.environ.get(name)
            os.environ[name] = value
        rc, out = xdotool("getdisplaygeometry")
        if rc != 0:
            raise Failure("the X server on %s does not answer: %s\n%s" % (self.display, out, self.state()))
        self.bus = SessionBus(self.folder)
        self.saved["DBUS_SESSION_BUS_ADDRESS"] = os.environ.get("DBUS_SESSION_BUS_ADDRESS")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.bus.start()

    def _stop(self):
        if self.bus is not None:
            self.bus.stop()
        for name, value in self.saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value
        self.saved = {}
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)


class SessionBus:
    """The D-Bus session bus of the programs started on our X server, as a desktop has
    one: a dbus-daemon of our own listening in folder, or, where dbus-daemon is not
    installed, an address with nothing behind it.

    Either way the address is set: without one, libdbus would autolaunch a bus for the
    display through dbus-launch (dbus-x11), which outlives the test and records itself
    in the home's .dbus folder; and a bus of the desktop the tests run in would let its
    services see the test's windows.
    """

    def __init__(self, folder, timeout=20):
        self.socket = os.path.join(folder, "bus")
        self.timeout = timeout
        self.proc = None

    def start(self):
        """The address for DBUS_SESSION_BUS_ADDRESS."""
        address = "unix:path=" + self.socket
        if shutil.which("dbus-daemon") is None:
            return address
        read_end, write_end = os.pipe()
        try:
            self.proc = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address,
                                          "--print-address=%d" % write_end], pass_fds=(write_end,),
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        try:
            printed = read_line(read_end, self.timeout)
        finally:
            os.close(read_end)
        if not printed:
            raise Failure("dbus-daemon did not start (%s)" % self.proc.poll())
        return printed

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def read_line(fd, timeout):
    """The first line written to the pipe fd within timeout seconds, without its end;
    empty when none came."""
    data = b""
    deadline = time.monotonic() + timeout
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            break
        chunk = os.read(fd, 256)
        if not chunk:
            break
        data += chunk
    return data.decode("ascii", "replace").strip()


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


def wait_window(title, timeout=15, proc=None):
    """Id of the first mapped window named title; fails at once when proc, the program
    that is to show it, has ended."""
    def shown():
        if proc is not None and proc.poll() is not None:
            raise Failure("the program ended with exit code %d before window %r appeared" % (proc.returncode, title))
        return (visible_windows(title) or [None])[0]

    return wait_until(shown, timeout, "window %r" % title)


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

    @contextlib.contextmanager
    def held(self):
        """Holds the program still (SIGSTOP) while the with block runs, then lets it go on.
        Keys sent meanwhile wait for it in the X server's queue."""
        os.kill(self.proc.pid, signal.SIGSTOP)
        try:
            _, status = os.waitpid(self.proc.pid, os.WUNTRACED)
            if not os.WIFSTOPPED(status):
                self.proc.returncode = os.waitstatus_to_exitcode(status)
                raise Failure("the program ended with exit code %d" % self.proc.returncode)
            yield
        finally:
            if self.proc.returncode is None:
                os.kill(self.proc.pid, signal.SIGCONT)

    def wait_window(self, title, timeout=15):
        return wait_window(title, timeout, self.proc)

    def main_window(self, timeout=15):
        return self.wait_window(MAIN_TITLE, timeout)

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        shutil.rmtree(self.folder, ignore_errors=True)
        shutil.rmtree(self.runtime, ignore_errors=True)
