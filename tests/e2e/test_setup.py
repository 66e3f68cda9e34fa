#!/usr/bin/python3
"""End-to-end tests of the installer and the uninstaller: lirvasetup.exe and the
installed uninst.exe under Wine and Xvfb, driven from outside. Each test checks the
bytes of the installed files, the shortcuts, the registry values and the windows
and messages the programs show.

    test_setup.py --build build/win64 --xml out.xml [--display :73] [-k name]
"""
import os
import shutil
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lirva_e2e import eq, ROOT, suite_main, SuiteSession, test_collector, wait_until  # noqa: E402

TESTS, test = test_collector()
HELP = os.path.join(ROOT, "resources", "help")
HELP_FILES = ["index.html", "introduction.html", "related.html", "features.html", "format_overview.html",
              "requirements.html", "support.html", "using.html", "hlp.css", "hlpfoot.js", "hlphead.js"]
UNINSTALL_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Lirva"
CORRUPT = ("Installation file corrupt.\n\nA checksum error was detected in your install file, please "
           "redownload file and install again.")
BM_CLICK = 0x00F5





def read(path):
    with open(path, "rb") as f:
        return f.read()


class Session(SuiteSession):
    def __init__(self, args):
        super().__init__(args, "e2e-setup")
        self.d = self.driver
        self.setup = os.path.join(self.work, "lirvasetup.exe")
        shutil.copyfile(os.path.join(self.build, "lirvasetup.exe"), self.setup)
        self.image = read(os.path.join(self.build, "lirva.exe"))

    def unix(self, windows_path):
        """The Linux path of a C: path of the prefix."""
        assert windows_path[1:3] == ":\\", windows_path
        rest = windows_path[3:].replace("\\", "/")
        base = os.path.join(self.wine.prefix, "drive_c")
        # Wine's folders match without regard to case.
        path = base
        for part in [p for p in rest.split("/") if p]:
            names = {n.lower(): n for n in os.listdir(path)} if os.path.isdir(path) else {}
            path = os.path.join(path, names.get(part.lower(), part))
        return path

    def folders(self):
        program_files = self.reg_value(r"HKLM\Software\Microsoft\Windows\CurrentVersion", "ProgramFilesDir")
        shell = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders"
        desktop = self.reg_value(shell, "Common Desktop")
        programs = self.reg_value(shell, "Common Programs")
        return program_files + "\\Vantoral\\Lirva", desktop, programs

    def clean(self):
        """No installation left from an earlier test."""
        install, desktop, programs = self.folders()
        shutil.rmtree(self.unix(install), ignore_errors=True)
        for path in (desktop + "\\Lirva.lnk", (programs or "C:\\none") + "\\Lirva\\Lirva.lnk"):
            if os.path.exists(self.unix(path)):
                os.remove(self.unix(path))
        self.reg("delete", UNINSTALL_KEY, "/f")

    def run_setup(self, path=None, quiet=True):
        return self.d.start(path or self.setup, env={"LQUIET": "1"} if quiet else {"LQUIET": ""})

    def end_lirva(self):
        for w in self.d.windows(cls="#32770", caption="Lirva", unowned=True):
            self.d.kill(w.pid)
            self.d.wait_exit(w.pid, 10)


def check_installed(s):
    install, desktop, programs = s.folders()
    folder = s.unix(install)
    program = read(os.path.join(folder, "lirva.exe"))
    uninstaller = read(os.path.join(folder, "uninst.exe"))
    assert program == s.image + b"\0\0\0\0", "lirva.exe is the image and four zero bytes"
    assert uninstaller == s.image + bytes([0x0F, 0x0F, 0xF0, 0xF0]), "uninst.exe is the image and its marker"
    for name in HELP_FILES:
        assert read(os.path.join(folder, "help", name)) == read(os.path.join(HELP, name)), "help/%s differs" % name
    target = (install + "\\lirva.exe").lower().encode()
    for link in [desktop + "\\Lirva.lnk"] + ([programs + "\\Lirva\\Lirva.lnk"] if programs else []):
        data = read(s.unix(link))
        assert data[:4] == struct.pack("<I", 0x4C), "%s is a shortcut" % link
        assert target in data.lower(), "%s points at the program" % link
    eq(s.reg_value(UNINSTALL_KEY, "DisplayName"), "Lirva Uninstall", "DisplayName")
    eq(s.reg_value(UNINSTALL_KEY, "UninstallString"), install + "\\uninst.exe", "UninstallString")
    return folder


