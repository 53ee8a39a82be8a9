// Bitmap tags: the JPEG data convention, JPEG with alpha, lossless bodies,
// data written through callbacks, the tag table and renumbering.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "swf/format/bitmap_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_factory.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Write(TBasedSWFObject& tag) { return testing::WriteTag(tag); }

// The body of a written tag (after its short or long header).
Bytes Body(const Bytes& tag) {
  std::size_t header = (tag[0] & 0x3F) == 0x3F ? 6 : 2;
  return Bytes(tag.begin() + header, tag.end());
}

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

Bytes DataOf(const TSWFDataObject& tag) { return Bytes(tag.Data(), tag.Data() + tag.DataSize()); }

// A stand-in for a complete JPEG stream: SOI, n filler bytes, EOI.
Bytes FakeJpeg(std::size_t total) {
  Bytes b(total, 0x11);
  b[0] = 0xFF, b[1] = 0xD8, b[total - 2] = 0xFF, b[total - 1] = 0xD9;
  return b;
}

TEST(BitmapTags, CompleteJpegIsWrittenAfterEoiSoiAndReadBackTheSame) {
  const Bytes jpeg = FakeJpeg(100);
  TSWFDefineBitsJPEG2 tag;
  tag.ID = 7;
  tag.SetData(jpeg);
  const Bytes out = Write(tag);
  const Bytes body = Body(out);
  ASSERT_EQ(body.size(), 2 + 4 + jpeg.size());
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 8), (Bytes{7, 0, 0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8}));
  auto back = Read(out);
  auto* typed = dynamic_cast<TSWFDefineBitsJPEG2*>(back.get());
  ASSERT_NE(typed, nullptr);
  EXPECT_EQ(typed->ID, 7);
  EXPECT_EQ(DataOf(*typed), jpeg);
  EXPECT_EQ(Write(*typed), out);
}

TEST(BitmapTags, BodiesOfEveryFormWriteBackByteForByte) {
  const Bytes interior = {0xFF, 0xDB, 1, 2, 3};
  Bytes soi_interior_eoi = {0xFF, 0xD8};
  soi_interior_eoi.insert(soi_interior_eoi.end(), interior.begin(), interior.end());
  soi_interior_eoi.insert(soi_interior_eoi.end(), {0xFF, 0xD9});
  // DefineBits: SOI, n bytes, EOI reads as the n bytes.
  TSWFDefineBits bits;
  bits.ID = 3;
  bits.SetData(interior);
  const Bytes written = Write(bits);
  EXPECT_EQ(Body(written), (Bytes{3, 0, 0xFF, 0xD8, 0xFF, 0xDB, 1, 2, 3, 0xFF, 0xD9}));
  auto back = Read(written);
  EXPECT_EQ(DataOf(dynamic_cast<TSWFDataObject&>(*back)), interior);
  EXPECT_EQ(Write(*back), written);

  // Bodies that fit neither form (PNG data in DefineBitsJPEG2, a stream
  // without its end marker, an empty JPEGTables) are kept as they are.
  const Bytes odd_bodies[][2] = {
      {{21, 0}, {5, 0, 0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0}},
      {{21, 0}, {5, 0, 0xFF, 0xD8, 0xFF, 0xDB, 1, 2}},
      {{8, 0}, {}},
      {{8, 0}, soi_interior_eoi},
  };
  for (const auto& c : odd_bodies) {
    const std::uint16_t code = c[0][0];
    Bytes tag_bytes;
    tag_bytes.push_back(static_cast<std::uint8_t>((code << 6) | c[1].size()));
    tag_bytes.push_back(static_cast<std::uint8_t>(code >> 2));
    tag_bytes.insert(tag_bytes.end(), c[1].begin(), c[1].end());
    auto tag = Read(tag_bytes);
    EXPECT_EQ(tag->TagID, code);
    EXPECT_EQ(Write(*tag), tag_bytes) << "code " << code << ", " << c[1].size() << " bytes";
  }
}

TEST(BitmapTags, Jpeg3AlphaOffsetAndSizes) {
  TSWFDefineBitsJPEG3 tag;
  tag.ID = 1;
  tag.SetData(FakeJpeg(1000));
  Bytes alpha(50);
  std::iota(alpha.begin(), alpha.end(), 0);
  tag.SetAlphaData(alpha.data(), alpha.size());
  const Bytes out = Write(tag);
  EXPECT_EQ(tag.AlphaDataOffset, 1004u);
  EXPECT_EQ(tag.BodySize, 1060u);
  EXPECT_EQ(tag.MinVersion(), 3);
  auto back = Read(out);
  auto& typed = dynamic_cast<TSWFDefineBitsJPEG3&>(*back);
  EXPECT_EQ(typed.AlphaDataOffset, 1004u);
  EXPECT_EQ(typed.DataSize(), 1000u);
  EXPECT_EQ(Bytes(typed.AlphaData(), typed.AlphaData() + typed.AlphaDataSize()), alpha);
  EXPECT_TRUE(typed.OwnsAlpha());

  // A copy owns its own alpha bytes.
  TSWFDefineBitsJPEG3 copy;
  copy.Assign(typed);
  EXPECT_NE(copy.AlphaData(), typed.AlphaData());
  EXPECT_EQ(Write(copy), out);

  // An offset beyond the body: the JPEG part takes what there is, no alpha.
  Bytes bad = out;
  bad[8] = 0xFF, bad[9] = 0xFF;  // AlphaDataOffset's top bytes
  auto clipped = Read(bad);
  auto& c = dynamic_cast<TSWFDefineBitsJPEG3&>(*clipped);
  EXPECT_EQ(c.AlphaDataSize(), 0u);
  EXPECT_LE(c.DataSize(), 1054u);
}

