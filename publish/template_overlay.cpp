// Template overlay: one sprite at depth 200 over the slides, made of
//   depth 1  a red mask shape, the album area with the photo window (4 px
//            inside the photo rectangle) cut out, clipping depth 2;
//   depth 2  the template background (a colour rectangle or an imported SWF);
//   depth 3  the photo-frame clip at the photo rectangle, unscaled;
//   4 ...    the decorative clips, each a renamed copy scaled to its size.
// The photo rectangle that every slide is drawn into comes from the same
// configuration.
//
// File names read from "config.ini" are refused when they could lead out of
// the template's folder; the error names the configuration file.
#include "publish/template_overlay.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "album/album_model.h"
#include "album/theme_catalogue.h"
#include "base/byte_stream.h"
#include "base/error.h"
#include "base/paths.h"
#include "publish/transition_effects.h"
#include "swf/builder/flash_external_movie.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_place_object.h"
#include "swf/builder/flash_shape.h"
#include "swf/builder/flash_sprite.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/control_tags.h"
#include "swf/format/swf_records.h"
#include "swf/format/swf_stream.h"

namespace yel::publish {
namespace {

// Photo rectangles and clip sizes beyond this many pixels are refused: the
// album itself is at most 8191 pixels wide and high.
constexpr double kMaxPixels = 8191;

bool IsFile(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Frame size of an imported movie in pixels.
float FrameWidth(swf::TFlashExternalMovie& clip) {
  const swf::TRect& r = clip.Reader().MovieRect();
  return float((double(r.Right) - r.Left) / 20.0);
}
float FrameHeight(swf::TFlashExternalMovie& clip) {
  const swf::TRect& r = clip.Reader().MovieRect();
  return float((double(r.Bottom) - r.Top) / 20.0);
}

// size / own, or 1 when the clip has no size of its own along that axis.
float ScaleTo(float size, float own) { return own > 0 ? size / own : 1.0f; }

swf::TFlashExternalMovie* ImportSprite(swf::TFlashMovie& movie, const std::string& file) {
  return movie.AddExternalMovie(file, swf::eimSprite, true);
}

// A number of the configuration that becomes a coordinate or a size.
double Checked(double value, const char* what, const std::string& config) {
  if (!std::isfinite(value) || std::fabs(value) > kMaxPixels)
    ThrowFileError(config, std::string(what) + " is not a number from -8191 to 8191 pixels");
  return value;
}

}  // namespace

std::string ResolveFolderIgnoreCase(const std::string& folder) {
  std::string out;
  std::size_t start = 0;
  if (!folder.empty() && folder[0] == '/') out = "/", start = 1;
  while (start < folder.size()) {
    std::size_t slash = folder.find('/', start);
    const std::string part = folder.substr(start, slash == std::string::npos ? slash : slash - start);
    out = part.empty() ? out : ResolvePathIgnoreCase(out + part) + "/";
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return out;
}

std::unique_ptr<TMemoryStream> RenameShapeClip(const std::string& fileName, int k) {
  if (!IsFile(fileName)) return nullptr;
  swf::TSWFStreamReader reader(fileName);
  if (!reader.IsSWF) ThrowFileError(fileName, "not an SWF movie");
  reader.ParseTags(true, true);
  const std::string name = "mc_Shape_" + std::to_string(k);
  for (std::size_t i = 0; i < reader.TagCount(); ++i) {
    swf::TSWFObject* tag = reader.TagInfo(i).TagObject;
    if (!tag) continue;
    if (tag->TagID == swf::tag::DoAction) {
      if (auto* actions = dynamic_cast<swf::TSWFDoAction*>(tag)) {
        for (const auto& action : actions->Actions()) {
          if (action->ActionCode != 0x88) continue;
          if (auto* pool = dynamic_cast<swf::TSWFActionConstantPool*>(action.get()))
            for (std::string& constant : pool->ConstantPool)
              if (constant == "mc_Shape") constant = name;
        }
      }
    } else if (tag->TagID == swf::tag::ExportAssets) {
      if (auto* exports = dynamic_cast<swf::TSWFExportAssets*>(tag); exports && !exports->Assets.empty())
        exports->Assets.front().Name = name;
    }
  }
  reader.MakeStream();
  auto copy = std::make_unique<TMemoryStream>();
  reader.SaveToStream(*copy);
  copy->Seek(0);
  return copy;
}

TPhotoRect AddTemplateOverlay(swf::TFlashMovie& movie, const TFlashAlbum& album) {
  const TPhotoRect whole = {0, 0, float(album.Width), float(album.Height)};
  const TView* selected = album.Templates.Selected;
  if (!selected) return whole;
  const std::string templates = ResolveFolderIgnoreCase(album.Template.PhotoFrame.Folder);
  if (std::string problem = ThemeNameProblem(selected->Name); !problem.empty())
    ThrowFileError(templates, "the template name \"" + selected->Name + "\" is refused: " + problem);
  const std::string d = ResolvePathIgnoreCase(templates + selected->Name) + "/";
  if (LeadsOutside(d, templates))
    ThrowFileError(d, "the template folder is a link that leads outside " + templates + "; it is not followed");
  const std::string config = ResolvePathIgnoreCase(d + "config.ini");
  if (!IsFile(config)) return whole;
  const TTemplateConfig c = TTemplateConfig::Load(config);

  const double W = album.Width, H = album.Height;
  swf::TFlashSprite* overlay = movie.AddSprite();

  switch (static_cast<std::uint8_t>(c.BackgroundType)) {
    case 1: {
      TColor colour = 0;
      try {
        colour = ParseHexColour(c.BackgroundColor);
      } catch (const std::exception& e) {
        ThrowFileError(config, std::string("[Background] Color: ") + e.what());
      }
      swf::TFlashShape* background = movie.AddRectangle(0, 0, album.Width, album.Height);
      background->SetSolidColor(swf::ColorToSWFRGBA(colour, 255) & 0xFFFFFFu);
      overlay->PlaceObject(background, kOverlayBackgroundDepth);
      break;
    }
    case 2: {
      if (c.BackgroundImage.empty()) ThrowFileError(config, "[Background] Type 2 names no Image");
      swf::TFlashExternalMovie* image = ImportSprite(movie, ThemeFilePath(d, c.BackgroundImage, config));
      overlay->PlaceObject(image->Sprite(), kOverlayBackgroundDepth);
      break;
    }
    default:
      break;
  }

  const float x = float(Checked(c.Left * W, "[Size] Left", config));
  const float y = float(Checked(c.Top * H, "[Size] Top", config));
  float w = float(Checked(c.Width, "[Size] Width", config));
  float h = float(Checked(c.Height, "[Size] Height", config));
  // A template without a photo frame (as a new template is written) has no
  // frame clip; its photo rectangle then needs a size of its own.
  swf::TFlashExternalMovie* frame = nullptr;
  if (!c.PhotoFrameFile.empty()) {
    const std::string file = ThemeFilePath(d, c.PhotoFrameFile, config);
    if (!IsFile(file)) ThrowFileError(file, "the photo frame named by " + config + " does not exist");
    frame = ImportSprite(movie, file);
    if (w == 0) w = FrameWidth(*frame);
    if (h == 0) h = FrameHeight(*frame);
  }
  if (!(w > 0 && h > 0 && w <= kMaxPixels && h <= kMaxPixels))
    ThrowFileError(config, "the photo rectangle " + std::to_string(w) + " x " + std::to_string(h) +
                               " is empty or larger than 8191 pixels");
  const TPhotoRect photo = {x, y, w, h};

  swf::TFlashShape* mask = movie.AddRectangle(0, 0, album.Width, album.Height);
  // The window runs against the outer rectangle, so that the non-zero fill
  // rule cuts it out as the even-odd rule does.
  const std::size_t window = mask->Edges().Records().size();
  mask->Edges().MoveTo(RoundEven(double(x) + 4), RoundEven(double(y) + 4));
  mask->Edges().MakeRectangle(RoundEven(double(w) - 8), RoundEven(double(h) - 8));
  mask->Edges().OrientSubpaths(window, false);
  mask->Edges().EndEdges();
  mask->SetSolidColor(0x0000FF);
  overlay->PlaceObject(mask, kOverlayMaskDepth)->SetClipDepth(kOverlayBackgroundDepth);

  if (frame)
    overlay->PlaceObject(frame->Sprite(), kOverlayFrameDepth)->SetTranslate(RoundEven(x), RoundEven(y));

  for (std::size_t i = 0; i < c.Shapes.size(); ++i) {
    const TTemplateShape& shape = c.Shapes[i];
    const int k = int(i) + 1;
    if (shape.FileName.empty()) continue;
    const std::string g = ThemeFilePath(d, shape.FileName, config);
    if (!IsFile(g)) continue;
    const std::string section = "[Shape_" + std::to_string(k) + "] ";
    const double xk = Checked(shape.Left * W, (section + "Left").c_str(), config);
    const double yk = Checked(shape.Top * H, (section + "Top").c_str(), config);
    float wk = float(Checked(shape.Width, (section + "Width").c_str(), config));
    float hk = float(Checked(shape.Height, (section + "Height").c_str(), config));
    std::unique_ptr<TMemoryStream> copy = RenameShapeClip(g, k);
    if (!copy) continue;
    swf::TFlashExternalMovie* clip = nullptr;
    try {
      clip = movie.AddExternalMovie(*copy, swf::eimSprite, true);
    } catch (const std::exception& e) {
      ThrowFileError(g, e.what());
    }
    const float gw = FrameWidth(*clip), gh = FrameHeight(*clip);
    if (wk == 0) wk = gw;
    if (hk == 0) hk = gh;
    // Decorative clips stay above the frame even in a template without one.
    const std::uint16_t depth = std::uint16_t(std::max<int>(overlay->MaxDepth, kOverlayFrameDepth) + 1);
    swf::TFlashPlaceObject* place = overlay->PlaceObject(clip->Sprite(), depth);
    place->SetScale(ScaleTo(wk, gw), ScaleTo(hk, gh));
    place->SetTranslate(RoundEven(xk), RoundEven(yk));
  }

  overlay->ShowFrame(1);
  // The overlay's definition follows the imports whose sprites it places.
  movie.MoveObject(movie.IndexOfObject(overlay), int(movie.ObjectList().size()) - 1);
  movie.PlaceObject(overlay, kTemplateDepth);
  movie.ShowFrame(1);
  return photo;
}

}  // namespace yel::publish
