#!/usr/bin/python3
"""Interop tests: lirva-cli against real peers.

mutagen reads what lirva-cli writes and writes what lirva-cli reads; exiftool reads
the RIFF INFO chunks of WAV files; lame and sox make the audio. Every test checks
that the audio bytes survive the tagging.

    run.py --cli build/native/lirva-cli --xml out.xml
    run.py --wine --cli build/win32/lirva-cli.exe --xml out.xml --quick
"""
import argparse
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import traceback
sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from junit import write_junit  # noqa: E402

import mutagen.id3 as id3

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TESTS = []


def test(quick=False):
    def mark(fn):
        TESTS.append((fn, quick))
        return fn
    return mark


class Cli:
    def __init__(self, path, wine):
        self.path = os.path.abspath(path)
        self.wine = wine

    def arg_path(self, path):
        if not self.wine:
            return path
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def run(self, *args, expect=None, env=None):
        conv = [self.arg_path(a) if os.path.isabs(a) else a for a in args]
        cmd = ([os.path.join(ROOT, "scripts", "wine-run")] if self.wine else []) + [self.path] + conv
        p = subprocess.run(cmd, capture_output=True, timeout=120, env=dict(os.environ, **(env or {})))
        if expect is not None and p.returncode != expect:
            raise AssertionError("%s exited %d (wanted %d)\nstdout: %r\nstderr: %r" % (
                args, p.returncode, expect, p.stdout, p.stderr))
        return p

    def show(self, path):
        out = self.run("show", path, expect=0).stdout.decode("utf-8")
        lines = out.split("\n")
        assert lines[0] == self.arg_path(path), lines[0]
        fields = {}
        for line in lines[1:]:
            if line:
                k, v = line.split("=", 1)
                fields[k] = v
        return fields


# ---------------------------------------------------------------- fixtures
class Fixtures:
    def __init__(self, work):
        self.work = work
        cache = os.path.join(ROOT, "build", "interop-cache")
        os.makedirs(cache, exist_ok=True)
        self.mp3 = os.path.join(cache, "tone.mp3")
        self.wav = os.path.join(cache, "tone.wav")
        if not os.path.exists(self.mp3) or not os.path.exists(self.wav):
            raw = os.path.join(cache, "tone-src.wav")
            subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", raw,
                            "synth", "3", "sine", "440", "sine", "660"], check=True)
            subprocess.run(["lame", "--quiet", "-b", "128", raw, self.mp3 + ".tmp"], check=True)
            os.replace(self.mp3 + ".tmp", self.mp3)
            subprocess.run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", self.wav + ".tmp.wav",
                            "synth", "1", "sine", "300"], check=True)
            os.replace(self.wav + ".tmp.wav", self.wav)
        self.counter = 0

    def copy(self, which, name=None):
        self.counter += 1
        src = self.mp3 if which == "mp3" else self.wav
        dst = os.path.join(self.work, name or "f%03d.%s" % (self.counter, which))
        shutil.copyfile(src, dst)
        return dst


def read(path):
    with open(path, "rb") as f:
        return f.read()


def mp3_audio(data):
    """The bytes between an ID3v2 tag at offset 0 (if any) and an ID3v1 block (if any)."""
    start = 0
    if data[:3] == b"ID3":
        size = 0
        for b in data[6:10]:
            size = size * 128 + b
        start = 10 + size + (10 if data[5] & 0x10 else 0)
    end = len(data) - 128 if data[-128:-125] == b"TAG" else len(data)
    return data[start:end]


def riff_chunks(data):
    assert data[:4] == b"RIFF" and data[8:12] == b"WAVE", data[:12]
    riff_size = struct.unpack("<I", data[4:8])[0]
    assert riff_size == len(data) - 8, (riff_size, len(data))
    pos, chunks = 12, []
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        chunks.append((cid, data[pos + 8:pos + 8 + size]))
        pos += 8 + size + (size & 1)
    return chunks


def wav_data_chunk(data):
    return [body for cid, body in riff_chunks(data) if cid == b"data"][0]


def v1_block(data):
    assert data[-128:-125] == b"TAG", "no ID3v1 block"
    return data[-128:]


def frames_of(path):
    tag = id3.ID3()
    tag.load(path, translate=False, load_v1=False)
    return tag


def normalised_frames(tag):
    """Frames as comparable text: encodings may change (UTF-8 becomes UTF-16 in a
    version 2.3 tag), content may not."""
    out = []
    for f in tag.values():
        out.append(re.sub(r"encoding=<Encoding\.\w+: \d>", "", repr(f)))
    return sorted(out)


