// Whole-page colour enhancement (when the settings ask for it, the page
// arrives as one band): automatic tone tables from the page's histogram, a
// chroma change in CIELAB and a 5 x 5 smoothing or sharpening kernel.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "raster_settings.h"

namespace qvx::raster {

using ToneTable = std::array<uint8_t, 256>;

struct EnhanceParams {
  double level = 128;        // L
  int levelShift = 0;        // moves the white level down and the black level up
  int chromaPercent = 0;     // p
  int chromaCap = 0;         // q
  int redWhiteShift = 0;     // e
  int offsets[3] = {0, 0, 0};
  int kernel[25] = {};       // K, row by row
  bool colour = true;
};

EnhanceParams MakeEnhanceParams(const RasterSettings& s, uint16_t code);

// Tone tables (R, G, B) from a histogram of all samples of the page.
std::array<ToneTable, 3> ToneTables(const EnhanceParams& p, const std::array<uint64_t, 256>& histogram);

// Enhances rows in place: tone tables (and chroma change when asked), then
// the kernel over [inkLeft, inkRight) when filter is set.
void EnhanceBand(const RasterSettings& s, uint16_t code, uint8_t* rows, size_t bytesPerRow, int width,
                 int height, int inkLeft, int inkRight);

}  // namespace qvx::raster
