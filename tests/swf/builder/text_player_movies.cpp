// Writes movies with static texts and text fields (NAME.swf) and FreeType's
// own rendering of the same strings at the same places (NAME.pgm, coverage
// 0..255 on white; kerned by FreeType where the font kerns), for
// text_player_check.mjs to compare in Ruffle. A text
// field's movie also traces the field's text property.
//
// Usage: text_player_movies OUTPUT_FOLDER
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "base/files.h"
#include "platform/gdi/font_engine.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_text.h"
#include "swf/format/actions/action_records.h"
#include "swf/format/swf_strings.h"

namespace {

using namespace yel;
using namespace yel::swf;

constexpr int kWidth = 480, kHeight = 120;

struct Case {
  const char* name;
  const char* family;
  bool bold = false;
  std::u16string text;
  int px = 24;                // text height in pixels
  int x = 20, y = 30;         // top-left of the text (the field's bounds)
  double angle = 0;           // degrees, clockwise on screen
  enum Kind { Static, Field, HtmlField, DeviceField } kind = Static;
  bool kerning = false;       // the font kerns; FreeType's layout kerns too
};

// FreeType's rendering: unhinted glyphs at the text height, pens advanced by
// the unhinted advances, rotated about the text's origin.
std::vector<std::uint8_t> Render(const Case& c, double baseline, double left) {
  std::vector<std::uint8_t> coverage(kWidth * kHeight, 0);
  auto face = gdi::FontFace::Open(c.family, c.bold, false, 1024);
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face ft;
  FT_New_Face(library, face->FileName().c_str(), face->FaceIndex(), &ft);
  FT_Set_Pixel_Sizes(ft, 0, c.px);
  const double a = c.angle * M_PI / 180;
  // Screen y runs downward: rotating clockwise on screen is a negative angle
  // in FreeType's y-up space.
  FT_Matrix m{static_cast<FT_Fixed>(std::cos(a) * 65536), static_cast<FT_Fixed>(std::sin(a) * 65536),
              static_cast<FT_Fixed>(-std::sin(a) * 65536), static_cast<FT_Fixed>(std::cos(a) * 65536)};
  double penX = 0;
  FT_UInt previous = 0;
  for (char16_t ch : c.text) {
    const FT_UInt glyph = FT_Get_Char_Index(ft, ch);
    FT_Vector kerning{};
    if (c.kerning && previous) FT_Get_Kerning(ft, previous, glyph, FT_KERNING_UNFITTED, &kerning);
    previous = glyph;
    penX += kerning.x / 64.0;
    // The pen in screen space: along the rotated baseline from the origin.
    double sx = left + penX * std::cos(a), sy = baseline + penX * std::sin(a);
    FT_Vector delta{static_cast<FT_Pos>(std::lround((sx - std::floor(sx)) * 64)),
                    static_cast<FT_Pos>(-std::lround((sy - std::floor(sy)) * 64))};
    FT_Set_Transform(ft, &m, &delta);
    FT_Load_Char(ft, ch, FT_LOAD_RENDER | FT_LOAD_NO_HINTING);
    const FT_Bitmap& bmp = ft->glyph->bitmap;
    int ox = static_cast<int>(std::floor(sx)) + ft->glyph->bitmap_left;
    int oy = static_cast<int>(std::floor(sy)) - ft->glyph->bitmap_top;
    for (unsigned r = 0; r < bmp.rows; ++r)
      for (unsigned col = 0; col < bmp.width; ++col) {
        int px = ox + static_cast<int>(col), py = oy + static_cast<int>(r);
        if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) continue;
        std::uint8_t v = bmp.buffer[r * bmp.pitch + col];
        std::uint8_t& dst = coverage[py * kWidth + px];
        dst = static_cast<std::uint8_t>(std::min(255, dst + v));
      }
    penX += ft->glyph->linearHoriAdvance / 65536.0;
  }
  FT_Done_Face(ft);
  FT_Done_FreeType(library);
  return coverage;
}

