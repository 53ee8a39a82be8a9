// TFlashImage: loading pictures, alpha, lossless data and writing the bitmap
// tags; the movie's AddImage and AddShapeImage and the shape's image fill.
#include "swf/builder/flash_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include <libdeflate.h>
#include <zlib.h>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"
#include "swf/format/bitmap_tags.h"

namespace yel::swf {

TCustomImageLoader CustomImageLoader;

namespace {

// Quality for JPEG files that are re-encoded only to turn or convert them
// (EXIF orientation, CMYK): high enough that the second generation stays
// close to the photo. Progressive files are re-encoded with the library's
// defaults.
constexpr int kTurnedQuality = 90;

std::string UpperExtension(const std::string& fileName) {
  std::string ext = ExtensionOf(fileName);
  if (!ext.empty()) ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext;
}

// zlib data made with libdeflate, which does it in a fraction of zlib's
// time (level 6 compresses as zlib's default does). One compressor per
// thread and level, made on first use: bitmaps are compressed on several
// threads at once.
std::vector<std::uint8_t> Deflate(const std::uint8_t* data, std::size_t size, int level = 6) {
  struct Compressor {
    libdeflate_compressor* c = nullptr;
    ~Compressor() { libdeflate_free_compressor(c); }
  };
  thread_local Compressor compressors[13];
  level = std::clamp(level, 1, 12);
  Compressor& compressor = compressors[level];
  if (!compressor.c) compressor.c = libdeflate_alloc_compressor(level);
  if (!compressor.c) throw std::bad_alloc();
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor.c, size);
  // The room for the worst case is left untouched beyond what is written,
  // and the result is kept at its own size: a movie keeps the data of every
  // bitmap until it is written.
  auto room = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
  const std::size_t written = libdeflate_zlib_compress(compressor.c, data, size, room.get(), bound);
  if (written == 0) throw Error("cannot compress bitmap data");
  return std::vector<std::uint8_t>(room.get(), room.get() + written);
}

// Colours of a 32-bit bitmap multiplied by their alpha, as lossless SWF
// bitmaps with alpha require.
void Premultiply(media::TBMPReader& r) {
  for (int y = 0; y < r.RowCount(); ++y) {
    std::uint8_t* p = r.Row(y);
    for (int x = 0; x < r.Width(); ++x, p += 4) {
      const unsigned a = p[3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((p[c] * a + 127) / 255);
    }
  }
}

// The bitmap converted to 32-bit blue, green, red, alpha (alpha 255).
void WidenTo32Bit(media::TBMPReader& r) {
  if (r.BitCount() == 32 && r.Compression() == media::kBI_RGB) return;
  media::TBMPReader wide;
  wide.SetFormat(r.Width(), r.Height(), 32);
  wide.CopyRect(r, 0, 0, 0, 0, r.Width(), r.RowCount());
  wide.SetAlpha(255);
  r.Assign(wide, true);
}

}  // namespace

struct TFlashImage::TReleasedPixels {
  media::TBitmapInfo Info;
  int TransparentIndex = -1;
};

TFlashImage::TFlashImage(TFlashMovie* owner, const std::string& fileName) : TFlashIDObject(owner) {
  if (!fileName.empty()) LoadDataFromFile(fileName);
}

TFlashImage::~TFlashImage() = default;

void TFlashImage::Assign(const TBasedSWFObject& source) {
  TFlashIDObject::Assign(source);
  const auto& src = AssignSource<TFlashImage>(source);
  IsJPEG = src.IsJPEG;
  HasAlpha = src.HasAlpha;
  ColorCount = src.ColorCount;
  DataState = src.DataState;
  FileName = src.FileName;
  RowWidth = src.RowWidth;
  LosslessFormat = src.LosslessFormat;
  convert_progressive_ = src.convert_progressive_;
  width_ = src.width_;
  height_ = src.height_;
  data_stream_ = src.data_stream_ ? std::make_unique<TMemoryStream>(src.data_stream_->Bytes()) : nullptr;
  alpha_data_ = src.alpha_data_ ? std::make_unique<TMemoryStream>(src.alpha_data_->Bytes()) : nullptr;
  ForgetPixels();
  if (src.bmp_reader_) {
    bmp_reader_ = std::make_unique<media::TBMPReader>();
    bmp_reader_->Assign(*src.bmp_reader_, true);
  }
  // Pixels the source let go come back from the copy of its data.
  if (src.released_) released_ = std::make_unique<TReleasedPixels>(*src.released_);
}

TMemoryStream& TFlashImage::DataStream() {
  RestorePixels();
  if (!data_stream_) {
    if (DataState == kImageJPEGFile) {
      data_stream_ = std::make_unique<TMemoryStream>(ReadFileBytes(FileName));
      DataState = kImageJPEGFileOpen;
    } else {
      data_stream_ = std::make_unique<TMemoryStream>();
      if (DataState == kImageNoData) DataState = kImageEmptyStream;
    }
  }
  return *data_stream_;
}

void TFlashImage::SetDataStream(std::unique_ptr<TMemoryStream> stream) {
  RestorePixels();
  data_stream_ = std::move(stream);
}

TMemoryStream& TFlashImage::AlphaData() {
  if (!alpha_data_) alpha_data_ = std::make_unique<TMemoryStream>();
  return *alpha_data_;
}

media::TBMPReader& TFlashImage::BMPReader() {
  RestorePixels();
  if (!bmp_reader_) bmp_reader_ = std::make_unique<media::TBMPReader>();
  return *bmp_reader_;
}

void TFlashImage::DataChanged() {
  // Lossless data made earlier no longer matches the pixels or palette.
  RestorePixels();
  if (DataState == kImageLossless) data_stream_.reset();
}

void TFlashImage::ForgetPixels() {
  bmp_reader_.reset();
  released_.reset();
}

void TFlashImage::RestorePixels() {
  if (!released_) return;
  const media::TBitmapInfoHeader& header = released_->Info.Header;
  auto reader = std::make_unique<media::TBMPReader>();
  reader->SetBitmapInfo(released_->Info);
  reader->TransparentIndex = released_->TransparentIndex;
  const int w = reader->Width(), h = reader->RowCount();
  // MakeLosslessData wrote four bytes a pixel for both formats let go.
  std::vector<std::uint8_t> block(static_cast<std::size_t>(w) * h * 4);
  uLongf size = static_cast<uLongf>(block.size());
  if (!data_stream_ ||
      uncompress(block.data(), &size, std::as_const(*data_stream_).Data(), static_cast<uLong>(data_stream_->Size())) !=
          Z_OK ||
      size != block.size())
    throw Error("internal: the lossless data of a bitmap no longer holds its pixels");
  const std::uint8_t* in = block.data();
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = reader->Row(header.Height > 0 ? h - 1 - y : y);
    if (header.BitCount == 32) {
      for (int x = 0; x < w; ++x, p += 4, in += 4) p[0] = in[3], p[1] = in[2], p[2] = in[1], p[3] = in[0];
    } else {
      for (int x = 0; x < w; ++x, p += 3, in += 4) p[0] = in[3], p[1] = in[2], p[2] = in[1];
    }
  }
  bmp_reader_ = std::move(reader);
  released_.reset();
}

