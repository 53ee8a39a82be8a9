// Bitmap tags: DefineBits, JPEGTables, DefineBitsJPEG2, DefineBitsJPEG3,
// DefineBitsLossless and DefineBitsLossless2. They only frame the data (JPEG
// bytes, zlib-compressed pixels, the zlib alpha plane); the bitmap builder
// produces it and may stream it into the body through OnDataWrite.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "swf/format/swf_object.h"

namespace yel::swf {

// Lossless BitmapFormat values.
inline constexpr std::uint8_t kBitmapFormat8Bit = 3, kBitmapFormat15Bit = 4, kBitmapFormat24Bit = 5;

class TSWFImageTag : public TSWFDataObject {
 public:
  void Assign(const TBasedSWFObject& source) override;

  std::uint16_t ID = 0;

 protected:
  explicit TSWFImageTag(std::uint16_t tagId) : TSWFDataObject(tagId) {}
};

// JPEG data convention: Data that starts with FF D8 (a complete JPEG stream)
// is written after FF D9 FF D8; anything else (the interior of a stream) is
// written between FF D8 and FF D9. A body that fits neither form (PNG or GIF
// data, a stream without its end marker) is kept verbatim so that it is
// written back byte for byte.
class TSWFDefineBits : public TSWFImageTag {
 public:
  TSWFDefineBits() : TSWFImageTag(tag::DefineBits) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  bool VerbatimData = false;

 protected:
  explicit TSWFDefineBits(std::uint16_t tagId) : TSWFImageTag(tagId) {}
  // The JPEG part: OnDataWrite, or Data by the convention.
  void WriteJPEGPart(TBitsEngine& be);
  void ReadJPEGPart(TBitsEngine& be, std::size_t length);
};

class TSWFJPEGTables : public TSWFDataObject {
 public:
  TSWFJPEGTables() : TSWFDataObject(tag::JPEGTables) {}
  void Assign(const TBasedSWFObject& source) override;
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  bool VerbatimData = false;
};

class TSWFDefineBitsJPEG2 : public TSWFDefineBits {
 public:
  TSWFDefineBitsJPEG2() : TSWFDefineBits(tag::DefineBitsJPEG2) {}
  int MinVersion() const override { return 2; }

 protected:
  explicit TSWFDefineBitsJPEG2(std::uint16_t tagId) : TSWFDefineBits(tagId) {}
};

class TSWFDefineBitsJPEG3 : public TSWFDefineBitsJPEG2 {
 public:
  using AlphaWriter = std::function<void(TSWFDefineBitsJPEG3& sender, TBitsEngine& be)>;

  TSWFDefineBitsJPEG3() : TSWFDefineBitsJPEG2(tag::DefineBitsJPEG3) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 3; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  // The zlib stream of one alpha byte per pixel.
  const std::uint8_t* AlphaData() const { return alpha_; }
  std::size_t AlphaDataSize() const { return alpha_size_; }
  bool OwnsAlpha() const { return owned_alpha_.get() == alpha_ && alpha_ != nullptr; }
  void SetAlphaData(const void* data, std::size_t size);
  // Refers to bytes owned elsewhere, which must outlive this object.
  void SetAlphaDataRef(const std::uint8_t* data, std::size_t size);
  // Length of the JPEG part, as read or as last written.
  std::uint32_t AlphaDataOffset = 0;

  AlphaWriter OnAlphaWrite;

 private:
  std::unique_ptr<std::uint8_t[]> owned_alpha_;
  const std::uint8_t* alpha_ = nullptr;
  std::size_t alpha_size_ = 0;
};

class TSWFDefineBitsLossless : public TSWFImageTag {
 public:
  TSWFDefineBitsLossless() : TSWFImageTag(tag::DefineBitsLossless) {}
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2; }
  void ReadFromStream(TBitsEngine& be) override;
  void WriteTagBody(TBitsEngine& be) override;
  std::string Summary() const override;

  std::uint8_t BitmapFormat = kBitmapFormat24Bit;
  std::uint16_t Width = 0;
  std::uint16_t Height = 0;
  std::uint8_t BitmapColorTableSize = 0;  // colour entries - 1, format 3 only

 protected:
  explicit TSWFDefineBitsLossless(std::uint16_t tagId) : TSWFImageTag(tagId) {}
};

class TSWFDefineBitsLossless2 : public TSWFDefineBitsLossless {
 public:
  TSWFDefineBitsLossless2() : TSWFDefineBitsLossless(tag::DefineBitsLossless2) {}
  int MinVersion() const override { return 3; }
};

// The name of a lossless format in the system: "8bit", "15bit", "24bit"
// ("32bit" for format 5 of DefineBitsLossless2).
std::string BitmapFormatName(std::uint8_t format, bool withAlpha);

}  // namespace yel::swf
