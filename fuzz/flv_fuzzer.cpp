// libFuzzer target for the FLV reader: any bytes are written to a scratch
// file and indexed; every frame the index names must lie inside the file and
// read back whole, and the metadata values are all asked for. Refusals must
// be yel::Error; the sanitizers check the rest.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/error.h"
#include "fuzz/scratch_folder.h"
#include "media/flv_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = yel::fuzz::ScratchFolder() + "input.flv";
  yel::fuzz::WriteScratchFile(path, std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    yel::media::TFLVData flv(path);
    auto check = [&](const yel::media::TVFrame& frame) {
      if (frame.Offset + frame.Size > size) std::abort();
      if (flv.ReadPayload(frame).size() != frame.Size) std::abort();
    };
    for (const auto& frame : flv.VideoFrames) check(frame);
    for (const auto& frame : flv.AudioFrames) check(frame);
    if (flv.FrameCount != flv.VideoFrames.size()) std::abort();
    for (int i = 0; i < yel::media::kMetaNameCount; ++i)
      if (const auto* value = flv.MetaValue(i)) {
        value->AsInteger();
        value->AsString();
      }
  } catch (const yel::Error&) {
  }
  return 0;
}
