// SWF header, compression, loading bad input, the tag list and its editing
// operations, and the round trip of real movies.
#include "swf/format/swf_stream.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "base/error.h"
#include "base/files.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/test_movie.h"
#include "tests/testing/corpus.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::TestMovie;

void Append(Bytes& out, std::initializer_list<int> bytes) {
  for (int b : bytes) out.push_back(static_cast<std::uint8_t>(b));
}

void AppendTag(Bytes& out, int code, const Bytes& body, bool forceLong = false) {
  if (body.size() >= 63 || forceLong) {
    int word = code * 64 + 63;
    auto n = static_cast<std::uint32_t>(body.size());
    Append(out, {word & 0xFF, word >> 8, static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
                 static_cast<int>((n >> 16) & 0xFF), static_cast<int>(n >> 24)});
  } else {
    int word = code * 64 + static_cast<int>(body.size());
    Append(out, {word & 0xFF, word >> 8});
  }
  out.insert(out.end(), body.begin(), body.end());
}

// A plain file around the given body: 550 x 400, 12 fps, frameCount frames.
Bytes PlainFile(const Bytes& body, int version = 8, int frameCount = 1) {
  Bytes file = {'F', 'W', 'S', static_cast<std::uint8_t>(version), 0, 0, 0, 0,
                0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x00, 0x0C,
                static_cast<std::uint8_t>(frameCount), 0};
  file.insert(file.end(), body.begin(), body.end());
  auto n = static_cast<std::uint32_t>(file.size());
  for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(n >> (8 * i));
  return file;
}

Bytes Compress(const Bytes& plain, std::uint32_t fileLength = 0, int level = Z_DEFAULT_COMPRESSION) {
  uLongf size = compressBound(plain.size() - 8);
  Bytes out(8 + size);
  std::copy(plain.begin(), plain.begin() + 8, out.begin());
  out[0] = 'C';
  compress2(out.data() + 8, &size, plain.data() + 8, plain.size() - 8, level);
  out.resize(8 + size);
  if (fileLength)
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(fileLength >> (8 * i));
  return out;
}

void Load(TSWFStreamReader& reader, const Bytes& file) { reader.LoadFromBytes(file.data(), file.size(), "movie.swf"); }

Bytes Save(TSWFStreamReader& reader) {
  TMemoryStream out;
  reader.SaveToStream(out);
  return out.TakeBytes();
}

TEST(SWFStreamTest, HeaderAndVersionRules) {
  TestMovie movie(0, 0, 550, 400, 12, TSWFSystemCoord::Pix);
  EXPECT_EQ(movie.MovieRect(), (TRect{0, 0, 11000, 8000}));
  EXPECT_EQ(movie.Width(), 550);
  EXPECT_EQ(movie.HeaderSize(), 21);
  EXPECT_EQ(movie.Version(), 5);

  // No tags at all: a 21-byte file.
  TMemoryStream empty;
  movie.SaveToStream(empty);
  EXPECT_EQ(empty.Bytes(), PlainFile({}, 5, 0));

  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.FrameCount = 1;
  Bytes plain = movie.Save();
  EXPECT_EQ(movie.FileLength(), 23u);
  EXPECT_EQ(plain.size(), 23u);

  movie.SetCompressed(true);
  EXPECT_EQ(movie.Version(), 6);
  movie.SetVersion(4);
  EXPECT_EQ(movie.Version(), 6);
  Bytes packed = movie.Save();
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 8), (Bytes{'C', 'W', 'S', 6, 23, 0, 0, 0}));

  TestMovie twips(0, 0, 100, 100, 0.5f, TSWFSystemCoord::Twips);
  EXPECT_EQ(twips.FPSWord(), 0x0080);
  twips.SetSystemCoord(TSWFSystemCoord::Pix);
  EXPECT_EQ(twips.Width(), 5);  // existing values are not converted

  // Pixel sizes beyond the twips range stop at its end instead of wrapping.
  TestMovie huge(-200000000, 0, 200000000, 10, 12, TSWFSystemCoord::Pix);
  EXPECT_EQ(huge.MovieRect(), (TRect{INT32_MIN, 0, INT32_MAX, 200}));
  EXPECT_EQ(huge.Width(), static_cast<int>((std::int64_t{INT32_MAX} - INT32_MIN) / 20));
}

