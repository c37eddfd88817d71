#!/usr/bin/python3
"""The web page (build/web/index.html, or PAGESMITH_PAGE) from disk in headless Chromium: each row picks or drops
files and converts with Enter; the download must be the command line's bytes for the same template, settings and
day, or the converter's message must stand beside its field with nothing to download. usage: check_page.py [WORDS]"""
import datetime, glob, json, os, socketserver, subprocess, sys, threading, time, zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "templates"))
from check_templates import Browser, run_rows  # noqa: E402  (the project's headless Chromium)
from selenium.webdriver.common.keys import Keys  # noqa: E402

PAGE = os.environ.get("PAGESMITH_PAGE", os.path.join(ROOT, "build", "web", "index.html"))
CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
WORK = os.path.join(ROOT, "build", "web-test")
DOWNLOADS = os.path.join(WORK, "downloads")
PRODUCT = os.path.join(WORK, "cli.htm")
SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
DAY = "2024-05-01"
OWN = b"<html><head><title>x</title></head>\r\n<body>[date=dddd d MMMM yyyy] <p>[...]</p></body></html>"
FIELDS = ("template", "title-range", "separator", "title", "encoding", "date")
os.makedirs(DOWNLOADS, exist_ok=True)


def work(name, data=None, generate=None):
    """A file in WORK: DATA, or made by bench/generate with the arguments GENERATE."""
    path = os.path.join(WORK, name)
    if data is not None:
        open(path, "wb").write(data)
    elif not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate")] + generate + [path], check=True)
    return path


def cli(source, s):
    """The command line's product for SOURCE with the page's settings S: a page, or a site's zip (S's make)."""
    own = s.get("template-file") is not None
    site = s.get("make") == "site"
    product = os.path.join(WORK, "cli.zip") if site else PRODUCT
    subprocess.run([CLI] + (["--site"] if site else []) + ["--settings", work("empty.ini", b""), "--title", s.get("title", ""), "--template-dir",
                    WORK if own else os.path.join(ROOT, "samples", "templates"),
                    "--template", "own" if own else s.get("template", "Navigator"),
                    "--title-range", s.get("title-range", "1"), "--encoding", s.get("encoding", "ansi"),
                    "--separator" if s.get("separator", True) else "--no-separator",
                    "--date", s["date"] or datetime.date.today().isoformat(), source, "-o", product], check=True)
    return open(product, "rb").read()


class Proxy(socketserver.ThreadingTCPServer):
    """Chromium's proxy for every host: whatever reaches it would have gone out to the network."""
    seen = []

    def __init__(self):
        super().__init__(("127.0.0.1", 0), lambda socket, *_: Proxy.seen.append(socket.recv(200)) or socket.close())
        threading.Thread(target=self.serve_forever, daemon=True).start()


class Page(Browser):
    def __init__(self):
        self.proxy = Proxy()
        super().__init__("--proxy-server=127.0.0.1:%d" % self.proxy.server_address[1], "--proxy-bypass-list=<-loopback>")

    def load(self, keep=False):
        """Opens the page, with nothing remembered unless KEEP, and waits for the engine."""
        self.driver.get("about:blank")
        if not keep:
            self.clear_storage()
        self.driver.get("file://" + PAGE)
        self.wait(lambda: self.js("return performance.getEntriesByName('pagesmith-ready').length"), "the engine")

    def fields(self, s=None):
        """Sets the fields named in S, typing into the text fields as a user does; returns them all."""
        s = {k: v for k, v in (s or {}).items() if k in FIELDS}
        for k in [k for k in s if self.js("var e = document.getElementById(arguments[0]);"
                                          "return e.type === 'text' && e.checkVisibility()", k)]:
            self.find("#" + k).clear()
            self.find("#" + k).send_keys(s.pop(k))
        return self.js("""var s = arguments[0] || {};
            return arguments[1].map(function (id) { var e = document.getElementById(id), box = e.type === 'checkbox';
              if (id in s) { if (box) e.checked = s[id]; else e.value = s[id]; e.dispatchEvent(new Event('change')); }
              return box ? e.checked : e.value; });""", s, FIELDS)

    def convert(self, source, s):
        """Sets S, picks SOURCE (and the own template's bytes, S's 'template-file') and converts with Enter."""
        for f in glob.glob(os.path.join(DOWNLOADS, "*")):
            os.remove(f)
        self.fields(s)
        if "make" in s:
            self.js("document.querySelector(\"input[name=make][value='\" + arguments[0] + \"']\").click()", s["make"])
        if s.get("template-file") is not None:
            self.find("#template-file").send_keys(work("own.tpl.txt", s["template-file"]))
        if source:
            pick(self, source)
        self.find("#title").send_keys(Keys.ENTER)
        self.wait(lambda: not self.js("return cancel.checkVisibility()"), "the conversion to end", timeout=120)
        return self.js("""var m = {}; document.querySelectorAll('.message').forEach(function (e) {
                            if (e.textContent) m[e.id.replace('-message', '')] = e.textContent; });
                          return [m, Array.from(document.querySelectorAll('[aria-invalid=true]'), function (e) {
                            return e.id; }), !result.hidden, document.getElementById('status').textContent];""")


