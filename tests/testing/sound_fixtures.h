// Small sound files made in code: WAV files of any format block, sine tones,
// MPEG frames with silent bodies and real MP3 encoded with libmp3lame.
#pragma once

#include <lame/lame.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

namespace yel::testing {

inline void PutLE(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A RIFF WAVE file with the given "fmt " body and data; dataClaim, when not
// 0, is written as the data chunk's size in place of the true one.
inline std::string MakeWav(const std::string& fmt, const std::string& data, std::uint32_t dataClaim = 0) {
  std::string body = "WAVEfmt ";
  PutLE(body, static_cast<std::uint32_t>(fmt.size()), 4);
  body += fmt;
  if (fmt.size() & 1) body.push_back(0);
  body += "data";
  PutLE(body, dataClaim ? dataClaim : static_cast<std::uint32_t>(data.size()), 4);
  body += data;
  std::string file = "RIFF";
  PutLE(file, static_cast<std::uint32_t>(body.size()), 4);
  return file + body;
}

inline std::string PcmFormat(int channels, std::uint32_t rate, int bits, std::uint16_t tag = 1) {
  std::string fmt;
  PutLE(fmt, tag, 2);
  PutLE(fmt, static_cast<std::uint32_t>(channels), 2);
  PutLE(fmt, rate, 4);
  PutLE(fmt, rate * channels * bits / 8, 4);
  PutLE(fmt, static_cast<std::uint32_t>(channels * bits / 8), 2);
  PutLE(fmt, static_cast<std::uint32_t>(bits), 2);
  return fmt;
}

// Interleaved 16-bit sine samples (the same tone on every channel).
inline std::vector<std::int16_t> Sine(std::size_t frames, int channels, double rate, double hz, double amplitude = 12000) {
  std::vector<std::int16_t> s;
  for (std::size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate))));
  return s;
}

inline std::string Bytes16(const std::vector<std::int16_t>& samples) {
  std::string out;
  for (std::int16_t v : samples) PutLE(out, static_cast<std::uint16_t>(v), 2);
  return out;
}

inline std::string PcmWav(const std::vector<std::int16_t>& samples, int channels, std::uint32_t rate) {
  return MakeWav(PcmFormat(channels, rate, 16), Bytes16(samples));
}

// One MPEG frame with the header bytes and a silent body of the header's length.
inline std::string MpegFrame(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::size_t length) {
  std::string frame = {'\xFF', static_cast<char>(b1), static_cast<char>(b2), static_cast<char>(b3)};
  frame.resize(length, '\0');
  return frame;
}

// n frames of MPEG 1 Layer III, 44.1 kHz, 128 kbit/s, stereo, no padding (417 bytes each).
inline std::string CbrFrames(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += MpegFrame(0xFB, 0x90, 0x00, 417);
  return s;
}

// A real MP3 of a sine tone, encoded at a constant bit rate.
inline std::string EncodeMp3(const std::vector<std::int16_t>& samples, int channels, int rate, int kbps) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, rate);
  lame_set_out_samplerate(gf, rate);
  lame_set_num_channels(gf, channels);
  lame_set_mode(gf, channels == 1 ? MONO : JOINT_STEREO);
  lame_set_brate(gf, kbps);
  lame_set_VBR(gf, vbr_off);
  lame_set_bWriteVbrTag(gf, 0);
  lame_init_params(gf);
  const int frames = static_cast<int>(samples.size() / channels);
  std::vector<unsigned char> out(frames * 5 / 4 + 7200);
  std::vector<short> pcm(samples.begin(), samples.end());
  int n = channels == 2 ? lame_encode_buffer_interleaved(gf, pcm.data(), frames, out.data(), static_cast<int>(out.size()))
                        : lame_encode_buffer(gf, pcm.data(), pcm.data(), frames, out.data(), static_cast<int>(out.size()));
  std::string mp3(reinterpret_cast<char*>(out.data()), n > 0 ? n : 0);
  n = lame_encode_flush(gf, out.data(), static_cast<int>(out.size()));
  mp3.append(reinterpret_cast<char*>(out.data()), n > 0 ? n : 0);
  lame_close(gf);
  return mp3;
}

// The longest run of near-silent samples (|v| <= 16) in 16-bit mono data,
// leaving out skipStart samples at the start and skipEnd at the end: its
// length, and where it ends.
struct TSilence {
  std::size_t Length = 0, EndsAt = 0;
};
inline TSilence LongestSilence(const std::string& s16, std::size_t skipStart, std::size_t skipEnd) {
  TSilence longest;
  const std::size_t samples = s16.size() / 2;
  std::size_t run = 0;
  for (std::size_t i = skipStart; i + skipEnd < samples; ++i) {
    const auto v = static_cast<std::int16_t>(static_cast<std::uint8_t>(s16[2 * i]) | s16[2 * i + 1] << 8);
    run = v >= -16 && v <= 16 ? run + 1 : 0;
    if (run > longest.Length) longest = {run, i};
  }
  return longest;
}

}  // namespace yel::testing
