// MPEG audio decoded with libmpg123 and encoded with libmp3lame at a constant
// bit rate (no Xing frame, so every frame it writes is audio): conversion to
// another rate, and the endless encoding of a loop.
#include "media/mp3_transcoder.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>

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

TDecodedAudio DecodeMPEGAudio(std::span<const std::uint8_t> data, bool gapless, const std::string& name,
                              std::size_t expectedSamples) {
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
  out.Samples.reserve(expectedSamples);
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

namespace {

// The loop's cycle is stretched or squeezed to whole MP3 frames by at most
// this part of its length: 1/2000 moves the pitch by under one cent.
constexpr double kMaxStretch = 1.0 / 2000;

// The whole frames nearest to `samples` (at least one).
std::int64_t CycleLength(std::int64_t samples, std::int64_t n) {
  return std::max<std::int64_t>(1, (samples + n / 2) / n) * n;
}

// `copies` passes end to end, resampled to `length` sample frames as one
// cycle: a windowed-sinc (Lanczos, 8 lobes) interpolation that wraps round,
// so the cycle's end leads into its start as the pass's does.
std::vector<std::int16_t> Stretch(const std::vector<std::int16_t>& pass, int channels, std::int64_t copies,
                                  std::int64_t length) {
  const std::int64_t passLength = static_cast<std::int64_t>(pass.size() / channels);
  const std::int64_t source = passLength * copies;
  std::vector<std::int16_t> out(static_cast<std::size_t>(length * channels));
  if (source == length) {
    for (std::int64_t c = 0; c < copies; ++c)
      std::copy(pass.begin(), pass.end(), out.begin() + c * passLength * channels);
    return out;
  }
  // The kernel's weights at kPhases fractions of a sample (the nearest is
  // used: under 1/4096 of a sample off).
  constexpr int kLobes = 8, kTaps = 2 * kLobes, kPhases = 2048;
  const auto sinc = [](double x) { return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x); };
  std::vector<double> table((kPhases + 1) * kTaps);
  for (int p = 0; p <= kPhases; ++p) {
    double* w = &table[static_cast<std::size_t>(p * kTaps)];
    double sum = 0;
    for (int k = 0; k < kTaps; ++k) {
      const double d = static_cast<double>(p) / kPhases - (k - kLobes + 1);
      w[k] = sinc(d) * sinc(d / kLobes);
      sum += w[k];
    }
    for (int k = 0; k < kTaps; ++k) w[k] /= sum;
  }
  const double step = static_cast<double>(source) / static_cast<double>(length);
  for (std::int64_t i = 0; i < length; ++i) {
    const double x = static_cast<double>(i) * step;
    const auto base = static_cast<std::int64_t>(std::floor(x));
    const auto phase = static_cast<int>(std::lround((x - static_cast<double>(base)) * kPhases));
    const double* w = &table[static_cast<std::size_t>(phase * kTaps)];
    for (int ch = 0; ch < channels; ++ch) {
      double v = 0;
      for (int k = 0; k < kTaps; ++k) {
        const std::int64_t s = (((base + k - kLobes + 1) % source) + source) % source;
        v += w[k] * pass[static_cast<std::size_t>((s % passLength) * channels + ch)];
      }
      out[static_cast<std::size_t>(i * channels + ch)] =
          static_cast<std::int16_t>(std::clamp<long>(std::lround(v), -32768L, 32767L));
    }
  }
  return out;
}

}  // namespace

struct TMP3LoopEncoder::Lame {
  LamePtr gf;
};

TMP3LoopEncoder::TMP3LoopEncoder(std::vector<std::int16_t> pass, int channels, std::uint32_t rate, int kbps,
                                 std::optional<std::int64_t> joinAt, const std::string& name)
    : lame_(std::make_unique<Lame>()), channels_(std::clamp(channels, 1, 2)), name_(name) {
  const std::int64_t length = static_cast<std::int64_t>(pass.size() / channels_);
  if (length == 0) ThrowFileError(name_, "the sound has no samples to loop");
  lame_->gf = NewEncoder(rate, channels_, kbps, false, name_);
  delay_ = lame_get_encoder_delay(lame_->gf.get());
  const std::int64_t n = lame_get_framesize(lame_->gf.get());
  const std::int64_t lead = delay_ + kMPEGDecoderDelay;
  // The cycle: as many passes as bring the stretch to whole frames under
  // kMaxStretch, resampled to those frames.
  std::int64_t copies = 1;
  while (std::llabs(CycleLength(copies * length, n) - copies * length) > kMaxStretch * static_cast<double>(copies * length))
    ++copies;
  const std::int64_t cycle = CycleLength(copies * length, n);
  cycle_frames_ = static_cast<std::size_t>(cycle / n);
  pass_ = Stretch(pass, channels_, copies, cycle);
  const std::int64_t e = joinAt.value_or(0);
  const std::int64_t inPass = ((e % length) + length) % length;
  const std::int64_t at = static_cast<std::int64_t>(std::llround(static_cast<double>(inPass) * cycle / (copies * length)));
  // Frame f of the encoder decodes to the input from f * N - (delay +
  // decoder delay) on: starting the input `drop` frames' worth earlier
  // puts frame `drop` at E. The input starts abruptly there, which the
  // encoder meets with short blocks: a few more frames than the delay
  // needs let it settle on the windows of steady sound before the first
  // kept frame, whose start overlaps the frame before it in the stream.
  drop_ = (lead + n - 1) / n + 4;
  const std::int64_t start = at + lead - drop_ * n;
  position_ = static_cast<std::size_t>(((start % cycle) + cycle) % cycle);
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
  // The encoder runs until it has one cycle's frames, encoded with the end
  // of the cycle before them and its start after them; every cycle reuses
  // those frames.
  while (frames_.size() < cycle_frames_) Encode();
  if (lame_) {
    frames_.resize(cycle_frames_);
    lame_.reset();
    pending_.clear();
    std::vector<std::int16_t>().swap(pass_);  // the frames are all that is given from now on
  }
  std::vector<std::uint8_t> frame = frames_[next_];
  next_ = (next_ + 1) % cycle_frames_;
  return frame;
}

}  // namespace yel::media
