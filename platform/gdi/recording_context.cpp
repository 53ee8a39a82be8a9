// Recording of GDI calls as EMF records, encoded with libUEMF.
#include "platform/gdi/recording_context.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <cairo.h>

#include "platform/gdi/logical_font.h"

extern "C" {
#include <uemf.h>
}

namespace yel::gdi {

struct RecordingContext::Object {
  enum Kind { kPen, kBrush, kFont } kind = kPen;
  std::vector<std::uint8_t> create;  // the creation record; its object index is patched in
  int table_index = -1;
  bool deleted = false;
  double pen_width = 1;  // logical units; 0 or 1 for cosmetic pens means one pixel
  bool cosmetic = true;
  bool null_pen = false;
  LogFont font;
};

namespace {

U_RECTL ToRectl(const Rect& r) { return U_RECTL{r.left, r.top, r.right, r.bottom}; }
U_POINTL Pt(int x, int y) { return U_POINTL{x, y}; }
U_COLORREF ToColor(ColorRef c) {
  return U_COLORREF{std::uint8_t(RedOf(c)), std::uint8_t(GreenOf(c)), std::uint8_t(BlueOf(c)), 0};
}
U_XFORM ToXform(const XForm& x) {
  return U_XFORM{float(x.eM11), float(x.eM12), float(x.eM21), float(x.eM22), float(x.eDx),
                 float(x.eDy)};
}
std::vector<std::uint8_t> TakeRecord(char* record) {
  std::vector<std::uint8_t> out;
  if (!record) return out;
  std::uint32_t size;
  std::memcpy(&size, record + 4, 4);
  out.assign(record, record + size);
  std::free(record);
  return out;
}
bool Fits16(const std::vector<Point>& points) {
  for (const Point& p : points)
    if (p.x < INT16_MIN || p.x > INT16_MAX || p.y < INT16_MIN || p.y > INT16_MAX) return false;
  return true;
}
std::vector<U_POINT16> To16(const std::vector<Point>& points) {
  std::vector<U_POINT16> out;
  for (const Point& p : points) out.push_back(U_POINT16{std::int16_t(p.x), std::int16_t(p.y)});
  return out;
}
std::vector<U_POINTL> To32(const std::vector<Point>& points) {
  std::vector<U_POINTL> out;
  for (const Point& p : points) out.push_back(U_POINTL{p.x, p.y});
  return out;
}
PU_BITMAPINFO Bmi(const Dib& d) {
  return reinterpret_cast<PU_BITMAPINFO>(const_cast<std::uint8_t*>(d.info.data()));
}
char* Bits(const Dib& d) { return reinterpret_cast<char*>(const_cast<std::uint8_t*>(d.bits.data())); }

// A copy of the part (x, y, w, h) of a bitmap, counted from the top row.
Dib CropDib(const Dib& dib, int x, int y, int w, int h) {
  Picture full;
  if (!DecodeDib(dib.info.data(), dib.info.size(), dib.bits.data(), dib.bits.size(), full, true))
    return dib;
  if (x == 0 && y == 0 && w == full.width && h == full.height) return dib;
  Picture part;
  part.width = std::max(1, w);
  part.height = std::max(1, h);
  part.pixels.assign(std::size_t(part.width) * part.height, 0xFF000000u);
  for (int j = 0; j < part.height; ++j)
    for (int i = 0; i < part.width; ++i) {
      int sx = x + i, sy = y + j;
      if (sx >= 0 && sy >= 0 && sx < full.width && sy < full.height)
        part.pixels[std::size_t(j) * part.width + i] = full.At(sx, sy);
    }
  int bits = 24;
  if (dib.info.size() >= 16 && dib.info[14] == 32) bits = 32;
  if (dib.info.size() >= 16 && dib.info[14] == 1) {
    // Keep masks monochrome: rebuild the 1-bit rows.
    std::vector<std::uint8_t> rows(std::size_t((part.width + 7) / 8) * part.height, 0);
    for (int j = 0; j < part.height; ++j)
      for (int i = 0; i < part.width; ++i)
        if ((part.At(i, j) & 0xFFFFFF) != 0)
          rows[std::size_t(j) * ((part.width + 7) / 8) + i / 8] |= std::uint8_t(0x80 >> (i & 7));
    return MakeMonoDib(part.width, part.height, rows);
  }
  return MakeDib(part, bits);
}

}  // namespace

Picture ScaledDownPicture(const Picture& picture, int w, int h) {
  Picture out;
  out.width = w;
  out.height = h;
  out.pixels.assign(std::size_t(w) * h, 0);
  cairo_surface_t* src = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(picture.pixels.data())), CAIRO_FORMAT_ARGB32,
      picture.width, picture.height, picture.width * 4);
  cairo_surface_t* dst = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(out.pixels.data()),
                                                             CAIRO_FORMAT_ARGB32, w, h, w * 4);
  cairo_t* cr = cairo_create(dst);
  cairo_scale(cr, double(w) / picture.width, double(h) / picture.height);
  cairo_set_source_surface(cr, src, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(dst);
  cairo_surface_destroy(src);
  return out;
}

namespace {

std::int32_t MulDivRound(std::int32_t a, std::int32_t b, std::int32_t c) {
  if (c == 0) return 0;
  return std::int32_t(std::llround(double(a) * b / c));
}

}  // namespace

RecordingContext::RecordingContext(Rect frame, Point device_pixels, Point device_millimeters)
    : frame_(frame), device_pixels_(device_pixels), device_millimeters_(device_millimeters) {
  if (device_pixels_.x <= 0 || device_pixels_.y <= 0 || device_millimeters_.x <= 0 ||
      device_millimeters_.y <= 0) {
    device_pixels_ = {1920, 1440};
    device_millimeters_ = {508, 381};
  }
  state_.mapping.SetResolution(double(device_pixels_.x) / device_millimeters_.x,
                               double(device_pixels_.y) / device_millimeters_.y);
  table_used_.assign(1, true);  // index 0 is the metafile itself
}