# ------------------------------------------------------------------- tests
@test(quick=True)
def mutagen_reads_every_field_written_to_mp3(cli, fx):
    path = fx.copy("mp3")
    before = read(path)
    cli.run("tag", "--title=Night Song", "--year=1999-05-01", "--artist=The Band",
            "--track=7/12", "--album=Long Album", "--comment=Nice one", "--genre=Rock",
            path, expect=0)
    after = read(path)
    assert mp3_audio(after) == mp3_audio(before), "audio bytes changed"
    tag = frames_of(path)
    assert tag.version == (2, 3, 0), tag.version
    assert str(tag["TIT2"]) == "Night Song"
    assert str(tag["TPE1"]) == "The Band"
    assert str(tag["TALB"]) == "Long Album"
    assert str(tag["TYER"]) == "1999"
    assert str(tag["TRCK"]) == "7/12"
    assert str(tag["TCON"]) == "Rock"
    comm = tag.getall("COMM")
    assert len(comm) == 1 and comm[0].text == ["Nice one"], comm
    v1 = v1_block(after)
    assert v1[3:13] == b"Night Song" and v1[33:41] == b"The Band", v1
    assert v1[93:97] == b"1999" and v1[125] == 0 and v1[126] == 7 and v1[127] == 17, v1


@test(quick=True)
def exiftool_reads_every_field_written_to_wav(cli, fx):
    path = fx.copy("wav")
    before = read(path)
    cli.run("tag", "--title=Night Song", "--year=1999", "--artist=The Band", "--track=7",
            "--album=Long Album", "--comment=Nice one", "--genre=Rock", path, expect=0)
    after = read(path)
    assert wav_data_chunk(after) == wav_data_chunk(before), "audio bytes changed"
    info = json.loads(subprocess.run(["exiftool", "-j", "-a", "-u", "-RIFF:all", path],
                                     capture_output=True, check=True).stdout)[0]
    # The program's own mapping: the album lives in INAM and the year in ICOP.
    assert info.get("Artist") == "The Band", info
    assert info.get("Title") == "Long Album", info
    assert str(info.get("Copyright")) == "1999", info
    assert info.get("Comment") == "Nice one", info
    assert info.get("Genre") == "Rock", info
    assert str(info.get("TrackNumber")) == "7", info
    disp = [body for cid, body in riff_chunks(after) if cid == b"DISP"]
    assert disp == [struct.pack("<I", 1) + b"Night Song\0\0"], disp
    fields = cli.show(path)
    assert fields["TITLE"] == "Night Song" and fields["ALBUM"] == "Long Album", fields


def mutagen_tagged(fx, version, pad, extra=()):
    path = fx.copy("mp3")
    tag = id3.ID3()
    enc = 3 if version == 4 else 0
    tag.add(id3.TIT2(encoding=enc, text="Title v%d" % version))
    tag.add(id3.TPE1(encoding=enc, text="Artist"))
    tag.add(id3.TALB(encoding=enc, text="Album"))
    tag.add(id3.TRCK(encoding=enc, text="3"))
    tag.add(id3.TCON(encoding=enc, text="Jazz"))
    tag.add(id3.COMM(encoding=enc, lang="eng", desc="", text="A comment"))
    if version == 4:
        tag.add(id3.TDRC(encoding=enc, text="2001"))
    else:
        tag.add(id3.TYER(encoding=enc, text="2001"))
    for frame in extra:
        tag.add(frame)
    tag.save(path, v2_version=version, v1=0, padding=lambda info: pad)
    return path


RICH_FRAMES = lambda: [
    id3.APIC(encoding=0, mime="image/png", type=3, desc="cover", data=b"\x89PNG" + bytes(range(256)) * 4),
    id3.TXXX(encoding=1, desc="MOOD", text="calm"),
    id3.WXXX(encoding=0, desc="home", url="http://example.com/a"),
    id3.TPE2(encoding=1, text="Band in UTF-16 \u00e9"),
    id3.COMM(encoding=1, lang="deu", desc="note", text="zweiter Kommentar"),
    id3.WOAR(url="http://example.com/artist"),
    id3.PRIV(owner="lirva-test", data=b"\x00\x01\x02\xff"),
]


@test(quick=True)
def reads_mutagen_v23_and_v24_tags_with_padding(cli, fx):
    for version in (3, 4):
        for pad in (0, 1024):
            path = mutagen_tagged(fx, version, pad)
            fields = cli.show(path)
            year_key = "TDRC" if version == 4 else "DATE"
            want = {"TITLE": "Title v%d" % version, "ARTIST": "Artist", "ALBUM": "Album",
                    "TRACKNUMBER": "3", "GENRE": "Jazz", "COMMENT": "A comment", year_key: "2001"}
            for k, v in want.items():
                assert fields.get(k) == v, (version, pad, k, fields)


