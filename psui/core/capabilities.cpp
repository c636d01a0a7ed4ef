#include "capabilities.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "paper_forms.h"
#include "settings_defaults.h"
#include "settings_merge.h"

namespace qvx::core {
namespace {

struct PaperName {
  std::string_view option;
  uint32_t stringId;
};

constexpr std::array<PaperName, 37> kPaperNames = {{
    {"A4", 1200},          {"Letter", 1201},        {"Legal", 1202},         {"Executive", 1203},
    {"A5", 1204},          {"Post_Card", 1205},     {"Index_Card", 1206},    {"B5", 1207},
    {"C5", 1208},          {"HAGAKI", 1300},        {"B5JIS", 1301},         {"JE4", 1303},
    {"JL3", 1304},         {"Com10", 1209},         {"DL", 1210},            {"Monarch", 1211},
    {"Organizer_J", 1212}, {"Organizer_K", 1213},   {"Organizer_L", 1214},   {"BIBLE", 1305},
    {"B6JIS", 1302},       {"User", 1215},          {"A3", 1308},            {"B4JIS", 1307},
    {"Ledger", 1306},      {"A6", 1309},            {"W_HAGAKI", 1310},      {"Photo_L", 1311},
    {"Photo_2L", 1312},    {"A4_BL", 1340},         {"Letter_BL", 1341},     {"A6_BL", 1342},
    {"HAGAKI_BL", 1343},   {"Photo_L_BL", 1344},    {"Photo_2L_BL", 1345},   {"Post_Card_BL", 1346},
    {"Index_Card_BL", 1347},
}};

constexpr uint32_t kBinFeederString = 1271;
constexpr uint32_t kBinTray1String = 1272;
constexpr uint32_t kBinTray2String = 1273;

// Extents in 0.1 mm, height in the high word.
constexpr uint32_t kMinExtent = (1270u << 16) | 889u;
constexpr uint32_t kMaxExtent = (3556u << 16) | 2159u;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return EqualsIgnoringAsciiCase(WidenText(a), WidenText(b));
}

uint32_t BinNameStringId(const OptionRecord* option) {
  const std::string_view name = option->name ? std::string_view(option->name.get()) : std::string_view();
  if (EqualsIgnoringCase(name, "Tray1")) return kBinTray1String;
  if (EqualsIgnoringCase(name, "Tray2")) return kBinTray2String;
  return kBinFeederString;  // "Feeder", "Manual" and anything else
}

// Writes a name into a fixed slot of `chars` characters, zero-filled; a name
// of exactly that length has no terminator, as the spooler expects.
void PutName(char16_t* slot, size_t chars, std::u16string_view text) {
  std::fill(slot, slot + chars, u'\0');
  std::copy_n(text.begin(), std::min(text.size(), chars), slot);
}

template <class T>
void PutValue(void* output, size_t index, T value) {
  std::memcpy(static_cast<uint8_t*>(output) + index * sizeof(T), &value, sizeof(T));
}

bool HasSpoolerForms(Printer& printer) {
  const auto forms = printer.ListForms();
  return forms && !forms->empty();
}

// The (width, height) in 0.1 mm of the "Paper" option at `position`.
std::pair<int32_t, int32_t> PaperSize(const DescriptionImage* image, const SettingsRecord& record,
                                      const OptionRecord* paper, unsigned position) {
  if (OptionValue(paper, 1) == kCustomPaperSize) return {record.customWidth, record.customHeight};
  // The description lists "Paper" and "PageSize" in the same order; a
  // "Paper" option without a partner at its position is matched by name.
  const FeatureRecord* pageSizes = GetFeature(image, kFeaturePageSize);
  if (pageSizes == nullptr || pageSizes->optionSize < sizeof(PaperOption)) return {0, 0};
  const OptionRecord* partner = GetOption(pageSizes, position);
  if (partner == nullptr && paper->name) {
    const int byName = FindOptionByNameOrTranslation(pageSizes, paper->name.get());
    if (byName >= 0) partner = GetOption(pageSizes, static_cast<unsigned>(byName));
  }
  if (partner == nullptr) return {0, 0};
  const auto* size = reinterpret_cast<const PaperOption*>(partner);
  return {FixedToTenthMm(size->width), FixedToTenthMm(size->height)};
}

// Visits the options of a feature in order; returns their number (0 for a
// missing feature).
template <class Visit>
uint32_t ForEachOption(const FeatureRecord* feature, Visit visit) {
  uint32_t count = 0;
  for (const OptionRecord* o = feature ? feature->firstOption.get() : nullptr; o; o = o->next.get()) {
    visit(o, count++);
  }
  return count;
}

}  // namespace

