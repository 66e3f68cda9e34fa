#!/usr/bin/env python3
"""Writes a one-case JUnit file: result-xml.py FILE NAME pass|fail [MESSAGE]."""
import sys
from xml.sax.saxutils import quoteattr

path, name, outcome = sys.argv[1:4]
message = sys.argv[4] if len(sys.argv) > 4 else outcome
with open(path, "w") as f:
    f.write('<testsuites><testsuite name="steps">')
    f.write('<testcase name=%s classname="steps">' % quoteattr(name))
    if outcome != "pass":
        f.write('<failure message=%s/>' % quoteattr(message))
    f.write('</testcase></testsuite></testsuites>\n')
