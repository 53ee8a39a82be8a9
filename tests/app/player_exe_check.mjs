// A published executable plays its album: `yel publish --exe` of the demo
// album, then the executable's --snapshot at a frame inside the first
// slide's hold, and yel-player's --snapshot of the same movie as a plain
// SWF, both compared with that frame played by the test harness (Ruffle in
// headless Chromium) at a grid of points; then the executable started as a
// window keeps playing until it is stopped.
//
// Usage: node player_exe_check.mjs YEL DEMO.yel OUTPUT_DIR
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startPlayer } from '../player/player.mjs';

const [yel, demo, output] = process.argv.slice(2);
const player = path.join(path.dirname(yel), 'yel-player');
const failures = [];
const fail = message => failures.push(message);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-player-exe-'));
// Snapshots run as a user's would without a display: yel-player starts
// itself under xvfb-run and draws with WebGL (Mesa's software GL). The
// sanitizer build cannot check leaks there: Mesa's driver and D-Bus are
// unloaded before the check and their allocations cannot be told apart; the
// offscreen tests check the player's own code for leaks.
const snapshotEnv = { ...process.env, ASAN_OPTIONS: 'detect_leaks=0' };
for (const name of ['DISPLAY', 'WAYLAND_DISPLAY', 'QT_QPA_PLATFORM', 'YEL_PLAYER_NO_XVFB']) delete snapshotEnv[name];
const windowEnv = { ...process.env, QT_QPA_PLATFORM: 'offscreen' };
fs.mkdirSync(output, { recursive: true });

// The first slide's hold: after the loading frame and the slide's
// transition, half its hold time in.
const project = fs.readFileSync(demo, 'utf8');
const number = tag => Number(project.match(new RegExp(`<${tag}>([0-9.,]+)</${tag}>`))[1].replace(',', '.'));
const rate = number('FrameRate');
const frame = 1 + Math.round(number('Speed') * rate) + Math.round(number('Duration') * rate / 2);

// A 7 x 5 grid; each point is the mean of its 3 x 3 neighbourhood, so that
// the two renderers' smoothing of the photo's edges does not count.
const grid = [];
for (let gx = 1; gx <= 7; ++gx) for (let gy = 1; gy <= 5; ++gy) grid.push([gx / 8, gy / 6]);
async function gridColors(harness, png, width, height) {
  const points = [];
  for (const [fx, fy] of grid) {
    const x = Math.round(fx * width), y = Math.round(fy * height);
    for (let dx = -1; dx <= 1; ++dx) for (let dy = -1; dy <= 1; ++dy) points.push([x + dx, y + dy]);
  }
  const pixels = await harness.imagePixels(png, 'image/png', points);
  const means = [];
  for (let i = 0; i < pixels.length; i += 9) {
    const group = pixels.slice(i, i + 9);
    means.push([0, 1, 2].map(c => group.reduce((sum, p) => sum + p[c], 0) / 9));
  }
  return means;
}
const near = (a, b, tolerance = 40) => a.every((v, i) => Math.abs(v - b[i]) <= tolerance);

function run(program, args) {
  try {
    execFileSync(program, args, { env: snapshotEnv, stdio: ['ignore', 'pipe', 'pipe'], timeout: 300000 });
  } catch (error) {
    fail(`${path.basename(program)} ${args.join(' ')}: ${error.status ?? error.signal} ${error.stderr}`);
  }
}

let harness;
try {
  const exe = path.join(work, 'demo album.exe');
  execFileSync(yel, ['publish', demo, '--exe', exe], { stdio: ['ignore', 'pipe', 'pipe'] });
  const bytes = fs.readFileSync(exe);
  const trailer = bytes.subarray(bytes.length - 8);
  if (trailer.readUInt32LE(0) !== 0xFA123456) throw new Error('the executable does not end with the marker');
  const movie = bytes.subarray(bytes.length - 8 - trailer.readUInt32LE(4), bytes.length - 8);
  const swf = path.join(work, 'demo album.swf');
  fs.writeFileSync(swf, movie);

  harness = await startPlayer();
  await harness.loadAtFrame(movie, frame, 120000);
  const { width, height } = harness.size();
  const expected = await gridColors(harness, await harness.screenshot(path.join(output, 'exe-harness.png')), width, height);
  // The photo shows: the middle of the frame is neither black (the album's
  // background) nor one flat colour.
  const middle = expected.slice(14, 21);
  if (middle.every(c => near(c, [0, 0, 0], 20))) fail(`frame ${frame}: the harness shows no photo in the middle`);

  // The snapshots are half the album's size, so that the software GL driver
  // draws the frames before it quickly; the grid scales with them.
  const size = `${width / 2}x${height / 2}`;
  const shots = {
    executable: [exe, ['--snapshot', path.join(output, 'exe-snapshot.png'), '--frame', String(frame), '--size', size]],
    'plain SWF': [player, [swf, '--snapshot', path.join(output, 'exe-swf-snapshot.png'), '--frame', String(frame),
                           '--size', size]],
  };
  for (const [what, [program, args]] of Object.entries(shots)) {
    run(program, args);
    const file = args[args.indexOf('--snapshot') + 1];
    if (!fs.existsSync(file)) continue;
    const got = await gridColors(harness, fs.readFileSync(file), width / 2, height / 2);
    const wrong = got.map((c, i) => [c, expected[i], grid[i]]).filter(([c, e]) => !near(c, e));
    if (wrong.length)
      fail(`${what} frame ${frame}: ${wrong.length} of ${grid.length} points differ from the harness, e.g. ` +
           wrong.slice(0, 3).map(([c, e, g]) => `(${g}) ${c.map(Math.round)} vs ${e.map(Math.round)}`).join('; '));
  }

  // As a window, the executable keeps playing until stopped.
  const child = spawn(exe, [], { env: windowEnv, stdio: ['ignore', 'ignore', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', data => { stderr += data; });
  const exited = new Promise(resolve => child.on('exit', (code, signal) => resolve({ code, signal })));
  const early = await Promise.race([exited, new Promise(resolve => setTimeout(() => resolve(null), 8000))]);
  if (early) fail(`the executable's window ended by itself (${early.code ?? early.signal}): ${stderr}`);
  else {
    child.kill('SIGTERM');
    await exited;
  }
  if (/yel-player:|AddressSanitizer/.test(stderr)) fail(`the executable's window reported: ${stderr}`);
} catch (error) {
  fail(String(error.stack || error));
} finally {
  if (harness) await harness.close();
  fs.rmSync(work, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log(`player executable: frame ${frame} of the demo album matches the harness at ${grid.length} points`);
