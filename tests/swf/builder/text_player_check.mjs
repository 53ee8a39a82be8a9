// Independent check of texts: each movie written by text_player_movies is
// played in Ruffle and compared with FreeType's own rendering of the same
// string. The ink bounding boxes (pixels darker than mid-grey) must agree
// within TOLERANCE pixels on every side, and pixels well inside the glyph
// stems of the rendering (nearly full coverage, and their four neighbours
// too) must be dark in the player as well. Text fields must trace their text. The device
// font field is drawn with the player's own font: only its ink inside the
// field and its trace are checked.
//
// Usage: node text_player_check.mjs TEXT_PLAYER_MOVIES_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startPlayer } from "../../player/player.mjs";

const TOLERANCE = 2;
const INK = 128;
const STEM = 224;

function readPgm(bytes) {
  const m = /^P5\s+(\d+)\s+(\d+)\s+255\s/.exec(bytes.subarray(0, 64).toString("latin1"));
  if (!m) throw new Error("not a PGM file");
  return { width: +m[1], height: +m[2], data: bytes.subarray(m[0].length) };
}

function inkBox(width, height, isInk) {
  let box = null;
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) {
      if (!isInk(x, y)) continue;
      if (!box) box = { left: x, top: y, right: x, bottom: y };
      box.left = Math.min(box.left, x);
      box.right = Math.max(box.right, x);
      box.top = Math.min(box.top, y);
      box.bottom = Math.max(box.bottom, y);
    }
  return box;
}

const [binary] = process.argv.slice(2);
const out = mkdtempSync(join(tmpdir(), "yel-text-movies-"));
const failures = [];
const player = await startPlayer();
try {
  execFileSync(binary, [out], { stdio: ["ignore", "inherit", "inherit"] });
  for (const file of readdirSync(out).filter((f) => f.endsWith(".swf")).sort()) {
    const name = file.slice(0, -4);
    const reference = readPgm(readFileSync(join(out, name + ".pgm")));
    const { width, height } = reference;
    await player.loadAtFrame(readFileSync(join(out, file)), 1);
    const points = [];
    for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) points.push([x, y]);
    const got = await player.pixels(points);
    const dark = (x, y) => {
      const [r, g, b] = got[y * width + x];
      return (r + g + b) / 3 < INK;
    };
    const played = inkBox(width, height, dark);
    const wanted = inkBox(width, height, (x, y) => reference.data[y * width + x] >= 128);
    const expectedTrace = readFileSync(join(out, name + ".txt"), "utf8");
    if (expectedTrace) {
      const traced = (await player.traces()).join("\n");
      if (traced !== expectedTrace) failures.push(`${name}: traced ${JSON.stringify(traced)}, expected ${JSON.stringify(expectedTrace)}`);
    }
    if (!played) {
      failures.push(`${name}: no text drawn`);
      continue;
    }
    if (name.includes("device")) {
      console.log(`${name}: ink ${JSON.stringify(played)}`);
      if (played.top < 30 || played.left < 20) failures.push(`${name}: ink outside the field ${JSON.stringify(played)}`);
      continue;
    }
    const off = Math.max(...["left", "top", "right", "bottom"].map((k) => Math.abs(played[k] - wanted[k])));
    // Stem pixels: nearly full coverage here and in the 4 neighbours.
    const full = (x, y) => reference.data[y * width + x] >= STEM;
    let stems = 0, missed = 0;
    for (let y = 1; y < height - 1; y++)
      for (let x = 1; x < width - 1; x++) {
        if (!(full(x, y) && full(x - 1, y) && full(x + 1, y) && full(x, y - 1) && full(x, y + 1))) continue;
        stems++;
        if (!dark(x, y)) missed++;
      }
    const line = `${name}: ink ${JSON.stringify(played)}, FreeType ${JSON.stringify(wanted)}, ` +
      `off by ${off} px; ${stems - missed} of ${stems} stem pixels dark`;
    console.log(line);
    if (off > TOLERANCE || stems < 3 || missed > stems * 0.02) {
      failures.push(line);
      if (process.env.YEL_TEXT_SCREENSHOTS) await player.screenshot(join(process.env.YEL_TEXT_SCREENSHOTS, name + ".png"));
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
console.log("texts play where FreeType draws them");
