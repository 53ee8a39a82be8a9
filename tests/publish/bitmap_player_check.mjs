// Independent check of bitmaps in movies: writes one movie per kind of bitmap
// (bitmap_player_movies), parses each with swf-parser (the bitmap tag's kind
// and size) and plays it in Ruffle, sampling the middle of each quadrant of
// the picture: red, green, blue, white from top-left, grey where the picture
// is transparent. JPEG data gets a tolerance for its error, never enough to
// pass a wrong channel order, a mirror or an upside-down picture.
//
// Usage: node bitmap_player_check.mjs WRITER_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { parseSwf, swf } from "swf-parser";
import { startPlayer } from "../player/player.mjs";

const [writer] = process.argv.slice(2);
const R = [255, 0, 0], G = [0, 255, 0], B = [0, 0, 255], W = [255, 255, 255], grey = [128, 128, 128];
const halfGreen = [64, 192, 64];  // green at alpha 128 over grey
const points = [[20, 20], [60, 20], [20, 60], [60, 60]];

// name: [bitmap media type, expected colours at the four points, tolerance]
const movies = {
  "jpeg": ["image/jpeg", [R, G, B, W], 30],
  "jpeg-alpha": ["image/x-swf-jpeg3", [grey, G, grey, W], 30],
  "jpeg-progressive": ["image/jpeg", [R, G, B, W], 30],
  "lossless-8bit": ["image/x-swf-lossless1", [R, G, B, W], 4],
  "lossless-8bit-alpha": ["image/x-swf-lossless2", [grey, G, B, W], 4],
  "lossless-4bit": ["image/x-swf-lossless1", [R, G, B, W], 4],
  "lossless-15bit": ["image/x-swf-lossless1", [R, G, B, W], 8],
  "lossless-15bit-from-565": ["image/x-swf-lossless1", [R, G, B, W], 8],
  "lossless-24bit": ["image/x-swf-lossless1", [R, G, B, W], 4],
  "lossless-24bit-topdown": ["image/x-swf-lossless1", [R, G, B, W], 4],
  "lossless-32bit-alpha": ["image/x-swf-lossless2", [grey, halfGreen, B, W], 6],
  "png-alpha": ["image/x-swf-lossless2", [grey, halfGreen, B, W], 6],
  "png-16bit": ["image/x-swf-lossless2", [R, G, B, W], 4],
  "png-palette-transparent": ["image/x-swf-lossless2", [grey, G, B, W], 4],
  "gif-transparent": ["image/x-swf-lossless2", [grey, G, B, W], 4],
  "jpeg-cmyk": ["image/jpeg", [R, G, B, W], 30],
  "jpeg-exif-turned": ["image/jpeg", [B, R, W, G], 30],
  "jpeg-grey": ["image/jpeg", [[30, 30, 30], [90, 90, 90], [160, 160, 160], [230, 230, 230]], 12],
  "picture-movie": ["image/x-swf-lossless2", [R, G, B, W], 4],
};

const folder = mkdtempSync(join(tmpdir(), "yel-bitmaps-"));
const failures = [];
let passed = 0;
const player = await startPlayer();
try {
  execFileSync(writer, [folder], { stdio: "inherit" });
  for (const [name, [mediaType, expected, tolerance]] of Object.entries(movies)) {
    const bytes = readFileSync(join(folder, `${name}.swf`));
    let movie;
    try {
      movie = parseSwf(new Uint8Array(bytes));
    } catch (error) {
      failures.push(`${name}: swf-parser failed: ${error.message}`);
      continue;
    }
    const bitmaps = movie.tags.filter((t) => t.type === swf.TagType.DefineBitmap);
    if (movie.tags.some((t) => t.type === swf.TagType.Raw || t.type === swf.TagType.RawBody))
      failures.push(`${name}: a tag did not parse`);
    if (bitmaps.length !== 1) failures.push(`${name}: ${bitmaps.length} bitmap tags`);
    else if (bitmaps[0].mediaType !== mediaType) failures.push(`${name}: ${bitmaps[0].mediaType} instead of ${mediaType}`);
    else if (bitmaps[0].width !== 40 || bitmaps[0].height !== 40)
      failures.push(`${name}: bitmap ${bitmaps[0].width} x ${bitmaps[0].height}`);
    else passed++;

    await player.loadAtFrame(bytes, 1);
    const pixels = await player.pixels(points);
    points.forEach(([x, y], i) => {
      const got = pixels[i].slice(0, 3);
      if (got.every((v, c) => Math.abs(v - expected[i][c]) <= tolerance)) passed++;
      else failures.push(`${name} at ${x},${y}: ${got} instead of ${expected[i]}`);
    });
  }
  const errors = player.console().filter((line) => /^(error|pageerror)/.test(line));
  if (errors.length) failures.push(`player errors: ${errors.join("; ")}`);
} finally {
  await player.close();
  rmSync(folder, { recursive: true, force: true });
}
if (failures.length) console.error(failures.join("\n"));
console.log(`bitmaps in the player: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length ? 1 : 0);
