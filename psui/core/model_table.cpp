#include "model_table.h"

namespace qvx::core {

const ModelRow kModelTable[24] = {
    {L"Quorvel Model 01 ", L"kdx101"}, {L"Quorvel Model 02 ", L"kdx102"},
    {L"Quorvel Model 03 ", L"kdx103"}, {L"Quorvel Model 04 ", L"kdx104"},
    {L"Quorvel Model 05 ", L"kdx105"}, {L"Quorvel Model 06 ", L"kdx106"},
    {L"Quorvel Model 07 ", L"kdx107"}, {L"Quorvel Model 08 ", L"kdx108"},
    {L"Quorvel Model 09 ", L"kdx109"}, {L"Quorvel Model 10 ", L"kdx110"},
    {L"Quorvel Model 11 ", L"kdx111"}, {L"Quorvel Model 12 ", L"kdx112"},
    {L"Quorvel Model 13 ", L"kdx113"}, {L"Quorvel Model 14 ", L"kdx114"},
    {L"Quorvel Model 15 ", L"kdx115"}, {L"Quorvel Model 16 ", L"kdx116"},
    {L"Quorvel Model 17 ", L"kdx117"}, {L"Quorvel Model 18 ", L"kdx118"},
    {L"Quorvel Model 19 ", L"kdx119"}, {L"Quorvel Model 20 ", L"kdx120"},
    {L"Quorvel Model 21 ", L"kdx121"}, {L"Quorvel Model 22 ", L"kdx122"},
    {L"Quorvel Model 23 ", L"kdx123"}, {nullptr, nullptr},
};

const wchar_t* LookupModelId(std::wstring_view driverName) {
  for (const ModelRow* row = kModelTable; row->displayName != nullptr; ++row) {
    if (driverName.find(row->displayName) != std::wstring_view::npos) return row->modelId;
  }
  return kModelTable[0].modelId;
}

}  // namespace qvx::core
