#!/usr/bin/python3
"""MP3 decoding speed, side by side with mpg123 (and ffmpeg when it is installed).

Makes a 600-second 128 kbit/s stereo MP3 once (sox + lame), then decodes it to a
16-bit WAV file with each tool, best of BENCH_ROUNDS runs, and prints the times and
the ratio of lirva-cli decode (optimised native build) to the faster reference.
"""
import os
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_files import release_cli  # noqa: E402
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "3"))


def source_mp3():
    os.makedirs(WORK, exist_ok=True)
    mp3 = os.path.join(WORK, "long-600s.mp3")
    if not os.path.exists(mp3):
        wav = os.path.join(WORK, "long-600s.wav")
        # Music-like material: two chords and noise, so that every tool works hard.
        subprocess.run(["sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "600",
                        "sine", "220-880", "pinknoise", "tremolo", "3", "vol", "0.4"], check=True)
        subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3 + ".tmp"], check=True)
        os.replace(mp3 + ".tmp", mp3)
        os.remove(wav)
    return mp3


def best_time(cmd):
    times = []
    for _ in range(ROUNDS):
        start = time.perf_counter()
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    cli = release_cli()
    mp3 = source_mp3()
    out = os.path.join(WORK, "decoded.wav")
    figures = {"lirva-cli decode": best_time([cli, "decode", mp3, out])}
    figures["mpg123"] = best_time(["mpg123", "-q", "-w", out, mp3])
    if shutil.which("ffmpeg"):
        figures["ffmpeg"] = best_time(["ffmpeg", "-v", "quiet", "-y", "-i", mp3, "-f", "wav", out])
    else:
        print("(ffmpeg is not installed: apt-get install ffmpeg to compare with it too)")
    print("decoding a 600 s 128 kbit/s stereo MP3 to a WAV file, best of %d:" % ROUNDS)
    for name, secs in figures.items():
        print("  %-18s %.3f s" % (name, secs))
    references = [v for k, v in figures.items() if k != "lirva-cli decode"]
    print("  ratio to the faster reference: %.2f" % (figures["lirva-cli decode"] / min(references)))
    os.remove(out)


if __name__ == "__main__":
    sys.exit(main())
