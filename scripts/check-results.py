#!/usr/bin/env python3
"""Makes sure no test program is lost from the count: writes a failed case into the
results folder for every expected result file that is missing or unreadable, and
for every runner that exited non-zero without reporting a failed case.

    check-results.py ctest BUILD_DIR RESULTS_DIR [CTEST_JUNIT]
        every test that ctest lists in BUILD_DIR must have left RESULTS_DIR/<name>.xml;
        a test that ctest's own JUnit file marks as failed must show a failure there
    check-results.py runner NAME EXIT_CODE RESULT_FILE RESULTS_DIR
        one runner's exit code against the result file it wrote
"""
import json
import os
import subprocess
import sys
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr


def failed_case(results, file_name, name, message):
    with open(os.path.join(results, file_name), "w") as f:
        f.write('<testsuites><testsuite name="checks"><testcase name=%s classname="checks">'
                '<failure message=%s/></testcase></testsuite></testsuites>\n' % (quoteattr(name), quoteattr(message)))
    print("FAILED: %s: %s" % (name, message))


def failures_in(path):
    """The number of failed cases in a JUnit file; None when it is missing or unreadable."""
    try:
        tree = ET.parse(path)
    except (OSError, ET.ParseError):
        return None
    cases = list(tree.iter("testcase"))
    if not cases:
        return None
    return sum(1 for c in cases if c.find("failure") is not None or c.find("error") is not None)


def ctest_names(build):
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, capture_output=True, text=True)
    if out.returncode != 0:
        return None
    return [t["name"] for t in json.loads(out.stdout).get("tests", [])]


def check_ctest(build, results, junit=None):
    label = os.path.basename(os.path.normpath(build))
    names = ctest_names(build)
    if not names:
        failed_case(results, "missing-ctest-%s.xml" % label, "ctest (%s)" % label, "no tests listed by the build")
        return
    statuses = {}
    if junit:
        try:
            for case in ET.parse(junit).iter("testcase"):
                statuses[case.get("name")] = case.get("status")
        except (OSError, ET.ParseError):
            failed_case(results, "missing-ctest-junit-%s.xml" % label, "ctest (%s)" % label,
                        "ctest wrote no report: it did not run to its end")
    for name in names:
        failures = failures_in(os.path.join(results, name + ".xml"))
        if failures is None:
            failed_case(results, "missing-%s.xml" % name, name, "no results: the program crashed or did not run")
        elif failures == 0 and statuses.get(name) == "fail":
            failed_case(results, "exit-%s.xml" % name, name, "exited with a failure but reported none")


def check_runner(name, code, result_file, results):
    failures = failures_in(result_file)
    if failures is None:
        failed_case(results, "missing-%s.xml" % name, name, "no results: the runner crashed or did not run")
    elif failures == 0 and code != 0:
        failed_case(results, "exit-%s.xml" % name, name, "exited %d but reported no failure" % code)


if __name__ == "__main__":
    if sys.argv[1] == "ctest":
        check_ctest(sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else None)
    elif sys.argv[1] == "runner":
        check_runner(sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5])
    else:
        sys.exit("usage: see the top of this file")