def pick(b, path):
    b.find("#source").send_keys(path)


def drop(b, path):
    """Drops PATH on the page with a real drop event carrying a DataTransfer."""
    b.js("var i = document.createElement('input'); i.type = 'file'; i.id = 'dropped'; document.body.append(i);")
    b.find("#dropped").send_keys(path)
    b.js("""var t = new DataTransfer(), at = document.querySelector('header'); t.items.add(dropped.files[0]);
            at.dispatchEvent(new DragEvent('dragover', {dataTransfer: t, bubbles: true, cancelable: true}));
            if (document.getElementById('drop-zone').hidden) throw new Error('no drop zone while dragging');
            at.dispatchEvent(new DragEvent('drop', {dataTransfer: t, bubbles: true, cancelable: true}));""")


def compare(b, source, s, expect="notes.htm", prepare=None, cli_source=None):
    """Converts SOURCE with S; EXPECT is the product's name, or (field, message): the command line's product for
    CLI_SOURCE (else SOURCE) with the same settings, or MESSAGE beside FIELD alone."""
    s = dict({"date": DAY}, **s)
    if prepare:
        prepare(b, source)
    messages, invalid, shown, status = b.convert(None if prepare else source, s)
    if isinstance(expect, tuple):
        assert (messages, invalid) == ({expect[0]: expect[1]}, [expect[0]]), (messages, invalid)
        assert not shown and not os.listdir(DOWNLOADS), status
        return
    assert shown, (messages, status)
    b.find("#download").click()
    path = os.path.join(DOWNLOADS, expect)
    b.wait(lambda: os.path.exists(path) and not glob.glob(path + ".crdownload"), "the download " + path)
    # CLI_SOURCE is the export with its mark, which the command line reads as the mark says.
    got, want = open(path, "rb").read(), cli(cli_source, dict(s, encoding="ansi")) if cli_source else cli(source, s)
    assert got == want, "%s differs from the command line's from byte %d of %d" % (
        expect, next((i for i, (x, y) in enumerate(zip(got, want)) if x != y), min(len(got), len(want))), len(want))


def row(source, s=None, expect="notes.htm", prepare=None, cli_source=None):
    return lambda b: (b.load(), compare(b, source, s or {}, expect, prepare, cli_source))


def remembered(b):
    b.load()
    s = {"template": "Print", "title-range": "3", "separator": False, "title": "Kept", "encoding": "utf-8", "date": DAY}
    compare(b, SAMPLE, s)
    time.sleep(1.5)  # Chromium hands the page's storage write on a moment later
    b.load(keep=True)
    assert b.fields() == list(s.values()), b.fields()
    b.find("#reset").click()
    assert b.fields() == ["Navigator", "1", True, "", "ansi", ""], b.fields()


