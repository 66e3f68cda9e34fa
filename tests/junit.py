"""The JUnit result file that the test runners of the project write and that
scripts/summarize.py counts."""
import os
from xml.sax.saxutils import quoteattr


def write_junit(path, suite, results):
    """results: (name, failure message or None, seconds[, skip message or None])."""
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w") as f:
        f.write("<testsuites><testsuite name=%s>" % quoteattr(suite))
        for result in results:
            name, failure, secs = result[0], result[1], result[-1] if len(result) == 3 else result[3]
            skip = result[2] if len(result) == 4 else None
            f.write('<testcase classname=%s name=%s time="%.2f">' % (quoteattr(suite), quoteattr(name), secs))
            if failure:
                f.write("<failure message=%s/>" % quoteattr(failure))
            if skip:
                f.write("<skipped message=%s/>" % quoteattr(skip))
            f.write("</testcase>")
        f.write("</testsuite></testsuites>\n")
