// The site's deflaters (worker.js follows this file in one source, see
// make_engine_script.py): workers of this worker, one per processor, that
// deflate the site's files for its zip, as the command line's zlib does
// (toolkit/zip/deflate_stream.h), with pako's zlib (pakoZlibSource).
// Deflating is nearly all of a site zip's time, and each file is deflated
// on its own, so they share the files out; the module then writes the zip
// in order from their bytes (ZipWriter::addDeflated).
/* exported deflateMadeFiles */
"use strict";

// Files go to a deflater in batches of about this size (each message
// costs tens of microseconds, and a large site has tens of thousands of
// files), each joined into one buffer that is moved, not copied.
const batchBytes = 1 << 20;
const maxDeflaters = 8;

// One deflate state serves every file: a fresh one costs about 300 KB of
// zeroed arrays. Reset between files, the part of its window the last file
// filled is zeroed again, as the match search may compare up to 258 bytes
// past a file's end: the bytes are those of a fresh state. Level 9, raw
// (window 2^15), memory level 8, the default strategy.
const deflaterSource = `"use strict";
const zlib = pakoZlib.deflate;
const stream = new pakoZlib.ZStream();
const started = zlib.deflateInit2(stream, 9, 8, -15, 8, 0) === 0;
let output = new Uint8Array(1 << 20);

function deflateOne(input, at) {
  const used = Math.min(stream.total_in, stream.state.window.length);
  if (zlib.deflateReset(stream) !== 0) throw new Error("deflate state");
  stream.state.window.fill(0, 0, used);
  stream.input = input;
  stream.next_in = 0;
  stream.avail_in = input.length;
  stream.output = output;
  stream.next_out = at;
  stream.avail_out = output.length - at;
  for (;;) {
    const status = zlib.deflate(stream, 4);  // Z_FINISH
    if (status === 1) return stream.next_out;  // Z_STREAM_END
    if (status !== 0 || stream.avail_out !== 0) throw new Error("deflate " + status);
    const larger = new Uint8Array(output.length * 2);
    larger.set(output);
    output = larger;
    stream.output = output;
    stream.avail_out = output.length - stream.next_out;
  }
}

onmessage = (e) => {
  if (!started) throw new Error("deflate state");
  const {batch, bytes, sizes} = e.data;
  const deflatedSizes = [];
  const crcs = [];
  let from = 0;
  let at = 0;
  for (const size of sizes) {
    const input = bytes.subarray(from, from + size);
    crcs.push(pakoZlib.crc32(0, input, size, 0) >>> 0);
    const end = deflateOne(input, at);
    deflatedSizes.push(end - at);
    at = end;
    from += size;
  }
  const deflated = output.slice(0, at);
  postMessage({batch, deflated, sizes: deflatedSizes, crcs}, [deflated.buffer]);
};`;

let deflaters = [];

function startDeflaters() {
  if (deflaters.length === 0) {
    const url = URL.createObjectURL(new Blob([pakoZlibSource, deflaterSource], {type: "text/javascript"}));
    const count = Math.max(1, Math.min(navigator.hardwareConcurrency || 1, maxDeflaters));
    for (let i = 0; i < count; ++i) deflaters.push(new Worker(url));
  }
  return deflaters;
}

// The files' batches in their order: [first, end) of `files`.
function batchesOf(files) {
  const batches = [];
  for (let first = 0; first < files.length;) {
    let end = first;
    let bytes = 0;
    while (end < files.length && (end === first || bytes + files[end].size <= batchBytes)) bytes += files[end++].size;
    batches.push({first, end, bytes});
    first = end;
  }
  return batches;
}

// Deflates the made files (their bytes in entry.slice, sealed): each then
// holds its deflated bytes in entry.slice and their count in entry.size,
// with its own size (entry.rawSize) and CRC-32 (entry.crc). Resolves once
// all are deflated; rejects when a deflater failed (its memory).
function deflateMadeFiles(files) {
  const batches = batchesOf(files);
  const pool = startDeflaters();
  return new Promise((resolve, reject) => {
    let next = 0;
    let waiting = 0;
    const give = (deflater) => {
      if (next === batches.length) {
        if (waiting === 0) resolve();
        return;
      }
      const batch = batches[next];
      const bytes = new Uint8Array(batch.bytes);
      const sizes = [];
      for (let i = batch.first, at = 0; i < batch.end; ++i) {
        const entry = files[i];
        bytes.set(entry.slice, at);
        at += entry.size;
        sizes.push(entry.size);
        entry.rawSize = entry.size;
        entry.slice = null;
      }
      deflater.postMessage({batch: next++, bytes, sizes}, [bytes.buffer]);
      ++waiting;
    };
    for (const deflater of pool) {
      deflater.onmessage = (e) => {
        const {batch, deflated, sizes, crcs} = e.data;
        for (let i = 0, at = 0; i < sizes.length; ++i) {
          const entry = files[batches[batch].first + i];
          entry.slice = deflated.subarray(at, at + sizes[i]);
          entry.sliceAt = 0;
          entry.size = sizes[i];
          entry.crc = crcs[i];
          at += sizes[i];
        }
        --waiting;
        give(deflater);
      };
      deflater.onerror = (e) => {
        e.preventDefault();
        deflaters = [];
        pool.forEach((worker) => worker.terminate());
        reject(new Error("a deflater failed"));
      };
    }
    pool.forEach(give);
  });
}
