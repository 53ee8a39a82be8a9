// Picture decoding: JPEG and BMP with the readers of this folder, PNG with
// libpng, GIF with giflib; every decoder refuses sizes its data could not
// hold.
#include "media/picture_decoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cmath>
#include <cstring>
#include <fstream>

#include <gif_lib.h>
#include <png.h>

#include "base/error.h"
#include "base/files.h"
#include "media/bmp_reader.h"
#include "media/jpeg_file.h"

namespace yel::media {
namespace {

constexpr std::int64_t kMaxSide = 65535;
// Compressed picture data expands at most about a thousandfold (deflate's
// and LZW's limits); a size beyond that is refused before allocating, with a
// floor that no real picture under it needs.
constexpr std::uint64_t kMaxExpansion = 1100;
constexpr std::uint64_t kFreeBytes = 64u << 20;

void CheckClaim(std::int64_t w, std::int64_t h, std::size_t file_size, const std::string& name) {
  if (w <= 0 || h <= 0) ThrowFileError(name, "the picture has no pixels");
  const std::uint64_t bytes = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) * 4;
  if (w > kMaxSide || h > kMaxSide || bytes > std::max<std::uint64_t>(kFreeBytes, file_size * kMaxExpansion))
    ThrowFileError(name, "the picture claims " + std::to_string(w) + " x " + std::to_string(h) +
                             " pixels, more than the file could hold");
}

TRGBAPicture FromJPEG(std::span<const std::uint8_t> bytes, const std::string& name) {
  TDecodedImage image = DecodeJPEG(bytes, name, true, true);
  TRGBAPicture picture{image.Width, image.Height, {}};
  picture.Pixels.resize(std::size_t(image.Width) * image.Height * 4);
  const std::uint8_t* p = image.Pixels.data();
  std::uint8_t* out = picture.Pixels.data();
  for (std::size_t i = 0, n = std::size_t(image.Width) * image.Height; i < n; ++i, p += 3, out += 4)
    out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = 255;
  return picture;
}

TRGBAPicture FromBMP(std::span<const std::uint8_t> bytes, const std::string& name) {
  TBMPReader bmp;
  bmp.LoadFromStream(bytes, name);
  TRGBAPicture picture{bmp.Width(), bmp.RowCount(), {}};
  picture.Pixels.resize(std::size_t(picture.Width) * picture.Height * 4);
  std::uint8_t* out = picture.Pixels.data();
  for (int y = 0; y < picture.Height; ++y) {
    const int row = picture.Height - 1 - y;  // loaded bitmaps are bottom-up
    for (int x = 0; x < picture.Width; ++x, out += 4) {
      const TRGBQuad q = bmp.GetPixel(row, x);
      const bool transparent = bmp.BitCount() <= 8 && bmp.GetIndex(row, x) == bmp.TransparentIndex;
      out[0] = q.Red, out[1] = q.Green, out[2] = q.Blue;
      out[3] = bmp.BitCount() == 32 ? q.Reserved : transparent ? 0 : 255;
    }
  }
  return picture;
}

// --- PNG

struct PngSource {
  std::span<const std::uint8_t> bytes;
  std::size_t at = 0;
};

void ReadPng(png_structp png, png_bytep data, png_size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (source->bytes.size() - source->at < length) png_error(png, "the data ends early");
  std::memcpy(data, source->bytes.data() + source->at, length);
  source->at += length;
}

struct PngError {
  std::jmp_buf jump;
  char message[200] = "";
};

[[noreturn]] void PngFail(png_structp png, png_const_charp message) {
  auto* e = static_cast<PngError*>(png_get_error_ptr(png));
  std::snprintf(e->message, sizeof e->message, "%s", message);
  std::longjmp(e->jump, 1);
}
void PngWarn(png_structp, png_const_charp) {}

TRGBAPicture FromPNG(std::span<const std::uint8_t> bytes, const std::string& name) {
  TRGBAPicture picture;
  std::vector<png_bytep> rows;
  PngSource source{bytes};
  PngError err;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, PngFail, PngWarn);
  if (!png) throw Error("out of memory");
  png_infop info = png_create_info_struct(png);
  if (setjmp(err.jump)) {
    png_destroy_read_struct(&png, &info, nullptr);
    ThrowFileError(name, std::string("the PNG picture is damaged (") + err.message + ")");
  }
  png_set_read_fn(png, &source, ReadPng);
  png_set_user_limits(png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_read_info(png, info);
  picture.Width = static_cast<int>(png_get_image_width(png, info));
  picture.Height = static_cast<int>(png_get_image_height(png, info));
  const std::uint64_t bytes_needed = std::uint64_t(picture.Width) * picture.Height * 4;
  if (bytes_needed > std::max<std::uint64_t>(kFreeBytes, bytes.size() * kMaxExpansion)) {
    png_destroy_read_struct(&png, &info, nullptr);
    CheckClaim(picture.Width, picture.Height, bytes.size(), name);
  }
  // Everything becomes 8-bit red, green, blue, alpha: palettes and grey are
  // expanded, tRNS becomes alpha, 16-bit channels are scaled to 8 bits.
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != std::size_t(picture.Width) * 4) png_error(png, "unexpected pixel layout");
  picture.Pixels.resize(bytes_needed);
  rows.resize(picture.Height);
  for (int y = 0; y < picture.Height; ++y) rows[y] = picture.Pixels.data() + std::size_t(y) * picture.Width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return picture;
}

