// Player harness: plays SWF movies in Ruffle inside headless Chromium, so that
// tests can take screenshots, read pixels at chosen points and collect trace()
// output. Everything is served from 127.0.0.1; nothing comes from the network.
// In stepping mode (startPlayer({ stepping: true })) the page's clock only
// moves when the test steps it, one movie frame at a time, and the picture of
// a chosen frame is read straight from the player's canvas.
import http from 'node:http';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';
import { chromium } from 'playwright-core';

const require = createRequire(import.meta.url);
const ruffleDir = path.dirname(require.resolve('@ruffle-rs/ruffle/package.json'));
const chromiumPath = process.env.YEL_CHROMIUM || '/usr/bin/chromium';

const contentTypes = { '.js': 'text/javascript', '.wasm': 'application/wasm', '.html': 'text/html', '.map': 'application/json' };

// Ruffle picks its drawing backend itself (a WebGL one here) unless
// YEL_RUFFLE_RENDERER or the renderer option of startPlayer names one, such
// as "webgl" or "canvas" (the backend it falls back to where WebGL is
// missing).
const defaultRenderer = process.env.YEL_RUFFLE_RENDERER || '';

// In stepping mode the page's clock stands still: performance.now() and the
// timestamps of animation frames are a virtual time that only yelStep()
// moves, and animation-frame callbacks wait in a queue until it runs them.
// Ruffle's frame loop then runs one movie frame per step, exactly, however
// slowly the machine draws.
const steppingClock = `<script>
(() => {
  let now = 0, nextId = 1, queue = [];
  Performance.prototype.now = function () { return now; };
  window.requestAnimationFrame = callback => { const id = nextId++; queue.push({ id, callback }); return id; };
  window.cancelAnimationFrame = id => { queue = queue.filter(entry => entry.id !== id); };
  // A new player starts its clock at 0 (it would count the time since the
  // page's start as time owed, and run several frames in its first step).
  window.yelResetClock = () => { now = 0; queue = []; };
  // Moves the clock by ms and runs the callbacks that were waiting.
  window.yelAdvance = ms => {
    now += ms;
    const due = queue;
    queue = [];
    for (const entry of due) entry.callback(now);
    return due.length;
  };
})();
</script>`;