@test
def quiet_install_places_everything_and_starts_the_program(s):
    s.clean()
    pid = s.run_setup()
    # One page only, the installing page: nothing to press.
    main = s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
    s.d.wait_exit(pid, 20)
    check_installed(s)
    started = [w for w in s.d.windows(cls="#32770", caption="Lirva", unowned=True) if w.hwnd == main]
    assert started and started[0].pid != pid, "the installed program runs"
    s.end_lirva()


@test
def the_wizard_driven_by_clicks(s):
    s.clean()
    # "I do not agree": Finish becomes Close and ends everything without a question.
    pid = s.run_setup(quiet=False)
    sheet = s.d.find_window(cls="#32770", pid=pid, timeout=20)
    wait_until(lambda: any(c.text.startswith("I do not agree") for c in s.d.children(sheet)), 10,
               what="the terms page")
    disagree = next(c for c in s.d.children(sheet) if c.text.startswith("I do not agree"))
    s.d.send(disagree.hwnd, BM_CLICK)
    wait_until(lambda: any(c.text == "Close" and c.visible for c in s.d.children(sheet)), 5, what="Close")
    close = next(c for c in s.d.children(sheet) if c.text == "Close" and c.visible)
    assert close.enabled
    s.d.send(close.hwnd, BM_CLICK)
    s.d.wait_exit(pid, 20)
    install, _, _ = s.folders()
    assert not os.path.exists(os.path.join(s.unix(install), "lirva.exe")), "nothing installed"
    # Agree, Next: installed; the related programs follow (all of them already
    # installed here, so nothing is ticked and Finish ends the wizard), and the
    # installed program starts.
    for product, value in (("Pellam", "RunEdit"), ("Kestrun", "Kestrun CD Recorder"), ("Torvik", "Torvik"),
                           ("Ombrel", "Ombrel Vinyl to CD Converter")):
        s.reg("add", r"HKCU\Software\Vantoral\%s\Settings" % product, "/v", value, "/t", "REG_SZ", "/d", "x", "/f")
    pid = s.run_setup(quiet=False)
    sheet = s.d.find_window(cls="#32770", pid=pid, timeout=20)
    wait_until(lambda: any(c.text.startswith("I &agree") for c in s.d.children(sheet)), 10, what="the terms page")
    terms = [c for c in s.d.children(sheet) if c.cls.lower() == "edit" and c.visible]
    assert terms and "LICENCE TERMS" in s.d.get_text(terms[0].hwnd), "the licence text is shown"
    agree = next(c for c in s.d.children(sheet) if c.text.startswith("I &agree"))
    s.d.send(agree.hwnd, BM_CLICK)
    wait_until(lambda: any(c.text == "&Next >" and c.enabled for c in s.d.children(sheet)), 5, what="Next")
    s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), BM_CLICK)
    wait_until(lambda: any(c.text == "Fennick" for c in s.d.children(sheet)) or
               any(c.cls == "SysListView32" and c.visible for c in s.d.children(sheet)), 60,
               what="the related programs")
    def finish():  # (the page sets its buttons by a posted message: one snapshot a look)
        return next((c for c in s.d.children(sheet) if c.text in ("&Finish", "Finish") and c.visible
                     and c.enabled), None)
    s.d.post(wait_until(finish, 10, what="Finish").hwnd, BM_CLICK)
    main = s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
    s.d.wait_exit(pid, 20)
    check_installed(s)
    s.end_lirva()
    s.reg("delete", r"HKCU\Software\Vantoral", "/f")
    del main


@test
def a_corrupt_trailer_writes_the_files_and_reports_it(s):
    s.clean()
    data = bytearray(read(s.setup))
    checksum = struct.unpack("<I", data[-8:-4])[0]
    data[-8:-4] = struct.pack("<I", (checksum + 1) & 0xFFFFFFFF)
    bad = os.path.join(s.work, "badsetup.exe")
    with open(bad, "wb") as f:
        f.write(data)
    pid = s.run_setup(bad)
    box = s.d.message_box(pid=pid, caption="Install Error", timeout=60)
    eq(box.text, CORRUPT, "message")
    install, _, _ = s.folders()
    folder = s.unix(install)
    eq(read(os.path.join(folder, "lirva.exe")), s.image, "the image was written")
    eq(read(os.path.join(folder, "help", "hlphead.js")), read(os.path.join(HELP, "hlphead.js")), "the last entry")
    assert not os.path.exists(os.path.join(folder, "uninst.exe")), "no placement"
    s.d.answer_message_box("OK", pid=pid, caption="Install Error")
    s.d.wait_exit(pid, 20)
    eq(s.reg_value(UNINSTALL_KEY, "DisplayName"), None, "no uninstall entry")
    assert not s.d.windows(cls="#32770", caption="Lirva", unowned=True), "nothing started"
    # Sizes that claim far more than the file holds: the same message, soon.
    data = bytearray(read(s.setup))
    data[-52:-48] = struct.pack("<I", 0x7FFFFFF0)  # the second entry's size
    with open(bad, "wb") as f:
        f.write(data)
    pid = s.run_setup(bad)
    eq(s.d.message_box(pid=pid, caption="Install Error", timeout=30).text, CORRUPT, "message")
    s.d.answer_message_box("OK", pid=pid, caption="Install Error")
    s.d.wait_exit(pid, 20)
    assert not os.path.exists(os.path.join(folder, "uninst.exe")), "no placement"


