// Documents of our own making for the print tests, and measures of ink on a
// packed 24-bit RGB raster.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qvx::print::test {

// A colour block on a page, in fractions of the page (0..1).
struct Block {
  double x0, y0, x1, y1;
  double r, g, b;
};

// The four quadrants: red, green, blue, black (the XPS fixture's first page).
std::vector<Block> QuadrantBlocks();

// One-page-per-entry PDF of blocks on white, each page `wPt` x `hPt` points.
void WriteBlocksPdf(const std::filesystem::path& path, const std::vector<std::vector<Block>>& pages,
                    double wPt = 419.5, double hPt = 595.3);
// A PNG or JPEG picture of the blocks, w x h pixels.
void WriteBlocksPng(const std::filesystem::path& path, const std::vector<Block>& blocks, int w, int h);
void WriteBlocksJpeg(const std::filesystem::path& path, const std::vector<Block>& blocks, int w, int h);

// A page-sized packed RGB raster.
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  const uint8_t* Pixel(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

// Mean ink (1 - luminance, 0 white .. 1 black) per cell of a cols x rows grid.
std::vector<double> MeanInkGrid(const Raster& raster, int cols, int rows);

// Mean colour (0..1 per channel) inside a region given in fractions.
struct Rgb {
  double r, g, b;
};
Rgb MeanColour(const Raster& raster, double x0, double y0, double x1, double y1);

// Reads a PNG written by the decoder (any 8-bit RGB/RGBA/grey layout).
Raster ReadPng(const std::filesystem::path& path);

// A fresh folder under the build tree for one test.
std::filesystem::path ScratchDir(const std::string& name);

}  // namespace qvx::print::test
