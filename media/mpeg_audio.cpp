// MPEG audio examination: frame headers, the frame search, Xing and VBRI
// headers, ID3 tags and the frame walker.
#include "media/mpeg_audio.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "base/text.h"

namespace yel::media {
namespace {

// kbit/s by [version row][layer row][index]; rows: MPEG 1, MPEG 2/2.5 and
// Layer I, II, III.
constexpr int kBitRates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

// Hz by version (2.5, reserved, 2, 1) and index.
constexpr int kSampleRates[4][4] = {
    {11025, 12000, 8000, 0}, {0, 0, 0, 0}, {22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};

constexpr std::size_t kBlockSize = 3458;
constexpr std::size_t kBlockUsed = 3457;
constexpr std::size_t kMinBlock = 1728;

std::uint32_t BE32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Reads up to n bytes at offset; short at the end of the stream.
std::vector<std::uint8_t> ReadAt(TStream& s, std::uint64_t offset, std::size_t n) {
  std::vector<std::uint8_t> out;
  if (offset >= s.Size()) return out;
  out.resize(static_cast<std::size_t>(std::min<std::uint64_t>(n, s.Size() - offset)));
  s.Seek(offset);
  out.resize(s.Read(out.data(), out.size()));
  return out;
}

std::string RightTrimmed(const std::uint8_t* p, std::size_t n) {
  std::string text(reinterpret_cast<const char*>(p), n);
  const auto nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

}  // namespace

// --- frame headers

bool IsFrameHeader(const std::uint8_t* b) {
  return b[0] == 0xFF && b[1] > 0xDF && ((b[1] >> 3) & 3) != 1 && (b[1] & 6) != 0 && b[2] < 0xF0 && b[2] > 0x0F &&
         ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

TMPEGFrameHeader DecodeFrameHeader(const std::uint8_t* b) {
  TMPEGFrameHeader h;
  h.VersionID = (b[1] >> 3) & 3;
  h.LayerID = (b[1] >> 1) & 3;
  h.BitRateID = b[2] >> 4;
  h.SampleRateID = (b[2] >> 2) & 3;
  h.PaddingBit = (b[2] >> 1) & 1;
  h.ModeID = b[3] >> 6;
  return h;
}

int TMPEGFrameHeader::BitRate() const {
  if (VersionID == kMPEGReserved || LayerID == 0 || LayerID > 3 || BitRateID > 15) return 0;
  return kBitRates[VersionID == kMPEG1 ? 0 : 1][3 - LayerID][BitRateID];
}

int TMPEGFrameHeader::SampleRate() const { return kSampleRates[VersionID & 3][SampleRateID & 3]; }

int TMPEGFrameHeader::SamplesPerFrame() const {
  if (VersionID == kMPEGReserved) return 0;
  if (LayerID == kLayerI) return 384;
  if (LayerID == kLayerII) return 1152;
  if (LayerID == kLayerIII) return VersionID == kMPEG1 ? 1152 : 576;
  return 0;
}

int TMPEGFrameHeader::Coefficient() const {
  if (VersionID == kMPEG1) return LayerID == kLayerI ? 48 : 144;
  return LayerID == kLayerI ? 24 : 72;
}

int TMPEGFrameHeader::FrameLength() const {
  const int rate = SampleRate();
  if (rate == 0) return 0;
  const int padding = PaddingBit ? (LayerID == kLayerI ? 4 : 1) : 0;
  return static_cast<int>(static_cast<std::int64_t>(Coefficient()) * BitRate() * 1000 / rate) + padding;
}

// --- ID3v1

void TID3v1::Reset() { *this = TID3v1(); }

bool TID3v1::ReadFromFile(TStream& stream) {
  Reset();
  if (stream.Size() < 128) return false;
  const auto tag = ReadAt(stream, stream.Size() - 128, 128);
  if (tag.size() < 128 || std::memcmp(tag.data(), "TAG", 3) != 0) return false;
  Exists = true;
  Size = 128;
  Title = RightTrimmed(&tag[3], 30);
  Artist = RightTrimmed(&tag[33], 30);
  Album = RightTrimmed(&tag[63], 30);
  Year = RightTrimmed(&tag[93], 4);
  if ((tag[125] == 0 && tag[126] != 0) || (tag[125] == ' ' && tag[126] != ' ')) {
    VersionID = 2;
    Comment = RightTrimmed(&tag[97], 28);
    Track = tag[126];
  } else {
    VersionID = 1;
    Comment = RightTrimmed(&tag[97], 30);
  }
  Genre = tag[127];
  return true;
}

// --- ID3v2

void TID3v2::Reset() { *this = TID3v2(); }

bool TID3v2::ReadFromFile(TStream& stream) {
  Reset();
  const auto head = ReadAt(stream, 0, 10);
  if (head.size() < 10 || std::memcmp(head.data(), "ID3", 3) != 0) return false;
  Exists = true;
  VersionID = head[3];
  const std::uint64_t size = ((head[6] & 0x7Fu) << 21 | (head[7] & 0x7Fu) << 14 | (head[8] & 0x7Fu) << 7 |
                              (head[9] & 0x7Fu)) + 10u;
  Size = size > stream.Size() ? 0 : static_cast<std::uint32_t>(size);
  if (VersionID != 3 || Size == 0) return true;

  std::uint64_t at = 10;
  while (at + 10 <= Size) {
    const auto frame = ReadAt(stream, at, 10);
    if (frame.size() < 10 || frame[0] == 0) break;  // padding
    const std::string id(reinterpret_cast<const char*>(frame.data()), 4);
    const std::uint32_t length = BE32(&frame[4]);
    at += 10;
    std::string* target = nullptr;
    std::string track;
    if (id == "TIT2") target = &Title;
    else if (id == "TPE1") target = &Artist;
    else if (id == "TALB") target = &Album;
    else if (id == "TRCK") target = &track;
    else if (id == "TYER") target = &Year;
    else if (id == "TCON") target = &Genre;
    else if (id == "COMM") target = &Comment;
    if (target) {
      const auto content = ReadAt(stream, at, std::min<std::uint32_t>(length, 250));
      // Text frames start with an encoding byte; keep the printable text.
      std::string text(content.begin(), content.end());
      if (!text.empty() && static_cast<unsigned char>(text[0]) < 4 && target != &Comment) text.erase(0, 1);
      text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
      *target = text;
      if (target == &track) {
        Track = 0;
        for (char c : track.substr(0, track.find('/'))) {
          if (c == ' ') continue;
          if (c < '0' || c > '9' || Track > 100000) {
            Track = 0;
            break;
          }
          Track = Track * 10 + (c - '0');
        }
      }
    }
    at += length;
  }
  Title = Trim(Title);
  Artist = Trim(Artist);
  Album = Trim(Album);
  Year = Trim(Year);
  const auto paren = Genre.rfind(')');
  if (paren != std::string::npos) Genre.erase(0, paren + 1);
  Genre = Trim(Genre);
  Comment = Comment.size() > 4 ? Trim(Comment.substr(4)) : std::string();
  return true;
}

// --- TMPEGaudio

void TMPEGaudio::Reset() {
  FileLength = 0;
  WaveHeader = false;
  VBR = TVBRData();
  Lame = TLameTag();
  FrameData = TFrameData();
  ID3v1.Reset();
  ID3v2.Reset();
}

namespace {

// Bytes of side information after the header (and its CRC), where a Xing or
// "Info" header stands in a header frame.
std::size_t SideInfoSize(const TMPEGFrameHeader& h) {
  if (h.VersionID == kMPEG1) return h.ModeID != kModeMono ? 36 : 21;
  return h.ModeID != kModeMono ? 21 : 13;
}

}  // namespace

bool IsVBRHeaderFrame(std::span<const std::uint8_t> frame, TLameTag* lame) {
  if (frame.size() < 4 || !IsFrameHeader(frame.data())) return false;
  const TMPEGFrameHeader h = DecodeFrameHeader(frame.data());
  // VBRI stands 32 bytes after the header whatever the channel mode.
  if (frame.size() >= 40 && std::memcmp(&frame[36], "VBRI", 4) == 0) return true;
  const std::size_t at = SideInfoSize(h);
  if (frame.size() < at + 8) return false;
  const bool xing = std::memcmp(&frame[at], "Xing", 4) == 0 || std::memcmp(&frame[at], "Info", 4) == 0;
  if (!xing) return false;
  // The fields the flags announce, then the LAME tag: a 9-character encoder
  // name, and 21 bytes on the 12-bit delay and padding.
  const std::uint32_t flags = BE32(&frame[at + 4]);
  const std::size_t tag = at + 8 + (flags & 1 ? 4 : 0) + (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
  if (lame && tag + 24 <= frame.size() && std::isalpha(frame[tag]) &&
      std::all_of(&frame[tag], &frame[tag + 4], [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; })) {
    lame->Found = true;
    lame->EncoderDelay = static_cast<std::uint16_t>(frame[tag + 21] << 4 | frame[tag + 22] >> 4);
    lame->EncoderPadding = static_cast<std::uint16_t>((frame[tag + 22] & 0x0F) << 8 | frame[tag + 23]);
  }
  return true;
}

bool TMPEGaudio::SearchBlock(const std::vector<std::uint8_t>& block) {
  if (block.size() < kMinBlock) return false;
  const std::size_t used = std::min(block.size(), kBlockUsed);
  for (std::size_t i = 0; i + kMinBlock <= block.size() && i + 4 <= used; ++i) {
    const std::uint8_t* b = &block[i];
    if (!IsFrameHeader(b)) continue;
    const TMPEGFrameHeader h = DecodeFrameHeader(b);
    const std::size_t length = static_cast<std::size_t>(h.FrameLength());
    if (length == 0 || i + length + 4 > used || !IsFrameHeader(&block[i + length])) continue;

    FrameData.Found = true;
    FrameData.Position = static_cast<std::uint32_t>(i);
    FrameData.Size = static_cast<std::uint16_t>(length);
    std::memcpy(FrameData.Header, b, 4);
    FrameData.VersionID = h.VersionID;
    FrameData.LayerID = h.LayerID;
    FrameData.ProtectionBit = !(b[1] & 1);
    FrameData.BitRateID = h.BitRateID;
    FrameData.SampleRateID = h.SampleRateID;
    FrameData.PaddingBit = h.PaddingBit;
    FrameData.PrivateBit = b[2] & 1;
    FrameData.ModeID = h.ModeID;
    FrameData.ModeExtensionID = (b[3] >> 4) & 3;
    FrameData.CopyrightBit = (b[3] >> 3) & 1;
    FrameData.OriginalBit = (b[3] >> 2) & 1;
    FrameData.EmphasisID = b[3] & 3;
    FrameData.Empty = i + 10 <= block.size() && std::all_of(b + 4, b + 10, [](std::uint8_t v) { return v == 0; });

    const std::size_t at = i + SideInfoSize(h);
    if (at + 4 <= block.size() && std::memcmp(&block[at], "Xing", 4) == 0) {
      VBR.Found = true;
      std::memcpy(VBR.ID, "Xing", 4);
      if (at + 16 <= block.size()) {
        VBR.Frames = BE32(&block[at + 8]);
        VBR.Bytes = BE32(&block[at + 12]);
      }
      if (at + 120 <= block.size()) VBR.Scale = block[at + 119];
      for (std::size_t k = 0; k < 8 && at + 120 + k < block.size(); ++k) VBR.VendorID[k] = static_cast<char>(block[at + 120 + k]);
    } else if (at + 4 <= block.size() && std::memcmp(&block[at], "VBRI", 4) == 0) {
      VBR.Found = true;
      std::memcpy(VBR.ID, "VBRI", 4);
      if (at + 18 <= block.size()) {
        VBR.Scale = block[at + 9];
        VBR.Bytes = BE32(&block[at + 10]);
        VBR.Frames = BE32(&block[at + 14]);
      }
    }
    FrameData.HeaderFrame =
        IsVBRHeaderFrame(std::span(block).subspan(i, std::min(length, block.size() - i)), &Lame);
    return true;
  }
  return false;
}

bool TMPEGaudio::ReadFromFile(TStream& stream) {
  Reset();
  ID3v1.ReadFromFile(stream);
  ID3v2.ReadFromFile(stream);
  FileLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(stream.Size(), UINT32_MAX));
  auto block = ReadAt(stream, ID3v2.Size, kBlockSize);
  WaveHeader = block.size() >= 12 && std::memcmp(&block[8], "WAVE", 4) == 0;
  bool found = SearchBlock(block);
  if (!found) {
    block = ReadAt(stream, (FileLength - ID3v2.Size) / 2, kBlockSize);
    found = SearchBlock(block);
  }
  if (!found) Reset();
  return found;
}

int TMPEGaudio::FrameLength() const {
  TMPEGFrameHeader h = DecodeFrameHeader(FrameData.Header);
  return FrameData.Found ? h.FrameLength() : 0;
}

int TMPEGaudio::SampleRate() const { return kSampleRates[FrameData.VersionID & 3][FrameData.SampleRateID & 3]; }

int TMPEGaudio::SamplesPerFrame() const {
  TMPEGFrameHeader h;
  h.VersionID = FrameData.VersionID;
  h.LayerID = FrameData.LayerID;
  return h.SamplesPerFrame();
}

int TMPEGaudio::BitRate() const {
  TMPEGFrameHeader h = DecodeFrameHeader(FrameData.Header);
  if (!FrameData.Found) return 0;
  if (VBR.Found && VBR.Frames > 0 && SampleRate() > 0) {
    const int padding = h.PaddingBit ? (h.LayerID == kLayerI ? 4 : 1) : 0;
    const double rate = (static_cast<double>(VBR.Bytes) / VBR.Frames - padding) * SampleRate() / h.Coefficient() / 1000.0;
    return static_cast<int>(std::nearbyint(std::clamp(rate, 0.0, 100000.0)));  // the header may claim anything
  }
  return h.BitRate();
}

std::uint32_t TMPEGaudio::Frames() const {
  if (VBR.Found) return VBR.Frames;
  const int length = FrameLength();
  const std::int64_t data = static_cast<std::int64_t>(FileLength) - ID3v2.Size - FrameData.Position;
  return length > 0 && data > 0 ? static_cast<std::uint32_t>(data / length) : 0;
}

double TMPEGaudio::Duration() const {
  if (!FrameData.Found || SampleRate() == 0) return 0;
  if (VBR.Found && VBR.Frames > 0) {
    return static_cast<double>(DecodeFrameHeader(FrameData.Header).Coefficient()) * VBR.Frames * 8 / SampleRate();
  }
  const int rate = BitRate();
  const std::int64_t data = static_cast<std::int64_t>(FileLength) - ID3v2.Size - FrameData.Position;
  return rate > 0 && data > 0 ? static_cast<double>(data) * 8 / rate / 1000 : 0;
}

// --- frame walker

std::vector<TMPEGFrame> ListMPEGFrames(std::span<const std::uint8_t> data) {
  std::vector<TMPEGFrame> frames;
  const std::size_t size = data.size();
  TMPEGFrameHeader first;
  bool haveFirst = false;
  auto lengthAt = [&](std::size_t p) -> std::size_t {
    if (p + 4 > size || !IsFrameHeader(&data[p])) return 0;
    const TMPEGFrameHeader h = DecodeFrameHeader(&data[p]);
    if (haveFirst && (h.VersionID != first.VersionID || h.LayerID != first.LayerID ||
                      h.SampleRateID != first.SampleRateID))
      return 0;
    const std::size_t length = static_cast<std::size_t>(h.FrameLength());
    return length >= 4 && p + length <= size ? length : 0;
  };
  bool inSync = false;
  std::size_t p = 0;
  while (p + 4 <= size) {
    std::size_t length = lengthAt(p);
    // Out of step, a header counts only when another one follows it (or the
    // data ends right after it).
    if (length != 0 && !inSync && p + length != size && lengthAt(p + length) == 0) length = 0;
    if (length == 0) {
      inSync = false;
      ++p;
      continue;
    }
    if (!haveFirst) {
      first = DecodeFrameHeader(&data[p]);
      haveFirst = true;
    }
    frames.push_back({static_cast<std::uint32_t>(p), static_cast<std::uint32_t>(length)});
    inSync = true;
    p += length;
  }
  return frames;
}

}  // namespace yel::media
