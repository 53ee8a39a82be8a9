// Windows metafiles (WMF, the 16-bit form that came before EMF), placeable
// or not, turned into enhanced metafiles: each WMF record is replayed on a
// recording context, as Windows does when it copies a WMF into an EMF.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace yel::gdi {

// True when the bytes start with a WMF header (placeable or standard).
bool LooksLikeWindowsMetafile(const std::uint8_t* bytes, std::size_t size);

struct ConvertedMetafile {
  std::vector<std::uint8_t> emf;
  // The WMF's picture size in pixels (96 per inch): a placeable file's
  // bounding box at its units per inch, otherwise its window extent; 0 when
  // neither is known (the EMF's frame then comes from the drawing's bounds).
  double width = 0, height = 0;
};

// Converts the pens, brushes, mapping, state and vector drawing records;
// records without an EMF counterpart here (text, bitmaps, palettes, regions)
// are left out, objects they create keep their place in the object table.
// Throws yel::Error naming `name` when the header is not a sound WMF
// header; a damaged record ends the drawing there.
ConvertedMetafile ConvertWindowsMetafile(const std::uint8_t* bytes, std::size_t size, const std::string& name);

}  // namespace yel::gdi
