// The designs of the installed templates, loading bars and theme-editor
// resources. Frames are drawn around the photo rectangle's corner (0, 0):
// outward as far as the design wants, inward at least 6 pixels, so that they
// cover the band of the photo that the overlay's window leaves to the
// background.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "tools/theme_content/content.h"

namespace yel::content {
namespace {

using Points = std::vector<std::pair<double, double>>;

// A small deterministic generator for scattered texture details.
class TScatter {
 public:
  explicit TScatter(std::uint32_t seed) : state_(seed) {}
  double Next() {  // 0 <= value < 1
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0;
  }

 private:
  std::uint32_t state_;
};

// A rectangle turned by `degrees` around its centre.
TPath TurnedRect(double cx, double cy, double w, double h, double degrees) {
  const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
  Points corners;
  for (auto [u, v] : Points{{-w / 2, -h / 2}, {w / 2, -h / 2}, {w / 2, h / 2}, {-w / 2, h / 2}})
    corners.emplace_back(cx + u * c - v * s, cy + u * s + v * c);
  return TPath().Polygon(corners);
}

// A ring between two round rectangles.
TPath RoundRing(double x, double y, double w, double h, double r, double thickness) {
  return TPath().RoundRect(x, y, w, h, r).RoundRect(x + thickness, y + thickness, w - 2 * thickness,
                                                    h - 2 * thickness, std::max(0.0, r - thickness));
}

// --- decorative pieces shared by templates and resources

TDrawing Rosette() {
  TDrawing d(44, 44);
  d.Add(TPaint::Solid(Rgba(0, 0, 0, 70)), TPath().Circle(23.5, 24, 20));
  d.Add(TPaint::Solid(Rgba(122, 90, 34)), TPath().Circle(22, 22, 20));
  d.Add(TPaint::Radial({Rgba(255, 240, 190), Rgba(214, 172, 80), Rgba(150, 110, 40)}, 40, 35),
        TPath().Star(22, 22, 19, 9, 8));
  d.Add(TPaint::Solid(Rgba(90, 60, 20)), TPath().Circle(22, 22, 5));
  d.Add(TPaint::Solid(Rgba(250, 230, 170)), TPath().Circle(21, 21, 2));
  return d;
}

TDrawing Heart() {
  TDrawing d(48, 42);
  d.Add(TPaint::Solid(Rgba(120, 30, 50, 60)), TPath().Heart(3, 4, 45, 38));
  d.Add(TPaint::Radial({Rgba(246, 120, 140), Rgba(200, 40, 72)}, 35, 30), TPath().Heart(0, 0, 45, 38));
  d.Add(TPaint::Solid(Rgba(255, 255, 255, 110)), TPath().Ellipse(8, 6, 10, 7));
  return d;
}

TDrawing Rings() {
  TDrawing d(90, 60);
  auto ring = [](double cx, double cy) { return TPath().Circle(cx, cy, 24).Circle(cx, cy, 19); };
  d.Add(TPaint::Solid(Rgba(90, 60, 20, 60)), ring(34, 33).Append(ring(58, 33)));
  d.Add(TPaint::Linear({Rgba(250, 226, 150), Rgba(196, 150, 60), Rgba(245, 215, 130)}, 90), ring(32, 30));
  d.Add(TPaint::Linear({Rgba(235, 235, 240), Rgba(160, 160, 172), Rgba(230, 230, 236)}, 90), ring(56, 30));
  // The gold ring passes in front of the silver one at its lower crossing.
  d.Add(TPaint::Solid(Rgba(214, 174, 88)), TurnedRect(49.5, 47, 6, 8, -40));
  return d;
}

TDrawing Plane() {
  TDrawing d(96, 64);
  const TPath body = TPath().Polygon({{4, 40}, {14, 34}, {70, 22}, {86, 16}, {93, 17}, {90, 24}, {76, 32},
                                      {22, 46}, {10, 47}});
  const TPath wing = TPath().Polygon({{36, 33}, {52, 29}, {40, 60}, {32, 61}});
  const TPath tail = TPath().Polygon({{14, 34}, {22, 33}, {14, 20}, {8, 20}});
  const TPath upper = TPath().Polygon({{44, 27}, {58, 24}, {58, 8}, {52, 7}});
  d.Add(TPaint::Solid(Rgba(20, 40, 80, 50)), TPath().Append(body, 2, 3).Append(wing, 2, 3));
  d.Add(TPaint::Solid(Rgba(42, 79, 154)), upper);
  d.Add(TPaint::Solid(Rgba(42, 79, 154)), tail);
  d.Add(TPaint::Linear({Rgba(90, 130, 200), Rgba(42, 79, 154)}, 90), body);
  d.Add(TPaint::Solid(Rgba(30, 60, 125)), wing);
  return d;
}

TDrawing Postmark() {
  TDrawing d(110, 110);
  const std::uint32_t ink = Rgba(60, 60, 70, 170);
  d.Add(TPaint::Solid(ink), TPath().Circle(38, 55, 34).Circle(38, 55, 31.5).Circle(38, 55, 23).Circle(38, 55, 21));
  // Cancellation lines: bands 2.5 pixels thick along a sine wave.
  TPath waves;
  for (int i = 0; i < 4; ++i) {
    const double y = 38 + i * 12;
    Points band;
    for (int x = 76; x <= 108; x += 2) band.emplace_back(x, y + 3 * std::sin((x - 76) * std::numbers::pi / 12));
    for (int x = 108; x >= 76; x -= 2) band.emplace_back(x, y + 2.5 + 3 * std::sin((x - 76) * std::numbers::pi / 12));
    waves.Polygon(band);
  }
  d.Add(TPaint::Solid(ink), waves);
  d.Add(TPaint::Solid(ink), TPath().Star(38, 55, 10, 4.5, 5));
  return d;
}

TDrawing Compass() {
  TDrawing d(70, 70);
  d.Add(TPaint::Solid(Rgba(255, 255, 255, 150)), TPath().Circle(35, 35, 33));
  d.Add(TPaint::Solid(Rgba(42, 79, 154)), TPath().Circle(35, 35, 33).Circle(35, 35, 31));
  d.Add(TPaint::Solid(Rgba(120, 140, 170)), TPath().Star(35, 35, 24, 6, 4, 45));
  d.Add(TPaint::Solid(Rgba(200, 50, 60)), TPath().Polygon({{35, 4}, {40, 35}, {30, 35}}));
  d.Add(TPaint::Solid(Rgba(42, 79, 154)), TPath().Polygon({{35, 66}, {30, 35}, {40, 35}}));
  d.Add(TPaint::Solid(Rgba(42, 79, 154)), TPath().Polygon({{4, 35}, {35, 30}, {35, 40}}).Polygon({{66, 35}, {35, 40}, {35, 30}}));
  d.Add(TPaint::Solid(Rgba(250, 250, 250)), TPath().Circle(35, 35, 3));
  return d;
}

TDrawing Reel() {
  TDrawing d(64, 64);
  TPath disc = TPath().Circle(32, 32, 30);
  for (int i = 0; i < 5; ++i) {
    const double a = (-90 + 72 * i) * std::numbers::pi / 180;
    disc.Circle(32 + 17 * std::cos(a), 32 + 17 * std::sin(a), 8);
  }
  disc.Circle(32, 32, 4);
  d.Add(TPaint::Radial({Rgba(220, 222, 228), Rgba(140, 142, 150)}, 40, 40), disc);
  d.Add(TPaint::Solid(Rgba(90, 92, 100)), TPath().Circle(32, 32, 30).Circle(32, 32, 28));
  return d;
}

TDrawing Clapper() {
  TDrawing d(64, 56);
  d.Add(TPaint::Solid(Rgba(60, 62, 70)), TPath().Rect(4, 20, 56, 34));
  d.Add(TPaint::Solid(Rgba(235, 235, 235)), TPath().Rect(8, 30, 48, 2).Rect(8, 38, 30, 2).Rect(8, 46, 40, 2));
  const TPath top = TPath().Polygon({{4, 14}, {58, 2}, {60, 10}, {6, 22}});
  d.Add(TPaint::Solid(Rgba(30, 30, 34)), top);
  TPath stripes;
  for (int i = 0; i < 4; ++i) {
    const double x = 10 + i * 13;
    stripes.Polygon({{x, 13 - i * 2.9}, {x + 6, 11.7 - i * 2.9}, {x + 9, 19.7 - i * 2.9}, {x + 3, 21 - i * 2.9}});
  }
  d.Add(TPaint::Solid(Rgba(240, 240, 240)), stripes);
  return d;
}

TDrawing Tape(double degrees) {
  TDrawing d(100, 50);
  d.Add(TPaint::Solid(Rgba(243, 235, 200, 190)), TurnedRect(50, 25, 88, 24, degrees));
  d.Add(TPaint::Solid(Rgba(255, 255, 255, 60)), TurnedRect(50, 22, 80, 6, degrees));
  return d;
}

TDrawing DotGrid() {
  TDrawing d(42, 60);
  TPath dots;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c) dots.Circle(3 + c * 18, 3 + r * 18, 3);
  d.Add(TPaint::Solid(Rgba(43, 43, 43)), dots);
  return d;
}

TDrawing StarBurst() {
  TDrawing d(60, 60);
  d.Add(TPaint::Radial({Rgba(255, 250, 200), Rgba(250, 200, 60)}, 50, 45), TPath().Star(30, 31, 28, 12, 5));
  d.Add(TPaint::Solid(Rgba(255, 255, 255, 120)), TPath().Star(27, 27, 9, 4, 5));
  return d;
}

TDrawing Moon() {
  TDrawing d(90, 90);
  d.Add(TPaint::Radial({Rgba(255, 250, 225), Rgba(240, 220, 150)}, 35, 40), TPath().Crescent(40, 45, 32, 22));
  d.Add(TPaint::Solid(Rgba(225, 200, 130, 120)), TPath().Circle(24, 40, 4).Circle(30, 62, 3));
  return d;
}

TDrawing Twinkles() {
  TDrawing d(70, 60);
  d.Add(TPaint::Solid(Rgba(255, 250, 220)), TPath().Star(24, 26, 20, 4, 4));
  d.Add(TPaint::Solid(Rgba(255, 240, 190)), TPath().Star(54, 12, 10, 2.5, 4).Star(56, 46, 8, 2, 4));
  return d;
}

// --- backgrounds (1600 × 1200, covering the album sizes users pick)

TDrawing Cork() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Solid(Rgba(190, 145, 98)), TPath().Rect(0, 0, 1600, 1200));
  TScatter random(7);
  TPath dark, light;
  for (int i = 0; i < 1800; ++i) {
    const double x = random.Next() * 1600, y = random.Next() * 1200, s = 2 + random.Next() * 4;
    (i % 3 == 0 ? light : dark).Ellipse(x, y, s, s * (0.6 + random.Next() * 0.6));
  }
  d.Add(TPaint::Solid(Rgba(140, 98, 56, 170)), dark);
  d.Add(TPaint::Solid(Rgba(222, 184, 134, 160)), light);
  return d;
}

