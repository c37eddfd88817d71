#!/usr/bin/python3
"""Sites made by `pagesmith-cli --site`, read as a reader's browser reads them.

Builds sites of the sample (every shipped template, split levels 1 and 3) and of
a generated export of about 20,000 pages (every page a file; and with long
titles, so that the contents pass 2 MB and split into branch files). The links,
the prev/next/up chains, the breadcrumbs and the titles are checked in every
file by parsing its HTML; headless Chromium (the project's Browser) runs
axe-core and opens the pages from file://, with script on and off.

Prints one line per row and a closing 'N passed, M failed'; exits 1 when a row
failed. usage: check_site.py [WORD] [--screenshots DIR]   (WORD: rows whose
name holds it; DIR: also the README's screenshots of the sample's site)"""
import html.parser, json, os, re, shutil, subprocess, sys, time, urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "templates"))
from check_templates import Browser  # noqa: E402  (the project's headless Chromium)
from selenium.webdriver.common.by import By  # noqa: E402

CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
WORK = os.path.join(ROOT, "build", "site-test")
SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
GALLERY = ("Standard", "Navigator", "Print", "Plain")
TITLE = "Field notes"
EXPORT_MB = 7.15  # bench/generate's export of this size holds 20,073 pages
LONG = b" with a title long enough to pass the contents limit"
AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "best-practice"]


def convert(source, template, product, *options):
    settings = os.path.join(WORK, "empty.ini")
    open(settings, "wb").close()
    subprocess.run([CLI, "--settings", settings, "--template-dir", os.path.join(ROOT, "samples", "templates"),
                    "-t", template, "--title", TITLE, "--date", "2024-05-01", *options, source, "-o", product],
                   check=True)


class Site:
    """One site on disk, parsed: what each file links to, where its anchors are, its notes' titles."""

    def __init__(self, name, source, template, level):
        self.name, self.source, self.template = name, source, template
        self.folder = os.path.join(WORK, name)
        shutil.rmtree(self.folder, ignore_errors=True)
        convert(source, template, self.folder, "--site", "--split-level", str(level))
        self.files = {f: parse(os.path.join(self.folder, f)) for f in sorted(os.listdir(self.folder))
                      if f.endswith(".htm")}
        self.notes = [f for f in self.files if not f.startswith("index")]

    def contents(self, name="index.htm"):
        """(title, href) of every page in the contents, a branch file's entries in its place."""
        for text, href in self.files[name].entries:
            if href.startswith("index-"):
                yield from list(self.contents(href))[1:]  # a branch file starts with its own page again
            else:
                yield text, href

    def reading_order(self):
        seen = []
        for _, href in self.contents():
            if href.split("#")[0] not in seen:
                seen.append(href.split("#")[0])
        return seen


class Parsed(html.parser.HTMLParser):
    """What the checks need of one file, in one pass."""

    def __init__(self):
        super().__init__()
        self.ids, self.links, self.rel, self.keys, self.crumbs = set(), [], {}, {}, []
        self.entries, self.headings, self.scripts, self.title = [], [], 0, ""
        self.in_notes = self.in_title = False
        self.nav = None  # the class of the nav we are in
        self.navs = 0
        self.text = None  # the open link's or heading's text
        self.after_break = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("id", "name" if tag == "a" else "id"):
            if a.get(key):
                self.ids.add(a[key])
        if tag == "nav":
            self.nav, self.after_break = a.get("class", ""), False
            self.navs += self.nav == "pagesmith-site"
        elif tag == "br" and self.nav:
            self.after_break = True
        elif tag == "script":
            self.scripts += 1
        elif tag == "title":
            self.in_title = True
        elif tag == "a" and "href" in a:
            self.links.append(a["href"])
            self.text, self.href = "", a["href"]
            if self.nav == "pagesmith-site":
                if a.get("rel"):
                    self.rel.setdefault(a["rel"], set()).add(a["href"])
                elif self.navs == 1 and not self.after_break:
                    self.crumbs.append(None)
                if a.get("accesskey"):
                    self.keys.setdefault(a["accesskey"], set()).add(a["href"])
        elif re.fullmatch(r"h[1-6]", tag) and self.in_notes:
            self.text, self.href = "", None

    def handle_endtag(self, tag):
        if tag == "nav":
            self.nav = None
        elif tag == "title":
            self.in_title = False
        elif tag == "a" and self.text is not None and self.href is not None:
            if self.nav == "pagesmith-contents":
                self.entries.append((self.text, self.href))
            elif self.crumbs and self.crumbs[-1] is None:
                self.crumbs[-1] = (self.text, self.href)
            self.text = None
        elif re.fullmatch(r"h[1-6]", tag) and self.text is not None and self.href is None:
            self.headings.append(self.text)
            self.text = None

    def handle_data(self, data):
        if self.in_title:
            self.title += data
        if self.text is not None:
            self.text += data

    def handle_comment(self, data):
        self.in_notes = {"notes": True, "/notes": False}.get(data, self.in_notes)


