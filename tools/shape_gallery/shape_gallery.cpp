// shape-gallery: writes a one-frame movie that shows what the movie builder
// draws: every figure of the edges pen, solid and gradient fills, dashed
// outlines, a masked sprite and placements that translate, scale, rotate and
// colour-transform. It doubles as a walk through the builder API.
//
//   shape-gallery OUTPUT.swf
//
// The stage is 640 x 500 pixels: a grid of 4 x 5 cells of 160 x 100 pixels,
// one figure per cell, on a white background.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"

namespace {

using namespace yel::swf;

// Builder colours are packed red | green << 8 | blue << 16.
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) { return r | g << 8 | b << 16; }

constexpr std::uint32_t kRed = Rgb(220, 30, 30);
constexpr std::uint32_t kGreen = Rgb(0, 160, 0);
constexpr std::uint32_t kBlue = Rgb(30, 60, 220);
constexpr std::uint32_t kOrange = Rgb(255, 140, 0);
constexpr std::uint32_t kPurple = Rgb(130, 40, 160);
constexpr std::uint32_t kTeal = Rgb(0, 130, 130);
constexpr std::uint32_t kGold = Rgb(230, 180, 0);
constexpr std::uint32_t kMagenta = Rgb(220, 0, 180);
constexpr std::uint32_t kBrown = Rgb(140, 80, 30);
constexpr std::uint32_t kCyan = Rgb(0, 190, 220);
constexpr std::uint32_t kNavy = Rgb(20, 20, 120);
constexpr std::uint32_t kYellow = Rgb(255, 240, 150);
constexpr std::uint32_t kGrey = Rgb(128, 128, 128);
constexpr std::uint32_t kOpaque = 0xFF000000u;

class Gallery {
 public:
  Gallery() : movie_(0, 0, 640, 500, 12, TSWFSystemCoord::Pix) {
    movie_.SetVersion(8);
    movie_.SetCompressed(true);
    movie_.BackgroundColor().SetRGB(Rgb(255, 255, 255));
  }

  void Build() {
    BasicFigures();
    ArcsAndStars();
    CurvesByHand();
    Gradients();
    DashesMasksAndColour();
    movie_.ShowFrame();
  }

  void Save(const std::string& file) {
    movie_.MakeStream();
    movie_.SaveToFile(file);
  }

 private:
  // Shows a shape at the next depth, where it was drawn.
  TFlashPlaceObject* Show(TFlashShape* shape) { return movie_.PlaceObject(shape, ++depth_); }

  // A shape drawn with its own pen: the caller draws, this closes the path,
  // takes the bounds from it and fills it.
  template <class Draw>
  TFlashShape* Filled(std::uint32_t color, Draw draw) {
    TFlashShape* shape = movie_.AddShape();
    draw(shape->Edges());
    shape->Edges().EndEdges();
    shape->CalcBounds();
    shape->SetSolidColor(color);
    return shape;
  }

  // Row 0: the rectangle, rounded rectangle, ellipse and diamond.
  void BasicFigures() {
    // The movie builds rectangles (and ellipses, lines, cubic curves) itself.
    TFlashShape* rectangle = movie_.AddRectangle(20, 15, 140, 85);
    rectangle->SetSolidColor(kRed);
    Show(rectangle);

    Show(Filled(kGreen, [](TFlashEdges& pen) {
      pen.MoveTo(180, 15);
      pen.MakeRoundRect(120, 70, 20, 20);
    }));

    // An ellipse drawn half size around the origin, placed scaled by 2.
    TFlashShape* ellipse = movie_.AddEllipse(-30, -17, 30, 18);
    ellipse->SetSolidColor(kBlue);
    TFlashPlaceObject* scaled = Show(ellipse);
    scaled->SetScale(2, 2);
    scaled->SetTranslate(400, 50);

    Show(Filled(kOrange, [](TFlashEdges& pen) {
      pen.MoveTo(540, 15);  // the top vertex
      pen.MakeDiamond(120, 70);
    }));
  }

  // Row 1: pie, closed arc and two stars.
  void ArcsAndStars() {
    Show(Filled(kPurple, [](TFlashEdges& pen) {
      pen.MoveTo(80, 150);  // the centre
      pen.MakePie(40, 0, 270);  // clockwise: the top-right quarter stays open
    }));

    Show(Filled(kTeal, [](TFlashEdges& pen) {
      // The upper half of an ellipse, closed by its chord.
      pen.MakeArc(240, 160, 55, 40, 180, 360, true, true);
    }));

    // A star drawn around the origin, placed turned upside down.
    TFlashPlaceObject* turned = Show(Filled(kGold, [](TFlashEdges& pen) { pen.MakeStar(0, 0, 45, 18, 5, false); }));
    turned->SetTranslate(400, 150);
    turned->SetRotate(180);

    Show(Filled(kMagenta, [](TFlashEdges& pen) { pen.MakeStar(560, 150, 45, 25, 8, true); }));
  }

