// JPEG marker walks, decoding and baseline encoding with libjpeg-turbo.
#include "media/jpeg_file.h"

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jpeglib.h>

#include "base/error.h"
#include "base/files.h"

namespace yel::media {
namespace {

int BE16(std::span<const std::uint8_t> b, std::size_t at) { return b[at] << 8 | b[at + 1]; }

enum class WalkEnd { kFound, kEnded, kNeedMore };

// The marker walk of the size probe: FF introduces a marker, fill bytes FF
// are skipped, SOF0 and SOF1 carry the size, 01 and D0..D7 stand alone, any
// other marker is followed by a segment length.
WalkEnd WalkForSize(std::span<const std::uint8_t> b, TJPEGSize& size) {
  std::size_t pos = 2;
  while (true) {
    if (pos >= b.size()) return WalkEnd::kNeedMore;
    if (b[pos] != 0xFF) return WalkEnd::kEnded;
    while (pos < b.size() && b[pos] == 0xFF) ++pos;
    if (pos >= b.size()) return WalkEnd::kNeedMore;
    const int marker = b[pos++];
    if (marker == 0xC0 || marker == 0xC1) {
      if (pos + 7 > b.size()) return WalkEnd::kNeedMore;
      size.Height = BE16(b, pos + 3);
      size.Width = BE16(b, pos + 5);
      return WalkEnd::kFound;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (pos + 2 > b.size()) return WalkEnd::kNeedMore;
    pos += BE16(b, pos);
  }
}

bool IsFrameMarker(int m) { return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC; }

// Orientation tag (0x0112) of IFD0 in an APP1 "Exif" segment.
int ExifOrientation(std::span<const std::uint8_t> seg) {
  if (seg.size() < 14 || std::memcmp(seg.data(), "Exif\0\0", 6) != 0) return 1;
  std::span<const std::uint8_t> t = seg.subspan(6);
  const bool le = t[0] == 'I' && t[1] == 'I';
  if (!le && !(t[0] == 'M' && t[1] == 'M')) return 1;
  auto u16 = [&](std::size_t at) -> std::uint32_t { return le ? t[at] | t[at + 1] << 8 : t[at] << 8 | t[at + 1]; };
  auto u32 = [&](std::size_t at) -> std::uint32_t {
    return le ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
  };
  const std::uint32_t ifd = u32(4);
  if (ifd > t.size() || t.size() - ifd < 2) return 1;
  const std::uint32_t count = u16(ifd);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * std::size_t{i};
    if (entry + 12 > t.size()) break;
    if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
      const std::uint32_t v = u16(entry + 8);
      return v >= 1 && v <= 8 ? static_cast<int>(v) : 1;
    }
  }
  return 1;
}

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, e->message);
  std::longjmp(e->jump, 1);
}
void QuietOutput(j_common_ptr) {}

// Progressive files may hold any number of scans; a bound keeps a hostile
// file from spinning the decoder for minutes.
constexpr int kMaxScans = 1000;
void LimitScans(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) {
    auto* e = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(e->message, sizeof e->message, "too many scans");
    std::longjmp(e->jump, 1);
  }
}

// Decoded pixels may exceed the file's bytes only by this much (no real
// photo compresses further); beyond it the header claims too much.
constexpr std::uint64_t kMaxExpansion = 4096;
constexpr std::uint64_t kFreeBytes = 64u << 20;
constexpr std::uint64_t kMaxPixels = 250'000'000;

}  // namespace

TJPEGSize GetJPEGSize(std::span<const std::uint8_t> bytes) {
  TJPEGSize size;
  if (bytes.size() < 2 || bytes[0] != 0xFF || bytes[1] != 0xD8) return size;
  if (WalkForSize(bytes, size) != WalkEnd::kFound) size = {};
  return size;
}

namespace {
// The header segments of a JPEG file are looked for in its first megabyte.
constexpr std::size_t kMaxHeaderBytes = 1u << 20;
}  // namespace

TJPEGSize GetJPEGSize(const std::string& file_name) {
  // The frame header is normally within the first few kilobytes; read more
  // only when the walk needs it.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file_name.c_str(), "rb"), &std::fclose);
  if (!f) ThrowFileError(file_name, "cannot open the file");
  std::vector<std::uint8_t> head(64 * 1024);
  head.resize(std::fread(head.data(), 1, head.size(), f.get()));
  TJPEGSize size;
  if (head.size() < 2 || head[0] != 0xFF || head[1] != 0xD8) return size;
  WalkEnd end = WalkForSize(head, size);
  if (end == WalkEnd::kNeedMore && head.size() == 64 * 1024) {
    // Up to a megabyte of header segments; the rest of a file is pixel data.
    head.resize(kMaxHeaderBytes);
    head.resize(64 * 1024 + std::fread(head.data() + 64 * 1024, 1, head.size() - 64 * 1024, f.get()));
    return GetJPEGSize(head);
  }
  return end == WalkEnd::kFound ? size : TJPEGSize{};
}

