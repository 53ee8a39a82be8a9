// SWF header check, stop-at-frame copies and appended movies for the player
// programs.
#include "app/player/movie_bytes.h"

#include <cstring>
#include <functional>
#include <utility>
#include <fstream>

#include "base/byte_stream.h"
#include "base/error.h"
#include "publish/output_targets.h"
#include "swf/format/swf_stream.h"

namespace yel::app {

namespace {

std::uint32_t LE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void PutLE32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// Loads the movie with our stream reader, which unpacks the body.
void Load(swf::TSWFStreamReader& reader, const std::vector<std::uint8_t>& bytes, const std::string& name) {
  if (bytes.empty()) ThrowFileError(name, "the movie is empty");
  reader.LoadFromBytes(bytes.data(), bytes.size(), name);
  if (!reader.IsSWF) ThrowFileError(name, "not an SWF movie (it does not begin with FWS or CWS)");
  // The reader checks compressed movies against their length; an
  // uncompressed one is checked here.
  if (!reader.Compressed() && reader.FileLength() > bytes.size())
    ThrowFileError(name, "the movie is cut off: the header gives a file length of " +
                             std::to_string(reader.FileLength()) + " bytes, there are " +
                             std::to_string(bytes.size()));
}

// Calls visit(code, offset, fullSize) for each tag of the main timeline in
// body[from, size) until it returns false or the End tag; throws when a
// tag's header or body runs past the end.
void WalkTags(const std::uint8_t* body, std::size_t from, std::size_t size, const std::string& name,
              const std::function<bool(std::uint16_t, std::size_t, std::size_t)>& visit) {
  std::size_t at = from;
  while (at < size) {
    if (size - at < 2) ThrowFileError(name, "the movie is damaged: a tag header is cut off at byte " + std::to_string(at));
    const std::uint16_t codeAndLength = std::uint16_t(body[at] | body[at + 1] << 8);
    const std::uint16_t code = codeAndLength >> 6;
    std::uint64_t length = codeAndLength & 0x3F;
    std::size_t headerSize = 2;
    if (length == 0x3F) {
      if (size - at < 6) ThrowFileError(name, "the movie is damaged: a tag header is cut off at byte " + std::to_string(at));
      length = LE32(&body[at + 2]);
      headerSize = 6;
    }
    if (length > size - at - headerSize)
      ThrowFileError(name, "the movie is damaged: tag " + std::to_string(code) + " at byte " + std::to_string(at) +
                               " claims " + std::to_string(length) + " bytes, only " +
                               std::to_string(size - at - headerSize) + " follow");
    const std::size_t fullSize = headerSize + static_cast<std::size_t>(length);
    if (!visit(code, at, fullSize) || code == swf::tag::End) return;
    at += fullSize;
  }
}

}  // namespace

TMovieInfo ReadMovieInfo(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  swf::TSWFStreamReader reader;
  Load(reader, bytes, name);
  TMovieInfo info;
  const swf::TRect& stage = reader.MovieRect();  // in twips
  info.Width = static_cast<int>((std::int64_t{stage.Right} - stage.Left + 10) / 20);
  info.Height = static_cast<int>((std::int64_t{stage.Bottom} - stage.Top + 10) / 20);
  info.FrameRate = reader.FPS();
  info.FrameCount = reader.FrameCount;
  info.Version = reader.Version();
  const TMemoryStream& body = reader.BodyStream();
  WalkTags(body.Data(), 0, body.Size(), name, [](std::uint16_t, std::size_t, std::size_t) { return true; });
  if (info.Width <= 0 || info.Height <= 0)
    ThrowFileError(name, "the movie's stage is empty (" + std::to_string(info.Width) + " x " +
                             std::to_string(info.Height) + " pixels)");
  return info;
}

std::vector<std::uint8_t> MarkFrame(const std::vector<std::uint8_t>& bytes, int frame, bool stop,
                                    const std::string& name) {
  swf::TSWFStreamReader reader;
  Load(reader, bytes, name);
  reader.SetCompressed(false);
  TMemoryStream plain;
  reader.SaveToStream(plain);
  std::vector<std::uint8_t> movie = plain.TakeBytes();

  // DoAction: GetURL "FSCommand:<command>" "<frame>", Stop (when asked), End.
  const std::string url = std::string("FSCommand:") + kFrameReachedCommand;
  const std::string target = std::to_string(frame);
  std::vector<std::uint8_t> actions = {0x83, 0, 0};
  actions.insert(actions.end(), url.begin(), url.end());
  actions.push_back(0);
  actions.insert(actions.end(), target.begin(), target.end());
  actions.push_back(0);
  const std::size_t getUrlLength = actions.size() - 3;
  actions[1] = std::uint8_t(getUrlLength);
  actions[2] = std::uint8_t(getUrlLength >> 8);
  if (stop) actions.push_back(0x07);
  actions.push_back(0x00);
  std::vector<std::uint8_t> tag(2);
  const std::uint16_t header = std::uint16_t(swf::tag::DoAction << 6 | actions.size());  // short DoAction header
  tag[0] = std::uint8_t(header);
  tag[1] = std::uint8_t(header >> 8);
  tag.insert(tag.end(), actions.begin(), actions.end());

  // The frame-th ShowFrame of the main timeline.
  int shown = 0;
  std::size_t insertAt = 0;
  WalkTags(movie.data(), static_cast<std::size_t>(reader.HeaderSize()), movie.size(), name,
           [&](std::uint16_t code, std::size_t at, std::size_t) {
             if (code == swf::tag::ShowFrame && ++shown == frame) insertAt = at;
             return insertAt == 0;
           });
  if (insertAt) {
    movie.insert(movie.begin() + static_cast<std::ptrdiff_t>(insertAt), tag.begin(), tag.end());
    PutLE32(&movie[4], static_cast<std::uint32_t>(movie.size()));
    return movie;
  }
  ThrowFileError(name, "the movie has " + std::to_string(shown) + " frames, not " + std::to_string(frame));
}

namespace {

struct TTrailer {
  std::uint64_t FileSize = 0;
  std::uint32_t Marker = 0;
  std::uint32_t Length = 0;
};

bool ReadTrailer(std::ifstream& in, TTrailer& trailer) {
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (!in || size < 8) return false;
  trailer.FileSize = static_cast<std::uint64_t>(size);
  std::uint8_t last[8];
  in.seekg(size - 8);
  if (!in.read(reinterpret_cast<char*>(last), 8)) return false;
  trailer.Marker = LE32(last);
  trailer.Length = LE32(last + 4);
  return true;
}

}  // namespace

bool HasAppendedMovie(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  TTrailer trailer;
  return in && ReadTrailer(in, trailer) && trailer.Marker == publish::kExecutableMarker;
}

std::vector<std::uint8_t> ReadAppendedMovie(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ThrowFileError(path, "cannot open the file");
  TTrailer trailer;
  if (!ReadTrailer(in, trailer) || trailer.Marker != publish::kExecutableMarker)
    ThrowFileError(path, "no movie is appended to this file (it does not end with the marker 56 34 12 FA "
                         "and a length)");
  if (trailer.Length == 0) ThrowFileError(path, "the movie appended to this file is empty (length 0)");
  if (trailer.Length > trailer.FileSize - 8)
    ThrowFileError(path, "the appended movie's length (" + std::to_string(trailer.Length) +
                             " bytes) is larger than the file before its trailer (" +
                             std::to_string(trailer.FileSize - 8) + " bytes)");
  std::vector<std::uint8_t> movie(trailer.Length);
  in.seekg(static_cast<std::streamoff>(trailer.FileSize - 8 - trailer.Length));
  if (!in.read(reinterpret_cast<char*>(movie.data()), static_cast<std::streamsize>(movie.size())))
    ThrowFileError(path, "cannot read the appended movie");
  return movie;
}

}  // namespace yel::app