// --- loading

void TFlashImage::LoadDataFromFile(const std::string& fileName) {
  FileName = fileName;
  if (Owner() && Owner()->OnLoadCustomImage) {
    bool proceed = true;
    Owner()->OnLoadCustomImage(*this, fileName, proceed);
    if (!proceed) return;
  }
  const std::string ext = UpperExtension(fileName);
  IsJPEG = false;
  HasAlpha = false;
  alpha_data_.reset();
  if (ext == "JPG" || ext == "JPEG") {
    LoadJPEGFile(fileName);
  } else if (ext == "BMP") {
    ForgetPixels();
    BMPReader().LoadFromFile(fileName);
    IsJPEG = false;
    data_stream_.reset();
    LosslessFormat = 0;
    // BMP files keep straight (unmultiplied) alpha, as every program that
    // writes them does; lossless SWF bitmaps need it premultiplied.
    if (bmp_reader_->BitCount() == 32) Premultiply(*bmp_reader_);
    GetBMPInfo();
  } else if (CustomImageLoader) {
    CustomImageLoader(*this, fileName);
  } else {
    ThrowFileError(fileName, "Image format \"" + ext + "\" not supported!");
  }
}

void TFlashImage::LoadJPEGFile(const std::string& fileName) {
  IsJPEG = true;
  ForgetPixels();
  data_stream_.reset();
  LosslessFormat = 0;
  const media::TJPEGSize size = media::GetJPEGSize(fileName);
  width_ = static_cast<std::int16_t>(size.Width);
  height_ = static_cast<std::int16_t>(size.Height);
  const bool sized = size.Width != 0 && size.Height != 0;
  if (!convert_progressive_ && !sized) {
    // Kept as it is on request, progressive or not.
    DataState = kImageJPEGFile;
    return;
  }
  // A baseline file goes into the movie as it is, unless the player would
  // show it differently from an image viewer: CMYK data, or an EXIF
  // orientation that viewers apply and the player ignores.
  const media::TJPEGProbe probe = media::ProbeJPEGFile(fileName);
  if (sized && probe.Components != 4 && probe.Orientation == 1) {
    DataState = kImageJPEGFile;
    return;
  }
  if (!probe.IsJPEG) ThrowFileError(fileName, "not a JPEG file");
  ReencodeJPEG(ReadFileBytes(fileName), fileName, sized ? kTurnedQuality : 75);
}

