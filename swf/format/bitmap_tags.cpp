// Bitmap tags: reading and writing the JPEG, JPEG-with-alpha and lossless
// bitmap bodies.
#include "swf/format/bitmap_tags.h"

#include <algorithm>
#include <cstring>

namespace yel::swf {
namespace {

constexpr std::uint8_t kSOI[2] = {0xFF, 0xD8};
constexpr std::uint8_t kEOI[2] = {0xFF, 0xD9};
constexpr std::uint8_t kEOISOI[4] = {0xFF, 0xD9, 0xFF, 0xD8};

// Which form a JPEG part of `length` bytes at the stream position has:
// the bytes to skip before Data, the bytes of Data, and whether it is kept
// verbatim. The stream position is left unchanged.
struct JPEGPart {
  std::size_t skip = 0, size = 0;
  bool verbatim = true;
};

JPEGPart Classify(TStream& s, std::size_t length) {
  const std::uint64_t start = s.Position();
  JPEGPart part{0, length, true};
  if (length >= 4) {
    std::uint8_t head[4], tail[2];
    s.Read(head, 4);
    s.Seek(start + length - 2);
    s.Read(tail, 2);
    if (std::memcmp(head, kEOISOI, 4) == 0) {
      part = {4, length - 4, false};
    } else if (std::memcmp(head, kSOI, 2) == 0 && std::memcmp(tail, kEOI, 2) == 0) {
      part = {2, length - 4, false};
    }
  }
  s.Seek(start);
  return part;
}

void WriteByConvention(TBitsEngine& be, const std::uint8_t* data, std::size_t size, bool verbatim) {
  if (verbatim) {
    if (size > 0) be.WriteBytes(data, size);
    return;
  }
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xD8) {
    be.WriteBytes(kEOISOI, 4);
    be.WriteBytes(data, size);
  } else {
    be.WriteBytes(kSOI, 2);
    if (size > 0) be.WriteBytes(data, size);
    be.WriteBytes(kEOI, 2);
  }
}

std::size_t RemainingIn(TBitsEngine& be) { return static_cast<std::size_t>(be.Stream().Remaining()); }

}  // namespace

// --- TSWFImageTag

void TSWFImageTag::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  ID = AssignSource<TSWFImageTag>(source).ID;
}

// --- TSWFDefineBits

void TSWFDefineBits::Assign(const TBasedSWFObject& source) {
  TSWFImageTag::Assign(source);
  VerbatimData = AssignSource<TSWFDefineBits>(source).VerbatimData;
}

void TSWFDefineBits::ReadJPEGPart(TBitsEngine& be, std::size_t length) {
  length = std::min(length, RemainingIn(be));
  const JPEGPart part = Classify(be.Stream(), length);
  const std::uint64_t start = be.Stream().Position();
  be.Stream().Seek(start + part.skip);
  ReadData(be, part.size);
  VerbatimData = part.verbatim;
  be.Stream().Seek(start + length);
}

void TSWFDefineBits::WriteJPEGPart(TBitsEngine& be) {
  if (OnDataWrite) {
    OnDataWrite(*this, be);
  } else {
    WriteByConvention(be, Data(), DataSize(), VerbatimData);
  }
}

void TSWFDefineBits::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  ReadJPEGPart(be, RemainingIn(be));
}

void TSWFDefineBits::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  WriteJPEGPart(be);
}

std::string TSWFDefineBits::Summary() const {
  return "id " + std::to_string(ID) + ", JPEG data " + std::to_string(DataSize()) + " bytes";
}

// --- TSWFJPEGTables

void TSWFJPEGTables::Assign(const TBasedSWFObject& source) {
  TSWFDataObject::Assign(source);
  VerbatimData = AssignSource<TSWFJPEGTables>(source).VerbatimData;
}

void TSWFJPEGTables::ReadFromStream(TBitsEngine& be) {
  const std::size_t length = RemainingIn(be);
  const JPEGPart part = Classify(be.Stream(), length);
  be.Stream().Seek(be.Stream().Position() + part.skip);
  ReadData(be, part.size);
  VerbatimData = part.verbatim;
}

void TSWFJPEGTables::WriteTagBody(TBitsEngine& be) {
  if (OnDataWrite) {
    OnDataWrite(*this, be);
  } else {
    WriteByConvention(be, Data(), DataSize(), VerbatimData);
  }
}

std::string TSWFJPEGTables::Summary() const { return std::to_string(DataSize()) + " bytes"; }

// --- TSWFDefineBitsJPEG3

