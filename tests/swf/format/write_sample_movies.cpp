// Writes one movie of every kind the SWF format layer produces, and every
// corpus movie read and written back, into a folder for the independent
// parser check (check_written_movies.mjs).
//
// Usage: write_sample_movies OUT_DIR CORPUS_DIR
#include <filesystem>
#include <iostream>

#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/md5.h"
#include "swf/format/swf_stream.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using testing::TestMovie;

// Every control tag with fields set, a sprite, a large unknown tag and a
// frame, in a compressed SWF 8 movie.
void WriteControlTags(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.SetCompressed(true);
  auto attributes = std::make_unique<TSWFFileAttributes>();
  attributes->HasMetadata = true;
  movie.Add(std::move(attributes));
  auto meta = std::make_unique<TSWFMetadata>();
  meta->Value = "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>caf\xE9</rdf:RDF>";
  movie.Add(std::move(meta));
  auto limits = std::make_unique<TSWFScriptLimits>();
  limits->MaxRecursionDepth = 256;
  limits->ScriptTimeoutSeconds = 15;
  movie.Add(std::move(limits));
  auto background = std::make_unique<TSWFSetBackgroundColor>();
  background->Color.SetRGB(0x996633);
  movie.Add(std::move(background));
  auto protect = std::make_unique<TSWFProtect>();
  protect->Password = "secret";
  movie.Add(std::move(protect));
  auto debugger = std::make_unique<TSWFEnableDebugger2>();
  debugger->Password = "debug";
  movie.Add(std::move(debugger));
  auto debugger1 = std::make_unique<TSWFEnableDebugger>();
  debugger1->Hash = MD5Crypt("old", "ab");
  movie.Add(std::move(debugger1));
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = 1;
  sprite->FrameCount = 2;
  sprite->ControlTags.push_back(std::make_unique<TSWFFrameLabel>("inner"));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  movie.Add(std::move(sprite));
  auto grid = std::make_unique<TSWFDefineScalingGrid>();
  grid->ID = 1;
  grid->Splitter.SetRect(TRect{200, 100, 2000, 1000});
  movie.Add(std::move(grid));
  auto exports = std::make_unique<TSWFExportAssets>();
  exports->AddAsset("clip", 1);
  exports->AddAsset("other", 1);
  movie.Add(std::move(exports));
  auto imports = std::make_unique<TSWFImportAssets>();
  imports->URL = "library.swf";
  imports->AddAsset("shared", 2);
  movie.Add(std::move(imports));
  auto imports2 = std::make_unique<TSWFImportAssets2>();
  imports2->URL = "library2.swf";
  imports2->AddAsset("shared2", 3);
  movie.Add(std::move(imports2));
  auto tab = std::make_unique<TSWFSetTabIndex>();
  tab->Depth = 1;
  tab->TabIndex = 7;
  movie.Add(std::move(tab));
  auto label = std::make_unique<TSWFFrameLabel>("start");
  label->isAnchor = true;
  movie.Add(std::move(label));
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->TagCode = 99;
  raw->SetData(std::vector<std::uint8_t>(5000, 0x5A));
  movie.Add(std::move(raw));
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.Add(std::make_unique<TSWFEnd>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// The smallest movies: SWF 5, plain, with and without tags.
void WriteSmallMovies(const std::string& dir) {
  TestMovie empty(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  empty.MakeStream();
  empty.SaveToFile(dir + "/empty-v5.swf");

  TestMovie frames(-100, -50, 1000, 1000, 12.5f, TSWFSystemCoord::Twips);
  frames.Add(std::make_unique<TSWFProtect>());
  frames.Add(std::make_unique<TSWFFrameLabel>("one"));
  frames.Add(std::make_unique<TSWFShowFrame>());
  frames.Add(std::make_unique<TSWFShowFrame>());
  frames.Add(std::make_unique<TSWFEnd>());
  frames.FrameCount = 2;
  frames.MakeStream();
  frames.SaveToFile(dir + "/frames-v5.swf");
  frames.SetCompressed(true);
  frames.SaveToFile(dir + "/frames-compressed.swf");
}

int Run(const std::string& out, const std::string& corpus) {
  std::filesystem::create_directories(out + "/roundtrip");
  WriteControlTags(out + "/control-tags.swf");
  WriteSmallMovies(out);
  for (const auto& item : std::filesystem::directory_iterator(corpus)) {
    if (item.path().extension() != ".swf") continue;
    TSWFStreamReader reader(item.path().string());
    reader.ParseTags();
    reader.MakeStream();
    reader.SaveToFile(out + "/roundtrip/" + item.path().filename().string());
  }
  return 0;
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write_sample_movies OUT_DIR CORPUS_DIR\n";
    return 2;
  }
  try {
    return yel::swf::Run(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::cerr << "write_sample_movies: " << e.what() << "\n";
    return 1;
  }
}
