// The drawing canvas: text output records (EXTTEXTOUTA, EXTTEXTOUTW,
// SMALLTEXTOUT). A run of text becomes static texts in a font made from the
// selected font description, inside a small sprite that carries the
// alignment, the escapement, the opaque background box, the options
// rectangle (filled, or clipping the text) and the underline and strike-out
// bars.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gdi/logical_font.h"
#include "platform/gdi/playback_device.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_text.h"
#include "swf/format/swf_strings.h"

namespace yel::swf {

namespace {

// The Windows colour as an opaque packed colour of the movie.
TPackedColor Opaque(gdi::ColorRef c) {
  return SWFRGBA(std::uint8_t(gdi::RedOf(c)), std::uint8_t(gdi::GreenOf(c)), std::uint8_t(gdi::BlueOf(c)), 255);
}

bool Blank(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c <= 0x20; });
}

}  // namespace

bool TFlashCanvas::TextFont() {
  gdi::LogFont lf = work_->GetSelectedFont();
  lf.lfItalic = lf.lfItalic ? 1 : 0;
  lf.lfUnderline = lf.lfUnderline ? 1 : 0;
  lf.lfStrikeOut = lf.lfStrikeOut ? 1 : 0;
  // A height of 0 asks for the default size the playback draws (16 units).
  std::int32_t h = lf.lfHeight == 0 ? -16 : lf.lfHeight;
  std::unique_ptr<gdi::LogicalFont> measure;
  try {
    if (h < 0) {
      lf.lfHeight = -std::abs(VerticalLength(std::max(h, -(1 << 24)) * -1));
    } else {
      // A positive height is the cell height: the character height is the
      // em that gives the font that cell.
      gdi::LogFont cell = lf;
      cell.lfHeight = std::abs(VerticalLength(std::min(h, 1 << 24)));
      cell.lfWidth = 0;
      lf.lfHeight = -std::int32_t(std::lround(gdi::LogicalFont(cell).EmSize()));
    }
    if (lf.lfOutPrecision == 1 || lf.lfOutPrecision == 6) lf.lfOutPrecision = 4;
    state_.FontWidthScale = 1;
    if (lf.lfWidth != 0) {
      lf.lfWidth = HorizontalLength(lf.lfWidth);
      gdi::LogFont natural = lf;
      natural.lfWidth = 0;
      std::int32_t average = gdi::LogicalFont(natural).Metrics().AverageWidth;
      if (average > 0) state_.FontWidthScale = float(std::abs(lf.lfWidth)) / float(average);
    }
    measure = std::make_unique<gdi::LogicalFont>(lf);
  } catch (const std::exception&) {
    return false;  // no outline font at all: nothing can show the text
  }
  state_.TextMetrics = measure->Metrics();
  state_.TextFontDescription = lf;
  return true;
}

void TFlashCanvas::TextRecord(const gdi::MetafileRecord& r) {
  if (state_.InPath) return;
  gdi::TextRecord text;
  if (!gdi::ReadTextRecord(r, &text)) return;
  std::u16string chars;
  if (r.type == gdi::EMR_EXTTEXTOUTA) {
    std::string bytes(text.Codes.begin(), text.Codes.end());
    chars = Windows1252ToUtf16(bytes);
  } else {
    for (std::uint16_t c : text.Codes) chars += (text.Options & gdi::ETO_GLYPH_INDEX) ? char16_t(c + 29) : char16_t(c);
  }
  if (r.type == gdi::EMR_SMALLTEXTOUT) {
    TextRun(chars, Convert(text.Reference), text.GraphicsMode, {}, 0, 0, {}, {});
    return;
  }
  const bool update = state_.TextAlign & gdi::TA_UPDATECP;
  if (!((!chars.empty() && !Blank(chars)) || (text.Options & gdi::ETO_OPAQUE) || update)) return;
  // With TA_UPDATECP the text starts at the current position the record
  // found (the work context has already moved it past the text).
  gdi::Point p = Convert(update ? text_position_ : text.Reference);
  if (update) state_.CurrentPos = p;
  std::int64_t sum = 0;
  for (std::int32_t a : text.Advances) sum += a;
  std::int32_t total = text.Advances.empty() ? 0 : HorizontalLength(Limit(sum));
  TRect options_rect{};
  if (text.Options != 0 && !(text.Options & gdi::ETO_NO_RECT)) {
    options_rect = ConvertRect(text.Rectangle);
    options_rect = {options_rect.Left - p.x, options_rect.Top - p.y, options_rect.Right - p.x,
                    options_rect.Bottom - p.y};
  }
  // The record's bounds are pixels of the reference device.
  TRect bounds{};
  if (text.Bounds.right >= text.Bounds.left) {
    gdi::PointD a = work_->ReferenceToBitmap({double(text.Bounds.left), double(text.Bounds.top)});
    gdi::PointD b = work_->ReferenceToBitmap({double(text.Bounds.right), double(text.Bounds.bottom)});
    auto px = [](double v) { return Limit(std::llround(std::isfinite(v) ? std::clamp(v, -1e9, 1e9) : 0.0)); };
    bounds = {px(a.x), px(a.y), px(b.x), px(b.y)};
  }
  TextRun(chars, p, text.GraphicsMode, text.Advances, text.Options, total, options_rect, bounds);
}

