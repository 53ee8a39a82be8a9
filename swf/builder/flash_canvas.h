// TFlashCanvas: the movie's drawing surface. The caller draws with ordinary
// GDI calls on its drawing context, which records an enhanced metafile; the
// canvas replays the metafile record by record on a work bitmap and turns
// each drawing record into builder objects of its movie: shapes drawn with
// TFlashEdges, lossless bitmaps, and sprites that stack them in record order
// and carry the clipping. Whatever vectors cannot express (mix modes of the
// pen, unusual raster operations, blended bitmaps) is taken as pixels from the
// work bitmap. Also here: TFSpriteCanvas (the sprites of the drawing levels),
// TObjMFRecord (what the scan learns about one record) and the handle-table
// entries TGDIHandle*.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/gdi_types.h"
#include "platform/gdi/logical_font.h"
#include "platform/gdi/metafile.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/swf_records.h"

namespace yel::gdi {
class RecordingContext;
class PlaybackDevice;
class MetafileRecords;
}  // namespace yel::gdi

namespace yel::media {
class TBMPReader;
}

namespace yel::swf {

class TFlashFont;
class TFlashImage;
class TFlashMovie;
class TFlashPlaceObject;
class TFlashShape;

// A sprite of one drawing level: 1 the top drawing sprite, 2 a clip
// container, 0 the clipped content.
class TFSpriteCanvas : public TFlashSprite {
 public:
  explicit TFSpriteCanvas(TFlashMovie* owner);
  std::uint8_t Level = 0;
  TFSpriteCanvas* Parent = nullptr;
  TFlashPlaceObject* Placement = nullptr;
  float Matrix[6] = {1, 0, 0, 1, 0, 0};
};

// What the scan of a metafile learns about one record.
struct TObjMFRecord {
  gdi::MetafileRecord RecordData;  // points into the canvas's metafile bytes
  TObjMFRecord* PrevDrawing = nullptr;
  bool IsDrawing = false;
  bool Visible = true;
  bool NeedsRaster = false;
  bool PatternTriple = false;
  std::uint32_t RasterOp = 0;
};

// Entries of the metafile's object table.
class TGDIHandleInfo {
 public:
  virtual ~TGDIHandleInfo() = default;
  std::uint8_t HandleKind = 0;  // 0 pen, 1 brush, 2 font, 3 monochrome pattern, 4 DIB pattern

 protected:
  explicit TGDIHandleInfo(std::uint8_t kind) : HandleKind(kind) {}
};

class TGDIHandlePen : public TGDIHandleInfo {
 public:
  TGDIHandlePen() : TGDIHandleInfo(0) {}
  std::uint32_t Style = 0;
  std::int32_t WidthX = 0, WidthY = 0;  // device pixels
  gdi::ColorRef Color = 0;
};

class TGDIHandleBrush : public TGDIHandleInfo {
 public:
  TGDIHandleBrush() : TGDIHandleInfo(1) {}
  std::uint32_t Style = 0;
  gdi::ColorRef Color = 0;
  std::uint32_t Hatch = 0;
};

class TGDIHandleFont : public TGDIHandleInfo {
 public:
  TGDIHandleFont() : TGDIHandleInfo(2) {}
  gdi::LogFont Font;
};

// A pattern brush: its BMP stream and the image made from it on first use.
class TGDIHandleMonoBrush : public TGDIHandleInfo {
 public:
  TGDIHandleMonoBrush() : TGDIHandleInfo(3) {}
  std::vector<std::uint8_t> Stream;
  TFlashImage* Image = nullptr;  // owned by the movie
};

class TGDIHandleDibBrush : public TGDIHandleInfo {
 public:
  TGDIHandleDibBrush() : TGDIHandleInfo(4) {}
  std::vector<std::uint8_t> Stream;
  TFlashImage* Image = nullptr;  // owned by the movie
};

class TFlashCanvas {
 public:
  // Options bits.
  static constexpr std::uint8_t RasterFallback = 1;
  static constexpr std::uint8_t FixedRasterSize = 2;
  static constexpr std::uint8_t MergePatternBlits = 4;

