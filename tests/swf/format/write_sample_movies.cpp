// Writes one movie of every kind the SWF format layer produces, and every
// corpus movie read and written back, into a folder for the independent
// parser check (check_written_movies.mjs).
//
// Usage: write_sample_movies OUT_DIR CORPUS_DIR
#include <filesystem>
#include <iostream>

#include "swf/format/control_tags.h"
#include "swf/format/display_list_tags.h"
#include "swf/format/font_tags.h"
#include "swf/format/md5.h"
#include "swf/format/swf_stream.h"
#include "swf/format/text_tags.h"
#include "tests/swf/format/test_movie.h"

namespace yel::swf {
namespace {

using testing::TestMovie;

// Every control tag with fields set, a sprite, a large unknown tag and a
// frame, in a compressed SWF 8 movie.
void WriteControlTags(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.SetCompressed(true);
  auto attributes = std::make_unique<TSWFFileAttributes>();
  attributes->HasMetadata = true;
  movie.Add(std::move(attributes));
  auto meta = std::make_unique<TSWFMetadata>();
  meta->Value = "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>caf\xE9</rdf:RDF>";
  movie.Add(std::move(meta));
  auto limits = std::make_unique<TSWFScriptLimits>();
  limits->MaxRecursionDepth = 256;
  limits->ScriptTimeoutSeconds = 15;
  movie.Add(std::move(limits));
  auto background = std::make_unique<TSWFSetBackgroundColor>();
  background->Color.SetRGB(0x996633);
  movie.Add(std::move(background));
  auto protect = std::make_unique<TSWFProtect>();
  protect->Password = "secret";
  movie.Add(std::move(protect));
  auto debugger = std::make_unique<TSWFEnableDebugger2>();
  debugger->Password = "debug";
  movie.Add(std::move(debugger));
  auto debugger1 = std::make_unique<TSWFEnableDebugger>();
  debugger1->Hash = MD5Crypt("old", "ab");
  movie.Add(std::move(debugger1));
  auto sprite = std::make_unique<TSWFDefineSprite>();
  sprite->SpriteId = 1;
  sprite->FrameCount = 2;
  sprite->ControlTags.push_back(std::make_unique<TSWFFrameLabel>("inner"));
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  sprite->ControlTags.push_back(std::make_unique<TSWFShowFrame>());
  movie.Add(std::move(sprite));
  auto grid = std::make_unique<TSWFDefineScalingGrid>();
  grid->ID = 1;
  grid->Splitter.SetRect(TRect{200, 100, 2000, 1000});
  movie.Add(std::move(grid));
  auto exports = std::make_unique<TSWFExportAssets>();
  exports->AddAsset("clip", 1);
  exports->AddAsset("other", 1);
  movie.Add(std::move(exports));
  auto imports = std::make_unique<TSWFImportAssets>();
  imports->URL = "library.swf";
  imports->AddAsset("shared", 2);
  movie.Add(std::move(imports));
  auto imports2 = std::make_unique<TSWFImportAssets2>();
  imports2->URL = "library2.swf";
  imports2->AddAsset("shared2", 3);
  movie.Add(std::move(imports2));
  auto tab = std::make_unique<TSWFSetTabIndex>();
  tab->Depth = 1;
  tab->TabIndex = 7;
  movie.Add(std::move(tab));
  auto label = std::make_unique<TSWFFrameLabel>("start");
  label->isAnchor = true;
  movie.Add(std::move(label));
  auto raw = std::make_unique<TSWFByteCodeTag>();
  raw->TagCode = 99;
  raw->SetData(std::vector<std::uint8_t>(5000, 0x5A));
  movie.Add(std::move(raw));
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.Add(std::make_unique<TSWFEnd>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// A glyph: a closed triangle with one curve, in em units.
TSWFGlyph Triangle(int size) {
  TSWFGlyph glyph;
  auto move = std::make_unique<TSWFStyleChangeRecord>();
  move->StateMoveTo = true;
  move->DeltaX = 0;
  move->DeltaY = -size;
  move->SetFill1(1);
  glyph.push_back(std::move(move));
  glyph.push_back(std::make_unique<TSWFStraightEdgeRecord>(size, size));
  glyph.push_back(std::make_unique<TSWFCurvedEdgeRecord>(-size / 2, 100, -size / 2, -100));
  glyph.push_back(std::make_unique<TSWFStraightEdgeRecord>(0, -size));
  return glyph;
}

// Every font and text tag with fields set, in an SWF 8 movie.
void WriteFontTextTags(const std::string& path) {
  TestMovie movie(0, 0, 550, 400, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  auto font1 = std::make_unique<TSWFDefineFont>();
  font1->FontID = 1;
  font1->Glyphs.push_back(Triangle(400));
  font1->Glyphs.push_back(Triangle(600));
  movie.Add(std::move(font1));
  auto info = std::make_unique<TSWFDefineFontInfo>();
  info->FontID = 1;
  info->FontName = "Old";
  info->ANSI = true;
  info->Bold = true;
  info->Codes = {'A', 'B'};
  movie.Add(std::move(info));
  auto info2 = std::make_unique<TSWFDefineFontInfo2>();
  info2->FontID = 1;
  info2->FontName = "Old2";
  info2->LanguageCode = 1;
  info2->Codes = {0x3A9, 0x416};
  movie.Add(std::move(info2));
  auto font2 = std::make_unique<TSWFDefineFont2>();
  font2->FontID = 2;
  font2->FontName = "CafÃ©";
  font2->WideCodes = true;
  font2->Italic = true;
  font2->HasLayout = true;
  font2->Ascent = 900;
  font2->Descent = 200;
  font2->Leading = 30;
  for (int i = 0; i < 3; ++i) {
    font2->Glyphs.push_back(Triangle(300 + 100 * i));
    font2->Codes.push_back(static_cast<std::uint16_t>(0x41 + i));
    font2->Advances.push_back(static_cast<std::int16_t>(500 + i));
    font2->Bounds.push_back({0, 300 + 100 * i, -300 - 100 * i, 0});
  }
  font2->Kerning = {{0x41, 0x42, -40}};
  movie.Add(std::move(font2));
  auto font3 = std::make_unique<TSWFDefineFont3>();
  font3->FontID = 3;
  font3->FontName = "Three";
  font3->WideCodes = true;
  font3->Bold = true;
  font3->Glyphs.push_back(Triangle(8000));
  font3->Codes = {0x3A9};
  movie.Add(std::move(font3));
  auto zones = std::make_unique<TSWFDefineFontAlignZones>();
  zones->FontID = 3;
  zones->CSMTableHint = 2;
  zones->ZoneTable.push_back({{{0x3C00, 0x4000}, {0, 0x3C00}}, true, true});
  movie.Add(std::move(zones));
  auto fontName = std::make_unique<TSWFDefineFontName>();
  fontName->FontID = 3;
  fontName->FontName = "Three Regular";
  fontName->FontCopyright = "(c) nobody";
  movie.Add(std::move(fontName));
  auto text = std::make_unique<TSWFDefineText>();
  text->CharacterID = 4;
  text->TextBounds.SetRect(TRect{-20, -400, 2000, 100});
  text->TextMatrix.SetTranslate(100, 200);
  text->GlyphBits = 2;
  text->AdvanceBits = 11;
  TSWFTextRecord& record = text->AddRecord();
  record.SetFontID(2);
  record.SetTextHeight(480);
  record.Color().SetRGB(SWFRGBA(255, 0, 0, 255));
  record.SetXOffset(-20);
  record.SetYOffset(360);
  record.GlyphEntries = {{0, 234}, {2, -17}, {1, 1000}};
  movie.Add(std::move(text));
  auto text2 = std::make_unique<TSWFDefineText2>();
  text2->CharacterID = 5;
  text2->GlyphBits = 1;
  text2->AdvanceBits = 4;
  TSWFTextRecord& record2 = text2->AddRecord();
  record2.SetFontID(3);
  record2.SetTextHeight(240);
  record2.Color().SetRGBA(SWFRGBA(0, 128, 255, 100));
  record2.GlyphEntries = {{0, 7}};
  text2->AddRecord().GlyphEntries = {{0, -8}};
  movie.Add(std::move(text2));
  auto field = std::make_unique<TSWFDefineEditText>();
  field->CharacterID = 6;
  field->Bounds.SetRect(TRect{-40, -40, 4000, 800});
  field->SWFVersion = 8;
  field->HasFont = true;
  field->FontID = 2;
  field->FontHeight = 360;
  field->TextColor().SetRGBA(SWFRGBA(1, 2, 3, 200));
  field->HasMaxLength = true;
  field->MaxLength = 30;
  field->HasLayout = true;
  field->Align = 2;
  field->LeftMargin = 10;
  field->RightMargin = 20;
  field->Indent = 30;
  field->Leading = -5;
  field->WordWrap = field->Multiline = field->Border = field->UseOutlines = field->AutoSize = true;
  field->VariableName = "_root.v";
  field->HasText = true;
  field->WideInitialText = u"\u03A9mega \u00E9";
  movie.Add(std::move(field));
  auto settings = std::make_unique<TSWFCSMTextSettings>();
  settings->TextID = 6;
  settings->UseFlashType = 1;
  settings->GridFit = 2;
  settings->Thickness = 1.5f;
  settings->Sharpness = -2.0f;
  movie.Add(std::move(settings));
  movie.Add(std::make_unique<TSWFShowFrame>());
  movie.Add(std::make_unique<TSWFEnd>());
  movie.FrameCount = 1;
  movie.MakeStream();
  movie.SaveToFile(path);
}

// The smallest movies: SWF 5, plain, with and without tags.
void WriteSmallMovies(const std::string& dir) {
  TestMovie empty(0, 0, 100, 100, 12, TSWFSystemCoord::Pix);
  empty.MakeStream();
  empty.SaveToFile(dir + "/empty-v5.swf");

  TestMovie frames(-100, -50, 1000, 1000, 12.5f, TSWFSystemCoord::Twips);
  frames.Add(std::make_unique<TSWFProtect>());
  frames.Add(std::make_unique<TSWFFrameLabel>("one"));
  frames.Add(std::make_unique<TSWFShowFrame>());
  frames.Add(std::make_unique<TSWFShowFrame>());
  frames.Add(std::make_unique<TSWFEnd>());
  frames.FrameCount = 2;
  frames.MakeStream();
  frames.SaveToFile(dir + "/frames-v5.swf");
  frames.SetCompressed(true);
  frames.SaveToFile(dir + "/frames-compressed.swf");
}

int Run(const std::string& out, const std::string& corpus) {
  std::filesystem::create_directories(out + "/roundtrip");
  WriteControlTags(out + "/control-tags.swf");
  WriteSmallMovies(out);
  WriteFontTextTags(out + "/font-text-tags.swf");
  for (const auto& item : std::filesystem::directory_iterator(corpus)) {
    if (item.path().extension() != ".swf") continue;
    TSWFStreamReader reader(item.path().string());
    reader.ParseTags();
    reader.MakeStream();
    reader.SaveToFile(out + "/roundtrip/" + item.path().filename().string());
  }
  return 0;
}

}  // namespace
}  // namespace yel::swf

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: write_sample_movies OUT_DIR CORPUS_DIR\n";
    return 2;
  }
  try {
    return yel::swf::Run(argv[1], argv[2]);
  } catch (const std::exception& e) {
    std::cerr << "write_sample_movies: " << e.what() << "\n";
    return 1;
  }
}
