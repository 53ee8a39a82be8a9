// The shape converter alone: edges with a fill on either side become one
// closed contour per fill, whatever order the edges come in; strokes follow
// the fills of their style group.
#include "swf/render/shape_converter.h"

#include <gtest/gtest.h>

#include "tests/swf/render/render_fixtures.h"

namespace yel::swf::render {
namespace {

using testing::RectEdges;
using testing::Solid;

std::unique_ptr<TSWFStyleChangeRecord> Change(int fill0, int fill1, int line, bool move = false, int x = 0,
                                              int y = 0) {
  auto change = std::make_unique<TSWFStyleChangeRecord>();
  if (fill0 >= 0) change->SetFill0(std::uint16_t(fill0));
  if (fill1 >= 0) change->SetFill1(std::uint16_t(fill1));
  if (line >= 0) change->SetLineStyle(std::uint16_t(line));
  change->StateMoveTo = move;
  change->DeltaX = x;
  change->DeltaY = y;
  return change;
}

// Number of contours (moves) of a path, and whether each ends where it began.
struct Contours {
  int count = 0;
  bool closed = true;
};
Contours Count(const TPath& path) {
  Contours c;
  float sx = 0, sy = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i].Op == TPathOp::Move) {
      if (i > 0 && (path[i - 1].X != sx || path[i - 1].Y != sy)) c.closed = false;
      sx = path[i].X, sy = path[i].Y;
      ++c.count;
    }
  }
  if (!path.empty() && (path.back().X != sx || path.back().Y != sy)) c.closed = false;
  return c;
}

TEST(ShapeConverter, ASquareIsOneClosedContour) {
  TSWFShapeRecords edges;
  RectEdges(edges, 0, 0, 200, 100);
  TSWFFillStyles fills;
  fills.push_back(Solid(testing::Rgba(1, 2, 3)));
  const TConvertedShape shape = ConvertShape(edges, fills, {});
  ASSERT_EQ(shape.Layers.size(), 1u);
  EXPECT_FALSE(shape.Layers[0].IsStroke);
  EXPECT_EQ(shape.Layers[0].Path.size(), 5u);
  const Contours c = Count(shape.Layers[0].Path);
  EXPECT_EQ(c.count, 1);
  EXPECT_TRUE(c.closed);
  EXPECT_EQ(shape.XMax, 200);
  EXPECT_EQ(shape.YMax, 100);
}

// Two squares side by side drawn as an outline with the shared edge last:
// fill 1 on the left, fill 2 on the right; the shared edge has fill 2 on
// its left (fill0) and fill 1 on its right (fill1).
TEST(ShapeConverter, ASharedEdgeClosesBothFills) {
  TSWFShapeRecords edges;
  edges.push_back(Change(0, 1, 0, true, 0, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  edges.push_back(Change(-1, 2, -1));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(-100, 0));
  edges.push_back(Change(-1, 1, -1));
  edges.push_back(std::make_unique<TSWFCurvedEdgeRecord>(-50, 0, -50, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, -100));
  edges.push_back(Change(2, 1, -1, true, 100, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  TSWFFillStyles fills;
  fills.push_back(Solid(testing::Rgba(255, 0, 0)));
  fills.push_back(Solid(testing::Rgba(0, 0, 255)));
  const TConvertedShape shape = ConvertShape(edges, fills, {});
  ASSERT_EQ(shape.Layers.size(), 2u);
  for (const TShapeLayer& layer : shape.Layers) {
    const Contours c = Count(layer.Path);
    EXPECT_EQ(c.count, 1);
    EXPECT_TRUE(c.closed);
    EXPECT_EQ(layer.Path.size(), 5u);
  }
  // Rendered, the halves meet without a seam.
  testing::Movie movie(10, 5);
  auto tag = std::make_unique<TSWFDefineShape3>();
  tag->ShapeId = 1;
  tag->ShapeBounds.SetRect(TSWFRectRec{0, 200, 0, 100});
  CopyFillStyles(fills, tag->FillStyles);
  CopyShapeRecords(edges, tag->Edges);
  movie.Add(std::move(tag));
  movie.Add(testing::Place(1, 1));
  movie.ShowFrame();
  const testing::Rendered r = testing::Render(movie.Save());
  EXPECT_EQ(r.At(4, 2), testing::Rgba(255, 0, 0));
  EXPECT_EQ(r.At(5, 2), testing::Rgba(0, 0, 255));
}

TEST(ShapeConverter, StrokesFollowTheFillsOfTheirGroup) {
  TSWFShapeRecords edges;
  edges.push_back(Change(0, 1, 1, true, 0, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(-100, -100));
  // New styles start a second group drawn above the first.
  auto fresh = Change(0, 1, 0, true, 500, 500);
  fresh->NewFillStyles().push_back(Solid(testing::Rgba(0, 255, 0)));
  edges.push_back(std::move(fresh));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(10, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 10));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(-10, -10));
  TSWFFillStyles fills;
  fills.push_back(Solid(testing::Rgba(255, 0, 0)));
  TSWFLineStyles lines;
  lines.push_back(std::make_unique<TSWFLineStyle>());
  lines[0]->Width = 40;
  const TConvertedShape shape = ConvertShape(edges, fills, lines);
  ASSERT_EQ(shape.Layers.size(), 3u);
  EXPECT_FALSE(shape.Layers[0].IsStroke);
  EXPECT_TRUE(shape.Layers[1].IsStroke);
  EXPECT_EQ(shape.Layers[1].Stroke.Width, 40);
  EXPECT_EQ(Count(shape.Layers[1].Path).count, 1);  // one run of connected edges
  EXPECT_FALSE(shape.Layers[2].IsStroke);
  EXPECT_EQ(shape.Layers[2].Path.front().X, 500);
}

TEST(ShapeConverter, StyleIndicesThatNameNoStyleAreSkipped) {
  TSWFShapeRecords edges;
  edges.push_back(Change(7, 9, 4, true, 0, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(100, 0));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, 100));
  // Deltas that would leave 32 bits are held in range.
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0x7FFFFFFF, 0x7FFFFFFF));
  edges.push_back(std::make_unique<TSWFStraightEdgeRecord>(0x7FFFFFFF, 0x7FFFFFFF));
  const TConvertedShape shape = ConvertShape(edges, {}, {});
  EXPECT_TRUE(shape.Empty());
}

}  // namespace
}  // namespace yel::swf::render
