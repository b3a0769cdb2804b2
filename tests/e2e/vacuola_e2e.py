#!/usr/bin/env python3
"""End-to-end scenarios: the built program in a scratch program folder, driven with
real keyboard and mouse input on an X server.

    vacuola_e2e.py --program EXE --help-file HLP SCENARIO

Each scenario starts an Xvfb server of its own. The script exits 77 (skipped) when
Xvfb or xdotool is missing.
"""
import argparse
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import xsession as xs  # noqa: E402
from xsession import Failure, expect, expect_equal  # noqa: E402
from sweepfiles import (PRESET_SORTED, LEGEND_ALL, entries_below, make_dirs, make_file, log_blocks, folder_lines, wait_log_blocks, check_block, make_broad_tree)  # noqa: E402

SKIP = 77
def start_sweep(window):
    """File menu, then 開始(&S), by keyboard."""
    xs.focus(window)
    xs.keys("alt+f", "s")


def close_window(program, window):
    xs.focus(window)
    xs.keys("alt+F4")
    rc, _ = program.wait_exit()
    expect_equal(rc, 0, "exit code")


# Scenarios ---------------------------------------------------------------------------


def scenario_first_start(args, work):
    program = xs.Program(args.program, args.help_file, parent=work)
    program.start()
    notes = program.wait_window("Vacuola")
    xs.focus(notes)
    xs.keys("Return")
    xs.wait_no_window("Vacuola")
    window = program.main_window()
    x, y, width, height = xs.geometry(window)
    expect_equal((x, y, width, height), (435, 115, 214, 185), "designed placement")
    # The program's own icon, not Qt's: _NET_WM_ICON holds each size, 16 pixels first.
    icon = subprocess.run(["xprop", "-id", str(window), "_NET_WM_ICON"], stdout=subprocess.PIPE,
                          text=True, env=program.environment()).stdout
    expect(icon.startswith("_NET_WM_ICON(CARDINAL) = \tIcon (16 x 16):"), "window icon: %r" % icon[:80])
    expect("Icon (128 x 128):" in icon, "the window icon has no 128-pixel size")
    close_window(program, window)

    with open(program.ini, "rb") as f:
        data = f.read()
    expect(data.endswith(b"\r\n"), "the settings file does not end with CR LF")
    text = xs.read_cp932(program.ini)
    expect("\n" not in text.replace("\r\n", ""), "the settings file has a line end other than CR LF")
    expect_equal(text.split("\r\n")[:-1], [
        "[Vacuola]", "Version=Vacuola V1.13A", "上端位置=%d" % y, "左端位置=%d" % x, "縦幅=%d" % height,
        "横幅=%d" % width, "LOG保存設定=2", "読取専用属性の解除=0", "エラーメッセージ抑止=0",
        "[検索フォルダ]", "検索フォルダ数=0", "[管理ファイル]", "管理ファイル数=0"], "first-save layout")
    # Saved atomically: no temporary file is left beside it, and nothing else was written.
    expect_equal(sorted(set(os.listdir(program.folder)) - {"stderr.txt"}),
                 ["vacuola", "vacuola.hlp", "vacuola.ini"], "program folder after the first run")


