// TFlashImage: the builder's bitmap character. It takes a JPEG file, a BMP
// file or stream, or any other picture through the registered loader, keeps
// the data in the form that costs least at writing time, adds optional
// transparency, and writes itself as DefineBitsJPEG2 or 3 or
// DefineBitsLossless or 2.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "base/byte_stream.h"
#include "swf/builder/flash_object.h"

namespace yel::media {
class TBMPReader;
}

namespace yel::swf {

// DataState values.
enum : std::uint8_t {
  kImageNoData = 0,
  kImageEmptyStream = 1,
  kImageLossless = 2,
  kImageJPEGFile = 3,       // known by name, read when the movie is written
  kImageJPEGInMemory = 4,   // re-encoded
  kImageJPEGFileOpen = 5,   // the file's bytes are the DataStream
};

// LosslessFormat values (0: not decided yet).
enum : std::uint8_t { kLossless32Bit = 1, kLosslessPalette = 3, kLossless15Bit = 4, kLossless24Bit = 5 };

class TFlashImage;
// The application's loader for pictures that are neither JPEG nor BMP; it
// gives the image its data (normally through LoadDataFromStream) or throws.
using TCustomImageLoader = std::function<void(TFlashImage& image, const std::string& fileName)>;
extern TCustomImageLoader CustomImageLoader;

class TFlashImage : public TFlashIDObject {
 public:
  // Loads the file when a name is given; errors propagate from here.
  explicit TFlashImage(TFlashMovie* owner, const std::string& fileName = {});
  ~TFlashImage() override;

  // Copies the picture data, format and alpha.
  void Assign(const TBasedSWFObject& source) override;
  int MinVersion() const override { return 2 + (HasAlpha ? 1 : 0); }
  bool IsResourceDefinition() const override { return true; }
  // DefineBitsJPEG3 for JPEG data with alpha, DefineBitsJPEG2 for other JPEG
  // data, DefineBitsLossless2 for lossless data with alpha, else
  // DefineBitsLossless.
  void WriteToStream(TBitsEngine& be) override;

  void LoadDataFromFile(const std::string& fileName);
  // A BMP file in memory; `name` appears in error messages.
  void LoadDataFromStream(std::span<const std::uint8_t> bmp, const std::string& name = "BMP stream");
  // A bitmap already in memory (the stand-in of a platform bitmap handle).
  void LoadDataFromBMPReader(const media::TBMPReader& reader);
  // Only BMP files carry alpha masks.
  void LoadAlphaDataFromFile(const std::string& fileName);
  void LoadAlphaDataFromBMPReader(const media::TBMPReader& reader);
  // Colour-mapped images only: entries of the colour (packed RGBA) get its
  // alpha; with alpha 0 they also become black.
  void SetAlphaColor(std::uint32_t rgba);
  void SetAlphaIndex(int index, std::uint8_t alpha);

  bool ConvertProgressiveJPEG() const { return convert_progressive_; }
  // Switching it on converts a progressive JPEG file that was kept as it is.
  void SetConvertProgressiveJPEG(bool value);

  void GetBMPInfo();
  // Compresses the pixels into the lossless data (the DataStream). The
  // decoded pixels of 24- and 32-bit bitmaps are then let go when that data
  // gives them back exactly; anything that needs them again (BMPReader, the
  // alpha and palette operations, Assign, DataStream) gets them rebuilt from
  // the data first. Level: the deflate level, 1 (fastest) to 12 (smallest);
  // on photos the levels differ little in size and much in time.
  void MakeLosslessData(int level = 6);
  // Encodes an opaque bitmap's pixels as baseline JPEG data of the given
  // quality (1..100, colour at full resolution), written as DefineBitsJPEG2 in place of lossless data;
  // the pixels are let go. A bitmap with transparency, or one that is not
  // lossless, is left as it is and false returned.
  bool MakeJPEGData(int quality);

  std::uint16_t Width() const { return static_cast<std::uint16_t>(width_); }
  std::uint16_t Height() const { return static_cast<std::uint16_t>(height_); }

  // The bytes written as the bitmap data (JPEG file, re-encoded JPEG or the
  // compressed lossless data); opened on demand. The caller may change them,
  // so pixels let go are rebuilt first.
  TMemoryStream& DataStream();
  void SetDataStream(std::unique_ptr<TMemoryStream> stream);
  // Size of the compressed lossless data made so far (0 before).
  std::uint64_t LosslessDataSize() const {
    return DataState == kImageLossless && data_stream_ ? data_stream_->Size() : 0;
  }
  // Alpha bytes of JPEG data, one per pixel, rows top to bottom; created on
  // first need.
  TMemoryStream& AlphaData();
  bool HasAlphaData() const { return alpha_data_ && alpha_data_->Size() > 0; }
  media::TBMPReader& BMPReader();
  bool HasBMPReader() const { return bmp_reader_ != nullptr || released_ != nullptr; }
  // Whether the decoded pixels are let go for now (see MakeLosslessData).
  bool PixelsReleased() const { return released_ != nullptr; }

  bool IsJPEG = false;
  bool HasAlpha = false;
  std::int32_t ColorCount = 0;
  std::uint8_t DataState = kImageNoData;
  std::string FileName;
  std::uint16_t RowWidth = 0;
  std::uint8_t LosslessFormat = 0;

 private:
  void LoadJPEGFile(const std::string& fileName);
  // Decodes the JPEG data and keeps it re-encoded as a baseline JPEG.
  void ReencodeJPEG(std::span<const std::uint8_t> jpeg, const std::string& name, int quality);
  void DataChanged();
  // Rebuilds pixels that were let go from the lossless data.
  void RestorePixels();
  // Drops the pixels, kept or let go, before new data is loaded.
  void ForgetPixels();

  bool convert_progressive_ = true;
  std::int16_t width_ = 0;
  std::int16_t height_ = 0;
  std::unique_ptr<TMemoryStream> data_stream_;
  std::unique_ptr<TMemoryStream> alpha_data_;
  std::unique_ptr<media::TBMPReader> bmp_reader_;
  // What rebuilds the reader of pixels let go: its header, palette and
  // transparent entry (the pixels come from the lossless data).
  struct TReleasedPixels;
  std::unique_ptr<TReleasedPixels> released_;
};

}  // namespace yel::swf
