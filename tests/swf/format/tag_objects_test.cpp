// Tag header rule, control tags, raw tags, sprites and the tag table.
#include <gtest/gtest.h>

#include <vector>

#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/md5.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(TBasedSWFObject& tag) { return testing::WriteTag(tag); }

// Reads one tag (header and body) the way the stream reader does.
std::unique_ptr<TSWFObject> Read(const Bytes& bytes) {
  TBufferStream stream(bytes.data(), bytes.size());
  TBitsEngine be(stream);
  std::uint16_t word = be.ReadWord();
  std::uint32_t length = word & 0x3F;
  if (length == 0x3F) length = be.ReadDWord();
  auto tag = CreateTag(word >> 6);
  tag->BodySize = length;
  ReadTagBody(be, *tag, length);
  return tag;
}

template <class T>
std::unique_ptr<T> RoundTrip(T& tag) {
  auto back = Read(Write(tag));
  auto* typed = dynamic_cast<T*>(back.get());
  EXPECT_NE(typed, nullptr);
  back.release();
  return std::unique_ptr<T>(typed);
}

TEST(TagHeaderTest, ShortAndLongForms) {
  TSWFShowFrame show;
  TSWFEnd end;
  EXPECT_EQ(Write(show), (Bytes{0x40, 0x00}));
  EXPECT_EQ(Write(end), (Bytes{0x00, 0x00}));

  TSWFSetBackgroundColor red;
  red.Color.SetRGB(0x0000FF);
  EXPECT_EQ(Write(red), (Bytes{0x43, 0x02, 0xFF, 0x00, 0x00}));
  EXPECT_EQ(red.BodySize, 3u);

  struct Case {
    std::uint16_t code;
    std::size_t body;
    std::size_t header;
  } cases[] = {{99, 62, 2}, {99, 63, 6}, {99, 0, 2}, {20, 20, 6}, {36, 1, 6}, {60, 10, 6}, {21, 20, 2}};
  for (const auto& c : cases) {
    TSWFByteCodeTag raw;
    raw.TagCode = c.code;
    raw.SetData(Bytes(c.body, 0xAB));
    Bytes out = Write(raw);
    ASSERT_EQ(out.size(), c.header + c.body) << c.code << "/" << c.body;
    std::uint16_t word = out[0] | (out[1] << 8);
    EXPECT_EQ(word >> 6, c.code);
    if (c.header == 6) {
      EXPECT_EQ(word & 0x3F, 0x3F);
      EXPECT_EQ(out[2] | (out[3] << 8), static_cast<int>(c.body));
    } else {
      EXPECT_EQ(word & 0x3F, static_cast<int>(c.body));
    }
  }
  EXPECT_EQ(GetFullSize(62), 64u);
  EXPECT_EQ(GetFullSize(63), 69u);
}

TEST(TagHeaderTest, WriteRawTagCopiesFromTheDataPosition) {
  Bytes data = {1, 2, 3, 4, 5};
  TBufferStream source(data.data(), data.size());
  source.Seek(1);
  TMemoryStream out;
  WriteRawTag(out, 9, source, 3);
  EXPECT_EQ(out.Bytes(), (Bytes{0x43, 0x02, 2, 3, 4}));
  TMemoryStream all;
  source.Seek(0);
  WriteRawTag(all, 20, source);
  EXPECT_EQ(all.Size(), 6u + 5u);
}

TEST(RawTagTest, UnknownCodeComesBackUnchangedEveryTime) {
  constexpr std::uint16_t header = 99 * 64 + 5;
  const Bytes original = {header & 0xFF, header >> 8, 'x', 'y', 'z', 0, 0xFF};
  auto tag = Read(original);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(tag.get());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->TagID, tag::ErrorTag);
  EXPECT_EQ(raw->TagCode, 99);
  EXPECT_EQ(raw->Description, "Uniknow tag");
  EXPECT_EQ(Write(*raw), original);
  EXPECT_EQ(Write(*raw), original);
  EXPECT_EQ(raw->TagID, tag::ErrorTag);

  // The raw tag's own code found in a file stays under that code.
  const Bytes own = {240 * 64 % 256 + 1, 240 * 64 / 256, 0x77};
  auto ownTag = Read(own);
  EXPECT_EQ(dynamic_cast<TSWFByteCodeTag&>(*ownTag).TagCode, 240);
  EXPECT_EQ(Write(*ownTag), own);

  // A known code without a class of its own is raw too, without description.
  auto named = CreateTag(40);
  EXPECT_EQ(named->TagID, tag::ErrorTag);
  EXPECT_EQ(dynamic_cast<TSWFByteCodeTag&>(*named).Description, "");
}

