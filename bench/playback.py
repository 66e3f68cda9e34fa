#!/usr/bin/python3
"""What playing costs and whether it keeps up, measured on the real editor and player
under Wine, playing into scripts/paced-sink (a device that takes audio no faster than
a sound card).

- cpu: plays a 60-second 44.1 kHz stereo MP3 (a sweep whose loudness changes as
  music's does) to its end from the editor's player and
  divides the time the threads of lirva.exe ran on a CPU while playing (from 5 s in to
  5 s before the end, by the scheduler's clock) by the time that passed; also prints
  the tick-sampled user + system times of /proc and each thread's context switches.
- timing: runs player_bench.exe on a 60-second MP3: the time from a seek while
  scrubbing to the new snippet queued on the device, and the time the waveform view
  takes to follow one position report (a tenth of a second); on ALSA's null device,
  which like a sound card's driver never holds Wine's audio thread.
- starve: plays a 10-minute MP3 to its end while a compiler keeps the other core busy
  (g++ -O2 over the decoder's sources, again and again), then compares what the device
  received with `lirva-cli.exe decode` of the file.

    bench/playback.py [--build build/win64] [--runs N] [cpu] [timing] [starve]

Runs on an Xvfb display and in a Wine prefix of its own (build/wine/bench-playback);
the display gets the resource database a desktop session has (--bare-display: none).
"""
import argparse
import glob
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from lirva_e2e import Xvfb, wait_until  # noqa: E402
from test_editor import Editor  # noqa: E402
from test_player import LIST_ID, Player, Session  # noqa: E402

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def process_cpu_seconds(name):
    """User + system seconds of the Linux processes whose command line names `name`."""
    total = 0
    for stat in glob.glob("/proc/[0-9]*/stat"):
        pid = stat.split("/")[2]
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                if name.encode() not in f.read():
                    continue
            with open(stat) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            total += int(fields[11]) + int(fields[12])
        except OSError:
            continue
    return total / CLOCK_TICKS


def tasks(names):
    """(thread id, the thread's /proc folder) of every thread of the Linux processes
    whose command line names one of `names`."""
    for task in glob.glob("/proc/[0-9]*/task/[0-9]*"):
        parts = task.split("/")
        try:
            with open("/proc/%s/cmdline" % parts[2], "rb") as f:
                command = f.read()
        except OSError:
            continue
        if any(n.encode() in command for n in names):
            yield parts[4], task


def thread_cpu_seconds(name):
    """{(thread id, thread name): user + system seconds} of the threads of the Linux
    processes whose command line names `name`."""
    threads = {}
    for tid, task in tasks([name]):
        try:
            with open(task + "/stat") as f:
                head, _, rest = f.read().rpartition(")")
            fields = rest.split()
            threads[(tid, head.split("(", 1)[1])] = (int(fields[11]) + int(fields[12])) / CLOCK_TICKS
        except (OSError, IndexError):
            continue
    return threads


def thread_run_seconds(name):
    """{(thread id, thread name): seconds on a CPU} of the threads of the Linux processes
    whose command line names `name`, from the scheduler's own clock (schedstat). The
    user and system times of /proc/PID/stat are sampled at the timer tick: a thread that
    wakes a hundred times a second on a timer, runs a few microseconds and sleeps again
    is charged a whole tick whenever the tick finds it running, so on a virtual machine
    those figures swing by half from one run to the next."""
    threads = {}
    for tid, task in tasks([name]):
        try:
            with open(task + "/schedstat") as f:
                ran = int(f.read().split()[0])
            with open(task + "/comm") as f:
                threads[(tid, f.read().strip())] = ran / 1e9
        except (OSError, IndexError, ValueError):
            continue
    return threads


def switches(names):
    """{thread name: context switches so far} of the processes whose command line
    names one of `names` (each round trip to Wine's server is one for the thread
    and one for the server)."""
    counts = {}
    for tid, task in tasks(names):
        try:
            with open(task + "/status") as f:
                fields = dict(line.split(":", 1) for line in f if ":" in line)
            counts["%s %s" % (tid, fields["Name"].strip())] = (int(fields["voluntary_ctxt_switches"]) +
                                                               int(fields["nonvoluntary_ctxt_switches"]))
        except (OSError, KeyError, ValueError):
            continue
    return counts