TEST(SWFStreamTest, SavesAndLoadsPlainAndCompressed) {
  for (bool compressed : {false, true}) {
    TestMovie movie(0, 0, 320, 240, 24, TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    movie.SetCompressed(compressed);
    auto& bg = movie.Add(std::make_unique<TSWFSetBackgroundColor>());
    bg.Color.SetRGB(0x336699);
    auto& data = movie.Add(std::make_unique<TSWFByteCodeTag>());
    data.TagCode = 99;  // a code without a class of its own stays raw
    Bytes payload(300000);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7 ^ (i >> 9));
    data.SetData(payload);
    movie.Add(std::make_unique<TSWFShowFrame>());
    movie.Add(std::make_unique<TSWFEnd>());
    movie.FrameCount = 1;
    std::vector<int> progress;
    movie.OnProgress = [&](TBasedSWFStream&, int percent, int kind) {
      if (kind == kProgressCompressing) progress.push_back(percent);
    };
    Bytes file = movie.Save();
    EXPECT_EQ(compressed, !progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

    TSWFStreamReader reader;
    Load(reader, file);
    ASSERT_TRUE(reader.IsSWF);
    EXPECT_EQ(reader.Compressed(), compressed);
    EXPECT_EQ(reader.Version(), 8);
    EXPECT_EQ(reader.FPS(), 24.0f);
    EXPECT_EQ(reader.MovieRect(), movie.MovieRect());
    EXPECT_EQ(reader.FrameCount, 1);
    EXPECT_EQ(reader.BodyStream().Bytes(), movie.BodyStream().Bytes());
    reader.ParseTags();
    ASSERT_EQ(reader.TagCount(), 4u);
    auto& raw = dynamic_cast<TSWFByteCodeTag&>(*reader.TagInfo(1).TagObject);
    // Raw bodies share the loaded bytes; changing or replacing the body
    // leaves them as they were.
    EXPECT_TRUE(raw.OwnsData());
    reader.BodyStream().Data()[10] ^= 0xFF;
    EXPECT_EQ(Bytes(raw.Data(), raw.Data() + raw.DataSize()), payload);
    reader.MakeStream();
    reader.MakeStream();
    EXPECT_EQ(Save(reader), file);
  }
}

TEST(SWFStreamTest, AMovieReadKeepsItsVersionWhenCompressed) {
  // A compressed version 5 movie read and written back stays version 5 (its
  // scripts would run by other rules as version 6); a version 5 movie read
  // plain and saved compressed too. Movies we build are raised to 6.
  Bytes plain = ReadFileBytes(yel::testing::CorpusMovie("avm1__add_swf5__test.swf"));
  ASSERT_EQ(plain[3], 5);
  for (bool packedOnDisk : {true, false}) {
    SCOPED_TRACE(packedOnDisk);
    TSWFStreamReader reader;
    Load(reader, packedOnDisk ? Compress(plain) : plain);
    reader.ParseTags();
    reader.MakeStream();
    reader.SetCompressed(true);
    EXPECT_EQ(reader.Version(), 5);
    Bytes saved = Save(reader);
    EXPECT_EQ(saved[0], 'C');
    EXPECT_EQ(saved[3], 5);
  }
  TestMovie built(0, 0, 10, 10, 12, TSWFSystemCoord::Pix);
  built.SetVersion(5);
  built.SetCompressed(true);
  built.Add(std::make_unique<TSWFEnd>());
  EXPECT_EQ(built.Save()[3], 6);
}

TEST(SWFStreamTest, SaveToFileWritesTheMovie) {
  yel::testing::TempDir dir;
  TestMovie movie(0, 0, 10, 10, 12, TSWFSystemCoord::Pix);
  movie.SetCompressed(true);
  movie.Add(std::make_unique<TSWFEnd>());
  movie.MakeStream();
  std::string path = dir / "out.swf";
  movie.SaveToFile(path);
  movie.SaveToFile(path);  // replacing an existing file
  TSWFStreamReader reader(path);
  EXPECT_TRUE(reader.IsSWF);
  EXPECT_TRUE(reader.Compressed());
  EXPECT_EQ(reader.SourceName(), path);
  EXPECT_THROW(TSWFStreamReader(dir / "missing.swf"), Error);
}

TEST(SWFStreamTest, NotAnSWFFileLoadsNothing) {
  for (const Bytes& file : {Bytes{}, Bytes{'F'}, Bytes{'F', 'W', 'S'}, Bytes{'G', 'W', 'S', 8, 0, 0, 0, 0, 0},
                            Bytes{'Z', 'W', 'S', 13, 0, 0, 0, 0, 0, 0, 0, 0}}) {
    TSWFStreamReader reader;
    EXPECT_NO_THROW(Load(reader, file));
    EXPECT_FALSE(reader.IsSWF) << file.size();
    EXPECT_EQ(reader.BodyStream().Size(), 0u);
  }
}

TEST(SWFStreamTest, BadInputGivesClearErrors) {
  Bytes good = PlainFile({0x40, 0x00, 0x00, 0x00});
  Bytes damaged = Compress(good);
  damaged[12] ^= 0x55;
  damaged[13] ^= 0xFF;
  Bytes truncated = Compress(good);
  truncated.resize(truncated.size() - 6);
  Bytes hugeTag;
  Append(hugeTag, {0x7F, 0x13, 0xF0, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  hugeTag = PlainFile(hugeTag);
  Bytes badSum = Compress(good);
  badSum.back() ^= 1;
  struct Case {
    std::string name;
    Bytes file;
    const char* message;
  };
  std::vector<Case> cases = {
      {"signature and version only", {'F', 'W', 'S', 8}, "ends inside the SWF header"},
      {"seven bytes", {'C', 'W', 'S', 8, 30, 0, 0}, "ends inside the SWF header"},
      {"plain header cut in the rectangle", Bytes(good.begin(), good.begin() + 14), "ends inside the SWF header"},
      {"damaged zlib stream", damaged, "damaged compressed data at offset"},
      {"zlib stream cut off", truncated, "cut off"},
      {"file length beyond the data", Compress(good, static_cast<std::uint32_t>(good.size() + 1)), "file length of 26"},
      {"file length of 4 GB", Compress(good, 0xFFFFFFFFu), "file length of 4294967295"},
      {"file length below the header", Compress(good, 4), "less than the header"},
      {"file length inside the header", Compress(good, 12), "ends inside the SWF header"},
      {"a tag of 4 GB in a file of 4 GB", Compress(hugeTag, 0xFFFFFFFFu), "the compressed data holds 39 bytes"},
      {"checksum of the data", badSum, "incorrect data check"},
  };
  // The checksum is checked wherever the data ends: here around 256 KB,
  // where a file is read in pieces (stored blocks: the sizes are exact).
  Bytes data(263000);
  std::uint32_t noise = 1;
  for (auto& b : data) b = static_cast<std::uint8_t>((noise = noise * 1103515245u + 12345u) >> 24);
  std::size_t n = 261000;
  for (std::size_t end = 8 + 262144 - 4; end <= 8 + 262144 + 4; ++end) {
    Bytes file;
    for (;; ++n) {
      Bytes body;
      AppendTag(body, 87, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n)));
      file = Compress(PlainFile(body), 0, 0);
      if (file.size() >= end || n == data.size()) break;
    }
    ASSERT_EQ(file.size(), end);
    file.back() ^= 1;
    cases.push_back({"checksum of data ending at " + std::to_string(end), file, "incorrect data check"});
  }
  // The same errors from bytes in memory, from a file read in pieces and
  // from a file read tag by tag (nothing allocated for what lengths claim).
  yel::testing::TempDir dir;
  for (const auto& c : cases) {
    const std::string file = dir.Write("movie.swf", std::string(c.file.begin(), c.file.end()));
    for (int way = 0; way < 3; ++way) {
      try {
        if (way == 0) {
          TSWFStreamReader reader;
          Load(reader, c.file);
        } else if (way == 1) {
          TSWFStreamReader reader(file);
        } else {
          TSWFTagScanner scanner(file);
          while (scanner.Next()) {
          }
        }
        ADD_FAILURE() << c.name << ": no error, way " << way;
      } catch (const Error& e) {
        std::string text = e.what();
        EXPECT_EQ(text.rfind(way == 0 ? "movie.swf: " : file + ": ", 0), 0u) << c.name << ": " << text;
        EXPECT_NE(text.find(c.message), std::string::npos) << c.name << ", way " << way << ": " << text;
      }
    }
  }
}

TEST(SWFStreamTest, FileLengthOfAPlainFileIsNotTrusted) {
  for (std::uint32_t claimed : {0u, 10u, 0xFFFFFFFFu}) {
    Bytes file = PlainFile({0x40, 0x00, 0x00, 0x00});
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
    TSWFStreamReader reader;
    Load(reader, file);
    EXPECT_EQ(reader.BodyStream().Size(), 4u);
  }
  // A compressed file longer than its length field is cut at that length.
  Bytes file = PlainFile({0x40, 0x00, 0x00, 0x00});
  TSWFStreamReader reader;
  Load(reader, Compress(file, static_cast<std::uint32_t>(file.size() - 2)));
  EXPECT_EQ(reader.BodyStream().Size(), 2u);
}

TEST(SWFStreamTest, ParsesTagEntries) {
  Bytes body;
  AppendTag(body, 9, {1, 2, 3});
  AppendTag(body, 1, {});
  AppendTag(body, 43, {'a', 0}, true);
  AppendTag(body, 1, {});
  AppendTag(body, 0, {});
  TSWFStreamReader reader;
  Load(reader, PlainFile(body));
  std::vector<int> parsing;
  reader.OnProgress = [&](TBasedSWFStream&, int percent, int kind) {
    if (kind == kProgressParsing) parsing.push_back(percent);
  };
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 5u);
  EXPECT_EQ(parsing.front(), 0);
  EXPECT_EQ(parsing.size(), 5u);
  const auto& label = reader.TagInfo(2);
  EXPECT_EQ(label.TagID, tag::FrameLabel);
  EXPECT_TRUE(label.IsLongHeader);
  EXPECT_EQ(label.Length, 2u);
  EXPECT_EQ(label.Position, 7u);
  EXPECT_EQ(label.FullSize(), 8u);
  EXPECT_EQ(label.Frame, 2);
  EXPECT_EQ(reader.TagInfo(1).Frame, 1);
  EXPECT_EQ(reader.TagInfo(4).Frame, 3);
  EXPECT_EQ(dynamic_cast<TSWFFrameLabel&>(*label.TagObject).Name, "a");
  EXPECT_TRUE(reader.TagInfo(0).OwnsObject);
  EXPECT_EQ(reader.FindFrameIndex(0), 0);
  EXPECT_EQ(reader.FindFrameIndex(2), 3);
  EXPECT_EQ(reader.FindFrameIndex(9), 4);

  // Without objects the body is copied as it is.
  reader.ParseTags(false);
  EXPECT_EQ(reader.TagInfo(0).TagObject, nullptr);
  Bytes before = reader.BodyStream().Bytes();
  reader.MakeStream();
  EXPECT_EQ(reader.BodyStream().Bytes(), before);
}

