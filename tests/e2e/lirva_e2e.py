"""Driving Windows programs under Wine from outside, for the end-to-end tests.

A test owns an Xvfb display and a Wine prefix of its own, starts lirva-driver.exe
in that prefix and asks it, line by line, to start programs, find their windows,
press keys, fill in dialogs and read back what the windows show:

    with Xvfb() as x, WinePrefix(os.path.join(BUILD, "wine", "e2e"), x.display) as wine:
        with Driver(wine, os.path.join(BUILD, "lirva-driver.exe")) as d:
            pid = d.start(os.path.join(BUILD, "lirva.exe"))
            main = d.find_window(caption="Lirva", pid=pid, unowned=True)
            d.keys(main, "ctrl+n")
            box = d.answer_message_box("yes", pid=pid)

Texts are the programs' 8-bit texts: each byte is one character of a Python str
(0x00-0xFF, as in Latin-1).  Window handles are ints.  Every call that waits takes a
timeout in seconds and raises DriverError when it runs out; nothing waits forever.

Python 3 standard library only.
"""
import argparse
import collections
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests"))
from junit import write_junit  # noqa: E402
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")

Window = collections.namedtuple("Window", "hwnd cls caption owner visible enabled pid")
Child = collections.namedtuple("Child", "hwnd cls text id visible enabled pid")
State = collections.namedtuple("State", "visible enabled rect")
MessageBox = collections.namedtuple("MessageBox", "hwnd caption text buttons")

# Button ids of the system dialogs.
IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO = 1, 2, 3, 4, 5, 6, 7


class DriverError(Exception):
    pass


def windows_build():
    """The Windows build folder whose programs run on this machine (the 32-bit build
    where it runs 32-bit programs, else the 64-bit one)."""
    return subprocess.run([WINE_RUN, "--build"], stdout=subprocess.PIPE, check=True,
                          universal_newlines=True).stdout.strip()


def win_path(path):
    """The Windows name (drive Z:) of a Linux path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wait_until(check, timeout=5.0, interval=0.05, what="condition"):
    """Calls check() until it returns something true; returns that value.
    Raises AssertionError naming `what` when `timeout` seconds pass first."""
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() >= end:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


def read_lines(path):
    """The lines of a text file, [] while it does not exist (latin-1, no line ends)."""
    try:
        with open(path, "rb") as f:
            return f.read().decode("latin-1").splitlines()
    except FileNotFoundError:
        return []


# ------------------------------------------------------------------ protocol
def quote(text):
    """A text as one quoted word of the driver's protocol."""
    if isinstance(text, int):
        return str(text)
    out = ['"']
    for ch in text:
        code = ord(ch)
        if code > 0xFF:
            raise ValueError("only 8-bit text can be sent: %r" % ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch == '"':
            out.append('\\"')
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\t":
            out.append("\\t")
        elif code < 0x20 or code >= 0x7F:
            out.append("\\x%02x" % code)
        else:
            out.append(ch)
    out.append('"')
    return "".join(out)


_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "\\": "\\", '"': '"'}


def parse_reply(line):
    """'ok 0x12 "a b" ; 3' -> (True, [[0x12, 'a b'], [3]]); err -> (False, message)."""
    words, i = [], 0
    while i < len(line):
        if line[i] == " ":
            i += 1
            continue
        if line[i] == '"':
            i += 1
            text = []
            while line[i] != '"':
                if line[i] == "\\":
                    e = line[i + 1]
                    if e == "x":
                        text.append(chr(int(line[i + 2:i + 4], 16)))
                        i += 4
                        continue
                    text.append(_ESCAPES[e])
                    i += 2
                    continue
                text.append(line[i])
                i += 1
            i += 1
            words.append(("".join(text), True))
            continue
        end = line.find(" ", i)
        end = len(line) if end < 0 else end
        words.append((line[i:end], False))
        i = end
    if not words or words[0] not in (("ok", False), ("err", False)):
        raise DriverError("malformed reply: %r" % line)
    if words[0][0] == "err":
        return False, words[1][0] if len(words) > 1 else ""
    records, current = [], []
    for value, quoted in words[1:]:
        if not quoted and value == ";":
            records.append(current)
            current = []
        elif quoted:
            current.append(value)
        else:
            current.append(int(value, 0) if re.match(r"^-?(0x[0-9a-fA-F]+|\d+)$", value) else value)
    if current or records:
        records.append(current)
    return True, records


