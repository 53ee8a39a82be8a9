// TBMPReader: loading BMP files into a bottom-up DIB, pixel access, format
// conversion and palette compaction.
#include "media/bmp_reader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "base/error.h"
#include "base/files.h"
#include "media/rle_bitmap.h"

namespace yel::media {
namespace {

// Largest width or height we accept; SWF bitmaps are limited to 16 bits anyway.
constexpr std::int64_t kMaxSide = 65535;
// Pixel memory may exceed the bytes a file holds only by these margins: a
// truncated plain file still loads (the missing rows stay zero), and run-length
// data expands at most 255 pixels from two bytes. Beyond that the header
// claims more than the file could hold, and nothing is allocated.
constexpr std::uint64_t kPlainExpansion = 16;
constexpr std::uint64_t kRunLengthExpansion = 128;
constexpr std::uint64_t kSlack = 1u << 20;

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

std::uint32_t MaskOf(const TRGBQuad& q) {
  return static_cast<std::uint32_t>(q.Blue) | static_cast<std::uint32_t>(q.Green) << 8 |
         static_cast<std::uint32_t>(q.Red) << 16 | static_cast<std::uint32_t>(q.Reserved) << 24;
}
TRGBQuad QuadOf(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}
// Width of a mask: highest set bit minus lowest set bit plus one.
int MaskWidth(std::uint32_t mask) {
  if (mask == 0) return 0;
  return 32 - std::countl_zero(mask) - std::countr_zero(mask);
}
// The channel of a pixel under a mask, as 8 bits (wider channels keep their
// top 8 bits). A missing mask gives `missing`.
std::uint8_t Extract(std::uint32_t pixel, std::uint32_t mask, std::uint8_t missing) {
  if (mask == 0) return missing;
  int width = MaskWidth(mask);
  std::uint32_t v = (pixel & mask) >> std::countr_zero(mask);
  if (width > 8) return static_cast<std::uint8_t>(v >> (width - 8));
  return WidenChannel(v, width);
}

std::int64_t StrideFor(std::int64_t width, int bits) { return ((width * bits + 31) / 32) * 4; }

}  // namespace

std::uint8_t WidenChannel(std::uint32_t v, int bits) {
  switch (bits) {
    case 1: return v ? 255 : 0;
    case 2: return static_cast<std::uint8_t>(v * 85);
    case 3: return static_cast<std::uint8_t>(v << 5 | v << 2 | v >> 1);
    case 4: return static_cast<std::uint8_t>(v << 4 | v);
    case 5: return static_cast<std::uint8_t>(v << 3 | v >> 2);
    case 6: return static_cast<std::uint8_t>(v << 2 | v >> 4);
    case 7: return static_cast<std::uint8_t>(v << 1 | v >> 6);
    default: return static_cast<std::uint8_t>(v);
  }
}

void TBMPReader::LoadFromFile(const std::string& file_name) {
  // The header is checked before the file is read whole: what is no BMP
  // file, or is far larger than its pixels need, costs no memory.
  {
    FileReader file(file_name);
    std::uint8_t head[26] = {};
    const std::size_t got = file.Read(head, sizeof head);
    if (got < sizeof head || head[0] != 'B' || head[1] != 'M') ThrowFileError(file_name, "not a BMP file");
    const bool os2 = U32(head, 14) == 12;
    const std::uint64_t width =
        os2 ? U16(head, 18) : std::uint64_t(std::abs(std::int64_t(std::int32_t(U32(head, 18)))));
    const std::uint64_t height =
        os2 ? U16(head, 20) : std::uint64_t(std::abs(std::int64_t(std::int32_t(U32(head, 22)))));
    constexpr std::uint64_t kAllowance = 32u << 20;  // palettes, profiles, gaps
    if (file.Size() > width * height * 4 + kAllowance)
      ThrowFileError(file_name, "the file is " + std::to_string(file.Size() >> 20) + " MB, far more than a " +
                                    std::to_string(width) + " x " + std::to_string(height) + " bitmap needs");
  }
  std::vector<std::uint8_t> bytes = ReadFileBytes(file_name);
  LoadFromStream(bytes, file_name);
}

void TBMPReader::LoadFromStream(std::span<const std::uint8_t> b, const std::string& name) {
  auto fail = [&](const std::string& message) { ThrowFileError(name, message); };
  if (b.size() < 26 || b[0] != 'B' || b[1] != 'M') fail("not a BMP file");
  const std::uint32_t offset = U32(b, 10);
  const std::uint32_t header_size = U32(b, 14);

  TBitmapInfo info;
  std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool has_masks = false;
  bool alpha_mask_known = false;  // the header has an alpha mask field
  std::size_t palette_at = 14 + header_size;
  int entry_size = 4;
  std::int64_t width = 0, height = 0;
  std::uint32_t compression = kBI_RGB;
  int bits = 0;
  std::uint32_t colours = 0;

  if (header_size == 12) {
    width = U16(b, 18);
    height = U16(b, 20);
    bits = U16(b, 24);
    entry_size = 3;
  } else if (header_size == 40 || header_size == 52 || header_size == 56 || header_size == 108 ||
             header_size == 124) {
    if (b.size() < 14 + std::size_t{header_size}) fail("the bitmap header is cut short");
    width = static_cast<std::int32_t>(U32(b, 18));
    height = static_cast<std::int32_t>(U32(b, 22));
    bits = U16(b, 28);
    compression = U32(b, 30);
    colours = U32(b, 46);
    if (header_size >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = U32(b, 54 + 4 * i);
      has_masks = true;
    }
    if (header_size >= 56) {
      masks[3] = U32(b, 66);
      alpha_mask_known = true;
    }
    if (header_size == 40 && (compression == kBI_BITFIELDS || compression == 6)) {
      // The masks follow the header, where the palette would be.
      int count = compression == 6 ? 4 : 3;
      if (b.size() < palette_at + 4 * count) fail("the colour masks are cut short");
      for (int i = 0; i < count; ++i) masks[i] = U32(b, palette_at + 4 * i);
      has_masks = true;
      alpha_mask_known = compression == 6;
      palette_at += 4 * count;
    }
  } else {
    fail("unsupported bitmap header of " + std::to_string(header_size) + " bytes");
  }

  const bool top_down = height < 0;
  height = top_down ? -height : height;
  if (width <= 0 || height <= 0) fail("the picture has no pixels");
  if (width > kMaxSide || height > kMaxSide)
    fail("the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) + " pixels)");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    fail("unsupported colour depth of " + std::to_string(bits) + " bits per pixel");
  switch (compression) {
    case kBI_RGB: break;
    case kBI_RLE8:
      if (bits != 8) fail("RLE8 compression needs 8 bits per pixel");
      break;
    case kBI_RLE4:
      if (bits != 4) fail("RLE4 compression needs 4 bits per pixel");
      break;
    case kBI_BITFIELDS:
    case 6:
      if (bits != 16 && bits != 32) fail("colour masks need 16 or 32 bits per pixel");
      break;
    case 4: fail("BMP files holding JPEG data are not supported"); break;
    case 5: fail("BMP files holding PNG data are not supported"); break;
    default: fail("unknown compression " + std::to_string(compression));
  }
  const bool run_length = compression == kBI_RLE8 || compression == kBI_RLE4;
  if (!(compression == kBI_BITFIELDS || compression == 6)) {
    // Without bit fields the masks of the larger headers are not in force.
    has_masks = false;
    masks[0] = masks[1] = masks[2] = 0;
    if (bits != 32) masks[3] = 0;
  }
  if (has_masks && (masks[0] == 0 || masks[1] == 0 || masks[2] == 0 ||
                    ((masks[0] & masks[1]) | (masks[0] & masks[2]) | (masks[1] & masks[2]) |
                     ((masks[0] | masks[1] | masks[2]) & masks[3])) != 0))
    fail("the colour masks are invalid");
  if (bits == 16 && masks[3] >= 0x10000) fail("the colour masks are invalid");

  // Refuse sizes that the file's bytes could not fill before allocating.
  const std::uint64_t available = offset < b.size() ? b.size() - offset : 0;
  const std::uint64_t stored_stride = StrideFor(width, bits);
  const std::uint64_t claimed = stored_stride * static_cast<std::uint64_t>(height);
  const std::uint64_t allowed = available * (run_length ? kRunLengthExpansion : kPlainExpansion) + kSlack;
  if (claimed > allowed)
    fail("the picture claims " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels but the file holds only " + std::to_string(available) + " bytes of pixel data");

  // How the pixels are kept: standard layouts as they are, anything else
  // (other masks, alpha in 16 bits) widened to 32-bit blue, green, red, alpha.
  const std::uint32_t std16a[3] = {0x7C00, 0x03E0, 0x001F}, std16b[3] = {0xF800, 0x07E0, 0x001F};
  const std::uint32_t std32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
  auto masks_are = [&](const std::uint32_t* m) { return masks[0] == m[0] && masks[1] == m[1] && masks[2] == m[2]; };
  bool convert = false;
  if (has_masks && bits == 16) convert = masks[3] != 0 || !(masks_are(std16a) || masks_are(std16b));
  if (has_masks && bits == 32) convert = !masks_are(std32) || (masks[3] != 0 && masks[3] != 0xFF000000u);

  info.Header.Width = static_cast<std::int32_t>(width);
  info.Header.Height = static_cast<std::int32_t>(height);
  info.Header.BitCount = static_cast<std::uint16_t>(convert ? 32 : bits);
  info.Header.Compression = kBI_RGB;
  if (bits <= 8) {
    const std::uint32_t max_colours = 1u << bits;
    std::uint32_t count = (colours == 0 || colours > max_colours) ? max_colours : colours;
    info.Header.ClrUsed = colours == 0 || colours > max_colours ? 0 : colours;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::size_t at = palette_at + std::size_t{i} * entry_size;
      if (at + entry_size > b.size()) break;
      info.Palette[i] = {b[at], b[at + 1], b[at + 2], entry_size == 4 ? b[at + 3] : std::uint8_t{0}};
    }
  } else if (bits == 16 && has_masks && !convert) {
    info.Header.Compression = kBI_BITFIELDS;
    for (int i = 0; i < 3; ++i) info.Palette[i] = QuadOf(masks[i]);
  }
  SetBitmapInfo(info);
  if (bits <= 8) {
    // From here on the whole palette is in force: a pixel may use an entry
    // beyond the colours the file listed, which shows opaque black, and a
    // saved copy keeps every entry.
    const std::uint32_t listed = colours == 0 || colours > (1u << bits) ? 1u << bits : colours;
    for (std::uint32_t i = listed; i < 256; ++i) info_.Palette[i] = {0, 0, 0, 255};
    info_.Header.ClrUsed = 0;
  }

  if (!convert) {
    LoadPixels(b, offset, compression, top_down, name);
  } else {
    // Read the stored pixels into a scratch reader of the stored depth, then
    // widen each pixel through its masks.
    TBMPReader stored;
    TBitmapInfo raw;
    raw.Header.Width = info.Header.Width;
    raw.Header.Height = info.Header.Height;
    raw.Header.BitCount = static_cast<std::uint16_t>(bits);
    stored.SetBitmapInfo(raw);
    stored.LoadPixels(b, offset, kBI_RGB, top_down, name);
    for (int r = 0; r < row_count_; ++r) {
      const std::uint8_t* src = stored.Row(r);
      std::uint8_t* dst = Row(r);
      for (int x = 0; x < width; ++x) {
        std::uint32_t v = bits == 16 ? static_cast<std::uint32_t>(src[2 * x] | src[2 * x + 1] << 8)
                                     : static_cast<std::uint32_t>(src[4 * x] | src[4 * x + 1] << 8 |
                                                                  src[4 * x + 2] << 16) |
                                           static_cast<std::uint32_t>(src[4 * x + 3]) << 24;
        dst[4 * x] = Extract(v, masks[2], 0);
        dst[4 * x + 1] = Extract(v, masks[1], 0);
        dst[4 * x + 2] = Extract(v, masks[0], 0);
        dst[4 * x + 3] = Extract(v, masks[3], 255);
      }
    }
  }
  if (BitCount() == 32) {
    // The fourth byte is alpha only where the header says so (an alpha mask)
    // or, in the 40-byte header, where some pixel uses it; all-zero fourth
    // bytes are padding, and the picture is opaque as every viewer shows it.
    if ((alpha_mask_known && masks[3] == 0) || !HasAlphaChannel()) SetAlpha(255);
  }
}

void TBMPReader::LoadPixels(std::span<const std::uint8_t> b, std::size_t offset, std::uint32_t compression,
                            bool top_down, const std::string& name) {
  (void)name;
  const std::span<const std::uint8_t> data = offset < b.size() ? b.subspan(offset) : std::span<const std::uint8_t>();
  if (compression != kBI_RLE8 && compression != kBI_RLE4) {
    if (!data.empty()) std::memcpy(bits_, data.data(), std::min<std::size_t>(data.size(), ImageSize()));
  } else {
    // Run-length data goes into the rows as 4- or 8-bit indexes.
    const bool rle4 = compression == kBI_RLE4;
    DecodeRleBitmap(data, rle4, Width(), row_count_, [&](int x, int y, std::uint8_t value) {
      std::uint8_t* row = Row(y);
      if (rle4) {
        std::uint8_t& byte = row[x >> 1];
        byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | (value & 0x0F))
                       : static_cast<std::uint8_t>((byte & 0x0F) | (value & 0x0F) << 4);
      } else {
        row[x] = value;
      }
    });
  }
  if (top_down) {
    std::vector<std::uint8_t> swap(stride_);
    for (int i = 0, j = row_count_ - 1; i < j; ++i, --j) {
      std::memcpy(swap.data(), Row(i), stride_);
      std::memcpy(Row(i), Row(j), stride_);
      std::memcpy(Row(j), swap.data(), stride_);
    }
  }
}

