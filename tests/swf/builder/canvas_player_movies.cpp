// Writes, for a set of drawings, the movie the canvas converts each drawing
// into (NAME.swf) and the work bitmap of the same drawing played at full
// size (NAME.ppm), for canvas_player_check.mjs to compare in the player.
//
// Usage: canvas_player_movies OUTPUT_FOLDER
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "base/files.h"
#include "platform/gdi/dib.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/playback_device.h"
#include "platform/gdi/recording_context.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_movie.h"
#include "swf/format/swf_stream.h"

namespace {

using namespace yel;
using gdi::RecordingContext;
using gdi::Rgb;

constexpr int kWidth = 200, kHeight = 150;

struct Case {
  const char* name;
  std::function<void(RecordingContext&)> draw;
};

void Shapes(RecordingContext& dc) {
  dc.SelectObject(dc.CreateSolidBrush(Rgb(200, 40, 40)));
  dc.SelectObject(dc.CreatePen(gdi::PS_SOLID, 3, Rgb(0, 0, 0)));
  dc.Rectangle(10, 10, 90, 60);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(40, 80, 200)));
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.Ellipse(100, 10, 190, 60);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(40, 160, 60)));
  dc.SelectObject(dc.CreatePen(gdi::PS_SOLID, 1, Rgb(0, 60, 0)));
  dc.RoundRect(10, 75, 90, 140, 20, 20);
  dc.Polygon({{110, 140}, {150, 75}, {190, 140}});
  dc.SelectObject(dc.CreatePen(gdi::PS_SOLID, 4, Rgb(120, 0, 160)));
  dc.Polyline({{100, 70}, {120, 95}, {140, 70}, {160, 95}, {180, 70}});
}

void Arcs(RecordingContext& dc) {
  dc.SelectObject(dc.CreatePen(gdi::PS_SOLID, 3, Rgb(0, 0, 160)));
  dc.SelectObject(dc.CreateSolidBrush(Rgb(250, 200, 0)));
  dc.Pie(10, 10, 90, 90, 90, 50, 50, 10);
  dc.Chord(100, 10, 190, 90, 190, 50, 100, 50);
  dc.Arc(10, 95, 90, 145, 10, 120, 90, 120);
  dc.MoveToEx(110, 120);
  dc.AngleArc(150, 120, 25, 0, 180);
}

void BeziersAndPaths(RecordingContext& dc) {
  dc.SelectObject(dc.CreatePen(gdi::PS_SOLID, 2, Rgb(200, 0, 0)));
  dc.PolyBezier({{10, 70}, {40, 10}, {70, 130}, {100, 70}});
  dc.SelectObject(dc.CreateSolidBrush(Rgb(0, 150, 150)));
  dc.SetPolyFillMode(gdi::WINDING);
  dc.BeginPath();
  dc.Rectangle(110, 20, 160, 70);
  dc.Rectangle(130, 40, 190, 90);
  dc.EndPath();
  dc.FillPath();
  dc.BeginPath();
  dc.MoveToEx(20, 100);
  dc.LineTo(80, 100);
  dc.PolyBezierTo({{100, 110}, {100, 140}, {60, 140}});
  dc.CloseFigure();
  dc.EndPath();
  dc.StrokeAndFillPath();
}

void Clipping(RecordingContext& dc) {
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.SelectObject(dc.CreateSolidBrush(Rgb(220, 220, 0)));
  dc.Rectangle(0, 0, 200, 150);
  dc.SaveDC();
  dc.IntersectClipRect(20, 20, 120, 100);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(0, 0, 200)));
  dc.Ellipse(0, 0, 150, 130);
  dc.RestoreDC(-1);
  dc.SaveDC();
  dc.ExtSelectClipRgn({{140, 10, 190, 60}, {140, 90, 190, 140}}, gdi::RGN_COPY);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(200, 0, 0)));
  dc.Rectangle(130, 0, 200, 150);
  dc.RestoreDC(-1);
}

void Transform(RecordingContext& dc) {
  double a = 30 * M_PI / 180;
  dc.SetWorldTransform({std::cos(a), std::sin(a), -std::sin(a), std::cos(a), 100, 20});
  dc.SelectObject(dc.CreateSolidBrush(Rgb(0, 120, 200)));
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.Rectangle(0, 0, 80, 50);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(200, 100, 0)));
  dc.Polygon({{-60, 40}, {-10, 40}, {-10, 90}, {-60, 90}});
}

void Mapping(RecordingContext& dc) {
  dc.SetMapMode(gdi::MM_ANISOTROPIC);
  dc.SetWindowExtEx(1000, 1000);
  dc.SetViewportExtEx(200, 150);
  dc.SetWindowOrgEx(0, 0);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(100, 0, 100)));
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.Rectangle(100, 100, 500, 500);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(0, 180, 80)));
  dc.Ellipse(550, 200, 950, 900);
}

void Raster(RecordingContext& dc) {
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.SelectObject(dc.CreateSolidBrush(Rgb(0, 0, 0)));
  dc.Rectangle(0, 0, 100, 150);
  dc.SelectObject(dc.CreateSolidBrush(Rgb(255, 128, 0)));
  dc.SetROP2(gdi::R2_XORPEN);
  dc.Polygon({{20, 20}, {180, 40}, {60, 130}});
  dc.SetROP2(gdi::R2_COPYPEN);
  dc.BitBlt(120, 100, 60, 40, nullptr, 0, 0, gdi::DSTINVERT);
}

