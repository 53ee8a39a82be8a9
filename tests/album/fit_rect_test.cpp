#include "album/fit_rect.h"

#include <gtest/gtest.h>

namespace yel {
namespace {

TEST(FitRect, Cases) {
  struct Case {
    float m, W, H, iw, ih;
    FloatRect expected;
  } cases[] = {
      {0, 720, 540, 3000, 2000, {0, 30, 720, 480}},   // wide photo scaled down, centred
      {0, 720, 540, 400, 300, {0, 0, 720, 540}},      // small photo of the box's shape fills it
      // Pictures not larger than the box keep their shape, scaled up to
      // touch it and centred.
      {0, 720, 540, 400, 200, {0, 90, 720, 360}},
      {0, 720, 540, 300, 400, {158, 0, 405, 540}},     // portrait: Round(157.5) = 158
      {0, 720, 540, 720, 477, {0, 32, 720, 477}},      // as wide as the box: not stretched taller
      {4, 120, 88, 60, 60, {20, 4, 88, 88}},           // tile
      {4, 120, 88, 100, 20, {4, 36, 120, 24}},         // tile, wide
      {4, 117, 85, 1000, 100, {4, 41, 117, 11.7f}},   // Round(36.65) + 4
      {0, 720, 540, 1000, 3000, {270, 0, 180, 540}},  // tall photo
      {4, 120, 88, 0, 0, {4, 4, 120, 88}},            // unknown picture size: the whole box
      {0, 720, 540, 721, 541, {0, 0, 719.66728f, 540}},  // just larger: scaled down
  };
  for (const auto& c : cases) {
    FloatRect r = FitRect(c.m, c.W, c.H, c.iw, c.ih);
    EXPECT_FLOAT_EQ(r.X, c.expected.X) << c.iw << "x" << c.ih;
    EXPECT_FLOAT_EQ(r.Y, c.expected.Y) << c.iw << "x" << c.ih;
    EXPECT_FLOAT_EQ(r.W, c.expected.W) << c.iw << "x" << c.ih;
    EXPECT_FLOAT_EQ(r.H, c.expected.H) << c.iw << "x" << c.ih;
  }
}

TEST(FitRect, HalvesRoundToEven) {
  // (720 - 717) / 2 = 1.5 rounds to 2; (720 - 715) / 2 = 2.5 rounds to 2.
  EXPECT_FLOAT_EQ(FitRect(0, 720, 540, 717 * 4, 540 * 4).X, 2);
  EXPECT_FLOAT_EQ(FitRect(0, 720, 540, 715 * 4, 540 * 4).X, 2);
}

}  // namespace
}  // namespace yel
