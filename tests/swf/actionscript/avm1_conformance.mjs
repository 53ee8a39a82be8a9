// ActionScript behaviour check: compiles every script of avm1/ with
// `yel compile`, checks that every action list of the movie decodes with the
// independent avm1-parser (no unknown or broken records, every branch target
// and block end on a record boundary), plays the movie in Ruffle for the
// test's number of frames and compares the trace output with output.txt
// byte for byte. Prints the number of exact matches and, for every other
// test, the first line that differs. Fails when a test outside
// expected_failures.txt fails, or when one listed there passes.
//
// Usage: node avm1_conformance.mjs YEL_BINARY [TEST_NAME...]
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Avm1Parser } from 'avm1-parser';
import { startPlayer } from '../../player/player.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const [yel, ...only] = process.argv.slice(2);
const testsDir = path.join(here, 'avm1');
const expectedFailures = new Map(
  fs.readFileSync(path.join(here, 'expected_failures.txt'), 'utf8').split('\n')
    .filter(line => line.trim() && !line.startsWith('#'))
    .map(line => { const [name, ...reason] = line.split(':'); return [name.trim(), reason.join(':').trim()]; }));

// Every DoAction (12) and DoInitAction (59) body of an uncompressed movie.
function actionLists(file) {
  const lists = [];
  const nbits = file[8] >> 3;
  let offset = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  const walk = (start, end) => {
    let at = start;
    while (at + 2 <= end) {
      const word = file.readUInt16LE(at);
      const code = word >> 6;
      let length = word & 0x3f, header = 2;
      if (length === 0x3f) { length = file.readUInt32LE(at + 2); header = 6; }
      const body = at + header;
      if (code === 12) lists.push(file.subarray(body, body + length));
      if (code === 59) lists.push(file.subarray(body + 2, body + length));
      if (code === 39) walk(body + 4, body + length);
      if (code === 0) break;
      at = body + length;
    }
  };
  walk(offset, file.length);
  return lists;
}

// avm1-parser reads the GetURL2 flag byte with the send method in bits 7..6
// and the load flags in bits 1 and 0, while the byte we write (like the
// movies of the authoring tool) has the load flags in bits 7 and 6 and the
// method in bits 1..0: the copy handed to it has the byte in its layout.
function forAvm1Parser(bytes) {
  const copy = Buffer.from(bytes);
  let at = 0;
  while (at < copy.length && copy[at] !== 0) {
    const code = copy[at];
    if (code < 0x80) { at += 1; continue; }
    const length = copy.readUInt16LE(at + 1);
    if (code === 0x9a && length === 1) {
      const ours = copy[at + 3];
      copy[at + 3] = ((ours & 3) << 6) | (ours & 0x40 ? 2 : 0) | (ours & 0x80 ? 1 : 0);
    }
    at += 3 + length;
  }
  return copy;
}

// Problems avm1-parser finds in one action list.
function checkActions(bytes) {
  const problems = [];
  const parser = new Avm1Parser(forAvm1Parser(bytes));
  const starts = new Set();
  const targets = [];
  for (;;) {
    const at = parser.getBytePos();
    let action;
    try {
      action = parser.readNext();
    } catch (error) {
      problems.push(`avm1-parser fails at byte ${at}: ${error.message}`);
      break;
    }
    starts.add(at);
    if (!action || action.action === 0) break;
    const end = parser.getBytePos();
    if (action.action === 256) problems.push(`unknown record ${action.code} at byte ${at}`);
    if (action.action === 0x99 || action.action === 0x9d) targets.push([at, end + action.offset]);
    if (action.action === 0x94) targets.push([at, end + action.size]);
    if (action.action === 0x9b || action.action === 0x8e) targets.push([at, end + action.bodySize]);
    if (action.action === 0x8f) {
      const tryEnd = end + action.try;
      targets.push([at, tryEnd]);
      const catchEnd = tryEnd + (action.catch ? action.catch.size : 0);
      targets.push([at, catchEnd]);
      if (action.finally !== undefined) targets.push([at, catchEnd + action.finally]);
    }
  }
  for (const [from, to] of targets)
    if (!starts.has(to)) problems.push(`the branch or block of the record at byte ${from} ends at byte ${to}, inside a record`);
  return problems;
}

