// Album movie assembly. The build runs the steps in a fixed order and asks
// the progress window whether to go on at the checked points. While the main
// thread draws and animates a slide, worker threads (one per core) decode
// and scale the photos of the slides to come, and others compress the
// bitmaps of the slides before (the heaviest step, which writing the movie
// would do later otherwise). That changes neither the movie's content nor
// its order, so the bytes are those of a build on one thread. The finished movie is written straight into its file (or, for the
// preview's bytes, a temporary file read back after the build is gone)
// without holding its tag body, and each bitmap lets go of its pixels once
// they are compressed, so a build holds little more than the compressed
// bitmaps.
#include "publish/album_movie.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <system_error>

#include "album/album_model.h"
#include "album/fit_rect.h"
#include "album/theme_catalogue.h"
#include "base/byte_stream.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"
#include "platform/gdi/recording_context.h"
#include "publish/album_music.h"
#include "publish/slide_photo.h"
#include "publish/template_overlay.h"
#include "publish/transition_effects.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_canvas.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_image.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/swf_records.h"

namespace yel::publish {
namespace {

bool FileExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Packed SWF colour of a platform colour (system colours resolved), opaque.
std::uint32_t Packed(TColor colour) { return swf::ColorToSWFRGBA(colour, 255) & 0xFFFFFFu; }

// Where a photo goes on its slide: fitted into the photo rectangle as a
// fullWidth × fullHeight picture (the picture's own size when 0).
gdi::Rect FittedPlace(const TPhotoRect& rect, int fullWidth, int fullHeight, const gdi::Picture& photo) {
  const bool full = fullWidth > 0 && fullHeight > 0;
  FloatRect r = FitRect(0, rect.W, rect.H, float(full ? fullWidth : photo.width), float(full ? fullHeight : photo.height));
  return {RoundEven(r.X), RoundEven(r.Y), RoundEven(double(r.X) + r.W), RoundEven(double(r.Y) + r.H)};
}

// Thrown by the progress hook of the stream build to abandon the build.
struct Cancelled {};

// Runs one step of the build; running out of memory in it becomes an error
// naming the file the step works on.
template <typename Step>
auto NamingMemoryFailures(const std::string& file, const char* doing, Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    ThrowFileError(file, std::string("not enough memory to ") + doing);
  }
}

// Character ids of a slide's sprite as the canvas draws it: the sprite, the
// drawing's level sprite inside it, the background rectangle, and for a
// photo its bitmap and the shape that shows it. (Were the canvas to leave
// out the background under a photo that covers it, the count would stay an
// upper bound.)
constexpr std::uint64_t kSlideBackgroundIds = 3;
constexpr std::uint64_t kSlidePhotoIds = 5;

// The deflate level of the slides' bitmaps: on photos the slower levels
// save well under 1% and take twice the time or more.
constexpr int kSlideDeflateLevel = 1;

// Compresses bitmaps on worker threads, in any order: into lossless data,
// or, given a JPEG quality, opaque ones into JPEG data. Each bitmap's data
// depends on its pixels alone, so the movie's bytes do not depend on the
// number of threads. Add blocks while the queue is full,
// which bounds the pixels waiting; Finish waits for all and rethrows the
// first failure. Destroying the object without Finish abandons the queue.
class TBitmapCompression {
 public:
  TBitmapCompression(int threads, int jpegQuality) : jpeg_quality_(jpegQuality) {
    if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    limit_ = std::size_t(threads) * 2;
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~TBitmapCompression() {
    {
      std::lock_guard lock(mutex_);
      queue_.clear();
      closing_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  TBitmapCompression(const TBitmapCompression&) = delete;
  TBitmapCompression& operator=(const TBitmapCompression&) = delete;

  void Add(swf::TFlashImage* image) {
    if (image->DataState != swf::kImageLossless || !image->HasBMPReader()) return;
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return queue_.size() < limit_ || failure_; });
    queue_.push_back(image);
    wake_.notify_one();
  }
  void Finish() {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [this] { return (queue_.empty() && busy_ == 0) || failure_; });
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
      if (closing_) return;
      swf::TFlashImage* image = queue_.front();
      queue_.pop_front();
      ++busy_;
      lock.unlock();
      std::exception_ptr failure;
      try {
        if (jpeg_quality_ <= 0 || !image->MakeJPEGData(jpeg_quality_)) image->MakeLosslessData(kSlideDeflateLevel);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      --busy_;
      if (failure && !failure_) failure_ = failure;
      room_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_, room_;
  std::deque<swf::TFlashImage*> queue_;
  const int jpeg_quality_;
  std::size_t limit_ = 2;
  int busy_ = 0;
  bool closing_ = false;
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
};

// Decodes and scales the slides' photos on worker threads, ahead of the
// slide being drawn: at most `window` photos past the one the build takes
// next are held, and Take hands them out in album order. A photo comes out
// as drawing it on the main thread would make it (decoded at the reduced
// scale, then scaled down to the device pixels it covers), so the movie's
// bytes do not depend on the number of threads. A failure is kept with its
// slide and thrown by Take for that slide, as the build on one thread would
// throw it there. Destroying the object stops the workers.
class TPhotoPipeline {
 public:
  // A prepared photo; no Picture for a slide without a photo file.
  struct TPrepared {
    std::optional<TSlidePhoto> Photo;
    std::exception_ptr Failure;
  };

  TPhotoPipeline(const TSlideViews& slides, TPhotoRect rect, int threads) : slides_(slides), rect_(rect) {
    if (threads <= 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    window_ = std::size_t(threads) * 2;
    for (int i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  }
  ~TPhotoPipeline() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  TPhotoPipeline(const TPhotoPipeline&) = delete;
  TPhotoPipeline& operator=(const TPhotoPipeline&) = delete;

  // The photo of slide `index` (taken in order, each once); rethrows its
  // failure.
  std::optional<TSlidePhoto> Take(std::size_t index) {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return done_.count(index) != 0; });
    TPrepared prepared = std::move(done_[index]);
    done_.erase(index);
    taken_ = index + 1;
    wake_.notify_all();
    lock.unlock();
    if (prepared.Failure) std::rethrow_exception(prepared.Failure);
    return std::move(prepared.Photo);
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return closing_ || (next_ < slides_.Count() && next_ < taken_ + window_); });
      if (closing_) return;
      const std::size_t index = next_++;
      lock.unlock();
      TPrepared prepared;
      try {
        prepared.Photo = PrepareSlidePhoto(slides_[index].ImageFile, rect_);
      } catch (const std::bad_alloc&) {
        try {
          ThrowFileError(slides_[index].ImageFile, "not enough memory to draw the slide");
        } catch (...) {
          prepared.Failure = std::current_exception();
        }
      } catch (...) {
        prepared.Failure = std::current_exception();
      }
      lock.lock();
      done_.emplace(index, std::move(prepared));
      ready_.notify_all();
    }
  }

