#!/usr/bin/python3
"""Tests of the end-to-end driver: lirva-driver.exe drives driver-target.exe under
Wine and Xvfb, and each test checks what the target shows and what its event log
says it received.

    test_driver.py --build build/win32 --xml out.xml [--display :73] [-k name]

Without --display the tests start an Xvfb of their own on a free display.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lirva_e2e import (Driver, DriverError, eq, parse_reply, quote, read_lines, suite_main,
                       SuiteSession, test_collector, wait_until, win_path, Xvfb)  # noqa: E402

TESTS, test = test_collector()

# Control and command ids of driver-target (tests/e2e/driver/target_ids.h).
LIST, EDIT, COMBO, FILL, ASK, OPEN, WEB, STATUS, LOCKED = 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009
CMD_NEW, CMD_REMOVE, CMD_PLAY = 2001, 2002, 2003
EXIT_CODE = 42

SAMPLE_ROWS = [["alpha.mp3", "C:\\music"],
               ['beta "live".wav', "C:\\music\\concerts"],
               ["gamma \xe4.mp3", "C:\\music\\\xf6"]]



class Target:
    """One running driver-target with its own event log."""

    def __init__(self, session, name):
        self.d = session.driver
        self.log = os.path.join(session.work, name + ".log")
        if os.path.exists(self.log):
            os.remove(self.log)
        self.pid = self.d.start(session.target_exe, win_path(self.log))
        self.main = self.d.find_window(cls="LDriverTarget", pid=self.pid, unowned=True)

    def events(self):
        return read_lines(self.log)

    def wait_event(self, line, timeout=5.0):
        try:
            wait_until(lambda: line in self.events(), timeout, what=repr(line))
        except AssertionError:
            raise AssertionError("event %r never came; the target logged %r" % (line, self.events()))

    def wait_events(self, lines, timeout=5.0):
        """Waits until `lines` appear in the log in this order (others may come between)."""
        def in_order():
            it = iter(self.events())
            return all(any(e == line for e in it) for line in lines)
        try:
            wait_until(in_order, timeout, what="events %r" % lines)
        except AssertionError:
            raise AssertionError("events %r did not all come in order; the target logged %r" % (lines, self.events()))

    def fill(self):
        self.d.click(self.main, id=FILL)
        wait_until(lambda: self.d.list_count(self.main, id=LIST) == 3, what="three rows")

    def end(self):
        if self.d.exit_code(self.pid) is None:
            self.d.kill(self.pid)




# ------------------------------------------------------------------- tests
@test
def list_view_rows_columns_and_status_bar_read_from_outside(s):
    t = Target(s, "rows")
    d = t.d
    eq(d.list_rows(t.main, id=LIST), [])
    eq(d.status_text(t.main, id=STATUS), ["Ready", "0 file(s)"])
    t.fill()
    eq(d.list_rows(t.main, id=LIST), SAMPLE_ROWS)
    eq(d.list_rows(t.main, id=LIST, row=1), [SAMPLE_ROWS[1]])
    eq(d.list_columns(t.main, id=LIST), [("Name", 200), ("Folder", 180)])
    eq(d.status_text(t.main, id=STATUS), ["Ready", "3 file(s)"])
    eq(d.status_text(t.main, id=STATUS, part=1), "3 file(s)")
    try:
        d.list_rows(t.main, id=LIST, row=3)
        raise AssertionError("a row past the end was read")
    except DriverError as e:
        assert "no row 3" in str(e), e
    t.end()


@test
def selection_set_by_the_driver_reaches_the_program(s):
    t = Target(s, "select")
    d = t.d
    t.fill()
    eq(d.list_select(t.main, [0, 2], id=LIST), [0, 2])
    t.wait_events(["select 0 on", "select 2 on"])
    wait_until(lambda: d.status_text(t.main, id=STATUS, part=0) == "Selected", what="status Selected")
    eq(d.list_select(t.main, [1], id=LIST), [1])
    t.wait_events(["select 0 off", "select 2 off", "select 1 on"])
    eq(d.list_select(t.main, [2], id=LIST, add=True), [1, 2])
    eq(d.list_selected(t.main, id=LIST), [1, 2])
    eq(d.list_select(t.main, [], id=LIST), [])
    wait_until(lambda: d.status_text(t.main, id=STATUS, part=0) == "Ready", what="status Ready")
    t.end()


@test
def keys_with_ctrl_reach_the_focused_window_as_accelerators(s):
    t = Target(s, "keys")
    d = t.d
    t.fill()
    d.list_select(t.main, [1], id=LIST)
    d.keys(t.main, "ctrl+n", "f9", id=LIST)
    t.wait_events(["key 17 ctrl 1 shift 0", "command %d code 1" % CMD_NEW, "command %d code 1" % CMD_PLAY])
    eq(d.focus(t.main)[1], LIST)
    d.keys(t.main, "ctrl+delete", id=LIST)
    t.wait_event("command %d code 1" % CMD_REMOVE)
    eq(d.list_rows(t.main, id=LIST), [SAMPLE_ROWS[0], SAMPLE_ROWS[2]])
    eq(d.status_text(t.main, id=STATUS), ["Ready", "2 file(s)"])
    d.keys(t.main, "shift+down", id=LIST)
    t.wait_event("key 40 ctrl 0 shift 1")
    d.keys(t.main, "escape")
    t.wait_event("command 2 code 0")
    t.end()


@test
def text_set_or_typed_reaches_the_program_with_en_change(s):
    t = Target(s, "text")
    d = t.d
    d.set_text(t.main, "hello world", id=EDIT)
    t.wait_event("edit hello world")
    eq(d.get_text(t.main, id=EDIT), "hello world")
    d.set_text(t.main, "", id=EDIT)
    d.type_text(t.main, "Ab ?\xe4", id=EDIT)
    t.wait_events(["edit ", "edit A", "edit Ab", "edit Ab ", "edit Ab ?", "edit Ab ?\xe4"])
    eq(d.get_text(t.main, id=EDIT), "Ab ?\xe4")
    eq(d.focus(t.main)[1:], (EDIT, "Edit"))
    t.end()


@test
def every_8bit_character_survives_the_protocol(s):
    t = Target(s, "bytes")
    d = t.d
    text = "".join(chr(c) for c in range(1, 256))
    d.set_text(t.main, text)
    eq(d.get_text(t.main), text)
    eq([w.caption for w in d.windows(pid=t.pid, unowned=True, visible=True)], [text])
    eq(d.find_window(caption=text, pid=t.pid), t.main)
    d.set_text(t.main, "Driver Target")
    eq(d.find_window(contains="Target", cls="ldrivertarget"), t.main)
    t.end()


@test
def combo_box_choice_arrives_as_selchange(s):
    t = Target(s, "combo")
    d = t.d
    eq(d.combo_items(t.main, id=COMBO), ["Blues", "Classic Rock", "Country"])
    eq(d.combo(t.main, id=COMBO), (-1, ""))
    eq(d.combo_choose(t.main, "Country", id=COMBO), 2)
    t.wait_event("combo 2 Country")
    eq(d.combo(t.main, id=COMBO), (2, "Country"))
    eq(d.combo_choose(t.main, 0, id=COMBO), 0)
    t.wait_event("combo 0 Blues")
    try:
        d.combo_choose(t.main, "Jazz", id=COMBO)
        raise AssertionError("a missing entry was chosen")
    except DriverError as e:
        assert "no entry Jazz" in str(e), e
    t.end()


@test
def message_box_is_read_and_answered(s):
    t = Target(s, "msgbox")
    d = t.d
    d.click(t.main, id=ASK)
    box = d.message_box(pid=t.pid)
    eq((box.caption, box.text), ("Target", "Remove 2 file(s)\nfrom the list?"))
    eq(box.buttons, {6: "&Yes", 7: "&No", 2: "Cancel"})
    # The box is owned by the main window, which it disables meanwhile.
    eq(d.windows(cls="#32770", pid=t.pid, unowned=True), [])
    eq(d.find_window(pid=t.pid, unowned=True), t.main)
    eq(d.state(t.main).enabled, False)
    d.press(box.hwnd, "no")
    d.wait_gone(box.hwnd)
    t.wait_event("answer 7")
    eq(d.state(t.main).enabled, True)
    d.click(t.main, id=ASK)
    eq(d.answer_message_box("cancel", pid=t.pid, contains="from the list").hwnd != 0, True)
    t.wait_event("answer 2")
    d.click(t.main, id=ASK)
    box = d.message_box(pid=t.pid, caption="Target")
    try:
        d.press(box.hwnd, "ok")
        raise AssertionError("a missing button was pressed")
    except DriverError as e:
        assert "no button ok" in str(e), e
    d.press(box.hwnd, "yes")
    t.wait_event("answer 6")
    t.end()


@test
def file_open_dialog_filled_with_two_files_adds_them(s):
    t = Target(s, "open")
    d = t.d
    folder = os.path.join(s.work, "music folder")
    os.makedirs(os.path.join(folder, "sub"), exist_ok=True)
    for name in ("one.mp3", "two.mp3", "with space.mp3", os.path.join("sub", "deep.wav")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"x")
    wfolder = win_path(folder)
    d.click(t.main, id=OPEN)
    dialog = d.find_window(cls="#32770", child=1148, pid=t.pid)
    eq(d.get_text(dialog), "Add files")
    d.open_files(["one.mp3", "with space.mp3"], folder=folder, pid=t.pid)
    t.wait_events(["open %s\\one.mp3" % wfolder, "open %s\\with space.mp3" % wfolder])
    eq(d.list_rows(t.main, id=LIST), [["one.mp3", wfolder], ["with space.mp3", wfolder]])
    d.click(t.main, id=OPEN)
    d.open_files(wfolder + "\\sub\\deep.wav", pid=t.pid)
    t.wait_event("open %s\\sub\\deep.wav" % wfolder)
    eq(d.list_rows(t.main, id=LIST, row=2), [["deep.wav", wfolder + "\\sub"]])
    # A name the dialog refuses is reported with the dialog's own complaint.
    d.click(t.main, id=OPEN)
    try:
        d.open_files(["missing.mp3"], folder=folder, pid=t.pid)
        raise AssertionError("a missing file was accepted")
    except DriverError as e:
        assert "File does not exist" in str(e), e
    dialog = d.find_window(cls="#32770", child=1148, pid=t.pid)
    d.answer_message_box("ok", pid=t.pid)
    d.press(dialog, "cancel")
    t.wait_event("open cancelled 0")
    eq(d.list_count(t.main, id=LIST), 3)
    t.end()


@test
def messages_and_commands_reach_the_window(s):
    t = Target(s, "messages")
    d = t.d
    eq(d.send(t.main, 1126, 5, 7), 12)
    t.wait_event("user 1126 5 7")
    d.post(t.main, 1128, 1, 2)
    t.wait_event("user 1128 1 2")
    d.command(t.main, FILL)
    wait_until(lambda: d.list_count(t.main, id=LIST) == 3, what="rows after the Fill command")
    d.command(t.main, CMD_PLAY)
    t.wait_event("command %d code 0" % CMD_PLAY)
    try:
        d.click(t.main, id=LOCKED)
        raise AssertionError("a disabled button was clicked")
    except DriverError as e:
        assert "disabled" in str(e), e
    eq(d.state(t.main, id=LOCKED).enabled, False)
    eq(d.state(t.main, id=FILL).visible, True)
    labels = {c.id: c.text for c in d.children(t.main) if c.cls == "Button"}
    eq(labels, {FILL: "&Fill", ASK: "&Ask", OPEN: "&Open...", WEB: "&Web", LOCKED: "Locked"})
    t.end()


@test
def mouse_double_click_on_a_row_selects_and_activates_it(s):
    t = Target(s, "mouse")
    d = t.d
    t.fill()
    left, top, right, bottom = d.list_row_rect(t.main, 1, id=LIST)
    assert right > left + 20 and bottom > top, (left, top, right, bottom)
    d.mouse(t.main, left + 10, (top + bottom) // 2, id=LIST, double=True)
    t.wait_events(["select 1 on", "double-click 1"])
    eq(d.list_selected(t.main, id=LIST), [1])
    t.end()


@test
def closing_asks_first_and_the_exit_code_is_reported(s):
    t = Target(s, "close")
    d = t.d
    d.keys(t.main, "alt+f4")
    box = d.answer_message_box("no", pid=t.pid, caption="Driver Target")
    eq(box.text, "Exit the target?")
    d.sync(t.main)
    eq(d.exit_code(t.pid), None)
    eq(d.state(t.main).visible, True)
    d.close_window(t.main)
    d.answer_message_box("yes", pid=t.pid)
    eq(d.wait_exit(t.pid), EXIT_CODE)
    eq(d.exit_code(t.pid), EXIT_CODE)
    d.wait_gone(t.main)
    t.wait_events(["close asked", "close asked", "destroyed"])


@test
def web_page_opened_by_the_program_is_recorded(s):
    t = Target(s, "web")
    d = t.d
    before = len(read_lines(s.web_log))
    d.click(t.main, id=WEB)
    t.wait_event("web opened")
    wait_until(lambda: len(read_lines(s.web_log)) > before, 30, what="the browser launcher")
    eq(read_lines(s.web_log)[before:], ["http://www.vantoral.example/target?x=1"])
    t.end()


@test
def started_program_gets_environment_and_output_file(s):
    d = s.driver
    out = os.path.join(s.work, "cmd-output.txt")
    pid = d.start("cmd", "/c", "echo", "[%LQUIET%]", env={"LQUIET": "1 2"}, output=out)
    eq(d.wait_exit(pid, 30), 0)
    eq(read_lines(out), ["[1 2]"])


@test
def waits_end_with_clear_errors(s):
    d = s.driver
    for call, message in [
            (lambda: d.find_window(caption="No such window", timeout=0.2), "no window matches"),
            (lambda: d.message_box(caption="Nobody", timeout=0.2), "no message box"),
            (lambda: d.call("frobnicate"), "unknown command: frobnicate"),
            (lambda: d.get_text(0x7ff0), "no such window: 32752"),
            (lambda: d.keys(d.find_window(visible=False), "ctrl+nothing"), "unknown key: ctrl+nothing")]:
        try:
            call()
            raise AssertionError("no error; wanted %r" % message)
        except DriverError as e:
            assert message in str(e), (message, str(e))
    eq(d.ping(), "lirva-driver 1")


@test
def replies_keep_records_apart_from_quoted_separators(s):
    eq(parse_reply('ok 0x1a "a ; b" ; -1 "\\\\x\\"\\xe4"'), (True, [[0x1a, "a ; b"], [-1, '\\x"\xe4']]))
    eq(parse_reply("ok"), (True, []))
    eq(parse_reply('ok ""'), (True, [[""]]))
    eq(parse_reply('err "no window matches"'), (False, "no window matches"))
    eq(quote('a"\\\n\xff'), '"a\\"\\\\\\n\\xff"')
    eq(parse_reply("ok " + quote("".join(map(chr, range(256))))), (True, [["".join(map(chr, range(256)))]]))


# ------------------------------------------------------------------ runner
class Session(SuiteSession):
    def __init__(self, args):
        super().__init__(args, "e2e-driver")
        self.target_exe = os.path.join(self.build, "driver-target.exe")


if __name__ == "__main__":
    sys.exit(suite_main("e2e-driver", TESTS, Session))
