// WMF to EMF: the records are read with bounds checks and replayed on a
// RecordingContext whose mapping puts the WMF's window onto its picture.
#include "platform/gdi/windows_metafile.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "base/error.h"
#include "platform/gdi/recording_context.h"

namespace yel::gdi {
namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kHeaderSize = 18;

// WMF record functions.
enum : std::uint16_t {
  kEOF = 0x0000, kSetBkColor = 0x0201, kSetBkMode = 0x0102, kSetMapMode = 0x0103, kSetROP2 = 0x0104,
  kSetPolyFillMode = 0x0106, kSetTextColor = 0x0209, kSetWindowOrg = 0x020B, kSetWindowExt = 0x020C,
  kSaveDC = 0x001E, kRestoreDC = 0x0127, kSelectObject = 0x012D, kDeleteObject = 0x01F0,
  kCreatePenIndirect = 0x02FA, kCreateBrushIndirect = 0x02FC, kCreateFontIndirect = 0x02FB,
  kCreatePalette = 0x00F7, kCreatePatternBrush = 0x01F9, kDibCreatePatternBrush = 0x0142, kCreateRegion = 0x06FF,
  kMoveTo = 0x0214, kLineTo = 0x0213, kRectangle = 0x041B, kRoundRect = 0x061C, kEllipse = 0x0418,
  kArc = 0x0817, kPie = 0x081A, kChord = 0x0830, kPolygon = 0x0324, kPolyline = 0x0325, kPolyPolygon = 0x0538,
  kIntersectClipRect = 0x0416, kExcludeClipRect = 0x0415, kSetPixel = 0x041F,
};

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) { return U16(p) | std::uint32_t{U16(p + 2)} << 16; }

// One record's parameters (16-bit words after the function).
struct Params {
  const std::uint8_t* p;
  std::size_t words;
  bool Has(std::size_t n) const { return n <= words; }
  std::int16_t S(std::size_t i) const { return static_cast<std::int16_t>(U16(p + 2 * i)); }
  std::uint16_t W(std::size_t i) const { return U16(p + 2 * i); }
  std::uint32_t D(std::size_t i) const { return U32(p + 2 * i); }
};

struct Record {
  std::uint16_t function;
  Params params;
};

// The records after the header; walking stops at EOF or a damaged size.
std::vector<Record> ReadRecords(const std::uint8_t* bytes, std::size_t size, std::size_t at) {
  std::vector<Record> records;
  while (at + 6 <= size) {
    const std::uint64_t words = U32(bytes + at);
    if (words < 3 || words * 2 > size - at) break;
    const std::uint16_t function = U16(bytes + at + 4);
    if (function == kEOF) break;
    records.push_back({function, {bytes + at + 6, static_cast<std::size_t>(words - 3)}});
    at += static_cast<std::size_t>(words * 2);
  }
  return records;
}

std::vector<Point> Points(const Params& q, std::size_t first, std::size_t count) {
  std::vector<Point> points;
  if (!q.Has(first + 2 * count)) return points;
  points.reserve(count);
  for (std::size_t i = 0; i < count; ++i) points.push_back({q.S(first + 2 * i), q.S(first + 2 * i + 1)});
  return points;
}

}  // namespace

bool LooksLikeWindowsMetafile(const std::uint8_t* bytes, std::size_t size) {
  if (size >= 4 && U32(bytes) == kPlaceableKey) return size >= kPlaceableSize + kHeaderSize;
  if (size < kHeaderSize) return false;
  const std::uint16_t type = U16(bytes), header = U16(bytes + 2), version = U16(bytes + 4);
  return (type == 1 || type == 2) && header == 9 && (version == 0x0100 || version == 0x0300);
}

