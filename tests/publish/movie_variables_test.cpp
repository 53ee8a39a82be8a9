// Reading a movie's first-frame variables without playing it: constants
// assigned through SetVariable and DefineLocal, names from a constant pool,
// arithmetic on constants; nothing after control flow, in later frames or in
// sprites; clear errors for what is not a movie.
#include <gtest/gtest.h>

#include "publish/movie_variables.h"
#include "tests/app/player_movies.h"

namespace yel::publish {
namespace {

using namespace yel::testing;

TEST(FrameVariables, ReadsTheConstantsAssignedOnFrameOne) {
  swf::TFlashMovie movie(0, 0, 100, 80, 12, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, 100, 80);
  shape->SetSolidColor(Rgb(1, 2, 3));
  swf::TFlashSprite* sprite = movie.AddSprite(shape);
  Push(sprite->FrameActions().Actions(), {std::string("InSprite"), std::int64_t{1}});
  Code(sprite->FrameActions().Actions(), {0x1D});
  sprite->ShowFrame();
  movie.PlaceObject(sprite, 1);

  swf::TSWFActionList& actions = movie.FrameActions().Actions();
  auto pool = std::make_unique<swf::TSWFActionConstantPool>();
  pool->ConstantPool = {"Name", "Wedding \"Gold\""};
  actions.Add(std::move(pool));
  auto named = std::make_unique<swf::TSWFActionPush>();
  named->SetValueType(named->AddValue(std::int64_t{0}), swf::kPushConstant8);
  named->SetValueType(named->AddValue(std::int64_t{1}), swf::kPushConstant8);
  actions.Add(std::move(named));
  Code(actions, {0x3C});  // var Name = "Wedding \"Gold\"";
  Push(actions, {std::string("Left"), std::int64_t{12}});
  Code(actions, {0x3C});
  Push(actions, {std::string("Top"), 2.5});
  Code(actions, {0x1D});
  Push(actions, {std::string("Width"), std::int64_t{0}, std::int64_t{40}});
  Code(actions, {0x0B, 0x3C});  // var Width = 0 - 40;
  Push(actions, {std::string("Shown"), true});
  Code(actions, {0x1D});
  Push(actions, {std::string("_root.Path"), std::int64_t{3}});
  Code(actions, {0x1D});  // a path, not a root variable of this frame
  Push(actions, {std::string("Height"), std::string("x")});
  Code(actions, {0x1C, 0x1D});  // Height = x: not a constant
  AddCallback(actions, "f", {}, [](swf::TSWFActionList& body) {
    Push(body, {std::string("Inside"), std::int64_t{1}});
    Code(body, {0x1D});
  });
  Push(actions, {std::string("AfterFunction"), std::int64_t{1}});
  Code(actions, {0x1D});
  movie.ShowFrame();
  Push(movie.FrameActions().Actions(), {std::string("Later"), std::int64_t{1}});
  Code(movie.FrameActions().Actions(), {0x1D});
  movie.ShowFrame();

  const auto variables = ReadFrameVariables(MovieBytes(movie), "frame.swf");
  const std::map<std::string, std::string> expected = {
      {"Name", "Wedding \"Gold\""}, {"Left", "12"}, {"Top", "2.5"}, {"Width", "-40"}, {"Shown", "true"}};
  EXPECT_EQ(variables, expected);
}

TEST(FrameVariables, RefusesWhatIsNotAMovie) {
  for (const std::vector<std::uint8_t>& bytes : {std::vector<std::uint8_t>{}, std::vector<std::uint8_t>{'x', 'y', 'z', '1', '2'}}) {
    try {
      ReadFrameVariables(bytes, "source.swf");
      ADD_FAILURE() << "accepted";
    } catch (const std::exception& error) {
      EXPECT_NE(std::string(error.what()).find("source.swf"), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace yel::publish
