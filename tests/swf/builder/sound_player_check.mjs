// The sound streams of the sound tests played in Ruffle: the MP3 and ADPCM
// stream movies play for a second with no player error and no audio warning
// in the player's log. A copy of the MP3 movie with noise in place of its
// frames shows that the log does report a stream the player cannot decode.
// With the album test program, its albums with WAV and MP3 music play the
// same way.
//
// Usage: node sound_player_check.mjs TEST_BINARY [ALBUM_TEST_BINARY]
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { startPlayer } from "../../player/player.mjs";

const [binary, albumBinary] = process.argv.slice(2);
const out = mkdtempSync(join(tmpdir(), "yel-sound-player-"));
const failures = [];

// The movie with every SoundStreamBlock's MP3 frames replaced by noise.
function spoilMp3(bytes) {
  const copy = new Uint8Array(bytes);
  if (String.fromCharCode(copy[0]) !== "F") throw new Error("expected an uncompressed movie");
  const nbits = copy[8] >> 3;
  let p = 8 + Math.ceil((5 + 4 * nbits) / 8) + 4;
  let seed = 7;
  while (p + 2 <= copy.length) {
    const word = copy[p] | (copy[p + 1] << 8);
    let length = word & 0x3f, header = 2;
    if (length === 0x3f) { length = copy[p + 2] | (copy[p + 3] << 8) | (copy[p + 4] << 16) | (copy[p + 5] << 24); header = 6; }
    if (word >> 6 === 19) for (let i = p + header + 4; i < p + header + length; i++) copy[i] = (seed = (seed * 1103515245 + 12345) >>> 0) >>> 24;
    p += header + length;
  }
  return copy;
}

const player = await startPlayer();
try {
  execFileSync(binary, ["--gtest_brief=1", "--gtest_filter=SoundStream.*"],
    { stdio: ["ignore", "ignore", "inherit"], env: { ...process.env, YEL_BUILDER_MOVIES: out } });
  // Ruffle's own warnings and errors, and page errors; not the browser's
  // driver notes, nor Web Audio's notes on the previous movie's closed context.
  const audioLines = (lines) => lines.filter((l) => /WARN|ERROR|panic|pageerror/.test(l) &&
    !/GL Driver|context (is|has been) closed/.test(l));
  const play = async (bytes) => {
    const before = player.console().length;
    await player.load(bytes);
    await player.wait(1200);
    return audioLines(player.console().slice(before));
  };
  const mp3 = readFileSync(join(out, "SoundStream.FfmpegDecodesWhatWeWrite.swf"));
  for (const name of ["SoundStream.FfmpegDecodesWhatWeWrite.swf", "SoundStream.PcmAsAdpcmOrRaw-adpcm.swf",
                      "SoundStream.LoopingMp3StartsAgainInsideTheBlock.swf"]) {
    const lines = await play(readFileSync(join(out, name)));
    if (lines.length) failures.push(`${name}: ${lines.join(" | ")}`);
  }
  if (albumBinary) {
    // album-3 streams a WAV file, album-4 an MP3 file (see MusicStreamsUnderEveryFrame).
    const albums = join(out, "albums");
    execFileSync("mkdir", ["-p", albums]);
    execFileSync(albumBinary, ["--gtest_brief=1", "--gtest_filter=AlbumMovieTest.MusicStreamsUnderEveryFrame"],
      { stdio: ["ignore", "ignore", "inherit"], env: { ...process.env, YEL_BUILDER_MOVIES: albums } });
    for (const name of ["album-3.swf", "album-4.swf"]) {
      const lines = await play(readFileSync(join(albums, name)));
      if (lines.length) failures.push(`${name}: ${lines.join(" | ")}`);
      if (player.console().some((l) => /pageerror/.test(l))) failures.push(`${name}: page error`);
    }
  }
  const spoiled = await play(spoilMp3(mp3));
  // The log must be able to show a bad stream, or its silence proves nothing.
  if (!spoiled.some((l) => /mp3|junk|decod/i.test(l))) failures.push("a spoiled MP3 stream left no trace in the player's log");
} finally {
  await player.close();
  rmSync(out, { recursive: true, force: true });
}
if (failures.length) {
  console.error(failures.join("\n"));
  process.exit(1);
}
console.log("sound player check: passed");
