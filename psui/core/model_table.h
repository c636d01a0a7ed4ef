// Printer models known to the support page: the driver name of a printer is
// matched against these display names to find the model id used in the
// support address.
#pragma once

#include <string_view>

namespace qvx::core {

struct ModelRow {
  const wchar_t* displayName;  // ends with a space; null ends the table
  const wchar_t* modelId;
};

// 23 models followed by the terminating row.
extern const ModelRow kModelTable[24];

// First row (in table order) whose display name occurs in the driver name,
// case-sensitively; the first row's id when none does.
const wchar_t* LookupModelId(std::wstring_view driverName);

}  // namespace qvx::core
