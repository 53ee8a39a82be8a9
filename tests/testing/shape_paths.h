// The subpaths of a shape's records with their turning direction, for tests
// that check how figures combine: a hole must run against its outline so
// that the even-odd and the non-zero fill rules give the same picture.
#pragma once

#include <vector>

#include "swf/format/shape_records.h"

namespace yel::testing {

// Twice the signed area of each subpath, in square twips; positive runs
// clockwise on screen (y grows downwards). Quadratic curves count exactly.
inline std::vector<double> SubpathAreas(const swf::TSWFShapeRecords& records) {
  std::vector<double> areas;
  double x = 0, y = 0, startX = 0, startY = 0;
  bool open = false;
  auto cross = [](double ax, double ay, double bx, double by) { return ax * by - bx * ay; };
  // A subpath that does not end where it started is closed by a line.
  auto close = [&] {
    if (open) areas.back() += cross(x, y, startX, startY);
    open = false;
  };
  auto begin = [&] {
    if (!open) areas.push_back(0), open = true, startX = x, startY = y;
  };
  for (const auto& record : records) {
    switch (record->RecordKind) {
      case swf::TSWFShapeRecordKind::StyleChange: {
        const auto& s = static_cast<const swf::TSWFStyleChangeRecord&>(*record);
        if (s.StateMoveTo) close(), x = s.DeltaX, y = s.DeltaY;
        break;
      }
      case swf::TSWFShapeRecordKind::StraightEdge: {
        const auto& e = static_cast<const swf::TSWFStraightEdgeRecord&>(*record);
        begin();
        areas.back() += cross(x, y, x + e.DeltaX, y + e.DeltaY);
        x += e.DeltaX, y += e.DeltaY;
        break;
      }
      case swf::TSWFShapeRecordKind::CurvedEdge: {
        const auto& c = static_cast<const swf::TSWFCurvedEdgeRecord&>(*record);
        begin();
        const double cx = x + c.ControlX, cy = y + c.ControlY, ax = cx + c.AnchorX, ay = cy + c.AnchorY;
        areas.back() += cross(x, y, ax, ay) + 2.0 / 3 * (cross(x, y, cx, cy) + cross(cx, cy, ax, ay) + cross(ax, ay, x, y));
        x = ax, y = ay;
        break;
      }
      case swf::TSWFShapeRecordKind::End:
        break;
    }
  }
  close();
  return areas;
}

}  // namespace yel::testing