TEST(RawTagTest, DataWriterAndCopies) {
  TSWFByteCodeTag streamed;
  streamed.TagCode = 19;
  streamed.OnDataWrite = [](TSWFDataObject&, TBitsEngine& be) { be.WriteBytes("abc", 3); };
  EXPECT_EQ(Write(streamed), (Bytes{0xC3, 0x04, 'a', 'b', 'c'}));

  static const std::uint8_t external[] = {9, 8, 7};
  TSWFByteCodeTag borrowed;
  borrowed.TagCode = 19;
  borrowed.SetDataRef(external, 3);
  EXPECT_FALSE(borrowed.OwnsData());
  auto copy = CloneTag(borrowed);
  auto& rawCopy = dynamic_cast<TSWFByteCodeTag&>(*copy);
  EXPECT_TRUE(rawCopy.OwnsData());
  EXPECT_NE(rawCopy.Data(), external);
  EXPECT_EQ(Write(rawCopy), Write(borrowed));

  auto streamedCopy = CloneTag(streamed);
  EXPECT_EQ(Write(*streamedCopy), Write(streamed));
}

TEST(ControlTagsTest, FrameLabelAnchor) {
  TSWFFrameLabel label("intro");
  EXPECT_EQ(label.MinVersion(), 3);
  label.isAnchor = true;
  EXPECT_EQ(label.MinVersion(), 6);
  Bytes out = Write(label);
  EXPECT_EQ(label.BodySize, 7u);
  EXPECT_EQ(out.back(), 0x01);
  EXPECT_TRUE(RoundTrip(label)->isAnchor);

  label.isAnchor = false;
  auto back = RoundTrip(label);
  EXPECT_EQ(back->Name, "intro");
  EXPECT_FALSE(back->isAnchor);
}

TEST(ControlTagsTest, ProtectFamily) {
  TSWFProtect open;
  EXPECT_EQ(open.MinVersion(), 2);
  EXPECT_EQ(Write(open), (Bytes{0x00, 0x06}));

  TSWFEnableDebugger2 debug;
  debug.Password = "secret";
  Bytes first = Write(debug);
  std::string hash1 = debug.Hash;
  Bytes second = Write(debug);
  EXPECT_NE(hash1, debug.Hash);  // a fresh salt every time
  EXPECT_NE(first, second);
  EXPECT_EQ(debug.Hash.substr(0, 3), "$1$");
  EXPECT_EQ(debug.Hash.size(), 3u + 2 + 1 + 22);
  EXPECT_EQ(debug.MinVersion(), 6);
  auto back = RoundTrip(debug);
  EXPECT_EQ(back->Hash, debug.Hash);
  EXPECT_EQ(back->TagID, tag::EnableDebugger2);

  // A hash written without the reserved word keeps its first characters.
  const std::string hash = "$1$ab$oKsM6dtDD2L1bKowOBX.7.";
  Bytes bare = {static_cast<std::uint8_t>(58 * 64 + 29), static_cast<std::uint8_t>((58 * 64 + 29) >> 8)};
  bare.insert(bare.end(), hash.begin(), hash.end());
  bare.push_back(0);
  EXPECT_EQ(dynamic_cast<TSWFProtect&>(*Read(bare)).Hash, hash);
}

