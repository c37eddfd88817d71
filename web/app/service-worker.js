// Keeps the page's own files, and only them, so that Pagesmith opens and
// converts offline after one visit. The cache's name changes with every
// release (make_app_files.py writes it from the files' bytes), so a new
// release is installed whole beside the old one, and the old one is deleted
// only once the new one is complete.
'use strict';

const CACHE = '@CACHE_NAME@';
const FILES = [/* @FILES@ */];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(['./', ...FILES])).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((name) => name.startsWith('pagesmith-') && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The page's files from the cache; anything else (there is nothing else the
// page asks for) goes to the network untouched and is not kept.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE).then((cache) => cache.match(request, { ignoreSearch: true })
    .then((hit) => hit || (request.mode === 'navigate' ? cache.match('index.html') : undefined))
    .then((hit) => hit || fetch(request))));
});