void TBMPReader::SetBitmapInfo(const TBitmapInfo& info) {
  info_ = info;
  info_.Header.Size = 40;
  info_.Header.Planes = 1;
  TBitmapInfoHeader& h = info_.Header;
  if (h.Compression == kBI_RLE8 || h.Compression == kBI_RLE4) h.Compression = kBI_RGB;
  if (h.Compression == kBI_BITFIELDS && h.BitCount != 16 && h.BitCount != 32) h.Compression = kBI_RGB;
  if (h.BitCount > 8 && h.Compression != kBI_BITFIELDS) {
    for (auto& entry : info_.Palette) entry = {};
  }
  if (h.BitCount <= 8) ApplyPaletteAlpha();
  DeriveChannels();
  Recreate(nullptr);
}

void TBMPReader::SetBitmapInfoAndBits(const TBitmapInfo& info, std::uint8_t* bits) {
  SetBitmapInfo(info);
  memory_.clear();
  memory_.shrink_to_fit();
  bits_ = bits;
}

void TBMPReader::DeriveChannels() {
  const TBitmapInfoHeader& h = info_.Header;
  red_bits_ = green_bits_ = blue_bits_ = 0;
  red_shift_ = green_shift_ = blue_shift_ = 0;
  if (h.BitCount != 16 && h.BitCount != 32) return;
  if (h.Compression == kBI_BITFIELDS) {
    std::uint32_t r = MaskOf(info_.Palette[0]), g = MaskOf(info_.Palette[1]), b = MaskOf(info_.Palette[2]);
    red_bits_ = MaskWidth(r);
    green_bits_ = MaskWidth(g);
    blue_bits_ = MaskWidth(b);
    red_shift_ = r ? std::countr_zero(r) : 0;
    green_shift_ = g ? std::countr_zero(g) : 0;
    blue_shift_ = b ? std::countr_zero(b) : 0;
  } else if (h.BitCount == 16) {
    red_bits_ = green_bits_ = blue_bits_ = 5;
    red_shift_ = 10, green_shift_ = 5;
  } else {
    red_bits_ = green_bits_ = blue_bits_ = 8;
    red_shift_ = 16, green_shift_ = 8;
  }
}