const page = (renderer, stepping) => `<!doctype html>
<html><head><meta charset="utf-8"><style>html,body{margin:0;padding:0;background:#808080}#stage{position:absolute;left:0;top:0}</style>
${stepping ? steppingClock : ''}
<script>window.RufflePlayer = { config: { autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
  contextMenu: "off", letterbox: "off", allowScriptAccess: true, logLevel: "warn",${renderer ? ` preferredRenderer: ${JSON.stringify(renderer)},` : ''}
  warnOnUnsupportedContent: false, openUrlMode: "deny" } };</script>
<script src="/ruffle/ruffle.js"></script></head>
<body><div id="stage"></div>
<script>
window.yelTraces = [];
window.yelCommands = [];
window.yelLoad = async (base64, width, height) =>
  window.yelLoadBytes(Uint8Array.from(atob(base64), c => c.charCodeAt(0)).buffer, width, height);
// The movie the test server holds (large movies travel faster this way).
window.yelLoadServed = async (width, height) =>
  window.yelLoadBytes(await (await fetch('/movie')).arrayBuffer(), width, height);
window.yelLoadBytes = async (bytes, width, height) => {
  const stage = document.getElementById('stage');
  stage.innerHTML = '';
  if (window.yelResetClock) window.yelResetClock();
  window.yelTraces = [];
  window.yelCommands = [];
  const player = window.RufflePlayer.newest().createPlayer();
  player.style.width = width + 'px';
  player.style.height = height + 'px';
  player.onFSCommand = (command, args) => { window.yelCommands.push([command, args]); return true; };
  stage.appendChild(player);
  await player.ruffle().load({ data: bytes });
  player.traceObserver = text => window.yelTraces.push(text);
  window.yelPlayer = player;
};
// Decodes a picture (base64; PNG unless another type is given) and returns
// the RGBA of the given points.
window.yelPixels = async (pngBase64, points, type = 'image/png') => {
  const image = new Image();
  image.src = 'data:' + type + ';base64,' + pngBase64;
  await image.decode();
  const canvas = document.createElement('canvas');
  canvas.width = image.width; canvas.height = image.height;
  const context = canvas.getContext('2d');
  context.drawImage(image, 0, 0);
  return points.map(([x, y]) => Array.from(context.getImageData(x, y, 1, 1).data));
};
// The player's drawing right now, read from its canvas in the same task that
// drew it (a WebGL canvas is cleared once shown): { width, height, data }
// with data the RGBA rows, top row first.
window.yelGrab = () => {
  const player = window.yelPlayer;
  const source = player && player.shadowRoot && player.shadowRoot.querySelector('canvas');
  if (!source) return null;
  const { width, height } = source;
  // The WebGL context's own pixels (rows bottom up), else through a 2-D canvas.
  const gl = source.getContext('webgl2') || source.getContext('webgl');
  if (!gl) {
    const canvas = document.createElement('canvas');
    canvas.width = width; canvas.height = height;
    const context = canvas.getContext('2d');
    context.drawImage(source, 0, 0);
    return { width, height, data: context.getImageData(0, 0, width, height).data };
  }
  const bound = gl.getParameter(gl.FRAMEBUFFER_BINDING);
  gl.bindFramebuffer(gl.FRAMEBUFFER, null);
  const rows = new Uint8Array(width * height * 4);
  gl.readPixels(0, 0, width, height, gl.RGBA, gl.UNSIGNED_BYTE, rows);
  gl.bindFramebuffer(gl.FRAMEBUFFER, bound);
  const data = new Uint8Array(rows.length), stride = width * 4;
  for (let y = 0; y < height; y++) data.set(rows.subarray((height - 1 - y) * stride, (height - y) * stride), y * stride);
  return { width, height, data };
};
// One step: moves the clock, runs the player, and takes the picture when the
// last frame that ran is one of frames (or always with always). With
// compare, the picture is compared here with the test's reference picture
// of that frame (GET /reference), which costs far less than sending the
// picture out; it is kept for yelSendKept either way.
window.yelStep = async (ms, always, frames, compare) => {
  const before = window.yelTraces.length;
  window.yelAdvance(ms);
  const ran = window.yelTraces.slice(before).filter(t => t.startsWith('\u0001yel-frame '))
    .map(t => Number(t.slice('\u0001yel-frame '.length)));
  const last = ran.length ? ran[ran.length - 1] : 0;
  const picture = always || frames.includes(last) ? window.yelGrab() : null;
  window.yelKept = picture;
  if (!picture) return { ran, picture: null };
  const result = { frame: last, width: picture.width, height: picture.height };
  if (compare) {
    const response = await fetch('/reference?frame=' + last);
    if (response.ok) {
      const reference = { width: Number(response.headers.get('x-width')), height: Number(response.headers.get('x-height')),
        data: new Uint8Array(await response.arrayBuffer()) };
      const { comparePictures } = await import('/harness/compare.mjs');
      result.comparison = comparePictures(picture, reference);
    }
  } else {
    await window.yelSendKept();
  }
  return { ran, picture: result };
};
window.yelSendKept = () => fetch('/grab', { method: 'POST', body: window.yelKept.data });
</script></body></html>`;