  explicit TFlashCanvas(TFlashMovie* owner);
  ~TFlashCanvas();
  TFlashCanvas(const TFlashCanvas&) = delete;
  TFlashCanvas& operator=(const TFlashCanvas&) = delete;

  // A new, empty recording.
  void Reset();
  // The drawing context the caller draws on (recording the metafile).
  gdi::RecordingContext& Handle();

  // The drawing so far as a sprite (one frame), or null when nothing was
  // drawn; then a new recording starts.
  TFlashSprite* MakeSprite();
  // Converts the drawing and places the root sprite at `depth` in `sprite`
  // (or in the movie); with `forget` the next drawing gets a new root sprite,
  // otherwise it becomes the root sprite's next frame.
  TFlashPlaceObject* PlaceDrawing(std::uint16_t depth, bool forget, TFlashSprite* sprite = nullptr);
  // Converts an enhanced metafile, or a Windows metafile (WMF, placeable or
  // not, through its enhanced copy), into the rectangle (movie units),
  // scaled to it when `stretch`. `name` names the metafile in errors. Throws
  // yel::Error when the bytes are neither; damaged records inside one are
  // skipped.
  void DrawMetafile(const TRect& rect, const std::vector<std::uint8_t>& metafile, bool stretch,
                    const std::string& name = "metafile");
  // The same for an .emf or .wmf file.
  void DrawMetafileFile(const TRect& rect, const std::string& file_name, bool stretch);
  // Closes the recording and converts it, unless it holds no drawing record.
  void ConvertDrawing();
  // True when the metafile (or, without one, the scanned records) holds no
  // visible drawing record.
  bool IsEmpty(const std::vector<std::uint8_t>* metafile = nullptr) const;

  std::uint8_t Options = RasterFallback;

  TFlashMovie* Owner() const { return owner_; }
  const std::vector<std::uint8_t>& Metafile() const { return metafile_; }
  // What the last conversion made and found: the sprite the drawing went
  // into (kept for the next drawing unless placed with `forget`), its top
  // drawing level, the metafile's frame in pixels, and whether a record
  // needed the work bitmap's pixels.
  TFlashSprite* RootSprite() const { return state_.RootSprite; }
  TFSpriteCanvas* TopSprite() const { return state_.TopSprite; }
  const gdi::Rect& FrameRect() const { return state_.FrameRect; }
  bool RasterNeeded() const { return state_.RasterNeeded; }

  // The work bitmap with its drawing context; every record is played on it.
  gdi::PlaybackDevice& WorkBitmap() { return *work_; }

 private:
  // The state of converting a metafile: the scanned records, the metafile's
  // object table and drawing state as the records set it, and the sprites
  // of the drawing levels. Only the canvas changes it.
  struct ConversionState {
    std::vector<TObjMFRecord> Records;
    std::uint32_t RecordIndex = 0;
    std::vector<std::unique_ptr<TGDIHandleInfo>> HandleTable;
    std::int32_t CurrentPen = -1, CurrentBrush = -1, CurrentFont = -1;
    std::int32_t PreviousBrush = -1;
    gdi::ColorRef BkColor = 0xFFFFFF, TextColor = 0;
    bool BkTransparent = false;
    std::uint32_t TextAlign = 0;
    std::uint8_t PolyFillMode = 1;
    bool ArcClockwise = false;
    gdi::XForm WorldTransform;
    bool TransformSeen = false;
    gdi::Point ViewportOrg, ViewportExt, WindowOrg, WindowExt;
    bool ViewportOrgSet = false, ViewportExtSet = false, WindowOrgSet = false, WindowExtSet = false;
    gdi::Point CurrentPos;
    TFlashShape* PendingLine = nullptr;
    TFlashShape* LastShape = nullptr;
    bool InPath = false;
    TFlashShape* PathShape = nullptr;
    bool PathUsed = false;
    std::int32_t PathFigureCount = 0;
    TFlashSprite* RootSprite = nullptr;
    TFSpriteCanvas* TopSprite = nullptr;
    TFSpriteCanvas* CurrentSprite = nullptr;
    TFSpriteCanvas* ClipContainer = nullptr;
    TFlashSprite* ClipMaskSprite = nullptr;
    TFSpriteCanvas* ClipContent = nullptr;
    double MetafileScaleX = 1, MetafileScaleY = 1;
    gdi::Rect FrameRect;
    // The font of text records: the selected description as the text is
    // made with it (height in device pixels), its metrics, the stretch of
    // an explicit width, and the font character of the last text while the
    // same font stays selected.
    gdi::LogFont TextFontDescription;
    gdi::OutlineTextMetrics TextMetrics;
    float FontWidthScale = 1;
    TFlashFont* CurrentTextFont = nullptr;
    bool HasEMFPlus = false;
    bool RasterNeeded = false;
    bool RasterSized = false;
  };

