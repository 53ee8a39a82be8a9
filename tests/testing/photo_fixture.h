// Photo-like pictures for tests and benchmarks: the 1/f spectrum of natural
// scenes (value noise of many octaves, larger features stronger), colour
// that varies across the picture, and sensor noise. Flat or smooth pictures
// decode and compress unrealistically fast; these behave like photos.
// Deterministic: the same seed gives the same pixels everywhere.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "media/jpeg_file.h"

namespace yel::testing {

namespace photo_detail {

inline std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  return h ^ (h >> 15);
}

// Value noise summed over octaves of cell sizes from `largest` down to
// `smallest` pixels, each with 0.8 times the amplitude of the one before;
// one row at a time.
inline void NoiseRow(int y, int width, std::uint32_t seed, std::vector<float>& row, int largest = 512,
                     int smallest = 2, float amplitude = 1.0f) {
  row.assign(std::size_t(width), 0.0f);
  for (int cell = largest; cell >= smallest; cell /= 2, amplitude *= 0.8f) {
    const int cy = y / cell;
    float fy = float(y % cell) / float(cell);
    fy = fy * fy * (3 - 2 * fy);
    for (int cx = 0; cx * cell < width; ++cx) {
      auto value = [&](int ix, int iy) { return float(Hash(std::uint32_t(ix), std::uint32_t(iy), seed + cell) >> 8) / 8388608.0f - 1.0f; };
      const float top = value(cx, cy), top_right = value(cx + 1, cy);
      const float bottom = value(cx, cy + 1), bottom_right = value(cx + 1, cy + 1);
      const float left = top + (bottom - top) * fy, right = top_right + (bottom_right - top_right) * fy;
      for (int x = cx * cell, end = std::min(width, x + cell); x < end; ++x) {
        float fx = float(x - cx * cell) / float(cell);
        fx = fx * fx * (3 - 2 * fx);
        row[std::size_t(x)] += amplitude * (left + (right - left) * fx);
      }
    }
  }
}

}  // namespace photo_detail

// RGB pixels of a photo-like picture: large shapes everywhere, fine texture
// only in parts (as a photo has sky and walls beside foliage and fabric).
inline media::TDecodedImage PhotoLikePicture(int width, int height, std::uint32_t seed) {
  media::TDecodedImage image;
  image.Width = width, image.Height = height, image.Components = 3;
  image.Pixels.resize(std::size_t(width) * height * 3);
  std::vector<float> light, detail, where, warm;
  std::uint32_t noise = seed * 2654435761u + 1;
  for (int y = 0; y < height; ++y) {
    photo_detail::NoiseRow(y, width, seed * 4 + 1, light, 512, 32);
    photo_detail::NoiseRow(y, width, seed * 4 + 2, detail, 16, 2, 0.41f);
    photo_detail::NoiseRow(y, width, seed * 4 + 3, where, 512, 128);
    photo_detail::NoiseRow(y, width, seed * 4 + 4, warm);
    std::uint8_t* out = &image.Pixels[std::size_t(y) * width * 3];
    for (int x = 0; x < width; ++x) {
      const float textured = std::clamp(0.4f + where[std::size_t(x)], 0.0f, 1.0f);
      const float l = 128 + 70 * (light[std::size_t(x)] + textured * detail[std::size_t(x)]);
      const float w = 40 * warm[std::size_t(x)];
      const float rgb[3] = {l + w, l + 0.2f * w, l - w};
      for (float c : rgb) {
        noise = noise * 1664525u + 1013904223u;
        const float grain = float(int(noise >> 29) + int((noise >> 26) & 7) - 7) * 0.4f;  // about ±3
        *out++ = std::uint8_t(std::clamp(int(c + grain + 0.5f), 0, 255));
      }
    }
  }
  return image;
}

// The picture as a JPEG file's bytes (quality 85, as cameras and phones
// save photos).
inline std::vector<std::uint8_t> PhotoLikeJpeg(int width, int height, std::uint32_t seed) {
  return media::EncodeJPEG(PhotoLikePicture(width, height, seed), 85);
}

}  // namespace yel::testing
