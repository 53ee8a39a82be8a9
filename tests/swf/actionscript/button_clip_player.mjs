// Button and clip scripts in Ruffle: `yel compile --button --clip` places a
// button whose handlers trace on release and on the Left key, and a clip
// whose handlers trace when it loads and on every key down. The test clicks
// the button and presses keys, and compares the traces. Also the order in
// which for-in enumerates array and object literals, versions 5 to 8.
//
// Usage: node button_clip_player.mjs YEL_BINARY
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { startPlayer } from '../../player/player.mjs';

const [yel] = process.argv.slice(2);
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-handlers-'));
const failures = [];
let player;
try {
  fs.writeFileSync(path.join(dir, 'frame.as'), 'trace("frame");\n');
  fs.writeFileSync(path.join(dir, 'button.as'),
    'on (release) { trace("released"); }\non (keyPress "<Left>") { trace("left"); }\n');
  fs.writeFileSync(path.join(dir, 'clip.as'),
    'onClipEvent (load) { trace("loaded at " + this._x); }\n' +
    'onClipEvent (keyDown) { trace("key " + Key.getCode()); }\n');
  const movie = path.join(dir, 'handlers.swf');
  execFileSync(yel, ['compile', path.join(dir, 'frame.as'), '-o', movie, '--size', '300x200', '--fps', '12',
    '--button', path.join(dir, 'button.as'), '--clip', path.join(dir, 'clip.as')]);
  player = await startPlayer();
  await player.loadAtFrame(fs.readFileSync(movie), 1);
  // The button is the grey square at the top left, the clip the blue one
  // 110 pixels to its right.
  const [button, clip] = await player.pixels([[50, 50], [160, 50]]);
  if (Math.abs(button[0] - 128) > 8 || Math.abs(button[2] - 128) > 8) failures.push(`button pixel ${button}`);
  if (clip[2] < 200 || clip[0] > 40) failures.push(`clip pixel ${clip}`);
  await player.mouse.move(50, 50, { steps: 3 });
  await player.mouse.down();
  await player.wait(100);
  await player.mouse.up();
  await player.wait(300);
  await player.keyboard.press('ArrowLeft');
  await player.wait(300);
  const traces = await player.traces();
  const want = ['frame', 'loaded at 110', 'released', 'key 37', 'left'];
  for (const line of want) if (!traces.includes(line)) failures.push(`no trace "${line}" in ${JSON.stringify(traces)}`);
  if (traces.indexOf('loaded at 110') > traces.indexOf('released')) failures.push(`order: ${JSON.stringify(traces)}`);

  // for-in over literals enumerates the last element first in every
  // version, as the reference player does for the movies of version 6 on
  // (avm1/swf6_global_funcs): InitArray and InitObject take the elements in
  // source order, and the player enumerates the newest first.
  fs.writeFileSync(path.join(dir, 'forin.as'),
    'var s = "";\nfor (var k in [10, 20, 30]) s += k + ",";\nfor (var k in {x: 1, y: 2}) s += k + ",";\ntrace(s);\n');
  for (const version of ['5', '6', '7', '8']) {
    const forin = path.join(dir, `forin${version}.swf`);
    execFileSync(yel, ['compile', path.join(dir, 'forin.as'), '-o', forin, '--swf-version', version]);
    await player.loadAtFrame(fs.readFileSync(forin), 1);
    const got = await player.traces();
    if (JSON.stringify(got) !== JSON.stringify(['2,1,0,y,x,'])) failures.push(`for-in, version ${version}: ${JSON.stringify(got)}`);
  }
} finally {
  if (player) await player.close();
  fs.rmSync(dir, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('button and clip handlers: ok');
