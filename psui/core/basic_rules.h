// The rules that tie the everyday settings together: media type and print
// quality, borderless papers, paper thickness and printing direction, and the
// lower tray. The Basic page and the Linux print tool both apply them through
// these functions, so each rule lives in one place. Functions that change a
// record return a Refusal instead of changing anything when a rule forbids
// the choice; the caller decides how to tell the user.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "settings_record.h"

namespace qvx::core {

// One choice of the print quality buttons.
struct QualityRow {
  uint8_t mediaType;
  uint8_t colorMask;  // bit 0 monochrome, bit 1 colour (matched against dmColor)
  uint8_t preset;
  int8_t qualityCode;
  uint16_t button;  // 3009..3012
  uint16_t label;   // string id
};

std::span<const QualityRow> QualityRows();

// The row for (media, dmColor, qualityCode) or (media, dmColor, preset); null
// when the media does not offer it.
const QualityRow* FindQualityRow(int mediaType, int dmColor, int qualityCode);
const QualityRow* FindQualityRowByPreset(int mediaType, int dmColor, int preset);

// Preset chosen when the media is picked; nullopt for a media without one.
std::optional<int> DefaultPresetForMedia(int mediaType);

// dmPrintQuality (and the job resolution) of a preset: 150, 300 or 600 dpi.
int PrintQualityForPreset(int preset);

// Papers 274..281 print without margins.
bool IsBorderlessPaper(int paper);
// Papers that have a borderless twin.
bool PaperAllowsBorderless(int paper);
// The borderless twin of a paper (switching borderless on) and back.
int BorderlessPaperFor(int paper);
int BorderedPaperFor(int paper);
// Borderless printing is refused for preset 0, for preset 5 on models with
// modelTypeBits bit 4, and for media 4 and 5.
bool BorderlessForbidden(int preset, int mediaType, uint16_t modelTypeBits);

// Source 2 (the lower tray) takes only plain media on a few paper sizes.
bool LowerTrayAllowed(int mediaType, int paper);
inline constexpr int kLowerTray = 2;

enum class Refusal {
  None,
  BorderlessConflict,   // borderless paper with a quality or media that forbids it
  QualityNotOffered,    // the media has no such quality
  MediaWithoutQuality,  // the media has no quality rows at all
  BorderlessNotOffered  // the paper has no borderless twin
};

// What applying a choice also changed, for the caller's notices.
struct RuleEffects {
  bool trayReset = false;  // the lower tray was refused: source set to 1
};

// Media chosen: stores mediaType with the media's default quality, the
// slow-drying switch, the direction switches of non-plain media, clears
// mirror/reverse for media 4 and 5, and applies the lower-tray rule.
Refusal ChooseMedia(SettingsRecord& record, int mediaType, RuleEffects* effects = nullptr);

// Quality chosen (qualityCode -1..-4) for the record's media and colour.
Refusal ChooseQuality(SettingsRecord& record, int qualityCode);

// Paper chosen (dmPaperSize code; 256 = custom): stores it with borderless,
// thickness and direction, and applies the lower-tray rule.
Refusal ChoosePaper(SettingsRecord& record, int paper, RuleEffects* effects = nullptr);

// Borderless switched on or off: the paper becomes its twin.
Refusal SwitchBorderless(SettingsRecord& record, bool on, RuleEffects* effects = nullptr);

// Paper source chosen; the lower-tray rule may move it to source 1.
void ChooseSource(SettingsRecord& record, int source, RuleEffects* effects = nullptr);

// Thickness and the bidirectional switches that follow from the paper.
void UpdateThicknessAndDirection(SettingsRecord& record);

}  // namespace qvx::core
