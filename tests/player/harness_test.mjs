// Checks the player harness itself on movies assembled byte by byte here: a
// 200 x 100 red stage with three frames that trace "f1", "f2" and "f3".
import assert from 'node:assert/strict';
import { startPlayer } from './player.mjs';

function tag(code, body) {
  const header = Buffer.alloc(2);
  header.writeUInt16LE((code << 6) | body.length);  // short tags only
  return Buffer.concat([header, body]);
}

function traceAction(text) {
  const string = Buffer.from(text + '\0', 'latin1');
  const push = Buffer.concat([Buffer.from([0x96, string.length + 1, 0, 0]), string]);
  return tag(12, Buffer.concat([push, Buffer.from([0x26, 0])]));  // DoAction: trace(text)
}

// RECT 0..4000 x 0..2000 twips with 13-bit fields, frame rate 24, 3 frames.
const bits = '01101' + [0, 4000, 0, 2000].map(v => v.toString(2).padStart(13, '0')).join('');
const padded = bits.padEnd(Math.ceil(bits.length / 8) * 8, '0');
const rect = Buffer.from(padded.match(/.{8}/g).map(b => parseInt(b, 2)));
const showFrame = tag(1, Buffer.alloc(0));
const body = Buffer.concat([
  rect, Buffer.from([0, 24, 3, 0]),
  tag(9, Buffer.from([255, 0, 0])),  // SetBackgroundColor
  traceAction('f1'), showFrame, traceAction('f2'), showFrame, traceAction('f3'), showFrame,
  tag(0, Buffer.alloc(0)),
]);
const header = Buffer.from([0x46, 0x57, 0x53, 8, 0, 0, 0, 0]);
header.writeUInt32LE(8 + body.length, 4);
const movie = Buffer.concat([header, body]);

const player = await startPlayer();
let passed = 0;
try {
  await player.load(movie);
  assert.deepEqual(player.size(), { width: 200, height: 100 });
  await player.wait(300);
  const [corner, middle] = await player.pixels([[5, 5], [150, 80]]);
  assert.deepEqual(corner.slice(0, 3), [255, 0, 0]);
  assert.deepEqual(middle.slice(0, 3), [255, 0, 0]);
  assert.deepEqual((await player.traces()).slice(0, 3), ['f1', 'f2', 'f3']);
  assert.deepEqual(player.console().filter(line => line.startsWith('error')), []);
  passed++;

  // Stopping on a chosen frame: frame 2 runs, frame 3 never does.
  await player.loadAtFrame(movie, 2);
  await player.wait(300);
  assert.deepEqual(await player.traces(), ['f1', 'f2']);
  passed++;
  await assert.rejects(player.loadAtFrame(movie, 4), /only 3 frames/);
  passed++;
} finally {
  await player.close();
}

// Stepping: the clock stands still between steps, each step runs exactly one
// frame (traces and frame markers in order), and the picture drawn in a step
// can be read back.
const stepping = await startPlayer({ stepping: true, renderer: 'webgl' });
try {
  const marked = await stepping.loadStepping(movie);
  assert.equal(marked.frameRate, 24);
  assert.equal(marked.frameCount, 3);
  await stepping.wait(300);
  assert.deepEqual(await stepping.traces(), []);
  const ran = [];
  for (let i = 0; i < 4; i++) {
    const step = await stepping.step({ grabFrames: [2] });
    ran.push(step.ran);
    if (i === 1) {
      assert.equal(step.picture.frame, 2);
      assert.deepEqual([step.picture.width, step.picture.height], [200, 100]);
      assert.deepEqual([...step.picture.data.subarray(0, 4)], [255, 0, 0, 255]);
      assert.deepEqual([...step.picture.data.subarray(-4)], [255, 0, 0, 255]);
    } else {
      assert.equal(step.picture, null);
    }
  }
  assert.deepEqual(ran, [[1], [2], [3], [1]]);
  assert.deepEqual(await stepping.traces(), ['f1', 'f2', 'f3', 'f1']);
  passed++;

  // Compared in the page with a reference picture: red passes, a red one
  // with a blue 16 x 16 block fails there; the picture itself is kept.
  const red = Buffer.alloc(200 * 100 * 4);
  for (let i = 0; i < red.length; i += 4) red.set([255, 0, 0, 255], i);
  const blue = Buffer.from(red);
  for (let y = 32; y < 48; y++) for (let x = 64; x < 80; x++) blue.set([0, 0, 255, 255], (y * 200 + x) * 4);
  const same = await stepping.step({ grabFrames: [2], reference: () => ({ width: 200, height: 100, data: red }) });
  assert.deepEqual(same.picture.frame, 2);
  assert.equal(same.picture.comparison.pass, true);
  const differs = await stepping.step({ grabFrames: [3], reference: () => ({ width: 200, height: 100, data: blue }) });
  assert.equal(differs.picture.comparison.pass, false);
  assert.deepEqual([differs.picture.comparison.worst.x, differs.picture.comparison.worst.y], [64, 32]);
  assert.deepEqual((await stepping.kept()).data, red);

  // A movie loaded after another starts again at frame 1, one frame a step.
  await stepping.loadStepping(movie);
  assert.deepEqual((await stepping.step()).ran, [1]);
  assert.deepEqual((await stepping.step()).ran, [2]);
  passed++;
} finally {
  await stepping.close();
}
console.log(`player harness: ${passed} passed, 0 failed`);
