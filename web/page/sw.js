// Keeps the player's and the composer's files so that they work offline once loaded: answered from
// the network when there is one (and kept), from the cache when not.
const CACHE = 'tunewright-player';

const FILES = ['./', 'index.html', 'composer.html', 'metal.css', 'index.js', 'tunewright.js', 'tunewright.wasm',
  'player/app.js', 'player/audio.js', 'player/drop.js', 'player/roll.js', 'player/worklet.js', 'player/tracks.js', 'player/press.js', 'player/names.js', 'player/player.css', 'gfx/volumeslider.png',
  'composer/app.js', 'composer/autosave.js', 'composer/codec.js', 'composer/editor.js', 'composer/export-worker.js', 'composer/exports.js',
  'composer/geometry.js', 'composer/keymap.js', 'composer/model.js', 'composer/painter.js', 'composer/painter-worker.js', 'composer/play.js', 'composer/render.js', 'composer/sections.js',
  'composer/sound.js', 'composer/tracklist.js', 'composer/composer.css', 'vendor/fflate.js',
  ...['box', 'draw', 'erase', 'loop', 'move', 'pan', 'section', 'values'].map((p_Name) => `composer/gestures/${p_Name}.js`),
  ...['background', 'grid', 'notes', 'overlay', 'recording', 'values'].map((p_Name) => `composer/layers/${p_Name}.js`),
  'songs/harbour-lights.org', 'songs/greensleeves.org', 'songs/drunken-sailor.org'];

self.addEventListener('install', (p_Event) => {
  p_Event.waitUntil(caches.open(CACHE).then((p_Cache) => p_Cache.addAll(FILES)).then(() => self.skipWaiting()));
});
self.addEventListener('activate', (p_Event) => p_Event.waitUntil(self.clients.claim()));
self.addEventListener('fetch', (p_Event) => {
  if (p_Event.request.method !== 'GET') return;
  p_Event.respondWith(
    fetch(p_Event.request)
      .then((p_Response) => {
        const l_Copy = p_Response.clone();
        if (p_Response.ok) caches.open(CACHE).then((p_Cache) => p_Cache.put(p_Event.request, l_Copy));
        return p_Response;
      })
      .catch(() => caches.match(p_Event.request).then((p_Hit) => p_Hit ?? Response.error())),
  );
});
