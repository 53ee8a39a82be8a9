// Import of external SWF files: ids given to the import and its characters,
// what each import type writes, font renaming, and real movies imported
// whole (the written movies also go through the swf-parser check).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "base/error.h"
#include "base/files.h"
#include "builder_test_util.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/control_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/place_object_tags.h"
#include "swf/format/shape_tags.h"
#include "swf/format/text_tags.h"
#include "tests/testing/corpus.h"
#include "tests/testing/temp_dir.h"

namespace yel::swf {
namespace {

using testing::ReadMovie;
using testing::SaveMovie;
using testing::TagCodes;

// A movie of three shapes over two frames, with a background colour.
std::vector<std::uint8_t> ThreeShapeMovie() {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  movie.BackgroundColor().SetRGB(0x1E140A);
  TFlashShape* a = movie.AddRectangle(0, 0, 10, 10);
  TFlashShape* b = movie.AddRectangle(10, 10, 30, 30);
  TFlashShape* c = movie.AddRectangle(40, 40, 60, 60);
  for (TFlashShape* s : {a, b, c}) s->SetSolidColor(0x0000C8);
  movie.PlaceObject(a, 1);
  movie.PlaceObject(b, 2);
  movie.ShowFrame();
  movie.PlaceObject(c, 3);
  movie.ShowFrame();
  movie.MakeStream();
  TMemoryStream out;
  movie.SaveToStream(out);
  return out.TakeBytes();
}

std::vector<std::uint16_t> ShapeIds(TSWFStreamReader& reader) {
  std::vector<std::uint16_t> ids;
  for (std::size_t i = 0; i < reader.TagCount(); ++i)
    if (auto* shape = dynamic_cast<TSWFDefineShape*>(reader.TagInfo(i).TagObject)) ids.push_back(shape->ShapeId);
  return ids;
}

std::vector<std::uint16_t> PlacedIds(const std::vector<std::unique_ptr<TBasedSWFObject>>& tags) {
  std::vector<std::uint16_t> ids;
  for (const auto& t : tags)
    if (auto* place = dynamic_cast<TSWFPlaceObject2*>(t.get()); place && place->HasCharacter)
      ids.push_back(place->CharacterId);
  return ids;
}

int Count(const std::vector<int>& codes, int code) { return static_cast<int>(std::count(codes.begin(), codes.end(), code)); }

TEST(ExternalMovieTest, SpriteImportTakesIdsAfterItsOwnAndLeavesOneFree) {
  TMemoryStream file;
  auto bytes = ThreeShapeMovie();
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  movie.NextID = 10;
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimSprite, true);
  EXPECT_EQ(import->CharacterId(), 10);
  ASSERT_NE(import->Sprite(), nullptr);
  EXPECT_EQ(import->Sprite()->CharacterId(), 10);
  EXPECT_EQ(import->Sprite()->FrameCount(), 2);
  EXPECT_EQ(movie.Sprites().Last(), import->Sprite());
  EXPECT_EQ(movie.NextID, 15);
  movie.PlaceObject(import->Sprite(), 1);
  movie.ShowFrame();

  auto out = ReadMovie(SaveMovie(movie));
  auto codes = TagCodes(*out);
  EXPECT_EQ(ShapeIds(*out), (std::vector<std::uint16_t>{11, 12, 13}));
  EXPECT_EQ(Count(codes, 9), 0) << "the file's background colour stays out";
  EXPECT_EQ(Count(codes, 0), 1);
  EXPECT_EQ(Count(codes, 1), 1) << "the file's frames went into the sprite";
  EXPECT_EQ(out->FrameCount, 1);
  TSWFDefineSprite* sprite = nullptr;
  for (std::size_t i = 0; i < out->TagCount(); ++i)
    if (auto* s = dynamic_cast<TSWFDefineSprite*>(out->TagInfo(i).TagObject)) sprite = s;
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->SpriteId, 10);
  EXPECT_EQ(sprite->FrameCount, 2);
  EXPECT_EQ(PlacedIds(sprite->ControlTags), (std::vector<std::uint16_t>{11, 12, 13}));
}

