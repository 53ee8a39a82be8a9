// Filters on premultiplied ARGB layers. Blurs are repeated box blurs (one
// per quality pass), as players do; shadows and glows are the blurred alpha
// of the object, tinted, moved and composited under (or inside) it.
#include "swf/render/filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "swf/format/filters.h"

namespace yel::swf::render {
namespace {

// Box blur of one channel plane (values 0..255 as floats), radius in pixels,
// along rows then columns, passes times.
void BoxBlur(std::vector<float>& plane, int w, int h, double blurX, double blurY, int passes) {
  std::vector<float> tmp(std::max(w, h));
  auto blurLine = [&](float* data, int n, int step, int radius) {
    if (radius <= 0 || n == 0) return;
    const float norm = 1.0f / float(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < n) ? data[i * step] : 0;
    for (int i = 0; i < n; ++i) {
      tmp[i] = float(sum * norm);
      const int out = i - radius, in = i + radius + 1;
      if (out >= 0) sum -= data[out * step];
      if (in < n) sum += data[in * step];
    }
    for (int i = 0; i < n; ++i) data[i * step] = tmp[i];
  };
  const int rx = int(std::lround(std::max(0.0, blurX - 1) / 2)), ry = int(std::lround(std::max(0.0, blurY - 1) / 2));
  for (int p = 0; p < passes; ++p) {
    for (int y = 0; y < h; ++y) blurLine(plane.data() + std::size_t(y) * w, w, 1, rx);
    for (int x = 0; x < w; ++x) blurLine(plane.data() + x, h, w, ry);
  }
}

void Blur(std::uint32_t* px, int w, int h, int stride, double bx, double by, int passes) {
  std::vector<float> planes[4];
  for (int c = 0; c < 4; ++c) {
    planes[c].resize(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) planes[c][std::size_t(y) * w + x] = float((px[y * stride + x] >> (8 * c)) & 255);
    BoxBlur(planes[c], w, h, bx, by, passes);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t v = 0;
      const std::uint32_t a = std::uint32_t(std::clamp(std::lround(planes[3][std::size_t(y) * w + x]), 0L, 255L));
      for (int c = 0; c < 3; ++c)
        v |= std::uint32_t(std::clamp<long>(std::lround(planes[c][std::size_t(y) * w + x]), 0L, long(a))) << (8 * c);
      px[y * stride + x] = v | a << 24;
    }
}

// Shadow or glow: the object's alpha, blurred, moved by (dx, dy), times
// strength, in colour; outer ones go under the object, inner ones inside it.
void Shadow(std::uint32_t* px, int w, int h, int stride, std::uint32_t rgba, double bx, double by, int passes,
            double strength, double dx, double dy, bool inner, bool knockout, bool hideObject) {
  std::vector<float> alpha(std::size_t(w) * h);
  const int ox = int(std::lround(dx)), oy = int(std::lround(dy));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int sx = x - ox, sy = y - oy;
      float a = (sx >= 0 && sy >= 0 && sx < w && sy < h) ? float(px[sy * stride + sx] >> 24) : (inner ? 255.f : 0.f);
      if (inner) a = 255.f - a;
      alpha[std::size_t(y) * w + x] = a;
    }
  BoxBlur(alpha, w, h, bx, by, passes);
  const double cr = (rgba & 255) / 255.0, cg = ((rgba >> 8) & 255) / 255.0, cb = ((rgba >> 16) & 255) / 255.0;
  const double ca = (rgba >> 24) / 255.0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t& p = px[y * stride + x];
      const double objA = (p >> 24) / 255.0;
      double s = std::min(1.0, alpha[std::size_t(y) * w + x] / 255.0 * strength) * ca;
      if (inner) s *= objA;  // inside the object only
      const double sr = cr * s, sg = cg * s, sb = cb * s;
      double r = ((p >> 16) & 255) / 255.0, g = ((p >> 8) & 255) / 255.0, b = (p & 255) / 255.0, a = objA;
      if (inner) {
        if (knockout) {
          r = sr, g = sg, b = sb, a = s;
        } else {  // the shadow over the object
          r = sr + r * (1 - s), g = sg + g * (1 - s), b = sb + b * (1 - s);
        }
      } else if (knockout) {
        r = sr * (1 - objA), g = sg * (1 - objA), b = sb * (1 - objA), a = s * (1 - objA);
      } else if (hideObject) {
        r = sr, g = sg, b = sb, a = s;
      } else {  // the shadow under the object
        r = r + sr * (1 - objA), g = g + sg * (1 - objA), b = b + sb * (1 - objA), a = a + s * (1 - objA);
      }
      auto byte = [](double v) { return std::uint32_t(std::clamp(std::lround(v * 255), 0L, 255L)); };
      p = byte(a) << 24 | byte(r) << 16 | byte(g) << 8 | byte(b);
    }
}