TJPEGProbe ProbeJPEG(std::span<const std::uint8_t> b) {
  TJPEGProbe probe;
  if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xD8) return probe;
  probe.IsJPEG = true;
  std::size_t pos = 2;
  while (pos < b.size() && b[pos] == 0xFF) {
    while (pos < b.size() && b[pos] == 0xFF) ++pos;
    if (pos >= b.size()) break;
    const int marker = b[pos++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (marker == 0xD9 || pos + 2 > b.size()) break;
    const std::size_t length = BE16(b, pos);
    if (length < 2) break;
    const std::span<const std::uint8_t> segment = b.subspan(pos + 2, std::min(length - 2, b.size() - pos - 2));
    if (marker == 0xE1 && probe.Orientation == 1) probe.Orientation = ExifOrientation(segment);
    if (IsFrameMarker(marker) && probe.FrameMarker == 0 && segment.size() >= 6) {
      probe.FrameMarker = marker;
      probe.Height = BE16(segment, 1);
      probe.Width = BE16(segment, 3);
      probe.Components = segment[5];
    }
    if (marker == 0xDA) break;  // the first scan: every header marker has been seen
    pos += length;
  }
  return probe;
}

TJPEGProbe ProbeJPEGFile(const std::string& file_name) {
  // The header markers (EXIF included) normally fit in the first 128 KB; the
  // whole file is read only when they do not.
  constexpr std::size_t kHead = 128 * 1024;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file_name.c_str(), "rb"), &std::fclose);
  if (!f) ThrowFileError(file_name, "cannot open the file");
  std::vector<std::uint8_t> head(kHead);
  head.resize(std::fread(head.data(), 1, head.size(), f.get()));
  TJPEGProbe probe = ProbeJPEG(head);
  if (probe.IsJPEG && probe.FrameMarker == 0 && head.size() == kHead) {
    head.resize(kMaxHeaderBytes);
    head.resize(kHead + std::fread(head.data() + kHead, 1, head.size() - kHead, f.get()));
    probe = ProbeJPEG(head);
  }
  return probe;
}

