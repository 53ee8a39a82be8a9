// The transition generators. Every generator computes its per-step sizes
// once (kept as float, as the effect values are defined) and then, for each
// frame, draws its figures into a new red mask shape; figures combine by the
// even-odd rule, so a full rectangle followed by other figures cuts holes
// through which the new slide shows (the holes run against the rectangle, so
// the non-zero rule gives the same holes). "Fade1" instead fades one fixed mask
// with an alpha colour transform.
#include "publish/transition_effects.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "swf/builder/flash_edges.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"

namespace yel::publish {

using swf::TFlashEdges;
using swf::TFlashShape;

std::int32_t RoundEven(double value) {
  if (std::isnan(value)) return 0;
  // nearbyint rounds halves to the even neighbour in the default mode.
  double r = std::nearbyint(value);
  r = std::clamp(r, double(std::numeric_limits<std::int32_t>::min()),
                 double(std::numeric_limits<std::int32_t>::max()));
  return static_cast<std::int32_t>(r);
}

namespace {

constexpr std::uint32_t kMaskRed = 0x0000FF;

std::int32_t CeilInt(double value) { return RoundEven(std::ceil(value)); }
float Single(double value) { return static_cast<float>(value); }

enum Code : std::int32_t {
  Blinds1 = 257, Blinds2 = 258, Circle1 = 513, Circle2 = 514, Box1 = 769, Box2 = 770, Chess1 = 1025,
  Chess2 = 1026, Diamond1 = 1281, Diamond2 = 1282, Fade1 = 1537, Plus1 = 1793, Plus2 = 1794,
  Split1 = 2049, Split2 = 2050, Split3 = 2051, Split4 = 2052, Strips1 = 2305, Strips2 = 2306,
  Strips3 = 2307, Strips4 = 2308, Wedge1 = 4097, Wheel1 = 4353, Wheel2 = 4354, Wheel3 = 4355,
  Wheel4 = 4356, Wheel5 = 4357, Wipe1 = 4609, Wipe2 = 4610, Wipe3 = 4611, Wipe4 = 4612, Pull1 = 4865,
  Pull2 = 4866, Pull3 = 4867, Pull4 = 4868,
};

// The figures of one mask, drawn with the shape's pen. Figures drawn after
// the full rectangle are its holes: they are turned to run against it
// (counter-clockwise on screen), so that players filling masks by the
// non-zero rule open the same holes as those using the even-odd rule.
class Figures {
 public:
  explicit Figures(TFlashEdges& edges) : e_(edges) {}
  // The full rectangle (0, 0, w, h), clockwise; what follows are holes.
  void Full(std::int32_t w, std::int32_t h) {
    const std::size_t mark = e_.Records().size();
    R(0, 0, w, h);
    e_.OrientSubpaths(mark, true);
    holes_ = true;
  }
  // Closed rectangle from (a, b) by c across and d down (either may be
  // negative).
  void R(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    Figure([&] {
      e_.MoveTo(a, b);
      e_.MakeRectangle(c, d);
    });
  }
  void Ellipse(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    Figure([&] {
      e_.MoveTo(a, b);
      e_.MakeEllipse(c, d);
    });
  }
  void Diamond(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    Figure([&] {
      e_.MoveTo(a, b);
      e_.MakeDiamond(c, d);
    });
  }
  void Pie(std::int32_t cx, std::int32_t cy, std::int32_t radius, std::int32_t start, std::int32_t end) {
    Figure([&] {
      e_.MoveTo(cx, cy);
      e_.MakePie(radius, static_cast<float>(start), static_cast<float>(end));
    });
  }

 private:
  template <typename Draw>
  void Figure(Draw draw) {
    const std::size_t mark = e_.Records().size();
    draw();
    if (holes_) e_.OrientSubpaths(mark, false);
  }

  TFlashEdges& e_;
  bool holes_ = false;
};

struct Bounds {
  std::int32_t W, H;
};

class Generator {
 public:
  Generator(const TTransitionParams& p, std::int32_t steps) : p_(p), E(steps), w(p.W), h(p.H) {}