def play_to_end(s, name, seconds, phases=None):
    """Plays `name` from the editor's player to its end; returns the wall time, the
    CPU seconds lirva.exe used from F9 to the dialog's close, and the captured audio.
    With `phases` (a dict) also the CPU of opening (F9 until play shows), of the
    middle of the play (from 5 s in to 5 s before the end) and its length."""
    ed = Editor(s)
    ed.add(name, s.work, rows_after=1)
    s.d.list_select(ed.main, [0], id=LIST_ID)
    s.clear_capture()
    before = process_cpu_seconds("lirva.exe")
    start = time.time()
    p = Player(s, ed)
    p.wait_mode("play")
    opened = process_cpu_seconds("lirva.exe")
    # Asking the dialog for its state costs it work too: look once a second only.
    time.sleep(5)
    middle_start, middle_cpu = time.time(), process_cpu_seconds("lirva.exe")
    threads_before = thread_cpu_seconds("lirva.exe")
    ran_before = thread_run_seconds("lirva.exe")
    switches_before = switches(["lirva.exe", "wineserver"])
    time.sleep(max(seconds - 12, 0))
    middle_end, middle_cpu_end = time.time(), process_cpu_seconds("lirva.exe")
    threads_after = thread_cpu_seconds("lirva.exe")
    ran_after = thread_run_seconds("lirva.exe")
    switches_after = switches(["lirva.exe", "wineserver"])
    wait_until(lambda: p.mode() == "stop", 60, interval=1.0, what="the end")
    wall = time.time() - start
    p.close()
    used = process_cpu_seconds("lirva.exe") - before
    played = s.capture()
    if phases is not None:
        phases.update(opening=opened - before, middle=middle_cpu_end - middle_cpu,
                      middle_seconds=middle_end - middle_start,
                      threads={k: v - threads_before.get(k, 0) for k, v in threads_after.items()},
                      ran={k: v - ran_before.get(k, 0) for k, v in ran_after.items()},
                      switches={k: v - switches_before[k] for k, v in switches_after.items() if k in switches_before})
    ed.end()
    return wall, used, played


def make_changing_mp3(s, name, seconds):
    """A 160 kbit/s MP3 of a sweep whose loudness rises and falls 1.7 times a second,
    as music's does: the level meter changes on every report, as it does with music."""
    wav = os.path.join(s.work, name + ".wav")
    mp3 = os.path.join(s.work, name)
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", str(seconds),
                    "sine", "300-3000", "vol", "0.9", "tremolo", "1.7", "90"], check=True)
    subprocess.run(["lame", "--quiet", "-b", "160", wav, mp3], check=True)
    os.remove(wav)
    return mp3


