// A drawing context that records an enhanced metafile, as a Windows metafile
// device context does: every drawing call appends the EMF record Windows
// would append (encoded with libUEMF), objects are written to the metafile's
// object table when they are first selected, and closing returns the bytes.
// The context follows its own mapping state to give each record its bounds
// in device units.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/dib.h"
#include "platform/gdi/gdi_types.h"
#include "platform/gdi/mapping.h"

namespace yel::gdi {

// BLENDFUNCTION of AlphaBlend.
struct BlendFunction {
  std::uint8_t BlendOp = AC_SRC_OVER;
  std::uint8_t BlendFlags = 0;
  std::uint8_t SourceConstantAlpha = 255;
  std::uint8_t AlphaFormat = 0;  // AC_SRC_ALPHA: the source has premultiplied alpha
};

// The picture scaled down to w × h with cairo's good filter (what DrawPicture
// does to a picture drawn smaller than it is; callers may do it beforehand,
// on another thread, for the same pixels).
Picture ScaledDownPicture(const Picture& picture, int w, int h);

class RecordingContext {
 public:
  // `frame` is the picture frame in 0.01 mm; an empty frame is computed from
  // the bounds of the drawing when the context is closed. The reference
  // device defaults to a 96 dpi screen of 1920 × 1440 pixels.
  explicit RecordingContext(Rect frame, Point device_pixels = {1920, 1440},
                            Point device_millimeters = {508, 381});
  ~RecordingContext();
  RecordingContext(const RecordingContext&) = delete;
  RecordingContext& operator=(const RecordingContext&) = delete;

  // Ends the recording and returns the metafile (header, records, EOF).
  // Later calls on the context are ignored.
  std::vector<std::uint8_t> Close();
  bool IsClosed() const { return closed_; }

  // Objects. Handles are the context's own; stock objects are
  // StockObject(n).
  ObjectHandle CreatePen(std::uint32_t style, int width, ColorRef color);
  ObjectHandle ExtCreatePen(std::uint32_t style, std::uint32_t width, ColorRef color,
                            const std::vector<std::uint32_t>& user_style = {});
  ObjectHandle CreateSolidBrush(ColorRef color);
  ObjectHandle CreateHatchBrush(std::uint32_t hatch, ColorRef color);
  ObjectHandle CreateBrushIndirect(std::uint32_t style, ColorRef color, std::uint32_t hatch);
  // A monochrome bitmap (1 bit per pixel) as a pattern brush.
  ObjectHandle CreatePatternBrush(const Dib& monochrome);
  ObjectHandle CreateDIBPatternBrushPt(const Dib& dib);
  ObjectHandle CreateFontIndirect(const LogFont& font);
  // Returns the previously selected object of the same kind (0 on failure).
  ObjectHandle SelectObject(ObjectHandle object);
  bool DeleteObject(ObjectHandle object);

  // State.
  int SaveDC();
  bool RestoreDC(int relative);
  void SetMapMode(int mode);
  void SetWindowOrgEx(int x, int y);
  void SetWindowExtEx(int x, int y);
  void SetViewportOrgEx(int x, int y);
  void SetViewportExtEx(int x, int y);
  void ScaleViewportExtEx(int xnum, int xden, int ynum, int yden);
  void ScaleWindowExtEx(int xnum, int xden, int ynum, int yden);
  void SetWorldTransform(const XForm& x);
  void ModifyWorldTransform(const XForm& x, int mode);
  void SetROP2(int mode);
  void SetBkMode(int mode);
  void SetBkColor(ColorRef color);
  void SetTextColor(ColorRef color);
  void SetTextAlign(std::uint32_t align);
  // GM_COMPATIBLE or GM_ADVANCED; text records carry it (GDI writes no
  // record of its own for it).
  void SetGraphicsMode(int mode);
  void SetPolyFillMode(int mode);
  void SetArcDirection(int direction);
  void SetStretchBltMode(int mode);
  void SetMiterLimit(int limit);
  void GdiComment(const std::vector<std::uint8_t>& data);

