// The published HTML page for a web server in a browser: `yel publish
// --html --html-folder` with a file name full of characters that mean
// something in HTML and in URLs. The
// published folder alone (the page, the movie and the player in ruffle/) is
// served over HTTP and the page opened in headless Chromium as it is: no
// Flash plug-in, no extension, no player settings of the test. The page's
// own script line loads the player, which takes over its <object>; the
// check requires that the browser asked for exactly the movie file that was
// written and the player beside the page, that Ruffle loaded the movie (its
// stage size) and started it at once under the browser's default autoplay
// policy (no play button) and showed the album's first slide, that the page's title
// and the object's id read back as the plain name.
//
// Usage: node html_page_player_check.mjs YEL_BINARY
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';
import { solidBmp } from '../player/bmp.mjs';
import { pageProbe } from './page_probe.mjs';

const [yel] = process.argv.slice(2);
const types = { '.js': 'text/javascript', '.wasm': 'application/wasm', '.html': 'text/html',
  '.swf': 'application/x-shockwave-flash' };
const failures = [];
const check = (ok, message) => { if (!ok) failures.push(message); };

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-html-page-'));
const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-html-browser-'));
const name = 'a"b<c> Tom & Jerry\'s #1 50%? \u00e9t\u00e9';
const requests = [];
let server, context;
try {
  fs.mkdirSync(path.join(work, 'photos'));
  fs.mkdirSync(path.join(work, 'site'));
  fs.writeFileSync(path.join(work, 'photos', 'red.bmp'), solidBmp(160, 120, [255, 0, 0]));
  const album = path.join(work, 'album.yel');
  execFileSync(yel, ['project', 'new', '--photos', path.join(work, 'photos'), '-o', album, '--seed', '1'], { stdio: ['ignore', 'pipe', 'pipe'] });
  execFileSync(yel, ['publish', album, '--html', path.join(work, 'site', name + '.html'), '--html-folder'], { stdio: ['ignore', 'pipe', 'pipe'] });
  const movie = fs.readFileSync(path.join(work, 'site', name + '.swf'));

  check(fs.existsSync(path.join(work, 'site', 'ruffle', 'ruffle.js')), 'no player beside the page');

  // Serves the published folder by decoded path, as a static web server does.
  const site = path.join(work, 'site');
  server = http.createServer((request, response) => {
    const pathname = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    requests.push(pathname);
    const file = path.join(site, path.normalize(pathname));
    if (file.startsWith(site + path.sep) && fs.existsSync(file) && fs.statSync(file).isFile()) {
      response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      fs.createReadStream(file).pipe(response);
    } else {
      response.writeHead(404);
      response.end();
    }
  });
  await new Promise(resolve => server.listen(0, '127.0.0.1', resolve));
  const origin = `http://127.0.0.1:${server.address().port}`;

  context = await chromium.launchPersistentContext(userData, {
    executablePath: process.env.YEL_CHROMIUM || '/usr/bin/chromium', headless: true,
    viewport: { width: 1024, height: 768 }, deviceScaleFactor: 1,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const tab = context.pages()[0] || await context.newPage();
  const log = [];
  tab.on('console', message => log.push(`${message.type()}: ${message.text()}`));
  const probe = await pageProbe(context, tab);
  await tab.goto(`${origin}/${encodeURIComponent(name + '.html')}`);

  // The page as the browser reads it (the player replaces its object soon
  // after loading).
  const page = await probe.evaluate(`(async () => {
    const text = await (await fetch(location.href)).text();
    const doc = new DOMParser().parseFromString(text, 'text/html');
    return {
      title: doc.title,
      id: doc.querySelector('object')?.id,
      param: new URL(doc.querySelector('param[name=movie]').getAttribute('value'), location.href).pathname,
      embed: new URL(doc.querySelector('embed').getAttribute('src'), location.href).pathname,
    };
  })()`);
  check(page.title === name, `title reads ${JSON.stringify(page.title)}`);
  check(page.id === name, `object id reads ${JSON.stringify(page.id)}`);
  for (const [what, url] of [['movie parameter', page.param], ['embed source', page.embed]])
    check(decodeURIComponent(url) === '/' + name + '.swf', `${what} is ${url}`);

  check(requests.includes('/ruffle/ruffle.js'), `the page did not load its player: ${requests.join(', ')}`);
  const size = await probe.waitFor(`(() => {
    const player = document.querySelector('ruffle-object, ruffle-embed');
    const metadata = player && (player.ruffle ? player.ruffle().metadata : player.metadata);
    return metadata ? { width: metadata.width, height: metadata.height } : null;
  })()`, 60000);
  check(size !== null, `Ruffle did not load the movie\n${log.join('\n')}`);
  check(requests.includes('/' + name + '.swf'), `the movie was not requested: ${requests.join(', ')}`);
  if (size) {
    const header = movie[0] === 0x43 ? 'compressed' : 'plain';
    check(size.width === 720 && size.height === 540, `Ruffle reports a ${size.width}x${size.height} ${header} movie`);
    const overlays = await probe.overlays('ruffle-object, ruffle-embed');
    check(!overlays.activated, 'the page had a user gesture, so the autoplay policy was not tested');
    check(!overlays.play, 'the player waits behind its play button instead of starting');
    check(!overlays.unmute, 'an album without music shows the unmute button');
    // The red photo fills the slide once its transition has run.
    const box = await tab.locator('ruffle-object, ruffle-embed').first().boundingBox();
    let red = false;
    for (let i = 0; i < 100 && !red && box; i++) {
      const rgba = await probe.pixel(Math.round(box.x + box.width / 2), Math.round(box.y + box.height / 2));
      red = rgba[0] > 230 && rgba[1] < 30 && rgba[2] < 30;
      if (!red) await tab.waitForTimeout(150);
    }
    check(red, 'the photo never showed in the middle of the player');
    if (process.env.YEL_SCREENSHOT) await tab.screenshot({ path: process.env.YEL_SCREENSHOT });
  }
} finally {
  if (context) await context.close();
  if (server) server.close();
  fs.rmSync(work, { recursive: true, force: true });
  fs.rmSync(userData, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('html page check: the page names its movie, Ruffle plays it');