void TBMPReader::Recreate(std::uint8_t* foreign_bits) {
  TBitmapInfoHeader& h = info_.Header;
  const std::int64_t width = h.Width, rows = h.Height < 0 ? -static_cast<std::int64_t>(h.Height) : h.Height;
  if (width < 0 || width > kMaxSide || rows > kMaxSide) throw Error("bitmap size out of range");
  stride_ = static_cast<std::int32_t>(StrideFor(width, h.BitCount));
  row_gap_ = stride_ - static_cast<std::int32_t>((width * h.BitCount + 7) / 8);
  row_count_ = static_cast<std::int32_t>(rows);
  h.SizeImage = static_cast<std::uint32_t>(ImageSize());
  memory_.assign(foreign_bits ? 0 : ImageSize(), 0);
  bits_ = foreign_bits ? foreign_bits : memory_.data();
}

void TBMPReader::ApplyPaletteAlpha() {
  const int bits = info_.Header.BitCount;
  if (bits < 8) {
    for (auto& entry : info_.Palette) entry.Reserved = 255;
    return;
  }
  if (bits != 8) return;
  const std::uint32_t used = info_.Header.ClrUsed == 0 ? 256 : std::min<std::uint32_t>(info_.Header.ClrUsed, 256);
  bool some_zero = false, some_opaque = false;
  for (std::uint32_t i = 0; i < used; ++i) {
    some_zero |= info_.Palette[i].Reserved == 0;
    some_opaque |= info_.Palette[i].Reserved == 255;
  }
  if (some_zero && some_opaque) {
    for (int i = 0; i < 256; ++i) {
      if (info_.Palette[i].Reserved == 0) {
        TransparentIndex = i;
        break;
      }
    }
  } else if (some_zero) {
    for (auto& entry : info_.Palette) entry.Reserved = 255;
  }
}