def parse(path):
    p = Parsed()
    with open(path, encoding="utf-8-sig") as f:
        p.feed(f.read())
    return p


def source_pages(path):
    """(level, title) of every page title line of an export, as a reader sees the title."""
    with open(path, "rb") as f:
        data = f.read()
    text = data[3:].decode("utf-8") if data.startswith(b"\xef\xbb\xbf") else data.decode("cp1252")
    return [(len(m.group(1)), m.group(2)) for m in re.finditer(r"^\[(\.+)(.*)\]\r?$", text, re.M)]


def faults(found, what):
    assert not found, "%d %s, first: %s" % (len(found), what, found[:3])


# ---------------------------------------------------------------- rows over every site's files

def links_resolve(site):
    broken, count = [], 0
    for name, p in site.files.items():
        for href in p.links:
            if re.match(r"[a-z][a-z0-9+.-]*:", href):
                continue  # the notes' own links to the web
            count += 1
            file, _, anchor = href.partition("#")
            target = site.files.get(urllib.parse.unquote(file or name))
            if target is None or (anchor and urllib.parse.unquote(anchor) not in target.ids):
                broken.append("%s: %s" % (name, href))
    faults(broken, "broken links")
    assert count > len(site.files), "only %d links in %d files" % (count, len(site.files))


def one(p, rel):
    """The one place REL leads to from a file (every nav block agreeing), or None."""
    places = p.rel.get(rel, set())
    assert len(places) <= 1, "rel=%s leads to %s" % (rel, sorted(places))
    return next(iter(places), None)


def chain(site):
    order = site.reading_order()
    faults(sorted(set(site.notes) ^ set(order)), "files not in the contents, or contents naming no file")
    walked, at = [], one(site.files["index.htm"], "next")
    while at and len(walked) <= len(order):
        walked.append(at)
        at = one(site.files[at], "next")
    assert walked == order, "next from index.htm walks %d files, first off at %s" % (
        len(walked), next((w for w, o in zip(walked, order) if w != o), walked[len(order):][:1]))
    before = ["index.htm"] + order
    faults(["%s: %s" % (f, one(site.files[f], "prev")) for f, b in zip(order, before)
            if one(site.files[f], "prev") != b], "files whose prev is not the file before")


def own_files(site):
    """(page index, level, title, file) of every page with a file of its own, with the pages' levels."""
    pages, entries = source_pages(site.source), list(site.contents())
    assert len(pages) == len(entries), "%d pages, %d contents entries" % (len(pages), len(entries))
    return pages, [(i, pages[i][0], pages[i][1], href) for i, (_, href) in enumerate(entries) if "#" not in href]


