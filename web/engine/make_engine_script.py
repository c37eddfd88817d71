#!/usr/bin/env python3
"""Writes pagesmith-engine.js: a classic script that defines
PagesmithEngine.createWorker(), which starts a Worker from a Blob URL of the
worker's whole source: the emscripten module's glue, the module's bytes as
base64 (pagesmithWasm), pako's zlib deflate as the source of a script
(pakoZlibSource, which defines pakoZlib, for the site's deflaters), the
worker's threads (worker_threads.js), its deflaters (worker_deflaters.js)
and worker.js.

usage: make_engine_script.py MODULE.js MODULE.wasm THREADS.js DEFLATERS.js WORKER.js PAKO_ZLIB_DIR OUTPUT
"""
import base64
import json
import os
import sys

# pako's zlib files that its deflate needs, as CommonJS modules; its
# bundles hide the state's reset (deflateReset), which the zip needs.
PAKO_MODULES = ("constants", "messages", "adler32", "crc32", "trees", "zstream", "deflate")


def pako_zlib(directory):
    """pako's modules, each in a function of its own, behind a require() of
    their relative names: pakoZlib.deflate, pakoZlib.ZStream and
    pakoZlib.crc32."""
    sources = ""
    for name in PAKO_MODULES:
        with open(os.path.join(directory, name + ".js"), encoding="utf-8") as f:
            sources += '    "./%s": (module, exports, require) => {\n%s\n    },\n' % (name, f.read())
    return """const pakoZlib = (() => {
  const sources = {
%s  };
  const made = {};
  const require = (name) => {
    if (!made[name]) {
      made[name] = {exports: {}};
      sources[name](made[name], made[name].exports, require);
    }
    return made[name].exports;
  };
  return {deflate: require("./deflate"), ZStream: require("./zstream"), crc32: require("./crc32")};
})();
""" % sources


module_path, wasm_path, threads_path, deflaters_path, worker_path, pako_path, output = sys.argv[1:8]
pako = "const pakoZlibSource = %s;\n" % json.dumps(pako_zlib(pako_path))
with open(module_path, encoding="utf-8") as f:
    module = f.read()
with open(wasm_path, "rb") as f:
    wasm = base64.b64encode(f.read()).decode("ascii")
worker = ""
for path in (threads_path, deflaters_path, worker_path):
    with open(path, encoding="utf-8") as f:
        worker += f.read()
source = module + '\nconst pagesmithWasm = "' + wasm + '";\n' + pako + worker
os.makedirs(os.path.dirname(output), exist_ok=True)
with open(output, "w", encoding="utf-8", newline="\n") as f:
    f.write("""// Pagesmith's converter, compiled to WebAssembly, in a Web Worker. The page
// calls PagesmithEngine.createWorker() for a started worker; the messages
// are described in web/engine/PROTOCOL.md. The worker is made from a Blob
// URL of its source, which a page opened from disk may do.
var PagesmithEngine = (function () {
  "use strict";
  var source = %s;
  var url = null;
  return {
    createWorker: function () {
      if (!url) url = URL.createObjectURL(new Blob([source], {type: "text/javascript"}));
      return new Worker(url);
    }
  };
})();
""" % json.dumps(source))
