// RIFF chunk reading.
#include "media/riff_reader.h"

#include <cstring>

namespace yel::media {

bool ReadRiffChunks(std::span<const std::uint8_t> bytes, const char (&form)[5], std::vector<TRiffChunk>& chunks) {
  chunks.clear();
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(&bytes[8], form, 4) != 0)
    return false;
  const std::uint64_t end = bytes.size();
  std::uint64_t p = 12;
  while (p + 8 <= end) {
    TRiffChunk chunk;
    std::memcpy(chunk.ID, &bytes[p], 4);
    const std::uint32_t size = static_cast<std::uint32_t>(bytes[p + 4] | bytes[p + 5] << 8 | bytes[p + 6] << 16) |
                               static_cast<std::uint32_t>(bytes[p + 7]) << 24;
    const std::uint64_t data = p + 8;
    chunk.Offset = static_cast<std::uint32_t>(data);
    chunk.Truncated = size > end - data;
    chunk.Size = static_cast<std::uint32_t>(chunk.Truncated ? end - data : size);
    chunks.push_back(chunk);
    if (chunk.Truncated) break;
    p = data + size + (size & 1);  // chunks are padded to an even length
  }
  return true;
}

const TRiffChunk* FindRiffChunk(const std::vector<TRiffChunk>& chunks, const char (&id)[5]) {
  for (const auto& chunk : chunks)
    if (std::memcmp(chunk.ID, id, 4) == 0) return &chunk;
  return nullptr;
}

}  // namespace yel::media
