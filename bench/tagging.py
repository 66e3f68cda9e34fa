#!/usr/bin/python3
"""Tagging speed, side by side with mutagen's mid3v2.

Makes a 2.9 MB 128 kbit/s MP3 without tags, then for each tool tags 100 fresh copies of
it with an artist in one command, and times reading the tags of 100 untagged copies.
Prints the figures and the ratios. Uses the optimised native build (build/native-release).
"""
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_files import fresh_copies, release_cli, source_mp3  # noqa: E402
COPIES = 100
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "5"))


def timed(cmd):
    start = time.perf_counter()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    cli = release_cli()
    mp3 = source_mp3()
    size = os.path.getsize(mp3)
    folder = os.path.join(WORK, "copies")
    figures = {"lirva-cli tag": [], "mid3v2": [], "lirva-cli show (no tags)": []}
    for _ in range(ROUNDS):
        paths = [os.path.join(folder, n) for n in fresh_copies(mp3, folder, COPIES)]
        figures["lirva-cli show (no tags)"].append(timed([cli, "show"] + paths))
        figures["lirva-cli tag"].append(timed([cli, "tag", "--artist=Bench Artist"] + paths))
        paths = [os.path.join(folder, n) for n in fresh_copies(mp3, folder, COPIES)]
        figures["mid3v2"].append(timed(["mid3v2", "--artist=Bench Artist"] + paths))
    print("%d copies of a %.2f MB MP3, best of %d rounds:" % (COPIES, size / 1e6, ROUNDS))
    best = {k: min(v) for k, v in figures.items()}
    for k, v in best.items():
        print("  %-26s %.3f s (median %.3f s)" % (k, v, statistics.median(figures[k])))
    print("  ratio lirva-cli tag / mid3v2: %.2f" % (best["lirva-cli tag"] / best["mid3v2"]))
    shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
