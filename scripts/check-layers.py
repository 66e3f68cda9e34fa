#!/usr/bin/env python3
"""Refuses an include that points up the layers, or across between folders of one
layer. Run by the build (every build of every kind) and by hand:

    check-layers.py [ROOT]

From the top: app; setup; net and playback; ui, tags and audio; common. A folder
uses only folders of lower layers (and the resource ids of resources/).
"""
import os
import re
import sys

LAYERS = {"app": 4, "setup": 3, "net": 2, "playback": 2, "ui": 1, "tags": 1, "audio": 1, "common": 0}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z0-9_]+)/')


def main(root):
    faults = []
    for folder, rank in LAYERS.items():
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(base, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in LAYERS or m.group(1) == folder:
                            continue
                        used = m.group(1)
                        if LAYERS[used] >= rank:
                            faults.append("%s:%d: %s/ includes %s/ (%s)" % (
                                os.path.relpath(path, root), number, folder, used,
                                "across one layer" if LAYERS[used] == rank else "upwards"))
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
