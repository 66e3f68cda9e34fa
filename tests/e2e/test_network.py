#!/usr/bin/python3
"""Network tests under Wine and Xvfb against real servers on 127.0.0.1 that the tests
start (tests/e2e/http_server.py): the HTTP client in a real progress window
(http_probe.exe) against servers that behave and misbehave, and the version check of
the editor from its Help menu and from the start-up schedule.

    test_network.py --build build/win64 --xml out.xml [--display :73] [-k name]
"""
import glob
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from http_server import BODY_SIZE, Server, body_of, refused_port  # noqa: F401  # noqa: E402
from lirva_e2e import eq, suite_main, SuiteSession, test_collector, wait_until, win_path  # noqa: E402
from resource_ids import ID  # noqa: E402

TESTS, test = test_collector()
SETTINGS = r"HKLM\Software\Vantoral\Lirva\Settings"
WM_COMMAND = 0x0111





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
    start = time.time()
    eq(s.probe("file", s.url("/endless/x"), "endless.bin"), (2, None), "headers without end: no file")
    assert time.time() - start < 15, "given up after 100 header lines (%.1f s)" % (time.time() - start)
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
def the_related_programs_are_offered_once_after_45_days(s):
    day = 86400
    s.reg("delete", r"HKLM\Software\Vantoral\Lirva", "/f")
    now = int(time.time())
    for name, value in (("VersionHost", "127.0.0.1:%d" % s.server.port), ("RelatedPDate", str(now - 45 * day - 5)),
                        ("VCheckDate", str(now - 100 * day))):
        s.reg("add", SETTINGS, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
    s.server.requests.clear()
    pid, main = editor(s)
    sheet = s.d.find_window(caption="Lirva Setup", cls="#32770", pid=pid, timeout=30)
    eq(s.reg_value(SETTINGS, "RelatedPCheck"), "1", "offered")
    eq(s.server.requests, [], "no version check at this start")
    s.d.close_window(sheet)
    s.d.wait_gone(sheet, 10)
    s.d.kill(pid)
    s.d.wait_exit(pid, 10)
    # The next start checks the version instead (its date is 100 days old).
    pid, main = editor(s)
    wait_until(lambda: s.server.requests, 30, what="the version check")
    assert not s.d.windows(caption="Lirva Setup", pid=pid), "offered only once"
    s.d.kill(pid)
    s.d.wait_exit(pid, 10)


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


# ------------------------------------------------------------ sibling programs
STAND_IN_KEY = r"HKCU\Software\LirvaTest\StandIn"


def sibling_setup(s):
    """A clean slate: no sibling installed, the stand-in logging into a fresh file,
    downloads from the test server, an editor with one file selected."""
    for key in (r"HKCU\Software\Vantoral", r"HKLM\Software\Vantoral", STAND_IN_KEY):
        s.reg("delete", key, "/f")
    log = os.path.join(s.work, "stand-in.log")
    if os.path.exists(log):
        os.remove(log)
    s.reg("add", STAND_IN_KEY, "/v", "Log", "/t", "REG_SZ", "/d", win_path(log), "/f")
    host = "127.0.0.1:%d" % s.server.port
    for name, value in (("VersionHost", host), ("DownloadHost", host), ("WebSite", "http://%s/" % host),
                        ("VCheckDate", str(int(time.time()))), ("RelatedPCheck", "1")):
        s.reg("add", SETTINGS, "/v", name, "/t", "REG_SZ", "/d", value, "/f")
    song = os.path.join(s.work, "Song One.mp3")
    with open(song, "wb") as f:
        f.write(b"\xff\xfb\x90\x00" + bytes(413))
    from test_editor import Editor
    s.exe = os.path.join(s.build, "lirva.exe")
    ed = Editor(s)
    ed.add("Song One.mp3", s.work, rows_after=1)
    s.d.list_select(ed.main, [0], id=ID["IDC_FILELIST"])
    return ed, log, win_path(song)


def set_text(s, key, name, value):
    """Stores a text value as it stands (quotes included) through a .reg file."""
    def escaped(text):
        return text.replace("\\", "\\\\").replace('"', '\\"')
    root, rest = key.split("\\", 1)
    root = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}[root]
    path = os.path.join(s.work, "value.reg")
    with open(path, "w") as f:
        f.write('REGEDIT4\r\n\r\n[%s\\%s]\r\n"%s"="%s"\r\n' % (root, rest, name, escaped(value)))
    args = ["import", win_path(path)] + (["/reg:32"] if root == "HKEY_LOCAL_MACHINE" else [])
    pid = s.d.start("reg", *args, output=os.path.join(s.work, "reg-output.txt"))
    eq(s.d.wait_exit(pid, 30), 0, "reg import")


