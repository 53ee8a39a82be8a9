#include "album/project_file.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <pugixml.hpp>
#include <vector>

#include "album/album_model.h"
#include "album/locale_numbers.h"
#include "base/error.h"
#include "base/files.h"
#include "base/paths.h"

namespace yel {
namespace {

constexpr const char* kNamespace = "Quenlo";

// ----- writing ---------------------------------------------------------------

void AddText(pugi::xml_node parent, const char* name, const std::string& text) {
  parent.append_child(name).append_child(pugi::node_pcdata).set_value(text.c_str());
}

void AddInt(pugi::xml_node parent, const char* name, std::int64_t value) {
  AddText(parent, name, std::to_string(value));
}

void AddDecimal(pugi::xml_node parent, const char* name, float value, char separator) {
  AddText(parent, name, FormatDecimal(static_cast<double>(value), separator));
}

// ----- reading ---------------------------------------------------------------

// Visits the descendants of root in document order with their depth below
// it (children are 1) without recursion, so that no nesting can exhaust the
// stack; stops when visit returns false.
template <typename Visit>
void ForEachDescendant(const pugi::xml_node& root, Visit visit) {
  pugi::xml_node node = root.first_child();
  int depth = 1;
  while (node) {
    if (!visit(node, depth)) return;
    if (node.first_child()) {
      node = node.first_child();
      ++depth;
      continue;
    }
    while (!node.next_sibling()) {
      node = node.parent();
      if (--depth == 0) return;
    }
    node = node.next_sibling();
  }
}

// Reads values out of the parsed document, naming the file, element and line
// in every error.
class Reader {
 public:
  Reader(const std::string& path, const std::string& text) : path_(path), text_(text) {}

  int LineOf(const pugi::xml_node& node) const {
    std::ptrdiff_t offset = node.offset_debug();
    if (offset < 0) return 0;
    auto end = text_.begin() + std::min<std::ptrdiff_t>(offset, static_cast<std::ptrdiff_t>(text_.size()));
    return 1 + static_cast<int>(std::count(text_.begin(), end, '\n'));
  }

  [[noreturn]] void Fail(const pugi::xml_node& node, const std::string& problem) const {
    std::string where;
    if (int line = LineOf(node); line > 0) where = "line " + std::to_string(line) + ": ";
    ThrowFileError(path_, where + "element <" + node.name() + ">: " + problem);
  }

  // All text inside the element (MSXML's text: every text descendant), in
  // document order.
  static std::string TextOf(const pugi::xml_node& node) {
    std::string text;
    ForEachDescendant(node, [&](const pugi::xml_node& inner, int) {
      if (inner.type() == pugi::node_pcdata || inner.type() == pugi::node_cdata) text += inner.value();
      return true;
    });
    return text;
  }

  std::int64_t Integer(const pugi::xml_node& node, std::int64_t min, std::int64_t max) const {
    std::string text = TextOf(node);
    auto value = ParseInteger(text);
    if (!value) Fail(node, "'" + text + "' is not an integer");
    if (*value < min || *value > max)
      Fail(node, std::to_string(*value) + " is out of range (" + std::to_string(min) + " to " +
                     std::to_string(max) + ")");
    return *value;
  }

  float Seconds(const pugi::xml_node& node, char separator) const {
    std::string text = TextOf(node);
    auto value = ParseDecimal(text, separator);
    if (!value)
      Fail(node, "'" + text + "' is not a decimal number with the separator '" + std::string(1, separator) + "'");
    if (!(*value >= 0 && *value <= ProjectLimits::kMaxSeconds))
      Fail(node, text + " seconds is out of range (0 to " + FormatDecimal(ProjectLimits::kMaxSeconds, separator) +
                     ")");
    return static_cast<float>(*value);
  }

