#!/usr/bin/python3
"""Network tests under Wine and Xvfb against real servers on 127.0.0.1 that the tests
start (tests/e2e/http_server.py): the HTTP client in a real progress window
(http_probe.exe) against servers that behave and misbehave, and the version check of
the editor from its Help menu and from the start-up schedule.

    test_network.py --build build/win64 --xml out.xml [--display :73] [-k name]
"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from http_server import BODY_SIZE, Server, body_of, refused_port  # noqa: F401  # noqa: E402
from lirva_e2e import SuiteSession, run_suite, suite_arguments, wait_until, win_path  # noqa: E402
from resource_ids import ID  # noqa: E402

TESTS = []
SETTINGS = r"HKLM\Software\Vantoral\Lirva\Settings"
WM_COMMAND = 0x0111


def test(fn):
    TESTS.append(fn)
    return fn


def eq(actual, expected, what=""):
    def shown(value):
        text = repr(value)
        return text if len(text) < 200 else text[:200] + "..."
    assert actual == expected, "%sexpected %s, got %s" % (what + ": " if what else "", shown(expected), shown(actual))


class Session(SuiteSession):
    def __init__(self, args):
        super().__init__(args, "e2e-network")
        self.d = self.driver
        self.server = Server()

    def probe(self, form, url, name, cancel_at=None, timeout=60):
        """Runs the client once; (result code, the output file's bytes or None)."""
        out = os.path.join(self.work, name)
        if os.path.exists(out):
            os.remove(out)
        args = [form, url, win_path(out)] + ([str(cancel_at)] if cancel_at is not None else [])
        pid = self.d.start(os.path.join(self.build, "http_probe.exe"), *args,
                           output=os.path.join(self.work, name + ".log"))
        code = self.d.wait_exit(pid, timeout)
        data = None
        if os.path.exists(out):
            with open(out, "rb") as f:
                data = f.read()
        return code, data

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.server.port, path)

    def close(self):
        self.server.close()
        super().close()


@test
def downloads_from_servers_that_behave_and_misbehave(s):
    body = body_of(BODY_SIZE)
    s.server.requests.clear()
    # The port, the path and the Host header as the URL gives them.
    eq(s.probe("file", s.url("/normal/a/b.exe"), "normal.bin"), (0, body), "normal")
    eq(s.server.requests[-1], ("GET /normal/a/b.exe HTTP/1.0", "127.0.0.1:%d" % s.server.port), "request")
    eq(s.probe("file", s.url("/redirect/x"), "redirect.bin"), (0, body), "302 keeps its body")
    eq(s.probe("file", s.url("/missing/x"), "missing.bin"), (2, None), "404: no file")
    eq(s.probe("file", s.url("/nolength/x"), "nolength.bin"), (0, b""), "no Content-Length: empty file")
    eq(s.probe("file", s.url("/lower/x"), "lower.bin"), (0, b""), "lower-case header not recognised")
    eq(s.probe("file", s.url("/longheader/x"), "long.bin"), (0, body), "a 300-character header line")
    eq(s.probe("file", s.url("/early/x"), "early.bin"), (2, None), "closed early: partial file removed")
    eq(s.probe("file", s.url("/more/x"), "more.bin"), (0, body), "only the announced length")
    eq(s.probe("file", s.url("/trickle/x"), "trickle.bin"), (0, body), "a slow trickle")
    eq(s.probe("file", "http://127.0.0.1:%d/normal/x" % refused_port(), "refused.bin"), (2, None), "refused")
    # Upper-case scheme and host are fine for the client; the version check lowers them.
    eq(s.probe("file", s.url("/normal/y").replace("http", "HTTP"), "upper.bin")[0], 0, "scheme in capitals")


@test
def a_stalled_body_fails_and_a_closed_window_cancels(s):
    start = time.time()
    eq(s.probe("file", s.url("/stall/x"), "stall.bin"), (2, None), "an 8 s stall")
    assert 7 < time.time() - start < 20, "gave up after the 7.5 s budget (%.1f s)" % (time.time() - start)
    code, data = s.probe("file", s.url("/slow/x"), "slow.bin", cancel_at=100000)
    eq((code, data is None), (1, True), "closing the progress window cancels and removes the partial file")


@test
def the_memory_form_keeps_511_bytes(s):
    code, data = s.probe("memory", s.url("/text/x"), "memory.txt")
    eq(code, 0)
    eq(len(data), 511, "bytes kept")
    assert data.startswith(b"HTTP/1.0 200 OK\r\nContent-Length: 2300\r\n\r\nline 0000 of the text\r\n"), data[:80]
    eq(s.probe("memory", "http://127.0.0.1:%d/x" % refused_port(), "refused.txt")[0], 2, "refused")


