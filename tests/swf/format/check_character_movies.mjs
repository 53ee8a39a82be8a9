// Independent check of the button, morph shape and video tags our SWF layer
// writes: runs write_character_movies into a fresh folder and parses the
// movie with the npm package swf-parser (test-only), comparing the fields
// with the values the writer set.
//
// Usage: node check_character_movies.mjs WRITER_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { isDeepStrictEqual } from "node:util";
import { parseSwf, swf } from "swf-parser";

const [writer] = process.argv.slice(2);
const { TagType: T, FillStyleType: F, JoinStyleType: J, CapStyle: C, BlendMode: B } = swf;
const failures = [];

function expect(what, actual, wanted) {
  const plain = (v) => JSON.parse(JSON.stringify(v, (k, x) => (x instanceof Uint8Array ? Array.from(x) : x)));
  if (!isDeepStrictEqual(plain(actual), plain(wanted)))
    failures.push(`${what}\n  got  ${JSON.stringify(plain(actual))}\n  want ${JSON.stringify(plain(wanted))}`);
}

const noConditions = {
  idleToOverUp: false, overUpToIdle: false, overUpToOverDown: false, overDownToOverUp: false,
  outDownToOverDown: false, overDownToOutDown: false, outDownToIdle: false, idleToOverDown: false,
  overDownToIdle: false,
};
const rgba = (r, g, b, a) => ({ r, g, b, a });

const out = mkdtempSync(join(tmpdir(), "yel-character-check-"));
try {
  execFileSync(writer, [out], { stdio: "inherit" });
  const movie = parseSwf(new Uint8Array(readFileSync(join(out, "characters.swf"))));
  expect("tags", movie.tags.map((t) => T[t.type]), [
    "DefineShape", "DefineButton", "DefineButtonColorTransform", "DefineButtonSound", "DefineButton",
    "DefineMorphShape", "DefineMorphShape", "DefineVideoStream", "PlaceObject", "VideoFrame", "ShowFrame",
  ]);
  const [, button, cxform, sounds, button2, morph, morph2, video, place, frame] = movie.tags;

  expect("button id", [button.id, button.trackAsMenu, button.records.length], [2, false, 1]);
  const r = button.records[0];
  expect("button record", [r.stateUp, r.stateOver, r.stateDown, r.stateHitTest, r.characterId, r.depth,
    r.matrix.translateX, r.matrix.translateY], [true, true, true, true, 1, 1, 20, 40]);
  expect("button actions", button.actions, [{ actions: [7, 0] }]);
  expect("button cxform", [cxform.buttonId, cxform.transform.redMult.epsilons, cxform.transform.blueAdd], [2, 128, 30]);
  expect("button sounds", [sounds.buttonId, sounds.overUpToIdle, sounds.idleToOverUp?.soundId,
    sounds.overUpToOverDown, sounds.overDownToOverUp?.soundId, sounds.overDownToOverUp?.soundInfo.loopCount],
    [2, undefined, 9, undefined, 10, 3]);

  expect("button2", [button2.id, button2.trackAsMenu, button2.records.length], [3, true, 2]);
  const over = button2.records[1];
  expect("button2 over record", [over.stateUp, over.stateOver, over.stateDown, over.stateHitTest, over.depth,
    over.colorTransform.greenAdd, over.colorTransform.alphaMult.epsilons, over.filters.length, over.blendMode],
    [false, true, true, false, 2, 100, 200, 1, B.Add]);
  expect("button2 conditions", button2.actions.map((a) => [a.conditions, a.actions]), [
    [{ ...noConditions, overDownToOverUp: true }, [7, 0]],
    [{ ...noConditions, outDownToOverDown: true, idleToOverUp: true }, [7, 0]],
    [{ ...noConditions, keyPress: 32 }, [7, 0]],
  ]);

  expect("morph", [morph.id, morph.bounds, morph.morphBounds],
    [4, { xMin: 100, xMax: 1100, yMin: 100, yMax: 1100 }, { xMin: 100, xMax: 2100, yMin: 100, yMax: 1100 }]);
  expect("morph fill", morph.shape.initialStyles.fill,
    [{ type: F.Solid, color: rgba(255, 0, 0, 255), morphColor: rgba(0, 0, 255, 128) }]);
  const line = morph.shape.initialStyles.line[0];
  expect("morph line", [line.width, line.morphWidth, line.fill.color, line.fill.morphColor],
    [20, 60, rgba(0, 0, 0, 255), rgba(0, 255, 0, 255)]);
  expect("morph edges", morph.shape.records.slice(1).map((e) => [e.delta.x, e.morphDelta.x]),
    [[1000, 2000], [0, 0], [-1000, -2000], [0, 0]]);

  expect("morph2 flags", [morph2.id, morph2.hasNonScalingStrokes, morph2.hasScalingStrokes, morph2.morphEdgeBounds],
    [5, true, false, { xMin: 100, xMax: 2100, yMin: 100, yMax: 1100 }]);
  const g = morph2.shape.initialStyles.fill[0];
  expect("morph2 gradient", [g.type, g.matrix.scaleX.epsilons, g.morphMatrix.scaleX.epsilons,
    g.gradient.colors.map((c) => [c.ratio, c.morphRatio])], [F.LinearGradient, 32768, 65536, [[0, 0], [255, 200]]]);
  const line2 = morph2.shape.initialStyles.line[0];
  expect("morph2 line", [line2.width, line2.morphWidth, line2.join, line2.endCap, line2.noHScale,
    line2.fill.color, line2.fill.morphColor],
    [40, 80, { type: J.Miter, limit: { epsilons: 768 } }, C.Square, true, rgba(1, 2, 3, 255), rgba(4, 5, 6, 255)]);
  expect("morph2 edges", morph2.shape.records.length, 5);

  expect("video", video, { type: T.DefineVideoStream, id: 6, frameCount: 1, width: 64, height: 48,
    useSmoothing: true, deblocking: 2, codec: 3 });
  expect("placement ratio", [place.characterId, place.ratio], [4, 32768]);
  expect("video frame", [frame.videoId, frame.frame, frame.packet], [6, 0, [1, 2, 3, 4, 5]]);
} finally {
  rmSync(out, { recursive: true, force: true });
}

if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
console.log("swf-parser reads every button, morph shape and video tag as written");
