#!/usr/bin/python3
"""The web page (build/web/index.html), driven from disk in headless Chromium.

Each row converts through the real page (files picked through its file
inputs, or dropped) and compares the downloaded product with the command
line's bytes for the same template, settings, encoding and day, or expects a
message beside a field; then the settings across a reload, no network
request, progress and the heap bound on a large export, Cancel, and axe-core.
Prints one line per row and a closing 'N passed, N failed'.
"""
import datetime, glob, json, os, shutil, subprocess, sys, time, traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "templates"))
from check_templates import Browser  # noqa: E402  (the project's headless Chromium)
from selenium.webdriver.common.keys import Keys  # noqa: E402

# PAGESMITH_PAGE: another copy of the page, such as the web zip's.
PAGE = os.environ.get("PAGESMITH_PAGE", os.path.join(ROOT, "build", "web", "index.html"))
CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
WORK = os.path.join(ROOT, "build", "web-test")
DOWNLOADS = os.path.join(WORK, "downloads")
SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
DAY = "2024-05-01"
OWN = b"<html><head><title>x</title></head>\r\n<body>[date=dddd d MMMM yyyy] <p>[...]</p></body></html>"


def work(name, data=None, generate=None):
    """A file in WORK: written from DATA, or made by bench/generate with GENERATE's arguments."""
    path = os.path.join(WORK, name)
    if data is not None:
        open(path, "wb").write(data)
    elif not os.path.exists(path):
        subprocess.run([sys.executable, os.path.join(ROOT, "bench", "generate")] + generate + [path], check=True)
    return path


def sample_text():
    return open(SAMPLE, "rb").read()[3:].decode("utf-8")


def cli(source, s):
    """The command line's product for SOURCE with the page's settings S."""
    own = s.get("template", "Navigator") == ""
    args = [CLI, "--settings", work("empty.ini", b""), "--template-dir",
            WORK if own else os.path.join(ROOT, "samples", "templates"),
            "--template", "own" if own else s.get("template", "Navigator"), "--title", s.get("title", ""),
            "--title-range", s.get("titleRange", "1"), "--separator" if s.get("separator", True) else "--no-separator",
            "--encoding", s.get("encoding", "ansi"), "--date", s.get("date") or datetime.date.today().isoformat(),
            source, "-o", os.path.join(WORK, "cli.htm")]
    subprocess.run(args, check=True)
    return open(os.path.join(WORK, "cli.htm"), "rb").read()


# ---------------------------------------------------------------- the page

class Page(Browser):
    def load(self, keep=False):
        """Opens the page from disk, with nothing remembered unless KEEP."""
        self.driver.get("about:blank")
        if not keep:
            self.clear_storage()
        self.driver.get("file://" + PAGE)
        self.wait(lambda: self.js("return performance.getEntriesByName('pagesmith-ready').length"), "the engine")

    def fill(self, s):
        """Sets the fields as a user would leave them (SELECT and text by value, the box by its state)."""
        self.js("""var s = arguments[0], f = {template: 'template', titleRange: 'title-range', title: 'title',
                   encoding: 'encoding', date: 'date'};
                   for (var k in f) if (k in s) { var e = document.getElementById(f[k]); e.value = s[k];
                     e.dispatchEvent(new Event('change', {bubbles: true})); }
                   if ('separator' in s) document.getElementById('separator').checked = s.separator;""",
                {k: v for k, v in s.items() if k != "own"})
        if s.get("template") == "" and s.get("own", OWN) is not None:
            self.find("#template-file").send_keys(work("own.tpl.txt", s.get("own", OWN)))

    def convert(self, source=None, s=None):
        """Picks SOURCE, converts with Enter, and returns what shows: status, messages, the download."""
        for f in glob.glob(os.path.join(DOWNLOADS, "*")):
            os.remove(f)
        self.fill(dict({"date": DAY}, **(s or {})))
        if source:
            self.find("#source").send_keys(source)
        self.find("#title").send_keys(Keys.ENTER)
        self.wait(lambda: not self.js("return document.getElementById('cancel').checkVisibility()"),
                  "the conversion to end", timeout=120)
        return self.shown()

    def shown(self):
        return self.js("""var m = {}; document.querySelectorAll('.message').forEach(function (e) {
                            if (e.textContent) m[e.id] = e.textContent; });
                          return {status: document.getElementById('status').textContent, messages: m,
                                  invalid: Array.from(document.querySelectorAll('[aria-invalid=true]')).map(function (e) { return e.id; }),
                                  result: !document.getElementById('result').hidden};""")

    def download(self):
        self.find("#download").click()
        name = self.js("return document.getElementById('result-heading').textContent")
        path = os.path.join(DOWNLOADS, name)
        self.wait(lambda: os.path.exists(path) and not glob.glob(path + ".crdownload"), "the download " + name)
        return name, open(path, "rb").read()


