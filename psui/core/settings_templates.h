// The preset records ("devmode0".."devmode12") that the driver publishes in
// printer data and that the Profiles page offers. Each is a partial record:
// the header, names, paper dimensions and option array are filled in by the
// user from the current record.
#pragma once

#include <cstddef>

#include "settings_record.h"

namespace qvx::core {

// Writes preset `index` (0..kTemplateCount-1) into `out`. False for an index
// out of range (out is then left unchanged).
bool BuildSettingsTemplate(size_t index, SettingsTemplate& out);

}  // namespace qvx::core
