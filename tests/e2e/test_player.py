#!/usr/bin/python3
"""End-to-end tests of the player: lirva.exe under Wine and Xvfb, the player opened
from the main window with F9, keys and clicks sent to it as a person would, and the
sound it plays captured by ALSA's file plugin through scripts/paced-sink (a device
that takes audio at real-time rate). Each test checks the captured samples against
the file (WAV) or `lirva-cli decode` (MP3), and what the dialog shows.

    test_player.py --build build/win64 --xml out.xml [--display :73] [-k name]

The WAV files of these tests carry their frame number in every frame (left: the low
16 bits, right: 1000 + the high bits), so the captured audio tells which frame of the
file was played where.
"""
import array
import os
import shutil
import subprocess
import sys
import time
import wave

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from lirva_e2e import eq, ROOT, suite_main, SuiteSession, test_collector, wait_until, win_path  # noqa: E402
from resource_ids import ID  # noqa: E402
from test_editor import Editor, Shot  # noqa: E402

TESTS, test = test_collector()

TIME, METER, WAVE, POSITION, DEVICE, VOLUME = (
    ID[n] for n in ("IDC_PLAYER_TIME", "IDC_PLAYER_METER", "IDC_PLAYER_WAVE", "IDC_PLAYER_POSITION",
                    "IDC_PLAYER_DEVICE", "IDC_PLAYER_VOLUME"))
PLAY, SCRUB, STOP, START, REWIND, FORWARD, END = (
    ID[n] for n in ("IDC_PLAYER_PLAY", "IDC_PLAYER_SCRUB", "IDC_PLAYER_STOP", "IDC_PLAYER_START",
                    "IDC_PLAYER_REWIND", "IDC_PLAYER_FORWARD", "IDC_PLAYER_END"))
WM_KEYDOWN, WM_KEYUP, WM_HSCROLL = 0x0100, 0x0101, 0x0114
BM_GETCHECK, SBM_GETPOS, CB_GETCURSEL, CB_SETCURSEL = 0x00F0, 0x00E1, 0x0147, 0x014E
BM_GETSTATE, BST_PUSHED = 0x00F2, 0x0004
WM_COMMAND, CBN_SELCHANGE = 0x0111, 1
VK_SPACE, VK_LEFT, VK_RIGHT, VK_END, VK_F9, VK_ESCAPE, VK_RETURN, VK_HOME = (
    0x20, 0x25, 0x27, 0x23, 0x78, 0x1B, 0x0D, 0x24)
LIST_ID = ID["IDC_FILELIST"]
MACHINE_PLAYER = r"HKLM\Software\Vantoral\Lirva\Player"
RATE = 44100



def time_text(ms):
    u = max(ms, 0) + 5
    return "%d:%02d:%02d.%02d" % (u // 3600000, u // 60000 % 60, u // 1000 % 60, u % 1000 // 10)


# ------------------------------------------------------------------ audio
def numbered_wav(path, frames):
    """A 16-bit stereo WAV file whose frames carry their own number."""
    data = array.array("h")
    for i in range(frames):
        low = i & 0xFFFF
        data.append(low - 65536 if low >= 32768 else low)
        data.append(1000 + (i >> 16))
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data.tobytes())
    return data.tobytes()


