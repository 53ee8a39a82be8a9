// Runs the text gallery (tools/shape_gallery/text_gallery.cpp) and parses its
// movie with swf-parser: every tag decodes, every font has a code per glyph in
// ascending order, every static text names an existing font and glyphs of it
// that spell the gallery's strings, the kerned text is narrower than its
// glyphs' own advances and its font carries the kerning pairs, and the text
// fields hold their texts, and every character is defined before its first
// use.
//
// Usage: node text_gallery_check.mjs TEXT_GALLERY_BINARY
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { parseSwf, swf } from "swf-parser";
import { usesBeforeDefinition } from "./define_order.mjs";

const [binary] = process.argv.slice(2);
const T = swf.TagType;
const staticTexts = [
  "Arial 24: the quick brown fox", "Times New Roman 32, italic", "Courier New 20, bold", "right-aligned", "centred",
  "\u0391\u03B8\u03AE\u03BD\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430 \u00C5\u00E9\u00FC", "turned",
  "\u6F22\u5B57 \u304B\u306A \uD55C\uAE00", "AVATAR, To Wy", "Drawn on the canvas", "at 30 degrees",
];

const folder = mkdtempSync(join(tmpdir(), "yel-text-gallery-"));
let movie;
try {
  const file = join(folder, "texts.swf");
  execFileSync(binary, [file], { stdio: "inherit" });
  movie = parseSwf(new Uint8Array(readFileSync(file)));
} finally {
  rmSync(folder, { recursive: true, force: true });
}

const checks = [];
const check = (what, fn) => {
  try {
    fn();
    checks.push([what, null]);
  } catch (error) {
    checks.push([what, error.message]);
  }
};

check("header and tags", () => {
  assert.equal(movie.header.swfVersion, 8);
  assert.equal(movie.header.frameCount, 1);
  const raw = movie.tags.filter((t) => t.type === T.Raw || t.type === T.RawBody);
  assert.deepEqual(raw.map((t) => t.code), [], "tags swf-parser could not decode");
});

check("every character is defined before its first use", () => {
  assert.deepEqual(usesBeforeDefinition(movie), []);
});

const fonts = new Map(movie.tags.filter((t) => t.type === T.DefineFont).map((t) => [t.id, t]));
check("fonts: one code per glyph, ascending", () => {
  assert.ok(fonts.size >= 6, `${fonts.size} fonts`);
  for (const font of fonts.values()) {
    const glyphs = font.glyphs ?? [], codes = font.codeUnits ?? [];
    assert.equal(glyphs.length, codes.length, `font ${font.fontName}`);
    assert.ok(codes.every((c, i) => i === 0 || codes[i - 1] < c), `codes of ${font.fontName} ascend`);
  }
});

const texts = movie.tags.filter((t) => t.type === T.DefineText);
const spelled = new Map();
check("static texts spell the gallery's strings", () => {
  for (const text of texts) {
    let fontId, string = "";
    for (const record of text.records) {
      fontId = record.fontId ?? fontId;
      const font = fonts.get(fontId);
      assert.ok(font, `text ${text.id}: font ${fontId} is defined`);
      for (const entry of record.entries) {
        assert.ok(entry.index < font.glyphs.length, `text ${text.id}: glyph ${entry.index} of ${font.glyphs.length}`);
        string += String.fromCharCode(font.codeUnits[entry.index]);
      }
    }
    spelled.set(string, { text, font: fonts.get(fontId) });
  }
  assert.deepEqual([...spelled.keys()].sort(), [...staticTexts].sort());
});

check("the kerned text and its font's kerning pairs", () => {
  const { text, font } = spelled.get("AVATAR, To Wy");
  const pairs = font.layout.kerning;
  const av = pairs.find((k) => k.left === 65 && k.right === 86);
  assert.ok(av && av.adjustment < 0, `an A-V pair in ${JSON.stringify(pairs.slice(0, 5))}`);
  const record = text.records[0];
  const own = record.entries.reduce((sum, e) => sum + font.layout.advances[e.index] * record.fontSize / 1024, 0);
  const kerned = record.entries.reduce((sum, e) => sum + e.advance, 0);
  assert.ok(kerned < own - 40, `kerned ${kerned} twips, unkerned ${own}`);
});

check("text fields", () => {
  const fields = movie.tags.filter((t) => t.type === T.DefineDynamicText);
  assert.equal(fields.length, 3);
  const [plain, html, device] = fields;
  assert.equal(plain.text, "A text field");
  assert.equal(plain.variableName, "greeting");
  assert.ok(fonts.get(plain.fontId).glyphs.length > 0, "an embedded font");
  assert.ok(html.html && html.text.includes("HTML in a bold serif"), html.text);
  assert.equal(device.text, "A device font");
  assert.equal((fonts.get(device.fontId).glyphs ?? []).length, 0, "a device font embeds no glyphs");
});

const failed = checks.filter(([, error]) => error);
for (const [what, error] of failed) console.error(`${what}: ${error}`);
console.log(`text gallery: ${checks.length - failed.length} passed, ${failed.length} failed`);
process.exit(failed.length ? 1 : 0);
