// Printer-wide state kept in the spooler's printer data: the printer record
// ("PrinterData": memory and installable-option selections), the values
// published from it, and the preset records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "description_image.h"
#include "platform.h"

namespace qvx::core {

inline constexpr uint16_t kPrinterRecordVersion = 0x0503;
inline constexpr uint16_t kPrinterRecordSize = 108;
inline constexpr size_t kPrinterSelectionCapacity = 64;
// Smallest printer memory the record reports, in bytes.
inline constexpr uint32_t kMinimumPrinterMemory = 102400;

// Flags of the printer record.
inline constexpr uint32_t kPrinterMetricCountry = 0x1;
inline constexpr uint32_t kPrinterHalftoning = 0x2;
inline constexpr uint32_t kPrinterNonWesternCodePage = 0x4;

// "PrinterData", 108 bytes, little-endian.
struct PrinterRecord {
  uint16_t version;
  uint16_t size;
  uint32_t flags;
  uint32_t memory;       // bytes
  uint32_t jobTimeout;   // from the description
  uint32_t waitTimeout;  // from the description
  uint32_t reserved20;
  uint8_t reserved24[16];
  uint16_t descriptionStamp;  // stamp the selections were resolved for
  uint16_t featureCount;      // printer features
  uint8_t selections[kPrinterSelectionCapacity];
};
static_assert(sizeof(PrinterRecord) == kPrinterRecordSize);
static_assert(offsetof(PrinterRecord, version) == 0);
static_assert(offsetof(PrinterRecord, size) == 2);
static_assert(offsetof(PrinterRecord, flags) == 4);
static_assert(offsetof(PrinterRecord, memory) == 8);
static_assert(offsetof(PrinterRecord, jobTimeout) == 12);
static_assert(offsetof(PrinterRecord, waitTimeout) == 16);
static_assert(offsetof(PrinterRecord, reserved20) == 20);
static_assert(offsetof(PrinterRecord, reserved24) == 24);
static_assert(offsetof(PrinterRecord, descriptionStamp) == 40);
static_assert(offsetof(PrinterRecord, featureCount) == 42);
static_assert(offsetof(PrinterRecord, selections) == 44);

// A value stored as a size companion (REG_DWORD byte count) followed by the
// data (REG_BINARY): exactly that many bytes, or nothing when either value is
// missing or the data is shorter than its size says.
std::optional<std::vector<uint8_t>> ReadSizedValue(Printer& printer, std::u16string_view sizeName,
                                                   std::u16string_view dataName);
void WriteSizedValue(Printer& printer, std::u16string_view sizeName, std::u16string_view dataName,
                     const void* data, size_t size);

// A new record for the printer: memory from "FreeMem" or the description,
// timeouts from the description, flags from the system, and the printer
// selections resolved from the description's defaults.
PrinterRecord BuildPrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image);

// The stored record (built when absent). Selections resolved for another
// description are discarded and resolved afresh.
PrinterRecord ReadPrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image);

// Values read from the driver's defaults file (section "Default Setting" of
// QVXDEF.DAT); 1 when absent.
struct DefaultsFileValues {
  uint32_t solutionCenter = 1;
  uint32_t webUpdate = 1;
};

// Number of preset records published as "Devmode0".."Devmode11".
inline constexpr unsigned kPublishedTemplateCount = 12;

// Driver upgrade and printer initialisation: brings the stored record to the
// current version, publishes "FreeMem", "PrinterHT", the preset records and
// the defaults file's switches, and writes the record back. False only when
// no record could be had.
bool UpgradePrinterRecord(Platform& platform, Printer& printer, const DescriptionImage* image,
                          const DefaultsFileValues& defaultsFile);

}  // namespace qvx::core