@test(quick=True)
def tagging_one_field_keeps_every_other_frame(cli, fx):
    for version in (3, 4):
        path = mutagen_tagged(fx, version, 512, RICH_FRAMES())
        before_bytes = read(path)
        before = normalised_frames(frames_of(path))
        cli.run("tag", "--artist=New Artist", path, expect=0)
        after_bytes = read(path)
        assert mp3_audio(after_bytes) == mp3_audio(before_bytes), "audio bytes changed"
        tag = frames_of(path)
        assert tag.version == (2, 3, 0)
        assert str(tag["TPE1"]) == "New Artist"
        after = normalised_frames(tag)
        lost = [f for f in before if f not in after and not f.startswith("TPE1(")]
        added = [f for f in after if f not in before and not f.startswith("TPE1(")]
        assert not lost and not added, (version, lost, added)
        # the picture's bytes exactly
        assert tag.getall("APIC")[0].data == b"\x89PNG" + bytes(range(256)) * 4


def raw_frames(path):
    """{frame id: the frame's bytes as stored} of the file's version 2.3 or 2.4 tag."""
    data = read(path)
    assert data[:3] == b"ID3", "no tag"
    end = 10 + sum(b << (7 * (3 - i)) for i, b in enumerate(data[6:10]))
    frames, pos = {}, 10
    while pos + 10 <= end and data[pos:pos + 1].isalnum():
        raw = data[pos + 4:pos + 8]
        size = (sum(b << (7 * (3 - i)) for i, b in enumerate(raw)) if data[3] == 4
                else struct.unpack(">I", raw)[0])
        frames.setdefault(data[pos:pos + 4].decode(), []).append(data[pos + 10:pos + 10 + size])
        pos += 10 + size
    return frames


SCRIPTS = {
    "title": "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440",          # Cyrillic
    "artist": "\u0391\u03b8\u03ae\u03bd\u03b1 \u039a\u03bf\u03c5\u03b1\u03c1\u03c4\u03ad\u03c4\u03bf",  # Greek
    "album": "\u6771\u4eac\u306e\u591c",                              # Japanese
    "comment": "Caf\u00e9 \U0001f3b5 \U00020bb7",                   # beyond the first 65,536
    "genre": "Cr\u00e8me Br\u00fbl\u00e9e",                         # accented Latin: ISO-8859-1
}


@test(quick=True)
def text_in_any_script_is_written_so_that_mutagen_reads_it_exactly(cli, fx):
    path = fx.copy("mp3")
    cli.run("tag", *["--%s=%s" % (k, v) for k, v in SCRIPTS.items()], path, expect=0)
    tag = frames_of(path)
    assert str(tag["TIT2"]) == SCRIPTS["title"] and str(tag["TPE1"]) == SCRIPTS["artist"], tag.pprint()
    assert str(tag["TALB"]) == SCRIPTS["album"] and str(tag["TCON"]) == SCRIPTS["genre"], tag.pprint()
    assert tag.getall("COMM")[0].text == [SCRIPTS["comment"]], tag.getall("COMM")
    raw = raw_frames(path)
    # What fits ISO-8859-1 is written in it byte for byte; the rest in UTF-16 with a mark.
    assert raw["TCON"] == [b"\x00" + SCRIPTS["genre"].encode("latin-1") + b"\x00"], raw["TCON"]
    assert raw["TIT2"] == [b"\x01\xff\xfe" + SCRIPTS["title"].encode("utf-16-le") + b"\x00\x00"], raw["TIT2"]
    fields = cli.show(path)
    for key, name in (("TITLE", "title"), ("ARTIST", "artist"), ("ALBUM", "album"), ("COMMENT", "comment")):
        assert fields[key] == SCRIPTS[name], (key, fields[key])
    # The ID3v1 block keeps 8-bit text: "?" for what it cannot hold (the portable
    # build's is ISO-8859-1, the Windows build's the ANSI code page 1252).
    v1 = v1_block(read(path))
    assert v1[3:12] == b"?" * 6 + b", ?", v1[3:33]
    # mutagen's text in every encoding reads back exactly.
    for enc in (0, 1, 2, 3):
        other = fx.copy("mp3")
        t = id3.ID3()
        text = "Caf\u00e9 au lait" if enc == 0 else SCRIPTS["album"] + " \U0001f3b5"
        t.add(id3.TIT2(encoding=enc, text=text))
        t.save(other, v2_version=4 if enc in (2, 3) else 3, v1=0)
        assert cli.show(other)["TITLE"] == text, (enc, cli.show(other))
    # RIFF INFO keeps 8-bit text too.
    wav = fx.copy("wav")
    cli.run("tag", "--title=" + SCRIPTS["title"], "--artist=Caf\u00e9", wav, expect=0)
    chunks = dict(riff_chunks(read(wav)))
    assert chunks[b"DISP"].startswith(b"\x01\x00\x00\x00??????, ???\x00"), chunks[b"DISP"]
    assert b"IART\x05\x00\x00\x00Caf\xe9\x00" in chunks[b"LIST"], chunks[b"LIST"]


