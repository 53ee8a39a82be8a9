// libFuzzer target for the sound readers: any bytes are examined as an MP3
// file and opened as a WAV file and as an MP3 file; whatever the readers
// accept is written as SWF sound data (raw PCM, ADPCM frames with looping,
// the whole source), and its MPEG frames are listed. Refusals must be
// yel::Error; the sanitizers check the rest.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "base/bit_stream.h"
#include "base/error.h"
#include "media/mpeg_audio.h"
#include "media/sound_reader.h"

namespace {

void Exercise(const std::uint8_t* data, std::size_t size, const char* name) {
  try {
    yel::media::TWaveReader reader(std::vector<std::uint8_t>(data, data + size), name);
    yel::TMemoryStream out;
    yel::BitStream be(out);
    if (reader.FormatTag == yel::media::kWaveFormatADPCM) {
      for (int i = 0; i < 3; ++i) reader.WriteADPCMBlock(be, 300, i == 1, 3);
      reader.WriteADPCMAll(be, 4);
    } else if (reader.HasSource()) {
      reader.WritePCM(be, 1000, true, 0);
      reader.WritePCM(be, 1000, false, 2);
      reader.WritePCM(be, 4000, true, 5);
    }
    const auto frames = yel::media::ListMPEGFrames(reader.Data());
    for (const auto& f : frames)
      if (static_cast<std::uint64_t>(f.Offset) + f.Length > reader.Data().size()) std::abort();
  } catch (const yel::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  yel::media::TMPEGaudio mpeg;
  yel::TBufferStream stream(data, size);
  mpeg.ReadFromFile(stream);
  (void)mpeg.Duration();
  (void)mpeg.BitRate();
  (void)mpeg.Frames();
  Exercise(data, size, "fuzz.wav");
  Exercise(data, size, "fuzz.mp3");
  return 0;
}
