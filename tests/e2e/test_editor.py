#!/usr/bin/python3
"""End-to-end tests of the editor: the real lirva.exe under Wine and Xvfb, driven from
outside by lirva-driver.exe as a person would drive it (the file-open dialog, keys,
clicks, message boxes). Each test checks what the windows show, the bytes that land in
the audio files (read back with mutagen and by hand), the registry values the program
stores and the web pages it opens.

    test_editor.py --build build/win32 --xml out.xml [--display :73] [-k name]

Without --display the tests start an Xvfb of their own on a free display. Screenshots
of the main window go to build/screenshots/.

Tests marked @known_bug guard a fault of the program that is not fixed yet: they run
every time, and while they fail they are reported as skipped with the reason.
"""
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lirva_e2e import (WINE_RUN, DriverError, eq, read_lines, ROOT, suite_main, SuiteSession, test_collector,
                       wait_until, win_path, Xvfb)  # noqa: E402

from resource_ids import ID  # noqa: E402
from mutagen.id3 import COMM, ID3, TALB, TCOM, TCON, TIT2, TPE1, TRCK, TYER  # noqa: E402

TESTS, test = test_collector()
KNOWN_BUGS = {}

# Control and command ids of the main window.
LIST, TITLE, YEAR, ARTIST, TRACK, ALBUM, COMMENT, GENRE, TAG_BUTTON = (
    ID[n] for n in ("IDC_FILELIST", "IDC_TITLE", "IDC_YEAR", "IDC_ARTIST", "IDC_TRACK", "IDC_ALBUM",
                    "IDC_COMMENT", "IDC_GENRE", "IDC_TAGBUTTON"))
LABEL_TITLE, LABEL_COMMENT = ID["IDC_LABEL_TITLE"], ID["IDC_LABEL_COMMENT"]
CMD_ADD, CMD_SELECT_ALL, CMD_COPY_TITLE, CMD_HELP = (
    ID[n] for n in ("IDM_ADDFILES", "IDM_SELECTALL", "IDM_COPYTITLE", "IDM_HELPCONTENTS"))
WM_USER = 0x0400
CLOSE_REQUEST = WM_USER + 102  # what another copy of the program sends to close this one
WM_SYSCOMMAND, SC_MINIMIZE = 0x0112, 0xF020

USER_KEY = r"HKCU\Software\Vantoral\Lirva"
MACHINE_KEY = r"HKLM\Software\Vantoral\Lirva"
VERSION_KEY = r"HKCU\Software\Wine\AppDefaults\lirva.exe"

# System colours of the test prefix: the defaults paint menus, borders and edits all
# white, so a field in the changed colours could not be told from one that is not.
MENU_COLOUR = (255, 255, 160)
ACTIVE_BORDER_COLOUR = (64, 160, 255)
MENU_TEXT_COLOUR = (160, 0, 0)
WHITE = (255, 255, 255)

LOCK_MESSAGE = ("Tags successfully lirvaed to 1 file(s).\r\n\r\nNot all files could be lirvaed, "
                "possibly due to the file being locked by another program.")



def known_bug(reason):
    def mark(fn):
        KNOWN_BUGS[fn.__name__] = reason
        return fn
    return mark




# ------------------------------------------------------------- audio files
class Song:
    """The tags a test file starts with; every file also carries a composer frame,
    which the editor has no field for and must carry through untouched."""

    def __init__(self, title, artist, album, year="1999", track="3", genre="Rock", comment="", composer="Someone"):
        self.title, self.artist, self.album, self.year = title, artist, album, year
        self.track, self.genre, self.comment, self.composer = track, genre, comment, composer


def make_mp3(path, base, song=None):
    """A copy of `base` with an ID3v2.3 tag and an ID3v1 block holding `song`."""
    shutil.copyfile(base, path)
    if song is None:
        return path
    tag = ID3()
    tag.add(TIT2(encoding=0, text=song.title))
    tag.add(TPE1(encoding=0, text=song.artist))
    tag.add(TALB(encoding=0, text=song.album))
    tag.add(TYER(encoding=0, text=song.year))
    tag.add(TRCK(encoding=0, text=song.track))
    tag.add(TCON(encoding=0, text=song.genre))
    tag.add(TCOM(encoding=0, text=song.composer))
    if song.comment:
        tag.add(COMM(encoding=0, lang="eng", desc="", text=song.comment))
    tag.save(path, v2_version=3, v1=0)
    with open(path, "ab") as f:
        f.write(v1_block(song))
    return path


GENRE_BYTES = {"Blues": 0, "Jazz": 8, "Rock": 17}


def v1_block(song):
    """An ID3v1.1 block with the same texts as the ID3v2 tag (mutagen would leave the
    comment out of it)."""
    def text(value, size):
        return value.encode("latin-1")[:size].ljust(size, b"\0")
    return (b"TAG" + text(song.title, 30) + text(song.artist, 30) + text(song.album, 30) +
            text(song.year, 4) + text(song.comment, 28) + bytes([0, int(song.track), GENRE_BYTES[song.genre]]))


