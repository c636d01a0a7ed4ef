#include "printer_data.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "settings_defaults.h"
#include "settings_templates.h"

namespace qvx::core {
namespace {

constexpr std::u16string_view kFreeMem = u"FreeMem";
constexpr std::u16string_view kPrinterHT = u"PrinterHT";
constexpr std::u16string_view kPrinterDataSize = u"PrinterDataSize";
constexpr std::u16string_view kPrinterData = u"PrinterData";

bool IsNonWesternCodePage(Platform& platform) {
  const auto acp = platform.ReadRegistryString(RegistryRoot::LocalMachine,
                                               u"SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", u"ACP", 32);
  return acp && !acp->empty() && *acp != u"1252";
}

bool PrinterHalftoning(Printer& printer) {
  const auto value = printer.GetBinary(kPrinterHT);
  if (!value) return false;
  uint32_t flag = 0;
  std::memcpy(&flag, value->data(), std::min<size_t>(value->size(), 4));
  return flag != 0;
}

// Resolves the printer selections for the image into the record. The record
// has room for 64 printer features; a description with more keeps the first 64.
void ResolveSelections(PrinterRecord& record, const DescriptionImage* image) {
  std::vector<uint8_t> selections(std::max<size_t>(GetPrinterFeatureCount(image), kPrinterSelectionCapacity));
  const uint32_t count = ResolvePrinterSelections(image, selections) & 0xFFFF;
  std::memcpy(record.selections, selections.data(), kPrinterSelectionCapacity);
  record.featureCount = static_cast<uint16_t>(std::min<uint32_t>(count, kPrinterSelectionCapacity));
  record.descriptionStamp = GetDescriptionStamp(image);
}

uint32_t DescriptionMemory(const DescriptionImage* image) {
  const FeatureRecord* vm = GetFeature(image, kFeatureVMOption);
  const OptionRecord* first = GetOption(vm, 0);
  return first != nullptr ? reinterpret_cast<const MemoryOption*>(first)->memory : 0;
}

// Record bytes as stored: at most 108 of them, the rest zero.
std::optional<PrinterRecord> LoadStoredRecord(Printer& printer) {
  const auto bytes = ReadSizedValue(printer, kPrinterDataSize, kPrinterData);
  if (!bytes || bytes->empty()) return std::nullopt;
  PrinterRecord record{};
  std::memcpy(&record, bytes->data(), std::min(bytes->size(), sizeof record));
  return record;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadSizedValue(Printer& printer, std::u16string_view sizeName,
                                                   std::u16string_view dataName) {
  const auto size = printer.GetDword(sizeName);
  if (!size) return std::nullopt;
  auto data = printer.GetBinary(dataName);
  if (!data || data->size() < *size) return std::nullopt;
  data->resize(*size);
  return data;
}

void WriteSizedValue(Printer& printer, std::u16string_view sizeName, std::u16string_view dataName,
                     const void* data, size_t size) {
  printer.SetDword(sizeName, static_cast<uint32_t>(size));
  printer.SetBinary(dataName, data, size);
}

PrinterRecord BuildPrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image) {
  PrinterRecord record{};
  record.version = kPrinterRecordVersion;
  record.size = kPrinterRecordSize;
  if (const auto freeMemKb = printer.GetDword(kFreeMem)) {
    const uint64_t bytes = uint64_t{*freeMemKb} * 1024;
    record.memory = static_cast<uint32_t>(std::clamp<uint64_t>(bytes, kMinimumPrinterMemory, UINT32_MAX));
  } else {
    record.memory = DescriptionMemory(image);
  }
  record.jobTimeout = image->suggestedJobTimeout;
  record.waitTimeout = image->suggestedWaitTimeout;
  if (IsMetricCountry(platform)) record.flags |= kPrinterMetricCountry;
  if (PrinterHalftoning(printer)) record.flags |= kPrinterHalftoning;
  if (IsNonWesternCodePage(platform)) record.flags |= kPrinterNonWesternCodePage;
  ResolveSelections(record, image);
  return record;
}

PrinterRecord ReadPrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image) {
  auto stored = LoadStoredRecord(printer);
  if (!stored) return BuildPrinterRecord(platform, printer, image);
  stored->featureCount = std::min<uint16_t>(stored->featureCount, kPrinterSelectionCapacity);
  if (stored->descriptionStamp != GetDescriptionStamp(image)) {
    std::memset(stored->selections, 0, sizeof stored->selections);
    ResolveSelections(*stored, image);
  }
  return *stored;
}

namespace {

// The record the presets take their header and device name from: the
// printer's own default record, or the defaults built for its driver.
std::optional<SettingsRecord> PresetSource(Platform& platform, Printer& printer, const DescriptionImage* image) {
  const auto info = printer.GetInfo();
  if (!info) return std::nullopt;
  SettingsRecord source{};
  if (info->devMode.size() >= sizeof(DevModeW)) {
    std::memcpy(&source, info->devMode.data(), std::min(info->devMode.size(), sizeof source));
    return source;
  }
  if (image == nullptr) return std::nullopt;
  BuildDefaultSettings(source, info->driverName, image, IsMetricCountry(platform), platform);
  return source;
}

void PublishPresets(Platform& platform, Printer& printer, const DescriptionImage* image) {
  const auto source = PresetSource(platform, printer, image);
  if (!source) return;
  for (unsigned i = 0; i < kPublishedTemplateCount; ++i) {
    SettingsTemplate preset{};
    if (!BuildSettingsTemplate(i, preset)) continue;
    // The name field keeps 29 characters and a terminator, as the profile
    // list shows it.
    const auto name = platform.GetString(StringSource::Language, 8205 + i);
    StoreText(preset.name, 30, name ? NarrowText(*name) : std::string());
    std::memcpy(preset.record.dm.dmDeviceName, source->dm.dmDeviceName, sizeof preset.record.dm.dmDeviceName);
    preset.record.dm.dmSpecVersion = source->dm.dmSpecVersion;
    preset.record.dm.dmDriverVersion = source->dm.dmDriverVersion;
    preset.record.dm.dmSize = source->dm.dmSize;
    preset.record.dm.dmDriverExtra = source->dm.dmDriverExtra;
    preset.record.dm.dmFields = source->dm.dmFields;
    const std::u16string valueName = WidenText("Devmode" + std::to_string(i));
    printer.SetBinary(valueName, &preset, sizeof preset);
  }
}

}  // namespace

bool UpgradePrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image,
                          const DefaultsFileValues& defaultsFile) {
  if (image == nullptr) return false;
  PrinterRecord record = ReadPrinterRecord(platform, printer, image);
  if (record.version < kPrinterRecordVersion) {
    // Older records are shorter; what they hold keeps its place, the rest
    // stays zero.
    record.version = kPrinterRecordVersion;
    record.size = kPrinterRecordSize;
  }
  printer.SetDword(kFreeMem, record.memory / 1024);
  const uint32_t halftoning = (record.flags & kPrinterHalftoning) != 0 ? 1 : 0;
  printer.SetBinary(kPrinterHT, &halftoning, sizeof halftoning);
  PublishPresets(platform, printer, image);
  if (defaultsFile.solutionCenter != 1) printer.SetDword(u"BSC", defaultsFile.solutionCenter);
  if (defaultsFile.webUpdate != 1) printer.SetDword(u"WU", defaultsFile.webUpdate);
  WriteSizedValue(printer, kPrinterDataSize, kPrinterData, &record, sizeof record);
  return true;
}

}  // namespace qvx::core