def same_bytes(source, s=None, name="notes.htm", drop=False):
    def row(b):
        b.load()
        compare(b, source, s, name, drop)
    return row


def compare(b, source, s=None, name="notes.htm", drop=False):
    if drop:
        b.js("var i = document.createElement('input'); i.type = 'file'; i.id = 'dropped'; document.body.append(i);")
        b.find("#dropped").send_keys(source)
        b.js("""var t = new DataTransfer(); t.items.add(document.getElementById('dropped').files[0]);
                var at = document.querySelector('header');
                at.dispatchEvent(new DragEvent('dragover', {dataTransfer: t, bubbles: true, cancelable: true}));
                if (document.getElementById('drop-zone').hidden) throw new Error('no drop zone while dragging');
                at.dispatchEvent(new DragEvent('drop', {dataTransfer: t, bubbles: true, cancelable: true}));""")
    seen = b.convert(None if drop else source, s)
    assert seen["result"], seen
    got_name, got = b.download()
    assert got_name == name, got_name
    want = cli(source, dict({"date": DAY}, **(s or {})))
    assert got == want, "differs from the command line at byte %d of %d" % (
        next((i for i, (x, y) in enumerate(zip(got, want)) if x != y), min(len(got), len(want))), len(want))


def message(field, text, source=SAMPLE, s=None, prepare=None):
    """A failure: TEXT beside FIELD, the field marked, no product shown and nothing downloaded."""
    def row(b):
        b.load()
        if prepare:
            source_path = prepare(b)
        seen = b.convert(source_path if prepare else source, s)
        assert seen["messages"] == {field + "-message": text}, seen["messages"]
        assert not seen["result"] and not os.listdir(DOWNLOADS), seen
        assert seen["invalid"] == ([] if field == "job" else [field]), seen["invalid"]
    return row


def picked_then_gone(b):
    path = work("gone.txt", b"[.A]\r\n")
    b.find("#source").send_keys(path)
    os.remove(path)


def picked_then_changed(b):
    path = work("changed.txt", b"[.A]\r\n")
    b.find("#source").send_keys(path)
    time.sleep(0.01)
    work("changed.txt", b"[.A]\r\n[.B]\r\n")


def remembered(b):
    b.load()
    s = {"template": "Print", "titleRange": "3", "separator": False, "title": "Kept", "encoding": "utf-8", "date": DAY}
    assert b.convert(SAMPLE, s)["result"]
    time.sleep(1.5)  # Chromium hands the page's storage write on a moment later
    b.load(keep=True)
    fields = """return ['template', 'title-range', 'separator', 'title', 'encoding', 'date'].map(function (id) {
                  var e = document.getElementById(id); return e.type === 'checkbox' ? e.checked : e.value; })"""
    assert b.js(fields) == list(s.values()), b.js(fields)
    b.find("#reset").click()
    assert b.js(fields) == ["Navigator", "1", True, "", "ansi", ""], b.js(fields)


def no_network(b):
    b.driver.get_log("performance")
    b.load()
    b.convert(SAMPLE)
    requests = [json.loads(e["message"])["message"]["params"]["request"]["url"] for e in b.driver.get_log("performance")
                if json.loads(e["message"])["message"]["method"] == "Network.requestWillBeSent"]
    outside = [u for u in requests if not (u.startswith("file://" + os.path.dirname(PAGE) + "/") or u.startswith(("blob:", "data:")))]
    assert requests and not outside, outside
    assert b.js("return document.cookie") == "", "a cookie"


def large(b):
    b.load()
    b.js("""window.seen = []; setInterval(function () { var p = document.getElementById('progress');
              if (p.checkVisibility()) seen.push(p.value / p.max); }, 20);""")
    assert b.convert(work("export-40.txt", generate=["40"]))["result"]
    seen = b.js("return seen")
    assert len(set(seen)) >= 3 and seen == sorted(seen) and 0 <= seen[0] < 0.5, seen[:10]


def cancelled(b):
    b.load()
    b.fill({"date": DAY})
    b.find("#source").send_keys(work("export-40.txt", generate=["40"]))
    b.find("#convert").click()
    b.wait(lambda: b.js("return document.getElementById('progress').value > 0"), "progress")
    b.find("#cancel").click()
    assert b.shown() == {"status": "Cancelled. Nothing was written.", "messages": {}, "invalid": [], "result": False}
    assert b.js("return document.activeElement.id") == "convert"
    compare(b, SAMPLE)  # the next conversion runs in a new worker