void TFlashImage::ReencodeJPEG(std::span<const std::uint8_t> jpeg, const std::string& name, int quality) {
  media::TDecodedImage image = media::DecodeJPEG(jpeg, name, true);
  if (image.Width > 65535 || image.Height > 65535) ThrowFileError(name, "the picture is too large for a movie");
  width_ = static_cast<std::int16_t>(image.Width);
  height_ = static_cast<std::int16_t>(image.Height);
  data_stream_ = std::make_unique<TMemoryStream>(media::EncodeJPEG(image, quality));
  DataState = kImageJPEGInMemory;
}

void TFlashImage::SetConvertProgressiveJPEG(bool value) {
  const bool switched_on = value && !convert_progressive_;
  convert_progressive_ = value;
  if (switched_on && IsJPEG && (DataState == kImageJPEGFile || DataState == kImageJPEGFileOpen) &&
      (width_ == 0 || height_ == 0)) {
    std::vector<std::uint8_t> bytes = DataState == kImageJPEGFileOpen ? data_stream_->Bytes() : ReadFileBytes(FileName);
    ReencodeJPEG(bytes, FileName, 75);
  }
}

void TFlashImage::LoadDataFromStream(std::span<const std::uint8_t> bmp, const std::string& name) {
  ForgetPixels();
  BMPReader().LoadFromStream(bmp, name);
  IsJPEG = false;
  data_stream_.reset();
  alpha_data_.reset();
  LosslessFormat = 0;
  GetBMPInfo();
}

void TFlashImage::LoadDataFromBMPReader(const media::TBMPReader& reader) {
  ForgetPixels();
  BMPReader().Assign(reader, true);
  IsJPEG = false;
  data_stream_.reset();
  alpha_data_.reset();
  LosslessFormat = 0;
  GetBMPInfo();
}

void TFlashImage::GetBMPInfo() {
  media::TBMPReader& r = BMPReader();
  width_ = static_cast<std::int16_t>(r.Width());
  height_ = static_cast<std::int16_t>(r.RowCount());
  ColorCount = 0;
  switch (r.BitCount()) {
    case 1:
    case 4:
    case 8:
      LosslessFormat = kLosslessPalette;
      ColorCount = r.ColorsUsed();
      RowWidth = static_cast<std::uint16_t>((r.Width() + 3) & ~3);
      // ColorsUsed has moved the transparent entry along with the palette.
      if (r.TransparentIndex >= 0) {
        HasAlpha = true;
        SetAlphaIndex(r.TransparentIndex, 0);
      }
      break;
    case 16:
      LosslessFormat = kLossless15Bit;
      RowWidth = static_cast<std::uint16_t>((r.Width() + 1) & ~1);
      break;
    case 24:
      LosslessFormat = kLossless24Bit;
      RowWidth = static_cast<std::uint16_t>(r.Width());
      break;
    default:
      LosslessFormat = kLossless32Bit;
      RowWidth = static_cast<std::uint16_t>(r.Width());
      HasAlpha = true;
      break;
  }
  DataState = kImageLossless;
}

// --- alpha

void TFlashImage::LoadAlphaDataFromFile(const std::string& fileName) {
  const std::string ext = UpperExtension(fileName);
  if (ext != "BMP") ThrowFileError(fileName, "Image format \"" + ext + "\" for alpha not supported!");
  media::TBMPReader mask;
  mask.LoadFromFile(fileName);
  LoadAlphaDataFromBMPReader(mask);
}

