// Small movies for the renderer's tests, made from tag objects: solid and
// bitmap-filled rectangles, sprites, masks and plain timeline controls.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/actions/action_records.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/bitmap_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/render/frame_renderer.h"
#include "swf/render/movie.h"
#include "swf/render/player.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf::render::testing {

using Bytes = std::vector<std::uint8_t>;

// Straight RGBA packed as red | green << 8 | blue << 16 | alpha << 24.
inline TPackedColor Rgba(int r, int g, int b, int a = 255) { return SWFRGBA(r, g, b, a); }

// The edges of a rectangle in twips, filled on their right with fill 1.
inline void RectEdges(TSWFShapeRecords& edges, int x0, int y0, int x1, int y1) {
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->StateMoveTo = true;
  move->DeltaX = x0;
  move->DeltaY = y0;
  move->SetFill1(1);
  edges.push_back(std::move(move));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(x1 - x0, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, y1 - y0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(x0 - x1, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, y0 - y1));
  edges.push_back(std::make_unique<TSWFEndShapeRecord>());
}

inline std::unique_ptr<TSWFDefineShape3> RectShape(std::uint16_t id, int x0, int y0, int x1, int y1,
                                                   std::unique_ptr<TSWFFillStyle> fill) {
  auto shape = std::make_unique<TSWFDefineShape3>();
  shape->ShapeId = id;
  shape->ShapeBounds.SetRect(TSWFRectRec{x0, x1, y0, y1});
  shape->FillStyles.push_back(std::move(fill));
  RectEdges(shape->Edges, x0, y0, x1, y1);
  return shape;
}

inline std::unique_ptr<TSWFFillStyle> Solid(TPackedColor rgba) {
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGBA(rgba);
  return fill;
}

// A clipped bitmap fill drawing each bitmap pixel as one stage pixel from
// (x, y) pixels.
inline std::unique_ptr<TSWFFillStyle> BitmapFill(std::uint16_t bitmap, int x, int y, std::uint8_t type = 0x41) {
  auto fill = std::make_unique<TSWFImageFill>();
  fill->FillType = type;
  fill->BitmapId = bitmap;
  fill->Matrix.SetScale(20, 20);
  fill->Matrix.SetTranslate(x * 20, y * 20);
  return fill;
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  compress(out.data(), &size, raw.data(), uLong(raw.size()));
  out.resize(size);
  return out;
}

// A 24-bit (or, with alpha, premultiplied 32-bit) lossless bitmap from
// ARGB words.
inline std::unique_ptr<TSWFDefineBitsLossless> Lossless(std::uint16_t id, int w, int h,
                                                        const std::vector<std::uint32_t>& argb, bool alpha) {
  std::unique_ptr<TSWFDefineBitsLossless> tag =
      alpha ? std::make_unique<TSWFDefineBitsLossless2>() : std::make_unique<TSWFDefineBitsLossless>();
  tag->ID = id;
  tag->BitmapFormat = kBitmapFormat24Bit;
  tag->Width = std::uint16_t(w);
  tag->Height = std::uint16_t(h);
  Bytes raw;
  for (std::uint32_t p : argb) raw.insert(raw.end(), {std::uint8_t(p >> 24), std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
  tag->SetData(Deflate(raw));
  return tag;
}

inline std::unique_ptr<TSWFPlaceObject2> Place(std::uint16_t depth, std::uint16_t id, int x = 0, int y = 0) {
  auto place = std::make_unique<TSWFPlaceObject2>();
  place->Depth = depth;
  if (id) place->SetCharacterId(id);
  if (x || y) place->Matrix().SetTranslate(x, y);
  return place;
}

inline std::unique_ptr<TSWFPlaceObject2> Move(std::uint16_t depth, int x, int y) {
  auto place = std::make_unique<TSWFPlaceObject2>();
  place->Depth = depth;
  place->Move = true;
  place->Matrix().SetTranslate(x, y);
  return place;
}

// stop();
inline std::unique_ptr<TSWFDoAction> StopScript() {
  auto tag = std::make_unique<TSWFDoAction>();
  tag->Actions().Add(CreateAction(0x07));
  return tag;
}

// gotoAndPlay(frame), frame from 1, as a constant GotoFrame and Play.
inline std::unique_ptr<TSWFDoAction> GotoAndPlayScript(int frame) {
  auto tag = std::make_unique<TSWFDoAction>();
  auto go = std::make_unique<TSWFActionGotoFrame>();
  go->Frame = std::uint16_t(frame - 1);
  tag->Actions().Add(std::move(go));
  tag->Actions().Add(CreateAction(0x06));
  return tag;
}

// A script beyond timeline controls: trace("x"); stop();
inline std::unique_ptr<TSWFDoAction> TraceAndStopScript() {
  auto tag = std::make_unique<TSWFDoAction>();
  auto push = std::make_unique<TSWFActionPush>();
  push->AddValue(std::string("x"));
  tag->Actions().Add(std::move(push));
  tag->Actions().Add(CreateAction(0x26));
  tag->Actions().Add(CreateAction(0x07));
  return tag;
}

// A movie of width × height pixels on a background.
class Movie {
 public:
  Movie(int width, int height, TPackedColor background = Rgba(255, 255, 255))
      : movie_(0, 0, width, height, 12, TSWFSystemCoord::Pix) {
    movie_.SetVersion(8);
    auto bg = std::make_unique<TSWFSetBackgroundColor>();
    bg->Color.SetRGB(background);
    movie_.Add(std::move(bg));
  }
  template <class T>
  T& Add(std::unique_ptr<T> tag) {
    return movie_.Add(std::move(tag));
  }
  void ShowFrame() {
    movie_.Add(std::make_unique<TSWFShowFrame>());
    ++frames_;
  }
  Bytes Save() {
    movie_.Add(std::make_unique<TSWFEnd>());
    movie_.FrameCount = std::uint16_t(frames_);
    return movie_.Save();
  }

 private:
  swf::testing::TestMovie movie_;
  int frames_ = 0;
};

// The frame a player shows after `frame` frames, at the stage's size (or
// the given one); warnings are collected.
struct Rendered {
  TBitmap Image;
  std::vector<std::string> Warnings;
  // Straight RGBA of a pixel (premultiplied values undone).
  TPackedColor At(int x, int y) const {
    const std::uint32_t p = Image.Pixels.at(std::size_t(y) * Image.Width + x);
    const std::uint32_t a = p >> 24;
    auto un = [a](std::uint32_t v) { return a == 0 ? 0u : std::min(255u, (v * 255 + a / 2) / a); };
    return un((p >> 16) & 255) | un((p >> 8) & 255) << 8 | un(p & 255) << 16 | a << 24;
  }
};

inline Rendered Render(const Bytes& bytes, int frame = 1, int width = 0, int height = 0) {
  Rendered out;
  auto movie = TMovie::OpenBytes(bytes.data(), bytes.size(), "test.swf");
  movie->OnWarning = [&](const std::string& m) { out.Warnings.push_back(m); };
  TPlayer player(*movie);
  player.AdvanceTo(frame);
  TFrameRenderer renderer(*movie);
  const TFrameSize size = StageSize(*movie);
  out.Image.Width = width ? width : size.Width;
  out.Image.Height = height ? height : size.Height;
  renderer.Render(player.Root(), out.Image);
  return out;
}

}  // namespace yel::swf::render::testing
