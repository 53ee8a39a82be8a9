// Checks that a movie defines every character before the first tag that uses
// it (a placement, a sprite's timeline, a text's font, a shape's bitmap, a
// button's record, a sound start, a video frame, an export), on a movie parsed
// by swf-parser. Used by every check that parses the movies we write.
import { swf } from "swf-parser";

const T = swf.TagType;

// The ids a value uses: every field whose name ends in "Id" (characterId,
// bitmapId, fontId, soundId, spriteId, textId, videoId, buttonId), at any
// depth. A bitmap fill of id 65535 stands for "no bitmap".
function collectUses(value, out) {
  if (Array.isArray(value)) {
    for (const item of value) collectUses(item, out);
    return;
  }
  if (value === null || typeof value !== "object" || ArrayBuffer.isView(value)) return;
  for (const [key, field] of Object.entries(value)) {
    if (key.endsWith("Id") && typeof field === "number") {
      if (!(key === "bitmapId" && field === 65535)) out.push(field);
    } else if (typeof field === "object") {
      collectUses(field, out);
    }
  }
}

// Problems as texts ("DefineSprite 23 uses character 24 before its
// definition"); empty when the order is sound. Id 0 is never a character.
export function usesBeforeDefinition(movie) {
  const defined = new Set();
  const problems = [];
  movie.tags.forEach((tag, index) => {
    const name = T[tag.type] ?? `tag ${tag.type}`;
    const own = typeof tag.id === "number" ? tag.id : undefined;
    const uses = [];
    if (tag.type === T.ExportAssets) {
      for (const asset of tag.assets ?? []) uses.push(asset.id);
    }
    collectUses(tag, uses);
    for (const id of new Set(uses)) {
      if (id === own) continue;
      if (!defined.has(id)) {
        const who = own !== undefined ? `${name} ${own}` : `${name} (tag ${index})`;
        problems.push(`${who} uses character ${id} before its definition`);
      }
    }
    if (own !== undefined) {
      if (own === 0) problems.push(`${name} (tag ${index}) defines character id 0`);
      else if (defined.has(own) && name.startsWith("Define")) problems.push(`${name} defines id ${own} a second time`);
      defined.add(own);
    }
    if (tag.type === T.ImportAssets) {
      for (const asset of tag.assets ?? []) defined.add(asset.id);
    }
  });
  return problems;
}