void TFlashImage::LoadAlphaDataFromBMPReader(const media::TBMPReader& r) {
  const bool exact = r.Width() == Width() && r.RowCount() == Height() && r.BitCount() <= 8;
  if (!exact && r.BitCount() != 32) return;
  HasAlpha = true;
  alpha_data_.reset();
  // The alpha of pixel (x, y from the top) of r: the alpha byte of a 32-bit
  // pixel, otherwise the palette index itself (a 1-bit index 1 is opaque).
  // Pixels beyond a 32-bit mask of another size stay opaque.
  auto alpha_at = [&](int x, int y) -> std::uint8_t {
    if (x >= r.Width() || y >= r.RowCount()) return 255;
    const int row = r.Height() > 0 ? r.RowCount() - 1 - y : y;
    if (r.BitCount() == 32) return r.Row(row)[4 * x + 3];
    const int index = r.GetIndex(row, x);
    return static_cast<std::uint8_t>(r.BitCount() == 1 ? index * 255 : index);
  };
  if (IsJPEG) {
    TMemoryStream& alpha = AlphaData();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(Width()) * Height());
    for (int y = 0; y < Height(); ++y)
      for (int x = 0; x < Width(); ++x) bytes[static_cast<std::size_t>(y) * Width() + x] = alpha_at(x, y);
    alpha.Write(bytes.data(), bytes.size());
    return;
  }
  RestorePixels();
  if (!bmp_reader_) return;
  // Lossless data of any format takes the mask as 32-bit pixels with alpha.
  media::TBMPReader& own = *bmp_reader_;
  WidenTo32Bit(own);
  for (int y = 0; y < own.RowCount(); ++y) {
    std::uint8_t* row = own.Row(own.Height() > 0 ? own.RowCount() - 1 - y : y);
    for (int x = 0; x < own.Width(); ++x) row[4 * x + 3] = alpha_at(x, y);
  }
  Premultiply(own);
  GetBMPInfo();
  data_stream_.reset();
}

void TFlashImage::SetAlphaColor(std::uint32_t rgba) {
  RestorePixels();
  if (LosslessFormat != kLosslessPalette || !bmp_reader_) return;
  const std::uint8_t red = rgba & 0xFF, green = (rgba >> 8) & 0xFF, blue = (rgba >> 16) & 0xFF, alpha = rgba >> 24;
  auto& palette = bmp_reader_->Palette();
  for (int i = 0; i < ColorCount && i < 256; ++i) {
    media::TRGBQuad& e = palette[i];
    if (e.Red == red && e.Green == green && e.Blue == blue) {
      e.Reserved = alpha;
      if (alpha == 0) e.Red = e.Green = e.Blue = 0;
    }
  }
  HasAlpha = true;
  DataChanged();
}

void TFlashImage::SetAlphaIndex(int index, std::uint8_t alpha) {
  RestorePixels();
  if (LosslessFormat != kLosslessPalette || !bmp_reader_ || index < 0 || index >= ColorCount || index > 255) return;
  media::TRGBQuad& e = bmp_reader_->Palette()[index];
  e.Reserved = alpha;
  if (alpha == 0) e.Red = e.Green = e.Blue = 0;
  HasAlpha = true;
  DataChanged();
}

// --- lossless data

