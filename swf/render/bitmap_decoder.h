// Bitmap characters decoded to premultiplied ARGB words (what cairo's
// ARGB32 surfaces hold): JPEG with shared tables (DefineBits + JPEGTables),
// JPEG, PNG or GIF data (DefineBitsJPEG2), with an alpha plane
// (DefineBitsJPEG3, DefineBitsJPEG4), and lossless bitmaps of every format
// (DefineBitsLossless, DefineBitsLossless2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace yel::swf {
class TSWFObject;
class TSWFJPEGTables;
}  // namespace yel::swf

namespace yel::swf::render {

struct TBitmap {
  int Width = 0, Height = 0;
  std::vector<std::uint32_t> Pixels;  // premultiplied 0xAARRGGBB, rows top to bottom
};

// A bitmap may have at most this many pixels (8191 × 8191, the largest
// album); a larger one is refused before anything is decoded.
inline constexpr std::uint64_t kMaxBitmapPixels = 8191ull * 8191ull;

// True for the tags DecodeBitmap takes.
bool IsBitmapTag(std::uint16_t tagId);

// Decodes a bitmap tag; tables are the movie's JPEGTables (for DefineBits),
// or null. Throws yel::Error naming `name` for damaged data or a bitmap
// over the limit.
TBitmap DecodeBitmap(const TSWFObject& tag, const TSWFJPEGTables* tables, const std::string& name);

}  // namespace yel::swf::render