void TBMPReader::SetFormat(std::int32_t width, std::int32_t height, int bits, int red_bits, int green_bits,
                           int blue_bits) {
  if (bits == 0) {
    // The screen of this platform is 32-bit blue, green, red, alpha.
    bits = 32;
  }
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    throw Error("unsupported bitmap depth " + std::to_string(bits));
  TBitmapInfo info = info_;
  TBitmapInfoHeader& h = info.Header;
  h.Width = width;
  h.Height = height;
  h.BitCount = static_cast<std::uint16_t>(bits);
  const bool fields = (red_bits | green_bits | blue_bits) != 0 && (bits == 16 || bits == 32);
  h.Compression = fields ? kBI_BITFIELDS : kBI_RGB;
  if (bits == 16 || bits == 32) {
    if (!fields) {
      red_bits = green_bits = blue_bits = bits == 16 ? 5 : 8;
    }
    auto mask = [](int width_bits, int shift) {
      return static_cast<std::uint32_t>(((std::uint64_t{1} << width_bits) - 1) << shift);
    };
    info.Palette[0] = fields ? QuadOf(mask(red_bits, green_bits + blue_bits)) : TRGBQuad{};
    info.Palette[1] = fields ? QuadOf(mask(green_bits, blue_bits)) : TRGBQuad{};
    info.Palette[2] = fields ? QuadOf(mask(blue_bits, 0)) : TRGBQuad{};
  }
  const TBitmapInfoHeader& old = info_.Header;
  const bool same = bits_ != nullptr && old.Width == h.Width && old.Height == h.Height &&
                    old.BitCount == h.BitCount && old.Compression == h.Compression &&
                    (!fields || (info.Palette[0] == info_.Palette[0] && info.Palette[1] == info_.Palette[1] &&
                                 info.Palette[2] == info_.Palette[2]));
  if (same) return;
  info_ = info;
  info_.Header.Size = 40;
  info_.Header.Planes = 1;
  DeriveChannels();
  Recreate(nullptr);
}

