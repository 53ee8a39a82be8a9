// Writes, for each run of text drawn on the canvas, the movie the canvas
// converts it into (NAME.swf), the playback device's drawing of the same
// metafile as ink coverage (NAME.pgm, 255 = full ink) and an empty trace
// (NAME.txt), for text_player_check.mjs to compare ink in the player: three
// fonts, left/right/centre and top/baseline/bottom alignments, a 45-degree
// escapement, spread characters and an opaque background.
//
// Usage: canvas_text_player_movies OUTPUT_FOLDER
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "base/files.h"
#include "platform/gdi/logical_font.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/playback_device.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/swf_stream.h"

namespace {

using namespace yel;
using gdi::RecordingContext;

constexpr int kWidth = 400, kHeight = 260;

struct Case {
  const char* name;
  std::function<void(RecordingContext&)> draw;
};

gdi::LogFont Font(const char16_t* face, int height, int escapement = 0, int weight = 400) {
  gdi::LogFont f;
  f.lfHeight = height;
  f.lfEscapement = f.lfOrientation = escapement;
  f.lfWeight = weight;
  for (int i = 0; face[i] && i < 31; ++i) f.lfFaceName[i] = face[i];
  return f;
}

void Run(RecordingContext& dc, const gdi::LogFont& font, std::uint32_t align, int x, int y, const std::u16string& text,
         const std::vector<std::int32_t>* advances = nullptr) {
  dc.SetBkMode(gdi::TRANSPARENT);
  dc.SetTextColor(gdi::Rgb(0, 0, 0));
  dc.SelectObject(dc.CreateFontIndirect(font));
  dc.SetTextAlign(align);
  dc.ExtTextOutW(x, y, 0, nullptr, text, advances);
}

const std::vector<std::int32_t> kSpread(7, 34);

const Case kCases[] = {
    {"sans_left_baseline", [](RecordingContext& dc) {
       Run(dc, Font(u"Liberation Sans", -40), gdi::TA_LEFT | gdi::TA_BASELINE, 20, 120, u"Hamburg Quay");
     }},
    {"serif_right_top", [](RecordingContext& dc) {
       Run(dc, Font(u"Liberation Serif", -36), gdi::TA_RIGHT | gdi::TA_TOP, 380, 40, u"Harbour Lights");
     }},
    {"mono_escapement_45", [](RecordingContext& dc) {
       Run(dc, Font(u"Liberation Mono", -40, 450, 700), gdi::TA_LEFT | gdi::TA_BASELINE, 50, 240, u"Elbe 1962");
     }},
    {"sans_centre_bottom_opaque", [](RecordingContext& dc) {
       dc.SetBkMode(gdi::OPAQUE);
       dc.SetBkColor(gdi::Rgb(250, 230, 120));
       dc.SetTextColor(gdi::Rgb(0, 0, 0));
       dc.SelectObject(dc.CreateFontIndirect(Font(u"Liberation Sans", -48)));
       dc.SetTextAlign(gdi::TA_CENTER | gdi::TA_BOTTOM);
       dc.ExtTextOutW(200, 200, 0, nullptr, u"Ferry", nullptr);
     }},
    {"three_fonts_one_metafile", [](RecordingContext& dc) {
       Run(dc, Font(u"Liberation Sans", -36), gdi::TA_LEFT | gdi::TA_TOP, 10, 10, u"Sans");
       Run(dc, Font(u"Liberation Serif", -36), gdi::TA_RIGHT | gdi::TA_BASELINE, 390, 120, u"Serif");
       Run(dc, Font(u"Liberation Mono", -36, 450, 700), gdi::TA_LEFT | gdi::TA_BASELINE, 60, 250, u"Mono");
     }},
    {"sans_underline_strikeout", [](RecordingContext& dc) {
       gdi::LogFont f = Font(u"Liberation Sans", -40);
       f.lfUnderline = f.lfStrikeOut = 1;
       Run(dc, f, gdi::TA_LEFT | gdi::TA_BASELINE, 30, 120, u"Struck");
     }},
    {"serif_spread_characters", [](RecordingContext& dc) {
       Run(dc, Font(u"Liberation Serif", -32), gdi::TA_LEFT | gdi::TA_BASELINE, 40, 140, u"SPREAD!", &kSpread);
     }},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: canvas_text_player_movies OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  try {
    for (const Case& c : kCases) {
      swf::TFlashMovie movie(0, 0, kWidth, kHeight, 12, swf::TSWFSystemCoord::Pix);
      movie.SetVersion(8);
      movie.BackgroundColor().SetRGB(0xFFFFFF);
      c.draw(movie.Canvas().Handle());
      movie.Canvas().PlaceDrawing(1, true);
      movie.ShowFrame();
      movie.MakeStream();
      TMemoryStream out;
      movie.SaveToStream(out);
      WriteFileAtomically(folder + "/" + c.name + ".swf", out.TakeBytes());

      RecordingContext dc(gdi::Rect{0, 0, kWidth * 2540 / 96, kHeight * 2540 / 96});
      c.draw(dc);
      std::vector<std::uint8_t> bytes = dc.Close();
      gdi::MetafileRecords mf(bytes.data(), bytes.size(), c.name);
      gdi::PlaybackDevice device;
      device.Begin(mf.Header(), kWidth, kHeight, {0, 0, kWidth, kHeight}, 0xFFFFFF);
      device.PlayAll(mf);
      std::vector<std::uint8_t> bgr = device.GetPixels({0, 0, kWidth, kHeight});
      std::string pgm = "P5\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
      for (std::size_t i = 0; i + 2 < bgr.size(); i += 3) pgm += char(255 - (bgr[i] + bgr[i + 1] + bgr[i + 2]) / 3);
      WriteFileAtomically(folder + "/" + c.name + ".pgm", pgm);
      WriteFileAtomically(folder + "/" + c.name + ".txt", std::string());
      if (std::getenv("YEL_CANVAS_TEXT_PNG")) device.WritePng(folder + "/" + c.name + ".png");
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "canvas_text_player_movies: %s\n", e.what());
    return 1;
  }
  return 0;
}
