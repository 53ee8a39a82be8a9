// Writes the movies that play_character_movies.mjs plays in Ruffle: a morph
// shape at three ratios, a button with up and over looks and compiled
// handlers, and videos made with ffmpeg (H.263 and screen video, ten frames
// of distinct solid colours, with MP3 sound) embedded with their sound, on
// the movie's timeline and (H.263) in a sprite that stops at each frame.
//
// Usage: character_player_movies OUT_DIR FFMPEG
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "base/files.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_button.h"
#include "swf/builder/flash_morph_shape.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/builder/flash_video.h"

namespace yel::swf {
namespace {

// The colours of the video frames (also listed in play_character_movies.mjs).
const std::uint8_t kFrameColors[10][3] = {
    {255, 0, 0},   {0, 255, 0},   {0, 0, 255},   {255, 255, 0}, {0, 255, 255},
    {255, 0, 255}, {255, 255, 255}, {0, 0, 0},   {255, 128, 0}, {128, 0, 255},
};

void WriteMorph(const std::string& path) {
  TFlashMovie movie(0, 0, 200, 100, 12, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  TFlashMorphShape* morph = movie.AddMorphShape();
  morph->SetStartBound(10, 10, 90, 90);
  morph->SetEndBound(10, 10, 190, 90);
  morph->StartEdges().MoveTo(10, 10);
  morph->StartEdges().MakeRectangle(80, 80);
  morph->EndEdges().MoveTo(10, 10);
  morph->EndEdges().MakeRectangle(180, 80);
  morph->SetSolidColor(SWFRGBA(255, 0, 0, 255), SWFRGBA(0, 0, 255, 255));
  movie.PlaceObject(morph, 1)->SetRatio(0);
  movie.ShowFrame();
  for (std::uint16_t ratio : {std::uint16_t{32768}, std::uint16_t{65535}}) {
    TFlashPlaceObject* move = movie.PlaceObject(1);
    move->SetMove(true);
    move->SetRatio(ratio);
    movie.ShowFrame();
  }
  movie.MakeStreamToFile(path);
}

void WriteButton(const std::string& path) {
  TFlashMovie movie(0, 0, 200, 100, 12, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.BackgroundColor().SetRGB(0xFFFFFF);
  TFlashShape* up = movie.AddRectangle(20, 20, 80, 80);
  up->SetSolidColor(0x0000FF);  // red
  TFlashShape* over = movie.AddRectangle(20, 20, 80, 80);
  over->SetSolidColor(0x00FF00);
  TFlashButton* button = movie.AddButton(false, true);
  button->AddRecord(*up, kButtonUp | kButtonHitTest, 1);
  button->AddRecord(*over, kButtonOver | kButtonDown, 2);
  if (!button->CompileActions("on (rollOver) { trace(\"over\"); }\non (release) { trace(\"released\"); }"))
    throw Error("the button's handlers did not compile");
  movie.PlaceObject(button, 1);
  movie.ShowFrame();
  movie.MakeStreamToFile(path);
}

void WriteVideo(const std::string& dir, const std::string& ffmpeg, const std::string& codec, const std::string& name) {
  // Ten frames of 160 x 120 pixels, one colour each.
  std::string raw;
  for (const auto& color : kFrameColors)
    for (int i = 0; i < 160 * 120; ++i) raw.append(reinterpret_cast<const char*>(color), 3);
  const std::string frames = dir + "/" + name + ".rgb", flv = dir + "/" + name + ".flv";
  WriteFileAtomically(frames, raw);
  std::string command = ffmpeg + " -v error -y -f rawvideo -pix_fmt rgb24 -s 160x120 -r 10 -i '" + frames +
                        "' -f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 -c:v " + codec +
                        " -g 1 -q:v 2 -c:a libmp3lame -b:a 64k -shortest '" + flv + "'";
  if (std::system(command.c_str()) != 0) throw Error("ffmpeg failed: " + command);
  TFlashMovie movie(0, 0, 160, 120, 10, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0x808080);
  TFlashVideo* video = movie.AddVideo(flv);
  TFlashPlaceVideo* place = movie.PlaceVideo(video, 1);
  place->WithSound = true;
  for (int i = 0; i < 10; ++i) movie.ShowFrame();
  movie.MakeStreamToFile(dir + "/" + name + ".swf");

  if (codec != "flv1") return;
  // The same video and sound in a sprite of ten frames, shown in the movie's
  // one frame: NAME-sprite-N.swf stops the sprite at its frame N and traces
  // "sprite N" there.
  for (int stop = 1; stop <= 10; ++stop) {
    TFlashMovie clip(0, 0, 160, 120, 10, TSWFSystemCoord::Pix);
    clip.BackgroundColor().SetRGB(0x808080);
    TFlashVideo* video = clip.AddVideo(flv);
    TFlashSprite* sprite = clip.AddSprite();
    sprite->PlaceVideo(video, 1)->WithSound = true;
    for (int frame = 1; frame <= 10; ++frame) {
      if (frame == stop) {
        TFlashActionScript& actions = sprite->FrameActions();
        actions.PushValue(std::string("sprite ") + std::to_string(frame));
        actions.Add(std::make_unique<TSWFActionTrace>());
        actions.Stop();
      }
      sprite->ShowFrame();
    }
    clip.PlaceObject(sprite, 1);
    clip.ShowFrame();
    clip.MakeStreamToFile(dir + "/" + name + "-sprite-" + std::to_string(stop) + ".swf");
  }
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: character_player_movies OUT_DIR FFMPEG\n";
    return 2;
  }
  try {
    yel::swf::InstallActionCompiler();
    const std::string dir = argv[1];
    yel::swf::WriteMorph(dir + "/morph.swf");
    yel::swf::WriteButton(dir + "/button.swf");
    yel::swf::WriteVideo(dir, argv[2], "flv1", "video-h263");
    yel::swf::WriteVideo(dir, argv[2], "flashsv", "video-screen");
  } catch (const std::exception& e) {
    std::cerr << "character_player_movies: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