// --- GIF

const char* GifText(int error) {
  const char* text = GifErrorString(error);
  return text ? text : "the data ends early";
}

int ReadGif(GifFileType* gif, GifByteType* data, int length) {
  auto* source = static_cast<PngSource*>(gif->UserData);
  const std::size_t n = std::min<std::size_t>(length, source->bytes.size() - source->at);
  std::memcpy(data, source->bytes.data() + source->at, n);
  source->at += n;
  return static_cast<int>(n);
}

// The first frame of the GIF on a transparent screen of the GIF's size.
TRGBAPicture FromGIF(std::span<const std::uint8_t> bytes, const std::string& name) {
  PngSource source{bytes};
  int error = 0;
  GifFileType* gif = DGifOpen(&source, ReadGif, &error);
  if (!gif) ThrowFileError(name, std::string("the GIF picture is damaged (") + GifText(error) + ")");
  struct Close {
    GifFileType* g;
    ~Close() {
      int e;
      DGifCloseFile(g, &e);
    }
  } close{gif};
  auto fail = [&](const char* what) {
    ThrowFileError(name, std::string("the GIF picture is damaged (") + what + ")");
  };
  CheckClaim(gif->SWidth, gif->SHeight, bytes.size(), name);
  TRGBAPicture picture{gif->SWidth, gif->SHeight, {}};
  picture.Pixels.assign(std::size_t(picture.Width) * picture.Height * 4, 0);
  int transparent = -1;
  while (true) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) == GIF_ERROR) fail(GifText(gif->Error));
    if (type == TERMINATE_RECORD_TYPE) fail("no image");
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif, &code, &ext) == GIF_ERROR) fail(GifText(gif->Error));
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) transparent = (ext[1] & 1) ? ext[4] : -1;
      while (ext) {
        if (DGifGetExtensionNext(gif, &ext) == GIF_ERROR) fail(GifText(gif->Error));
      }
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) continue;
    if (DGifGetImageDesc(gif) == GIF_ERROR) fail(GifText(gif->Error));
    const GifImageDesc& d = gif->Image;
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
    if (!map) fail("no colour table");
    CheckClaim(d.Width, d.Height, bytes.size(), name);
    std::vector<GifPixelType> line(d.Width);
    // Interlaced images come in four passes of rows.
    static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    std::vector<int> order;
    if (d.Interlace) {
      for (int pass = 0; pass < 4; ++pass)
        for (int y = kStart[pass]; y < d.Height; y += kStep[pass]) order.push_back(y);
    } else {
      for (int y = 0; y < d.Height; ++y) order.push_back(y);
    }
    for (int y : order) {
      if (DGifGetLine(gif, line.data(), d.Width) == GIF_ERROR) fail(GifText(gif->Error));
      const int sy = d.Top + y;
      if (sy < 0 || sy >= picture.Height) continue;
      for (int x = 0; x < d.Width; ++x) {
        const int sx = d.Left + x;
        if (sx < 0 || sx >= picture.Width || line[x] == transparent) continue;
        std::uint8_t* out = &picture.Pixels[(std::size_t(sy) * picture.Width + sx) * 4];
        // An index beyond the colour table shows black.
        if (line[x] < map->ColorCount) {
          const GifColorType& c = map->Colors[line[x]];
          out[0] = c.Red, out[1] = c.Green, out[2] = c.Blue;
        }
        out[3] = 255;
      }
    }
    return picture;
  }
}

}  // namespace

