"""Interop tests of `lirva-cli decode`: what the player would play, against sox.

sox makes WAV files and decodes them itself; lirva-cli must give the same 16-bit
samples. Each test takes the runner's (cli, fx) like the tests in run.py; run.py
picks them up from DECODE_TESTS.
"""
import os
import struct
import subprocess


def _sox(*args):
    subprocess.run(["sox"] + [str(a) for a in args], check=True, capture_output=True)


def _tone(fx, name, rate, channels, bits, seconds="0.7", encoding=None):
    path = os.path.join(fx.work, name)
    enc = ["-e", encoding] if encoding else []
    # Two different tones so that the channels can't be swapped unnoticed, loud
    # enough to reach the extremes of the sample range.
    _sox("-n", "-r", rate, "-c", channels, "-b", bits, *enc, path,
         "synth", seconds, "sine", "300", "square", "523", "gain", "-0.5")
    return path


def _sox_pcm16(path):
    """sox's own decoding of a file to 16-bit little-endian samples."""
    return subprocess.run(["sox", path, "-t", "raw", "-e", "signed", "-b", "16", "-L", "-"],
                          check=True, capture_output=True).stdout


def _read(path):
    with open(path, "rb") as f:
        return f.read()


def _header(data):
    """The fields of a 44-byte PCM WAV header."""
    (riff, riff_size, wave, fmt, fmt_size, tag, channels, rate, byte_rate, align, bits,
     data_id, data_size) = struct.unpack("<4sI4s4sIHHIIHH4sI", data[:44])
    assert (riff, wave, fmt, fmt_size, tag, data_id) == (b"RIFF", b"WAVE", b"fmt ", 16, 1, b"data"), data[:44]
    assert bits == 16 and align == channels * 2 and byte_rate == rate * channels * 2, data[:44]
    return riff_size, channels, rate, data_size


def decode_equals_sox_for_every_pcm_kind(cli, fx):
    for rate, channels, bits in ((22050, 1, 16), (44100, 2, 16), (8000, 2, 8), (11025, 1, 8), (96000, 1, 16)):
        src = _tone(fx, "pcm-%d-%d-%d.wav" % (rate, channels, bits), rate, channels, bits)
        out = os.path.join(fx.work, "decoded-%d-%d-%d.wav" % (rate, channels, bits))
        cli.run("decode", src, out, expect=0)
        data = _read(out)
        riff_size, got_channels, got_rate, data_size = _header(data)
        assert (got_channels, got_rate) == (channels, rate), (got_channels, got_rate)
        assert riff_size == len(data) - 8 and data_size == len(data) - 44, (riff_size, data_size, len(data))
        want = _sox_pcm16(src)
        assert data[44:] == want, (rate, channels, bits, len(data) - 44, len(want))


