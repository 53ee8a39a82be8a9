// Writes a movie with every button, morph shape and video tag form our SWF
// layer produces, for the independent parser check
// (check_character_movies.mjs), which knows the values set here.
//
// Usage: write_character_movies OUT_DIR
#include <iostream>

#include "swf/format/actions/action_records.h"
#include "swf/format/button_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/morph_shape_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/video_tags.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using testing::TestMovie;

// A square of 1000 twips from (100, 100), drawn with fill 1 and line 1.
void Square(TSWFShapeRecords& records, bool styles, std::int32_t size = 1000) {
  auto change = std::make_unique<TSWFStyleChangeRecord>();
  change->StateMoveTo = true;
  change->DeltaX = 100;
  change->DeltaY = 100;
  if (styles) {
    change->SetFill0(1);
    change->SetLineStyle(1);
  }
  records.push_back(std::move(change));
  records.push_back(std::make_unique<TSWFStraightEdgeRecord>(size, 0));
  records.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 1000));
  records.push_back(std::make_unique<TSWFStraightEdgeRecord>(-size, 0));
  records.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, -1000));
}

void AddStop(TSWFActionList& list) { list.Add(std::make_unique<TSWFActionStop>()); }

void WriteCharacters(const std::string& path) {
  TestMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(8);

  auto& shape = movie.Add(std::make_unique<TSWFDefineShape3>());
  shape.ShapeId = 1;
  shape.ShapeBounds.SetRect(TRect{100, 100, 1100, 1100});
  auto fill = std::make_unique<TSWFColorFill>();
  fill->Color.SetRGBA(SWFRGBA(255, 0, 0, 255));
  shape.FillStyles.push_back(std::move(fill));
  Square(shape.Edges, false);
  static_cast<TSWFStyleChangeRecord&>(*shape.Edges[0]).SetFill0(1);

  auto& button = movie.Add(std::make_unique<TSWFDefineButton>());
  button.ButtonId = 2;
  button.AddRecord(1, 1, true, true, true, true).Matrix.SetTranslate(20, 40);
  AddStop(button.Actions);
  auto& cxform = movie.Add(std::make_unique<TSWFDefineButtonCxform>());
  cxform.ButtonId = 2;
  cxform.ColorTransform.SetMultR(128);
  cxform.ColorTransform.SetAddB(30);
  auto& sounds = movie.Add(std::make_unique<TSWFDefineButtonSound>());
  sounds.ButtonId = 2;
  sounds.SoundSlot(TSWFDefineButtonSound::kIdleToOverUp).SoundId = 9;
  sounds.SoundSlot(TSWFDefineButtonSound::kOverDownToOverUp).SoundId = 10;
  sounds.SoundSlot(TSWFDefineButtonSound::kOverDownToOverUp).SoundInfo.SetLoopCount(3);

  auto& button2 = movie.Add(std::make_unique<TSWFDefineButton2>());
  button2.ButtonId = 3;
  button2.TrackAsMenu = true;
  button2.AddRecord(1, 1, true, false, false, true);
  auto& over = button2.AddRecord(1, 2, false, true, true, false);
  over.ColorTransform().SetAddG(100);
  over.ColorTransform().SetMultA(200);
  over.FilterList().AddFilter(kFilterBlur);
  over.HasBlendMode = true;
  over.BlendMode = 8;  // add
  AddStop(button2.AddCondAction(kCondOverDownToOverUp));
  AddStop(button2.AddCondAction(kCondOutDownToOverDown | kCondIdleToOverUp));
  AddStop(button2.AddCondAction(0, 32));

  auto& morph = movie.Add(std::make_unique<TSWFDefineMorphShape>());
  morph.CharacterId = 4;
  morph.StartBounds.SetRect(TRect{100, 100, 1100, 1100});
  morph.EndBounds.SetRect(TRect{100, 100, 2100, 1100});
  auto solid = std::make_unique<TSWFMorphColorFill>();
  solid->StartColor = SWFRGBA(255, 0, 0, 255);
  solid->EndColor = SWFRGBA(0, 0, 255, 128);
  morph.MorphFillStyles.push_back(std::move(solid));
  auto line = std::make_unique<TSWFMorphLineStyle>();
  line->StartWidth = 20;
  line->EndWidth = 60;
  line->StartColor = SWFRGBA(0, 0, 0, 255);
  line->EndColor = SWFRGBA(0, 255, 0, 255);
  morph.MorphLineStyles.push_back(std::move(line));
  Square(morph.StartEdges, true);
  Square(morph.EndEdges, false, 2000);

  auto& morph2 = movie.Add(std::make_unique<TSWFDefineMorphShape2>());
  morph2.CharacterId = 5;
  morph2.StartBounds.SetRect(TRect{90, 90, 1110, 1110});
  morph2.EndBounds.SetRect(TRect{90, 90, 2110, 1110});
  morph2.StartEdgeBounds.SetRect(TRect{100, 100, 1100, 1100});
  morph2.EndEdgeBounds.SetRect(TRect{100, 100, 2100, 1100});
  auto gradient = std::make_unique<TSWFMorphGradientFill>();
  gradient->FillType = kFillLinearGradient;
  gradient->StartMatrix.SetScale(0.5f, 0.5f);
  gradient->EndMatrix.SetScale(1.0f, 0.5f);
  gradient->Gradient = {{0, SWFRGBA(255, 0, 0, 255), 0, SWFRGBA(0, 255, 0, 255)},
                        {255, SWFRGBA(0, 0, 255, 255), 200, SWFRGBA(255, 255, 0, 255)}};
  morph2.MorphFillStyles.push_back(std::move(gradient));
  auto line2 = std::make_unique<TSWFMorphLineStyle2>();
  line2->StartWidth = 40;
  line2->EndWidth = 80;
  line2->JoinStyle = 2;
  line2->MiterLimitFactor = 3;
  line2->NoHScaleFlag = true;
  line2->EndCapStyle = 2;
  auto lineFill = std::make_unique<TSWFMorphColorFill>();
  lineFill->StartColor = SWFRGBA(1, 2, 3, 255);
  lineFill->EndColor = SWFRGBA(4, 5, 6, 255);
  line2->SetFillStyle(std::move(lineFill));
  morph2.MorphLineStyles.push_back(std::move(line2));
  Square(morph2.StartEdges, true);
  Square(morph2.EndEdges, false, 2000);

  auto& video = movie.Add(std::make_unique<TSWFDefineVideoStream>());
  video.CharacterId = 6;
  video.NumFrames = 1;
  video.Width = 64;
  video.Height = 48;
  video.VideoFlagsDeblocking = 2;
  video.VideoFlagsSmoothing = true;
  video.Codec = kVideoScreen;
  auto& place = movie.Add(std::make_unique<TSWFPlaceObject2>());
  place.Depth = 1;
  place.SetCharacterId(4);
  place.SetRatio(32768);
  auto& frame = movie.Add(std::make_unique<TSWFVideoFrame>());
  frame.StreamID = 6;
  frame.FrameNum = 0;
  frame.SetData(std::vector<std::uint8_t>{1, 2, 3, 4, 5});

  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_character_movies OUT_DIR\n";
    return 2;
  }
  try {
    yel::swf::WriteCharacters(std::string(argv[1]) + "/characters.swf");
  } catch (const std::exception& e) {
    std::cerr << "write_character_movies: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
