// The drawing canvas: recording, scanning a metafile, the conversion run,
// drawing levels and clipping, and the records that only change state.
#include "swf/builder/flash_canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/error.h"
#include "base/files.h"
#include "media/bmp_reader.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/playback_device.h"
#include "platform/gdi/recording_context.h"
#include "platform/gdi/windows_metafile.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"

namespace yel::swf {

using gdi::RecordFields;

TFSpriteCanvas::TFSpriteCanvas(TFlashMovie* owner) : TFlashSprite(owner) {}

namespace {

// Round half to even, as every computed coordinate is rounded.
std::int32_t RoundEven(double v) { return std::int32_t(std::nearbyint(v)); }

}  // namespace

TFlashCanvas::TFlashCanvas(TFlashMovie* owner)
    : owner_(owner), work_(std::make_unique<gdi::PlaybackDevice>()) {
  Reset();
}

TFlashCanvas::~TFlashCanvas() = default;

gdi::RecordingContext& TFlashCanvas::Handle() {
  if (!dc_) Reset();
  return *dc_;
}

void TFlashCanvas::Reset() {
  metafile_.clear();
  state_.Records.clear();
  // The frame in 0.01 mm: the movie's size at 96 pixels per inch, or the
  // reference screen's size without a movie.
  gdi::Rect frame;
  if (owner_) {
    double xmax = owner_->MovieRect().Right;  // twips
    double ymax = owner_->MovieRect().Bottom;
    frame = {0, 0, RoundEven(xmax / 96 * 127), RoundEven(ymax / 96 * 127)};
  } else {
    frame = {0, 0, 1920 * 2540 / 96, 1440 * 2540 / 96};
  }
  dc_ = std::make_unique<gdi::RecordingContext>(frame);
  state_.WorldTransform = gdi::XForm{};
  state_.TransformSeen = false;
  state_.ClipContainer = nullptr;
  state_.ClipMaskSprite = nullptr;
  state_.ClipContent = nullptr;
  clip_open_ = false;
  state_.CurrentSprite = nullptr;
  state_.ViewportOrg = state_.ViewportExt = state_.WindowOrg = state_.WindowExt = gdi::Point{};
  state_.ViewportOrgSet = state_.ViewportExtSet = state_.WindowOrgSet = state_.WindowExtSet = false;
  state_.TextAlign = 0;
  state_.CurrentPen = state_.CurrentBrush = state_.CurrentFont = -1;
  state_.PreviousBrush = -1;
  state_.CurrentTextFont = nullptr;
  state_.CurrentPos = gdi::Point{};
  state_.BkTransparent = false;
  state_.HandleTable.clear();
  state_.PendingLine = nullptr;
  state_.PathShape = nullptr;
  state_.InPath = false;
}

// ---- record classes ------------------------------------------------------------

bool TFlashCanvas::IsDrawingRecord(std::uint32_t t) const {
  if (t > 119) return false;
  return (t >= 2 && t <= 8) || t == 15 || (t >= 41 && t <= 47) || (t >= 53 && t <= 56) ||
         (t >= 62 && t <= 66) || (t >= 71 && t <= 74) || (t >= 76 && t <= 79) || t == 81 ||
         (t >= 83 && t <= 92) || t == 96 || t == 97 || t == 105 || t == 108 || (t >= 114 && t <= 118);
}

bool TFlashCanvas::IsEmpty(const std::vector<std::uint8_t>* metafile) const {
  if (metafile) {
    if (!gdi::LooksLikeMetafile(metafile->data(), metafile->size())) return true;
    gdi::MetafileRecords mf(metafile->data(), metafile->size(), "metafile");
    for (const gdi::MetafileRecord& r : mf.Records())
      if (IsDrawingRecord(r.type)) return false;
    return true;
  }
  for (const TObjMFRecord& r : state_.Records)
    if (r.IsDrawing && r.Visible) return false;
  return true;
}

// ---- scanning ----------------------------------------------------------------------

void TFlashCanvas::Scan(const gdi::MetafileRecords& metafile) {
  state_.Records.clear();
  state_.Records.reserve(metafile.Records().size());
  for (const gdi::MetafileRecord& r : metafile.Records()) {
    TObjMFRecord o;
    o.RecordData = r;
    o.IsDrawing = r.sound && IsDrawingRecord(r.type);
    if (r.sound && (r.type == gdi::EMR_BITBLT || r.type == gdi::EMR_STRETCHBLT)) {
      RecordFields f(r);
      o.RasterOp = f.U(40);
    } else if (r.sound && r.type == gdi::EMR_STRETCHDIBITS) {
      RecordFields f(r);
      o.RasterOp = f.U(68);
    }
    if ((r.type == gdi::EMR_BITBLT || r.type == gdi::EMR_STRETCHBLT || r.type == gdi::EMR_STRETCHDIBITS) &&
        o.RasterOp == gdi::NOP)
      o.Visible = false;
    state_.Records.push_back(o);
  }
  state_.HasEMFPlus = false;
  TObjMFRecord* previous = nullptr;
  for (TObjMFRecord& o : state_.Records) {
    const gdi::MetafileRecord& r = o.RecordData;
    if (!state_.HasEMFPlus && r.type == gdi::EMR_COMMENT && r.size >= 16 && std::memcmp(r.data + 12, "EMF+", 4) == 0)
      state_.HasEMFPlus = true;
    if (o.IsDrawing) {
      o.PrevDrawing = previous;
      previous = &o;
    }
  }
  if ((Options & MergePatternBlits) && state_.HasEMFPlus) {
    for (TObjMFRecord& o : state_.Records) {
      if (o.RecordData.type != gdi::EMR_BITBLT || o.RasterOp != gdi::PATINVERT) continue;
      TObjMFRecord* b = o.PrevDrawing;
      if (!b || b->RecordData.type != gdi::EMR_BITBLT || b->RasterOp != gdi::PATAND) continue;
      TObjMFRecord* a = b->PrevDrawing;
      if (!a || a->RecordData.type != gdi::EMR_BITBLT || a->RasterOp != gdi::PATINVERT) continue;
      o.PatternTriple = true;
      a->Visible = b->Visible = false;
    }
  }
  if (Options & RasterFallback) MarkRasterNeeds();
}

void TFlashCanvas::MarkRasterNeeds() {
  state_.RasterNeeded = false;
  int mix = gdi::R2_COPYPEN;
  std::ptrdiff_t last_blit = -1;
  gdi::Rect last_bounds;
  for (std::size_t i = 0; i < state_.Records.size(); ++i) {
    TObjMFRecord& o = state_.Records[i];
    const gdi::MetafileRecord& r = o.RecordData;
    if (!r.sound) continue;
    RecordFields f(r);
    switch (r.type) {
      case gdi::EMR_SETROP2:
        mix = f.I(8);
        break;
      case gdi::EMR_BITBLT:
      case gdi::EMR_STRETCHBLT:
      case gdi::EMR_STRETCHDIBITS: {
        if (!o.Visible || o.PatternTriple) break;
        gdi::Rect bounds = f.R(8);
        if (last_blit >= 0) {
          const gdi::Rect& a = last_bounds;
          bool flat = a.bottom == a.top || bounds.bottom == bounds.top;
          bool same = flat ? a == bounds
                           : std::abs(a.left - bounds.left) <= 1 && std::abs(a.top - bounds.top) <= 1 &&
                                 std::abs(a.right - bounds.right) <= 1 && std::abs(a.bottom - bounds.bottom) <= 1;
          if (same) {
            // Overdrawn by this one at the same place.
            state_.Records[std::size_t(last_blit)].Visible = false;
            state_.Records[std::size_t(last_blit)].NeedsRaster = false;
          } else {
            last_bounds = bounds;
          }
        } else {
          last_bounds = bounds;
        }
        last_blit = std::ptrdiff_t(i);
        std::uint32_t op = o.RasterOp;
        if (op != gdi::BLACKNESS && op != gdi::SRCCOPY && op != gdi::PATCOPY && op != gdi::WHITENESS)
          o.NeedsRaster = true;
        break;
      }
      case gdi::EMR_ALPHABLEND:
        if (f.U(88) != 0) o.NeedsRaster = true;  // it carries source bits
        break;
      default:
        if (o.IsDrawing) {
          if (last_blit >= 0 && std::size_t(last_blit) < i) last_blit = -1;
          if (mix != gdi::R2_COPYPEN) o.NeedsRaster = true;
        }
        break;
    }
  }
  for (const TObjMFRecord& o : state_.Records)
    if (o.NeedsRaster) state_.RasterNeeded = true;
}

// ---- the conversion run ------------------------------------------------------------

void TFlashCanvas::Run(const gdi::MetafileRecords& metafile, std::int32_t width, std::int32_t height,
                       bool stretch, const std::string& name) {
  // The work a metafile may cost on the work bitmap: 16 operations over the
  // whole bitmap at its largest size (16 megapixels), about 690 at the
  // album's 720 x 540. A few kilobytes of records filling a huge frame again and
  // again would otherwise keep the conversion busy for minutes.
  constexpr std::uint64_t kMaxPixelWork = std::uint64_t(1) << 28;
  state_.RecordIndex = 0;
  state_.RasterSized = false;
  if (Options & RasterFallback) MarkRasterNeeds();
  state_.TopSprite = state_.CurrentSprite = NewLevel(1);
  state_.FrameRect = metafile.Header().FramePixels();
  gdi::Rect dest{0, 0, state_.FrameRect.Width(), state_.FrameRect.Height()};
  int bw = 10, bh = 10;
  if ((Options & RasterFallback) && state_.RasterNeeded) {
    bw = dest.Width();
    bh = dest.Height();
    if (stretch && !(Options & FixedRasterSize) && width > 0 && height > 0) {
      bw = width;
      bh = height;
      state_.RasterSized = true;
      dest = {0, 0, width, height};
    }
  }
  gdi::ColorRef background = 0xFFFFFF;
  if (owner_ && owner_->HasBackgroundColor()) {
    const TSWFRGB& c = owner_->BackgroundColor();
    background = gdi::Rgb(c.R, c.G, c.B);
  }
  work_->Begin(metafile.Header(), std::max(1, bw), std::max(1, bh), dest, background);
  state_.BkColor = work_->GetBkColor();
  record_count_ = metafile.Records().size();
  previous_type_ = 0;
  for (std::size_t i = 0; i < metafile.Records().size(); ++i) {
    const gdi::MetafileRecord& r = metafile.Records()[i];
    if (!r.sound) {
      // A damaged record is skipped; the conversion goes on with the next.
      ++state_.RecordIndex;
      continue;
    }
    if (r.type == gdi::EMR_EXTTEXTOUTA || r.type == gdi::EMR_EXTTEXTOUTW) text_position_ = work_->GetCurrentPositionEx();
    work_->Play(r);
    if (work_->PixelWork() > kMaxPixelWork)
      ThrowFileError(name, "the metafile needs too much drawing work (more than " + std::to_string(kMaxPixelWork) +
                               " pixel operations)");
    ConvertRecord(i, r);
    previous_type_ = r.type;
  }
  FlushPendingLine();
}

void TFlashCanvas::FlushPendingLine() {
  if (!state_.PendingLine) return;
  ApplyPenAndBrush(state_.PendingLine, true, false);
  state_.PendingLine->CalcBounds();
  Place(state_.PendingLine);
  state_.PendingLine = nullptr;
}

void TFlashCanvas::ConvertRecord(std::size_t index, const gdi::MetafileRecord& r) {
  ++state_.RecordIndex;
  if (index + 1 < state_.Records.size() && !state_.Records[index].Visible) return;
  if (!r.sound) return;
  if (r.type != gdi::EMR_MOVETOEX && r.type != gdi::EMR_LINETO) FlushPendingLine();
  bool drawing = index < state_.Records.size() && state_.Records[index].IsDrawing;
  if (state_.TransformSeen && drawing) state_.WorldTransform = work_->GetWorldTransform();
  switch (r.type) {
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 15: case 27: case 41: case 42:
    case 43: case 44: case 45: case 46: case 47: case 54: case 55: case 85: case 86: case 87:
    case 88: case 89: case 90: case 91: case 118:
    case 59: case 60: case 62: case 63: case 64: case 68:
      VectorRecord(r);
      break;
    case 71: case 76: case 77: case 78: case 81: case 114:
      BitmapRecord(r);
      break;
    case 83: case 84: case 108:
      TextRecord(r);
      break;
    default:
      StateRecord(r);
      break;
  }
}

// ---- levels and clipping ----------------------------------------------------------

TFSpriteCanvas* TFlashCanvas::NewLevel(std::uint8_t level) {
  auto sprite = std::make_unique<TFSpriteCanvas>(owner_);
  sprite->SetCharacterId(owner_->TakeIDs(1));
  TFSpriteCanvas* s = owner_->Add(std::move(sprite));
  s->Level = level;
  if (level == 1) {
    s->Parent = nullptr;
    if (!state_.RootSprite) state_.RootSprite = owner_->AddSprite();
    s->Placement = state_.RootSprite->PlaceObject(s, std::uint16_t(state_.RootSprite->MaxDepth + 1));
  } else {
    s->Parent = state_.CurrentSprite;
    TFlashSprite* parent = state_.CurrentSprite ? static_cast<TFlashSprite*>(state_.CurrentSprite) : state_.RootSprite;
    s->Placement = parent->PlaceObject(s, std::uint16_t(parent->MaxDepth + 1));
  }
  if (level == 2) {
    state_.ClipMaskSprite = owner_->AddSprite();
    s->PlaceObject(state_.ClipMaskSprite, 1)->SetClipDepth(2);
    state_.CurrentSprite = s;
    state_.ClipContent = NewLevel(0);
    state_.CurrentSprite = state_.ClipContent;
    clip_open_ = true;
  }
  return s;
}

void TFlashCanvas::CloseLevel() {
  if (!state_.CurrentSprite) return;
  if (state_.CurrentSprite->Level == 0 && state_.CurrentSprite->Parent && state_.CurrentSprite->Parent->Level == 2) {
    state_.CurrentSprite = state_.CurrentSprite->Parent->Parent;
    state_.ClipContainer = nullptr;
    state_.ClipMaskSprite = nullptr;
    clip_open_ = false;
  } else if (state_.CurrentSprite->Parent) {
    state_.CurrentSprite = state_.CurrentSprite->Parent;
  }
}

void TFlashCanvas::AddMask(TFlashShape* shape) {
  shape->SetSolidColorRGBA(0xFF000000u);
  if (state_.ClipMaskSprite) state_.ClipMaskSprite->PlaceObject(shape, std::uint16_t(state_.ClipMaskSprite->MaxDepth + 1));
}

void TFlashCanvas::Place(TFlashShape* shape) {
  state_.LastShape = shape;
  TFlashSprite* target = state_.CurrentSprite ? static_cast<TFlashSprite*>(state_.CurrentSprite) : state_.RootSprite;
  last_placement_ = target ? target->PlaceObject(shape, std::uint16_t(target->MaxDepth + 1)) : nullptr;
}

// ---- coordinates ------------------------------------------------------------------

// Device coordinates are kept within ±2^16 pixels (far beyond any work
// bitmap), so that sums of them in twips stay well inside the builder's
// 32-bit coordinates.
std::int32_t TFlashCanvas::Limit(std::int64_t v) {
  constexpr std::int64_t kMax = std::int64_t(1) << 16;
  return std::int32_t(std::clamp(v, -kMax, kMax));
}

gdi::Point TFlashCanvas::Convert(gdi::Point p) const {
  gdi::Point d = work_->LPtoDP(p);
  return {Limit(d.x), Limit(d.y)};
}

TRect TFlashCanvas::ConvertRect(const gdi::Rect& r) const {
  gdi::Point a = Convert({r.left, r.top}), b = Convert({r.right, r.bottom});
  return {a.x, a.y, b.x, b.y};
}

std::int32_t TFlashCanvas::HorizontalLength(std::int32_t l) const {
  return Limit(std::int64_t(Convert({l, 0}).x) - Convert({0, 0}).x);
}

std::int32_t TFlashCanvas::VerticalLength(std::int32_t l) const {
  return Limit(std::int64_t(Convert({0, l}).y) - Convert({0, 0}).y);
}

// ---- records that change state ----------------------------------------------------

void TFlashCanvas::StateRecord(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  switch (r.type) {
    case gdi::EMR_HEADER: {
      std::uint32_t handles = f.U(56) & 0xFFFF;
      state_.HandleTable.clear();
      state_.HandleTable.resize(handles);
      state_.WorldTransform = gdi::XForm{};
      state_.TransformSeen = false;
      break;
    }
    case gdi::EMR_SETWINDOWEXTEX:
      state_.WindowExt = f.P(8);
      state_.WindowExtSet = true;
      state_.TransformSeen = true;
      break;
    case gdi::EMR_SETWINDOWORGEX:
      state_.WindowOrg = work_->GetWindowOrgEx();
      state_.WindowOrgSet = true;
      break;
    case gdi::EMR_SETVIEWPORTEXTEX:
      state_.ViewportExt = f.P(8);
      state_.ViewportExtSet = true;
      break;
    case gdi::EMR_SETVIEWPORTORGEX:
      if (previous_type_ != gdi::EMR_SETVIEWPORTORGEX) {
        state_.ViewportOrg = f.P(8);
        state_.ViewportOrgSet = true;
      }
      break;
    case gdi::EMR_SETBKMODE:
      state_.BkTransparent = f.U(8) == gdi::TRANSPARENT;
      break;
    case gdi::EMR_SETPOLYFILLMODE:
      if (!state_.InPath) state_.PolyFillMode = std::uint8_t(f.U(8));
      break;
    case gdi::EMR_SETTEXTALIGN:
      state_.TextAlign = f.U(8);
      break;
    case gdi::EMR_SETTEXTCOLOR:
      state_.TextColor = f.C(8);
      break;
    case gdi::EMR_SETBKCOLOR:
      state_.BkColor = f.C(8);
      break;
    case gdi::EMR_INTERSECTCLIPRECT: {
      if (clip_open_) CloseLevel();
      state_.ClipContainer = NewLevel(2);
      TRect c = ConvertRect(f.R(8));
      AddMask(owner_->AddRectangle(c));
      break;
    }
    case gdi::EMR_EXTSELECTCLIPRGN: {
      if (clip_open_) CloseLevel();
      std::uint32_t cb = f.U(8);
      if (cb < 32 || !f.Has(16, cb)) break;  // no region: no clip
      std::uint32_t count = f.U(16 + 8);
      if (count > (cb - 32) / 16) break;
      if (count > 0 || !clip_open_) {
        state_.ClipContainer = NewLevel(2);
        for (std::uint32_t i = 0; i < count; ++i) {
          // Region rectangles are device units of the reference device:
          // they take only the playback's placement of the frame.
          gdi::Rect q = f.R(16 + 32 + 16 * std::size_t(i));
          gdi::PointD a = work_->ReferenceToBitmap({double(q.left), double(q.top)});
          gdi::PointD b = work_->ReferenceToBitmap({double(q.right), double(q.bottom)});
          auto px = [](double v) { return Limit(std::llround(std::isfinite(v) ? std::clamp(v, -1e9, 1e9) : 0.0)); };
          AddMask(owner_->AddRectangle(px(a.x), px(a.y), px(b.x), px(b.y)));
        }
      } else {
        CloseLevel();
      }
      break;
    }
    case gdi::EMR_SELECTCLIPPATH: {
      std::uint32_t mode = f.U(8);
      if (mode == gdi::RGN_COPY && clip_open_) CloseLevel();
      if (!clip_open_) state_.ClipContainer = NewLevel(2);
      if (state_.PathShape) AddMask(state_.PathUsed ? PathCopy() : state_.PathShape);
      state_.PathUsed = true;
      break;
    }
    case gdi::EMR_RESTOREDC:
      if (clip_open_) CloseLevel();
      if (state_.ViewportOrgSet) state_.ViewportOrg = work_->GetViewportOrgEx();
      if (state_.ViewportExtSet) state_.ViewportExt = work_->GetViewportExtEx();
      if (state_.WindowOrgSet) state_.WindowOrg = work_->GetWindowOrgEx();
      if (state_.WindowExtSet) state_.WindowExt = work_->GetWindowExtEx();
      break;
    case gdi::EMR_SETWORLDTRANSFORM: {
      gdi::XForm x = f.X(8);
      if (!f.Bad()) state_.WorldTransform = x;
      state_.TransformSeen = true;
      break;
    }
    case gdi::EMR_MODIFYWORLDTRANSFORM: {
      state_.TransformSeen = true;
      gdi::XForm x = f.X(8);
      if (f.Bad()) break;
      switch (f.U(32)) {
        case 1: state_.WorldTransform = gdi::XForm{}; break;
        case 2: state_.WorldTransform = x.Then(state_.WorldTransform); break;
        case 3: state_.WorldTransform = state_.WorldTransform.Then(x); break;
        default: state_.WorldTransform = x; break;
      }
      break;
    }
    case gdi::EMR_SELECTOBJECT: {
      std::uint32_t index = f.U(8);
      if (index & gdi::kStockFlag) {
        std::int32_t n = std::int32_t(index & 0xFF);
        if (n <= 5 || n == 18) state_.CurrentBrush = -n;
        else if ((n >= 6 && n <= 8) || n == 19) state_.CurrentPen = -n;
        else if ((n >= 10 && n <= 14) || n == 16 || n == 17) {
          state_.CurrentFont = -n;
          state_.CurrentTextFont = nullptr;
        }
        break;
      }
      if (index >= state_.HandleTable.size() || !state_.HandleTable[index]) break;  // empty entries are ignored
      switch (state_.HandleTable[index]->HandleKind) {
        case 0: state_.CurrentPen = std::int32_t(index); break;
        case 1: case 3: state_.CurrentBrush = std::int32_t(index); break;
        case 2:
          state_.CurrentFont = std::int32_t(index);
          state_.CurrentTextFont = nullptr;
          break;
        case 4:
          state_.PreviousBrush = state_.CurrentBrush;
          state_.CurrentBrush = std::int32_t(index);
          break;
      }
      break;
    }
    case gdi::EMR_CREATEPEN: case gdi::EMR_EXTCREATEPEN: case gdi::EMR_CREATEBRUSHINDIRECT:
    case gdi::EMR_CREATEMONOBRUSH: case gdi::EMR_CREATEDIBPATTERNBRUSHPT: case gdi::EMR_EXTCREATEFONTINDIRECTW:
      CreateObject(r);
      break;
    case gdi::EMR_DELETEOBJECT: {
      std::uint32_t index = f.U(8);
      if (index >= state_.HandleTable.size()) break;
      std::int32_t i = std::int32_t(index);
      if (state_.CurrentPen == i) state_.CurrentPen = -1;
      if (state_.CurrentBrush == i) state_.CurrentBrush = -1;
      if (state_.CurrentFont == i) state_.CurrentFont = -1;
      state_.HandleTable[index].reset();
      break;
    }
    case gdi::EMR_SETARCDIRECTION:
      state_.ArcClockwise = f.U(8) == gdi::AD_CLOCKWISE;
      if (work_->GetWorldTransform().eM22 < 0) state_.ArcClockwise = !state_.ArcClockwise;
      break;
    default:
      break;  // played on the work context only
  }
}

void TFlashCanvas::CreateObject(const gdi::MetafileRecord& r) {
  RecordFields f(r);
  std::uint32_t index = f.U(8);
  if (f.Bad() || index >= state_.HandleTable.size()) return;
  std::unique_ptr<TGDIHandleInfo> object;
  switch (r.type) {
    case gdi::EMR_CREATEPEN: {
      auto pen = std::make_unique<TGDIHandlePen>();
      pen->Style = f.U(12);
      if (pen->Style == gdi::PS_INSIDEFRAME) pen->Style = 0;
      pen->WidthX = HorizontalLength(f.I(16));
      pen->WidthY = VerticalLength(f.I(20));
      pen->Color = f.C(24);
      object = std::move(pen);
      break;
    }
    case gdi::EMR_EXTCREATEPEN: {
      auto pen = std::make_unique<TGDIHandlePen>();
      pen->Style = f.U(28) & 7;
      if (pen->Style > 5) pen->Style = 0;
      pen->WidthX = HorizontalLength(f.I(32));
      pen->WidthY = 0;
      pen->Color = f.C(40);
      object = std::move(pen);
      break;
    }
    case gdi::EMR_CREATEBRUSHINDIRECT: {
      auto brush = std::make_unique<TGDIHandleBrush>();
      brush->Style = f.U(12);
      brush->Color = f.C(16);
      brush->Hatch = f.U(20);
      object = std::move(brush);
      break;
    }
    case gdi::EMR_CREATEMONOBRUSH: {
      // An 8-bit image of the 8 × 8 pattern: set bits use palette entry 0,
      // clear bits entry 1.
      std::vector<std::uint8_t> bmp = gdi::RecordBitmapAsBmp(f, f.U(16), f.U(20), f.U(24), f.U(28));
      if (bmp.empty()) return;
      media::TBMPReader pattern;
      try {
        pattern.LoadFromStream(bmp, "pattern brush");
      } catch (const Error&) {
        return;
      }
      media::TBitmapInfo info = pattern.BitmapInfo();
      info.Header.Width = 8;
      info.Header.Height = 8;
      info.Header.BitCount = 8;
      info.Header.Compression = media::kBI_RGB;
      info.Header.SizeImage = 64;
      info.Header.ClrUsed = 2;
      media::TBMPReader eight;
      eight.SetBitmapInfo(info);
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
          int bit = (y < pattern.Height() && x < pattern.Width()) ? pattern.GetIndex(y, x) & 1 : 0;
          eight.SetIndex(y, x, bit ^ 1);
        }
      auto brush = std::make_unique<TGDIHandleMonoBrush>();
      brush->Stream = eight.SaveToStream();
      object = std::move(brush);
      break;
    }
    case gdi::EMR_CREATEDIBPATTERNBRUSHPT: {
      std::vector<std::uint8_t> bmp = gdi::RecordBitmapAsBmp(f, f.U(16), f.U(20), f.U(24), f.U(28));
      if (bmp.empty()) return;
      auto brush = std::make_unique<TGDIHandleDibBrush>();
      brush->Stream = std::move(bmp);
      // The pattern's count of palette-index-1 pixels, for the pattern triple.
      media::TBMPReader pattern;
      try {
        pattern.LoadFromStream(brush->Stream, "pattern brush");
        dib_brush_ones_ = 0;
        if (pattern.BitCount() <= 8)
          for (int y = 0; y < std::min(8, pattern.RowCount()); ++y)
            for (int x = 0; x < std::min(8, pattern.Width()); ++x) dib_brush_ones_ += pattern.GetIndex(y, x) == 1;
      } catch (const Error&) {
        return;
      }
      object = std::move(brush);
      break;
    }
    case gdi::EMR_EXTCREATEFONTINDIRECTW: {
      if (!f.Has(12, sizeof(gdi::LogFont))) return;
      auto font = std::make_unique<TGDIHandleFont>();
      std::memcpy(&font->Font, f.Ptr(12), sizeof(gdi::LogFont));
      object = std::move(font);
      break;
    }
  }
  if (f.Bad()) return;
  state_.HandleTable[index] = std::move(object);
}

