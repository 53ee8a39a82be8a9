// Shape characters: bounds, fill and line styles, gradients, bitmap fills,
// dashed outlines and the DefineShape2/DefineShape3 writing.
#include "swf/builder/flash_shape.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/builder/flash_movie.h"
#include "swf/format/shape_tags.h"

namespace yel::swf {
namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

std::int32_t RoundInt(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<std::int32_t>(std::clamp(std::nearbyint(v), -2147483648.0, 2147483647.0));
}

bool HasAlphaBelowOpaque(std::uint32_t rgba) { return (rgba >> 24) < 255; }

std::int32_t Clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

// Width and height of the bounds, computed without overflow.
double BoundsWidth(const TSWFRect& r) { return static_cast<double>(r.XMax()) - r.XMin(); }
double BoundsHeight(const TSWFRect& r) { return static_cast<double>(r.YMax()) - r.YMin(); }

// Walks the outline of a path and cuts it into dashes and gaps.
class Dasher {
 public:
  Dasher(const std::vector<double>& pattern, std::uint16_t dashStyle, std::uint16_t gapStyle, bool transparentGaps,
         TSWFShapeRecords& out)
      : pattern_(pattern), dash_style_(dashStyle), gap_style_(gapStyle), transparent_(transparentGaps), out_(out) {
    remaining_ = pattern_[0];
    // Elements of length 0 are passed over.
    if (remaining_ <= 0) Advance();
  }

  void StyleChange(const TSWFStyleChangeRecord& source, bool first) {
    auto change = std::make_unique<TSWFStyleChangeRecord>();
    // The outline follows the fill copy; its first record always moves, as
    // the pen stands where the fill ended.
    if (source.StateMoveTo || first) {
      change->StateMoveTo = true;
      change->DeltaX = source.StateMoveTo ? source.DeltaX : 0;
      change->DeltaY = source.StateMoveTo ? source.DeltaY : 0;
      x_ = change->DeltaX;
      y_ = change->DeltaY;
    }
    if (source.StateLineStyle) {
      change->SetLineStyle(source.LineStyle());
      change->SetFill0(source.Fill0());
      change->SetFill1(source.Fill0());
      dash_style_ = source.LineStyle();
    }
    out_.push_back(std::move(change));
  }

  void Straight(std::int32_t dx, std::int32_t dy) {
    double length = std::hypot(double(dx), double(dy));
    if (length == 0) return;
    double sx = x_, sy = y_;
    double done = 0;
    while (done < length) {
      double take = std::min(remaining_, length - done);
      done += take;
      remaining_ -= take;
      std::int32_t tx = RoundInt(sx + dx * done / length), ty = RoundInt(sy + dy * done / length);
      if (done >= length) {
        tx = RoundInt(sx + dx);
        ty = RoundInt(sy + dy);
      }
      Piece(tx, ty, nullptr);
      if (remaining_ <= 1e-9) Advance();
    }
  }

  void Curve(const TSWFCurvedEdgeRecord& curve) {
    const double s[2] = {double(x_), double(y_)};
    const double c[2] = {s[0] + curve.ControlX, s[1] + curve.ControlY};
    const double a[2] = {c[0] + curve.AnchorX, c[1] + curve.AnchorY};
    auto at = [&](double t, int axis) {
      double u = 1 - t;
      return u * u * s[axis] + 2 * u * t * c[axis] + t * t * a[axis];
    };
    double t = 0;
    double px = s[0], py = s[1];
    while (t < 1) {
      double length = remaining_;
      double endDistance = std::hypot(a[0] - px, a[1] - py);
      double next;
      double used;
      if (endDistance <= length) {
        next = 1;
        used = endDistance;
      } else {
        // The curve point at the element's distance from the last cut.
        double lo = t, hi = 1, target = length * length;
        next = hi;
        for (int i = 0; i < 100; ++i) {
          next = (lo + hi) / 2;
          double d = std::pow(at(next, 0) - px, 2) + std::pow(at(next, 1) - py, 2);
          if (std::fabs(d - target) <= 49) break;
          if (d < target) {
            lo = next;
          } else {
            hi = next;
          }
        }
        if (next <= t) next = std::min(1.0, t + 1e-6);
        used = length;
      }
      // Control point of the piece t..next of the quadratic.
      double q[2];
      for (int axis = 0; axis < 2; ++axis) {
        q[axis] = (1 - t) * (1 - next) * s[axis] + ((1 - t) * next + t * (1 - next)) * c[axis] + t * next * a[axis];
      }
      std::int32_t tx = next >= 1 ? RoundInt(a[0]) : RoundInt(at(next, 0));
      std::int32_t ty = next >= 1 ? RoundInt(a[1]) : RoundInt(at(next, 1));
      TPoint control{RoundInt(q[0]), RoundInt(q[1])};
      bool straight = std::abs(std::int64_t{tx} - x_) < 20 || std::abs(std::int64_t{ty} - y_) < 20 ||
                      pattern_[index_] < 100 || control == TPoint{x_, y_} || control == TPoint{tx, ty};
      Piece(tx, ty, straight ? nullptr : &control);
      remaining_ -= used;
      if (remaining_ <= 1e-9) Advance();
      px = at(next, 0);
      py = at(next, 1);
      t = next;
    }
  }

