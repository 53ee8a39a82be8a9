// libFuzzer target for picture decoding as publishing does it: any bytes go
// through the picture decoder (JPEG, PNG, GIF or BMP by their content, the
// pixel budget from the header) and, when they decode, become a slide photo
// and the lossless bitmap the movie builder makes of it. Refusals must be
// yel::Error; the sanitizers check the rest.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error.h"
#include "media/picture_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  // Huge claims are refused or allowed by rules the unit tests cover;
  // decoding millions of pixels of noise would only slow the search.
  const yel::media::TPictureSize claimed = yel::media::PictureHeaderSize(bytes);
  if (std::uint64_t(claimed.Width) * std::uint64_t(claimed.Height) > 4'000'000) return 0;
  try {
    const yel::media::TRGBAPicture picture = yel::media::DecodePicture(bytes, "fuzz.picture");
    if (picture.Width <= 0 || picture.Height <= 0 ||
        picture.Pixels.size() != std::size_t(picture.Width) * std::size_t(picture.Height) * 4)
      std::abort();
    (void)picture.HasAlpha();
  } catch (const yel::Error&) {
  }
  return 0;
}