@test
def a_file_that_cannot_be_written_stops_the_installation(s):
    # A disk that takes nothing more: one help page's file is /dev/full.
    s.clean()
    install, _, _ = s.folders()
    folder = s.unix(install)
    os.makedirs(os.path.join(folder, "help"))
    os.symlink("/dev/full", os.path.join(folder, "help", "using.html"))
    pid = s.run_setup()
    box = s.d.message_box(pid=pid, caption="Install Error", timeout=60)
    eq(box.text, "Installation cannot be completed because the file \"%s\" cannot be written to."
       % (install + "\\help\\using.html"), "message")
    s.d.answer_message_box("OK", pid=pid, caption="Install Error")
    s.d.wait_exit(pid, 20)
    assert not os.path.exists(os.path.join(folder, "help", "hlp.css")), "nothing after the failed file"
    assert not os.path.exists(os.path.join(folder, "uninst.exe")), "no placement"
    eq(s.reg_value(UNINSTALL_KEY, "DisplayName"), None, "no uninstall entry")
    assert not s.d.windows(cls="#32770", caption="Lirva", unowned=True), "nothing started"
    os.remove(os.path.join(folder, "help", "using.html"))


@test
def a_failed_related_download_in_setup_opens_its_page(s):
    """The setup wizard's related-programs step against a download server that answers
    404, and one that answers nothing: the first failure's message, its page opened,
    and the wizard's end."""
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from http_server import Server
    server = Server()
    try:
        for kind in ("missing", "empty"):
            s.clean()
            s.reg("delete", r"HKCU\Software\Vantoral", "/f")
            if os.path.exists(s.web_log):
                os.remove(s.web_log)
            host = "127.0.0.1:%d" % server.port
            # "empty": a server that closes without a word; "missing": 404 for every component.
            site = "http://%s/" % host if kind == "missing" else "http://127.0.0.1:%d/" % server.port
            for name, value in (("DownloadHost", host if kind == "missing" else host + "/empty"),
                                ("WebSite", site)):
                s.reg("add", r"HKLM\Software\Vantoral\Lirva\Settings", "/v", name, "/t", "REG_SZ", "/d", value,
                      "/f")
            pid = s.run_setup(quiet=False)
            sheet = s.d.find_window(cls="#32770", pid=pid, timeout=20)
            wait_until(lambda: any(c.text.startswith("I &agree") for c in s.d.children(sheet)), 10,
                       what="the terms page")
            s.d.send(next(c.hwnd for c in s.d.children(sheet) if c.text.startswith("I &agree")), BM_CLICK)
            wait_until(lambda: any(c.text == "&Next >" and c.enabled for c in s.d.children(sheet)), 5, what="Next")
            s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), BM_CLICK)
            wait_until(lambda: any(c.cls == "SysListView32" and c.visible for c in s.d.children(sheet)), 60,
                       what="the related programs")
            wait_until(lambda: any(c.text == "&Next >" and c.enabled and c.visible for c in s.d.children(sheet)),
                       10, what="Next on the selection page")
            s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), BM_CLICK)
            box = s.d.message_box(pid=pid, timeout=60)
            assert box.text.startswith("Automatic download of the install-on-demand"), (kind, box.text)
            # The first ticked program failed first: its page, and only that one.
            first = box.text.split('"')[1]
            slug = {"Pellam Audio Editor": "pellam", "Kestrun": "kestrun", "Fennick": "fennick",
                    "Torvik Audio Converter": "torvik", "Ombrel": "ombrel"}[first]
            s.d.answer_message_box("OK", pid=pid)
            wait_until(lambda: os.path.exists(s.web_log) and open(s.web_log).read().strip(), 10,
                       what="the page opened (%s)" % kind)
            s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
            eq(open(s.web_log).read().split(), [site + slug], "the pages opened (%s)" % kind)
            s.d.wait_exit(pid, 30)
            s.end_lirva()
    finally:
        server.close()
        s.reg("delete", r"HKLM\Software\Vantoral\Lirva\Settings", "/f")