void TFlashImage::MakeLosslessData(int level) {
  if (LosslessFormat == 0) GetBMPInfo();
  const media::TBMPReader& r = BMPReader();
  const int w = r.Width(), h = r.RowCount();
  std::vector<std::uint8_t> block;
  // Whether the pixels can be rebuilt exactly from the block.
  bool reversible = false;
  switch (LosslessFormat) {
    case kLossless32Bit: {
      block.resize(static_cast<std::size_t>(w) * h * 4);
      std::uint8_t* out = block.data();
      std::uint8_t lost = 0;  // colour bits of fully transparent pixels
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = r.RowFromTop(y);
        for (int x = 0; x < w; ++x, p += 4, out += 4) {
          if (p[3] == 0) {
            lost |= p[0] | p[1] | p[2];
            out[0] = out[1] = out[2] = out[3] = 0;
          } else {
            out[0] = p[3], out[1] = p[2], out[2] = p[1], out[3] = p[0];
          }
        }
      }
      HasAlpha = true;
      reversible = lost == 0 && r.BitCount() == 32 && r.Compression() == media::kBI_RGB;
      break;
    }
    case kLosslessPalette: {
      const int entry = HasAlpha ? 4 : 3;
      block.resize(static_cast<std::size_t>(ColorCount) * entry + static_cast<std::size_t>(RowWidth) * h);
      std::uint8_t* out = block.data();
      for (int i = 0; i < ColorCount; ++i) {
        const media::TRGBQuad& e = r.Palette()[i];
        *out++ = e.Red, *out++ = e.Green, *out++ = e.Blue;
        if (HasAlpha) *out++ = e.Reserved;
      }
      for (int y = 0; y < h; ++y) {
        const int row = r.Height() > 0 ? h - 1 - y : y;
        if (r.BitCount() == 8) {
          std::memcpy(out, r.Row(row), w);
        } else {
          for (int x = 0; x < w; ++x) out[x] = static_cast<std::uint8_t>(r.GetIndex(row, x));
        }
        out += RowWidth;  // padding bytes stay zero
      }
      break;
    }
    case kLossless15Bit: {
      // SWF wants 0RRRRRGG GGGBBBBB, high byte first; 5-6-5 pixels are
      // repacked (green loses its lowest bit) and the unused top bit cleared.
      block.resize(static_cast<std::size_t>(RowWidth) * h * 2);
      const bool is555 = r.RedBits() == 5 && r.GreenBits() == 5 && r.BlueBits() == 5;
      std::uint8_t* out = block.data();
      for (int y = 0; y < h; ++y) {
        const int row = r.Height() > 0 ? h - 1 - y : y;
        const std::uint8_t* p = r.Row(row);
        for (int x = 0; x < w; ++x) {
          std::uint16_t v;
          if (is555) {
            v = static_cast<std::uint16_t>((p[2 * x] | p[2 * x + 1] << 8) & 0x7FFF);
          } else {
            const media::TRGBQuad c = r.GetPixel(row, x);
            v = static_cast<std::uint16_t>((c.Red >> 3) << 10 | (c.Green >> 3) << 5 | (c.Blue >> 3));
          }
          out[2 * x] = static_cast<std::uint8_t>(v >> 8);
          out[2 * x + 1] = static_cast<std::uint8_t>(v);
        }
        out += 2 * static_cast<std::size_t>(RowWidth);
      }
      break;
    }
    case kLossless24Bit: {
      block.resize(static_cast<std::size_t>(w) * h * 4);
      std::uint8_t* out = block.data();
      for (int y = 0; y < h; ++y) {
        const std::uint8_t* p = r.RowFromTop(y);
        for (int x = 0; x < w; ++x, p += 3, out += 4) out[0] = 255, out[1] = p[2], out[2] = p[1], out[3] = p[0];
      }
      reversible = r.BitCount() == 24 && r.Compression() == media::kBI_RGB;
      break;
    }
    default: throw Error("no lossless format for this bitmap");
  }
  data_stream_ = std::make_unique<TMemoryStream>(Deflate(block.data(), block.size(), level));
  DataState = kImageLossless;
  // The pixels are the largest part of a bitmap by far; a movie full of
  // photos would otherwise hold every one of them twice until it is freed.
  if (reversible && w > 0 && h > 0) {
    released_ = std::make_unique<TReleasedPixels>(TReleasedPixels{bmp_reader_->BitmapInfo(), bmp_reader_->TransparentIndex});
    bmp_reader_.reset();
  }
}

bool TFlashImage::MakeJPEGData(int quality) {
  if (DataState != kImageLossless || !HasBMPReader() || HasAlphaData() || LosslessFormat == kLosslessPalette) return false;
  const media::TBMPReader& r = BMPReader();
  const int bytes = r.BitCount() / 8;
  if ((bytes != 3 && bytes != 4) || r.Compression() != media::kBI_RGB) return false;
  media::TDecodedImage image;
  image.Width = r.Width(), image.Height = r.RowCount(), image.Components = 3;
  image.Pixels.resize(std::size_t(image.Width) * image.Height * 3);
  std::uint8_t* out = image.Pixels.data();
  for (int y = 0; y < image.Height; ++y) {
    const std::uint8_t* p = r.RowFromTop(y);
    for (int x = 0; x < image.Width; ++x, p += bytes, out += 3) {
      if (bytes == 4 && p[3] != 255) return false;
      out[0] = p[2], out[1] = p[1], out[2] = p[0];
    }
  }
  // Colour at full resolution: a slide is small, and halved colour blurs
  // the fine colour detail of photos visibly.
  data_stream_ = std::make_unique<TMemoryStream>(media::EncodeJPEG(image, quality, true));
  ForgetPixels();
  IsJPEG = true;
  HasAlpha = false;
  LosslessFormat = 0;
  DataState = kImageJPEGInMemory;
  return true;
}

