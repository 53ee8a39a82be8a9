// Published albums played in Ruffle. Runs album_player_movies twice (the
// two runs must give the same bytes), parses the movies with swf-parser, and
// checks what the player shows:
//  - photos.swf: at chosen frames, the right photo in the right place;
//  - effect-NAME.swf: for every one of the 35 transitions, at the middle frame
//    (t = 6 of E = 12), the outgoing and the incoming colour exactly where
//    the effect's figures put them. The figures are computed here from the
//    effect table, independently of the generators, and combined by the
//    even-odd rule; points within 3 pixels of a figure's edge are skipped.
//
// Usage: node album_player_check.mjs MOVIE_WRITER [--shots DIR]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { parseSwf, swf } from 'swf-parser';
import { usesBeforeDefinition } from '../swf/builder/define_order.mjs';
import { startPlayer, withoutLoadingScript } from '../player/player.mjs';

const [writer, ...rest] = process.argv.slice(2);

const shots = rest[0] === '--shots' ? rest[1] : null;
const failures = [];
const fail = text => failures.push(text);

// --- the arithmetic of the effect table
const f32 = Math.fround;
function round(v) {  // half to even
  const f = Math.floor(v);
  const d = v - f;
  if (d > 0.5) return f + 1;
  if (d < 0.5) return f;
  return f % 2 === 0 ? f : f + 1;
}
const R = (a, b, c, d) => ({ k: 'R', a, b, c, d });
const Ell = (a, b, c, d) => ({ k: 'E', a, b, c, d });
const Dia = (a, b, c, d) => ({ k: 'D', a, b, c, d });
const Pie = (cx, cy, r, s, e) => ({ k: 'P', cx, cy, r, s, e });

function inside(f, x, y) {
  switch (f.k) {
    case 'R':
      return x >= Math.min(f.a, f.a + f.c) && x < Math.max(f.a, f.a + f.c) &&
        y >= Math.min(f.b, f.b + f.d) && y < Math.max(f.b, f.b + f.d);
    case 'E': {
      const rx = Math.abs(f.c) / 2, ry = Math.abs(f.d) / 2;
      if (rx === 0 || ry === 0) return false;
      const cx = f.a + f.c / 2, cy = f.b + f.d / 2;
      return ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1;
    }
    case 'D': {
      const hw = Math.abs(f.c) / 2, hh = Math.abs(f.d) / 2;
      if (hw === 0 || hh === 0) return false;
      return Math.abs(x - f.a) / hw + Math.abs(y - (f.b + f.d / 2)) / hh <= 1;
    }
    case 'P': {
      const end = f.e < f.s ? f.e + 360 : f.e;
      if (end === f.s) return false;
      if (Math.hypot(x - f.cx, y - f.cy) > f.r) return false;
      const angle = Math.atan2(y - f.cy, x - f.cx) * 180 / Math.PI;  // clockwise on screen
      const rel = (((angle - f.s) % 360) + 360) % 360;
      return rel <= end - f.s;
    }
  }
  throw new Error('unknown figure');
}