function serve(renderer, stepping, exchange) {
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://127.0.0.1');
    if (url.pathname === '/reference' && exchange.reference) {
      const picture = exchange.reference(Number(url.searchParams.get('frame')));
      if (!picture) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { 'Content-Type': 'application/octet-stream', 'X-Width': picture.width, 'X-Height': picture.height });
      response.end(picture.data);
      return;
    }
    if (url.pathname === '/harness/compare.mjs') {
      response.writeHead(200, { 'Content-Type': 'text/javascript' });
      fs.createReadStream(new URL('./compare.mjs', import.meta.url)).pipe(response);
      return;
    }
    if (url.pathname === '/movie' && exchange.movie) {
      response.writeHead(200, { 'Content-Type': 'application/x-shockwave-flash' });
      response.end(exchange.movie);
      return;
    }
    if (url.pathname === '/grab' && request.method === 'POST') {
      const chunks = [];
      request.on('data', chunk => chunks.push(chunk));
      request.on('end', () => {
        exchange.grabs.push(Buffer.concat(chunks));
        response.writeHead(204);
        response.end();
      });
      return;
    }
    if (url.pathname === '/favicon.ico') {
      response.writeHead(204);
      response.end();
      return;
    }
    if (url.pathname === '/' || url.pathname === '/index.html') {
      response.writeHead(200, { 'Content-Type': 'text/html' });
      response.end(page(renderer, stepping));
      return;
    }
    if (url.pathname.startsWith('/ruffle/')) {
      const file = path.join(ruffleDir, path.normalize(url.pathname.slice('/ruffle/'.length)));
      if (file.startsWith(ruffleDir) && fs.existsSync(file)) {
        response.writeHead(200, { 'Content-Type': contentTypes[path.extname(file)] || 'application/octet-stream' });
        fs.createReadStream(file).pipe(response);
        return;
      }
    }
    response.writeHead(404);
    response.end();
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Reads the stage size (pixels) from an SWF header, compressed or not.
export async function movieSize(bytes) {
  let body = bytes;
  if (bytes[0] === 0x43) {
    const zlib = await import('node:zlib');
    body = Buffer.concat([bytes.subarray(0, 8), zlib.inflateSync(bytes.subarray(8))]);
  }
  let bit = 8 * 8;
  const read = n => {
    let value = 0;
    for (let i = 0; i < n; i++, bit++) value = (value << 1) | ((body[bit >> 3] >> (7 - (bit & 7))) & 1);
    return value;
  };
  const nbits = read(5);
  const signed = () => { const v = read(nbits); return v & (1 << (nbits - 1)) ? v - (1 << nbits) : v; };
  const xmin = signed(), xmax = signed(), ymin = signed(), ymax = signed();
  return { width: Math.round((xmax - xmin) / 20), height: Math.round((ymax - ymin) / 20) };
}

// The movie with a script that stops it on frame `frame` (1-based) and traces
// a marker there, so that a test can wait for exactly that frame.
export const frameMarker = frame => `\u0001yel-frame ${frame}`;
export async function stopAtFrame(bytes, frame) {
  let file = Buffer.from(bytes);
  if (file[0] === 0x43) {
    const zlib = await import('node:zlib');
    file = Buffer.concat([Buffer.from('FWS'), file.subarray(3, 8), zlib.inflateSync(file.subarray(8))]);
  }
  const nbits = file[8] >> 3;
  let offset = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  const marker = Buffer.from(frameMarker(frame) + '\0', 'utf8');
  const actions = Buffer.concat([Buffer.from([0x96, 0, 0, 0]), marker, Buffer.from([0x26, 0x07, 0x00])]);
  actions.writeUInt16LE(marker.length + 1, 1);
  const doAction = Buffer.concat([Buffer.from([0x3f, 0x03, 0, 0, 0, 0]), actions]);
  doAction.writeUInt32LE(actions.length, 2);
  let shown = 0;
  while (offset + 2 <= file.length) {
    const word = file.readUInt16LE(offset);
    const code = word >> 6;
    let length = word & 0x3f, headerLength = 2;
    if (length === 0x3f) { length = file.readUInt32LE(offset + 2); headerLength = 6; }
    if (code === 1 && ++shown === frame) {
      const out = Buffer.concat([file.subarray(0, offset), doAction, file.subarray(offset)]);
      out.writeUInt32LE(out.length, 4);
      return out;
    }
    if (code === 0) break;
    offset += headerLength + length;
  }
  throw new Error(`the movie has only ${shown} frames, not ${frame}`);
}

// The movie (made uncompressed) without the DoAction tags of its first frame:
// an album's loading screen stays up without its preloader.
export function withoutLoadingScript(bytes) {
  let file = Buffer.from(bytes);
  if (file[0] === 0x43) file = Buffer.concat([Buffer.from('FWS'), file.subarray(3, 8), zlib.inflateSync(file.subarray(8))]);
  const nbits = file[8] >> 3;
  let offset = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  const parts = [file.subarray(0, offset)];
  let firstFrame = true;
  while (offset + 2 <= file.length) {
    const word = file.readUInt16LE(offset);
    const code = word >> 6;
    let length = word & 0x3f, header = 2;
    if (length === 0x3f) { length = file.readUInt32LE(offset + 2); header = 6; }
    const end = offset + header + length;
    if (!(firstFrame && code === 12)) parts.push(file.subarray(offset, end));
    if (code === 1) firstFrame = false;
    offset = end;
  }
  const out = Buffer.concat(parts);
  out.writeUInt32LE(out.length, 4);
  return out;
}