TEST(ControlTagsTest, MD5CryptMatchesTheCryptScheme) {
  EXPECT_EQ(MD5Crypt("password", "ab"), "$1$ab$oKsM6dtDD2L1bKowOBX.7.");
  EXPECT_EQ(MD5Crypt("", "$1$xyz"), "$1$xy$JSgu5Zv4igzK2ULm5nTM30");
  EXPECT_EQ(MD5Crypt("a much longer password over sixteen chars", "Zz"), "$1$Zz$sSttfv01MWQzegv9knF0j1");
  auto digest = MD5Digest("abc");
  EXPECT_EQ(digest[0], 0x90);
  EXPECT_EQ(digest[15], 0x72);
}

TEST(ControlTagsTest, AssetsAndImports) {
  TSWFExportAssets exports;
  exports.AddAsset("clip", 5);
  exports.AddAsset("clip", 6);
  exports.AddAsset("Clip", 7);
  ASSERT_EQ(exports.Assets.size(), 2u);
  EXPECT_EQ(exports.Assets[0].ID, 6);
  auto back = RoundTrip(exports);
  ASSERT_EQ(back->Assets.size(), 2u);
  EXPECT_EQ(back->Assets[1].Name, "Clip");

  TSWFImportAssets2 imports;
  imports.URL = "lib.swf";
  imports.AddAsset("a", 3);
  Bytes out = Write(imports);
  Bytes body(out.begin() + 2, out.end());
  EXPECT_EQ(body, (Bytes{'l', 'i', 'b', '.', 's', 'w', 'f', 0, 1, 0, 1, 0, 3, 0, 'a', 0}));
  auto back2 = RoundTrip(imports);
  EXPECT_EQ(back2->URL, "lib.swf");
  EXPECT_EQ(back2->Assets[0].ID, 3);

  // A count larger than the body ends with the body.
  Bytes lying = {static_cast<std::uint8_t>(56 * 64 + 4), static_cast<std::uint8_t>((56 * 64 + 4) >> 8), 0xFF, 0xFF, 1, 0};
  auto read = Read(lying);
  EXPECT_EQ(dynamic_cast<TSWFExportAssets&>(*read).Assets.size(), 1u);
}

TEST(ControlTagsTest, SmallTagsRoundTrip) {
  TSWFFileAttributes attributes;
  attributes.HasMetadata = true;
  attributes.UseNetwork = true;
  Bytes out = Write(attributes);
  EXPECT_EQ(Bytes(out.begin() + 2, out.end()), (Bytes{0x11, 0, 0, 0}));
  EXPECT_TRUE(RoundTrip(attributes)->UseNetwork);

  TSWFScriptLimits limits;
  limits.MaxRecursionDepth = 1000;
  limits.ScriptTimeoutSeconds = 60;
  EXPECT_EQ(RoundTrip(limits)->ScriptTimeoutSeconds, 60);

  TSWFSetTabIndex tab;
  tab.Depth = 4;
  tab.TabIndex = 2;
  EXPECT_EQ(RoundTrip(tab)->TabIndex, 2);

  TSWFMetadata meta;
  meta.Value = "<rdf>\xE9</rdf>";  // Windows-1252 text becomes UTF-8
  EXPECT_EQ(RoundTrip(meta)->Value, "<rdf>\xC3\xA9</rdf>");
  meta.Value = "<rdf>\xC3\xA9</rdf>";  // UTF-8 text read from a movie survives
  EXPECT_EQ(RoundTrip(meta)->Value, "<rdf>\xC3\xA9</rdf>");

  TSWFDefineScalingGrid grid;
  grid.ID = 12;
  grid.Splitter.SetRect(TRect{-20, 40, 200, 400});
  auto back = RoundTrip(grid);
  EXPECT_EQ(back->ID, 12);
  EXPECT_EQ(back->Splitter.Rect(), (TRect{-20, 40, 200, 400}));
  EXPECT_EQ(back->MinVersion(), 8);
}

TEST(ControlTagsTest, AssignCopiesEveryField) {
  TSWFImportAssets imports;
  imports.URL = "u";
  imports.AddAsset("x", 9);
  imports.BodySize = 17;
  auto copy = CloneTag(imports);
  auto& typed = dynamic_cast<TSWFImportAssets&>(*copy);
  EXPECT_EQ(typed.URL, "u");
  EXPECT_EQ(typed.Assets[0].ID, 9);
  EXPECT_EQ(typed.BodySize, 17u);
  TSWFFrameLabel label;
  EXPECT_THROW(label.Assign(imports), std::logic_error);
}