def parents(site):
    """Each page with a file of its own, with the titles and files of the pages above it, outermost first."""
    pages, own = own_files(site)
    file_of, stack = {i: href for i, _, _, href in own}, []
    for i, (level, title) in enumerate(pages):
        while stack and stack[-1][0] >= level:
            stack.pop()
        if i in file_of:
            yield file_of[i], [(t, file_of[j]) for _, t, j in stack]
        stack.append((level, title, i))


def up_climbs(site):
    wrong = []
    for href, above in parents(site):
        want = above[-1][1] if above else "index.htm"
        if one(site.files[href], "up") != want:
            wrong.append("%s: up to %s, not %s" % (href, one(site.files[href], "up"), want))
        at, steps = href, 0
        while at != "index.htm" and steps <= len(above):
            at, steps = one(site.files[at], "up"), steps + 1
        if at != "index.htm":
            wrong.append("%s: up never reaches index.htm" % href)
    for name in site.files:
        if name.startswith("index-") and one(site.files[name], "up") != "index.htm":
            wrong.append("%s: up to %s" % (name, one(site.files[name], "up")))
    faults(wrong, "files")


def breadcrumbs(site):
    wrong = ["%s: %s" % (href, site.files[href].crumbs) for href, above in parents(site)
             if site.files[href].crumbs != [("Contents", "index.htm")] + above]
    faults(wrong, "files whose path of pages above is not theirs")


def access_keys(site):
    wrong = []
    for name, p in site.files.items():
        want = {k: {one(p, rel)} for k, rel in (("p", "prev"), ("n", "next"), ("u", "up")) if one(p, rel)}
        if name in site.notes:
            want["h"] = {"index.htm"}
        if p.keys != want:
            wrong.append("%s: %s, not %s" % (name, p.keys, want))
    faults(wrong, "files")


def titles_once(site):
    pages = [t for _, t in source_pages(site.source)]
    notes = [h for f in site.reading_order() for h in site.files[f].headings]
    assert notes == pages, "the notes' titles differ from the export's from %d of %d: %s" % (
        next((i for i, (a, b) in enumerate(zip(notes, pages)) if a != b), min(len(notes), len(pages))),
        len(pages), next(((a, b) for a, b in zip(notes, pages) if a != b), None))
    assert [t for t, _ in site.contents()] == pages, "the contents' titles differ from the export's"
    _, own = own_files(site)
    faults(["%s: %r" % (f, site.files[f].title) for _, _, t, f in own
            if site.files[f].title != "%s \u2013 %s" % (t, TITLE)], "files with another browser title")


def scriptless(site):
    if site.template in ("Print", "Plain"):
        faults([f for f, p in site.files.items() if p.scripts], "files with a script")


# ---------------------------------------------------------------- rows in Chromium

def axe(b, path, dark):
    """The rules axe-core finds broken on PATH, light or DARK: {rule: where}."""
    b.media(dark=dark)
    b.open(path)
    b.js(open(os.path.join(ROOT, "tests", "web", "node_modules", "axe-core", "axe.min.js")).read())
    found = b.driver.execute_async_script("""var done = arguments[1];
        axe.run(document, {runOnly: arguments[0]}).then(function (r) { done(r.violations.map(function (v) {
          return [v.id, v.nodes.map(function (n) { return n.target.join(' '); }).join(', ')]; })); });""", AXE_TAGS)
    b.media()
    return dict(found)


SINGLE = {}


def single_page_rules(b, template):
    """What the single page of the sample through TEMPLATE breaks already: the template's own, not the site's."""
    if template not in SINGLE:
        path = os.path.join(WORK, "single-%s.htm" % template)
        convert(SAMPLE, template, path)
        SINGLE[template] = {rule for dark in (False, True) for rule in axe(b, path, dark)}
    return SINGLE[template]


def accessible(sites, pick):
    def check(b):
        found = ["%s %s %s: %s %s" % (s.name, f, "dark" if dark else "light", rule, where)
                 for s in sites for f in pick(s) for dark in (False, True)
                 for rule, where in axe(b, os.path.join(s.folder, f), dark).items()
                 if rule not in single_page_rules(b, s.template)]
        rules = sorted({v.split(": ")[1].split()[0] for v in found})
        assert not found, "%d violations (%s), first: %s" % (len(found), ", ".join(rules), found[:2])
    return check


