"""The program's numeric ids (controls, commands, resources), read from
resources/resource.h so that tests and benchmarks never repeat the numbers."""
import os
import re

_HEADER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "resources", "resource.h")


def _read():
    ids = {}
    with open(_HEADER) as f:
        for line in f:
            m = re.match(r"#define\s+(\w+)\s+(\d+)\b", line)
            if m:
                ids[m.group(1)] = int(m.group(2))
    return ids


ID = _read()
