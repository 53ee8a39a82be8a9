// A small reader of RIFF files: the chunks of the top-level form (for
// example the "fmt " and "data" chunks of a "WAVE" file).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace yel::media {

struct TRiffChunk {
  char ID[4] = {0, 0, 0, 0};
  std::uint32_t Offset = 0;  // first byte of the chunk's data in the file
  std::uint32_t Size = 0;    // bytes of data the file really holds
  bool Truncated = false;    // the chunk claims more bytes than the file has
};

// The chunks of a RIFF form of type `form`, in file order. False when the
// bytes are not such a form. A chunk that claims more bytes than the file
// holds is cut at the end of the file and ends the list; the size in the
// RIFF header is not trusted (writers that stream leave it wrong).
bool ReadRiffChunks(std::span<const std::uint8_t> bytes, const char (&form)[5], std::vector<TRiffChunk>& chunks);

// The first chunk with the id, or null.
const TRiffChunk* FindRiffChunk(const std::vector<TRiffChunk>& chunks, const char (&id)[5]);

}  // namespace yel::media
