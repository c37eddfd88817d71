#!/usr/bin/python3
"""The engine alone against the command line, in headless Chromium from disk.

Drives build/web/pagesmith-engine.js through tests/web/engine/harness.html opened
from file:// (no page of ours around it): each row picks its files through file
inputs, converts in the worker and compares the product's bytes with
build/native/pagesmith-cli's for the same source, template, settings and day,
or the error with the one expected. Also watches that no network request is
made, and that the worker reports progress on a large export and its heap
within 32 MB after it.

usage: check_engine.py [--only WORD] [--web FOLDER]
Prints one line per row and 'N passed, N failed'; exits 1 on a failure.
"""
import argparse
import base64
import hashlib
import json
import os
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
CLI = os.path.join(ROOT, "build", "native", "pagesmith-cli")
TEMPLATES = os.path.join(ROOT, "samples", "templates")
SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
EDGE = os.path.join(ROOT, "tests", "templates", "edge-notes.txt")

HARNESS = os.path.join(HERE, "harness.html")

DEFAULTS = {"titleRange": 1, "separator": True, "title": "", "encoding": "ansi", "date": "2026-03-14"}


def cli_product(source, template_dir, template, settings, work, site=False):
    out = os.path.join(work, "cli.zip" if site else "cli.htm")
    args = [CLI] + (["--site"] if site else []) + ["--template-dir", template_dir, "--template", template, "--title-range", str(settings["titleRange"]),
            "--separator" if settings["separator"] else "--no-separator", "--encoding", settings["encoding"],
            source, "-o", out]
    if settings["title"]:
        args[1:1] = ["--title", settings["title"]]
    if settings["date"]:
        args[1:1] = ["--date", settings["date"]]
    # The CLI's names of days and months are the C locale's, as the
    # browser's en-US ones.
    env = dict(os.environ, LC_ALL="C")
    env.pop("SOURCE_DATE_EPOCH", None)
    run = subprocess.run(args, capture_output=True, env=env)
    if run.returncode != 0:
        return None, run.stderr.decode()
    with open(out, "rb") as f:
        return f.read(), ""