def no_request(b):
    b.driver.get_log("performance")
    Proxy.seen.clear()
    row(work("remote.txt", b'[.A]\r\n[img src="https://example.org/a.png" alt="a"]'), {}, "remote.htm")(b)
    time.sleep(0.5)  # Chromium's own calls to its services pass the proxy too: only the image's host counts
    assert not [r for r in Proxy.seen if b"example.org" in r], Proxy.seen
    logged = [json.loads(e["message"])["message"] for e in b.driver.get_log("performance")]
    urls = [m["params"]["request"]["url"] for m in logged if m["method"] == "Network.requestWillBeSent"]
    outside = [u for u in urls if not u.startswith(("file://" + os.path.dirname(PAGE) + "/", "blob:", "data:"))]
    assert urls and not outside and b.js("return document.cookie") == "", outside


def progress(b):
    b.load()
    b.js("window.seen = []; setInterval(function () { if (!cancel.hidden) seen.push(progress.value / progress.max); }, 20);")
    compare(b, work("export-40.txt", generate=["40"]), {}, "export-40.htm")
    seen = b.js("return seen")
    assert any(0 < v < 1 for v in seen) and seen == sorted(seen), seen[:10]


def early_download(b):
    """Download pressed as the result shows, before the page has made the product's Blob from its parts."""
    b.load()
    for f in glob.glob(os.path.join(DOWNLOADS, "*")):
        os.remove(f)
    source = work("export-40.txt", generate=["40"])
    pick(b, source)
    b.js("""window.early = null; new MutationObserver(function (_, seen) { if (result.hidden) return; seen.disconnect();
              early = performance.getEntriesByName('pagesmith-linked').length === 0; download.click(); })
            .observe(result, {attributes: true});""")
    b.find("#convert").click()
    path = os.path.join(DOWNLOADS, "export-40.htm")
    b.wait(lambda: os.path.exists(path) and not glob.glob(path + ".crdownload"), "the download " + path, timeout=120)
    assert b.js("return early") and open(path, "rb").read() == cli(source, {"date": ""})


def cancelled(b):
    b.load()
    pick(b, work("export-40.txt", generate=["40"]))
    # Pressed by the page itself at the first progress: from here the
    # conversion could end before a click arrived.
    b.js("""new MutationObserver(function (_, seen) { if (progress.value > 0) { seen.disconnect();
              var c = document.getElementById('cancel'); c.focus(); c.click(); } })
            .observe(progress, {attributes: true});""")
    b.find("#convert").click()
    b.wait(lambda: b.js("return document.getElementById('status').textContent.indexOf('Cancelled') === 0"),
           "the cancel")
    state = b.js("return [document.getElementById('status').textContent, result.hidden, document.activeElement.id]")
    assert state == ["Cancelled. Nothing was written.", True, "convert"], state
    compare(b, SAMPLE, {})  # in the fresh worker


def accessible(b):
    axe = open(os.path.join(HERE, "node_modules", "axe-core", "axe.min.js")).read()
    for dark, width in ((False, 1280), (False, 390), (True, 1280), (True, 390)):
        b.media(dark=dark)
        b.viewport(width, 800)
        row(SAMPLE)(b)
        b.js(axe + "; document.getElementById('more').open = true; document.getElementById('own-template').hidden = false;")
        found = b.driver.execute_async_script("""var done = arguments[0];
            axe.run(document, {iframes: false, runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice']})
               .then(function (r) { done(r.violations.map(function (v) { return v.id + ': ' + v.nodes.map(function (n) {
                 return n.target.join(' '); }).join(', '); })); });""")
        assert not found, "%s, %d px: %s" % ("dark" if dark else "light", width, found)
    b.media()
    b.viewport(1280, 800)


def no_script(b):
    b.cdp("Emulation.setScriptExecutionDisabled", {"value": True})
    try:
        b.driver.get("file://" + PAGE)
        shown = [b.find(css).is_displayed() for css in ("noscript p", "#job")] + [b.find("noscript p").text]
    finally:
        b.cdp("Emulation.setScriptExecutionDisabled", {"value": False})
    assert shown == [True, False, "This page needs JavaScript: it converts your export with a script that runs here, "
                     "in your browser. Switch JavaScript on for this page, then load it again."], shown


