// Bitmap decoding: JPEG through libjpeg-turbo (media), PNG and GIF through
// the picture decoder, zlib data of lossless bitmaps and alpha planes
// inflated into buffers of the size the header asks, never more.
#include "swf/render/bitmap_decoder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "base/error.h"
#include "media/jpeg_file.h"
#include "media/picture_decoder.h"
#include "swf/format/bitmap_tags.h"

namespace yel::swf::render {
namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& message) { throw Error(name + ": " + message); }

void CheckSize(std::uint64_t width, std::uint64_t height, const std::string& name) {
  if (width == 0 || height == 0) Fail(name, "the bitmap is empty");
  if (width * height > kMaxBitmapPixels)
    Fail(name, "the bitmap has " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels, more than a movie bitmap may have");
}

// Inflates zlib data into exactly size bytes; data that ends early leaves
// the rest zero (players show what arrived), damaged data throws.
std::vector<std::uint8_t> Inflate(const std::uint8_t* data, std::size_t length, std::size_t size,
                                  const std::string& name) {
  std::vector<std::uint8_t> out(size);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Fail(name, "cannot start decompressing");
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(std::min<std::size_t>(length, 0xFFFFFFFFu));
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(size);
  const int ret = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  if (ret != Z_STREAM_END && ret != Z_BUF_ERROR && ret != Z_OK) Fail(name, "the bitmap data is damaged");
  return out;
}

std::uint32_t Premultiply(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  if (a == 255) return 0xFF000000u | r << 16 | g << 8 | b;
  auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return a << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

// The JPEG bytes of a tag's data as the file had them (the reader strips
// the markers around the data).
void AppendJPEG(std::vector<std::uint8_t>& out, const TSWFDataObject& tag, bool verbatim) {
  const std::uint8_t* data = tag.Data();
  const std::size_t size = tag.DataSize();
  if (verbatim || (size >= 2 && data[0] == 0xFF && data[1] == 0xD8)) {
    out.insert(out.end(), data, data + size);
  } else {
    out.insert(out.end(), {0xFF, 0xD8});
    out.insert(out.end(), data, data + size);
    out.insert(out.end(), {0xFF, 0xD9});
  }
}

// Removes the end-and-start markers (FF D9 FF D8) that SWF JPEG data may
// carry between its tables and its image.
void RemoveInnerMarkers(std::vector<std::uint8_t>& bytes) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    if (i > 0 && i + 4 <= bytes.size() && bytes[i] == 0xFF && bytes[i + 1] == 0xD9 && bytes[i + 2] == 0xFF &&
        bytes[i + 3] == 0xD8) {
      i += 4;
      continue;
    }
    bytes[out++] = bytes[i++];
  }
  bytes.resize(out);
  // Data written as FF D9 FF D8 ... starts with the pair itself.
  if (bytes.size() >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD9 && bytes[2] == 0xFF && bytes[3] == 0xD8)
    bytes.erase(bytes.begin(), bytes.begin() + 2);
}

bool IsJPEG(std::span<const std::uint8_t> b) { return b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8; }

TBitmap FromPicture(std::span<const std::uint8_t> bytes, const std::string& name) {
  TBitmap bitmap;
  if (IsJPEG(bytes)) {
    const media::TJPEGProbe probe = media::ProbeJPEG(bytes);
    if (probe.Width > 0) CheckSize(probe.Width, probe.Height, name);
    media::TDecodedImage image = media::DecodeJPEG(bytes, name, false, true);
    CheckSize(image.Width, image.Height, name);
    bitmap.Width = image.Width;
    bitmap.Height = image.Height;
    bitmap.Pixels.resize(std::size_t(image.Width) * image.Height);
    const std::uint8_t* p = image.Pixels.data();
    for (auto& px : bitmap.Pixels) {
      px = 0xFF000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
      p += 3;
    }
    return bitmap;
  }
  const media::TPictureSize size = media::PictureHeaderSize(bytes);
  if (size.Width > 0 && size.Height > 0) CheckSize(size.Width, size.Height, name);
  media::TRGBAPicture picture = media::DecodePicture(bytes, name);
  CheckSize(picture.Width, picture.Height, name);
  bitmap.Width = picture.Width;
  bitmap.Height = picture.Height;
  bitmap.Pixels.resize(std::size_t(picture.Width) * picture.Height);
  const std::uint8_t* p = picture.Pixels.data();
  for (auto& px : bitmap.Pixels) {
    px = Premultiply(p[0], p[1], p[2], p[3]);
    p += 4;
  }
  return bitmap;
}