  // Row 2: a cubic Bézier, a poly-Bézier, lines and a curve, mirroring.
  void CurvesByHand() {
    Show(Filled(kNavy, [](TFlashEdges& pen) {
      pen.MoveTo(20, 285);
      pen.MakeCubicBezier({20, 195}, {140, 195}, {140, 285});
      pen.CloseShape();
    }));

    Show(Filled(kCyan, [](TFlashEdges& pen) {
      // A rounded blob of four cubics; the first point is the start.
      pen.MakePolyBezier({{180, 250},
                          {180, 225}, {210, 210}, {240, 210},
                          {270, 210}, {300, 225}, {300, 250},
                          {300, 275}, {270, 290}, {240, 290},
                          {210, 290}, {180, 275}, {180, 250}});
    }));

    Show(Filled(kBrown, [](TFlashEdges& pen) {
      // A house: walls with lines, the roof with one quadratic curve.
      pen.MoveTo(350, 285);
      pen.LineTo(350, 240);
      pen.CurveTo(400, 190, 450, 240);
      pen.LineTo(450, 285);
      pen.CloseShape();
    }));

    Show(Filled(kPurple, [](TFlashEdges& pen) {
      // A right triangle pointing right and up from the origin, mirrored to
      // point left, then moved into its cell.
      pen.LineTo(60, 0);
      pen.LineTo(0, -60);
      pen.CloseShape();
      pen.MakeMirror(true, false);
      pen.OffsetEdges(590, 280);
    }));
  }

  // Row 3: linear and radial gradients, and a plain line.
  void Gradients() {
    TFlashShape* linear = movie_.AddRectangle(10, 315, 150, 385);
    linear->SetLinearGradient(kRed | kOpaque, kBlue | kOpaque, 0);
    Show(linear);

    TFlashShape* radial = movie_.AddEllipse(180, 305, 300, 395);
    radial->SetRadialGradient(Rgb(255, 255, 255) | kOpaque, Rgb(0, 0, 0) | kOpaque, 50, 50);
    Show(radial);

    // Three colours at 90 degrees: the first at the bottom, the last on top.
    TFlashShape* vertical = movie_.AddRectangle(340, 305, 460, 395);
    vertical->SetLinearGradient({kRed | kOpaque, kGreen | kOpaque, kBlue | kOpaque}, 90);
    Show(vertical);

    TFlashShape* line = movie_.AddLine(490, 310, 630, 390);
    line->SetLineStyle(4, Rgb(0, 0, 0));
    Show(line);
  }

  // Row 4: dashed outlines, a masked sprite and a colour transform.
  void DashesMasksAndColour() {
    // Outline only, 10-pixel dashes with transparent 10-pixel gaps.
    TFlashShape* dashed = movie_.AddRectangle(20, 420, 140, 480);
    dashed->SetLineStyle(4, kNavy);
    dashed->DashStyle().SetPattern({10, 10});
    Show(dashed);

    // Filled, with the gaps drawn in green.
    TFlashShape* coloured = movie_.AddRectangle(180, 420, 300, 480);
    coloured->SetSolidColor(kYellow);
    coloured->SetLineStyle(4, kRed);
    coloured->DashStyle().SetPattern({10, 10});
    coloured->DashGapColor().SetRGB(kGreen);
    Show(coloured);

    // A red rectangle seen through an elliptic mask.
    TFlashShape* picture = movie_.AddRectangle(330, 410, 470, 490);
    picture->SetSolidColor(kRed);
    TFlashShape* mask = movie_.AddEllipse(360, 415, 440, 485);
    mask->SetSolidColor(kGrey);
    movie_.PlaceObject(picture, mask, ++depth_);

    // A grey square drawn around the origin, placed at its cell and tinted:
    // red and green replaced, blue kept.
    TFlashShape* grey = movie_.AddRectangle(-60, -35, 60, 35);
    grey->SetSolidColor(kGrey);
    TFlashPlaceObject* tinted = Show(grey);
    tinted->SetTranslate(560, 450);
    TSWFColorTransform& cx = tinted->ColorTransform();
    cx.SetMultR(0);
    cx.SetAddR(200);
    cx.SetMultG(0);
    cx.SetAddG(50);
  }

  TFlashMovie movie_;
  std::uint16_t depth_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fprintf(stderr, "usage: shape-gallery OUTPUT.swf\n");
    return argc == 2 ? 0 : 2;
  }
  try {
    Gallery gallery;
    gallery.Build();
    gallery.Save(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "shape-gallery: %s\n", error.what());
    return 1;
  }
  return 0;
}
