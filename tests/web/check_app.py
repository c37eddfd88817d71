#!/usr/bin/python3
"""The web page as an installable app, in headless Chromium: served from 127.0.0.1 (scripts/serve) it installs,
keeps its files for offline use, takes an export from the file handler and replaces a release whole; opened from
disk it registers nothing. Conversions must give the command line's bytes. usage: check_app.py [WORDS]"""
import importlib.machinery, os, re, shutil, sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_page  # noqa: E402  (the page's own checks: the browser, conversions against the command line)
from check_page import PAGE, ROOT, SAMPLE, Page, compare, work  # noqa: E402

serve = importlib.machinery.SourceFileLoader("serve", os.path.join(ROOT, "scripts", "serve")).load_module().serve
SITE = os.path.join(check_page.WORK, "served")
os.makedirs(SITE, exist_ok=True)


class App(Page):
    def __init__(self):
        # Chromium's proxy takes every request but those to the page's own server (see Page).
        self.server = serve(SITE)
        self.port = self.server.server_address[1]
        self.stop()
        self.proxy = check_page.Proxy()
        check_page.Browser.__init__(self, "--proxy-server=127.0.0.1:%d" % self.proxy.server_address[1],
                                    "--proxy-bypass-list=<-loopback>;127.0.0.1:%d" % self.port)

    def start(self, fresh=True):
        """Serves a copy of the page's folder (FRESH: copied anew, with nothing kept in the browser) and opens it."""
        self.stop()
        if fresh:
            shutil.rmtree(SITE, ignore_errors=True)
            shutil.copytree(os.path.dirname(PAGE), SITE)
            self.driver.get("about:blank")
            self.cdp("Storage.clearDataForOrigin", {"origin": "*", "storageTypes": "all"})
        self.server = serve(SITE, self.port)
        self.url = "http://127.0.0.1:%d/" % self.port
        self.open_url(self.url)
        self.wait(lambda: self.js("return !!navigator.serviceWorker.controller"), "the service worker", timeout=30)

    def open_url(self, url):
        self.driver.get(url)
        self.wait(lambda: self.js("return performance.getEntriesByName('pagesmith-ready').length"), "the engine")

    def caches(self):
        return self.driver.execute_async_script("caches.keys().then(arguments[0])")

    def stop(self):
        if self.server:
            self.server.shutdown()
            self.server.server_close()
            self.server = None


def installable(b):
    b.start()
    errors = b.cdp("Page.getInstallabilityErrors")["installabilityErrors"]
    manifest = b.cdp("Page.getAppManifest")
    assert errors == [] and not manifest.get("errors"), (errors, manifest.get("errors"))
    assert b.js("return navigator.serviceWorker.controller.state") == "activated"
    b.stop()


def offline(b):
    b.start()
    b.stop()  # nothing answers any more, and the browser's own cache is emptied: only the worker can answer
    b.cdp("Network.clearBrowserCache")
    b.open_url(b.url)
    compare(b, SAMPLE, {"template": "Plain"})


def launched(b):
    b.start()
    b.js("var i = document.createElement('input'); i.type = 'file'; i.id = 'launched'; document.body.append(i);")
    b.find("#launched").send_keys(SAMPLE)
    b.driver.execute_async_script("""var done = arguments[0], file = launched.files[0];
        PagesmithApp.launch({files: [{kind: 'file', name: file.name, getFile: function () {
          return Promise.resolve(file); }}]}).then(done);""")
    assert b.js("return [source.files[0].name, document.getElementById('status').textContent]") == ["notes.txt", "Source file: notes.txt"]
    compare(b, SAMPLE, {}, prepare=lambda *_: None)
    b.stop()


def from_disk(b):
    b.load()
    assert b.js("return [document.querySelector('link[rel=manifest]'), typeof PagesmithApp.launch]") == [
        None, "function"]
    registered = b.driver.execute_async_script(
        "var done = arguments[0]; navigator.serviceWorker ? navigator.serviceWorker.getRegistrations()"
        ".then(function (r) { done(r.length); }, function () { done(0); }) : done(0);")
    assert registered == 0, registered
    compare(b, SAMPLE, {})


def new_release(b):
    b.start()
    old = b.caches()
    worker = os.path.join(SITE, "service-worker.js")
    text = open(worker).read()
    name = re.search(r"const CACHE = '([^']+)'", text).group(1)
    open(worker, "w").write(text.replace(name, name + "-next"))
    b.driver.execute_async_script("navigator.serviceWorker.ready.then(function (r) { return r.update(); })"
                                  ".then(arguments[0])")
    b.wait(lambda: b.caches() == [name + "-next"], "the new release's cache alone", timeout=30)
    assert old == [name], old
    b.stop()


ROWS = [
    ("served: installable, with the service worker in control", installable),
    ("served, then offline: reloads and converts the sample to the command line's bytes", offline),
    ("a file from the file handler fills Source and converts", launched),
    ("from disk: no manifest, no service worker, converts as before", from_disk),
    ("a new release: a new cache, and the old one deleted on activation", new_release),
]

if __name__ == "__main__":
    check_page.ROWS = ROWS
    check_page.Page = App
    sys.exit(check_page.main())
