// Independent check of the theme content installed in the program's folder:
// every clip parses with swf-parser, its header agrees with its frames, no
// tag comes back undecoded, and clips export the linkage names the
// publisher and the theme editor look for ("mc_PhotoFrame" for photo
// frames, "mc_Shape" for decorative shapes) on a sprite that their own
// timeline shows. Then `yel themes`, run from the program's folder, must
// list every entry of both catalogue lists in order.
//
// Usage: node theme_content_check.mjs PROGRAM_FOLDER
import { execFileSync } from 'node:child_process';
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { parseSwf, swf } from 'swf-parser';
import { usesBeforeDefinition } from '../swf/builder/define_order.mjs';

const [app] = process.argv.slice(2);
const T = swf.TagType;
const failures = [];
const fail = text => failures.push(text);

function* clips(folder) {
  for (const name of readdirSync(folder).sort()) {
    const path = join(folder, name);
    if (statSync(path).isDirectory()) yield* clips(path);
    else if (name.toLowerCase().endsWith('.swf')) yield path;
  }
}

function* allTags(tags) {
  for (const tag of tags) {
    yield tag;
    if (tag.type === T.DefineSprite) yield* allTags(tag.tags);
  }
}

// The linkage name a clip must export, from its place in the theme folders.
function expectedExport(path, frameFiles) {
  if (/\/Resource\/PhotoFrame\//.test(path) || frameFiles.has(path)) return 'mc_PhotoFrame';
  if (/\/Resource\/Adornment\//.test(path)) return 'mc_Shape';
  if (/\/Theme\/Template\//.test(path) && !frameFiles.has(path) && !/\/Background\.swf$/.test(path)) return 'mc_Shape';
  return null;
}

const names = list => [...readFileSync(list, 'utf8').matchAll(/<Name[^>]*>([^<]*)<\/Name>/g)].map(m => m[1]);
const templates = names(join(app, 'Theme/Template/Config.xml'));
const bars = names(join(app, 'Theme/LoadingBar/Config.xml'));
const frameFiles = new Set();
for (const t of templates) {
  const ini = readFileSync(join(app, 'Theme/Template', t, 'config.ini'), 'utf8');
  const frame = /\[PhotoFrame\][^[]*FileName\s*=\s*(\S+)/.exec(ini);
  if (frame) frameFiles.add(join(app, 'Theme/Template', t, frame[1]));
}

let count = 0;
for (const path of clips(join(app, 'Theme'))) {
  count++;
  let movie;
  try {
    movie = parseSwf(new Uint8Array(readFileSync(path)));
  } catch (error) {
    fail(`${path}: swf-parser failed: ${error.message}`);
    continue;
  }
  const frames = movie.tags.filter(t => t.type === T.ShowFrame).length;
  if (movie.header.frameCount !== frames || frames < 1) fail(`${path}: header has ${movie.header.frameCount} frames, tags ${frames}`);
  for (const problem of usesBeforeDefinition(movie).slice(0, 5)) fail(`${path}: ${problem}`);
  for (const tag of allTags(movie.tags))
    if (tag.type === T.Raw || tag.type === T.RawBody) { fail(`${path}: a tag did not parse`); break; }
  const exports = movie.tags.filter(t => t.type === T.ExportAssets).flatMap(t => t.assets);
  const wanted = expectedExport(path, frameFiles);
  if (wanted === null) {
    if (exports.length) fail(`${path}: exports ${exports.map(a => a.name)} though it is a background or bar`);
    continue;
  }
  if (exports.length !== 1 || exports[0].name !== wanted) {
    fail(`${path}: exports [${exports.map(a => a.name)}], wanted ${wanted}`);
    continue;
  }
  const id = exports[0].id;
  const sprite = movie.tags.find(t => t.type === T.DefineSprite && t.id === id);
  const placed = movie.tags.some(t => t.type === T.PlaceObject && t.characterId === id);
  if (!sprite || !placed) fail(`${path}: the exported character ${id} is not a sprite shown on the timeline`);
}
if (count < 30) fail(`only ${count} clips are installed`);

const listing = execFileSync(join(app, 'yel'), ['themes'], { encoding: 'utf8' });
const section = title => {
  const m = new RegExp(`^${title} \\(.*\\):\\n((?:  .*\\n)*)`, 'm').exec(listing);
  return m ? m[1].split('\n').filter(Boolean).map(l => l.slice(4)) : [];
};
if (JSON.stringify(section('Templates')) !== JSON.stringify(templates)) fail(`yel themes lists templates ${section('Templates')}, the list has ${templates}`);
if (JSON.stringify(section('Loading bars')) !== JSON.stringify(bars)) fail(`yel themes lists loading bars ${section('Loading bars')}, the list has ${bars}`);
if (templates.length < 6 || bars.length < 4) fail(`${templates.length} templates and ${bars.length} loading bars installed`);

if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log(`theme content: ${count} clips parsed, ${templates.length} templates and ${bars.length} loading bars listed`);
