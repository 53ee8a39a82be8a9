// The 35 entry transitions of a published album. Each generator writes one
// main-timeline frame per step: a new mask shape, a masking sprite that shows
// the outgoing picture through it at the transition depth, and ShowFrame;
// afterwards it empties that depth so only the new slide remains.
#pragma once

#include <cstdint>

namespace yel::swf {
class TFlashMovie;
class TFlashVisualObject;
}  // namespace yel::swf

namespace yel::publish {

// What AddTransition hands to a generator. Coordinates are pixels.
struct TTransitionParams {
  swf::TFlashMovie* Movie = nullptr;
  std::int32_t W = 0, H = 0;  // photo rectangle size, rounded
  float FrameRate = 0;
  float Speed = 0;            // seconds
  std::int32_t X = 0, Y = 0;  // photo rectangle position, rounded
  std::uint16_t Depth = 102;
  swf::TFlashVisualObject* Outgoing = nullptr;  // seen through the mask
  swf::TFlashVisualObject* Incoming = nullptr;  // the new slide (already placed)
};

// Round-half-to-even of a value computed in double precision, held to the
// int32 range.
std::int32_t RoundEven(double value);

// E, the number of steps: Round(speed × frame rate).
std::int32_t TransitionSteps(float speed, float frameRate);

// Frames a transition of the code adds: none for a code without generator
// and for E = 0, E for "Wedge1", else E + 1.
std::int32_t TransitionFrameCount(std::int32_t code, float speed, float frameRate);

// Character ids a transition of the code takes: two per frame (the mask and
// the masking sprite), for "Fade1" one mask for all frames and a sprite per
// frame; none when it runs no generator.
std::int32_t TransitionCharacterCount(std::int32_t code, float speed, float frameRate);

// True when the code has a generator.
bool HasTransitionGenerator(std::int32_t code);

// The generators. Holds no data; one instance serves one transition.
class TSlideShowEffect {
 public:
  // Runs the generator of the code. Returns false, writing nothing, for a
  // code without generator and when E is 0 (a speed below half a frame:
  // the per-step sizes would divide by zero, so the slide appears at once).
  bool Run(std::int32_t code, const TTransitionParams& params);
};

}  // namespace yel::publish
