// Independent check of every movie the builder tests write: runs the test
// program with YEL_BUILDER_MOVIES set to a fresh folder and parses each movie
// there with the npm package swf-parser (test-only). A movie must parse, its
// header must agree with its ShowFrame tags, no tag of a known kind may
// come back undecoded (tests use codes from 200 up for stand-in characters),
// and every character must be defined before its first use.
//
// Usage: node check_movies.mjs TEST_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { parseSwf, swf } from "swf-parser";
import { usesBeforeDefinition } from "./define_order.mjs";

const [binary] = process.argv.slice(2);
const T = swf.TagType;
const failures = [];

function* allTags(tags) {
  for (const tag of tags) {
    yield tag;
    if (tag.type === T.DefineSprite) yield* allTags(tag.tags);
  }
}

const out = mkdtempSync(join(tmpdir(), "yel-builder-movies-"));
let count = 0;
try {
  execFileSync(binary, ["--gtest_brief=1"], { stdio: ["ignore", "ignore", "inherit"], env: { ...process.env, YEL_BUILDER_MOVIES: out } });
  for (const file of readdirSync(out).filter((f) => f.endsWith(".swf")).sort()) {
    count++;
    let movie;
    try {
      movie = parseSwf(new Uint8Array(readFileSync(join(out, file))));
    } catch (error) {
      failures.push(`${file}: swf-parser failed: ${error.message}`);
      continue;
    }
    const order = usesBeforeDefinition(movie);
    if (order.length) failures.push(`${file}: ${order.slice(0, 5).join("; ")}${order.length > 5 ? ` (${order.length} in all)` : ""}`);
    const frames = movie.tags.filter((t) => t.type === T.ShowFrame).length;
    if (movie.header.frameCount !== frames) failures.push(`${file}: header has ${movie.header.frameCount} frames, tags ${frames}`);
    for (const tag of allTags(movie.tags)) {
      if (tag.type === T.Raw || (tag.type === T.RawBody && tag.code < 200)) {
        failures.push(`${file}: a tag did not parse (${T[tag.type]} ${tag.code ?? ""})`);
        break;
      }
    }
  }
  if (count < 10) failures.push(`only ${count} movies were written`);
} finally {
  rmSync(out, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join("\n"));
  console.log(`swf-parser check: ${count - failures.length} passed, ${failures.length} failed`);
  process.exit(1);
}
console.log(`swf-parser check: ${count} passed, 0 failed`);
