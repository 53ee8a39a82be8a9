// Independent check of the sound tags the builder writes: runs the sound
// tests with YEL_BUILDER_MOVIES set to a fresh folder and parses their movies
// with the npm package swf-parser (test-only), comparing the sound fields
// with the values the tests meant, and walks the MP3 data of every stream
// block with a frame-header reader of its own: each block must hold whole
// MPEG 1 Layer III frames and nothing else.
//
// Usage: node check_sound_movies.mjs TEST_BINARY
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { isDeepStrictEqual } from "node:util";
import { parseSwf, swf } from "swf-parser";

const [binary] = process.argv.slice(2);
const T = swf.TagType;
// AudioCodingFormat values of swf-types.
const A = { UncompressedNativeEndian: 0, Adpcm: 1, Mp3: 2 };
const failures = [];

// Deep equality after dropping undefined properties.
function expect(file, what, actual, wanted) {
  actual = JSON.parse(JSON.stringify(actual) ?? "null");
  if (!isDeepStrictEqual(actual, wanted))
    failures.push(`${file}: ${what}\n  got  ${JSON.stringify(actual)}\n  want ${JSON.stringify(wanted)}`);
}

// Lengths of the MPEG 1 Layer III frames of data; null when data is not
// exactly a sequence of such frames.
const kbps = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320];
const hz = [44100, 48000, 32000];
function frameLengths(data) {
  const lengths = [];
  for (let p = 0; p < data.length; ) {
    if (p + 4 > data.length || data[p] !== 0xff || (data[p + 1] & 0xfe) !== 0xfa) return null;
    const rate = kbps[data[p + 2] >> 4], sr = hz[(data[p + 2] >> 2) & 3];
    if (!rate || !sr) return null;
    const length = Math.floor((144 * rate * 1000) / sr) + ((data[p + 2] >> 1) & 1);
    if (p + length > data.length) return null;
    lengths.push(length);
    p += length;
  }
  return lengths;
}

const pick = (tags, type) => tags.filter((t) => t.type === type);
const head = (t) => ({
  format: t.streamFormat, rate: t.streamSoundRate, size: t.streamSoundSize, type: t.streamSoundType,
  samples: t.streamSampleCount, playback: [t.playbackSoundRate, t.playbackSoundSize, t.playbackSoundType],
});

const out = mkdtempSync(join(tmpdir(), "yel-sound-movies-"));
try {
  execFileSync(binary, ["--gtest_brief=1", "--gtest_filter=SoundStream.*:EventSound.*"],
    { stdio: ["ignore", "ignore", "inherit"], env: { ...process.env, YEL_BUILDER_MOVIES: out } });
  const load = (name) => parseSwf(new Uint8Array(readFileSync(join(out, name)))).tags;

  let file = "EventSound.DefineSoundAndStartSound.swf";
  let tags = load(file);
  expect(file, "DefineSound", pick(tags, T.DefineSound).map((t) => [t.id, t.format, t.soundRate, t.soundSize, t.soundType, t.sampleCount]),
    // The MP3 sound counts the samples of the ten frames it holds.
    [[1, A.Adpcm, 11000, 16, 0, 5000], [2, A.Mp3, 44000, 16, 1, 10 * 1152]]);
  expect(file, "StartSound", pick(tags, T.StartSound).map((t) => [t.soundId, t.soundInfo]),
    [[1, { syncStop: false, syncNoMultiple: false, loopCount: 3 }], [2, { syncStop: true, syncNoMultiple: false }]]);

  file = "SoundStream.Mp3BlocksCarryWholeFramesAndTheCarry.swf";
  tags = load(file);
  expect(file, "head", pick(tags, T.SoundStreamHead).map(head),
    [{ format: A.Mp3, rate: 44000, size: 16, type: 1, samples: 3675, playback: [44000, 16, 1] }]);
  expect(file, "latency seek", pick(tags, T.SoundStreamHead)[0].latencySeek, 0);
  expect(file, "frames per block", pick(tags, T.SoundStreamBlock).map((b) => frameLengths(b.data.subarray(4))?.length),
    [3, 3, 3, 3, 3, 4, 3]);

  file = "SoundStream.PcmAsAdpcmOrRaw-adpcm.swf";
  expect(file, "head", pick(load(file), T.SoundStreamHead).map(head),
    [{ format: A.Adpcm, rate: 22000, size: 16, type: 0, samples: 918, playback: [22000, 16, 0] }]);
  file = "SoundStream.PcmAsAdpcmOrRaw-raw.swf";
  expect(file, "head", pick(load(file), T.SoundStreamHead).map(head),
    [{ format: A.UncompressedNativeEndian, rate: 11000, size: 8, type: 1, samples: 1102, playback: [11000, 8, 1] }]);

  // A real MP3 from LAME (its frames vary in length with the padding bit).
  file = "SoundStream.FfmpegDecodesWhatWeWrite.swf";
  const blocks = pick(load(file), T.SoundStreamBlock);
  expect(file, "block count", blocks.length, 60);
  blocks.forEach((b, i) => {
    const lengths = frameLengths(b.data.subarray(4));
    const samples = b.data[0] | (b.data[1] << 8);
    if (!lengths || lengths.length * 1152 !== samples)
      failures.push(`${file}: block ${i} is not whole MP3 frames for its ${samples} samples`);
  });
} finally {
  rmSync(out, { recursive: true, force: true });
}

if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
console.log("sound tags check: passed");
