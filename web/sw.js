// The page's service worker: it keeps the page's files in a cache, so that
// the page opens and converts with the network off, and as an installed app.
//
// The build writes in VERSION, drawn from the bytes of every cached file,
// and FILES. So a page published anew comes with a new sw.js: the browser,
// which checks sw.js against the server whenever the page is opened online,
// installs the new worker, which fetches the new files into a cache of its
// own, takes over at once and deletes the old caches. The page that is open
// keeps the version it was loaded with; the next load shows the new one.
const VERSION = '@VELTRANE_SITE_VERSION@';
const FILES = ['@VELTRANE_SITE_FILES@'];
const PREFIX = 'veltrane-';
const CACHE = PREFIX + VERSION;

self.addEventListener('install', (event) => {
  // Past any HTTP cache: the files must be the ones this version names.
  event.waitUntil(caches.open(CACHE)
    .then((cache) => cache.addAll(FILES.map((file) => new Request(file, { cache: 'reload' }))))
    .then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names
      .filter((name) => name.startsWith(PREFIX) && name !== CACHE)
      .map((name) => caches.delete(name))))
    .then(() => self.clients.claim()));
});

// The page's own files from the cache; anything else (nothing the page asks
// for) from the network as usual.
self.addEventListener('fetch', (event) => {
  const request = event.request;
  if (request.method !== 'GET' || new URL(request.url).origin !== self.location.origin) return;
  event.respondWith(caches.open(CACHE)
    .then((cache) => cache.match(request, { ignoreSearch: true }))
    .then((cached) => cached || fetch(request)));
});
