// TBMPReader: one device-independent bitmap in memory (header, palette and
// pixel rows in the Windows DIB layout). Loads BMP files (1, 4, 8, 16, 24 and
// 32 bits, RLE4 and RLE8, the 12-, 40-, 52-, 56-, 108- and 124-byte headers,
// bottom-up and top-down), converts pixels between formats and hands the
// bitmap character its rows, palette and format.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace yel::media {

// A palette entry, or a colour passed to GetPixel/SetPixel, in the byte order
// of the DIB: blue, green, red, then the reserved byte (used as alpha).
struct TRGBQuad {
  std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
  bool operator==(const TRGBQuad&) const = default;
};

// The 40-byte BITMAPINFOHEADER.
struct TBitmapInfoHeader {
  std::uint32_t Size = 40;
  std::int32_t Width = 0;
  std::int32_t Height = 0;  // positive: rows stored bottom-up
  std::uint16_t Planes = 1;
  std::uint16_t BitCount = 0;
  std::uint32_t Compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
  std::uint32_t SizeImage = 0;
  std::int32_t XPelsPerMeter = 0;
  std::int32_t YPelsPerMeter = 0;
  std::uint32_t ClrUsed = 0;
  std::uint32_t ClrImportant = 0;
};

// BITMAPINFO with room for 256 palette entries. For 16- and 32-bit bit-field
// images the first three entries hold the red, green and blue masks.
struct TBitmapInfo {
  TBitmapInfoHeader Header;
  std::array<TRGBQuad, 256> Palette{};
};

inline constexpr std::uint32_t kBI_RGB = 0, kBI_RLE8 = 1, kBI_RLE4 = 2, kBI_BITFIELDS = 3;

class TBMPReader {
 public:
  TBMPReader() = default;
  TBMPReader(const TBMPReader&) = delete;
  TBMPReader& operator=(const TBMPReader&) = delete;

  // Loads a BMP file. Throws yel::Error naming the file when it is not a BMP
  // file we can read, or when it claims more pixels than it could hold.
  // Pixel data that ends early leaves the remaining rows zero; run-length data
  // that runs past the image stops at its edge. Top-down files are stored
  // bottom-up like every other, so row 0 is always the bottom row after a load.
  void LoadFromFile(const std::string& file_name);
  void LoadFromStream(std::span<const std::uint8_t> bytes, const std::string& name);

  // Takes the header (and palette or masks) and makes new zeroed pixel memory.
  void SetBitmapInfo(const TBitmapInfo& info);
  // As SetBitmapInfo, but the rows refer to pixels owned by the caller, who
  // keeps them alive (and at least ImageSize() bytes long) while they are used.
  void SetBitmapInfoAndBits(const TBitmapInfo& info, std::uint8_t* bits);
  // Sets the size and pixel format: bits 0 means the screen's (32); channel
  // widths given make a bit-field image, none a plain one. Pixel memory is
  // recreated (zeroed) only when something changes.
  void SetFormat(std::int32_t width, std::int32_t height, int bits, int red_bits = 0, int green_bits = 0,
                 int blue_bits = 0);
  // Takes the other's header; copies its pixels when asked.
  void Assign(const TBMPReader& other, bool copy_pixels);

  // A BMP file with the 40-byte header.
  std::vector<std::uint8_t> SaveToStream() const;

  TRGBQuad GetPixel(int row, int column) const;
  void SetPixel(int row, int column, TRGBQuad colour);
  int GetIndex(int row, int column) const;
  void SetIndex(int row, int column, int index);
  void Fill(TRGBQuad colour);
  // Copies a w × h rectangle from source (x, y counted from the top for
  // bottom-up images), clipped to both bitmaps.
  void CopyRect(const TBMPReader& source, int dest_x, int dest_y, int src_x, int src_y, int width, int height);
  // The other (8-bit) reader's bytes become the alpha bytes of this 32-bit one.
  void CopyAlphaFrom(const TBMPReader& other);
  void SetAlpha(std::uint8_t value);
  void SetAlphaNonBlack(std::uint8_t value);
  bool HasAlphaChannel() const;
  // Number of colours used; compacts the palette of 4- and 8-bit images
  // (TransparentIndex follows its entry, or becomes -1 when it is unused).
  int ColorsUsed();

  std::int32_t Width() const { return info_.Header.Width; }
  std::int32_t Height() const { return info_.Header.Height; }
  int BitCount() const { return info_.Header.BitCount; }
  std::uint32_t Compression() const { return info_.Header.Compression; }
  const TBitmapInfo& BitmapInfo() const { return info_; }
  std::array<TRGBQuad, 256>& Palette() { return info_.Palette; }
  const std::array<TRGBQuad, 256>& Palette() const { return info_.Palette; }
  std::int32_t Stride() const { return stride_; }
  std::int32_t RowGap() const { return row_gap_; }
  std::int32_t RowCount() const { return row_count_; }
  std::size_t ImageSize() const { return static_cast<std::size_t>(row_count_) * static_cast<std::size_t>(stride_); }
  int RedBits() const { return red_bits_; }
  int GreenBits() const { return green_bits_; }
  int BlueBits() const { return blue_bits_; }

  // Row i in memory order (row 0 is the bottom row of a bottom-up image).
  std::uint8_t* Row(int i) { return bits_ + static_cast<std::size_t>(i) * stride_; }
  const std::uint8_t* Row(int i) const { return bits_ + static_cast<std::size_t>(i) * stride_; }
  // Row i counted from the top of the picture, whatever the storage order.
  const std::uint8_t* RowFromTop(int i) const { return Row(Height() > 0 ? row_count_ - 1 - i : i); }
  std::uint8_t* Bits() { return bits_; }
  const std::uint8_t* Bits() const { return bits_; }

  int TransparentIndex = -1;

 private:
  void Recreate(std::uint8_t* foreign_bits);
  void ApplyPaletteAlpha();
  void DeriveChannels();
  std::uint32_t ReadPixelValue(const std::uint8_t* row, int column) const;
  void LoadPixels(std::span<const std::uint8_t> bytes, std::size_t offset, std::uint32_t compression,
                  bool top_down, const std::string& name);

  TBitmapInfo info_;
  int red_bits_ = 0, green_bits_ = 0, blue_bits_ = 0;
  int red_shift_ = 0, green_shift_ = 0, blue_shift_ = 0;
  std::int32_t stride_ = 0, row_gap_ = 0, row_count_ = 0;
  std::vector<std::uint8_t> memory_;  // owned pixel memory (empty when foreign)
  std::uint8_t* bits_ = nullptr;
};

// Widens an n-bit channel value to 8 bits (bits repeated).
std::uint8_t WidenChannel(std::uint32_t value, int bits);

}  // namespace yel::media
