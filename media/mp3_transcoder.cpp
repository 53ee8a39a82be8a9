// MPEG audio decoded with libmpg123 and encoded with libmp3lame at a constant
// bit rate (no Xing frame, so every frame it writes is audio): conversion to
// another rate, and the endless encoding of a loop.
#include "media/mp3_transcoder.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <memory>

#include "base/error.h"
#include "media/mpeg_audio.h"
#include "media/sound_reader.h"

namespace yel::media {
namespace {

struct Mpg123Deleter {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};
struct LameDeleter {
  void operator()(lame_global_flags* g) const { lame_close(g); }
};

using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

// A constant-bit-rate encoder at one rate, without a Xing frame.
LamePtr NewEncoder(std::uint32_t rate, int channels, int kbps, bool reservoir, const std::string& name) {
  // The MPEG versions at these rates allow 8..64 (11 kHz), 8..160 (22 kHz)
  // and 32..320 kbit/s (44 kHz); LAME picks the nearest legal rate inside.
  const int maxRate = rate <= 12000 ? 64 : rate <= 24000 ? 160 : 320;
  const int minRate = rate >= 32000 ? 32 : 8;
  kbps = std::clamp(kbps, minRate, maxRate);
  LamePtr gf(lame_init());
  if (!gf) ThrowFileError(name, "the MP3 encoder could not start");
  lame_set_in_samplerate(gf.get(), static_cast<int>(rate));
  lame_set_out_samplerate(gf.get(), static_cast<int>(rate));
  lame_set_num_channels(gf.get(), channels);
  lame_set_mode(gf.get(), channels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(gf.get(), vbr_off);
  lame_set_brate(gf.get(), kbps);
  lame_set_bWriteVbrTag(gf.get(), 0);
  lame_set_disable_reservoir(gf.get(), reservoir ? 0 : 1);
  lame_set_quality(gf.get(), 5);
  if (lame_init_params(gf.get()) < 0) ThrowFileError(name, "the MP3 encoder refused the sound's parameters");
  return gf;
}

// Encodes `frames` sample frames; appends the bytes that came out.
void EncodeInto(lame_global_flags* gf, const std::int16_t* in, std::size_t frames, int channels,
                std::vector<std::uint8_t>& out, const std::string& name) {
  constexpr std::size_t kChunk = 8192;
  std::vector<unsigned char> buffer(kChunk * 5 / 4 + 7200);
  for (std::size_t f = 0; f < frames; f += kChunk) {
    const int n = static_cast<int>(std::min(kChunk, frames - f));
    short* at = const_cast<short*>(in + f * channels);  // LAME does not write its input
    const int written = channels == 2
                            ? lame_encode_buffer_interleaved(gf, at, n, buffer.data(), static_cast<int>(buffer.size()))
                            : lame_encode_buffer(gf, at, at, n, buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0) ThrowFileError(name, "the MP3 encoder failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
}

}  // namespace

TDecodedAudio DecodeMPEGAudio(std::span<const std::uint8_t> data, bool gapless, const std::string& name) {
  int error = MPG123_OK;
  std::unique_ptr<mpg123_handle, Mpg123Deleter> mh(mpg123_new(nullptr, &error));
  if (!mh) ThrowFileError(name, "the MPEG audio decoder could not start");
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_param(mh.get(), gapless ? MPG123_ADD_FLAGS : MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0);
  mpg123_format_none(mh.get());
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  for (std::size_t i = 0; i < count; ++i)
    mpg123_format(mh.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(mh.get()) != MPG123_OK) ThrowFileError(name, "the MPEG audio decoder could not start");

  TDecodedAudio out;
  std::vector<unsigned char> buffer(1 << 16);
  constexpr std::size_t kFeed = 1 << 16;
  std::size_t fed = 0;
  for (;;) {
    std::size_t done = 0;
    const int result = mpg123_read(mh.get(), buffer.data(), buffer.size(), &done);
    if (done > 0) {
      const auto* s = reinterpret_cast<const std::int16_t*>(buffer.data());
      out.Samples.insert(out.Samples.end(), s, s + done / 2);
    }
    if (result == MPG123_NEW_FORMAT) {
      int channels = 0, encoding = 0;
      long rate = 0;
      mpg123_getformat(mh.get(), &rate, &channels, &encoding);
      if (out.Rate != 0 && (rate != long(out.Rate) || channels != out.Channels)) break;  // a second stream: stop there
      out.Rate = static_cast<std::uint32_t>(rate);
      out.Channels = channels;
    } else if (result == MPG123_NEED_MORE) {
      if (fed >= data.size()) break;
      const std::size_t take = std::min(kFeed, data.size() - fed);
      if (mpg123_feed(mh.get(), data.data() + fed, take) != MPG123_OK) break;
      fed += take;
    } else if (result == MPG123_DONE) {
      break;
    } else if (result != MPG123_OK) {
      // A damaged frame: skip on, as players do.
      if (fed >= data.size() && done == 0) break;
    }
  }
  if (out.Rate == 0 || out.Channels == 0 || out.Samples.empty())
    ThrowFileError(name, "the MPEG audio could not be decoded");
  out.Samples.resize(out.Samples.size() - out.Samples.size() % static_cast<std::size_t>(out.Channels));
  return out;
}

TTranscoded TranscodeMPEGAudio(std::span<const std::uint8_t> data, std::uint32_t toRate, int kbps,
                               const std::string& name) {
  TDecodedAudio pcm = DecodeMPEGAudio(data, true, name);
  const int channels = std::clamp(pcm.Channels, 1, 2);
  // Resampled here rather than inside LAME, so that the encoder's delay is
  // all the delay there is.
  if (pcm.Rate != toRate) pcm.Samples = ResampleAudio(pcm.Samples, channels, pcm.Rate, toRate);
  LamePtr gf = NewEncoder(toRate, channels, kbps, true, name);
  TTranscoded out;
  EncodeInto(gf.get(), pcm.Samples.data(), pcm.Samples.size() / channels, channels, out.Bytes, name);
  std::vector<unsigned char> tail(7200);
  const int written = lame_encode_flush(gf.get(), tail.data(), static_cast<int>(tail.size()));
  if (written > 0) out.Bytes.insert(out.Bytes.end(), tail.begin(), tail.begin() + written);
  out.EncoderDelay = lame_get_encoder_delay(gf.get());
  out.EncoderPadding = lame_get_encoder_padding(gf.get());
  return out;
}

struct TMP3LoopEncoder::Lame {
  LamePtr gf;
};

TMP3LoopEncoder::TMP3LoopEncoder(std::vector<std::int16_t> pass, int channels, std::uint32_t rate, int kbps,
                                 std::optional<std::int64_t> joinAt, const std::string& name)
    : lame_(std::make_unique<Lame>()), pass_(std::move(pass)), channels_(std::clamp(channels, 1, 2)), name_(name) {
  const std::int64_t length = static_cast<std::int64_t>(pass_.size() / channels_);
  if (length == 0) ThrowFileError(name_, "the sound has no samples to loop");
  lame_->gf = NewEncoder(rate, channels_, kbps, false, name_);
  delay_ = lame_get_encoder_delay(lame_->gf.get());
  if (joinAt) {
    // Frame f of the encoder decodes to the input from f * N - (delay +
    // decoder delay) on: starting the input `drop` frames' worth earlier
    // puts frame `drop` at E. The input starts abruptly there, which the
    // encoder meets with short blocks: a few more frames than the delay
    // needs let it settle on the windows of steady sound before the first
    // kept frame, whose start overlaps the frame before it in the stream.
    const std::int64_t n = lame_get_framesize(lame_->gf.get());
    const std::int64_t lead = delay_ + kMPEGDecoderDelay;
    drop_ = (lead + n - 1) / n + 4;
    const std::int64_t start = *joinAt + lead - drop_ * n;
    position_ = static_cast<std::size_t>(((start % length) + length) % length);
  }
}

TMP3LoopEncoder::~TMP3LoopEncoder() = default;

void TMP3LoopEncoder::Encode() {
  // A few frames' worth of the pass, from where it stands, wrapping round.
  const std::size_t length = pass_.size() / channels_;
  std::size_t left = 4608;
  while (left > 0) {
    const std::size_t take = std::min(left, length - position_);
    EncodeInto(lame_->gf.get(), pass_.data() + position_ * channels_, take, channels_, pending_, name_);
    position_ = (position_ + take) % length;
    left -= take;
  }
  // Whole frames off the front.
  std::size_t at = 0;
  while (at + 4 <= pending_.size()) {
    if (!IsFrameHeader(&pending_[at])) ThrowFileError(name_, "the MP3 encoder wrote no frame");
    const std::size_t length = static_cast<std::size_t>(DecodeFrameHeader(&pending_[at]).FrameLength());
    if (at + length > pending_.size()) break;
    if (drop_ > 0) --drop_;
    else frames_.emplace_back(pending_.begin() + at, pending_.begin() + at + length);
    at += length;
  }
  pending_.erase(pending_.begin(), pending_.begin() + at);
}

std::vector<std::uint8_t> TMP3LoopEncoder::NextFrame() {
  while (frames_.empty()) Encode();
  std::vector<std::uint8_t> frame = std::move(frames_.front());
  frames_.pop_front();
  return frame;
}

}  // namespace yel::media
