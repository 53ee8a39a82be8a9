// The installed templates and loading bars played in Ruffle. For every
// template, `yel publish --template T --loading-bar B` (run from the program's
// folder, so it reads the installed themes) must succeed for a small album
// of one solid magenta photo, and every loading bar is used at least once.
// Then, at sample points computed from each template's config.ini and from
// the clips themselves:
//  - the photo shows inside the photo window;
//  - the background (the configured colour, or the background clip as it
//    plays on its own) shows outside the photo rectangle, the frame and the
//    shapes;
//  - the photo frame shows, unscaled at the photo rectangle's corner, where
//    its clip played on its own is opaque (its inner band over the photo's
//    edge);
//  - every decorative shape shows, scaled to its configured size, where its
//    clip played on its own is opaque;
//  - the same album published at 1024 × 768 still shows the photo and the
//    background around it;
//  - the loading frame shows the loading bar where its Config.ini puts it,
//    over the bar's background colour;
//  - the template's View.jpg looks like the published album outside the
//    photo rectangle.
// Opaque points of a clip are those that look the same over two different
// stage colours, with a uniform 3 × 3 neighbourhood.
//
// Usage: node theme_content_player_check.mjs PROGRAM_FOLDER [--shots DIR]
import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { inflateSync } from 'node:zlib';
import { parseSwf, swf } from 'swf-parser';
import { startPlayer } from '../player/player.mjs';

const [app, ...rest] = process.argv.slice(2);
const shots = rest[0] === '--shots' ? rest[1] : null;
const T = swf.TagType;
const failures = [];
const fail = text => failures.push(text);
const MAGENTA = [255, 0, 255];

// --- theme files
function readIni(file) {
  const ini = {};
  let section = null;
  for (const raw of readFileSync(file, 'utf8').split(/\r?\n/)) {
    const line = raw.trim();
    const head = /^\[(.*)\]$/.exec(line);
    if (head) { section = ini[head[1].toLowerCase()] ??= {}; continue; }
    const kv = /^([^=]+)=(.*)$/.exec(line);
    if (kv && section) section[kv[1].trim().toLowerCase()] = kv[2].trim();
  }
  return ini;
}
const num = (ini, s, k, d = 0) => { const v = ini[s.toLowerCase()]?.[k.toLowerCase()]; return v === undefined || v === '' ? d : Number(v); };
const str = (ini, s, k) => ini[s.toLowerCase()]?.[k.toLowerCase()] ?? '';
const hexColour = text => [1, 2, 3].map(i => parseInt(text.slice(2 * i, 2 * i + 2), 16));
const listNames = file => [...readFileSync(file, 'utf8').matchAll(/<Name[^>]*>([^<]*)<\/Name>/g)].map(m => m[1]);
// Round half to even, as the publisher rounds positions.
const round = v => { const f = Math.floor(v), d = v - f; return d > 0.5 ? f + 1 : d < 0.5 ? f : (f % 2 === 0 ? f : f + 1); };

