// Plays the shape gallery (tools/shape_gallery) in the player harness and
// checks pixels inside and outside every figure, the ends of the gradients,
// dashes and gaps, the masked sprite and the tinted placement; the movie
// must also parse with swf-parser.
//
// Usage: node shape_gallery_test.mjs SHAPE_GALLERY_BINARY
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { parseSwf, swf } from "swf-parser";
import { usesBeforeDefinition } from "./define_order.mjs";
import { startPlayer } from "../../player/player.mjs";

const [binary] = process.argv.slice(2);
const white = [255, 255, 255];
const red = [220, 30, 30];
const green = [0, 160, 0];
const blue = [30, 60, 220];
const navy = [20, 20, 120];
const purple = [130, 40, 160];

// [what, x, y, expected RGB, tolerance]; the grid cells are 160 x 100 pixels.
const checks = [
  ["rectangle", 80, 50, red], ["beside the rectangle", 10, 50, white],
  ["rounded rectangle", 240, 50, green], ["rounded corner", 182, 17, white],
  ["ellipse scaled by 2", 455, 51, blue], ["beside the ellipse", 345, 20, white],
  ["diamond", 540, 50, [255, 140, 0]], ["beside the diamond", 490, 20, white],
  ["pie", 100, 170, purple], ["open quarter of the pie", 100, 130, white],
  ["arc above its chord", 240, 140, [0, 130, 130]], ["below the chord", 240, 175, white],
  ["star centre", 400, 150, [230, 180, 0]], ["star tip, turned down", 400, 180, [230, 180, 0]],
  ["between the upper tips", 400, 112, white],
  ["curved star", 560, 150, [220, 0, 180]], ["beside the curved star", 520, 110, white],
  ["cubic arch", 80, 260, navy], ["above the arch's foot", 25, 205, white],
  ["poly-Bézier blob", 240, 250, [0, 190, 220]], ["beside the blob", 182, 212, white],
  ["house", 400, 260, [140, 80, 30]], ["above the walls", 355, 205, white],
  ["mirrored triangle", 575, 265, purple], ["where it was before mirroring", 605, 265, white],
  ["linear gradient, first end", 13, 350, red, 30], ["linear gradient, last end", 147, 350, blue, 30],
  ["radial gradient, centre", 240, 350, white, 30], ["radial gradient, rim", 184, 350, [0, 0, 0], 60],
  ["vertical gradient, bottom", 400, 392, red, 40], ["vertical gradient, middle", 400, 350, green, 30],
  ["vertical gradient, top", 400, 308, blue, 40],
  ["line", 560, 350, [0, 0, 0], 70], ["beside the line", 600, 320, white],
  ["dash", 25, 420, navy, 40], ["transparent gap", 35, 420, white, 40], ["inside the dashes", 80, 450, white],
  ["red dash", 185, 420, red, 40], ["green gap", 195, 420, green, 40], ["fill inside the dashes", 240, 450, [255, 240, 150]],
  ["masked picture", 400, 450, red], ["picture outside the mask", 335, 415, white],
  ["tinted square", 560, 450, [200, 50, 128]], ["beside the square", 495, 450, white],
];

const folder = mkdtempSync(join(tmpdir(), "yel-gallery-"));
const player = await startPlayer();
let passed = 0;
const failures = [];
try {
  const file = join(folder, "gallery.swf");
  execFileSync(binary, [file], { stdio: "inherit" });
  const bytes = readFileSync(file);

  const movie = parseSwf(new Uint8Array(bytes));
  assert.equal(movie.header.swfVersion, 8);
  assert.equal(movie.header.frameCount, 1);
  assert.ok(movie.tags.every((t) => t.type !== swf.TagType.Raw && t.type !== swf.TagType.RawBody), "every tag parses");
  assert.deepEqual(usesBeforeDefinition(movie), [], "every character is defined before its first use");
  passed++;

  await player.loadAtFrame(bytes, 1);
  const pixels = await player.pixels(checks.map(([, x, y]) => [x, y]));
  checks.forEach(([what, x, y, expected, tolerance = 12], i) => {
    const got = pixels[i].slice(0, 3);
    if (got.every((v, c) => Math.abs(v - expected[c]) <= tolerance)) passed++;
    else failures.push(`${what} at ${x},${y}: ${got} instead of ${expected}`);
  });
  const errors = player.console().filter((line) => /^(error|pageerror)/.test(line));
  if (errors.length) failures.push(`player errors: ${errors.join("; ")}`);
} finally {
  await player.close();
  rmSync(folder, { recursive: true, force: true });
}
if (failures.length) console.error(failures.join("\n"));
console.log(`shape gallery: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length ? 1 : 0);