  void End() { out_.push_back(std::make_unique<TSWFEndShapeRecord>()); }

 private:
  bool InDash() const { return index_ % 2 == 0; }

  void Advance() {
    do {
      index_ = (index_ + 1) % pattern_.size();
    } while (pattern_[index_] <= 0);
    remaining_ = pattern_[index_];
  }

  void Edge(std::int32_t tx, std::int32_t ty, const TPoint* control) {
    auto delta = [](std::int32_t to, std::int32_t from) { return Clamp32(std::int64_t{to} - from); };
    if (control) {
      out_.push_back(std::make_unique<TSWFCurvedEdgeRecord>(delta(control->X, x_), delta(control->Y, y_),
                                                            delta(tx, control->X), delta(ty, control->Y)));
    } else if (tx != x_ || ty != y_) {
      out_.push_back(std::make_unique<TSWFStraightEdgeRecord>(delta(tx, x_), delta(ty, y_)));
    }
  }

  void SelectLine(std::uint16_t style) {
    auto change = std::make_unique<TSWFStyleChangeRecord>();
    change->SetLineStyle(style);
    out_.push_back(std::move(change));
  }

  void Piece(std::int32_t tx, std::int32_t ty, const TPoint* control) {
    if (InDash()) {
      Edge(tx, ty, control);
    } else if (transparent_) {
      auto move = std::make_unique<TSWFStyleChangeRecord>();
      move->StateMoveTo = true;
      move->DeltaX = tx;
      move->DeltaY = ty;
      out_.push_back(std::move(move));
    } else {
      SelectLine(gap_style_);
      Edge(tx, ty, control);
      SelectLine(dash_style_);
    }
    x_ = tx;
    y_ = ty;
  }

  const std::vector<double>& pattern_;
  std::uint16_t dash_style_;
  std::uint16_t gap_style_;
  bool transparent_;
  TSWFShapeRecords& out_;
  std::size_t index_ = 0;
  double remaining_ = 0;
  std::int32_t x_ = 0;
  std::int32_t y_ = 0;
};

}  // namespace

// --- TFlashLineStyle

void TFlashLineStyle::SetCount(int count) { items_.resize(std::clamp(count, 0, kMaxCount), 0); }

void TFlashLineStyle::SetPattern(const std::vector<std::uint8_t>& pattern) {
  items_.assign(pattern.begin(), pattern.begin() + std::min<std::size_t>(pattern.size(), kMaxCount));
}

// --- TFlashShape

TFlashShape::TFlashShape(TFlashMovie* owner) : TFlashVisualObject(owner) {
  records_.push_back(std::make_unique<TSWFStyleChangeRecord>());
  edges_ = std::make_unique<TFlashEdges>(records_, owner);
}

TFlashShape::~TFlashShape() = default;

void TFlashShape::Assign(const TBasedSWFObject& source) {
  TFlashVisualObject::Assign(source);
  const auto& shape = AssignSource<TFlashShape>(source);
  IgnoreMovieSettings = shape.IgnoreMovieSettings;
  // A new pen on the copied path (its constructor's opening record is
  // replaced by the copy).
  edges_ = std::make_unique<TFlashEdges>(records_, Owner());
  records_.clear();
  CopyShapeRecords(shape.records_, records_);
  edges_->CurrentPos = shape.edges_->CurrentPos;
  edges_->LastStart = shape.edges_->LastStart;
  edges_->IgnoreMovieSettings = shape.edges_->IgnoreMovieSettings;
  edges_->OptimizeMode = shape.edges_->OptimizeMode;
  bounds_ = shape.bounds_;
  fill_styles_.clear();
  CopyFillStyles(shape.fill_styles_, fill_styles_);
  line_styles_.clear();
  CopyLineStyles(shape.line_styles_, line_styles_);
  fill0_num_ = shape.fill0_num_;
  fill1_num_ = shape.fill1_num_;
  line_style_num_ = shape.line_style_num_;
  HasAlpha = shape.HasAlpha;
  dash_style_ = shape.dash_style_ ? std::make_unique<TFlashLineStyle>(*shape.dash_style_) : nullptr;
  dash_gap_color_.reset();
  if (shape.dash_gap_color_) {
    dash_gap_color_ = std::make_unique<TSWFRGBA>(false);
    dash_gap_color_->Assign(*shape.dash_gap_color_);
  }
}