TEST(BitmapTags, CallbacksWriteTheDataInsteadOfTheBuffers) {
  TSWFDefineBitsJPEG3 tag;
  tag.ID = 2;
  tag.SetData(Bytes{1, 2, 3});  // ignored: the callback writes the JPEG part
  tag.OnDataWrite = [](TSWFDataObject&, TBitsEngine& be) {
    const std::uint8_t part[] = {0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8, 0xFF, 0xD9};
    be.WriteBytes(part, sizeof part);
  };
  tag.OnAlphaWrite = [](TSWFDefineBitsJPEG3&, TBitsEngine& be) { be.WriteByte(0x78); };
  const Bytes body = Body(Write(tag));
  EXPECT_EQ(body, (Bytes{2, 0, 8, 0, 0, 0, 0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8, 0xFF, 0xD9, 0x78}));

  TSWFDefineBitsLossless lossless;
  lossless.OnDataWrite = [](TSWFDataObject&, TBitsEngine& be) { be.WriteWord(0xBEEF); };
  EXPECT_EQ(Body(Write(lossless)).back(), 0xBE);
}

TEST(BitmapTags, LosslessFieldsAndHeader) {
  TSWFDefineBitsLossless2 palette;
  palette.ID = 4;
  palette.BitmapFormat = kBitmapFormat8Bit;
  palette.Width = 3;
  palette.Height = 2;
  palette.BitmapColorTableSize = 6;
  palette.SetData(Bytes{0x78, 0x9C});
  const Bytes out = Write(palette);
  ASSERT_EQ(out.size(), 6u + 10u);  // long header even for a 10-byte body
  EXPECT_EQ(out[0] & 0x3F, 0x3F);
  EXPECT_EQ(Body(out), (Bytes{4, 0, 3, 3, 0, 2, 0, 6, 0x78, 0x9C}));
  auto back = Read(out);
  auto& p = dynamic_cast<TSWFDefineBitsLossless2&>(*back);
  EXPECT_EQ(p.BitmapColorTableSize, 6);
  EXPECT_EQ(p.Width, 3);
  EXPECT_EQ(DataOf(p), (Bytes{0x78, 0x9C}));
  EXPECT_EQ(BitmapFormatName(p.BitmapFormat, true), "8bit");

  TSWFDefineBitsLossless rgb;  // format 5: no colour-table size byte
  rgb.ID = 5;
  rgb.Width = 1;
  rgb.Height = 1;
  rgb.SetData(Bytes{0xAA});
  EXPECT_EQ(Body(Write(rgb)), (Bytes{5, 0, 5, 1, 0, 1, 0, 0xAA}));
  EXPECT_EQ(BitmapFormatName(5, false), "24bit");
  EXPECT_EQ(BitmapFormatName(5, true), "32bit");
}

TEST(BitmapTags, TagTableAndVersions) {
  const struct {
    std::uint16_t code;
    int version;
  } cases[] = {{6, 1}, {8, 1}, {21, 2}, {35, 3}, {20, 2}, {36, 3}};
  for (const auto& c : cases) {
    auto tag = CreateTag(c.code);
    EXPECT_EQ(tag->TagID, c.code);
    EXPECT_EQ(tag->MinVersion(), c.version) << c.code;
    EXPECT_EQ(dynamic_cast<TSWFByteCodeTag*>(tag.get()), nullptr) << c.code;
  }
}

TEST(BitmapTags, RenumberCharactersRenumbersBitmapIds) {
  testing::TestMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  auto lossless = std::make_unique<TSWFDefineBitsLossless>();
  lossless->ID = 5;
  lossless->Width = lossless->Height = 1;
  movie.Add(std::move(lossless));
  auto jpeg = std::make_unique<TSWFDefineBitsJPEG2>();
  jpeg->ID = 9;
  jpeg->SetData(FakeJpeg(10));
  movie.Add(std::move(jpeg));
  const Bytes file = movie.Save();
  TSWFStreamReader reader;
  reader.LoadFromBytes(file.data(), file.size(), "two.swf");
  reader.ParseTags(true, true);
  EXPECT_EQ(reader.RenumberCharacters(100), 102);
  EXPECT_EQ(dynamic_cast<TSWFImageTag&>(*reader.TagInfo(0).TagObject).ID, 100);
  EXPECT_EQ(dynamic_cast<TSWFImageTag&>(*reader.TagInfo(1).TagObject).ID, 101);
}

}  // namespace
}  // namespace yel::swf