TDrawing HeartPattern() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Solid(Rgba(248, 232, 234)), TPath().Rect(0, 0, 1600, 1200));
  TPath hearts, dots;
  for (int row = 0; row * 60 < 1200; ++row)
    for (int col = 0; col * 60 < 1600; ++col) {
      const double x = col * 60 + (row % 2) * 30, y = row * 60;
      hearts.Heart(x + 21, y + 22, 18, 16);
      dots.Circle(x + 51, y + 52, 2);
    }
  d.Add(TPaint::Solid(Rgba(240, 200, 208)), hearts);
  d.Add(TPaint::Solid(Rgba(232, 210, 170)), dots);
  return d;
}

TDrawing Linen() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Solid(Rgba(233, 226, 212)), TPath().Rect(0, 0, 1600, 1200));
  TPath across, down;
  for (int y = 0; y < 1200; y += 6) across.Rect(0, y, 1600, 1.5);
  for (int x = 0; x < 1600; x += 6) down.Rect(x, 0, 1.5, 1200);
  d.Add(TPaint::Solid(Rgba(205, 196, 178, 120)), across);
  d.Add(TPaint::Solid(Rgba(215, 206, 190, 110)), down);
  return d;
}

TDrawing PolkaDots() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Solid(Rgba(36, 64, 96)), TPath().Rect(0, 0, 1600, 1200));
  TPath dots;
  for (int row = 0; row * 40 < 1200; ++row)
    for (int col = 0; col * 40 < 1600; ++col) dots.Circle(col * 40 + (row % 2) * 20 + 10, row * 40 + 20, 5);
  d.Add(TPaint::Solid(Rgba(250, 250, 240, 90)), dots);
  return d;
}