namespace {

// The one decoding loop behind DecodeJPEG and DecodeJPEGScaledARGB: scaled
// by scale_num / 8 (8: full size), into `image` (1 or 3 bytes a pixel) or,
// when argb is given, into opaque 0xAARRGGBB words.
void DecodeInto(std::span<const std::uint8_t> bytes, const std::string& name, bool to_rgb, int scale_num,
                TDecodedImage& image, TARGBImage* argb) {
  std::vector<std::uint8_t> cmyk_row;
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_progress_mgr progress;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = QuietOutput;
  err.message[0] = 0;
  jpeg_create_decompress(&cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    ThrowFileError(name, std::string("cannot decode the JPEG data (") + err.message + ")");
  }
  progress.progress_monitor = LimitScans;
  cinfo.progress = &progress;
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&cinfo, JPEG_APP0 + 14, 0);
  jpeg_read_header(&cinfo, TRUE);
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE && !to_rgb && !argb;
  // libjpeg-turbo writes blue, green, red, 0xFF: the words 0xFFRRGGBB of a
  // little-endian machine; others take RGB and widen it row by row.
  constexpr bool kLittleEndian = std::endian::native == std::endian::little;
  const bool direct_argb = argb && !cmyk && kLittleEndian;
  cinfo.out_color_space = cmyk ? JCS_CMYK : grey ? JCS_GRAYSCALE : direct_argb ? JCS_EXT_BGRA : JCS_RGB;
  const std::uint64_t pixels = std::uint64_t{cinfo.image_width} * cinfo.image_height;
  const int components = grey ? 1 : 3;
  if (pixels > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    ThrowFileError(name, "the JPEG picture is " + std::to_string(cinfo.image_width) + " x " +
                             std::to_string(cinfo.image_height) + " pixels, more than the " +
                             std::to_string(kMaxPixels / 1'000'000) + " megapixels this program decodes");
  }
  if (pixels == 0 || pixels * components > std::max<std::uint64_t>(kFreeBytes, bytes.size() * kMaxExpansion)) {
    jpeg_destroy_decompress(&cinfo);
    ThrowFileError(name, "the JPEG data claims " + std::to_string(cinfo.image_width) + " x " +
                             std::to_string(cinfo.image_height) + " pixels, more than the file could hold");
  }
  cinfo.scale_num = static_cast<unsigned>(scale_num);
  cinfo.scale_denom = 8;
  jpeg_start_decompress(&cinfo);
  const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
  const std::size_t row_bytes = static_cast<std::size_t>(width) * components;
  std::vector<std::uint8_t> rgb_row;
  if (argb) {
    argb->Width = width, argb->Height = height;
    argb->Pixels.resize(static_cast<std::size_t>(width) * height);
    if (!direct_argb) rgb_row.resize(row_bytes);
  } else {
    image.Width = width, image.Height = height, image.Components = components;
    image.Pixels.resize(row_bytes * height);
  }
  if (cmyk) cmyk_row.resize(static_cast<std::size_t>(width) * 4);
  // Adobe writes CMYK inverted; its APP14 marker says so.
  const bool inverted = cinfo.saw_Adobe_marker;
  while (cinfo.output_scanline < cinfo.output_height) {
    const std::size_t y = cinfo.output_scanline;
    std::uint8_t* dst = argb ? (direct_argb ? reinterpret_cast<std::uint8_t*>(&argb->Pixels[y * width])
                                            : rgb_row.data())
                             : image.Pixels.data() + row_bytes * y;
    JSAMPROW row = cmyk ? cmyk_row.data() : dst;
    jpeg_read_scanlines(&cinfo, &row, 1);
    if (cmyk) {
      for (int x = 0; x < width; ++x) {
        const std::uint8_t* p = &cmyk_row[4 * static_cast<std::size_t>(x)];
        const unsigned k = inverted ? p[3] : 255 - p[3];
        for (int c = 0; c < 3; ++c) {
          const unsigned v = inverted ? p[c] : 255 - p[c];
          dst[3 * x + c] = static_cast<std::uint8_t>((v * k + 127) / 255);
        }
      }
    }
    if (argb && !direct_argb) {
      std::uint32_t* out = &argb->Pixels[y * width];
      for (int x = 0; x < width; ++x)
        out[x] = 0xFF000000u | std::uint32_t{dst[3 * x]} << 16 | std::uint32_t{dst[3 * x + 1]} << 8 | dst[3 * x + 2];
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

// Turns pixels of `n` elements each by an EXIF orientation (2..8).
template <typename Element>
void Orient(std::vector<Element>& pixels, int& width, int& height, int n, int orientation) {
  if (orientation < 2 || orientation > 8) return;
  const int w = width, h = height;
  const bool swap = orientation >= 5;
  const int ow = swap ? h : w;
  std::vector<Element> out(pixels.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int dx = x, dy = y;
      switch (orientation) {
        case 2: dx = w - 1 - x; break;
        case 3: dx = w - 1 - x, dy = h - 1 - y; break;
        case 4: dy = h - 1 - y; break;
        case 5: dx = y, dy = x; break;
        case 6: dx = h - 1 - y, dy = x; break;
        case 7: dx = h - 1 - y, dy = w - 1 - x; break;
        case 8: dx = y, dy = w - 1 - x; break;
      }
      std::memcpy(&out[(static_cast<std::size_t>(dy) * ow + dx) * n], &pixels[(static_cast<std::size_t>(y) * w + x) * n],
                  n * sizeof(Element));
    }
  }
  pixels = std::move(out);
  if (swap) std::swap(width, height);
}

}  // namespace

TDecodedImage DecodeJPEG(std::span<const std::uint8_t> bytes, const std::string& name, bool apply_orientation,
                         bool to_rgb) {
  TDecodedImage image;
  DecodeInto(bytes, name, to_rgb, 8, image, nullptr);
  if (apply_orientation) {
    const int orientation = ProbeJPEG(bytes).Orientation;
    if (orientation != 1) ApplyOrientation(image, orientation);
  }
  return image;
}

int JPEGScaleFor(int width, int height, int min_width, int min_height) {
  for (int m = 1; m < 8; m *= 2)
    if ((std::int64_t{width} * m + 7) / 8 >= min_width && (std::int64_t{height} * m + 7) / 8 >= min_height) return m;
  return 8;
}

TARGBImage DecodeJPEGScaledARGB(std::span<const std::uint8_t> bytes, const std::string& name, int min_width,
                                int min_height) {
  const TJPEGProbe probe = ProbeJPEG(bytes);
  const bool turned = probe.Orientation >= 5;
  int scale = 8;
  if (probe.Width > 0 && probe.Height > 0 && min_width > 0 && min_height > 0)
    scale = JPEGScaleFor(probe.Width, probe.Height, turned ? min_height : min_width, turned ? min_width : min_height);
  TDecodedImage unused;
  TARGBImage argb;
  DecodeInto(bytes, name, true, scale, unused, &argb);
  Orient(argb.Pixels, argb.Width, argb.Height, 1, probe.Orientation);
  return argb;
}

std::vector<std::uint8_t> EncodeJPEG(const TDecodedImage& image, int quality, bool full_colour) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = QuietOutput;
  err.message[0] = 0;
  jpeg_create_compress(&cinfo);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    throw Error(std::string("cannot encode JPEG data (") + err.message + ")");
  }
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(image.Width);
  cinfo.image_height = static_cast<JDIMENSION>(image.Height);
  cinfo.input_components = image.Components;
  cinfo.in_color_space = image.Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (full_colour && image.Components == 3)
    for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  const std::size_t row_bytes = static_cast<std::size_t>(image.Width) * image.Components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<std::uint8_t*>(image.Pixels.data() + row_bytes * cinfo.next_scanline);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

void ApplyOrientation(TDecodedImage& image, int orientation) {
  Orient(image.Pixels, image.Width, image.Height, image.Components, orientation);
}

}  // namespace yel::media
