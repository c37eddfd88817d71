// The worker around the converter's WebAssembly module (engine.cpp); the
// messages are those of PROTOCOL.md. It follows the module's glue, which
// defines createPagesmithModule, the module's bytes as base64
// (pagesmithWasm), pako's deflate (pakoZlibSource), its own threads
// (worker_threads.js) and the site's deflaters (worker_deflaters.js) in one
// source.
/* global partBytes, keptBytes, progressEveryMs, suspending, startCollector, spareBuffers:writable, startReader,
          readAhead, askForSlice, loadSlice, deflateMadeFiles */
"use strict";

function base64Bytes(text) {
  const chars = atob(text);
  const bytes = new Uint8Array(chars.length);
  for (let i = 0; i < chars.length; ++i) bytes[i] = chars.charCodeAt(i);
  return bytes;
}

let module = null;  // the running instance; null after it failed
let rules = null;  // what the engine says of the program (engine_rules.cpp)
let starting = null;

// The module is instantiated here, not by its glue, so that its read may
// suspend it; its entry is then called through WebAssembly.promising.
function startModule() {
  if (!starting) {
    let exports = null;
    const instantiateWasm = (imports, receive) => {
      if (suspending) imports.env.pagesmith_read_file = new WebAssembly.Suspending(imports.env.pagesmith_read_file);
      WebAssembly.instantiate(base64Bytes(pagesmithWasm), imports).then((made) => {
        exports = made.instance.exports;
        receive(made.instance, made.module);
      }, (e) => {
        // A browser without what the module needs (WebAssembly SIMD): thrown
        // outside the promise, so that the page gets it as the worker's error
        // instead of waiting for "ready" for ever.
        setTimeout(() => { throw new Error("This browser cannot run the converter: " + e.message); });
      });
      return {};
    };
    starting = createPagesmithModule({print: () => {}, printErr: () => {}, instantiateWasm}).then((instance) => {
      instance.pagesmithConvert = suspending ? WebAssembly.promising(exports.pagesmith_convert)
                                             : exports.pagesmith_convert;
      instance.pagesmithSite = suspending ? WebAssembly.promising(exports.pagesmith_site) : exports.pagesmith_site;
      instance.pagesmithZipSite = suspending ? WebAssembly.promising(exports.pagesmith_zip_site)
                                             : exports.pagesmith_zip_site;
      instance.pagesmithMemory = exports.memory;
      instance.pagesmithExports = exports;
      rules = JSON.parse(instance.UTF8ToString(exports.pagesmith_rules()));
      instance.pagesmithLoadSlice = loadSlice;
      module = instance;
      starting = null;
      return instance;
    });
  }
  return starting;
}

function utf8OnStack(instance, text) {
  const size = instance.lengthBytesUTF8(text) + 1;
  const at = instance._malloc(size);
  instance.stringToUTF8(text, at, size);
  return at;
}

let runs = 0;

// The page's message for the failure `id` of the engine's table; a text of
// the converter's own that the table lacks goes beside the Convert button.
function failed(id) {
  const known = rules.messages[id];
  return {type: "error", id, field: known ? known.field : "product", message: known ? known.text : id};
}

// Whether the browser still reads a picked file as it was picked: it holds a
// File to the file's size and time when picked, and refuses to read it once
// it changed. Returns the failure's id, or "" when it reads.
const checkedBytes = 4096;
function pickedFileFailure(file, gone, changed) {
  try {
    // A short file is read whole: one that went away after it was picked may
    // show a size of 0, and a slice of it then reads as empty.
    new FileReaderSync().readAsArrayBuffer(file.size > checkedBytes ? file.slice(0, checkedBytes) : file);
    return "";
  } catch (e) {
    return e.name === "NotFoundError" ? gone : changed;
  }
}

function sourceFailure(source) {
  return pickedFileFailure(source, "sourceNotFound", "sourceChanged");
}

function templateFailure(template) {
  return template instanceof Blob ? pickedFileFailure(template, "cannotReadTemplate", "templateChanged") : "";
}

// A shipped template's bytes, from the engine; null for a name it lacks,
// which then reads as a template that cannot be read.
function shippedTemplate(instance, name) {
  const exports = instance.pagesmithExports;
  const at = utf8OnStack(instance, name);
  const from = exports.pagesmith_template_bytes(at);
  const bytes = from ? instance.HEAPU8.slice(from, from + exports.pagesmith_template_size(at)) : null;
  instance._free(at);
  return bytes && new Blob([bytes]);
}

function nameOf(instance, naming, sourceName) {
  const at = utf8OnStack(instance, sourceName);
  const name = instance.UTF8ToString(naming(at));
  instance._free(at);
  return name;
}

// The site's folder that the run may make files in.
const siteFolder = "/site/";