TDrawing Sky() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Linear({Rgba(240, 248, 255), Rgba(120, 180, 230)}, 90), TPath().Rect(0, 0, 1600, 1200));
  TScatter random(11);
  TPath clouds;
  for (int i = 0; i < 40; ++i) {
    const double x = random.Next() * 1600, y = random.Next() * 1200, s = 30 + random.Next() * 50;
    clouds.Ellipse(x, y, s * 2.4, s).Ellipse(x + s * 0.6, y - s * 0.45, s * 1.3, s);
  }
  d.Add(TPaint::Solid(Rgba(255, 255, 255, 90)), clouds);
  return d;
}

TDrawing StarrySky() {
  TDrawing d(1600, 1200);
  d.Add(TPaint::Solid(Rgba(16, 24, 52)), TPath().Rect(0, 0, 1600, 1200));
  TScatter random(23);
  // Faint clouds of the milky way, each fading out at its edge.
  for (int i = 0; i < 10; ++i) {
    const double x = random.Next() * 1600, y = random.Next() * 1200, s = 200 + random.Next() * 250;
    d.Add(TPaint::Radial({Rgba(70, 90, 150, 70), Rgba(70, 90, 150, 0)}), TPath().Ellipse(x - s, y - s * 0.6, 2 * s, 1.2 * s));
  }
  TPath small, bright;
  for (int i = 0; i < 900; ++i) small.Circle(random.Next() * 1600, random.Next() * 1200, 0.6 + random.Next() * 1.1);
  for (int i = 0; i < 70; ++i) {
    const double x = random.Next() * 1600, y = random.Next() * 1200, r = 4 + random.Next() * 4;
    bright.Star(x, y, r, r / 4, 4);
  }
  d.Add(TPaint::Solid(Rgba(220, 226, 255, 190)), small);
  d.Add(TPaint::Solid(Rgba(255, 248, 220)), bright);
  return d;
}