RecordingContext::~RecordingContext() = default;

void RecordingContext::AppendBytes(const std::vector<std::uint8_t>& record) {
  if (closed_ || record.empty()) return;
  bytes_.insert(bytes_.end(), record.begin(), record.end());
  ++record_count_;
}

void RecordingContext::Append(char* record) { AppendBytes(TakeRecord(record)); }

void RecordingContext::Widen(const Rect& r) {
  if (r.right < r.left || r.bottom < r.top) return;
  if (!has_bounds_) {
    bounds_ = r;
    has_bounds_ = true;
    return;
  }
  bounds_.left = std::min(bounds_.left, r.left);
  bounds_.top = std::min(bounds_.top, r.top);
  bounds_.right = std::max(bounds_.right, r.right);
  bounds_.bottom = std::max(bounds_.bottom, r.bottom);
}

double RecordingContext::PenWidthDevice() const {
  ObjectHandle pen = state_.pen;
  if (pen & kStockFlag) return (pen & 0xFF) == NULL_PEN ? 0 : 1;
  if (pen == 0 || pen > objects_.size()) return 1;
  const Object& o = *objects_[pen - 1];
  if (o.null_pen) return 0;
  if (o.cosmetic || o.pen_width <= 1) return 1;
  return o.pen_width * std::sqrt(std::fabs(state_.mapping.LogicalToDevice().Determinant()));
}

Rect RecordingContext::BoundsOf(const std::vector<PointD>& logical, bool with_pen) {
  if (logical.empty()) return {0, 0, -1, -1};
  XForm t = state_.mapping.LogicalToDevice();
  double x0 = std::numeric_limits<double>::max(), y0 = x0, x1 = -x0, y1 = -x0;
  for (const PointD& p : logical) {
    PointD d = t.Apply(p.x, p.y);
    x0 = std::min(x0, d.x);
    y0 = std::min(y0, d.y);
    x1 = std::max(x1, d.x);
    y1 = std::max(y1, d.y);
  }
  double half = with_pen ? PenWidthDevice() / 2 : 0;
  if (half <= 0.5) half = 0;
  auto clamp = [](double v) {
    return std::int32_t(std::clamp(v, -1e9, 1e9));
  };
  return {clamp(std::floor(x0 - half)), clamp(std::floor(y0 - half)),
          clamp(std::max(std::floor(x0 - half), std::ceil(x1 + half) - 1)),
          clamp(std::max(std::floor(y0 - half), std::ceil(y1 + half) - 1))};
}

Rect RecordingContext::BoundsOfBox(int left, int top, int right, int bottom, bool with_pen) {
  return BoundsOf({{double(left), double(top)}, {double(right), double(top)},
                   {double(right), double(bottom)}, {double(left), double(bottom)}},
                  with_pen);
}

std::vector<std::uint8_t> RecordingContext::Close() {
  if (closed_) return {};
  // EOF record: no palette entries.
  std::vector<std::uint8_t> eof(20, 0);
  std::uint32_t fields[5] = {EMR_EOF, 20, 0, 16, 20};
  std::memcpy(eof.data(), fields, 20);
  AppendBytes(eof);
  closed_ = true;

  Rect bounds = has_bounds_ ? bounds_ : Rect{0, 0, -1, -1};
  Rect frame = frame_;
  if (frame.IsEmpty()) {
    Rect b = has_bounds_ ? bounds_ : Rect{0, 0, 0, 0};
    frame = {MulDivRound(b.left, device_millimeters_.x * 100, device_pixels_.x),
             MulDivRound(b.top, device_millimeters_.y * 100, device_pixels_.y),
             MulDivRound(b.right + 1, device_millimeters_.x * 100, device_pixels_.x),
             MulDivRound(b.bottom + 1, device_millimeters_.y * 100, device_pixels_.y)};
  }
  std::vector<std::uint8_t> header = TakeRecord(U_EMRHEADER_set(
      ToRectl(bounds), ToRectl(frame), nullptr, 0, nullptr,
      U_SIZEL{device_pixels_.x, device_pixels_.y},
      U_SIZEL{device_millimeters_.x, device_millimeters_.y}, 0));
  std::uint32_t total = std::uint32_t(header.size() + bytes_.size());
  std::uint32_t records = record_count_ + 1;
  std::uint16_t handles = std::uint16_t(std::min<std::size_t>(table_used_.size(), 0xFFFF));
  std::memcpy(&header[48], &total, 4);
  std::memcpy(&header[52], &records, 4);
  std::memcpy(&header[56], &handles, 2);
  std::vector<std::uint8_t> out;
  out.reserve(total);
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), bytes_.begin(), bytes_.end());
  bytes_.clear();
  bytes_.shrink_to_fit();
  return out;
}

// ---- objects ---------------------------------------------------------------