// The figures of frame t (E steps, w x h) of an effect.
function figures(name, w, h, E, t) {
  const FULL = R(0, 0, w, h);
  const n = E - t;
  const out = [];
  switch (name) {
    case 'Blinds1': case 'Blinds2': {
      const s = f32((name === 'Blinds1' ? h : w) / 6), u = f32(s / E);
      out.push(FULL);
      for (let i = 0; i <= 5; i++)
        out.push(name === 'Blinds1' ? R(0, round(s * i), w, round(t * u)) : R(round(s * i), 0, round(t * u), h));
      return out;
    }
    case 'Circle1': {
      const p = f32(2 * w / E), q = f32(2 * h / E);
      return [FULL, Ell(round((w - t * p) / 2), round((h - t * q) / 2), round(t * p), round(t * q))];
    }
    case 'Circle2': {
      const a = f32(Math.SQRT2 * w), b = f32(Math.SQRT2 * h), p = f32(a / E), q = f32(b / E);
      const c = round(a - t * p), d = round(b - t * q);
      return [Ell(Math.trunc((w - c) / 2), Math.trunc((h - d) / 2), c, d)];
    }
    case 'Box1': case 'Box2': {
      const p = f32(w / E), q = f32(h / E), m = name === 'Box1' ? n : t;
      const r = R(round((w - m * p) / 2), round((h - m * q) / 2), round(m * p), round(m * q));
      return name === 'Box1' ? [r] : [FULL, r];
    }
    case 'Chess1': {
      const o = f32(w / 7), k = f32(Math.ceil(h / 10)), r = f32(o / E), half = f32(o / 2), m = Math.trunc(E / 2);
      for (let j = 0; j <= 9; j++) {
        const y = round(j * k), ch = round(k);
        for (let i = 0; i <= 6; i++) {
          if (j % 2 === 0) { out.push(R(round(t * r + i * o), y, round(o - t * r), ch)); continue; }
          if (t < m) out.push(R(round(t * r + 7 * o - o / 2), y, round(half - t * r), ch));
          if (i === 0) out.push(t < m ? R(0, y, round(half), ch) : R(round((t - m) * r), y, round(half - (t - m) * r), ch));
          else out.push(R(round(t * r + i * o - o / 2), y, round(o - t * r), ch));
        }
      }
      return out;
    }
    case 'Chess2': {
      const v = f32(Math.ceil(w / 14)), o = f32(h / 6), r = f32(o / E), half = f32(o / 2), m = Math.trunc(E / 2);
      for (let i = 0; i <= 13; i++)
        for (let k = 0; k <= 6; k++) {
          const y = i % 2 === 0 ? round(t * r + k * o - 1) : round(t * r + k * o - o / 2 - 1);
          out.push(R(round(i * v) - 1, y, Math.ceil(v), round(half - (t - m) * r)));
        }
      return out;
    }
    case 'Diamond1': {
      const p = f32(2 * w / E), q = f32(2 * h / E), d = 2 * h - t * q;
      return [Dia(round(w / 2), round(h / 2 - d / 2), round(2 * w - t * p), round(d))];
    }
    case 'Diamond2': {
      const p = f32(2 * w / E), q = f32(2 * h / E), d = t * q;
      return [FULL, Dia(round(w / 2), round(h / 2 - d / 2), round(t * p), round(d))];
    }
    case 'Fade1':
      return [FULL];
    case 'Plus1': {
      const p = f32((w / 2) / E), q = f32((h / 2) / E), a = round(n * p), b = round(n * q);
      return [R(0, 0, a, b), R(w, 0, -a, b), R(0, h, a, -b), R(w, h, -a, -b)];
    }
    case 'Plus2': {
      const p = f32((w / 2) / E), q = f32((h / 2) / E);
      if (t === E) return [R(-1, -1, w, h)];
      const a = round(t * p), b = round(t * q);
      return [R(-1, -1, a, b), R(w, -1, -a, b), R(-1, h, a, -b), R(w, h, -a, -b)];
    }
    case 'Split1': case 'Split2': {
      const u = f32((h / 2) / E), m = name === 'Split1' ? t : n;
      const r = R(0, round(m * u), w, round(h - u * 2 * m));
      return name === 'Split1' ? [r] : [FULL, r];
    }
    case 'Split3': case 'Split4': {
      const u = f32((w / 2) / E), m = name === 'Split3' ? t : n;
      const r = R(round(m * u), 0, round(w - u * 2 * m), h);
      return name === 'Split3' ? [r] : [FULL, r];
    }
    case 'Strips1': case 'Strips2': case 'Strips3': case 'Strips4': {
      const l = f32(Math.ceil((h + (12 - f32(h / 12))) / 12)), o = f32((w + h) / E);
      out.push(FULL);
      for (let i = 0; i <= 12; i++) {
        const il = round(i * l), to = round(t * o), row = round(h - l * (i + 1));
        if (name === 'Strips1') out.push(R(w + il - to, row, w + il + to, round(l)));
        if (name === 'Strips2') out.push(R(to - il, row, -w - il - to, round(l)));
        if (name === 'Strips3') out.push(R(w + il - to, il, w + il + to, round(l)));
        if (name === 'Strips4') out.push(R(to - il, il, -w - il - to, round(l)));
      }
      return out;
    }
    case 'Wedge1': case 'Wheel1': case 'Wheel2': case 'Wheel3': case 'Wheel4': case 'Wheel5': {
      const r = round(Math.sqrt(f32(w / 2) ** 2 + f32(h / 2) ** 2)), cx = round(w / 2), cy = round(h / 2);
      if (name === 'Wedge1') {
        const o = 180 * t / E;
        return [FULL, Pie(cx, cy, r, round(270 - o), round(o - 90.01))];
      }
      const table = { Wheel1: [360, [-90]], Wheel2: [180, [-90, 90]], Wheel3: [120, [-90, 30, 150]],
        Wheel4: [90, [-90, 0, 90, 180]], Wheel5: [45, [-90, -45, 0, 45, 90, 135, 180, 225]] };
      const [angle, starts] = table[name];
      const o = angle * t / E;
      out.push(FULL);
      for (const s of starts) out.push(Pie(cx, cy, r, s, round(o + s + (s < 0 ? -0.01 : 0.01))));
      return out;
    }
    case 'Wipe1': return [FULL, R(0, 0, round(t * f32(w / E)), h)];
    case 'Wipe2': return [FULL, R(w, 0, -round(t * f32(w / E)), h)];
    case 'Wipe3': return [FULL, R(0, h, w, -round(t * f32(h / E)))];
    case 'Wipe4': return [FULL, R(0, 0, w, round(t * f32(h / E)))];
    case 'Pull1': case 'Pull2': case 'Pull3': case 'Pull4': {
      const a = round(n * f32(w / E)), b = round(n * f32(h / E));
      return [{ Pull1: R(0, h, a, -b), Pull2: R(0, 0, a, b), Pull3: R(w, h, -a, -b), Pull4: R(w, 0, -a, b) }[name]];
    }
  }
  throw new Error(`no figures for ${name}`);
}