  const TSlideViews& slides_;
  const TPhotoRect rect_;
  std::size_t window_ = 2;
  std::mutex mutex_;
  std::condition_variable wake_, ready_;
  std::size_t next_ = 0, taken_ = 0;
  std::map<std::size_t, TPrepared> done_;
  bool closing_ = false;
  std::vector<std::thread> workers_;
};

// A stream over an unnamed file in the temporary folder (removed when
// closed, or at once where the file system makes unnamed files).
class TTemporaryFileStream : public TStream {
 public:
  TTemporaryFileStream() : fd_(OpenTemporaryFile()) {}
  ~TTemporaryFileStream() override { ::close(fd_); }
  TTemporaryFileStream(const TTemporaryFileStream&) = delete;
  TTemporaryFileStream& operator=(const TTemporaryFileStream&) = delete;

  std::size_t Read(void*, std::size_t) override { throw Error("internal: reading a stream that is being written"); }
  void Write(const void* src, std::size_t n) override {
    const auto* p = static_cast<const std::uint8_t*>(src);
    while (n > 0) {
      const ssize_t done = ::pwrite(fd_, p, n, off_t(position_));
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) throw Error("cannot write the movie to a temporary file: " + SystemErrorText(errno));
      p += done, n -= std::size_t(done), position_ += std::uint64_t(done);
      size_ = std::max(size_, position_);
    }
  }
  std::uint64_t Position() const override { return position_; }
  void Seek(std::uint64_t position) override { position_ = position; }
  std::uint64_t Size() const override { return size_; }

  std::vector<std::uint8_t> ReadAll() const {
    std::vector<std::uint8_t> bytes(size_);
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = ::pread(fd_, bytes.data() + done, bytes.size() - done, off_t(done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) throw Error("cannot read the movie back from its temporary file: " + SystemErrorText(errno));
      done += std::size_t(got);
    }
    return bytes;
  }

 private:
  int fd_ = -1;
  std::uint64_t position_ = 0, size_ = 0;
};

}  // namespace