def scenario_sweep(args, work):
    outside = os.path.join(work, "outside")
    make_dirs(outside, ["keep/empty"])
    make_file(outside, "keep/file.txt")
    root = os.path.join(work, "tree")
    make_dirs(root, ["chain/a/b/c", "content/empty", "content/full/x"])
    make_file(root, "thumbs/Thumbs.DB")
    make_file(root, "mixed/sub/desktop.ini")
    make_file(root, "mixed/sub/Desktop.INI")
    make_file(root, "unchecked/ehthumbs.db")
    make_file(root, "content/readme.txt")
    make_file(root, "content/full/x/data.bin")
    os.makedirs(os.path.join(root, "linked"))
    os.symlink(os.path.join(outside, "keep"), os.path.join(root, "linked", "to-outside"))
    os.symlink(os.path.join(outside, "keep"), os.path.join(root, "top-link"))
    outside_before = entries_below(outside)

    ini = xs.ini_lines({"LOG保存設定": "3"}, names=["desktop.ini", "THUMBS.db", "_thumbnl.sue", "_catalog.vix"])
    program = xs.Program(args.program, args.help_file, ini=ini, parent=work)
    # The first argument after "--" is the folder; the others are left.
    program.start("--", root, "-x")
    window = program.main_window()
    start_sweep(window)
    blocks = wait_log_blocks(program, 1)
    close_window(program, window)

    removed = ["chain", "chain/a", "chain/a/b", "chain/a/b/c", "content/empty", "mixed", "mixed/sub - 2",
               "thumbs - 3"]
    expect_equal(len(blocks), 1, "log blocks")
    check_block(blocks[0], root, "完了", 8, LEGEND_ALL,
                sorted((root + "/" + r for r in removed), key=str.lower))
    expect_equal(entries_below(root), sorted([
        "./", "content/", "content/readme.txt", "content/full/", "content/full/x/", "content/full/x/data.bin",
        "unchecked/", "unchecked/ehthumbs.db", "linked/", "linked/to-outside@", "top-link@"]),
        "tree after the sweep")
    expect_equal(entries_below(outside), outside_before, "folder outside the swept one")
    ini_text = xs.read_cp932(program.ini).split("\r\n")
    expect("検索フォルダ数=1" in ini_text and "検索フォルダ1=%s" % root in ini_text,
           "the command-line folder is not registered in the settings file")


def scenario_readonly(args, work):
    root = os.path.join(work, "tree")
    make_dirs(root, ["p/ro", "e"])
    make_file(root, "keep.txt")
    read_only = os.path.join(root, "p", "ro")
    os.chmod(read_only, 0o555)
    try:
        program = xs.Program(args.program, args.help_file, ini=xs.ini_lines(), parent=work)
        program.start(root)
        window = program.main_window()
        start_sweep(window)
        question = program.wait_window("警告")
        expect(not os.path.exists(program.log_path()), "the log was written before the question was answered")
        xs.focus(question)
        xs.keys("alt+n")
        xs.wait_no_window("警告")
        blocks = wait_log_blocks(program, 1)
        close_window(program, window)
        expect_equal(len(blocks), 1, "log blocks")
        check_block(blocks[0], root, "完了", 1, "", [root + "/e"])
        expect_equal(entries_below(root), ["./", "keep.txt", "p/", "p/ro/"], "tree after answering No")
        expect_equal(stat.S_IMODE(os.lstat(read_only).st_mode), 0o555, "mode of the kept read-only folder")
    finally:
        if os.path.isdir(read_only):
            os.chmod(read_only, 0o755)


