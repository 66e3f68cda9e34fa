#!/usr/bin/python3
"""Tagging speed from the window, side by side with the command line, both under Wine.

Makes a 2.9 MB 128 kbit/s MP3 without tags (sox and lame), then in each round:
- adds 100 fresh copies to the editor's list through its file-open dialog, selects
  them, types an artist and times the tag command from the key press to the result
  message;
- tags 100 other fresh copies with `lirva-cli.exe tag --artist=...` in one command and
  times it from start to exit.
Prints the best of the rounds and the ratio window / command line.

    bench/window_tagging.py [--build build/win32|build/win64] [--rounds 3]

Runs on an Xvfb display and in a Wine prefix of its own (build/wine/bench-window).
"""
import argparse
import os
import shutil
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from lirva_e2e import Driver, WinePrefix, Xvfb, wait_until, windows_build  # noqa: E402
from resource_ids import ID  # noqa: E402
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_files import fresh_copies, source_mp3  # noqa: E402

WORK = os.path.join(ROOT, "build", "bench")
COPIES = 100
LIST, ARTIST = ID["IDC_FILELIST"], ID["IDC_ARTIST"]
ARTIST_TEXT = "Bench Artist"


def all_tagged(folder, names):
    """Every copy now starts with an ID3v2 tag holding the artist."""
    for n in names:
        with open(os.path.join(folder, n), "rb") as f:
            head = f.read(4096)
        if not head.startswith(b"ID3") or ARTIST_TEXT.encode() not in head:
            return False
    return True


def time_window(d, exe, folder, names):
    pid = d.start(exe)
    main = d.find_window(caption="Lirva", cls="#32770", pid=pid, unowned=True, timeout=30)
    d.keys(main, "ctrl+n")
    d.open_files(names, folder=folder, pid=pid, timeout=60)
    wait_until(lambda: d.list_count(main, id=LIST) == len(names), 30, what="the rows")
    d.list_select(main, range(len(names)), id=LIST)
    wait_until(lambda: d.state(main, id=ARTIST).enabled, 10, what="the fields")
    d.set_text(main, ARTIST_TEXT, id=ARTIST)
    start = time.perf_counter()
    d.keys(main, "ctrl+g")
    box = d.message_box(pid=pid, caption="Lirva", contains="lirvaed", timeout=300)
    seconds = time.perf_counter() - start
    if box.text != "Tags successfully lirvaed to %d file(s)." % len(names):
        raise RuntimeError("unexpected result: %r" % box.text)
    d.press(box.hwnd, "ok")
    d.kill(pid)
    d.wait_exit(pid, 10)
    return seconds


def time_cli(d, cli, folder, names):
    out = os.path.join(WORK, "cli-output.txt")
    start = time.perf_counter()
    pid = d.start(cli, "tag", "--artist=" + ARTIST_TEXT, *names, cwd=folder, output=out)
    code = d.wait_exit(pid, 300)
    seconds = time.perf_counter() - start
    if code != 0:
        raise RuntimeError("lirva-cli.exe ended with %d" % code)
    return seconds


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", help="the Windows build folder (default: the one that runs here)")
    ap.add_argument("--rounds", type=int, default=int(os.environ.get("BENCH_ROUNDS", "3")))
    a = ap.parse_args()
    build = os.path.abspath(a.build or windows_build())
    exe, cli = os.path.join(build, "lirva.exe"), os.path.join(build, "lirva-cli.exe")
    mp3 = source_mp3()
    window_folder = os.path.join(WORK, "window-copies")
    cli_folder = os.path.join(WORK, "cli-copies")
    figures = {"window": [], "lirva-cli.exe": []}
    with Xvfb() as x, WinePrefix(os.path.join(ROOT, "build", "wine", "bench-window"), x.display) as wine:
        with Driver(wine, os.path.join(build, "lirva-driver.exe")) as d:
            for _ in range(a.rounds):
                names = fresh_copies(mp3, window_folder, COPIES)
                figures["window"].append(time_window(d, exe, window_folder, names))
                if not all_tagged(window_folder, names):
                    raise RuntimeError("the window did not tag every copy")
                names = fresh_copies(mp3, cli_folder, COPIES)
                figures["lirva-cli.exe"].append(time_cli(d, cli, cli_folder, names))
                if not all_tagged(cli_folder, names):
                    raise RuntimeError("lirva-cli.exe did not tag every copy")
    size = os.path.getsize(mp3)
    print("%d copies of a %.2f MB MP3 under Wine, best of %d rounds:" % (COPIES, size / 1e6, a.rounds))
    best = {k: min(v) for k, v in figures.items()}
    for k, v in best.items():
        print("  %-16s %.3f s (median %.3f s)" % (k, v, statistics.median(figures[k])))
    ratio = best["window"] / best["lirva-cli.exe"]
    print("  ratio window / lirva-cli.exe: %.2f" % ratio)
    shutil.rmtree(window_folder, ignore_errors=True)
    shutil.rmtree(cli_folder, ignore_errors=True)


if __name__ == "__main__":
    main()
