// Paints the photos of the demo album: simple landscapes drawn with cairo,
// saved as JPEG (libjpeg) and one PNG, so that the demo needs no photo files
// from elsewhere. Usage: make_demo_photos OUTPUT_FOLDER
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <jpeglib.h>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800, kHeight = 600;

void Sky(cairo_t* cr, double r1, double g1, double b1, double r2, double g2, double b2) {
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kHeight);
  cairo_pattern_add_color_stop_rgb(sky, 0, r1, g1, b1);
  cairo_pattern_add_color_stop_rgb(sky, 1, r2, g2, b2);
  cairo_set_source(cr, sky);
  cairo_paint(cr);
  cairo_pattern_destroy(sky);
}

void Circle(cairo_t* cr, double x, double y, double radius, double r, double g, double b) {
  cairo_set_source_rgb(cr, r, g, b);
  cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
  cairo_fill(cr);
}

void Sunrise(cairo_t* cr) {
  Sky(cr, 0.98, 0.55, 0.25, 0.99, 0.9, 0.6);
  Circle(cr, 400, 420, 110, 1.0, 0.95, 0.7);
  cairo_set_source_rgb(cr, 0.35, 0.25, 0.3);
  cairo_move_to(cr, 0, 600);
  cairo_line_to(cr, 0, 430);
  cairo_curve_to(cr, 200, 360, 300, 480, 480, 420);
  cairo_curve_to(cr, 620, 380, 700, 430, 800, 400);
  cairo_line_to(cr, 800, 600);
  cairo_fill(cr);
}

void Sea(cairo_t* cr) {
  Sky(cr, 0.45, 0.7, 0.95, 0.85, 0.93, 1.0);
  for (int i = 0; i < 8; ++i) {
    double y = 300 + i * 40;
    cairo_set_source_rgb(cr, 0.05, 0.3 + i * 0.03, 0.55 + i * 0.04);
    cairo_move_to(cr, 0, y);
    for (int x = 0; x <= kWidth; x += 100) cairo_curve_to(cr, x + 25, y - 15, x + 75, y + 15, x + 100, y);
    cairo_line_to(cr, 800, 600);
    cairo_line_to(cr, 0, 600);
    cairo_fill(cr);
  }
}

void Forest(cairo_t* cr) {
  Sky(cr, 0.75, 0.88, 0.8, 0.55, 0.75, 0.55);
  std::mt19937 random(7);
  for (int i = 0; i < 24; ++i) {
    double x = (i * 37) % 800 + random() % 30, base = 520 + random() % 80, h = 180 + random() % 160;
    cairo_set_source_rgb(cr, 0.1, 0.3 + (random() % 30) / 100.0, 0.15);
    cairo_move_to(cr, x, base - h);
    cairo_line_to(cr, x - h / 4, base);
    cairo_line_to(cr, x + h / 4, base);
    cairo_fill(cr);
  }
}

void Night(cairo_t* cr) {
  Sky(cr, 0.02, 0.03, 0.12, 0.1, 0.12, 0.3);
  std::mt19937 random(11);
  for (int i = 0; i < 160; ++i) Circle(cr, random() % kWidth, random() % 450, 1 + random() % 3, 1, 1, 0.9);
  Circle(cr, 620, 140, 60, 0.95, 0.95, 0.85);
  Circle(cr, 645, 125, 55, 0.05, 0.06, 0.17);
}

void Meadow(cairo_t* cr) {
  Sky(cr, 0.6, 0.8, 1.0, 0.9, 0.95, 1.0);
  cairo_set_source_rgb(cr, 0.35, 0.7, 0.25);
  cairo_rectangle(cr, 0, 380, kWidth, 220);
  cairo_fill(cr);
  std::mt19937 random(3);
  const double colours[4][3] = {{0.95, 0.2, 0.3}, {1, 0.85, 0.1}, {0.95, 0.95, 0.95}, {0.6, 0.3, 0.9}};
  for (int i = 0; i < 90; ++i) {
    const double* c = colours[random() % 4];
    Circle(cr, random() % kWidth, 390 + random() % 200, 4 + random() % 6, c[0], c[1], c[2]);
  }
}

bool SaveJpeg(cairo_surface_t* surface, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  std::vector<JSAMPLE> row(kWidth * 3);
  for (int y = 0; y < kHeight; ++y) {
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < kWidth; ++x) {
      row[x * 3] = (pixels[x] >> 16) & 0xFF;
      row[x * 3 + 1] = (pixels[x] >> 8) & 0xFF;
      row[x * 3 + 2] = pixels[x] & 0xFF;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_demo_photos OUTPUT_FOLDER\n");
    return 2;
  }
  std::string folder = argv[1];
  std::filesystem::create_directories(folder);
  struct Photo {
    const char* name;
    void (*paint)(cairo_t*);
  } photos[] = {{"01-sunrise.jpg", Sunrise}, {"02-sea.jpg", Sea}, {"03-forest.jpg", Forest},
                {"04-night.jpg", Night},     {"05-meadow.png", Meadow}};
  for (const auto& photo : photos) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight);
    cairo_t* cr = cairo_create(surface);
    photo.paint(cr);
    cairo_destroy(cr);
    std::string path = folder + "/" + photo.name;
    bool ok = path.ends_with(".png") ? cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS
                                     : SaveJpeg(surface, path);
    cairo_surface_destroy(surface);
    if (!ok) {
      std::fprintf(stderr, "make_demo_photos: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
