#!/usr/bin/env python3
"""The results check counts what would otherwise be lost: a test program the build
lists that left no result file, one that failed without reporting a failure, and
a runner that exited non-zero with a clean report."""
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CHECK = os.path.join(ROOT, "scripts", "check-results.py")


def junit(path, failures):
    cases = "".join('<testcase name="c%d"%s</testcase>' % (i, "><failure/>" if i < failures else ">")
                    for i in range(2))
    with open(path, "w") as f:
        f.write("<testsuites><testsuite>%s</testsuite></testsuites>" % cases)


def written(results):
    return sorted(n for n in os.listdir(results) if n.startswith(("missing-", "exit-")))


def main():
    with tempfile.TemporaryDirectory() as tmp:
        build, results = os.path.join(tmp, "build"), os.path.join(tmp, "results")
        os.makedirs(build)
        os.makedirs(results)
        # A build that lists three test programs, as CMake writes them.
        with open(os.path.join(build, "CTestTestfile.cmake"), "w") as f:
            for name in ("alpha", "beta", "gamma"):
                f.write('add_test(%s "true")\n' % name)
        junit(os.path.join(results, "alpha.xml"), 0)   # ran clean
        junit(os.path.join(results, "gamma.xml"), 0)   # failed, but its report shows none
        with open(os.path.join(build, "ctest.xml"), "w") as f:
            f.write('<testsuite><testcase name="alpha" status="run"/><testcase name="beta" status="fail"/>'
                    '<testcase name="gamma" status="fail"/></testsuite>')
        subprocess.run([sys.executable, CHECK, "ctest", build, results, os.path.join(build, "ctest.xml")],
                       check=True, capture_output=True)
        got = written(results)
        assert got == ["exit-gamma.xml", "missing-beta.xml"], got

        # Runners: a crash with no file, a non-zero exit with a clean file, and a clean run.
        junit(os.path.join(tmp, "clean.xml"), 0)
        for name, code, path in (("gone", 0, os.path.join(tmp, "none.xml")),
                                 ("quiet", 3, os.path.join(tmp, "clean.xml")),
                                 ("fine", 0, os.path.join(tmp, "clean.xml"))):
            subprocess.run([sys.executable, CHECK, "runner", name, str(code), path, results],
                           check=True, capture_output=True)
        got = written(results)
        assert got == ["exit-gamma.xml", "exit-quiet.xml", "missing-beta.xml", "missing-gone.xml"], got
        # Each added file is a failed case the summary counts.
        for name in got:
            with open(os.path.join(results, name)) as f:
                assert "<failure" in f.read(), name
    print("results check: pass")


if __name__ == "__main__":
    main()