// A file the site writer makes: what it writes is copied out of the
// module's memory, and seal() joins it into the bytes it is read back from
// (the contents' list; for the zip, each file's deflated bytes, which
// replace them, after which it is let go); opened again to be written on
// (index.htm, finished last), writing goes on after them. Each browser
// read costs milliseconds, and a site has tens of thousands of files: so
// they are kept as bytes, not Blobs.
function madeFile(path) {
  const entry = {path, size: 0, chunks: [], slice: new Uint8Array(0), sliceAt: 0};
  entry.sink = (bytes) => {
    if (bytes === null) {
      entry.chunks = [];
      entry.slice = new Uint8Array(0);
      entry.size = 0;
      return;
    }
    entry.chunks.push(bytes.slice());
    entry.size += bytes.length;
  };
  entry.seal = () => {
    if (entry.chunks.length === 0) return;
    const joined = new Uint8Array(entry.size);
    joined.set(entry.slice, 0);
    let at = entry.slice.length;
    for (const chunk of entry.chunks) {
      joined.set(chunk, at);
      at += chunk.length;
    }
    entry.chunks = [];
    entry.slice = joined;
  };
  return entry;
}

// When each step of a run happened, on a clock the page shares: its
// milliseconds since 1970 (the page turns them into marks on its own clock).
const stamp = () => performance.timeOrigin + performance.now();

// One conversion; resolves with the one message for the page.
async function convert(instance, request) {
  const steps = {received: request.received, started: stamp()};
  const settings = {...rules.defaults, ...request.settings};
  const site = request.make === "site";
  const source = request.source;
  const own = request.template instanceof Blob;
  const started = performance.now();
  // The product is copied into staging buffers: the full ones are kept
  // while the product fits keptBytes, and after that go to the collector.
  const collector = startCollector();
  collector.postMessage({reset: true, fresh: 2});
  spareBuffers = [];
  let kept = [];
  let keptSize = 0;
  let passed = false;  // a buffer went to the collector: none is kept after it
  const hand = (part) => {
    if (!passed && keptSize + part.length <= keptBytes) {
      kept.push(part);
      keptSize += part.length;
      return;
    }
    passed = true;
    collector.postMessage({part}, [part.buffer]);
  };
  let staging = new Uint8Array(partBytes);
  let staged = 0;
  const sink = (bytes) => {
    if (bytes === null) {
      collector.postMessage({reset: true});
      kept = [];
      keptSize = 0;
      passed = false;
      staged = 0;
      return;
    }
    for (let at = 0; at < bytes.length;) {
      const take = Math.min(bytes.length - at, partBytes - staged);
      staging.set(bytes.subarray(at, at + take), staged);
      staged += take;
      at += take;
      if (staged === partBytes) {
        hand(staging);
        staging = spareBuffers.pop() || new Uint8Array(partBytes);
        if (spareBuffers.length === 0) collector.postMessage({fresh: 1});
        staged = 0;
      }
    }
  };
  let lastProgress = 0;
  const sourceEntry = {path: "/source", blob: source, run: ++runs};
  sourceEntry.onRead = (read) => {
    if (!steps.firstRead) steps.firstRead = stamp();
    const now = performance.now();
    if (request.warmUp || now - lastProgress < progressEveryMs) return;
    lastProgress = now;
    postMessage({type: "progress", read, total: source.size});
  };
  if (suspending) {
    startReader();
    sourceEntry.ahead = new Map();  // position -> promise of the slice's bytes
    sourceEntry.arrivals = new Map();  // position -> its promise's resolve
    readAhead(sourceEntry);
    // The first slice is read while the inputs are checked and the module
    // starts and reads the template.
    if (source.size > 0) askForSlice(sourceEntry, 0);
  }
  // A longer source is checked by the run's own first read, which fails
  // the run as below, so that the module does not wait for a read of its
  // own (milliseconds, whatever its size); the source's failure comes
  // first, as for a shorter one.
  let refused = source.size <= checkedBytes ? sourceFailure(source) : "";
  const templateRefused = refused ? "" : templateFailure(request.template);
  if (templateRefused) refused = sourceFailure(source) || templateRefused;
  if (refused) {
    readAhead(null);
    spareBuffers = null;
    collector.postMessage({reset: true});
    return failed(refused);
  }
  steps.checked = stamp();
  const templateName = own ? "own" : request.template;
  const templateBlob = own ? request.template : shippedTemplate(instance, templateName);
  instance.pagesmithFiles = [
    sourceEntry,
    {path: site ? "/product.zip" : "/product.htm", sink},
  ].concat(templateBlob ? [{path: "/templates/" + templateName + ".tpl.txt", blob: templateBlob}] : []);
  const files = instance.pagesmithFiles;
  const indexPath = siteFolder + "index.htm";
  let index = null;  // the site's index.htm, for the preview
  files.places = new Map(files.map((entry, place) => [entry.path, place]));
  instance.pagesmithNewFile = site ? (path) => {
    if (!path.startsWith(siteFolder)) return -1;
    files.push(madeFile(path));
    files.places.set(path, files.length - 1);
    return files.length - 1;
  } : null;
  instance.pagesmithLetGo = (path) => {
    const entry = files[files.places.get(path)];
    if (entry && entry.seal) entry.slice = new Uint8Array(0);
  };
  // The site's files, once made, are deflated by the deflaters, then zipped
  // in order by the module; index.htm is kept for the preview first.
  const zipSite = async () => {
    const made = files.filter((entry) => entry.seal);
    const indexEntry = files[files.places.get(indexPath)];
    index = indexEntry ? new Blob([indexEntry.slice], {type: "text/html"}) : null;
    await deflateMadeFiles(made);
    return instance.pagesmithZipSite(texts[4]);
  };

  const texts = [templateName, settings.title, String(settings.titleRange), settings.encoding, settings.date.trim()]
    .map((text) => utf8OnStack(instance, text));
  let pages;
  try {
    pages = site
      ? await instance.pagesmithSite(texts[0], texts[1], texts[2], settings.separator ? 1 : 0, texts[3], texts[4],
                                     settings.splitLevel)
      : await instance.pagesmithConvert(texts[0], texts[1], texts[2], settings.separator ? 1 : 0, texts[3],
                                        texts[4]);
    if (site && pages >= 0 && !(await zipSite())) pages = -1;
  } finally {
    texts.forEach((at) => instance._free(at));
    instance.pagesmithFiles = [];
    instance.pagesmithNewFile = instance.pagesmithLetGo = null;
    readAhead(null);
    spareBuffers = null;
  }
  steps.converted = stamp();
  if (pages < 0) {
    collector.postMessage({reset: true});
    // A file that changed while it was read says so, where the converter
    // only knows that it could not read it.
    const id = instance.UTF8ToString(instance.pagesmithExports.pagesmith_failure());
    if (id === "cannotReadSource" || id === "cannotReadTemplate")
      return failed(sourceFailure(source) || templateFailure(request.template) || id);
    return failed(id);
  }
  hand(staging.subarray(0, staged));
  steps.lastPart = stamp();
  const exports = instance.pagesmithExports;
  const name = nameOf(instance, site ? exports.pagesmith_site_name : exports.pagesmith_product_name,
                      source.name || "source");
  const parts = passed ? kept.concat(await collector.finish()) : kept;
  steps.parts = stamp();
  return Object.assign({type: "done", parts, mime: site ? "application/zip" : "text/html", name, pages,
                        bytes: parts.reduce((sum, part) => sum + (part instanceof Blob ? part.size : part.length), 0),
                        ms: Math.round(performance.now() - started), heapBytes: instance.pagesmithMemory.buffer.byteLength,
                        steps}, site ? {preview: index} : {});
}

