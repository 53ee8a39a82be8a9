// yel dump run in-process over real movies and bad files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "tests/testing/corpus.h"
#include "tests/testing/crafted_movies.h"
#include "tests/testing/largest_allocation.h"
#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using DumpRun = testing::YelRun;

DumpRun Dump(const cli::Args& args) {
  cli::Args all = {"dump"};
  all.insert(all.end(), args.begin(), args.end());
  return testing::Yel(all);
}

using testing::CorpusMovie;
using testing::CorpusMovies;

TEST(YelDump, ListsEveryCorpusMovie) {
  for (const auto& path : CorpusMovies()) {
    DumpRun run = Dump({path.string()});
    EXPECT_EQ(run.status, 0) << path << ": " << run.err;
    EXPECT_NE(run.out.find("    0  End"), std::string::npos) << path;
  }
}

TEST(YelDump, IndentsSpriteContentsAndSummarisesFields) {
  DumpRun run = Dump({CorpusMovie("from_gnash__misc-ming.all__loop__loop_test7__test.swf")});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("FWS version 6, file length 12726"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("   11131   39  DefineSprite                   16  sprite 5, 1 frames, 3 tags\n"
                         "   11137     26  PlaceObject2                  6"),
            std::string::npos)
      << run.out;
  DumpRun packed = Dump({CorpusMovie("avm1__edittext_align_trailing_spaces_swf8__test.swf")});
  EXPECT_NE(packed.out.find("CWS version 8, file length 1881 (compressed)"), std::string::npos) << packed.out;
  EXPECT_NE(packed.out.find("SetBackgroundColor              3  #FFFFFF"), std::string::npos) << packed.out;
}

