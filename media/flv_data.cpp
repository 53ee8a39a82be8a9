// The FLV index: the file header, one pass over the tags (reading only their
// headers and the few payload bytes that give the codec, picture size and
// sound format), and the AMF0 values of the "onMetaData" script tag.
#include "media/flv_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/bit_stream.h"
#include "base/error.h"
#include "base/text.h"

namespace yel::media {

// The file, read at given positions.
class TFLVData::File {
 public:
  explicit File(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) ThrowFileError(path, "cannot open the file: " + SystemErrorText(errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd_);
      ThrowFileError(path, "not a regular file");
    }
    size_ = static_cast<std::uint64_t>(info.st_size);
  }
  ~File() { ::close(fd_); }
  std::uint64_t Size() const { return size_; }
  // Reads up to n bytes at position; returns how many there were.
  std::size_t ReadAt(std::uint64_t position, void* dst, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
      ssize_t got = ::pread(fd_, static_cast<char*>(dst) + done, n - done, static_cast<off_t>(position + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) ThrowFileError(path_, "cannot read the file: " + SystemErrorText(errno));
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

namespace {

// Tag types.
constexpr std::uint8_t kTagAudio = 8, kTagVideo = 9, kTagScript = 18;
// The largest script tag whose values are read; metadata is small, and a
// larger tag is skipped rather than held in memory.
constexpr std::uint32_t kMaxScriptBytes = 64u << 20;
// Nesting of script objects followed; deeper values end the list.
constexpr int kMaxDepth = 16;

const char* const kMetaNames[kMetaNameCount] = {
    "duration",     "lasttimestamp", "lastkeyframetimestamp", "width",         "height",
    "videodatarate", "audiodatarate", "framerate",            "creationdate",  "filesize",
    "videosize",    "audiosize",     "datasize",              "metadatacreator", "metadatadate",
    "videocodecid", "audiocodecid",  "audiodelay",            "canseektoend",  "keyframes",
};

std::uint32_t BE(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

// Script data read from a buffer; a read past its end sets Failed and gives
// zeros, so that the caller stops at the next check.
class Cursor {
 public:
  Cursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Remaining() const { return size_ - pos_; }
  bool Failed() const { return failed_; }
  bool Take(std::size_t n) {
    if (Remaining() < n) {
      failed_ = true;
      pos_ = size_;
      return false;
    }
    return true;
  }
  std::uint8_t Byte() { return Take(1) ? data_[pos_++] : 0; }
  std::uint32_t Number(int bytes) {
    if (!Take(bytes)) return 0;
    std::uint32_t v = BE(data_ + pos_, bytes);
    pos_ += bytes;
    return v;
  }
  double Double() {
    if (!Take(8)) return 0;
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | data_[pos_ + i];
    pos_ += 8;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  std::string String(std::size_t length) {
    if (!Take(length)) return {};
    std::string text(reinterpret_cast<const char*>(data_ + pos_), length);
    pos_ += length;
    return text;
  }
  std::uint8_t Peek() const { return pos_ < size_ ? data_[pos_] : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

std::unique_ptr<TFLVCustomData> ReadValue(Cursor& in, const std::string& name, int depth);

// Named values up to the end marker (an empty name and type 9), an unknown
// value, or the end of the data (3 bytes or fewer left).
void ReadProperties(Cursor& in, TFLVDataECMAArray& into, int depth) {
  while (in.Remaining() > 3) {
    std::string name = in.String(in.Number(2));
    if (name.empty() && (in.Peek() & 0x7F) == 9) {
      in.Byte();
      return;
    }
    auto value = ReadValue(in, name, depth);
    if (!value || in.Failed()) return;
    into.Items.push_back(std::move(value));
  }
}

std::unique_ptr<TFLVCustomData> ReadValue(Cursor& in, const std::string& name, int depth) {
  if (depth > kMaxDepth) return nullptr;
  const std::uint8_t type = in.Byte() & 0x7F;
  std::unique_ptr<TFLVCustomData> value;
  switch (type) {
    case 0: {
      auto number = std::make_unique<TFLVDataNumber>();
      number->Value = in.Double();
      value = std::move(number);
      break;
    }
    case 1: {
      auto boolean = std::make_unique<TFLVDataBoolean>();
      boolean->Value = in.Byte() != 0;
      value = std::move(boolean);
      break;
    }
    case 2: case 4: case 12: {
      auto text = std::make_unique<TFLVDataString>();
      text->Value = in.String(in.Number(type == 12 ? 4 : 2));
      value = std::move(text);
      break;
    }
    case 3: {
      if (AsciiLower(name) == "keyframes") {
        TFLVDataECMAArray fields;
        ReadProperties(in, fields, depth + 1);
        auto keyFrames = std::make_unique<TFLVKeyFramesObjectData>();
        auto numbers = [](const TFLVCustomData* list, std::vector<double>& out) {
          if (const auto* array = dynamic_cast<const TFLVDataECMAArray*>(list))
            for (const auto& item : array->Items)
              if (const auto* number = dynamic_cast<const TFLVDataNumber*>(item.get())) out.push_back(number->Value);
        };
        numbers(fields.Find("filepositions"), keyFrames->FilePositions);
        numbers(fields.Find("times"), keyFrames->Times);
        value = std::move(keyFrames);
      } else {
        auto object = std::make_unique<TFLVDataECMAArray>();
        ReadProperties(in, *object, depth + 1);
        value = std::move(object);
      }
      break;
    }
    case 5: case 6:  // null, undefined
      value = std::make_unique<TFLVCustomData>();
      break;
    case 7: {
      auto reference = std::make_unique<TFLVDataWord>();
      reference->Value = static_cast<std::uint16_t>(in.Number(2));
      value = std::move(reference);
      break;
    }
    case 8: {
      in.Number(4);  // the count, which writers do not keep reliably
      auto array = std::make_unique<TFLVDataECMAArray>();
      ReadProperties(in, *array, depth + 1);
      value = std::move(array);
      break;
    }
    case 10: {
      // Values without names; the count is trusted only as far as the data
      // holds a byte per value.
      std::uint32_t count = in.Number(4);
      auto array = std::make_unique<TFLVDataECMAArray>();
      for (std::uint32_t i = 0; i < count && in.Remaining() > 0; ++i) {
        auto item = ReadValue(in, {}, depth + 1);
        if (!item || in.Failed()) break;
        array->Items.push_back(std::move(item));
      }
      value = std::move(array);
      break;
    }
    case 11: {
      auto date = std::make_unique<TFLVDataDate>();
      date->Value = in.Double();
      date->TimeZone = static_cast<std::int16_t>(in.Number(2));
      value = std::move(date);
      break;
    }
    default:
      return nullptr;
  }
  if (in.Failed()) return nullptr;
  value->Name = name;
  value->DataType = type;
  return value;
}

// The "onMetaData" object of a script tag, or null.
std::unique_ptr<TFLVonMetaData> ReadMetaData(const std::uint8_t* data, std::size_t size) {
  Cursor in(data, size);
  if (in.Byte() != 2) return nullptr;
  if (in.String(in.Number(2)) != "onMetaData") return nullptr;
  std::uint8_t type = in.Byte();
  if (type != 8 && type != 3) return nullptr;
  if (type == 8) in.Number(4);
  auto meta = std::make_unique<TFLVonMetaData>();
  meta->Name = "onMetaData";
  meta->DataType = type;
  ReadProperties(in, *meta, 1);
  return meta;
}

}  // namespace

const char* FLVMetaName(int index) { return index >= 0 && index < kMetaNameCount ? kMetaNames[index] : ""; }

std::int64_t TFLVDataNumber::AsInteger() const {
  if (!std::isfinite(Value) || std::fabs(Value) > 9.0e18) return 0;
  return static_cast<std::int64_t>(std::nearbyint(Value));
}

std::string TFLVDataNumber::AsString() const {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", Value);
  return text;
}

std::int64_t TFLVDataString::AsInteger() const {
  try {
    std::size_t used = 0;
    double v = std::stod(Value, &used);
    if (!std::isfinite(v) || std::fabs(v) > 9.0e18) return 0;
    return static_cast<std::int64_t>(std::nearbyint(v));
  } catch (const std::exception&) {
    return 0;
  }
}

std::int64_t TFLVDataDate::AsInteger() const {
  if (!std::isfinite(Value) || std::fabs(Value) > 9.0e18) return 0;
  return static_cast<std::int64_t>(std::nearbyint(Value));
}

const TFLVCustomData* TFLVDataECMAArray::Find(const std::string& name) const {
  const TFLVCustomData* found = nullptr;
  for (const auto& item : Items)
    if (AsciiLower(item->Name) == name) found = item.get();
  return found;
}

const TFLVCustomData* TFLVonMetaData::MetaValue(int index) const {
  if (index < 0 || index >= kMetaNameCount) return nullptr;
  return Find(kMetaNames[index]);
}

TFLVData::TFLVData(const std::string& fileName) : FileName(fileName) {
  if (fileName.empty()) return;
  file_ = std::make_unique<File>(fileName);
  Parse();
}

TFLVData::~TFLVData() = default;

std::vector<std::uint8_t> TFLVData::ReadPayload(const TVFrame& frame) const {
  if (!file_) return {};
  std::vector<std::uint8_t> bytes(frame.Size);
  std::size_t got = file_->ReadAt(frame.Offset, bytes.data(), bytes.size());
  if (got != bytes.size())
    ThrowFileError(FileName, "the file ends inside the frame at offset " + std::to_string(frame.Offset) +
                                 " (it changed since it was examined)");
  return bytes;
}

void TFLVData::Parse() {
  HasVideo = HasAudio = Truncated = false;
  VideoFrames.clear();
  AudioFrames.clear();
  SoundHeader = {};
  CodecID = FrameType = 0;
  FrameCount = 0;
  Width = Height = 0;
  MetaData.reset();
  if (!file_) return;
  const std::uint64_t size = file_->Size();

  std::uint8_t header[9];
  if (file_->ReadAt(0, header, 9) < 9 || std::memcmp(header, "FLV", 3) != 0)
    ThrowFileError(FileName, "not an FLV video file (it does not start with FLV and a 9-byte header)");
  if (header[3] != 1) ThrowFileError(FileName, "FLV version " + std::to_string(header[3]) + " is not supported");
  HasAudio = header[4] & 0x04;
  HasVideo = header[4] & 0x01;
  std::uint32_t headerSize = BE(header + 5, 4);
  if (headerSize < 9 || headerSize > size)
    ThrowFileError(FileName, "the FLV header gives its own length as " + std::to_string(headerSize) + " bytes");

  // Past the header and the first previous-tag size.
  std::uint64_t position = std::uint64_t{headerSize} + 4;
  bool audioUsable = true;
  std::uint32_t videoTags = 0;
  while (position < size) {
    std::uint8_t tag[16];
    std::size_t got = file_->ReadAt(position, tag, sizeof tag);
    if (got < 11) {
      Truncated = true;
      break;
    }
    const std::uint8_t type = tag[0] & 0x1F;
    const std::uint32_t dataSize = BE(tag + 1, 3);
    const std::uint32_t timestamp = BE(tag + 4, 3) | std::uint32_t{tag[7]} << 24;
    const std::uint64_t payload = position + 11;
    const std::uint64_t available = payload < size ? size - payload : 0;
    const std::uint32_t have = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataSize, available));
    if (dataSize > available) Truncated = true;
    const std::string where = " at offset " + std::to_string(position);

    if (type == kTagAudio && audioUsable && dataSize > 0) {
      if (AudioFrames.empty()) {
        SoundHeader.Format = have > 0 ? tag[11] : 0;
        switch (SoundHeader.SoundFormat()) {
          case 2:  // MP3: the first frame header tells the MPEG version and layer
            if (have >= 5) {
              SoundHeader.MP3Header = BE(tag + 12, 4);
            } else {
              audioUsable = false;
            }
            break;
          case 6:  // Nellymoser
            break;
          default:
            audioUsable = false;
        }
      }
      if (audioUsable && have > 1) {
        TVFrame frame;
        frame.Size = have - 1;
        frame.Offset = payload + 1;
        frame.Timestamp = timestamp;
        frame.FrameIndex = videoTags;
        AudioFrames.push_back(frame);
      }
      if (!audioUsable) AudioFrames.clear();
    } else if (type == kTagVideo) {
      if (dataSize == 0) ThrowFileError(FileName, "the video tag" + where + " holds no data");
      if (have == 0) {
        Truncated = true;
        break;
      }
      const std::uint8_t videoHeader = tag[11];
      if (videoTags == 0) {
        CodecID = videoHeader & 0x0F;
        FrameType = videoHeader >> 4;
        std::uint8_t picture[16] = {};
        file_->ReadAt(payload + 1, picture, std::min<std::size_t>(sizeof picture, have - 1));
        TBufferStream stream(picture, sizeof picture);
        BitStream bits(stream);
        switch (CodecID) {
          case 2: {  // Sorenson H.263
            bits.ReadBits(16);
            switch (bits.ReadBits(17) & 7) {
              case 0:
                Width = static_cast<std::uint16_t>(bits.ReadBits(8));
                Height = static_cast<std::uint16_t>(bits.ReadBits(8));
                break;
              case 1:
                Width = static_cast<std::uint16_t>(bits.ReadBits(16));
                Height = static_cast<std::uint16_t>(bits.ReadBits(16));
                break;
              case 2: Width = 352, Height = 288; break;
              case 3: Width = 176, Height = 144; break;
              case 4: Width = 128, Height = 96; break;
              case 5: Width = 320, Height = 240; break;
              case 6: Width = 160, Height = 120; break;
              default: break;
            }
            break;
          }
          case 3: case 6:  // screen video (version 1 and 2)
            Width = static_cast<std::uint16_t>(bits.ReadBits(16) & 0xFFF);
            Height = static_cast<std::uint16_t>(bits.ReadBits(16) & 0xFFF);
            break;
          case 4: case 5: {  // VP6, VP6 with alpha
            const TFLVCustomData* width = MetaValue(kMetaWidth);
            const TFLVCustomData* height = MetaValue(kMetaHeight);
            if (width || height) {
              if (width) Width = static_cast<std::uint16_t>(width->AsInteger());
              if (height) Height = static_cast<std::uint16_t>(height->AsInteger());
            } else {
              // Past the size adjustment byte (and, with alpha, the 24-bit
              // alpha offset) and two bytes of the frame header: the
              // picture's rows and columns of 16-pixel macroblocks.
              const std::size_t at = CodecID == 5 ? 6 : 3;
              Height = static_cast<std::uint16_t>(picture[at] * 16);
              Width = static_cast<std::uint16_t>(picture[at + 1] * 16);
            }
            break;
          }
          default:
            break;
        }
      }
      TVFrame frame;
      frame.Size = have - 1;
      frame.Offset = payload + 1;
      frame.Timestamp = timestamp;
      frame.FrameType = videoHeader >> 4;
      VideoFrames.push_back(frame);
      ++videoTags;
    } else if (type == kTagScript && have == dataSize && dataSize <= kMaxScriptBytes && !MetaData) {
      std::vector<std::uint8_t> script(dataSize);
      file_->ReadAt(payload, script.data(), script.size());
      MetaData = ReadMetaData(script.data(), script.size());
    }
    position = payload + dataSize + 4;
  }
  FrameCount = videoTags;
}

}  // namespace yel::media