// --- photo frames drawn inside their box, for the theme editor

TDrawing GoldFrame(double w, double h) {
  TDrawing d(w, h);
  d.Add(TPaint::Solid(Rgba(122, 90, 34)), TPath().Frame(0, 0, w, h, 28));
  d.Add(TPaint::Linear({Rgba(243, 217, 138), Rgba(196, 154, 69), Rgba(240, 210, 126)}, 90),
        TPath().Frame(4, 4, w - 8, h - 8, 14));
  d.Add(TPaint::Solid(Rgba(212, 176, 96)), TPath().Frame(20, 20, w - 40, h - 40, 6));
  d.Add(TPaint::Solid(Rgba(62, 44, 16)), TPath().Frame(25, 25, w - 50, h - 50, 3));
  return d;
}

TDrawing MatFrame(double w, double h, std::uint32_t colour, std::uint32_t line) {
  TDrawing d(w, h);
  d.Add(TPaint::Solid(colour), TPath().Frame(0, 0, w, h, 24));
  d.Add(TPaint::Solid(line), TPath().Frame(20, 20, w - 40, h - 40, 4));
  return d;
}

}  // namespace

std::vector<TTemplateDesign> TemplateDesigns() {
  std::vector<TTemplateDesign> all;

  {  // A gilded moulding on burgundy with rosettes at its corners.
    TTemplateDesign t{"Classic", 1, Rgba(92, 26, 34) & 0xFFFFFF, {}, 90, 54, 540, 405, "Gilded moulding", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(0, 0, 0, 90)), TPath().Rect(-21, -20, w + 52, h + 52).Rect(8, 8, w - 16, h - 16));
    f.Add(TPaint::Solid(Rgba(122, 90, 34)), TPath().Frame(-26, -26, w + 52, h + 52, 34));
    f.Add(TPaint::Solid(Rgba(245, 226, 168)), TPath().Frame(-26, -26, w + 52, h + 52, 2));
    f.Add(TPaint::Linear({Rgba(243, 217, 138), Rgba(196, 154, 69), Rgba(240, 210, 126)}, 90),
          TPath().Frame(-22, -22, w + 44, h + 44, 14));
    f.Add(TPaint::Solid(Rgba(212, 176, 96)), TPath().Frame(-4, -4, w + 8, h + 8, 12));
    f.Add(TPaint::Solid(Rgba(62, 44, 16)), TPath().Frame(5, 5, w - 10, h - 10, 3));
    const TDrawing rosette = Rosette();
    for (auto [x, y] : Points{{53, 17}, {623, 17}, {53, 452}, {623, 452}})
      t.Shapes.push_back({"Rosette.swf", rosette, x, y, 44, 44});
    all.push_back(std::move(t));
  }

  {  // An instant print taped to a cork board.
    TTemplateDesign t{"Polaroid", 2, Rgba(190, 145, 98) & 0xFFFFFF, Cork(), 126, 54, 480, 360, "Instant print", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(40, 20, 0, 80)), TPath().Rect(-13, -11, w + 36, h + 96).Rect(6, 6, w - 12, h - 12));
    f.Add(TPaint::Solid(Rgba(251, 251, 247)), TPath().Rect(-18, -18, w + 36, h + 96).Rect(6, 6, w - 12, h - 12));
    f.Add(TPaint::Solid(Rgba(226, 226, 220)), TPath().Frame(4, 4, w - 8, h - 8, 2));
    t.Shapes.push_back({"TapeLeft.swf", Tape(-32), 66, 19, 100, 50});
    t.Shapes.push_back({"TapeRight.swf", Tape(32), 566, 19, 100, 50});
    t.Shapes.push_back({"Heart.swf", Heart(), 548, 436, 36, 32});
    all.push_back(std::move(t));
  }

  {  // A strip of film on a light box.
    TTemplateDesign t{"Filmstrip", 1, Rgba(228, 228, 224) & 0xFFFFFF, {}, 100, 75, 520, 390, "Film", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    // The strip runs on well past the album's edges, so that it crosses
    // larger albums too.
    f.Add(TPaint::Solid(Rgba(22, 22, 26)), TPath().Rect(-1000, -50, w + 2000, h + 100).Rect(6, 6, w - 12, h - 12));
    TPath holes;
    for (double x = -1000 + 6; x + 14 <= w + 1000; x += 28) {
      holes.RoundRect(x, -40, 14, 18, 3);
      holes.RoundRect(x, h + 22, 14, 18, 3);
    }
    f.Add(TPaint::Solid(Rgba(228, 228, 224)), holes);
    f.Add(TPaint::Solid(Rgba(58, 58, 64)), TPath().Frame(4, 4, w - 8, h - 8, 2));
    t.Shapes.push_back({"Reel.swf", Reel(), 18, 238, 64, 64});
    t.Shapes.push_back({"Clapper.swf", Clapper(), 638, 242, 64, 56});
    all.push_back(std::move(t));
  }

  {  // A white mat and a hairline, with quiet accents on the right.
    TTemplateDesign t{"Modern", 1, Rgba(242, 241, 238) & 0xFFFFFF, {}, 36, 81, 504, 378, "Mat", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(0, 0, 0, 40)), TPath().Rect(-7, -5, w + 20, h + 20).Rect(6, 6, w - 12, h - 12));
    f.Add(TPaint::Solid(Rgba(255, 255, 255)), TPath().Rect(-10, -10, w + 20, h + 20).Rect(6, 6, w - 12, h - 12));
    f.Add(TPaint::Solid(Rgba(43, 43, 43)), TPath().Frame(-10, -10, w + 20, h + 20, 1.5));
    TDrawing bar(10, 378);
    bar.Add(TPaint::Solid(Rgba(31, 138, 138)), TPath().Rect(0, 0, 10, 378));
    TDrawing dot(72, 72);
    dot.Add(TPaint::Solid(Rgba(232, 115, 90)), TPath().Circle(36, 36, 36));
    t.Shapes.push_back({"Bar.swf", bar, 570, 81, 10, 378});
    t.Shapes.push_back({"Dots.swf", DotGrid(), 606, 91, 42, 60});
    t.Shapes.push_back({"Circle.swf", dot, 606, 387, 72, 72});
    all.push_back(std::move(t));
  }

  {  // A rounded white mat with gold lines on a field of hearts.
    TTemplateDesign t{"Wedding", 2, Rgba(248, 232, 234) & 0xFFFFFF, HeartPattern(), 144, 81, 432, 324, "Gold mat",
                      {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(138, 90, 96, 50)),
          TPath().RoundRect(-21, -19, w + 48, h + 48, 18).RoundRect(8, 8, w - 16, h - 16, 14));
    f.Add(TPaint::Solid(Rgba(255, 253, 251)),
          TPath().RoundRect(-24, -24, w + 48, h + 48, 18).RoundRect(8, 8, w - 16, h - 16, 14));
    f.Add(TPaint::Solid(Rgba(201, 165, 90)), RoundRing(-18, -18, w + 36, h + 36, 14, 2));
    f.Add(TPaint::Solid(Rgba(212, 178, 106)),
          TPath().RoundRect(5, 5, w - 10, h - 10, 16).RoundRect(8, 8, w - 16, h - 16, 14));
    const TDrawing heart = Heart();
    t.Shapes.push_back({"Heart.swf", heart, 100, 39, 48, 42});
    t.Shapes.push_back({"Heart.swf", heart, 572, 39, 48, 42});
    t.Shapes.push_back({"Rings.swf", Rings(), 315, 391, 90, 60});
    all.push_back(std::move(t));
  }

  {  // A postage stamp with an airmail border, a postmark, a plane and a compass.
    const std::uint32_t sky = Rgba(191, 217, 232);
    TTemplateDesign t{"Travel", 1, sky & 0xFFFFFF, {}, 108, 54, 504, 378, "Stamp", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(20, 40, 60, 60)), TPath().Rect(-18, -16, w + 44, h + 44).Rect(6, 6, w - 12, h - 12));
    f.Add(TPaint::Solid(Rgba(255, 254, 248)), TPath().Rect(-22, -22, w + 44, h + 44).Rect(6, 6, w - 12, h - 12));
    TPath perforation;
    for (double x = -22 + 8; x < w + 22; x += 16) perforation.Circle(x, -22, 5).Circle(x, h + 22, 5);
    for (double y = -22 + 8; y < h + 22; y += 16) perforation.Circle(-22, y, 5).Circle(w + 22, y, 5);
    f.Add(TPaint::Solid(sky), perforation);
    TPath red, blue;
    int n = 0;
    for (double x = -14; x + 16 <= w + 14; x += 16, ++n) {
      TPath& p = n % 2 == 0 ? red : blue;
      p.Polygon({{x + 4, -14}, {x + 14, -14}, {x + 10, -8}, {x, -8}});
      p.Polygon({{x + 4, h + 8}, {x + 14, h + 8}, {x + 10, h + 14}, {x, h + 14}});
    }
    n = 0;
    for (double y = -6; y + 16 <= h + 6; y += 16, ++n) {
      TPath& p = n % 2 == 0 ? blue : red;
      p.Polygon({{-14, y + 4}, {-14, y + 14}, {-8, y + 10}, {-8, y}});
      p.Polygon({{w + 8, y + 4}, {w + 8, y + 14}, {w + 14, y + 10}, {w + 14, y}});
    }
    f.Add(TPaint::Solid(Rgba(200, 50, 60)), red);
    f.Add(TPaint::Solid(Rgba(42, 79, 154)), blue);
    f.Add(TPaint::Solid(Rgba(230, 226, 214)), TPath().Frame(4, 4, w - 8, h - 8, 2));
    t.Shapes.push_back({"Plane.swf", Plane(), 612, 4, 96, 64});
    t.Shapes.push_back({"Postmark.swf", Postmark(), 40, 396, 110, 110});
    t.Shapes.push_back({"Compass.swf", Compass(), 638, 458, 70, 70});
    all.push_back(std::move(t));
  }

  {  // A slim silver frame under a starry sky, with the moon.
    TTemplateDesign t{"Night", 2, Rgba(16, 24, 52) & 0xFFFFFF, StarrySky(), 54, 81, 504, 378, "Silver line", {}, {}};
    const double w = t.Width, h = t.Height;
    TDrawing& f = t.Frame = TDrawing(w, h);
    f.Add(TPaint::Solid(Rgba(0, 0, 0, 90)), TPath().Rect(-12, -10, w + 28, h + 28).Rect(8, 8, w - 16, h - 16));
    f.Add(TPaint::Solid(Rgba(10, 14, 30)), TPath().Rect(-14, -14, w + 28, h + 28).Rect(8, 8, w - 16, h - 16));
    f.Add(TPaint::Linear({Rgba(235, 238, 245), Rgba(150, 156, 170), Rgba(230, 233, 240)}, 90),
          TPath().Frame(-14, -14, w + 28, h + 28, 3));
    f.Add(TPaint::Solid(Rgba(190, 196, 210)), TPath().Frame(4, 4, w - 8, h - 8, 4));
    const TDrawing twinkles = Twinkles();
    t.Shapes.push_back({"Moon.swf", Moon(), 598, 40, 90, 90});
    t.Shapes.push_back({"Twinkles.swf", twinkles, 604, 250, 70, 60});
    t.Shapes.push_back({"Twinkles.swf", twinkles, 16, 12, 35, 30});
    all.push_back(std::move(t));
  }
  return all;
}

