// The published page opened from the disk, as a user double-clicks it: no
// web server, and a browser with its default security and autoplay policy
// (no --allow-file-access-from-files, no --autoplay-policy; --no-sandbox
// only where Chromium runs as root, which it otherwise refuses). The pages:
// `yel publish --html` under a name full of HTML and URL characters, the
// page inside the e-mail output's zip, unpacked elsewhere, and the --html
// page of the album with music. Each must load nothing but itself, start
// the album at once (no play button) and show its first slide. The album
// with music plays silently under the player's unmute button (the browser
// lets the page start sound only after a click), which a click takes away.
//
// Usage: node offline_page_player_check.mjs YEL_BINARY
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';
import { solidBmp } from '../player/bmp.mjs';
import { pageProbe } from './page_probe.mjs';

const [yel] = process.argv.slice(2);
const failures = [];
const check = (ok, message) => { if (!ok) failures.push(message); };
const run = (args, env = {}) =>
  execFileSync(yel, args, { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env, ...env } }).toString();

// A second of 11025 Hz mono PCM: a quiet tone.
function toneWav() {
  const samples = 11025;
  const wav = Buffer.alloc(44 + samples * 2);
  wav.write('RIFF', 0); wav.writeUInt32LE(36 + samples * 2, 4); wav.write('WAVE', 8);
  wav.write('fmt ', 12); wav.writeUInt32LE(16, 16); wav.writeUInt16LE(1, 20); wav.writeUInt16LE(1, 22);
  wav.writeUInt32LE(11025, 24); wav.writeUInt32LE(22050, 28); wav.writeUInt16LE(2, 32); wav.writeUInt16LE(16, 34);
  wav.write('data', 36); wav.writeUInt32LE(samples * 2, 40);
  for (let i = 0; i < samples; i++) wav.writeInt16LE(Math.round(3000 * Math.sin(i / 5)), 44 + i * 2);
  return wav;
}

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-offline-page-'));
const userData = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-offline-browser-'));
const name = 'a"b<c> Tom & Jerry\'s #1 50%? \u00e9t\u00e9';
let context;
try {
  fs.mkdirSync(path.join(work, 'photos'));
  fs.writeFileSync(path.join(work, 'photos', 'red.bmp'), solidBmp(160, 120, [255, 0, 0]));
  fs.writeFileSync(path.join(work, 'tone.wav'), toneWav());
  const album = path.join(work, 'album.yel');
  run(['project', 'new', '--photos', path.join(work, 'photos'), '-o', album, '--seed', '1']);
  fs.mkdirSync(path.join(work, 'site'));
  run(['publish', album, '--html', path.join(work, 'site', name + '.html')]);
  run(['publish', album, '--html', path.join(work, 'site', 'music.html'), '--music', path.join(work, 'tone.wav')]);
  check(!fs.existsSync(path.join(work, 'site', 'ruffle')), 'the page needs no player folder beside it');
  // The e-mail output with a mail program that does nothing; its archive is
  // unpacked elsewhere, as the recipient does.
  run(['publish', album, '--email', 'my Album', '--folder', path.join(work, 'mail')], { YEL_MAIL_PROGRAM: 'true' });
  fs.mkdirSync(path.join(work, 'unpacked'));
  execFileSync('unzip', ['-q', path.join(work, 'mail', 'my Album', 'my Album.zip'), '-d', path.join(work, 'unpacked')]);

  const args = ['--headless', '--disable-gpu', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  context = await chromium.launchPersistentContext(userData, {
    executablePath: process.env.YEL_CHROMIUM || '/usr/bin/chromium', headless: true,
    viewport: { width: 1024, height: 768 }, deviceScaleFactor: 1, args,
  });
  const pages = [
    { what: 'the --html page', file: path.join(work, 'site', name + '.html'), music: false },
    { what: 'the page in the e-mail zip', file: path.join(work, 'unpacked', 'my Album.html'), music: false },
    { what: 'the --html page with music', file: path.join(work, 'site', 'music.html'), music: true },
  ];
  for (const { what, file, music } of pages) {
    const tab = await context.newPage();
    const log = [], requests = [];
    tab.on('console', message => log.push(`${message.type()}: ${message.text()}`));
    tab.on('pageerror', error => log.push(`error: ${error.message}`));
    tab.on('request', request => { if (!request.url().startsWith('data:')) requests.push(request.url()); });
    const url = pathToFileURL(file).href;
    const probe = await pageProbe(context, tab);
    const started = Date.now();
    await tab.goto(url);
    const size = await probe.waitFor(`(() => {
      const player = document.querySelector('ruffle-player');
      const metadata = player && player.ruffle().metadata;
      return metadata ? { width: metadata.width, height: metadata.height } : null;
    })()`, 90000);
    check(size !== null, `${what}: Ruffle did not load the movie\n${log.join('\n')}`);
    if (!size) continue;
    const loadedMs = Date.now() - started;
    check(size.width === 720 && size.height === 540, `${what}: Ruffle reports a ${size.width}x${size.height} movie`);
    check(requests.length === 1 && requests[0] === url, `${what}: the page loaded more than itself: ${requests.join(', ')}`);
    const overlays = await probe.overlays('ruffle-player');
    check(!overlays.activated, `${what}: the page had a user gesture, so the autoplay policy was not tested`);
    check(!overlays.play, `${what}: the player waits behind its play button instead of starting`);
    check(overlays.unmute === music, `${what}: the unmute button is ${overlays.unmute ? 'shown' : 'not shown'}`);
    console.log(`${what}: ${fs.statSync(file).size} bytes, movie loaded ${loadedMs} ms after opening`);
    // The red photo fills the slide once its transition has run (under the
    // unmute button's shade with music).
    const box = await tab.locator('ruffle-player').boundingBox();
    let red = false;
    for (let i = 0; i < 150 && !red; i++) {
      const rgba = await probe.pixel(Math.round(box.x + box.width * 0.3), Math.round(box.y + box.height * 0.3));
      red = rgba[0] > (music ? 50 : 230) && rgba[1] < 30 && rgba[2] < 30;
      if (!red) await tab.waitForTimeout(150);
    }
    check(red, `${what}: the photo never showed in the player\n${log.join('\n')}`);
    if (music) {
      await tab.mouse.click(box.x + 10, box.y + 10);
      const unmuted = await probe.waitFor(`(() => {
        const e = document.querySelector('ruffle-player').shadowRoot.getElementById('unmute-overlay');
        return getComputedStyle(e).display === 'none' ? true : null;
      })()`, 10000);
      check(unmuted, `${what}: a click did not take the unmute button away`);
    }
    await tab.close();
  }
} finally {
  if (context) await context.close();
  fs.rmSync(work, { recursive: true, force: true });
  fs.rmSync(userData, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('offline page check: both pages play from file: at once');
