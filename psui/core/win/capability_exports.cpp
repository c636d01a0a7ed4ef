// DrvDeviceCapabilities and DevQueryPrintEx: the spooler's questions about a
// printer that need no user interface.
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "capabilities.h"
#include "description_access.h"
#include "driver_decls.h"
#include "print_query.h"
#include "settings_merge.h"
#include "win_platform.h"

using namespace qvx::core;
using namespace qvx::core::win;

namespace {

// The printer the spooler named: its handle, or (when an application asks
// through DeviceCapabilities without one) the printer opened by name.
std::unique_ptr<Printer> PrinterFor(HANDLE handle, const wchar_t* deviceName) {
  if (handle != nullptr) return BorrowPrinter(handle);
  if (deviceName == nullptr || deviceName[0] == L'\0') return nullptr;
  return Win32Platform().OpenPrinterByName(FromWide(deviceName));
}

void PutQueryMessage(DevQueryPrintInfo& query, const QueryVerdict& verdict) {
  std::array<QueryArg, 3> args{verdict.message, std::u16string_view(verdict.form),
                               std::u16string_view(verdict.tray)};
  size_t needed = 0;
  FormatQueryMessage(Win32Platform(), StringSource::Own, reinterpret_cast<char16_t*>(query.pszErrorStr),
                     query.cchErrorStr, &needed, u"%!", args);
  query.cchNeeded = static_cast<DWORD>(needed);
}

}  // namespace

extern "C" DWORD WINAPI DrvDeviceCapabilities(HANDLE hPrinter, PWSTR pDeviceName, WORD iDevCap, VOID* pvOutput,
                                              DEVMODEW* pDevMode) {
  try {
    const auto printer = PrinterFor(hPrinter, pDeviceName);
    if (!printer) return kCapabilityError;
    ScopedDescriptionImage image(AcquireDescriptionImage(*printer, true));
    if (!image) return kCapabilityError;
    const std::u16string deviceName = pDeviceName != nullptr ? FromWide(pDeviceName) : std::u16string();
    return QueryDeviceCapabilities(Win32Platform(), *printer, image.get(), deviceName, iDevCap, pvOutput, pDevMode,
                              DeclaredRecordSize(pDevMode));
  } catch (...) {
    return kCapabilityError;
  }
}

extern "C" BOOL WINAPI DevQueryPrintEx(DevQueryPrintInfo* query) {
  if (query == nullptr) return FALSE;
  if (query->pDevMode == nullptr) return TRUE;
  QueryVerdict verdict;
  try {
    const auto printer = BorrowPrinter(query->hPrinter);
    ScopedDescriptionImage image(printer ? AcquireDescriptionImage(*printer, true) : nullptr);
    if (!image) {
      verdict.printable = false;
      verdict.message = query_message::kNoDescription;
    } else {
      verdict = EvaluatePrintQuery(Win32Platform(), *printer, image.get(), query->pDevMode,
                                   DeclaredRecordSize(query->pDevMode));
    }
  } catch (...) {
    verdict = {};
    verdict.printable = false;
    verdict.message = query_message::kNoMemory;
  }
  if (verdict.printable) return TRUE;
  PutQueryMessage(*query, verdict);
  return FALSE;
}