TEST(SWFStreamTest, FailedTagKeepsItsBytes) {
  // A sprite whose nested tag claims more bytes than the sprite holds, an
  // unknown tag, and a frame.
  Bytes sprite = {7, 0, 1, 0};
  AppendTag(sprite, 26, Bytes(10, 0xEE));
  sprite.resize(sprite.size() - 4);
  Bytes body;
  AppendTag(body, 39, sprite);
  AppendTag(body, 99, {5, 6, 7});
  AppendTag(body, 1, {});
  Bytes file = PlainFile(body);

  TSWFStreamReader reader;
  Load(reader, file);
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 3u);
  const auto& failed = reader.TagInfo(0);
  EXPECT_EQ(failed.TagID, tag::ErrorTag);
  auto& raw = dynamic_cast<TSWFByteCodeTag&>(*failed.TagObject);
  EXPECT_EQ(raw.TagCode, tag::DefineSprite);
  EXPECT_NE(raw.Description.find("DefineSprite at offset 21"), std::string::npos) << raw.Description;
  EXPECT_NE(raw.Description.find("PlaceObject2"), std::string::npos) << raw.Description;
  EXPECT_EQ(reader.TagInfo(1).TagID, 99);

  reader.MakeStream();
  reader.MakeStream();
  EXPECT_EQ(Save(reader), file);
}