// The buffers among a reply's product parts, moved to the page rather than
// copied.
const moved = (reply) => (reply.parts || []).filter((part) => !(part instanceof Blob)).map((part) => part.buffer);

let queue = Promise.resolve();

onmessage = (event) => {
  const request = event.data;
  if (!request || request.type !== "convert") return;
  request.received = stamp();
  queue = queue.then(async () => {
    const instance = module || (await startModule());
    let reply;
    try {
      reply = await convert(instance, request);
    } catch {
      // The module trapped (its stack, or memory outside the converter's
      // reach) or the browser refused memory for the product: either way
      // memory ran out. The next run gets a fresh module.
      module = null;
      reply = failed("notEnoughMemory");
    }
    if (reply.steps) reply.steps.replied = stamp();
    postMessage(reply, moved(reply));
  });
};

// WebAssembly starts in the browser's quick first code, and a function
// moves to the optimised code only at its next call once it has run long
// enough: the converter's loops, called once a conversion, would run a whole
// first conversion unoptimised, at half speed. So a generated export of a
// few megabytes is converted, and thrown away, right after "ready", while
// the user still picks a file (a request meanwhile waits its turn).
function warmUpExport() {
  const line = "Notes & <tags> \"quoted\", caf\u00e9 \u2013 [^date:yyyy-MM-dd] \u00e0 la ligne\r\n";
  const pages = [];
  for (let i = 0; i < 8000; ++i) pages.push("[" + ".".repeat(1 + i % 4) + "Page " + i + "]\r\n" + line.repeat(12));
  return pages.join("");
}

function warmUp(instance) {
  const text = warmUpExport();
  const template = new Blob(["<html><body>\r\n[...]\r\n</body></html>\r\n"]);
  const warmUps = [
    {source: new Blob([text], {type: "text/plain"}), settings: {encoding: "ansi"}},
    {source: new Blob(["\ufeff" + text]), settings: {encoding: "ansi"}},  // UTF-8 with its mark
  ];
  return warmUps.reduce((done, run) => done.then(() => convert(instance, Object.assign(
      {type: "convert", warmUp: true, template}, run))), Promise.resolve());
}

queue = startModule().then((instance) => {
  postMessage({type: "ready", rules});
  return warmUp(instance).catch(() => { module = null; });
});
