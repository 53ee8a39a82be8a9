// text-gallery: writes a one-frame movie that shows the builder's texts:
// static texts in the three classic faces (resolved to the system's
// metric-compatible fonts) at several sizes, right-aligned and centred text,
// Greek and Cyrillic in a font of Unicode codes, a turned text, text fields
// with an embedded font, HTML, and the player's device font, Chinese,
// Japanese and Korean, a kerned text, and text drawn with ordinary drawing
// calls on the canvas. It doubles as a walk through the text API.
//
//   text-gallery OUTPUT.swf
#include <cstdio>
#include <exception>
#include <string>

#include "platform/gdi/logical_font.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_text.h"

namespace {

using namespace yel::swf;

constexpr TPackedColor kBlack = 0xFF000000;
constexpr TPackedColor kBlue = 0xFFC03C1E;  // red | green << 8 | blue << 16 | alpha << 24

void Build(TFlashMovie& movie) {
  movie.SetVersion(8);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  std::uint16_t depth = 0;
  auto show = [&](TFlashText* text) { return movie.PlaceObject(text, ++depth); };

  // A font is a name, a style and a size (pixels in a pixel movie); static
  // texts embed the outlines of the characters they use.
  TFlashFont* sans = movie.AddFont("Arial", false, false, 24, false);
  TFlashFont* serif = movie.AddFont("Times New Roman", false, true, 32, false);
  TFlashFont* mono = movie.AddFont("Courier New", true, false, 20, false);
  show(movie.AddText(u"Arial 24: the quick brown fox", kBlack, sans, TRect{20, 20, 0, 0}));
  show(movie.AddText(u"Times New Roman 32, italic", kBlue, serif, TRect{20, 55, 0, 0}));
  show(movie.AddText(u"Courier New 20, bold", kBlack, mono, TRect{20, 100, 0, 0}));
  // Alignment: the position is the right end or the centre of the text.
  show(movie.AddText(u"right-aligned", kBlack, sans, TRect{620, 140, 0, 0}, 1));
  show(movie.AddText(u"centred", kBlack, sans, TRect{320, 175, 0, 0}, 2));
  // Any Unicode text: the font writes 16-bit codes.
  show(movie.AddText(u"\u0391\u03B8\u03AE\u03BD\u03B1 \u041C\u043E\u0441\u043A\u0432\u0430 \u00C5\u00E9\u00FC", kBlack,
                     sans, TRect{20, 215, 0, 0}));
  // A text stands at its origin; its placement moves, scales and turns it.
  TFlashText* turned = movie.AddText(u"turned", kBlue, serif, TRect{0, 0, 0, 0});
  TFlashPlaceObject* place = show(turned);
  place->SetRotate(-20);
  place->SetTranslate(420, 250);

  // Text fields: an embedded font (its outlines), HTML, and a device font
  // (the player's own font; nothing embedded).
  TFlashFont* fieldFont = movie.AddFont("Arial", false, false, 20, false);
  TFlashText* field = movie.AddDynamicText("greeting", u"A text field", TRect{20, 300, 300, 330}, fieldFont, kBlack);
  field->Border = true;
  show(field)->SetName("field");
  TFlashFont* htmlFont = movie.AddFont("Times New Roman", true, false, 20, false);
  TFlashText* html = movie.AddDynamicText("", u"HTML in a bold serif", TRect{20, 345, 400, 375}, htmlFont, kBlack);
  html->SetHTML(true);
  show(html);
  TFlashFont* device = movie.AddFont("_sans", false, false, 18, true);
  show(movie.AddDynamicText("", u"A device font", TRect{20, 390, 300, 420}, device, kBlack));

  // Chinese, Japanese kana and Korean hangul from a CJK face.
  TFlashFont* cjk = movie.AddFont("Noto Sans CJK SC", false, false, 24, false);
  show(movie.AddText(u"\u6F22\u5B57 \u304B\u306A \uD55C\uAE00", kBlack, cjk, TRect{410, 345, 0, 0}));
  // A font with kerning: its static texts take the font's kerning pairs, and
  // the pairs are written with the font.
  TFlashFont* kerned = movie.AddFont("Arial", false, false, 24, false);
  kerned->HasKerning = true;
  show(movie.AddText(u"AVATAR, To Wy", kBlack, kerned, TRect{410, 390, 0, 0}));

  // Text drawn on the canvas with the drawing calls of a device context: a
  // font description selected, colours, alignment and an escapement; the
  // canvas turns it into fonts and static texts.
  yel::gdi::RecordingContext& dc = movie.Canvas().Handle();
  yel::gdi::LogFont font;
  font.lfHeight = -22;
  font.lfWeight = 400;
  for (int i = 0; u"Arial"[i]; ++i) font.lfFaceName[i] = u"Arial"[i];
  dc.SelectObject(dc.CreateFontIndirect(font));
  dc.SetTextColor(yel::gdi::Rgb(30, 60, 192));
  dc.SetBkColor(yel::gdi::Rgb(255, 236, 150));
  dc.SetBkMode(yel::gdi::OPAQUE);
  dc.SetTextAlign(yel::gdi::TA_RIGHT | yel::gdi::TA_TOP);
  dc.TextOut(620, 20, u"Drawn on the canvas");
  font.lfEscapement = 300;  // tenths of a degree, counterclockwise
  dc.SelectObject(dc.CreateFontIndirect(font));
  dc.SetBkMode(yel::gdi::TRANSPARENT);
  dc.SetTextAlign(yel::gdi::TA_LEFT | yel::gdi::TA_BASELINE);
  dc.TextOut(450, 125, u"at 30 degrees");
  movie.Canvas().PlaceDrawing(++depth, true);
  movie.ShowFrame();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: text-gallery OUTPUT.swf\n");
    return argc == 2 ? 0 : 2;
  }
  try {
    TFlashMovie movie(0, 0, 640, 440, 12, TSWFSystemCoord::Pix);
    Build(movie);
    movie.MakeStreamToFile(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "text-gallery: %s\n", error.what());
    return 1;
  }
  return 0;
}