TEST(SWFStreamTest, TagLengthPastTheEndEndsTheParse) {
  Bytes body;
  AppendTag(body, 1, {});
  AppendTag(body, 43, Bytes(100, 'x'));
  body.resize(body.size() - 60);
  TSWFStreamReader reader;
  Load(reader, PlainFile(body));
  reader.ParseTags();
  ASSERT_EQ(reader.TagCount(), 2u);
  const auto& cut = reader.TagInfo(1);
  EXPECT_EQ(cut.Length, 100u);
  EXPECT_EQ(cut.TagID, tag::ErrorTag);
  auto& raw = dynamic_cast<TSWFByteCodeTag&>(*cut.TagObject);
  EXPECT_NE(raw.Description.find("claims 100 bytes"), std::string::npos) << raw.Description;
  EXPECT_EQ(raw.DataSize(), 40u);
  // Written again, the tag carries the bytes that were there.
  reader.MakeStream();
  EXPECT_EQ(reader.BodyStream().Size(), 2u + 2 + 40);

  // The same when the tag was kept without an object.
  TSWFStreamReader bytesOnly;
  Load(bytesOnly, PlainFile(body));
  bytesOnly.ParseTags(false);
  bytesOnly.MakeStream();
  EXPECT_EQ(bytesOnly.BodyStream().Size(), 2u + 6 + 40);  // keeps its long header
  TSWFStreamReader again;
  TMemoryStream saved;
  bytesOnly.SaveToStream(saved);
  again.LoadFromStream(saved);
  again.ParseTags();
  EXPECT_EQ(again.TagInfo(1).TagID, tag::FrameLabel);
}