ObjectHandle RecordingContext::CreatePen(std::uint32_t style, int width, ColorRef color) {
  auto o = std::make_unique<Object>();
  o->kind = Object::kPen;
  o->pen_width = std::abs(width);
  o->cosmetic = width <= 1;
  o->null_pen = (style & PS_STYLE_MASK) == PS_NULL;
  o->create = TakeRecord(U_EMRCREATEPEN_set(0, U_LOGPEN{style, U_POINT{std::abs(width), 0}, ToColor(color)}));
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

ObjectHandle RecordingContext::ExtCreatePen(std::uint32_t style, std::uint32_t width, ColorRef color,
                                            const std::vector<std::uint32_t>& user_style) {
  auto o = std::make_unique<Object>();
  o->kind = Object::kPen;
  o->pen_width = width;
  o->cosmetic = !(style & PS_GEOMETRIC);
  o->null_pen = (style & PS_STYLE_MASK) == PS_NULL;
  std::vector<std::uint32_t> entries = user_style;
  PU_EXTLOGPEN elp = extlogpen_set(style, width, BS_SOLID, ToColor(color), 0,
                                   std::uint32_t(entries.size()),
                                   entries.empty() ? nullptr : entries.data());
  o->create = TakeRecord(U_EMREXTCREATEPEN_set(0, nullptr, 0, nullptr, elp));
  std::free(elp);
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

ObjectHandle RecordingContext::CreateSolidBrush(ColorRef color) {
  return CreateBrushIndirect(BS_SOLID, color, 0);
}

ObjectHandle RecordingContext::CreateHatchBrush(std::uint32_t hatch, ColorRef color) {
  return CreateBrushIndirect(BS_HATCHED, color, hatch);
}

ObjectHandle RecordingContext::CreateBrushIndirect(std::uint32_t style, ColorRef color,
                                                   std::uint32_t hatch) {
  auto o = std::make_unique<Object>();
  o->kind = Object::kBrush;
  o->create = TakeRecord(U_EMRCREATEBRUSHINDIRECT_set(0, U_LOGBRUSH{style, ToColor(color), hatch}));
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

ObjectHandle RecordingContext::CreatePatternBrush(const Dib& monochrome) {
  auto o = std::make_unique<Object>();
  o->kind = Object::kBrush;
  o->create = TakeRecord(U_EMRCREATEMONOBRUSH_set(0, 0 /* DIB_RGB_COLORS */, Bmi(monochrome),
                                                  std::uint32_t(monochrome.bits.size()),
                                                  Bits(monochrome)));
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

ObjectHandle RecordingContext::CreateDIBPatternBrushPt(const Dib& dib) {
  auto o = std::make_unique<Object>();
  o->kind = Object::kBrush;
  o->create = TakeRecord(U_EMRCREATEDIBPATTERNBRUSHPT_set(0, 0, Bmi(dib),
                                                          std::uint32_t(dib.bits.size()), Bits(dib)));
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

ObjectHandle RecordingContext::CreateFontIndirect(const LogFont& font) {
  static_assert(sizeof(LogFont) == sizeof(U_LOGFONT));
  auto o = std::make_unique<Object>();
  o->kind = Object::kFont;
  o->font = font;
  U_LOGFONT lf;
  std::memcpy(&lf, &font, sizeof lf);
  o->create = TakeRecord(U_EMREXTCREATEFONTINDIRECTW_set(0, reinterpret_cast<const char*>(&lf), nullptr));
  objects_.push_back(std::move(o));
  return ObjectHandle(objects_.size());
}

std::uint32_t RecordingContext::Realize(ObjectHandle h) {
  if (h & kStockFlag) return h;
  Object& o = *objects_[h - 1];
  if (o.table_index < 0) {
    std::size_t slot = 1;
    while (slot < table_used_.size() && table_used_[slot]) ++slot;
    if (slot == table_used_.size()) table_used_.push_back(false);
    table_used_[slot] = true;
    o.table_index = int(slot);
    std::vector<std::uint8_t> rec = o.create;
    std::uint32_t index = std::uint32_t(slot);
    std::memcpy(&rec[8], &index, 4);
    AppendBytes(rec);
  }
  return std::uint32_t(o.table_index);
}

ObjectHandle RecordingContext::SelectObject(ObjectHandle h) {
  if (closed_) return 0;
  int kind;
  if (h & kStockFlag) {
    int n = int(h & 0xFF);
    if (n <= NULL_BRUSH || n == DC_BRUSH) kind = Object::kBrush;
    else if (n <= NULL_PEN || n == DC_PEN) kind = Object::kPen;
    else if (n >= OEM_FIXED_FONT && n != DEFAULT_PALETTE) kind = Object::kFont;
    else return 0;
  } else {
    if (h == 0 || h > objects_.size() || objects_[h - 1]->deleted) return 0;
    kind = objects_[h - 1]->kind;
  }
  std::uint32_t index = Realize(h);
  Append(U_EMRSELECTOBJECT_set(index));
  ObjectHandle* slot = kind == Object::kPen ? &state_.pen : kind == Object::kBrush ? &state_.brush : &state_.font;
  ObjectHandle previous = *slot;
  *slot = h;
  return previous;
}

bool RecordingContext::DeleteObject(ObjectHandle h) {
  if (h & kStockFlag) return true;
  if (h == 0 || h > objects_.size() || objects_[h - 1]->deleted) return false;
  Object& o = *objects_[h - 1];
  if (o.table_index > 0 && !closed_) {
    Append(U_EMRDELETEOBJECT_set(std::uint32_t(o.table_index)));
    table_used_[std::size_t(o.table_index)] = false;
  }
  o.table_index = -1;
  o.deleted = true;
  o.create.clear();
  return true;
}

// ---- state -----------------------------------------------------------------

int RecordingContext::SaveDC() {
  if (closed_) return 0;
  Append(U_EMRSAVEDC_set());
  saved_.push_back(state_);
  return int(saved_.size());
}

bool RecordingContext::RestoreDC(int relative) {
  if (closed_) return false;
  int level = relative < 0 ? int(saved_.size()) + relative + 1 : relative;
  if (level < 1 || level > int(saved_.size())) return false;
  Append(U_EMRRESTOREDC_set(relative < 0 ? relative : relative - int(saved_.size()) - 1));
  state_ = saved_[std::size_t(level - 1)];
  saved_.resize(std::size_t(level - 1));
  return true;
}

void RecordingContext::SetMapMode(int mode) {
  Append(U_EMRSETMAPMODE_set(std::uint32_t(mode)));
  state_.mapping.SetMapMode(mode);
}
void RecordingContext::SetWindowOrgEx(int x, int y) {
  Append(U_EMRSETWINDOWORGEX_set(Pt(x, y)));
  state_.mapping.SetWindowOrg({x, y});
}
void RecordingContext::SetWindowExtEx(int x, int y) {
  Append(U_EMRSETWINDOWEXTEX_set(U_SIZEL{x, y}));
  state_.mapping.SetWindowExt({x, y});
}
void RecordingContext::SetViewportOrgEx(int x, int y) {
  Append(U_EMRSETVIEWPORTORGEX_set(Pt(x, y)));
  state_.mapping.SetViewportOrg({x, y});
}
void RecordingContext::SetViewportExtEx(int x, int y) {
  Append(U_EMRSETVIEWPORTEXTEX_set(U_SIZEL{x, y}));
  state_.mapping.SetViewportExt({x, y});
}
void RecordingContext::ScaleViewportExtEx(int xn, int xd, int yn, int yd) {
  Append(U_EMRSCALEVIEWPORTEXTEX_set(xn, xd, yn, yd));
  state_.mapping.ScaleViewportExt(xn, xd, yn, yd);
}
void RecordingContext::ScaleWindowExtEx(int xn, int xd, int yn, int yd) {
  Append(U_EMRSCALEWINDOWEXTEX_set(xn, xd, yn, yd));
  state_.mapping.ScaleWindowExt(xn, xd, yn, yd);
}
void RecordingContext::SetWorldTransform(const XForm& x) {
  Append(U_EMRSETWORLDTRANSFORM_set(ToXform(x)));
  state_.mapping.SetWorld(x);
}
void RecordingContext::ModifyWorldTransform(const XForm& x, int mode) {
  Append(U_EMRMODIFYWORLDTRANSFORM_set(ToXform(x), std::uint32_t(mode)));
  state_.mapping.ModifyWorld(x, mode);
}
void RecordingContext::SetROP2(int mode) { Append(U_EMRSETROP2_set(std::uint32_t(mode))); }
void RecordingContext::SetBkMode(int mode) { Append(U_EMRSETBKMODE_set(std::uint32_t(mode))); }
void RecordingContext::SetBkColor(ColorRef c) { Append(U_EMRSETBKCOLOR_set(ToColor(c))); }
void RecordingContext::SetTextColor(ColorRef c) { Append(U_EMRSETTEXTCOLOR_set(ToColor(c))); }
void RecordingContext::SetTextAlign(std::uint32_t a) {
  Append(U_EMRSETTEXTALIGN_set(a));
  state_.text_align = a;
}
void RecordingContext::SetGraphicsMode(int mode) {
  if (mode == GM_COMPATIBLE || mode == GM_ADVANCED) state_.graphics_mode = mode;
}
void RecordingContext::SetPolyFillMode(int m) { Append(U_EMRSETPOLYFILLMODE_set(std::uint32_t(m))); }
void RecordingContext::SetArcDirection(int d) { Append(U_EMRSETARCDIRECTION_set(std::uint32_t(d))); }
void RecordingContext::SetStretchBltMode(int m) { Append(U_EMRSETSTRETCHBLTMODE_set(std::uint32_t(m))); }
void RecordingContext::SetMiterLimit(int l) { Append(U_EMRSETMITERLIMIT_set(std::uint32_t(l))); }

void RecordingContext::GdiComment(const std::vector<std::uint8_t>& data) {
  Append(U_EMRCOMMENT_set(std::uint32_t(data.size()), reinterpret_cast<const char*>(data.data())));
}

// ---- lines and shapes --------------------------------------------------------

void RecordingContext::MoveToEx(int x, int y) {
  Append(U_EMRMOVETOEX_set(Pt(x, y)));
  state_.position = {x, y};
}

void RecordingContext::LineTo(int x, int y) {
  Widen(BoundsOf({{double(state_.position.x), double(state_.position.y)}, {double(x), double(y)}}, true));
  Append(U_EMRLINETO_set(Pt(x, y)));
  state_.position = {x, y};
}

void RecordingContext::PolyRecord(std::uint32_t type32, std::uint32_t type16,
                                  const std::vector<Point>& points, bool with_pen) {
  if (closed_ || points.empty()) return;
  std::vector<PointD> logical;
  for (const Point& p : points) logical.push_back({double(p.x), double(p.y)});
  if (type32 == EMR_POLYLINETO || type32 == EMR_POLYBEZIERTO)
    logical.push_back({double(state_.position.x), double(state_.position.y)});
  Rect b = BoundsOf(logical, with_pen);
  Widen(b);
  U_RECTL rb = ToRectl(b);
  std::uint32_t n = std::uint32_t(points.size());
  if (Fits16(points)) {
    std::vector<U_POINT16> p = To16(points);
    switch (type16) {
      case EMR_POLYBEZIER16: Append(U_EMRPOLYBEZIER16_set(rb, n, p.data())); break;
      case EMR_POLYGON16: Append(U_EMRPOLYGON16_set(rb, n, p.data())); break;
      case EMR_POLYLINE16: Append(U_EMRPOLYLINE16_set(rb, n, p.data())); break;
      case EMR_POLYBEZIERTO16: Append(U_EMRPOLYBEZIERTO16_set(rb, n, p.data())); break;
      case EMR_POLYLINETO16: Append(U_EMRPOLYLINETO16_set(rb, n, p.data())); break;
    }
  } else {
    std::vector<U_POINTL> p = To32(points);
    switch (type32) {
      case EMR_POLYBEZIER: Append(U_EMRPOLYBEZIER_set(rb, n, p.data())); break;
      case EMR_POLYGON: Append(U_EMRPOLYGON_set(rb, n, p.data())); break;
      case EMR_POLYLINE: Append(U_EMRPOLYLINE_set(rb, n, p.data())); break;
      case EMR_POLYBEZIERTO: Append(U_EMRPOLYBEZIERTO_set(rb, n, p.data())); break;
      case EMR_POLYLINETO: Append(U_EMRPOLYLINETO_set(rb, n, p.data())); break;
    }
  }
  if (type32 == EMR_POLYLINETO || type32 == EMR_POLYBEZIERTO) state_.position = points.back();
}

void RecordingContext::Polyline(const std::vector<Point>& p) { PolyRecord(EMR_POLYLINE, EMR_POLYLINE16, p, true); }
void RecordingContext::PolylineTo(const std::vector<Point>& p) { PolyRecord(EMR_POLYLINETO, EMR_POLYLINETO16, p, true); }
void RecordingContext::Polygon(const std::vector<Point>& p) { PolyRecord(EMR_POLYGON, EMR_POLYGON16, p, true); }
void RecordingContext::PolyBezier(const std::vector<Point>& p) { PolyRecord(EMR_POLYBEZIER, EMR_POLYBEZIER16, p, true); }
void RecordingContext::PolyBezierTo(const std::vector<Point>& p) { PolyRecord(EMR_POLYBEZIERTO, EMR_POLYBEZIERTO16, p, true); }

void RecordingContext::PolyPolyRecord(std::uint32_t type32, std::uint32_t type16,
                                      const std::vector<std::vector<Point>>& figures) {
  if (closed_ || figures.empty()) return;
  std::vector<Point> all;
  std::vector<std::uint32_t> counts;
  for (const auto& f : figures) {
    all.insert(all.end(), f.begin(), f.end());
    counts.push_back(std::uint32_t(f.size()));
  }
  std::vector<PointD> logical;
  for (const Point& p : all) logical.push_back({double(p.x), double(p.y)});
  Rect b = BoundsOf(logical, true);
  Widen(b);
  std::uint32_t np = std::uint32_t(counts.size()), n = std::uint32_t(all.size());
  if (Fits16(all)) {
    std::vector<U_POINT16> p = To16(all);
    if (type16 == EMR_POLYPOLYGON16) Append(U_EMRPOLYPOLYGON16_set(ToRectl(b), np, counts.data(), n, p.data()));
    else Append(U_EMRPOLYPOLYLINE16_set(ToRectl(b), np, counts.data(), n, p.data()));
  } else {
    std::vector<U_POINTL> p = To32(all);
    if (type32 == EMR_POLYPOLYGON) Append(U_EMRPOLYPOLYGON_set(ToRectl(b), np, counts.data(), n, p.data()));
    else Append(U_EMRPOLYPOLYLINE_set(ToRectl(b), np, counts.data(), n, p.data()));
  }
}

void RecordingContext::PolyPolyline(const std::vector<std::vector<Point>>& f) {
  PolyPolyRecord(EMR_POLYPOLYLINE, EMR_POLYPOLYLINE16, f);
}
void RecordingContext::PolyPolygon(const std::vector<std::vector<Point>>& f) {
  PolyPolyRecord(EMR_POLYPOLYGON, EMR_POLYPOLYGON16, f);
}

void RecordingContext::PolyDraw(const std::vector<Point>& points, const std::vector<std::uint8_t>& types) {
  if (closed_ || points.empty() || points.size() != types.size()) return;
  std::vector<PointD> logical;
  for (const Point& p : points) logical.push_back({double(p.x), double(p.y)});
  logical.push_back({double(state_.position.x), double(state_.position.y)});
  Rect b = BoundsOf(logical, true);
  Widen(b);
  std::uint32_t n = std::uint32_t(points.size());
  if (Fits16(points)) {
    std::vector<U_POINT16> p = To16(points);
    Append(U_EMRPOLYDRAW16_set(ToRectl(b), n, p.data(), types.data()));
  } else {
    std::vector<U_POINTL> p = To32(points);
    Append(U_EMRPOLYDRAW_set(ToRectl(b), n, p.data(), types.data()));
  }
  state_.position = points.back();
}

void RecordingContext::Rectangle(int l, int t, int r, int b) {
  Widen(BoundsOfBox(l, t, r, b, true));
  Append(U_EMRRECTANGLE_set(U_RECTL{l, t, r, b}));
}

void RecordingContext::RoundRect(int l, int t, int r, int b, int w, int h) {
  Widen(BoundsOfBox(l, t, r, b, true));
  Append(U_EMRROUNDRECT_set(U_RECTL{l, t, r, b}, U_SIZEL{w, h}));
}

void RecordingContext::Ellipse(int l, int t, int r, int b) {
  Widen(BoundsOfBox(l, t, r, b, true));
  Append(U_EMRELLIPSE_set(U_RECTL{l, t, r, b}));
}

void RecordingContext::ArcRecord(std::uint32_t type, int l, int t, int r, int b, int xs, int ys,
                                 int xe, int ye) {
  if (closed_) return;
  std::vector<PointD> pts = {{double(l), double(t)}, {double(r), double(b)}};
  if (type == EMR_ARCTO) pts.push_back({double(state_.position.x), double(state_.position.y)});
  Widen(BoundsOf(pts, true));
  U_RECTL box{l, t, r, b};
  switch (type) {
    case EMR_ARC: Append(U_EMRARC_set(box, Pt(xs, ys), Pt(xe, ye))); break;
    case EMR_ARCTO: Append(U_EMRARCTO_set(box, Pt(xs, ys), Pt(xe, ye))); break;
    case EMR_CHORD: Append(U_EMRCHORD_set(box, Pt(xs, ys), Pt(xe, ye))); break;
    case EMR_PIE: Append(U_EMRPIE_set(box, Pt(xs, ys), Pt(xe, ye))); break;
  }
}

void RecordingContext::Arc(int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  ArcRecord(EMR_ARC, l, t, r, b, xs, ys, xe, ye);
}
void RecordingContext::Chord(int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  ArcRecord(EMR_CHORD, l, t, r, b, xs, ys, xe, ye);
}
void RecordingContext::Pie(int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  ArcRecord(EMR_PIE, l, t, r, b, xs, ys, xe, ye);
}

void RecordingContext::ArcTo(int l, int t, int r, int b, int xs, int ys, int xe, int ye) {
  ArcRecord(EMR_ARCTO, l, t, r, b, xs, ys, xe, ye);
  // The current position moves to the arc's end point on the ellipse.
  double cx = (l + r) / 2.0, cy = (t + b) / 2.0, rx = std::fabs(r - l) / 2.0, ry = std::fabs(b - t) / 2.0;
  double a = std::atan2((ye - cy) / std::max(ry, 1e-9), (xe - cx) / std::max(rx, 1e-9));
  state_.position = {int(std::lround(cx + rx * std::cos(a))), int(std::lround(cy + ry * std::sin(a)))};
}

void RecordingContext::AngleArc(int x, int y, std::uint32_t radius, float start, float sweep) {
  double r = radius;
  Widen(BoundsOf({{x - r, y - r}, {x + r, y + r},
                  {double(state_.position.x), double(state_.position.y)}}, true));
  Append(U_EMRANGLEARC_set(Pt(x, y), radius, start, sweep));
  double e = (start + sweep) * M_PI / 180;
  state_.position = {int(std::lround(x + r * std::cos(e))), int(std::lround(y - r * std::sin(e)))};
}

void RecordingContext::SetPixelV(int x, int y, ColorRef color) {
  Widen(BoundsOf({{double(x), double(y)}}, false));
  Append(U_EMRSETPIXELV_set(Pt(x, y), ToColor(color)));
}

// ---- paths -------------------------------------------------------------------

void RecordingContext::BeginPath() { Append(U_EMRBEGINPATH_set()); }
void RecordingContext::EndPath() { Append(U_EMRENDPATH_set()); }
void RecordingContext::CloseFigure() { Append(U_EMRCLOSEFIGURE_set()); }
void RecordingContext::AbortPath() { Append(U_EMRABORTPATH_set()); }
void RecordingContext::FlattenPath() { Append(U_EMRFLATTENPATH_set()); }
void RecordingContext::WidenPath() { Append(U_EMRWIDENPATH_set()); }
// The path's extent is not followed here; the records carry the bounds of
// the whole frame, which is what they may cover.
void RecordingContext::FillPath() { Append(U_EMRFILLPATH_set(U_RECTL{0, 0, -1, -1})); }
void RecordingContext::StrokePath() { Append(U_EMRSTROKEPATH_set(U_RECTL{0, 0, -1, -1})); }
void RecordingContext::StrokeAndFillPath() { Append(U_EMRSTROKEANDFILLPATH_set(U_RECTL{0, 0, -1, -1})); }
void RecordingContext::SelectClipPath(int mode) { Append(U_EMRSELECTCLIPPATH_set(std::uint32_t(mode))); }

// ---- clipping and regions ------------------------------------------------------

void RecordingContext::IntersectClipRect(int l, int t, int r, int b) {
  Append(U_EMRINTERSECTCLIPRECT_set(U_RECTL{l, t, r, b}));
}
void RecordingContext::ExcludeClipRect(int l, int t, int r, int b) {
  Append(U_EMREXCLUDECLIPRECT_set(U_RECTL{l, t, r, b}));
}

namespace {
std::vector<std::uint8_t> RegionData(const std::vector<Rect>& region) {
  Rect bound{0, 0, 0, 0};
  for (std::size_t i = 0; i < region.size(); ++i) {
    const Rect& r = region[i];
    if (i == 0) bound = r;
    bound.left = std::min(bound.left, r.left);
    bound.top = std::min(bound.top, r.top);
    bound.right = std::max(bound.right, r.right);
    bound.bottom = std::max(bound.bottom, r.bottom);
  }
  std::vector<std::uint8_t> out(32 + 16 * region.size(), 0);
  std::uint32_t head[4] = {32, 1, std::uint32_t(region.size()), std::uint32_t(16 * region.size())};
  std::memcpy(out.data(), head, 16);
  std::memcpy(&out[16], &bound, 16);
  for (std::size_t i = 0; i < region.size(); ++i) std::memcpy(&out[32 + 16 * i], &region[i], 16);
  return out;
}
}  // namespace

void RecordingContext::ExtSelectClipRgn(const std::vector<Rect>& region, int mode) {
  if (closed_) return;
  std::vector<std::uint8_t> data = region.empty() ? std::vector<std::uint8_t>{} : RegionData(region);
  std::vector<std::uint8_t> rec(16 + data.size(), 0);
  std::uint32_t head[4] = {EMR_EXTSELECTCLIPRGN, std::uint32_t(rec.size()), std::uint32_t(data.size()),
                           std::uint32_t(mode)};
  std::memcpy(rec.data(), head, 16);
  if (!data.empty()) std::memcpy(&rec[16], data.data(), data.size());
  AppendBytes(rec);
}

void RecordingContext::FillRgn(const std::vector<Rect>& region, ObjectHandle brush) {
  if (closed_ || region.empty()) return;
  if (!(brush & kStockFlag) && (brush == 0 || brush > objects_.size() || objects_[brush - 1]->deleted))
    return;
  std::uint32_t index = Realize(brush);
  std::vector<std::uint8_t> data = RegionData(region);
  Rect box;
  std::memcpy(&box, &data[16], 16);
  Rect b = BoundsOfBox(box.left, box.top, box.right, box.bottom, false);
  Widen(b);
  Append(U_EMRFILLRGN_set(ToRectl(b), index, reinterpret_cast<PU_RGNDATA>(data.data())));
}

// ---- bit-block transfers ---------------------------------------------------------

void RecordingContext::BitBlt(int x, int y, int w, int h, const Dib* source, int xs, int ys,
                              std::uint32_t rop) {
  if (closed_) return;
  Rect b = BoundsOfBox(x, y, x + w, y + h, false);
  Widen(b);
  U_XFORM identity{1, 0, 0, 1, 0, 0};
  if (!source) {
    Append(U_EMRBITBLT_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(0, 0), identity, U_COLORREF{255, 255, 255, 0},
                           0, rop, nullptr, 0, nullptr));
    return;
  }
  Dib part = CropDib(*source, xs, ys, w, h);
  Append(U_EMRBITBLT_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(0, 0), identity, U_COLORREF{255, 255, 255, 0},
                         0, rop, Bmi(part), std::uint32_t(part.bits.size()), Bits(part)));
}

void RecordingContext::StretchBlt(int x, int y, int w, int h, const Dib* source, int xs, int ys,
                                  int ws, int hs, std::uint32_t rop) {
  if (closed_) return;
  Rect b = BoundsOfBox(x, y, x + w, y + h, false);
  Widen(b);
  U_XFORM identity{1, 0, 0, 1, 0, 0};
  Append(U_EMRSTRETCHBLT_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(xs, ys), Pt(ws, hs), identity,
                             U_COLORREF{255, 255, 255, 0}, 0, rop, source ? Bmi(*source) : nullptr,
                             source ? std::uint32_t(source->bits.size()) : 0,
                             source ? Bits(*source) : nullptr));
}

void RecordingContext::StretchDIBits(int x, int y, int w, int h, int xs, int ys, int ws, int hs,
                                     const Dib& dib, std::uint32_t rop) {
  if (closed_) return;
  Rect b = BoundsOfBox(x, y, x + w, y + h, false);
  Widen(b);
  Append(U_EMRSTRETCHDIBITS_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(xs, ys), Pt(ws, hs), 0, rop,
                                Bmi(dib), std::uint32_t(dib.bits.size()), Bits(dib)));
}

void RecordingContext::MaskBlt(int x, int y, int w, int h, const Dib& source, int xs, int ys,
                               const Dib& mask, int xm, int ym, std::uint32_t rop4) {
  if (closed_) return;
  Rect b = BoundsOfBox(x, y, x + w, y + h, false);
  Widen(b);
  Dib part = CropDib(source, xs, ys, w, h);
  Dib mpart = CropDib(mask, xm, ym, w, h);
  U_XFORM identity{1, 0, 0, 1, 0, 0};
  Append(U_EMRMASKBLT_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(0, 0), identity, U_COLORREF{255, 255, 255, 0},
                          0, Pt(0, 0), 0, rop4, Bmi(part), std::uint32_t(part.bits.size()), Bits(part),
                          Bmi(mpart), std::uint32_t(mpart.bits.size()), Bits(mpart)));
}

