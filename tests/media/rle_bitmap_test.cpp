// The run-length bitmap decoder shared by the BMP reader and the metafile
// player: encoded and absolute runs of both widths, the escapes, and data
// that is cut short or runs past the bitmap.
#include <gtest/gtest.h>

#include <vector>

#include "media/rle_bitmap.h"

namespace yel::media {
namespace {

TEST(DecodeRleBitmap, RunsAndEscapes) {
  const struct {
    const char* name;
    bool rle4;
    int width, height;
    std::vector<std::uint8_t> data;
    std::vector<int> expected;  // stored rows in order; -1: no pixel given
  } cases[] = {
      {"encoded run clipped at the row end", false, 3, 1, {5, 7, 0, 1}, {7, 7, 7}},
      {"RLE4 runs alternate nibbles; an absolute run from an odd pixel", true, 7, 1,
       {3, 0x12, 0, 3, 0x30, 0x10, 0, 1}, {1, 2, 1, 3, 0, 1, -1}},
      {"absolute run padded to 16 bits", false, 4, 1, {0, 3, 1, 2, 3, 0, 1, 9, 0, 1}, {1, 2, 3, 9}},
      {"end of row, then a delta", false, 3, 3, {1, 4, 0, 0, 0, 2, 1, 1, 1, 5}, {4, -1, -1, -1, -1, -1, -1, 5, -1}},
      {"end of bitmap stops", false, 3, 1, {1, 3, 0, 1, 2, 4}, {3, -1, -1}},
      {"absolute run cut short gives what is there", false, 4, 1, {0, 4, 6, 7}, {6, 7, -1, -1}},
      {"nothing past the last row", false, 2, 1, {0, 0, 2, 8, 0, 2}, {-1, -1}},
      {"a delta without its bytes ends the data", false, 2, 1, {1, 3, 0, 2, 1}, {3, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> got(static_cast<std::size_t>(c.width * c.height), -1);
    DecodeRleBitmap(c.data, c.rle4, c.width, c.height, [&](int x, int y, std::uint8_t index) {
      ASSERT_TRUE(x >= 0 && x < c.width && y >= 0 && y < c.height) << x << ", " << y;
      got[static_cast<std::size_t>(y * c.width + x)] = index;
    });
    EXPECT_EQ(got, c.expected);
  }
}

}  // namespace
}  // namespace yel::media