 private:
  const std::string& path_;
  const std::string& text_;
};

std::int32_t ReadColour(const Reader& reader, const pugi::xml_node& node) {
  return static_cast<std::int32_t>(reader.Integer(node, INT32_MIN, INT32_MAX));
}

}  // namespace

std::string ProjectFileText(const TFlashAlbum& album) {
  const char separator = LocaleDecimalSeparator();
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Document");
  root.append_attribute("xmlns").set_value(kNamespace);
  pugi::xml_node xml_album = root.append_child("Album");
  AddInt(xml_album, "Width", album.Width);
  AddInt(xml_album, "Height", album.Height);
  AddInt(xml_album, "FrameRate", album.FrameRate);
  AddInt(xml_album, "Background", static_cast<std::int32_t>(album.Background));
  pugi::xml_node xml_slides = xml_album.append_child("SlideView");
  for (std::size_t k = 0; k < album.SlideViews.Count(); ++k) {
    const TSlideView& slide = album.SlideViews[k];
    pugi::xml_node xml_slide = xml_slides.append_child(("SlideView" + std::to_string(k + 1)).c_str());
    AddInt(xml_slide, "SlideIndex", slide.SlideIndex);
    AddText(xml_slide, "ImageFile", slide.ImageFile);
    pugi::xml_node background = xml_slide.append_child("Background");
    AddInt(background, "Color", static_cast<std::int32_t>(slide.Background.Color));
    AddText(background, "ImageFile", slide.Background.ImageFile);
    AddInt(background, "FillType", slide.Background.FillType);
    pugi::xml_node transition = xml_slide.append_child("Transition");
    AddInt(transition, "EntryEffect", slide.Transition.EntryEffect);
    AddDecimal(transition, "Speed", slide.Transition.Speed, separator);
    AddDecimal(transition, "Duration", slide.Transition.Duration, separator);
    AddText(transition, "SoundFile", slide.Transition.SoundFile);
  }
  // The theme and music follow the slides, each only when set, so that a
  // project without them is written as before and older readers, which
  // look for their elements by name, pass over them.
  if (!album.TemplateName.empty()) AddText(xml_album, "Template", album.TemplateName);
  if (!album.LoadingBarName.empty()) AddText(xml_album, "LoadingBar", album.LoadingBarName);
  if (!album.MusicFile.empty()) AddText(xml_album, "Music", album.MusicFile);

  struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
      text.append(static_cast<const char*>(data), size);
    }
  } writer;
  writer.text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration | pugi::format_no_empty_element_tags,
           pugi::encoding_utf8);
  writer.text += "\n";
  return writer.text;
}

void SaveProjectFile(TFlashAlbum& album, const std::string& path) {
  WriteFileAtomically(path, ProjectFileText(album));
  album.ProjectFileName = path;
}

bool SaveNeedsFileName(const TFlashAlbum& album, bool save_as) {
  return save_as || album.ProjectFileName.empty() || !FileExists(album.ProjectFileName);
}

