// The product of a conversion as the page shows it: the result's figures,
// the frame and the Download button, and the product's Blob, made from the
// parts the worker hands over (web/engine/PROTOCOL.md). pagesmith.js, loaded
// after this file, shows and hides it through PagesmithProduct.
"use strict";

// A block, so that the names stay this file's own (a classic script, as the
// page's: a page opened from disk cannot load a module).
{
  // Larger products are offered for download only: a frame holding them
  // would take the tab's memory for a preview nobody can read through.
  const PREVIEW_LIMIT = 64 * 1024 * 1024;

  const $ = (id) => document.getElementById(id);
  const result = $("result");
  const preview = $("preview");
  const download = $("download");
  const number = new Intl.NumberFormat("en");

  let product = null;
  let productUrl = null;
  let previewUrl = null;

  // Runs `then` once the page as it is now has been drawn.
  const afterDrawn = (then) => requestAnimationFrame(() => setTimeout(then));

  // The product's Blob copies every byte into the browser's storage, which
  // would hold up the result: so it is made once the result has been drawn,
  // a part at a time so that the page stays responsive, or all at once when
  // Download is pressed before that. Returns the product's Blob URL once it
  // is made, else null.
  function link(all) {
    const parts = product.parts;
    while (parts.length > 0) {
      const part = parts.shift();
      product.blobs.push(part instanceof Blob ? part : new Blob([part]));
      if (!all) break;
    }
    if (parts.length === 0 && !productUrl) productUrl = URL.createObjectURL(new Blob(product.blobs, {type: product.mime}));
    return productUrl;
  }

  // Shows the worker's "done" reply; returns the status line that says so.
  function show(done) {
    product = Object.assign(done, {blobs: []});
    $("result-heading").textContent = done.name;
    download.textContent = "Download " + done.name;
    $("pages").textContent = number.format(done.pages);
    $("bytes").textContent = number.format(done.bytes);
    $("time").textContent = done.ms < 1000 ? Math.round(done.ms) + " ms" : (done.ms / 1000).toFixed(2) + " s";
    // No page title at all is most often an export read in the wrong encoding.
    $("no-title").hidden = done.pages !== 0;
    // A site shows its contents, index.htm.
    const small = (done.preview ? done.preview.size : done.bytes) <= PREVIEW_LIMIT;
    preview.hidden = !small;
    $("no-preview").hidden = small;
    if (small && done.preview) {
      previewUrl = URL.createObjectURL(done.preview);
      preview.src = previewUrl;
    }
    result.hidden = false;
    afterDrawn(() => {
      performance.mark("pagesmith-drawn");
      (function more() {
        if (product !== done) return;
        if (!link(false)) {
          setTimeout(more);
          return;
        }
        performance.mark("pagesmith-linked");
        if (small && !done.preview) preview.src = previewUrl = productUrl;
      })();
    });
    return "Converted: " + done.name + ", " + number.format(done.pages) + " pages, " + number.format(done.bytes) +
        " bytes.";
  }

  function hide() {
    result.hidden = true;
    preview.removeAttribute("src");
    if (productUrl) URL.revokeObjectURL(productUrl);
    if (previewUrl && previewUrl !== productUrl) URL.revokeObjectURL(previewUrl);
    product = productUrl = previewUrl = null;
  }

  function save() {
    if (!product) return;
    const a = document.createElement("a");
    a.href = link(true);
    a.download = product.name;
    document.body.append(a);
    a.click();
    a.remove();
  }

  download.addEventListener("click", save);
  window.PagesmithProduct = {show, hide};
}
