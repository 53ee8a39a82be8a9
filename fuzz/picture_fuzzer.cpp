// libFuzzer target for the picture readers: loads any bytes as a BMP file
// and probes and decodes them as a JPEG. Besides the sanitizers' checks it
// requires that a BMP we loaded saves to a file that loads again with the
// same pixels.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "base/error.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"

namespace {

using yel::media::TBMPReader;

void FuzzBmp(std::span<const std::uint8_t> bytes) {
  TBMPReader reader;
  try {
    reader.LoadFromStream(bytes, "fuzz.bmp");
  } catch (const yel::Error&) {
    return;
  }
  const std::vector<std::uint8_t> saved = reader.SaveToStream();
  TBMPReader again;
  again.LoadFromStream(saved, "saved.bmp");  // our own output must load
  if (again.Width() != reader.Width() || again.Height() != reader.Height()) std::abort();
  for (int y = 0; y < reader.RowCount(); y += 1 + reader.RowCount() / 8)
    for (int x = 0; x < reader.Width(); x += 1 + reader.Width() / 8)
      if (!(again.GetPixel(y, x) == reader.GetPixel(y, x))) std::abort();
  reader.ColorsUsed();
  reader.SetPixel(0, 0, {1, 2, 3, 4});
}

void FuzzJpeg(std::span<const std::uint8_t> bytes) {
  (void)yel::media::GetJPEGSize(bytes);
  const yel::media::TJPEGProbe probe = yel::media::ProbeJPEG(bytes);
  // Large claims are refused or allowed by size rules the unit tests cover;
  // decoding millions of pixels of noise would only slow the search.
  if (!probe.IsJPEG || std::uint64_t(probe.Width) * probe.Height > 1'000'000) return;
  try {
    yel::media::TDecodedImage image = yel::media::DecodeJPEG(bytes, "fuzz.jpg", true);
    if (image.Pixels.size() != std::size_t(image.Width) * image.Height * image.Components) std::abort();
  } catch (const yel::Error&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  FuzzBmp(bytes);
  FuzzJpeg(bytes);
  return 0;
}
