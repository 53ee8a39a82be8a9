// Independent check of the theme editor's stage movies in "YEL.dll": each
// resource parses with swf-parser as a one-frame SWF 8 movie, and every
// action list in it decodes with avm1-parser to its last byte with no
// unknown record.
//
// Usage: node stage_movies_check.mjs PROGRAM_FOLDER
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { Avm1Parser } from 'avm1-parser';
import { parseSwf, swf } from 'swf-parser';

const [app] = process.argv.slice(2);
const RAW = 256;
const failures = [];
for (const name of ['YEL_Template', 'YEL_LoadingBar']) {
  const bytes = execFileSync('unzip', ['-p', join(app, 'YEL.dll'), `SWF/${name}`], { maxBuffer: 1 << 24 });
  let movie;
  try {
    movie = parseSwf(new Uint8Array(bytes));
  } catch (error) {
    failures.push(`${name}: swf-parser failed: ${error.message}`);
    continue;
  }
  if (movie.header.swfVersion !== 8) failures.push(`${name}: version ${movie.header.swfVersion}, not 8`);
  if (movie.header.frameCount !== 1) failures.push(`${name}: ${movie.header.frameCount} frames, not 1`);
  const lists = movie.tags.filter(tag => tag.type === swf.TagType.DoAction).map(tag => tag.actions);
  if (lists.length === 0) failures.push(`${name}: no frame script`);
  let records = 0;
  for (const actions of lists) {
    const parser = new Avm1Parser(actions);
    for (;;) {
      let action;
      try {
        action = parser.readNext();
      } catch (error) {
        failures.push(`${name}: avm1-parser fails at byte ${parser.getBytePos()}: ${error.message}`);
        break;
      }
      if (!action || action.action === 0) break;
      if (action.action === RAW) failures.push(`${name}: unknown record ${action.code}`);
      records++;
    }
    if (parser.getBytePos() !== actions.length)
      failures.push(`${name}: the list ends at byte ${parser.getBytePos()} of ${actions.length}`);
  }
  console.log(`${name}: ${bytes.length} bytes, ${records} action records`);
}
if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