  // Scanning and the conversion run.
  void Scan(const gdi::MetafileRecords& metafile);
  void MarkRasterNeeds();
  void Run(const gdi::MetafileRecords& metafile, std::int32_t width, std::int32_t height, bool stretch,
           const std::string& name);
  void ConvertRecord(std::size_t index, const gdi::MetafileRecord& record);
  // Gives the collected lines the pen and places them.
  void FlushPendingLine();
  bool IsDrawingRecord(std::uint32_t type) const;

  // Levels and clipping.
  TFSpriteCanvas* NewLevel(std::uint8_t level);
  void CloseLevel();
  void AddMask(TFlashShape* shape);
  void Place(TFlashShape* shape);

  // Coordinates.
  static std::int32_t Limit(std::int64_t v);
  gdi::Point Convert(gdi::Point p) const;
  TRect ConvertRect(const gdi::Rect& r) const;
  std::int32_t HorizontalLength(std::int32_t l) const;
  std::int32_t VerticalLength(std::int32_t l) const;

  // Records.
  void StateRecord(const gdi::MetafileRecord& r);
  void CreateObject(const gdi::MetafileRecord& r);
  void VectorRecord(const gdi::MetafileRecord& r);
  void PathRecord(const gdi::MetafileRecord& r);
  void PolyRecord(const gdi::MetafileRecord& r);
  void ArcRecord(const gdi::MetafileRecord& r);
  void BitmapRecord(const gdi::MetafileRecord& r);
  void Transfer(media::TBMPReader* bitmap, const TRect& dest, gdi::ColorRef colour, std::uint32_t op);
  void MaskBltRecord(const gdi::MetafileRecord& r);
  void FillRgnRecord(const gdi::MetafileRecord& r);
  // Text: the record, its font (false when no font can be made), the run.
  void TextRecord(const gdi::MetafileRecord& r);
  bool TextFont();
  void TextRun(const std::u16string& chars, gdi::Point p, int graphics_mode, const std::vector<std::int32_t>& advances,
               std::uint32_t options, std::int32_t total, const TRect& options_rect, const TRect& bounds);

  // Styles.
  void ApplyPenAndBrush(TFlashShape* shape, bool pen, bool brush, bool opaque_brush = false);
  TFlashImage* PatternImage(TGDIHandleInfo& handle, bool opaque);
  TFlashImage* ImageOf(const media::TBMPReader& reader);
  TFlashShape* PathCopy();
  // The composed pixels of r (clipped to the work bitmap, which r becomes);
  // null when nothing of r lies on it.
  std::unique_ptr<media::TBMPReader> WorkPixels(TRect& r);

  TFlashMovie* owner_;
  std::unique_ptr<gdi::RecordingContext> dc_;
  std::unique_ptr<gdi::PlaybackDevice> work_;
  std::vector<std::uint8_t> metafile_;
  const std::vector<std::uint8_t>* records_bytes_ = nullptr;
  std::size_t record_count_ = 0;
  std::uint32_t previous_type_ = 0;
  TFlashPlaceObject* last_placement_ = nullptr;  // made by the last Place
  std::int32_t dib_brush_ones_ = 0;  // pattern bits of the last DIB pattern brush created
  bool clip_open_ = false;
  gdi::Point text_position_;  // the work context's current position before a text record
  ConversionState state_;
};

}  // namespace yel::swf
