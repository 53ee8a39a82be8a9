// Test movies for the player control and yel-player, made with our movie
// builder and its action records: solid colours, frames that alternate two
// colours, and an SWF 8 stage movie that registers ExternalInterface
// callbacks ("add", "GetVariable", "SetVariable") and sends fscommands.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "swf/format/actions/action_records.h"
#include "tests/testing/theme_fixtures.h"

namespace yel::testing {

// Appends one Push record with the values.
inline void Push(swf::TSWFActionList& list, std::vector<swf::TPushValue> values) {
  auto push = std::make_unique<swf::TSWFActionPush>();
  for (auto& value : values) push->AddValue(std::move(value));
  list.Add(std::move(push));
}

inline void Code(swf::TSWFActionList& list, std::initializer_list<std::uint8_t> codes) {
  for (std::uint8_t code : codes) list.Add(swf::CreateAction(code));
}

enum : std::uint8_t {
  kStop = 0x07, kPop = 0x17, kGetVariable = 0x1C, kSetVariable = 0x1D, kReturn = 0x3E, kAdd2 = 0x47,
  kGetMember = 0x4E, kSetMember = 0x4F, kCallMethod = 0x52
};

// fscommand(command, args) as the GetURL record that Flash compiles it to.
inline void FSCommand(swf::TSWFActionList& list, const std::string& command, const std::string& args) {
  auto url = std::make_unique<swf::TSWFActionGetUrl>();
  url->URL = "FSCommand:" + command;
  url->Target = args;
  list.Add(std::move(url));
}

// flash.external.ExternalInterface.addCallback(name, null,
//   function(params...) { body });
inline void AddCallback(swf::TSWFActionList& list, const std::string& name, std::vector<std::string> params,
                        const std::function<void(swf::TSWFActionList&)>& body) {
  auto* function = list.Add(std::make_unique<swf::TSWFActionDefineFunction>());
  function->Params = std::move(params);
  body(list);
  swf::TSWFOffsetMarker* end = function->Marker();
  end->JumpBack = false;  // the body's end comes after the record
  list.AddMarker(end);
  Push(list, {nullptr, name, std::int64_t{3}, std::string("flash")});
  Code(list, {kGetVariable});
  Push(list, {std::string("external")});
  Code(list, {kGetMember});
  Push(list, {std::string("ExternalInterface")});
  Code(list, {kGetMember});
  Push(list, {std::string("addCallback")});
  Code(list, {kCallMethod, kPop});
}

// A w x h SWF 8 movie filled with `rgb` that sets greeting = "hello",
// registers add(a, b), GetVariable(name) and SetVariable(name, value),
// sends fscommand("ready", "yes") and stops.
inline std::vector<std::uint8_t> StageMovie(int w, int h, std::uint32_t rgb) {
  swf::TFlashMovie movie(0, 0, w, h, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, w, h);
  shape->SetSolidColor(rgb);
  movie.PlaceObject(shape, 1);
  swf::TSWFActionList& actions = movie.FrameActions().Actions();
  Push(actions, {std::string("greeting"), std::string("hello")});
  Code(actions, {kSetVariable});
  AddCallback(actions, "add", {"a", "b"}, [](swf::TSWFActionList& body) {
    Push(body, {std::string("a")});
    Code(body, {kGetVariable});
    Push(body, {std::string("b")});
    Code(body, {kGetVariable, kAdd2, kReturn});
  });
  AddCallback(actions, "GetVariable", {"name"}, [](swf::TSWFActionList& body) {
    Push(body, {std::string("_root")});
    Code(body, {kGetVariable});
    Push(body, {std::string("name")});
    Code(body, {kGetVariable, kGetMember, kReturn});
  });
  AddCallback(actions, "SetVariable", {"name", "value"}, [](swf::TSWFActionList& body) {
    Push(body, {std::string("_root")});
    Code(body, {kGetVariable});
    Push(body, {std::string("name")});
    Code(body, {kGetVariable});
    Push(body, {std::string("value")});
    Code(body, {kGetVariable, kSetMember});
  });
  FSCommand(actions, "ready", "yes");
  Code(actions, {kStop});
  movie.ShowFrame();
  return MovieBytes(movie);
}

// A w x h movie of `frames` frames at `fps`, odd frames `first`, even
// frames `second` (each frame puts a new rectangle on top); with `quitAt`,
// that frame sends fscommand("quit").
inline std::vector<std::uint8_t> AlternatingMovie(int w, int h, float fps, int frames, std::uint32_t first,
                                                  std::uint32_t second, int quitAt = 0) {
  swf::TFlashMovie movie(0, 0, w, h, fps, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  for (int frame = 1; frame <= frames; ++frame) {
    swf::TFlashShape* shape = movie.AddRectangle(0, 0, w, h);
    shape->SetSolidColor(frame % 2 ? first : second);
    movie.PlaceObject(shape, static_cast<std::uint16_t>(frame));
    if (frame == quitAt) FSCommand(movie.FrameActions().Actions(), "quit", "");
    movie.ShowFrame();
  }
  return MovieBytes(movie);
}

// A w x h movie whose left half is `left` and right half `right`.
inline std::vector<std::uint8_t> TwoHalvesMovie(int w, int h, std::uint32_t left, std::uint32_t right) {
  swf::TFlashMovie movie(0, 0, w, h, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashShape* a = movie.AddRectangle(0, 0, w / 2, h);
  a->SetSolidColor(left);
  movie.PlaceObject(a, 1);
  swf::TFlashShape* b = movie.AddRectangle(w / 2, 0, w, h);
  b->SetSolidColor(right);
  movie.PlaceObject(b, 2);
  movie.ShowFrame();
  return MovieBytes(movie);
}

}  // namespace yel::testing