// ---- the public operations ----------------------------------------------------------

void TFlashCanvas::ConvertDrawing() {
  if (dc_) {
    metafile_ = dc_->Close();
    dc_.reset();
  }
  if (metafile_.empty() || IsEmpty(&metafile_)) return;
  state_.CurrentSprite = nullptr;
  state_.MetafileScaleX = state_.MetafileScaleY = 1;
  gdi::MetafileRecords mf(metafile_.data(), metafile_.size(), "drawing");
  Scan(mf);
  Run(mf, 0, 0, false, "drawing");
}

TFlashSprite* TFlashCanvas::MakeSprite() {
  ConvertDrawing();
  TFlashSprite* result = state_.RootSprite;
  if (state_.RootSprite) state_.RootSprite->ShowFrame(1);
  Reset();
  state_.RootSprite = nullptr;
  return result;
}

TFlashPlaceObject* TFlashCanvas::PlaceDrawing(std::uint16_t depth, bool forget, TFlashSprite* sprite) {
  ConvertDrawing();
  TFlashPlaceObject* placement = nullptr;
  if (state_.RootSprite) {
    state_.RootSprite->ShowFrame(1);
    placement = sprite ? sprite->PlaceObject(state_.RootSprite, depth) : owner_->PlaceObject(state_.RootSprite, depth);
  }
  Reset();
  if (forget) state_.RootSprite = nullptr;
  return placement;
}

