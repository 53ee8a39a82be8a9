// Where a picture goes inside a box: used for slide drawing (margin 0) and
// for every thumbnail tile (margin 4).
#pragma once

namespace yel {

struct FloatRect {
  float X = 0, Y = 0, W = 0, H = 0;
};

// The picture is scaled with its aspect ratio kept until it touches the box
// in the limiting direction (down when larger, up when smaller) and centred;
// an unknown picture size gives the whole box. margin is added to the
// position.
FloatRect FitRect(float margin, float box_width, float box_height, float image_width, float image_height);

}  // namespace yel
