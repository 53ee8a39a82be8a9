// Helpers of the builder tests: a compact text form of shape records, the
// saving of movies (kept for the swf-parser check when YEL_BUILDER_MOVIES
// names a folder) and reading them back with our own stream reader.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/shape_records.h"
#include "swf/format/swf_stream.h"

namespace yel::swf::testing {

// "M10,20" move (with its style indices as f0/f1/l when set), "L5,0"
// straight edge, "C1,2,3,4" curved edge (control then anchor), "E" end.
inline std::string Describe(const TSWFShapeRecords& records) {
  std::string out;
  for (const auto& record : records) {
    if (!out.empty()) out += ' ';
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const TSWFStyleChangeRecord&>(*record);
        out += "S";
        if (s.StateMoveTo) out += "M" + std::to_string(s.DeltaX) + "," + std::to_string(s.DeltaY);
        if (s.StateFillStyle0) out += "f0=" + std::to_string(s.Fill0());
        if (s.StateFillStyle1) out += "f1=" + std::to_string(s.Fill1());
        if (s.StateLineStyle) out += "l=" + std::to_string(s.LineStyle());
        break;
      }
      case TSWFShapeRecordKind::StraightEdge: {
        const auto& e = static_cast<const TSWFStraightEdgeRecord&>(*record);
        out += "L" + std::to_string(e.DeltaX) + "," + std::to_string(e.DeltaY);
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        out += "C" + std::to_string(c.ControlX) + "," + std::to_string(c.ControlY) + "," +
               std::to_string(c.AnchorX) + "," + std::to_string(c.AnchorY);
        break;
      }
      case TSWFShapeRecordKind::End:
        out += "E";
        break;
    }
  }
  return out;
}

// Where the pen ends after the records, in twips.
inline TPoint EndPoint(const TSWFShapeRecords& records) {
  TPoint p;
  for (const auto& record : records) {
    if (record->RecordKind == TSWFShapeRecordKind::StyleChange) {
      const auto& s = static_cast<const TSWFStyleChangeRecord&>(*record);
      if (s.StateMoveTo) p = {s.DeltaX, s.DeltaY};
    } else if (record->RecordKind == TSWFShapeRecordKind::StraightEdge) {
      const auto& e = static_cast<const TSWFStraightEdgeRecord&>(*record);
      p.X += e.DeltaX;
      p.Y += e.DeltaY;
    } else if (record->RecordKind == TSWFShapeRecordKind::CurvedEdge) {
      const auto& c = static_cast<const TSWFCurvedEdgeRecord&>(*record);
      p.X += c.ControlX + c.AnchorX;
      p.Y += c.ControlY + c.AnchorY;
    }
  }
  return p;
}

// Makes and saves the movie; when YEL_BUILDER_MOVIES is set, also writes it
// there under the test's name (plus suffix) for the independent parser.
inline std::vector<std::uint8_t> SaveMovie(TFlashMovie& movie, const std::string& suffix = "") {
  movie.MakeStream();
  TMemoryStream out;
  movie.SaveToStream(out);
  std::vector<std::uint8_t> bytes = out.TakeBytes();
  if (const char* folder = std::getenv("YEL_BUILDER_MOVIES")) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name() + suffix;
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    WriteFileAtomically(std::string(folder) + "/" + name + ".swf", bytes);
  }
  return bytes;
}

inline std::unique_ptr<TSWFStreamReader> ReadMovie(const std::vector<std::uint8_t>& bytes) {
  auto reader = std::make_unique<TSWFStreamReader>();
  reader->LoadFromBytes(bytes.data(), bytes.size(), "written movie");
  reader->ParseTags();
  return reader;
}

inline std::vector<int> TagCodes(const TSWFStreamReader& reader) {
  std::vector<int> codes;
  for (std::size_t i = 0; i < reader.TagCount(); ++i) codes.push_back(reader.TagInfo(i).TagID);
  return codes;
}

// The placements among a sprite's control tags, in order.
inline std::vector<TFlashPlaceObject*> Placements(TFlashSprite* sprite) {
  std::vector<TFlashPlaceObject*> out;
  for (const auto& tag : sprite->SpriteRecord().ControlTags)
    if (auto* p = dynamic_cast<TFlashPlaceObject*>(tag.get())) out.push_back(p);
  return out;
}

}  // namespace yel::swf::testing