// --- movie bytes
function uncompressed(bytes) {
  const file = Buffer.from(bytes);
  if (file[0] !== 0x43) return file;
  return Buffer.concat([Buffer.from('FWS'), file.subarray(3, 8), inflateSync(file.subarray(8))]);
}
function tagsStart(file) { return 8 + Math.ceil((5 + 4 * (file[8] >> 3)) / 8) + 4; }
// Walks the top-level tags: [code, start, end] of each.
function* tagSpans(file) {
  let offset = tagsStart(file);
  while (offset + 2 <= file.length) {
    const word = file.readUInt16LE(offset);
    let length = word & 0x3f, header = 2;
    if (length === 0x3f) { length = file.readUInt32LE(offset + 2); header = 6; }
    yield [word >> 6, offset, offset + header + length];
    if (word >> 6 === 0) return;
    offset += header + length;
  }
}
// The movie over a stage of the given colour (SetBackgroundColor first,
// any other one dropped).
function withStage(bytes, rgb) {
  const file = uncompressed(bytes);
  const parts = [file.subarray(0, tagsStart(file)), Buffer.from([0x43, 0x02, ...rgb])];
  for (const [code, start, end] of tagSpans(file)) if (code !== 9) parts.push(file.subarray(start, end));
  const out = Buffer.concat(parts);
  out.writeUInt32LE(out.length, 4);
  return out;
}
// The movie without the frame scripts of its first frame, so that a check
// of the loading frame does not depend on how soon a preloader moves on.
function withoutFirstFrameScripts(bytes) {
  const file = uncompressed(bytes);
  const parts = [file.subarray(0, tagsStart(file))];
  let firstFrame = true;
  for (const [code, start, end] of tagSpans(file)) {
    if (code === 1) firstFrame = false;
    if (!(firstFrame && code === 12)) parts.push(file.subarray(start, end));
  }
  const out = Buffer.concat(parts);
  out.writeUInt32LE(out.length, 4);
  return out;
}
// Frame size, frame count and the union of the shape bounds (pixels).
function clipInfo(bytes) {
  const movie = parseSwf(new Uint8Array(bytes));
  const f = movie.header.frameSize;
  const box = { x0: Infinity, y0: Infinity, x1: -Infinity, y1: -Infinity };
  for (const tag of movie.tags) {
    if (tag.type !== T.DefineShape) continue;
    box.x0 = Math.min(box.x0, tag.bounds.xMin / 20); box.x1 = Math.max(box.x1, tag.bounds.xMax / 20);
    box.y0 = Math.min(box.y0, tag.bounds.yMin / 20); box.y1 = Math.max(box.y1, tag.bounds.yMax / 20);
  }
  return { width: (f.xMax - f.xMin) / 20, height: (f.yMax - f.yMin) / 20, frames: movie.header.frameCount, box };
}

// --- pictures and projects
function solidBmp(width, height, [r, g, b]) {
  const stride = Math.ceil(width * 3 / 4) * 4, size = 54 + stride * height;
  const out = Buffer.alloc(size);
  out.write('BM', 0); out.writeUInt32LE(size, 2); out.writeUInt32LE(54, 10);
  out.writeUInt32LE(40, 14); out.writeInt32LE(width, 18); out.writeInt32LE(height, 22);
  out.writeUInt16LE(1, 26); out.writeUInt16LE(24, 28); out.writeUInt32LE(stride * height, 34);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) out.set([b, g, r], 54 + y * stride + 3 * x);
  return out;
}
// One slide without a transition, shown for half a second.
function project(photo, width, height) {
  return `<?xml version="1.0" encoding="UTF-8"?>
<Document xmlns="Quenlo"><Album><Width>${width}</Width><Height>${height}</Height><FrameRate>24</FrameRate><Background>0</Background><SlideView><SlideView1><SlideIndex>1</SlideIndex><ImageFile>${photo}</ImageFile><Background><Color>16777215</Color><ImageFile>${photo}</ImageFile><FillType>2</FillType></Background><Transition><EntryEffect>0</EntryEffect><Speed>0.5</Speed><Duration>0.5</Duration><SoundFile>None</SoundFile></Transition></SlideView1></SlideView></Album></Document>
`;
}

// --- player helpers
const near = (a, b, tolerance = 12) => [0, 1, 2].every(i => Math.abs(a[i] - b[i]) <= tolerance);
const show = c => `(${c.slice(0, 3).join(', ')})`;
const inside = (r, x, y, margin = 0) => x >= r.x0 - margin && x < r.x1 + margin && y >= r.y0 - margin && y < r.y1 + margin;

const player = await startPlayer();
const clipCache = new Map();

