// The narrow seam through which the driver core reaches the platform: the
// spooler (printer and driver information, printer data, forms), the registry,
// resource strings and the one window query of the print-time block. The DLL
// implements it with Win32 calls (psui/core/win/); tests and the Linux tools use
// the in-memory double of platform_fake.h. Method names avoid the
// names that the Windows headers define as macros (OpenPrinter, LoadString,
// AddForm, ...). Everything here is portable: texts
// are UTF-16 in std::u16string, sizes in the platform's own units.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qvx::core {

// Registry value types as the spooler reports them.
enum class ValueType : uint32_t { String = 1, Binary = 3, Dword = 4 };

struct DataValue {
  ValueType type = ValueType::Binary;
  std::vector<uint8_t> bytes;
};

// What the core reads from printer information (level 2).
struct PrinterInfo {
  std::u16string printerName;
  std::u16string driverName;
  std::u16string printProcessor;
  std::vector<uint8_t> devMode;  // the printer's default record, empty when none
};

// What the core reads from driver information (level 2).
struct DriverInfo {
  std::u16string name;
  std::u16string driverPath;
  std::u16string dataFile;  // the printer description file
  std::u16string configFile;
};

// A spooler form (level 1). Sizes in 0.001 mm.
struct FormInfo {
  uint32_t flags = 0;  // 0 user, 1 built-in, 2 printer
  std::u16string name;
  int32_t width = 0;
  int32_t height = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // imageable area
};
inline constexpr uint32_t kFormUser = 0;
inline constexpr uint32_t kFormBuiltin = 1;
inline constexpr uint32_t kFormPrinter = 2;

// One printer, opened by name or wrapping a handle the spooler passed in.
class Printer {
 public:
  virtual ~Printer() = default;

  virtual std::optional<PrinterInfo> GetInfo() = 0;
  virtual std::optional<DriverInfo> GetDriverInfo() = 0;

  // Printer data (the printer's own values, not a sub-key).
  virtual std::optional<DataValue> GetData(std::u16string_view name) = 0;
  virtual bool SetData(std::u16string_view name, const DataValue& value) = 0;

  // Forms of the spooler's form database as seen through this printer.
  virtual std::optional<std::vector<FormInfo>> ListForms() = 0;
  virtual bool InsertForm(const FormInfo& form) = 0;
  virtual bool RemoveForm(std::u16string_view name) = 0;

  // Typed conveniences over GetData/SetData.
  std::optional<uint32_t> GetDword(std::u16string_view name);
  std::optional<std::vector<uint8_t>> GetBinary(std::u16string_view name);
  bool SetDword(std::u16string_view name, uint32_t value);
  bool SetBinary(std::u16string_view name, const void* data, size_t size);
  bool SetString(std::u16string_view name, std::u16string_view text);
};

enum class RegistryRoot { CurrentUser, LocalMachine };

// Keys the core reads: the user's regional settings (value "iCountry") and a
// printer's spooler key (value "Print Processor"; the printer name follows).
inline constexpr std::u16string_view kInternationalKey = u"Control Panel\\International";
inline constexpr std::u16string_view kPrintersKey = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\";

// The module a string is loaded from: the language library or QVXUI itself.
enum class StringSource { Language, Own };

class Platform {
 public:
  virtual ~Platform() = default;

  // Null when the printer cannot be opened.
  virtual std::unique_ptr<Printer> OpenPrinterByName(std::u16string_view name) = 0;

  // A string value of a registry key (read access only); at most maxBytes
  // bytes of it (including its terminator) are read.
  virtual std::optional<std::u16string> ReadRegistryString(RegistryRoot root, std::u16string_view key,
                                                           std::u16string_view value, size_t maxBytes) = 0;

  // A string resource; nullopt when the module has no string with that id.
  virtual std::optional<std::u16string> GetString(StringSource source, uint32_t id) = 0;

  // Class name (at most 32 characters) of the top-level ancestor of the
  // active window; empty when there is none.
  virtual std::u16string ActiveRootWindowClass() = 0;

  bool HasString(StringSource source, uint32_t id) { return GetString(source, id).has_value(); }
};

// The text of a UTF-16 string for 8-bit fields: characters above 0xFF become '?'.
std::string NarrowText(std::u16string_view text);
// The reverse: 8-bit text (Latin-1) widened to UTF-16.
std::u16string WidenText(std::string_view text);
// ASCII case-insensitive comparison.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

}  // namespace qvx::core