TEST(ExternalMovieTest, RootResourceAndNoFrameRootWriteWhatTheirTypeTakes) {
  const auto bytes = ThreeShapeMovie();
  const std::string path = ::testing::TempDir() + "/three_shapes.swf";
  WriteFileAtomically(path, bytes);
  struct Case {
    std::uint8_t type;
    bool endFrame;  // the caller ends the current frame
    int frames, placements;
  } cases[] = {{eimRoot, false, 2, 3}, {eimResource, false, 0, 0}, {eimNoFrameRoot, true, 1, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.type});
    TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
    movie.NextID = 10;
    TFlashExternalMovie* import = movie.AddExternalMovie(path, c.type, true);
    EXPECT_EQ(import->CharacterId(), 10);
    EXPECT_EQ(import->Sprite(), nullptr);
    EXPECT_EQ(movie.NextID, 14);
    if (c.endFrame) movie.ShowFrame();
    auto out = ReadMovie(SaveMovie(movie, "_" + std::to_string(c.type)));
    auto codes = TagCodes(*out);
    EXPECT_EQ(ShapeIds(*out), (std::vector<std::uint16_t>{10, 11, 12}));
    EXPECT_EQ(Count(codes, 1), c.frames);
    EXPECT_EQ(out->FrameCount, c.frames);
    EXPECT_EQ(Count(codes, 26), c.placements);
    EXPECT_EQ(Count(codes, 9), 0);
    EXPECT_EQ(Count(codes, 0), 1);
  }
}

// A movie written straight into a file or a stream has the bytes MakeStream
// and SaveToStream give, plain or compressed, also with a root import whose
// frames are known only once it is written. A movie that writes itself
// differently the second time is an error that leaves no file.
TEST(ExternalMovieTest, MovieWrittenStraightToAFileHasTheSavedBytes) {
  yel::testing::TempDir dir;
  auto import_into = [](TFlashMovie& movie) {
    TMemoryStream file;
    auto bytes = ThreeShapeMovie();
    file.Write(bytes.data(), bytes.size());
    return movie.AddExternalMovie(file, eimRoot, true);
  };
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed);
    TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
    movie.SetCompressed(compressed);
    movie.BackgroundColor().SetRGB(0x102030);
    import_into(movie);
    movie.PlaceObject(movie.AddRectangle(0, 0, 10, 10), 10);
    movie.ShowFrame(2);
    const std::string path = dir / "straight.swf";
    movie.MakeStreamToFile(path);
    EXPECT_EQ(movie.BodyStream().Size(), 0u);
    EXPECT_EQ(movie.FrameCount, 4);
    TMemoryStream into;
    movie.MakeStreamInto(into);
    EXPECT_EQ(movie.BodyStream().Size(), 0u);
    const std::vector<std::uint8_t> saved = SaveMovie(movie);
    EXPECT_EQ(ReadFileBytes(path), saved);
    EXPECT_EQ(into.Bytes(), saved);
  }
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  TFlashExternalMovie* import = import_into(movie);
  import->OnImportTag = [shown = 0](TSWFObject& tag, bool& include) mutable {
    if (tag.TagID == tag::ShowFrame) include = ++shown == 1;  // only the first frame ever offered
  };
  const std::string path = dir / "changing.swf";
  EXPECT_THROW(movie.MakeStreamToFile(path), Error);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(ExternalMovieTest, WithoutRenumberingIdsStayAndNextIdStillMoves) {
  TMemoryStream file;
  auto bytes = ThreeShapeMovie();
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  movie.NextID = 10;
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimRoot, false);
  EXPECT_EQ(import->CharacterCount(), 3);
  EXPECT_EQ(movie.NextID, 14);
  auto out = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(ShapeIds(*out), (std::vector<std::uint16_t>{1, 2, 3}));
}

TEST(ExternalMovieTest, OnImportTagLeavesOutWhatTheHandlerRefuses) {
  TMemoryStream file;
  auto bytes = ThreeShapeMovie();
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 200, 200, 12, TSWFSystemCoord::Pix);
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimRoot, true);
  std::vector<int> offered;
  import->OnImportTag = [&](TSWFObject& tag, bool& include) {
    offered.push_back(tag.TagID);
    if (tag.TagID == tag::ShowFrame && Count(offered, tag::ShowFrame) == 2) include = false;  // drop the second frame
  };
  auto out = ReadMovie(SaveMovie(movie));
  EXPECT_EQ(Count(offered, 9), 0) << "file tags are never offered";
  EXPECT_EQ(Count(offered, 0), 0);
  EXPECT_EQ(Count(offered, 1), 2);
  EXPECT_EQ(Count(TagCodes(*out), 1), 1);
  EXPECT_EQ(out->FrameCount, 1) << "the header counts the frames actually written";
}