void Write(const Case& c, const std::string& folder) {
  TFlashMovie movie(0, 0, kWidth, kHeight, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BackgroundColor().SetRGB(SWFRGBA(255, 255, 255, 255));
  TFlashFont* font = movie.AddFont(c.family, c.bold, false, static_cast<std::uint16_t>(c.px),
                                   c.kind == Case::DeviceField);
  font->HasKerning = c.kerning;
  const double ascent = gdi::FontFace::Open(c.family, c.bold, false, 1024)->Metrics().Ascent / 1024 * c.px;
  TFlashText* text;
  double baseline = c.y + ascent, left = c.x;
  if (c.kind == Case::Static) {
    text = movie.AddText(c.text, SWFRGBA(0, 0, 0, 255), font, TRect{0, 0, 0, 0});
  } else {
    text = movie.AddDynamicText("", c.text, TRect{c.x, c.y, kWidth - 10, c.y + 2 * c.px}, font,
                                SWFRGBA(0, 0, 0, 255));
    if (c.kind == Case::HtmlField) text->SetHTML(true);
    text->ReadOnly = true;
    // Text fields put a 2-pixel gutter inside their bounds.
    baseline += 2;
    left += 2;
  }
  TFlashPlaceObject* place = movie.PlaceObject(text, 1);
  if (c.kind == Case::Static) {
    // The static text stands at the origin; the placement moves and turns it
    // (a positive angle of SetRotate turns counter-clockwise on screen).
    place->SetRotate(static_cast<float>(-c.angle));
    place->SetTranslate(c.x, c.y);
  } else {
    place->SetName("field");
    TFlashActionScript& script = movie.FrameActions();
    script.PushValue(std::string("field"));
    script.GetVariable();
    script.PushValue(std::string("text"));
    script.GetMember();
    script.Add(std::make_unique<TSWFActionTrace>());
  }
  movie.ShowFrame();
  movie.MakeStream();
  movie.SaveToFile(folder + "/" + c.name + ".swf");

  // The reference: rotation about the text's top-left corner.
  std::vector<std::uint8_t> coverage;
  if (c.angle != 0) {
    const double a = c.angle * M_PI / 180;
    coverage = Render(c, c.y + ascent * std::cos(a), c.x - ascent * std::sin(a));
  } else {
    coverage = Render(c, baseline, left);
  }
  std::string pgm = "P5\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
  pgm.append(coverage.begin(), coverage.end());
  WriteFileAtomically(folder + "/" + c.name + ".pgm", pgm);
  std::string expected = Utf16ToUtf8(c.text);
  WriteFileAtomically(folder + "/" + c.name + ".txt", c.kind == Case::Static ? std::string() : expected);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: text_player_movies OUTPUT_FOLDER\n");
    return 2;
  }
  const std::vector<Case> cases = {
      {"sans-24", "Liberation Sans", false, u"Hamburgefonstiv 0123", 24},
      {"serif-36", "Liberation Serif", false, u"Quixotic jumps", 36},
      {"mono-48", "Liberation Mono", true, u"Mono 48", 48, 20, 20},
      {"greek-cyrillic-32", "Liberation Sans", false, u"\u0391\u03B8\u03AE\u03BD\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430 \u00E9\u00E8", 32},
      {"rotated-32", "Liberation Sans", false, u"Turned", 32, 60, 10, 30},
      {"field-embedded-32", "Liberation Sans", false, u"Field text", 32, 20, 30, 0, Case::Field},
      {"field-html-32", "Liberation Serif", false, u"HTML field", 32, 20, 30, 0, Case::HtmlField},
      {"field-device-24", "Liberation Sans", false, u"Device font", 24, 20, 30, 0, Case::DeviceField},
      // Pairs that Liberation Sans kerns: unkerned, the text would end 21
      // pixels further right.
      {"kerned-48", "Liberation Sans", false, u"AVATAR To Wy", 48, 20, 20, 0, Case::Static, true},
      // Chinese, Japanese kana and Korean hangul from a CFF face (cubic
      // outlines), static and in a text field with the embedded font.
      {"cjk-32", "Noto Sans CJK SC", false, u"\u6C38\u9060\u9F8D \u3072\u3089\u304C\u306A \u30AB\u30BF \uD55C\uAD6D\uC5B4", 32},
      {"field-cjk-32", "Noto Sans CJK JP", false, u"\u65E5\u672C\u8A9E\u306E\u30C6\u30AD\u30B9\u30C8", 32, 20, 30, 0,
       Case::Field},
  };
  try {
    for (const Case& c : cases) Write(c, argv[1]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "text_player_movies: %s\n", e.what());
    return 1;
  }
  return 0;
}