ConvertedMetafile ConvertWindowsMetafile(const std::uint8_t* bytes, std::size_t size, const std::string& name) {
  if (!LooksLikeWindowsMetafile(bytes, size)) ThrowFileError(name, "not a Windows metafile (WMF)");
  ConvertedMetafile result;
  std::size_t at = 0;
  // The window the picture shows, in logical units.
  std::optional<Rect> window;
  if (U32(bytes) == kPlaceableKey) {
    const std::int16_t left = static_cast<std::int16_t>(U16(bytes + 6)), top = static_cast<std::int16_t>(U16(bytes + 8));
    const std::int16_t right = static_cast<std::int16_t>(U16(bytes + 10)), bottom = static_cast<std::int16_t>(U16(bytes + 12));
    const std::uint16_t inch = U16(bytes + 14);
    if (inch == 0) ThrowFileError(name, "the placeable metafile header gives 0 units per inch");
    window = Rect{left, top, right, bottom};
    result.width = std::abs(right - left) * 96.0 / inch;
    result.height = std::abs(bottom - top) * 96.0 / inch;
    at = kPlaceableSize;
    if (!LooksLikeWindowsMetafile(bytes + at, size - at)) ThrowFileError(name, "the metafile header after the placeable header is damaged");
  }
  at += std::size_t{U16(bytes + at + 2)} * 2;
  const std::vector<Record> records = ReadRecords(bytes, size, at);

  // Without a placeable header the first window extent sets the size, one
  // logical unit to a pixel.
  if (!window) {
    Point origin;
    for (const Record& r : records) {
      if (r.function == kSetWindowOrg && r.params.Has(2)) origin = {r.params.S(1), r.params.S(0)};
      if (r.function == kSetWindowExt && r.params.Has(2)) {
        window = Rect{origin.x, origin.y, origin.x + r.params.S(1), origin.y + r.params.S(0)};
        result.width = std::abs(window->Width());
        result.height = std::abs(window->Height());
        break;
      }
    }
  }
  if (result.width == 0 || result.height == 0) result.width = result.height = 0;

  const auto frame01mm = [](double pixels) { return static_cast<std::int32_t>(std::lround(pixels * 2540 / 96)); };
  RecordingContext dc(result.width > 0 ? Rect{0, 0, frame01mm(result.width), frame01mm(result.height)} : Rect{});
  if (result.width > 0) {
    dc.SetMapMode(MM_ANISOTROPIC);
    dc.SetWindowOrgEx(window->left, window->top);
    dc.SetWindowExtEx(window->Width(), window->Height());
    dc.SetViewportOrgEx(0, 0);
    dc.SetViewportExtEx(static_cast<int>(std::lround(result.width)), static_cast<int>(std::lround(result.height)));
  }

  // WMF objects take the lowest free slot of the object table; those made
  // by records left out hold an empty slot.
  std::vector<std::optional<ObjectHandle>> slots;
  const auto take = [&](std::optional<ObjectHandle> handle) {
    for (auto& slot : slots)
      if (!slot) {
        slot = handle ? handle : std::optional<ObjectHandle>(0);
        return;
      }
    slots.push_back(handle ? handle : std::optional<ObjectHandle>(0));
  };
  const auto slot = [&](std::uint16_t index) -> ObjectHandle {
    return index < slots.size() && slots[index] ? *slots[index] : 0;
  };

  for (const Record& r : records) {
    const Params& q = r.params;
    switch (r.function) {
      case kSetBkColor: if (q.Has(2)) dc.SetBkColor(q.D(0) & 0xFFFFFF); break;
      case kSetTextColor: if (q.Has(2)) dc.SetTextColor(q.D(0) & 0xFFFFFF); break;
      case kSetBkMode: if (q.Has(1)) dc.SetBkMode(q.W(0)); break;
      case kSetROP2: if (q.Has(1)) dc.SetROP2(q.W(0)); break;
      case kSetPolyFillMode: if (q.Has(1)) dc.SetPolyFillMode(q.W(0)); break;
      // The picture's own mapping stays: a map mode other than the
      // anisotropic one would undo it.
      case kSetMapMode: if (q.Has(1) && result.width == 0) dc.SetMapMode(q.W(0)); break;
      case kSetWindowOrg: if (q.Has(2)) dc.SetWindowOrgEx(q.S(1), q.S(0)); break;
      case kSetWindowExt: if (q.Has(2)) dc.SetWindowExtEx(q.S(1), q.S(0)); break;
      case kSaveDC: dc.SaveDC(); break;
      case kRestoreDC: if (q.Has(1)) dc.RestoreDC(q.S(0)); break;
      case kCreatePenIndirect:
        take(q.Has(5) ? std::optional(dc.CreatePen(q.W(0), q.S(1), q.D(3) & 0xFFFFFF)) : std::nullopt);
        break;
      case kCreateBrushIndirect:
        take(q.Has(4) ? std::optional(dc.CreateBrushIndirect(q.W(0), q.D(1) & 0xFFFFFF, q.W(3))) : std::nullopt);
        break;
      case kCreateFontIndirect: case kCreatePalette: case kCreatePatternBrush: case kDibCreatePatternBrush:
      case kCreateRegion:
        take(std::nullopt);
        break;
      case kSelectObject:
        if (q.Has(1) && slot(q.W(0))) dc.SelectObject(slot(q.W(0)));
        break;
      case kDeleteObject:
        if (q.Has(1) && q.W(0) < slots.size() && slots[q.W(0)]) {
          if (*slots[q.W(0)]) dc.DeleteObject(*slots[q.W(0)]);
          slots[q.W(0)].reset();
        }
        break;
      case kMoveTo: if (q.Has(2)) dc.MoveToEx(q.S(1), q.S(0)); break;
      case kLineTo: if (q.Has(2)) dc.LineTo(q.S(1), q.S(0)); break;
      case kRectangle: if (q.Has(4)) dc.Rectangle(q.S(3), q.S(2), q.S(1), q.S(0)); break;
      case kEllipse: if (q.Has(4)) dc.Ellipse(q.S(3), q.S(2), q.S(1), q.S(0)); break;
      case kIntersectClipRect: if (q.Has(4)) dc.IntersectClipRect(q.S(3), q.S(2), q.S(1), q.S(0)); break;
      case kExcludeClipRect: if (q.Has(4)) dc.ExcludeClipRect(q.S(3), q.S(2), q.S(1), q.S(0)); break;
      case kRoundRect:
        if (q.Has(6)) dc.RoundRect(q.S(5), q.S(4), q.S(3), q.S(2), q.S(1), q.S(0));
        break;
      case kArc: case kPie: case kChord:
        if (!q.Has(8)) break;
        if (r.function == kArc) dc.Arc(q.S(7), q.S(6), q.S(5), q.S(4), q.S(3), q.S(2), q.S(1), q.S(0));
        if (r.function == kPie) dc.Pie(q.S(7), q.S(6), q.S(5), q.S(4), q.S(3), q.S(2), q.S(1), q.S(0));
        if (r.function == kChord) dc.Chord(q.S(7), q.S(6), q.S(5), q.S(4), q.S(3), q.S(2), q.S(1), q.S(0));
        break;
      case kSetPixel: if (q.Has(4)) dc.SetPixelV(q.S(3), q.S(2), q.D(0) & 0xFFFFFF); break;
      case kPolygon: case kPolyline: {
        if (!q.Has(1) || q.S(0) <= 0) break;
        std::vector<Point> points = Points(q, 1, static_cast<std::size_t>(q.S(0)));
        if (points.empty()) break;
        if (r.function == kPolygon) dc.Polygon(points); else dc.Polyline(points);
        break;
      }
      case kPolyPolygon: {
        if (!q.Has(1)) break;
        const std::size_t count = q.W(0);
        if (!q.Has(1 + count)) break;
        std::vector<std::vector<Point>> polygons;
        std::size_t next = 1 + count;
        bool sound = true;
        for (std::size_t i = 0; i < count && sound; ++i) {
          polygons.push_back(Points(q, next, q.W(1 + i)));
          sound = q.W(1 + i) == 0 || !polygons.back().empty();
          next += 2 * std::size_t{q.W(1 + i)};
        }
        if (sound && !polygons.empty()) dc.PolyPolygon(polygons);
        break;
      }
      default:
        break;  // no EMF counterpart here
    }
  }
  result.emf = dc.Close();
  return result;
}

}  // namespace yel::gdi
