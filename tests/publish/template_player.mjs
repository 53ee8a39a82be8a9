// Checks a template of an application folder in Ruffle, from its
// configuration alone, through the real command line. Any installed template
// can be checked this way:
//
//   import { startPlayer } from '../player/player.mjs';
//   import { checkTemplate } from '../publish/template_player.mjs';
//   const player = await startPlayer();
//   const result = await checkTemplate(player, YEL, APP_FOLDER, 'Classic');
//   // result.failures: texts, empty when the template shows as configured;
//   // result.expectations, result.movie, result.frames for further checks.
//
// checkTemplate publishes (yel publish --app-folder --template) an album of
// two one-frame slides whose photos are solid colours A and B, twice: with
// the template, and with a bare copy of it (same background and photo
// rectangle, no photo frame, no decorative clips). It plays the frames where
// each photo shows and, on a grid of points, requires:
//   - bare: the photo inside the photo window (4 px inside the photo
//     rectangle) and never outside it; around it the background colour (for a
//     colour background);
//   - with the clips: the photo still at the window's centre (unless a
//     decorative clip is placed over it), never outside the window; every
//     clip drawn somewhere in its box (the photo frame's box is the photo
//     rectangle's corner and the frame movie's own size, a decorative clip's
//     box its configured place and size); with options.reach, nothing drawn
//     further than that many pixels from every box (clips may draw outside
//     their own stage, so this is for templates known not to).
// templateExpectations computes the rectangles and colours the way
// publishing does (float32 arithmetic, halves rounded to even); it can be
// used alone.
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { parseSwf } from 'swf-parser';
import { solidBmp } from '../player/bmp.mjs';

const f32 = Math.fround;
export function roundEven(v) {
  const f = Math.floor(v);
  const d = v - f;
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return f % 2 === 0 ? f : f + 1;
}

// dir/name with the name matched without regard to case; null when absent.
function resolve(dir, name) {
  if (existsSync(join(dir, name))) return join(dir, name);
  if (!existsSync(dir)) return null;
  const found = readdirSync(dir).find(entry => entry.toLowerCase() === name.toLowerCase());
  return found ? join(dir, found) : null;
}

// An INI file as { section: { key: value } }, sections and keys lower-case.
export function readIni(path) {
  const ini = {};
  let section = null;
  for (const raw of readFileSync(path, 'latin1').split(/\r?\n/)) {
    const line = raw.trim();
    if (!line || line.startsWith(';')) continue;
    const header = /^\[(.*)\]$/.exec(line);
    if (header) {
      section = header[1].trim().toLowerCase();
      ini[section] ??= {};
    } else if (section !== null && line.includes('=')) {
      const at = line.indexOf('=');
      ini[section][line.slice(0, at).trim().toLowerCase()] = line.slice(at + 1).trim();
    }
  }
  return ini;
}

function text(ini, section, key, fallback = '') {
  const value = ini[section.toLowerCase()]?.[key.toLowerCase()];
  return value === undefined ? fallback : value;
}
function decimal(ini, section, key, fallback) {
  const value = Number(text(ini, section, key, '').replace(',', '.'));
  return text(ini, section, key, '') === '' || Number.isNaN(value) ? fallback : value;
}
function integer(ini, section, key, fallback) {
  const value = text(ini, section, key, '');
  return /^[+-]?\d+$/.test(value) ? Number(value) : fallback;
}

// Frame size in pixels of an SWF file.
export function movieFrameSize(file) {
  const { frameSize } = parseSwf(new Uint8Array(readFileSync(file))).header;
  return { w: (frameSize.xMax - frameSize.xMin) / 20, h: (frameSize.yMax - frameSize.yMin) / 20 };
}

