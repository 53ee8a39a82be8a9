// Theme and effect catalogue: list files, configuration files, the effect
// library and the catalogue tiles of the album.
#include "album/theme_catalogue.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "album/ini_file.h"
#include "album/resource_library.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"

namespace yel {
namespace {

namespace fs = std::filesystem;

// Counts read from theme files are held to this, so that a damaged file
// cannot make a loop run for billions of steps.
constexpr std::int64_t kMaxCount = 10000;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

pugi::xml_document LoadList(const std::string& path) {
  pugi::xml_document doc;
  std::string text;
  try {
    text = ReadFileText(path);
  } catch (const std::exception& e) {
    throw std::runtime_error(path + ": cannot read the list file: " + e.what());
  }
  pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
  if (!result)
    throw std::runtime_error(path + ": the list file is not well-formed XML: " + result.description() +
                             " at offset " + std::to_string(result.offset));
  if (!doc.document_element()) throw std::runtime_error(path + ": the list file has no document element");
  return doc;
}

void SaveList(const pugi::xml_document& doc, const std::string& path) {
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  WriteFileAtomically(path, out.str());
}

std::vector<pugi::xml_node> Entries(const pugi::xml_node& root) {
  std::vector<pugi::xml_node> entries;
  for (pugi::xml_node child : root.children())
    if (child.type() == pugi::node_element) entries.push_back(child);
  return entries;
}

// base + relative with each component of relative matched without regard
// to case; the result ends in '/' when relative does.
std::string ResolveUnder(std::string base, std::string_view relative) {
  std::size_t start = 0;
  while (start < relative.size()) {
    std::size_t slash = relative.find('/', start);
    std::string_view part = relative.substr(start, slash == std::string_view::npos ? slash : slash - start);
    base = ResolvePathIgnoreCase(base + std::string(part));
    if (slash == std::string_view::npos) return base;
    base += '/';
    start = slash + 1;
  }
  return base;
}

std::int64_t Count(std::int64_t value) { return std::clamp<std::int64_t>(value, 0, kMaxCount); }

void LoadCatalogue(TFlashAlbum& album, TViews& views, const char* folder, const std::string& wanted,
                   std::vector<std::string>* rejected, int areaWidth) {
  const std::string base = ResolveUnder(album.AppFolder, folder);
  if (!FolderExists(base)) return;
  const std::string list = ResolvePathIgnoreCase(base + "Config.xml");
  if (!FileExists(list)) return;
  // Read before clearing: a broken list leaves the catalogue as it was.
  std::vector<std::string> names = ReadListFile(list, rejected);
  views.Clear();
  const bool takeFirst = Trim(wanted).empty();
  TTileLayout layout(areaWidth);
  // The folder is listed once, so that a long list costs one look-up per
  // entry instead of a scan of the folder per entry.
  std::map<std::string, std::string> folders;  // lower-case name -> the first such name
  std::set<std::string> exact;
  std::error_code ec;
  for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    folders.emplace(AsciiLower(name), name);
    exact.insert(name);
  }
  for (const std::string& name : names) {
    const auto found = folders.find(AsciiLower(name));
    if (found == folders.end()) continue;
    const std::string entryFolder = base + (exact.count(name) ? name : found->second);
    // A linked folder that leads out of the theme folders is not followed.
    if (LeadsOutside(entryFolder, base)) {
      if (rejected) rejected->push_back(list + ": the entry \"" + name + "\" is left out: its folder is a link that leads outside " + base);
      continue;
    }
    const std::string picture = ResolvePathIgnoreCase(entryFolder + "/View.jpg");
    if (!FileExists(picture) || LeadsOutside(picture, base)) continue;
    auto tile = std::make_unique<TView>();
    tile->Name = name;
    tile->SourceFile = entryFolder + "/";
    tile->PictureFile = picture;
    layout.Place(*tile);
    views.Items.push_back(std::move(tile));
    TView& added = *views.Items.back();
    if ((views.Selected == nullptr && takeFirst) || name == wanted) views.Select(added);
  }
}

}  // namespace

std::string ThemeFolderPath(const std::string& appFolder, const char* folder) {
  return ResolveUnder(appFolder, folder);
}

