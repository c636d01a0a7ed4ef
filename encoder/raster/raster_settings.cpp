#include "raster_settings.h"

#include <cstring>

namespace qvx::raster {
namespace {

template <typename T>
void Load(const uint8_t* record, size_t size, size_t offset, T& out) {
  if (offset + sizeof(T) <= size) std::memcpy(&out, record + offset, sizeof(T));
}

}  // namespace

RasterSettings ReadRasterSettings(const uint8_t* record, size_t size) {
  RasterSettings s;
  Load(record, size, 504, s.code);
  Load(record, size, 644, s.mediaByte);
  Load(record, size, 92, s.dmColor);
  Load(record, size, 78, s.dmPaperSize);
  Load(record, size, 434, s.mediaType);
  Load(record, size, 468, s.docType);
  Load(record, size, 469, s.halftone);
  Load(record, size, 490, s.compressionMode);
  Load(record, size, 580, s.multibitMode);
  Load(record, size, 1340, s.mediaVariant);
  Load(record, size, 540, s.cmSwitch320);
  Load(record, size, 544, s.cmSwitch324);
  Load(record, size, 436, s.cmFlag);
  Load(record, size, 440, s.colorAdjust);
  for (int i = 0; i < 9; ++i) Load(record, size, 444 + 2 * i, s.colorAdjustments[i]);
  return s;
}

int BandFamily(const RasterSettings& s) {
  return modes::BandFamily(s.code, s.docType, s.halftone, s.mediaType, s.mediaVariant);
}

uint16_t BandCode(const RasterSettings& s, int family) {
  return modes::WithMultibitForFamily(s.code, s.multibitMode, family);
}

}  // namespace qvx::raster