  // Frames t = first..last; `down` hands n = E - t to the figures.
  void Frames(std::int32_t last, bool down, Bounds bounds, const std::function<void(Figures&, std::int32_t)>& draw,
              bool rgba = false) {
    swf::TFlashMovie& movie = *p_.Movie;
    for (std::int32_t t = 0; t <= last; ++t) {
      TFlashShape* mask = movie.AddShape();
      mask->SetShapeBound(0, 0, bounds.W, bounds.H);
      Figures f(mask->Edges());
      draw(f, down ? E - t : t);
      mask->Edges().EndEdges();
      if (rgba)
        mask->SetSolidColorRGBA(0xFF000000u | kMaskRed);
      else
        mask->SetSolidColor(kMaskRed);
      PlaceFrame(mask);
      movie.ShowFrame(1);
    }
    movie.RemoveObject(p_.Depth);
  }
  void Frames(bool down, const std::function<void(Figures&, std::int32_t)>& draw) {
    Frames(E, down, {w, h}, draw);
  }

  // One frame: the outgoing picture masked by `mask` at the depth.
  swf::TFlashPlaceObject* PlaceFrame(TFlashShape* mask) {
    swf::TFlashMovie& movie = *p_.Movie;
    movie.RemoveObject(p_.Depth);
    swf::TFlashPlaceObject* place = movie.PlaceObject(p_.Outgoing, mask, p_.Depth);
    place->SetTranslate(p_.X, p_.Y);
    return place;
  }

  void Full(Figures& f) const { f.Full(w, h); }

  const TTransitionParams& p_;
  const std::int32_t E;
  const std::int32_t w, h;
};

void Blinds(Generator& g, bool vertical) {
  const std::int32_t w = g.w, h = g.h;
  const float s = Single((vertical ? w : h) / 6.0);
  const float u = Single(double(s) / g.E);
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    g.Full(f);
    for (int i = 0; i <= 5; ++i) {
      if (vertical)
        f.R(RoundEven(double(s) * i), 0, RoundEven(double(t) * u), h);
      else
        f.R(0, RoundEven(double(s) * i), w, RoundEven(double(t) * u));
    }
  });
}

void Circle(Generator& g, bool second) {
  const std::int32_t w = g.w, h = g.h;
  if (!second) {
    const float p = Single(2.0 * w / g.E), q = Single(2.0 * h / g.E);
    g.Frames(false, [&](Figures& f, std::int32_t t) {
      g.Full(f);
      f.Ellipse(RoundEven((w - t * double(p)) / 2), RoundEven((h - t * double(q)) / 2), RoundEven(t * double(p)),
                RoundEven(t * double(q)));
    });
    return;
  }
  const float a = Single(std::sqrt(2.0) * w), b = Single(std::sqrt(2.0) * h);
  const float p = Single(double(a) / g.E), q = Single(double(b) / g.E);
  g.Frames(g.E, false, {RoundEven(a), RoundEven(b)}, [&](Figures& f, std::int32_t t) {
    std::int32_t c = RoundEven(a - t * double(p)), d = RoundEven(b - t * double(q));
    f.Ellipse((w - c) / 2, (h - d) / 2, c, d);
  });
}

void Box(Generator& g, bool second) {
  const std::int32_t w = g.w, h = g.h;
  const float p = Single(double(w) / g.E), q = Single(double(h) / g.E);
  g.Frames(!second, [&](Figures& f, std::int32_t n) {
    if (second) g.Full(f);
    f.R(RoundEven((w - n * double(p)) / 2), RoundEven((h - n * double(q)) / 2), RoundEven(n * double(p)),
        RoundEven(n * double(q)));
  });
}