def scenario_stop(args, work):
    branches, leaves = 64, 300
    folders = 1 + branches * (1 + leaves)
    root = os.path.join(work, "big")
    probes = make_broad_tree(root, branches, leaves)
    before = {p: os.stat(p).st_mtime_ns for p in probes}

    def sweep_started():
        if program.proc.poll() is not None:
            raise Failure("the program ended with exit code %d during the sweep" % program.proc.returncode)
        return any(not os.path.isdir(p) or os.stat(p).st_mtime_ns != mtime for p, mtime in before.items())

    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines({"LOG保存設定": "3"}), parent=work)
    program.start(root)
    window = program.main_window()
    # The stop is chosen once the first removal shows on disk: the sweep is under way. The
    # program is held still while each of the two commands is chosen, so that the sweep
    # cannot run ahead of the test, however fast it is; let go, it takes the keys at once.
    with program.held():
        start_sweep(window)
    xs.wait_until(sweep_started, 20, "the sweep to remove a folder", interval=0.001)
    with program.held():
        xs.keys("alt+f", "p")
    blocks = wait_log_blocks(program, 1)
    left = sum(len(dirs) for _, dirs, _ in os.walk(root)) + 1
    title = blocks[0][0]
    expect(title.endswith("　終了状態 = 中止"), "title of a stopped sweep: %r" % title)
    deleted = int(blocks[0][2].split(" = ")[1])
    expect_equal(len(folder_lines(blocks[0])), deleted, "folder lines of the stopped sweep")
    expect(0 < deleted < folders, "the stop left %d of %d folders removed" % (deleted, folders))
    expect_equal(left, folders - deleted, "folders left after the stop")
    expect(os.path.isdir(root), "the swept folder was removed although the sweep was stopped")

    # The window is idle again with the folder still selected: a second start sweeps the rest.
    start_sweep(window)
    blocks = wait_log_blocks(program, 2)
    # Alt+F4 must still close the window after a stop chosen from the File menu; when it
    # does not, File > 終了 ends the run so that the checks below still take place.
    xs.focus(window)
    xs.keys("alt+F4")
    try:
        program.wait_exit()
        alt_f4_closed = True
    except Failure:
        alt_f4_closed = False
        xs.focus(window)
        xs.keys("alt+f", "x")
        program.wait_exit()
    check_block(blocks[1], root, "完了", folders - deleted, "", sorted(
        set(folder_lines(blocks[1])), key=str.lower))
    expect(not os.path.lexists(root), "the second sweep left the emptied tree")
    ini_text = xs.read_cp932(program.ini).split("\r\n")
    expect("検索フォルダ数=0" in ini_text, "the removed search folder is still registered")
    expect(alt_f4_closed, "Alt+F4 did not close the window after a stop chosen from the File menu")


def scenario_restart(args, work):
    root = os.path.join(work, "tree")
    make_file(root, "keep.txt")
    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines({"LOG保存設定": "2"}), parent=work)

    # First run: register the folder, change the options, add the preset names and
    # uncheck them all, move and resize the window.
    program.start(root)
    window = program.main_window()
    xs.focus(window)
    xs.keys("alt+s", "r")
    xs.keys("alt+s", "n")
    xs.keys("alt+s", "l", "3")
    # File menu: 開始, 削除予定の確認, 検索フォルダ, 管理ファイル; its submenu: セット追加(&S), then
    # チェック全てOFF(&N).
    xs.keys("alt+f", "Down", "Down", "Down", "Right", "s")
    xs.keys("alt+f", "Down", "Down", "Down", "Right", "n")
    xs.xdotool("windowmove", "--sync", window, "100", "80")
    xs.xdotool("windowsize", "--sync", window, "400", "300")
    xs.wait_until(lambda: xs.geometry(window) == (100, 80, 400, 300), 10, "the window to move")
    close_window(program, window)
    with open(program.ini, "rb") as f:
        first = f.read()
    lines = xs.read_cp932(program.ini).split("\r\n")
    # Existing keys are replaced in place; the placement keys, new, go to the end of the section.
    expect_equal(lines[:9], ["[Vacuola]", "Version=Vacuola V1.13A", "LOG保存設定=3", "読取専用属性の解除=1",
                             "エラーメッセージ抑止=1", "上端位置=80", "左端位置=100", "縦幅=300", "横幅=400"],
                 "options and placement after the first run")
    expect_equal(lines[9:], ["[検索フォルダ]", "検索フォルダ数=1", "検索フォルダ1=%s" % root, "[管理ファイル]",
                             "管理ファイル数=4"] + ["管理ファイル%d=%s" % (i + 1, n) for i, n in
                                                enumerate(PRESET_SORTED)] + [""],
                 "folders and names after the first run")

    # Second run, no argument: the placement comes back; the folder is picked with the
    # mouse; a sweep shows every name checked again.
    make_file(root, "t/Thumbs.db")
    program.start()
    window = program.main_window()
    expect_equal(xs.geometry(window), (100, 80, 400, 300), "window placement after the restart")
    xs.focus(window)
    xs.xdotool("mousemove", "--window", window, "60", "72")
    xs.xdotool("click", "1")
    xs.keys("Down", "Return")
    start_sweep(window)
    blocks = wait_log_blocks(program, 1)
    close_window(program, window)
    check_block(blocks[0], root, "完了", 1, LEGEND_ALL, [root + "/t - 3"])
    with open(program.ini, "rb") as f:
        second = f.read()
    expect_equal(xs.read_cp932(program.ini), first.decode("cp932"), "settings file after the second run")
    expect(second == first, "the settings file changed between the runs")