std::optional<TSlidePhoto> PrepareSlidePhoto(const std::string& file, const TPhotoRect& rect) {
  if (!FileExists(file)) return std::nullopt;
  TSlidePhoto photo = LoadFittedPhoto(file, RoundEven(rect.W), RoundEven(rect.H));
  gdi::Picture& picture = photo.Picture;
  if (picture.width <= 0 || picture.height <= 0) return photo;
  // The slide's context maps its pixels one to one onto the device, so these
  // are the pixels DrawPicture would scale the photo to.
  const gdi::Rect place = FittedPlace(rect, photo.FullWidth, photo.FullHeight, picture);
  const int dw = place.Width(), dh = place.Height();
  if (dw > 0 && dh > 0 && (dw < picture.width || dh < picture.height))
    picture = gdi::ScaledDownPicture(picture, std::min(dw, picture.width), std::min(dh, picture.height));
  return photo;
}

TAlbumMovie::TAlbumMovie(const TFlashAlbum& album)
    : album_(album),
      movie_(std::make_unique<swf::TFlashMovie>(0, 0, album.Width, album.Height, float(album.FrameRate),
                                                swf::TSWFSystemCoord::Pix)) {
  movie_->SetVersion(8);
  movie_->SetCompressed(true);
}

TAlbumMovie::~TAlbumMovie() = default;

swf::TFlashCanvas& TAlbumMovie::Canvas() { return movie_->Canvas(); }

void TAlbumMovie::BuildLoadingFrame() {
  const TLoading& loading = album_.Template.Loading;
  swf::TFlashMovie& movie = *movie_;
  swf::TFlashSprite* sprite = movie.AddSprite();
  if (loading.Background.FillType == 2) {
    if (loading.Background.ImageFile.empty())
      throw Error("the loading background is a movie, but no movie file is named");
    swf::TFlashExternalMovie* background =
        movie.AddExternalMovie(ResolvePathIgnoreCase(loading.Background.ImageFile), swf::eimSprite, true);
    sprite->PlaceObject(background->Sprite(), 1);
  } else {
    swf::TFlashShape* background = movie.AddRectangle(0, 0, album_.Width, album_.Height);
    background->SetSolidColor(Packed(loading.Background.Color));
    sprite->PlaceObject(background, 1);
  }
  if (!loading.Name.empty()) {
    const std::string folder = ResolveFolderIgnoreCase(loading.Folder);
    if (std::string problem = ThemeNameProblem(loading.Name); !problem.empty())
      ThrowFileError(folder, "the loading bar name \"" + loading.Name + "\" is refused: " + problem);
    const std::string entry = ResolvePathIgnoreCase(folder + loading.Name);
    if (LeadsOutside(entry, folder))
      ThrowFileError(entry, "the loading bar folder is a link that leads outside " + folder + "; it is not followed");
    const std::string bar = ResolvePathIgnoreCase(entry + "/" + loading.Name + ".swf");
    if (FileExists(bar)) {
      swf::TFlashExternalMovie* import = movie.AddExternalMovie(bar, swf::eimSprite, true);
      const swf::TRect& frame = import->Reader().MovieRect();
      const double barW = (double(frame.Right) - frame.Left) / 20.0, barH = (double(frame.Bottom) - frame.Top) / 20.0;
      swf::TFlashPlaceObject* place = sprite->PlaceObject(import->Sprite(), 2);
      place->SetTranslate(RoundEven(loading.Shape.Left), RoundEven(loading.Shape.Top));
      // A bar without a frame size of its own keeps its size along that axis.
      place->SetScale(barW > 0 ? float(loading.Shape.Width / barW) : 1.0f,
                      barH > 0 ? float(loading.Shape.Height / barH) : 1.0f);
    }
  }
  sprite->FrameActions().Stop();
  sprite->ShowFrame(1);
  // The sprite's definition follows the imports whose sprites it places.
  movie.MoveObject(movie.IndexOfObject(sprite), int(movie.ObjectList().size()) - 1);
  movie.PlaceObject(sprite, kLoadingDepth);
  // The preloader: holds the movie on this frame until all of it is loaded.
  swf::InstallActionCompiler();
  if (!movie.FrameActions().CompileStrings(kPreloaderScript)) {
    TMemoryStream& log = movie.CompileErrors();
    throw Error("The loading frame's script does not compile: " +
                std::string(reinterpret_cast<const char*>(log.Data()), log.Size()));
  }
  movie.ShowFrame(1);
}

