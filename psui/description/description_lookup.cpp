// Read-only lookups and constraint services on a loaded description image.
#include "description_image.h"

namespace qvx {

uint32_t DescriptionNameHash(std::string_view name) noexcept {
  uint32_t hash = 0;
  for (unsigned char c : name) hash = (hash * 2) ^ c;
  return hash;
}

const FeatureRecord* GetFeature(const DescriptionImage* image, unsigned index) noexcept {
  if (!image || index >= kPredefinedFeatureCount) return nullptr;
  return image->featureSlots[index].get();
}

const FeatureRecord* GetFeatureAtPosition(const DescriptionImage* image, unsigned position) noexcept {
  if (!image) return nullptr;
  const FeatureRecord* feature = image->firstFeature.get();
  for (; feature && position > 0; --position) feature = feature->next.get();
  return feature;
}

const OptionRecord* GetOption(const FeatureRecord* feature, unsigned position) noexcept {
  if (!feature) return nullptr;
  const OptionRecord* option = feature->firstOption.get();
  for (; option && position > 0; --position) option = option->next.get();
  return option;
}

unsigned CountOptions(const FeatureRecord* feature) noexcept {
  unsigned count = 0;
  for (const OptionRecord* o = feature ? feature->firstOption.get() : nullptr; o; o = o->next.get()) ++count;
  return count;
}

int FindOptionPosition(const FeatureRecord* feature, std::string_view name) noexcept {
  if (!feature) return -1;
  const uint32_t hash = DescriptionNameHash(name);
  int position = 0;
  for (const OptionRecord* o = feature->firstOption.get(); o; o = o->next.get(), ++position) {
    if (o->nameHash == hash && o->name && name == o->name.get()) return position;
  }
  return -1;
}

int FindOptionByNameOrTranslation(const FeatureRecord* feature, std::string_view text) noexcept {
  if (!feature) return -1;
  const uint32_t hash = DescriptionNameHash(text);
  int position = 0;
  for (const OptionRecord* o = feature->firstOption.get(); o; o = o->next.get(), ++position) {
    if (o->translation && text == o->translation.get()) return position;
    if (o->nameHash == hash && o->name && text == o->name.get()) return position;
  }
  return -1;
}

unsigned GetFeatureDefault(const FeatureRecord* feature) noexcept {
  return feature ? static_cast<unsigned>(feature->defaultValue) : 0;
}

// Leading optional sign and decimal digits; 0 when there are none.
static int LeadingInteger(const char* text) noexcept {
  if (!text) return 0;
  bool negative = false;
  if (*text == '-' || *text == '+') negative = (*text++ == '-');
  int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

int GetFeatureDefaultValue(const DescriptionImage* image, unsigned index) noexcept {
  const FeatureRecord* feature = GetFeature(image, index);
  if (!feature) return 0;
  const OptionRecord* option = GetOption(feature, GetFeatureDefault(feature));
  return option ? LeadingInteger(option->invocation.get()) : 0;
}

bool IsPrinterFeature(const FeatureRecord* feature) noexcept {
  return feature && feature->printerFeature != 0;
}

unsigned GetDocumentFeatureCount(const DescriptionImage* image) noexcept {
  return image ? image->documentFeatureCount : 0;
}

unsigned GetPrinterFeatureCount(const DescriptionImage* image) noexcept {
  return image ? image->printerFeatureCount : 0;
}

unsigned GetFeatureListPosition(const DescriptionImage* image, const FeatureRecord* feature) noexcept {
  if (!image || !feature) return 0;
  return feature->position + (IsPrinterFeature(feature) ? image->documentFeatureCount : 0u);
}

uint16_t GetDescriptionStamp(const DescriptionImage* image) noexcept {
  return image ? image->stamp : 0;
}

}  // namespace qvx
