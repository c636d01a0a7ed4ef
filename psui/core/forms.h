// The description's paper sizes as forms of the spooler's form database.
// "Forms?" in printer data records that they were installed (2).
#pragma once

#include <string>

#include "description_image.h"
#include "platform.h"

namespace qvx::core {

// What an option is called where users see it: its translation, or its name
// when the translation is empty, as UTF-16 of at most maxChars characters.
std::u16string OptionDisplayName(const OptionRecord* option, size_t maxChars);

// The form name a paper option gets (its display name, at most 31 characters).
std::u16string PaperFormName(const OptionRecord* option);

// 1/256 point to 0.001 mm.
int32_t FixedPointsToMicrons(Fixed value);

// Adds every paper option with a size as a printer form, once per printer.
void InstallForms(Printer& printer, const DescriptionImage* image);

// After a driver update: user forms that carry the name of one of the
// description's papers are deleted and the description's forms installed
// again as printer forms.
void UpgradeForms(Printer& printer, const DescriptionImage* image);

}  // namespace qvx::core
