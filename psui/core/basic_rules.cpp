#include "basic_rules.h"

#include <algorithm>
#include <array>

namespace qvx::core {
namespace {

constexpr QualityRow Q(uint8_t media, uint8_t preset, int8_t code, uint16_t button, uint16_t label) {
  return {media, 3, preset, code, button, label};
}

// Four choices for plain media, two for inkjet paper and media 4, three for
// the photo media.
constexpr std::array<QualityRow, 34> kQualityRows = {{
    Q(0, 3, -4, 3009, 8080), Q(0, 2, -3, 3010, 8079), Q(0, 1, -2, 3011, 8078), Q(0, 0, -1, 3012, 8077),
    Q(8, 3, -4, 3009, 8080), Q(8, 2, -3, 3010, 8079), Q(8, 1, -2, 3011, 8078), Q(8, 0, -1, 3012, 8077),
    Q(12, 3, -4, 3009, 8080), Q(12, 2, -3, 3010, 8079), Q(12, 1, -2, 3011, 8078), Q(12, 0, -1, 3012, 8077),
    Q(1, 4, -4, 3009, 8081), Q(1, 3, -3, 3010, 8080),
    Q(2, 5, -4, 3009, 8082), Q(2, 4, -3, 3010, 8081), Q(2, 3, -2, 3011, 8080),
    Q(3, 5, -4, 3009, 8082), Q(3, 4, -3, 3010, 8081), Q(3, 3, -2, 3011, 8080),
    Q(13, 5, -4, 3009, 8082), Q(13, 4, -3, 3010, 8081), Q(13, 3, -2, 3011, 8080),
    Q(9, 5, -4, 3009, 8082), Q(9, 4, -3, 3010, 8081), Q(9, 3, -2, 3011, 8080),
    Q(10, 5, -4, 3009, 8082), Q(10, 4, -3, 3010, 8081), Q(10, 3, -2, 3011, 8080),
    Q(11, 5, -4, 3009, 8082), Q(11, 4, -3, 3010, 8081), Q(11, 3, -2, 3011, 8080),
    Q(4, 3, -4, 3009, 8080), Q(4, 2, -3, 3010, 8079),
}};

struct DefaultPreset {
  uint8_t mediaType;
  uint8_t preset;
};
constexpr std::array<DefaultPreset, 11> kDefaultPresets = {{
    {0, 2}, {8, 2}, {12, 3}, {1, 3}, {2, 4}, {3, 4}, {13, 4}, {9, 4}, {10, 4}, {11, 4}, {4, 2},
}};

struct PaperTwin {
  int16_t bordered;
  int16_t borderless;
};
// Switching on maps bordered -> borderless (anything else -> 274); switching
// off maps back (anything else -> 9).
constexpr std::array<PaperTwin, 7> kTwins = {{
    {1, 275}, {43, 277}, {70, 276}, {265, 280}, {266, 281}, {272, 278}, {273, 279},
}};

int ColorBit(int dmColor) { return dmColor == 2 ? 2 : 1; }

bool In(int value, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

// The paper that decides thickness, direction and the tray: the fit-to
// target when the page is scaled to another paper.
int EffectivePaper(const SettingsRecord& r) {
  return r.scalingMode == 1 ? r.fitPaperSizeTarget : r.dm.dmPaperSize;
}

bool PlainMedia(int mediaType) { return mediaType == 0 || mediaType == 8 || mediaType == 12; }

void ApplyLowerTrayRule(SettingsRecord& r, RuleEffects* effects) {
  if (r.dm.dmDefaultSource == kLowerTray && !LowerTrayAllowed(r.mediaType, EffectivePaper(r))) {
    r.dm.dmDefaultSource = 1;
    if (effects) effects->trayReset = true;
  }
}

void StorePreset(SettingsRecord& r, const QualityRow& row) {
  r.printPreset = row.preset;
  r.qualityCode = row.qualityCode;
  r.dm.dmPrintQuality = static_cast<int16_t>(PrintQualityForPreset(row.preset));
}

}  // namespace

std::span<const QualityRow> QualityRows() { return kQualityRows; }

const QualityRow* FindQualityRow(int mediaType, int dmColor, int qualityCode) {
  for (const QualityRow& row : kQualityRows) {
    if (row.mediaType == mediaType && (row.colorMask & ColorBit(dmColor)) && row.qualityCode == qualityCode) {
      return &row;
    }
  }
  return nullptr;
}

const QualityRow* FindQualityRowByPreset(int mediaType, int dmColor, int preset) {
  for (const QualityRow& row : kQualityRows) {
    if (row.mediaType == mediaType && (row.colorMask & ColorBit(dmColor)) && row.preset == preset) return &row;
  }
  return nullptr;
}

std::optional<int> DefaultPresetForMedia(int mediaType) {
  for (const DefaultPreset& d : kDefaultPresets) {
    if (d.mediaType == mediaType) return d.preset;
  }
  return std::nullopt;
}

int PrintQualityForPreset(int preset) { return preset == 0 ? 150 : preset == 1 ? 300 : 600; }

bool IsBorderlessPaper(int paper) { return paper >= 274 && paper <= 281; }

bool PaperAllowsBorderless(int paper) {
  return In(paper, {1, 9, 43, 70, 265, 266}) || (paper >= 272 && paper <= 281);
}

int BorderlessPaperFor(int paper) {
  if (IsBorderlessPaper(paper)) return paper;
  for (const PaperTwin& t : kTwins) {
    if (t.bordered == paper) return t.borderless;
  }
  return 274;
}

int BorderedPaperFor(int paper) {
  for (const PaperTwin& t : kTwins) {
    if (t.borderless == paper) return t.bordered;
  }
  return IsBorderlessPaper(paper) ? 9 : paper;
}

bool BorderlessForbidden(int preset, int mediaType, uint16_t modelTypeBits) {
  return preset == 0 || (preset == 5 && (modelTypeBits & 0x10)) || mediaType == 4 || mediaType == 5;
}

bool LowerTrayAllowed(int mediaType, int paper) {
  return (mediaType == 0 || mediaType == 8) && In(paper, {1, 5, 7, 9, 13});
}

Refusal ChooseMedia(SettingsRecord& r, int mediaType, RuleEffects* effects) {
  if ((mediaType == 4 || mediaType == 5) && IsBorderlessPaper(r.dm.dmPaperSize)) {
    return Refusal::BorderlessConflict;
  }
  const std::optional<int> preset = DefaultPresetForMedia(mediaType);
  const QualityRow* row = preset ? FindQualityRowByPreset(mediaType, r.dm.dmColor, *preset) : nullptr;
  if (!row) return Refusal::MediaWithoutQuality;
  r.mediaType = static_cast<uint16_t>(mediaType);
  StorePreset(r, *row);
  r.mediaVariant = mediaType == 12 ? 1 : 0;
  if ((mediaType >= 1 && mediaType <= 5) || (mediaType >= 9 && mediaType <= 11) || mediaType == 13) {
    r.privDword280 = 0;
    r.privDword312 = 0;
  }
  // Mirror and reverse printing are not offered on media 4 and 5.
  if (mediaType == 4 || mediaType == 5) r.mediaDependentValue = 0;
  ApplyLowerTrayRule(r, effects);
  UpdateThicknessAndDirection(r);
  return Refusal::None;
}

Refusal ChooseQuality(SettingsRecord& r, int qualityCode) {
  const QualityRow* row = FindQualityRow(r.mediaType, r.dm.dmColor, qualityCode);
  if (!row) return Refusal::QualityNotOffered;
  if (IsBorderlessPaper(r.dm.dmPaperSize) && BorderlessForbidden(row->preset, r.mediaType, r.modelTypeBits)) {
    return Refusal::BorderlessConflict;
  }
  StorePreset(r, *row);
  UpdateThicknessAndDirection(r);
  return Refusal::None;
}

Refusal ChoosePaper(SettingsRecord& r, int paper, RuleEffects* effects) {
  if (IsBorderlessPaper(paper) && BorderlessForbidden(r.printPreset, r.mediaType, r.modelTypeBits)) {
    return Refusal::BorderlessConflict;
  }
  r.borderless = IsBorderlessPaper(paper) ? 1 : 0;
  if (r.dm.dmPaperSize != paper) r.privWord262 = 3;
  r.dm.dmPaperSize = static_cast<int16_t>(paper);
  r.fitPaperSize = static_cast<int16_t>(paper);
  UpdateThicknessAndDirection(r);
  ApplyLowerTrayRule(r, effects);
  return Refusal::None;
}

Refusal SwitchBorderless(SettingsRecord& r, bool on, RuleEffects* effects) {
  if (on && !PaperAllowsBorderless(r.dm.dmPaperSize)) return Refusal::BorderlessNotOffered;
  const int paper = on ? BorderlessPaperFor(r.dm.dmPaperSize) : BorderedPaperFor(r.dm.dmPaperSize);
  return ChoosePaper(r, paper, effects);
}

void ChooseSource(SettingsRecord& r, int source, RuleEffects* effects) {
  r.dm.dmDefaultSource = static_cast<int16_t>(source);
  ApplyLowerTrayRule(r, effects);
}

void UpdateThicknessAndDirection(SettingsRecord& r) {
  const int paper = EffectivePaper(r);
  if (In(paper, {20, 27, 28, 34, 37, 73, 91})) {
    r.thickness = 2;
  } else if (paper == 256) {
    r.thickness = r.thicknessJob;
  } else {
    r.thickness = 0;
  }
  const bool envelopeLike = In(paper, {20, 27, 28, 34, 37, 43, 73, 82, 91, 277}) ||
                            (paper == 256 && (r.thickness == 2 || r.thickness == 4));
  if (PlainMedia(r.mediaType)) {
    r.bidirectional = envelopeLike ? 0 : r.bidirectionalJob;
  } else {
    r.privDword280 = envelopeLike ? 0 : r.privDword312;
  }
}

}  // namespace qvx::core