def no_title(b):
    b.load()
    shown = b.convert(work("u16-unmarked.txt", TEXT.encode("utf-16-le")), {"date": DAY})[2]
    said = b.js("""return [document.querySelector('label[for=encoding]').textContent, pages.textContent,
                           document.getElementById('no-title').checkVisibility(), document.getElementById('no-title').innerText]""")
    assert shown and said == ["The export is read as:", "0", True, "No page title was found in the export. If the page "
                              "below is not what you wrote, the export is in another encoding: choose it under More → "
                              "The export is read as and convert again."], said


def in_view(b):
    """The progress at 1280 x 900 with More open, the result at 390 px: in the window once they start."""
    b.load()
    b.viewport(1280, 900)
    b.js("""document.getElementById('more').open = true; window.seen = [];
            setInterval(function () { var r = document.getElementById('progress-box').getBoundingClientRect();
                                      if (r.height) seen.push(r.top >= 0 && r.bottom <= innerHeight); }, 20);""")
    b.convert(work("export-40.txt", generate=["40"]), {"date": DAY})
    seen = b.js("return seen")
    b.load()
    b.viewport(390, 800)
    b.convert(SAMPLE, {"date": DAY})
    top = b.js("return result.getBoundingClientRect().top / innerHeight")
    b.viewport(1280, 800)
    assert seen and all(seen) and 0 <= top < 0.5, (seen[:3], top)


def own_changed(b, path):
    """Picks the own template, then SOURCE, then changes the template."""
    b.fields({"template": ""})
    b.find("#template-file").send_keys(work("own-changed.tpl.txt", OWN))
    pick(b, path)
    work("own-changed.tpl.txt", OWN + b"\r\n")


def product_name(b):
    """The product's name is the one the command line gives a product beside its source, quotes and all."""
    source = work('quoted."txt"', open(SAMPLE, "rb").read())
    before = set(os.listdir(WORK))
    subprocess.run([CLI, "--settings", work("empty.ini", b""), "--template-dir", os.path.join(ROOT, "samples", "templates"),
                    source], check=True)
    made = sorted(set(os.listdir(WORK)) - before)
    b.load()
    b.convert(source, {"date": DAY})
    for name in made:
        os.remove(os.path.join(WORK, name))
    heading = b.js("return document.getElementById('result-heading').textContent")
    assert made == [heading], (made, heading)


def site_preview(b):
    row(SAMPLE, {"make": "site"}, "notes-site.zip")(b)
    shown = b.driver.execute_async_script("""var done = arguments[0];
        fetch(preview.src).then(function (r) { return r.text(); }).then(done);""")
    want = zipfile.ZipFile(os.path.join(WORK, "cli.zip")).read("index.htm").decode("utf-8")
    assert shown == want.lstrip("\ufeff"), (len(shown), len(want))


