#include "print_mode.h"

#include <algorithm>
#include <initializer_list>

namespace qvx::enc {
namespace {

bool OneOf(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

void Emit(uint8_t*& p, std::initializer_list<uint8_t> bytes) {
  for (uint8_t b : bytes) *p++ = b;
}

void Put16(uint8_t*& p, int32_t v) {
  *p++ = static_cast<uint8_t>(v & 0xFF);
  *p++ = static_cast<uint8_t>((v >> 8) & 0xFF);
}

}  // namespace

const PrintModeRow kPrintModeTable[kPrintModeRows] = {
    // bits  class  media weave  nozzles feed passes P1    P2    period
    {0x00, 0x100, 0x00, false, 94, 160, 1, 0x00, 0x5D, 0},
    {0x00, 0x200, 0x00, true, 93, 80, 2, 0x01, 0x5D, 1},
    {0x00, 0x300, 0x00, true, 93, 40, 4, 0x01, 0x5D, 1},
    {0x00, 0x500, 0x00, true, 93, 20, 8, 0x01, 0x5D, 1},
    {0x00, 0x600, 0x00, true, 93, 10, 16, 0x01, 0x5D, 1},
    {0x00, 0x700, 0x00, true, 93, 4, 40, 0x01, 0x5D, 1},
    {0x00, 0x200, 0x01, true, 45, 80, 2, 0x01, 0x2D, 1},
    {0x00, 0x300, 0x01, true, 45, 40, 4, 0x01, 0x2D, 1},
    {0x00, 0x500, 0x01, true, 45, 20, 8, 0x01, 0x2D, 1},
    {0x00, 0x600, 0x01, true, 45, 10, 16, 0x01, 0x2D, 1},
    {0x00, 0x700, 0x01, true, 43, 4, 40, 0x03, 0x2D, 1},
    {0x00, 0x100, 0x10, false, 94, 160, 1, 0x00, 0x5D, 0},
    {0x00, 0x200, 0x10, true, 94, 80, 2, 0x00, 0x5D, 2},
    {0x00, 0x300, 0x10, true, 94, 40, 4, 0x00, 0x5D, 4},
    {0x00, 0x500, 0x10, true, 94, 20, 8, 0x00, 0x5D, 8},
    {0x10, 0x300, 0x04, true, 94, 40, 8, 0x00, 0x5D, 2},
    {0x10, 0x500, 0x04, true, 94, 20, 16, 0x00, 0x5D, 2},
};

int MediaClass(int mediaType) {
  if (OneOf(mediaType, {0, 8, 12})) return 0;
  if (mediaType == 1) return 1;
  if (OneOf(mediaType, {2, 3, 9, 10, 11, 13})) return 2;
  return 3;
}

int QualityIndex(int qualityCode) {
  switch (qualityCode) {
    case -1: return 0;
    case -2: return 1;
    case -3: return 2;
    default: return 3;
  }
}

int QualityPreset(int mediaType, int qualityCode) {
  static constexpr uint8_t kPresets[4][4] = {
      {0, 1, 2, 3}, {3, 3, 3, 4}, {3, 3, 4, 5}, {2, 2, 2, 3}};
  return kPresets[MediaClass(mediaType)][QualityIndex(qualityCode)];
}

int ResolutionForPreset(int preset) { return preset == 0 ? 150 : preset == 1 ? 300 : 600; }

bool IsHighPassClass(uint16_t code) {
  return OneOf(code & 0xFFF,
               {0x500, 0x505, 0x510, 0x515, 0x520, 0x525, 0x600, 0x610, 0x620, 0x700, 0x710, 0x720});
}


namespace {

using modes::MultibitClass;

bool PlainWithVariant(const SettingsRecord& s) {
  return modes::PlainWithVariant(s.mediaType, s.mediaVariant);
}

}  // namespace

uint16_t PrintModeCode(const SettingsRecord& s, int preset) {
  static constexpr uint16_t kBase[6] = {0x107, 0x205, 0x300, 0x500, 0x600, 0x700};
  uint16_t code = kBase[std::clamp(preset, 0, 5)];
  if (s.dm.dmColor != 2) {
    code |= kModeMonochrome;
    if (OneOf(s.mediaType, {1, 3, 4, 5, 8, 9, 10, 11, 13}) || PlainWithVariant(s))
      code |= kModeColourPlanes;
  }
  if (s.multibitMode == 1 && (s.docType == 2 || (s.docType == 3 && s.halftone == 2)) &&
      MultibitClass(code))
    code |= kModeMultibit;
  if ((s.mediaType == 4 || s.mediaType == 5) && ((code & 0xFFF) == 0x300 || (code & 0xFFF) == 0x500))
    code |= 0x10;
  return code;
}

uint8_t MediaByte(const SettingsRecord& s, uint16_t code) {
  if (s.mediaType == 4 || s.mediaType == 5) return 0x04;
  if (s.mediaType == 0 || s.mediaType == 8) {
    if (IsEnvelope(s.dm.dmPaperSize)) return 0x10;
    if (s.dm.dmPaperSize == 256 && s.thickness == 4) return 0x10;
  }
  if (s.borderless != 1) return 0x00;
  if (PassClass(code) == 1) return 0x00;
  return (s.modelTypeBits & 0x10) ? 0x81 : 0x80;
}

int FindPrintModeRow(uint16_t code, uint8_t mediaByte, bool* matched) {
  for (size_t i = 0; i < kPrintModeRows; ++i) {
    const PrintModeRow& row = kPrintModeTable[i];
    if (row.codeBits == (code & 0x30) && row.passClass == (code & 0xF00) &&
        row.mediaKey == (mediaByte & 0x7F)) {
      if (matched) *matched = true;
      return static_cast<int>(i);
    }
  }
  if (matched) *matched = false;
  return 0;
}

int BandFamily(const SettingsRecord& s, uint16_t code) {
  return modes::BandFamily(code, s.docType, s.halftone, s.mediaType, s.mediaVariant);
}

uint16_t WithMultibitForFamily(const SettingsRecord& s, uint16_t code, int family) {
  return modes::WithMultibitForFamily(code, s.multibitMode, family);
}

Margins PaperMargins(int paperSize, uint32_t mediaDependent) {
  if (paperSize == 275) return {46, 46, 70, 70};
  if (IsBorderlessPaper(paperSize)) return {46, 46, 46, 46};
  if (IsEnvelope(paperSize)) {
    if (mediaDependent & 2) return {566, 282, 70, 70};
    return {282, 566, 70, 70};
  }
  return {70, 70, 70, 70};
}

uint8_t PaperSizeCode(int paperSize) {
  struct Entry {
    int16_t paper;
    uint8_t code;
  };
  static constexpr Entry kCodes[] = {
      {1, 0},    {275, 0},  {9, 1},    {274, 1},  {5, 2},    {7, 3},    {13, 4},   {34, 5},
      {28, 6},   {11, 7},   {88, 8},   {27, 10},  {70, 11},  {276, 11}, {20, 12},  {37, 13},
      {263, 14}, {267, 14}, {262, 15}, {264, 16}, {43, 17},  {277, 17}, {30, 18},  {266, 19},
      {281, 19}, {265, 20}, {280, 20}, {91, 21},  {73, 22},  {272, 24}, {278, 24}, {273, 25},
      {279, 25}, {82, 26}};
  for (const Entry& e : kCodes)
    if (e.paper == paperSize) return e.code;
  return 1;
}

size_t BuildPageHeader(const SettingsRecord& s, uint16_t code, uint8_t mediaByte,
                       uint32_t mediaDependent, uint8_t* out) {
  uint8_t* p = out;
  Emit(p, {0x1B, 0x7C, 0x01, 0x00, 0x09});
  Emit(p, {'U', 'Q', 0x04, 0x00, 0x00, 0x00, 0x00, 'V'});

  uint8_t ra = 0x02, rb = 0x02;
  switch (code & 0xFFF) {
    case 0x107: rb = 0x00; break;
    case 0x205: rb = 0x01; break;
    case 0x500:
    case 0x510: ra = 0x03; rb = 0x03; break;
    case 0x600: ra = 0x03; rb = 0x04; break;
    case 0x700: ra = 0x03; rb = 0x06; break;
    default: break;
  }
  *p++ = 'R';
  *p++ = ra;
  *p++ = rb;

  *p++ = 'I';
  *p++ = InkModeByte(code);

  *p++ = 'M';
  *p++ = s.compressionMode == 2 ? 8 : s.compressionMode == 3 ? 6 : 7;

  const bool alternateSwitch = OneOf(s.mediaType, {1, 2, 3, 4, 5, 7, 9, 10, 11, 13});
  const uint32_t direction = alternateSwitch ? s.privDword280 : s.bidirectional;
  *p++ = 'D';
  *p++ = direction != 0 ? 0x00 : 0xFF;

  uint8_t thick = 0;
  switch (s.thickness) {
    case 1: thick = 1; break;
    case 2:
    case 4: thick = 2; break;
    case 3: thick = 3; break;
    default: break;
  }
  Emit(p, {'N', 0x04, thick});

  uint8_t media = 0;
  switch (s.mediaType) {
    case 1: media = 1; break;
    case 2:
    case 3: media = 2; break;
    case 4:
    case 5: media = 4; break;
    case 7: media = 3; break;
    case 9: media = 5; break;
    case 10: media = 6; break;
    case 11: media = 7; break;
    case 12: media = 0x0C; break;
    case 13: media = 8; break;
    default: break;
  }
  Emit(p, {'N', 0x05, media});

  const PrintModeRow& row = kPrintModeTable[FindPrintModeRow(code, mediaByte)];
  Emit(p, {'P', 0x80, row.p1, row.p2});

  *p++ = 'T';
  *p++ = s.dm.dmDefaultSource == 1 ? 1 : s.dm.dmDefaultSource == 2 ? 2 : 3;

  *p++ = 's';
  if (s.dm.dmPaperSize == 256) {
    const uint32_t width = (static_cast<uint32_t>(s.customWidth) * 90 + 127) / 254;
    *p++ = 0xFF;
    Put16(p, static_cast<int32_t>(width));
  } else {
    *p++ = PaperSizeCode(s.dm.dmPaperSize);
  }

  Margins m = PaperMargins(s.dm.dmPaperSize, mediaDependent);
  if (mediaByte & 0x80) {
    m.top -= 106;
    m.bottom -= 106;
    m.left -= 106;
    m.right -= 106;
  }
  *p++ = 'S';
  Put16(p, m.top);
  Put16(p, m.bottom);
  Put16(p, m.left);
  Put16(p, m.right);

  Emit(p, {'Y', 0x00, 0x00, 'X', 0x00, 0x00});
  return static_cast<size_t>(p - out);
}

}  // namespace qvx::enc
