"""Test audio for the benchmarks: one 2.9 MB 128 kbit/s MP3 without tags (181 s of
pink noise, made once with sox and lame) and fresh copies of it."""
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "bench")
RELEASE_BUILD = os.path.join(ROOT, "build", "native-release")


def release_cli():
    """lirva-cli of the optimised native build, built when needed."""
    subprocess.run(["cmake", "-S", ROOT, "-B", RELEASE_BUILD, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"],
                   check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["ninja", "-C", RELEASE_BUILD, "lirva-cli"], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(RELEASE_BUILD, "lirva-cli")


def source_mp3():
    os.makedirs(WORK, exist_ok=True)
    mp3 = os.path.join(WORK, "source.mp3")
    if not os.path.exists(mp3):
        wav = os.path.join(WORK, "source.wav")
        subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "181",
                        "pinknoise", "vol", "0.3"], check=True)
        subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3 + ".tmp"], check=True)
        os.replace(mp3 + ".tmp", mp3)
        os.remove(wav)
    return mp3


def fresh_copies(mp3, folder, count):
    """`count` copies named song000.mp3 ... in an emptied `folder`; returns their names."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    data = open(mp3, "rb").read()
    names = []
    for i in range(count):
        name = "song%03d.mp3" % i
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        names.append(name)
    return names