bool TRGBAPicture::HasAlpha() const {
  for (std::size_t i = 3; i < Pixels.size(); i += 4)
    if (Pixels[i] != 255) return true;
  return false;
}

TPictureSize PictureHeaderSize(std::span<const std::uint8_t> b) {
  auto be16 = [&](std::size_t at) { return std::int64_t(b[at]) << 8 | b[at + 1]; };
  auto be32 = [&](std::size_t at) { return be16(at) << 16 | be16(at + 2); };
  auto le16 = [&](std::size_t at) { return std::int64_t(b[at + 1]) << 8 | b[at]; };
  auto le32s = [&](std::size_t at) { return std::int64_t(std::int32_t(std::uint32_t(le16(at + 2) << 16 | le16(at)))); };
  if (b.size() >= 24 && b[0] == 0x89 && b[1] == 'P' && b[12] == 'I' && b[13] == 'H' && b[14] == 'D' && b[15] == 'R')
    return {be32(16), be32(20)};
  if (b.size() >= 10 && b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return {le16(6), le16(8)};
  if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    if (le16(14) == 12) return {le16(18), le16(20)};  // the old OS/2 header
    return {std::abs(le32s(18)), std::abs(le32s(22))};
  }
  if (b.size() >= 4 && b[0] == 0xFF && b[1] == 0xD8) {
    const TJPEGProbe probe = ProbeJPEG(b);
    return {probe.Width, probe.Height};
  }
  return {};
}

namespace {

void CheckPixelBudget(const TPictureSize& size, const std::string& name) {
  const std::uint64_t pixels = std::uint64_t(size.Width) * std::uint64_t(size.Height);
  if (pixels <= kMaxPhotoPixels) return;
  ThrowFileError(name, "the picture is " + std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                           " pixels (" + std::to_string(pixels / 1'000'000) + " megapixels), more than the " +
                           std::to_string(kMaxPhotoPixels / 1'000'000) + " megapixels a photo may have");
}

// Header bytes read before the whole file: a JPEG's frame header may follow
// large EXIF, colour profile and thumbnail segments.
constexpr std::size_t kHeadBytes = 1u << 20;
// What a file may hold beyond its pixels at 4 bytes each (metadata,
// profiles, thumbnails); anything larger is padding no photo needs.
constexpr std::uint64_t kMetadataAllowance = 32u << 20;

}  // namespace

TRGBAPicture DecodePicture(std::span<const std::uint8_t> bytes, const std::string& name) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  CheckPixelBudget(PictureHeaderSize(bytes), name);
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) return FromJPEG(bytes, name);
  if (bytes.size() >= 8 && std::memcmp(bytes.data(), kPng, 8) == 0) return FromPNG(bytes, name);
  if (bytes.size() >= 6 && (std::memcmp(bytes.data(), "GIF87a", 6) == 0 || std::memcmp(bytes.data(), "GIF89a", 6) == 0))
    return FromGIF(bytes, name);
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return FromBMP(bytes, name);
  ThrowFileError(name, "not a picture this program reads (JPEG, PNG, GIF or BMP)");
}