def log_lines(log, count, timeout=20):
    wait_until(lambda: os.path.exists(log) and len(open(log).read().splitlines()) >= count, timeout,
               what="%d lines from the stand-in" % count)
    return open(log).read().splitlines()


@test
def launch_commands_use_the_templates_as_they_are(s):
    ed, log, song = sibling_setup(s)
    stand_in = win_path(os.path.join(s.build, "stand_in.exe"))
    user, machine = r"HKCU\Software\Vantoral", r"HKLM\Software\Vantoral"
    # The machine's template wins over the user's; only the first "%s" is the file.
    set_text(s, user + r"\Pellam\Settings", "RunEdit", '"%s" user "%%s"' % stand_in)
    set_text(s, machine + r"\Pellam\Settings", "RunEdit", '"%s" machine "%%s" %%s %%d 100%%%%' % stand_in)
    set_text(s, user + r"\Torvik\Settings", "Convert", '"%s" /convert' % stand_in)
    set_text(s, user + r"\KestrunDisc\Settings", "CopyCD", '"%s"%%s' % stand_in)
    # Each launch is awaited in the stand-in's log before the next: two stand-ins started
    # close together may write their lines in either order.
    for done, command in enumerate(("IDM_EDITAUDIO", "IDM_CONVERT", "IDM_BURNAUDIOCD", "IDM_BURNMP3CD"), 1):
        s.d.command(ed.main, ID[command])
        log_lines(log, done)
        wait_until(lambda: s.d.state(ed.main).enabled, 20, what="the launch to end")
    lines = log_lines(log, 4)
    eq(lines[0], '"%s" machine "%s" %%s %%d 100%%\tLQUIET=<unset>' % (stand_in, song), "Edit Audio")
    eq(lines[1], '"%s" /convert\tLQUIET=<unset>' % stand_in, "a template without %s: no file")
    eq(lines[2], '"%s" -type audio -file "%s"\tLQUIET=<unset>' % (stand_in, song), "Burn Audio CD")
    eq(lines[3], '"%s" -type data -file "%s"\tLQUIET=<unset>' % (stand_in, song), "Burn MP3 CD")
    # Waiting for the editor sibling ends when the progress window is closed.
    s.reg("add", STAND_IN_KEY, "/v", "WaitMs", "/t", "REG_SZ", "/d", "30000", "/f")
    s.d.command(ed.main, ID["IDM_EDITAUDIO"])
    wait = s.d.find_window(caption="Run Pellam", pid=ed.pid, timeout=20)
    wait_until(lambda: "Please wait for Pellam" in [c.text for c in s.d.children(wait)], 10, what="the wait text")
    s.d.close_window(wait)
    wait_until(lambda: s.d.state(ed.main).enabled, 5, what="the wait to end at once")
    ed.end()


@test
def install_on_demand_runs_the_downloaded_installer_quietly(s):
    ed, log, song = sibling_setup(s)
    stand_in_path = os.path.join(s.build, "stand_in.exe")
    stand_in = win_path(stand_in_path)
    with open(stand_in_path, "rb") as f:
        s.server.components["torviksetup.exe"] = f.read()
    set_text(s, STAND_IN_KEY, "Install", 'Torvik|Convert|"%s" "%%s"' % stand_in)
    s.server.requests.clear()
    s.d.command(ed.main, ID["IDM_CONVERT"])
    lines = log_lines(log, 2, timeout=30)
    assert lines[0].endswith("torviksetup.exe\"\tLQUIET=1") or lines[0].endswith("torviksetup.exe\tLQUIET=1"), lines[0]
    eq(lines[1], '"%s" "%s"\tLQUIET=<unset>' % (stand_in, song), "then the sibling, without LQUIET")
    eq(s.server.requests[0], ("GET /components/torviksetup.exe HTTP/1.0", "127.0.0.1:%d" % s.server.port), "request")
    # A program that can't be had: the question, and No does nothing more.
    s.server.components.clear()
    s.d.command(ed.main, ID["IDM_EDITAUDIO"])
    box = s.d.message_box(caption="Download Required", timeout=30)
    eq(box.text, 'The free plugin "Pellam" program is required. Do you want to download it now?')
    s.d.answer_message_box("Yes", caption="Download Required")
    wait_until(lambda: os.path.exists(s.web_log) and "pellam/index.html" in open(s.web_log).read(), 10,
               what="the page opened")
    ed.end()