void TBMPReader::Assign(const TBMPReader& other, bool copy_pixels) {
  info_ = other.info_;
  TransparentIndex = other.TransparentIndex;
  DeriveChannels();
  Recreate(nullptr);
  if (copy_pixels && other.bits_) std::memcpy(bits_, other.bits_, ImageSize());
}

std::vector<std::uint8_t> TBMPReader::SaveToStream() const {
  const TBitmapInfoHeader& h = info_.Header;
  std::uint32_t palette_bytes = 0;
  if (h.ClrUsed != 0 && h.BitCount <= 8) palette_bytes = 4 * h.ClrUsed;
  else if (h.Compression == kBI_BITFIELDS) palette_bytes = 12;
  else if (h.BitCount <= 8) palette_bytes = 4u << h.BitCount;
  const std::uint32_t offset = 54 + palette_bytes;
  std::vector<std::uint8_t> out;
  out.reserve(offset + ImageSize());
  out.push_back('B');
  out.push_back('M');
  Put32(out, static_cast<std::uint32_t>(offset + ImageSize()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(h.Width));
  Put32(out, static_cast<std::uint32_t>(h.Height));
  Put16(out, 1);
  Put16(out, h.BitCount);
  Put32(out, h.Compression);
  Put32(out, static_cast<std::uint32_t>(ImageSize()));
  Put32(out, static_cast<std::uint32_t>(h.XPelsPerMeter));
  Put32(out, static_cast<std::uint32_t>(h.YPelsPerMeter));
  Put32(out, h.ClrUsed);
  Put32(out, h.ClrImportant);
  for (std::uint32_t i = 0; i < palette_bytes / 4; ++i) {
    const TRGBQuad& q = info_.Palette[i];
    out.insert(out.end(), {q.Blue, q.Green, q.Red, q.Reserved});
  }
  if (bits_) out.insert(out.end(), bits_, bits_ + ImageSize());
  return out;
}

std::uint32_t TBMPReader::ReadPixelValue(const std::uint8_t* row, int column) const {
  if (BitCount() == 16) return static_cast<std::uint32_t>(row[2 * column] | row[2 * column + 1] << 8);
  const std::uint8_t* p = row + 4 * column;
  return static_cast<std::uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<std::uint32_t>(p[3]) << 24;
}

TRGBQuad TBMPReader::GetPixel(int row, int column) const {
  if (!bits_ || row < 0 || row >= row_count_ || column < 0 || column >= Width()) return {};
  const std::uint8_t* r = Row(row);
  switch (BitCount()) {
    case 1:
    case 4:
    case 8: return info_.Palette[GetIndex(row, column)];
    case 24: return {r[3 * column], r[3 * column + 1], r[3 * column + 2], 0};
    case 32:
      if (Compression() != kBI_BITFIELDS) return {r[4 * column], r[4 * column + 1], r[4 * column + 2], r[4 * column + 3]};
      [[fallthrough]];
    case 16: {
      std::uint32_t v = ReadPixelValue(r, column);
      auto channel = [&](int shift, int width) {
        return WidenChannel((v >> shift) & ((std::uint64_t{1} << width) - 1), width);
      };
      return {channel(blue_shift_, blue_bits_), channel(green_shift_, green_bits_), channel(red_shift_, red_bits_), 0};
    }
    default: return {};
  }
}

void TBMPReader::SetPixel(int row, int column, TRGBQuad c) {
  if (!bits_ || row < 0 || row >= row_count_ || column < 0 || column >= Width()) return;
  std::uint8_t* r = Row(row);
  switch (BitCount()) {
    case 1:
    case 4:
    case 8: {
      // Nearest palette entry by the sum of absolute channel differences.
      int best = 0, best_distance = 765;
      for (int i = 0; i < (1 << BitCount()); ++i) {
        const TRGBQuad& p = info_.Palette[i];
        int d = std::abs(p.Blue - c.Blue) + std::abs(p.Green - c.Green) + std::abs(p.Red - c.Red);
        if (d < best_distance) {
          best_distance = d;
          best = i;
        }
      }
      SetIndex(row, column, best);
      return;
    }
    case 24:
      r[3 * column] = c.Blue, r[3 * column + 1] = c.Green, r[3 * column + 2] = c.Red;
      return;
    case 32:
      if (Compression() != kBI_BITFIELDS) {
        std::uint8_t* p = r + 4 * column;
        p[0] = c.Blue, p[1] = c.Green, p[2] = c.Red, p[3] = c.Reserved;
        return;
      }
      [[fallthrough]];
    case 16: {
      auto pack = [](std::uint8_t value, int shift, int width) {
        return width == 0 ? 0u : static_cast<std::uint32_t>(value >> (8 - std::min(width, 8))) << shift;
      };
      std::uint32_t v = pack(c.Red, red_shift_, red_bits_) | pack(c.Green, green_shift_, green_bits_) |
                        pack(c.Blue, blue_shift_, blue_bits_);
      if (BitCount() == 16) {
        r[2 * column] = static_cast<std::uint8_t>(v), r[2 * column + 1] = static_cast<std::uint8_t>(v >> 8);
      } else {
        std::memcpy(r + 4 * column, &v, 4);  // little-endian platform
      }
      return;
    }
    default: return;
  }
}

int TBMPReader::GetIndex(int row, int column) const {
  if (!bits_ || row < 0 || row >= row_count_ || column < 0 || column >= Width()) return 0;
  const std::uint8_t* r = Row(row);
  switch (BitCount()) {
    case 1: return (r[column >> 3] >> (7 - (column & 7))) & 1;
    case 4: return (column & 1) ? r[column >> 1] & 0x0F : r[column >> 1] >> 4;
    case 8: return r[column];
    default: return 0;
  }
}

void TBMPReader::SetIndex(int row, int column, int index) {
  if (!bits_ || row < 0 || row >= row_count_ || column < 0 || column >= Width()) return;
  std::uint8_t* r = Row(row);
  switch (BitCount()) {
    case 1: {
      std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (column & 7));
      r[column >> 3] = (index & 1) ? (r[column >> 3] | bit) : (r[column >> 3] & ~bit);
      return;
    }
    case 4: {
      std::uint8_t& b = r[column >> 1];
      b = (column & 1) ? static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F))
                       : static_cast<std::uint8_t>((b & 0x0F) | (index & 0x0F) << 4);
      return;
    }
    case 8: r[column] = static_cast<std::uint8_t>(index); return;
    default: return;
  }
}

