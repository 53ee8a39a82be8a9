// Plays the morph shape, button and video movies of character_player_movies
// in Ruffle through the player harness: the morph shape's start, halfway and
// end looks at sampled points; the button's up and over looks as the pointer
// moves onto it, and the traces of its handlers; each video frame's colour,
// on the movie's timeline and in a sprite (whose tags swf-parser reads too),
// and the video's sound stream without a word about it in the player's log.
//
// Usage: node play_character_movies.mjs WRITER_BINARY FFMPEG
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { parseSwf, swf } from "swf-parser";
import { startPlayer } from "../../player/player.mjs";

const [writer, ffmpeg] = process.argv.slice(2);
const dir = mkdtempSync(join(tmpdir(), "yel-character-play-"));
const near = (a, b, tolerance) => b.every((v, i) => Math.abs(a[i] - v) <= tolerance);
const failures = [];
let player;
try {
  execFileSync(writer, [dir, ffmpeg], { stdio: "inherit" });
  player = await startPlayer();

  // Morph shape: a red square of 80 pixels becomes a blue bar of 180.
  const morph = readFileSync(join(dir, "morph.swf"));
  const morphWant = [
    // ratio 0, 0.5, 1: inside the square, then where the bar grows to
    { frame: 1, at: [[50, 50], [130, 50], [180, 50]], want: [[255, 0, 0], [255, 255, 255], [255, 255, 255]] },
    { frame: 2, at: [[50, 50], [130, 50], [180, 50]], want: [[128, 0, 127], [128, 0, 127], [255, 255, 255]] },
    { frame: 3, at: [[50, 50], [130, 50], [180, 50]], want: [[0, 0, 255], [0, 0, 255], [0, 0, 255]] },
  ];
  for (const { frame, at, want } of morphWant) {
    await player.loadAtFrame(morph, frame);
    const pixels = await player.pixels(at);
    at.forEach((p, i) => {
      if (!near(pixels[i], want[i], 8)) failures.push(`morph frame ${frame} at ${p}: ${pixels[i]}, want ${want[i]}`);
    });
  }

  // Videos: ten frames of distinct colours, with their MP3 sound streamed.
  const colors = [
    [255, 0, 0], [0, 255, 0], [0, 0, 255], [255, 255, 0], [0, 255, 255],
    [255, 0, 255], [255, 255, 255], [0, 0, 0], [255, 128, 0], [128, 0, 255],
  ];
  for (const name of ["video-h263", "video-screen"]) {
    const movie = readFileSync(join(dir, `${name}.swf`));
    for (let frame = 1; frame <= 10; frame++) {
      await player.loadAtFrame(movie, frame);
      const [pixel] = await player.pixels([[80, 60]]);
      if (!near(pixel, colors[frame - 1], 40)) failures.push(`${name} frame ${frame}: ${pixel}, want ${colors[frame - 1]}`);
    }
  }
  // The H.263 video in a sprite of the movie's one frame: the sprite stops
  // at frame N (tracing "sprite N"), where the video shows colour N.
  for (let frame = 1; frame <= 10; frame++) {
    const movie = readFileSync(join(dir, `video-h263-sprite-${frame}.swf`));
    await player.loadAtFrame(movie, 1);
    const want = `sprite ${frame}`;
    for (let waited = 0; !(await player.traces()).includes(want); waited += 20) {
      if (waited > 20000) throw new Error(`the sprite movie never traced "${want}"`);
      await player.wait(20);
    }
    await player.wait(50);
    const [pixel] = await player.pixels([[80, 60]]);
    if (!near(pixel, colors[frame - 1], 40)) failures.push(`video in a sprite, frame ${frame}: ${pixel}, want ${colors[frame - 1]}`);
  }
  // What the sprite holds, as swf-parser reads it: the video defined first;
  // in the sprite a sound stream head, then per frame a sound block, the
  // video frame and its placement (ratio = frame), and the frame's end.
  {
    const T = swf.TagType;
    const { tags } = parseSwf(new Uint8Array(readFileSync(join(dir, "video-h263-sprite-10.swf"))));
    const stream = tags.find((t) => t.type === T.DefineVideoStream);
    const sprite = tags.find((t) => t.type === T.DefineSprite);
    if (!stream || !sprite || tags.indexOf(stream) > tags.indexOf(sprite)) {
      failures.push("swf-parser: no video definition before the sprite");
    } else {
      const frames = sprite.tags.filter((t) => t.type === T.VideoFrame);
      const places = sprite.tags.filter((t) => t.type === T.PlaceObject);
      const shows = sprite.tags.filter((t) => t.type === T.ShowFrame);
      const heads = sprite.tags.filter((t) => t.type === T.SoundStreamHead);
      const blocks = sprite.tags.filter((t) => t.type === T.SoundStreamBlock);
      const got = JSON.stringify({
        frames: frames.map((t) => [t.videoId, t.frame]),
        ratios: places.map((t) => t.ratio),
        shows: shows.length, heads: heads.length, head: heads[0]?.streamFormat, blocks: blocks.length > 0,
      });
      const want = JSON.stringify({
        frames: [...Array(10).keys()].map((n) => [stream.id, n]),
        ratios: [...Array(10).keys()],
        shows: 10, heads: 1, head: 2 /* MP3 */, blocks: true,
      });
      if (got !== want) failures.push(`swf-parser, the sprite's tags: ${got}, want ${want}`);
    }
  }
  // Button: red when up, green with the pointer over it; handlers trace.
  await player.loadAtFrame(readFileSync(join(dir, "button.swf")), 1);
  const [up] = await player.pixels([[50, 50]]);
  if (!near(up, [255, 0, 0], 8)) failures.push(`button up: ${up}`);
  await player.mouse.move(150, 50);
  await player.mouse.move(50, 50, { steps: 5 });
  await player.wait(300);
  const [over] = await player.pixels([[50, 50]]);
  if (!near(over, [0, 255, 0], 8)) failures.push(`button over: ${over}`);
  await player.mouse.down();
  await player.wait(100);
  await player.mouse.up();
  await player.wait(300);
  const traces = await player.traces();
  for (const t of ["over", "released"]) if (!traces.includes(t)) failures.push(`button traces ${JSON.stringify(traces)}`);
  await player.mouse.move(1200, 1000);

  // Ruffle's own warnings and errors, and page errors; not the browser's
  // driver and WebGL notes, nor Web Audio's notes on a previous movie's closed context.
  const words = player.console().filter((l) => /WARN|ERROR|panic|pageerror/.test(l) &&
    !/GL Driver|WebGL contexts|context (is|has been) closed/.test(l));
  if (words.length) failures.push(`player log:\n  ${words.join("\n  ")}`);
} finally {
  if (player) await player.close();
  rmSync(dir, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
console.log("Ruffle shows the morph shape, the button's looks and every video frame (in a sprite too), and plays the sound");