// Whether the outgoing picture shows at (x, y): 1 yes, 0 no, null near an
// edge of some figure.
function outgoingAt(figs, x, y, margin = 3) {
  let count = 0;
  for (const f of figs) {
    const here = inside(f, x, y);
    for (const [dx, dy] of [[1, 0], [-1, 0], [0, 1], [0, -1], [0.7, 0.7], [-0.7, 0.7], [0.7, -0.7], [-0.7, -0.7]])
      if (inside(f, x + dx * margin, y + dy * margin) !== here) return null;
    if (here) count++;
  }
  return count % 2;
}

const EFFECTS = ['Blinds1', 'Blinds2', 'Circle1', 'Circle2', 'Box1', 'Box2', 'Chess1', 'Chess2', 'Diamond1', 'Diamond2',
  'Fade1', 'Plus1', 'Plus2', 'Split1', 'Split2', 'Split3', 'Split4', 'Strips1', 'Strips2', 'Strips3', 'Strips4',
  'Wedge1', 'Wheel1', 'Wheel2', 'Wheel3', 'Wheel4', 'Wheel5', 'Wipe1', 'Wipe2', 'Wipe3', 'Wipe4', 'Pull1', 'Pull2',
  'Pull3', 'Pull4'];

const near = (rgba, rgb, tolerance = 24) => rgb.every((c, i) => Math.abs(rgba[i] - c) <= tolerance);

