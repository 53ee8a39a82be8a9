// The shape converter: edges sorted by fill style, joined end to start into
// closed contours, and stroke runs per line style.
#include "swf/render/shape_converter.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

namespace yel::swf::render {
namespace {

struct Edge {
  std::int32_t X0, Y0, CX, CY, X1, Y1;
  bool Curve;
  Edge Reversed() const { return {X1, Y1, CX, CY, X0, Y0, Curve}; }
};

std::uint64_t PointKey(std::int32_t x, std::int32_t y) {
  return (std::uint64_t(std::uint32_t(x)) << 32) | std::uint32_t(y);
}

void AppendEdge(TPath& path, const Edge& e) {
  if (e.Curve) {
    path.push_back({TPathOp::Quad, float(e.X1), float(e.Y1), float(e.CX), float(e.CY)});
  } else {
    path.push_back({TPathOp::Line, float(e.X1), float(e.Y1), 0, 0});
  }
}

// Joins the edges of one fill into contours: each contour follows edges
// whose start is the previous edge's end; a contour that cannot be followed
// further stays open (the back end closes it).
TPath LinkFill(const std::vector<Edge>& edges) {
  TPath path;
  path.reserve(edges.size() + 4);
  std::vector<bool> used(edges.size(), false);
  std::unordered_multimap<std::uint64_t, std::size_t> byStart;
  byStart.reserve(edges.size());
  for (std::size_t i = 0; i < edges.size(); ++i) byStart.emplace(PointKey(edges[i].X0, edges[i].Y0), i);

  auto take = [&](std::int32_t x, std::int32_t y, std::size_t hint) -> std::size_t {
    if (hint < edges.size() && !used[hint] && edges[hint].X0 == x && edges[hint].Y0 == y) return hint;
    auto [first, last] = byStart.equal_range(PointKey(x, y));
    for (auto it = first; it != last; ++it)
      if (!used[it->second]) return it->second;
    return edges.size();
  };

  for (std::size_t i = 0; i < edges.size(); ++i) {
    if (used[i]) continue;
    const std::int32_t startX = edges[i].X0, startY = edges[i].Y0;
    path.push_back({TPathOp::Move, float(startX), float(startY), 0, 0});
    std::size_t at = i;
    while (at < edges.size()) {
      used[at] = true;
      const Edge& e = edges[at];
      AppendEdge(path, e);
      if (e.X1 == startX && e.Y1 == startY) break;
      at = take(e.X1, e.Y1, at + 1);
    }
  }
  return path;
}

std::unique_ptr<TSWFFillStyle> LinePaint(const TSWFLineStyle& line) {
  if (const auto* line2 = dynamic_cast<const TSWFLineStyle2*>(&line)) {
    if (line2->HasFillFlag && line2->FillStyle()) return CloneFillStyle(*line2->FillStyle());
  }
  auto solid = std::make_unique<TSWFColorFill>();
  solid->Color.SetRGBA(line.Color.RGBA());
  return solid;
}

TStroke LineStroke(const TSWFLineStyle& line) {
  TStroke stroke;
  stroke.Width = line.Width;
  if (const auto* line2 = dynamic_cast<const TSWFLineStyle2*>(&line)) {
    stroke.Cap = line2->StartCapStyle;
    stroke.Join = line2->JoinStyle;
    stroke.MiterLimit = line2->MiterLimitFactor > 0 ? line2->MiterLimitFactor : 3;
    stroke.NoHScale = line2->NoHScaleFlag;
    stroke.NoVScale = line2->NoVScaleFlag;
    stroke.NoClose = line2->NoClose;
  }
  return stroke;
}

// The edges of one style group (the styles in force between two sets of
// new styles).
struct StyleGroup {
  const TSWFFillStyles* Fills = nullptr;
  const TSWFLineStyles* Lines = nullptr;
  std::vector<std::vector<Edge>> FillEdges;  // by fill index - 1
  std::vector<TPath> LinePaths;              // by line index - 1
  // Where each line path's pen stands.
  std::vector<std::pair<std::int64_t, std::int64_t>> LineEnds;
};

}  // namespace

std::vector<std::uint16_t> TConvertedShape::BitmapIds() const {
  std::vector<std::uint16_t> ids;
  for (const auto& layer : Layers)
    if (const auto* image = dynamic_cast<const TSWFImageFill*>(layer.Paint.get())) ids.push_back(image->BitmapId);
  return ids;
}

TConvertedShape ConvertShape(const TSWFShapeRecords& records, const TSWFFillStyles& fills,
                             const TSWFLineStyles& lines, const TSWFFillStyle* glyphFill) {
  std::vector<StyleGroup> groups(1);
  auto startGroup = [&](const TSWFFillStyles& f, const TSWFLineStyles& l) {
    StyleGroup& g = groups.back();
    g.Fills = &f;
    g.Lines = &l;
    g.FillEdges.assign(glyphFill ? 1 : f.size(), {});
    g.LinePaths.assign(glyphFill ? 0 : l.size(), {});
    g.LineEnds.assign(g.LinePaths.size(), {std::numeric_limits<std::int64_t>::min(), 0});
  };
  startGroup(fills, lines);

  TConvertedShape shape;
  float xmin = std::numeric_limits<float>::max(), ymin = xmin;
  float xmax = std::numeric_limits<float>::lowest(), ymax = xmax;
  auto grow = [&](std::int32_t x, std::int32_t y) {
    xmin = std::min(xmin, float(x));
    ymin = std::min(ymin, float(y));
    xmax = std::max(xmax, float(x));
    ymax = std::max(ymax, float(y));
  };

  // Positions are kept in 32 bits: deltas of a damaged shape wrap instead
  // of overflowing.
  std::int32_t x = 0, y = 0;
  std::uint32_t fill0 = 0, fill1 = 0, line = 0;
  auto clampTo = [](std::int64_t v) {
    return std::int32_t(std::clamp<std::int64_t>(v, -(std::int64_t(1) << 30), std::int64_t(1) << 30));
  };

  auto addEdge = [&](const Edge& e) {
    StyleGroup& g = groups.back();
    grow(e.X1, e.Y1);
    if (e.Curve) grow(e.CX, e.CY);
    if (glyphFill) {
      if ((fill0 != 0) != (fill1 != 0)) g.FillEdges[0].push_back(fill1 ? e : e.Reversed());
      return;
    }
    if (fill0 != fill1) {
      if (fill1 >= 1 && fill1 <= g.FillEdges.size()) g.FillEdges[fill1 - 1].push_back(e);
      if (fill0 >= 1 && fill0 <= g.FillEdges.size()) g.FillEdges[fill0 - 1].push_back(e.Reversed());
    }
    if (line >= 1 && line <= g.LinePaths.size()) {
      TPath& path = g.LinePaths[line - 1];
      auto& end = g.LineEnds[line - 1];
      if (end.first != e.X0 || end.second != e.Y0) path.push_back({TPathOp::Move, float(e.X0), float(e.Y0), 0, 0});
      AppendEdge(path, e);
      end = {e.X1, e.Y1};
    }
  };

  for (const auto& record : records) {
    switch (record->RecordKind) {
      case TSWFShapeRecordKind::End: break;
      case TSWFShapeRecordKind::StyleChange: {
        const auto& change = static_cast<const TSWFStyleChangeRecord&>(*record);
        if (change.StateNewStyles && !glyphFill) {
          groups.emplace_back();
          startGroup(change.NewFillStyles(), change.NewLineStyles());
          fill0 = fill1 = line = 0;
        }
        if (change.StateMoveTo) {
          x = clampTo(change.DeltaX);
          y = clampTo(change.DeltaY);
          grow(x, y);
        }
        if (change.StateFillStyle0) fill0 = change.Fill0();
        if (change.StateFillStyle1) fill1 = change.Fill1();
        if (change.StateLineStyle) line = change.LineStyle();
        break;
      }
      case TSWFShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const TSWFStraightEdgeRecord&>(*record);
        const std::int32_t nx = clampTo(std::int64_t(x) + edge.DeltaX), ny = clampTo(std::int64_t(y) + edge.DeltaY);
        addEdge({x, y, 0, 0, nx, ny, false});
        x = nx;
        y = ny;
        break;
      }
      case TSWFShapeRecordKind::CurvedEdge: {
        const auto& edge = static_cast<const TSWFCurvedEdgeRecord&>(*record);
        const std::int32_t cx = clampTo(std::int64_t(x) + edge.ControlX), cy = clampTo(std::int64_t(y) + edge.ControlY);
        const std::int32_t nx = clampTo(std::int64_t(cx) + edge.AnchorX), ny = clampTo(std::int64_t(cy) + edge.AnchorY);
        addEdge({x, y, cx, cy, nx, ny, true});
        x = nx;
        y = ny;
        break;
      }
    }
  }

  for (StyleGroup& g : groups) {
    for (std::size_t i = 0; i < g.FillEdges.size(); ++i) {
      if (g.FillEdges[i].empty()) continue;
      const TSWFFillStyle* paint = glyphFill ? glyphFill : (*g.Fills)[i].get();
      if (!paint) continue;
      TShapeLayer layer;
      layer.Paint = CloneFillStyle(*paint);
      layer.Path = LinkFill(g.FillEdges[i]);
      shape.Layers.push_back(std::move(layer));
    }
    for (std::size_t i = 0; i < g.LinePaths.size(); ++i) {
      if (g.LinePaths[i].empty() || !(*g.Lines)[i]) continue;
      TShapeLayer layer;
      layer.IsStroke = true;
      layer.Paint = LinePaint(*(*g.Lines)[i]);
      layer.Stroke = LineStroke(*(*g.Lines)[i]);
      layer.Path = std::move(g.LinePaths[i]);
      shape.Layers.push_back(std::move(layer));
    }
  }
  if (xmin <= xmax) {
    shape.XMin = xmin;
    shape.YMin = ymin;
    shape.XMax = xmax;
    shape.YMax = ymax;
  }
  return shape;
}

}  // namespace yel::swf::render