// What a clip shows at each candidate point (in its own pixels), from two
// plays over a red and over a blue stage: the coverage alpha and the colour
// it adds over black, so that over a colour U it shows add + (1 - alpha) U.
// Only points whose 3 x 3 neighbourhood is uniform in both plays and where
// the clip is visible (alpha of 1/4 or more) are kept.
async function clipPoints(file, candidates) {
  const key = file + JSON.stringify(candidates);
  if (clipCache.has(key)) return clipCache.get(key);
  const bytes = readFileSync(file);
  const around = ([x, y]) => [-1, 0, 1].flatMap(dy => [-1, 0, 1].map(dx => [x + dx, y + dy]));
  const all = candidates.flatMap(around);
  const looks = [];
  for (const stage of [[255, 0, 0], [0, 0, 255]]) {
    await player.loadAtFrame(withStage(bytes, stage), 1);
    looks.push(await player.pixels(all));
  }
  const found = [];
  candidates.forEach((point, i) => {
    const a = looks[0].slice(9 * i, 9 * i + 9), b = looks[1].slice(9 * i, 9 * i + 9);
    if (!a.every(c => near(c, a[4], 6)) || !b.every(c => near(c, b[4], 6))) return;
    const [ra, ga, ba] = a[4], [rb, , bb] = b[4];
    const alpha = 1 - ((ra - rb) + (bb - ba)) / 510;
    if (alpha >= 0.25) found.push({ point, alpha, add: [rb, ga, ba] });
  });
  clipCache.set(key, found);
  return found;
}
const over = (p, under) => p.add.map((v, i) => v + (1 - p.alpha) * under[i]);
const opaque = points => points.filter(p => p.alpha > 0.97).map(p => ({ ...p, colour: p.add }));

function grid(width, height, n) {
  const points = [];
  for (let i = 0; i < n; i++)
    for (let j = 0; j < n; j++) points.push([Math.floor(width * (i + 0.5) / n), Math.floor(height * (j + 0.5) / n)]);
  return points;
}

// Compares the published pixels at the expected points; each expectation is
// { at: [x, y], colour, what }.
async function expectPixels(label, expectations) {
  const got = await player.pixels(expectations.map(e => e.at));
  expectations.forEach((e, i) => {
    if (!near(got[i], e.colour)) fail(`${label}: ${e.what} at ${e.at} shows ${show(got[i])}, expected ${show(e.colour)}`);
  });
}

// Width and height from the first baseline or progressive frame header.
function jpegSize(bytes) {
  let i = 2;
  while (i + 9 < bytes.length && bytes[i] === 0xff) {
    const marker = bytes[i + 1], length = bytes.readUInt16BE(i + 2);
    if (marker === 0xc0 || marker === 0xc1 || marker === 0xc2) return { h: bytes.readUInt16BE(i + 5), w: bytes.readUInt16BE(i + 7) };
    i += 2 + length;
  }
  return null;
}

// The tile picture must look like the published template: outside the
// photo rectangle (the thumbnail shows a sample photo there), each of its
// points against the mean of the album pixels it covers.
async function compareView(name, jpeg, photo) {
  const size = jpegSize(jpeg);
  if (!size || size.w * 540 !== size.h * 720) {
    fail(`${name}: View.jpg is not a 4:3 JPEG picture`);
    return;
  }
  const sx = 720 / size.w, sy = 540 / size.h;
  const points = [], blocks = [];
  for (let ty = 2; ty < size.h; ty += 6)
    for (let tx = 2; tx < size.w; tx += 6) {
      if (inside(photo, (tx + 0.5) * sx, (ty + 0.5) * sy, 12)) continue;
      points.push([tx, ty]);
      for (const fy of [0.2, 0.5, 0.8]) for (const fx of [0.2, 0.5, 0.8]) blocks.push([Math.floor((tx + fx) * sx), Math.floor((ty + fy) * sy)]);
    }
  const view = await player.imagePixels(jpeg, 'image/jpeg', points);
  const album = await player.pixels(blocks);
  let total = 0, far = 0;
  points.forEach((_, i) => {
    const mean = [0, 1, 2].map(c => album.slice(9 * i, 9 * i + 9).reduce((a, p) => a + p[c], 0) / 9);
    const d = [0, 1, 2].reduce((a, c) => a + Math.abs(view[i][c] - mean[c]), 0) / 3;
    total += d;
    if (d > 48) far++;
  });
  const meanDiff = total / points.length;
  if (meanDiff > 12 || far > points.length / 10)
    fail(`${name}: View.jpg differs from the published template (mean difference ${meanDiff.toFixed(1)}, ${far} of ${points.length} points far off)`);
}

