// Independent check of the drawing canvas: for each drawing written by
// canvas_player_movies, the converted movie is played in Ruffle and its
// first frame compared with the work bitmap of the same drawing.
//
// Sampled on a 2-pixel grid, the mean difference per pixel (average of the
// absolute red, green and blue differences, 0..255) must stay under
// MEAN_LIMIT, and the mean over every 10 × 10 pixel block under BLOCK_LIMIT,
// so that no region is missing or misplaced while edge antialiasing (the
// player smooths, GDI does not) is tolerated.
//
// Usage: node canvas_player_check.mjs CANVAS_PLAYER_MOVIES_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startPlayer } from "../../player/player.mjs";

const MEAN_LIMIT = 6;
const BLOCK_LIMIT = 48;
const STEP = 2;
const BLOCK = 10;

function readPpm(bytes) {
  const text = bytes.subarray(0, 64).toString("latin1");
  const m = /^P6\s+(\d+)\s+(\d+)\s+255\s/.exec(text);
  if (!m) throw new Error("not a PPM file");
  return { width: +m[1], height: +m[2], data: bytes.subarray(m[0].length) };
}

const [binary] = process.argv.slice(2);
const out = mkdtempSync(join(tmpdir(), "yel-canvas-movies-"));
const failures = [];
const player = await startPlayer();
try {
  execFileSync(binary, [out], { stdio: ["ignore", "inherit", "inherit"] });
  for (const file of readdirSync(out).filter((f) => f.endsWith(".swf")).sort()) {
    const name = file.slice(0, -4);
    const reference = readPpm(readFileSync(join(out, name + ".ppm")));
    await player.loadAtFrame(readFileSync(join(out, file)), 1);
    const points = [];
    for (let y = 0; y < reference.height; y += STEP)
      for (let x = 0; x < reference.width; x += STEP) points.push([x, y]);
    const got = await player.pixels(points);
    let total = 0;
    const blocks = new Map();
    points.forEach(([x, y], i) => {
      const o = (y * reference.width + x) * 3;
      const [r, g, b] = got[i];
      const d = (Math.abs(r - reference.data[o]) + Math.abs(g - reference.data[o + 1]) +
        Math.abs(b - reference.data[o + 2])) / 3;
      total += d;
      const key = `${Math.floor(x / BLOCK)},${Math.floor(y / BLOCK)}`;
      const s = blocks.get(key) || { sum: 0, n: 0 };
      s.sum += d;
      s.n += 1;
      blocks.set(key, s);
    });
    const mean = total / points.length;
    let worst = 0, worstKey = "";
    for (const [key, s] of blocks) {
      if (s.sum / s.n > worst) {
        worst = s.sum / s.n;
        worstKey = key;
      }
    }
    const line = `${name}: mean difference ${mean.toFixed(2)}, worst block ${worst.toFixed(1)} at ${worstKey}`;
    console.log(line);
    if (mean >= MEAN_LIMIT || worst >= BLOCK_LIMIT) {
      failures.push(line);
      if (process.env.YEL_CANVAS_SCREENSHOTS) await player.screenshot(join(process.env.YEL_CANVAS_SCREENSHOTS, name + ".png"));
    }
    const errors = player.console().filter((m) => m.startsWith("error") || m.startsWith("pageerror"));
    if (errors.length) failures.push(`${name}: player errors: ${errors.join("; ")}`);
  }
} finally {
  await player.close();
  rmSync(out, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
