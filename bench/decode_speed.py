#!/usr/bin/python3
"""MP3 decoding speed, side by side with mpg123 (and ffmpeg when it is installed).

Makes a 600-second 128 kbit/s stereo MP3 once (sox + lame), then decodes it to a
16-bit WAV file with each tool in turn, round after round (the tools interleaved, so
that whatever else the machine does falls on all of them alike), and prints each
tool's median user CPU time and wall time over BENCH_ROUNDS rounds (7 unless set)
and the ratio of lirva-cli decode (optimised native build) to the faster reference.

With --wine it also decodes the same file with the Windows build that runs on this
machine (scripts/wine-env) under Wine, and subtracts Wine's own start-up, measured
apart as `lirva-cli.exe --version` in the same rounds.

    bench/decode_speed.py [--wine]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_files import release_cli  # noqa: E402
ROUNDS = int(os.environ.get("BENCH_ROUNDS", "7"))


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


def run_once(cmd, env=None):
    """(user CPU seconds, wall seconds) of one run of cmd and everything it waited for."""
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode != 0:
        raise SystemExit("%s failed (exit %d)" % (" ".join(cmd), p.returncode))
    return usage.ru_utime, wall


def wine_environment():
    """The environment of scripts/wine-env with a bench prefix of its own, made ready."""
    script = ('source scripts/wine-env && lirva_make_prefix "$WINEPREFIX" >/dev/null 2>&1 && '
              'echo "$LIRVA_WINE" && echo "$LIRVA_WINDOWS_BUILD" && env -0')
    env = dict(os.environ, LIRVA_WINEPREFIX=os.path.join(ROOT, "build", "wine", "bench-decode"))
    out = subprocess.run(["bash", "-c", script], cwd=ROOT, env=env, check=True, capture_output=True).stdout
    head, _, rest = out.partition(b"\n")
    build, _, rest = rest.partition(b"\n")
    variables = dict(item.split(b"=", 1) for item in rest.split(b"\0") if b"=" in item)
    return head.decode(), build.decode(), {k.decode(): v.decode() for k, v in variables.items()}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", action="store_true", help="also the Windows build under Wine")
    args = parser.parse_args()
    cli = release_cli()
    mp3 = source_mp3()
    out = os.path.join(WORK, "decoded.wav")
    tools = {"lirva-cli decode": [cli, "decode", mp3, out],
             "mpg123": ["mpg123", "-q", "-w", out, mp3]}
    if shutil.which("ffmpeg"):
        tools["ffmpeg"] = ["ffmpeg", "-v", "quiet", "-y", "-i", mp3, "-f", "wav", out]
    else:
        print("(ffmpeg is not installed: apt-get install ffmpeg to compare with it too)")
    envs = {}
    wineserver = None
    if args.wine:
        wine, build, env = wine_environment()
        exe = os.path.join(build, "lirva-cli.exe")
        tools["Windows build, Wine"] = [wine, exe, "decode", mp3, out + ".win.wav"]
        tools["Wine start-up"] = [wine, exe, "--version"]
        envs = {"Windows build, Wine": env, "Wine start-up": env}
        wineserver = subprocess.Popen(["wineserver", "-p", "-f"], env=env)
        run_once(tools["Wine start-up"], env)  # the first start sets the prefix's services up
    figures = {name: [] for name in tools}
    try:
        for _ in range(ROUNDS):
            for name, cmd in tools.items():
                figures[name].append(run_once(cmd, envs.get(name)))
    finally:
        if wineserver:
            subprocess.run(["wineserver", "-k"], env=envs["Wine start-up"])
            wineserver.wait()
    user = {name: statistics.median(u for u, _ in runs) for name, runs in figures.items()}
    wall = {name: statistics.median(w for _, w in runs) for name, runs in figures.items()}
    print("decoding a 600 s 128 kbit/s stereo MP3 to a 16-bit WAV file, median of %d interleaved rounds:" % ROUNDS)
    print("  %-22s %9s %9s" % ("", "user CPU", "wall"))
    for name in tools:
        print("  %-22s %8.3fs %8.3fs" % (name, user[name], wall[name]))
    references = [k for k in ("mpg123", "ffmpeg") if k in user]
    fastest = min(references, key=lambda k: user[k])
    print("  ratio to the faster reference (%s), user CPU: %.2f" % (fastest, user["lirva-cli decode"] / user[fastest]))
    if args.wine:
        net = user["Windows build, Wine"] - user["Wine start-up"]
        net_wall = wall["Windows build, Wine"] - wall["Wine start-up"]
        print("  Windows build under Wine less its start-up: %.3f s user CPU (%.2fx native), %.3f s wall (%.2fx)"
              % (net, net / user["lirva-cli decode"], net_wall, net_wall / wall["lirva-cli decode"]))
    for path in (out, out + ".win.wav"):
        if os.path.exists(path):
            os.remove(path)


if __name__ == "__main__":
    sys.exit(main())