// The movie (made uncompressed) with a script at the end of every frame of
// its main timeline that traces that frame's marker, so that a stepping
// player can tell which frame each step has run. Also gives the header's
// frame rate (frames per second) and frame count.
export function withFrameMarkers(bytes) {
  let file = Buffer.from(bytes);
  if (file[0] === 0x43) file = Buffer.concat([Buffer.from('FWS'), file.subarray(3, 8), zlib.inflateSync(file.subarray(8))]);
  if (file.length < 9 || file.toString('latin1', 0, 3) !== 'FWS') throw new Error('not an SWF movie');
  const nbits = file[8] >> 3;
  let offset = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  const frameRate = file.readUInt16LE(offset - 4) / 256;
  const frameCount = file.readUInt16LE(offset - 2);
  const parts = [file.subarray(0, offset)];
  let shown = 0;
  while (offset + 2 <= file.length) {
    const word = file.readUInt16LE(offset);
    const code = word >> 6;
    let length = word & 0x3f, header = 2;
    if (length === 0x3f) { length = file.readUInt32LE(offset + 2); header = 6; }
    const end = Math.min(file.length, offset + header + length);
    if (code === 1) {
      const marker = Buffer.from(frameMarker(++shown) + '\0', 'utf8');
      const actions = Buffer.concat([Buffer.from([0x96, 0, 0, 0]), marker, Buffer.from([0x26, 0x00])]);
      actions.writeUInt16LE(marker.length + 1, 1);
      const doAction = Buffer.concat([Buffer.from([0x3f, 0x03, 0, 0, 0, 0]), actions]);
      doAction.writeUInt32LE(actions.length, 2);
      parts.push(doAction);
    }
    parts.push(file.subarray(offset, end));
    if (code === 0) break;
    offset = end;
  }
  const out = Buffer.concat(parts);
  out.writeUInt32LE(out.length, 4);
  return { movie: out, frameRate, frameCount };
}