def decode_work_samples_and_standard_output(cli, fx):
    src = _tone(fx, "work.wav", 16000, 2, 16)
    pcm = _sox_pcm16(src)
    samples = struct.unpack("<%dh" % (len(pcm) // 2), pcm)

    work = cli.run("decode", "--work", src, "-", expect=0).stdout
    assert work == struct.pack("<%di" % len(samples), *[s * 16 for s in samples]), len(work)

    streamed = cli.run("decode", src, "-", expect=0).stdout
    riff_size, channels, rate, data_size = _header(streamed)
    assert riff_size == 0xFFFFFFFF and data_size == 0xFFFFFFFF, (riff_size, data_size)
    assert (channels, rate) == (2, 16000) and streamed[44:] == pcm


def decode_reports_what_it_cannot_play(cli, fx):
    def fails(path, reason):
        p = cli.run("decode", path, os.path.join(fx.work, "never.wav"), expect=1)
        want = b"lirva-cli: " + cli.arg_path(path).encode("latin-1") + b": " + reason + b"\n"
        assert p.stderr == want, (p.stderr, want)
        assert not os.path.exists(os.path.join(fx.work, "never.wav"))

    text = os.path.join(fx.work, "notes.txt")
    with open(text, "wb") as f:
        f.write(b"RIFF")
    fails(text, b"only wav and mp3 files can be decoded")
    fails(os.path.join(fx.work, "missing.wav"), b"the file does not exist")

    # "data" before "fmt ": not a WAV this program plays.
    good = _read(_tone(fx, "order.wav", 8000, 1, 16, seconds="0.05"))
    fmt = good[12:12 + 24]
    assert fmt[:4] == b"fmt ", fmt
    rest = good[36:]
    swapped = os.path.join(fx.work, "swapped.wav")
    with open(swapped, "wb") as f:
        body = b"WAVE" + rest + fmt
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)
    fails(swapped, b"it is not a WAV file that can be decoded")

    if not cli.wine:
        # The portable build has no codecs: a compressed WAV needs one.
        fails(_tone(fx, "adpcm.wav", 8000, 1, 4, seconds="0.1", encoding="ima-adpcm"),
              b"it is a WAV file in format 0x0011, which cannot be decoded here")

    for bad in (["decode"], ["decode", "one.wav"], ["decode", "--loud", "a.wav", "b.wav"],
                ["decode", "a.wav", "b.wav", "c.wav"]):
        p = cli.run(*bad, expect=2)
        assert b"usage" in p.stderr, (bad, p.stderr)


def _pcm16_samples(data):
    return struct.unpack("<%dh" % (len(data) // 2), data)


def decode_compressed_wav_through_the_system_codecs(cli, fx):
    """Under Windows the compressed formats go through the audio compression
    manager; what it gives must match sox's decoding of the same file."""
    if not cli.wine:
        return
    kinds = [  # name, sox options, largest difference per sample, largest RMS difference
        ("ima-adpcm", ["-e", "ima-adpcm", "-b", "4"], 1, 1),
        # Wine's MS ADPCM codec rounds its predictor unlike sox: a drift of a few
        # steps within each block (every block starts exact), never noise.
        ("ms-adpcm", ["-e", "ms-adpcm", "-b", "4"], 96, 6),
        ("mu-law", ["-e", "mu-law", "-b", "8"], 0, 0),
        ("a-law", ["-e", "a-law", "-b", "8"], 0, 0),
        ("pcm24", ["-e", "signed", "-b", "24"], 1, 1),
    ]
    problems = []
    for name, opts, tolerance, rms_tolerance in kinds:
        for channels in (1, 2):
            src = os.path.join(fx.work, "%s-%d.wav" % (name, channels))
            _sox("-n", "-D", "-r", 22050, "-c", channels, *opts, src,
                 "synth", "0.6", "sine", "300", "square", "523", "gain", "-3")
            out = os.path.join(fx.work, "%s-%d-decoded.wav" % (name, channels))
            p = cli.run("decode", src, out)
            if p.returncode != 0:
                # A codec this system lacks is reported as such, never as noise.
                if p.stderr.endswith(b", which cannot be decoded here\n"):
                    problems.append("%s: no codec (%r)" % (name, p.stderr))
                    continue
                raise AssertionError((name, p.returncode, p.stderr))
            got = _pcm16_samples(_read(out)[44:])
            want = _pcm16_samples(_sox_pcm16(src))
            n = min(len(got), len(want))
            assert abs(len(got) - len(want)) <= 2048 * channels, (name, channels, len(got), len(want))
            diffs = [abs(a - b) for a, b in zip(got[:n], want[:n])]
            worst = max(diffs, default=0)
            rms = (sum(d * d for d in diffs) / max(n, 1)) ** 0.5
            assert worst <= tolerance and rms <= rms_tolerance, (name, channels, worst, rms)
    # Wine's codecs cover at least the two ADPCMs and the two logarithmic formats.
    assert not [p for p in problems if not p.startswith("pcm24")], problems


# (test function, part of the quick set)
DECODE_TESTS = [
    (decode_equals_sox_for_every_pcm_kind, True),
    (decode_work_samples_and_standard_output, True),
    (decode_reports_what_it_cannot_play, False),
    (decode_compressed_wav_through_the_system_codecs, True),
]