void TSWFDefineBitsJPEG3::Assign(const TBasedSWFObject& source) {
  TSWFDefineBitsJPEG2::Assign(source);
  const auto& src = AssignSource<TSWFDefineBitsJPEG3>(source);
  AlphaDataOffset = src.AlphaDataOffset;
  if (src.OnAlphaWrite) {
    OnAlphaWrite = src.OnAlphaWrite;
  } else {
    OnAlphaWrite = nullptr;
    SetAlphaData(src.alpha_, src.alpha_size_);
  }
}

void TSWFDefineBitsJPEG3::SetAlphaData(const void* data, std::size_t size) {
  owned_alpha_.reset();
  alpha_ = nullptr;
  alpha_size_ = 0;
  if (size == 0) return;
  owned_alpha_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
  std::memcpy(owned_alpha_.get(), data, size);
  alpha_ = owned_alpha_.get();
  alpha_size_ = size;
}

void TSWFDefineBitsJPEG3::SetAlphaDataRef(const std::uint8_t* data, std::size_t size) {
  owned_alpha_.reset();
  alpha_ = data;
  alpha_size_ = data ? size : 0;
}

void TSWFDefineBitsJPEG3::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  AlphaDataOffset = be.ReadDWord();
  ReadJPEGPart(be, AlphaDataOffset);
  // The rest of the body is the alpha plane; read only what is there.
  const std::size_t rest = RemainingIn(be);
  owned_alpha_.reset();
  alpha_ = nullptr;
  alpha_size_ = 0;
  if (rest > 0) {
    owned_alpha_ = std::make_unique_for_overwrite<std::uint8_t[]>(rest);
    alpha_size_ = be.ReadBytes(owned_alpha_.get(), rest);
    alpha_ = owned_alpha_.get();
  }
}

void TSWFDefineBitsJPEG3::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  TStream& s = be.Stream();
  const std::uint64_t placeholder = s.Position();
  be.WriteDWord(0);
  WriteJPEGPart(be);
  be.FlushLastByte(true);
  const std::uint64_t end = s.Position();
  AlphaDataOffset = static_cast<std::uint32_t>(end - placeholder - 4);
  s.Seek(placeholder);
  be.WriteDWord(AlphaDataOffset);
  s.Seek(end);
  if (OnAlphaWrite) {
    OnAlphaWrite(*this, be);
  } else if (alpha_size_ > 0) {
    be.WriteBytes(alpha_, alpha_size_);
  }
}

std::string TSWFDefineBitsJPEG3::Summary() const {
  return TSWFDefineBits::Summary() + ", alpha " + std::to_string(alpha_size_) + " bytes";
}

// --- TSWFDefineBitsLossless

void TSWFDefineBitsLossless::Assign(const TBasedSWFObject& source) {
  TSWFImageTag::Assign(source);
  const auto& src = AssignSource<TSWFDefineBitsLossless>(source);
  BitmapFormat = src.BitmapFormat;
  Width = src.Width;
  Height = src.Height;
  BitmapColorTableSize = src.BitmapColorTableSize;
}

void TSWFDefineBitsLossless::ReadFromStream(TBitsEngine& be) {
  ID = be.ReadWord();
  BitmapFormat = be.ReadByte();
  Width = be.ReadWord();
  Height = be.ReadWord();
  if (BitmapFormat == kBitmapFormat8Bit) BitmapColorTableSize = be.ReadByte();
  ReadData(be, RemainingIn(be));
}

void TSWFDefineBitsLossless::WriteTagBody(TBitsEngine& be) {
  be.WriteWord(ID);
  be.WriteByte(BitmapFormat);
  be.WriteWord(Width);
  be.WriteWord(Height);
  if (BitmapFormat == kBitmapFormat8Bit) be.WriteByte(BitmapColorTableSize);
  WriteData(be);
}

std::string TSWFDefineBitsLossless::Summary() const {
  std::string text = "id " + std::to_string(ID) + ", " +
                     BitmapFormatName(BitmapFormat, TagID == tag::DefineBitsLossless2) + ", " + std::to_string(Width) +
                     " x " + std::to_string(Height);
  if (BitmapFormat == kBitmapFormat8Bit) text += ", " + std::to_string(BitmapColorTableSize + 1) + " colours";
  return text + ", " + std::to_string(DataSize()) + " bytes";
}

std::string BitmapFormatName(std::uint8_t format, bool withAlpha) {
  switch (format) {
    case kBitmapFormat8Bit: return "8bit";
    case kBitmapFormat15Bit: return "15bit";
    case kBitmapFormat24Bit: return withAlpha ? "32bit" : "24bit";
    default: return "format " + std::to_string(format);
  }
}

}  // namespace yel::swf