uint32_t PaperNameStringId(std::string_view optionName) {
  for (const PaperName& row : kPaperNames) {
    if (row.option == optionName) return row.stringId;
  }
  return 0;
}

uint32_t AnswerDeviceCapability(Platform& platform, Printer& printer, const DescriptionImage* image,
                                const SettingsRecord& effective, uint16_t index, void* output) {
  const DevModeW& dm = effective.dm;
  switch (index) {
    case dc::kPapers:
    case dc::kPaperSize:
    case dc::kMinExtent:
    case dc::kMaxExtent:
    case dc::kPaperNames:
    case dc::kMediaReady:
      if (!HasSpoolerForms(printer)) return kCapabilityError;
      break;
    default:
      break;
  }
  const FeatureRecord* papers = GetFeature(image, kFeaturePaper);
  const FeatureRecord* trays = GetFeature(image, kFeatureTray);

  switch (index) {
    case dc::kFields:
      return dm.dmFields;
    case dc::kPapers:
      return ForEachOption(papers, [&](const OptionRecord* option, unsigned i) {
        if (output) PutValue<uint16_t>(output, i, static_cast<uint16_t>(OptionValue(option, 1)));
      });
    case dc::kPaperSize:
      return ForEachOption(papers, [&](const OptionRecord* option, unsigned i) {
        if (!output) return;
        const auto [width, height] = PaperSize(image, effective, option, i);
        PutValue<int32_t>(output, 2 * i, width);
        PutValue<int32_t>(output, 2 * i + 1, height);
      });
    case dc::kMinExtent:
      return kMinExtent;
    case dc::kMaxExtent:
      return kMaxExtent;
    case dc::kBins:
      return ForEachOption(trays, [&](const OptionRecord* option, unsigned i) {
        if (output) PutValue<uint16_t>(output, i, static_cast<uint16_t>(OptionValue(option, 2)));
      });
    case dc::kDuplex:
      return CountOptions(GetFeature(image, kFeatureDuplex)) > 0 ? 1 : 0;
    case dc::kSize:
      return dm.dmSize;
    case dc::kExtra:
      return dm.dmDriverExtra;
    case dc::kVersion:
      return dm.dmSpecVersion;
    case dc::kDriver:
      return dm.dmDriverVersion;
    case dc::kBinNames:
      return ForEachOption(trays, [&](const OptionRecord* option, unsigned i) {
        if (!output) return;
        const auto text = platform.GetString(StringSource::Language, BinNameStringId(option));
        PutName(static_cast<char16_t*>(output) + i * kBinNameChars, kBinNameChars, text.value_or(u""));
      });
    case dc::kFileDependencies:
      if (output) *static_cast<char16_t*>(output) = u'\0';
      return 0;
    case dc::kTrueType:
      return (dm.dmFields & dm::kTTOption) != 0 ? 6 : 1;
    case dc::kPaperNames:
    case dc::kMediaReady:
      return ForEachOption(papers, [&](const OptionRecord* option, unsigned i) {
        if (!output) return;
        const uint32_t id = option->name ? PaperNameStringId(option->name.get()) : 0;
        const auto text = id != 0 ? platform.GetString(StringSource::Language, id) : std::nullopt;
        PutName(static_cast<char16_t*>(output) + i * kPaperNameChars, kPaperNameChars, text.value_or(u""));
      });
    case dc::kOrientation:
      return (effective.privHeaderWord & 0x200) != 0 ? 90 : 270;
    case dc::kCopies:
      return 999;
    case dc::kBinAdjust:
      return dm.dmScale < 100 ? 2 : 1;
    case dc::kCollate:
      return (dm.dmFields & dm::kCollate) != 0 ? 1 : 0;
    case dc::kStaple:
      return 0;
    case dc::kColorDevice:
      return (dm.dmFields & dm::kColor) != 0 ? 1 : 0;
    default:
      return kCapabilityError;
  }
}

uint32_t QueryDeviceCapabilities(Platform& platform, Printer& printer, const DescriptionImage* image,
                            std::u16string_view deviceName, uint16_t index, void* output, const void* record,
                            size_t recordSize) {
  if (image == nullptr) return kCapabilityError;
  SettingsRecord effective{};
  BuildDefaultSettings(effective, deviceName, image, IsMetricCountry(platform), platform);
  std::vector<uint8_t> printerDefault;
  if (record == nullptr) {
    if (auto info = printer.GetInfo()) printerDefault = std::move(info->devMode);
    if (!printerDefault.empty()) {
      record = printerDefault.data();
      recordSize = printerDefault.size();
    }
  }
  if (!MergeSettings(effective, record, recordSize, &printer, image, platform)) return kCapabilityError;
  return AnswerDeviceCapability(platform, printer, image, effective, index, output);
}

}  // namespace qvx::core