void Photo(RecordingContext& dc) {
  dc.FillRectangle({0, 0, kWidth, kHeight}, Rgb(30, 30, 30));
  gdi::Picture photo;
  photo.width = 160;
  photo.height = 120;
  for (int y = 0; y < photo.height; ++y)
    for (int x = 0; x < photo.width; ++x)
      photo.pixels.push_back(0xFF000000u | std::uint32_t(x * 255 / 159) << 16 | std::uint32_t(y * 255 / 119) << 8 |
                             std::uint32_t(((x / 20 + y / 20) % 2) * 200));
  dc.DrawPicture(photo, {25, 20, 175, 130});
}

void HatchesAndDashes(RecordingContext& dc) {
  dc.SetBkColor(Rgb(255, 255, 200));
  dc.SelectObject(dc.CreateHatchBrush(gdi::HS_DIAGCROSS, Rgb(0, 0, 160)));
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.Rectangle(10, 10, 90, 90);
  dc.SelectObject(dc.CreatePen(gdi::PS_DASH, 1, Rgb(160, 0, 0)));
  dc.SelectObject(gdi::StockObject(gdi::NULL_BRUSH));
  dc.Rectangle(110, 10, 190, 90);
  dc.SetPixelV(150, 120, Rgb(0, 0, 0));
  dc.FillRgn({{10, 100, 60, 140}, {60, 120, 100, 140}}, dc.CreateSolidBrush(Rgb(0, 140, 0)));
}

void Gradient(RecordingContext& dc) {
  std::vector<gdi::TriVertex> v = {{10, 10, 0xFF00, 0, 0, 0}, {190, 70, 0, 0, 0xFF00, 0}};
  dc.GradientFill(v, {0, 1}, gdi::GRADIENT_FILL_RECT_H);
  std::vector<gdi::TriVertex> w = {{10, 80, 0, 0xFF00, 0, 0}, {190, 140, 0xFF00, 0xFF00, 0, 0}};
  dc.GradientFill(w, {0, 1}, gdi::GRADIENT_FILL_RECT_V);
}

void Transfers(RecordingContext& dc) {
  gdi::Picture board;
  board.width = board.height = 8;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) board.pixels.push_back(((x + y) % 2) ? 0xFF2040C0u : 0xFFF0E020u);
  gdi::Dib source = gdi::MakeDib(board);
  dc.SelectObject(gdi::StockObject(gdi::NULL_PEN));
  dc.SelectObject(dc.CreateSolidBrush(Rgb(200, 60, 60)));
  dc.Rectangle(0, 80, 200, 150);
  dc.StretchBlt(10, 10, 80, 60, &source, 0, 0, 8, 8, gdi::SRCCOPY);
  // A masked transfer: the board shows where the diamond mask is set.
  std::vector<std::uint8_t> rows;
  for (int y = 0; y < 8; ++y) {
    std::uint8_t bits = 0;
    for (int x = 0; x < 8; ++x)
      if (std::abs(x - 3.5) + std::abs(y - 3.5) < 4) bits |= std::uint8_t(0x80 >> x);
    rows.push_back(bits);
  }
  gdi::Dib mask = gdi::MakeMonoDib(8, 8, rows);
  dc.MaskBlt(110, 10, 8, 8, source, 0, 0, mask, 0, 0, 0xAACC0020u);
  dc.StretchBlt(130, 10, 60, 60, &source, 0, 0, 8, 8, gdi::SRCAND);
  gdi::Picture glass;
  glass.width = glass.height = 4;
  glass.pixels.assign(16, 0x80004000u);  // half-transparent dark green, premultiplied
  gdi::BlendFunction blend;
  blend.AlphaFormat = gdi::AC_SRC_ALPHA;
  dc.AlphaBlend(20, 90, 160, 50, gdi::MakeDib(glass, 32), 0, 0, 4, 4, blend);
}

const Case kCases[] = {
    {"shapes", Shapes},       {"arcs", Arcs},       {"beziers_paths", BeziersAndPaths},
    {"clipping", Clipping},   {"transform", Transform}, {"mapping", Mapping},
    {"raster", Raster},       {"photo", Photo},     {"hatches_dashes", HatchesAndDashes},
    {"gradient", Gradient},   {"transfers", Transfers},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: canvas_player_movies OUTPUT_FOLDER\n");
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

      // The same drawing on its own work bitmap of the movie's size.
      gdi::RecordingContext dc(gdi::Rect{0, 0, 5292, 3969});
      c.draw(dc);
      std::vector<std::uint8_t> bytes = dc.Close();
      gdi::MetafileRecords mf(bytes.data(), bytes.size(), c.name);
      gdi::PlaybackDevice device;
      device.Begin(mf.Header(), kWidth, kHeight, {0, 0, kWidth, kHeight}, 0xFFFFFF);
      device.PlayAll(mf);
      std::vector<std::uint8_t> bgr = device.GetPixels({0, 0, kWidth, kHeight});
      std::string ppm = "P6\n" + std::to_string(kWidth) + " " + std::to_string(kHeight) + "\n255\n";
      for (std::size_t i = 0; i + 2 < bgr.size(); i += 3) {
        ppm += char(bgr[i + 2]);
        ppm += char(bgr[i + 1]);
        ppm += char(bgr[i]);
      }
      WriteFileAtomically(folder + "/" + c.name + ".ppm", ppm);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "canvas_player_movies: %s\n", e.what());
    return 1;
  }
  return 0;
}
