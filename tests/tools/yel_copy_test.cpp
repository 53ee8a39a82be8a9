// yel copy run in-process: real movies come back with the same tags (byte
// for byte where their producer wrote the encodings we write), compression
// switches on request, and damaged input leaves no output file.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include "base/files.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_codes.h"
#include "tests/testing/corpus.h"
#include "tests/testing/crafted_movies.h"
#include "tests/testing/temp_dir.h"
#include "tests/tools/yel_run.h"

namespace yel {
namespace {

using testing::CorpusMovie;
using testing::CorpusMovies;
using Bytes = std::vector<std::uint8_t>;

testing::YelRun Copy(const cli::Args& args) {
  cli::Args all = {"copy"};
  all.insert(all.end(), args.begin(), args.end());
  return testing::Yel(all);
}

// The uncompressed tag bytes of a movie file.
Bytes BodyOf(const std::string& path) {
  swf::TSWFStreamReader reader(path);
  return reader.BodyStream().Bytes();
}

// Code and body of every tag, sprites' tags in place of the sprite's body
// (producers choose the long header form for short tags at times: the
// header form is not compared).
std::vector<std::pair<int, Bytes>> TagsOf(swf::TSWFStreamReader& reader) {
  reader.ParseTags(true, false);
  const Bytes& body = reader.BodyStream().Bytes();
  std::vector<std::pair<int, Bytes>> out;
  std::function<void(const swf::TSWFTagInfo&)> add = [&](const swf::TSWFTagInfo& entry) {
    std::uint64_t start = entry.Position + (entry.IsLongHeader ? 6 : 2);
    if (entry.SubTags.empty()) {
      out.emplace_back(entry.TagID, Bytes(body.begin() + start, body.begin() + start + entry.Length));
      return;
    }
    out.emplace_back(entry.TagID, Bytes(body.begin() + start, body.begin() + start + 4));
    for (const auto& sub : entry.SubTags) add(*sub);
  };
  for (std::size_t i = 0; i < reader.TagCount(); ++i) add(reader.TagInfo(i));
  return out;
}

TEST(YelCopy, RealMoviesComeBackTheSame) {
  // Movies whose producers chose encodings other than the minimal ones we
  // write (field widths of 1 for zeros, moves to 0, 0, an empty colour
  // transform with a width): their copies hold the same values in other bits.
  const std::set<std::string> reencoded = {
      "avm1__focusrect_property_swf6__test.swf",
      "avm1__focus_mouse_rollout__test.swf",
      "visual__video__colorconversion__h263__test.swf",
      "from_gnash__misc-ming.all__loop__simple_loop_test__test.swf",
      "from_gnash__misc-ming.all__attachMovieLoopingTest__test.swf",
      "from_gnash__misc-ming.all__loading__loadMovieTest__blue.swf",
      "from_gnash__misc-ming.all__register_class__RegisterClassTest3__test.swf",
  };
  testing::TempDir dir;
  int identical = 0;
  for (const auto& path : CorpusMovies()) {
    const std::string name = path.filename().string();
    SCOPED_TRACE(name);
    const std::string out = dir / name;
    auto run = Copy({path.string(), out});
    ASSERT_EQ(run.status, 0) << run.err;
    swf::TSWFStreamReader original(path.string()), copy(out);
    EXPECT_EQ(copy.Compressed(), original.Compressed());
    EXPECT_EQ(copy.Version(), original.Version());
    EXPECT_EQ(copy.FrameCount, original.FrameCount);
    EXPECT_EQ(copy.MovieRect(), original.MovieRect());
    auto originalTags = TagsOf(original), copiedTags = TagsOf(copy);
    ASSERT_EQ(copiedTags.size(), originalTags.size());
    int differences = 0, fonts = 0;
    for (std::size_t i = 0; i < originalTags.size(); ++i) {
      EXPECT_EQ(copiedTags[i].first, originalTags[i].first) << "tag " << i;
      if (copiedTags[i].second == originalTags[i].second) continue;
      // Producers store some font fields wider than we write them (glyph
      // offsets, bounds, layout): such a font must at least come back the
      // same from our own copy.
      const int code = originalTags[i].first;
      if (code == swf::tag::DefineFont || code == swf::tag::DefineFont2 || code == swf::tag::DefineFont3)
        ++fonts;
      else
        ++differences;
    }
    if (fonts > 0) {
      const std::string again = dir / ("again-" + name);
      ASSERT_EQ(Copy({out, again}).status, 0);
      swf::TSWFStreamReader second(again);
      EXPECT_TRUE(TagsOf(second) == copiedTags) << "a font changes again on a second copy";
    }
    if (reencoded.count(name)) {
      EXPECT_GT(differences, 0) << "now comes back byte for byte: take it off the list";
      continue;
    }
    EXPECT_EQ(differences, 0);
    identical += differences == 0;
  }
  EXPECT_GT(identical, 50);
}

TEST(YelCopy, CompressesAndUncompressesOnRequest) {
  testing::TempDir dir;
  const std::string plain = CorpusMovie("avm1__add_swf5__test.swf");
  ASSERT_EQ(Copy({plain, dir / "packed.swf", "--compress"}).status, 0);
  ASSERT_EQ(Copy({"--uncompress", dir / "packed.swf", dir / "unpacked.swf"}).status, 0);
  swf::TSWFStreamReader packed(dir / "packed.swf"), unpacked(dir / "unpacked.swf");
  EXPECT_TRUE(packed.Compressed());
  EXPECT_FALSE(unpacked.Compressed());
  EXPECT_EQ(packed.BodyStream().Bytes(), BodyOf(plain));
  EXPECT_EQ(ReadFileBytes(dir / "unpacked.swf"), ReadFileBytes(plain));

  auto both = Copy({plain, dir / "x.swf", "--compress", "--uncompress"});
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.err.find("exclude each other"), std::string::npos) << both.err;
  EXPECT_EQ(Copy({plain}).status, 2);
}

TEST(YelCopy, DamagedInputGivesAnErrorAndNoFile) {
  testing::TempDir dir;
  const std::string plain = dir / "plain.swf";
  ASSERT_EQ(Copy({CorpusMovie("avm1__focusrect_property_swf6__test.swf"), plain, "--uncompress"}).status, 0);
  Bytes movie = ReadFileBytes(plain);
  swf::TSWFStreamReader reader(plain);
  reader.ParseTags();
  // The DefineButton2's action offset pointed past its body.
  std::size_t button = 0;
  for (std::size_t i = 0; i < reader.TagCount(); ++i)
    if (reader.TagInfo(i).TagID == 34) button = reader.BodyOffset() + reader.TagInfo(i).Position;
  ASSERT_NE(button, 0u);
  Bytes damaged = movie;
  damaged[button + 2 + 3] = 0xF0;
  struct Case {
    const char* name;
    Bytes bytes;
    const char* message;
  };
  const Case cases[] = {
      {"button.swf", damaged, "DefineButton2"},
      {"cut.swf", Bytes(movie.begin(), movie.begin() + movie.size() / 2), "claims"},
      {"text.swf", Bytes{'h', 'e', 'l', 'l', 'o'}, "not an SWF file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir / c.name;
    WriteFileAtomically(in, c.bytes);
    auto run = Copy({in, dir / "out.swf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(in), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.swf"));
  }
  auto missing = Copy({dir / "missing.swf", dir / "out.swf"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("missing.swf"), std::string::npos) << missing.err;
}

// Movies that would take far more than their size to copy are refused
// with the reason and leave no output: a few kilobytes of compressed file
// holding a million empty tags, and a megabyte unpacking to a gigabyte.
// A DoAction whose actions cannot be read (yel dump lists it as unreadable)
// is refused as well: a copy would carry the damage on.
TEST(YelCopy, HostileMoviesAreRefused) {
  testing::TempDir dir;
  const std::string damagedActions = testing::CraftedPlainMovie(
      testing::CraftedTagHeader(12, 5) + std::string("\x96\x10\x00\x07\x00", 5) + std::string("\x40\x00\0\0", 4));
  const struct {
    const char* name;
    std::string bytes;
    const char* message;
  } cases[] = {
      {"tags.swf", testing::CraftedCompressedMovie("", 2'000'000, ""), "tags for its"},
      {"gigabyte.swf", testing::CraftedCompressedMovie(testing::CraftedTagHeader(6, 1u << 30), 1u << 30, ""),
       "unpacks to more than"},
      {"actions.swf", damagedActions, "DoAction"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir.Write(c.name, c.bytes);
    const auto run = Copy({in, dir / "out.swf"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(in + ": "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "out.swf"));
  }
  const auto dump = testing::Yel({"dump", dir / "actions.swf"});
  EXPECT_NE(dump.out.find("DoAction (unreadable)"), std::string::npos) << dump.out << dump.err;
}

}  // namespace
}  // namespace yel