// SWF bytes: header (version 8, 100 x 100 px) and the given tags.
std::vector<std::uint8_t> Swf(const std::vector<std::vector<std::uint8_t>>& tags) {
  std::vector<std::uint8_t> body = {0x00};  // an empty RECT
  body.insert(body.end(), {0x00, 0x0C, 0x01, 0x00});                                      // 12 fps, 1 frame
  for (const auto& t : tags) body.insert(body.end(), t.begin(), t.end());
  std::vector<std::uint8_t> out = {'F', 'W', 'S', 8};
  std::uint32_t length = static_cast<std::uint32_t>(body.size() + 8);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<std::uint8_t> Tag(int code, std::vector<std::uint8_t> body) {
  std::vector<std::uint8_t> out = {0x3F, 0x00, 0, 0, 0, 0};
  std::uint16_t word = static_cast<std::uint16_t>(code << 6 | 0x3F);
  out[0] = word & 0xFF;
  out[1] = word >> 8;
  for (int i = 0; i < 4; ++i) out[2 + i] = static_cast<std::uint8_t>(body.size() >> (8 * i));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

const char kHtml[] = "<p><font FACE=\"Arial\">a</font><font face='Arial'>b</font></p>";

// A DefineFont2 "Arial" without glyphs and an HTML text field using it.
std::vector<std::uint8_t> FontAndHtmlText() {
  std::vector<std::uint8_t> font = {1, 0, 0, 0, 5};
  auto name = Bytes("Arial");
  font.insert(font.end(), name.begin(), name.end());
  font.insert(font.end(), {0, 0, 2, 0});  // no glyphs, code table offset
  std::vector<std::uint8_t> text = {2, 0, 0x00, 0x81, 0x02, 1, 0, 240, 0, 0};
  auto html = Bytes(kHtml);
  text.insert(text.end(), html.begin(), html.end());
  text.push_back(0);
  return Swf({Tag(9, {255, 255, 255}), Tag(48, font), Tag(37, text), Tag(26, {0x02, 1, 0, 2, 0}), Tag(1, {}),
              Tag(0, {})});
}

TEST(ExternalMovieTest, FontsAndHtmlFacesGetTheSamePrefix) {
  auto bytes = FontAndHtmlText();
  TMemoryStream file;
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  movie.NextID = 5;
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimRoot, true);
  import->FontPrefixSource = [] { return std::uint16_t{4711}; };
  for (const char* pass : {"_first", "_second"}) {
    auto out = SaveMovie(movie, pass);
    std::string text(out.begin(), out.end());
    EXPECT_NE(text.find(std::string("\x09") + "4711Arial"), std::string::npos) << "DefineFont2 name with its length";
    EXPECT_NE(text.find("<p><font FACE=\"4711Arial\">a</font><font face='4711Arial'>b</font></p>"), std::string::npos);
    EXPECT_EQ(text.find("\"Arial"), std::string::npos);
    EXPECT_EQ(text.find("47114711"), std::string::npos) << pass << ": the prefix once, however often written";
    // The font and the text field that uses it have new ids.
    auto read = ReadMovie(out);
    for (std::size_t i = 0; i < read->TagCount(); ++i) {
      if (auto* font = dynamic_cast<TSWFDefineFont2*>(read->TagInfo(i).TagObject)) {
        EXPECT_EQ(font->FontID, 5);
      }
      if (auto* field = dynamic_cast<TSWFDefineEditText*>(read->TagInfo(i).TagObject)) {
        EXPECT_EQ(field->CharacterID, 6);
        EXPECT_EQ(field->FontID, 5);
      }
    }
  }
  import->RenameFonts = false;
  auto plain = SaveMovie(movie, "_plain");
  EXPECT_EQ(std::string(plain.begin(), plain.end()).find("4711"), std::string::npos);
}

TEST(ExternalMovieTest, HtmlFacePrefixing) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"<font face=\"A\">x</font>", "<font face=\"pA\">x</font>"},
      {"<font Face = 'A B'>", "<font Face = 'pA B'>"},
      {"<font face=\"A\"><font face=\"B\">", "<font face=\"pA\"><font face=\"pB\">"},
      {"no faces here", "no faces here"},
      {"surface\"x\" face", "surface\"px\" face"},  // any "face", as the player's reader sees it
      {"<font face=\"open", "<font face=\"popen"},
  };
  for (const Case& c : cases) EXPECT_EQ(PrefixHtmlFontFaces(c.in, "p"), c.out) << c.in;
}

