// Paper sizes of a settings record against the forms of the printer
// description ("Paper" options carry the paper-size codes, "PageSize" options
// the dimensions) and against the spooler's forms.
#pragma once

#include <string>

#include "description_image.h"
#include "platform.h"
#include "settings_record.h"

namespace qvx::core {

inline constexpr int16_t kCustomPaperSize = 256;

enum class PaperLookup { Found = 0, Custom = 1, NotFound = 2 };

struct PaperForm {
  std::string name;  // option name of the "Paper" feature, 8-bit
  Fixed width = 0;   // 1/256 point
  Fixed height = 0;
};

// Finds the description's form for record.dmPaperSize. For a known size the
// form name is also written to dmFormName and `borderless` follows the paper
// size; a custom size reports the record's custom dimensions.
PaperLookup LookupPaperForm(SettingsRecord& record, PaperForm& result, const DescriptionImage* image);

// Whether a spooler form is one of the description's papers (user-defined
// forms never are).
bool FormIsAvailable(const DescriptionImage* image, const FormInfo& form);

// The integer at the start of an option's value text; `fallback` when the
// option has none.
int OptionValue(const OptionRecord* option, int fallback);

// 1/256 point to 0.1 mm, truncating as the spooler's own tables do.
int32_t FixedToTenthMm(Fixed value);

// Paper sizes 274..281 are the borderless papers.
constexpr bool IsBorderlessPaper(int paperSize) { return paperSize >= 274 && paperSize <= 281; }

}  // namespace qvx::core
