// The worker's own threads (worker.js follows this file in one source, see
// make_engine_script.py): the collector, which makes the product's staging
// buffers and turns those beyond the kept ones into Blob parts, and the reader, which reads the source's slices
// ahead while the module converts.
/* exported partBytes, keptBytes, progressEveryMs, suspending, startCollector, spareBuffers, startReader, readAhead,
            askForSlice, loadSlice */
"use strict";
// The product leaves the worker in parts of this size.
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

// The product's first bytes, up to this many, stay in the staging buffers
// they were written to, and the reply hands those to the page as they are:
// making a Blob hands every byte over to the browser, which took two thirds
// of the run's own processor time on other threads, and on a machine of two
// cores the conversion waited for them. The page makes its Blob once the
// result is shown. The rest of a larger product becomes Blob parts as it is
// written. A sixty-fourth of the device's memory, at most 256 MB.
const keptBytes = Math.min(navigator.deviceMemory || 4, 16) * (16 << 20);

// The collector, a worker of this worker, works for the product's staging
// on a thread of its own: it makes fresh staging buffers, their memory
// already touched, so that the converter's thread does not pay for the first
// touch (twice the time of filling a buffer), two at the start of a run and
// one whenever the worker takes its last spare (the source's slices, once
// read, are spares too); and it takes each full buffer beyond keptBytes
// (moved, not copied), makes it a Blob part and gives the buffer back to be
// filled again. On "finish" it answers with the Blob of those parts.
const collectorSource = `"use strict";
let parts = [];
const fresh = () => {
  const buffer = new Uint8Array(${partBytes});
  buffer.fill(0);
  postMessage(buffer.buffer, [buffer.buffer]);
};
onmessage = (e) => {
  const m = e.data;
  if (m.reset) parts = [];
  for (let i = 0; i < (m.fresh || 0); ++i) fresh();
  if (m.part) {
    parts.push(new Blob([m.part]));
    postMessage(m.part.buffer, [m.part.buffer]);
  }
  if (m.finish) {
    postMessage(new Blob(parts));
    parts = [];
  }
};`;
let collector = null;
// Staging buffers given back, fresh or read from, to be filled: filling
// fresh memory takes twice as long. The collector's come while the module
// waits for the source; between runs (null) they are let go.
let spareBuffers = null;
let finished = null;

function startCollector() {
  if (!collector) {
    collector = new Worker(URL.createObjectURL(new Blob([collectorSource], {type: "text/javascript"})));
    collector.onmessage = (e) => {
      if (!(e.data instanceof ArrayBuffer)) finished(e.data);
      else if (spareBuffers) spareBuffers.push(new Uint8Array(e.data));
    };
    collector.finish = () => new Promise((resolve) => {
      finished = resolve;
      collector.postMessage({finish: true});
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

// The slices read ahead start small and double up to sliceBytes: the module
// waits for the first one, and a small one comes at once, while the reader,
// faster than the module, gets further ahead with each.
const firstSliceBytes = 256 << 10;
const sliceAt = (at) => Math.min(sliceBytes, Math.max(firstSliceBytes, at));

function askForSlice(entry, at) {
  const end = Math.min(entry.blob.size, at + sliceAt(at));
  entry.ahead.set(at, new Promise((resolve) => entry.arrivals.set(at, resolve)));
  entry.askedTo = end;
  reader.postMessage({run: entry.run, blob: entry.blob, at, end});
}

// Puts the slice of `entry` that holds `position` in entry.slice (null when
// the browser cannot read it); a promise of that when it comes from the
// reader, else null once it is done (text_file_web.cpp).
function loadSlice(entry, position, count) {
  const loaded = (slice) => {
    // A whole slice read is the size of a staging buffer, its memory
    // touched: the product is staged in it next.
    const done = entry.slice;
    if (done && spareBuffers && done.buffer.byteLength === partBytes) spareBuffers.push(new Uint8Array(done.buffer));
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
