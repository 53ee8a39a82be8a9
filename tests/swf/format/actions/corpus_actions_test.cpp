// The action tags of the real movies in the corpus: every DoAction and
// DoInitAction (top level and inside sprites) is read, written back and read
// again. The records and their fields must come back the same, and the
// bytes too unless the file is listed below with the reason it differs.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>

#include "swf/format/actions/action_disassembly.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tests/testing/corpus.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WriteBody(TSWFObject& tag) {
  TMemoryStream stream;
  TBitsEngine be(stream);
  tag.WriteTagBody(be);
  return stream.TakeBytes();
}

std::unique_ptr<TSWFObject> ReadBody(std::uint16_t code, const Bytes& body) {
  auto tag = CreateTag(code);
  tag->SetReadContext(TSWFReadContext{8, true});
  tag->BodySize = static_cast<std::uint32_t>(body.size());
  TBufferStream stream(body.data(), body.size());
  TBitsEngine be(stream);
  tag->ReadFromStream(be);
  return tag;
}

struct CorpusTally {
  int tags = 0;
  int records = 0;
  // File name -> number of action tags whose bytes differ.
  std::map<std::string, int> differing;
};

void CheckEntry(const std::string& file, const TSWFTagInfo& entry, const std::uint8_t* body, CorpusTally& tally) {
  for (const auto& sub : entry.SubTags) CheckEntry(file, *sub, body, tally);
  auto* tag = dynamic_cast<TSWFDoAction*>(entry.TagObject);
  if (!tag) {
    // Every action tag of the corpus must be readable.
    if (auto* raw = dynamic_cast<TSWFByteCodeTag*>(entry.TagObject)) {
      EXPECT_TRUE(raw->TagCode != tag::DoAction && raw->TagCode != tag::DoInitAction) << file << ": " << raw->Description;
    }
    return;
  }
  ++tally.tags;
  tally.records += static_cast<int>(tag->Actions().Count());
  const std::uint8_t* start = body + entry.Position + (entry.IsLongHeader ? 6 : 2);
  Bytes original(start, start + entry.Length);

  Bytes written = WriteBody(*tag);
  std::string listing = DisassembleActionList(tag->Actions());
  auto again = ReadBody(entry.TagID, written);
  auto& read = static_cast<TSWFDoAction&>(*again);
  EXPECT_EQ(DisassembleActionList(read.Actions()), listing) << file << " at " << entry.Position;
  if (auto* init = dynamic_cast<TSWFDoInitAction*>(tag)) {
    EXPECT_EQ(static_cast<TSWFDoInitAction&>(read).SpriteID, init->SpriteID) << file;
  }
  EXPECT_EQ(WriteBody(read), written) << file << " at " << entry.Position;
  if (written != original) ++tally.differing[file];
}

TEST(CorpusActions, EveryActionTagRoundTrips) {
  CorpusTally tally;
  for (const auto& path : yel::testing::CorpusMovies()) {
    const std::string file = path.filename().string();
    TSWFStreamReader movie(path.string());
    ASSERT_TRUE(movie.IsSWF) << file;
    movie.ParseTags();
    const std::uint8_t* body = movie.BodyStream().Data();
    for (std::size_t i = 0; i < movie.TagCount(); ++i) CheckEntry(file, movie.TagInfo(i), body, tally);
  }
  EXPECT_GT(tally.tags, 100);
  EXPECT_GT(tally.records, 10000);
  // Files whose action bytes are not the canonical encoding, and why.
  const std::map<std::string, int> expected = {};
  EXPECT_EQ(tally.differing, expected);
  std::cout << tally.tags << " action tags, " << tally.records << " records\n";
}

}  // namespace
}  // namespace yel::swf