std::vector<TLoadingBarDesign> LoadingBarDesigns() {
  // Each bar: the track, and the fill at its full length, which the bar's
  // script uncovers as the album loads; the catalogue picture shows the fill
  // part of the way.
  std::vector<TLoadingBarDesign> all;
  auto add = [&](const char* name, std::uint32_t background, TDrawing track, TDrawing fill, double shown) {
    all.push_back({name, background, std::move(track), std::move(fill), shown});
  };
  {
    TDrawing track(200, 20), fill(200, 20);
    track.Add(TPaint::Solid(Rgba(160, 190, 215)), TPath().RoundRect(0, 0, 200, 20, 10));
    track.Add(TPaint::Solid(Rgba(226, 236, 245)), TPath().RoundRect(1.5, 1.5, 197, 17, 8.5));
    fill.Add(TPaint::Linear({Rgba(31, 111, 178), Rgba(95, 179, 232)}, 90), TPath().RoundRect(3, 3, 194, 14, 7));
    fill.Add(TPaint::Solid(Rgba(255, 255, 255, 90)), TPath().RoundRect(7, 4.5, 186, 4, 2));
    add("Ocean", Rgba(255, 255, 255) & 0xFFFFFF, track, fill, 0.6);
  }
  {
    TDrawing track(200, 20), fill(200, 20);
    TPath dots;
    for (int i = 0; i < 10; ++i) dots.Circle(10 + 20 * i, 10, 7);
    track.Add(TPaint::Solid(Rgba(90, 96, 104)), dots);
    fill.Add(TPaint::Solid(Rgba(242, 140, 40)), dots);
    add("Dots", Rgba(32, 36, 40) & 0xFFFFFF, track, fill, 0.6);
  }
  {
    TDrawing track(200, 20), fill(200, 20);
    track.Add(TPaint::Solid(Rgba(255, 214, 228)), TPath().RoundRect(0, 0, 200, 20, 10));
    fill.Add(TPaint::Solid(Rgba(232, 69, 122)), TPath().RoundRect(0, 0, 200, 20, 10));
    TPath stripes;
    for (double x = 8; x + 14 <= 194; x += 16) stripes.Polygon({{x + 6, 2}, {x + 14, 2}, {x + 8, 18}, {x, 18}});
    fill.Add(TPaint::Solid(Rgba(255, 255, 255, 80)), stripes);
    add("Candy", Rgba(255, 247, 250) & 0xFFFFFF, track, fill, 0.66);
  }
  {
    TDrawing track(200, 20), fill(200, 20);
    track.Add(TPaint::Solid(Rgba(70, 70, 74)), TPath().Rect(0, 9, 200, 2));
    fill.Add(TPaint::Solid(Rgba(255, 255, 255)), TPath().Rect(0, 8, 200, 4));
    add("Slim", Rgba(17, 17, 17) & 0xFFFFFF, track, fill, 0.55);
  }
  return all;
}