def scenario_preview(args, work):
    """削除予定の確認 lists without touching anything; 削除開始 in its box then sweeps, keeping a folder
    unticked by keyboard and the folder above it."""
    root = os.path.join(work, "tree")
    make_dirs(root, ["a/b", "keep/e"])
    make_file(root, "keep/file.txt")
    make_file(root, "t/Thumbs.db")
    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines(names=["thumbs.db"]), parent=work)
    program.start(root)
    window = program.main_window()
    before = entries_below(root)
    xs.focus(window)
    xs.keys("alt+f", "t")
    box = program.wait_window("削除予定の確認")
    expect_equal(entries_below(root), before, "tree while the preview box is shown")
    expect(program.logs() == [], "the preview wrote a log")
    # The box opens on 閉じる; 削除開始 and the tree stand before it. In the tree: down to a, right to
    # its b, Space unticks b; 削除開始 then keeps b and a.
    xs.focus(box)
    xs.keys("shift+Tab", "shift+Tab", "Down", "Right", "space", "Tab", "Tab", "space")
    xs.wait_no_window("削除予定の確認")
    blocks = wait_log_blocks(program, 1)
    close_window(program, window)
    expect_equal(len(blocks), 1, "log blocks")
    check_block(blocks[0], root, "完了", 2, "0:thumbs.db\t", [root + "/keep/e", root + "/t - 0"])
    expect_equal(entries_below(root), ["./", "a/", "a/b/", "keep/", "keep/file.txt"], "tree after 削除開始")


class InstalledProgram(xs.Program):
    """The program of an installation, run with a home folder of its own: its settings
    and logs go to the home's XDG folders. Its working folder holds stderr.txt."""

    def __init__(self, executable, home, parent):
        self.folder = tempfile.mkdtemp(prefix="vacuola-cwd-", dir=parent)
        self.executable = executable
        self.home = home
        self.ini = os.path.join(home, ".config", "vacuola", "vacuola.ini")
        self.log_folder = os.path.join(home, ".local", "state", "vacuola")
        self.runtime = tempfile.mkdtemp(prefix="vacuola-run-", dir=parent)
        self.proc = None

    def environment(self):
        env = super().environment()
        env["HOME"] = self.home
        env.pop("XDG_CONFIG_HOME", None)
        env.pop("XDG_STATE_HOME", None)
        return env

    def log_path(self, moment=None):
        return os.path.join(self.log_folder, xs.day_log_name(moment))


