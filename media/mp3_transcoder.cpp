// MPEG audio to MP3 at another rate: libmpg123 decodes to 16-bit PCM,
// libmp3lame resamples and encodes at a constant bit rate (no Xing frame, so
// every frame it writes is audio).
#include "media/mp3_transcoder.h"

#include <lame/lame.h>
#include <mpg123.h>

#include <algorithm>
#include <memory>

#include "base/error.h"

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

// Decoded audio: interleaved 16-bit samples, their rate and channel count.
struct Decoded {
  std::vector<std::int16_t> samples;
  long rate = 0;
  int channels = 0;
};

Decoded Decode(std::span<const std::uint8_t> data, const std::string& name) {
  int error = MPG123_OK;
  std::unique_ptr<mpg123_handle, Mpg123Deleter> mh(mpg123_new(nullptr, &error));
  if (!mh) ThrowFileError(name, "the MPEG audio decoder could not start");
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(mh.get());
  const long* rates = nullptr;
  std::size_t count = 0;
  mpg123_rates(&rates, &count);
  for (std::size_t i = 0; i < count; ++i)
    mpg123_format(mh.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(mh.get()) != MPG123_OK) ThrowFileError(name, "the MPEG audio decoder could not start");

  Decoded out;
  std::vector<unsigned char> buffer(1 << 16);
  constexpr std::size_t kFeed = 1 << 16;
  std::size_t fed = 0;
  for (;;) {
    std::size_t done = 0;
    const int result = mpg123_read(mh.get(), buffer.data(), buffer.size(), &done);
    if (done > 0) {
      const auto* s = reinterpret_cast<const std::int16_t*>(buffer.data());
      out.samples.insert(out.samples.end(), s, s + done / 2);
    }
    if (result == MPG123_NEW_FORMAT) {
      int channels = 0, encoding = 0;
      long rate = 0;
      mpg123_getformat(mh.get(), &rate, &channels, &encoding);
      if (out.rate != 0 && (rate != out.rate || channels != out.channels)) break;  // a second stream: stop there
      out.rate = rate;
      out.channels = channels;
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
  if (out.rate == 0 || out.channels == 0 || out.samples.empty())
    ThrowFileError(name, "the MPEG audio could not be decoded");
  out.samples.resize(out.samples.size() - out.samples.size() % static_cast<std::size_t>(out.channels));
  return out;
}

}  // namespace

std::vector<std::uint8_t> TranscodeMPEGAudio(std::span<const std::uint8_t> data, std::uint32_t toRate, int channels,
                                             int kbps, const std::string& name) {
  Decoded pcm = Decode(data, name);
  (void)channels;  // the decoder reports the channels of the stream itself
  const int outChannels = std::clamp(pcm.channels, 1, 2);
  // The MPEG versions at these rates allow 8..64 (11 kHz), 8..160 (22 kHz)
  // and 32..320 kbit/s (44 kHz); LAME picks the nearest legal rate inside.
  const int maxRate = toRate <= 12000 ? 64 : toRate <= 24000 ? 160 : 320;
  const int minRate = toRate >= 32000 ? 32 : 8;
  kbps = std::clamp(kbps, minRate, maxRate);

  std::unique_ptr<lame_global_flags, LameDeleter> gf(lame_init());
  if (!gf) ThrowFileError(name, "the MP3 encoder could not start");
  lame_set_in_samplerate(gf.get(), static_cast<int>(pcm.rate));
  lame_set_out_samplerate(gf.get(), static_cast<int>(toRate));
  lame_set_num_channels(gf.get(), outChannels);
  lame_set_mode(gf.get(), outChannels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(gf.get(), vbr_off);
  lame_set_brate(gf.get(), kbps);
  lame_set_bWriteVbrTag(gf.get(), 0);
  lame_set_quality(gf.get(), 5);
  if (lame_init_params(gf.get()) < 0) ThrowFileError(name, "the MP3 encoder refused the sound's parameters");

  std::vector<std::uint8_t> mp3;
  const std::size_t frames = pcm.samples.size() / outChannels;
  constexpr std::size_t kChunk = 8192;
  std::vector<unsigned char> out(kChunk * 5 / 4 + 7200);
  for (std::size_t f = 0; f < frames; f += kChunk) {
    const int n = static_cast<int>(std::min(kChunk, frames - f));
    short* in = pcm.samples.data() + f * outChannels;
    const int written = outChannels == 2
                            ? lame_encode_buffer_interleaved(gf.get(), in, n, out.data(), static_cast<int>(out.size()))
                            : lame_encode_buffer(gf.get(), in, in, n, out.data(), static_cast<int>(out.size()));
    if (written < 0) ThrowFileError(name, "the MP3 encoder failed");
    mp3.insert(mp3.end(), out.begin(), out.begin() + written);
  }
  const int written = lame_encode_flush(gf.get(), out.data(), static_cast<int>(out.size()));
  if (written > 0) mp3.insert(mp3.end(), out.begin(), out.begin() + written);
  return mp3;
}

}  // namespace yel::media