const work = mkdtempSync(join(tmpdir(), 'yel-theme-content-'));
try {
  const photo = join(work, 'magenta.bmp');
  writeFileSync(photo, solidBmp(320, 240, MAGENTA));
  writeFileSync(join(work, 'album.yel'), project(photo, 720, 540));
  writeFileSync(join(work, 'large.yel'), project(photo, 1024, 768));
  const yel = join(app, 'yel');
  const templates = listNames(join(app, 'Theme/Template/Config.xml'));
  const bars = listNames(join(app, 'Theme/LoadingBar/Config.xml'));
  if (templates.length < 6 || bars.length < 4) fail(`${templates.length} templates and ${bars.length} loading bars installed`);
  const publish = (album, out, template, bar) => {
    try {
      execFileSync(yel, ['publish', join(work, album), '--swf', out, '--template', template, '--loading-bar', bar],
        { stdio: ['ignore', 'pipe', 'pipe'] });
      return readFileSync(out);
    } catch (error) {
      fail(`yel publish --template ${template} --loading-bar ${bar} failed: ${error.stderr}`);
      return null;
    }
  };
  const shot = async name => { if (shots) await player.screenshot(join(shots, name)); };
  // The template copied into a program folder of its own with no shapes.
  const publishWithoutShapes = template => {
    const bareApp = join(work, `bare-${template}`), folder = join(bareApp, 'Theme/Template', template);
    cpSync(join(app, 'Theme/Template', template), folder, { recursive: true });
    writeFileSync(join(bareApp, 'Theme/Template/Config.xml'), `<Templates><Name id="1">${template}</Name></Templates>`);
    const config = join(folder, 'config.ini');
    writeFileSync(config, readFileSync(config, 'utf8').replace(/(\[Shapes\][^[]*?Count\s*=\s*)\d+/i, '$10'));
    const out = join(work, `${template}-bare.swf`);
    try {
      execFileSync(yel, ['publish', join(work, 'album.yel'), '--swf', out, '--template', template, '--app-folder', bareApp],
        { stdio: ['ignore', 'pipe', 'pipe'] });
      return readFileSync(out);
    } catch (error) {
      fail(`yel publish --template ${template} without its shapes failed: ${error.stderr}`);
      return null;
    }
  };

  // Every loading bar with every template would be slow; every bar at least
  // once is enough for the bars.
  const count = Math.max(templates.length, bars.length);
  const checkedBars = new Set();
  for (let i = 0; i < count; i++) {
    const name = templates[i % templates.length], barName = bars[i % bars.length];
    const dir = join(app, 'Theme/Template', name);
    const ini = readIni(join(dir, 'config.ini'));
    const bytes = publish('album.yel', join(work, `${name}.swf`), name, barName);
    if (!bytes) continue;

    if (i < templates.length) {
      const W = 720, H = 540;
      const x = num(ini, 'Size', 'Left', 0.2) * W, y = num(ini, 'Size', 'Top', 0.15) * H;
      const w = num(ini, 'Size', 'Width'), h = num(ini, 'Size', 'Height');
      const fx = round(x), fy = round(y);
      const frameFile = join(dir, str(ini, 'PhotoFrame', 'FileName'));
      const frame = clipInfo(readFileSync(frameFile));
      const shapes = [];
      for (let k = 1; k <= num(ini, 'Shapes', 'Count'); k++) {
        const s = `Shape_${k}`, file = join(dir, str(ini, s, 'FileName'));
        const info = clipInfo(readFileSync(file));
        const sw = num(ini, s, 'Width') || info.width, sh = num(ini, s, 'Height') || info.height;
        const sx = round(num(ini, s, 'Left') * W), sy = round(num(ini, s, 'Top') * H);
        shapes.push({ k, file, info, x: sx, y: sy, sx: sw / info.width, sy: sh / info.height,
          rect: { x0: sx, y0: sy, x1: sx + sw, y1: sy + sh } });
      }
      const underShape = (px, py, from = 0) => shapes.slice(from).some(s => inside(s.rect, px, py, 2));
      const expectations = [];

      // The photo inside the window.
      for (const [u, v] of [[0.5, 0.5], [0.25, 0.25], [0.75, 0.7]]) {
        const at = [Math.floor(x + u * w), Math.floor(y + v * h)];
        if (!underShape(...at)) expectations.push({ at, colour: MAGENTA, what: 'the photo' });
      }
      // The frame's inner band over the photo's edge.
      const band = [];
      for (const v of [0.25, 0.5, 0.75]) band.push([2, Math.floor(v * h)], [Math.floor(w) - 3, Math.floor(v * h)],
        [Math.floor(v * w), 2], [Math.floor(v * w), Math.floor(h) - 3]);
      const framePoints = opaque(await clipPoints(frameFile, band)).filter(p => !underShape(fx + p.point[0], fy + p.point[1]));
      if (framePoints.length < 4) fail(`${name}: only ${framePoints.length} opaque points on the frame's inner band`);
      for (const p of framePoints)
        expectations.push({ at: [fx + p.point[0], fy + p.point[1]], colour: p.colour, what: 'the photo frame' });
      // Each shape, scaled, where its clip shows and no later shape lies,
      // over what the same template shows without its shapes.
      const shapePoints = [];
      for (const [index, s] of shapes.entries()) {
        const points = (await clipPoints(s.file, grid(s.info.width, s.info.height, 15)))
          .map(p => ({ ...p, at: [Math.floor(s.x + (p.point[0] + 0.5) * s.sx), Math.floor(s.y + (p.point[1] + 0.5) * s.sy)] }))
          .filter(p => !underShape(p.at[0], p.at[1], index + 1));
        if (!points.length) fail(`${name}: shape ${s.k} (${s.file}) has no visible point to check`);
        const step = Math.ceil(points.length / 12);
        shapePoints.push(...points.filter((_, j) => j % step === 0).map(p => ({ ...p, what: `shape ${s.k}` })));
      }
      const bare = publishWithoutShapes(name);
      if (bare && shapePoints.length) {
        await player.loadAtFrame(bare, clipInfo(bare).frames);
        const under = await player.pixels(shapePoints.map(p => p.at));
        shapePoints.forEach((p, j) => expectations.push({ at: p.at, colour: over(p, under[j]), what: p.what }));
      }
      // The background where nothing covers it.
      const covered = (px, py, Wd, Hd) => {
        const fxd = round(num(ini, 'Size', 'Left', 0.2) * Wd), fyd = round(num(ini, 'Size', 'Top', 0.15) * Hd);
        const frameBox = { x0: fxd + frame.box.x0, y0: fyd + frame.box.y0, x1: fxd + frame.box.x1, y1: fyd + frame.box.y1 };
        const photoBox = { x0: fxd, y0: fyd, x1: fxd + w, y1: fyd + h };
        return inside(frameBox, px, py, 4) || inside(photoBox, px, py, 4) || shapes.some(s => {
          const sx = round(num(ini, `Shape_${s.k}`, 'Left') * Wd), sy = round(num(ini, `Shape_${s.k}`, 'Top') * Hd);
          return inside({ x0: sx, y0: sy, x1: sx + s.rect.x1 - s.rect.x0, y1: sy + s.rect.y1 - s.rect.y0 }, px, py, 4);
        });
      };
      const backgroundAt = async (Wd, Hd) => {
        const points = [];
        for (let py = 3; py < Hd; py += 24)
          for (let px = 3; px < Wd; px += 24) if (!covered(px, py, Wd, Hd)) points.push([px, py]);
        if (points.length < 4) fail(`${name}: only ${points.length} background points at ${Wd} x ${Hd}`);
        if (num(ini, 'Background', 'Type', 1) !== 2) {
          const colour = hexColour(str(ini, 'Background', 'Color'));
          return points.map(at => ({ at, colour, what: 'the background' }));
        }
        const clip = opaque(await clipPoints(join(dir, str(ini, 'Background', 'Image')), points));
        if (clip.length < points.length / 2) fail(`${name}: the background clip is not opaque around most points`);
        return clip.map(p => ({ at: p.point, colour: p.add, what: 'the background clip' }));
      };
      expectations.push(...await backgroundAt(W, H));

      const frames = clipInfo(bytes).frames;
      await player.loadAtFrame(bytes, frames);
      await expectPixels(`${name} (720 x 540, frame ${frames})`, expectations);
      await shot(`${name}.png`);
      await compareView(name, readFileSync(join(dir, 'View.jpg')), { x0: x, y0: y, x1: x + w, y1: y + h });

      // Another album size: the photo and the background around it.
      const large = publish('large.yel', join(work, `${name}-large.swf`), name, barName);
      if (large) {
        const lx = num(ini, 'Size', 'Left', 0.2) * 1024, ly = num(ini, 'Size', 'Top', 0.15) * 768;
        const largeExpect = [{ at: [Math.floor(lx + w / 2), Math.floor(ly + h / 2)], colour: MAGENTA, what: 'the photo' },
          ...await backgroundAt(1024, 768)];
        await player.loadAtFrame(large, clipInfo(large).frames);
        await expectPixels(`${name} (1024 x 768)`, largeExpect);
        await shot(`${name}-1024.png`);
      }
    }

    // The loading frame: the bar where its Config.ini puts it.
    if (!checkedBars.has(barName)) {
      checkedBars.add(barName);
      const barDir = join(app, 'Theme/LoadingBar', barName);
      const barIni = readIni(join(barDir, 'Config.ini'));
      const barFile = join(barDir, `${barName}.swf`);
      const info = clipInfo(readFileSync(barFile));
      const bx = round(num(barIni, 'Size', 'Left') * 720), by = round(num(barIni, 'Size', 'Top') * 540);
      const sx = num(barIni, 'Size', 'Width') / info.width, sy = num(barIni, 'Size', 'Height') / info.height;
      const rect = { x0: bx, y0: by, x1: bx + num(barIni, 'Size', 'Width'), y1: by + num(barIni, 'Size', 'Height') };
      const expectations = opaque(await clipPoints(barFile, grid(info.width, info.height, 12)))
        .map(p => ({ at: [Math.floor(bx + (p.point[0] + 0.5) * sx), Math.floor(by + (p.point[1] + 0.5) * sy)], colour: p.colour, what: 'the loading bar' }));
      if (expectations.length < 3) fail(`${barName}: only ${expectations.length} opaque points on the bar`);
      const colour = hexColour(str(barIni, 'Background', 'Color'));
      for (let py = 5; py < 540; py += 40)
        for (let px = 5; px < 720; px += 40)
          if (!inside(rect, px, py, 4)) expectations.push({ at: [px, py], colour, what: 'the loading background' });
      await player.loadAtFrame(withoutFirstFrameScripts(bytes), 1);
      await expectPixels(`loading bar ${barName} (frame 1)`, expectations);
      await shot(`loading-${barName}.png`);
    }
  }
  for (const bar of bars) if (!checkedBars.has(bar)) fail(`the loading bar ${bar} was not checked`);
} finally {
  await player.close();
  rmSync(work, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.slice(0, 60).join('\n'));
  console.log(`theme player check: ${failures.length} failures`);
  process.exit(1);
}
console.log('theme player check: every template and loading bar shows as configured');