void TAlbumMovie::BuildTemplateOverlay() {
  PhotoRect = {0, 0, float(album_.Width), float(album_.Height)};
  PhotoRect = AddTemplateOverlay(*movie_, album_);
}

swf::TFlashSprite* TAlbumMovie::BuildSlideSprite(const TSlideView& slide) {
  if (!FileExists(slide.ImageFile)) return BuildSlideSprite(nullptr);
  const TSlidePhoto photo = LoadFittedPhoto(slide.ImageFile, RoundEven(PhotoRect.W), RoundEven(PhotoRect.H));
  return BuildSlideSprite(&photo.Picture, photo.FullWidth, photo.FullHeight);
}

swf::TFlashSprite* TAlbumMovie::BuildSlideSprite(const gdi::Picture* photo, int fullWidth, int fullHeight) {
  swf::TFlashCanvas& canvas = Canvas();
  gdi::RecordingContext& dc = canvas.Handle();
  const std::int32_t w = RoundEven(PhotoRect.W), h = RoundEven(PhotoRect.H);
  dc.FillRectangle({0, 0, w, h}, Packed(album_.Background));
  if (photo && photo->width > 0 && photo->height > 0)
    dc.DrawPicture(*photo, FittedPlace(PhotoRect, fullWidth, fullHeight, *photo));
  swf::TFlashSprite* sprite = canvas.MakeSprite();
  // An empty photo rectangle draws nothing; the slide is then an empty
  // sprite.
  return sprite ? sprite : movie_->AddSprite();
}

void TAlbumMovie::AddTransition(swf::TFlashVisualObject* previous, swf::TFlashSprite* slideSprite,
                                const TSlideView& slide) {
  swf::TFlashMovie& movie = *movie_;
  const std::int32_t x = RoundEven(PhotoRect.X), y = RoundEven(PhotoRect.Y);
  const std::int32_t w = RoundEven(PhotoRect.W), h = RoundEven(PhotoRect.H);
  swf::TFlashVisualObject* outgoing = previous;
  if (!outgoing) {
    swf::TFlashShape* black = movie.AddRectangle(0, 0, w, h);
    black->SetSolidColor(0x000000);
    outgoing = black;
  }
  movie.RemoveObject(kSlideDepth);
  movie.PlaceObject(slideSprite, kSlideDepth)->SetTranslate(x, y);

  TTransitionParams params;
  params.Movie = &movie;
  params.W = w;
  params.H = h;
  params.FrameRate = float(album_.FrameRate);
  params.Speed = slide.Transition.Speed;
  params.X = x;
  params.Y = y;
  params.Depth = kTransitionDepth;
  params.Outgoing = outgoing;
  params.Incoming = slideSprite;
  TSlideShowEffect().Run(slide.Transition.EntryEffect, params);
}

