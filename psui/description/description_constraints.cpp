// Constraint services: which option pairs the description forbids together, the
// first conflict of a candidate selection, and conflict-free printer selections.
#include <cstring>

#include "description_image.h"

namespace qvx {
namespace {

// A record option of "any" does not hold against an option that means "off".
bool IsOffOption(const DescriptionImage* image, unsigned feature, unsigned option) noexcept {
  const OptionRecord* o = GetOption(GetFeatureAtPosition(image, feature), option);
  if (!o || !o->name) return false;
  const char* name = o->name.get();
  return std::strcmp(name, "None") == 0 || std::strcmp(name, "False") == 0;
}

bool OptionMatches(const DescriptionImage* image, uint16_t recordOption, unsigned feature,
                   unsigned option) noexcept {
  if (recordOption == option) return true;
  return recordOption == kNoOption && !IsOffOption(image, feature, option);
}

uint8_t SelectionAt(std::span<const uint8_t> selections, unsigned i) noexcept {
  return i < selections.size() ? selections[i] : kNoOption;
}

}  // namespace

bool IsConstrained(const DescriptionImage* image, unsigned feature1, unsigned option1,
                   unsigned feature2, unsigned option2) noexcept {
  if (!image || !image->constraints) return false;
  const ConstraintTable* table = image->constraints.get();
  const ConstraintRecord* records = table->records();
  for (unsigned i = 0; i < table->count; ++i) {
    const ConstraintRecord& r = records[i];
    if (r.feature1 == kDroppedRecord) continue;
    if (r.feature1 != feature1 || r.feature2 != feature2) continue;
    if (OptionMatches(image, r.option1, feature1, option1) &&
        OptionMatches(image, r.option2, feature2, option2)) {
      return true;
    }
  }
  return false;
}

uint32_t FindConflict(const DescriptionImage* image, std::span<const uint8_t> printerSelections,
                      std::span<const uint8_t> documentSelections, unsigned candidateFeature,
                      unsigned candidateOption) noexcept {
  if (!image) return 0;
  const unsigned documentCount = image->documentFeatureCount;
  const unsigned printerCount = image->printerFeatureCount;
  unsigned candidatePosition;
  if (documentSelections.empty()) {
    candidatePosition = documentCount + candidateFeature;
  } else {
    if (candidateOption == kNoOption) return 0;
    candidatePosition = candidateFeature;
    for (unsigned i = 0; i < documentCount; ++i) {
      const uint8_t selection = SelectionAt(documentSelections, i);
      if (i == candidatePosition || selection == kNoOption) continue;
      if (IsConstrained(image, i, selection, candidatePosition, candidateOption)) {
        return ((i | 0x200u) << 8) | selection;
      }
    }
  }
  for (unsigned j = 0; j < printerCount; ++j) {
    if (documentCount + j == candidatePosition) continue;
    const uint8_t selection = SelectionAt(printerSelections, j);
    if (IsConstrained(image, documentCount + j, selection, candidatePosition, candidateOption)) {
      return ((j | 0x100u) << 8) | selection;
    }
  }
  return 0;
}

uint32_t ResolvePrinterSelections(const DescriptionImage* image, std::span<uint8_t> selections) noexcept {
  if (!image) return 0;
  const unsigned documentCount = image->documentFeatureCount;
  const unsigned printerCount = image->printerFeatureCount;
  const unsigned count = printerCount < selections.size() ? printerCount : static_cast<unsigned>(selections.size());
  for (unsigned j = 0; j < count; ++j) {
    const unsigned position = GetFeatureDefault(GetFeatureAtPosition(image, documentCount + j));
    selections[j] = static_cast<uint8_t>(position < kNoOption ? position : 0);
  }
  for (unsigned j = 0; j < count; ++j) {
    const uint32_t conflict = FindConflict(image, selections, {}, j, selections[j]);
    if (conflict == 0) continue;
    const unsigned options = CountOptions(GetFeatureAtPosition(image, documentCount + j));
    bool moved = false;
    for (unsigned o = 0; o < options && o < kNoOption; ++o) {
      if (FindConflict(image, selections, {}, j, o) == 0) {
        selections[j] = static_cast<uint8_t>(o);
        moved = true;
        break;
      }
    }
    if (moved) continue;
    // No option of this feature is free: move the other feature instead.
    const unsigned other = (conflict >> 8) & 0xFF;
    if (other >= count) continue;
    const unsigned otherOptions = CountOptions(GetFeatureAtPosition(image, documentCount + other));
    for (unsigned o = 0; o < otherOptions && o < kNoOption; ++o) {
      if (!IsConstrained(image, documentCount + other, o, documentCount + j, selections[j])) {
        selections[other] = static_cast<uint8_t>(o);
        break;
      }
    }
  }
  return printerCount & 0xFFFF;
}

}  // namespace qvx