TEST(SpriteTest, EndTagAppendedOnlyWhenMissing) {
  TSWFDefineSprite sprite;
  sprite.SpriteId = 3;
  sprite.FrameCount = 1;
  sprite.ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  Bytes withoutEnd = Write(sprite);
  sprite.ControlTags.push_back(std::make_unique<TSWFEnd>());
  Bytes withEnd = Write(sprite);
  EXPECT_EQ(withoutEnd, withEnd);
  EXPECT_EQ(withEnd, (Bytes{0xC8, 0x09, 3, 0, 1, 0, 0x40, 0x00, 0x00, 0x00}));

  auto back = RoundTrip(sprite);
  EXPECT_EQ(back->SpriteId, 3);
  ASSERT_EQ(back->ControlTags.size(), 2u);
  EXPECT_EQ(dynamic_cast<TSWFObject&>(*back->ControlTags.back()).TagID, tag::End);

  auto copy = CloneTag(sprite);
  EXPECT_EQ(Write(*copy), withEnd);
}

TEST(SpriteTest, BadNestedTagsFailTheSprite) {
  // Sprite 1 with a nested tag that claims 50 bytes of a 2-byte remainder.
  Bytes bad = {0xCA, 0x09, 1, 0, 1, 0, 0x72, 0x06, 1, 2};
  TBufferStream stream(bad.data(), bad.size());
  TBitsEngine be(stream);
  be.ReadWord();
  TSWFDefineSprite sprite;
  sprite.BodySize = 8;
  EXPECT_THROW(ReadTagBody(be, sprite, 8), std::exception);

  // Sprites nested far deeper than any movie needs are refused, not recursed.
  Bytes deep = {1, 0, 1, 0, 0, 0};
  for (int i = 0; i < 200; ++i) {
    auto len = static_cast<std::uint32_t>(deep.size());
    Bytes outer = {1, 0, 1, 0, static_cast<std::uint8_t>(39 * 64 + 63), static_cast<std::uint8_t>((39 * 64 + 63) >> 8),
                   static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8), static_cast<std::uint8_t>(len >> 16), 0};
    outer.insert(outer.end(), deep.begin(), deep.end());
    outer.insert(outer.end(), {0, 0});
    deep = std::move(outer);
  }
  TBufferStream deepStream(deep.data(), deep.size());
  TBitsEngine deepEngine(deepStream);
  TSWFDefineSprite top;
  top.BodySize = static_cast<std::uint32_t>(deep.size());
  EXPECT_THROW(ReadTagBody(deepEngine, top, top.BodySize), std::exception);
}

TEST(TagTableTest, NamesAndCodes) {
  EXPECT_EQ(TagName(26), "PlaceObject2");
  EXPECT_EQ(TagName(240), "Error Tag");
  EXPECT_EQ(TagName(99), "Unknown 99");
  EXPECT_EQ(TagCodeByName("placeobject2"), 26);
  EXPECT_EQ(TagCodeByName("tag99"), 99);
  EXPECT_EQ(TagCodeByName("tagx"), -1);
  EXPECT_EQ(TagCodeByName("Error Tag"), -1);
  EXPECT_EQ(TagCodeByName("tag240"), -1);
  EXPECT_EQ(TagCodeByName("nonsense"), -1);

  // Every code of the table makes an object that reports that code and a
  // version the table allows.
  for (int code = 0; code < 100; ++code) {
    auto tag = CreateTag(static_cast<std::uint16_t>(code));
    auto* raw = dynamic_cast<TSWFByteCodeTag*>(tag.get());
    EXPECT_EQ(raw ? raw->TagCode : tag->TagID, code);
    EXPECT_LE(tag->MinVersion(), 8);
  }
  EXPECT_EQ(CreateTag(69)->MinVersion(), 8);
  EXPECT_EQ(CreateTag(56)->MinVersion(), 5);
  EXPECT_EQ(CreateTag(39)->MinVersion(), 3);
}

}  // namespace
}  // namespace yel::swf
