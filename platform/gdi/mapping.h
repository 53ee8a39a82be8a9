// The coordinate mapping of a drawing context as GDI defines it: world
// transform, then page space to device space through the mapping mode with
// window and viewport origins and extents.
#pragma once

#include "platform/gdi/gdi_types.h"

namespace yel::gdi {

class Mapping {
 public:
  // Resolution of the device the mapping modes measure against, in pixels
  // per millimetre.
  void SetResolution(double px_per_mm_x, double px_per_mm_y);

  int MapMode() const { return map_mode_; }
  void SetMapMode(int mode);
  Point WindowOrg() const { return window_org_; }
  Point ViewportOrg() const { return viewport_org_; }
  Point WindowExt() const;
  Point ViewportExt() const;
  void SetWindowOrg(Point p) { window_org_ = p; }
  void SetViewportOrg(Point p) { viewport_org_ = p; }
  // Ignored outside MM_ISOTROPIC and MM_ANISOTROPIC, and for a zero extent,
  // as GDI does.
  void SetWindowExt(Point e);
  void SetViewportExt(Point e);
  void ScaleWindowExt(int xnum, int xden, int ynum, int yden);
  void ScaleViewportExt(int xnum, int xden, int ynum, int yden);

  const XForm& World() const { return world_; }
  void SetWorld(const XForm& x) { world_ = x; }
  // MWT_IDENTITY, MWT_LEFTMULTIPLY (x × world), MWT_RIGHTMULTIPLY
  // (world × x), MWT_SET; false for an unknown mode.
  bool ModifyWorld(const XForm& x, int mode);

  // Page space to device space, and the whole logical-to-device transform.
  XForm PageToDevice() const;
  XForm LogicalToDevice() const { return world_.Then(PageToDevice()); }

 private:
  void FixedExtents();
  void AdjustIsotropic();

  double px_per_mm_x_ = 96 / 25.4, px_per_mm_y_ = 96 / 25.4;
  int map_mode_ = MM_TEXT;
  Point window_org_, viewport_org_;
  PointD window_ext_{1, 1}, viewport_ext_{1, 1};
  XForm world_;
};

}  // namespace yel::gdi
