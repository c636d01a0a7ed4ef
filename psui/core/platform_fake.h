// In-memory double of the platform seam, for native tests, the Linux tools and
// Wine tests of what Wine only stubs (its form database). Everything is plain
// public data so a test sets up exactly the state it needs and inspects what
// the code under test wrote.
#pragma once

#include <map>
#include <memory>

#include "platform.h"

namespace qvx::core {

// The state of one fake printer; shared by every FakePrinter opened on it.
struct FakePrinterState {
  std::optional<PrinterInfo> info;
  std::optional<DriverInfo> driver;
  std::map<std::u16string, DataValue, std::less<>> data;
  // Forms; nullopt makes enumeration fail.
  std::optional<std::vector<FormInfo>> forms = std::vector<FormInfo>{};
  bool failWrites = false;
  int dataWrites = 0;
};

class FakePrinter : public Printer {
 public:
  explicit FakePrinter(std::shared_ptr<FakePrinterState> state) : state_(std::move(state)) {}

  std::optional<PrinterInfo> GetInfo() override { return state_->info; }
  std::optional<DriverInfo> GetDriverInfo() override { return state_->driver; }
  std::optional<DataValue> GetData(std::u16string_view name) override;
  bool SetData(std::u16string_view name, const DataValue& value) override;
  std::optional<std::vector<FormInfo>> ListForms() override { return state_->forms; }
  bool InsertForm(const FormInfo& form) override;
  bool RemoveForm(std::u16string_view name) override;

  FakePrinterState& State() { return *state_; }

 private:
  std::shared_ptr<FakePrinterState> state_;
};

class FakePlatform : public Platform {
 public:
  // Printers by name (OpenPrinterByName compares names exactly).
  std::map<std::u16string, std::shared_ptr<FakePrinterState>, std::less<>> printers;
  // Registry string values keyed by root, key and value name.
  std::map<std::tuple<RegistryRoot, std::u16string, std::u16string>, std::u16string> registry;
  std::map<uint32_t, std::u16string> languageStrings;
  std::map<uint32_t, std::u16string> ownStrings;
  std::u16string activeRootWindowClass;

  // Adds a printer with the given driver, description file and print processor.
  std::shared_ptr<FakePrinterState> AddPrinter(std::u16string name, std::u16string driverName,
                                               std::u16string dataFile,
                                               std::u16string printProcessor = u"winprint");
  // Sets the current user's country code (decimal text).
  void SetCountry(std::u16string code);

  std::unique_ptr<Printer> OpenPrinterByName(std::u16string_view name) override;
  std::optional<std::u16string> ReadRegistryString(RegistryRoot root, std::u16string_view key,
                                                   std::u16string_view value, size_t maxBytes) override;
  std::optional<std::u16string> GetString(StringSource source, uint32_t id) override;
  std::u16string ActiveRootWindowClass() override { return activeRootWindowClass; }
};

}  // namespace qvx::core