@test(quick=True)
def a_cyrillic_windows_writes_what_was_typed_and_its_own_code_page_in_id3v1(cli, fx):
    """Under Wine with the ANSI code page 1251 (a Cyrillic system), a Cyrillic title is
    written so that every reader sees it, not as code page bytes labelled ISO-8859-1."""
    if not cli.wine:
        return
    if "ru_RU.utf8" not in subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout:
        raise AssertionError("the ru_RU.UTF-8 locale is missing (scripts/setup makes it)")
    cyrillic = {"LC_ALL": "ru_RU.UTF-8"}
    path = fx.copy("mp3")
    title, artist = "\u041f\u0440\u0438\u0432\u0435\u0442", "Caf\u00e9 \u6771\u4eac"
    cli.run("tag", "--title=" + title, "--artist=" + artist, path, expect=0, env=cyrillic)
    tag = frames_of(path)
    assert (str(tag["TIT2"]), str(tag["TPE1"])) == (title, artist), tag.pprint()
    v1 = v1_block(read(path))
    assert v1[3:9] == title.encode("cp1251") and v1[33:42] == b"Caf? ??\x00\x00", v1[:45]
    out = cli.run("show", path, expect=0, env=cyrillic).stdout.decode("utf-8").split("\n")
    assert "TITLE=" + title in out and "ARTIST=" + artist in out, out


@test(quick=True)
def utf16_and_utf8_values_show_in_full_and_stay_as_they_were(cli, fx):
    title = "F\u00fcr Elise (Remastered 2019 Edition, Extended)"
    for version, enc in ((3, 1), (4, 2), (4, 3)):
        path = fx.copy("mp3")
        tag = id3.ID3()
        tag.add(id3.TIT2(encoding=enc, text=title))
        tag.add(id3.TPE1(encoding=enc, text="Beethoven \u0141\u00f3d\u017a"))  # \u0141, \u017a: not in 8 bits
        tag.add(id3.TALB(encoding=3 if version == 4 else 1, text="Caf\u00e9 Classics"))
        tag.add(id3.COMM(encoding=enc, lang="eng", desc="note \u00e9", text="Sch\u00f6n"))
        tag.save(path, v2_version=version, v1=2)
        fields = cli.show(path)
        assert fields["TITLE"] == title, (version, enc, fields)
        assert fields["ARTIST"] == "Beethoven \u0141\u00f3d\u017a", fields
        assert fields["ALBUM"] == "Caf\u00e9 Classics" and fields["COMMENT"] == "Sch\u00f6n", fields
        before = raw_frames(path)
        # Tagging another field leaves these frames as they were (version 2.4 text
        # is carried as UTF-16, as before).
        cli.run("tag", "--genre=Classical", path, expect=0)
        after = raw_frames(path)
        if version == 3:
            for fid in ("TIT2", "TPE1", "TALB", "COMM"):
                assert after[fid] == before[fid], (fid, before[fid], after[fid])
        now = id3.ID3(path)
        assert str(now["TIT2"]) == title and str(now["TPE1"]) == "Beethoven \u0141\u00f3d\u017a", now.pprint()
        # A changed title that ISO-8859-1 holds is written in it, byte for byte.
        new = "Neu \u00e4"
        cli.run("tag", "--title=" + new, path, expect=0)
        assert raw_frames(path)["TIT2"] == [b"\x00" + new.encode("latin-1") + b"\x00"], raw_frames(path)["TIT2"]
        assert str(id3.ID3(path)["TIT2"]) == new
    # UTF-16 with a big-endian byte-order mark, which mutagen does not write.
    path = fx.copy("mp3")
    body = raw_frame("TIT2", b"\x01\xfe\xff" + "Gr\u00fc\u00dfe".encode("utf-16-be"), 3)
    with open(path, "r+b") as f:
        audio = f.read()
        f.seek(0)
        f.write(raw_tag(3, body) + audio)
    assert cli.show(path)["TITLE"] == "Gr\u00fc\u00dfe"


@test()
def tag_after_other_data_is_found_and_replaced_in_place(cli, fx):
    tagged = mutagen_tagged(fx, 3, 0)
    junk = bytes([0x55]) * 1000
    path = os.path.join(fx.work, "after-junk.mp3")
    with open(path, "wb") as f:
        f.write(junk + read(tagged))
    assert cli.show(path)["TITLE"] == "Title v3"
    before = read(path)
    cli.run("tag", "--title=Replaced", path, expect=0)
    after = read(path)
    assert after[:1000] == junk
    assert after[1000:1003] == b"ID3" and after.count(b"ID3\x03") == 1
    assert cli.show(path)["TITLE"] == "Replaced"
    assert mp3_audio(after[1000:]) == mp3_audio(before[1000:])


