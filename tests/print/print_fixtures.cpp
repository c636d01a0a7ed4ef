#include "print_fixtures.h"

#include <cairo-pdf.h>
#include <jpeglib.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "test_paths.h"

namespace qvx::print::test {

std::vector<Block> QuadrantBlocks() {
  return {{0, 0, 0.5, 0.5, 1, 0, 0},
          {0.5, 0, 1, 0.5, 0, 1, 0},
          {0, 0.5, 0.5, 1, 0, 0, 1},
          {0.5, 0.5, 1, 1, 0, 0, 0}};
}

namespace {

void DrawBlocks(cairo_t* cr, const std::vector<Block>& blocks, double w, double h) {
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  for (const Block& b : blocks) {
    cairo_set_source_rgb(cr, b.r, b.g, b.b);
    cairo_rectangle(cr, b.x0 * w, b.y0 * h, (b.x1 - b.x0) * w, (b.y1 - b.y0) * h);
    cairo_fill(cr);
  }
}

cairo_surface_t* BlocksImage(const std::vector<Block>& blocks, int w, int h) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_t* cr = cairo_create(s);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  DrawBlocks(cr, blocks, w, h);
  cairo_destroy(cr);
  cairo_surface_flush(s);
  return s;
}

}  // namespace

void WriteBlocksPdf(const std::filesystem::path& path, const std::vector<std::vector<Block>>& pages,
                    double wPt, double hPt) {
  cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), wPt, hPt);
  cairo_t* cr = cairo_create(pdf);
  for (const auto& blocks : pages) {
    DrawBlocks(cr, blocks, wPt, hPt);
    cairo_show_page(cr);
  }
  cairo_destroy(cr);
  cairo_surface_finish(pdf);
  const bool ok = cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(pdf);
  if (!ok) throw std::runtime_error("cannot write " + path.string());
}

void WriteBlocksPng(const std::filesystem::path& path, const std::vector<Block>& blocks, int w, int h) {
  cairo_surface_t* s = BlocksImage(blocks, w, h);
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) throw std::runtime_error("cannot write " + path.string());
}

void WriteBlocksJpeg(const std::filesystem::path& path, const std::vector<Block>& blocks, int w, int h) {
  cairo_surface_t* s = BlocksImage(blocks, w, h);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path.string());
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = w;
  c.image_height = h;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 3);
  const unsigned char* data = cairo_image_surface_get_data(s);
  const int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t px;
      std::memcpy(&px, data + y * stride + 4 * x, 4);
      row[3 * x] = px >> 16;
      row[3 * x + 1] = px >> 8;
      row[3 * x + 2] = px;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&c, rows, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  cairo_surface_destroy(s);
}

std::vector<double> MeanInkGrid(const Raster& raster, int cols, int rows) {
  std::vector<double> sum(static_cast<size_t>(cols) * rows, 0.0);
  std::vector<double> count(sum.size(), 0.0);
  for (int y = 0; y < raster.height; ++y) {
    const int cy = std::min(rows - 1, y * rows / raster.height);
    for (int x = 0; x < raster.width; ++x) {
      const int cx = std::min(cols - 1, x * cols / raster.width);
      const uint8_t* p = raster.Pixel(x, y);
      const double luminance = (0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]) / 255.0;
      sum[cy * cols + cx] += 1.0 - luminance;
      count[cy * cols + cx] += 1.0;
    }
  }
  for (size_t i = 0; i < sum.size(); ++i) sum[i] = count[i] ? sum[i] / count[i] : 0.0;
  return sum;
}

Rgb MeanColour(const Raster& raster, double x0, double y0, double x1, double y1) {
  const int ax = static_cast<int>(x0 * raster.width), bx = static_cast<int>(x1 * raster.width);
  const int ay = static_cast<int>(y0 * raster.height), by = static_cast<int>(y1 * raster.height);
  double r = 0, g = 0, b = 0, n = 0;
  for (int y = ay; y < by; ++y) {
    for (int x = ax; x < bx; ++x) {
      const uint8_t* p = raster.Pixel(x, y);
      r += p[0];
      g += p[1];
      b += p[2];
      n += 255.0;
    }
  }
  return n ? Rgb{r / n, g / n, b / n} : Rgb{0, 0, 0};
}

Raster ReadPng(const std::filesystem::path& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) {
    throw std::runtime_error("cannot read " + path.string() + ": " + image.message);
  }
  image.format = PNG_FORMAT_RGB;
  Raster raster;
  raster.width = static_cast<int>(image.width);
  raster.height = static_cast<int>(image.height);
  raster.rgb.resize(PNG_IMAGE_SIZE(image));
  png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, raster.rgb.data(), 0, nullptr)) {
    throw std::runtime_error("cannot decode " + path.string() + ": " + image.message);
  }
  return raster;
}

std::filesystem::path ScratchDir(const std::string& name) {
  const std::filesystem::path dir = qvx::test::BinaryPath("tests/print/scratch/" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace qvx::print::test