void TBMPReader::Fill(TRGBQuad colour) {
  if (!bits_ || row_count_ == 0 || Width() == 0) return;
  // Convert once through the first pixel, then repeat its bytes.
  SetPixel(0, 0, colour);
  if (BitCount() >= 8) {
    const int bytes = BitCount() / 8;
    std::uint8_t pixel[4];
    std::memcpy(pixel, Row(0), bytes);
    for (int y = 0; y < row_count_; ++y) {
      std::uint8_t* r = Row(y);
      for (int x = 0; x < Width(); ++x) std::memcpy(r + x * bytes, pixel, bytes);
    }
  } else {
    int index = GetIndex(0, 0);
    for (int y = 0; y < row_count_; ++y)
      for (int x = 0; x < Width(); ++x) SetIndex(y, x, index);
  }
}

void TBMPReader::CopyRect(const TBMPReader& source, int dest_x, int dest_y, int src_x, int src_y, int width,
                          int height) {
  if (!bits_ || !source.bits_) return;
  // Clip to the source, then to this bitmap.
  if (src_x < 0) dest_x -= src_x, width += src_x, src_x = 0;
  if (src_y < 0) dest_y -= src_y, height += src_y, src_y = 0;
  if (dest_x < 0) src_x -= dest_x, width += dest_x, dest_x = 0;
  if (dest_y < 0) src_y -= dest_y, height += dest_y, dest_y = 0;
  width = std::min({width, source.Width() - src_x, Width() - dest_x});
  height = std::min({height, source.row_count_ - src_y, row_count_ - dest_y});
  if (width <= 0 || height <= 0) return;
  auto memory_row = [](const TBMPReader& r, int y_from_top) {
    return r.Height() > 0 ? r.row_count_ - 1 - y_from_top : y_from_top;
  };
  const bool same_format = BitCount() == source.BitCount() && Compression() == source.Compression() &&
                           (Compression() != kBI_BITFIELDS || (red_bits_ == source.red_bits_ &&
                                                                green_bits_ == source.green_bits_ &&
                                                                blue_bits_ == source.blue_bits_));
  if (same_format && BitCount() <= 8) info_.Palette = source.info_.Palette;
  for (int j = 0; j < height; ++j) {
    const int sy = memory_row(source, src_y + j), dy = memory_row(*this, dest_y + j);
    if (same_format && BitCount() >= 8) {
      const int bytes = BitCount() / 8;
      std::memcpy(Row(dy) + dest_x * bytes, source.Row(sy) + src_x * bytes, static_cast<std::size_t>(width) * bytes);
    } else if (same_format) {
      for (int i = 0; i < width; ++i) SetIndex(dy, dest_x + i, source.GetIndex(sy, src_x + i));
    } else {
      for (int i = 0; i < width; ++i) SetPixel(dy, dest_x + i, source.GetPixel(sy, src_x + i));
    }
  }
}