// --- writing

void TFlashImage::WriteToStream(TBitsEngine& be) {
  if (IsJPEG) {
    // The JPEG data is the whole JPEG file or stream; a file known by name
    // is read now and let go afterwards.
    std::vector<std::uint8_t> file;
    const std::uint8_t* jpeg = nullptr;
    std::size_t size = 0;
    if (DataState == kImageJPEGFile) {
      file = ReadFileBytes(FileName);
      jpeg = file.data(), size = file.size();
    } else if (data_stream_) {
      jpeg = data_stream_->Data(), size = data_stream_->Size();
    }
    // Movies before version 8 carry the bytes FF D9 FF D8 in front of the
    // JPEG stream, as players of those versions expect; from version 8 on
    // the format wants the JPEG stream alone, and readers of SWF 8 refuse
    // the extra bytes.
    const bool eoi_soi = !Owner() || Owner()->Version() < 8;
    auto writer = [jpeg, size, eoi_soi](TSWFDataObject&, TBitsEngine& out) {
      const std::uint8_t marks[4] = {0xFF, 0xD9, 0xFF, 0xD8};
      if (eoi_soi) out.WriteBytes(marks, 4);
      if (size > 0) out.WriteBytes(jpeg, size);
    };
    if (HasAlphaData()) {
      TSWFDefineBitsJPEG3 tag;
      tag.ID = CharacterId();
      tag.OnDataWrite = writer;
      const std::vector<std::uint8_t> alpha = Deflate(alpha_data_->Data(), alpha_data_->Size());
      tag.SetAlphaDataRef(alpha.data(), alpha.size());
      tag.WriteToStream(be);
    } else {
      // The DefineBitsJPEG2 record, written straight to the stream: the
      // photo's bytes are copied once instead of going through a body buffer.
      be.FlushLastByte(true);
      const std::uint64_t body = 2 + (eoi_soi ? 4 : 0) + size;
      WriteTagHeader(be.Stream(), tag::DefineBitsJPEG2, body, false);
      be.WriteWord(CharacterId());
      TSWFDefineBitsJPEG2 tag;
      writer(tag, be);
    }
    return;
  }
  if (DataState != kImageLossless) return;  // nothing was loaded
  if (!data_stream_ || data_stream_->Size() == 0) MakeLosslessData();
  std::unique_ptr<TSWFDefineBitsLossless> tag = HasAlpha ? std::make_unique<TSWFDefineBitsLossless2>()
                                                         : std::make_unique<TSWFDefineBitsLossless>();
  tag->ID = CharacterId();
  tag->BitmapFormat = LosslessFormat == kLossless32Bit ? kBitmapFormat24Bit : LosslessFormat;
  tag->Width = Width();
  tag->Height = Height();
  if (LosslessFormat == kLosslessPalette) tag->BitmapColorTableSize = static_cast<std::uint8_t>(ColorCount - 1);
  // The record goes straight to the stream, the data marked as compressed
  // already, so that a compressed movie does not deflate it a second time.
  TMemoryStream head;
  {
    TBitsEngine fields(head);
    tag->WriteTagBody(fields);
    fields.FlushLastByte(true);
  }
  be.FlushLastByte(true);
  WriteTagHeader(be.Stream(), tag->TagID, head.Size() + data_stream_->Size(), false);
  be.Stream().Write(std::as_const(head).Data(), head.Size());
  be.Stream().WriteCompressed(std::as_const(*data_stream_).Data(), data_stream_->Size());
}

// --- the movie's and the shape's image operations

TFlashImage* TFlashMovie::AddImage(const std::string& fileName) {
  // Loading happens before registering, so a failed load adds nothing.
  auto image = std::make_unique<TFlashImage>(this, fileName);
  return AddCharacter(std::move(image), Images());
}

TFlashShape* TFlashMovie::AddShapeImage(TFlashImage* image) {
  TFlashShape* shape = AddRectangle(0, 0, image->Width(), image->Height());
  shape->SetImageFill(*image, TFlashImageFillMode::Fit, 1, 1);
  return shape;
}

TSWFImageFill* TFlashShape::SetImageFill(TFlashImage& image, TFlashImageFillMode mode, float scaleX, float scaleY) {
  return SetImageFill(image, image.Width(), image.Height(), mode, scaleX, scaleY);
}

}  // namespace yel::swf
