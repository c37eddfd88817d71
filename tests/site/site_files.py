"""Sites made by `pagesmith-cli --site`, parsed file by file: what each file links
to, where its anchors are, its navigation and its notes' titles; and the checks
that need no browser, each over one site's files (check_site.py's table runs them)."""
import html.parser, os, re, shutil, subprocess, urllib.parse, zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
WORK = os.path.join(ROOT, "build", "site-check")
TITLE = "Field notes"


def convert(source, template, product, *options):
    settings = os.path.join(WORK, "empty.ini")
    open(settings, "wb").close()
    subprocess.run([CLI, "--settings", settings, "--template-dir", os.path.join(ROOT, "samples", "templates"),
                    "-t", template, "--title", TITLE, "--date", "2024-05-01", *options, source, "-o", product],
                   check=True)


class Site:
    """One site on disk, parsed: what each file links to, where its anchors are, its notes' titles."""

    def __init__(self, name, source, template, level):
        self.name, self.source, self.template, self.level = name, source, template, level
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
        self.lists = 0  # how deep in the contents' lists we are
        self.text = None  # the open link's or heading's text
        self.after_break = False

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        for key in ("id", "name") if tag == "a" else ("id",):
            if a.get(key):
                self.ids.add(a[key])
        if tag == "ul" and (self.lists or a.get("class") == "pagesmith-contents"):
            self.lists += 1
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
        if tag == "ul" and self.lists:
            self.lists -= 1
        if tag == "nav":
            self.nav = None
        elif tag == "title":
            self.in_title = False
        elif tag == "a" and self.text is not None and self.href is not None:
            if self.lists:
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


def zip_same(site):
    """The same site as a zip: the folder's files, in byte order of their names, byte for byte."""
    path = site.folder + ".zip"
    if os.path.exists(path):
        os.remove(path)
    convert(site.source, site.template, path, "--site", "--split-level", str(site.level))
    with zipfile.ZipFile(path) as z:
        names = sorted((f for f in os.listdir(site.folder) if not f.startswith(".")), key=lambda f: f.encode())
        assert z.namelist() == names, "%s: %d entries for %d files" % (site.name, len(z.namelist()), len(names))
        for name in names:
            with open(os.path.join(site.folder, name), "rb") as f:
                assert z.read(name) == f.read(), "%s: %s differs" % (site.name, name)