// What the overlay of template `name` holds in an album of width x height:
// photoRect {x, y, w, h}; window [x, y, w, h]; boxes [{what, x, y, w, h}]
// where the photo frame and the decorative clips go; background [r, g, b]
// for a colour background, else null.
export function templateExpectations(appFolder, name, width, height) {
  const template = resolve(resolve(resolve(appFolder, 'Theme'), 'Template'), name);
  const config = template && resolve(template, 'config.ini');
  if (!config) throw new Error(`${name}: no config.ini under ${appFolder}`);
  const ini = readIni(config);
  const type = integer(ini, 'Background', 'Type', 1) & 255;
  let background = null;
  if (type === 1) {
    const colour = text(ini, 'Background', 'Color');
    background = [2, 4, 6].map(i => parseInt(colour.slice(i, i + 2), 16));
  }
  const x = f32(decimal(ini, 'Size', 'Left', 0.2) * width);
  const y = f32(decimal(ini, 'Size', 'Top', 0.15) * height);
  let w = f32(decimal(ini, 'Size', 'Width', 0));
  let h = f32(decimal(ini, 'Size', 'Height', 0));
  const boxes = [];
  const frameFile = text(ini, 'PhotoFrame', 'FileName');
  if (frameFile) {
    const own = movieFrameSize(resolve(template, frameFile));
    if (w === 0) w = f32(own.w);
    if (h === 0) h = f32(own.h);
    boxes.push({ what: `photo frame ${frameFile}`, x: roundEven(x), y: roundEven(y), w: own.w, h: own.h });
  }
  const count = integer(ini, 'Shapes', 'Count', 0);
  for (let k = 1; k <= count; k++) {
    const section = `Shape_${k}`;
    const file = text(ini, section, 'FileName');
    const path = file && resolve(template, file);
    if (!path || !statSync(path).isFile()) continue;
    const own = movieFrameSize(path);
    const wk = f32(decimal(ini, section, 'Width', 0)) || own.w;
    const hk = f32(decimal(ini, section, 'Height', 0)) || own.h;
    boxes.push({ what: `shape ${k} ${file}`, x: roundEven(decimal(ini, section, 'Left', 0) * width),
      y: roundEven(decimal(ini, section, 'Top', 0) * height), w: wk, h: hk });
  }
  const window = [roundEven(x + 4), roundEven(y + 4), roundEven(w - 8), roundEven(h - 8)];
  return { config, photoRect: { x, y, w, h }, window, boxes, background };
}

export const PHOTO_A = [255, 0, 255];
export const PHOTO_B = [0, 255, 255];

// Publishes the two-slide album with template `name` (and `extra` command
// line arguments) into dir; returns { movie, frames: { loading, template, A, B } }.
export function publishTemplateAlbum(yel, appFolder, name, dir, { width = 720, height = 540, extra = [] } = {}) {
  mkdirSync(dir, { recursive: true });
  const slides = [PHOTO_A, PHOTO_B].map((colour, i) => {
    const photo = join(dir, `photo${i + 1}.bmp`);
    writeFileSync(photo, solidBmp(8, 6, colour));
    return `<SlideView${i + 1}><ImageFile>${photo}</ImageFile><Transition><EntryEffect>0</EntryEffect>` +
      `<Speed>0</Speed><Duration>0.1</Duration></Transition></SlideView${i + 1}>`;
  });
  const project = join(dir, 'album.yel');
  writeFileSync(project, `<?xml version="1.0" encoding="UTF-8"?>\n<Document xmlns="Quenlo"><Album><Width>${width}` +
    `</Width><Height>${height}</Height><FrameRate>12</FrameRate><Background>0</Background><SlideView>` +
    `${slides.join('')}</SlideView></Album></Document>\n`);
  const out = join(dir, 'album.swf');
  execFileSync(yel, ['publish', project, '--swf', out, '--app-folder', appFolder, '--template', name, ...extra],
    { stdio: ['ignore', 'ignore', 'pipe'], env: { ...process.env, LC_ALL: 'C' } });
  return { movie: readFileSync(out), frames: { loading: 1, template: 2, A: 3, B: 4 } };
}

const inside = ([x0, y0, w, h], x, y, m = 0) => x >= x0 + m && x < x0 + w - m && y >= y0 + m && y < y0 + h - m;
const boxRect = b => [b.x, b.y, b.w, b.h];
export const near = (rgba, rgb, tolerance = 24) => rgb.every((c, i) => Math.abs(rgba[i] - c) <= tolerance);

// A copy of template `name` under dir/app without its clips: the same
// background and photo rectangle (given in pixels), no photo frame, no
// decorative clips. Returns the copy's application folder.
export function bareTemplate(appFolder, name, expectations, dir) {
  const source = resolve(resolve(resolve(appFolder, 'Theme'), 'Template'), name);
  const app = join(dir, 'bare-app');
  const target = join(app, 'Theme', 'Template', name);
  mkdirSync(target, { recursive: true });
  cpSync(source, target, { recursive: true });
  writeFileSync(join(app, 'Theme', 'Template', 'Config.xml'), `<List><Name>${name}</Name></List>`);
  const ini = readIni(expectations.config);
  const { photoRect } = expectations;
  ini.size = { ...ini.size, width: String(photoRect.w), height: String(photoRect.h) };
  delete ini.photoframe;
  ini.shapes = { count: '0' };
  for (const file of readdirSync(target)) if (file.toLowerCase() === 'config.ini') rmSync(join(target, file));
  writeFileSync(join(target, 'config.ini'),
    Object.entries(ini).map(([section, keys]) =>
      `[${section}]\n` + Object.entries(keys).map(([k, v]) => `${k}=${v}\n`).join('')).join(''));
  return app;
}