def v2_fields(path):
    """The ID3v2 frames as {frame id: text}; {} without a tag."""
    try:
        tag = ID3(path, load_v1=False, translate=False)
    except Exception:  # mutagen raises its own errors for a file without a tag
        return {}
    fields = {}
    for frame in tag.values():
        fields[frame.FrameID] = str(frame)
    return fields


def v1_fields(path):
    """The ID3v1 block of a file as its fields (texts cut at the first zero), or None."""
    with open(path, "rb") as f:
        data = f.read()
    block = data[-128:]
    if len(data) < 128 or block[:3] != b"TAG":
        return None

    def text(raw):
        return raw.split(b"\0", 1)[0].rstrip(b" ").decode("latin-1")
    fields = {"title": text(block[3:33]), "artist": text(block[33:63]), "album": text(block[63:93]),
              "year": text(block[93:97]), "genre": block[127]}
    if block[125] == 0 and block[126] != 0:
        fields.update(comment=text(block[97:125]), track=block[126])
    else:
        fields.update(comment=text(block[97:127]), track=0)
    return fields


def audio_bytes(path):
    """What lies between the ID3v2 tag and the ID3v1 block: the MPEG frames."""
    with open(path, "rb") as f:
        data = f.read()
    start = 0
    if data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = (size << 7) | (b & 0x7F)
        start = 10 + size + (10 if data[5] & 0x10 else 0)
    end = len(data) - 128 if len(data) >= 128 and data[-128:-125] == b"TAG" else len(data)
    return data[start:end]


# ------------------------------------------------------------------ editor
class Editor:
    """One running lirva.exe (the session's copy of it, unless `exe` says otherwise)."""

    def __init__(self, s, exe=None, locale=None):
        """With `locale` the program runs in that Unix locale, from which Wine takes
        the ANSI code page (the driver's own children keep the suite's)."""
        self.s = s
        self.d = s.driver
        if not locale:
            self.pid = self.d.start(exe or s.exe)
            self.main = self.d.find_window(caption="Lirva", cls="#32770", pid=self.pid, unowned=True, timeout=30)
            return
        env = dict(s.wine.env(), LC_ALL=locale)
        subprocess.Popen([WINE_RUN, exe or s.exe], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                         stderr=subprocess.DEVNULL)
        self.main = self.d.find_window(caption="Lirva", cls="#32770", unowned=True, timeout=30)
        self.pid = next(w.pid for w in self.d.windows(cls="#32770", caption="Lirva", unowned=True)
                        if w.hwnd == self.main)

    def add(self, names, folder, rows_after=None, wide=False):
        """Adds files through the file-open dialog opened with Ctrl+N (names in any
        script with wide=True)."""
        self.d.keys(self.main, "ctrl+n")
        dialog = self.d.find_window(cls="#32770", child=1148, pid=self.pid, timeout=10)
        eq(self.d.get_text(dialog), "Locate Wave or MP3 File", "file dialog title")
        self.d.open_files(names, folder=folder, pid=self.pid, timeout=30, wide=wide)
        if rows_after is not None:
            wait_until(lambda: self.d.list_count(self.main, id=LIST, timeout=20) == rows_after, 20,
                       what="%d rows in the list" % rows_after)

    def rows(self):
        return self.d.list_rows(self.main, id=LIST)

    def select(self, rows, title):
        """Selects rows and waits for the fields to show the first one's title."""
        self.d.list_select(self.main, rows, id=LIST)
        wait_until(lambda: self.d.state(self.main, id=ARTIST).enabled and self.field(TITLE) == title, 10,
                   what="the fields to show %r" % title)

    def field(self, control):
        return self.d.get_text(self.main, id=control, wide=True)

    def fields(self):
        return {name: self.field(control) for name, control in
                (("title", TITLE), ("year", YEAR), ("artist", ARTIST), ("track", TRACK),
                 ("album", ALBUM), ("comment", COMMENT))}

    def tag(self, expected_message, via_key=False):
        """Runs the tag command and answers its result message, which must read
        `expected_message` with the caption "Lirva"."""
        if via_key:
            self.d.keys(self.main, "ctrl+g")
        else:
            self.d.click(self.main, id=TAG_BUTTON)
        box = self.d.answer_message_box("ok", pid=self.pid, timeout=60)
        eq((box.caption, box.text), ("Lirva", expected_message), "result message")
        return box

    def close(self):
        """Closes the window as a person does (it stores its placement), answering
        "Exit Lirva?"."""
        self.d.close_window(self.main)
        self.d.answer_message_box("ok", pid=self.pid, caption="Lirva", timeout=10)
        self.d.wait_exit(self.pid, 10)

    def end(self):
        if self.d.exit_code(self.pid) is None:
            self.d.kill(self.pid)
            self.d.wait_exit(self.pid, 10)


