// The worker's own threads (worker.js follows this file in one source, see
// make_engine_script.py): the collector, which turns the product's staging
// buffers into Blob parts, and the reader, which reads the source's slices
// ahead while the module converts.
/* exported partBytes, progressEveryMs, suspending, startCollector, spareBuffers, startReader, readAhead,
            askForSlice, loadSlice */
"use strict";
// The product leaves the worker in Blob parts of this size.
const partBytes = 8 << 20;
// The inputs are read in slices of this size (each browser read costs
// milliseconds whatever its size), the source this many slices ahead where
// the module can wait for them.
const sliceBytes = 8 << 20;
const slicesAhead = 2;
const progressEveryMs = 200;
// Where the browser can suspend WebAssembly while a promise settles, the
// source is read on a thread of its own while the module converts, and the
// module waits for a slice only when it is not there yet.
const suspending = typeof WebAssembly.Suspending === "function" && typeof WebAssembly.promising === "function";

// The product's Blob parts are made on a thread of their own, as making
// them takes a fifth of a conversion's time: the collector, a worker of
// this worker, takes each full staging buffer (moved, not copied), gives
// the buffer back once its bytes are in a Blob, and on "finish" answers
// with the whole product as one Blob.
const collectorSource = `"use strict";
let parts = [];
onmessage = (e) => {
  const m = e.data;
  if (m.reset) parts = [];
  if (m.part) {
    parts.push(new Blob([m.part]));
    postMessage(m.part.buffer, [m.part.buffer]);
  }
  if (m.finish) {
    postMessage(new Blob(parts, {type: m.finish}));
    parts = [];
  }
};`;
let collector = null;
// Staging buffers given back, to be filled again: filling fresh memory
// takes twice as long. They come back while the module waits for the
// source; between runs (null) they are let go.
let spareBuffers = null;
let finished = null;

function startCollector() {
  if (!collector) {
    collector = new Worker(URL.createObjectURL(new Blob([collectorSource], {type: "text/javascript"})));
    collector.onmessage = (e) => {
      if (!(e.data instanceof ArrayBuffer)) finished(e.data);
      else if (spareBuffers) spareBuffers.push(new Uint8Array(e.data));
    };
    collector.finish = (type) => new Promise((resolve) => {
      finished = resolve;
      collector.postMessage({finish: type});
    });
  }
  return collector;
}

// The reader, a worker of this worker, reads the source's slices that the
// worker asks for and hands each over (moved, not copied), tagged with the
// run and the position it was asked for.
const readerSource = `"use strict";
onmessage = (e) => {
  const m = e.data;
  let bytes = null;
  try {
    bytes = new FileReaderSync().readAsArrayBuffer(m.blob.slice(m.at, m.end));
  } catch {
    // unreadable: no bytes
  }
  postMessage({run: m.run, at: m.at, bytes}, bytes ? [bytes] : []);
};`;
let reader = null;
let readingAhead = null;  // the file entry being read ahead, or null
const readAhead = (entry) => { readingAhead = entry; };

function startReader() {
  if (!reader) {
    reader = new Worker(URL.createObjectURL(new Blob([readerSource], {type: "text/javascript"})));
    reader.onmessage = (e) => {
      const m = e.data;
      const entry = readingAhead;
      const arrived = entry && entry.run === m.run && entry.arrivals.get(m.at);
      if (!arrived) return;
      entry.arrivals.delete(m.at);
      arrived(m.bytes ? new Uint8Array(m.bytes) : null);
    };
  }
  return reader;
}

function askForSlice(entry, at) {
  const end = Math.min(entry.blob.size, at + sliceBytes);
  entry.ahead.set(at, new Promise((resolve) => entry.arrivals.set(at, resolve)));
  entry.askedTo = end;
  reader.postMessage({run: entry.run, blob: entry.blob, at, end});
}

// Puts the slice of `entry` that holds `position` in entry.slice (null when
// the browser cannot read it); a promise of that when it comes from the
// reader, else null once it is done (text_file_web.cpp).
function loadSlice(entry, position, count) {
  const loaded = (slice) => {
    entry.slice = slice;
    entry.sliceAt = position;
    if (slice && entry.onRead) entry.onRead(position + slice.length);
  };
  if (!entry.ahead) {
    let slice = null;
    try {
      const end = Math.min(entry.blob.size, position + Math.max(count, sliceBytes));
      slice = new Uint8Array(new FileReaderSync().readAsArrayBuffer(entry.blob.slice(position, end)));
    } catch {
      // unreadable: the slice stays null, and the converter says so
    }
    loaded(slice);
    return null;
  }
  if (!entry.ahead.has(position)) {
    entry.ahead.clear();
    askForSlice(entry, position);
  }
  const slice = entry.ahead.get(position);
  entry.ahead.delete(position);
  while (entry.ahead.size < slicesAhead && entry.askedTo < entry.blob.size) askForSlice(entry, entry.askedTo);
  return slice.then(loaded);
}
