#include "paper_forms.h"

#include <cctype>
#include <charconv>
#include <cstring>
#include <iterator>

#include "settings_defaults.h"

namespace qvx::core {

int OptionValue(const OptionRecord* option, int fallback) {
  if (!option || !option->invocation) return fallback;
  const char* text = option->invocation.get();
  const char* end = text + std::strlen(text);
  int value = 0;
  auto [ptr, ec] = std::from_chars(text + (*text == '+' ? 1 : 0), end, value);
  if (ec != std::errc{} || ptr == text) return fallback;
  return value;
}

int32_t FixedToTenthMm(Fixed value) {
  return static_cast<int32_t>(static_cast<int64_t>(value) * 25400 / 18432 / 100);
}

PaperLookup LookupPaperForm(SettingsRecord& record, PaperForm& result, const DescriptionImage* image) {
  result = PaperForm{};
  const FeatureRecord* papers = GetFeature(image, kFeaturePaper);

  if (record.dm.dmPaperSize == kCustomPaperSize) {
    // 0.1 mm to whole points, then to 1/256 point.
    result.width = static_cast<Fixed>(record.customWidth * 100 / 254 * 72 / 100 * kFixedOne);
    result.height = static_cast<Fixed>(record.customHeight * 100 / 254 * 72 / 100 * kFixedOne);
    for (const OptionRecord* o = papers ? papers->firstOption.get() : nullptr; o; o = o->next.get()) {
      if (OptionValue(o, 0) == kCustomPaperSize && o->name) {
        result.name = o->name.get();
        break;
      }
    }
    return PaperLookup::Custom;
  }

  record.borderless = IsBorderlessPaper(record.dm.dmPaperSize) ? 1 : 0;
  for (const OptionRecord* o = papers ? papers->firstOption.get() : nullptr; o; o = o->next.get()) {
    if (OptionValue(o, 0) != record.dm.dmPaperSize || !o->name) continue;
    result.name = o->name.get();
    StoreText(record.dm.dmFormName, std::size(record.dm.dmFormName), WidenText(result.name));
    // The partner "PageSize" option gives the size; without one the size
    // stays 0 x 0.
    const FeatureRecord* pageSizes = GetFeature(image, kFeaturePageSize);
    const int position = FindOptionByNameOrTranslation(pageSizes, result.name);
    if (position >= 0) {
      const auto* paper = reinterpret_cast<const PaperOption*>(GetOption(pageSizes, static_cast<unsigned>(position)));
      if (paper && pageSizes->optionSize >= sizeof(PaperOption)) {
        result.width = paper->width;
        result.height = paper->height;
      }
    }
    return PaperLookup::Found;
  }
  return PaperLookup::NotFound;
}

bool FormIsAvailable(const DescriptionImage* image, const FormInfo& form) {
  if (form.flags == kFormUser) return false;
  std::string name = NarrowText(form.name);
  if (name.size() > 31) name.resize(31);
  return FindOptionByNameOrTranslation(GetFeature(image, kFeaturePageSize), name) >= 0;
}

}  // namespace qvx::core
