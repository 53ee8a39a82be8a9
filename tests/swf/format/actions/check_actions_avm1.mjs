// Independent check of the action bytes our writer produces: runs the sample
// writer, decodes every sample with the npm package avm1-parser (test-only)
// and compares each record with the one we meant to write.
//
// avm1-parser reads the GetURL2 flag byte with the send method in bits 7..6
// and the load flags in bits 1 and 0 (as one description of the format has
// it), while the byte we write, like the movies the authoring tool makes,
// has the load flags in bits 7 and 6 and the method in bits 1..0. The check
// rebuilds the byte from avm1-parser's fields and compares our fields with
// that byte read our way.
//
// Usage: node check_actions_avm1.mjs WRITER_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { isDeepStrictEqual } from "node:util";
import { Avm1Parser } from "avm1-parser";

const [writer] = process.argv.slice(2);
const RAW = 256;
const GET_URL2 = 0x9a;

// avm1-parser's record in the shape of our JSON dump.
function normalise(action) {
  const { action: type, ...fields } = action;
  if (type === RAW) return { action: "raw", code: fields.code, data: Array.from(fields.data) };
  if (type === GET_URL2) {
    const byte = (fields.method << 6) | (fields.loadTarget ? 2 : 0) | (fields.loadVariables ? 1 : 0);
    return { action: type, sendVarsMethod: byte & 3, loadTarget: (byte & 0x40) !== 0, loadVariables: (byte & 0x80) !== 0 };
  }
  const out = { action: type, ...fields };
  // Optional blocks of a try are left out rather than undefined.
  for (const key of Object.keys(out)) if (out[key] === undefined) delete out[key];
  return out;
}

const failures = [];
const dir = mkdtempSync(join(tmpdir(), "yel-avm1-check-"));
try {
  const file = join(dir, "samples.json");
  execFileSync(writer, [file], { stdio: "inherit" });
  const samples = JSON.parse(readFileSync(file, "utf8"));
  if (samples.length < 4) failures.push(`only ${samples.length} samples`);
  const seen = new Set();
  for (const sample of samples) {
    const bytes = Uint8Array.from(Buffer.from(sample.hex, "hex"));
    const parser = new Avm1Parser(bytes);
    const decoded = [];
    for (;;) {
      let action;
      try {
        action = parser.readNext();
      } catch (error) {
        failures.push(`${sample.name}: avm1-parser fails at byte ${parser.getBytePos()}: ${error.message}`);
        break;
      }
      if (action.action === 0) break;
      decoded.push(normalise(action));
      seen.add(action.action === RAW ? `raw` : action.action);
    }
    if (parser.getBytePos() !== bytes.length)
      failures.push(`${sample.name}: the list ends at byte ${parser.getBytePos()} of ${bytes.length}`);
    if (decoded.length !== sample.expect.length)
      failures.push(`${sample.name}: ${decoded.length} records decoded, ${sample.expect.length} written`);
    const n = Math.min(decoded.length, sample.expect.length);
    for (let i = 0; i < n; i++) {
      if (!isDeepStrictEqual(decoded[i], sample.expect[i]))
        failures.push(`${sample.name}, record ${i}:\n  avm1-parser ${JSON.stringify(decoded[i])}\n  we meant   ${JSON.stringify(sample.expect[i])}`);
    }
  }
  // Every action code of SWF 1 to 8 has been through the check.
  if (seen.size < 101) failures.push(`only ${seen.size} record kinds checked`);
  console.log(`${samples.length} samples, ${seen.size} record kinds decoded by avm1-parser`);
} finally {
  rmSync(dir, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
