// Writes the installed content into the program's folder: the template and
// loading-bar catalogues, the theme-editor resources, the effect library and
// the links library.
#include <cairo.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>

#include "album/effect_codes.h"
#include "album/ini_file.h"
#include "album/resource_library.h"
#include "album/theme_catalogue.h"
#include "base/files.h"
#include "publish/transition_effects.h"
#include "base/byte_stream.h"
#include "base/error.h"
#include "swf/actionscript/compile_context.h"
#include "swf/builder/compile_context_base.h"
#include "swf/builder/flash_action_script.h"
#include "swf/builder/flash_movie.h"
#include "swf/builder/flash_shape.h"
#include "tools/theme_content/content.h"
#include "tools/theme_content/pictures.h"

namespace yel::content {
namespace {

// Catalogue tile pictures: 4:3, larger than the 100 × 76 tile box so that
// they are scaled down sharply.
constexpr int kViewWidth = 160, kViewHeight = 120;

void SetColour(cairo_t* cr, std::uint32_t c) {
  cairo_set_source_rgba(cr, (c & 255) / 255.0, ((c >> 8) & 255) / 255.0, ((c >> 16) & 255) / 255.0, 1);
}

std::string Folder(const std::string& path) {
  std::filesystem::create_directories(path);
  return path.back() == '/' ? path : path + "/";
}

// A fresh list file holding the names in order, with ids as the theme
// editor gives them.
void WriteList(const std::string& path, const char* root, const std::vector<std::string>& names) {
  WriteFileAtomically(path, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<") + root + " />\n");
  for (const std::string& name : names) AddListEntry(path, name);
  WrittenFiles().push_back(path);
}

void WriteView(const std::string& file, const TSurface& surface) {
  WriteFileAtomically(file, EncodeJPEGPicture(surface));
  WrittenFiles().push_back(file);
}

template <class Config>
void SaveConfig(const Config& config, const std::string& file) {
  // The generator runs in the "C" locale, so decimals get a full stop.
  config.Save(file);
  WrittenFiles().push_back(file);
}

void WriteLibrary(const std::string& file, const std::vector<TResourceEntry>& entries) {
  WriteResourceLibrary(file, entries);
  WrittenFiles().push_back(file);
}

double Fraction(double value, double whole) { return value / whole; }

constexpr int kTileWidth = 96, kTileHeight = 72;
void PaintEffectTile(cairo_t* cr, const EffectInfo& effect);

}  // namespace

std::vector<std::string>& WrittenFiles() {
  static std::vector<std::string> files;
  return files;
}

void PaintSamplePhoto(cairo_t* cr, double x, double y, double w, double h) {
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, w / 400, h / 300);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 300);
  cairo_pattern_add_color_stop_rgb(sky, 0, 0.35, 0.62, 0.9);
  cairo_pattern_add_color_stop_rgb(sky, 1, 0.85, 0.93, 0.98);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);
  cairo_set_source_rgb(cr, 1.0, 0.9, 0.55);
  cairo_arc(cr, 300, 80, 34, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.42, 0.55, 0.68);
  cairo_move_to(cr, 0, 210);
  cairo_line_to(cr, 110, 110);
  cairo_line_to(cr, 190, 180);
  cairo_line_to(cr, 260, 120);
  cairo_line_to(cr, 400, 220);
  cairo_line_to(cr, 400, 300);
  cairo_line_to(cr, 0, 300);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0.3, 0.6, 0.3);
  cairo_move_to(cr, 0, 240);
  cairo_curve_to(cr, 120, 200, 260, 270, 400, 230);
  cairo_line_to(cr, 400, 300);
  cairo_line_to(cr, 0, 300);
  cairo_fill(cr);
  cairo_restore(cr);
}