TEST(SWFStreamTest, SpriteEntriesListNestedTags) {
  Bytes sprite = {4, 0, 2, 0};
  AppendTag(sprite, 99, {1, 2, 3});
  AppendTag(sprite, 1, {});
  AppendTag(sprite, 43, {'x', 0}, true);
  AppendTag(sprite, 1, {});
  AppendTag(sprite, 0, {});
  Bytes body;
  AppendTag(body, 39, sprite);
  AppendTag(body, 1, {});
  TSWFStreamReader reader;
  Load(reader, PlainFile(body));
  reader.OnCreateTag = [](TSWFTagInfo& info, bool& create) { create = info.TagID != tag::ShowFrame; };
  reader.ParseTags();
  const auto& entry = reader.TagInfo(0);
  ASSERT_EQ(entry.SubTags.size(), 5u);
  EXPECT_EQ(entry.SubTags[0]->TagID, 99);
  EXPECT_EQ(entry.SubTags[0]->Position, 6u);
  EXPECT_EQ(entry.SubTags[2]->TagID, tag::FrameLabel);
  EXPECT_TRUE(entry.SubTags[2]->IsLongHeader);
  EXPECT_EQ(entry.SubTags[2]->Frame, 2);
  EXPECT_FALSE(entry.SubTags[2]->OwnsObject);
  EXPECT_EQ(entry.SubTags[4]->TagID, tag::End);
  EXPECT_EQ(reader.TagInfo(1).TagObject, nullptr);
  std::uint32_t afterLabel = entry.SubTags[3]->Position;

  reader.MakeStream();
  EXPECT_EQ(entry.SubTags[3]->Position, afterLabel - 4);  // the label has a short header now
  TSWFStreamReader again;
  TMemoryStream saved;
  reader.SaveToStream(saved);
  again.LoadFromStream(saved);
  again.ParseTags();
  const auto& sprite2 = dynamic_cast<TSWFDefineSprite&>(*again.TagInfo(0).TagObject);
  EXPECT_EQ(sprite2.SpriteId, 4);
  EXPECT_EQ(sprite2.ControlTags.size(), 5u);
  EXPECT_EQ(again.TagInfo(0).SubTags[3]->Position, afterLabel - 4);
}