def bench_cpu(s, runs=1):
    mp3 = make_changing_mp3(s, "Minute.mp3", 60)
    shares = []
    for run in range(runs):
        phases = {}
        wall, used, _ = play_to_end(s, "Minute.mp3", 60, phases)
        seconds = phases["middle_seconds"]
        ran = sum(phases["ran"].values())
        shares.append(ran / seconds * 100)
        print("cpu: 60 s MP3 played in %.1f s; while playing (%.0f s in the middle) lirva.exe ran %.3f s "
              "by the scheduler's clock: %.2f %% of one core" % (wall, seconds, ran, shares[-1]), flush=True)
        # The first thread is the program's user-interface thread; Wine names its own.
        busy = sorted(phases["ran"].items(), key=lambda kv: int(kv[0][0]))
        print("     by thread: " + ", ".join(
            "%s %s %.2f %%" % (tid, name, t / seconds * 100) for (tid, name), t in busy if t > 0), flush=True)
        # The program's own threads: the user-interface thread and the ones it names
        # ("lirva fill", ...); the others are Wine's (its audio path among them).
        own = sum(t for i, ((tid, name), t) in enumerate(busy) if i == 0 or name.startswith("lirva "))
        print("     the program's own threads %.2f %%, Wine's threads in the process %.2f %%" % (
            own / seconds * 100, (ran - own) / seconds * 100), flush=True)
        print("     tick-sampled (/proc stat): F9 to close %.2f s = %.2f %% of the play, of which opening %.2f s; "
              "middle %.2f %%" % (used, used / 60 * 100, phases["opening"], phases["middle"] / seconds * 100),
              flush=True)
        # Under Wine most of the cost is round trips to its server, and on a virtual
        # machine every wake-up is dear.
        per_second = {k: v / seconds for k, v in phases["switches"].items()}
        print("     context switches per second: " + ", ".join(
            "%s %.0f" % (k, v) for k, v in sorted(per_second.items(), key=lambda kv: int(kv[0].split()[0]))
            if v >= 1), flush=True)
    if runs > 1:
        print("cpu: median of %d plays %.2f %% of one core (%s)" % (
            runs, sorted(shares)[runs // 2], ", ".join("%.2f" % x for x in shares)), flush=True)
    return mp3


def bench_timing(s):
    mp3 = os.path.join(s.work, "Minute.mp3")
    if not os.path.exists(mp3):
        s.make_mp3("Minute.mp3", 60)
    from lirva_e2e import WINE_RUN, win_path
    # A device that never makes its writer wait, as a sound card's driver does not:
    # the paced sink blocks Wine's audio thread while its pipe is full, and Wine's
    # waveOutReset then waits for that thread.
    conf = os.path.join(s.work, "null-device.conf")
    with open(conf, "w") as f:
        f.write('</usr/share/alsa/alsa.conf>\npcm.!default {\n  type null\n}\n')
    env = dict(s.wine.env(), ALSA_CONFIG_PATH=conf)
    out = subprocess.run([WINE_RUN, os.path.join(s.build, "player_bench.exe"), win_path(mp3)], env=env,
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                         timeout=300).stdout.decode(errors="replace")
    print("timing:\n" + out.strip(), flush=True)


def bench_starve(s):
    s.make_mp3("Ten.mp3", 600)
    decoded = s.decode(os.path.join(s.work, "Ten.mp3"))
    sources = sorted(glob.glob(os.path.join(ROOT, "audio", "mp3", "*.cpp")))
    stop = os.path.join(s.work, "stop-compiling")
    busy = subprocess.Popen(
        ["bash", "-c", 'while [ ! -e "$0" ]; do for f in "$@"; do g++ -std=c++17 -O2 -I"%s" -c "$f" '
         '-o /dev/null; done; done' % ROOT, stop] + sources)
    try:
        wall, used, played = play_to_end(s, "Ten.mp3", 600)
    finally:
        open(stop, "w").close()
        busy.wait()
    same = played[:len(decoded)] == decoded and not any(played[len(decoded):])
    print("starve: 600 s MP3 with a compiler on the other core: played in %.1f s, %.2f %% CPU; "
          "captured audio %s lirva-cli decode (%d of %d bytes)" % (
              wall, used / 6, "EQUALS" if same else "DIFFERS FROM", len(played), len(decoded)), flush=True)
    return same


def give_the_display_resources(display):
    """Gives a bare X server the resource database a desktop session has (its session
    manager loads one with xrdb), unless it has one. Without it, libX11 looks for
    ~/.Xdefaults and ~/.Xdefaults-HOST on every XGetDefault call, and Wine asks it
    for "Xft.antialias" whenever a font is selected into a window's device context:
    under Xvfb alone that is some 150 file opens a second while the player plays,
    which no user's desktop pays. Must run before any Wine process opens the display."""
    env = dict(os.environ, DISPLAY=display)

    def have():
        return "=" in subprocess.run(["xprop", "-root", "RESOURCE_MANAGER"], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL).stdout.decode(errors="replace")
    if have():
        return None
    # An X server resets, and forgets the root window's properties, when its last
    # client leaves: this one stays until the benchmark ends.
    keeper = subprocess.Popen(["xprop", "-root", "-spy", "RESOURCE_MANAGER"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    subprocess.run(["xprop", "-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                    "*customization:\t-color\n"], env=env, check=True)
    wait_until(have, 10, what="the display's resources")
    print("(the display had no X resources: given a desktop's, *customization: -color)", flush=True)
    return keeper


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build")
    ap.add_argument("--runs", type=int, default=1, help="plays for cpu (the median is printed)")
    ap.add_argument("--bare-display", action="store_true",
                    help="leave an X server without a resource database as it is")
    ap.add_argument("what", nargs="*", default=["cpu"])
    args = ap.parse_args()
    display = Xvfb().start()
    keeper = None if args.bare_display else give_the_display_resources(display.display)
    suite_args = argparse.Namespace(build=args.build, prefix=os.path.join(ROOT, "build", "wine", "bench-playback"),
                                    display=display.display, own_display=False, xml=None, k="")
    s = Session(suite_args)
    try:
        ok = True
        if "cpu" in args.what:
            bench_cpu(s, args.runs)
        if "timing" in args.what:
            bench_timing(s)
        if "starve" in args.what:
            ok = bench_starve(s)
        return 0 if ok else 1
    finally:
        s.close()
        if keeper:
            keeper.kill()
            keeper.wait()
        display.stop()


if __name__ == "__main__":
    sys.exit(main())
