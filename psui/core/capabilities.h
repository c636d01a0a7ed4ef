// Answers to the spooler's device-capability queries, from the description
// image and the effective settings record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "description_image.h"
#include "platform.h"
#include "settings_record.h"

namespace qvx::core {

// Capability indexes (the platform's DC_* values) that have an answer.
namespace dc {
inline constexpr uint16_t kFields = 1;
inline constexpr uint16_t kPapers = 2;
inline constexpr uint16_t kPaperSize = 3;
inline constexpr uint16_t kMinExtent = 4;
inline constexpr uint16_t kMaxExtent = 5;
inline constexpr uint16_t kBins = 6;
inline constexpr uint16_t kDuplex = 7;
inline constexpr uint16_t kSize = 8;
inline constexpr uint16_t kExtra = 9;
inline constexpr uint16_t kVersion = 10;
inline constexpr uint16_t kDriver = 11;
inline constexpr uint16_t kBinNames = 12;
inline constexpr uint16_t kFileDependencies = 14;
inline constexpr uint16_t kTrueType = 15;
inline constexpr uint16_t kPaperNames = 16;
inline constexpr uint16_t kOrientation = 17;
inline constexpr uint16_t kCopies = 18;
inline constexpr uint16_t kBinAdjust = 19;
inline constexpr uint16_t kCollate = 22;
inline constexpr uint16_t kMediaReady = 29;
inline constexpr uint16_t kStaple = 30;
inline constexpr uint16_t kColorDevice = 32;
}  // namespace dc

inline constexpr uint32_t kCapabilityError = 0xFFFFFFFF;
// Characters per name of DC_BINNAMES and DC_PAPERNAMES / DC_MEDIAREADY.
inline constexpr size_t kBinNameChars = 24;
inline constexpr size_t kPaperNameChars = 64;

// Language library string id of a "Paper" option's display name; 0 for a
// name the table does not know.
uint32_t PaperNameStringId(std::string_view optionName);

// The answer for one capability index, given the effective record. `output`
// may be null: nothing is written and the counting indexes still count.
// `printer` is asked for the spooler's forms where an index needs them.
uint32_t AnswerDeviceCapability(Platform& platform, Printer& printer, const DescriptionImage* image,
                                const SettingsRecord& effective, uint16_t index, void* output);

// The whole query: defaults for deviceName merged with `record` (or, without
// one, with the printer's own default record), then the answer.
uint32_t QueryDeviceCapabilities(Platform& platform, Printer& printer, const DescriptionImage* image,
                            std::u16string_view deviceName, uint16_t index, void* output, const void* record,
                            size_t recordSize);

}  // namespace qvx::core