@test(quick=True)
def reads_tags_written_by_lame(cli, fx):
    path = os.path.join(fx.work, "lame-tagged.mp3")
    src = os.path.join(ROOT, "build", "interop-cache", "tone-src.wav")
    subprocess.run(["lame", "--quiet", "-b", "128", "--add-id3v2", "--tt", "Lame Title",
                    "--ta", "Lame Artist", "--tl", "Lame Album", "--ty", "2004", "--tc", "hi",
                    "--tn", "5", "--tg", "Pop", src, path], check=True)
    fields = cli.show(path)
    for k, v in {"TITLE": "Lame Title", "ARTIST": "Lame Artist", "ALBUM": "Lame Album",
                 "DATE": "2004", "TRACKNUMBER": "5", "GENRE": "Pop"}.items():
        assert fields.get(k) == v, (k, fields)
    before = read(path)
    cli.run("tag", "--comment=changed", path, expect=0)
    tag = frames_of(path)
    assert tag.getall("COMM")[0].text == ["changed"]
    assert str(tag["TIT2"]) == "Lame Title"
    assert mp3_audio(read(path)) == mp3_audio(before)


# ------------------------------------------- tags as other writers shape them
def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def unsynchronised(data):
    """A zero after every 0xFF that is followed by 0xE0 or more, or by a zero."""
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] >= 0xE0 or data[i + 1] == 0):
            out.append(0)
    return bytes(out)


def raw_frame(fid, content, version, flags=b"\0\0"):
    if version == 2:
        return fid.encode() + struct.pack(">I", len(content))[1:] + content
    size = synchsafe(len(content)) if version == 4 else struct.pack(">I", len(content))
    return fid.encode() + size + flags + content


def raw_tag(version, body, flags=0):
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(len(body)) + body


def utf16(text):
    return b"\x01" + text.encode("utf-16") + b"\0\0"


COVER = b"\xff\xd8\xff\xe0" + bytes(range(256)) * 2


def other_writers_shapes():
    """(name, tag bytes) of readable tags as other programs write them."""
    texts = [("TIT2", utf16("Title \u00e9")), ("TPE1", utf16("Artist")), ("TALB", utf16("Album")),
             ("TRCK", b"\x003"), ("TLEN", b"\x00180000")]
    cover = b"\x00image/jpeg\x00\x03front\x00" + COVER
    v24 = b"".join(raw_frame(f, c, 4) for f, c in texts + [("APIC", cover)])
    plain = b"".join(raw_frame(f, c, 3) for f, c in texts + [("APIC", cover)])
    v23 = b"".join(raw_frame(f, c, 3) for f, c in texts + [("APIC", cover)])
    # Version 2.4 frames unsynchronised one by one, each with its data length.
    v24_frames = b"".join(raw_frame(f, synchsafe(len(c)) + unsynchronised(c), 4, b"\0\x03")
                          for f, c in texts + [("APIC", cover)])
    v22 = b"".join(raw_frame(f, c, 2) for f, c in [
        ("TT2", b"\x00Title"), ("TP1", b"\x00Artist"), ("TAL", b"\x00Album"), ("TEN", b"\x00Encoder"),
        ("TDA", b"\x000512"), ("TCM", b"\x00Composer"), ("TPA", b"\x001/2"), ("TP2", b"\x00Album Artist"),
        ("TT1", b"\x00Grouping"), ("TT3", b"\x00Subtitle"), ("TBP", b"\x00120"), ("TCP", b"\x001"),
        ("TSA", b"\x00Album sort"), ("TSP", b"\x00Artist sort"), ("TST", b"\x00Title sort"),
        ("ULT", b"\x00eng\x00Some words"), ("RVA", b"\x03\x10\x01\x00\x02\x00"),
        ("COM", b"\x00eng\x00A comment"), ("PIC", b"\x00JPG\x03front\x00" + COVER)])
    return [
        ("v2.4 extended-header flag without one", raw_tag(4, v24 + bytes(64), 0x40)),
        ("v2.4 sizes as plain integers", raw_tag(4, plain + bytes(64))),
        ("v2.3 unsynchronised", raw_tag(3, unsynchronised(v23), 0x80)),
        ("v2.4 unsynchronised frames", raw_tag(4, v24_frames, 0x80)),
        ("v2.2 as a music player writes it", raw_tag(2, v22 + bytes(100))),
    ]


@test(quick=True)
def tags_of_other_writers_keep_every_frame(cli, fx):
    audio = read(fx.mp3)
    for name, tag in other_writers_shapes():
        path = os.path.join(fx.work, "other.mp3")
        with open(path, "wb") as f:
            f.write(tag + audio)
        before = normalised_frames(id3.ID3(path))
        assert len(before) >= 6, (name, before)
        for artist in ("New Artist", "Newer Artist"):
            cli.run("tag", "--artist=" + artist, path, expect=0)
            after_bytes = read(path)
            assert after_bytes.count(b"ID3") == 1, (name, "more than one tag")
            assert mp3_audio(after_bytes) == audio, (name, "audio bytes changed")
            tag_now = id3.ID3(path)
            assert str(tag_now["TPE1"]) == artist, name
            after = normalised_frames(tag_now)
            lost = [f for f in before if f not in after and not f.startswith("TPE1(")]
            assert not lost, (name, lost)
        assert tag_now.getall("APIC")[0].data == COVER, name