def visible_link(b, css):
    found = [e for e in b.driver.find_elements(By.CSS_SELECTOR, css) if e.is_displayed()]
    assert found, "no visible " + css
    return found[0]


def walk(b, site, script):
    """From a note's file, by its visible links alone: next, up, the contents, and a contents entry."""
    b.cdp("Emulation.setScriptExecutionDisabled", {"value": not script})
    try:
        order = site.reading_order()
        start = os.path.join(site.folder, order[1])
        b.open(start)
        for css in ('a[rel="prev"]', 'a[rel="up"]', 'a[href="index.htm"]'):
            visible_link(b, css)
        visible_link(b, 'a[rel="next"]').click()
        b.wait(lambda: b.driver.current_url.endswith("/" + order[2]), "the next file")
        visible_link(b, 'a[rel="prev"]').click()
        b.wait(lambda: b.driver.current_url == "file://" + start, "the previous file")
        up = one(site.files[order[1]], "up")
        visible_link(b, 'a[rel="up"]').click()
        b.wait(lambda: b.driver.current_url.endswith("/" + up), "the page above")
        if up != "index.htm":
            visible_link(b, 'a[href="index.htm"]').click()
            b.wait(lambda: b.driver.current_url.endswith("/index.htm"), "index.htm")
        visible_link(b, 'nav.pagesmith-contents a[href="%s"]' % order[-1]).click()
        b.wait(lambda: b.driver.current_url.endswith("/" + order[-1]), "the last file")
        shown = b.js("return document.body.innerText")
        assert site.files[order[-1]].headings[0] in shown, "the last note's title is not shown"
        found = [e["message"] for e in b.driver.get_log("browser") if e["level"] == "SEVERE"]
        found += [u for u in requests(b) if not u.startswith("file://" + site.folder + "/")]
        assert not found, found
    finally:
        b.cdp("Emulation.setScriptExecutionDisabled", {"value": False})


def requests(b):
    logged = [json.loads(e["message"])["message"] for e in b.driver.get_log("performance")]
    return [m["params"]["request"]["url"] for m in logged if m["method"] == "Network.requestWillBeSent"]


def walks(sites, script):
    def check(b):
        for s in sites:
            try:
                walk(b, s, script)
            except Exception as e:
                raise AssertionError("%s: %s" % (s.name, e)) from e
    return check


def sidebar(site):
    """Navigator's in-page contents on a note: the pages of that file, in order."""
    def check(b):
        for name in site.notes:
            b.open(os.path.join(site.folder, name))
            shown = b.js("""return Array.from(document.querySelectorAll('#ps_contents a'), function (a) {
                              return a.textContent; })""")
            assert shown == site.files[name].headings, "%s: %s" % (name, shown)
    return check


def site_filter(site, query, count, shown):
    """Navigator's filter on index.htm: the site's titles that match, with the pages above them."""
    def check(b):
        b.fresh(os.path.join(site.folder, "index.htm"))
        b.find("#ps_filter").send_keys(query)
        b.wait(lambda: b.find("[role=status]").text == count, "the count %r (saw %r)" % (
            count, b.find("[role=status]").text))
        seen = b.js("""return Array.from(document.querySelectorAll('nav.pagesmith-contents a'))
                         .filter(function (a) { return a.checkVisibility(); }).map(function (a) { return a.textContent; })""")
        assert seen == shown, seen
    return check


def screenshots(b, site, folder):
    """The README's pictures: index.htm and a note of the sample's site, 1280x900, light."""
    b.viewport(1280, 900)
    for name, shot in (("index.htm", "site-index.png"), (site.reading_order()[1], "site-note.png")):
        b.fresh(os.path.join(site.folder, name))
        time.sleep(0.5)  # the fonts
        b.driver.save_screenshot(os.path.join(folder, shot))
        subprocess.run(["convert", os.path.join(folder, shot), "-strip", "-dither", "None", "-colors", "64",
                        "-define", "png:compression-level=9", "PNG8:" + os.path.join(folder, shot)], check=True)
    b.viewport(1280, 800)


