// Plays the display-list sample movie (write_display_movies) in Ruffle
// through the player harness and checks, on its second frame, the squares
// that PlaceObject, PlaceObject2 (in a sprite too) and PlaceObject3 show,
// their colour transforms, a LINESTYLE2 outline, a RemoveObject2, and the
// trace output of the clip actions.
//
// Usage: node play_display_movie.mjs WRITER_BINARY
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startPlayer } from "../../player/player.mjs";

const [writer] = process.argv.slice(2);
const dir = mkdtempSync(join(tmpdir(), "yel-display-play-"));
let player;
try {
  execFileSync(writer, [dir], { stdio: "inherit" });
  player = await startPlayer();
  await player.loadAtFrame(readFileSync(join(dir, "playback.swf")), 2);
  assert.deepEqual(player.size(), { width: 400, height: 300 });
  const points = {
    removed: [60, 60], green: [190, 60], sprite: [60, 190], magenta: [190, 190], yellow: [300, 60], outline: [251, 60],
  };
  const want = {
    removed: [255, 255, 255], green: [0, 255, 0], sprite: [255, 0, 0], magenta: [255, 0, 255], yellow: [255, 255, 0],
    outline: [0, 0, 0],
  };
  const pixels = await player.pixels(Object.values(points));
  const names = Object.keys(points);
  const near = (a, b) => a.every((v, i) => Math.abs(v - b[i]) <= 8);
  const wrong = names.filter((name, i) => !near(pixels[i].slice(0, 3), want[name]));
  assert.deepEqual(wrong.map((n) => [n, pixels[names.indexOf(n)]]), []);
  const traces = await player.traces();
  assert.ok(traces.includes("load3"), `traces ${JSON.stringify(traces)}`);
  assert.ok(traces.includes("sprite"), `traces ${JSON.stringify(traces)}`);
  assert.ok(!traces.includes("key"), `traces ${JSON.stringify(traces)}`);
} finally {
  if (player) await player.close();
  rmSync(dir, { recursive: true, force: true });
}
console.log("Ruffle shows the placed shapes and runs the clip actions");
