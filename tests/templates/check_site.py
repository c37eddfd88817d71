#!/usr/bin/python3
"""Sites of the sample (every shipped template) and of a generated export of
20,000 pages, made by the native command line and read in headless Chromium:
every link resolves (file and anchor), "next" walks every note once in
reading order and "prev" back, "up" climbs to index.htm, every title stands
once in the notes, no console error or request, and axe-core finds no
violation on index.htm and a note, light and dark.

Prints one line per check and 'N passed, N failed'; exits 1 when one failed.
usage: check_site.py [--skip-large]
"""
import os, re, subprocess, sys, traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, HERE)
from check_templates import Browser  # noqa: E402  (the project's headless Chromium)

CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
WORK = os.path.join(ROOT, "build", "site-test")
AXE = os.path.join(ROOT, "tests", "web", "node_modules", "axe-core", "axe.min.js")
LINKS_JS = """return Array.from(document.querySelectorAll('a[href]')).map(function (a) {
    return [a.getAttribute('href'), a.rel]; })"""
IDS_JS = "return Array.from(document.querySelectorAll('[id]')).map(function (e) { return e.id; })"


def make_site(source, name, template, level):
    folder = os.path.join(WORK, name)
    os.makedirs(WORK, exist_ok=True)
    open(os.path.join(WORK, "empty.ini"), "wb").close()
    subprocess.run([CLI, "--settings", os.path.join(WORK, "empty.ini"), "--template-dir",
                    os.path.join(ROOT, "samples", "templates"), "-t", template, "--date", "2026-01-02",
                    "--site", source, "-o", folder, "--split-level", str(level)], check=True)
    notes = sorted((n for n in os.listdir(folder) if n[0].isdigit()), key=lambda n: int(n.split("-")[0]))
    return folder, notes


def walk(b, folder, notes, titles):
    """Opens every file: links, the ways through, the titles."""
    ids, links = {}, {}
    for name in ["index.htm"] + notes:
        path = os.path.join(folder, name)
        b.open(path)
        assert not b.problems(path), (name, b.problems(path))
        ids[name] = set(b.js(IDS_JS))
        links[name] = b.js(LINKS_JS)
    for name, found in links.items():
        for href, rel in found:
            if href.startswith(("http:", "https:", "#")):
                continue
            target, _, anchor = href.partition("#")
            assert target in ids or os.path.exists(os.path.join(folder, target)), (name, href)
            assert not anchor or anchor in ids.get(target, ()), (name, href)
    rel = lambda name, kind: [h for h, r in links[name] if r == kind]
    chain = ["index.htm"] + notes
    for before, after in zip(chain, chain[1:]):
        assert rel(before, "next")[-1] == after, (before, rel(before, "next"))
        assert rel(after, "prev")[0] == before, (after, rel(after, "prev"))
    assert not rel(chain[-1], "next"), chain[-1]
    for name in notes:
        up, steps = name, 0
        while up != "index.htm":
            up, steps = rel(up, "up")[0], steps + 1
            assert steps <= len(notes), name
    text = "".join("".join(re.findall(r"<!--notes-->(.*?)<!--/notes-->",
                                      open(os.path.join(folder, n), encoding="utf-8").read(), re.S)) for n in chain)
    assert len(re.findall(r"</h[1-6]>|</b><br>", text)) == titles, "titles"


# What axe finds on the template's own single page already.
TEMPLATE_OWN = {"Print": {"region"}, "Plain": {"landmark-one-main", "region"}}


def accessible(b, folder, notes, template, names=None):
    axe = open(AXE).read()
    for name in names or ("index.htm", notes[len(notes) // 2]):
        for dark in (False, True):
            b.media(dark=dark)
            b.open(os.path.join(folder, name))
            b.js(axe)
            found = b.driver.execute_async_script("""var allowed = arguments[0], done = arguments[1];
                axe.run(document, {runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice']})
                   .then(function (r) { done(r.violations.filter(function (v) { return allowed.indexOf(v.id) < 0; })
                     .map(function (v) { return v.id + ': ' + v.nodes.map(function (n) {
                       return n.target.join(' '); }).join(', '); })); });""", sorted(TEMPLATE_OWN.get(template, ())))
            assert not found, "%s, %s: %s" % (name, "dark" if dark else "light", found)
    b.media()


def sample_site(template, level):
    def check(b):
        folder, notes = make_site(SAMPLE, "%s-%d" % (template, level), template, level)
        walk(b, folder, notes, 41)
        accessible(b, folder, notes, template)
    return check


class Static:
    """The browser's answers read from the files themselves, for a site too
    large to open file by file."""
    def __init__(self, folder):
        self.folder, self.text = folder, None

    def open(self, path):
        self.text = open(path, encoding="utf-8").read()

    def problems(self, path):
        return []

    def js(self, script):
        if script == IDS_JS:
            return re.findall(r' id="([^"]*)"', self.text)
        return [(h, r) for h, r in re.findall(r'<a href="([^"]*)"(?: rel="([^"]*)")?', self.text)]


def large_site(b):
    source = os.path.join(WORK, "pages.txt")
    if not os.path.exists(source):
        with open(source, "wb") as f:  # 20,000 pages over three levels, a line each
            for i in range(20000):
                f.write(b"[%s Page %d]\r\nline %d\r\n" % (b"." * (1 + i % 3), i, i))
    folder, notes = make_site(source, "large", "Standard", 1)
    assert len(notes) == 6667, len(notes)
    walk(Static(folder), folder, notes, 20000)
    index = os.path.join(folder, "index.htm")
    b.open(index)
    assert not b.problems(index), b.problems(index)
    assert len(b.js(LINKS_JS)) == 20001, len(b.js(LINKS_JS))
    # axe takes minutes over 20,000 links; the sample's index.htm stands for it.
    accessible(b, folder, notes, "Standard", [notes[len(notes) // 2]])


CHECKS = [("sample site, %s, split level %d" % (t, l), sample_site(t, l))
          for t, l in (("Standard", 1), ("Navigator", 2), ("Print", 3), ("Plain", 1))]
CHECKS.append(("a site of 20,000 pages: index.htm lists them all", large_site))


def main():
    skip_large = "--skip-large" in sys.argv
    b = Browser()
    passed = failed = 0
    try:
        for name, check in CHECKS:
            if skip_large and "20,000" in name:
                continue
            try:
                check(b)
                print("ok    " + name)
                passed += 1
            except Exception:
                print("FAIL  " + name)
                traceback.print_exc()
                failed += 1
    finally:
        b.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