TEST(YelDump, ActionsOfEveryCorpusMovie) {
  int listings = 0;
  for (const auto& path : CorpusMovies()) {
    DumpRun run = Dump({"--actions", path.string()});
    EXPECT_EQ(run.status, 0) << path << ": " << run.err;
    EXPECT_EQ(run.out.find("DoAction (unreadable)"), std::string::npos) << path;
    EXPECT_EQ(run.out.find("DoInitAction (unreadable)"), std::string::npos) << path;
    if (run.out.find("  ConstantPool ") != std::string::npos) ++listings;
  }
  EXPECT_GT(listings, 40);

  // One action per line with its offset; branch targets and block ends as
  // labels, block bodies indented.
  DumpRun run = Dump({CorpusMovie("avm1__loadvars_tostring__test.swf"), "--actions"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("      32   12  DoAction                      693  147 actions\n"
                         "               0  ConstantPool 16: \"lv\", \"LoadVars\","),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("             352  Try try size 26 to L3; catch \"err\" size 13 to L4\n"
                         "             366    Push int 0\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("             387    Jump L4\n"
                         "           L3:\n"
                         "             392    Push const8 10 (\"Caught: \")\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("             692  End\n     731    1  ShowFrame"), std::string::npos) << run.out;
  // Without the option no action is listed.
  EXPECT_EQ(Dump({CorpusMovie("avm1__loadvars_tostring__test.swf")}).out.find("ConstantPool"), std::string::npos);
}

TEST(YelDump, ShowsOnlyTheTagsTheFileHolds) {
  // A sprite whose body ends with its ShowFrame, without an End tag: the
  // reader gives the sprite an End (it is written back with one), but the
  // dump lists only what the file holds.
  testing::TempDir dir;
  std::string file = dir.Write(
      "no-end.swf", std::string("FWS\x08\x19\x00\x00\x00\x00\x00\x0c\x01\x00"
                                "\xc6\x09\x01\x00\x01\x00\x40\x00"  // DefineSprite 1: ShowFrame
                                "\x40\x00\x00\x00", 25));              // ShowFrame, End
  DumpRun run = Dump({file});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("      13   39  DefineSprite                    6  sprite 1, 1 frames"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("      19      1  ShowFrame                     0\n      21    1  ShowFrame"), std::string::npos)
      << run.out;
  std::size_t ends = 0;
  for (std::size_t at = run.out.find("End"); at != std::string::npos; at = run.out.find("End", at + 1)) ++ends;
  EXPECT_EQ(ends, 1u) << run.out;
}

TEST(YelDump, LongListingComesWholeAndInOrder) {
  // 50,000 frames: a listing of megabytes, more than is kept in memory.
  std::string movie("FWS\x08\0\0\0\0\x00\x00\x0c\x50\xc3", 13);  // 12 fps, 50000 frames
  for (int i = 0; i < 50000; ++i) movie += std::string("\x40\x00", 2);
  movie += std::string("\0\0", 2);
  testing::TempDir dir;
  DumpRun run = Dump({dir.Write("frames.swf", movie)});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("50000 frames\n50001 tags\n"), std::string::npos) << run.out.substr(0, 400);
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5 + 50001);
  EXPECT_NE(run.out.find("      13    1  ShowFrame                       0\n      15    1  ShowFrame"),
            std::string::npos);
  const std::string last =
      "  100011    1  ShowFrame                       0\n  100013    0  End                             0\n";
  ASSERT_GE(run.out.size(), last.size());
  EXPECT_EQ(run.out.substr(run.out.size() - last.size()), last);
}

// A tag of unknown code is listed without being held: a megabyte of file
// whose one tag unpacks to a gigabyte prints its line with little memory.
// A movie of more tags than its size allows is refused with the reason.
TEST(YelDump, HugeTagsAreReadThroughAndTagCountsBounded) {
  testing::TempDir dir;
  const std::string huge =
      dir.Write("huge.swf", testing::CraftedCompressedMovie(testing::CraftedTagHeader(1000, 1u << 30), 1u << 30,
                                                            std::string("\x40\x00\0\0", 4)));
  DumpRun run;
  const auto largest = testing::LargestAllocation([&] { run = Dump({huge}); });
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("3 tags\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(" 1000  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("1073741824"), std::string::npos) << run.out;
  if (largest) {
    EXPECT_LT(*largest, 16u << 20);
  }

  DumpRun many = Dump({dir.Write("tags.swf", testing::CraftedCompressedMovie("", 2'000'000, ""))});
  EXPECT_EQ(many.status, 1);
  EXPECT_NE(many.err.find("tags.swf: the movie holds more than"), std::string::npos) << many.err;
}

TEST(YelDump, BadFilesAndUsage) {
  testing::TempDir dir;
  std::string text = dir.Write("notes.swf", "hello, world");
  std::string cut = dir.Write("cut.swf", std::string("CWS\x08\x40\x00\x00\x00\x78\x9c", 10));
  // A sprite whose nested tag runs past the sprite's end.
  std::string sprite = dir.Write(
      "sprite.swf", std::string("FWS\x08\x1f\x00\x00\x00\x00\x00\x0c\x01\x00\xca\x09\x01\x00\x01\x00\x72\x06\x01\x02\x00\x00", 25));

  DumpRun notSwf = Dump({text});
  EXPECT_EQ(notSwf.status, 1);
  EXPECT_NE(notSwf.err.find("notes.swf: not an SWF file"), std::string::npos) << notSwf.err;
  DumpRun damaged = Dump({cut});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("cut.swf: the compressed data is cut off"), std::string::npos) << damaged.err;
  DumpRun unreadable = Dump({sprite});
  EXPECT_EQ(unreadable.status, 0) << unreadable.err;
  EXPECT_NE(unreadable.out.find("DefineSprite (unreadable)"), std::string::npos) << unreadable.out;
  EXPECT_NE(unreadable.out.find("claims 50 bytes"), std::string::npos) << unreadable.out;

  EXPECT_EQ(Dump({dir / "missing.swf"}).status, 1);
  EXPECT_EQ(Dump({}).status, 2);
  EXPECT_EQ(Dump({text, "extra"}).status, 2);
  DumpRun help = Dump({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: yel dump FILE.swf", 0), 0u);
  EXPECT_NE(help.out.find("--actions"), std::string::npos);
  EXPECT_EQ(Dump({text, "--actions", "extra"}).status, 2);
}

}  // namespace
}  // namespace yel
