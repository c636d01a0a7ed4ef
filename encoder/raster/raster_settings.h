// The fields of a job's settings record that the raster stages read, and the
// per-band rules derived from the print mode code.
#pragma once
#include <cstddef>
#include <cstdint>

#include "mode_rules.h"

namespace qvx::raster {

struct RasterSettings {
  uint16_t code = 0x300;     // print mode code as fixed when the job state was made
  uint8_t mediaByte = 0;     // bit 7 borderless; low bits select the print mode row
  int16_t dmColor = 2;       // 1 monochrome, 2 colour
  int16_t dmPaperSize = 9;
  uint16_t mediaType = 0;
  uint8_t docType = 2;
  uint8_t halftone = 2;
  uint8_t compressionMode = 2;
  uint32_t multibitMode = 1;
  uint32_t mediaVariant = 0;
  uint32_t cmSwitch320 = 1;
  uint32_t cmSwitch324 = 1;
  uint32_t cmFlag = 0;
  uint32_t colorAdjust = 0;
  int16_t colorAdjustments[9] = {};  // at offsets 444, 446, ... 460
};

// Reads a job's copy of the settings record (2376 bytes, print mode code at 504
// and media byte at 644 already filled in). Short input leaves defaults.
RasterSettings ReadRasterSettings(const uint8_t* record, size_t size);

inline unsigned PassClass(uint16_t code) { return static_cast<unsigned>(modes::PassClass(code)); }
inline bool MonoOnly(uint16_t code) { return modes::IsMonochromeOnly(code); }
inline bool Multibit(uint16_t code) { return modes::IsMultibit(code); }
inline bool HighPassClass(uint16_t code) { return PassClass(code) >= 5; }
using modes::IsEnvelope;

// Band family (1 ordered dither, 2 error diffusion) for the settings.
int BandFamily(const RasterSettings& s);
// The print mode code with the multibit bit re-evaluated for the band family.
uint16_t BandCode(const RasterSettings& s, int family);
using modes::InkModeByte;

}  // namespace qvx::raster