void Chess1Effect(Generator& g) {
  const std::int32_t w = g.w, h = g.h, E = g.E;
  const float o = Single(w / 7.0);
  const float k = Single(CeilInt(h / 10.0));
  const float r = Single(double(o) / E);
  const float half = Single(double(o) / 2);
  const std::int32_t m = E / 2;
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    const double tr = t * double(r);
    const std::int32_t ch = RoundEven(k);
    for (int j = 0; j <= 9; ++j) {
      const std::int32_t y = RoundEven(j * double(k));
      for (int i = 0; i <= 6; ++i) {
        if (j % 2 == 0) {
          f.R(RoundEven(tr + i * double(o)), y, RoundEven(o - tr), ch);
          continue;
        }
        // Odd rows are shifted by half a cell: the cell that wraps round is
        // a right-hand half (gone at step m) and a left-hand half (which
        // starts to shrink at step m).
        if (t < m) f.R(RoundEven(tr + 7 * double(o) - double(o) / 2), y, RoundEven(half - tr), ch);
        if (i == 0) {
          if (t < m)
            f.R(0, y, RoundEven(half), ch);
          else
            f.R(RoundEven((t - m) * double(r)), y, RoundEven(half - (t - m) * double(r)), ch);
        } else {
          f.R(RoundEven(tr + i * double(o) - double(o) / 2), y, RoundEven(o - tr), ch);
        }
      }
    }
  });
}

void Chess2Effect(Generator& g) {
  const std::int32_t w = g.w, h = g.h, E = g.E;
  const float v = Single(CeilInt(w / 14.0));
  const float o = Single(h / 6.0);
  const float r = Single(double(o) / E);
  const float half = Single(double(o) / 2);
  const std::int32_t m = E / 2;
  g.Frames(E, false, {w + 1, h + 1}, [&](Figures& f, std::int32_t t) {
    const double tr = t * double(r);
    const std::int32_t height = RoundEven(half - (t - m) * double(r));
    for (int i = 0; i <= 13; ++i) {
      for (int c = 0; c <= 6; ++c) {
        double top = tr + c * double(o) - 1;
        if (i % 2 == 1) top -= double(o) / 2;
        f.R(RoundEven(i * double(v)) - 1, RoundEven(top), CeilInt(v), height);
      }
    }
  });
}

void DiamondEffect(Generator& g, bool second) {
  const std::int32_t w = g.w, h = g.h;
  const float p = Single(2.0 * w / g.E), q = Single(2.0 * h / g.E);
  if (!second) {
    g.Frames(g.E, false, {2 * w, 2 * h}, [&](Figures& f, std::int32_t t) {
      const double d = 2.0 * h - t * double(q);
      f.Diamond(RoundEven(w / 2.0), RoundEven(h / 2.0 - d / 2), RoundEven(2.0 * w - t * double(p)), RoundEven(d));
    });
    return;
  }
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    g.Full(f);
    const double d = t * double(q);
    f.Diamond(RoundEven(w / 2.0), RoundEven(h / 2.0 - d / 2), RoundEven(t * double(p)), RoundEven(d));
  });
}

void FadeEffect(Generator& g) {
  swf::TFlashMovie& movie = *g.p_.Movie;
  TFlashShape* mask = movie.AddRectangle(0, 0, g.w, g.h);
  mask->SetSolidColor(kMaskRed);
  for (std::int32_t t = 0; t <= g.E; ++t) {
    swf::TFlashPlaceObject* place = g.PlaceFrame(mask);
    place->ColorTransform().SetAddA(std::clamp(-RoundEven(254.0 / g.E * t), -255, 255));
    movie.ShowFrame(1);
  }
  movie.RemoveObject(g.p_.Depth);
}

void PlusEffect(Generator& g, bool second) {
  const std::int32_t w = g.w, h = g.h, E = g.E;
  const float p = Single((w / 2.0) / E), q = Single((h / 2.0) / E);
  if (!second) {
    g.Frames(true, [&](Figures& f, std::int32_t n) {
      const std::int32_t a = RoundEven(n * double(p)), b = RoundEven(n * double(q));
      f.R(0, 0, a, b);
      f.R(w, 0, -a, b);
      f.R(0, h, a, -b);
      f.R(w, h, -a, -b);
    });
    return;
  }
  g.Frames(
      E, false, {w, h},
      [&](Figures& f, std::int32_t t) {
        if (t == E) {
          f.R(-1, -1, w, h);
          return;
        }
        const std::int32_t a = RoundEven(t * double(p)), b = RoundEven(t * double(q));
        f.R(-1, -1, a, b);
        f.R(w, -1, -a, b);
        f.R(-1, h, a, -b);
        f.R(w, h, -a, -b);
      },
      true);
}

