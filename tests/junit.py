"""The JUnit result file that the test runners of the project write and that
scripts/summarize.py counts."""
import os
from xml.sax.saxutils import quoteattr


def write_junit(path, suite, results):
    """results: (name, failure message or None, seconds), or (name, failure message
    or None, skip message or None, seconds)."""
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path, "w") as f:
        f.write("<testsuites><testsuite name=%s>" % quoteattr(suite))
        for result in results:
            if len(result) == 3:
                (name, failure, secs), skip = result, None
            else:
                name, failure, skip, secs = result
            f.write('<testcase classname=%s name=%s time="%.2f">' % (quoteattr(suite), quoteattr(name), secs))
            if failure:
                f.write("<failure message=%s/>" % quoteattr(failure))
            if skip:
                f.write("<skipped message=%s/>" % quoteattr(skip))
            f.write("</testcase>")
        f.write("</testsuite></testsuites>\n")
