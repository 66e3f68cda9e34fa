#!/usr/bin/env python3
"""Writes the MP3 decoder's tables of the MPEG audio standard (ISO/IEC 11172-3 Annex B)
as C++ source, from the standard's tables as plain data:

    tools/make_mp3_tables.py [--data ../shared/mp3-tables] [--out audio/mp3/mp3_tables.cpp]
    tools/make_mp3_tables.py --check     # exit 1 when the committed file differs

huffman.txt gives the Huffman code tables of Table B.7 ("table N xlen ylen linbits",
then "x y hlen hcod" rows, or "same-codes-as M"; tables 32 and 33 are the count1
tables A and B with "v w x y hlen hcod" rows); synthesis_window.txt gives the window
D[i] of Table B.3 as k with D[i] = k / 65536. The output is committed, so that a
clone without the data still builds.
"""
import argparse
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_DATA = os.path.join(os.path.dirname(ROOT), "shared", "mp3-tables")
DEFAULT_OUT = os.path.join(ROOT, "audio", "mp3", "mp3_tables.cpp")


def read_huffman(path):
    tables = {}
    current = None
    for line in open(path):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        if words[0] == "table":
            n, xlen, ylen, linbits = map(int, words[1:5])
            current = tables[n] = {"xlen": xlen, "ylen": ylen, "linbits": linbits, "rows": [], "same": None}
        elif words[0] == "same-codes-as":
            current["same"] = int(words[1])
        else:
            *values, hlen, hcod = words
            if len(hcod) != int(hlen) or set(hcod) - set("01"):
                raise SystemExit("bad code row in table %s: %s" % (n, line.strip()))
            current["rows"].append((tuple(map(int, values)), int(hlen), int(hcod, 2)))
    for n, t in tables.items():
        if t["rows"]:
            index = [v[0] * 8 + v[1] * 4 + v[2] * 2 + v[3] if len(v) == 4 else v[0] * t["ylen"] + v[1]
                     for v, _, _ in t["rows"]]
            if index != list(range(len(t["rows"]))):
                raise SystemExit("table %d: rows are not in x-major order" % n)
            # Every code table is a complete prefix code.
            if sum(2.0 ** -hlen for _, hlen, _ in t["rows"]) != 1.0:
                raise SystemExit("table %d is not a complete prefix code" % n)
    return tables


def read_window(path):
    window = []
    for line in open(path):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        i, k = int(words[0]), int(words[2])
        if i != len(window):
            raise SystemExit("synthesis window: index %d out of order" % i)
        window.append(k)
    if len(window) != 512:
        raise SystemExit("synthesis window: %d values, not 512" % len(window))
    return window


def codes_array(name, rows):
    out = ["const HuffmanCode %s[%d] = {" % (name, len(rows))]
    line = "   "
    for _, hlen, hcod in rows:
        item = " {%d, 0x%x}," % (hlen, hcod)
        if len(line) + len(item) > 96:
            out.append(line)
            line = "   "
        line += item
    out.append(line)
    out.append("};")
    return out


def render(tables, window):
    out = ["// The MPEG audio standard's Layer III tables (ISO/IEC 11172-3 Annex B), made by",
           "// tools/make_mp3_tables.py from the standard's tables as plain data. Do not edit:",
           "// run the generator again.",
           '#include "audio/mp3/mp3_tables.h"', "", "namespace {", ""]
    for n in sorted(tables):
        t = tables[n]
        if t["rows"] and n < 32:
            out += ["// Table %d: %d x %d values." % (n, t["xlen"], t["ylen"])]
            out += codes_array("kCodes%d" % n, t["rows"]) + [""]
    out += ["}  // namespace", ""]
    out += ["const Mp3PairTable kMp3PairTables[32] = {"]
    for n in range(32):
        t = tables[n]
        source = t["same"] if t["same"] is not None else n
        codes = "kCodes%d" % source if tables[source]["rows"] else "nullptr"
        out.append("    {%s, %d, %d}," % (codes, max(t["xlen"], 1), t["linbits"]))
    out += ["};", ""]
    out += codes_array("kMp3QuadTableA", tables[32]["rows"]) + [""]
    out += codes_array("kMp3QuadTableB", tables[33]["rows"]) + [""]
    out += ["// D[i] = k / 65536, exactly, for the standard's printed values.",
            "const float kMp3SynthesisWindow[512] = {"]
    for i in range(0, 512, 8):
        out.append("    " + " ".join("%d / 65536.0f," % k for k in window[i:i + 8]))
    out += ["};", ""]
    return "\n".join(out)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--data", default=DEFAULT_DATA)
    ap.add_argument("--out", default=DEFAULT_OUT)
    ap.add_argument("--check", action="store_true")
    a = ap.parse_args()
    text = render(read_huffman(os.path.join(a.data, "huffman.txt")),
                  read_window(os.path.join(a.data, "synthesis_window.txt")))
    if a.check:
        with open(a.out) as f:
            same = f.read() == text
        print("%s %s" % (a.out, "is up to date" if same else "differs from what the generator writes"))
        return 0 if same else 1
    with open(a.out, "w") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
