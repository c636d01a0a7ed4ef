#include "forms.h"

#include <algorithm>

namespace qvx::core {
namespace {

constexpr std::u16string_view kFormsInstalled = u"Forms?";
constexpr uint32_t kFormsInstalledValue = 2;
constexpr size_t kMaxFormName = 31;

const PaperOption* AsPaper(const OptionRecord* option) { return reinterpret_cast<const PaperOption*>(option); }

template <class Visit>
void ForEachPaper(const DescriptionImage* image, Visit visit) {
  const FeatureRecord* pageSize = GetFeature(image, kFeaturePageSize);
  if (pageSize == nullptr || pageSize->optionSize < sizeof(PaperOption)) return;
  for (unsigned i = 0, n = CountOptions(pageSize); i < n; ++i) {
    if (const OptionRecord* option = GetOption(pageSize, i)) visit(AsPaper(option));
  }
}

}  // namespace

std::u16string OptionDisplayName(const OptionRecord* option, size_t maxChars) {
  const char* translation = option->translation.get();
  const char* text = translation != nullptr && translation[0] != '\0' ? translation : option->name.get();
  if (text == nullptr) return {};
  return WidenText(std::string_view(text).substr(0, maxChars));
}

std::u16string PaperFormName(const OptionRecord* option) { return OptionDisplayName(option, kMaxFormName); }

int32_t FixedPointsToMicrons(Fixed value) {
  return static_cast<int32_t>(int64_t{value} * 25400 / 18432);
}

void InstallForms(Printer& printer, const DescriptionImage* image) {
  if (image == nullptr || GetFeature(image, kFeaturePageSize) == nullptr) return;
  if (printer.GetDword(kFormsInstalled).value_or(0) > 0) return;
  ForEachPaper(image, [&](const PaperOption* paper) {
    if (paper->width == 0 || paper->height == 0) return;
    FormInfo form;
    form.flags = kFormPrinter;
    form.name = PaperFormName(&paper->base);
    form.width = FixedPointsToMicrons(paper->width);
    form.height = FixedPointsToMicrons(paper->height);
    form.right = form.width;
    form.bottom = form.height;
    // A form of that name may exist already; it is kept as it is.
    printer.InsertForm(form);
  });
  printer.SetDword(kFormsInstalled, kFormsInstalledValue);
}

void UpgradeForms(Printer& printer, const DescriptionImage* image) {
  if (image == nullptr || GetFeature(image, kFeaturePageSize) == nullptr) return;
  const uint32_t installed = printer.GetDword(kFormsInstalled).value_or(0);
  const auto forms = printer.ListForms();
  if (!forms || forms->empty() || installed == 0) return;
  const bool anyUserForm =
      std::any_of(forms->begin(), forms->end(), [](const FormInfo& f) { return f.flags == kFormUser; });
  if (!anyUserForm) return;
  bool deleted = false;
  ForEachPaper(image, [&](const PaperOption* paper) {
    const std::u16string name = PaperFormName(&paper->base);
    for (const FormInfo& form : *forms) {
      if (form.flags == kFormUser && form.name == name && printer.RemoveForm(form.name)) deleted = true;
    }
  });
  if (!deleted) return;
  printer.SetDword(kFormsInstalled, 0);
  InstallForms(printer, image);
}

}  // namespace qvx::core
