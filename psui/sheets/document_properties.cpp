// DrvDocumentPropertySheets, DrvDocumentProperties and
// DrvAdvancedDocumentProperties. Calls without a prompt build a sheet state,
// hand its merged record to the caller and release it again; that is how the
// spooler learns a new printer's default record and how applications ask for
// settings without showing anything. The sheet pages are not part of this
// library yet, so every call that would show them fails as an unavailable
// sheet does.
#include <windows.h>
#include <winspool.h>

#include <compstui.h>

#include <memory>

#include "driver_decls.h"
#include "settings_merge.h"
#include "sheet_state.h"
#include "win_platform.h"

namespace qvx::sheets {
namespace {

using core::win::DocumentPropertyHeader;

constexpr LONG kRecordBytes = static_cast<LONG>(kRecordSize);
constexpr LONG kFailed = -1;
constexpr DWORD kAdvancedMode = DM_COPY | DM_PROMPT | kModeAdvanced;  // 0x16
constexpr WORD kHeaderSize = 48;
static_assert(sizeof(DocumentPropertyHeader) == kHeaderSize);

class ScopedPrinterHandle {
 public:
  ScopedPrinterHandle() = default;
  ~ScopedPrinterHandle() {
    if (handle_ != nullptr) ClosePrinter(handle_);
  }
  ScopedPrinterHandle(const ScopedPrinterHandle&) = delete;
  ScopedPrinterHandle& operator=(const ScopedPrinterHandle&) = delete;
  HANDLE* Out() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

IncomingRecord CallerRecord(const DEVMODEW* record) {
  if (record == nullptr) return {};
  return {record, core::DeclaredRecordSize(record)};
}

// The silent path: the caller's output record receives the merged record
// when the mode asks for it.
LONG SilentPath(DocumentPropertyHeader& header) {
  if (header.pdmOut == nullptr) return header.cbOut;

  // A caller that names the printer without a handle (Wine's winspool does)
  // gets the printer opened for the length of the call.
  ScopedPrinterHandle opened;
  HANDLE handle = header.hPrinter;
  if (handle == nullptr) {
    if (header.pszPrinterName == nullptr || !OpenPrinterW(header.pszPrinterName, opened.Out(), nullptr))
      return kFailed;
    handle = opened.get();
  }
  const std::unique_ptr<core::Printer> printer = core::win::BorrowPrinter(handle);
  if (!printer) return kFailed;

  const IncomingRecord input = CallerRecord(header.pdmIn);
  ScopedSheetState state(BuildSheetState(handle, *printer, input, header.fMode));
  if (!state) return kFailed;
  if ((header.fMode & (DM_UPDATE | DM_COPY)) != 0)
    core::CopySettingsForCaller(state->record, input.data, input.size, header.pdmOut, header.cbOut);
  return 1;
}

LONG DocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM param) {
  if (info != nullptr) {
    // The sheet protocol needs the pages.
    return kFailed;
  }
  auto* header = reinterpret_cast<DocumentPropertyHeader*>(param);
  if (header == nullptr) return kFailed;
  header->cbOut = kRecordBytes;
  if (header->fMode == 0) return kRecordBytes;
  return SilentPath(*header);
}

// The value a sheet or the silent path produced, as DocumentProperties reports it.
LONG DialogResult(LONG taken) {
  if (taken > 0) return IDOK;
  if (taken == 0) return IDCANCEL;
  return taken;
}

LONG DocumentProperties(HANDLE printer, LPWSTR deviceName, DEVMODEW* out, DEVMODEW* in, DWORD mode) {
  if (mode == 0 || out == nullptr) return kRecordBytes;
  DocumentPropertyHeader header{};
  header.cbSize = kHeaderSize;
  header.hPrinter = printer;
  header.pszPrinterName = deviceName;
  header.pdmIn = in;
  header.pdmOut = out;
  header.fMode = mode;
  if ((mode & DM_PROMPT) != 0) return DialogResult(kFailed);
  header.cbOut = kRecordBytes;
  return DialogResult(SilentPath(header));
}

template <class Body>
LONG Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return kFailed;
  }
}

}  // namespace
}  // namespace qvx::sheets

using namespace qvx::sheets;

extern "C" LONG WINAPI DrvDocumentPropertySheets(PPROPSHEETUI_INFO info, LPARAM param) {
  return Guarded([&] { return DocumentPropertySheets(info, param); });
}

extern "C" LONG WINAPI DrvDocumentProperties(HWND, HANDLE printer, LPWSTR deviceName, PDEVMODEW out,
                                             PDEVMODEW in, DWORD mode) {
  return Guarded([&] { return DocumentProperties(printer, deviceName, out, in, mode); });
}

extern "C" LONG WINAPI DrvAdvancedDocumentProperties(HWND, HANDLE printer, LPWSTR deviceName, PDEVMODEW out,
                                                     PDEVMODEW in) {
  return Guarded([&]() -> LONG {
    if (out == nullptr) return kRecordBytes;
    return DocumentProperties(printer, deviceName, out, in, kAdvancedMode) > 0 ? 1 : 0;
  });
}