void TAlbumMovie::ShowHoldFrames(const TSlideView& slide) {
  // The builder shows one frame for a count of 0; counts wrap at 65536.
  const std::int32_t count = RoundEven(double(album_.FrameRate) * double(slide.Transition.Duration));
  movie_->ShowFrame(static_cast<std::uint16_t>(count));
}

std::uint64_t AlbumFrameCount(const TFlashAlbum& album) {
  // The loading frame, and the template's frame when a template is chosen.
  std::uint64_t frames = album.Templates.Selected ? 2 : 1;
  const float rate = float(album.FrameRate);
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
    const TSlideView& slide = album.SlideViews[i];
    frames += std::uint64_t(std::max(0, TransitionFrameCount(slide.Transition.EntryEffect, slide.Transition.Speed, rate)));
    frames += std::uint64_t(std::max(1, RoundEven(double(album.FrameRate) * double(slide.Transition.Duration))));
  }
  return frames;
}

void CheckFrameLimit(const TFlashAlbum& album) {
  const std::uint64_t frames = AlbumFrameCount(album);
  if (frames <= kMaxMovieFrames) return;
  throw Error("the album needs " + std::to_string(frames) + " frames, more than the " +
              std::to_string(kMaxMovieFrames) + " a movie can hold (" + std::to_string(album.SlideViews.Count()) +
              " slides at " + std::to_string(album.FrameRate) +
              " frames per second); use fewer slides, shorter transitions and durations or a lower frame rate");
}

std::uint64_t SlideCharacterCount(const TFlashAlbum& album, std::size_t index) {
  const TSlideView& slide = album.SlideViews[index];
  // The sprite and the background; a photo adds its bitmap and the shape
  // that shows it.
  std::uint64_t ids = FileExists(slide.ImageFile) ? kSlidePhotoIds : kSlideBackgroundIds;
  ids += std::uint64_t(
      std::max(0, TransitionCharacterCount(slide.Transition.EntryEffect, slide.Transition.Speed, float(album.FrameRate))));
  if (index == 0) ++ids;  // the black rectangle of the first transition
  return ids;
}

void CheckCharacterIdLimit(const TFlashAlbum& album, std::uint32_t firstId) {
  const std::size_t n = album.SlideViews.Count();
  std::uint64_t next = firstId, fitting = 0;
  for (std::size_t i = 0; i < n; ++i) {
    next += SlideCharacterCount(album, i);
    if (next - 1 <= kMaxCharacterId) fitting = i + 1;
  }
  if (next - 1 <= kMaxCharacterId) return;
  const std::uint64_t needed = next - 1;
  throw Error("the album needs " + std::to_string(needed) + " character ids, more than the " +
              std::to_string(kMaxCharacterId) + " a movie can hold (every transition frame takes two): " +
              std::to_string(fitting) + " of its " + std::to_string(n) +
              " slides fit; use fewer slides, shorter transitions or a lower frame rate");
}

std::vector<std::string> MissingPhotos(const TFlashAlbum& album) {
  std::vector<std::string> messages;
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
    const std::string& file = album.SlideViews[i].ImageFile;
    if (file.empty()) continue;
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    std::string problem;
    if (!std::filesystem::exists(status)) problem = "the photo is missing";
    else if (std::filesystem::is_directory(status)) problem = "the photo is a folder, not a file";
    else if (!std::filesystem::is_regular_file(status)) problem = "the photo is not a regular file";
    else continue;
    messages.push_back(file + ": " + problem + " (slide " + std::to_string(i + 1) + " shows only the background)");
  }
  return messages;
}