def editor(s):
    pid = s.d.start(os.path.join(s.build, "lirva.exe"))
    main = s.d.find_window(caption="Lirva", cls="#32770", pid=pid, unowned=True, timeout=30)
    return pid, main


@test
def manual_version_check(s):
    s.reg("delete", r"HKLM\Software\Vantoral\Lirva", "/f")
    s.reg("add", SETTINGS, "/v", "VersionHost", "/t", "REG_SZ", "/d", "127.0.0.1:%d" % s.server.port, "/f")
    s.reg("add", SETTINGS, "/v", "VCheckDate", "/t", "REG_SZ", "/d", str(int(time.time())), "/f")
    s.reg("add", SETTINGS, "/v", "RelatedPCheck", "/t", "REG_SZ", "/d", "1", "/f")
    s.server.version_text = "version=1.00"
    s.server.requests.clear()
    pid, main = editor(s)
    s.d.command(main, ID["IDM_CHECKVERSION"])
    box = s.d.message_box(pid=pid, caption="Version Current", timeout=30)
    eq(box.text, "The current version is up-to-date")
    eq(s.server.requests[-1][0], "GET /versions/lirva.txt HTTP/1.0", "the URL in lower case")
    s.d.answer_message_box("OK", pid=pid, caption="Version Current")
    # A newer version: Yes opens the page up to "&" and remembers 114.
    s.server.version_text = "version=1.15&info=http://www.vantoral.example/new.html&ref=lirva"
    s.d.command(main, ID["IDM_CHECKVERSION"])
    s.d.message_box(pid=pid, caption="Update Version Available", timeout=30)
    s.d.answer_message_box("Yes", pid=pid, caption="Update Version Available")
    wait_until(lambda: os.path.exists(s.web_log) and open(s.web_log).read().strip(), 10, what="the page opened")
    eq(open(s.web_log).read().split(), ["http://www.vantoral.example/new.html"], "opened")
    eq(s.reg_value(SETTINGS, "LastCheckVersion"), "114", "LastCheckVersion")
    # An address that is not a web page is not opened, and nothing is stored.
    s.reg("add", SETTINGS, "/v", "LastCheckVersion", "/t", "REG_SZ", "/d", "100", "/f")
    s.server.version_text = "version=1.15&info=C:\\windows\\notepad.exe"
    s.d.command(main, ID["IDM_CHECKVERSION"])
    s.d.answer_message_box("Yes", pid=pid, caption="Update Version Available", timeout=30)
    time.sleep(1)
    eq(open(s.web_log).read().split(), ["http://www.vantoral.example/new.html"], "nothing more opened")
    eq(s.reg_value(SETTINGS, "LastCheckVersion"), "100", "nothing stored")
    s.d.kill(pid)
    s.d.wait_exit(pid, 10)


@test
def the_start_up_schedule_checks_every_90_days(s):
    day = 86400
    s.server.version_text = "version=1.15&info=http://www.vantoral.example/new.html"
    # (The exact 90-day boundary is tested in process, where the time is given.)
    for stored_age, checks in ((None, False), (90 * day - 60, False), (90 * day + 5, True)):
        s.reg("delete", r"HKLM\Software\Vantoral\Lirva", "/f")
        s.reg("add", SETTINGS, "/v", "VersionHost", "/t", "REG_SZ", "/d", "127.0.0.1:%d" % s.server.port, "/f")
        s.reg("add", SETTINGS, "/v", "RelatedPCheck", "/t", "REG_SZ", "/d", "1", "/f")
        now = int(time.time())
        if stored_age is not None:
            s.reg("add", SETTINGS, "/v", "VCheckDate", "/t", "REG_SZ", "/d", str(now - stored_age), "/f")
        s.server.requests.clear()
        pid, main = editor(s)
        if checks:
            s.d.message_box(pid=pid, caption="Update Version Available", timeout=30)
            s.d.answer_message_box("No", pid=pid, caption="Update Version Available")
        else:
            time.sleep(2)
        eq(bool(s.server.requests), checks, "checked with the date %r days old" % (
            stored_age / day if stored_age else None))
        stored = int(s.reg_value(SETTINGS, "VCheckDate"))
        if stored_age is None or checks:
            assert abs(stored - now) < 60, "VCheckDate set to now"
        else:
            eq(stored, now - stored_age, "VCheckDate kept")
        s.d.kill(pid)
        s.d.wait_exit(pid, 10)


def main():
    args = suite_arguments("e2e-network")
    return run_suite("e2e-network", TESTS, Session(args), args)


if __name__ == "__main__":
    sys.exit(main())
