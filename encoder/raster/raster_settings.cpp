#include "raster_settings.h"

#include <cstring>

namespace qvx::raster {
namespace {

template <typename T>
void Load(const uint8_t* record, size_t size, size_t offset, T& out) {
  if (offset + sizeof(T) <= size) std::memcpy(&out, record + offset, sizeof(T));
}

bool MultibitClass(uint16_t code) {
  const unsigned pc = PassClass(code);
  return pc == 2 || pc == 3 || pc == 6 || pc == 7 || (code & 0x505) == 0x500;
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
  const unsigned low = s.code & 0xFFF;
  int family;
  switch (s.docType) {
    case 2: family = 2; break;
    case 3: family = s.halftone == 1 ? 1 : 2; break;
    default: family = low < 0x200 ? 1 : 2; break;
  }
  if (low >= 0x500 || (s.code & 0x5000) == 0x5000 || s.mediaType == 8 ||
      ((s.mediaType == 0 || s.mediaType == 12) && s.mediaVariant == 1))
    family = 2;
  return family;
}

uint16_t BandCode(const RasterSettings& s, int family) {
  uint16_t code = s.code & ~0x2000;
  if (family == 2 && s.multibitMode == 1 && MultibitClass(code)) code |= 0x2000;
  return code;
}

uint8_t InkModeByte(uint16_t code) {
  if (Multibit(code)) return MonoOnly(code) ? 0x30 : 0x31;
  return MonoOnly(code) ? 0x00 : 0x10;
}

}  // namespace qvx::raster
