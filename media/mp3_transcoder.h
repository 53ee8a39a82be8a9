// MPEG audio decoded with libmpg123 and encoded again as MP3 with libmp3lame,
// for sources SWF cannot carry as they are (a rate it cannot declare, or a
// layer other than III).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace yel::media {

// MP3 (MPEG Layer III) bytes at `toRate` Hz with `channels` channels, at a
// constant bit rate near `kbps`. Throws yel::Error naming `name` when the
// data cannot be decoded.
std::vector<std::uint8_t> TranscodeMPEGAudio(std::span<const std::uint8_t> data, std::uint32_t toRate, int channels,
                                             int kbps, const std::string& name);

}  // namespace yel::media
