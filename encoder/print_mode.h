// Print mode rules of the printer family: from the settings record to the
// quality preset, resolution, print mode code, media byte and print mode
// table row, and the command bytes that frame pages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mode_rules.h"
#include "settings_record.h"

namespace qvx::enc {

struct PrintModeRow {
  uint8_t codeBits;    // print mode code AND 0x30
  uint16_t passClass;  // print mode code AND 0xF00
  uint8_t mediaKey;    // media byte AND 0x7F
  bool weave;          // false: one pass, rows in order
  uint8_t nozzles;     // nozzle rows per swath
  uint16_t feed;       // paper feed per raster row, 1/24000 inch
  uint8_t passes;
  uint8_t p1, p2;      // parameters of the P command
  uint8_t period;      // weave period
};
inline constexpr size_t kPrintModeRows = 17;
extern const PrintModeRow kPrintModeTable[kPrintModeRows];

// Print mode code bits.
inline constexpr uint16_t kModeMonochrome = modes::kMonochrome;
inline constexpr uint16_t kModeMultibit = modes::kMultibit;
inline constexpr uint16_t kModeColourPlanes = modes::kColourPlanes;

int MediaClass(int mediaType);
int QualityIndex(int qualityCode);
int QualityPreset(int mediaType, int qualityCode);
int ResolutionForPreset(int preset);
using modes::PassClass;
bool IsHighPassClass(uint16_t code);
using modes::IsMonochromeOnly;
using modes::IsEnvelope;
inline bool IsBorderlessPaper(int paperSize) { return paperSize >= 274 && paperSize <= 281; }

// Fields of s.dm and the private part are read as the record holds them;
// `borderless` is expected to be recomputed already.
uint16_t PrintModeCode(const SettingsRecord& s, int preset);
uint8_t MediaByte(const SettingsRecord& s, uint16_t code);
// Index into kPrintModeTable; row 0 when nothing matches.
int FindPrintModeRow(uint16_t code, uint8_t mediaByte, bool* matched = nullptr);
// Band family (1 or 2) and the code with its multibit bit set for that family.
int BandFamily(const SettingsRecord& s, uint16_t code);
uint16_t WithMultibitForFamily(const SettingsRecord& s, uint16_t code, int family);
using modes::InkModeByte;

// Margins in 1/600 inch for a paper size; bit 1 of mediaDependent swaps the
// envelope top and bottom.
struct Margins {
  int32_t top, bottom, left, right;
};
Margins PaperMargins(int paperSize, uint32_t mediaDependent);
uint8_t PaperSizeCode(int paperSize);

// The page header command sequence; returns the number of bytes written into
// out (kPageHeaderMax is always enough).
inline constexpr size_t kPageHeaderMax = 64;
size_t BuildPageHeader(const SettingsRecord& s, uint16_t code, uint8_t mediaByte,
                       uint32_t mediaDependent, uint8_t* out);

}  // namespace qvx::enc