// Plays the published album and checks it against the configuration.
export async function checkTemplate(player, yel, appFolder, name, options = {}) {
  const { width = 720, height = 540, step = 6, margin = 3, reach = null, dir } = options;
  const workDir = dir ?? join(appFolder, '..', `check-${name}`);
  const failures = [];
  const fail = t => failures.push(`${name}: ${t}`);
  const expectations = templateExpectations(appFolder, name, width, height);
  const { window, boxes, background } = expectations;
  const published = publishTemplateAlbum(yel, appFolder, name, join(workDir, 'full'),
    { width, height, extra: options.extra });
  const bare = publishTemplateAlbum(yel, bareTemplate(appFolder, name, expectations, workDir), name,
    join(workDir, 'bare'), { width, height });

  const points = [];
  for (let y = step / 2; y < height; y += step)
    for (let x = step / 2; x < width; x += step) points.push([Math.floor(x), Math.floor(y)]);
  const centre = [window[0] + Math.floor(window[2] / 2), window[1] + Math.floor(window[3] / 2)];
  points.push(centre);
  const seen = {};
  for (const [kind, run] of [['full', published], ['bare', bare]]) {
    seen[kind] = {};
    for (const key of ['A', 'B']) {
      await player.loadAtFrame(run.movie, run.frames[key]);
      if (options.shots) await player.screenshot(join(options.shots, `${name}-${kind}-${key}.png`));
      seen[kind][key] = await player.pixels(points);
    }
  }
  const isPhoto = (kind, i) => near(seen[kind].A[i], PHOTO_A, 40) && near(seen[kind].B[i], PHOTO_B, 40);
  const drawn = i => !near(seen.full.A[i], seen.bare.A[i], 12) || !near(seen.full.B[i], seen.bare.B[i], 12);
  const wrong = {};
  const note = (kind, text) => {
    wrong[kind] ??= [];
    wrong[kind].push(text);
  };
  const distance = (b, x, y) => Math.max(b.x - x, x - (b.x + b.w), b.y - y, y - (b.y + b.h), 0);
  const hits = boxes.map(() => 0);
  points.forEach(([x, y], i) => {
    const inWindow = inside(window, x, y, margin), outside = !inside(window, x, y, -margin);
    if (inWindow && !isPhoto('bare', i)) note('bare: no photo inside the window', `(${x}, ${y}) ${seen.bare.A[i]}`);
    if (outside && isPhoto('bare', i)) note('bare: the photo outside the window', `(${x}, ${y})`);
    if (outside && background && !near(seen.bare.A[i], background, 8))
      note(`bare: not the background ${background}`, `(${x}, ${y}) ${seen.bare.A[i]}`);
    if (outside && isPhoto('full', i)) note('the photo outside the window', `(${x}, ${y})`);
    if (!drawn(i)) return;
    boxes.forEach((b, k) => { if (inside(boxRect(b), x, y)) hits[k]++; });
    if (reach !== null && boxes.every(b => distance(b, x, y) > reach))
      note(`drawn more than ${reach} px from every clip's box`, `(${x}, ${y}) ${seen.full.A[i]}`);
  });
  const centreCovered = boxes.some(b => b.what.startsWith('shape') && inside(boxRect(b), ...centre));
  if (!centreCovered && !isPhoto('full', points.length - 1))
    fail(`no photo at the window's centre (${centre}): ${seen.full.A[points.length - 1]}`);
  boxes.forEach((b, k) => {
    if (!hits[k]) fail(`nothing of the ${b.what} shows in its box (${boxRect(b)})`);
  });
  for (const [kind, list] of Object.entries(wrong))
    fail(`${kind} at ${list.length} points, e.g. ${list.slice(0, 4).join('; ')}`);
  return { failures, expectations, movie: published.movie, frames: published.frames, points: points.length };
}
