// JPEG files: the size probe used to decide whether a file can go into a movie
// as it is, a fuller marker walk (frame kind, colour components, EXIF
// orientation), and decoding and baseline encoding with libjpeg-turbo.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace yel::media {

// Width and height from the first baseline or extended frame header (SOF0 or
// SOF1); 0 × 0 when the data does not start with FF D8 or has no such frame
// before the marker walk ends (a progressive JPEG therefore gives 0 × 0).
struct TJPEGSize {
  int Width = 0, Height = 0;
};
TJPEGSize GetJPEGSize(std::span<const std::uint8_t> bytes);
// Reads only as much of the file as the walk needs. Throws yel::Error naming
// the file when it cannot be read.
TJPEGSize GetJPEGSize(const std::string& file_name);

// What the markers before the first scan tell.
struct TJPEGProbe {
  bool IsJPEG = false;       // starts with FF D8
  int FrameMarker = 0;       // 0xC0..0xCF of the first frame header, 0 when none
  int Width = 0, Height = 0; // of that frame header
  int Components = 0;        // 1 grey, 3 colour, 4 CMYK or YCCK
  int Orientation = 1;       // EXIF orientation 1..8 (1 when absent or invalid)
};
TJPEGProbe ProbeJPEG(std::span<const std::uint8_t> bytes);
// Reads only as much of the file as the probe needs. Throws yel::Error
// naming the file when it cannot be read.
TJPEGProbe ProbeJPEGFile(const std::string& file_name);

// Pixels top to bottom, rows packed, Components bytes per pixel (1 or 3).
struct TDecodedImage {
  int Width = 0, Height = 0, Components = 0;
  std::vector<std::uint8_t> Pixels;
};

// Decodes any JPEG that libjpeg-turbo reads (baseline, progressive,
// arithmetic; grey, colour, CMYK). CMYK and YCCK become RGB, grey stays grey
// unless to_rgb is set. When apply_orientation is set the EXIF orientation is
// applied, so the pixels are upright as an image viewer shows them. Throws
// yel::Error naming `name` for corrupt data and for sizes the data could not
// hold.
TDecodedImage DecodeJPEG(std::span<const std::uint8_t> bytes, const std::string& name, bool apply_orientation,
                         bool to_rgb = false);

// Opaque pixels as 0xAARRGGBB words (alpha 255), rows top to bottom: what a
// drawing surface of premultiplied ARGB takes as it is.
struct TARGBImage {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;
};

// The smallest n of n/8 (1, 2, 4 or 8) at which a width × height JPEG
// decodes to at least min_width × min_height pixels (the decoder rounds
// sizes up). The other eighths are left out: libjpeg-turbo decodes them
// without its SIMD code, and their scaled IDCTs lose detail that shows on
// textured photos (below 40 dB PSNR against the whole picture scaled down).
int JPEGScaleFor(int width, int height, int min_width, int min_height);

// Decodes like DecodeJPEG (any kind; EXIF orientation applied), with the
// DCT scaled down to the smallest n/8 (see JPEGScaleFor) at which the
// upright picture still has at least min_width × min_height pixels (full
// size when either is 0), straight into ARGB words in one pass.
TARGBImage DecodeJPEGScaledARGB(std::span<const std::uint8_t> bytes, const std::string& name, int min_width,
                                int min_height);

// Encodes pixels (1 or 3 components) as a baseline JPEG with the library's
// default settings (quality 75 unless given). full_colour keeps the colour
// at full resolution instead of halving it both ways (larger files, colour
// detail as sharp as brightness).
std::vector<std::uint8_t> EncodeJPEG(const TDecodedImage& image, int quality = 75, bool full_colour = false);

// Applies an EXIF orientation (2..8) to decoded pixels.
void ApplyOrientation(TDecodedImage& image, int orientation);

}  // namespace yel::media
