"""Interop tests of the MP3 decoder through `lirva-cli decode --work`.

Accuracy is judged as usual for Layer III decoders: convert the work samples to
16 bits (rounding, clipping), align with the reference by whole frames at the start
(a decoder whose first frames reach back before the stream has nothing to give for
them), then maximum difference <= 1 and PSNR >= 96 dB. References: the ISO
conformance streams beside the project (skipped when absent) and mpg123's decoding
of files that lame makes here. Each test takes the (cli, fx) of tests/interop/run.py;
MP3_TESTS lists them with whether they are quick.
"""
import array
import math
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VECTORS = os.path.join(os.path.dirname(ROOT), "shared", "vectors")


def _decode_work(cli, path):
    p = cli.run("decode", "--work", path, "-")
    if p.returncode != 0:
        return None, p.stderr
    work = array.array("i")
    work.frombytes(p.stdout[: len(p.stdout) // 4 * 4])
    return work, p.stderr


def _to16(work):
    out = array.array("h", bytes(2 * len(work)))
    for i, w in enumerate(work):
        v = w / 16.0
        v = int(math.floor(v + 0.5))
        out[i] = 32767 if v > 32767 else (-32768 if v < -32768 else v)
    return out


def _pcm16(data):
    a = array.array("h")
    a.frombytes(data[: len(data) // 2 * 2])
    return a


def _compare(ours, ref, channels, frame_samples):
    """Best alignment by whole frames: (max difference, PSNR in dB, samples compared)."""
    best = None
    for skip in range(0, 4):
        start = skip * frame_samples * channels
        n = min(len(ours), len(ref) - start)
        if n <= 0:
            continue
        worst = 0
        total = 0
        for i in range(n):
            d = ours[i] - ref[start + i]
            if d < 0:
                d = -d
            if d > worst:
                worst = d
            total += d * d
        psnr = 200.0 if total == 0 else 10 * math.log10(32767.0 ** 2 / (total / n))
        if best is None or psnr > best[1]:
            best = (worst, psnr, n)
    return best


VECTOR_STREAMS = [  # name, channels, samples per frame per channel
    ("l3-compl", 1, 1152), ("l3-he_32khz", 1, 1152), ("l3-he_44khz", 1, 1152),
    ("l3-he_48khz", 1, 1152), ("l3-hecommon", 2, 1152), ("l3-si", 1, 1152),
    ("l3-si_block", 1, 1152), ("l3-si_huff", 1, 1152), ("l3-sin1k0db", 2, 1152),
    ("l3-test45", 2, 1152), ("l3-test46", 1, 1152), ("l3-he_mode", 2, 1152),
    ("M2L3_bitrate_16_all", 1, 576), ("M2L3_bitrate_22_all", 1, 576),
    ("M2L3_bitrate_24_all", 1, 576), ("M2L3_compl24", 1, 576), ("M2L3_noise", 1, 576),
]


def conformance_streams_decode_within_one_lsb(cli, fx):
    if not os.path.isdir(VECTORS):
        return
    failures = []
    for name, _, frame in VECTOR_STREAMS:
        src = os.path.join(fx.work, name + ".mp3")
        shutil.copyfile(os.path.join(VECTORS, name + ".bit"), src)
        work, err = _decode_work(cli, src)
        if work is None:
            failures.append("%s: %s" % (name, err.strip().decode("latin-1")))
            continue
        header = cli.run("decode", src, "-").stdout[:44]
        channels = int.from_bytes(header[22:24], "little")
        ref = _pcm16(open(os.path.join(VECTORS, name + ".pcm"), "rb").read())
        ours = _to16(work)
        # l3-he_mode changes between mono and stereo: the decoder plays the whole
        # frames of its first mode and ends; only those are compared.
        changes_mode = name == "l3-he_mode"
        if changes_mode:
            ours = ours[:len(ours) // (frame * channels) * frame * channels]
        worst, psnr, n = _compare(ours, ref, channels, frame)
        print("  %-22s max %d  PSNR %.1f dB  (%d samples)" % (name, worst, psnr, n))
        if worst > 1 or psnr < 96 or (n < len(ref) // 2 and not changes_mode) or n == 0:
            failures.append("%s: max %d, PSNR %.1f dB, %d of %d samples" % (name, worst, psnr, n, len(ref)))
    # Free format is not supported: it must say so rather than play noise.
    free = os.path.join(fx.work, "l3-he_free.mp3")
    shutil.copyfile(os.path.join(VECTORS, "l3-he_free.bit"), free)
    p = cli.run("decode", free, os.path.join(fx.work, "free.wav"))
    if p.returncode != 1 or not p.stderr.endswith(b": it is not an MP3 stream that can be decoded\n"):
        failures.append("l3-he_free: %r" % p.stderr)
    assert not failures, failures


LAME_KINDS = [  # name, sox rate and channels, lame options, samples per frame
    ("mpeg1-stereo-cbr", 44100, 2, ["-b", "128", "-m", "s"], 1152),
    ("mpeg1-joint-vbr", 44100, 2, ["-V", "4", "-m", "j"], 1152),
    ("mpeg1-mono-48k", 48000, 1, ["-b", "64", "-m", "m"], 1152),
    ("mpeg2-joint-22k", 22050, 2, ["-b", "64", "-m", "j"], 576),
    ("mpeg2-mono-16k", 16000, 1, ["-b", "32", "-m", "m"], 576),
    ("mpeg25-stereo-11k", 11025, 2, ["-b", "32", "-m", "s"], 576),
    ("mpeg25-mono-8k", 8000, 1, ["-b", "16", "-m", "m"], 576),
]


def _lame_file(fx, name, rate, channels, opts):
    wav = os.path.join(fx.work, name + ".wav")
    mp3 = os.path.join(fx.work, name + ".mp3")
    subprocess.run(["sox", "-D", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav,
                    "synth", "2.5", "sine", "330", "sine", "1250", "gain", "-6"], check=True)
    subprocess.run(["lame", "--quiet", "--noreplaygain"] + opts + [wav, mp3], check=True)
    return mp3


def _mpg123(path):
    return _pcm16(subprocess.run(["mpg123", "--no-gapless", "-q", "-s", path],
                                 capture_output=True, check=True).stdout)


def lame_files_decode_like_mpg123(cli, fx):
    failures = []
    for name, rate, channels, opts, frame in LAME_KINDS:
        mp3 = _lame_file(fx, name, rate, channels, opts)
        work, err = _decode_work(cli, mp3)
        if work is None:
            failures.append("%s: %s" % (name, err))
            continue
        ours, ref = _to16(work), _mpg123(mp3)
        worst, psnr, n = _compare(ours, ref, channels, frame)
        print("  %-20s max %d  PSNR %.1f dB" % (name, worst, psnr))
        if worst > 1 or psnr < 96 or n < len(ref) - 4 * frame * channels:
            failures.append("%s: max %d, PSNR %.1f, %d of %d samples" % (name, worst, psnr, n, len(ref)))
    assert not failures, failures


def leading_tags_do_not_change_the_audio(cli, fx):
    import mutagen.id3 as id3
    mp3 = _lame_file(fx, "plain", 44100, 2, ["-b", "128"], )
    plain, _ = _decode_work(cli, mp3)
    assert plain is not None
    # A large cover picture, and a small one whose bytes look like a frame header.
    for label, picture in (("big", bytes(range(256)) * 1200),
                           ("fake-sync", b"\x89PNG" + b"\xff\xfb\x90\x64" + bytes(64) + b"\xff\xfb\x90\x44" * 8)):
        tagged = os.path.join(fx.work, "tagged-%s.mp3" % label)
        shutil.copyfile(mp3, tagged)
        tag = id3.ID3()
        tag.add(id3.APIC(encoding=0, mime="image/png", type=3, desc="", data=picture))
        tag.add(id3.TIT2(encoding=0, text="tagged"))
        tag.save(tagged, v2_version=3)
        work, err = _decode_work(cli, tagged)
        assert work is not None, (label, err)
        assert work == plain, (label, len(work), len(plain))


MP3_TESTS = [
    (conformance_streams_decode_within_one_lsb, False),
    (lame_files_decode_like_mpg123, False),
    (leading_tags_do_not_change_the_audio, True),
]
