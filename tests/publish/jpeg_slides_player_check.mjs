// JPEG slides played in Ruffle: the album of three photo-like photos that
// album_player_movies writes lossless and with JPEG slides (quality 85) must
// look the same apart from JPEG artefacts (PSNR of at least 35 dB over the
// stage at a frame of each slide) and be several times smaller. Both movies
// must parse with swf-parser, the JPEG one with a DefineBitsJPEG2 per slide
// and no lossless bitmap.
//
// Usage: node jpeg_slides_player_check.mjs MOVIE_WRITER [--shots DIR]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { parseSwf, swf } from 'swf-parser';
import { startPlayer } from '../player/player.mjs';

const [writer, ...rest] = process.argv.slice(2);
const shots = rest[0] === '--shots' ? rest[1] : null;
const failures = [];
const fail = text => failures.push(text);

const dir = mkdtempSync(join(tmpdir(), 'yel-jpeg-slides-'));
let player;
try {
  execFileSync(writer, [dir, 'slides'], { stdio: 'inherit' });
  const lossless = readFileSync(join(dir, 'lossless-slides.swf'));
  const jpeg = readFileSync(join(dir, 'jpeg-slides.swf'));

  // The bitmap tags' media types, in order.
  const bitmaps = bytes => parseSwf(bytes).tags.filter(t => t.type === swf.TagType.DefineBitmap).map(t => t.mediaType);
  const losslessKinds = bitmaps(lossless), jpegKinds = bitmaps(jpeg);
  if (losslessKinds.length !== 3 || !losslessKinds.every(k => k.startsWith('image/x-swf-lossless')))
    fail(`lossless movie: bitmaps ${losslessKinds.join(', ')}, expected three lossless ones`);
  if (jpegKinds.length !== 3 || !jpegKinds.every(k => k === 'image/jpeg'))
    fail(`JPEG movie: bitmaps ${jpegKinds.join(', ')}, expected three JPEG ones`);
  const ratio = lossless.length / jpeg.length;
  console.log(`lossless ${lossless.length} bytes, JPEG slides ${jpeg.length} bytes: ${ratio.toFixed(1)} times smaller`);
  if (ratio < 3) fail(`the JPEG slides make the movie only ${ratio.toFixed(2)} times smaller`);

  // 360 x 270 at 24 fps: the loading frame, then per slide (no transition)
  // 12 hold frames. Every second pixel of the stage in both directions.
  player = await startPlayer();
  const points = [];
  for (let y = 0; y < 270; y += 2) for (let x = 0; x < 360; x += 2) points.push([x, y]);
  for (const frame of [10, 22, 34]) {
    await player.loadAtFrame(lossless, frame);
    if (shots) await player.screenshot(join(shots, `lossless-${frame}.png`));
    const a = await player.pixels(points);
    await player.loadAtFrame(jpeg, frame);
    if (shots) await player.screenshot(join(shots, `jpeg-${frame}.png`));
    const b = await player.pixels(points);
    let squares = 0;
    for (let i = 0; i < points.length; i++) for (let c = 0; c < 3; c++) squares += (a[i][c] - b[i][c]) ** 2;
    const psnr = squares === 0 ? Infinity : 10 * Math.log10(255 * 255 * points.length * 3 / squares);
    console.log(`frame ${frame}: PSNR ${psnr.toFixed(1)} dB`);
    if (!(psnr >= 35)) fail(`frame ${frame}: PSNR ${psnr.toFixed(1)} dB between the lossless and the JPEG slide`);
  }
  const errors = player.console().filter(line => line.startsWith('error') || line.startsWith('pageerror'));
  for (const e of errors) fail(`player: ${e}`);
} finally {
  if (player) await player.close();
  rmSync(dir, { recursive: true, force: true });
}
if (failures.length) {
  for (const f of failures) console.error(f);
  process.exit(1);
}
console.log('JPEG slides: all checks passed');