bool BuildMovie(const TFlashAlbum& album, const std::string& fileName, const std::string& title,
                TfrmConvert& progress, std::vector<std::uint8_t>* bytes, const TBuildOptions& options) {
  CheckFrameLimit(album);
  if (album.Publish.JPEGSlides && (album.Publish.JPEGQuality < 1 || album.Publish.JPEGQuality > 100))
    throw Error("the JPEG quality must be 1 to 100, not " + std::to_string(album.Publish.JPEGQuality));
  progress.ConvertProgress("Processing [1/4]...", 0);
  progress.Show(title);
  struct CloseWindow {
    TfrmConvert& window;
    ~CloseWindow() { window.Close(); }
  } close_window{progress};

  auto build = std::make_unique<TAlbumMovie>(album);
  if (!progress.ConvertProgress("Processing [1/3]...", 10)) return false;
  build->BuildLoadingFrame();
  if (FileExists(album.MusicFile)) {
    if (!progress.ConvertProgress("Processing [1/4]...", 30)) return false;
    NamingMemoryFailures(album.MusicFile, "add the music", [&] { AttachMusic(build->Movie(), album.MusicFile); });
  }
  build->BuildTemplateOverlay();
  // The slides' ids are counted before any slide is drawn: ids past 65535
  // would wrap and name other characters.
  CheckCharacterIdLimit(album, build->Movie().NextID == 0 ? 65536u : build->Movie().NextID);
  if (!progress.ConvertProgress("Processing [1/4]...", 100)) return false;

  const TSlideViews& slides = album.SlideViews;
  const std::size_t n = slides.Count();
  // The bitmaps a slide added are compressed (what writing them would do
  // later) on worker threads while the next slides are prepared.
  swf::TFlashMovie& movie = build->Movie();
  TBitmapCompression compression(options.CompressionThreads,
                                 album.Publish.JPEGSlides ? album.Publish.JPEGQuality : 0);
  // The photos are decoded and scaled on worker threads ahead of the slide
  // being drawn, so that every core works from the first photo on.
  TPhotoPipeline photos(slides, build->PhotoRect, options.PhotoThreads);
  swf::TFlashSprite* previous = nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    const int percent = RoundEven(double(i) / double(n) * 100 + 10);
    if (!progress.ConvertProgress("Processing [2/4]...", percent)) return false;
    const TSlideView& slide = slides[i];
    const std::uint16_t images_before = movie.Images().Count();
    const std::optional<TSlidePhoto> photo = photos.Take(i);
    swf::TFlashSprite* sprite = NamingMemoryFailures(slide.ImageFile, "draw the slide", [&] {
      return photo ? build->BuildSlideSprite(&photo->Picture, photo->FullWidth, photo->FullHeight)
                   : build->BuildSlideSprite(nullptr);
    });
    for (std::uint16_t k = images_before; k < movie.Images().Count(); ++k) compression.Add(movie.Images().Items(k));
    build->AddTransition(previous, sprite, slide);
    previous = sprite;
    build->ShowHoldFrames(slide);
  }
  compression.Finish();

  // The stream build and the compression report their progress; a cancel
  // request there is honoured too, so the command line can stop at once.
  movie.OnProgress = [&progress](swf::TBasedSWFStream&, int percent, int kind) {
    const char* message = kind == swf::kProgressCompressing ? "Processing [4/4]..." : "Processing [3/4]...";
    if (!progress.ConvertProgress(message, percent)) throw Cancelled{};
  };
  try {
    // The movie goes straight into the file: its body is never held in
    // memory. The preview's bytes are written to an unnamed temporary file
    // and read back once the build has let go of its bitmaps, so that the
    // two are never held at once.
    NamingMemoryFailures(fileName.empty() ? title : fileName, "write the movie", [&] {
      if (!fileName.empty()) {
        movie.MakeStreamToFile(fileName);
        if (bytes) {
          build.reset();
          *bytes = ReadFileBytes(fileName);
        }
      } else {
        TTemporaryFileStream file;
        movie.MakeStreamInto(file);
        build.reset();
        if (bytes) *bytes = file.ReadAll();
      }
    });
  } catch (const Cancelled&) {
    return false;
  }
  progress.ConvertProgress("Save to file...", 100);
  return true;
}

}  // namespace yel::publish
