// Rules on print mode codes shared by the printer class (page commands, job
// state) and the raster stage (per-band halftoning and ink mode). Plain values
// in, so both layers can use them without sharing their record types.
#pragma once

#include <cstdint>

namespace qvx::modes {

inline constexpr uint16_t kMonochrome = 0x1000;
inline constexpr uint16_t kMultibit = 0x2000;
inline constexpr uint16_t kColourPlanes = 0x5000;  // monochrome through the colour planes

constexpr int PassClass(uint16_t code) { return (code >> 8) & 0xF; }
constexpr bool IsMonochromeOnly(uint16_t code) { return (code & 0x5000) == 0x1000; }
constexpr bool IsMultibit(uint16_t code) { return (code & kMultibit) != 0; }

// Pass classes whose error diffusion has a 2-bit method.
constexpr bool MultibitClass(uint16_t code) {
  const int pc = PassClass(code);
  return pc == 2 || pc == 3 || pc == 6 || pc == 7 || (code & 0x505) == 0x500;
}

// Plain (or plain-like) media with the alternative profile table.
constexpr bool PlainWithVariant(uint16_t mediaType, uint32_t mediaVariant) {
  return (mediaType == 0 || mediaType == 12) && mediaVariant == 1;
}

constexpr bool IsEnvelope(int paperSize) {
  switch (paperSize) {
    case 20: case 27: case 28: case 30: case 34: case 37: case 73: case 91: return true;
    default: return false;
  }
}

// Band family: 1 ordered dither, 2 error diffusion.
constexpr int BandFamily(uint16_t code, uint8_t docType, uint8_t halftone, uint16_t mediaType,
                         uint32_t mediaVariant) {
  const unsigned low = code & 0xFFF;
  int family;
  switch (docType) {
    case 2: family = 2; break;
    case 3: family = halftone == 1 ? 1 : 2; break;
    default: family = low < 0x200 ? 1 : 2; break;
  }
  if (low >= 0x500 || (code & kColourPlanes) == kColourPlanes || mediaType == 8 ||
      PlainWithVariant(mediaType, mediaVariant))
    family = 2;
  return family;
}

// The code with its multibit bit re-evaluated for a band family.
constexpr uint16_t WithMultibitForFamily(uint16_t code, uint32_t multibitMode, int family) {
  code &= static_cast<uint16_t>(~kMultibit);
  if (family == 2 && multibitMode == 1 && MultibitClass(code)) code |= kMultibit;
  return code;
}

// Parameter of the ink mode command.
constexpr uint8_t InkModeByte(uint16_t code) {
  const bool mono = IsMonochromeOnly(code);
  if (IsMultibit(code)) return mono ? 0x30 : 0x31;
  return mono ? 0x00 : 0x10;
}

}  // namespace qvx::modes