TEXT = open(SAMPLE, "rb").read()[3:].decode("utf-8")
RANGE = "Number of different header styles must be a whole number of at most 9 digits"
ROWS = [
    ("same bytes: the sample, Navigator by default", row(SAMPLE)),
    ("same bytes: Plain, 3 header styles, no separator, a title",
     row(SAMPLE, {"template": "Plain", "title-range": "3", "separator": False, "title": "Field <notes> & \"more\""})),
    ("same bytes: Print, 0 header styles", row(SAMPLE, {"template": "Print", "title-range": "0"})),
    ("same bytes: Standard, the edge-case export",
     row(os.path.join(ROOT, "tests", "templates", "edge-notes.txt"), {"template": "Standard"}, "edge-notes.htm")),
    ("same bytes: your own template, today's date when the date field is empty",
     row(SAMPLE, {"date": "", "template": "", "template-file": OWN})),
    ("same bytes: UTF-8 without a mark, read as UTF-8", row(work("u8.txt", TEXT.encode()), {"encoding": "utf-8"}, "u8.htm")),
    ("same bytes: UTF-16LE with its mark", row(work("u16.txt", generate=["0.05", "--encoding", "utf16le"]), {}, "u16.htm")),
    ("same bytes: Windows-1252 without a mark", row(work("cp1252.txt", generate=["0.05"]), {}, "cp1252.htm")),
    ("same bytes: an empty export", row(work("empty", b""), {}, "empty.htm")),
    ("same bytes: a file dropped on the page", row(SAMPLE, prepare=drop)),
    ("same bytes: -3 header styles, typed", row(SAMPLE, {"title-range": "-3"})),
    ("same bytes: UTF-16 LE without a mark, read as UTF-16 LE through a shipped template",
     row(work("u16-unmarked.txt", TEXT.encode("utf-16-le")), {"encoding": "utf-16le"}, "u16-unmarked.htm",
         cli_source=work("u16-marked.txt", b"\xff\xfe" + TEXT.encode("utf-16-le")))),
    ("same bytes: a site's zip of the sample", row(SAMPLE, {"make": "site"}, "notes-site.zip")),
    ("same bytes: a site's zip of the edge-case export through Plain",
     row(os.path.join(ROOT, "tests", "templates", "edge-notes.txt"), {"make": "site", "template": "Plain"},
         "edge-notes-site.zip")),
    ("a site: the preview shows its index.htm", site_preview),
    ("message: no source file", row(None, {}, ("source", "Choose the export first."))),
    ("message: your own template not picked",
     row(SAMPLE, {"template": ""}, ("template-file", "Choose your template file first."))),
    ("message: your own template changed after it was picked", row(SAMPLE, {"template": ""},
     ("template-file", "The template file changed after you picked it: pick it again."), own_changed)),
    ("message: header styles that are no whole number", row(SAMPLE, {"title-range": "3.5"}, ("title-range", RANGE))),
    ("message: header styles of 10 digits", row(SAMPLE, {"title-range": "2147483648"}, ("title-range", RANGE))),
    ("message: your own template without the marker",
     row(SAMPLE, {"template": "", "template-file": b"<p></p>"}, ("template", "'[...]' not found in template"))),
    # Sources longer than the worker's own check reads (4 KB): the run's first read finds them gone or changed.
    ("message: the source went away after it was picked", row(work("gone.txt", b"[.A]\r\n" * 2000), {},
     ("source", "Source not found"), lambda b, p: (pick(b, p), os.remove(p)))),
    ("message: the source changed after it was picked", row(work("changed.txt", b"[.A]\r\n" * 2000), {},
     ("source", "The source file changed after you picked it: pick it again."),
     lambda b, p: (pick(b, p), work(p, b"[.A]\r\n[.B]")))),
    ("message: an image as the source",
     row(os.path.join(ROOT, "docs", "window.png"), {}, ("source", "Source is not a text file"))),
    ("message: a date that is no day",
     row(SAMPLE, {"date": "1.5.2024"}, ("date", "Date for date tags must be a day as YYYY-MM-DD"))),
    ("message: a line longer than the memory",
     row(work("long-line.txt", b"[.A]\r\n" + b"x" * (40 << 20)), {}, ("source", "Not enough memory"))),
    ("the product's name: the command line's, for a name with quotes", product_name),
    ("settings: remembered across a reload; Reset brings the defaults back", remembered),
    ("without script: the page says it needs it, and shows no form", no_script),
    ("no page title found: said after the figures, pointing at More's encoding", no_title),
    ("the progress and the result brought into the window, 1280 and 390 px", in_view),
    ("no network request, also for a remote image in the product; no cookie", no_request),
    ("a 40 MB export: progress while it converts", progress),
    ("a 40 MB export: Download pressed as the result shows gives the whole product", early_download),
    ("Cancel stops the conversion; the next one converts", cancelled),
    ("axe-core: no violation, light and dark, 1280 and 390 px", accessible),
]


def main():
    if not (os.path.exists(PAGE) and os.access(CLI, os.X_OK)):
        return print("no %s or %s: build them first" % (PAGE, CLI)) or 1
    b = Page()
    b.cdp("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": DOWNLOADS})
    try:
        passed, failed = run_rows(b, [r for r in ROWS if not sys.argv[1:] or sys.argv[1] in r[0]])
    finally:
        b.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
