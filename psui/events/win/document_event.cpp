// DrvDocumentEvent: tells the status monitor which printer is printing. A
// global atom announces each started document; an environment variable named
// after the printer handle carries the device context while it exists.
#include <windows.h>
#include <winspool.h>

#include <winddiui.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document_event.h"
#include "event_filter.h"

namespace qvx::events::win {
namespace {

// "0x%p" as the platform's runtime prints it: 16 upper-case hex digits.
std::string PointerText(const void* p) {
  std::array<char, 24> text{};
  std::snprintf(text.data(), text.size(), "0x%016llX",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return text.data();
}

std::wstring PrinterName(HANDLE printer) {
  DWORD needed = 0;
  if (GetPrinterW(printer, 1, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      needed < sizeof(PRINTER_INFO_1W))
    return {};
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer, 1, buffer.data(), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_1W*>(buffer.data());
  return info->pName != nullptr ? info->pName : L"";
}

}  // namespace

std::string EnvironmentNameFor(HANDLE printer) { return PointerText(printer); }

std::wstring StartAtomText(const std::wstring& printerName) { return kStartAtomPrefix + printerName; }

}  // namespace qvx::events::win

using namespace qvx::events;

extern "C" int WINAPI DrvDocumentEvent(HANDLE printer, HDC dc, int escape, ULONG inSize, PVOID in,
                                       ULONG outSize, PVOID out) {
  try {
    // The high word carries flags (a spooled device context); the event is
    // the low word.
    const int event = DOCUMENTEVENT_EVENT(escape);
    // An information context that is no real device context only gets its
    // question answered.
    if (dc == reinterpret_cast<HDC>(static_cast<intptr_t>(-1))) {
      if (event == DOCUMENTEVENT_QUERYFILTER) AnswerEventFilter(out, outSize, true);
      return DOCUMENTEVENT_SUCCESS;
    }
    switch (event) {
      case DOCUMENTEVENT_QUERYFILTER:
        AnswerEventFilter(out, outSize, false);
        break;
      case DOCUMENTEVENT_CREATEDCPOST:
        SetEnvironmentVariableA(win::EnvironmentNameFor(printer).c_str(),
                                win::PointerText(dc).c_str());
        break;
      case DOCUMENTEVENT_STARTDOC: {
        const std::wstring name = win::PrinterName(printer);
        if (!name.empty()) GlobalAddAtomW(win::StartAtomText(name).c_str());
        break;
      }
      case DOCUMENTEVENT_DELETEDC:
        SetEnvironmentVariableA(win::EnvironmentNameFor(printer).c_str(), nullptr);
        break;
      default:
        break;
    }
  } catch (...) {
    // Nothing here may keep a document from printing.
  }
  return DOCUMENTEVENT_SUCCESS;
}
