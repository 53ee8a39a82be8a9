// A template made with our builder, published through yel publish and
// played in Ruffle: the generic checks of template_player.mjs (photo inside
// the window only, background around it, the clips drawn), then the exact
// colours of this fixture: the ring frame around the photo, the two
// decorative clips (copies of clips that both export "mc_Shape", each
// showing its own colour under its own linkage name), and the loading frame
// with the loading bar moved and scaled to its Config.ini. The renamed
// copies of the red clip also play on their own (their script attaches the
// renamed symbol) and parse with swf-parser.
//
// Usage: node template_player_check.mjs FIXTURE_WRITER YEL [--shots DIR]
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { parseSwf } from 'swf-parser';
import { startPlayer, withoutLoadingScript } from '../player/player.mjs';
import { checkTemplate, near, PHOTO_A, PHOTO_B } from './template_player.mjs';

const [writer, yel, ...rest] = process.argv.slice(2);
const shots = rest[0] === '--shots' ? rest[1] : undefined;
const failures = [];
const fail = text => failures.push(text);

const dir = mkdtempSync(join(tmpdir(), 'yel-template-check-'));
let player;
try {
  const app = join(dir, 'app');
  execFileSync(writer, [app, join(dir, 'copies')], { stdio: ['ignore', 'inherit', 'inherit'] });
  player = await startPlayer();
  for (const k of [1, 2]) {
    const copy = readFileSync(join(dir, 'copies', `copy-${k}.swf`));
    try {
      const parsed = parseSwf(new Uint8Array(copy));
      const names = parsed.tags.filter(t => t.assets).flatMap(t => t.assets.map(a => a.name));
      if (names.join() !== `mc_Shape_${k}`) fail(`copy ${k}: exported ${names}`);
    } catch (error) {
      fail(`copy ${k}: swf-parser failed: ${error.message}`);
    }
    await player.loadAtFrame(copy, 1);
    const [centre] = await player.pixels([[20, 15]]);
    if (!near(centre, [220, 30, 30])) fail(`copy ${k} played alone shows ${centre}, not its red symbol`);
  }
  const result = await checkTemplate(player, yel, app, 'Fixture',
    { width: 320, height: 240, reach: 4, dir: join(dir, 'album'), shots, extra: ['--loading-bar', 'Bar'] });
  failures.push(...result.failures);
  const { photoRect } = result.expectations;
  if (photoRect.x !== 80 || photoRect.y !== 72 || photoRect.w !== 120 || photoRect.h !== 90)
    fail(`photo rectangle ${JSON.stringify(photoRect)}, expected the frame's own size at (80, 72)`);
  try {
    const parsed = parseSwf(new Uint8Array(result.movie));
    if (parsed.header.frameCount !== 4) fail(`${parsed.header.frameCount} frames, expected 4`);
  } catch (error) {
    fail(`swf-parser failed: ${error.message}`);
  }

  const RING = [250, 200, 40], RED = [220, 30, 30], GREEN = [30, 200, 60], BG = [0x33, 0x66, 0x99];
  const LOADING = [0x20, 0x20, 0x20], BAR = [255, 255, 0];
  const expectations = [
    [result.frames.A, [[84, 117, RING], [196, 117, RING], [140, 75, RING], [140, 159, RING], [140, 117, PHOTO_A],
      [92, 84, PHOTO_A], [188, 150, PHOTO_A], [20, 15, RED], [72, 39, RED], [46, 27, RED], [80, 27, BG],
      [242, 170, GREEN], [258, 186, GREEN], [263, 178, BG], [300, 20, BG], [60, 117, BG]]],
    [result.frames.B, [[140, 117, PHOTO_B], [84, 117, RING], [46, 27, RED], [250, 178, GREEN]]],
    // The loading frame: the bar (100 x 10) at (32, 120) scaled to 200 x 20.
    [result.frames.loading, [[34, 122, BAR], [230, 138, BAR], [132, 130, BAR], [20, 20, LOADING], [236, 130, LOADING],
      [132, 145, LOADING], [132, 115, LOADING]]],
  ];
  let checked = 0;
  for (const [frame, points] of expectations) {
    // The preloader leaves the loading frame at once: it is looked at without it.
    await player.loadAtFrame(frame === result.frames.loading ? withoutLoadingScript(result.movie) : result.movie, frame);
    if (shots) await player.screenshot(join(shots, `fixture-frame-${frame}.png`));
    const got = await player.pixels(points.map(([x, y]) => [x, y]));
    points.forEach(([x, y, rgb], i) => {
      checked++;
      if (!near(got[i], rgb)) fail(`frame ${frame} (${x}, ${y}): got ${got[i]}, expected ${rgb}`);
    });
  }
  console.log(`checked the fixture template at ${result.points} grid points and ${checked} chosen ones`);
  const errors = player.console().filter(line => line.startsWith('error') || line.startsWith('pageerror'));
  if (errors.length) fail(`player errors: ${errors.join('; ')}`);
} finally {
  if (player) await player.close();
  rmSync(dir, { recursive: true, force: true });
}

if (failures.length) {
  console.error(failures.join('\n'));
  process.exit(1);
}
console.log('template player check passed');