def accessible(b):
    axe = open(os.path.join(HERE, "node_modules", "axe-core", "axe.min.js")).read()
    for dark in (False, True):
        for width in (1280, 390):
            b.media(dark=dark)
            b.viewport(width, 800)
            b.load()
            b.convert(SAMPLE)
            b.js("document.getElementById('more').open = true; document.getElementById('own-template').hidden = false;")
            b.js(axe)
            found = b.driver.execute_async_script("""var done = arguments[0];
                axe.run(document, {iframes: false, runOnly: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa', 'best-practice']})
                   .then(function (r) { done(r.violations.map(function (v) {
                     return v.id + ': ' + v.nodes.map(function (n) { return n.target.join(' '); }).join(', '); })); });""")
            assert not found, "%s, %d px: %s" % ("dark" if dark else "light", width, found)
    b.media()
    b.viewport(1280, 800)


os.makedirs(DOWNLOADS, exist_ok=True)
ROWS = [
    ("same bytes: the sample, Navigator by default", same_bytes(SAMPLE)),
    ("same bytes: Plain, 3 header styles, no separator, a title", same_bytes(SAMPLE, {"template": "Plain", "titleRange": "3", "separator": False, "title": "Field <notes> & \"more\""})),
    ("same bytes: Print", same_bytes(SAMPLE, {"template": "Print", "titleRange": "0"})),
    ("same bytes: Standard, the edge-case export", same_bytes(os.path.join(ROOT, "tests", "templates", "edge-notes.txt"), {"template": "Standard"}, "edge-notes.htm")),
    ("same bytes: your own template", same_bytes(SAMPLE, {"template": ""})),
    ("same bytes: UTF-8 without a mark, read as UTF-8", same_bytes(work("utf8.txt", sample_text().encode("utf-8")), {"encoding": "utf-8"}, "utf8.htm")),
    ("same bytes: UTF-16LE with its mark", same_bytes(work("utf16.txt", generate=["0.05", "--encoding", "utf16le"]), None, "utf16.htm")),
    ("same bytes: UTF-16BE with its mark", same_bytes(work("be.txt", b"\xfe\xff" + sample_text().encode("utf-16-be")), None, "be.htm")),
    ("same bytes: Windows-1252 without a mark", same_bytes(work("cp1252.txt", generate=["0.05"]), None, "cp1252.htm")),
    ("same bytes: an empty export", same_bytes(work("empty", b""), None, "empty.htm")),
    ("same bytes: today's date when the date field is empty", same_bytes(SAMPLE, {"date": "", "template": ""})),
    ("same bytes: a file dropped on the page", same_bytes(SAMPLE, drop=True)),
    ("message: no source file", message("source", "Choose the export first.", source=None)),
    ("message: your own template not picked", message("template", "Cannot read template file", s={"template": "", "own": None})),
    ("message: your own template without the marker", message("template", "'[...]' not found in template", s={"template": "", "own": b"<p>no marker</p>"})),
    ("message: the source went away after it was picked", message("source", "Source not found", prepare=picked_then_gone)),
    ("message: the source changed after it was picked", message("source", "Cannot read source file", prepare=picked_then_changed)),
    ("message: an image as the source", message("source", "Source is not a text file", source=os.path.join(ROOT, "docs", "window.png"))),
    ("message: a date that is no day", message("date", "Date for date tags must be a day as YYYY-MM-DD", s={"date": "1.5.2024"})),
    ("message: a line longer than the memory", message("source", "Not enough memory", source=work("long-line.txt", b"[.A]\r\n" + b"x" * (40 << 20)))),
    ("settings: remembered across a reload; Reset brings the defaults back", remembered),
    ("no network request, no cookie", no_network),
    ("a 40 MB export: progress while it converts", large),
    ("Cancel stops the conversion; the next one converts", cancelled),
    ("axe-core: no violation, light and dark, 1280 and 390 px", accessible),
]


def main():
    if not os.path.exists(PAGE) or not os.access(CLI, os.X_OK):
        print("no %s or %s: build them first" % (PAGE, CLI))
        return 1
    b = Page()
    b.cdp("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": DOWNLOADS})
    passed = failed = 0
    only = sys.argv[1] if len(sys.argv) > 1 else ""
    try:
        for name, row in ROWS:
            if only not in name:
                continue
            started = time.time()
            try:
                row(b)
                passed += 1
                print("ok    %s (%.1f s)" % (name, time.time() - started))
            except Exception as e:  # one failing row must not hide the others
                failed += 1
                print("FAIL  %s: %s" % (name, (str(e).strip() or type(e).__name__).splitlines()[0]))
                if not isinstance(e, AssertionError):
                    traceback.print_exc(limit=2)
    finally:
        b.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