export async function startPlayer({ renderer = defaultRenderer, stepping = false } = {}) {
  const exchange = { movie: null, grabs: [] };
  const server = await serve(renderer, stepping, exchange);
  const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-player-'));
  const context = await chromium.launchPersistentContext(userData, {
    executablePath: chromiumPath,
    headless: true,
    viewport: { width: 1280, height: 1024 },
    deviceScaleFactor: 1,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required'],
  });
  const tab = context.pages()[0] || await context.newPage();
  const console_ = [];
  tab.on('console', message => console_.push(`${message.type()}: ${message.text()}`));
  tab.on('pageerror', error => console_.push(`pageerror: ${error.message}`));
  await tab.goto(`http://127.0.0.1:${server.address().port}/`);
  let size = { width: 0, height: 0 };
  let frameTime = 1000 / 24;
  const received = ({ width, height }) => {
    if (exchange.grabs.length !== 1 || exchange.grabs[0].length !== width * height * 4)
      throw new Error('the picture did not reach the test');
    return exchange.grabs[0];
  };
  const hideNotices = () => tab.evaluate(() => {
    for (const player of document.querySelectorAll('ruffle-player, ruffle-object, ruffle-embed')) {
      const notice = player.shadowRoot && player.shadowRoot.getElementById('hardware-acceleration-modal');
      if (notice) notice.style.display = 'none';
    }
  });

  return {
    // Loads movie bytes; resolves once Ruffle has taken the movie.
    async load(bytes) {
      size = await movieSize(bytes);
      await tab.evaluate(([data, w, h]) => window.yelLoad(data, w, h),
        [Buffer.from(bytes).toString('base64'), size.width, size.height]);
    },
    // Loads the movie so that it stops on frame `frame` and waits until it
    // has got there.
    async loadAtFrame(bytes, frame, timeoutMs = 30000) {
      await this.load(await stopAtFrame(bytes, frame));
      await tab.waitForFunction(m => window.yelTraces.includes(m), frameMarker(frame), { timeout: timeoutMs, polling: 20 });
      await tab.waitForTimeout(50);  // let the frame be drawn
    },
    size: () => size,
    // Stepping mode (startPlayer({ stepping: true })): loads the movie with
    // frame markers, shown at width x height (default: its stage size), and
    // returns its frame rate and frame count. The clock stands still until
    // step() moves it.
    async loadStepping(bytes, { width, height } = {}) {
      const marked = withFrameMarkers(bytes);
      size = await movieSize(marked.movie);
      if (width && height) size = { width, height };
      frameTime = 1000 / (marked.frameRate > 0 ? marked.frameRate : 1);
      exchange.movie = marked.movie;
      try {
        await tab.evaluate(([w, h]) => window.yelLoadServed(w, h), [size.width, size.height]);
      } finally {
        exchange.movie = null;
      }
      return marked;
    },
    // Moves the clock by one frame time (or `frames` of them; a little more,
    // so that rounding never leaves a frame waiting) and runs the player's
    // animation frame: one drawing however many frames run.
    // Returns { ran, picture }: the main timeline's frames that ran in this
    // step, in order, and when grab is set or the last frame that ran is one
    // of grabFrames, the picture drawn in the same step. With
    // reference(frame) (returning { width, height, data } or null), the
    // picture is compared with the reference in the page (compare.mjs) and
    // comes back as { frame, width, height, comparison } without its pixels
    // (kept() fetches them); otherwise as { frame, width, height, data:
    // RGBA rows }.
    async step({ grab = false, grabFrames = [], reference = null, frames = 1, ms } = {}) {
      exchange.reference = reference;
      exchange.grabs = [];
      try {
        const result = await tab.evaluate(([m, g, frames, compare]) => window.yelStep(m, g, frames, compare),
          [ms ?? frameTime * frames * 1.0001, grab, grabFrames, !!reference]);
        if (result.picture && !reference) result.picture.data = received(result.picture);
        return result;
      } finally {
        exchange.reference = null;
      }
    },
    // The pixels of the picture the last step took.
    async kept() {
      exchange.grabs = [];
      const picture = await tab.evaluate(async () => {
        if (!window.yelKept) return null;
        await window.yelSendKept();
        return { width: window.yelKept.width, height: window.yelKept.height };
      });
      return picture && { ...picture, data: received(picture) };
    },
    async grab() { return (await this.step({ grab: true, ms: 0 })).picture; },
    wait: ms => tab.waitForTimeout(ms),
    // PNG of the stage.
    async screenshot(file) {
      const png = await tab.screenshot({ clip: { x: 0, y: 0, width: size.width, height: size.height } });
      if (file) fs.writeFileSync(file, png);
      return png;
    },
    // RGBA of each [x, y] point of the stage, from one screenshot.
    async pixels(points) {
      const png = await this.screenshot();
      return tab.evaluate(([data, p]) => window.yelPixels(data, p), [png.toString('base64'), points]);
    },
    // RGBA of each [x, y] point of a picture file's bytes (any type the
    // browser decodes, such as 'image/jpeg').
    imagePixels: (bytes, type, points) =>
      tab.evaluate(([data, t, p]) => window.yelPixels(data, p, t), [Buffer.from(bytes).toString('base64'), type, points]),
    // trace() output, without the harness's own frame markers.
    traces: () => tab.evaluate(() => window.yelTraces.filter(t => !t.startsWith('\u0001yel-frame '))),
    commands: () => tab.evaluate(() => window.yelCommands.slice()),
    console: () => console_.slice(),
    // The pointer over the stage (stage pixels): move(x, y, options), down(),
    // up(). The notice that Ruffle opens at the first pointer movement over a
    // player without hardware acceleration is kept hidden: it would cover
    // the stage.
    mouse: {
      move: async (x, y, options) => { await hideNotices(); await tab.mouse.move(x, y, options); },
      down: async () => { await hideNotices(); await tab.mouse.down(); },
      up: async () => { await hideNotices(); await tab.mouse.up(); },
    },
    // Key presses (names as Playwright's, such as 'ArrowLeft' or 'a'); the
    // player has the focus once the stage was clicked.
    keyboard: {
      press: async key => { await hideNotices(); await tab.keyboard.press(key); },
    },
    async close() {
      await context.close();
      server.close();
      fs.rmSync(userData, { recursive: true, force: true });
    },
  };
}