GROWN = 400 * 1024 * 1024


@test
def cancel_stops_the_extraction_at_the_next_chunk(s):
    s.clean()
    big = repacked(s, "bigsetup.exe", grow_image=GROWN)
    pid = s.run_setup(big, quiet=False)
    sheet = s.d.find_window(cls="#32770", pid=pid, timeout=20)
    wait_until(lambda: any(c.text.startswith("I &agree") for c in s.d.children(sheet)), 10, what="the terms page")
    s.d.send(next(c.hwnd for c in s.d.children(sheet) if c.text.startswith("I &agree")), BM_CLICK)
    wait_until(lambda: any(c.text == "&Next >" and c.enabled for c in s.d.children(sheet)), 5, what="Next")
    install, _, _ = s.folders()
    program = os.path.join(s.unix(install), "lirva.exe")
    cancel = next(c.hwnd for c in s.d.children(sheet) if c.text == "Cancel")
    s.d.post(next(c.hwnd for c in s.d.children(sheet) if c.text == "&Next >"), BM_CLICK)
    wait_until(lambda: os.path.exists(program) and os.path.getsize(program) > 0, 30, interval=0.01,
               what="extraction")
    s.d.post(cancel, BM_CLICK)
    s.d.wait_exit(pid, 30)
    size = os.path.getsize(program)
    assert size < len(s.image) + GROWN, "stopped before the end"
    assert size % 4096 == 0, "stopped at a chunk's end (%d bytes)" % size
    assert not os.path.exists(os.path.join(s.unix(install), "uninst.exe")), "nothing placed"
    assert not s.d.windows(cls="#32770", caption="Lirva", unowned=True), "nothing started"
    os.remove(big)


@test
def uninstall_asks_from_a_temporary_copy_and_removes_everything(s):
    s.clean()
    pid = s.run_setup()
    s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
    s.d.wait_exit(pid, 20)
    s.end_lirva()
    folder = check_installed(s)
    install, desktop, programs = s.folders()
    s.reg("add", r"HKCU\Software\Vantoral\Lirva\MainWindow", "/v", "X", "/t", "REG_SZ", "/d", "5", "/f")
    s.reg("add", r"HKLM\Software\Vantoral\Lirva\Player", "/v", "Device", "/t", "REG_SZ", "/d", "0", "/f")
    # Without arguments: a copy in the temporary folder asks; No removes nothing.
    first = s.d.start(os.path.join(folder, "uninst.exe"))
    box = s.d.message_box(caption="Uninstall Lirva", timeout=30)
    eq(box.text, "Are you sure you want to remove this program from this computer?", "question")
    s.d.wait_exit(first, 10)  # the copy in the install folder only handed over
    s.d.answer_message_box("No", caption="Uninstall Lirva")
    time.sleep(1)
    check_installed(s)
    # Yes removes it all; another program of the maker keeps the maker's folder.
    maker = os.path.dirname(folder)
    os.makedirs(os.path.join(maker, "Other"), exist_ok=True)
    # A link to a folder elsewhere goes as a link (Wine shows a symbolic link to a
    # folder as a junction); the folder it points at keeps its files.
    outside = os.path.join(s.work, "Outside")
    os.makedirs(outside, exist_ok=True)
    with open(os.path.join(outside, "keep.txt"), "w") as f:
        f.write("mine")
    os.symlink(outside, os.path.join(folder, "Linked"))
    # Folders nested down to a path of 259 characters, where nothing more can be
    # joined to it: an empty one is removed all the same.
    deep, deep_unix = install, folder
    while len(deep) < 259:
        part = "d" * min(40, 259 - len(deep) - 1)
        deep, deep_unix = deep + "\\" + part, os.path.join(deep_unix, part)
    eq(len(deep), 259, "the deepest path's length")
    os.makedirs(deep_unix)
    first = s.d.start(os.path.join(folder, "uninst.exe"))
    s.d.message_box(caption="Uninstall Lirva", timeout=30)
    s.d.wait_exit(first, 10)  # (a person takes longer to answer than it takes to end)
    s.d.answer_message_box("Yes", caption="Uninstall Lirva", timeout=30)
    # Wine cannot remove a link to a folder that holds anything (Windows removes
    # a junction as it is); the link may stay, and with it the program folder.
    wait_until(lambda: not os.path.exists(folder) or os.listdir(folder) == ["Linked"], 20,
               what="the program folder emptied")
    wait_until(lambda: s.reg("query", r"HKCU\Software\Vantoral") == 1, 20, what="the uninstall to end")
    eq(read(os.path.join(outside, "keep.txt")), b"mine", "the linked folder's file")
    if os.path.lexists(os.path.join(folder, "Linked")):
        os.remove(os.path.join(folder, "Linked"))
        os.rmdir(folder)
    assert os.path.isdir(maker), "the maker's folder stays while it holds another program"
    assert not os.path.exists(s.unix(desktop + "\\Lirva.lnk")), "desktop shortcut removed"
    if programs:
        assert not os.path.exists(s.unix(programs + "\\Lirva")), "Start menu entry removed"
    eq(s.reg_value(UNINSTALL_KEY, "DisplayName"), None, "uninstall entry removed")
    eq(s.reg("query", r"HKCU\Software\Vantoral"), 1, "user settings removed")
    eq(s.reg("query", r"HKLM\Software\Vantoral"), 1, "machine settings removed")
    shutil.rmtree(os.path.join(maker, "Other"))


