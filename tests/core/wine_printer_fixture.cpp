#include "wine_printer_fixture.h"

#include <winspool.h>

#include <stdexcept>

#include "test_paths.h"

namespace qvx::test {
namespace {

constexpr wchar_t kEnvironment[] = L"Windows x64";

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

std::filesystem::path DriverDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, const_cast<wchar_t*>(kEnvironment), 1,
                                  reinterpret_cast<BYTE*>(buffer), sizeof buffer, &needed)) {
    Fail("GetPrinterDriverDirectory");
  }
  return std::filesystem::path(buffer) / L"3";
}

void DeletePrinterNamed(const std::wstring& name) {
  PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  if (OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &handle, &admin)) {
    DeletePrinter(handle);
    ClosePrinter(handle);
  }
}

void CopyInto(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) Fail("CopyFile " + from.string());
}

}  // namespace

std::wstring ExecutableTag() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).stem().wstring();
}

WineDriver::WineDriver(std::wstring driverName, const std::filesystem::path& description)
    : name_(std::move(driverName)) {
  // Stage the files in one folder: the spooler copies them from there into
  // its driver folder.
  const std::filesystem::path stage = BinaryPath("wine-driver-stage") / ExecutableTag();
  std::filesystem::create_directories(stage);
  const std::filesystem::path bin = BinaryPath("bin");
  CopyInto(bin / "QVXUI.DLL", stage / "QVXUI.DLL");
  std::wstring dependents;
  if (std::filesystem::exists(bin / "QVXLANG.DLL")) {
    CopyInto(bin / "QVXLANG.DLL", stage / "QVXLANG.DLL");
    dependents = L"QVXLANG.DLL";
  }
  const std::wstring dataName = description.filename().wstring();
  CopyInto(description, stage / dataName);

  std::wstring driverPath = (stage / "QVXUI.DLL").wstring();
  std::wstring dataFile = (stage / dataName).wstring();
  std::wstring configFile = driverPath;
  std::wstring dependentList = dependents.empty() ? std::wstring(2, L'\0') : (stage / dependents).wstring() + L'\0';
  dependentList.push_back(L'\0');
  std::wstring environment = kEnvironment;

  DRIVER_INFO_3W info{};
  info.cVersion = 3;
  info.pName = name_.data();
  info.pEnvironment = environment.data();
  info.pDriverPath = driverPath.data();
  info.pDataFile = dataFile.data();
  info.pConfigFile = configFile.data();
  info.pDependentFiles = dependentList.data();
  if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&info),
                           APD_COPY_ALL_FILES | APD_COPY_FROM_DIRECTORY)) {
    Fail("AddPrinterDriverEx");
  }
  driverDirectory_ = DriverDirectory();
}

WineDriver::~WineDriver() {
  DeletePrinterDriverW(nullptr, const_cast<wchar_t*>(kEnvironment), name_.data());
}

std::filesystem::path WineDriver::InstalledFile(const std::wstring& fileName) const {
  return driverDirectory_ / fileName;
}

WinePrinter::WinePrinter(std::wstring printerName, const WineDriver& driver, const wchar_t* printProcessor)
    : name_(std::move(printerName)) {
  DeletePrinterNamed(name_);  // left over by an interrupted run
  std::wstring driverName = driver.Name();
  std::wstring port = L"FILE:";
  std::wstring processor = printProcessor;
  std::wstring datatype = L"RAW";
  PRINTER_INFO_2W info{};
  info.pPrinterName = name_.data();
  info.pPortName = port.data();
  info.pDriverName = driverName.data();
  info.pPrintProcessor = processor.data();
  info.pDatatype = datatype.data();
  HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
  if (added == nullptr) Fail("AddPrinter");
  ClosePrinter(added);
  PRINTER_DEFAULTSW admin{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (!OpenPrinterW(name_.data(), &handle_, &admin)) Fail("OpenPrinter");
}

WinePrinter::~WinePrinter() {
  if (handle_ != nullptr) {
    DeletePrinter(handle_);
    ClosePrinter(handle_);
  }
}

void WinePrinter::SetDword(const wchar_t* value, DWORD data) {
  if (SetPrinterDataW(handle_, const_cast<wchar_t*>(value), REG_DWORD, reinterpret_cast<BYTE*>(&data),
                      sizeof data) != ERROR_SUCCESS) {
    Fail("SetPrinterData");
  }
}

void WinePrinter::SetBinary(const wchar_t* value, const void* data, DWORD size) {
  if (SetPrinterDataW(handle_, const_cast<wchar_t*>(value), REG_BINARY,
                      static_cast<BYTE*>(const_cast<void*>(data)), size) != ERROR_SUCCESS) {
    Fail("SetPrinterData");
  }
}

DriverLibrary::DriverLibrary(const WineDriver& driver) {
  module_ = LoadLibraryW(driver.InstalledFile(L"QVXUI.DLL").c_str());
  if (module_ == nullptr) Fail("LoadLibrary(QVXUI.DLL)");
}

DriverLibrary::~DriverLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

}  // namespace qvx::test