def four_more_shapes():
    """(name, tag bytes, {v2.3 frame id: text mutagen must read after tagging},
    {field: text show must print}) of four shapes other writers produce."""
    def text3(fid, text):
        return raw_frame(fid, b"\x00" + text.encode("latin-1"), 3)
    texts = {"TIT2": "Sound Title", "TALB": "Sound Album", "TYER": "2004", "TRCK": "3",
             "TCON": "Jazz", "TCOM": "A Composer", "TENC": "An Encoder", "TPE2": "Band",
             "TPUB": "Label", "TCOP": "2004 Label"}
    ordinary = b"".join(text3(fid, text) for fid, text in texts.items())
    # 1. A first frame named "Date" (no id), its size leading exactly to the next frame.
    odd = b"Date" + struct.pack(">I", 10) + b"\0\0" + b"2004-01-02"
    yield ("an odd id in front", raw_tag(3, odd + ordinary + bytes(64)), texts,
           {"TITLE": "Sound Title", "ALBUM": "Sound Album", "DATE": "2004"})
    # 2. Version 2.2 ids padded with a zero byte inside a version 2.3 tag.
    v22 = b"".join(fid + struct.pack(">I", len(c)) + b"\0\0" + c for fid, c in (
        (b"TT2\0", b"\x00Old Title"), (b"TP1\0", b"\x00Old Artist"), (b"TAL\0", b"\x00Old Album"),
        (b"COM\0", b"\x00eng\x00Old Comment"), (b"TEN\0", b"\x00iTunes v7")))
    yield ("version 2.2 ids in a version 2.3 tag", raw_tag(3, v22 + bytes(32)),
           {"TIT2": "Old Title", "TALB": "Old Album", "TENC": "iTunes v7", "COMM": "Old Comment"},
           {"TITLE": "Old Title", "ALBUM": "Old Album", "COMMENT": "Old Comment"})
    # 3. A player's version 2.2 grouping and movement frames.
    v2 = b"".join(raw_frame(fid, b"\x00" + text.encode(), 2) for fid, text in (
        ("TT2", "Movement Piece"), ("GP1", "A Group"), ("MVN", "Allegro"), ("MVI", "2")))
    yield ("a player's version 2.2 frames", raw_tag(2, v2 + bytes(16)),
           {"TIT2": "Movement Piece", "GRP1": "A Group", "MVNM": "Allegro", "MVIN": "2"}, {})
    # 4. A version 2.4 movement name in UTF-8.
    v4 = raw_frame("TIT2", b"\x03Piece\x00", 4) + raw_frame("MVNM", b"\x03" + "Andante \u00e0".encode() + b"\x00", 4)
    yield ("a version 2.4 movement name in UTF-8", raw_tag(4, v4 + bytes(16)),
           {"TIT2": "Piece", "MVNM": "Andante \u00e0"}, {})


@test(quick=True)
def four_more_shapes_of_other_writers_keep_their_frames(cli, fx):
    audio = read(fx.mp3)
    for name, tag, kept, shown in four_more_shapes():
        path = os.path.join(fx.work, "shape.mp3")
        with open(path, "wb") as f:
            f.write(tag + audio)
        fields = cli.show(path)
        for key, value in shown.items():
            assert fields.get(key) == value, (name, key, fields)
        cli.run("tag", "--artist=X", path, expect=0)
        after = read(path)
        assert mp3_audio(after) == audio and after.count(b"ID3") == 1, name
        now = id3.ID3(path, translate=False, load_v1=False)   # the version 2.3 frames as stored
        assert now.version == (2, 3, 0) and str(now["TPE1"]) == "X", (name, now.pprint())
        for fid, text in kept.items():
            found = [str(f) for f in now.getall(fid)]
            assert found == [text], (name, fid, now.pprint())
        if name.endswith("UTF-8"):   # UTF-8 cannot stand in version 2.3: UTF-16 with its mark
            assert raw_frames(path)["MVNM"][0][:3] in (b"\x01\xff\xfe", b"\x01\xfe\xff"), name
        if name.startswith("an odd id"):
            assert b"Date" not in after[:200], "the frame without an id is dropped"