@test
def the_related_programs_wizard(s):
    ed, log, song = sibling_setup(s)
    s.reg("add", r"HKCU\Software\Vantoral\Pellam\Settings", "/v", "RunEdit", "/t", "REG_SZ", "/d", "x", "/f")
    s.d.command(ed.main, ID["IDM_INSTALLRELATED"])
    sheet = s.d.find_window(caption="Lirva Setup", cls="#32770", pid=ed.pid, timeout=20)
    page = None

    def find_page():
        nonlocal page
        page = next((c.hwnd for c in s.d.children(sheet) if c.id == ID["IDC_RELATED_LIST"]), None)
        return page
    wait_until(find_page, 10, what="the selection page")
    rows = [r[0] for r in s.d.list_rows(page)]
    eq(rows, ["Pellam Audio Editor [Update]", "Kestrun [Recommended]", "Fennick",
              "Torvik Audio Converter [Recommended]", "Ombrel [Recommended]"], "rows")
    # Next: the first download fails (the server has none); one message, its page opened.
    s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), 0x00F5)
    box = s.d.message_box(pid=ed.pid, timeout=60)
    assert box.text.startswith('Automatic download of the install-on-demand the component "Kestrun" failed.'), box.text
    s.d.answer_message_box("OK", pid=ed.pid)
    wait_until(lambda: os.path.exists(s.web_log) and "/kestrun" in open(s.web_log).read(), 10, what="the page")
    s.d.wait_gone(sheet, 60)
    time.sleep(1)
    eq([l for l in open(s.web_log).read().split() if "/components/" not in l][-1:],
       ["http://127.0.0.1:%d/kestrun" % s.server.port], "only the first failure's page")
    ed.end()


@test
def cancel_stops_a_related_download_at_once(s):
    ed, log, song = sibling_setup(s)
    with open(os.path.join(s.build, "stand_in.exe"), "rb") as f:
        s.server.components["pellamsetup.exe"] = f.read()
    s.server.trickled.add("pellamsetup.exe")
    s.server.requests.clear()
    s.d.command(ed.main, ID["IDM_INSTALLRELATED"])
    sheet = s.d.find_window(caption="Lirva Setup", cls="#32770", pid=ed.pid, timeout=20)
    wait_until(lambda: any(c.id == ID["IDC_RELATED_LIST"] for c in s.d.children(sheet)), 10,
               what="the selection page")
    s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), 0x00F5)
    wait_until(lambda: any("/components/pellamsetup.exe" in r[0] for r in s.server.requests), 20,
               what="the download to begin")
    temp = glob.glob(os.path.join(s.wine.prefix, "drive_c", "users", "*", "*", "*", "Temp")) + \
        glob.glob(os.path.join(s.wine.prefix, "drive_c", "users", "*", "Temp"))
    wait_until(lambda: any(os.path.exists(os.path.join(t, "pellamsetup.exe")) for t in temp), 10,
               what="the partial file")
    cancel = next(c.hwnd for c in s.d.children(sheet) if c.text == "Cancel")
    start = time.time()
    s.d.post(cancel, 0x00F5)
    s.d.wait_gone(sheet, 10)
    assert time.time() - start < 3, "the wizard closed %.1f s after Cancel" % (time.time() - start)
    assert not any(os.path.exists(os.path.join(t, "pellamsetup.exe")) for t in temp), "the partial file deleted"
    assert not os.path.exists(log), "nothing started"
    eq(len([r for r in s.server.requests if "/components/" in r[0]]), 1, "no other download tried")
    ed.end()


@test
def web_links_in_the_help_menu(s):
    ed, log, song = sibling_setup(s)
    before = open(s.web_log).read() if os.path.exists(s.web_log) else ""
    s.d.command(ed.main, 9022)
    s.d.command(ed.main, 9029)
    expected = ["http://127.0.0.1:%d/lirva/support.html" % s.server.port, "http://127.0.0.1:%d/index.html" % s.server.port]
    def opened():
        return open(s.web_log).read()[len(before):].split() if os.path.exists(s.web_log) else []
    wait_until(lambda: opened() == expected, 10, what="both pages opened (%r)" % (opened(),))
    ed.end()


if __name__ == "__main__":
    sys.exit(suite_main("e2e-network", TESTS, Session))