namespace {

// The file's bytes once its header has passed the checks of
// DecodePictureFile.
std::vector<std::uint8_t> ReadCheckedPictureFile(const std::string& file) {
  std::ifstream in;
  std::uint64_t file_size = 0;
  {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) ThrowFileError(file, "cannot open: " + SystemErrorText(errno));
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    if (!regular) ThrowFileError(file, "is not a regular file");
    file_size = std::uint64_t(info.st_size);
  }
  in.open(file, std::ios::binary);
  std::vector<std::uint8_t> head(std::size_t(std::min<std::uint64_t>(file_size, kHeadBytes)));
  in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
  head.resize(std::size_t(in.gcount()));
  // What is not a picture, or hides its size beyond the first megabyte, is
  // refused from its head: a large file is never read whole to find that out.
  static const std::uint8_t kPng[4] = {0x89, 'P', 'N', 'G'};
  const bool known =
      head.size() >= 4 && ((head[0] == 0xFF && head[1] == 0xD8) || std::memcmp(head.data(), kPng, 4) == 0 ||
                           std::memcmp(head.data(), "GIF8", 4) == 0 || (head[0] == 'B' && head[1] == 'M'));
  if (!known && file_size > head.size())
    ThrowFileError(file, "not a picture this program reads (JPEG, PNG, GIF or BMP)");
  const TPictureSize size = PictureHeaderSize(head);
  if (known && (size.Width <= 0 || size.Height <= 0) && file_size > head.size())
    ThrowFileError(file, "the picture's size is not in the first " + std::to_string(kHeadBytes >> 20) +
                             " MB of the file; it is damaged or not a picture");
  CheckPixelBudget(size, file);
  if (size.Width > 0 && size.Height > 0 &&
      file_size > std::uint64_t(size.Width) * std::uint64_t(size.Height) * 4 + kMetadataAllowance)
    ThrowFileError(file, "the file is " + std::to_string(file_size >> 20) + " MB, far more than a " +
                             std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                             " picture needs; it is refused");
  return head.size() == file_size ? std::move(head) : ReadFileBytes(file);
}

}  // namespace

TRGBAPicture DecodePictureFile(const std::string& file) {
  try {
    return DecodePicture(ReadCheckedPictureFile(file), file);
  } catch (const std::bad_alloc&) {
    ThrowFileError(file, "not enough memory to decode the picture");
  }
}

TFittedPhoto DecodePhotoFileFitted(const std::string& file, int box_width, int box_height) {
  try {
    const std::vector<std::uint8_t> bytes = ReadCheckedPictureFile(file);
    TFittedPhoto photo;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xD8) {
      const TJPEGProbe probe = ProbeJPEG(bytes);
      const bool turned = probe.Orientation >= 5;
      const int w = turned ? probe.Height : probe.Width, h = turned ? probe.Width : probe.Height;
      int min_w = 0, min_h = 0;
      if (w > 0 && h > 0 && box_width > 0 && box_height > 0) {
        // The fitted size, one pixel more for the rounding of its place.
        const double s = std::min(double(box_width) / w, double(box_height) / h);
        min_w = int(std::min<double>(w, std::ceil(w * s) + 1));
        min_h = int(std::min<double>(h, std::ceil(h * s) + 1));
      }
      photo.Image = DecodeJPEGScaledARGB(bytes, file, min_w, min_h);
      photo.FullWidth = w > 0 ? w : photo.Image.Width;
      photo.FullHeight = h > 0 ? h : photo.Image.Height;
      return photo;
    }
    const TRGBAPicture decoded = DecodePicture(bytes, file);
    photo.FullWidth = photo.Image.Width = decoded.Width;
    photo.FullHeight = photo.Image.Height = decoded.Height;
    photo.Image.Pixels.resize(std::size_t(decoded.Width) * decoded.Height);
    const std::uint8_t* p = decoded.Pixels.data();
    for (std::uint32_t& out : photo.Image.Pixels) {
      const std::uint32_t a = p[3];
      auto channel = [a](std::uint32_t c) { return a == 255 ? c : (c * a + 127) / 255; };
      out = a << 24 | channel(p[0]) << 16 | channel(p[1]) << 8 | channel(p[2]);
      p += 4;
    }
    return photo;
  } catch (const std::bad_alloc&) {
    ThrowFileError(file, "not enough memory to decode the picture");
  }
}

}  // namespace yel::media