void TBMPReader::CopyAlphaFrom(const TBMPReader& other) {
  if (BitCount() != 32 || !bits_ || !other.bits_) return;
  const int width = std::min(Width(), other.Width()), rows = std::min(row_count_, other.row_count_);
  for (int j = 0; j < rows; ++j) {
    // Rows are matched from the top of both pictures.
    const std::uint8_t* src = other.RowFromTop(j);
    std::uint8_t* dst = Row(Height() > 0 ? row_count_ - 1 - j : j);
    for (int x = 0; x < width; ++x) {
      std::uint8_t alpha;
      switch (other.BitCount()) {
        case 8: alpha = src[x]; break;
        case 4: alpha = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4; break;
        case 1: alpha = (src[x >> 3] >> (7 - (x & 7))) & 1; break;
        case 32: alpha = src[4 * x + 3]; break;
        default: return;
      }
      dst[4 * x + 3] = alpha;
    }
  }
}

void TBMPReader::SetAlpha(std::uint8_t value) {
  if (BitCount() != 32 || !bits_) return;
  for (int y = 0; y < row_count_; ++y) {
    std::uint8_t* r = Row(y);
    for (int x = 0; x < Width(); ++x) r[4 * x + 3] = value;
  }
}

void TBMPReader::SetAlphaNonBlack(std::uint8_t value) {
  if (BitCount() != 32 || !bits_) return;
  for (int y = 0; y < row_count_; ++y) {
    std::uint8_t* r = Row(y);
    for (int x = 0; x < Width(); ++x) {
      std::uint8_t* p = r + 4 * x;
      p[3] = (p[0] | p[1] | p[2]) ? value : 0;
    }
  }
}

