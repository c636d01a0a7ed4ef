#include "platform_fake.h"

#include <algorithm>
#include <tuple>


namespace qvx::core {

std::optional<DataValue> FakePrinter::GetData(std::u16string_view name) {
  auto it = state_->data.find(name);
  if (it == state_->data.end()) return std::nullopt;
  return it->second;
}

bool FakePrinter::SetData(std::u16string_view name, const DataValue& value) {
  if (state_->failWrites) return false;
  state_->data[std::u16string(name)] = value;
  ++state_->dataWrites;
  return true;
}

bool FakePrinter::InsertForm(const FormInfo& form) {
  if (!state_->forms || state_->failWrites) return false;
  auto& forms = *state_->forms;
  // Like the spooler: a form of the same name is not replaced.
  if (std::any_of(forms.begin(), forms.end(), [&](const FormInfo& f) { return f.name == form.name; }))
    return false;
  forms.push_back(form);
  return true;
}

bool FakePrinter::RemoveForm(std::u16string_view name) {
  if (!state_->forms || state_->failWrites) return false;
  auto& forms = *state_->forms;
  auto it = std::find_if(forms.begin(), forms.end(), [&](const FormInfo& f) { return f.name == name; });
  if (it == forms.end()) return false;
  forms.erase(it);
  return true;
}

std::shared_ptr<FakePrinterState> FakePlatform::AddPrinter(std::u16string name, std::u16string driverName,
                                                           std::u16string dataFile,
                                                           std::u16string printProcessor) {
  auto state = std::make_shared<FakePrinterState>();
  state->info = PrinterInfo{name, driverName, printProcessor, {}};
  state->driver = DriverInfo{driverName, u"QVXUI.DLL", std::move(dataFile), u"QVXUI.DLL"};
  registry[{RegistryRoot::LocalMachine, std::u16string(kPrintersKey) + name, u"Print Processor"}] =
      std::move(printProcessor);
  printers[std::move(name)] = state;
  return state;
}

void FakePlatform::SetCountry(std::u16string code) {
  registry[{RegistryRoot::CurrentUser, std::u16string(kInternationalKey), u"iCountry"}] = std::move(code);
}

std::unique_ptr<Printer> FakePlatform::OpenPrinterByName(std::u16string_view name) {
  auto it = printers.find(name);
  if (it == printers.end()) return nullptr;
  return std::make_unique<FakePrinter>(it->second);
}

std::optional<std::u16string> FakePlatform::ReadRegistryString(RegistryRoot root, std::u16string_view key,
                                                               std::u16string_view value, size_t maxBytes) {
  auto it = registry.find({root, std::u16string(key), std::u16string(value)});
  if (it == registry.end()) return std::nullopt;
  // Like a registry query into a fixed buffer: a value that does not fit
  // (with its terminator) is not read at all.
  if ((it->second.size() + 1) * 2 > maxBytes) return std::nullopt;
  return it->second;
}

std::optional<std::u16string> FakePlatform::GetString(StringSource source, uint32_t id) {
  const auto& table = source == StringSource::Language ? languageStrings : ownStrings;
  auto it = table.find(id);
  if (it == table.end()) return std::nullopt;
  return it->second;
}

}  // namespace qvx::core