TEST(SWFStreamTest, MoveResourceBringsDefinitionsForward) {
  // Frames 0..4; resources in frames 1, 3 and 4.
  Bytes body;
  AppendTag(body, 9, {0, 0, 0});   // 0
  AppendTag(body, 1, {});          // 1 ends frame 0
  AppendTag(body, 6, {1});         // 2
  AppendTag(body, 1, {});          // 3 ends frame 1
  AppendTag(body, 1, {});          // 4 ends frame 2
  AppendTag(body, 26, {2});        // 5
  AppendTag(body, 8, {3});         // 6
  AppendTag(body, 1, {});          // 7 ends frame 3
  AppendTag(body, 14, {4});        // 8
  AppendTag(body, 48, {5});        // 9
  AppendTag(body, 1, {});          // 10 ends frame 4
  AppendTag(body, 0, {});          // 11
  TSWFStreamReader reader;
  Load(reader, PlainFile(body, 8, 5));
  reader.ParseTags(false);  // the placeholder bodies need not decode
  reader.MoveResource(0, 3, -1);
  std::vector<int> codes;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) codes.push_back(reader.TagInfo(i).TagID);
  // The bitmap of frame 1 stays: only frames 3 and later are moved.
  EXPECT_EQ(codes, (std::vector<int>{8, 14, 48, 9, 1, 6, 1, 1, 26, 1, 1, 0}));
}

TEST(SWFStreamTest, RenumberCharacters) {
  auto spriteBody = [](int id) {
    Bytes b = {static_cast<std::uint8_t>(id), 0, 1, 0};
    AppendTag(b, 1, {});
    AppendTag(b, 0, {});
    return b;
  };
  Bytes body;
  AppendTag(body, 39, spriteBody(1));
  AppendTag(body, 39, spriteBody(2));
  AppendTag(body, 39, spriteBody(5));
  TSWFExportAssets exports;
  exports.AddAsset("one", 1);
  exports.AddAsset("five", 5);
  exports.AddAsset("other", 40);
  TMemoryStream exportTag;
  TBitsEngine be(exportTag);
  exports.WriteToStream(be);
  body.insert(body.end(), exportTag.Bytes().begin(), exportTag.Bytes().end());
  TSWFDefineScalingGrid grid;
  grid.ID = 2;
  TMemoryStream gridTag;
  TBitsEngine gbe(gridTag);
  grid.WriteToStream(gbe);
  body.insert(body.end(), gridTag.Bytes().begin(), gridTag.Bytes().end());

  TSWFStreamReader reader;
  Load(reader, PlainFile(body));
  reader.ParseTags();
  EXPECT_EQ(reader.RenumberCharacters(100), 103);
  auto id = [&](int i) { return dynamic_cast<TSWFDefineSprite&>(*reader.TagInfo(i).TagObject).SpriteId; };
  EXPECT_EQ(id(0), 100);
  EXPECT_EQ(id(1), 101);
  EXPECT_EQ(id(2), 102);
  auto& assets = dynamic_cast<TSWFExportAssets&>(*reader.TagInfo(3).TagObject).Assets;
  EXPECT_EQ(assets[0].ID, 100);
  EXPECT_EQ(assets[1].ID, 102);
  EXPECT_EQ(assets[2].ID, 40);
  EXPECT_EQ(dynamic_cast<TSWFDefineScalingGrid&>(*reader.TagInfo(4).TagObject).ID, 101);

  // A definition the handler keeps is neither renumbered nor counted.
  TSWFStreamReader kept;
  Load(kept, PlainFile(body));
  kept.ParseTags();
  kept.OnRenumber = [](TSWFObject& tag, bool& renumber) {
    if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(&tag)) renumber = sprite->SpriteId != 2;
  };
  EXPECT_EQ(kept.RenumberCharacters(10), 12);
  EXPECT_EQ(dynamic_cast<TSWFDefineSprite&>(*kept.TagInfo(1).TagObject).SpriteId, 2);
  EXPECT_EQ(dynamic_cast<TSWFDefineSprite&>(*kept.TagInfo(2).TagObject).SpriteId, 11);
}