  // Lines and shapes (logical coordinates).
  void MoveToEx(int x, int y);
  void LineTo(int x, int y);
  void Polyline(const std::vector<Point>& points);
  void PolylineTo(const std::vector<Point>& points);
  void Polygon(const std::vector<Point>& points);
  void PolyPolyline(const std::vector<std::vector<Point>>& lines);
  void PolyPolygon(const std::vector<std::vector<Point>>& polygons);
  void PolyBezier(const std::vector<Point>& points);
  void PolyBezierTo(const std::vector<Point>& points);
  void PolyDraw(const std::vector<Point>& points, const std::vector<std::uint8_t>& types);
  void Rectangle(int left, int top, int right, int bottom);
  void RoundRect(int left, int top, int right, int bottom, int width, int height);
  void Ellipse(int left, int top, int right, int bottom);
  void Arc(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
  void ArcTo(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
  void Chord(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
  void Pie(int left, int top, int right, int bottom, int xs, int ys, int xe, int ye);
  void AngleArc(int x, int y, std::uint32_t radius, float start_degrees, float sweep_degrees);
  void SetPixelV(int x, int y, ColorRef color);

  // Paths.
  void BeginPath();
  void EndPath();
  void CloseFigure();
  void AbortPath();
  void FillPath();
  void StrokePath();
  void StrokeAndFillPath();
  void FlattenPath();
  void WidenPath();
  void SelectClipPath(int mode);

  // Text in the selected font at (x, y) as the text alignment places it
  // (with TA_UPDATECP at the current position, which moves past the text).
  // `options` are ETO_* flags: ETO_OPAQUE fills `rect` with the background
  // colour, ETO_CLIPPED clips the text to it, ETO_GLYPH_INDEX takes the
  // codes as glyph indices. `advances` (logical units, one per character)
  // place the characters; without them the font's own advances are
  // recorded, as GDI always records them. A font the font engine cannot
  // open at all throws yel::Error.
  void ExtTextOutW(int x, int y, std::uint32_t options, const Rect* rect, const std::u16string& text,
                   const std::vector<std::int32_t>* advances = nullptr);
  // The same with single-byte (Windows-1252) characters.
  void ExtTextOutA(int x, int y, std::uint32_t options, const Rect* rect, const std::string& text,
                   const std::vector<std::int32_t>* advances = nullptr);
  void TextOut(int x, int y, const std::u16string& text);
  // The compact text record other producers write (no advances):
  // ETO_SMALL_CHARS takes the low bytes of the characters.
  void SmallTextOut(int x, int y, std::uint32_t options, const Rect* rect, const std::u16string& text);

  // Clipping and regions. Clip regions are in device units; the rectangles
  // of FillRgn are in logical units.
  void IntersectClipRect(int left, int top, int right, int bottom);
  void ExcludeClipRect(int left, int top, int right, int bottom);
  // An empty list with RGN_COPY removes the clip.
  void ExtSelectClipRgn(const std::vector<Rect>& region, int mode);
  void FillRgn(const std::vector<Rect>& region, ObjectHandle brush);

  // Bit-block transfers. A null source records a pattern-only operation.
  // BitBlt and MaskBlt record exactly the source rectangle they use.
  void BitBlt(int x, int y, int width, int height, const Dib* source, int xsrc, int ysrc,
              std::uint32_t rop);
  void StretchBlt(int x, int y, int width, int height, const Dib* source, int xsrc, int ysrc,
                  int wsrc, int hsrc, std::uint32_t rop);
  // Source coordinates as StretchDIBits counts them (from the bitmap's
  // first stored row for bottom-up bitmaps).
  void StretchDIBits(int x, int y, int width, int height, int xsrc, int ysrc, int wsrc,
                     int hsrc, const Dib& dib, std::uint32_t rop);
  void MaskBlt(int x, int y, int width, int height, const Dib& source, int xsrc, int ysrc,
               const Dib& mask, int xmask, int ymask, std::uint32_t rop4);
  void AlphaBlend(int x, int y, int width, int height, const Dib& source, int xsrc, int ysrc,
                  int wsrc, int hsrc, BlendFunction blend);
  // Two indexes per rectangle or three per triangle in `mesh`.
  void GradientFill(const std::vector<TriVertex>& vertices, const std::vector<std::uint32_t>& mesh,
                    std::uint32_t mode);

  // What the imaging library records when it draws on a metafile context:
  // a rectangle filled with a solid brush (no outline), and a picture drawn
  // scaled into a rectangle as StretchDIBits (AlphaBlend when it has
  // transparency). A picture drawn smaller than it is is first scaled down
  // with cairo to the device pixels it covers.
  void FillRectangle(const Rect& r, ColorRef color);
  void DrawPicture(const Picture& picture, const Rect& destination);

  // The context's own logical-to-device mapping (for callers that need the
  // device position of what they draw).
  const Mapping& CurrentMapping() const { return state_.mapping; }

 private:
  struct Object;
  struct State {
    Mapping mapping;
    ObjectHandle pen = StockObject(BLACK_PEN);
    ObjectHandle brush = StockObject(WHITE_BRUSH);
    ObjectHandle font = StockObject(SYSTEM_FONT);
    Point position;
    std::uint32_t text_align = 0;
    int graphics_mode = GM_COMPATIBLE;
  };

  void Append(char* record);  // takes a malloc'ed libUEMF record
  void AppendBytes(const std::vector<std::uint8_t>& record);
  std::uint32_t Realize(ObjectHandle object);  // table index, creating the object's record
  Rect BoundsOf(const std::vector<PointD>& logical, bool with_pen);
  Rect BoundsOfBox(int left, int top, int right, int bottom, bool with_pen);
  void Widen(const Rect& r);
  void PolyRecord(std::uint32_t type32, std::uint32_t type16, const std::vector<Point>& points,
                  bool with_pen);
  void PolyPolyRecord(std::uint32_t type32, std::uint32_t type16,
                      const std::vector<std::vector<Point>>& figures);
  void ArcRecord(std::uint32_t type, int left, int top, int right, int bottom, int xs, int ys,
                 int xe, int ye);
  double PenWidthDevice() const;
  // The selected font's description, and the advances (rounded so that
  // their sums follow the unrounded widths) and device bounds of a text.
  LogFont SelectedFont() const;
  std::vector<std::int32_t> TextAdvances(const std::u32string& text, const std::vector<std::int32_t>* given,
                                         Point* reference, Rect* bounds);
  void TextRecord(bool wide, int x, int y, std::uint32_t options, const Rect* rect, const void* codes,
                  std::size_t count, const std::u32string& chars, const std::vector<std::int32_t>* advances);

  Rect frame_;
  Point device_pixels_, device_millimeters_;
  std::vector<std::uint8_t> bytes_;
  std::uint32_t record_count_ = 0;
  Rect bounds_{0, 0, -1, -1};
  bool has_bounds_ = false;
  bool closed_ = false;
  State state_;
  std::vector<State> saved_;
  std::vector<std::unique_ptr<Object>> objects_;  // handle h is objects_[h - 1]
  std::vector<bool> table_used_;                  // metafile object table slots
};

}  // namespace yel::gdi