@test(quick=True)
def tags_that_cannot_be_replaced_leave_the_file_alone(cli, fx):
    audio = read(fx.mp3)
    title = raw_frame("TIT2", b"\x00Cut off", 3)
    shapes = [
        ("claims more than the file holds", raw_tag(3, title + audio)[:len(title) + 10 + 500]),
        ("cannot be parsed", raw_tag(3, b"tit2" + bytes(range(1, 60)))),
        # A frame id in small letters whose size fits but leads on to nothing that
        # can be read: the rest of the tag cannot be walked.
        ("an odd id that leads nowhere", raw_tag(3, raw_frame("Date", b"\x002001", 3) + bytes(range(1, 60)))),
    ]
    for name, start in shapes:
        path = os.path.join(fx.work, "refused.mp3")
        data = start + (audio if name != "claims more than the file holds" else b"")
        with open(path, "wb") as f:
            f.write(data)
        p = cli.run("tag", "--artist=X", path, expect=1)
        assert b"Not all files could be lirvaed" in p.stdout, (name, p.stdout)
        assert read(path) == data, (name, "the file changed")
        # What can be read of the cut-off tag is still shown.
        want = "Cut off" if name.startswith("claims") else None
        assert cli.show(path).get("TITLE") == want, name


@test()
def clearing_a_field_removes_it_everywhere(cli, fx):
    path = mutagen_tagged(fx, 3, 0)
    cli.run("tag", "--genre=Blues", path, expect=0)   # makes the ID3v1 block
    cli.run("tag", "--comment=", "--genre=", path, expect=0)
    tag = frames_of(path)
    assert not tag.getall("COMM") and "TCON" not in tag, tag.keys()
    fields = cli.show(path)
    assert "COMMENT" not in fields and "GENRE" not in fields, fields
    assert v1_block(read(path))[127] == 255


@test(quick=True)
def copy_title_and_messages(cli, fx):
    a = fx.copy("mp3", "Track 01.mp3")
    b = fx.copy("wav", "Take Two.wav")
    missing = os.path.join(fx.work, "gone.mp3")
    p = cli.run("tag", "--copy-title", a, b, expect=0)
    assert p.stdout == b"Tags successfully lirvaed to 2 file(s).\n", p.stdout
    assert cli.show(a)["TITLE"] == "Track 01" and cli.show(b)["TITLE"] == "Take Two"
    p = cli.run("tag", "--album=X", a, missing, expect=1)
    assert p.stdout == (b"Tags successfully lirvaed to 1 file(s).\n\nNot all files could be "
                        b"lirvaed, possibly due to the file being locked by another program.\n"), p.stdout
    assert p.stderr.startswith(b"lirva-cli: "), p.stderr
    assert not os.path.exists(missing), "a vanished file was created"
    for bad in (["tag"], ["tag", "--bogus=1", a], ["tag", "--copy-title", "--title=x", a],
                ["show"], ["frobnicate", a], []):
        p = cli.run(*bad, expect=2)
        assert b"usage" in p.stderr, (bad, p.stderr)


