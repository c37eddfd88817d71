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
import json, os, re, subprocess, sys, time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "tests", "templates"))
from check_templates import Browser, run_rows  # noqa: E402  (the project's headless Chromium)
from selenium.webdriver.common.by import By  # noqa: E402
from site_files import (CLI, WORK, Site, access_keys, breadcrumbs, chain, convert,  # noqa: E402
                        links_resolve, one, scriptless, titles_once, up_climbs, zip_same)

SAMPLE = os.path.join(ROOT, "samples", "notes.txt")
GALLERY = ("Standard", "Navigator", "Print", "Plain")
EXPORT_MB = 7.15  # bench/generate's export of this size holds 20,073 pages
LONG = b" with a title long enough to pass the contents limit"
AXE_TAGS = ["wcag2a", "wcag2aa", "wcag21a", "wcag21aa", "best-practice"]


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
        visible_link(b, 'ul.pagesmith-contents a[href="%s"]' % order[-1]).click()
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
        seen = b.js("""return Array.from(document.querySelectorAll('.pagesmith-contents b > a:not(.ps-anchor)'))
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
        ("the zip holds the folder's files in name order, byte for byte (20,000 files: in batches)",
         lambda b: [zip_same(s) for s in (sample[0], big)]),
        ("axe-core: index.htm and a note, light and dark, every template",
         accessible(sample, lambda s: ["index.htm", s.reading_order()[1]])),
        ("axe-core: a branch contents file, light and dark",
         accessible([branched], lambda s: [sorted(f for f in s.files if f.startswith("index-"))[0]])),
        ("from file:// with script: links lead on, no console error or request", walks(sample, True)),
        ("script off: the navigation is there and leads on, every template", walks(sample + [deep], False)),
        ("Navigator: a note's in-page contents lists the pages of its file", sidebar(navigator)),
        ("Navigator: index.htm's filter finds the site's titles, with the pages above them",
         site_filter(navigator, "carrot", "1 page matches", ["Garden", "Beds", "Bed A: roots", "Carrot fly log"])),
    ]
    b = Browser()
    try:
        passed, failed = run_rows(b, [r for r in rows if not only or any(w in r[0] for w in only)])
        if shots:
            screenshots(b, navigator, shots)
    finally:
        b.quit()
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