// Running out of memory anywhere in reading is an error naming the file.
void OpenProjectFile(TFlashAlbum& album, const std::string& path) try {
  if (!FileExists(path)) ThrowFileError(path, FolderExists(path) ? "is a folder, not a project file" : "no such file");
  const std::string text = ReadFileText(path);
  const char separator = LocaleDecimalSeparator();

  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) {
    auto offset = std::clamp<std::ptrdiff_t>(parsed.offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    auto line = 1 + std::count(text.begin(), text.begin() + offset, '\n');
    auto line_start = text.rfind('\n', offset > 0 ? offset - 1 : 0);
    auto column = offset - (line_start == std::string::npos ? -1 : static_cast<std::ptrdiff_t>(line_start));
    ThrowFileError(path, "not a well-formed XML document: " + std::string(parsed.description()) + " at line " +
                             std::to_string(line) + ", column " + std::to_string(column));
  }
  Reader reader(path, text);
  // A project is a few levels deep; a file nested far deeper is damaged or
  // hostile and refused before anything reads it.
  pugi::xml_node too_deep;
  ForEachDescendant(doc, [&](const pugi::xml_node& node, int depth) {
    if (depth <= ProjectLimits::kMaxDepth) return true;
    too_deep = node;
    return false;
  });
  if (too_deep) {
    while (too_deep.type() != pugi::node_element && too_deep.parent()) too_deep = too_deep.parent();
    reader.Fail(too_deep, "elements are nested more than " + std::to_string(ProjectLimits::kMaxDepth) +
                              " deep; this is not a project file");
  }
  pugi::xml_node root = doc.document_element();
  pugi::xml_node xml_album = root.child("Album");
  if (!xml_album)
    ThrowFileError(path, "not a project file: the root element <" + std::string(root.name()) +
                             "> has no <Album> element");

  // Settings: an element that is missing keeps the album's current value.
  AlbumSettings settings = album.Settings();
  if (auto node = xml_album.child("Width"))
    settings.Width = static_cast<std::int32_t>(reader.Integer(node, ProjectLimits::kMinSize, ProjectLimits::kMaxSize));
  if (auto node = xml_album.child("Height"))
    settings.Height = static_cast<std::int32_t>(reader.Integer(node, ProjectLimits::kMinSize, ProjectLimits::kMaxSize));
  if (auto node = xml_album.child("FrameRate"))
    settings.FrameRate = static_cast<std::int32_t>(
        reader.Integer(node, ProjectLimits::kMinFrameRate, ProjectLimits::kMaxFrameRate));
  if (auto node = xml_album.child("Background")) settings.Background = static_cast<TColor>(ReadColour(reader, node));

  // A template or loading bar the file does not name stays as the album has
  // it; music it does not name is none (a project saved without music).
  std::string templateName = album.TemplateName, loadingBarName = album.LoadingBarName, music;
  if (auto node = xml_album.child("Template")) templateName = Reader::TextOf(node);
  if (auto node = xml_album.child("LoadingBar")) loadingBarName = Reader::TextOf(node);
  if (auto node = xml_album.child("Music")) music = Reader::TextOf(node);

  // Slides: one per child element of SlideView, whatever its name, in
  // document order; SlideIndex is not read (a slide's number is its position).
  std::vector<std::unique_ptr<TSlideView>> slides;
  if (auto xml_slides = xml_album.child("SlideView")) {
    for (pugi::xml_node xml_slide : xml_slides.children()) {
      if (xml_slide.type() != pugi::node_element) continue;
      auto slide = album.SlideViews.CreateSlide(slides.size());
      auto image = xml_slide.child("ImageFile");
      slide->SetSlideImage(image ? Reader::TextOf(image) : std::string(), TSlideView::kTileWidth,
                           TSlideView::kTileHeight);
      if (auto background = xml_slide.child("Background")) {
        if (auto node = background.child("Color")) slide->Background.Color = static_cast<TColor>(ReadColour(reader, node));
        if (auto node = background.child("ImageFile")) slide->Background.ImageFile = Reader::TextOf(node);
        if (auto node = background.child("FillType"))
          slide->Background.FillType = static_cast<std::uint8_t>(reader.Integer(node, 0, 255));
      }
      if (auto transition = xml_slide.child("Transition")) {
        if (auto node = transition.child("EntryEffect"))
          slide->Transition.EntryEffect = static_cast<std::int32_t>(reader.Integer(node, INT32_MIN, INT32_MAX));
        if (auto node = transition.child("Speed")) slide->Transition.Speed = reader.Seconds(node, separator);
        if (auto node = transition.child("Duration")) slide->Transition.Duration = reader.Seconds(node, separator);
        if (auto node = transition.child("SoundFile")) slide->Transition.SoundFile = Reader::TextOf(node);
      }
      slides.push_back(std::move(slide));
    }
  }

  // The whole file was read: replace the album's slides and settings.
  album.ClearSlides();
  for (auto& slide : slides) album.SlideViews.Append(std::move(slide));
  album.SetSettings(settings);
  album.TemplateName = std::move(templateName);
  album.LoadingBarName = std::move(loadingBarName);
  album.MusicFile = std::move(music);
  album.ProjectFileName = path;
} catch (const std::bad_alloc&) {
  ThrowFileError(path, "not enough memory to read the project file");
}

}  // namespace yel
