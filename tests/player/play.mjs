// Plays an SWF file in the player harness and prints what a test needs as
// JSON: pixels at chosen points after a wait, trace() output, fscommands,
// and player errors.
//   node play.mjs MOVIE.swf [--frame N] [--at-ms N] [--pixel X,Y]... [--screenshot OUT.png] [--wait-ms N]
// With --frame the movie is stopped on frame N and sampled there (exact).
// Otherwise several "--at-ms" groups sample the same run at several times
// (measured from when the movie was loaded).
import fs from 'node:fs';
import { startPlayer } from './player.mjs';

function usage() {
  console.error('usage: node play.mjs MOVIE.swf [--at-ms N] [--pixel X,Y]... [--screenshot OUT.png] [--wait-ms N]');
  process.exit(2);
}

const args = process.argv.slice(2);
if (args.length < 1) usage();
const movie = args[0];
const samples = [];
let current = { atMs: 500, points: [], screenshot: null };
let finalWait = 0;
let stopFrame = 0;
for (let i = 1; i < args.length; i++) {
  const value = args[i + 1];
  switch (args[i]) {
    case '--at-ms':
      if (current.points.length || current.screenshot) samples.push(current);
      current = { atMs: Number(value), points: [], screenshot: null }; i++; break;
    case '--pixel': current.points.push(value.split(',').map(Number)); i++; break;
    case '--screenshot': current.screenshot = value; i++; break;
    case '--wait-ms': finalWait = Number(value); i++; break;
    case '--frame': stopFrame = Number(value); current.atMs = 0; i++; break;
    default: usage();
  }
}
if (current.points.length || current.screenshot || samples.length === 0) samples.push(current);

const player = await startPlayer();
const result = { size: null, samples: [], traces: [], commands: [], errors: [] };
try {
  if (stopFrame > 0) await player.loadAtFrame(fs.readFileSync(movie), stopFrame);
  else await player.load(fs.readFileSync(movie));
  const started = Date.now();
  result.size = player.size();
  for (const sample of samples.sort((a, b) => a.atMs - b.atMs)) {
    const delay = sample.atMs - (Date.now() - started);
    if (delay > 0) await player.wait(delay);
    const entry = { atMs: Date.now() - started, pixels: [] };
    if (sample.points.length) entry.pixels = await player.pixels(sample.points);
    if (sample.screenshot) await player.screenshot(sample.screenshot);
    result.samples.push(entry);
  }
  if (finalWait) await player.wait(finalWait);
  result.traces = await player.traces();
  result.commands = await player.commands();
  result.errors = player.console().filter(line => /^(error|pageerror)/.test(line));
} finally {
  await player.close();
}
console.log(JSON.stringify(result));