void TFlashShape::OwnerChanged() { edges_->SetMovie(Owner()); }

bool TFlashShape::WriteAlpha() const {
  return HasAlpha || (dash_style_ && dash_gap_color_ && dash_gap_color_->A() < 255);
}

int TFlashShape::MinVersion() const { return WriteAlpha() ? 3 : 2; }

void TFlashShape::AppendUsedIDs(std::vector<std::uint16_t>& ids) const {
  for (const auto& fill : fill_styles_)
    if (const auto* image = dynamic_cast<const TSWFImageFill*>(fill.get())) ids.push_back(image->BitmapId);
}

// --- bounds

void TFlashShape::SetShapeBound(std::int32_t xMin, std::int32_t yMin, std::int32_t xMax, std::int32_t yMax) {
  int f = UnitFactor();
  TSWFRectRec r;
  r.XMin = ScaleUnits(std::min(xMin, xMax), f);
  r.XMax = ScaleUnits(std::max(xMin, xMax), f);
  r.YMin = ScaleUnits(std::min(yMin, yMax), f);
  r.YMax = ScaleUnits(std::max(yMin, yMax), f);
  bounds_.SetRect(r);
}

void TFlashShape::CalcBounds() { bounds_.SetRect(edges_->GetBoundsRect()); }

std::int32_t TFlashShape::XMin() const { return bounds_.XMin() / UnitFactor(); }
std::int32_t TFlashShape::YMin() const { return bounds_.YMin() / UnitFactor(); }
std::int32_t TFlashShape::XMax() const { return bounds_.XMax() / UnitFactor(); }
std::int32_t TFlashShape::YMax() const { return bounds_.YMax() / UnitFactor(); }

std::int32_t TFlashShape::Width(bool inTwips) const {
  return ScaleUnits(Clamp32(std::int64_t{XMax()} - XMin()), inTwips ? UnitFactor() : 1);
}
std::int32_t TFlashShape::Height(bool inTwips) const {
  return ScaleUnits(Clamp32(std::int64_t{YMax()} - YMin()), inTwips ? UnitFactor() : 1);
}

// --- styles

// A style index takes effect on the first record when it is a style change;
// with no such record there is nothing to select and the index stays 0.
void TFlashShape::SetStyleNum(std::int16_t& slot, std::int16_t index,
                              void (TSWFStyleChangeRecord::*select)(std::uint16_t)) {
  if (!records_.empty() && records_.front()->RecordKind == TSWFShapeRecordKind::StyleChange) {
    slot = index;
    (static_cast<TSWFStyleChangeRecord*>(records_.front().get())->*select)(static_cast<std::uint16_t>(index));
  } else {
    slot = 0;
  }
}

void TFlashShape::SetFill0Num(std::int16_t index) { SetStyleNum(fill0_num_, index, &TSWFStyleChangeRecord::SetFill0); }
void TFlashShape::SetFill1Num(std::int16_t index) { SetStyleNum(fill1_num_, index, &TSWFStyleChangeRecord::SetFill1); }
void TFlashShape::SetLineStyleNum(std::int16_t index) {
  SetStyleNum(line_style_num_, index, &TSWFStyleChangeRecord::SetLineStyle);
}

TSWFFillStyle* TFlashShape::AddFillStyle(std::unique_ptr<TSWFFillStyle> fill) {
  TSWFFillStyle* raw = fill.get();
  fill_styles_.push_back(std::move(fill));
  SetFill1Num(static_cast<std::int16_t>(fill_styles_.size()));
  return raw;
}

void TFlashShape::AddFillStyle(TSWFFillStyle* fill) {
  for (std::size_t i = 0; i < fill_styles_.size(); ++i) {
    if (fill_styles_[i].get() == fill) SetFill1Num(static_cast<std::int16_t>(i + 1));
  }
}