def make_inputs(work):
    """The exports of the table, written into WORK: name -> path."""
    files = {}

    def put(name, data):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        files[name] = path

    for encoding in ("cp1252", "utf8", "utf16le"):
        path = os.path.join(work, "gen-%s.txt" % encoding)
        subprocess.run([os.path.join(ROOT, "bench", "generate"), "1", path, "--encoding", encoding], check=True,
                       stdout=subprocess.DEVNULL)
        files[os.path.basename(path)] = path
    subprocess.run([os.path.join(ROOT, "bench", "generate"), "40", os.path.join(work, "large.txt")], check=True,
                   stdout=subprocess.DEVNULL)
    files["large.txt"] = os.path.join(work, "large.txt")
    put("nul-and-lone-cr.txt", b"a\0b\rc\n\r\0")
    put("utf8-damage.txt", b"\xEF\xBB\xBFa\x80\xC3(\xF0\x9F\x98")
    put("utf16-odd-byte.txt", b"\xFF\xFEa\0\r\0\n\0b")
    put("utf32be-mark.txt", b"\0\0\xFE\xFF\0\0\0a")
    put("deep.txt", b"[" + b"." * 100000 + b"Deep]\n")
    put("unclosed.txt", b"[" * 100000 + b"\n")
    put("long-line.txt", b"x" * 3000000)
    put("huge-line.txt", b"[." + b"x" * 20000000 + b"]")
    put("empty.txt", b"")
    # A site of as many files as the 100 MB export's, with long names: its list fills the module's heap.
    put("many-pages.txt", b"".join(b"[.Page %d of the notes with a title long enough for a long name]\r\n" % i
                                   for i in range(60000)))
    put("gone.txt", b"[.A]\r\n")  # deleted once picked
    put("utf8-unmarked.txt", "[.Caf\u00e9]\r\nna\u00efve \u2192 [date=dddd d MMMM yyyy]\r\n".encode("utf-8"))
    put("utf16be-unmarked.txt", "[.B\u00e9ta]\r\nline\r\n".encode("utf-16-be"))
    put("cp1252.txt", "[.Caf\u00e9]\r\n\u201cquoted\u201d \u20ac 5 < 6\r\n".encode("cp1252"))
    put("image.png", b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 8)
    put("random.bin", bytes((i * 7919 + 13) * 104729 % 251 for i in range(8192)))
    put("no-marker.tpl.txt", b"<html><title>x</title><body></body></html>\r\n")
    put("marked.tpl.txt", b"\xEF\xBB\xBF<p>[...]</p>\r\n")
    put("own.tpl.txt", b"<html><head><title>t</title></head><body>\r\n<div>[...]</div>\r\n</body></html>")
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--only", default="")
    parser.add_argument("--web", help="the folder of the scripts to check (default build/web)")
    options = parser.parse_args()

    work = tempfile.mkdtemp(prefix="pagesmith-engine-")
    files = make_inputs(work)

    # Rows: name, source, template (built-in name, or a path for "Your own
    # template"), settings over DEFAULTS, and the expected error
    # (field, message) or None for the CLI's bytes.
    rows = []
    for template in ("Navigator", "Plain", "Print", "Standard"):
        rows.append(("sample, " + template, SAMPLE, template, {}, None))
    rows += [
        ("edge export", EDGE, "Standard", {}, None),
        ("own template", SAMPLE, files["own.tpl.txt"], {}, None),
        ("settings: 3 header styles, no separator, a title", SAMPLE, "Plain",
         {"titleRange": 3, "separator": False, "title": "Field <notes> & more"}, None),
        ("title range -1", EDGE, "Plain", {"titleRange": -1}, None),
        ("generated cp1252", files["gen-cp1252.txt"], "Standard", {}, None),
        ("generated UTF-8", files["gen-utf8.txt"], "Navigator", {}, None),
        ("generated UTF-16LE", files["gen-utf16le.txt"], "Plain", {}, None),
        ("cp1252 without a mark", files["cp1252.txt"], "Plain", {}, None),
        ("UTF-8 without a mark, read as ansi", files["utf8-unmarked.txt"], "Plain", {}, None),
        ("UTF-8 without a mark, --encoding utf-8", files["utf8-unmarked.txt"], "Plain", {"encoding": "utf-8"}, None),
        # A template without a mark would be read as UTF-16 too: this one has
        # the UTF-8 mark.
        ("UTF-16BE without a mark", files["utf16be-unmarked.txt"], files["marked.tpl.txt"],
         {"encoding": "utf-16be"}, None),
        ("UTF-16LE export read as utf-16le", files["gen-utf16le.txt"], files["marked.tpl.txt"],
         {"encoding": "utf-16le"}, None),
        ("NUL bytes and lone CRs", files["nul-and-lone-cr.txt"], "Plain", {}, None),
        ("UTF-8 damage", files["utf8-damage.txt"], "Plain", {}, None),
        ("UTF-16 odd last byte", files["utf16-odd-byte.txt"], "Plain", {}, None),
        ("UTF-32BE mark", files["utf32be-mark.txt"], "Plain", {}, None),
        ("100,000 levels", files["deep.txt"], "Plain", {}, None),
        ("100,000 unclosed tags", files["unclosed.txt"], "Plain", {}, None),
        ("one 3 MB line", files["long-line.txt"], "Plain", {}, None),
        ("empty export", files["empty.txt"], "Plain", {}, None),
        ("today's date", files["utf8-unmarked.txt"], "Plain", {"encoding": "utf-8", "date": ""}, None),
        # The line alone takes 40 MB as UTF-16; the next run starts afresh.
        ("one 20 MB line, in a 32 MB heap", files["huge-line.txt"], "Plain", {}, ("memory", "Not enough memory")),
        ("a run after running out of memory", SAMPLE, "Print", {}, None),
        ("template without the marker", SAMPLE, files["no-marker.tpl.txt"], {},
         ("template", "'[...]' not found in template")),
        ("an image", files["image.png"], "Plain", {}, ("source", "Source is not a text file")),
        ("random bytes", files["random.bin"], "Plain", {}, ("source", "Source is not a text file")),
        ("a day that does not exist", SAMPLE, "Plain", {"date": "2026-02-30"},
         ("date", "Date for date tags must be a day as YYYY-MM-DD")),
        ("an unknown encoding", SAMPLE, "Plain", {"encoding": "utf-7"}, ("encoding", "Unknown encoding")),
        ("a source deleted after it was picked", files["gone.txt"], "Plain", {}, ("source", "Source not found")),
    ]

    opts = webdriver.ChromeOptions()
    opts.binary_location = "/usr/bin/chromium"
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--lang=en-US"):
        opts.add_argument(arg)
    opts.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=opts)
    driver.set_script_timeout(300)
    passed = failed = 0

    def report(ok, name, detail=""):
        nonlocal passed, failed
        passed += ok
        failed += not ok
        print("%s  %s%s" % ("pass" if ok else "FAIL", name, ("  (" + detail + ")") if detail else ""), flush=True)

    try:
        web = "?web=" + os.path.relpath(options.web, HERE) if options.web else ""
        driver.get("file://" + HARNESS + web)
        for name, source, template, changes, error in rows:
            if options.only not in name:
                continue
            settings = dict(DEFAULTS, **changes)
            builtin = not os.path.isabs(template)
            driver.find_element(By.ID, "source").send_keys(source)
            if source == files["gone.txt"]:
                os.remove(source)
            if not builtin:
                driver.find_element(By.ID, "template").send_keys(template)
            template_name = template if builtin else os.path.basename(template)[:-len(".tpl.txt")]
            result = driver.execute_async_script(
                "window.convert(arguments[0], arguments[1], arguments[2], false).then(arguments[3]);",
                builtin, template_name, settings)
            reply = result["reply"]
            if error:
                got = (reply.get("field"), reply.get("message"))
                report(reply["type"] == "error" and got == error, name, "got %r" % (got,))
                continue
            template_dir = TEMPLATES if builtin else os.path.dirname(template)
            expected, problem = cli_product(source, template_dir, template_name, settings, work)
            if reply["type"] != "done":
                report(False, name, "worker: %s %s; cli: %s" % (reply.get("field"), reply.get("message"), problem))
                continue
            product = base64.b64decode(result["product"])
            stem = os.path.splitext(os.path.basename(source))[0]
            same = expected == product and reply["name"] == stem + ".htm" and reply["bytes"] == len(product)
            report(same and reply["mime"] == "text/html", name,
                   "%d bytes, %d pages, %d ms%s" % (len(product), reply["pages"], reply["ms"],
                                                    "" if same else ", CLI wrote %s bytes" % (
                                                        len(expected) if expected is not None else problem)))
        if "progress" in options.only or not options.only:
            driver.find_element(By.ID, "source").send_keys(files["large.txt"])
            result = driver.execute_async_script(
                "window.convert(true, 'Plain', arguments[0], true).then(arguments[1]);", DEFAULTS)
            steps = result["progress"]
            size = os.path.getsize(files["large.txt"])
            rising = all(a[0] < b[0] for a, b in zip(steps, steps[1:])) and all(s[1] == size for s in steps)
            heap = result["reply"].get("heapBytes") or 0
            report(result["reply"]["type"] == "done" and len(steps) >= 1 and rising and 0 < heap <= 32 << 20,
                   "progress on 40 MB, the heap within 32 MB",
                   "%d progress messages, %d ms, heap %d bytes" % (len(steps), result["reply"]["ms"], heap))
            # Where WebAssembly cannot be suspended the worker reads each
            # slice itself, in turn; on a device of 1 GB the product beyond
            # its first 16 MB leaves in Blobs.
            plain = driver.execute_async_script(
                "window.convert(true, 'Plain', arguments[0], true, true).then(arguments[1]);", DEFAULTS)
            expected, problem = cli_product(files["large.txt"], TEMPLATES, "Plain", DEFAULTS, work)
            want = hashlib.sha256(expected or b"").hexdigest()
            report(result["product"] == want and plain.get("product") == want,
                   "40 MB, read ahead, and slice by slice with the product past 16 MB in Blobs: the command line's bytes",
                   "%d ms read slice by slice%s" % (plain["reply"].get("ms", 0), problem))
        for name, source in (("a site of 40 MB", "large.txt"), ("a site of 60,000 files with long names", "many-pages.txt")):
            if options.only not in name:
                continue
            driver.find_element(By.ID, "source").send_keys(files[source])
            result = driver.execute_async_script(
                "window.convert(true, 'Plain', arguments[0], true, false, 'site').then(arguments[1]);", DEFAULTS)
            expected, problem = cli_product(files[source], TEMPLATES, "Plain", DEFAULTS, work, site=True)
            reply = result["reply"]
            heap = reply.get("heapBytes") or 0
            report(result.get("product") == hashlib.sha256(expected or b"").hexdigest() and
                   reply.get("name") == source[:-4] + "-site.zip" and reply.get("mime") == "application/zip" and
                   0 < heap <= 32 << 20, name + ": the command line's zip, the heap within 32 MB",
                   "%s, %s bytes, %s ms, heap %d bytes%s" % (reply.get("name") or reply.get("message"), reply.get("bytes"),
                                                            reply.get("ms"), heap, problem))
        message = driver.execute_async_script("window.failingWorker().then(arguments[0]);")
        report(message == "Uncaught Error: This browser cannot run the converter: no SIMD",
               "a browser that cannot compile the module: the worker's error says so", message)
        requests = [json.loads(entry["message"])["message"] for entry in driver.get_log("performance")]
        urls = {m["params"]["request"]["url"] for m in requests if m["method"] == "Network.requestWillBeSent"}
        outside = sorted(u for u in urls if not u.startswith(("file:", "blob:", "data:")))
        report(not outside, "no network request", ", ".join(outside))
    finally:
        driver.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