TEST(ExternalMovieTest, RenumberingRefusesDefinitionsKeptAsBytesAndRegistersNothing) {
  // A damaged font (65,535 glyphs claimed in nine bytes) stays raw.
  auto bytes = Swf({Tag(48, {1, 0, 0x04, 0, 0, 0xFF, 0xFF, 0, 0}), Tag(1, {}), Tag(0, {})});
  TMemoryStream file;
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  movie.NextID = 5;
  EXPECT_THROW(movie.AddExternalMovie(file, eimSprite, true), std::runtime_error);
  EXPECT_EQ(movie.NextID, 5);
  EXPECT_TRUE(movie.ObjectList().empty());
  EXPECT_EQ(movie.Sprites().Count(), 0);
}

TEST(ExternalMovieTest, UnreadableFilesThrowBeforeAnythingIsRegistered) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  EXPECT_THROW(movie.AddExternalMovie(::testing::TempDir() + "/no-such-movie.swf", eimSprite), std::exception);
  TMemoryStream junk;
  junk.Write("not a movie at all", 18);
  EXPECT_THROW(movie.AddExternalMovie(junk, eimRoot), std::exception);
  EXPECT_TRUE(movie.ObjectList().empty());
  EXPECT_EQ(movie.NextID, 1);
}

TEST(ExternalMovieTest, AnEmptyFileGivesAnEmptyOneFrameSprite) {
  auto bytes = Swf({});
  TMemoryStream file;
  file.Write(bytes.data(), bytes.size());
  TFlashMovie movie(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  TFlashExternalMovie* import = movie.AddExternalMovie(file, eimSprite);
  EXPECT_EQ(import->CharacterCount(), 0);
  EXPECT_EQ(movie.NextID, 3);
  movie.PlaceObject(import->Sprite(), 1);
  auto out = ReadMovie(SaveMovie(movie));
  TSWFDefineSprite* sprite = nullptr;
  for (std::size_t i = 0; i < out->TagCount(); ++i)
    if (auto* s = dynamic_cast<TSWFDefineSprite*>(out->TagInfo(i).TagObject)) sprite = s;
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->FrameCount, 1);
}

// Every corpus movie imported as a sprite next to a shape of our own: the
// result parses (checked independently too) and keeps ids apart. Files with
// definitions the reader keeps as bytes go in without renumbering.
TEST(ExternalMovieTest, CorpusMoviesImportAsSprites) {
  int imported = 0, renumbered = 0;
  for (const auto& path : yel::testing::CorpusMovies()) {
    SCOPED_TRACE(path.filename().string());
    TFlashMovie movie(0, 0, 400, 300, 12, TSWFSystemCoord::Pix);
    movie.SetVersion(8);
    TFlashShape* own = movie.AddRectangle(0, 0, 10, 10);
    own->SetSolidColor(0xFF0000);
    TFlashExternalMovie* import = nullptr;
    try {
      import = movie.AddExternalMovie(path.string(), eimSprite, true);
      ++renumbered;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find("not renumbered yet"), std::string::npos) << e.what();
      import = movie.AddExternalMovie(path.string(), eimSprite, false);
    }
    import->FontPrefixSource = [] { return std::uint16_t{7}; };
    movie.PlaceObject(own, 1);
    movie.PlaceObject(import->Sprite(), 2);
    movie.ShowFrame();
    // swf-parser leaves DebugID (63) undecoded, in the original file too, so
    // such movies are not handed to the independent check.
    bool debugId = false;
    for (std::size_t i = 0; i < import->Reader().TagCount(); ++i) debugId |= import->Reader().TagInfo(i).TagID == 63;
    std::vector<std::uint8_t> written;
    if (debugId) {
      movie.MakeStream();
      TMemoryStream stream;
      movie.SaveToStream(stream);
      written = stream.TakeBytes();
    } else {
      written = SaveMovie(movie, "_" + path.stem().string());
    }
    auto out = ReadMovie(written);
    EXPECT_EQ(Count(TagCodes(*out), 0), 1);
    EXPECT_EQ(Count(TagCodes(*out), 69), 0);
    ++imported;
  }
  EXPECT_GT(imported, 0);
  EXPECT_GT(renumbered, 0);
}

}  // namespace
}  // namespace yel::swf
