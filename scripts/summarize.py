#!/usr/bin/env python3
"""Counts the test cases of every JUnit XML file in a folder and prints the summary
line; exits non-zero when anything failed or nothing ran."""
import glob
import os
import sys
import xml.etree.ElementTree as ET

folder = sys.argv[1]
passed = failed = skipped = 0
for path in sorted(glob.glob(os.path.join(folder, "*.xml"))):
    try:
        tree = ET.parse(path)
    except ET.ParseError:
        print("unreadable result file:", path)
        failed += 1
        continue
    for case in tree.iter("testcase"):
        name = case.get("classname", "") + "." + case.get("name", "")
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
            print("FAILED:", name)
        elif case.find("skipped") is not None or case.get("result") == "skipped" \
                or case.get("status") == "notrun":
            skipped += 1
        else:
            passed += 1
line = "%d passed, %d failed" % (passed, failed)
if skipped:
    line += ", %d skipped" % skipped
print(line)
sys.exit(1 if failed or passed == 0 else 0)
