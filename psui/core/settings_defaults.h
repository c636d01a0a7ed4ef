// The default settings record built from the printer description, and the
// refresh of its print-time block before a record leaves the library.
#pragma once

#include <string_view>

#include "description_image.h"
#include "platform.h"
#include "settings_record.h"

namespace qvx::core {

// True (A4, millimetres) unless the user's country is one that uses Letter
// paper. An unreadable country setting counts as the United States.
bool IsMetricCountry(Platform& platform);

// Fills `record` with the defaults for a printer named deviceName (at most 31
// characters kept) described by `image` (may be null: every description value
// then takes its fallback). Always succeeds.
bool BuildDefaultSettings(SettingsRecord& record, std::u16string_view deviceName,
                          const DescriptionImage* image, bool metric, Platform& platform);

// The values that the default record and every preset share: the identity
// of the private part, the fixed settings and the print-time block's frame.
void FillCommonFields(SettingsRecord& record);

// Refreshes the print-time block from the settings block and the public part,
// and decides whether the page-processing helper is needed.
void PrepareRenderBlock(SettingsRecord& record, Platform& platform);

// Rebuilds optionSelections/optionCount from the image: the default option of
// every document feature in image order, kResolutionSelection for resolution.
void RebuildOptionSelections(SettingsRecord& record, const DescriptionImage* image);

// The number taken from a "SleepMode" / "MemorySize" value: the third token
// (commas and spaces separate), the last one when there are fewer, 1 when
// there is no separator, no text, or 30 characters or more.
int16_t ThirdTokenValue(const char* text);

// dmFields bits implied by the print processor: copies and collation when the
// processor is ours or the system's own.
bool ProcessorHandlesCopies(std::u16string_view printProcessor);

// Copies text into a fixed UTF-16 field, truncated so that a terminator
// always fits; the rest of the field is zeroed.
void StoreText(char16_t* field, size_t fieldChars, std::u16string_view text);
void StoreText(char* field, size_t fieldChars, std::string_view text);
// The text of a fixed field up to its first terminator (or its end).
std::u16string_view FieldText(const char16_t* field, size_t fieldChars);

// The packed summary stored in settingsKey.
uint32_t ComputeSettingsKey(const SettingsRecord& record);

}  // namespace qvx::core
