// The player: display lists of the main timeline and of every sprite (and
// button) instance, advanced frame by frame as a player does, with the plain
// timeline controls of frame scripts (stop, play, go to a frame or label,
// next and previous frame) run at the end of each frame. Other scripts are
// not run. Knows nothing of drawing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "swf/format/swf_records.h"
#include "swf/render/movie.h"

namespace yel::swf {
class TSWFFilterList;
class TSWFDoAction;
}  // namespace yel::swf

namespace yel::swf::render {

// An affine transform: x' = A*x + C*y + TX, y' = B*x + D*y + TY.
struct TMatrix {
  double A = 1, B = 0, C = 0, D = 1, TX = 0, TY = 0;
  static TMatrix FromSWF(const TSWFMatrixRec& m);
  // this applied after m.
  TMatrix operator*(const TMatrix& m) const;
  bool operator==(const TMatrix&) const = default;
};

// A colour transform with 8.8 multipliers and add terms, as floats.
struct TColorTransform {
  float MR = 1, MG = 1, MB = 1, MA = 1;
  float AR = 0, AG = 0, AB = 0, AA = 0;  // 0..255 scale
  static TColorTransform FromSWF(const TSWFColorTransformRec& c);
  // this applied after c.
  TColorTransform operator*(const TColorTransform& c) const;
  bool IsIdentity() const { return MR == 1 && MG == 1 && MB == 1 && MA == 1 && AR == 0 && AG == 0 && AB == 0 && AA == 0; }
  bool AlphaOnly() const { return MR == 1 && MG == 1 && MB == 1 && AR == 0 && AG == 0 && AB == 0 && AA == 0; }
  // Straight colour in, straight colour out (clamped).
  TPackedColor Apply(TPackedColor rgba) const;
};

class TDisplayObject {
 public:
  std::uint16_t Depth = 0;
  std::uint16_t CharacterId = 0;
  const TSWFObject* Definition = nullptr;
  TMatrix Matrix;
  TColorTransform ColorTransform;
  std::uint16_t Ratio = 0;
  std::uint16_t ClipDepth = 0;
  std::string Name;
  std::uint8_t BlendMode = 0;
  const TSWFFilterList* Filters = nullptr;
  bool Visible = true;

  // Sprite and button instances: their own display list.
  const TTimeline* Timeline = nullptr;
  int CurrentFrame = 0;  // from 1; 0 before the first
  bool Playing = true;
  int Nesting = 0;
  std::map<std::uint16_t, std::shared_ptr<TDisplayObject>> Children;
  // The frame of the player in which it was placed (it does not advance in
  // that frame).
  int PlacedInTick = 0;

  TDisplayObject() = default;
  explicit TDisplayObject(int* liveCount) : live_count_(liveCount) { ++*live_count_; }
  ~TDisplayObject() {
    if (live_count_) --*live_count_;
  }
  TDisplayObject(const TDisplayObject&) = delete;
  TDisplayObject& operator=(const TDisplayObject&) = delete;

 private:
  int* live_count_ = nullptr;
};

// At most this many display objects live at once (a sprite that places
// itself, directly or through others, stops growing there).
inline constexpr int kMaxDisplayObjects = 50'000;

class TPlayer {
 public:
  explicit TPlayer(TMovie& movie);

  // Advances to the next frame (the first call shows frame 1); false when
  // the movie has nothing more to show (its one frame shown, or stopped at
  // the end of a movie that cannot play on).
  void Advance();
  // Frames shown so far.
  int FramesShown() const { return shown_; }
  // Advances until frame n is shown (n >= FramesShown()).
  void AdvanceTo(int n);

  const TDisplayObject& Root() const { return *root_; }

 private:
  using Clip = std::shared_ptr<TDisplayObject>;
  struct QueuedAction {
    std::weak_ptr<TDisplayObject> Target;
    const TSWFDoAction* Actions;
  };

  int FrameCount(const TDisplayObject& clip, int wanted);
  void RunFrameTags(const Clip& clip, int frame, bool queueActions);
  void Place(const Clip& clip, const TSWFObject& tag, bool queueActions);
  Clip NewObject(const TDisplayObject& parent, std::uint16_t depth, std::uint16_t id);
  void Instantiate(const Clip& object, bool queueActions);
  void AdvanceClip(const Clip& clip);
  void Goto(const Clip& clip, int frame);
  void RunActions();
  void RunActionList(const Clip& clip, const TSWFDoAction& actions);
  // A DoAction whose every record is a plain timeline control.
  static bool IsPlainControl(const TSWFDoAction& actions);

  TMovie& movie_;
  int live_ = 0;
  Clip root_;
  int shown_ = 0;
  std::vector<QueuedAction> queue_;
};

}  // namespace yel::swf::render
