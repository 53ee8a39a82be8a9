// A drawing context on a 24-bit work bitmap that plays enhanced-metafile
// records one at a time, as PlayEnhMetaFileRecord does on Windows: it keeps
// the GDI state (mapping mode, window and viewport, world transform, current
// position, path, clipping, selected objects, colours, mix modes), answers
// the queries a metafile converter makes of it, and draws every record's
// pixels with cairo. Mix modes and raster operations cairo lacks are applied
// to the pixels directly. Records that are damaged (sizes, counts or offsets
// outside the record, object indexes beyond the table, bitmaps whose header
// lies about their size) are skipped with nothing drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/metafile.h"

namespace yel::gdi {

class PlaybackDevice {
 public:
  PlaybackDevice();
  ~PlaybackDevice();
  PlaybackDevice(const PlaybackDevice&) = delete;
  PlaybackDevice& operator=(const PlaybackDevice&) = delete;

  // Starts a metafile: a work bitmap of width × height pixels filled with
  // `background`, the state of a fresh context, an object table of the
  // header's size, and the metafile's frame mapped onto `destination`
  // (bitmap pixels), as EnumEnhMetaFile does with its rectangle.
  void Begin(const MetafileHeader& header, int width, int height, const Rect& destination,
             ColorRef background);

  // Plays one record; false when it was skipped as damaged or unknown.
  bool Play(const MetafileRecord& record);
  // Plays every record of the metafile.
  void PlayAll(const MetafileRecords& metafile);
  // Pixels visited so far by drawing, blits and clip operations since Begin:
  // the work a metafile has cost, which callers bound (every full-bitmap
  // operation on a large work bitmap visits millions of pixels).
  std::uint64_t PixelWork() const;

  // Logical to device (work-bitmap) coordinates, rounded as GDI rounds.
  Point LPtoDP(Point p) const;
  PointD LPtoDPExact(PointD p) const;
  // A point of the reference device (the units of record bounds and clip
  // regions) on the work bitmap.
  PointD ReferenceToBitmap(PointD p) const;
  XForm GetWorldTransform() const;
  int GetMapMode() const;
  Point GetWindowOrgEx() const;
  Point GetWindowExtEx() const;
  Point GetViewportOrgEx() const;
  Point GetViewportExtEx() const;
  Point GetCurrentPositionEx() const;
  ColorRef GetBkColor() const;
  ColorRef GetTextColor() const;
  int GetBkMode() const;
  int GetROP2() const;
  int GetPolyFillMode() const;
  int GetArcDirection() const;
  std::uint32_t GetTextAlign() const;
  // The path closed by the last ENDPATH, in logical coordinates, with the
  // PT_* type of each point; -1 when there is none.
  int GetPath(std::vector<Point>* points, std::vector<std::uint8_t>* types) const;
  // The description of the selected font.
  LogFont GetSelectedFont() const;

  // The outline of a RECTANGLE, ELLIPSE, ROUNDRECT, ARC, CHORD or PIE record
  // in work-bitmap coordinates, as the device draws it (Béziers for the
  // curved parts), with PT_* point types; false for other records. For
  // callers that must follow a rotated or skewed mapping exactly.
  bool GetFigure(const MetafileRecord& record, std::vector<PointD>* points,
                 std::vector<std::uint8_t>* types) const;
  // True when the logical-to-device mapping rotates or skews.
  bool MappingRotates() const;

  int Width() const;
  int Height() const;
  // The composed pixels of a rectangle as 24-bit rows from the top: blue,
  // green, red per pixel, no row padding. Parts outside the bitmap are white.
  std::vector<std::uint8_t> GetPixels(const Rect& r) const;
  ColorRef GetPixel(int x, int y) const;
  // Writes the work bitmap as PNG (for tests and inspection); false on failure.
  bool WritePng(const std::string& path) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Row `row` (0..7, from the top) of the 8 × 8 hatch pattern `hatch`, most
// significant bit leftmost; set bits are the hatch lines.
std::uint8_t HatchRow(std::uint32_t hatch, int row);

}  // namespace yel::gdi