bool TBMPReader::HasAlphaChannel() const {
  if (BitCount() != 32 || !bits_) return false;
  for (int y = 0; y < row_count_; ++y) {
    const std::uint8_t* r = Row(y);
    for (int x = 0; x < Width(); ++x)
      if (r[4 * x + 3] != 0) return true;
  }
  return false;
}

int TBMPReader::ColorsUsed() {
  if (!bits_) return 0;
  const int width = Width();
  switch (BitCount()) {
    case 1: {
      // One colour only when every pixel is index 0: a picture of index 1
      // alone still needs both entries (as in the 8-bit rule below).
      for (int y = 0; y < row_count_; ++y)
        for (int x = 0; x < width; ++x)
          if (GetIndex(y, x) != 0) return 2;
      return 1;
    }
    case 4:
    case 8: {
      const int entries = 1 << BitCount();
      bool used[256] = {};
      int count = 0;
      for (int y = 0; y < row_count_ && count < entries; ++y)
        for (int x = 0; x < width && count < entries; ++x) {
          int v = GetIndex(y, x);
          if (!used[v]) used[v] = true, ++count;
        }
      if (BitCount() == 8 && count == 1 && used[1]) return 2;
      // Move the used entries down, keeping their order, and renumber.
      int map[256];
      int next = 0;
      for (int v = 0; v < entries; ++v) {
        map[v] = used[v] ? next : -1;
        if (used[v]) info_.Palette[next++] = info_.Palette[v];
      }
      if (next == entries) return count;
      for (int y = 0; y < row_count_; ++y)
        for (int x = 0; x < width; ++x) SetIndex(y, x, map[GetIndex(y, x)]);
      if (TransparentIndex >= 0 && TransparentIndex < entries) TransparentIndex = map[TransparentIndex];
      else TransparentIndex = -1;
      return count;
    }
    case 16: {
      std::vector<bool> seen(65536);
      int count = 0;
      for (int y = 0; y < row_count_; ++y) {
        const std::uint8_t* r = Row(y);
        for (int x = 0; x < width; ++x) {
          unsigned v = r[2 * x] | r[2 * x + 1] << 8;
          if (!seen[v]) seen[v] = true, ++count;
        }
      }
      return count;
    }
    case 24:
    case 32: {
      std::vector<bool> seen(1u << 24);
      const int bytes = BitCount() / 8;
      int count = 0;
      for (int y = 0; y < row_count_; ++y) {
        const std::uint8_t* r = Row(y);
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* p = r + x * bytes;
          unsigned v = p[0] | p[1] << 8 | p[2] << 16;
          if (!seen[v]) seen[v] = true, ++count;
        }
      }
      return count;
    }
    default: return 0;
  }
}

}  // namespace yel::media
