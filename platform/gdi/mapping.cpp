// Mapping modes, window and viewport, world transform.
#include "platform/gdi/mapping.h"

#include <cmath>

namespace yel::gdi {

XForm XForm::Then(const XForm& b) const {
  XForm r;
  r.eM11 = eM11 * b.eM11 + eM12 * b.eM21;
  r.eM12 = eM11 * b.eM12 + eM12 * b.eM22;
  r.eM21 = eM21 * b.eM11 + eM22 * b.eM21;
  r.eM22 = eM21 * b.eM12 + eM22 * b.eM22;
  r.eDx = eDx * b.eM11 + eDy * b.eM21 + b.eDx;
  r.eDy = eDx * b.eM12 + eDy * b.eM22 + b.eDy;
  return r;
}

XForm XForm::Inverse() const {
  double det = Determinant();
  if (det == 0 || !std::isfinite(det)) return XForm{};
  XForm r;
  r.eM11 = eM22 / det;
  r.eM12 = -eM12 / det;
  r.eM21 = -eM21 / det;
  r.eM22 = eM11 / det;
  r.eDx = -(eDx * r.eM11 + eDy * r.eM21);
  r.eDy = -(eDx * r.eM12 + eDy * r.eM22);
  return r;
}

void Mapping::SetResolution(double px_per_mm_x, double px_per_mm_y) {
  if (px_per_mm_x > 0 && px_per_mm_y > 0 && std::isfinite(px_per_mm_x) &&
      std::isfinite(px_per_mm_y)) {
    px_per_mm_x_ = px_per_mm_x;
    px_per_mm_y_ = px_per_mm_y;
  }
  FixedExtents();
}

void Mapping::SetMapMode(int mode) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  int old = map_mode_;
  map_mode_ = mode;
  if (mode == MM_ISOTROPIC && old != MM_ANISOTROPIC && old != MM_ISOTROPIC) {
    // GDI starts isotropic mapping from the MM_LOMETRIC extents.
    map_mode_ = MM_LOMETRIC;
    FixedExtents();
    map_mode_ = MM_ISOTROPIC;
  } else if (mode == MM_ANISOTROPIC || mode == MM_ISOTROPIC) {
    // extents stay
  } else {
    FixedExtents();
  }
}

void Mapping::FixedExtents() {
  // Logical units per millimetre for each fixed mode; y grows upward.
  double units_per_mm = 0;
  switch (map_mode_) {
    case MM_TEXT:
      window_ext_ = {1, 1};
      viewport_ext_ = {1, 1};
      return;
    case MM_LOMETRIC: units_per_mm = 10; break;
    case MM_HIMETRIC: units_per_mm = 100; break;
    case MM_LOENGLISH: units_per_mm = 100 / 25.4; break;
    case MM_HIENGLISH: units_per_mm = 1000 / 25.4; break;
    case MM_TWIPS: units_per_mm = 1440 / 25.4; break;
    default: return;
  }
  window_ext_ = {units_per_mm, units_per_mm};
  viewport_ext_ = {px_per_mm_x_, -px_per_mm_y_};
}

Point Mapping::WindowExt() const {
  return {std::int32_t(std::lround(window_ext_.x)), std::int32_t(std::lround(window_ext_.y))};
}
Point Mapping::ViewportExt() const {
  return {std::int32_t(std::lround(viewport_ext_.x)), std::int32_t(std::lround(viewport_ext_.y))};
}

void Mapping::SetWindowExt(Point e) {
  if ((map_mode_ != MM_ISOTROPIC && map_mode_ != MM_ANISOTROPIC) || e.x == 0 || e.y == 0) return;
  window_ext_ = {double(e.x), double(e.y)};
  AdjustIsotropic();
}

void Mapping::SetViewportExt(Point e) {
  if ((map_mode_ != MM_ISOTROPIC && map_mode_ != MM_ANISOTROPIC) || e.x == 0 || e.y == 0) return;
  viewport_ext_ = {double(e.x), double(e.y)};
  AdjustIsotropic();
}

void Mapping::ScaleWindowExt(int xnum, int xden, int ynum, int yden) {
  if (xden == 0 || yden == 0 || xnum == 0 || ynum == 0) return;
  if (map_mode_ != MM_ISOTROPIC && map_mode_ != MM_ANISOTROPIC) return;
  window_ext_ = {window_ext_.x * xnum / xden, window_ext_.y * ynum / yden};
  AdjustIsotropic();
}

void Mapping::ScaleViewportExt(int xnum, int xden, int ynum, int yden) {
  if (xden == 0 || yden == 0 || xnum == 0 || ynum == 0) return;
  if (map_mode_ != MM_ISOTROPIC && map_mode_ != MM_ANISOTROPIC) return;
  viewport_ext_ = {viewport_ext_.x * xnum / xden, viewport_ext_.y * ynum / yden};
  AdjustIsotropic();
}

// In isotropic mode one logical unit has the same size on both axes: the
// axis with the larger scale is shrunk to the smaller one.
void Mapping::AdjustIsotropic() {
  if (map_mode_ != MM_ISOTROPIC) return;
  double sx = viewport_ext_.x / window_ext_.x, sy = viewport_ext_.y / window_ext_.y;
  if (std::fabs(sx) < std::fabs(sy))
    viewport_ext_.y = std::copysign(std::fabs(window_ext_.y * sx), viewport_ext_.y);
  else
    viewport_ext_.x = std::copysign(std::fabs(window_ext_.x * sy), viewport_ext_.x);
}

bool Mapping::ModifyWorld(const XForm& x, int mode) {
  switch (mode) {
    case MWT_IDENTITY: world_ = XForm{}; return true;
    case MWT_LEFTMULTIPLY: world_ = x.Then(world_); return true;
    case MWT_RIGHTMULTIPLY: world_ = world_.Then(x); return true;
    case MWT_SET: world_ = x; return true;
    default: return false;
  }
}

XForm Mapping::PageToDevice() const {
  XForm r;
  r.eM11 = viewport_ext_.x / window_ext_.x;
  r.eM22 = viewport_ext_.y / window_ext_.y;
  r.eDx = viewport_org_.x - window_org_.x * r.eM11;
  r.eDy = viewport_org_.y - window_org_.y * r.eM22;
  return r;
}

}  // namespace yel::gdi
