// Writes the application folder that template_player_check.mjs publishes
// from: the template "Fixture" (a colour background, a ring-shaped photo
// frame whose own size gives the photo rectangle, and two decorative clips
// that both export "mc_Shape", red and green) and the loading bar "Bar";
// with COPIES, also the copies RenameShapeClip makes of the red clip for
// k = 1 and 2 there (copy-1.swf, copy-2.swf), to be played on their own.
// Usage: template_fixture APPFOLDER [COPIES]
#include <cstdio>
#include <exception>

#include "publish/template_overlay.h"
#include "tests/testing/theme_fixtures.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: template_fixture APPFOLDER [COPIES]\n");
    return 2;
  }
  using namespace yel::testing;
  try {
    const std::filesystem::path app = argv[1];
    InstallTemplate(app, "Fixture",
                    "[System]\nName=Fixture\n[Background]\nType=1\nColor=0x336699\n"
                    "[PhotoFrame]\nName=Ring\nFileName=Ring.swf\n[Size]\nLeft=0.25\nTop=0.3\nWidth=0\nHeight=0\n"
                    "[Shapes]\nCount=2\n"
                    "[Shape_1]\nFileName=red.swf\nLeft=0.05\nTop=0.05\nWidth=60\nHeight=30\n"
                    "[Shape_2]\nFileName=green.swf\nLeft=0.75\nTop=0.7\nWidth=0\nHeight=0\n",
                    {{"Ring.swf", RingClip(120, 90, 8, Rgb(250, 200, 40))},
                     {"red.swf", ShapeClip(40, 30, Rgb(220, 30, 30))},
                     {"green.swf", ShapeClip(20, 20, Rgb(30, 200, 60), false)}});
    InstallLoadingBar(app, "Bar",
                      "[System]\nName=Bar\n[Background]\nType=1\nColor=0x202020\n"
                      "[Size]\nLeft=0.1\nTop=0.5\nWidth=200\nHeight=20\n",
                      SolidClip(100, 10, Rgb(255, 255, 0)));
    if (argc == 3) {
      std::filesystem::create_directories(argv[2]);
      for (int k : {1, 2}) {
        auto copy = yel::publish::RenameShapeClip((app / "Theme/Template/Fixture/red.swf").string(), k);
        yel::WriteFileAtomically((std::filesystem::path(argv[2]) / ("copy-" + std::to_string(k) + ".swf")).string(),
                                 copy->Bytes());
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "template_fixture: %s\n", e.what());
    return 1;
  }
  return 0;
}