def repacked(s, name, drop_row=None, grow_image=0):
    """lirvasetup.exe made again with one row's entry left out and its size 0, or with
    `grow_image` zero bytes added to the program image."""
    data = read(s.setup)
    rows = 12
    sizes = list(struct.unpack("<%dI" % rows, data[-(rows + 2) * 4:-8]))
    entries, offset = [], 0
    for size in sizes:
        entries.append(data[offset:offset + size])
        offset += size
    if drop_row is not None:
        entries[drop_row] = b""
    entries[0] += bytes(grow_image)
    body = b"".join(entries)
    trailer = struct.pack("<%dI" % rows, *[len(e) for e in entries]) + struct.pack("<I", sum(body) & 0xFFFFFFFF)
    path = os.path.join(s.work, name)
    with open(path, "wb") as f:
        f.write(body + trailer + bytes([0xF0, 0xF0, 0x0F, 0x0F]))
    return path


@test
def an_empty_row_makes_no_file_and_a_busy_file_is_named(s):
    s.clean()
    path = repacked(s, "emptyrow.exe", drop_row=3)  # help/related.html
    pid = s.run_setup(path)
    s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
    s.d.wait_exit(pid, 20)
    s.end_lirva()
    install, _, _ = s.folders()
    folder = s.unix(install)
    assert not os.path.exists(os.path.join(folder, "help", "related.html")), "no file for a row of size 0"
    assert os.path.exists(os.path.join(folder, "help", "using.html")), "the rows after it are written"
    # An installed file that another program holds open is named in the message.
    held = os.path.join(folder, "help", "index.html")
    holder = s.d.start("cmd", "/c", "ping -n 30 127.0.0.1 >nul <\"%s\"" % (install + "\\help\\index.html"))
    time.sleep(0.5)
    assert s.d.exit_code(holder) is None, "the file is held"
    pid = s.run_setup()
    box = s.d.message_box(pid=pid, caption="Install Error", timeout=60)
    eq(box.text, "Please check you have exited any previous running instances of Lirva and any other programs "
       "that might be using the file \"%s\". Then run the installer again.\r\n\r\nInstallation cannot be "
       "completed because the file is currently being used." % (install + "\\help\\index.html"), "message")
    s.d.answer_message_box("OK", pid=pid, caption="Install Error")
    s.d.wait_exit(pid, 20)
    s.d.kill(holder)
    assert not s.d.windows(cls="#32770", caption="Lirva", unowned=True), "nothing started"
    del held


@test
def an_installer_closes_a_running_editor_without_its_question(s):
    s.clean()
    editor = s.d.start(os.path.join(s.build, "lirva.exe"))
    s.d.find_window(caption="Lirva", cls="#32770", pid=editor, unowned=True, timeout=30)
    pid = s.run_setup()
    s.d.wait_exit(editor, 30)
    s.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=60)
    s.d.wait_exit(pid, 20)
    s.end_lirva()


if __name__ == "__main__":
    sys.exit(suite_main("e2e-setup", TESTS, Session))