void ColorMatrix(std::uint32_t* px, int w, int h, int stride, const std::array<float, 20>& m) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint32_t& p = px[y * stride + x];
      const double a = p >> 24;
      double c[4] = {double((p >> 16) & 255), double((p >> 8) & 255), double(p & 255), a};
      if (a > 0 && a < 255)
        for (int i = 0; i < 3; ++i) c[i] = c[i] * 255 / a;
      double o[4];
      for (int i = 0; i < 4; ++i)
        o[i] = std::clamp(m[i * 5] * c[0] + m[i * 5 + 1] * c[1] + m[i * 5 + 2] * c[2] + m[i * 5 + 3] * c[3] +
                              m[i * 5 + 4],
                          0.0, 255.0);
      auto pm = [&](double v) { return std::uint32_t(std::lround(v * o[3] / 255)); };
      p = std::uint32_t(std::lround(o[3])) << 24 | pm(o[0]) << 16 | pm(o[1]) << 8 | pm(o[2]);
    }
}

}  // namespace

void FilterMargins(const TSWFFilterList& filters, double pixelScale, double& x, double& y) {
  x = y = 0;
  for (const auto& f : filters.Filters) {
    double bx = 0, by = 0, dist = 0;
    int passes = 1;
    if (const auto* blur = dynamic_cast<const TSWFBlurFilter*>(f.get())) {
      bx = blur->BlurX, by = blur->BlurY, passes = blur->Passes;
    } else if (const auto* shadow = dynamic_cast<const TSWFDropShadowFilter*>(f.get())) {
      bx = shadow->BlurX, by = shadow->BlurY, passes = shadow->Passes, dist = std::fabs(shadow->Distance);
    } else if (const auto* glow = dynamic_cast<const TSWFGlowFilter*>(f.get())) {
      bx = glow->BlurX, by = glow->BlurY, passes = glow->Passes;
    }
    passes = std::clamp(passes, 1, 15);
    x += (std::min(bx, 255.0) * passes / 2 + dist) * pixelScale;
    y += (std::min(by, 255.0) * passes / 2 + dist) * pixelScale;
  }
  x = std::min(x, 4096.0);
  y = std::min(y, 4096.0);
}

void ApplyFilters(const TSWFFilterList& filters, std::uint32_t* px, int w, int h, int stride, double scale) {
  for (const auto& f : filters.Filters) {
    if (const auto* blur = dynamic_cast<const TSWFBlurFilter*>(f.get())) {
      Blur(px, w, h, stride, std::min(blur->BlurX, 255.0) * scale, std::min(blur->BlurY, 255.0) * scale,
           std::clamp<int>(blur->Passes, 1, 15));
    } else if (const auto* shadow = dynamic_cast<const TSWFDropShadowFilter*>(f.get())) {
      const double angle = shadow->Angle, dist = shadow->Distance * scale;
      Shadow(px, w, h, stride, shadow->Color.RGBA(), std::min(shadow->BlurX, 255.0) * scale,
             std::min(shadow->BlurY, 255.0) * scale, std::clamp<int>(shadow->Passes, 1, 15), shadow->Strength,
             dist * std::cos(angle), dist * std::sin(angle), shadow->InnerShadow, shadow->Knockout,
             !shadow->CompositeSource);
    } else if (const auto* glow = dynamic_cast<const TSWFGlowFilter*>(f.get())) {
      Shadow(px, w, h, stride, glow->Color.RGBA(), std::min(glow->BlurX, 255.0) * scale,
             std::min(glow->BlurY, 255.0) * scale, std::clamp<int>(glow->Passes, 1, 15), glow->Strength, 0, 0,
             glow->InnerGlow, glow->Knockout, !glow->CompositeSource);
    } else if (const auto* matrix = dynamic_cast<const TSWFColorMatrixFilter*>(f.get())) {
      ColorMatrix(px, w, h, stride, matrix->Matrix);
    }
  }
}

}  // namespace yel::swf::render
