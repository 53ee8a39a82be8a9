// Qt WebEngine's fetch() refuses the player's own URL scheme, but Ruffle
// loads its WebAssembly with fetch. Requests for that scheme are answered
// with an XMLHttpRequest, which the scheme allows; all others go to the
// browser's fetch. Loaded before ruffle.js.
'use strict';
(() => {
  const browserFetch = window.fetch.bind(window);
  const typeByExtension = { '.wasm': 'application/wasm', '.js': 'text/javascript', '.swf': 'application/x-shockwave-flash' };
  window.fetch = (input, init) => {
    const text = typeof input === 'string' ? input : (input instanceof Request ? input.url : String(input));
    const url = new URL(text, document.baseURI);
    if (url.protocol !== location.protocol) return browserFetch(input, init);
    return new Promise((resolve, reject) => {
      const request = new XMLHttpRequest();
      request.open('GET', url.href);
      request.responseType = 'arraybuffer';
      request.onload = () => {
        const extension = url.pathname.slice(url.pathname.lastIndexOf('.'));
        const type = typeByExtension[extension] || request.getResponseHeader('Content-Type') || 'application/octet-stream';
        const status = request.status >= 200 && request.status <= 599 ? request.status : 200;
        resolve(new Response(request.response, { status, headers: { 'Content-Type': type } }));
      };
      request.onerror = () => reject(new TypeError('cannot load ' + url.href));
      request.send();
    });
  };
})();