void PaintTemplate(cairo_t* cr, const TTemplateDesign& t) {
  const double x = std::nearbyint(t.X), y = std::nearbyint(t.Y);
  cairo_save(cr);
  SetColour(cr, 0);  // the album's background colour behind the photo
  cairo_rectangle(cr, t.X, t.Y, t.Width, t.Height);
  cairo_fill(cr);
  PaintSamplePhoto(cr, t.X, t.Y, t.Width, t.Height);
  // The background everywhere but in the window 4 pixels inside the photo
  // rectangle.
  cairo_save(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  cairo_rectangle(cr, 0, 0, kAlbumWidth, kAlbumHeight);
  cairo_rectangle(cr, std::nearbyint(t.X + 4), std::nearbyint(t.Y + 4), std::nearbyint(t.Width - 8),
                  std::nearbyint(t.Height - 8));
  cairo_clip(cr);
  if (t.BackgroundType == 2) {
    Paint(cr, t.Background);
  } else {
    SetColour(cr, t.BackgroundColour);
    cairo_paint(cr);
  }
  cairo_restore(cr);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  Paint(cr, t.Frame);
  cairo_restore(cr);
  for (const TShapeDesign& s : t.Shapes) {
    cairo_save(cr);
    cairo_translate(cr, std::nearbyint(s.X), std::nearbyint(s.Y));
    cairo_scale(cr, s.Width / s.Drawing.Width, s.Height / s.Drawing.Height);
    Paint(cr, s.Drawing);
    cairo_restore(cr);
  }
  cairo_restore(cr);
}

void WriteTemplates(const std::string& appFolder) {
  const std::string base = Folder(appFolder + kTemplateFolder);
  std::vector<std::string> names;
  for (const TTemplateDesign& t : TemplateDesigns()) {
    const std::string dir = Folder(base + t.Name);
    TTemplateConfig config;
    config.Name = t.Name;
    config.BackgroundType = t.BackgroundType;
    config.BackgroundColor = FormatHexColour(t.BackgroundColour);
    if (t.BackgroundType == 2) {
      config.BackgroundImage = "Background.swf";
      WriteClipMovie(t.Background, "", dir + config.BackgroundImage);
    }
    config.PhotoFrameName = t.FrameName;
    config.PhotoFrameFile = "PhotoFrame.swf";
    WriteClipMovie(t.Frame, "mc_PhotoFrame", dir + config.PhotoFrameFile);
    config.Left = Fraction(t.X, kAlbumWidth);
    config.Top = Fraction(t.Y, kAlbumHeight);
    config.Width = t.Width;
    config.Height = t.Height;
    std::map<std::string, bool> written;
    for (const TShapeDesign& s : t.Shapes) {
      if (!written[s.FileName]) WriteClipMovie(s.Drawing, "mc_Shape", dir + s.FileName);
      written[s.FileName] = true;
      config.Shapes.push_back(
          {s.FileName, Fraction(s.X, kAlbumWidth), Fraction(s.Y, kAlbumHeight), s.Width, s.Height});
    }
    SaveConfig(config, dir + "config.ini");

    TSurface view(kViewWidth, kViewHeight);
    cairo_scale(view.Context(), kViewWidth / kAlbumWidth, kViewHeight / kAlbumHeight);
    PaintTemplate(view.Context(), t);
    WriteView(dir + "View.jpg", view);
    names.push_back(t.Name);
  }
  WriteList(base + "Config.xml", "Templates", names);
}

void WriteTemplatePreviews(const std::string& folder) {
  std::filesystem::create_directories(folder);
  for (const TTemplateDesign& t : TemplateDesigns()) {
    TSurface picture(static_cast<int>(kAlbumWidth), static_cast<int>(kAlbumHeight));
    PaintTemplate(picture.Context(), t);
    const std::string file = folder + "/" + t.Name + ".png";
    if (cairo_surface_write_to_png(picture.Surface(), file.c_str()) != CAIRO_STATUS_SUCCESS)
      throw std::runtime_error(file + ": cannot write the preview");
  }
  // The effect tiles, seven to a row.
  const int rows = (static_cast<int>(AllEffects().size()) + 6) / 7;
  TSurface sheet(7 * (kTileWidth + 8), rows * (kTileHeight + 8));
  for (std::size_t i = 0; i < AllEffects().size(); ++i) {
    cairo_save(sheet.Context());
    cairo_translate(sheet.Context(), (i % 7) * (kTileWidth + 8) + 4, (i / 7) * (kTileHeight + 8) + 4);
    PaintEffectTile(sheet.Context(), AllEffects()[i]);
    cairo_restore(sheet.Context());
  }
  const std::string file = folder + "/Effects.png";
  if (cairo_surface_write_to_png(sheet.Surface(), file.c_str()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error(file + ": cannot write the preview");
}

void WriteLoadingBars(const std::string& appFolder) {
  const std::string base = Folder(appFolder + kLoadingBarFolder);
  std::vector<std::string> names;
  for (const TLoadingBarDesign& bar : LoadingBarDesigns()) {
    const std::string dir = Folder(base + bar.Name);
    WriteLoadingBarMovie(bar.Track, bar.Fill, dir + bar.Name + ".swf");
    TLoadingBarConfig config;
    config.Name = bar.Name;
    config.BackgroundType = 1;
    config.BackgroundColor = FormatHexColour(bar.BackgroundColour);
    // Centred in the default album.
    config.Left = Fraction((kAlbumWidth - bar.Track.Width) / 2, kAlbumWidth);
    config.Top = Fraction((kAlbumHeight - bar.Track.Height) / 2, kAlbumHeight);
    config.Width = bar.Track.Width;
    config.Height = bar.Track.Height;
    SaveConfig(config, dir + "Config.ini");

    TSurface view(kViewWidth, kViewHeight);
    cairo_t* cr = view.Context();
    SetColour(cr, bar.BackgroundColour);
    cairo_paint(cr);
    const double scale = (kViewWidth - 24) / bar.Track.Width;
    cairo_translate(cr, 12, (kViewHeight - bar.Track.Height * scale) / 2);
    cairo_scale(cr, scale, scale);
    Paint(cr, bar.Track);
    cairo_rectangle(cr, 0, 0, bar.Fill.Width * bar.Shown, bar.Fill.Height);
    cairo_clip(cr);
    Paint(cr, bar.Fill);
    WriteView(dir + "View.jpg", view);
    names.push_back(bar.Name);
  }
  WriteList(base + "Config.xml", "LoadingBars", names);
}

void WriteResources(const std::string& appFolder) {
  struct Kind {
    const char* folder;
    const char* root;
    std::vector<TResourceGroup> groups;
    const char* exportName;
  };
  const Kind kinds[] = {{kBackgroundResourceFolder, "Backgrounds", BackgroundResources(), ""},
                        {kPhotoFrameResourceFolder, "PhotoFrames", PhotoFrameResources(), "mc_PhotoFrame"},
                        {kAdornmentResourceFolder, "Adornments", AdornmentResources(), "mc_Shape"}};
  for (const Kind& kind : kinds) {
    const std::string base = Folder(appFolder + kind.folder);
    std::vector<std::string> names;
    for (const TResourceGroup& group : kind.groups) {
      const std::string dir = Folder(base + group.Name);
      for (const TResourceClip& clip : group.Clips) WriteClipMovie(clip.Drawing, kind.exportName, dir + clip.FileName);
      names.push_back(group.Name);
    }
    WriteList(base + "config.xml", kind.root, names);
  }
  std::filesystem::create_directories(appFolder + "Theme/Temp");
}

namespace {

// Each tile shows its effect half-way: the transition's own mask shape at
// the middle step, the outgoing picture where the mask is and the incoming
// one elsewhere (for the fade, the outgoing picture at half opacity).
void PaintEffectTile(cairo_t* cr, const EffectInfo& effect) {
  constexpr std::uint32_t kOutgoing = Rgba(240, 150, 40), kIncoming = Rgba(50, 110, 190);
  constexpr float kFrameRate = 12, kSpeed = 1;  // 12 steps; the tile shows step 6
  swf::TFlashMovie movie(0, 0, kTileWidth, kTileHeight, kFrameRate, swf::TSWFSystemCoord::Pix);
  swf::TFlashShape* outgoing = movie.AddRectangle(0, 0, kTileWidth, kTileHeight);
  outgoing->SetSolidColor(kOutgoing & 0xFFFFFF);
  publish::TTransitionParams params;
  params.Movie = &movie;
  params.W = kTileWidth;
  params.H = kTileHeight;
  params.FrameRate = kFrameRate;
  params.Speed = kSpeed;
  params.Outgoing = outgoing;
  if (!publish::TSlideShowEffect().Run(effect.Code, params)) throw std::logic_error("no transition for " + effect.Name);
  const bool fade = effect.Name == "Fade1";
  // Shape 0 is the outgoing picture; the fade's single mask is shape 1,
  // every other effect adds one mask per step.
  const int step = publish::TransitionSteps(kSpeed, kFrameRate) / 2;
  auto* mask = static_cast<swf::TFlashShape*>(movie.Shapes().Items(static_cast<std::uint16_t>(fade ? 1 : 1 + step)));

  cairo_save(cr);
  cairo_rectangle(cr, 0, 0, kTileWidth, kTileHeight);
  cairo_clip(cr);
  SetColour(cr, kIncoming);
  cairo_paint(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
  double px = 0, py = 0;
  for (const auto& record : mask->Records()) {
    switch (record->RecordKind) {
      case swf::TSWFShapeRecordKind::StyleChange: {
        const auto& change = static_cast<const swf::TSWFStyleChangeRecord&>(*record);
        if (change.StateMoveTo) {
          px = change.DeltaX / 20.0;
          py = change.DeltaY / 20.0;
          cairo_move_to(cr, px, py);
        }
        break;
      }
      case swf::TSWFShapeRecordKind::StraightEdge: {
        const auto& edge = static_cast<const swf::TSWFStraightEdgeRecord&>(*record);
        px += edge.DeltaX / 20.0;
        py += edge.DeltaY / 20.0;
        cairo_line_to(cr, px, py);
        break;
      }
      case swf::TSWFShapeRecordKind::CurvedEdge: {
        const auto& edge = static_cast<const swf::TSWFCurvedEdgeRecord&>(*record);
        const double cx = px + edge.ControlX / 20.0, cy = py + edge.ControlY / 20.0;
        const double ax = cx + edge.AnchorX / 20.0, ay = cy + edge.AnchorY / 20.0;
        cairo_curve_to(cr, px + 2.0 / 3 * (cx - px), py + 2.0 / 3 * (cy - py), ax + 2.0 / 3 * (cx - ax),
                       ay + 2.0 / 3 * (cy - ay), ax, ay);
        px = ax;
        py = ay;
        break;
      }
      case swf::TSWFShapeRecordKind::End:
        break;
    }
  }
  cairo_set_source_rgba(cr, (kOutgoing & 255) / 255.0, ((kOutgoing >> 8) & 255) / 255.0,
                        ((kOutgoing >> 16) & 255) / 255.0, fade ? 0.5 : 1.0);
  cairo_fill(cr);
  // A thin dark edge keeps light tiles apart from the page.
  cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, 0.5, 0.5, kTileWidth - 1, kTileHeight - 1);
  cairo_stroke(cr);
  cairo_restore(cr);
}

}  // namespace

void WriteEffectLibrary(const std::string& appFolder) {
  std::vector<TResourceEntry> entries;
  std::vector<std::pair<std::string, int>> groups;
  for (const EffectInfo& effect : AllEffects()) {
    std::string group = effect.Name;
    while (!group.empty() && std::isdigit(static_cast<unsigned char>(group.back()))) group.pop_back();
    if (groups.empty() || groups.back().first != group) groups.push_back({group, 0});
    ++groups.back().second;
    TSurface tile(kTileWidth, kTileHeight);
    PaintEffectTile(tile.Context(), effect);
    entries.push_back({"BMP", "YEL_Eff_" + effect.Name, EncodeBMPPicture(tile)});
  }
  TIniFile ini;
  ini.WriteInteger("system", "Count", static_cast<std::int64_t>(groups.size()));
  ini.WriteString("system", "Name", "Effect_");
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const std::string section = "Effect_" + std::to_string(g + 1);
    ini.WriteString(section, "Name", groups[g].first);
    ini.WriteInteger(section, "Count", groups[g].second);
  }
  const std::string text = ini.ToText();
  entries.insert(entries.begin(), {"INI", "YEL_Resource", std::vector<std::uint8_t>(text.begin(), text.end())});
  WriteLibrary(appFolder + kEffectLibrary, entries);
}

// The CD icon: a silver disc with a rainbow sheen and a photo corner.
void WriteLinksLibrary(const std::string& appFolder, const std::string& player) {
  std::vector<std::unique_ptr<TSurface>> images;
  for (int size : {16, 32, 48}) {
    auto image = std::make_unique<TSurface>(size, size);
    cairo_t* cr = image->Context();
    cairo_scale(cr, size / 48.0, size / 48.0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, 24, 24, 22, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 24, 24, 4.5, 0, 2 * M_PI);
    cairo_pattern_t* disc = cairo_pattern_create_linear(4, 4, 44, 44);
    cairo_pattern_add_color_stop_rgb(disc, 0.0, 0.93, 0.94, 0.97);
    cairo_pattern_add_color_stop_rgb(disc, 0.35, 0.75, 0.85, 0.98);
    cairo_pattern_add_color_stop_rgb(disc, 0.5, 0.98, 0.85, 0.9);
    cairo_pattern_add_color_stop_rgb(disc, 0.65, 0.85, 0.97, 0.8);
    cairo_pattern_add_color_stop_rgb(disc, 1.0, 0.62, 0.65, 0.72);
    cairo_set_source(cr, disc);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(disc);
    cairo_set_source_rgb(cr, 0.35, 0.38, 0.45);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_arc(cr, 24, 24, 9, 0, 2 * M_PI);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 24, 24, 4.5, 0, 2 * M_PI);
    cairo_set_source_rgba(cr, 0.55, 0.58, 0.65, 0.6);
    cairo_fill(cr);
    // A small photo leaning on the disc.
    cairo_save(cr);
    cairo_translate(cr, 29, 29);
    cairo_rotate(cr, -0.15);
    cairo_rectangle(cr, 0, 0, 18, 15);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill(cr);
    PaintSamplePhoto(cr, 2, 2, 14, 11);
    cairo_restore(cr);
    images.push_back(std::move(image));
  }
  std::vector<const TSurface*> views;
  for (const auto& image : images) views.push_back(image.get());
  std::vector<TResourceEntry> entries = {{"ICO", "YEL_CD", EncodeIcon(views)}};
  // Without a player (a build without Qt WebEngine) "Create Executable"
  // reports the missing resource.
  if (!player.empty()) entries.push_back({"EXE", "YEL_Player", ReadFileBytes(player)});
  WriteLibrary(appFolder + "YEL_Links.dll", entries);
}

// A stage script compiled into the frame actions of a movie of its own (the
// editor imports its definitions and scripts into the stage it builds).
std::vector<std::uint8_t> StageMovie(const std::string& script) {
  using namespace yel::swf;
  InstallActionCompiler();
  TFlashMovie movie(0, 0, 720, 540, 24, TSWFSystemCoord::Pix);
  movie.SetVersion(8);
  movie.SetCompressed(true);
  movie.CompileContext().AddIncludePath(std::filesystem::path(script).parent_path().string());
  if (!movie.FrameActions().CompileFile(script)) {
    TMemoryStream& log = movie.CompileErrors();
    throw Error(script + ": " + std::string(reinterpret_cast<const char*>(log.Data()), log.Size()));
  }
  movie.ShowFrame(1);
  TMemoryStream out;
  movie.MakeStreamInto(out);
  return std::vector<std::uint8_t>(out.Data(), out.Data() + out.Size());
}

void WriteStageLibrary(const std::string& appFolder, const std::string& scriptFolder) {
  WriteLibrary(appFolder + "YEL.dll", {{"SWF", "YEL_Template", StageMovie(scriptFolder + "/template_stage.as")},
                                       {"SWF", "YEL_LoadingBar", StageMovie(scriptFolder + "/loading_bar_stage.as")}});
}

}  // namespace yel::content