void RecordingContext::AlphaBlend(int x, int y, int w, int h, const Dib& source, int xs, int ys,
                                  int ws, int hs, BlendFunction blend) {
  if (closed_) return;
  Rect b = BoundsOfBox(x, y, x + w, y + h, false);
  Widen(b);
  U_XFORM identity{1, 0, 0, 1, 0, 0};
  U_BLEND bf{blend.BlendOp, blend.BlendFlags, blend.SourceConstantAlpha, blend.AlphaFormat};
  Append(U_EMRALPHABLEND_set(ToRectl(b), Pt(x, y), Pt(w, h), Pt(xs, ys), Pt(ws, hs), identity,
                             U_COLORREF{255, 255, 255, 0}, 0, bf, Bmi(source),
                             std::uint32_t(source.bits.size()), Bits(source)));
}

void RecordingContext::GradientFill(const std::vector<TriVertex>& vertices,
                                    const std::vector<std::uint32_t>& mesh, std::uint32_t mode) {
  if (closed_ || vertices.empty()) return;
  std::size_t per = mode == GRADIENT_FILL_TRIANGLE ? 3 : 2;
  if (mesh.size() < per) return;
  std::vector<PointD> logical;
  for (const TriVertex& v : vertices) logical.push_back({double(v.x), double(v.y)});
  Rect b = BoundsOf(logical, false);
  Widen(b);
  static_assert(sizeof(TriVertex) == sizeof(U_TRIVERTEX));
  std::vector<U_TRIVERTEX> tv(vertices.size());
  std::memcpy(tv.data(), vertices.data(), vertices.size() * sizeof(U_TRIVERTEX));
  std::vector<std::uint32_t> objects(mesh.begin(), mesh.begin() + (mesh.size() / per) * per);
  Append(U_EMRGRADIENTFILL_set(ToRectl(b), std::uint32_t(tv.size()), std::uint32_t(objects.size() / per),
                               mode, tv.data(), objects.data()));
}

