#include "settings_templates.h"

#include <cstring>
#include <iterator>
#include <string>

#include "settings_defaults.h"

namespace qvx::core {
namespace {

// What distinguishes the presets; everything else is common to all of them.
struct TemplateRow {
  uint32_t icon;
  int16_t paperSize;
  int16_t scale;
  int16_t printQuality;
  int16_t qualityCode;
  uint16_t mediaType;
  uint32_t cmFlag;
  uint8_t printPreset;
  uint8_t borderless;
  uint8_t scalingMode;
  uint8_t privByte804;
  uint32_t mediaVariant;
  int32_t pagesPerSheet;
};

constexpr TemplateRow kRows[kTemplateCount] = {
    // icon paper scale pq   qc  media cm preset bl scal 804 variant nup
    {0, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 0, 1},
    {1, 9, 100, -4, -4, 1, 0, 4, 0, 3, 3, 0, 1},
    {0, 9, 100, -2, -2, 0, 0, 1, 0, 3, 3, 0, 1},
    {2, 9, 100, -3, -3, 0, 0, 2, 0, 0, 0, 0, 2},
    {7, 9, 75, -3, -3, 0, 0, 2, 0, 2, 3, 0, 1},
    {4, 278, 100, -3, -3, 3, 1, 4, 1, 3, 3, 0, 1},
    {18, 43, 100, -4, -4, 0, 0, 3, 0, 0, 0, 1, 1},
    {6, 43, 100, -4, -4, 1, 1, 4, 0, 3, 3, 0, 1},
    {18, 43, 100, -4, -4, 12, 0, 3, 0, 0, 0, 1, 1},
    {19, 43, 100, -3, -4, 13, 1, 4, 0, 3, 3, 0, 1},
    {5, 43, 100, -4, -4, 0, 0, 3, 0, 0, 0, 1, 1},
    {8, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 0, 1},
    {8, 9, 100, -3, -3, 0, 0, 2, 0, 3, 3, 0, 1},
};

// What the presets add to the fields every record shares.
void FillPresetCommon(SettingsRecord& r) {
  FillCommonFields(r);
  r.dm.dmOrientation = 1;
  r.dm.dmCopies = 1;
  r.dm.dmDefaultSource = 7;
  r.dm.dmColor = 2;
  r.dm.dmDuplex = 1;
  r.dm.dmTTOption = 3;

  r.templateBlock[0] = 0x18;
  for (size_t at : {6u, 8u, 10u, 14u}) {
    const uint16_t v = 10000;
    std::memcpy(&r.templateBlock[at], &v, 2);
  }
  r.privWord186 = 1;
  r.docType = 2;
  r.halftone = 2;
  r.cmOption = 1;
  r.customUnitInch = 0;
  r.customWidth = 2100;
  r.customHeight = 2970;
  r.bidirectional = 1;
  r.privDword328 = 1;
  r.modelTypeBits = 1;
  r.region = 1;
  r.settingsKey = 0x02005001;  // the same in every preset
  r.fitWidth = 2970;
  r.fitHeight = 2970;
}

}  // namespace

bool BuildSettingsTemplate(size_t index, SettingsTemplate& out) {
  if (index >= kTemplateCount) return false;
  const TemplateRow& row = kRows[index];
  out = SettingsTemplate{};
  out.icon = row.icon;
  const std::string name = "devmode" + std::to_string(index);
  StoreText(out.name, std::size(out.name), name);

  SettingsRecord& r = out.record;
  FillPresetCommon(r);
  r.dm.dmPaperSize = row.paperSize;
  r.dm.dmScale = row.scale;
  r.dm.dmPrintQuality = row.printQuality;
  r.qualityCode = row.qualityCode;
  r.mediaType = row.mediaType;
  r.cmFlag = row.cmFlag;
  r.printPreset = row.printPreset;
  r.borderless = row.borderless;
  r.scalingMode = row.scalingMode;
  r.privByte804 = row.privByte804;
  r.fitPaperSize = r.fitPaperSizeTarget = r.fitPaperSizeJob = r.fitPaperSizeTargetJob = row.paperSize;
  r.mediaVariant = row.mediaVariant;
  r.pagesPerSheet = row.pagesPerSheet;
  return true;
}

}  // namespace qvx::core
