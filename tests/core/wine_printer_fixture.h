// Real printers in the Wine prefix of the test run: installs the built
// QVXUI.DLL (with QVXLANG.DLL when it was built) and a description file as a
// printer driver, adds printers that use it, and removes them again. Tests
// then call the driver's exports as the spooler would, through
// GetProcAddress on the installed library.
#pragma once

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qvx::test {

// The driver files, staged and installed with AddPrinterDriverEx.
class WineDriver {
 public:
  // driverName should contain the model's display name; tag makes the names
  // of this executable's drivers and printers unique in the shared prefix.
  WineDriver(std::wstring driverName, const std::filesystem::path& description);
  ~WineDriver();
  WineDriver(const WineDriver&) = delete;
  WineDriver& operator=(const WineDriver&) = delete;

  const std::wstring& Name() const { return name_; }
  // Where the spooler keeps the installed files.
  std::filesystem::path InstalledFile(const std::wstring& fileName) const;

 private:
  std::wstring name_;
  std::filesystem::path driverDirectory_;
};

// One printer of a driver, with an administrator handle.
class WinePrinter {
 public:
  WinePrinter(std::wstring printerName, const WineDriver& driver, const wchar_t* printProcessor = L"winprint");
  ~WinePrinter();
  WinePrinter(const WinePrinter&) = delete;
  WinePrinter& operator=(const WinePrinter&) = delete;

  HANDLE Handle() const { return handle_; }
  const std::wstring& Name() const { return name_; }

  void SetDword(const wchar_t* value, DWORD data);
  void SetBinary(const wchar_t* value, const void* data, DWORD size);

 private:
  std::wstring name_;
  HANDLE handle_ = nullptr;
};

// The installed QVXUI.DLL, loaded as the spooler loads it.
class DriverLibrary {
 public:
  explicit DriverLibrary(const WineDriver& driver);
  ~DriverLibrary();
  DriverLibrary(const DriverLibrary&) = delete;
  DriverLibrary& operator=(const DriverLibrary&) = delete;

  template <class F>
  F* Export(const char* name) const {
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE Module() const { return module_; }

 private:
  HMODULE module_ = nullptr;
};

// A unique tag for names in the shared prefix: the test executable's name.
std::wstring ExecutableTag();

}  // namespace qvx::test
