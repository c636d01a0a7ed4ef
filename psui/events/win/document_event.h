// Names through which DrvDocumentEvent talks to the status monitor.
#pragma once

#include <windows.h>

#include <string>

namespace qvx::events::win {

// Global atom added for each started document: this prefix and the printer name.
inline constexpr wchar_t kStartAtomPrefix[] = L"QVSTSWIN-POPUPONPRINT ";

// Name of the environment variable that holds a printer's device context.
std::string EnvironmentNameFor(HANDLE printer);
std::wstring StartAtomText(const std::wstring& printerName);

}  // namespace qvx::events::win
