// What the page adds when a server gives it an origin of its own: the app's
// manifest, the service worker that keeps its files for offline use, and
// the file handler's launches. Opened from disk (file://) it adds nothing,
// as a manifest or a worker cannot work there; the page is then as before.
'use strict';

(() => {
  const served = location.protocol === 'http:' || location.protocol === 'https:';

  // An export opened with Pagesmith from the file manager becomes the source,
  // as if picked: the page's own change handling does the rest.
  const launch = async (params) => {
    const handle = params && params.files && params.files[0];
    if (!handle) return;
    const file = await handle.getFile();
    const source = document.getElementById('source');
    const one = new DataTransfer();
    one.items.add(file);
    source.files = one.files;
    source.dispatchEvent(new Event('change', { bubbles: true }));
    document.getElementById('status').textContent = `Source file: ${file.name}`;
  };
  window.PagesmithApp = { launch };

  if (!served) return;
  const manifest = document.createElement('link');
  manifest.rel = 'manifest';
  manifest.href = 'manifest.webmanifest';
  document.head.append(manifest);
  if ('launchQueue' in window) window.launchQueue.setConsumer(launch);
  if ('serviceWorker' in navigator) {
    navigator.serviceWorker.register('service-worker.js').catch((error) => {
      // Without the worker the page still converts; it only will not open offline.
      console.warn(`Pagesmith works online only: ${error}`);
    });
  }
})();
