#!/usr/bin/env python3
"""Writes pagesmith-engine.js: a classic script that defines
PagesmithEngine.createWorker(), which starts a Worker from a Blob URL of the
worker's whole source: pako's deflate (the site's zip), the emscripten
module's glue, the module's bytes as base64 (pagesmithWasm), the worker's
threads (worker_threads.js) and worker.js.

usage: make_engine_script.py MODULE.js MODULE.wasm THREADS.js WORKER.js PAKO_DEFLATE.js OUTPUT
"""
import base64
import json
import os
import sys

module_path, wasm_path, threads_path, worker_path, pako_path, output = sys.argv[1:7]
with open(pako_path, encoding="utf-8") as f:
    pako = f.read()
with open(module_path, encoding="utf-8") as f:
    module = f.read()
with open(wasm_path, "rb") as f:
    wasm = base64.b64encode(f.read()).decode("ascii")
worker = ""
for path in (threads_path, worker_path):
    with open(path, encoding="utf-8") as f:
        worker += f.read()
source = pako + "\n" + module + '\nconst pagesmithWasm = "' + wasm + '";\n' + worker
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