// --- real movies

// Code and body of every tag, nested sprite tags included, as text. A tag
// with an object is described by the body its object writes, so two reads
// compare by value even where a file's own encoding of a field differs from
// the one we write (the shape tests report those files).
void Describe(const TSWFTagInfo& entry, const Bytes& body, std::ostringstream& out) {
  out << entry.TagID << ":";
  if (!entry.SubTags.empty()) {
    out << "[";
    for (const auto& sub : entry.SubTags) Describe(*sub, body, out);
    out << "]";
  } else if (entry.TagObject) {
    TMemoryStream encoded;
    TBitsEngine be(encoded);
    entry.TagObject->WriteTagBody(be);
    be.FlushLastByte(true);
    for (std::uint8_t b : encoded.Bytes()) out << static_cast<int>(b) << ",";
  } else {
    std::uint64_t start = entry.Position + (entry.IsLongHeader ? 6 : 2);
    for (std::uint64_t i = start; i < start + entry.Length && i < body.size(); ++i) out << static_cast<int>(body[i]) << ",";
  }
  out << ";";
}

std::string Describe(TSWFStreamReader& reader) {
  std::ostringstream out;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) Describe(reader.TagInfo(i), reader.BodyStream().Bytes(), out);
  return out.str();
}

// Init actions name the sprite they initialise: after renumbering they must
// still name a sprite of the movie, the same one as before.
TEST(SWFStreamCorpusTest, RenumberingKeepsInitActionsOnTheirSprites) {
  int movies = 0;
  for (const auto& path : yel::testing::CorpusMovies()) {
    const std::string name = path.filename().string();
    TSWFStreamReader reader(path.string());
    reader.ParseTags();
    // Sprite id -> index among the sprites, and the init actions' sprites.
    std::map<int, int> before;
    std::vector<int> inits;
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      TSWFObject* tag = reader.TagInfo(i).TagObject;
      if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(tag)) before.emplace(sprite->SpriteId, int(before.size()));
      if (auto* init = dynamic_cast<TSWFDoInitAction*>(tag)) inits.push_back(init->SpriteID);
    }
    if (inits.empty()) continue;
    ++movies;
    reader.RenumberCharacters(300);
    std::map<int, int> after;
    std::vector<int> initsAfter;
    for (std::size_t i = 0; i < reader.TagCount(); ++i) {
      TSWFObject* tag = reader.TagInfo(i).TagObject;
      if (auto* sprite = dynamic_cast<TSWFDefineSprite*>(tag)) after.emplace(sprite->SpriteId, int(after.size()));
      if (auto* init = dynamic_cast<TSWFDoInitAction*>(tag)) initsAfter.push_back(init->SpriteID);
    }
    ASSERT_EQ(initsAfter.size(), inits.size()) << name;
    for (std::size_t k = 0; k < inits.size(); ++k) {
      auto was = before.find(inits[k]);
      auto is = after.find(initsAfter[k]);
      ASSERT_NE(is, after.end()) << name << ": init action " << k << " names sprite " << initsAfter[k];
      if (was != before.end()) {
        EXPECT_EQ(is->second, was->second) << name << ": init action " << k;
      }
    }
  }
  EXPECT_GE(movies, 5);
}

TEST(SWFStreamCorpusTest, RealMoviesComeBackWithTheSameTags) {
  int files = 0;
  for (const auto& path : yel::testing::CorpusMovies()) {
    ++files;
    std::string name = path.filename().string();
    TSWFStreamReader reader(path.string());
    ASSERT_TRUE(reader.IsSWF) << name;
    reader.ParseTags();
    for (std::size_t i = 0; i < reader.TagCount(); ++i)
      EXPECT_NE(reader.TagInfo(i).TagID, tag::ErrorTag) << name << " tag " << i << ": "
          << dynamic_cast<TSWFByteCodeTag&>(*reader.TagInfo(i).TagObject).Description;
    std::string before = Describe(reader);
    reader.MakeStream();
    TMemoryStream saved;
    reader.SaveToStream(saved);

    TSWFStreamReader again;
    again.LoadFromStream(saved, name);
    again.ParseTags();
    EXPECT_EQ(Describe(again), before) << name;
    EXPECT_EQ(again.Compressed(), reader.Compressed()) << name;
    EXPECT_EQ(again.Version(), reader.Version()) << name;
    EXPECT_EQ(again.FrameCount, reader.FrameCount) << name;
    EXPECT_EQ(again.MovieRect(), reader.MovieRect()) << name;
  }
  EXPECT_GT(files, 50);
}