std::string FormatHexColour(TColor colour) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text = "0x";
  for (int shift : {0, 8, 16}) {
    unsigned byte = (colour >> shift) & 0xFF;
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

TColor ParseHexColour(std::string_view text) {
  if (text.size() < 8)
    throw std::invalid_argument("'" + std::string(text) + "' is not a valid colour (0xRRGGBB expected)");
  TColor colour = 0;
  for (int i = 0; i < 3; ++i) {
    int high = HexDigit(text[2 + 2 * i]), low = HexDigit(text[3 + 2 * i]);
    if (high < 0 || low < 0)
      throw std::invalid_argument("'" + std::string(text) + "' is not a valid colour (0xRRGGBB expected)");
    colour |= static_cast<TColor>(high * 16 + low) << (8 * i);
  }
  return colour;
}

std::string ThemeNameProblem(std::string_view name) {
  if (name.empty()) return "the name is empty";
  if (name.find_first_of("/\\") != std::string_view::npos) return "the name holds a path separator";
  if (name == "." || name.find("..") != std::string_view::npos) return "the name holds \"..\"";
  for (unsigned char c : name)
    if (c < 0x20 || c == 0x7F) return "the name holds a control character";
  return {};
}

std::string ThemeFilePath(const std::string& folder, const std::string& name, const std::string& source) {
  std::string problem = ThemeNameProblem(name);
  if (!problem.empty()) throw std::runtime_error(source + ": the file name \"" + name + "\" is refused: " + problem);
  std::string path = ResolvePathIgnoreCase(folder + name);
  if (LeadsOutside(path, folder))
    throw std::runtime_error(source + ": the file name \"" + name + "\" is refused: it is a link that leads outside " +
                             folder);
  return path;
}

bool LeadsOutside(const std::string& path, const std::string& folder) {
  std::error_code ec;
  const fs::path root = fs::canonical(folder, ec);
  if (ec) return false;  // no folder: nothing to lead out of
  const fs::path target = fs::weakly_canonical(path, ec);
  if (ec) return true;
  auto r = root.begin(), t = target.begin();
  for (; r != root.end(); ++r, ++t)
    if (t == target.end() || *r != *t) return true;
  return false;
}

std::vector<std::string> ReadListFile(const std::string& path, std::vector<std::string>* rejected) {
  pugi::xml_document doc = LoadList(path);
  std::vector<std::string> names;
  for (const pugi::xml_node& entry : Entries(doc.document_element())) {
    // Hand-formatted lists put names on lines of their own.
    std::string name = Trim(entry.text().get());
    std::string problem = ThemeNameProblem(name);
    if (problem.empty()) {
      names.push_back(std::move(name));
    } else if (rejected) {
      rejected->push_back(path + ": the entry \"" + name + "\" is left out: " + problem);
    }
  }
  return names;
}

void AddListEntry(const std::string& path, const std::string& name) {
  std::string problem = ThemeNameProblem(name);
  if (!problem.empty()) throw std::runtime_error(path + ": cannot add \"" + name + "\": " + problem);
  pugi::xml_document doc = LoadList(path);
  pugi::xml_node root = doc.document_element();
  pugi::xml_node entry = root.append_child("Name");
  entry.append_attribute("id") = std::to_string(Entries(root).size()).c_str();
  entry.text().set(name.c_str());
  SaveList(doc, path);
}

void RemoveListEntry(const std::string& path, const std::string& name) {
  pugi::xml_document doc = LoadList(path);
  pugi::xml_node root = doc.document_element();
  std::vector<pugi::xml_node> entries = Entries(root);
  if (entries.empty()) return;
  std::size_t from = entries.size() - 1;  // no match: only the last is renumbered
  for (std::size_t i = entries.size(); i-- > 0;) {
    if (name == Trim(entries[i].text().get())) {
      root.remove_child(entries[i]);
      from = i;
      break;
    }
  }
  entries = Entries(root);
  for (std::size_t i = from; i < entries.size(); ++i) {
    pugi::xml_attribute id = entries[i].attribute("id");
    if (!id) id = entries[i].append_attribute("id");
    id = std::to_string(i + 1).c_str();
  }
  SaveList(doc, path);
}

void TTileLayout::Place(TView& tile) {
  if (column_ * kPitch + kPitch < width_) {
    tile.Left = column_ * kPitch + 8;
  } else {
    column_ = 0;
    ++row_;
    tile.Left = 8;
  }
  tile.Top = row_ * kPitch + 8;
  ++column_;
}

void LoadTemplates(TFlashAlbum& album, const std::string& wanted, std::vector<std::string>* rejected,
                   int areaWidth) {
  LoadCatalogue(album, album.Templates, kTemplateFolder, wanted, rejected, areaWidth);
}

void LoadLoadingBars(TFlashAlbum& album, const std::string& wanted, std::vector<std::string>* rejected,
                     int areaWidth) {
  LoadCatalogue(album, album.LoadingBars, kLoadingBarFolder, wanted, rejected, areaWidth);
}

void LoadEffectCatalogue(TFlashAlbum& album, std::vector<std::string>* rejected, int areaWidth) {
  const std::string path = ResolvePathIgnoreCase(album.AppFolder + kEffectLibrary);
  if (!FileExists(path)) return;
  TResourceLibrary library(path);
  // The effect list is read straight from the resource; no scratch file.
  std::vector<std::uint8_t> text = library.ReadResource("INI", "YEL_Resource");
  TIniFile ini = TIniFile::Parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                                 path + " (YEL_Resource)");
  album.Effects.Clear();
  TTileLayout layout(areaWidth);
  const std::int64_t groups = Count(ini.ReadInteger("system", "Count", 0));
  for (std::int64_t g = 1; g <= groups; ++g) {
    const std::string section = "Effect_" + std::to_string(g);
    const std::string name = ini.ReadString(section, "Name");
    const std::int64_t variants = Count(ini.ReadInteger(section, "Count", 0));
    std::string problem = ThemeNameProblem(name);
    if (!problem.empty()) {
      if (variants > 0 && rejected)
        rejected->push_back(path + ": the effect group \"" + name + "\" is left out: " + problem);
      continue;
    }
    for (std::int64_t v = 1; v <= variants; ++v) {
      const std::string tileName = name + std::to_string(v);
      auto tile = std::make_unique<TView>();
      tile->Name = tileName;
      tile->PictureData = library.ReadResource("BMP", "YEL_Eff_" + tileName);
      layout.Place(*tile);
      album.Effects.Items.push_back(std::move(tile));
    }
  }
}