# -------------------------------------------------------------- environment
class Xvfb:
    """A virtual X display of its own: Xvfb(":73") uses that number, Xvfb() lets
    the server pick a free one."""

    def __init__(self, display=None, size="1024x768x24"):
        self.display = display
        self.size = size
        self.process = None

    def start(self):
        if self.display:
            self.process = subprocess.Popen(["Xvfb", self.display, "-screen", "0", self.size, "-nolisten", "tcp"],
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            socket = "/tmp/.X11-unix/X" + self.display.lstrip(":")
            wait_until(lambda: os.path.exists(socket) or self.process.poll() is not None, 10, what="Xvfb")
            if self.process.poll() is not None:
                raise RuntimeError("Xvfb %s did not start" % self.display)
            return self
        r, w = os.pipe()
        self.process = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", self.size, "-nolisten", "tcp"],
                                        stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL, pass_fds=(w,))
        os.close(w)
        with os.fdopen(r) as f:
            number = f.readline().strip()
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number
        return self

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


class WinePrefix:
    """A test's own Wine prefix (made from the project's template on first use) on a
    display; runs Wine programs in it and ends its wineserver with stop()."""

    def __init__(self, prefix, display, extra_env=None):
        self.prefix = os.path.abspath(prefix)
        self.display = display
        self.extra_env = dict(extra_env or {})

    def env(self):
        env = dict(os.environ)
        env.update({"DISPLAY": self.display, "LIRVA_WINEPREFIX": self.prefix, "WINEPREFIX": self.prefix,
                    "WINEDEBUG": env.get("WINEDEBUG", "-all")})
        env.update(self.extra_env)
        return env

    def start(self):
        """Makes the prefix if needed, keeps one wineserver for it until stop(), and
        starts its background services with their output away from any pipe of ours
        (they would otherwise hold a test's pipe open)."""
        subprocess.run([WINE_RUN, "--prepare"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, timeout=300, check=True)
        subprocess.run(["wineserver", "-p"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        self.run("cmd", "/c", "exit", timeout=120)
        return self

    def run(self, *args, timeout=60):
        """Runs a Windows program to its end (no pipes shared with it)."""
        return subprocess.run([WINE_RUN] + list(args), env=self.env(), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout).returncode

    def reg_add(self, key, name, value, kind="REG_SZ"):
        code = self.run("reg", "add", key, "/v", name, "/t", kind, "/d", str(value), "/f")
        if code != 0:
            raise RuntimeError("reg add %s %s failed (%d)" % (key, name, code))

    def record_browser(self, log_path):
        """Every web page the programs open from now on is appended as one line to
        `log_path` instead of opening a browser (Wine's browser launcher runs the
        commands listed under HKCU\\Software\\Wine\\WineBrowser, value Browsers)."""
        script = os.path.join(self.prefix, "record-browser.sh")
        with open(script, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' % log_path)
        os.chmod(script, 0o755)
        self.reg_add(r"HKCU\Software\Wine\WineBrowser", "Browsers", script)
        return script

    def screenshot(self, path):
        """The whole virtual screen as a PNG file."""
        subprocess.run(["import", "-window", "root", path], env=self.env(), check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


# ------------------------------------------------------------------- driver
def _options(**options):
    words = []
    for name, value in options.items():
        if value is None or value is False:
            continue
        if value is True:
            value = 1
        if name == "timeout":
            value = int(value * 1000)
        if name == "cls":
            name = "class"
        if isinstance(value, (list, tuple)):
            words.extend("%s=%s" % (name, quote(v)) for v in value)
        else:
            words.append("%s=%s" % (name, quote(value)))
    return words


class Driver:
    """lirva-driver.exe running in a Wine prefix; one method per command. Programs
    started through it are killed by close()."""

    def __init__(self, wine, exe, stderr_path=None):
        self.wine = wine
        self.started = []
        self._buffer = b""
        self.stderr = open(stderr_path or os.devnull, "ab")
        self.process = subprocess.Popen([WINE_RUN, exe], env=wine.env(), stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=self.stderr, start_new_session=True)
        self.ping(timeout=120)

    # -- plumbing
    def call(self, name, *words, timeout=None, **options):
        """Sends one command; returns its records, raises DriverError on "err"."""
        line = " ".join([name] + [quote(w) for w in words] + _options(timeout=timeout, **options))
        if self.process.poll() is not None:
            raise DriverError("driver has ended")
        self.process.stdin.write(line.encode("ascii") + b"\n")
        self.process.stdin.flush()
        ok, value = parse_reply(self._read_line(30 + (timeout or 5)))
        if not ok:
            raise DriverError("%s: %s" % (name, value))
        return value

    def _read_line(self, seconds):
        end = time.monotonic() + seconds
        fd = self.process.stdout.fileno()
        while b"\n" not in self._buffer:
            left = end - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                self._kill()
                raise DriverError("driver did not answer within %d s" % seconds)
            chunk = os.read(fd, 65536)
            if not chunk:
                raise DriverError("driver ended without answering")
            self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode("ascii").rstrip("\r")

    def _kill(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()

    def close(self):
        """Kills every program started through the driver, then ends the driver."""
        try:
            for pid in self.started:
                try:
                    self.kill(pid)
                except DriverError:
                    pass
            if self.process.poll() is None:
                self.call("quit")
                self.process.wait(10)
        except (DriverError, OSError, subprocess.TimeoutExpired):
            pass
        self._kill()
        self.stderr.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    @staticmethod
    def _one(records):
        return records[0] if records else []

    # -- processes
    def ping(self, timeout=None):
        return self._one(self.call("ping", timeout=timeout))[0]

    def start(self, program, *args, cwd=None, env=None, output=None):
        """Starts a program with arguments; returns its Windows process id.
        `program`, `cwd` and `output` may be Linux paths; the arguments go as they
        are (convert paths among them with win_path). An argument with blanks is
        quoted. `env` maps variable names to values for the program;
        `output` receives its standard output and error."""
        def arg(a):
            a = str(a)
            return '"%s"' % a if (" " in a or not a) else a
        if program.startswith("/"):
            program = win_path(program)
        line = " ".join(arg(a) for a in (program,) + args)
        pid = self._one(self.call(
            "start", line, cwd=win_path(cwd) if cwd and cwd.startswith("/") else cwd,
            env=["%s=%s" % kv for kv in (env or {}).items()] or None,
            output=win_path(output) if output else None))[0]
        self.started.append(pid)
        return pid

    def wait_exit(self, pid, timeout=10.0):
        """The exit code, once the process has ended."""
        return self._one(self.call("wait", pid, timeout=timeout))[0]

    def exit_code(self, pid):
        """None while the process runs, else its exit code."""
        record = self._one(self.call("exitcode", pid))
        return None if record[0] == "running" else record[1]

    def kill(self, pid):
        self.call("kill", pid)

    # -- windows
    def windows(self, cls=None, caption=None, contains=None, pid=None, unowned=False, visible=False,
                child=None):
        return [Window(*r) for r in self.call("windows", cls=cls, caption=caption, contains=contains,
                                               pid=pid, unowned=unowned, visible=visible, child=child)]

    def find_window(self, cls=None, caption=None, contains=None, pid=None, unowned=False, visible=True,
                    child=None, timeout=5.0):
        """The first matching top-level window, waiting for it to appear (and, unless
        visible=False, to be shown: a dialog is shown once its controls exist)."""
        return Window(*self._one(self.call("find", cls=cls, caption=caption, contains=contains, pid=pid,
                                           unowned=unowned, visible=visible, child=child,
                                           timeout=timeout))).hwnd

    def wait_gone(self, hwnd, timeout=5.0):
        self.call("gone", hwnd, timeout=timeout)

    def children(self, hwnd):
        return [Child(*r) for r in self.call("children", hwnd)]

    def state(self, hwnd, id=None):
        r = self._one(self.call("state", hwnd, id=id))
        return State(bool(r[0]), bool(r[1]), tuple(r[2:6]))

    def get_text(self, hwnd, id=None, wide=False):
        """The window's text; with wide=True through the wide-character messages, in
        any script (else as the ANSI code page gives it)."""
        if not wide:
            return self._one(self.call("gettext", hwnd, id=id))[0]
        return self._one(self.call("gettext", hwnd, id=id, wide=1))[0].encode("latin-1").decode("utf-8")

    def set_text(self, hwnd, text, id=None, wide=False):
        if not wide:
            self.call("settext", hwnd, text, id=id)
        else:
            self.call("settext", hwnd, text.encode("utf-8").decode("latin-1"), id=id, wide=1)

    def focus(self, hwnd):
        """(hwnd, control id, class) of the focused window in hwnd's thread."""
        return tuple(self._one(self.call("focus", hwnd)))

    def foreground(self):
        return self._one(self.call("foreground"))[0]

    def place(self, hwnd, x, y, width, height):
        """Moves and sizes a top-level window."""
        self.call("place", hwnd, x, y, width, height)

    def activate(self, hwnd, id=None):
        self.call("activate", hwnd, id=id)

    # -- messages
    def command(self, hwnd, command_id, code=0, send=False, lparam=None, timeout=None):
        """WM_COMMAND, posted (or sent when send=True: returns the result)."""
        r = self.call("command", hwnd, command_id, code=code, send=send, lparam=lparam, timeout=timeout)
        return self._one(r)[0] if send else None

    def close_window(self, hwnd):
        self.call("close", hwnd)

    def send(self, hwnd, message, wparam=0, lparam=0, id=None, timeout=None):
        return self._one(self.call("send", hwnd, message, wparam, lparam, id=id, timeout=timeout))[0]

    def post(self, hwnd, message, wparam=0, lparam=0, id=None):
        self.call("post", hwnd, message, wparam, lparam, id=id)

    def sync(self, hwnd, timeout=None):
        self.call("sync", hwnd, timeout=timeout)

    def click(self, hwnd, id=None):
        self.call("click", hwnd, id=id)

    def menu_state(self, hwnd, command_id):
        """(enabled, checked, text) of a menu-bar item."""
        r = self._one(self.call("menu", hwnd, command_id))
        return bool(r[0]), bool(r[1]), r[2]

    # -- keyboard and mouse
    def keys(self, hwnd, *chords, id=None):
        """Presses keys in the window (or its control): "ctrl+n", "f9", "alt+f4"."""
        self.call("key", hwnd, *chords, id=id)

    def type_text(self, hwnd, text, id=None, wide=False):
        if not wide:
            self.call("type", hwnd, text, id=id)
        else:
            self.call("type", hwnd, text.encode("utf-8").decode("latin-1"), id=id, wide=1)

    def mouse(self, hwnd, x, y, id=None, button="left", double=False):
        self.call("mouse", hwnd, x, y, id=id, button=button, double=double)

    # -- controls
    def list_rows(self, hwnd, id=None, row=None, wide=False):
        """Every row of a list view as a list of column texts (in any script with
        wide=True)."""
        if not wide:
            return self.call("rows", hwnd, id=id, row=row)
        return [[t.encode("latin-1").decode("utf-8") for t in r] for r in self.call("rows", hwnd, id=id, row=row, wide=1)]

    def list_columns(self, hwnd, id=None):
        return [(r[0], r[1]) for r in self.call("columns", hwnd, id=id)]

    def list_row_rect(self, hwnd, row, id=None):
        """(left, top, right, bottom) of a row in the list's client coordinates."""
        return tuple(self._one(self.call("rowrect", hwnd, row, id=id)))

    def list_count(self, hwnd, id=None, timeout=None):
        return self._one(self.call("count", hwnd, id=id, timeout=timeout))[0]

    def list_selected(self, hwnd, id=None):
        return list(self._one(self.call("selected", hwnd, id=id)))

    def list_select(self, hwnd, rows, id=None, add=False):
        """Selects the rows (clearing the others unless add=True); returns the
        selection afterwards."""
        return list(self._one(self.call("select", hwnd, *(list(rows) or ["none"]), id=id, add=add)))

    def combo(self, hwnd, id=None):
        """(index, text) of a combo box's current entry."""
        return tuple(self._one(self.call("combo", hwnd, id=id)))

    def combo_items(self, hwnd, id=None):
        return [r[0] for r in self.call("comboitems", hwnd, id=id)]

    def combo_choose(self, hwnd, entry, id=None, timeout=None):
        """Selects an entry by index or text, as the user does; returns its index."""
        return self._one(self.call("choose", hwnd, entry if isinstance(entry, str) else str(entry),
                                   id=id, timeout=timeout))[0]

    def status_text(self, hwnd, id=None, part=None):
        """The text of one part of a status bar, or the list of all parts' texts."""
        r = self.call("status", hwnd, id=id, part=part)
        return r[0][0] if part is not None else [x[0] for x in r]

    # -- system dialogs
    def message_box(self, pid=None, caption=None, contains=None, timeout=5.0):
        """Waits for a message box; returns its caption, text and buttons {id: text}."""
        r = self.call("msgbox", pid=pid, caption=caption, contains=contains, timeout=timeout)
        return MessageBox(r[0][0], r[0][1], r[0][2], {b[0]: b[1] for b in r[1:]})

    def press(self, hwnd, button):
        """Presses a dialog button by id or name ("ok", "yes", "no", "cancel", ...)."""
        self.call("press", hwnd, button if isinstance(button, str) else str(button))

    def answer_message_box(self, button, pid=None, caption=None, contains=None, timeout=5.0):
        """Waits for a message box, presses a button and waits for it to close;
        returns what the box showed."""
        box = self.message_box(pid=pid, caption=caption, contains=contains, timeout=timeout)
        self.press(box.hwnd, button)
        self.wait_gone(box.hwnd, timeout)
        return box

    def open_files(self, names, folder=None, pid=None, timeout=10.0, wide=False):
        """Fills in the file-open dialog: goes to `folder` (a Linux or Windows path)
        and opens `names` (one name or full path, or a list of names in the folder).
        With wide=True the names may be in any script."""
        if isinstance(names, (list, tuple)):
            names = " ".join('"%s"' % n for n in names)
        if folder and folder.startswith("/"):
            folder = win_path(folder)
        if not wide:
            self.call("openfile", names, folder=folder, pid=pid, timeout=timeout)
            return
        utf8 = lambda text: text.encode("utf-8").decode("latin-1") if text else text  # noqa: E731
        self.call("openfile", utf8(names), folder=utf8(folder), pid=pid, timeout=timeout, wide=1)


# ------------------------------------------------------------------ running
def suite_arguments(default_prefix_name):
    """The command line that every end-to-end suite takes."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", help="the Windows build folder (default: the one that runs here)")
    ap.add_argument("--prefix", help="Wine prefix (default build/wine/%s)" % default_prefix_name)
    ap.add_argument("--display", help="an X display to use instead of a new Xvfb")
    ap.add_argument("--own-display", action="store_true", help="start Xvfb on --display")
    ap.add_argument("--xml")
    ap.add_argument("-k", default="")
    return ap.parse_args()


def suite_main(suite, tests, session_class, known_bugs=None):
    """A suite's command line: its arguments, its session, its tests; the exit code."""
    args = suite_arguments(suite)
    return run_suite(suite, tests, session_class(args), args, known_bugs)


def test_collector():
    """A suite's list of tests and the decorator that adds a function to it."""
    tests = []

    def test(fn):
        tests.append(fn)
        return fn
    return tests, test


def eq(actual, expected, what=""):
    """Asserts equality, saying what differs (long values shortened)."""
    def shown(value):
        text = repr(value)
        return text if len(text) < 200 else text[:200] + "..."
    assert actual == expected, "%sexpected %s, got %s" % (what + ": " if what else "", shown(expected), shown(actual))


def run_suite(suite, tests, session, args, known_bugs=None):
    """Runs each test with the session (a screenshot goes with every failure), ends
    the programs a test left running, writes the JUnit file and prints a summary.
    A failing test named in known_bugs counts as skipped, with its reason."""
    known_bugs = known_bugs or {}
    results = []  # (name, failure text or None, skip reason or None, seconds)
    try:
        for fn in tests:
            if args.k not in fn.__name__:
                continue
            start = time.time()
            try:
                fn(session)
                results.append((fn.__name__, None, None, time.time() - start))
                note = " (known bug fixed? %s)" % known_bugs[fn.__name__] if fn.__name__ in known_bugs else ""
                print("PASS", fn.__name__ + note, flush=True)
            except Exception:
                msg = traceback.format_exc()
                shot = session.screenshot(fn.__name__)
                if shot:
                    msg += "screenshot: %s\n" % shot
                if fn.__name__ in known_bugs:
                    reason = "known bug: %s\n%s" % (known_bugs[fn.__name__], msg)
                    results.append((fn.__name__, None, reason, time.time() - start))
                    print("SKIP", fn.__name__)
                    print(reason, flush=True)
                else:
                    results.append((fn.__name__, msg, None, time.time() - start))
                    print("FAIL", fn.__name__)
                    print(msg, flush=True)
            session.end_programs()
    finally:
        session.close()
    if args.xml:
        write_junit(args.xml, suite, results)
    failed = sum(1 for r in results if r[1])
    skipped = sum(1 for r in results if r[2])
    print("%s: %d of %d cases passed, %d skipped as known bugs" % (
        suite, len(results) - failed - skipped, len(results), skipped))
    return 1 if failed else 0


class SuiteSession:
    """What every end-to-end suite starts with: an emptied work folder under the
    build, an Xvfb (unless a display is given), a Wine prefix that records the web
    pages opened, and the driver. Suites add their own fixtures."""

    def __init__(self, args, name):
        self.build = os.path.abspath(args.build or windows_build())
        self.work = os.path.join(self.build, name + "-work")
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.shots = os.path.join(self.build, "test-results", name + "-shots")
        self.xvfb = None
        display = args.display
        if not display or args.own_display:
            self.xvfb = Xvfb(display).start()
            display = self.xvfb.display
        self.wine = WinePrefix(args.prefix or os.path.join(ROOT, "build", "wine", name), display).start()
        self.web_log = os.path.join(self.work, "web.txt")
        self.wine.record_browser(self.web_log)
        self.driver = self.new_driver()

    def new_driver(self):
        return Driver(self.wine, os.path.join(self.build, "lirva-driver.exe"),
                      os.path.join(self.work, "driver-stderr.txt"))

    def screenshot(self, name):
        """A picture of the screen for a failing test; None when it can't be taken."""
        os.makedirs(self.shots, exist_ok=True)
        try:
            return self.wine.screenshot(os.path.join(self.shots, name + ".png"))
        except (subprocess.SubprocessError, OSError):
            return None

    def reg(self, *args):
        """Runs reg.exe (as the program's own bitness); its exit code. The program's
        machine-wide settings live in the 32-bit view in both builds, so keys below
        HKLM\\Software\\Vantoral go there; other keys are the system's own."""
        out = os.path.join(self.work, "reg-output.txt")
        if len(args) > 1 and args[1].upper().startswith("HKLM\\SOFTWARE\\VANTORAL"):
            args += ("/reg:32",)
        try:
            pid = self.driver.start("reg", *args, output=out)
        except DriverError:
            # Wine now and then fails a process start under load (internal error
            # 1359); the registry tool is only the tests' helper, so once more.
            time.sleep(1)
            pid = self.driver.start("reg", *args, output=out)
        return self.driver.wait_exit(pid, 30)

    def reg_value(self, key, name):
        """A registry text value, or None."""
        out = os.path.join(self.work, "reg-output.txt")
        if self.reg("query", key, "/v", name) != 0:
            return None
        for line in read_lines(out):
            m = re.match(r"^\s+(.+?)\s{4}(REG_\w+)(?:\s{4}(.*))?$", line)
            if m and m.group(1).lower() == name.lower():
                return m.group(3) or ""
        return None

    def end_programs(self):
        """Ends every program a test started and left running."""
        for pid in self.driver.started:
            try:
                if self.driver.exit_code(pid) is None:
                    self.driver.kill(pid)
                    self.driver.wait_exit(pid, 10)
            except DriverError:
                pass
        self.driver.started = []

    def close(self):
        self.driver.close()
        self.wine.stop()
        if self.xvfb:
            self.xvfb.stop()