TSWFLineStyle* TFlashShape::AddLineStyle(std::unique_ptr<TSWFLineStyle> line) {
  if (!line) line = std::make_unique<TSWFLineStyle>();
  TSWFLineStyle* raw = line.get();
  line_styles_.push_back(std::move(line));
  SetLineStyleNum(static_cast<std::int16_t>(line_styles_.size()));
  return raw;
}

void TFlashShape::AddLineStyle(TSWFLineStyle* line) {
  for (std::size_t i = 0; i < line_styles_.size(); ++i) {
    if (line_styles_[i].get() == line) SetLineStyleNum(static_cast<std::int16_t>(i + 1));
  }
}

TSWFColorFill* TFlashShape::SetSolidColor(std::uint32_t rgb) { return SetSolidColorRGBA((rgb & 0xFFFFFFu) | kOpaque); }

TSWFColorFill* TFlashShape::SetSolidColorRGBA(std::uint32_t rgba) {
  if (HasAlphaBelowOpaque(rgba)) HasAlpha = true;
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGBA(rgba);
  auto* raw = fill.get();
  AddFillStyle(std::move(fill));
  return raw;
}

TSWFLineStyle* TFlashShape::SetLineStyle(std::uint16_t width, std::uint32_t rgb) {
  return SetLineStyleRGBA(width, (rgb & 0xFFFFFFu) | kOpaque);
}

TSWFLineStyle* TFlashShape::SetLineStyleRGBA(std::uint16_t width, std::uint32_t rgba) {
  auto line = std::make_unique<TSWFLineStyle>();
  line->Width = static_cast<std::uint16_t>(width * UnitFactor());
  line->Color.SetRGBA(rgba);
  if (HasAlphaBelowOpaque(rgba)) HasAlpha = true;
  return AddLineStyle(std::move(line));
}

TSWFMatrix LinearGradientMatrix(const TSWFRect& bounds, float angle) {
  TSWFMatrix m;
  double w = BoundsWidth(bounds), h = BoundsHeight(bounds);
  double a = angle * std::numbers::pi / 180.0;
  double sx = w / 32768.0, sy = h / 32768.0;
  m.SetScale(static_cast<float>(std::cos(a) * sx), static_cast<float>(std::cos(a) * sy));
  m.SetSkew(static_cast<float>(std::sin(a) * sx), static_cast<float>(-std::sin(a) * sy));
  m.SetTranslate(Clamp32(bounds.XMin() + static_cast<std::int64_t>(w) / 2),
                 Clamp32(bounds.YMin() + static_cast<std::int64_t>(h) / 2));
  return m;
}

TSWFMatrix RadialGradientMatrix(const TSWFRect& bounds, std::uint8_t xPercent, std::uint8_t yPercent) {
  TSWFMatrix m;
  double w = BoundsWidth(bounds), h = BoundsHeight(bounds);
  m.SetScale(static_cast<float>(w / 32768.0), static_cast<float>(h / 32768.0));
  m.SetTranslate(Clamp32(bounds.XMin() + std::int64_t{RoundInt(w / 100.0 * xPercent)}),
                 Clamp32(bounds.YMin() + std::int64_t{RoundInt(h / 100.0 * yPercent)}));
  return m;
}

TSWFGradientFill* TFlashShape::SetLinearGradient(const std::vector<std::uint32_t>& colors, float angle) {
  std::size_t n = std::min<std::size_t>(colors.size(), TSWFBaseGradientFill::kMaxEntries);
  if (n == 0) return nullptr;
  auto fill = std::make_unique<TSWFGradientFill>();
  for (std::size_t i = 0; i < n; ++i) {
    TSWFGradientRec& entry = fill->GradientRecord(static_cast<int>(i));
    entry.Color.SetRGBA(colors[i]);
    if (HasAlphaBelowOpaque(colors[i])) HasAlpha = true;
    entry.Ratio = n > 1 ? static_cast<std::uint8_t>(std::nearbyint(double(i) / double(n - 1) * 255.0)) : 0;
  }
  fill->Matrix = LinearGradientMatrix(bounds_, angle);
  auto* raw = fill.get();
  AddFillStyle(std::move(fill));
  return raw;
}

TSWFGradientFill* TFlashShape::SetLinearGradient(std::uint32_t color1, std::uint32_t color2, float angle) {
  return SetLinearGradient(std::vector<std::uint32_t>{color1, color2}, angle);
}