void TFlashCanvas::DrawMetafileFile(const TRect& rect, const std::string& file_name, bool stretch) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(file_name);
  DrawMetafile(rect, bytes, stretch, file_name);
}

void TFlashCanvas::DrawMetafile(const TRect& rect, const std::vector<std::uint8_t>& metafile, bool stretch,
                                const std::string& name) {
  ConvertDrawing();
  Reset();
  // A Windows metafile (WMF) is drawn from its enhanced copy; the copy's
  // frame has whole pixels, so its placement is scaled by the WMF's own size
  // over the copy's.
  double wmfWidth = 0, wmfHeight = 0;
  if (gdi::LooksLikeWindowsMetafile(metafile.data(), metafile.size())) {
    gdi::ConvertedMetafile copy = gdi::ConvertWindowsMetafile(metafile.data(), metafile.size(), name);
    metafile_ = std::move(copy.emf);
    wmfWidth = copy.width, wmfHeight = copy.height;
  } else if (gdi::LooksLikeMetafile(metafile.data(), metafile.size())) {
    // The converted objects keep pointers into the records only while the
    // conversion runs; the bytes are kept as the canvas's metafile.
    metafile_ = metafile;
  } else {
    ThrowFileError(name, "not a metafile (EMF or WMF)");
  }
  gdi::MetafileRecords mf(metafile_.data(), metafile_.size(), name);
  state_.MetafileScaleX = state_.MetafileScaleY = 1;
  if (wmfWidth > 0 && wmfHeight > 0) {
    gdi::Rect frame = mf.Header().FramePixels();
    if (frame.Width() != 0) state_.MetafileScaleX = wmfWidth / frame.Width();
    if (frame.Height() != 0) state_.MetafileScaleY = wmfHeight / frame.Height();
  }
  state_.CurrentSprite = nullptr;
  Scan(mf);
  if (IsEmpty()) {
    Reset();
    return;
  }
  std::int32_t width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
  auto compute_scale = [&] {
    gdi::Rect frame = mf.Header().FramePixels();
    if (frame.Width() != 0) state_.MetafileScaleX *= double(width) / frame.Width();
    if (frame.Height() != 0) state_.MetafileScaleY *= double(height) / frame.Height();
  };
  bool late = stretch && (Options & RasterFallback) && (Options & FixedRasterSize) && state_.RasterNeeded;
  if (stretch && (!(Options & RasterFallback) || !state_.RasterNeeded)) compute_scale();
  Run(mf, width, height, stretch, name);
  if (late) compute_scale();
  if (state_.TopSprite && state_.TopSprite->Placement) {
    state_.TopSprite->Placement->SetTranslate(rect.Left, rect.Top);
    if ((state_.MetafileScaleX != 1 || state_.MetafileScaleY != 1) && !state_.RasterSized)
      state_.TopSprite->Placement->SetScale(float(state_.MetafileScaleX), float(state_.MetafileScaleY));
  }
  owner_->MoveResource(owner_->CurrentFrameNum, owner_->CurrentFrameNum, owner_->CurrentFrameNum);
  Reset();
}

}  // namespace yel::swf