// ---- what the imaging library records ----------------------------------------------

void RecordingContext::FillRectangle(const Rect& r, ColorRef color) {
  if (closed_) return;
  ObjectHandle brush = CreateSolidBrush(color);
  ObjectHandle old_brush = SelectObject(brush);
  ObjectHandle old_pen = SelectObject(StockObject(NULL_PEN));
  Rectangle(r.left, r.top, r.right, r.bottom);
  SelectObject(old_pen);
  SelectObject(old_brush);
  DeleteObject(brush);
}

void RecordingContext::DrawPicture(const Picture& source, const Rect& d) {
  if (closed_ || source.width <= 0 || source.height <= 0) return;
  // A picture drawn smaller than it is is scaled to the device pixels it
  // covers first: the metafile then carries what is seen, not the original.
  Picture scaled;
  const Picture* use = &source;
  XForm t = state_.mapping.LogicalToDevice();
  int dw = int(std::lround(std::fabs(d.Width() * t.eM11 + d.Height() * t.eM21)));
  int dh = int(std::lround(std::fabs(d.Width() * t.eM12 + d.Height() * t.eM22)));
  if (t.eM12 == 0 && t.eM21 == 0 && dw > 0 && dh > 0 && (dw < source.width || dh < source.height)) {
    scaled = ScaledDownPicture(source, std::min(dw, source.width), std::min(dh, source.height));
    use = &scaled;
  }
  const Picture& picture = *use;
  bool alpha = false;
  for (std::uint32_t p : picture.pixels)
    if ((p >> 24) != 255) {
      alpha = true;
      break;
    }
  if (alpha) {
    // Pictures with transparency blend with what is below them.
    BlendFunction blend;
    blend.AlphaFormat = AC_SRC_ALPHA;
    AlphaBlend(d.left, d.top, d.Width(), d.Height(), MakeDib(picture, 32), 0, 0, picture.width,
               picture.height, blend);
    return;
  }
  StretchDIBits(d.left, d.top, d.Width(), d.Height(), 0, 0, picture.width, picture.height,
                MakeDib(picture, 24), SRCCOPY);
}

}  // namespace yel::gdi