void TFlashCanvas::TextRun(const std::u16string& chars, gdi::Point p, int graphics_mode,
                           const std::vector<std::int32_t>& advances, std::uint32_t options, std::int32_t total,
                           const TRect& options_rect, const TRect& bounds) {
  if (!TextFont()) return;
  const gdi::LogFont& lf = state_.TextFontDescription;
  const gdi::OutlineTextMetrics& m = state_.TextMetrics;
  const std::int32_t em = std::abs(lf.lfHeight);
  if (em >= 4096) return;

  // The font character: the last one while the same font stays selected,
  // else the movie's font of the same name and style, else a new one.
  TFlashFont* font = state_.CurrentTextFont;
  if (!font) {
    const std::string name = gdi::FaceNameOf(lf);
    for (std::uint16_t i = 0; i < owner_->Fonts().Count() && !font; ++i) {
      TFlashFont* f = owner_->Fonts().Items(i);
      if (f->Name == name && f->Bold == (lf.lfWeight == 700) && f->Italic == (lf.lfItalic != 0)) font = f;
    }
    if (!font) font = owner_->AddFont(lf, false);
  }
  font->AddChars(chars);
  state_.CurrentTextFont = font;

  // The natural width at this run's size (the font may have been made for
  // another size).
  const std::size_t k = advances.size();
  const bool had_total = total != 0;
  std::int32_t natural = 0;
  if (chars.size() > 1 || total == 0) {
    TTextSize extent = font->TextExtent(chars);
    natural = font->SizeTwips() ? std::int32_t(std::lround(double(extent.Width) * em / font->SizeTwips())) : 0;
    if (total == 0) total = natural;
  }
  const bool per_char = (chars.size() > 1 && had_total && std::abs(natural - total) > 2) ||
                        (lf.lfOrientation != 0 && k > 0);

  std::int32_t v = 0, h = 0;
  switch (state_.TextAlign & gdi::TA_BASELINE) {
    case gdi::TA_BASELINE: v = -m.Ascent; break;
    case gdi::TA_BOTTOM: v = -m.Height; break;
    default: break;
  }
  switch (state_.TextAlign & gdi::TA_CENTER) {
    case gdi::TA_RIGHT: h = -total; break;
    case gdi::TA_CENTER: h = -(total / 2); break;
    default: break;
  }
  // The text stands at v exactly: its baseline then falls where the
  // playback draws it (a shift of one or two pixels moved the ink off the
  // drawn glyphs in the player).
  TRect background;
  if (lf.lfEscapement != 0 || (options == 0 && k == 0)) {
    background = {h, v, h + total, v + m.Height};
  } else {
    background = {bounds.Left - p.x, bounds.Top - p.y, bounds.Right - p.x, bounds.Bottom - p.y};
  }

  TFlashSprite* s = owner_->AddSprite();
  TFlashSprite* o = (options != 0 || lf.lfEscapement != 0) ? owner_->AddSprite() : s;
  if (!state_.BkTransparent) {
    TFlashShape* box = owner_->AddRectangle(background);
    box->SetSolidColor(state_.BkColor);
    s->PlaceObject(box, 1);
  }
  if (options & (gdi::ETO_OPAQUE | gdi::ETO_CLIPPED)) {
    TFlashShape* box = owner_->AddRectangle(options_rect);
    bool filled = false;
    if (options & gdi::ETO_OPAQUE) {
      box->SetSolidColor(state_.BkColor);
      o->PlaceObject(box, 3);
      filled = true;
    }
    if (options & gdi::ETO_CLIPPED) {
      if (!filled) box->SetSolidColorRGBA(SWFRGBA(255, 255, 0, 255));
      o->PlaceObject(box, 4)->SetClipDepth(5);
    }
  }
  auto bar = [&](std::int32_t size) {
    TFlashShape* shape = owner_->AddRectangle(0, 0, 10, size);
    shape->SetSolidColorRGBA(Opaque(state_.TextColor));
    return shape;
  };
  TFlashShape* underline = lf.lfUnderline ? bar(m.UnderscoreSize) : nullptr;
  TFlashShape* strikeout = lf.lfStrikeOut ? bar(m.StrikeoutSize) : nullptr;

  auto make_text = [&](const std::u16string& part, std::int32_t width) {
    TFlashText* t = owner_->AddText(part, Opaque(state_.TextColor), font, TRect{0, 0, width, m.Height});
    t->SetHeight(em);
    return t;
  };
  if (per_char) {
    std::int64_t before = 0;
    const gdi::XForm& w = state_.WorldTransform;
    for (std::size_t i = 0; i < chars.size(); ++i) {
      std::int32_t advance = i < k ? advances[i] : 0;
      TFlashPlaceObject* place =
          s->PlaceObject(make_text(chars.substr(i, 1), HorizontalLength(advance)), std::uint16_t(s->MaxDepth + 1));
      if (std::fabs(w.eM11) != std::fabs(w.eM22) && w.eM22 != 0)
        place->SetScale(float(std::fabs(w.eM11 / w.eM22)), 1);
      else if (lf.lfWidth != 0)
        place->SetScale(state_.FontWidthScale, 1);
      if (lf.lfOrientation != 0 && graphics_mode == gdi::GM_ADVANCED)
        place->SetRotate(float(lf.lfOrientation - lf.lfEscapement) / 10);
      place->SetTranslate(HorizontalLength(Limit(before)) + h, v);
      before += advance;
    }
  } else {
    TFlashPlaceObject* place = s->PlaceObject(make_text(chars, total), std::uint16_t(s->MaxDepth + 1));
    if (lf.lfWidth != 0) place->SetScale(state_.FontWidthScale, 1);
    place->SetTranslate(h, v);
  }
  if (lf.lfOrientation == 0) {
    const float length = float(total - 1) / 10;
    if (underline) {
      TFlashPlaceObject* place = s->PlaceObject(underline, std::uint16_t(s->MaxDepth + 1));
      place->SetScale(length, 1);
      place->SetTranslate(h, m.Ascent + v - m.UnderscorePosition);
    }
    if (strikeout) {
      TFlashPlaceObject* place = s->PlaceObject(strikeout, std::uint16_t(s->MaxDepth + 1));
      place->SetScale(length, 1);
      place->SetTranslate(h, m.Ascent + v - m.StrikeoutPosition);
    }
  }
  if (o != s) {
    TFlashPlaceObject* inner = o->PlaceObject(s, 5);
    if (lf.lfEscapement != 0) inner->SetRotate(float(lf.lfEscapement) / 10);
  }
  TFlashSprite* target = state_.CurrentSprite ? static_cast<TFlashSprite*>(state_.CurrentSprite) : state_.RootSprite;
  if (target) target->PlaceObject(o, std::uint16_t(target->MaxDepth + 1))->SetTranslate(p.x, p.y);
}

}  // namespace yel::swf