def song_folder(s, name, songs):
    """A folder of MP3 files {file name: Song}; returns its path."""
    folder = os.path.join(s.work, name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for file_name, song in songs.items():
        make_mp3(os.path.join(folder, file_name), s.base_mp3, song)
    return folder


THREE = {"a.mp3": Song("Alpha", "Artist A", "Album A", "1991", "1", "Rock", "comment a"),
         "b.mp3": Song("Bravo", "Artist B", "Album B", "1992", "2", "Jazz", "comment b"),
         "c.mp3": Song("Charlie", "Artist C", "Album C", "1993", "3", "Blues", "comment c")}


def snapshot(folder, names):
    return {n: (v2_fields(os.path.join(folder, n)), v1_fields(os.path.join(folder, n)),
                audio_bytes(os.path.join(folder, n))) for n in names}


def assert_only_changed(folder, before, v2_changes, v1_changes):
    """Each file of `before` now has exactly the changes given (None removes a frame)
    and the very same audio bytes."""
    for name, (v2, v1, audio) in before.items():
        path = os.path.join(folder, name)
        want_v2 = dict(v2)
        for key, value in v2_changes.get(name, {}).items():
            if value is None:
                want_v2.pop(key, None)
            else:
                want_v2[key] = value
        want_v1 = dict(v1)
        want_v1.update(v1_changes.get(name, {}))
        eq(v2_fields(path), want_v2, name + " ID3v2 frames")
        eq(v1_fields(path), want_v1, name + " ID3v1 block")
        assert audio_bytes(path) == audio, "%s: the audio bytes changed" % name


# ------------------------------------------------------------------- tests
@test
def added_files_become_rows_once_and_the_folder_is_remembered(s):
    folder = song_folder(s, "adding", THREE)
    wfolder = win_path(folder)
    ed = Editor(s)
    d = ed.d
    eq(d.state(ed.main, id=TAG_BUTTON).enabled, False, "tag button of an empty list")
    ed.add(["a.mp3", "b.mp3"], folder, rows_after=2)
    eq(ed.rows(), [["a.mp3", wfolder], ["b.mp3", wfolder]])
    eq(d.list_columns(ed.main, id=LIST)[0][0], "File")
    eq(s.reg_value(MACHINE_KEY + r"\Settings", "LoadFromFolder"), wfolder, "LoadFromFolder")
    # The same file again, its path in capitals: reported, not added.
    d.command(ed.main, CMD_ADD)
    dialog = d.find_window(cls="#32770", child=1148, pid=ed.pid, timeout=10)
    eq(d.get_text(dialog), "Locate Wave or MP3 File")
    d.open_files(wfolder.upper() + "\\A.MP3", pid=ed.pid, timeout=30)
    box = d.answer_message_box("ok", pid=ed.pid, timeout=10)
    eq((box.caption, box.text),
       ("Lirva", "One or more files were not added because they already exist in the list."))
    eq(ed.rows(), [["a.mp3", wfolder], ["b.mp3", wfolder]])
    eq(s.reg_value(MACHINE_KEY + r"\Settings", "LoadFromFolder"), wfolder.upper(), "LoadFromFolder")
    # A duplicate among new files: the others are added, the message comes once.
    ed.add(["b.mp3", "c.mp3"], folder)
    box = d.answer_message_box("ok", pid=ed.pid, timeout=10)
    eq(box.text, "One or more files were not added because they already exist in the list.")
    eq(ed.rows(), [["a.mp3", wfolder], ["b.mp3", wfolder], ["c.mp3", wfolder]])
    # With rows but no selection the button works and the fields stay disabled.
    eq(d.state(ed.main, id=TAG_BUTTON).enabled, True, "tag button with rows")
    eq(d.state(ed.main, id=ARTIST).enabled, False, "artist field without a selection")
    ed.end()


@test
def selecting_a_row_shows_its_tags_in_the_fields(s):
    folder = song_folder(s, "selecting", THREE)
    ed = Editor(s)
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([1], "Bravo")
    eq(ed.fields(), {"title": "Bravo", "year": "1992", "artist": "Artist B", "track": "2",
                     "album": "Album B", "comment": "comment b"})
    eq(ed.d.combo(ed.main, id=GENRE)[1], "Jazz")
    ed.select([2], "Charlie")
    eq(ed.fields(), {"title": "Charlie", "year": "1993", "artist": "Artist C", "track": "3",
                     "album": "Album C", "comment": "comment c"})
    eq(ed.d.combo(ed.main, id=GENRE)[1], "Blues")
    ed.end()


@test
def utf16_and_utf8_tags_show_in_the_fields_and_are_kept(s):
    """Tags that players write in UTF-16 (version 2.3) and UTF-8 (2.4) show in the
    fields in full, in any script, and stay as they were when another field is
    tagged."""
    folder = os.path.join(s.work, "unicode")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    title = "F\u00fcr Elise (Remastered 2019 Edition, Extended)"
    for name, version, enc in (("v23.mp3", 3, 1), ("v24.mp3", 4, 3)):
        path = make_mp3(os.path.join(folder, name), s.base_mp3)
        tag = ID3()
        tag.add(TIT2(encoding=enc, text=title))
        tag.add(TPE1(encoding=enc, text="\u0141\u00f3d\u017a Orchestra"))
        tag.save(path, v2_version=version, v1=0)
    ed = Editor(s)
    ed.add(["v23.mp3", "v24.mp3"], folder, rows_after=2)
    for row in (0, 1):
        ed.select([row], title)
        eq(ed.field(ARTIST), "\u0141\u00f3d\u017a Orchestra", "artist with characters beyond the code page")
    ed.select([0], title)
    before = ID3(os.path.join(folder, "v23.mp3"))
    ed.d.set_text(ed.main, "New Album", id=ALBUM)
    ed.tag("Tags successfully lirvaed to 1 file(s).")
    after = ID3(os.path.join(folder, "v23.mp3"))
    eq(str(after["TALB"]), "New Album", "album written")
    for fid in ("TIT2", "TPE1"):
        eq((after[fid].encoding, str(after[fid])), (before[fid].encoding, str(before[fid])), fid + " kept")
    ed.end()


def window_pixels(s, hwnd):
    """The window's pixels above its status bar (whose text changes with time)."""
    left, top, right, bottom = s.driver.state(hwnd).rect
    bar_top = s.driver.state(hwnd, id=ID["IDC_STATUSBAR"]).rect[1]
    shot = s.grab()
    return [shot.pixel(x, y) for y in range(max(top, 0), min(bar_top, shot.height)) for x in
            range(max(left, 0), min(right, shot.width))], (right - left, bar_top - top)


def settled_pixels(s, hwnd):
    """The window's pixels once two looks a moment apart agree."""
    def look():
        first = window_pixels(s, hwnd)
        time.sleep(0.3)
        second = window_pixels(s, hwnd)
        return second if first == second else None
    return wait_until(look, 10, interval=0.1, what="the window to settle")


@test
def a_resized_or_maximised_editor_looks_as_one_opened_at_that_size(s):
    for key in ("X", "Y", "Width", "Height", "Maximized"):
        s.reg("delete", r"HKCU\Software\Vantoral\Lirva\MainWindow", "/v", key, "/f")
    for size in ((700, 560), (620, 620)):
        ed = Editor(s)
        s.driver.place(ed.main, 40, 30, *size)
        resized, measured = settled_pixels(s, ed.main)
        shot = s.screenshot_to_keep("main-window-resized-%dx%d" % size)
        ed.close()  # stores the placement: the next start opens at that size
        fresh_ed = Editor(s)
        fresh, fresh_size = settled_pixels(s, fresh_ed.main)
        fresh_ed.end()
        eq(fresh_size, measured, "the same size")
        differing = sum(a != b for a, b in zip(resized, fresh))
        assert differing == 0, "%d pixels differ from a window opened at %r (%s)" % (differing, size, shot)
    ed = Editor(s)
    s.driver.post(ed.main, 0x0112, 0xF030)  # WM_SYSCOMMAND, SC_MAXIMIZE
    wait_until(lambda: s.driver.state(ed.main).rect[2] - s.driver.state(ed.main).rect[0] >= 1000, 10, what="maximised")
    maximised, measured = settled_pixels(s, ed.main)
    shot = s.screenshot_to_keep("main-window-maximised")
    ed.close()
    fresh_ed = Editor(s)
    fresh, fresh_size = settled_pixels(s, fresh_ed.main)
    fresh_ed.end()
    eq(fresh_size, measured, "maximised again")
    differing = sum(a != b for a, b in zip(maximised, fresh))
    assert differing == 0, "%d pixels differ from a window started maximised (%s)" % (differing, shot)
    for key in ("X", "Y", "Width", "Height", "Maximized"):
        s.reg("delete", r"HKCU\Software\Vantoral\Lirva\MainWindow", "/v", key, "/f")


def field_pixel(s, ed, control):
    """The colour inside a field near its right end, past any text."""
    left, top, right, bottom = ed.d.state(ed.main, id=control).rect
    return s.pixel(right - 6, (top + bottom) // 2)


def wait_field_colour(s, ed, control, colour, what):
    try:
        wait_until(lambda: field_pixel(s, ed, control) == colour, 5, interval=0.2, what=what)
    except AssertionError:
        raise AssertionError("%s: the field shows %r, not %r" % (what, field_pixel(s, ed, control), colour))


@test
def a_typed_field_is_painted_as_changed_until_its_old_text_is_back(s):
    folder = song_folder(s, "colours", THREE)
    ed = Editor(s)
    d = ed.d
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([1], "Bravo")
    wait_field_colour(s, ed, ARTIST, WHITE, "artist as loaded")
    d.set_text(ed.main, "", id=ARTIST)
    d.type_text(ed.main, "The Typists", id=ARTIST)
    wait_until(lambda: ed.field(ARTIST) == "The Typists", what="the typed artist")
    wait_field_colour(s, ed, ARTIST, ACTIVE_BORDER_COLOUR, "artist after typing")
    eq(field_pixel(s, ed, TITLE), WHITE, "the untouched title field")
    time.sleep(0.3)
    s.screenshot_to_keep("main-window-changed-artist")
    d.set_text(ed.main, "Artist B", id=ARTIST)
    wait_field_colour(s, ed, ARTIST, WHITE, "artist typed back to its loaded text")
    d.set_text(ed.main, "ARTIST B", id=ARTIST)
    wait_field_colour(s, ed, ARTIST, ACTIVE_BORDER_COLOUR, "artist differing in letter case only")
    ed.select([2], "Charlie")
    wait_field_colour(s, ed, ARTIST, WHITE, "artist after selecting another file")
    ed.end()


@test
def tagging_three_files_writes_only_the_changed_artist(s):
    folder = song_folder(s, "three", THREE)
    before = snapshot(folder, THREE)
    ed = Editor(s)
    d = ed.d
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([0, 1, 2], "Alpha")
    d.set_text(ed.main, "", id=ARTIST)
    d.type_text(ed.main, "New Artist", id=ARTIST)
    wait_until(lambda: ed.field(ARTIST) == "New Artist", what="the typed artist")
    ed.tag("Tags successfully lirvaed to 3 file(s).")
    assert_only_changed(folder, before, {n: {"TPE1": "New Artist"} for n in THREE},
                        {n: {"artist": "New Artist"} for n in THREE})
    # The fields are read again from the first selected file.
    eq(ed.fields()["artist"], "New Artist")
    eq(ed.fields()["title"], "Alpha")
    ed.end()


@test
def a_field_typed_back_is_not_written_but_a_change_of_letter_case_is(s):
    folder = song_folder(s, "typed-back", THREE)
    ed = Editor(s)
    d = ed.d
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([0, 1, 2], "Alpha")
    d.set_text(ed.main, "Somebody Else", id=ARTIST)
    d.set_text(ed.main, "Artist A", id=ARTIST)
    d.set_text(ed.main, "Shared Album", id=ALBUM)
    before = snapshot(folder, THREE)
    ed.tag("Tags successfully lirvaed to 3 file(s).", via_key=True)
    # Only the album was written: b and c keep their own artists.
    assert_only_changed(folder, before, {n: {"TALB": "Shared Album"} for n in THREE},
                        {n: {"album": "Shared Album"} for n in THREE})
    before = snapshot(folder, THREE)
    d.set_text(ed.main, "artist a", id=ARTIST)
    ed.tag("Tags successfully lirvaed to 3 file(s).", via_key=True)
    assert_only_changed(folder, before, {n: {"TPE1": "artist a"} for n in THREE},
                        {n: {"artist": "artist a"} for n in THREE})
    ed.end()


@test
def a_cleared_comment_is_removed_from_the_files(s):
    folder = song_folder(s, "comment", THREE)
    before = snapshot(folder, THREE)
    assert all("COMM" in v2 for v2, _, _ in before.values()), "the test files have comments"
    ed = Editor(s)
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([0, 1, 2], "Alpha")
    ed.d.set_text(ed.main, "", id=COMMENT)
    ed.tag("Tags successfully lirvaed to 3 file(s).")
    assert_only_changed(folder, before, {n: {"COMM": None} for n in THREE},
                        {n: {"comment": ""} for n in THREE})
    eq(ed.field(COMMENT), "")
    ed.end()


@test
def copy_filename_as_title_sets_each_title_from_its_file_name(s):
    songs = {"Track 01.mp3": Song("Old One", "Band", "Record"),
             "second song.mp3": Song("Old Two", "Band", "Record"),
             "x.y.mp3": Song("Old Three", "Band", "Record")}
    folder = song_folder(s, "copy title", songs)
    before = snapshot(folder, songs)
    ed = Editor(s)
    ed.add(list(songs), folder, rows_after=3)
    ed.select([0, 1, 2], "Old One")
    ed.d.set_text(ed.main, "Not Written", id=ARTIST)  # copy-title mode ignores the fields
    ed.d.command(ed.main, CMD_COPY_TITLE)
    box = ed.d.answer_message_box("ok", pid=ed.pid, timeout=30)
    eq((box.caption, box.text), ("Lirva", "Tags successfully lirvaed to 3 file(s)."))
    titles = {"Track 01.mp3": "Track 01", "second song.mp3": "second song", "x.y.mp3": "x.y"}
    assert_only_changed(folder, before, {n: {"TIT2": t} for n, t in titles.items()},
                        {n: {"title": t} for n, t in titles.items()})
    wait_until(lambda: ed.field(TITLE) == "Track 01", what="the title field reloaded")
    eq(ed.field(ARTIST), "Band")
    ed.end()


@test
def tagging_with_nothing_selected_only_says_so(s):
    folder = song_folder(s, "none selected", THREE)
    with open(os.path.join(folder, "a.mp3"), "rb") as f:
        original = f.read()
    ed = Editor(s)
    ed.add(["a.mp3"], folder, rows_after=1)
    ed.select([0], "Alpha")
    ed.d.set_text(ed.main, "Never Written", id=ARTIST)
    ed.d.list_select(ed.main, [], id=LIST)
    wait_until(lambda: not ed.d.state(ed.main, id=ARTIST).enabled, what="fields disabled")
    ed.d.click(ed.main, id=TAG_BUTTON)
    box = ed.d.answer_message_box("ok", pid=ed.pid, timeout=10)
    eq((box.caption, box.text), ("Lirva", "There are no files selected!"))
    eq(ed.d.windows(cls="#32770", caption="Tagging Files...", pid=ed.pid), [], "progress window")
    with open(os.path.join(folder, "a.mp3"), "rb") as f:
        assert f.read() == original, "the file was changed"
    ed.end()


def lock_file(s, path, seconds=8):
    """Another Windows program holds `path` open without write sharing for about
    `seconds`: cmd opens its input redirection that way and keeps it while ping runs.
    Returns the pid of cmd."""
    pid = s.driver.start("cmd", "/c", "ping -n %d 127.0.0.1 >nul <%s" % (seconds, win_path(path)))
    time.sleep(0.5)
    assert s.driver.exit_code(pid) is None, "the program holding the file ended at once"
    return pid


@test
def a_file_locked_by_another_program_is_counted_out(s):
    songs = {"free.mp3": Song("Free", "Artist F", "Album"), "held.mp3": Song("Held", "Artist H", "Album")}
    folder = song_folder(s, "locked", songs)
    before = snapshot(folder, songs)
    with open(os.path.join(folder, "held.mp3"), "rb") as f:
        held_bytes = f.read()
    ed = Editor(s)
    ed.add(["free.mp3", "held.mp3"], folder, rows_after=2)
    ed.select([0, 1], "Free")
    ed.d.set_text(ed.main, "Lock Test", id=ARTIST)
    holder = lock_file(s, os.path.join(folder, "held.mp3"))
    ed.tag(LOCK_MESSAGE)
    assert s.driver.exit_code(holder) is None, "the file was let go before the run ended"
    assert_only_changed(folder, {"free.mp3": before["free.mp3"]}, {"free.mp3": {"TPE1": "Lock Test"}},
                        {"free.mp3": {"artist": "Lock Test"}})
    with open(os.path.join(folder, "held.mp3"), "rb") as f:
        assert f.read() == held_bytes, "the locked file was changed"
    ed.end()


@test
def cancel_reports_the_number_of_files_really_written(s):
    count, brake = 200, 60
    folder = os.path.join(s.work, "cancel")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    names = ["f%03d.mp3" % i for i in range(count)]
    for n in names:
        make_mp3(os.path.join(folder, n), s.base_mp3, Song("Title", "Before", "Album"))
    with open(os.path.join(folder, names[0]), "rb") as f:
        original = f.read()
    ed = Editor(s)
    d = ed.d
    ed.add(names, folder, rows_after=count)
    ed.select(range(count), "Title")
    d.set_text(ed.main, "Cancel Run", id=ARTIST)
    # A run of small files is over in a fraction of a second; a file held by another
    # program stops it for the length of the open retries, long enough for Cancel to
    # arrive while files remain.
    lock_file(s, os.path.join(folder, names[brake]))
    d.keys(ed.main, "ctrl+g")
    progress = d.find_window(caption="Tagging Files...", pid=ed.pid, timeout=10)
    d.press(progress, 2)
    box = d.answer_message_box("ok", pid=ed.pid, timeout=30)
    match = re.fullmatch(r"Tagging process cancelled\. Tags written to (\d+) file\(s\)\.", box.text)
    assert match and box.caption == "Lirva", "result message %r / %r" % (box.caption, box.text)
    written = int(match.group(1))
    changed = [i for i, n in enumerate(names) if v2_fields(os.path.join(folder, n)).get("TPE1") == "Cancel Run"]
    eq(changed, list(range(written)), "files written on disk (reported %d)" % written)
    assert written < count, "the run was not cancelled"
    print("  cancelled after %d of %d files" % (written, count))
    for n in names[written + 1:]:
        with open(os.path.join(folder, n), "rb") as f:
            assert f.read() == original, "%s was changed after the cancel" % n
    ed.end()


@test
def select_all_selects_every_row(s):
    folder = song_folder(s, "select all", THREE)
    ed = Editor(s)
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.d.keys(ed.main, "ctrl+a", id=LIST)
    try:
        wait_until(lambda: ed.d.list_selected(ed.main, id=LIST) == [0, 1, 2], 3, what="all rows selected")
        ed.d.list_select(ed.main, [], id=LIST)
        ed.d.command(ed.main, CMD_SELECT_ALL)
        wait_until(lambda: ed.d.list_selected(ed.main, id=LIST) == [0, 1, 2], 3,
                   what="all rows selected by the menu command")
    except AssertionError as e:
        raise AssertionError("%s; selected rows: %r" % (e, ed.d.list_selected(ed.main, id=LIST)))
    finally:
        ed.end()


@test
def labels_are_not_covered_by_their_fields(s):
    ed = Editor(s)
    time.sleep(1.0)  # the first paint of the whole window
    shot = s.grab()
    problems = []
    for label, field in ((LABEL_TITLE, TITLE), (202, ARTIST), (204, ALBUM), (LABEL_COMMENT, COMMENT)):
        left, top, right, bottom = ed.d.state(ed.main, id=label).rect
        field_left = ed.d.state(ed.main, id=field).rect[0]
        # Text ends well before its field begins: the last columns in front of the
        # field show the background only.
        columns = range(field_left - 3, field_left)
        dark = [(x, y) for x in columns for y in range(top, bottom) if sum(shot.pixel(x, y)) < 3 * 120]
        if dark:
            problems.append("%s runs into its field at %r" % (ed.d.get_text(ed.main, id=label), dark[0]))
    ed.end()
    assert not problems, "; ".join(problems)


@test
def a_second_start_brings_the_first_window_back(s):
    ed = Editor(s)
    d = ed.d
    normal = d.state(ed.main).rect
    notepad = d.start("notepad")
    note = d.find_window(pid=notepad, unowned=True, timeout=20)
    d.post(ed.main, WM_SYSCOMMAND, SC_MINIMIZE, 0)
    wait_until(lambda: d.state(ed.main).rect != normal, what="the window minimised")
    d.activate(note)
    eq(d.foreground(), note, "foreground before the second start")
    second = d.start(s.exe)
    eq(d.wait_exit(second, 30), 0, "exit code of the second start")
    wait_until(lambda: d.foreground() == ed.main, 5, what="the first window in front")
    eq(d.state(ed.main).rect, normal, "the first window restored")
    eq([w.hwnd for w in d.windows(caption="Lirva", cls="#32770", unowned=True)], [ed.main],
       "main windows")
    d.kill(notepad)
    ed.end()


@test
def a_copy_named_setup_reports_a_damaged_installer(s):
    d = s.driver
    for name in ("MySetup.exe", "lirva-SeTuP2.exe"):
        copy = os.path.join(s.app, name)
        shutil.copyfile(s.exe, copy)
        pid = d.start(copy)
        box = d.answer_message_box("ok", pid=pid, timeout=20)
        eq((box.caption, box.text), ("Install Error",
                                     "Installation file corrupt.\n\nA checksum error was detected in "
                                     "your install file, please redownload file and install again."))
        eq(d.wait_exit(pid, 10), 0, name + " exit code")
        eq(d.windows(caption="Lirva", pid=pid), [], name + " main window")


@test
def windows_7_gets_the_update_message_and_the_vendor_page(s):
    d = s.driver
    before = len(read_lines(s.web_log))
    s.reg("add", VERSION_KEY, "/v", "Version", "/t", "REG_SZ", "/d", "win7", "/f")
    try:
        pid = d.start(s.exe)
        box = d.message_box(pid=pid, timeout=30)
        eq(box.caption, "Updated Version Required")
        assert box.text.startswith("This version 1.00 of Lirva will only work on Windows Vista (or earlier)."), box.text
        assert re.search(r"please see http://\S+/kb/10015 for information", box.text), box.text
        eq(d.windows(caption="Lirva", pid=pid), [], "main window")
        d.press(box.hwnd, "ok")
        eq(d.wait_exit(pid, 30), 0, "exit code")
        wait_until(lambda: len(read_lines(s.web_log)) > before, 30, what="the vendor page")
        pages = read_lines(s.web_log)[before:]
        assert len(pages) == 1 and re.fullmatch(r"http://[^/]+/kb/10015", pages[0]), pages
    finally:
        s.reg("delete", VERSION_KEY, "/f")


@test
def closing_asks_first_but_the_close_request_does_not_and_the_placement_is_kept(s):
    d = s.driver
    # A stored window smaller than the smallest layout opens enlarged; the size it
    # really had is what is stored again.
    for name, value in (("X", "40"), ("Y", "30"), ("Width", "300"), ("Height", "200"), ("Maximized", "0")):
        s.reg("add", USER_KEY + r"\MainWindow", "/v", name, "/t", "REG_SZ", "/d", value, "/f")
    ed = Editor(s)
    left, top, right, bottom = d.state(ed.main).rect
    eq((left, top), (40, 30), "window position")
    assert right - left > 300 and bottom - top > 200, "window not enlarged: %r" % ((left, top, right, bottom),)
    d.keys(ed.main, "alt+f4")
    box = d.answer_message_box("cancel", pid=ed.pid, timeout=10)
    eq((box.caption, box.text, sorted(box.buttons)), ("Lirva", "Exit Lirva?", [1, 2]))
    d.sync(ed.main)
    eq(d.exit_code(ed.pid), None, "running after Cancel")
    eq(d.state(ed.main).visible, True)
    d.close_window(ed.main)
    box = d.answer_message_box("ok", pid=ed.pid, timeout=10)
    eq(box.text, "Exit Lirva?")
    eq(d.wait_exit(ed.pid, 10), 0, "exit code")
    stored = {n: s.reg_value(USER_KEY + r"\MainWindow", n) for n in ("X", "Y", "Width", "Height", "Maximized")}
    eq(stored, {"X": "40", "Y": "30", "Width": str(right - left), "Height": str(bottom - top), "Maximized": "0"},
       "stored placement")

    ed = Editor(s)
    eq(d.state(ed.main).rect, (left, top, right, bottom), "window reopened where it was")
    d.post(ed.main, CLOSE_REQUEST)
    eq(d.wait_exit(ed.pid, 10), 0, "exit code after the close request")
    try:
        d.message_box(pid=ed.pid, timeout=0.3)
        raise AssertionError("a message box came up")
    except DriverError:
        pass


@test
def help_opens_the_index_page_of_the_program_folder(s):
    ed = Editor(s)
    before = len(read_lines(s.web_log))
    ed.d.keys(ed.main, "f1")
    wait_until(lambda: len(read_lines(s.web_log)) > before, 30, what="the help page from F1")
    ed.d.command(ed.main, CMD_HELP)
    wait_until(lambda: len(read_lines(s.web_log)) > before + 1, 30, what="the help page from the menu")
    page = "file://" + os.path.join(s.app, "Help", "index.html")
    eq(read_lines(s.web_log)[before:], [page, page], "pages opened")
    ed.end()


@test
def the_tag_button_shows_its_icon_and_caption(s):
    """The owner-drawn "Lirva File(s)" button with files selected: the coloured tag
    icon at its left and the dark caption beside it. Also keeps a picture of the
    window with rows and a changed field for people to look at."""
    folder = song_folder(s, "picture", THREE)
    ed = Editor(s)
    ed.add(["a.mp3", "b.mp3", "c.mp3"], folder, rows_after=3)
    ed.select([1], "Bravo")
    ed.d.set_text(ed.main, "A Changed Album", id=ALBUM)
    wait_field_colour(s, ed, ALBUM, ACTIVE_BORDER_COLOUR, "album after the change")
    s.screenshot_to_keep("main-window-with-files")
    left, top, right, bottom = ed.d.state(ed.main, id=TAG_BUTTON).rect
    shot = s.grab()
    rows = range(top + 3, bottom - 3)
    coloured = sum(1 for y in rows for x in range(left + 3, left + 22)
                   if max(shot.pixel(x, y)) - min(shot.pixel(x, y)) > 60)
    dark = sum(1 for y in rows for x in range(left + 23, right - 3) if max(shot.pixel(x, y)) < 90)
    assert coloured >= 20, "no icon on the tag button (%d coloured pixels)" % coloured
    assert dark >= 40, "no caption on the tag button (%d dark pixels)" % dark
    ed.end()


# ------------------------------------------------------------------ runner
class Shot:
    """A screen grab as RGB bytes."""

    def __init__(self, data):
        # "P6\n<w> <h>\n255\n" then the pixels.
        header = data.split(b"\n", 3)
        assert header[0] == b"P6", "not a PPM picture"
        self.width, self.height = map(int, header[1].split())
        self.rgb = header[3]

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])