// An entry as a line: where it stands, its header, and the tag as its
// object writes it (or its bytes), nested entries included.
void DescribeEntry(const TSWFTagInfo& entry, std::ostringstream& out) {
  out << entry.Position << " " << entry.TagID << " " << entry.Length << (entry.IsLongHeader ? "L " : " ") << entry.Frame
      << ":";
  if (entry.TagObject) {
    TMemoryStream encoded;
    TBitsEngine be(encoded);
    entry.TagObject->WriteTagBody(be);
    be.FlushLastByte(true);
    out << encoded.Size() << "," << adler32(1, encoded.Bytes().data(), uInt(encoded.Size()));
  }
  out << "[";
  for (const auto& sub : entry.SubTags) DescribeEntry(*sub, out);
  out << "]\n";
}

// The tag scanner gives the entries and objects the reader gives, for real
// movies plain and compressed, and for a compressed movie larger than the
// pieces the file is read in (tags across their borders, a sprite, a long
// tag, a stray last byte).
TEST(SWFStreamCorpusTest, TagScannerGivesTheReadersEntries) {
  yel::testing::TempDir dir;
  std::vector<std::string> files;
  for (const auto& path : yel::testing::CorpusMovies()) {
    files.push_back(path.string());
    const std::string bytes = yel::testing::ReadAll(path.string());
    Bytes twin(bytes.begin(), bytes.end());
    if (twin[0] == 'F') {
      twin = Compress(twin);
    } else {
      TSWFStreamReader reader(path.string());
      TMemoryStream plain;
      reader.SetCompressed(false);
      reader.SaveToStream(plain);
      twin = plain.TakeBytes();
    }
    files.push_back(dir.Write("twin-" + path.filename().string(), std::string(twin.begin(), twin.end())));
  }
  Bytes body;
  std::uint32_t noise = 1;
  for (int i = 0; i < 300; ++i) {
    Bytes data(i == 150 ? 200000 : 1000 + 37 * i);
    for (auto& b : data) b = static_cast<std::uint8_t>((noise = noise * 1103515245u + 12345u) >> 24);
    AppendTag(body, 87, data);  // binary data
    if (i % 100 == 0) AppendTag(body, 39, {static_cast<std::uint8_t>(i + 1), 0, 1, 0, 0x40, 0, 0, 0});
    AppendTag(body, 1, {});
  }
  AppendTag(body, 0, {});
  body.push_back(7);
  const Bytes large = Compress(PlainFile(body));
  ASSERT_GT(large.size(), 1000000u);
  files.push_back(dir.Write("large.swf", std::string(large.begin(), large.end())));

  for (const std::string& file : files) {
    TSWFStreamReader reader(file);
    reader.ParseTags();
    std::ostringstream read, scanned;
    for (std::size_t i = 0; i < reader.TagCount(); ++i) DescribeEntry(reader.TagInfo(i), read);
    TSWFTagScanner scanner(file);
    while (const auto entry = scanner.Next()) DescribeEntry(*entry, scanned);
    EXPECT_EQ(scanned.str(), read.str()) << file;
    const TSWFBodyReader& header = scanner.Body();
    EXPECT_EQ(header.Signature(), reader.Signature()) << file;
    EXPECT_EQ(header.FileLength(), reader.FileLength()) << file;
    EXPECT_EQ(header.BodyOffset(), reader.BodyOffset()) << file;
    EXPECT_EQ(header.BodySize(), reader.BodyStream().Size()) << file;
    EXPECT_EQ(header.MovieRect(), reader.MovieRect()) << file;
    EXPECT_EQ(header.FPSWord(), reader.FPSWord()) << file;
    EXPECT_EQ(header.FrameCount(), reader.FrameCount) << file;
  }
}

}  // namespace
}  // namespace yel::swf
