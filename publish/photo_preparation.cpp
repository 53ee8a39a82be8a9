// Photo preparation: DrawPhoto on cairo, the custom image loader with its
// PNG premultiplication and intermediate BMP, and picture movies.
#include "publish/photo_preparation.h"

#include <cairo.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "media/bmp_reader.h"
#include "media/picture_decoder.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"

namespace yel::publish {
namespace {

// A bottom-up bitmap of the picture: 24-bit when it is opaque, else 32-bit
// with the colours as given (callers premultiply).
void ToBMP(const media::TRGBAPicture& picture, bool with_alpha, media::TBMPReader& bmp) {
  bmp.SetFormat(picture.Width, picture.Height, with_alpha ? 32 : 24);
  const int bytes = with_alpha ? 4 : 3;
  for (int y = 0; y < picture.Height; ++y) {
    const std::uint8_t* in = &picture.Pixels[std::size_t(y) * picture.Width * 4];
    std::uint8_t* out = bmp.Row(picture.Height - 1 - y);
    for (int x = 0; x < picture.Width; ++x, in += 4, out += bytes) {
      out[0] = in[2], out[1] = in[1], out[2] = in[0];
      if (with_alpha) out[3] = in[3];
    }
  }
}

// A BMP file in the temporary folder under a fresh name, removed with this
// object: it never replaces a file that exists.
class TemporaryBMP {
 public:
  explicit TemporaryBMP(const std::string& for_file) {
    std::string pattern = (std::filesystem::temp_directory_path() / "yel-picture-XXXXXX.bmp").string();
    fd_ = ::mkstemps(pattern.data(), 4);
    if (fd_ < 0) ThrowFileError(for_file, "cannot make a temporary file (" + SystemErrorText(errno) + ")");
    path_ = pattern;
  }
  ~TemporaryBMP() {
    if (fd_ >= 0) ::close(fd_);
    ::unlink(path_.c_str());
  }
  TemporaryBMP(const TemporaryBMP&) = delete;
  TemporaryBMP& operator=(const TemporaryBMP&) = delete;

  void Write(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ThrowFileError(path_, "cannot write (" + SystemErrorText(errno) + ")");
      done += static_cast<std::size_t>(n);
    }
    ::close(fd_);
    fd_ = -1;
  }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Copies a movie as it is, in pieces, once its head says it is one: a large
// file named .swf is neither held in memory nor copied when it is no movie.
void CopyMovieFile(const std::string& src, const std::string& dst) {
  FileReader in(src);
  std::vector<std::uint8_t> piece(1 << 20);
  std::size_t n = in.Read(piece.data(), piece.size());
  const bool movie = n >= 8 && (piece[0] == 'F' || piece[0] == 'C') && piece[1] == 'W' && piece[2] == 'S';
  if (!movie) ThrowFileError(src, "not an SWF movie");
  AtomicFileWriter out(dst);
  while (n > 0) {
    out.Write(piece.data(), n);
    n = in.Read(piece.data(), piece.size());
  }
  out.Commit();
}

}  // namespace

void DrawPhoto(cairo_t* cr, const FloatRect& box, const std::string& file) {
  if (!FileExists(file)) return;
  const media::TRGBAPicture picture = media::DecodePictureFile(file);
  const FloatRect fit = FitRect(0, box.W, box.H, float(picture.Width), float(picture.Height));
  // cairo wants premultiplied native-endian ARGB.
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.Width, picture.Height);
  struct Release {
    cairo_surface_t* s;
    ~Release() { cairo_surface_destroy(s); }
  } release{surface};
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) ThrowFileError(file, "the picture is too large to draw");
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.Height; ++y) {
    const std::uint8_t* in = &picture.Pixels[std::size_t(y) * picture.Width * 4];
    auto* out = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * stride);
    for (int x = 0; x < picture.Width; ++x, in += 4) {
      const unsigned a = in[3];
      auto pm = [a](unsigned c) { return (c * a + 127) / 255; };
      out[x] = a << 24 | pm(in[0]) << 16 | pm(in[1]) << 8 | pm(in[2]);
    }
  }
  cairo_surface_mark_dirty(surface);
  cairo_save(cr);
  cairo_translate(cr, box.X + fit.X, box.Y + fit.Y);
  cairo_scale(cr, fit.W / picture.Width, fit.H / picture.Height);
  cairo_set_source_surface(cr, surface, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);  // crisp edges when scaled
  cairo_rectangle(cr, 0, 0, picture.Width, picture.Height);
  cairo_fill(cr);
  cairo_restore(cr);
}

void CustomImageLoader(swf::TFlashImage& image, const std::string& file) {
  media::TRGBAPicture picture = media::DecodePictureFile(file);
  media::TBMPReader bmp;
  if (AsciiLower(ExtensionOf(file)) != ".png") {
    // Alpha of other kinds (GIF transparency) is premultiplied here.
    const bool alpha = picture.HasAlpha();
    if (alpha) {
      for (std::size_t i = 0; i < picture.Pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c)
          picture.Pixels[i + c] = static_cast<std::uint8_t>((picture.Pixels[i + c] * picture.Pixels[i + 3] + 127) / 255);
    }
    ToBMP(picture, alpha, bmp);
    // Handed over as pixels: read back from BMP bytes, a wholly transparent
    // picture's zero alpha bytes would count as padding and turn it opaque.
    image.LoadDataFromBMPReader(bmp);
    return;
  }
  // PNG: premultiplied as lossless SWF bitmaps with alpha require (A = 255
  // keeps c, A = 0 gives 1), through a BMP file and back.
  bool wholly_transparent = true;
  for (std::size_t i = 0; i < picture.Pixels.size(); i += 4) {
    const unsigned a = picture.Pixels[i + 3];
    wholly_transparent = wholly_transparent && a == 0;
    for (int c = 0; c < 3; ++c) {
      const unsigned v = picture.Pixels[i + c];
      picture.Pixels[i + c] = static_cast<std::uint8_t>((v * a + v + 256 - a) / 256);
    }
  }
  ToBMP(picture, true, bmp);
  TemporaryBMP intermediate(file);
  intermediate.Write(bmp.SaveToStream());
  media::TBMPReader again;
  again.LoadFromFile(intermediate.path());
  // A BMP whose alpha bytes are all zero reads as opaque (they are padding
  // in most such files); the PNG said transparent, so that is restored.
  if (wholly_transparent) again.SetAlpha(0);
  image.LoadDataFromBMPReader(again);
}

bool StartImaging() {
  swf::CustomImageLoader = &CustomImageLoader;
  return true;
}

bool MakePictureMovie(const std::string& src, const std::string& dst, int width, int height, float frameRate) {
  if (!FileExists(src)) return false;
  if (AsciiLower(ExtensionOf(src)) == ".swf") {
    CopyMovieFile(src, dst);
    return true;
  }
  StartImaging();
  swf::TFlashMovie movie(0, 0, width, height, frameRate, swf::TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  swf::TFlashImage* image = movie.AddImage(src);
  swf::TFlashShape* shape = movie.AddRectangle(0, 0, width, height);
  shape->SetImageFill(*image, swf::TFlashImageFillMode::Fit, 1, 1);
  movie.PlaceObject(shape, 1);
  movie.ShowFrame();
  movie.MakeStream();
  TMemoryStream out;
  movie.SaveToStream(out);
  WriteFileAtomically(dst, out.Bytes());
  return true;
}

}  // namespace yel::publish
