#!/usr/bin/env python3
"""Checks the help pages that the installer carries (resources/help).

Fails (exit 1, naming each fault) when one of the eleven files is missing; a
page is not well formed (a tag left open, closed out of order or never opened),
has no <title>, does not link hlp.css, or does not begin its body with
hlphead.js and end it with hlpfoot.js; a relative href/src (also in the CSS
and the two scripts) names no file of the folder, or a resource is not
relative; index.html does not link every page; or non-ASCII bytes appear that
no declared charset covers.   Usage: check_help.py [help folder]
"""
import os
import re
import sys
from html.parser import HTMLParser

FILES = ["index.html", "introduction.html", "related.html", "features.html",
         "format_overview.html", "requirements.html", "support.html", "using.html",
         "hlp.css", "hlpfoot.js", "hlphead.js"]
PAGES = [f for f in FILES if f.endswith(".html")]
VOID = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
        "param", "source", "track", "wbr"}


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.links, self.resources, self.body = [], [], [], [], []
        self.title, self.charset, self.css = "", None, False

    def handle_starttag(self, tag, attrs):
        a = {k: v or "" for k, v in attrs}
        if "body" in self.stack:
            self.body.append((tag, a.get("src")))
        m = re.search(r"charset=([\w-]+)", a.get("content", "")) if tag == "meta" else None
        self.charset = self.charset or a.get("charset") or (m and m.group(1))
        self.css |= (tag == "link" and a.get("rel", "").lower() == "stylesheet"
                     and a.get("href") == "hlp.css")
        if "href" in a:
            (self.resources if tag == "link" else self.links).append(a["href"])
        if "src" in a:
            self.resources.append(a["src"])
        if tag not in VOID:
            self.stack.append(tag)

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.stack or self.stack[-1] != tag:
            open_tag = "<%s>" % self.stack[-1] if self.stack else "nothing"
            self.errors.append("</%s> at line %d closes %s" % (tag, self.getpos()[0], open_tag))
            if tag in self.stack:
                del self.stack[self.stack.index(tag):]
        else:
            self.stack.pop()

    def handle_data(self, data):
        if self.stack and self.stack[-1] == "title":
            self.title += data


def check_link(target, folder, resource):
    if re.match(r"^(https?:|mailto:)", target, re.I):
        return "external resource %s" % target if resource else None
    path = target.split("#")[0].split("?")[0]
    if re.match(r"^([a-z]+:|/|\\)", path, re.I):
        return "link %s is not relative" % target
    if path and path not in os.listdir(folder):
        return "link %s names no file of the folder" % target
    return None


def check_page(name, folder, raw):
    p = Page()
    p.feed(raw.decode("latin-1"))
    p.close()
    faults = p.errors + ["<%s> never closed" % t for t in p.stack]
    if any(b > 127 for b in raw):
        if not p.charset:
            faults.append("non-ASCII bytes but no charset declared")
        elif p.charset.lower() in ("utf-8", "utf8") and raw.decode("utf-8", "ignore").encode() != raw:
            faults.append("declares utf-8 but is not valid UTF-8")
    if not p.title.strip():
        faults.append("no <title>")
    if not p.css:
        faults.append("does not link hlp.css")
    for where, (tag, src), want in (("begin", (p.body or [("", None)])[0], "hlphead.js"),
                                    ("end", (p.body or [("", None)])[-1], "hlpfoot.js")):
        if tag != "script" or src != want:
            faults.append("body does not %s with the script %s" % (where, want))
    faults += [f for f in (check_link(t, folder, t in p.resources) for t in p.links + p.resources) if f]
    if name == "index.html":
        faults += ["does not link %s" % f for f in PAGES if f != name and f not in p.links]
    return list(dict.fromkeys(faults))


def check_asset(folder, raw):
    """The CSS's url()s and every file name quoted in a script (the header
    builds its navigation links from such names) must be files of the folder."""
    faults = ["non-ASCII bytes"] if any(b > 127 for b in raw) else []
    pattern = r"""["']([^"'\s<>=]+\.(?:html?|css|js|png|gif|jpe?g))["'#]|url\(\s*["']?([^"')]+)"""
    for name, url in re.findall(pattern, raw.decode("latin-1"), re.I):
        faults += [f for f in [check_link(name or url, folder, bool(url))] if f]
    return faults


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "help")
    groups = {"files": {}, "pages": {}, "assets": {}}
    for f in FILES:
        path = os.path.join(folder, f)
        groups["files"][f] = [] if os.path.isfile(path) else ["missing"]
        if not groups["files"][f]:
            with open(path, "rb") as fh:
                raw = fh.read()
            if f in PAGES:
                groups["pages"][f] = check_page(f, folder, raw)
            else:
                groups["assets"][f] = check_asset(folder, raw)
    failed_all = 0
    for group, results in groups.items():
        failed = [f for f in results if results[f]]
        print("".join("FAIL %s: %s: %s\n" % (group, f, x) for f in failed for x in results[f]), end="")
        print("%s: %d passed, %d failed" % (group, len(results) - len(failed), len(failed)))
        failed_all += len(failed)
    print("help: %d passed, %d failed" % (sum(map(len, groups.values())) - failed_all, failed_all))
    return 1 if failed_all else 0


if __name__ == "__main__":
    sys.exit(main())