bool ApplyLoadingBar(TFlashAlbum& album, const std::string& name) {
  const std::string base = ResolveUnder(album.AppFolder, kLoadingBarFolder);
  if (!FolderExists(base)) return false;
  const std::string folder = ThemeFilePath(base, name, base + "Config.xml");
  const std::string config = ResolvePathIgnoreCase(folder + "/Config.ini");
  const std::string movie = ResolvePathIgnoreCase(folder + "/" + name + ".swf");
  if (!FileExists(config) || !FileExists(movie)) return false;
  const TIniFile ini = TIniFile::Load(config);
  // Width and Height are read as decimals (whole numbers as the theme
  // editor writes them read the same), so that a fractional size is kept.
  TMFShape shape;
  const char* keys[] = {"Left", "Top", "Width", "Height"};
  float* values[] = {&shape.Left, &shape.Top, &shape.Width, &shape.Height};
  for (int i = 0; i < 4; ++i) {
    const double value = ini.ReadFloat("Size", keys[i], 0);
    if (!std::isfinite(value) || std::fabs(value) > 1e7)
      throw std::runtime_error(config + ": [Size] " + keys[i] + " is not a usable number");
    *values[i] = static_cast<float>(value);
  }
  shape.Left = static_cast<float>(double(shape.Left) * album.Width);
  shape.Top = static_cast<float>(double(shape.Top) * album.Height);
  TColor colour = 0;
  try {
    colour = ParseHexColour(ini.ReadString("Background", "Color"));
  } catch (const std::exception& e) {
    throw std::runtime_error(config + ": [Background] Color: " + e.what());
  }
  TLoading& loading = album.Template.Loading;
  loading.Background.Color = colour;
  loading.Background.FillType = 1;
  loading.Name = name;
  loading.Shape = shape;
  return true;
}