@test(quick=True)
def the_command_line_says_what_happened_in_words(cli, fx):
    # Help and version on standard output, exit 0; a usage error: exit 2, usage on stderr.
    for args in (["--help"], ["-h"], ["help"], ["tag", "--help"]):
        p = cli.run(*args, expect=0)
        assert p.stdout.startswith(b"usage: lirva-cli show") and not p.stderr, (args, p.stdout[:40], p.stderr)
    assert cli.run("--version", expect=0).stdout == b"lirva-cli 1.00\n"
    p = cli.run("frobnicate", expect=2)
    assert p.stderr.startswith(b"lirva-cli: unknown command frobnicate\nusage:") and not p.stdout, p.stderr
    # Each failure in words, per file; 1 when any file failed.
    work = fx.work
    folder = os.path.join(work, "folder.mp3")
    os.makedirs(folder, exist_ok=True)
    empty = os.path.join(work, "empty.wav")
    open(empty, "wb").close()
    short = os.path.join(work, "short.wav")
    with open(short, "wb") as f:
        f.write(b"RIFF\x04")
    text = os.path.join(work, "notaudio.mp3")
    with open(text, "wb") as f:
        f.write(b"just some text, not audio at all\n" * 40)
    notwave = os.path.join(work, "notwave.wav")
    with open(notwave, "wb") as f:
        f.write(b"just some text, not audio at all\n" * 40)
    cases = [  # path, show/tag message, decode message
        (os.path.join(work, "missing.mp3"), "the file does not exist", "the file does not exist"),
        (folder, "it is a folder, not a file", "it is a folder, not a file"),
        (empty, "the file is empty", "the file is empty"),
        (short, "it is too short to be a WAV file", "it is too short to be a WAV file"),
        (notwave, "it is not a WAV file", "it is not a WAV file that can be decoded"),
        (text, None, "it is not an MP3 stream that can be decoded"),
    ]
    for path, show_words, decode_words in cases:
        name = cli.arg_path(path).encode("utf-8")
        if show_words:
            p = cli.run("show", path, expect=1)
            assert p.stderr == b"lirva-cli: " + name + b": " + show_words.encode() + b"\n", p.stderr
            p = cli.run("tag", "--title=x", path, expect=1)
            assert b"lirva-cli: " + name + b": " + show_words.encode() + b"\n" in p.stderr, p.stderr
        p = cli.run("decode", path, os.path.join(work, "out.wav"), expect=1)
        assert p.stderr == b"lirva-cli: " + name + b": " + decode_words.encode() + b"\n", p.stderr
    if cli.wine:
        # Held open by another program without sharing. (Read-only files cannot be
        # tested here: the tests run as root, whom neither Linux nor Wine refuses.)
        held = fx.copy("mp3")
        holder = subprocess.Popen([os.path.join(ROOT, "scripts", "wine-run"),
                                   os.path.join(os.path.dirname(cli.path), "stand_in.exe"), "--hold",
                                   cli.arg_path(held), "15000"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            assert holder.stdout.readline().rstrip() == b"held", "the holder did not start"
            for args in (["tag", "--title=x", held], ["show", held], ["decode", held, os.path.join(work, "o.wav")]):
                p = cli.run(*args, expect=1)
                assert p.stderr.endswith(b": the file is in use by another program\n"), (args, p.stderr)
        finally:
            holder.kill()
            holder.wait()
    # show --json: one object per file, parsed as JSON.
    tagged = fx.copy("mp3")
    cli.run("tag", "--title=Caf\u00e9 \"Q\"", "--artist=\u041c\u0438\u0440", tagged, expect=0)
    untagged = fx.copy("wav")
    p = cli.run("show", "--json", tagged, untagged, os.path.join(work, "missing.mp3"), expect=1)
    shown = json.loads(p.stdout.decode("utf-8"))
    assert [o["kind"] for o in shown] == ["mp3", "wav", "mp3"], shown
    assert shown[0]["fields"]["TITLE"] == "Caf\u00e9 \"Q\"" and shown[0]["fields"]["ARTIST"] == "\u041c\u0438\u0440"
    assert shown[1]["fields"] == {} and "error" not in shown[1], shown[1]
    assert shown[2]["error"] == "the file does not exist" and shown[2]["path"] == cli.arg_path(
        os.path.join(work, "missing.mp3")), shown[2]


@test()
def show_escapes_and_reports_failures(cli, fx):
    path = fx.copy("mp3")
    tag = id3.ID3()
    tag.add(id3.TIT2(encoding=0, text="a\\b\r\nc"))
    tag.save(path, v2_version=3, v1=0)
    p = cli.run("show", path, os.path.join(fx.work, "missing.mp3"), os.path.join(fx.work, "x.ogg"),
                expect=1)
    lines = p.stdout.decode("utf-8").split("\n")
    assert lines[1] == "TITLE=a\\\\b\\r\\nc", lines
    assert lines[2] == cli.arg_path(os.path.join(fx.work, "missing.mp3")), lines
    assert lines[3] == cli.arg_path(os.path.join(fx.work, "x.ogg")), lines
    assert p.stderr.count(b"lirva-cli: ") == 2, p.stderr


from decode_tests import DECODE_TESTS  # noqa: E402  (decoding, against sox)
TESTS.extend(DECODE_TESTS)
from mp3_tests import MP3_TESTS  # noqa: E402  (MP3 decoding, against the standard's streams and mpg123)
TESTS.extend(MP3_TESTS)


@test()
def mp3_tables_are_what_the_generator_makes(cli, fx):
    """The decoder's committed tables are those tools/make_mp3_tables.py makes from
    the standard's tables beside the project (when they are there)."""
    data = os.path.join(os.path.dirname(ROOT), "shared", "mp3-tables")
    if not os.path.isdir(data):
        return
    p = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "make_mp3_tables.py"), "--check",
                        "--data", data], capture_output=True)
    assert p.returncode == 0, p.stdout + p.stderr


# ------------------------------------------------------------------ runner
def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--cli", required=True)
    ap.add_argument("--wine", action="store_true")
    ap.add_argument("--quick", action="store_true")
    ap.add_argument("--xml")
    ap.add_argument("-k", default="")
    a = ap.parse_args()
    cli = Cli(a.cli, a.wine)
    suite = "interop-wine" if a.wine else "interop"
    work = os.path.join(ROOT, "build", suite + "-work")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    fx = Fixtures(work)
    results = []
    for fn, quick in TESTS:
        if (a.quick and not quick) or a.k not in fn.__name__:
            continue
        start = time.time()
        try:
            fn(cli, fx)
            results.append((fn.__name__, None, time.time() - start))
            print("PASS", fn.__name__)
        except Exception:
            msg = traceback.format_exc()
            results.append((fn.__name__, msg, time.time() - start))
            print("FAIL", fn.__name__)
            print(msg)
    if a.xml:
        write_junit(a.xml, suite, results)
    failed = sum(1 for r in results if r[1])
    print("interop: %d of %d cases passed" % (len(results) - failed, len(results)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