class Session(SuiteSession):
    def __init__(self, args):
        super().__init__(args, "e2e-editor")
        self.keep = os.path.join(ROOT, "build", "screenshots")
        # The program runs from a folder of its own, next to its help pages.
        self.app = os.path.join(self.work, "app")
        os.makedirs(os.path.join(self.app, "Help"))
        self.exe = os.path.join(self.app, "lirva.exe")
        shutil.copyfile(os.path.join(self.build, "lirva.exe"), self.exe)
        with open(os.path.join(self.app, "Help", "index.html"), "w") as f:
            f.write("<html><body>Lirva help</body></html>\n")
        self.base_mp3 = self.make_base_mp3()
        # A clean slate for the program's settings, distinct system colours, and web
        # pages (.html files) handed to the browser launcher as on a desktop system.
        for key in (USER_KEY, MACHINE_KEY, VERSION_KEY):
            self.reg("delete", key, "/f")
        for name, rgb in (("Menu", MENU_COLOUR), ("ActiveBorder", ACTIVE_BORDER_COLOUR),
                          ("MenuText", MENU_TEXT_COLOUR)):
            self.reg("add", r"HKCU\Control Panel\Colors", "/v", name, "/t", "REG_SZ", "/d",
                     "%d %d %d" % rgb, "/f")
        self.reg("add", r"HKCR\.html", "/ve", "/t", "REG_SZ", "/d", "htmlfile", "/f")
        # Colours are read when the desktop starts: begin again with them.
        self.driver.close()
        self.wine.stop()
        self.wine.start()
        self.driver = self.new_driver()

    def make_base_mp3(self):
        wav = os.path.join(self.work, "base.wav")
        mp3 = os.path.join(self.work, "base.mp3")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "1", "sine", "440"],
                       check=True)
        subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
        os.remove(wav)
        return mp3

    def grab(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.wine.env(),
                              check=True, timeout=30, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        return Shot(data)

    def pixel(self, x, y):
        return self.grab().pixel(x, y)

    def screenshot_to_keep(self, name):
        os.makedirs(self.keep, exist_ok=True)
        return self.wine.screenshot(os.path.join(self.keep, "e2e-editor-%s.png" % name))


if __name__ == "__main__":
    sys.exit(suite_main("e2e-editor", TESTS, Session, KNOWN_BUGS))
