// Plays movies of the builder tests (PlayerMovieTest.*) in the player
// harness: scripts of frames, sprites and clip events run, and frames place,
// replace and remove characters as built.
//
// Usage: node timeline_player_test.mjs SWF_BUILDER_TESTS_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startPlayer } from "../../player/player.mjs";

const [binary] = process.argv.slice(2);
const folder = mkdtempSync(join(tmpdir(), "yel-timeline-"));
const failures = [];
let passed = 0;
const near = (got, want) => got.slice(0, 3).every((v, c) => Math.abs(v - want[c]) <= 12);
const check = (what, ok, detail) => (ok ? passed++ : failures.push(`${what}: ${detail}`));

const player = await startPlayer();
try {
  execFileSync(binary, ["--gtest_filter=PlayerMovieTest.*", "--gtest_brief=1"], {
    stdio: ["ignore", "ignore", "inherit"], env: { ...process.env, YEL_BUILDER_MOVIES: folder },
  });
  const movie = (name) => readFileSync(join(folder, `PlayerMovieTest.${name}.swf`));

  await player.loadAtFrame(movie("ScriptsRunInAVersion8Movie"), 1);
  await player.wait(300);
  const traces = await player.traces();
  for (const text of ["init", "load", "frame", "enter"]) check(`trace ${text}`, traces.includes(text), JSON.stringify(traces));
  const [clip, multiplied, empty] = await player.pixels([[25, 25], [125, 25], [75, 75]]);
  check("clip", near(clip, [255, 0, 0]), clip);
  check("multiplied clip", near(multiplied, [255, 0, 0]), multiplied);
  check("empty stage", near(empty, [255, 255, 255]), empty);

  const frames = movie("FramesReplaceAndRemove");
  const expected = [
    [1, [[25, 25, [255, 0, 0]], [75, 75, [255, 255, 255]]]],
    [2, [[25, 25, [0, 255, 0]], [75, 75, [0, 255, 0]], [150, 75, [255, 255, 255]]]],
    [3, [[25, 25, [255, 255, 255]], [75, 75, [255, 255, 255]]]],
  ];
  for (const [frame, points] of expected) {
    await player.loadAtFrame(frames, frame);
    const pixels = await player.pixels(points.map(([x, y]) => [x, y]));
    points.forEach(([x, y, want], i) => check(`frame ${frame} at ${x},${y}`, near(pixels[i], want), pixels[i]));
  }
  const errors = player.console().filter((line) => /^(error|pageerror)/.test(line));
  check("no player errors", errors.length === 0, errors.join("; "));
} finally {
  await player.close();
  rmSync(folder, { recursive: true, force: true });
}
if (failures.length) console.error(failures.join("\n"));
console.log(`timeline in the player: ${passed} passed, ${failures.length} failed`);
process.exit(failures.length ? 1 : 0);