TSWFGradientFill* TFlashShape::SetRadialGradient(const std::vector<std::uint32_t>& colors, std::uint8_t xPercent,
                                                 std::uint8_t yPercent) {
  std::size_t n = std::min<std::size_t>(colors.size(), 8);
  if (n == 0) return nullptr;
  auto fill = std::make_unique<TSWFGradientFill>();
  fill->FillType = kFillRadialGradient;
  for (std::size_t i = 0; i < n; ++i) {
    TSWFGradientRec& entry = fill->GradientRecord(static_cast<int>(i));
    entry.Color.SetRGBA(colors[i]);
    if (HasAlphaBelowOpaque(colors[i])) HasAlpha = true;
    entry.Ratio = n > 1 ? static_cast<std::uint8_t>(std::nearbyint(double(i) / double(n - 1) * 255.0)) : 0;
  }
  fill->Matrix = RadialGradientMatrix(bounds_, xPercent, yPercent);
  auto* raw = fill.get();
  AddFillStyle(std::move(fill));
  return raw;
}

TSWFGradientFill* TFlashShape::SetRadialGradient(std::uint32_t color1, std::uint32_t color2, std::uint8_t xPercent,
                                                 std::uint8_t yPercent) {
  return SetRadialGradient(std::vector<std::uint32_t>{color1, color2}, xPercent, yPercent);
}

TSWFImageFill* TFlashShape::SetImageFill(TFlashIDObject& image, std::int32_t imageWidth, std::int32_t imageHeight,
                                         TFlashImageFillMode mode, float scaleX, float scaleY) {
  constexpr float kMaxScale = 16383;
  auto fill = std::make_unique<TSWFImageFill>();
  fill->BitmapId = image.CharacterId();
  // The correction keeps the bitmap's edge pixels from bleeding in.
  bool correct = Owner() && Owner()->CorrectImageFill;
  std::int32_t o = correct ? 5 : 0;
  double e = correct ? 15.0 / 4096.0 : 0.0;
  fill->Matrix.SetTranslate(Clamp32(std::int64_t{bounds_.XMin()} - o), Clamp32(std::int64_t{bounds_.YMin()} - o));
  switch (mode) {
    case TFlashImageFillMode::Scale:
    case TFlashImageFillMode::Tile:
      fill->FillType = mode == TFlashImageFillMode::Tile ? kFillTileBitmap : kFillClipBitmap;
      fill->Matrix.SetScale(scaleX * 20, scaleY * 20);
      break;
    case TFlashImageFillMode::Fit: {
      fill->FillType = kFillClipBitmap;
      auto fit = [&](double size, std::int32_t pixels) {
        double scale = pixels > 0 ? size / pixels + e : kMaxScale;
        return static_cast<float>(std::min<double>(scale, kMaxScale));
      };
      fill->Matrix.SetScale(fit(BoundsWidth(bounds_), imageWidth), fit(BoundsHeight(bounds_), imageHeight));
      break;
    }
  }
  auto* raw = fill.get();
  AddFillStyle(std::move(fill));
  if (TFlashMovie* movie = Owner()) {
    int shapeIndex = movie->IndexOfObject(this);
    int imageIndex = movie->IndexOfObject(&image);
    if (shapeIndex >= 0 && imageIndex > shapeIndex) movie->MoveObject(imageIndex, shapeIndex);
  }
  return raw;
}

// --- dashing

TFlashLineStyle& TFlashShape::DashStyle() {
  if (!dash_style_) dash_style_ = std::make_unique<TFlashLineStyle>();
  return *dash_style_;
}

TSWFRGBA& TFlashShape::DashGapColor() {
  if (!dash_gap_color_) dash_gap_color_ = std::make_unique<TSWFRGBA>(false);
  return *dash_gap_color_;
}