TBitmap DecodeLossless(const TSWFDefineBitsLossless& tag, const std::string& name) {
  const bool alpha = tag.TagID == tag::DefineBitsLossless2;
  const std::size_t w = tag.Width, h = tag.Height;
  CheckSize(w, h, name);
  TBitmap bitmap;
  bitmap.Width = int(w);
  bitmap.Height = int(h);
  bitmap.Pixels.resize(w * h);
  switch (tag.BitmapFormat) {
    case kBitmapFormat8Bit: {
      const std::size_t colours = std::size_t(tag.BitmapColorTableSize) + 1;
      const std::size_t entry = alpha ? 4 : 3;
      const std::size_t stride = (w + 3) & ~std::size_t(3);
      const auto data = Inflate(tag.Data(), tag.DataSize(), colours * entry + stride * h, name);
      std::uint32_t table[256] = {};
      for (std::size_t i = 0; i < colours; ++i) {
        const std::uint8_t* c = &data[i * entry];
        table[i] = Premultiply(c[0], c[1], c[2], alpha ? c[3] : 255);
      }
      const std::uint8_t* rows = data.data() + colours * entry;
      for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) bitmap.Pixels[y * w + x] = table[rows[y * stride + x]];
      break;
    }
    case kBitmapFormat15Bit: {
      const std::size_t stride = (w * 2 + 3) & ~std::size_t(3);
      const auto data = Inflate(tag.Data(), tag.DataSize(), stride * h, name);
      for (std::size_t y = 0; y < h; ++y)
        for (std::size_t x = 0; x < w; ++x) {
          const std::uint32_t v = std::uint32_t(data[y * stride + 2 * x]) << 8 | data[y * stride + 2 * x + 1];
          auto expand = [](std::uint32_t c) { return (c << 3) | (c >> 2); };
          bitmap.Pixels[y * w + x] =
              0xFF000000u | expand((v >> 10) & 31) << 16 | expand((v >> 5) & 31) << 8 | expand(v & 31);
        }
      break;
    }
    case kBitmapFormat24Bit: {
      const auto data = Inflate(tag.Data(), tag.DataSize(), w * h * 4, name);
      const std::uint8_t* p = data.data();
      for (auto& px : bitmap.Pixels) {
        if (alpha) {
          // Premultiplied already; colour above alpha is clamped.
          const std::uint32_t a = p[0];
          px = a << 24 | std::uint32_t(std::min(p[1], p[0])) << 16 | std::uint32_t(std::min(p[2], p[0])) << 8 |
               std::min(p[3], p[0]);
        } else {
          px = 0xFF000000u | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
        }
        p += 4;
      }
      break;
    }
    default: Fail(name, "unknown lossless bitmap format " + std::to_string(tag.BitmapFormat));
  }
  return bitmap;
}

}  // namespace

bool IsBitmapTag(std::uint16_t tagId) {
  switch (tagId) {
    case tag::DefineBits: case tag::DefineBitsJPEG2: case tag::DefineBitsJPEG3:
    case tag::DefineBitsLossless: case tag::DefineBitsLossless2: case 90:  // DefineBitsJPEG4
      return true;
    default: return false;
  }
}

TBitmap DecodeBitmap(const TSWFObject& tag, const TSWFJPEGTables* tables, const std::string& name) {
  if (const auto* lossless = dynamic_cast<const TSWFDefineBitsLossless*>(&tag)) return DecodeLossless(*lossless, name);
  const auto* bits = dynamic_cast<const TSWFDefineBits*>(&tag);
  if (!bits) Fail(name, "not a bitmap");
  std::vector<std::uint8_t> bytes;
  if (tag.TagID == tag::DefineBits) {
    if (tables) AppendJPEG(bytes, *tables, tables->VerbatimData);
    AppendJPEG(bytes, *bits, bits->VerbatimData);
  } else {
    AppendJPEG(bytes, *bits, bits->VerbatimData);
  }
  if (IsJPEG(bytes)) RemoveInnerMarkers(bytes);
  TBitmap bitmap = FromPicture(bytes, name);
  const auto* jpeg3 = dynamic_cast<const TSWFDefineBitsJPEG3*>(&tag);
  if (jpeg3 && jpeg3->AlphaDataSize() > 0 && IsJPEG(bytes)) {
    const auto alpha = Inflate(jpeg3->AlphaData(), jpeg3->AlphaDataSize(), bitmap.Pixels.size(), name);
    for (std::size_t i = 0; i < bitmap.Pixels.size(); ++i) {
      const std::uint32_t px = bitmap.Pixels[i];
      bitmap.Pixels[i] = Premultiply((px >> 16) & 255, (px >> 8) & 255, px & 255, alpha[i]);
    }
  }
  return bitmap;
}

}  // namespace yel::swf::render
