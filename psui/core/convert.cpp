#include "convert.h"

#include <cstring>
#include <filesystem>

#include "description_image.h"
#include "settings_defaults.h"
#include "settings_merge.h"
#include "settings_record.h"

namespace qvx::core {
namespace {

ConvertResult Fail(uint32_t error) { return {false, error}; }

// The caller's buffer size; a negative size holds nothing.
size_t BufferSize(int32_t size) { return size > 0 ? static_cast<size_t>(size) : 0; }

// The input's size is only what its header declares. A public part longer
// than any DEVMODEW makes the whole header implausible, so such an input is
// not read at all rather than trusted for up to 128 KB.
size_t InputSize(const void* input) {
  if (LoadU16(input, kPublicSize, offsetof(DevModeW, dmSize)) > kPublicSize) return 0;
  return DeclaredRecordSize(input);
}

ConvertResult ConvertToCaller(const void* input, void* output, int32_t* size) {
  const size_t room = BufferSize(*size);
  const size_t outDeclared = DeclaredRecordSize(output, room);
  if (!output || outDeclared == 0 || outDeclared > room) return Fail(kErrorInvalidParameter);
  if (CopySettings(input, InputSize(input), output, room) < 0) return Fail(kErrorInvalidParameter);
  *size = static_cast<int32_t>(outDeclared);
  return {true, 0};
}

ConvertResult ConvertToOld(const void* input, void* output, int32_t* size) {
  if (!output || BufferSize(*size) < kOldRecordSize) {
    *size = kOldRecordSize;
    return Fail(kErrorInsufficientBuffer);
  }
  DevModeW header{};
  header.dmSpecVersion = 0x0320;
  header.dmSize = 188;
  header.dmDriverVersion = 0x0350;
  header.dmDriverExtra = 112;
  constexpr size_t kWords = offsetof(DevModeW, dmFields) - offsetof(DevModeW, dmSpecVersion);
  std::memcpy(static_cast<uint8_t*>(output) + offsetof(DevModeW, dmSpecVersion),
              reinterpret_cast<const uint8_t*>(&header) + offsetof(DevModeW, dmSpecVersion), kWords);
  if (CopySettings(input, InputSize(input), output, kOldRecordSize) < 0)
    return Fail(kErrorInvalidParameter);
  *size = kOldRecordSize;
  return {true, 0};
}

ConvertResult DriverDefault(Platform& platform, std::u16string_view printerName, void* output, int32_t* size) {
  if (!output || BufferSize(*size) < kRecordSize) {
    *size = kRecordSize;
    return Fail(kErrorInsufficientBuffer);
  }
  *size = kRecordSize;
  // Fails quietly: no printer or no description leaves no last error.
  auto printer = platform.OpenPrinterByName(printerName);
  if (!printer) return {};
  auto driver = printer->GetDriverInfo();
  if (!driver) return {};
  DescriptionImagePtr image = LoadDescriptionImage(std::filesystem::path(driver->dataFile));
  if (!image) return {};
  SettingsRecord record;
  BuildDefaultSettings(record, driver->name, image.get(), IsMetricCountry(platform), platform);
  std::memcpy(output, &record, kRecordSize);
  return {true, 0};
}

}  // namespace

ConvertResult ConvertDevMode(Platform& platform, std::u16string_view printerName, const void* input, void* output,
                             int32_t* size, uint32_t mode) {
  if (!size) return Fail(kErrorInvalidParameter);
  switch (mode) {
    case kConvertToCaller: return ConvertToCaller(input, output, size);
    case kConvertToOld: return ConvertToOld(input, output, size);
    case kDriverDefault: return DriverDefault(platform, printerName, output, size);
    default: return {};
  }
}

}  // namespace qvx::core