// --- write the movies twice
const dirs = [mkdtempSync(join(tmpdir(), 'yel-album-a-')), mkdtempSync(join(tmpdir(), 'yel-album-b-'))];
let player;
try {
  for (const dir of dirs) execFileSync(writer, [dir], { stdio: ['ignore', 'inherit', 'inherit'] });
  const names = ['photos.swf', ...EFFECTS.map(e => `effect-${e}.swf`)];
  const movies = {};
  for (const name of names) {
    const [a, b] = dirs.map(d => readFileSync(join(d, name)));
    if (!a.equals(b)) fail(`${name}: two builds of the same album differ`);
    movies[name] = a;
    try {
      const parsed = parseSwf(new Uint8Array(a));
      const frames = parsed.tags.filter(t => t.type === swf.TagType.ShowFrame).length;
      if (parsed.header.frameCount !== frames) fail(`${name}: header has ${parsed.header.frameCount} frames, tags ${frames}`);
      for (const problem of usesBeforeDefinition(parsed).slice(0, 5)) fail(`${name}: ${problem}`);
    } catch (error) {
      fail(`${name}: swf-parser failed: ${error.message}`);
    }
  }

  player = await startPlayer();
  // photos.swf: 240 x 180 at 24 fps, E = 12 and 12 hold frames, album background (0, 64, 128). Frame 1
  // loading screen; slide 1 frames 2-13 (wide red photo: 240 x 90 at y 45);
  // slide 2 Wipe1 frames 14-26 then 27-38 (small green photo, 60 x 40, scaled
  // up with its shape kept: 240 x 160 at y 10); slide 3 frames 39-50 (missing photo); slide 4 frames 51-62
  // (tall yellow photo: 45 x 180 at x 98).
  const BG = [0, 64, 128], RED = [255, 0, 0], GREEN = [0, 255, 0], YELLOW = [255, 255, 0], WHITE = [255, 255, 255];
  const expectations = [
    [1, [[120, 90, WHITE]]],
    [7, [[120, 90, RED], [120, 50, RED], [120, 130, RED], [120, 20, BG], [120, 160, BG], [5, 90, RED], [235, 90, RED]]],
    [20, [[60, 90, GREEN], [115, 20, GREEN], [180, 90, RED], [180, 20, BG]]],  // Wipe1 at t = 6: 120 px open
    [30, [[10, 20, GREEN], [230, 160, GREEN], [120, 90, GREEN], [120, 4, BG], [120, 176, BG]]],
    [45, [[120, 90, BG], [10, 170, BG]]],
    [56, [[120, 90, YELLOW], [102, 10, YELLOW], [138, 170, YELLOW], [90, 90, BG], [150, 90, BG]]],
  ];
  for (const [frame, points] of expectations) {
    // Frame 1's preloader plays on as soon as the movie is loaded, which it
    // is at once here: the loading screen is looked at without it. The later
    // frames are reached through it.
    await player.loadAtFrame(frame === 1 ? withoutLoadingScript(movies['photos.swf']) : movies['photos.swf'], frame);
    if (shots) await player.screenshot(join(shots, `photos-${frame}.png`));
    const got = await player.pixels(points.map(([x, y]) => [x, y]));
    points.forEach(([x, y, rgb], i) => {
      if (!near(got[i], rgb)) fail(`photos.swf frame ${frame} (${x}, ${y}): got ${got[i]}, expected ${rgb}`);
    });
  }

  // effect-NAME.swf: frame 1 loading, frame 2 slide A, then the transition
  // to slide B from frame 3 (t = 0) with E = 12.
  const A = [230, 40, 40], B = [40, 60, 220];
  const w = 240, h = 180, E = 12, t = 6;
  let checked = 0;
  for (const name of EFFECTS) {
    const incoming = B, outgoing = A;
    const frame = 3 + t;
    const figs = figures(name, w, h, E, t);
    const points = [], expected = [];
    // Points 4 px from the stage's right edge are left out: Ruffle's canvas
    // backend blends the last pixels of the stage with the page.
    for (let y = 4; y < h; y += 8)
      for (let x = 4; x < w - 4; x += 8) {
        let colour;
        if (name === 'Fade1') {
          colour = null;  // checked below
        } else {
          const out = outgoingAt(figs, x + 0.5, y + 0.5);
          if (out === null) continue;
          colour = out ? outgoing : incoming;
        }
        points.push([x, y]);
        expected.push(colour);
      }
    await player.loadAtFrame(movies[`effect-${name}.swf`], frame);
    if (shots) await player.screenshot(join(shots, `effect-${name}.png`));
    const got = await player.pixels(points);
    let wrong = 0;
    const examples = [];
    if (name === 'Fade1') {
      // One mask over the whole picture with an alpha add of -127: every
      // point shows the same colour, part outgoing and part incoming. (The
      // player's canvas renderer does not blend a masked clip with alpha the
      // way the format describes, so the exact mix is not compared.)
      const first = got[0];
      const uniform = got.every(p => near(p, first.slice(0, 3), 4));
      const between = !near(first, A, 30) && !near(first, B, 30) && first[0] > B[0] + 30 && first[2] < B[2] - 30;
      // The canvas backend does not fade a masked clip evenly; there only
      // the first and last frames are compared.
      if ((!uniform || !between) && process.env.YEL_RUFFLE_RENDERER !== 'canvas')
        fail(`Fade1 frame ${frame}: not a uniform partial fade (${first})`);
      for (const [f, rgb] of [[3, A], [16, B]]) {
        await player.loadAtFrame(movies['effect-Fade1.swf'], f);
        const [p] = await player.pixels([[120, 90]]);
        if (!near(p, rgb)) fail(`Fade1 frame ${f}: got ${p}, expected ${rgb}`);
      }
      checked += points.length;
      continue;
    }
    got.forEach((rgba, i) => {
      if (near(rgba, expected[i])) return;
      wrong++;
      if (examples.length < 4) examples.push(`(${points[i]}) got ${rgba.slice(0, 3)} expected ${expected[i]}`);
    });
    checked += points.length;
    if (points.length < 50) fail(`${name}: only ${points.length} points away from edges`);
    if (wrong) fail(`${name} frame ${frame}: ${wrong} of ${points.length} points wrong, e.g. ${examples.join('; ')}`);
  }
  console.log(`checked ${EFFECTS.length} effects at ${checked} points`);
  const errors = player.console().filter(line => line.startsWith('error') || line.startsWith('pageerror'));
  if (errors.length) fail(`player errors: ${errors.join('; ')}`);
} finally {
  if (player) await player.close();
  for (const dir of dirs) rmSync(dir, { recursive: true, force: true });
}

if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('album player check passed');
