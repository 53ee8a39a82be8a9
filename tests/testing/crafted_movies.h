// Small hostile movies made in tests: a plain movie of given tags, and a
// compressed one whose body holds a long run of zero bytes (streamed through
// zlib, so a gigabyte of body costs a megabyte of file and no memory).
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace yel::testing {

// The header after signature, version and length: an empty stage (a 1-byte
// rectangle), 12 frames per second, one frame.
inline const std::string kCraftedHeaderRest("\x00\x00\x0c\x01\x00", 5);

inline std::string CraftedLE32(std::uint64_t v) {
  return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24 & 0xFF)};
}

// A tag header: the short form for bodies under 63 bytes unless long.
inline std::string CraftedTagHeader(int code, std::uint64_t length, bool forceLong = false) {
  if (length < 0x3F && !forceLong) {
    const int word = code << 6 | int(length);
    return {char(word & 0xFF), char(word >> 8)};
  }
  const int word = code << 6 | 0x3F;
  return std::string{char(word & 0xFF), char(word >> 8)} + CraftedLE32(length);
}

// "FWS" version 8 with the header above and the given tags.
inline std::string CraftedPlainMovie(const std::string& tags, const std::string& headerRest = kCraftedHeaderRest) {
  return "FWS\x08" + CraftedLE32(8 + headerRest.size() + tags.size()) + headerRest + tags;
}

// "CWS" version 8: before, then zeros zero bytes, then after, compressed.
inline std::string CraftedCompressedMovie(const std::string& before, std::uint64_t zeros, const std::string& after,
                                          const std::string& headerRest = kCraftedHeaderRest) {
  const std::uint64_t length = 8 + headerRest.size() + before.size() + zeros + after.size();
  std::string out = "CWS\x08" + CraftedLE32(length);
  z_stream zs{};
  if (deflateInit(&zs, 9) != Z_OK) throw std::runtime_error("deflateInit");
  static const std::string kZeros(1 << 20, '\0');
  char buffer[1 << 16];
  auto feed = [&](const char* data, std::size_t size, int flush) {
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    zs.avail_in = uInt(size);
    do {
      zs.next_out = reinterpret_cast<Bytef*>(buffer);
      zs.avail_out = sizeof buffer;
      deflate(&zs, flush);
      out.append(buffer, sizeof buffer - zs.avail_out);
    } while (zs.avail_out == 0 || zs.avail_in > 0);
  };
  const std::string head = headerRest + before;
  feed(head.data(), head.size(), Z_NO_FLUSH);
  for (std::uint64_t left = zeros; left > 0;) {
    const std::size_t n = std::size_t(std::min<std::uint64_t>(left, kZeros.size()));
    feed(kZeros.data(), n, Z_NO_FLUSH);
    left -= n;
  }
  feed(after.data(), after.size(), Z_FINISH);
  deflateEnd(&zs);
  return out;
}

}  // namespace yel::testing
