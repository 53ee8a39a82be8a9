// Independent check of the movies our SWF layer writes: runs the sample
// writer into a fresh folder and parses every movie with the npm package
// swf-parser (test-only). Written movies must parse without raw or
// unparsable tags (other than the deliberately unknown one) and carry the
// fields we wrote; corpus movies read and written back must give swf-parser
// the same header and tags as the originals.
//
// Usage: node check_written_movies.mjs WRITER_BINARY CORPUS_DIR
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { isDeepStrictEqual } from "node:util";
import { parseSwf, swf } from "swf-parser";

const [writer, corpus] = process.argv.slice(2);
const T = swf.TagType;
const failures = [];
const fail = (file, message) => failures.push(`${file}: ${message}`);

function parse(path) {
  return parseSwf(new Uint8Array(readFileSync(path)));
}

// Tags with their nested sprite tags, depth first.
function* allTags(tags) {
  for (const tag of tags) {
    yield tag;
    if (tag.type === T.DefineSprite) yield* allTags(tag.tags);
  }
}

function typeNames(tags) {
  return tags.map((t) => T[t.type]);
}

const out = mkdtempSync(join(tmpdir(), "yel-swf-check-"));
try {
  execFileSync(writer, [out, corpus], { stdio: "inherit" });

  // Every control tag, compressed SWF 8.
  {
    const file = "control-tags.swf";
    const movie = parse(join(out, file));
    const h = movie.header;
    if (h.swfVersion !== 8) fail(file, `version ${h.swfVersion}`);
    if (!isDeepStrictEqual(h.frameSize, { xMin: 0, xMax: 11000, yMin: 0, yMax: 8000 }))
      fail(file, `frame size ${JSON.stringify(h.frameSize)}`);
    if (h.frameRate.epsilons !== 24 * 256) fail(file, `frame rate ${JSON.stringify(h.frameRate)}`);
    if (h.frameCount !== 1) fail(file, `frame count ${h.frameCount}`);
    const expected = [
      "FileAttributes", "Metadata", "ScriptLimits", "SetBackgroundColor", "Protect", "EnableDebugger",
      "EnableDebugger", "DefineSprite", "DefineScalingGrid", "ExportAssets", "ImportAssets", "ImportAssets",
      "SetTabIndex", "FrameLabel", "RawBody", "ShowFrame",
    ];
    if (!isDeepStrictEqual(typeNames(movie.tags), expected)) fail(file, `tags ${typeNames(movie.tags)}`);
    const [attrs, meta, limits, bg, protect, debug2, debug1, sprite, grid, exp, imp, imp2, tab, label, raw] = movie.tags;
    if (attrs.hasMetadata !== true || attrs.useNetwork !== false) fail(file, `attributes ${JSON.stringify(attrs)}`);
    if (!meta.metadata.endsWith("caf\u00e9</rdf:RDF>")) fail(file, `metadata ${meta.metadata}`);
    if (limits.maxRecursionDepth !== 256 || limits.scriptTimeout !== 15) fail(file, `limits ${JSON.stringify(limits)}`);
    if (!isDeepStrictEqual(bg.color, { r: 0x33, g: 0x66, b: 0x99 })) fail(file, `background ${JSON.stringify(bg.color)}`);
    // swf-parser reads the Protect and EnableDebugger (58) bodies without the
    // reserved 16-bit word that our body puts before the hash, so it sees an
    // empty password there; EnableDebugger2 it reads with the word.
    if (protect.password !== "") fail(file, `protect ${JSON.stringify(protect)}`);
    if (debug1.password !== "") fail(file, `debugger ${JSON.stringify(debug1)}`);
    if (!/^\$1\$..\$.{22}$/.test(debug2.password)) fail(file, `debugger2 ${JSON.stringify(debug2)}`);
    if (sprite.id !== 1 || sprite.frameCount !== 2 || !isDeepStrictEqual(typeNames(sprite.tags), ["FrameLabel", "ShowFrame", "ShowFrame"]))
      fail(file, `sprite ${JSON.stringify(sprite)}`);
    if (sprite.tags[0].name !== "inner") fail(file, `sprite label ${JSON.stringify(sprite.tags[0])}`);
    if (grid.characterId !== 1 || !isDeepStrictEqual(grid.splitter, { xMin: 200, xMax: 2000, yMin: 100, yMax: 1000 }))
      fail(file, `scaling grid ${JSON.stringify(grid)}`);
    if (!isDeepStrictEqual(exp.assets, [{ id: 1, name: "clip" }, { id: 1, name: "other" }])) fail(file, `exports ${JSON.stringify(exp)}`);
    if (imp.url !== "library.swf" || !isDeepStrictEqual(imp.assets, [{ id: 2, name: "shared" }])) fail(file, `imports ${JSON.stringify(imp)}`);
    if (imp2.url !== "library2.swf" || !isDeepStrictEqual(imp2.assets, [{ id: 3, name: "shared2" }])) fail(file, `imports2 ${JSON.stringify(imp2)}`);
    if (tab.depth !== 1 || tab.index !== 7) fail(file, `tab index ${JSON.stringify(tab)}`);
    if (label.name !== "start" || label.isAnchor !== true) fail(file, `label ${JSON.stringify(label)}`);
    if (raw.code !== 99 || raw.data.length !== 5000) fail(file, `raw tag ${raw.code} ${raw.data?.length}`);
  }

  // Every font and text tag, field by field.
  {
    const file = "font-text-tags.swf";
    const movie = parse(join(out, file));
    const expected = [
      "DefineGlyphFont", "DefineFontInfo", "DefineFontInfo", "DefineFont", "DefineFont", "DefineFontAlignZones",
      "DefineFontName", "DefineText", "DefineText", "DefineDynamicText", "CsmTextSettings", "ShowFrame",
    ];
    if (!isDeepStrictEqual(typeNames(movie.tags), expected)) fail(file, `tags ${typeNames(movie.tags)}`);
    const [font1, info, info2, font2, font3, zones, name, text, text2, field, settings] = movie.tags;
    // Compared as JSON: fields that swf-parser leaves undefined drop out.
    const check = (what, actual, want) => {
      if (!isDeepStrictEqual(JSON.parse(JSON.stringify(actual)), want)) fail(file, `${what}: ${JSON.stringify(actual)}, expected ${JSON.stringify(want)}`);
    };
    check("DefineFont id", font1.id, 1);
    check("DefineFont glyph 1 records", font1.glyphs[1].records.length, 4);
    check("DefineFontInfo", [info.fontId, info.fontName, info.isBold, info.isAnsi, info.codeUnits], [1, "Old", true, true, [65, 66]]);
    check("DefineFontInfo2", [info2.fontName, info2.language, info2.codeUnits], ["Old2", 1, [937, 1046]]);
    check("DefineFont2 fields", [font2.id, font2.isItalic, font2.isBold, font2.emSquareSize, font2.codeUnits],
          [2, true, false, 1024, [65, 66, 67]]);
    // swf-parser reads font names byte by byte: the UTF-8 name of an SWF 8 movie.
    check("DefineFont2 name bytes", Buffer.from(font2.fontName, "latin1").toString("utf8"), "Caf\u00e9");
    check("DefineFont2 layout", font2.layout, {
      ascent: 900, descent: 200, leading: 30, advances: [500, 501, 502],
      bounds: [0, 1, 2].map((i) => ({ xMin: 0, xMax: 300 + 100 * i, yMin: -300 - 100 * i, yMax: 0 })),
      kerning: [{ left: 65, right: 66, adjustment: -40 }],
    });
    check("DefineFont3", [font3.id, font3.isBold, font3.emSquareSize, font3.codeUnits], [3, true, 20480, [937]]);
    check("DefineFont3 glyph records count", font3.glyphs[0].records.length, 4);
    check("DefineFontAlignZones", zones, {
      type: zones.type, fontId: 3, csmTableHint: 2,
      zones: [{ data: [{ origin: 1, size: 2 }, { origin: 0, size: 1 }], hasX: true, hasY: true }],
    });
    check("DefineFontName", [name.fontId, name.name, name.copyright], [3, "Three Regular", "(c) nobody"]);
    check("DefineText", [text.id, text.bounds, text.matrix.translateX, text.matrix.translateY],
          [4, { xMin: -20, xMax: 2000, yMin: -400, yMax: 100 }, 100, 200]);
    check("DefineText record", text.records, [{
      fontId: 2, color: { r: 255, g: 0, b: 0, a: 255 }, offsetX: -20, offsetY: 360, fontSize: 480,
      entries: [{ index: 0, advance: 234 }, { index: 2, advance: -17 }, { index: 1, advance: 1000 }],
    }]);
    check("DefineText2 records", text2.records, [
      { fontId: 3, color: { r: 0, g: 128, b: 255, a: 100 }, offsetX: 0, offsetY: 0, fontSize: 240, entries: [{ index: 0, advance: 7 }] },
      { offsetX: 0, offsetY: 0, entries: [{ index: 0, advance: -8 }] },
    ]);
    const { type: _t, ...fieldValues } = field;
    check("DefineEditText", fieldValues, {
      id: 6, bounds: { xMin: -40, xMax: 4000, yMin: -40, yMax: 800 }, wordWrap: true, multiline: true,
      password: false, readonly: false, autoSize: true, noSelect: false, border: true, wasStatic: false,
      html: false, useGlyphFont: true, fontId: 2, fontSize: 360, color: { r: 1, g: 2, b: 3, a: 200 },
      maxLength: 30, align: 2, marginLeft: 10, marginRight: 20, indent: 30, leading: -5,
      variableName: "_root.v", text: "\u03a9mega \u00e9",
    });
    check("CSMTextSettings", [settings.textId, settings.renderer, settings.fitting, settings.thickness, settings.sharpness],
          [6, 1, 2, 1.5, -2]);
  }

  // Small plain and compressed movies.
  for (const [file, version, frames, size] of [
    ["empty-v5.swf", 5, 0, { xMin: 0, xMax: 2000, yMin: 0, yMax: 2000 }],
    ["frames-v5.swf", 5, 2, { xMin: -100, xMax: 1000, yMin: -50, yMax: 1000 }],
    ["frames-compressed.swf", 6, 2, { xMin: -100, xMax: 1000, yMin: -50, yMax: 1000 }],
  ]) {
    const movie = parse(join(out, file));
    if (movie.header.swfVersion !== version) fail(file, `version ${movie.header.swfVersion}`);
    if (movie.header.frameCount !== frames) fail(file, `frame count ${movie.header.frameCount}`);
    if (!isDeepStrictEqual(movie.header.frameSize, size)) fail(file, `frame size ${JSON.stringify(movie.header.frameSize)}`);
    const want = frames ? ["Protect", "FrameLabel", "ShowFrame", "ShowFrame"] : [];
    if (!isDeepStrictEqual(typeNames(movie.tags), want)) fail(file, `tags ${typeNames(movie.tags)}`);
  }

  // Real movies, read and written back.
  let count = 0;
  for (const file of readdirSync(join(out, "roundtrip"))) {
    count++;
    const original = parse(join(corpus, file));
    const written = parse(join(out, "roundtrip", file));
    if (!isDeepStrictEqual(written.header, original.header)) fail(file, "header differs");
    if (written.tags.length !== original.tags.length) fail(file, `${written.tags.length} tags, originally ${original.tags.length}`);
    for (let i = 0; i < Math.min(written.tags.length, original.tags.length); i++) {
      if (!isDeepStrictEqual(written.tags[i], original.tags[i])) {
        fail(file, `tag ${i} (${T[original.tags[i].type]}) differs`);
        break;
      }
    }
    for (const tag of allTags(written.tags)) {
      if (tag.type === T.Raw) fail(file, "a tag runs past the end of the movie");
    }
  }
  if (count < 50) fail("roundtrip", `only ${count} corpus movies`);
} finally {
  rmSync(out, { recursive: true, force: true });
}

if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
console.log("swf-parser accepts every written movie");