std::vector<TResourceGroup> BackgroundResources() {
  return {{"Textures", {{"Cork.swf", Cork()}, {"Linen.swf", Linen()}}},
          {"Patterns", {{"Hearts.swf", HeartPattern()}, {"Polka.swf", PolkaDots()}, {"Sky.swf", Sky()}, {"Stars.swf", StarrySky()}}}};
}

std::vector<TResourceGroup> PhotoFrameResources() {
  return {{"Classic", {{"Gold.swf", GoldFrame(400, 300)}}},
          {"Simple",
           {{"White.swf", MatFrame(400, 300, Rgba(255, 255, 255), Rgba(210, 210, 210))},
            {"Black.swf", MatFrame(400, 300, Rgba(24, 24, 26), Rgba(90, 90, 96))}}}};
}

std::vector<TResourceGroup> AdornmentResources() {
  return {{"Love", {{"Heart.swf", Heart()}, {"Rings.swf", Rings()}}},
          {"Travel", {{"Plane.swf", Plane()}, {"Postmark.swf", Postmark()}, {"Compass.swf", Compass()}}},
          {"Sky", {{"Moon.swf", Moon()}, {"Twinkles.swf", Twinkles()}}},
          {"Ornaments", {{"Rosette.swf", Rosette()}, {"Star.swf", StarBurst()}, {"Reel.swf", Reel()}}}};
}

}  // namespace yel::content