namespace yel::gdi {

// ---- text ------------------------------------------------------------------------

LogFont RecordingContext::SelectedFont() const {
  ObjectHandle h = state_.font;
  if (h & kStockFlag) return StockFontDescription(int(h & 0xFF));
  if (h == 0 || h > objects_.size()) return StockFontDescription(SYSTEM_FONT);
  return objects_[h - 1]->font;
}

std::vector<std::int32_t> RecordingContext::TextAdvances(const std::u32string& text,
                                                         const std::vector<std::int32_t>* given,
                                                         Point* reference, Rect* bounds) {
  LogicalFont font(SelectedFont());
  std::vector<std::int32_t> out;
  if (given) {
    out.assign(given->begin(), given->end());
    out.resize(text.size(), 0);
  } else {
    double sum = 0;
    std::int64_t placed = 0;
    for (char32_t c : text) {
      sum += font.Advance(c);
      std::int64_t next = std::llround(std::clamp(sum, -1e9, 1e9));
      out.push_back(std::int32_t(next - placed));
      placed = next;
    }
  }
  if (state_.text_align & TA_UPDATECP) *reference = state_.position;
  std::vector<double> advances(out.begin(), out.end());
  TextLayout layout = LayOutText(font, state_.mapping.LogicalToDevice(),
                                 {double(reference->x), double(reference->y)}, state_.text_align, advances);
  *bounds = {0, 0, -1, -1};
  if (layout.Usable && !text.empty()) {
    double x0 = layout.Cell[0].x, y0 = layout.Cell[0].y, x1 = x0, y1 = y0;
    for (const PointD& p : layout.Cell) {
      x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    *bounds = {std::int32_t(std::floor(x0)), std::int32_t(std::floor(y0)),
               std::int32_t(std::max(std::floor(x0), std::ceil(x1) - 1)),
               std::int32_t(std::max(std::floor(y0), std::ceil(y1) - 1))};
  }
  if (state_.text_align & TA_UPDATECP)
    state_.position = {std::int32_t(std::llround(std::clamp(layout.End.x, -1e9, 1e9))),
                       std::int32_t(std::llround(std::clamp(layout.End.y, -1e9, 1e9)))};
  return out;
}

void RecordingContext::TextRecord(bool wide, int x, int y, std::uint32_t options, const Rect* rect,
                                  const void* codes, std::size_t count, const std::u32string& chars,
                                  const std::vector<std::int32_t>* advances) {
  if (closed_) return;
  Point reference{x, y};
  Rect bounds;
  std::vector<std::int32_t> dx = TextAdvances(chars, advances, &reference, &bounds);
  std::vector<std::uint32_t> udx(dx.begin(), dx.end());
  Rect box = rect ? *rect : Rect{};
  if (rect && (options & (ETO_OPAQUE | ETO_CLIPPED))) Widen(BoundsOfBox(box.left, box.top, box.right, box.bottom, false));
  Widen(bounds);
  char* emrtext = emrtext_set(Pt(reference.x, reference.y), std::uint32_t(count), wide ? 2 : 1,
                              const_cast<void*>(codes), options & ~std::uint32_t(ETO_NO_RECT), ToRectl(box),
                              udx.data());
  if (!emrtext) return;
  auto* text = reinterpret_cast<PU_EMRTEXT>(emrtext);
  std::uint32_t mode = std::uint32_t(state_.graphics_mode);
  Append(wide ? U_EMREXTTEXTOUTW_set(ToRectl(bounds), mode, 1, 1, text)
              : U_EMREXTTEXTOUTA_set(ToRectl(bounds), mode, 1, 1, text));
  std::free(emrtext);
}

void RecordingContext::ExtTextOutW(int x, int y, std::uint32_t options, const Rect* rect,
                                   const std::u16string& text, const std::vector<std::int32_t>* advances) {
  std::u32string chars;
  for (char16_t c : text) chars += (options & ETO_GLYPH_INDEX) ? char32_t(c) + 29 : char32_t(c);
  TextRecord(true, x, y, options, rect, text.data(), text.size(), chars, advances);
}

void RecordingContext::ExtTextOutA(int x, int y, std::uint32_t options, const Rect* rect, const std::string& text,
                                   const std::vector<std::int32_t>* advances) {
  std::u32string chars;
  for (char c : text)
    chars += (options & ETO_GLYPH_INDEX) ? char32_t(std::uint8_t(c)) + 29 : AnsiCharacter(std::uint8_t(c));
  TextRecord(false, x, y, options, rect, text.data(), text.size(), chars, advances);
}

void RecordingContext::TextOut(int x, int y, const std::u16string& text) { ExtTextOutW(x, y, 0, nullptr, text); }

void RecordingContext::SmallTextOut(int x, int y, std::uint32_t options, const Rect* rect, const std::u16string& text) {
  if (closed_) return;
  std::u32string chars;
  for (char16_t c : text) chars += (options & ETO_SMALL_CHARS) ? char32_t(c & 0xFF) : char32_t(c);
  Point reference{x, y};
  Rect bounds;
  TextAdvances(chars, nullptr, &reference, &bounds);
  Widen(bounds);
  if (!rect) options |= ETO_NO_RECT;
  std::string payload;
  for (char16_t c : text) {
    payload += char(c & 0xFF);
    if (!(options & ETO_SMALL_CHARS)) payload += char(c >> 8);
  }
  Append(U_EMRSMALLTEXTOUT_set(Pt(reference.x, reference.y), std::uint32_t(text.size()), options,
                               std::uint32_t(state_.graphics_mode), 1, 1, ToRectl(rect ? *rect : Rect{}),
                               payload.data()));
}

}  // namespace yel::gdi
