// Checks the player harness itself on a movie assembled byte by byte here: a
// 200 x 100 red stage whose first frame traces "hello".
import assert from 'node:assert/strict';
import { startPlayer } from './player.mjs';

function tag(code, body) {
  const header = Buffer.alloc(2);
  header.writeUInt16LE((code << 6) | body.length);  // short tags only
  return Buffer.concat([header, body]);
}

// RECT 0..4000 x 0..2000 twips with 13-bit fields, frame rate 24, 1 frame.
const bits = '01101' + [0, 4000, 0, 2000].map(v => v.toString(2).padStart(13, '0')).join('');
const padded = bits.padEnd(Math.ceil(bits.length / 8) * 8, '0');
const rect = Buffer.from(padded.match(/.{8}/g).map(b => parseInt(b, 2)));
const hello = Buffer.from('hello\0', 'latin1');
const push = Buffer.concat([Buffer.from([0x96, hello.length + 1, 0, 0]), hello]);
const body = Buffer.concat([
  rect, Buffer.from([0, 24, 1, 0]),
  tag(9, Buffer.from([255, 0, 0])),                                  // SetBackgroundColor
  tag(12, Buffer.concat([push, Buffer.from([0x26, 0])])),           // DoAction: trace("hello")
  tag(1, Buffer.alloc(0)), tag(0, Buffer.alloc(0)),                  // ShowFrame, End
]);
const header = Buffer.from([0x46, 0x57, 0x53, 8, 0, 0, 0, 0]);
header.writeUInt32LE(8 + body.length, 4);

const player = await startPlayer();
try {
  await player.load(Buffer.concat([header, body]));
  assert.deepEqual(player.size(), { width: 200, height: 100 });
  await player.wait(300);
  const [corner, middle] = await player.pixels([[5, 5], [150, 80]]);
  assert.deepEqual(corner.slice(0, 3), [255, 0, 0]);
  assert.deepEqual(middle.slice(0, 3), [255, 0, 0]);
  assert.deepEqual(await player.traces(), ['hello']);
  assert.deepEqual(player.console().filter(line => line.startsWith('error')), []);
  console.log('player harness: 1 passed, 0 failed');
} finally {
  await player.close();
}