def frame_numbers(raw):
    """The frame number of each captured frame; None for a frame that is not one of
    a numbered file's (silence, or a crossfade)."""
    a = array.array("h", raw[:len(raw) // 4 * 4])
    out = []
    for i in range(0, len(a), 2):
        high = a[i + 1] - 1000
        out.append((a[i] & 0xFFFF) + (high << 16) if 0 <= high < 256 else None)
    return out


def runs(numbers, shortest=200):
    """(first frame number, length) of every stretch of consecutive frames."""
    found, start = [], 0
    for i in range(1, len(numbers) + 1):
        if i == len(numbers) or numbers[i] is None or numbers[i - 1] is None or numbers[i] != numbers[i - 1] + 1:
            if numbers[start] is not None and i - start >= shortest:
                found.append((numbers[start], i - start))
            start = i
    return found


def wav_data(path):
    with wave.open(path, "rb") as w:
        return w.readframes(w.getnframes())


# ------------------------------------------------------------------ player
class Player:
    """The "Play Control" dialog of an editor, opened with F9 on a file of the list."""

    def __init__(self, s, ed, volume_db=12):
        """At +12 dB (unless told otherwise) the device plays the samples unchanged."""
        self.s, self.d, self.ed = s, s.driver, ed
        if volume_db is not None:
            s.reg("add", MACHINE_PLAYER, "/v", "VolumeDB", "/t", "REG_SZ", "/d", str(volume_db), "/f")
        self.d.keys(ed.main, "f9")
        self.hwnd = self.d.find_window(caption="Play Control", pid=ed.pid, timeout=20)

    def key(self, vk, up=False):
        """A key going down (or up), as the dialog's loop receives it; held keys
        send no repeats."""
        self.d.post(self.hwnd, WM_KEYUP if up else WM_KEYDOWN, vk, 0xC0000001 if up else 1)
        self.d.sync(self.hwnd)

    def checked(self, button):
        return self.d.send(self.hwnd, BM_GETCHECK, id=button) == 1

    def mode(self):
        return "play" if self.checked(PLAY) else "scrub" if self.checked(SCRUB) else \
            "stop" if self.checked(STOP) else "?"

    def wait_mode(self, mode, timeout=10):
        wait_until(lambda: self.mode() == mode, timeout, what="the player to %s" % mode)

    def time(self):
        return self.d.get_text(self.hwnd, id=TIME)

    def ms(self):
        h, m, rest = self.time().split(":")
        return (int(h) * 3600 + int(m) * 60 + float(rest)) * 1000

    def wait_time(self, ms, length_ms, timeout=10):
        """Waits for the playing position to pass `ms` (the display shows the file's
        length for a moment when the dialog opens)."""
        wait_until(lambda: ms <= self.ms() < length_ms, timeout, what="the time display to pass %d ms" % ms)

    def close(self):
        self.d.post(self.hwnd, WM_KEYDOWN, VK_RETURN, 0)
        self.d.wait_gone(self.hwnd, 10)
        wait_until(lambda: self.d.state(self.ed.main).enabled, 5, what="the main window enabled again")


def play_numbered(s, name, seconds):
    """An editor with one numbered WAV file of `seconds` in its list and the player
    opened on it, the capture started afresh; (editor, player)."""
    numbered_wav(os.path.join(s.work, name), RATE * seconds)
    ed = Editor(s)
    ed.add(name, s.work, rows_after=1)
    s.d.list_select(ed.main, [0], id=LIST_ID)
    s.clear_capture()
    return ed, Player(s, ed)


# ------------------------------------------------------------------ tests
@test
def wav_and_mp3_play_to_their_end_sample_for_sample(s):
    wav = os.path.join(s.work, "Numbers.wav")
    wav_bytes = numbered_wav(wav, RATE * 2 + 1234)
    mp3 = s.make_mp3("Tone.mp3", 2.5)
    decoded = s.decode(mp3)
    ed = Editor(s)
    ed.add(["Numbers.wav", "Tone.mp3"], s.work, rows_after=2)
    for row, expected, length_ms in ((0, wav_bytes, (RATE * 2 + 1234) * 1000 // RATE),
                                     (1, decoded, len(decoded) // 4 * 1000 // RATE)):
        s.d.list_select(ed.main, [row], id=LIST_ID)
        s.clear_capture()
        p = Player(s, ed)
        eq(s.d.get_text(p.hwnd, id=ID["IDC_PLAYER_NAME"]), ["Numbers", "Tone"][row], "name box")
        assert not s.d.state(p.hwnd, id=ID["IDC_PLAYER_NAME"]).enabled, "the name box is disabled"
        p.wait_mode("play")
        p.wait_mode("stop", timeout=length_ms / 1000 + 15)
        # The dialog stays open, stopped at the end.
        eq(p.time(), time_text(length_ms), "time display at the end")
        eq(s.d.send(p.hwnd, SBM_GETPOS, id=POSITION), 100, "position bar at the end")
        played = s.capture()
        assert played[:len(expected)] == expected, "the captured audio differs from the file's (%d bytes of %d)" % (
            len(played), len(expected))
        assert not any(played[len(expected):]), "sound after the end"
        p.close()
    ed.end()


@test
def a_file_named_in_any_script_is_listed_tagged_and_played(s):
    """Japanese and Cyrillic in the file name and the tag: added through the real file
    dialog, its fields shown, a Cyrillic title typed and written (mutagen reads it
    back exactly), then played to its end."""
    from mutagen.id3 import ID3, TIT2, TPE1
    name = "\u6771\u4eac \u041c\u043e\u0441\u043a\u0432\u0430"
    folder = os.path.join(s.work, "\u0441\u043a\u0440\u0438\u043f\u0442\u044b")
    os.makedirs(folder, exist_ok=True)
    mp3 = os.path.join(folder, name + ".mp3")
    shutil.copyfile(s.make_mp3("Scripts.mp3", 1.5), mp3)
    tag = ID3()
    tag.add(TIT2(encoding=1, text="\u041d\u043e\u0447\u044c"))
    tag.add(TPE1(encoding=3, text="\u5742\u672c \u9f8d\u4e00"))
    tag.save(mp3, v2_version=3, v1=0)
    decoded = s.decode(os.path.join(s.work, "Scripts.mp3"))
    artist = "\u5742\u672c \u9f8d\u4e00"
    shown = "\u041d\u043e\u0447\u044c"
    # A Western system, then a Cyrillic one (ANSI code page 1251, which Wine takes
    # from the locale): typed text is stored as typed either way; the ID3v1 block
    # gets the system's code page.
    for locale, title, shot in ((None, "\u041f\u0440\u0438\u0432\u0435\u0442, \u03ba\u03cc\u03c3\u03bc\u03b5", "player-any-script"),
                                ("ru_RU.UTF-8", "\u041c\u0438\u0440", "player-any-script-cyrillic")):
        ed = Editor(s, locale=locale)
        ed.add(name + ".mp3", folder, rows_after=1, wide=True)
        eq(s.d.list_rows(ed.main, id=LIST_ID, wide=True), [[name + ".mp3", win_path(folder)]], "the row as listed")
        ed.select([0], shown)
        eq(ed.field(ID["IDC_ARTIST"]), artist, "artist from a UTF-8 frame")
        s.d.type_text(ed.main, title, id=ID["IDC_TITLE"], wide=True)
        wait_until(lambda: ed.field(ID["IDC_TITLE"]) == title, 10, what="the typed title in the field")
        ed.tag("Tags successfully lirvaed to 1 file(s).")
        written = ID3(mp3)
        eq((str(written["TIT2"]), written["TIT2"].encoding), (title, 1), "the title as typed, in UTF-16")
        eq(str(written["TPE1"]), artist, "the artist kept")
        if locale:
            with open(mp3, "rb") as f:
                block = f.read()[-128:]
            eq(block[3:7], title.encode("cp1251") + b"\0", "ID3v1 in the system's code page")
        s.clear_capture()
        p = Player(s, ed)
        eq(s.d.get_text(p.hwnd, id=ID["IDC_PLAYER_NAME"], wide=True), name, "name box")
        p.wait_mode("stop", timeout=20)
        played = s.capture()
        assert played[:len(decoded)] == decoded, "the captured audio differs from the decoder's (%s)" % locale
        s.keep_screenshot(shot)
        p.close()
        ed.end()
        shown = title


@test
def space_scrubs_one_snippet_and_resumes_after_it(s):
    ed, p = play_numbered(s, "Scrub.wav", 8)
    p.wait_time(700, 8000)
    p.key(VK_SPACE)
    p.wait_mode("scrub")
    time.sleep(0.4)
    shot = s.keep_screenshot("player-scrubbing")
    p.key(VK_SPACE)
    p.wait_mode("play")
    time.sleep(0.6)
    p.key(VK_ESCAPE)
    p.wait_mode("stop")
    numbers = frame_numbers(s.capture())
    stretches = runs(numbers, shortest=100)
    # Played from the start, then one snippet over and over, then on from its end.
    assert stretches[0][0] == 0, stretches[:3]
    snippet = [r for r in stretches[1:] if r[1] < 2000]
    assert len(snippet) >= 10, "the snippet repeats (%r)" % stretches[:6]
    start, size = snippet[0]
    # A tenth of a second holds the snippet three times and a frame or two less of it.
    assert size in (RATE * 25 // 1000, RATE * 25 // 1000 + 1), "a snippet of 25 ms (%d frames)" % size
    # (The last repeat is cut where Space resumed playing.)
    assert all(r[0] == start and size - 3 <= r[1] <= size for r in snippet[:-1]), "always the same snippet"
    # The device reports a buffer as played once it has taken all of it, so playing
    # may have got a buffer or two (tenths of a second) beyond the reported place.
    reached = stretches[0][0] + stretches[0][1]
    assert reached - RATE // 5 <= start <= reached, "the snippet lies where playing had got to (%d, %d)" % (
        start, reached)
    after = next(r for r in stretches[1:] if r[1] > size)
    # (Right after the snippet: a stretch of its own, or one with the last repeat.)
    assert after[0] == start + size or (after[0] == start and after[1] > size), \
        "playing resumes right after the snippet (%r, snippet %r)" % (after, snippet[0])
    s.look_at(shot, p)
    p.close()
    ed.end()


@test
def holding_the_arrows_plays_fast_forward_and_rewind(s):
    ed, p = play_numbered(s, "Cue.wav", 60)
    p.wait_time(500, 60000)
    p.key(VK_RIGHT)
    time.sleep(2.0)
    forward_to = p.ms()
    p.key(VK_RIGHT, up=True)
    p.wait_mode("play")
    time.sleep(0.5)
    p.key(VK_LEFT)
    time.sleep(1.5)
    p.key(VK_LEFT, up=True)
    p.wait_mode("play")
    time.sleep(0.5)
    p.key(VK_ESCAPE)
    p.wait_mode("stop")
    stretches = runs(frame_numbers(s.capture()), shortest=150)
    # Normal play, then short snippets ever further ahead with growing jumps, then
    # normal play again from where the cue got to; then the same backwards.
    long_runs = [i for i, r in enumerate(stretches) if r[1] >= 4000]
    assert len(long_runs) >= 3, "three stretches of normal play (%r)" % stretches[:8]
    first, resumed, last = long_runs[0], long_runs[1], long_runs[-1]
    forward = [r[0] for r in stretches[first + 1:resumed]]
    backward = [r[0] for r in stretches[resumed + 1:last]]
    assert len(forward) >= 20 and len(backward) >= 15, (len(forward), len(backward))
    steps = [b - a for a, b in zip(forward, forward[1:])]
    assert all(step > 0 for step in steps), "forward snippets move forward"
    assert sum(steps[-5:]) > 1.4 * sum(steps[1:6]), "and faster and faster (%r)" % steps
    # (The first snippet plays a block and a half; the next one starts from its end.)
    back_steps = [b - a for a, b in zip(backward[1:], backward[2:])]
    assert all(step < 0 for step in back_steps), "rewind snippets move backward"
    assert forward[-1] > RATE * 3, "fast forward went beyond normal speed"
    assert abs(stretches[resumed][0] - forward[-1]) < RATE // 2, "play resumes where the cue was"
    assert abs(stretches[resumed][0] - forward_to * RATE / 1000) < RATE, "as the display showed"
    assert abs(stretches[last][0] - backward[-1]) < RATE // 2
    p.close()
    ed.end()


def xdotool(s, *args):
    """Input at the suite's X server (a key held there repeats as on a real
    keyboard, and Wine passes the repeats on as key-downs with the repeat bit)."""
    subprocess.run(["xdotool"] + list(args), check=True, timeout=10,
                   env=dict(os.environ, DISPLAY=s.wine.display))


@test
def a_held_arrow_key_plays_fast_forward_for_as_long_as_it_is_held(s):
    ed, p = play_numbered(s, "Held.wav", 60)
    p.wait_time(500, 60000)
    # The X server sends keys to the window under the pointer.
    left, top, right, bottom = s.d.state(p.hwnd).rect
    xdotool(s, "mousemove", str((left + right) // 2), str(top + 10))
    s.d.activate(p.hwnd)
    device = s.d.send(p.hwnd, CB_GETCURSEL, id=DEVICE)
    xdotool(s, "keydown", "Right")
    try:
        # The hold itself (what is measured is the audio it produced). The device
        # plays some 0.4 s less cue than the key is held (2.5-2.65 s of a 3 s hold
        # were measured); 3.5 s leaves a clear margin over the 2.5 s asked below.
        time.sleep(3.5)
        still_held = s.d.send(p.hwnd, BM_GETSTATE, id=FORWARD) & BST_PUSHED
    finally:
        xdotool(s, "keyup", "Right")
    p.wait_mode("play")
    # The repeats never reached the device list (which would change and store the device).
    eq(s.d.send(p.hwnd, CB_GETCURSEL, id=DEVICE), device, "the device list after the hold")
    resumed = p.ms()
    p.wait_time(resumed + 500, 60000)
    p.key(VK_ESCAPE)
    p.wait_mode("stop")
    assert still_held, "the Forward button is still down after 3.5 s of holding Right"
    p.close()
    eq(s.reg_value(MACHINE_PLAYER, "Device"), str(device), "the stored device")
    numbers = frame_numbers(s.capture())
    stretches = runs(numbers, shortest=150)
    long_runs = [i for i, r in enumerate(stretches) if r[1] >= 4000]
    assert len(long_runs) >= 2, "normal play before and after the hold (%r)" % stretches[:8]
    first, again = stretches[long_runs[0]], stretches[long_runs[1]]
    cue = stretches[long_runs[0] + 1:long_runs[1]]
    assert all(b[0] > a[0] for a, b in zip(cue, cue[1:])), "every snippet further ahead"
    # Snippets all through the hold: the device (which plays at its own pace) played
    # at least 2.5 s of cue between normal play and normal play again.
    cue_from = first[0] + first[1]  # normal play began at the capture's first frame
    cue_to = numbers.index(again[0], cue_from)
    assert cue_to - cue_from >= 2.5 * RATE, "cue snippets for %.2f s of a 3.5 s hold" % ((cue_to - cue_from) / RATE)
    ed.end()


@test
def jumps_position_bar_and_the_last_seconds(s):
    short_wav = os.path.join(s.work, "Short.wav")
    numbered_wav(short_wav, RATE * 2)
    long_wav = os.path.join(s.work, "Long.wav")
    numbered_wav(long_wav, RATE * 6)
    ed = Editor(s)
    ed.add(["Long.wav", "Short.wav"], s.work, rows_after=2)
    s.d.list_select(ed.main, [0], id=LIST_ID)
    p = Player(s, ed)
    p.wait_time(300, 6000)
    # Stopped: End shows the full length; Home goes back to 0.
    p.key(VK_ESCAPE)
    p.wait_mode("stop")
    p.key(VK_END)
    eq(p.time(), "0:00:06.00", "End while stopped")
    p.key(VK_HOME)
    eq(p.time(), "0:00:00.00", "Home")
    # The position bar: a page to the right is 2 s; a line to the left at 1.5 s is 0.
    s.d.send(p.hwnd, WM_HSCROLL, 3, s.item(p.hwnd, POSITION))
    eq(p.time(), "0:00:02.00", "page right")
    s.d.send(p.hwnd, WM_HSCROLL, 5 | (75 << 16), s.item(p.hwnd, POSITION))
    eq(p.time(), "0:00:04.50", "thumb at 75")
    s.d.send(p.hwnd, WM_HSCROLL, 0, s.item(p.hwnd, POSITION))
    eq(p.time(), "0:00:02.50", "line left")
    # Play continues from the shown position; End while playing plays the last 1.5 s.
    s.clear_capture()
    p.key(VK_F9)
    p.wait_time(2800, 6000)
    p.key(VK_END)
    p.wait_mode("stop", timeout=10)
    stretches = runs(frame_numbers(s.capture()))
    assert stretches[0][0] in range(int(2.5 * RATE) - 10, int(2.5 * RATE) + 4410), stretches[:3]
    eq(stretches[-1][0] + stretches[-1][1], RATE * 6, "played to the end")
    assert abs(stretches[-1][0] - int(4.5 * RATE)) < 10, "from 1.5 s before the end (%r)" % stretches[-3:]
    eq(p.time(), "0:00:06.00", "time at the end")
    p.close()
    # Alt+F9 on a file shorter than 3 s plays it from the start.
    s.d.list_select(ed.main, [1], id=LIST_ID)
    p = Player(s, ed)
    p.key(VK_ESCAPE)
    p.wait_mode("stop")
    s.clear_capture()
    s.d.keys(p.hwnd, "alt+f9")
    p.wait_mode("play")
    p.wait_mode("stop", timeout=10)
    stretches = runs(frame_numbers(s.capture()))
    eq(stretches[0][0], 0, "Alt+F9 on a short file starts at 0")
    p.close()
    ed.end()


@test
def a_file_that_cannot_be_opened_plays_nothing(s):
    bad = os.path.join(s.work, "Broken.wav")
    with open(bad, "wb") as f:
        f.write(b"RIFF\x10\x00\x00\x00WAVEjunkjunkjunk")
    ed = Editor(s)
    ed.add("Broken.wav", s.work, rows_after=1)
    s.d.list_select(ed.main, [0], id=LIST_ID)
    p = Player(s, ed)
    time.sleep(0.5)
    eq(p.mode(), "stop", "nothing plays")
    eq(p.time(), "0:00:00.00", "time display")
    assert not s.d.state(p.hwnd, id=WAVE).enabled, "the waveform stays disabled"
    for key in (VK_F9, VK_SPACE, VK_END, VK_RIGHT):
        p.key(key)
        p.key(key, up=True)
    eq(p.mode(), "stop", "nothing plays after the keys")
    eq(s.d.windows(cls="#32770", caption="Lirva", pid=ed.pid, visible=True) != [], True, "no message")
    p.close()
    ed.end()


@test
def device_and_volume_are_remembered(s):
    s.reg("add", MACHINE_PLAYER, "/v", "Device", "/t", "REG_SZ", "/d", "1", "/f")
    wav = os.path.join(s.work, "Device.wav")
    numbered_wav(wav, RATE * 20)
    ed = Editor(s)
    ed.add("Device.wav", s.work, rows_after=1)
    s.d.list_select(ed.main, [0], id=LIST_ID)
    p = Player(s, ed, volume_db=-7)
    items = s.d.combo_items(p.hwnd, id=DEVICE)
    eq(items[0], "[Default Sound Out]", "first device entry")
    assert len(items) >= 2, "the system's devices follow (%r)" % items
    eq(s.d.send(p.hwnd, CB_GETCURSEL, id=DEVICE), 1, "the saved device is selected")
    p.wait_mode("play")
    p.wait_time(300, 20000)
    # Choosing the default device while playing changes nothing now.
    s.d.send(p.hwnd, CB_SETCURSEL, 0, id=DEVICE)
    s.d.send(p.hwnd, WM_COMMAND, DEVICE | (CBN_SELCHANGE << 16), s.item(p.hwnd, DEVICE))
    before = p.ms()
    wait_until(lambda: p.ms() > before, 5, what="playback to go on")
    eq(p.mode(), "play", "still playing")
    shot = s.keep_screenshot("player-playing")
    s.look_at(shot, p)
    p.close()
    eq(s.reg_value(MACHINE_PLAYER, "Device"), "0", "Device saved")
    eq(s.reg_value(MACHINE_PLAYER, "VolumeDB"), "-7", "VolumeDB saved")
    ed.end()


# ------------------------------------------------------------------ session
class Session(SuiteSession):
    def __init__(self, args):
        build = os.path.abspath(args.build or _windows_build())
        # The suite's own sound device: everything played is appended to one file
        # at real-time rate, so that a test sees every opening of the device in turn.
        self.capture_path = os.path.join(build, "e2e-player-capture.raw")
        conf = os.path.join(build, "e2e-player-alsa.conf")
        with open(conf, "w") as f:
            f.write('</usr/share/alsa/alsa.conf>\npcm.!default {\n  type file\n  slave.pcm "null"\n'
                    '  file "|exec \'%s\' --append \'%s\'"\n  format "raw"\n}\n' % (
                        os.path.join(ROOT, "scripts", "paced-sink"), self.capture_path))
        os.environ["ALSA_CONFIG_PATH"] = conf
        super().__init__(args, "e2e-player")
        self.d = self.driver
        self.exe = os.path.join(self.build, "lirva.exe")
        self.keep = os.path.join(ROOT, "build", "screenshots")
        self.reg("delete", r"HKLM\Software\Vantoral\Lirva", "/f")

    def item(self, hwnd, control_id):
        """The window handle of a dialog's control."""
        return next(c.hwnd for c in self.d.children(hwnd) if c.id == control_id)

    def clear_capture(self):
        if os.path.exists(self.capture_path):
            os.remove(self.capture_path)

    def capture(self):
        time.sleep(0.3)  # the sink writes what the device has taken
        with open(self.capture_path, "rb") as f:
            return f.read()

    def make_mp3(self, name, seconds):
        wav = os.path.join(self.work, name + ".wav")
        mp3 = os.path.join(self.work, name)
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds),
                        "sine", "300-3000", "vol", "0.9"], check=True)
        subprocess.run(["lame", "--quiet", "-b", "160", wav, mp3], check=True)
        os.remove(wav)
        return mp3

    def decode(self, mp3):
        out = mp3 + ".decoded.wav"
        cli = os.path.join(self.build, "lirva-cli.exe")
        code = self.wine.run(cli, "decode", mp3, out, timeout=120)
        assert code == 0, "lirva-cli decode failed (%d)" % code
        return wav_data(out)

    def grab(self):
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], env=self.wine.env(),
                              check=True, timeout=30, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        return Shot(data)

    def keep_screenshot(self, name):
        os.makedirs(self.keep, exist_ok=True)
        path = os.path.join(self.keep, "e2e-%s.png" % name)
        self.wine.screenshot(path)
        return self.grab()

    def look_at(self, shot, player):
        """The waveform has bars, the cursor line and (while scrubbing) the yellow
        highlight; the meter shows green."""
        left, top, right, bottom = self.d.state(player.hwnd, id=WAVE).rect
        colours = {}
        for y in range(top + 2, bottom - 2, 3):
            for x in range(left + 2, right - 2):
                colours[shot.pixel(x, y)] = colours.get(shot.pixel(x, y), 0) + 1
        assert colours.get((102, 255, 102), 0) + colours.get((0, 128, 0), 0) > 50, "waveform bars"
        assert colours.get((0, 255, 0), 0) > 0, "the cursor line"
        left, top, right, bottom = self.d.state(player.hwnd, id=METER).rect
        assert any(shot.pixel(x, (top + bottom) // 2)[1] == 255 for x in range(left, right)), "meter bar"


def _windows_build():
    from lirva_e2e import windows_build
    return windows_build()


if __name__ == "__main__":
    sys.exit(suite_main("e2e-player", TESTS, Session))