TSWFShapeRecords TFlashShape::DashedRecords(std::uint16_t gapStyle) const {
  TSWFShapeRecords out;
  std::vector<double> pattern;
  double total = 0;
  for (int i = 0; i < dash_style_->Count(); ++i) {
    pattern.push_back(dash_style_->Items(i) * 20.0);
    total += pattern.back();
  }
  if (pattern.size() % 2 == 1) {
    // An odd pattern repeats with dashes and gaps swapped: spell it twice.
    std::size_t n = pattern.size();
    for (std::size_t i = 0; i < n; ++i) pattern.push_back(pattern[i]);
  }
  if (total <= 0) {
    // No dash length at all: the outline stays whole.
    CopyShapeRecords(records_, out);
    return out;
  }

  // The fill without outline first, when there is one to draw.
  if (!fill_styles_.empty() && edges_->CurrentPos == edges_->LastStart) {
    CopyShapeRecords(records_, out);
    for (auto& record : out) {
      if (record->RecordKind != TSWFShapeRecordKind::StyleChange) continue;
      auto* change = static_cast<TSWFStyleChangeRecord*>(record.get());
      if (change->StateLineStyle) change->SetLineStyle(0);
    }
  }

  Dasher dasher(pattern, static_cast<std::uint16_t>(line_style_num_), gapStyle, TransparentGaps(), out);
  bool first = true;
  for (const auto& record : records_) {
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::StyleChange:
        dasher.StyleChange(static_cast<const TSWFStyleChangeRecord&>(*record), first);
        break;
      case TSWFShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(*record);
        dasher.Straight(edge.DeltaX, edge.DeltaY);
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge:
        dasher.Curve(static_cast<const TSWFCurvedEdgeRecord&>(*record));
        break;
      case TSWFShapeRecordKind::End:
        dasher.End();
        break;
    }
    first = false;
  }
  return out;
}

// --- writing

void TFlashShape::WriteToStream(TBitsEngine& be) {
  bool alpha = WriteAlpha();
  std::unique_ptr<TSWFDefineShape> tag;
  if (alpha) {
    tag = std::make_unique<TSWFDefineShape3>();
  } else {
    tag = std::make_unique<TSWFDefineShape2>();
  }
  tag->ShapeId = CharacterId();
  tag->HasAlpha = alpha;

  std::uint16_t widest = 0;
  for (const auto& line : line_styles_) widest = std::max(widest, line->Width);
  std::int32_t margin = widest / 2;
  TSWFRectRec r = bounds_.SWFRect();
  auto widen = [](std::int32_t v, std::int32_t by) { return Clamp32(std::int64_t{v} + by); };
  tag->ShapeBounds.SetRect(
      TSWFRectRec{widen(r.XMin, -margin), widen(r.XMax, margin), widen(r.YMin, -margin), widen(r.YMax, margin)});

  bool dashed = dash_style_ && !line_styles_.empty();
  TSWFShapeRecords dashedRecords;
  std::unique_ptr<TSWFLineStyle> gapLine;
  std::uint16_t gapStyle = 0;
  if (dashed && dash_gap_color_) {
    // The gap colour gets a line style of its own for this writing only.
    gapLine = std::make_unique<TSWFLineStyle>();
    gapLine->Width = line_styles_.front()->Width;
    gapLine->Color.Assign(*dash_gap_color_);
    gapStyle = static_cast<std::uint16_t>(line_styles_.size() + 1);
  }
  if (dashed) dashedRecords = DashedRecords(gapStyle);

  // The record writer drops the style flags that name no style (no fills,
  // no lines); they are put back afterwards, so that the shape stays as
  // drawn and writes the same way every time.
  struct Flags {
    TSWFStyleChangeRecord* record;
    bool fill0, fill1, line;
  };
  std::vector<Flags> flags;
  if (!dashed) {
    for (auto& record : records_) {
      if (record->RecordKind != TSWFShapeRecordKind::StyleChange) continue;
      auto* change = static_cast<TSWFStyleChangeRecord*>(record.get());
      flags.push_back({change, change->StateFillStyle0, change->StateFillStyle1, change->StateLineStyle});
    }
  }

  // The tag borrows the styles and the path for the writing.
  tag->FillStyles = std::move(fill_styles_);
  tag->LineStyles = std::move(line_styles_);
  if (gapLine) tag->LineStyles.push_back(std::move(gapLine));
  tag->Edges = dashed ? std::move(dashedRecords) : std::move(records_);
  struct GiveBack {
    TFlashShape& shape;
    TSWFDefineShape& tag;
    bool dashed;
    bool gap;
    std::vector<Flags>& flags;
    ~GiveBack() {
      if (gap) tag.LineStyles.pop_back();
      shape.fill_styles_ = std::move(tag.FillStyles);
      shape.line_styles_ = std::move(tag.LineStyles);
      if (!dashed) shape.records_ = std::move(tag.Edges);
      for (const Flags& f : flags) {
        f.record->StateFillStyle0 = f.fill0;
        f.record->StateFillStyle1 = f.fill1;
        f.record->StateLineStyle = f.line;
      }
    }
  } giveBack{*this, *tag, dashed, gapStyle != 0, flags};
  tag->WriteToStream(be);
}

}  // namespace yel::swf