function firstDifference(actual, expected) {
  const a = actual.split('\n'), e = expected.split('\n');
  for (let i = 0; i < Math.max(a.length, e.length); i++)
    if (a[i] !== e[i]) return `line ${i + 1}: expected ${JSON.stringify(e[i] ?? '(end)')}, got ${JSON.stringify(a[i] ?? '(end)')}`;
  return 'identical';
}

const names = fs.readdirSync(testsDir).filter(n => fs.statSync(path.join(testsDir, n)).isDirectory())
  .filter(n => only.length === 0 || only.includes(n)).sort();
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'yel-avm1-'));
const player = await startPlayer();
const results = [];
try {
  for (const name of names) {
    const dir = path.join(testsDir, name);
    const config = JSON.parse(fs.readFileSync(path.join(dir, 'test.json'), 'utf8'));
    const expected = fs.readFileSync(path.join(dir, 'output.txt'), 'utf8').replace(/\r\n/g, '\n');
    // The script compiles from a folder of its own; the class files of the
    // test (test.as itself too when it is the main class) go on the class path.
    const scriptDir = path.join(work, name, 'script');
    const classDir = path.join(work, name, 'classes');
    fs.mkdirSync(scriptDir, { recursive: true });
    fs.mkdirSync(classDir, { recursive: true });
    for (const file of fs.readdirSync(dir))
      if (file.endsWith('.as') && file !== 'test.as') fs.copyFileSync(path.join(dir, file), path.join(classDir, file));
    const script = path.join(scriptDir, 'frame.as');
    if (config.mainClass) {
      fs.copyFileSync(path.join(dir, 'test.as'), path.join(classDir, `${config.mainClass}.as`));
      fs.writeFileSync(script, `${config.mainClass}.main(this);\n`);
    } else {
      fs.copyFileSync(path.join(dir, 'test.as'), script);
    }
    const movie = path.join(work, name, 'test.swf');
    try {
      execFileSync(yel, ['compile', script, '-o', movie, '--swf-version', String(config.swfVersion),
        '--size', `${config.width}x${config.height}`, '--fps', String(config.fps),
        '--frames', String(config.frameCount), '--class-path', classDir], { stdio: ['ignore', 'pipe', 'pipe'] });
    } catch (error) {
      results.push({ name, ok: false, why: `compile error: ${String(error.stderr).trim().split('\n')[0]}` });
      continue;
    }
    const bytes = fs.readFileSync(movie);
    const problems = actionLists(bytes).flatMap(checkActions);
    if (problems.length) {
      results.push({ name, ok: false, why: `avm1-parser: ${problems[0]}` });
      continue;
    }
    await player.load(bytes);
    const tickMs = config.tickMs ?? 1000 / config.fps;
    const deadline = Date.now() + config.ticks * tickMs + 1500;
    while (Date.now() < deadline) {
      const commands = await player.commands();
      if (commands.some(([command]) => command === 'quit')) break;
      await player.wait(50);
    }
    const traces = await player.traces();
    const actual = traces.map(t => t.replace(/\0/g, '') + '\n').join('');
    const clean = expected.replace(/\0/g, '');
    results.push(actual === clean ? { name, ok: true }
      : { name, ok: false, why: `trace differs at ${firstDifference(actual, clean)}` });
  }
} finally {
  await player.close();
  fs.rmSync(work, { recursive: true, force: true });
}

const passed = results.filter(r => r.ok).length;
console.log(`${passed} of ${results.length} scripts trace exactly as the reference player`);
let unexpected = 0;
for (const r of results) {
  if (r.ok && expectedFailures.has(r.name)) {
    console.log(`PASSES NOW  ${r.name} (remove it from expected_failures.txt)`);
    unexpected++;
  } else if (!r.ok) {
    const known = expectedFailures.has(r.name);
    if (!known) unexpected++;
    console.log(`${known ? 'known' : 'FAILED'}  ${r.name}: ${r.why}${known ? ` [${expectedFailures.get(r.name)}]` : ''}`);
  }
}
process.exit(unexpected ? 1 : 0);