def scenario_installed(args, work):
    expect(args.build_dir and args.cmake, "--build-dir and --cmake are needed")
    prefix = os.path.join(work, "prefix")
    done = subprocess.run([args.cmake, "--install", args.build_dir, "--prefix", prefix],
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    expect(done.returncode == 0, "cmake --install failed:\n" + done.stdout)
    # A prefix moved elsewhere stays an installation.
    moved = os.path.join(work, "moved")
    os.rename(prefix, moved)
    installed_before = entries_below(moved)
    home = os.path.join(work, "home")
    os.mkdir(home)
    root = os.path.join(work, "tree")
    make_dirs(root, ["a/b", "c"])
    make_file(root, "keep.txt")
    make_file(root, "c/Thumbs.db")

    program = InstalledProgram(os.path.join(moved, "bin", "vacuola"), home, work)
    program.start(root)
    notes = program.wait_window("Vacuola")
    xs.focus(notes)
    xs.keys("Return")
    xs.wait_no_window("Vacuola")
    window = program.main_window()
    xs.focus(window)
    # File menu: 開始, 削除予定の確認, 検索フォルダ, 管理ファイル; its submenu: セット追加(&S).
    xs.keys("alt+f", "Down", "Down", "Down", "Right", "s")
    start_sweep(window)
    blocks = wait_log_blocks(program, 1)
    close_window(program, window)
    check_block(blocks[0], root, "完了", 3, LEGEND_ALL, [root + "/a", root + "/a/b", root + "/c - 3"])
    ini_text = xs.read_cp932(program.ini).split("\r\n")
    expect("検索フォルダ1=%s" % root in ini_text and "管理ファイル数=4" in ini_text,
           "the settings file in the home does not hold the folder and the names")
    # The program's own folders in the home; what the libraries below it keep there is theirs.
    expect_equal(entries_below(os.path.join(home, ".config", "vacuola")), ["./", "vacuola.ini"], "~/.config/vacuola")
    # Beside the log, the journal that the sweep leaves for 元に戻す.
    logs = entries_below(program.log_folder)
    expect_equal([e for e in logs if not re.fullmatch(r"Vacuola-\d{8}-\d{9}\.undo", e)], ["./", xs.day_log_name()],
                 "~/.local/state/vacuola")
    expect_equal(len(logs), 3, "one journal in ~/.local/state/vacuola")
    for folder in (".config", ".config/vacuola", ".local", ".local/state", ".local/state/vacuola"):
        expect_equal(stat.S_IMODE(os.stat(os.path.join(home, folder)).st_mode), 0o700, "mode of ~/" + folder)

    # The command line, without a display, takes the names from the same settings
    # file and appends to the same log; the installation itself stays as installed.
    make_file(root, "d/desktop.ini")
    env = program.environment()
    env.pop("DISPLAY", None)
    done = subprocess.run([program.executable, "--sweep", root], env=env, cwd=program.folder,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    expect_equal(done.returncode, 0, "exit status of --sweep (stderr %r)" % done.stderr)
    out = done.stdout.decode("utf-8").splitlines()
    expect_equal(out[0], root + "/d - 2", "first line of --sweep")
    expect(out[-1].startswith("検索終了"), "summary of --sweep: %r" % out[-1])
    blocks = log_blocks(program.log_path())
    expect_equal(len(blocks), 2, "log blocks after --sweep")
    check_block(blocks[1], root, "完了", 1, LEGEND_ALL, [root + "/d - 2"])
    expect_equal(entries_below(moved), installed_before, "the installation after both runs")


def scenario_same_folder(args, work):
    # Two folders whose names differ only in letter case are two folders: each is
    # registered, and a sweep of one never touches the other.
    lower = os.path.join(work, "pics", "photos")
    upper = os.path.join(work, "pics", "Photos")
    for root in (lower, upper):
        make_dirs(root, ["empty"])
        make_file(root, "keep.txt")
    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines(folders=[lower]), parent=work)
    # First Photos (the other spelling of a registered folder), then photos, each named on the command line.
    rounds = [(upper, lower, ["./", "empty/", "keep.txt"]), (lower, upper, ["./", "keep.txt"])]
    for count, (swept, other, other_entries) in enumerate(rounds, start=1):
        program.start(swept)
        window = program.main_window()
        start_sweep(window)
        blocks = wait_log_blocks(program, count)
        close_window(program, window)
        check_block(blocks[-1], swept, "完了", 1, "", [swept + "/empty"])
        expect_equal(entries_below(swept), ["./", "keep.txt"], "the swept folder")
        expect_equal(entries_below(other), other_entries, "the folder of the other spelling")
        ini_text = xs.read_cp932(program.ini).split("\r\n")
        expect("検索フォルダ数=2" in ini_text, "both folders are registered")


def scenario_session(args, work):
    """A second start hands its folder to the window and ends; a SIGTERM ends a sweep
    as 中止 does, with its log block and the settings saved."""
    first = os.path.join(work, "first")
    make_file(first, "keep.txt")
    second = os.path.join(work, "second")
    probes = make_broad_tree(second, 64, 300)
    before = {p: os.stat(p).st_mtime_ns for p in probes}
    program = xs.Program(args.program, args.help_file, ini=xs.ini_lines({"LOG保存設定": "3"}), parent=work)
    program.start(first)
    window = program.main_window()
    # Named relative to the second start's own folder, which the window does not share.
    later = subprocess.run([program.executable, "second"], cwd=work, env=program.environment(), timeout=20)
    expect_equal(later.returncode, 0, "exit code of the second start")
    expect_equal(len(xs.visible_windows(xs.MAIN_TITLE)), 1, "windows after the second start")
    # The handed folder is the selected one: the sweep takes it.
    start_sweep(window)
    xs.wait_until(lambda: any(os.stat(p).st_mtime_ns != t for p, t in before.items()), 20,
                  "the sweep to remove a folder", interval=0.001)
    with program.held():
        os.kill(program.proc.pid, signal.SIGTERM)
    rc, _ = program.wait_exit()
    expect_equal(rc, 0, "exit code after SIGTERM")
    blocks = log_blocks(program.log_path())
    expect_equal(len(blocks), 1, "log blocks")
    expect(second in blocks[0][0] and blocks[0][0].endswith("　終了状態 = 中止"),
           "title of the ended sweep: %r" % blocks[0][0])
    ini_text = xs.read_cp932(program.ini).split("\r\n")
    expect_equal(ini_text[ini_text.index("[検索フォルダ]"):ini_text.index("[検索フォルダ]") + 4],
                 ["[検索フォルダ]", "検索フォルダ数=2", "検索フォルダ1=" + second, "検索フォルダ2=" + first],
                 "folders saved at the signal")


SCENARIOS = {
    "session": scenario_session,
    "preview": scenario_preview,
    "first_start": scenario_first_start,
    "sweep": scenario_sweep,
    "readonly": scenario_readonly,
    "stop": scenario_stop,
    "restart": scenario_restart,
    "installed": scenario_installed,
    "same_folder": scenario_same_folder,
}


def run_scenario(args, server):
    """Runs one scenario in a scratch folder; prints why it failed and returns False."""
    work = tempfile.mkdtemp(prefix="vacuola-e2e-", dir=xs.scratch_parent())
    try:
        SCENARIOS[args.scenario](args, work)
        return True
    except Failure as e:
        print("FAIL %s: %s" % (args.scenario, e))
        print(server.state())
        for path, _, files in os.walk(work):
            if "stderr.txt" in files:
                with open(os.path.join(path, "stderr.txt"), errors="replace") as f:
                    sys.stdout.write(f.read())
        return False
    finally:
        # Clean up also after a failure: a program left running and every scratch folder.
        for path, dirs, _ in os.walk(work):
            for d in dirs:
                full = os.path.join(path, d)
                if not os.path.islink(full):
                    os.chmod(full, 0o755)
        for proc in xs.Program.started:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
        shutil.rmtree(work, ignore_errors=True)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--program", required=True)
    ap.add_argument("--help-file", required=True)
    ap.add_argument("--build-dir", help="the build folder that the installed scenario installs")
    ap.add_argument("--cmake", help="the cmake that installs it")
    ap.add_argument("scenario", choices=sorted(SCENARIOS))
    args = ap.parse_args()

    missing = xs.tools_missing()
    if missing:
        print("skipped: %s not installed" % ", ".join(missing))
        return SKIP

    # A display of our own, so that nothing else on it takes the focus or the keys.
    try:
        with xs.XServer() as server:
            if not run_scenario(args, server):
                return 1
    except Failure as e:
        print("FAIL %s: %s" % (args.scenario, e))
        return 1
    print("PASS %s" % args.scenario)
    return 0


if __name__ == "__main__":
    sys.exit(main())