void SplitEffect(Generator& g, bool across, bool second) {
  const std::int32_t w = g.w, h = g.h;
  const float u = Single(((across ? w : h) / 2.0) / g.E);
  g.Frames(second, [&](Figures& f, std::int32_t t) {
    if (second) g.Full(f);
    if (across)
      f.R(RoundEven(t * double(u)), 0, RoundEven(w - double(u) * (2.0 * t)), h);
    else
      f.R(0, RoundEven(t * double(u)), w, RoundEven(h - double(u) * (2.0 * t)));
  });
}

void StripsEffect(Generator& g, int variant) {
  const std::int32_t w = g.w, h = g.h;
  const float l = Single(CeilInt((h + (12 - double(Single(h / 12.0)))) / 12));
  const float o = Single(double(w + h) / g.E);
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    g.Full(f);
    const std::int32_t L = RoundEven(l);
    for (int i = 0; i <= 12; ++i) {
      const std::int32_t il = RoundEven(i * double(l)), to = RoundEven(t * double(o));
      const std::int32_t row = RoundEven(h - double(l) * (i + 1));
      switch (variant) {
        case 1: {
          const std::int32_t a = w + il, b = to;
          f.R(a - b, row, a + b, L);
          break;
        }
        case 2: {
          const std::int32_t a = to, b = il;
          f.R(a - b, row, -w - b - a, L);
          break;
        }
        case 3: {
          const std::int32_t a = il, b = to;
          f.R(w + a - b, a, w + a + b, L);
          break;
        }
        default: {
          const std::int32_t a = to, b = il;
          f.R(a - b, b, -w - b - a, L);
          break;
        }
      }
    }
  });
}

// End angle of a sector starting at s after o degrees of turn.
std::int32_t SectorEnd(double o, int s) { return RoundEven(o + s + (s < 0 ? -0.01 : 0.01)); }

void PieEffect(Generator& g, std::int32_t code) {
  const std::int32_t w = g.w, h = g.h, E = g.E;
  const float hw = Single(w / 2.0), hh = Single(h / 2.0);
  const std::int32_t r = RoundEven(std::sqrt(double(hw) * hw + double(hh) * hh));
  const std::int32_t cx = RoundEven(w / 2.0), cy = RoundEven(h / 2.0);
  if (code == Wedge1) {
    g.Frames(E - 1, false, {w, h}, [&](Figures& f, std::int32_t t) {
      const double o = double(180 * t) / E;
      g.Full(f);
      f.Pie(cx, cy, r, RoundEven(270 - o), RoundEven(o - 90.01));
    });
    return;
  }
  int angle = 360;
  std::vector<int> starts = {-90};
  switch (code) {
    case Wheel2: angle = 180, starts = {-90, 90}; break;
    case Wheel3: angle = 120, starts = {-90, 30, 150}; break;
    case Wheel4: angle = 90, starts = {-90, 0, 90, 180}; break;
    case Wheel5: angle = 45, starts = {-90, -45, 0, 45, 90, 135, 180, 225}; break;
    default: break;
  }
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    const double o = double(std::int64_t{angle} * t) / E;
    g.Full(f);
    for (int s : starts) f.Pie(cx, cy, r, s, SectorEnd(o, s));
  });
}

void WipeEffect(Generator& g, int variant) {
  const std::int32_t w = g.w, h = g.h;
  const float s = Single(double(variant <= 2 ? w : h) / g.E);
  g.Frames(false, [&](Figures& f, std::int32_t t) {
    g.Full(f);
    const std::int32_t d = RoundEven(t * double(s));
    switch (variant) {
      case 1: f.R(0, 0, d, h); break;
      case 2: f.R(w, 0, -d, h); break;
      case 3: f.R(0, h, w, -d); break;
      default: f.R(0, 0, w, d); break;
    }
  });
}