# ---------------------------------------------------------------- the table

def main():
    only = [a for a in sys.argv[1:] if not a.startswith("--")]
    shots = sys.argv[sys.argv.index("--screenshots") + 1] if "--screenshots" in sys.argv else None
    only = [a for a in only if a != shots]
    if not os.access(CLI, os.X_OK):
        return print("no %s: build it first" % CLI) or 1
    os.makedirs(WORK, exist_ok=True)
    export = os.path.join(WORK, "export-20k.txt")
    if not os.path.exists(export):
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate"), str(EXPORT_MB), export], check=True)
    long_titles = os.path.join(WORK, "export-20k-long.txt")
    with open(export, "rb") as f, open(long_titles, "wb") as out:
        out.write(re.sub(rb"(?m)^(\[\.+[^\]\r\n]*)\]\r$", lambda m: m.group(1) + LONG + b"]\r", f.read()))

    sample = [Site("sample-" + t, SAMPLE, t, 1) for t in GALLERY]
    deep = Site("sample-deep", SAMPLE, "Standard", 3)
    big = Site("export-20k", export, "Plain", 4)
    branched = Site("export-20k-long", long_titles, "Standard", 1)
    every = sample + [deep, big, branched]
    assert len(big.notes) > 20000 and any(f.startswith("index-") for f in branched.files), "the exports lost their size"
    over = lambda check: lambda b: [check(s) for s in every]  # noqa: E731
    navigator = sample[1]
    rows = [
        ("every link resolves, file and anchor, from every file", over(links_resolve)),
        ("next walks every file once from index.htm, in the contents' order; prev walks back", over(chain)),
        ("up leads to the page above and climbs to index.htm", over(up_climbs)),
        ("the path of pages above: Contents and each ancestor, in order", over(breadcrumbs)),
        ("access keys p, n, u, h lead where prev, next, up and the contents do", over(access_keys)),
        ("every title once: the notes' titles and the contents are the export's; browser title per file",
         over(titles_once)),
        ("Print and Plain: no script in any file", over(scriptless)),
        # Until the site mends them: two navigation blocks of one label in every file, index.htm without a
        # level-one heading (and, in Navigator, two landmarks named "Contents"); branch contents files without
        # lang, main landmark or heading; Navigator's script that knows only the single page.
        ("axe-core: index.htm and a note, light and dark, every template",
         accessible(sample, lambda s: ["index.htm", s.reading_order()[1]])),
        ("axe-core: a branch contents file, light and dark",
         accessible([branched], lambda s: [sorted(f for f in s.files if f.startswith("index-"))[0]])),
        ("Navigator: a note's in-page contents lists the pages of its file", sidebar(navigator)),
        ("Navigator: index.htm's filter finds the site's titles, with the pages above them",
         site_filter(navigator, "carrot", "1 page matches", ["Garden", "Beds", "Bed A: roots", "Carrot fly log"])),
        ("from file:// with script: links lead on, no console error or request", walks(sample, True)),
        ("script off: the navigation is there and leads on, every template", walks(sample + [deep], False)),
    ]
    b, passed, failed = Browser(), 0, 0
    try:
        for name, check in [r for r in rows if not only or any(w in r[0] for w in only)]:
            started = time.time()
            try:
                check(b)
                passed += 1
                print("ok    %s (%.1f s)" % (name, time.time() - started))
            except Exception as e:  # one failing row must not hide the others
                failed += 1
                print("FAIL  %s: %s: %s" % (name, type(e).__name__, (str(e).strip() or "-").splitlines()[0]))
        if shots:
            screenshots(b, navigator, shots)
    finally:
        b.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
