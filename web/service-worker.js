// The page's service worker, for a page served over http(s) (a tablet in the field): the
// page's files kept in one cache named by their contents, so that the page opens and converts
// without a network; a page opened from a folder (file://) has no service worker and needs
// none. web/make_page.mjs writes the names and the contents' hash below.
'use strict';

const CACHE = 'vortan-page-@HASH@';
const FILES = @FILES@;

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)).then(() => self.skipWaiting()));
});

// A new page's files replace the old ones: caches of earlier pages are removed.
self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith('vortan-page-') && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The page's own files from the cache (the folder's address as its index.html); anything else,
// and what the cache lacks, from the network as without a service worker.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE).then(async (cache) => {
    const url = new URL(request.url);
    const own = url.pathname.endsWith('/') ? new URL('index.html', url) : url;
    return (await cache.match(own.href, { ignoreSearch: true })) || fetch(request);
  }));
});