void PullEffect(Generator& g, int variant) {
  const std::int32_t w = g.w, h = g.h;
  const float p = Single(double(w) / g.E), q = Single(double(h) / g.E);
  g.Frames(true, [&](Figures& f, std::int32_t n) {
    const std::int32_t a = RoundEven(n * double(p)), b = RoundEven(n * double(q));
    switch (variant) {
      case 1: f.R(0, h, a, -b); break;
      case 2: f.R(0, 0, a, b); break;
      case 3: f.R(w, h, -a, -b); break;
      default: f.R(w, 0, -a, b); break;
    }
  });
}

}  // namespace

std::int32_t TransitionSteps(float speed, float frameRate) {
  return RoundEven(double(speed) * double(frameRate));
}

bool HasTransitionGenerator(std::int32_t code) {
  switch (code) {
    case Blinds1: case Blinds2: case Circle1: case Circle2: case Box1: case Box2: case Chess1: case Chess2:
    case Diamond1: case Diamond2: case Fade1: case Plus1: case Plus2: case Split1: case Split2: case Split3:
    case Split4: case Strips1: case Strips2: case Strips3: case Strips4: case Wedge1: case Wheel1: case Wheel2:
    case Wheel3: case Wheel4: case Wheel5: case Wipe1: case Wipe2: case Wipe3: case Wipe4: case Pull1:
    case Pull2: case Pull3: case Pull4:
      return true;
    default:
      return false;
  }
}

std::int32_t TransitionFrameCount(std::int32_t code, float speed, float frameRate) {
  const std::int32_t e = TransitionSteps(speed, frameRate);
  if (!HasTransitionGenerator(code) || e <= 0) return 0;
  return code == Wedge1 ? e : e + 1;
}

std::int32_t TransitionCharacterCount(std::int32_t code, float speed, float frameRate) {
  if (!HasTransitionGenerator(code) || TransitionSteps(speed, frameRate) == 0) return 0;
  const std::int32_t frames = TransitionFrameCount(code, speed, frameRate);
  // "Fade1" draws its one mask even when a negative speed leaves no frame.
  return code == Fade1 ? 1 + frames : 2 * frames;
}

bool TSlideShowEffect::Run(std::int32_t code, const TTransitionParams& params) {
  if (!HasTransitionGenerator(code)) return false;
  const std::int32_t steps = TransitionSteps(params.Speed, params.FrameRate);
  if (steps == 0) return false;
  Generator g(params, steps);
  switch (code) {
    case Blinds1: Blinds(g, false); break;
    case Blinds2: Blinds(g, true); break;
    case Circle1: Circle(g, false); break;
    case Circle2: Circle(g, true); break;
    case Box1: Box(g, false); break;
    case Box2: Box(g, true); break;
    case Chess1: Chess1Effect(g); break;
    case Chess2: Chess2Effect(g); break;
    case Diamond1: DiamondEffect(g, false); break;
    case Diamond2: DiamondEffect(g, true); break;
    case Fade1: FadeEffect(g); break;
    case Plus1: PlusEffect(g, false); break;
    case Plus2: PlusEffect(g, true); break;
    case Split1: SplitEffect(g, false, false); break;
    case Split2: SplitEffect(g, false, true); break;
    case Split3: SplitEffect(g, true, false); break;
    case Split4: SplitEffect(g, true, true); break;
    case Strips1: StripsEffect(g, 1); break;
    case Strips2: StripsEffect(g, 2); break;
    case Strips3: StripsEffect(g, 3); break;
    case Strips4: StripsEffect(g, 4); break;
    case Wipe1: WipeEffect(g, 1); break;
    case Wipe2: WipeEffect(g, 2); break;
    case Wipe3: WipeEffect(g, 3); break;
    case Wipe4: WipeEffect(g, 4); break;
    case Pull1: PullEffect(g, 1); break;
    case Pull2: PullEffect(g, 2); break;
    case Pull3: PullEffect(g, 3); break;
    case Pull4: PullEffect(g, 4); break;
    default: PieEffect(g, code); break;  // Wedge1, Wheel1..Wheel5
  }
  return true;
}

}  // namespace yel::publish