TTemplateConfig TTemplateConfig::Load(const std::string& path) {
  TIniFile ini = TIniFile::Load(path);
  TTemplateConfig c;
  c.Name = ini.ReadString("System", "Name");
  c.BackgroundType = static_cast<int>(ini.ReadInteger("Background", "Type", 1));
  c.BackgroundColor = ini.ReadString("Background", "Color");
  c.BackgroundImage = ini.ReadString("Background", "Image");
  c.PhotoFrameName = ini.ReadString("PhotoFrame", "Name");
  c.PhotoFrameFile = ini.ReadString("PhotoFrame", "FileName");
  c.Left = ini.ReadFloat("Size", "Left", 0.2);
  c.Top = ini.ReadFloat("Size", "Top", 0.15);
  c.Width = ini.ReadFloat("Size", "Width", 0);
  c.Height = ini.ReadFloat("Size", "Height", 0);
  const std::int64_t shapes = Count(ini.ReadInteger("Shapes", "Count", 0));
  for (std::int64_t k = 1; k <= shapes; ++k) {
    const std::string section = "Shape_" + std::to_string(k);
    TTemplateShape s;
    s.FileName = ini.ReadString(section, "FileName");
    s.Left = ini.ReadFloat(section, "Left", 0);
    s.Top = ini.ReadFloat(section, "Top", 0);
    s.Width = ini.ReadFloat(section, "Width", 0);
    s.Height = ini.ReadFloat(section, "Height", 0);
    c.Shapes.push_back(std::move(s));
  }
  return c;
}

void TTemplateConfig::Save(const std::string& path) const {
  TIniFile ini;
  ini.WriteString("System", "Name", Name);
  ini.WriteInteger("Background", "Type", BackgroundType);
  ini.WriteString("Background", "Color", BackgroundColor);
  ini.WriteString("Background", "Image", BackgroundImage);
  ini.WriteString("PhotoFrame", "Name", PhotoFrameName);
  ini.WriteString("PhotoFrame", "FileName", PhotoFrameFile);
  ini.WriteFloat("Size", "Left", Left);
  ini.WriteFloat("Size", "Top", Top);
  ini.WriteFloat("Size", "Width", Width);
  ini.WriteFloat("Size", "Height", Height);
  ini.WriteInteger("Shapes", "Count", static_cast<std::int64_t>(Shapes.size()));
  for (std::size_t k = 0; k < Shapes.size(); ++k) {
    const std::string section = "Shape_" + std::to_string(k + 1);
    ini.WriteString(section, "FileName", Shapes[k].FileName);
    ini.WriteFloat(section, "Left", Shapes[k].Left);
    ini.WriteFloat(section, "Top", Shapes[k].Top);
    ini.WriteFloat(section, "Width", Shapes[k].Width);
    ini.WriteFloat(section, "Height", Shapes[k].Height);
  }
  ini.SaveToFile(path);
}

TLoadingBarConfig TLoadingBarConfig::Load(const std::string& path) {
  TIniFile ini = TIniFile::Load(path);
  TLoadingBarConfig c;
  c.Name = ini.ReadString("System", "Name");
  c.BackgroundType = static_cast<int>(ini.ReadInteger("Background", "Type", 1));
  c.BackgroundColor = ini.ReadString("Background", "Color");
  c.BackgroundImage = ini.ReadString("Background", "Image");
  c.Left = ini.ReadFloat("Size", "Left", 0);
  c.Top = ini.ReadFloat("Size", "Top", 0);
  c.Width = ini.ReadFloat("Size", "Width", 0);
  c.Height = ini.ReadFloat("Size", "Height", 0);
  return c;
}

void TLoadingBarConfig::Save(const std::string& path) const {
  TIniFile ini;
  ini.WriteString("System", "Name", Name);
  ini.WriteInteger("Background", "Type", BackgroundType);
  ini.WriteString("Background", "Color", BackgroundColor);
  ini.WriteString("Background", "Image", BackgroundImage);
  ini.WriteFloat("Size", "Left", Left);
  ini.WriteFloat("Size", "Top", Top);
  ini.WriteFloat("Size", "Width", Width);
  ini.WriteFloat("Size", "Height", Height);
  ini.SaveToFile(path);
}

}  // namespace yel
